// Feeds arbitrary bytes to the noise-file line parser as one line and as a whole file; whatever
// parses must stay within the 30 levels and the meter's range, and format and parse back to
// the same survey.
#include "noise/noise_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(const NoiseSurvey& s) {
    if (s.Mean < 0 || s.Mean > 255) std::abort();
    for (int v : s.Levels)
        if (v < 0 || v > 255) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    NoiseSurvey s;
    if (ParseNoiseLine(s, QString::fromLocal8Bit(bytes))) {
        check(s);
        // Date and time are free text; a separator in them would shift the fields.
        if (!s.Date.contains(QLatin1Char('|')) && !s.Time.contains(QLatin1Char('|'))) {
            NoiseSurvey again;
            if (!ParseNoiseLine(again, FormatNoiseLine(s))) std::abort();
            if (again.Levels != s.Levels || again.Mean != s.Mean) std::abort();
        }
    }
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Noise.txt"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(bytes);
    }
    NoiseSurvey fromFile;
    const int lines = LoadNoiseLine(path, fromFile, -1);
    if (lines < 0 || lines > int(size) + 1) std::abort();
    check(fromFile);
    LoadNoiseLine(path, fromFile, lines / 2 + 1);
    check(fromFile);
    return 0;
}
