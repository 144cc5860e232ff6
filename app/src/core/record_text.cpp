#include "core/record_text.h"

#include "files/bounded_file.h"

#include <QFile>

#include <algorithm>

bool NormaliseKhz(QString& text, QChar mark, KhzDecimals decimals) {
    const qsizetype q = text.indexOf(mark);
    if (q < 0) return false;
    qsizetype places = text.size() - q - 1;
    text.remove(mark);
    if (decimals == KhzDecimals::WholeHertz) {
        places = std::min<qsizetype>(text.size() - q, 3);
        text.truncate(q + places);
    }
    if (places < 3) text.append(QString(3 - places, u'0'));
    return true;
}

bool SplitRecordLine(QStringView line, QChar separator, QChar commentMark, int lastField,
                     KhzDecimals decimals, QStringList& fields) {
    fields.clear();
    if (!line.isEmpty() && line.front() == commentMark) return false;
    qsizetype p = 0;
    int k = 0;
    while (k < lastField) {
        const qsizetype at = line.indexOf(separator, p);
        if (at < 0) break;
        fields.append(line.sliced(p, at - p).trimmed().toString());
        p = at + 1;
        ++k;
    }
    fields.append(line.sliced(p).trimmed().toString());
    if (!NormaliseKhz(fields[0], u'.', decimals)) NormaliseKhz(fields[0], u',', decimals);
    return k == lastField;
}

bool FileExists(const QString& name) {
    // A pipe, folder or device of that name is no file: opening it could wait for ever.
    return boundedfile::Readable(name);
}
