#include "lists/list_line.h"

#include "core/record_text.h"
#include "core/units.h"
#include "lists/list_text.h"

namespace {

constexpr int TabWidth = 4;

bool inRange(double hz) {
    return hz >= FrqMin && hz <= FrqMax;
}

} // namespace

double ListFrequency(QStringView field) {
    if (listtext::LeadingNumber(field) == 0) return 0;
    qsizetype z = 0;
    while (z < field.size() && field[z] == u'0') ++z;
    QString text = field.mid(z).toString();
    if (!NormaliseKhz(text, u'.', KhzDecimals::WholeHertz) &&
        !NormaliseKhz(text, u',', KhzDecimals::WholeHertz))
        text += QStringLiteral("000");
    const double hz = listtext::LeadingNumber(text);
    // The range check comes first: a field of 16 digits or more is past what qint64 holds.
    if (!inRange(hz) || QString::number(qint64(hz)) != text) return 0;
    return hz;
}

bool ParseListLine(QStringView raw, const ImportLayout& layout, const QStringList& modeTexts,
                   ListLine& out) {
    if (raw.isEmpty() || raw.front() == u'#') return false;
    QString line = raw.toString();
    line.replace(u'\t', QString(TabWidth, u' '));

    const int frq = layout.Frq >= 0 && layout.Frq < ImportFieldCount ? layout.Frq : 0;
    const int mod = layout.Mod >= 0 && layout.Mod < ImportFieldCount ? layout.Mod : -1;
    ListLine rec;
    bool haveFrequency = false;
    QStringView rest(line);
    for (int k = 0; k < ImportFieldCount && !rest.isEmpty(); ++k) {
        QStringView field;
        const int w = layout.Siz[size_t(k)];
        if (w > 0) {
            field = rest.left(w).trimmed();
            rest = rest.size() > w ? rest.mid(w) : QStringView();
        } else {
            qsizetype s = 0;
            while (s < rest.size() && rest[s] == u' ') ++s;
            rest = rest.mid(s);
            const qsizetype space = rest.indexOf(u' ');
            if (space < 0) {
                field = rest.trimmed();
                rest = QStringView();
            } else {
                field = rest.left(space).trimmed();
                rest = rest.mid(space);
                s = 0;
                while (s < rest.size() && rest[s] == u' ') ++s;
                rest = rest.mid(s);
            }
        }
        if (k == frq) {
            rec.Frequency = ListFrequency(field);
            if (rec.Frequency == 0) return false;
            haveFrequency = true;
        }
        if (k == mod) {
            for (qsizetype j = 0; j < modeTexts.size(); ++j) {
                if (!modeTexts[j].isEmpty() && field.contains(modeTexts[j])) {
                    rec.Mode = int(j);
                    break;
                }
            }
        }
        switch (layout.Cmt[size_t(k)]) {
        case CommentSpace:
            rec.Comment += u' ';
            rec.Comment += field;
            break;
        case CommentNewLine:
            rec.Comment += QStringLiteral("\r\n");
            rec.Comment += field;
            break;
        default:
            break;
        }
    }
    if (!haveFrequency) return false;
    if (rec.Comment.endsWith(u';') || rec.Comment.endsWith(u',') || rec.Comment.endsWith(u':'))
        rec.Comment.chop(1);
    rec.Comment = rec.Comment.trimmed();
    out = std::move(rec);
    return true;
}
