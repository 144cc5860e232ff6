#include "link/database_message.h"

#include "settings/registry.h"

#include <QStringList>

#include <array>
#include <cmath>
#include <limits>

namespace {

// 7 and 8 are the receiver's own mode codes: ECSS on the upper, then on the lower sideband.
constexpr std::array<const char*, 9> ModeNames{"RTTY", "CW",  "USB",    "LSB",   "AM",
                                               "FM",   "FAX", "ECSS-U", "ECSS-L"};
constexpr std::array<const char*, 4> FilterNames{"Wide", "Medium", "Narrow", "Aux."};
constexpr std::array<const char*, 3> AgcNames{"Slow", "Fast", "Off"};

constexpr int ModeFallback = 4;   // AM
constexpr int FilterFallback = 1; // Medium
constexpr int AgcFallback = 1;    // Fast

template <size_t N>
int codeFromName(const std::array<const char*, N>& names, const QString& name, int fallback) {
    for (size_t i = 0; i < N; ++i)
        if (name == QLatin1String(names[i])) return static_cast<int>(i);
    return fallback;
}

template <size_t N> QString nameFromCode(const std::array<const char*, N>& names, int code) {
    if (code < 0 || code >= static_cast<int>(N)) return QString();
    return QString::fromLatin1(names[static_cast<size_t>(code)]);
}

} // namespace

int ModeCodeFromName(const QString& name) {
    // "UNID" (unidentified) is listed by the database as its own name; it is AM as well.
    return codeFromName(ModeNames, name, ModeFallback);
}
int FilterCodeFromName(const QString& name) {
    return codeFromName(FilterNames, name, FilterFallback);
}
int AgcCodeFromName(const QString& name) {
    return codeFromName(AgcNames, name, AgcFallback);
}
QString ModeNameFromCode(int code) {
    return nameFromCode(ModeNames, code);
}
QString FilterNameFromCode(int code) {
    return nameFromCode(FilterNames, code);
}
QString AgcNameFromCode(int code) {
    return nameFromCode(AgcNames, code);
}

QString DatabaseAppName(const QString& path) {
    // Settings written on either system may hold either separator.
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    QString name = path.mid(slash + 1);
    // A dot in first place is part of the name (".hidden"), not an extension.
    const qsizetype dot = name.indexOf(QLatin1Char('.'), 1);
    if (dot > 0) name = name.left(dot).toUpper();
    return name;
}

QString PlainNumber(double value) {
    if (!std::isfinite(value)) return QStringLiteral("0");
    QString text = QString::number(value, 'f', 3);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0'))) text.chop(1);
        if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    }
    if (text == QLatin1String("-0")) text = QStringLiteral("0");
    return text;
}

QString BuildDatabaseMessage(QChar command, double khz, const QString& mode, const QString& filter,
                             const QString& agc, int record) {
    const QStringList fields{QString(command), PlainNumber(khz * 1000), mode.trimmed(),
                             filter.trimmed(), agc.trimmed(),           QString::number(record)};
    return fields.join(QLatin1Char('|'));
}

int ParseDatabaseMessage(const QString& text, DatabaseMessage& out) {
    out = DatabaseMessage{};
    qsizetype bar = text.indexOf(QLatin1Char('|'));
    if (bar < 0) return 'E';
    if (bar == 0) return 0;
    const int command = text.at(0).unicode();

    // Every field runs to the next "|" or to the end of the text: a short message such as
    // "S|7125000" still carries its last field.
    std::array<QString*, 4> fields{&out.Frequency, &out.Mode, &out.Filter, &out.Agc};
    for (QString* field : fields) {
        const qsizetype next = text.indexOf(QLatin1Char('|'), bar + 1);
        *field = text.mid(bar + 1, next < 0 ? -1 : next - bar - 1);
        if (next < 0) return command;
        bar = next;
    }
    qsizetype end = text.indexOf(QLatin1Char('|'), bar + 1);
    if (end < 0) end = text.size();
    // The counter is 16-bit on both sides; a larger number is held at the limit.
    const double record = Registry::LenientNumber(text.mid(bar + 1, end - bar - 1));
    constexpr double lo = std::numeric_limits<qint16>::min();
    constexpr double hi = std::numeric_limits<qint16>::max();
    out.Record = static_cast<int>(std::trunc(std::clamp(record, lo, hi)));
    return command;
}
