#include "lists/record_text.h"

#include <QFile>

namespace listtext {

bool NormaliseKhz(QString& text, QChar mark) {
    const qsizetype q = text.indexOf(mark);
    if (q < 0) return false;
    QString digits = text.left(q);
    QString decimals = text.mid(q + 1);
    decimals.remove(mark);
    if (decimals.size() > 3) decimals.truncate(3);
    digits += decimals;
    digits += QString(3 - decimals.size(), u'0');
    text = digits;
    return true;
}

bool SplitRecordLine(QStringView line, QChar sep, QChar mark, int lastField, QStringList& fields) {
    fields.clear();
    if (!line.isEmpty() && line.front() == mark) return false;
    int k = 0;
    qsizetype p = 0;
    while (k < lastField) {
        const qsizetype s = line.indexOf(sep, p);
        if (s < 0) break;
        fields << line.mid(p, s - p).trimmed().toString();
        p = s + 1;
        ++k;
    }
    fields << line.mid(p).trimmed().toString();
    if (!NormaliseKhz(fields[0], u'.')) NormaliseKhz(fields[0], u',');
    return k == lastField;
}

bool FileExists(const QString& name) {
    if (name.isEmpty()) return false;
    QFile f(name);
    return f.open(QIODevice::ReadOnly);
}

double LeadingNumber(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) ++i;
    bool point = false;
    bool digits = false;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128)
            digits = true;
        else if (c == u'.' && !point)
            point = true;
        else
            break;
        ++i;
    }
    if (!digits) return 0;
    bool ok = false;
    const double v = text.mid(start, i - start).toString().toDouble(&ok);
    return ok ? v : 0;
}

QStringView WithoutLineEnd(QStringView text) {
    if (text.endsWith(u'\n')) text.chop(1);
    if (text.endsWith(u'\r')) text.chop(1);
    return text;
}

} // namespace listtext
