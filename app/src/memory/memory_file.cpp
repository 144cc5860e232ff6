#include "memory/memory_file.h"

#include "memory/memory_table.h"

#include "files/bounded_file.h"

#include <ostry/protocol.h>

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <cmath>
#include <limits>

namespace {

constexpr QChar Separator = u'|';
constexpr QChar CommentMark = u'#';
constexpr int LastField = 4;
// The receiver tunes below 30 MHz; anything else in a file is not a frequency of this program.
constexpr double FrequencyLimit = 30000000;
constexpr int FilterCodeLimit = 30000;
// A record line is a frequency, three codes and a comment; anything longer is cut.
constexpr qint64 MaxLineBytes = 4096;

QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(bytes);
}

int codeIn(int code, int last) {
    return code >= 0 && code <= last ? code : 0;
}

QString withoutLineBreaks(QString text) {
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

} // namespace

double FieldNumber(QStringView text) {
    text = text.trimmed();
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
    const qsizetype start = i;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') ++i;
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') ++i;
    }
    if (i == start || (i == start + 1 && text[start] == u'.')) return 0;
    bool ok = false;
    const double v = text.first(i).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
}

int FieldCode(QStringView text) {
    const double v = std::trunc(FieldNumber(text));
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return 0;
    return int(v);
}

MemoryRecord RecordFromFields(const QStringList& fields) {
    auto field = [&](int i) { return i < fields.size() ? QStringView(fields[i]) : QStringView(); };
    MemoryRecord r;
    r.Frequency = std::round(FieldNumber(field(0)));
    if (!(r.Frequency > 0 && r.Frequency < FrequencyLimit)) r.Frequency = 0;
    // A code outside its table reads as 0, as the receiver's own conversions do.
    r.Mode = codeIn(FieldCode(field(1)), ostry::ECSS_L);
    r.Filter = FieldCode(field(2));
    if (r.Filter < -1 || r.Filter > FilterCodeLimit) r.Filter = 0;
    r.Agc = codeIn(FieldCode(field(3)), ostry::Offf);
    r.Comment = field(4).toString();
    return r;
}

QString FormatRecordLine(const MemoryRecord& record) {
    return QStringLiteral("       ") + FormatMemoryRow(record);
}

QString BankFileName(int digit) {
    return QStringLiteral("Bank%1.mem").arg(digit);
}

LoadResult LoadChannelFile(const QString& path, MemoryTable& table) {
    LoadResult result;
    QFile file;
    if (!boundedfile::Open(file, path, &result.error)) return result;
    result.opened = true;
    // A memory file is 200 short lines: no more than one a row is read, each of bounded length,
    // whatever the file's size.
    boundedfile::Limits limits;
    limits.lines = table.Size();
    limits.lineBytes = MaxLineBytes;
    boundedfile::LineReader reader(file, limits);
    QByteArray bytes;
    QByteArray one;
    while (reader.Next(one)) {
        bytes += one;
        bytes += '\n';
    }
    if (file.error() != QFileDevice::NoError) result.readError = true;
    const QString text = decode(bytes);

    QStringList fields;
    qsizetype pos = 0;
    int row = 0;
    while (pos < text.size() && row < table.Size()) {
        qsizetype end = text.indexOf(u'\n', pos);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0) end = text.size();
        QStringView line = QStringView(text).sliced(pos, end - pos);
        if (line.endsWith(u'\r')) line.chop(1);
        pos = next;
        if (!SplitRecordLine(line, Separator, CommentMark, LastField, KhzDecimals::AsWritten,
                             fields)) {
            result.badLine = true;
            break;
        }
        table.SetRow(row, RecordFromFields(fields));
        ++row;
    }
    result.rowsRead = row;
    return result;
}

SaveResult SaveChannelFile(const QString& path, const MemoryTable& table) {
    SaveResult result;
    QByteArray bytes;
    bytes.reserve(table.Size() * 32);
    for (const MemoryRecord& r : table.Rows()) {
        bytes += FormatRecordLine(r).toUtf8();
        bytes += "\r\n";
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = file.errorString();
        return result;
    }
    if (file.write(bytes) != bytes.size()) {
        result.error = file.errorString();
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        result.error = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}

QString FormatMemoryRow(const MemoryRecord& record) {
    const QChar sep = Separator;
    return QString::number(std::nearbyint(record.Frequency), 'f', 0) + sep +
           QString::number(record.Mode) + sep + QString::number(record.Filter) + sep +
           QString::number(record.Agc) + sep + withoutLineBreaks(record.Comment);
}

MemoryRecord ParseMemoryRow(const QString& text) {
    // Up to five pieces; the last one keeps any further separators (a comment holding "|").
    QStringList fields;
    qsizetype p = 0;
    while (fields.size() < LastField) {
        const qsizetype at = text.indexOf(Separator, p);
        if (at < 0) break;
        fields.append(text.sliced(p, at - p));
        p = at + 1;
    }
    fields.append(text.sliced(p));
    return RecordFromFields(fields);
}

QString FormatFilterRow(const QuickFilter& filter) {
    return QString::number(filter.Code) + Separator + withoutLineBreaks(filter.Name);
}

QuickFilter ParseFilterRow(const QString& text) {
    const qsizetype at = text.indexOf(Separator);
    const double code =
        std::trunc(FieldNumber(at < 0 ? QStringView(text) : QStringView(text).first(at)));
    if (code < -1 || code > FilterCodeLimit) return QuickFilter{};
    return QuickFilter{int(code), at < 0 ? QString() : text.sliced(at + 1)};
}
