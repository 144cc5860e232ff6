// kelvane-sked: who is on the air, from a broadcast schedule file, for a terminal or a script.
// Prints one broadcast a line: frequency, time, days, station, language, target, site.

#include "schedule/on_air.h"
#include "schedule/schedule.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QTimeZone>

#include <cstdio>

namespace {

// Exit codes: something on the air, nothing on the air, a usage or file error.
constexpr int Found = 0, NothingOnAir = 1, Failed = 2;

void note(const QString& text) {
    std::fprintf(stderr, "kelvane-sked: %s\n", qUtf8Printable(text));
}

void print(const Broadcast& b) {
    const QString line = QStringLiteral("%1  %2  %3  %4  %5  %6  %7")
                             .arg(schedule::KhzText(b.Khz), 8)
                             .arg(b.Time, -9)
                             .arg(b.DaysSure ? b.DaysText : b.DaysText + QStringLiteral("?"), -7)
                             .arg(b.Station, -24)
                             .arg(b.Language, -6)
                             .arg(b.Target, -6)
                             .arg(b.Remarks);
    std::printf("%s\n", qUtf8Printable(line.trimmed()));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvane-sked"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints what a broadcast schedule file (semicolon-separated, one season) "
                       "has on the air: frequency, time, days, station, language, target and "
                       "site, one broadcast a line, in frequency order. Exit status 0 when "
                       "something is on the air, 1 when nothing is, 2 on an error."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The schedule file."));
    QCommandLineOption atOption(QStringLiteral("at"),
                                QStringLiteral("The UTC time to ask about; default now."),
                                QStringLiteral("YYYY-MM-DDTHH:MM"));
    QCommandLineOption khzOption(QStringLiteral("khz"),
                                 QStringLiteral("Only this frequency (kHz, within the "
                                                "tolerance); when nothing is on, the next "
                                                "broadcast there is named."),
                                 QStringLiteral("F"));
    QCommandLineOption bandOption(QStringLiteral("band"),
                                  QStringLiteral("Only from LOW to HIGH kHz, or a band by "
                                                 "name (49m, MW)."),
                                  QStringLiteral("LOW-HIGH"));
    QCommandLineOption toleranceOption(QStringLiteral("tolerance"),
                                       QStringLiteral("How far from --khz still counts; default "
                                                      "1 kHz."),
                                       QStringLiteral("KHZ"), QStringLiteral("1"));
    parser.addOptions({atOption, khzOption, bandOption, toleranceOption});
    parser.process(app);

    const QStringList files = parser.positionalArguments();
    if (files.size() != 1) {
        note(QStringLiteral("give one schedule file (see --help)"));
        return Failed;
    }
    QDateTime at = QDateTime::currentDateTimeUtc();
    if (parser.isSet(atOption)) {
        at = QDateTime::fromString(parser.value(atOption), QStringLiteral("yyyy-MM-ddTHH:mm"));
        at.setTimeZone(QTimeZone::utc());
        if (!at.isValid()) {
            note(QStringLiteral("--at %1 is not a time such as 2025-07-01T18:30")
                     .arg(parser.value(atOption)));
            return Failed;
        }
    }
    double khz = -1, tolerance = 1, low = -1, high = -1;
    if (parser.isSet(khzOption)) {
        bool ok = false;
        khz = parser.value(khzOption).toDouble(&ok);
        if (!ok || !(khz > 0)) {
            note(QStringLiteral("--khz %1 is not a frequency in kHz").arg(parser.value(khzOption)));
            return Failed;
        }
    }
    {
        bool ok = false;
        tolerance = parser.value(toleranceOption).toDouble(&ok);
        if (!ok || !(tolerance >= 0) || tolerance > 1000) {
            note(QStringLiteral("--tolerance %1 is not a width in kHz")
                     .arg(parser.value(toleranceOption)));
            return Failed;
        }
    }
    if (parser.isSet(bandOption) && !schedule::ParseBand(parser.value(bandOption), &low, &high)) {
        note(QStringLiteral("--band %1 is neither LOW-HIGH in kHz nor a band name")
                 .arg(parser.value(bandOption)));
        return Failed;
    }

    Schedule sked;
    const ScheduleLoad load = sked.Load(files.first());
    if (!load.Ok) {
        note(load.Error);
        return Failed;
    }
    if (load.Skipped > 0)
        note(QStringLiteral("%1 lines of %2 do not read as broadcasts and were skipped")
                 .arg(load.Skipped)
                 .arg(files.first()));

    const ScheduleTime t = ScheduleTime::FromUtc(at);
    std::vector<const Broadcast*> found;
    if (khz > 0) {
        sked.OnAirAt(khz, tolerance, t, found);
        // Both filters: the band narrows what the frequency finds.
        if (low >= 0)
            std::erase_if(found, [&](const Broadcast* b) { return b->Khz < low || b->Khz > high; });
    } else if (low >= 0) {
        sked.OnAirIn(low, high, t, found);
    } else {
        sked.OnAirIn(0, 1e9, t, found);
    }
    for (const Broadcast* b : found) print(*b);
    if (found.empty() && khz > 0) {
        int ahead = 0;
        if (const Broadcast* next = sked.NextAt(khz, tolerance, t, &ahead)) {
            std::printf("next in %d h %02d min:\n", ahead / 60, ahead % 60);
            print(*next);
        }
    }
    std::fflush(stdout);
    return found.empty() ? NothingOnAir : Found;
}
