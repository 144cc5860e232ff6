#include "noise/noise_file.h"

#include "files/bounded_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cmath>

namespace {

// The highest raw S-meter value; anything larger is not a reading.
constexpr int MaxRaw = 255;
// Longest line a survey writes is about 150 characters; a longer one is not a survey and is
// not kept in memory whole.
constexpr qint64 MaxLineLength = 4096;
constexpr qint64 MaxFileBytes = 64LL << 20;

QString threeDigits(int v) {
    return QStringLiteral("%1").arg(v, 3, 10, QLatin1Char('0'));
}

bool parseRaw(QStringView field, int& out) {
    const QStringView t = field.trimmed();
    if (t.isEmpty() || t.size() > 6) return false;
    int v = 0;
    for (QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
        v = v * 10 + (c.unicode() - '0');
    }
    if (v > MaxRaw) return false;
    out = v;
    return true;
}

} // namespace

int NoiseMeanOf(const std::array<int, NoiseSurvey::Segments>& levels, int last) {
    last = std::min(last, NoiseSurvey::Segments - 1);
    int sum = 0, count = 0;
    for (int i = 0; i <= last; ++i) {
        if (levels[size_t(i)] == 0) continue;
        sum += levels[size_t(i)];
        ++count;
    }
    return count ? int(std::nearbyint(double(sum) / count)) : 0;
}

QString FormatNoiseLine(const NoiseSurvey& survey) {
    QStringList fields{survey.Date, survey.Time, threeDigits(survey.Mean)};
    for (int v : survey.Levels) fields << threeDigits(v);
    return fields.join(QLatin1Char('|'));
}

bool ParseNoiseLine(NoiseSurvey& survey, const QString& line, QChar separator) {
    QStringView text(line);
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
    const auto fields = text.split(separator);
    if (fields.size() < 3 || fields.size() > 3 + NoiseSurvey::Segments) return false;
    NoiseSurvey read;
    read.Date = fields[0].toString();
    read.Time = fields[1].toString();
    if (!parseRaw(fields[2], read.Mean)) return false;
    for (qsizetype i = 3; i < fields.size(); ++i)
        if (!parseRaw(fields[i], read.Levels[size_t(i - 3)])) return false;
    survey = read;
    return true;
}

int LoadNoiseLine(const QString& path, NoiseSurvey& survey, int index) {
    QFile f;
    if (!boundedfile::Open(f, path)) return 0;
    // One line a survey: a file far beyond any number of surveys is read no further.
    boundedfile::Limits limits;
    limits.lineBytes = MaxLineLength;
    limits.totalBytes = MaxFileBytes;
    boundedfile::LineReader reader(f, limits);
    int count = 0;
    QByteArray last;
    QByteArray line;
    while ((index < 0 || count < index) && reader.Next(line)) {
        // An overlong line is no survey; its rest does not count as the next line.
        last = reader.Cut() ? QByteArray("?") : line;
        ++count;
    }
    if (count > 0) ParseNoiseLine(survey, QString::fromLocal8Bit(last));
    return count;
}

QString NoiseFileFailedText(const QString& path) {
    return QStringLiteral("The noise survey could not be written to \"%1\". It is shown and "
                          "used for searching until the program ends, but it is not saved.")
        .arg(path);
}

bool AppendNoiseLine(const QString& path, const NoiseSurvey& survey) {
    // A pipe or device of that name would block the open or swallow the line.
    if (QFileInfo::exists(path) && !QFileInfo(path).isFile()) return false;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    const QByteArray line = FormatNoiseLine(survey).toLocal8Bit() + "\r\n";
    if (f.write(line) != line.size()) return false;
    return f.flush();
}
