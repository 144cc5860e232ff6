#include "schedule/on_air.h"

#include <cmath>

namespace schedule {

const std::vector<NamedBand>& BroadcastBands() {
    static const std::vector<NamedBand> bands{
        {"LW", 148.5, 283.5},  {"MW", 520, 1710},     {"120m", 2300, 2495},  {"90m", 3200, 3400},
        {"75m", 3900, 4000},   {"60m", 4750, 5060},   {"49m", 5900, 6200},   {"41m", 7200, 7600},
        {"31m", 9400, 9900},   {"25m", 11600, 12100}, {"22m", 13570, 13870}, {"19m", 15100, 15800},
        {"16m", 17480, 17900}, {"15m", 18900, 19020}, {"13m", 21450, 21850}, {"11m", 25670, 26100},
    };
    return bands;
}

bool ParseBand(const QString& text, double* lowKhz, double* highKhz) {
    const QString t = text.trimmed();
    for (const NamedBand& b : BroadcastBands()) {
        if (t.compare(QLatin1String(b.Name), Qt::CaseInsensitive) == 0) {
            *lowKhz = b.LowKhz;
            *highKhz = b.HighKhz;
            return true;
        }
    }
    const qsizetype dash = t.indexOf(u'-', 1);
    if (dash < 0) return false;
    bool okLow = false, okHigh = false;
    const double low = t.left(dash).trimmed().toDouble(&okLow);
    const double high = t.mid(dash + 1).trimmed().toDouble(&okHigh);
    if (!okLow || !okHigh || !std::isfinite(low) || !std::isfinite(high) || low < 0 || high < low)
        return false;
    *lowKhz = low;
    *highKhz = high;
    return true;
}

QString Caption(const Broadcast& b) {
    QStringList parts;
    parts << (b.Station.isEmpty() ? QStringLiteral("?") : b.Station);
    if (!b.Language.isEmpty()) parts << b.Language;
    if (!b.Target.isEmpty()) parts << b.Target;
    QString text = parts.join(QStringLiteral(", "));
    if (!b.DaysSure) text += QStringLiteral(" ?");
    return text;
}

QString Caption(const std::vector<const Broadcast*>& onAir) {
    QStringList lines;
    for (const Broadcast* b : onAir) lines << Caption(*b);
    return lines.join(QStringLiteral(" / "));
}

bool SpeaksLanguage(const Broadcast& b, const QString& code) {
    if (code.isEmpty()) return true;
    for (QStringView part : QStringView(b.Language).split(u','))
        if (part.trimmed().compare(code, Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString KhzText(double khz) {
    return QString::number(khz, 'g', 10);
}

} // namespace schedule
