#include "lists/list_text.h"

namespace listtext {

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
