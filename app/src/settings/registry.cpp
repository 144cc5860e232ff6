#include "settings/registry.h"

#include "files/bounded_file.h"
#include <QDateTime>
#include <QDir>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QtEndian>
#include <cmath>

namespace {

const QByteArray Header = "REGEDIT4";
constexpr char Eol[] = "\r\n";
const QString RootKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Dunmore Software");

bool validUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

// A key or value name as written: a byte-order mark at its start stays part of it (the usual
// decoding drops one, and a name would not read back as it was saved).
QString decodeName(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

// A quoted REGEDIT4 string starting at s[pos] == '"'. Escapes are \\ and \". Returns the
// position after the closing quote, or -1.
qsizetype readQuoted(const QByteArray& s, qsizetype pos, QByteArray& out) {
    out.clear();
    if (pos >= s.size() || s[pos] != '"') return -1;
    for (qsizetype i = pos + 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\') {
            if (i + 1 >= s.size()) return -1;
            char next = s[++i];
            if (next != '\\' && next != '"') return -1;
            out.append(next);
        } else if (c == '"') {
            return i + 1;
        } else {
            out.append(c);
        }
    }
    return -1;
}

QByteArray quote(const QByteArray& text) {
    QByteArray out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.append('\\');
        out.append(c);
    }
    out.append('"');
    return out;
}

// A value line whose data is raw bytes (only those continue on the next line).
bool isHexValue(const QByteArray& line) {
    QByteArray name;
    qsizetype pos = line.trimmed().startsWith('@') ? line.indexOf('@') + 1
                                                   : readQuoted(line.trimmed(), 0, name);
    if (pos < 0) return false;
    QByteArray rest = line.trimmed().mid(pos).trimmed();
    return rest.startsWith('=') && rest.mid(1).trimmed().startsWith("hex");
}

bool parseHexBytes(const QByteArray& list, QByteArray& out) {
    out.clear();
    QByteArray trimmed = list.trimmed();
    if (trimmed.isEmpty()) return true;
    const QList<QByteArray> parts = trimmed.split(',');
    for (const QByteArray& part : parts) {
        QByteArray p = part.trimmed();
        if (p.isEmpty() || p.size() > 2) return false;
        bool ok = false;
        uint v = p.toUInt(&ok, 16);
        if (!ok) return false;
        out.append(char(v));
    }
    return true;
}

// Text that may stand between quotes: valid UTF-8 without control characters.
bool printable(const QByteArray& data) {
    for (char c : data)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    return validUtf8(data);
}

bool parseValueLine(const QByteArray& line, Registry::Value& value, bool& remove) {
    remove = false;
    qsizetype pos = 0;
    QByteArray name;
    if (line.startsWith('@')) {
        pos = 1;
    } else {
        pos = readQuoted(line, 0, name);
        if (pos < 0 || !validUtf8(name)) return false;
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size() || line[pos] != '=') return false;
    ++pos;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    QByteArray rest = line.mid(pos);
    value.name = decodeName(name);
    if (rest == "-") {
        remove = true;
        return true;
    }
    if (rest.startsWith('"')) {
        QByteArray text;
        qsizetype end = readQuoted(rest, 0, text);
        if (end < 0 || !rest.mid(end).trimmed().isEmpty() || !validUtf8(text)) return false;
        value.type = Registry::Sz;
        value.data = text;
        return true;
    }
    if (rest.startsWith("dword:")) {
        QByteArray digits = rest.mid(6).trimmed();
        if (digits.isEmpty() || digits.size() > 8) return false;
        bool ok = false;
        quint32 v = digits.toUInt(&ok, 16);
        if (!ok) return false;
        value.type = Registry::Dword;
        value.data.resize(4);
        qToLittleEndian(v, value.data.data());
        return true;
    }
    if (rest.startsWith("hex")) {
        qsizetype colon = rest.indexOf(':');
        if (colon < 0) return false;
        QByteArray kind = rest.left(colon);
        quint32 type = Registry::Binary;
        if (kind != "hex") {
            if (!kind.startsWith("hex(") || !kind.endsWith(')')) return false;
            bool ok = false;
            type = kind.mid(4, kind.size() - 5).toUInt(&ok, 16);
            if (!ok) return false;
        }
        value.type = type;
        return parseHexBytes(rest.mid(colon + 1), value.data);
    }
    return false;
}

QByteArray formatValue(const Registry::Value& v) {
    QByteArray line = quote(v.name.toUtf8()) + "=";
    if (v.type == Registry::Dword && v.data.size() == 4) {
        line += "dword:" + QByteArray::number(qFromLittleEndian<quint32>(v.data.constData()), 16)
                               .rightJustified(8, '0');
        return line;
    }
    if (v.type == Registry::Sz && printable(v.data)) return line + quote(v.data);
    // Everything else as raw bytes, wrapped as the registry editor does.
    line += v.type == Registry::Binary ? QByteArray("hex:")
                                       : "hex(" + QByteArray::number(v.type, 16) + "):";
    qsizetype lineLength = line.size();
    for (qsizetype i = 0; i < v.data.size(); ++i) {
        QByteArray byte =
            QByteArray::number(static_cast<unsigned char>(v.data[i]), 16).rightJustified(2, '0');
        if (i + 1 < v.data.size()) byte += ',';
        if (lineLength + byte.size() > 76) {
            line += "\\";
            line += Eol;
            line += "  ";
            lineLength = 2;
        }
        line += byte;
        lineLength += byte.size();
    }
    return line;
}

Registry::Value* findIn(QList<Registry::Section>& sections, const QString& key, const QString& name,
                        bool create) {
    for (Registry::Section& s : sections) {
        if (s.key.compare(key, Qt::CaseInsensitive) != 0) continue;
        for (Registry::Value& v : s.values)
            if (v.name.compare(name, Qt::CaseInsensitive) == 0) return &v;
        if (!create) return nullptr;
        s.values.append(Registry::Value{name, Registry::Sz, {}});
        return &s.values.last();
    }
    if (!create) return nullptr;
    sections.append(Registry::Section{key, {Registry::Value{name, Registry::Sz, {}}}});
    return &sections.last().values.last();
}

QString uniqueAsideName(const QString& path) {
    QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString base = path + QStringLiteral(".unreadable-") + stamp;
    QString name = base;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

} // namespace

Registry::Registry(QString path) : path_(std::move(path)) {}

QString Registry::DefaultPath() {
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return config + QStringLiteral("/Dunmore Software/Kelvane.reg");
}

QString Registry::rootKey(const QString& appKey) {
    return RootKey + QLatin1Char('\\') + appKey;
}

bool Registry::Parse(const QByteArray& text, QList<Section>& out, QString* error) {
    QList<Section> sections;
    auto fail = [&](int lineNo, const char* what) {
        if (error) *error = QStringLiteral("line %1: %2").arg(lineNo).arg(QLatin1String(what));
        return false;
    };
    QByteArray body = text;
    if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
    QList<QByteArray> lines = body.split('\n');
    bool headerSeen = false;
    Section* current = nullptr;
    bool skipSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        int lineNo = int(i + 1);
        QByteArray line = lines[i];
        if (line.endsWith('\r')) line.chop(1);
        // Continuation lines (hex data) end with a backslash.
        while (line.endsWith('\\') && isHexValue(line) && i + 1 < lines.size()) {
            line.chop(1);
            QByteArray next = lines[++i];
            if (next.endsWith('\r')) next.chop(1);
            line += next.trimmed();
        }
        QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(';')) continue;
        if (!headerSeen) {
            if (trimmed != Header) return fail(lineNo, "not a REGEDIT4 file");
            headerSeen = true;
            continue;
        }
        if (trimmed.startsWith('[')) {
            if (!trimmed.endsWith(']') || trimmed.size() < 3) return fail(lineNo, "bad key line");
            QByteArray key = trimmed.mid(1, trimmed.size() - 2);
            skipSection = key.startsWith('-');
            if (skipSection) {
                current = nullptr;
                continue;
            }
            if (!validUtf8(key)) return fail(lineNo, "bad key name");
            const QString keyName = decodeName(key);
            current = nullptr;
            for (Section& s : sections)
                if (s.key.compare(keyName, Qt::CaseInsensitive) == 0) current = &s;
            if (!current) {
                sections.append(Section{keyName, {}});
                current = &sections.last();
            }
            continue;
        }
        Value value;
        bool remove = false;
        if (!parseValueLine(trimmed, value, remove)) return fail(lineNo, "bad value line");
        if (skipSection) continue;
        if (!current) return fail(lineNo, "value outside a key");
        qsizetype found = -1;
        for (qsizetype k = 0; k < current->values.size(); ++k)
            if (current->values[k].name.compare(value.name, Qt::CaseInsensitive) == 0) found = k;
        if (remove) {
            if (found >= 0) current->values.removeAt(found);
        } else if (found >= 0) {
            current->values[found] = value;
        } else {
            current->values.append(value);
        }
    }
    if (!headerSeen) return fail(1, "empty file");
    out = std::move(sections);
    return true;
}

QByteArray Registry::Format(const QList<Section>& sections) {
    QByteArray out = Header + Eol;
    for (const Section& s : sections) {
        out += Eol;
        out += "[" + s.key.toUtf8() + "]" + Eol;
        for (const Value& v : s.values) out += formatValue(v) + Eol;
    }
    return out;
}

bool Registry::readFile(const QString& file, QList<Section>& out, QString* error) const {
    QFile f;
    if (!boundedfile::Open(f, file, error)) return false;
    // A hive is a few kilobytes; anything huge is not ours. Read no more than the bound, even
    // from a file that grows meanwhile.
    constexpr qint64 MaxHive = 16 * 1024 * 1024;
    const QByteArray bytes = f.size() > MaxHive ? QByteArray() : f.read(MaxHive + 1);
    if (f.size() > MaxHive || bytes.size() > MaxHive) {
        if (error) *error = QStringLiteral("file too large");
        return false;
    }
    return Parse(bytes, out, error);
}

Registry::LoadResult Registry::Load() {
    LoadResult result;
    sections_.clear();
    dirty_ = false;
    noSave_ = false;
    QString error;
    const QFileInfo info(path_);
    if (info.exists() && !info.isFile()) {
        // A folder or a device given by mistake: neither read (a FIFO would block) nor moved.
        noSave_ = true;
        result.kind = LoadResult::Reset;
        result.message = QStringLiteral("The settings file %1 is not a file; the default settings "
                                        "are used and will not be saved in this session.")
                             .arg(path_);
        return result;
    }
    if (info.exists()) {
        if (readFile(path_, sections_, &error)) {
            result.kind = LoadResult::Loaded;
            return result;
        }
        sections_.clear();
        QString aside = uniqueAsideName(path_);
        if (QFile::rename(path_, aside)) {
            result.keptAside = aside;
            result.message = QStringLiteral("The settings file %1 could not be read (%2); it was "
                                            "kept as %3.")
                                 .arg(path_, error, aside);
        } else {
            // Never overwrite the only copy: run on defaults and save nothing.
            noSave_ = true;
            result.message = QStringLiteral("The settings file %1 could not be read (%2) and could "
                                            "not be moved aside; settings will not be saved in "
                                            "this session.")
                                 .arg(path_, error);
        }
    }
    QString backup = backupPath();
    if (QFileInfo::exists(backup)) {
        QString backupError;
        if (readFile(backup, sections_, &backupError)) {
            result.kind = LoadResult::RecoveredFromBackup;
            result.message +=
                (result.message.isEmpty() ? QString() : QStringLiteral(" ")) +
                QStringLiteral("The settings were restored from the backup %1.").arg(backup);
            dirty_ = true;
            return result;
        }
        sections_.clear();
    }
    if (!result.message.isEmpty()) {
        result.kind = LoadResult::Reset;
        result.message += QStringLiteral(" The default settings are used.");
    } else {
        result.kind = LoadResult::Missing;
    }
    return result;
}

bool Registry::Flush() {
    if (noSave_) return false;
    QFileInfo info(path_);
    if (!QDir().mkpath(info.absolutePath())) return false;
    // The hive being replaced becomes the backup, but only when it reads: an unreadable file
    // is moved aside rather than overwritten, and never replaces a good backup.
    if (info.exists()) {
        QList<Section> previous;
        QFile current(path_);
        QByteArray bytes;
        if (current.open(QIODevice::ReadOnly)) bytes = current.readAll();
        current.close();
        if (Parse(bytes, previous)) {
            QSaveFile bak(backupPath());
            if (!bak.open(QIODevice::WriteOnly) || bak.write(bytes) != bytes.size() ||
                !bak.commit())
                return false;
        } else if (!QFile::rename(path_, uniqueAsideName(path_))) {
            return false;
        }
    }
    QSaveFile out(path_);
    QByteArray text = Format(sections_);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit())
        return false;
    dirty_ = false;
    return true;
}

const Registry::Value* Registry::Find(const QString& appKey, const QString& name) const {
    return findIn(const_cast<QList<Section>&>(sections_), rootKey(appKey), name, false);
}

QVariant Registry::RegGet(const QString& appKey, const QString& section, const QString& name,
                          const QVariant& def) const {
    Q_UNUSED(section);
    const Value* v = Find(appKey, name);
    if (!v || v->data.isEmpty()) return def;
    if (def.typeId() == QMetaType::QString) {
        QByteArray data = v->data;
        if (data.endsWith('\0')) data.chop(1);
        return QString::fromUtf8(data);
    }
    char raw[4] = {0, 0, 0, 0};
    memcpy(raw, v->data.constData(), size_t(std::min<qsizetype>(4, v->data.size())));
    return QVariant(qFromLittleEndian<qint32>(raw));
}

bool Registry::RegSave(const QString& appKey, const QString& section, const QString& name,
                       const QVariant& value) {
    Q_UNUSED(section);
    if (name.isEmpty() || name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r')) ||
        !value.isValid())
        return false;
    Value stored{name, Sz, {}};
    if (value.typeId() == QMetaType::QString) {
        stored.data = value.toString().toUtf8();
    } else {
        qint64 number = 0;
        if (value.typeId() == QMetaType::Bool) {
            number = value.toBool() ? -1 : 0;
        } else {
            bool ok = false;
            double d = value.toDouble(&ok);
            if (!ok || !std::isfinite(d)) return false;
            d = std::nearbyint(d); // halves to even
            if (d < -2147483648.0 || d > 4294967295.0) return false;
            number = qint64(d);
        }
        stored.type = Dword;
        stored.data.resize(4);
        qToLittleEndian(quint32(number), stored.data.data());
    }
    Value* slot = findIn(sections_, rootKey(appKey), name, true);
    *slot = stored;
    dirty_ = true;
    if (batch_ > 0) return !noSave_;
    return Flush();
}

double Registry::LenientNumber(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;
    qsizetype start = i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) ++i;
    qsizetype digits = 0;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) ++i, ++digits;
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128) ++i, ++digits;
    }
    if (digits == 0) return 0;
    qsizetype mantissaEnd = i;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) ++j;
        qsizetype expDigits = 0;
        while (j < n && text[j].isDigit() && text[j].unicode() < 128) ++j, ++expDigits;
        if (expDigits > 0) mantissaEnd = j;
    }
    bool ok = false;
    double v = text.mid(start, mantissaEnd - start).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
}

QVariantList Registry::SplitList(const QString& text, const QString& separator, int columns) {
    QVariantList row;
    if (columns <= 0) return row;
    QStringList parts = text.split(separator);
    // More fields than columns: the last column keeps the rest, separators included, so a
    // comment holding the separator survives a round trip.
    if (parts.size() > columns) {
        QStringList tail = parts.mid(columns - 1);
        parts = parts.mid(0, columns - 1);
        parts.append(tail.join(separator));
    }
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i + 1 < parts.size())
            row.append(LenientNumber(parts[i]));
        else
            row.append(parts[i]);
    }
    return row;
}

void Registry::RegGetList(QList<QVariantList>& table, const QString& separator, const QString& base,
                          const QString& def) const {
    for (qsizetype i = 0; i < table.size(); ++i) {
        QString text =
            RegGet(QString::fromLatin1(AppKeyName), QString(), base + QString::number(i), def)
                .toString();
        QVariantList fields = SplitList(text, separator, int(table[i].size()));
        for (qsizetype c = 0; c < fields.size(); ++c) table[i][c] = fields[c];
    }
}
