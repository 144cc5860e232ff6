// CPU cost of a running capture: the file plugin plays a tone in real time (one 800-byte block
// per 100 ms) and the process's CPU time (all threads) is read with getrusage around a run of a
// few seconds. Two runs: the capture path with the spectrum alone, and the whole meter shown
// on the offscreen platform (painting included). Prints figures; never fails.

#include "../meter/tests/filesource.h"

#include <halvard/meter.h>
#include <halvard/sound.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class Counter : public QObject, public halvard::SpectrumSink {
public:
    void Update(qint32, const float*, double, double, double, bool) override { ++blocks; }
    int blocks = 0;
};

struct Figures {
    double wall = 0;
    double cpu = 0;
};

void RunFor(int ms) {
    QTimer::singleShot(ms, qApp, &QCoreApplication::quit);
    QApplication::exec();
}

// Steady state only: opening the device (parsing the ALSA configuration) is left out.
Figures Measure(int seconds, const std::function<void()>& start) {
    start();
    RunFor(500);
    QElapsedTimer wall;
    const double cpu0 = CpuSeconds();
    wall.start();
    RunFor(seconds * 1000);
    const Figures f{wall.elapsed() / 1000.0, CpuSeconds() - cpu0};
    halvard::Sound::StopCapture();
    return f;
}

void Print(const char* name, const Figures& f, int blocks) {
    std::printf(
        "%-34s %6.2f s wall  %7.1f ms CPU  %5.2f %% of one core  %d blocks  %6.1f us/block\n", name,
        f.wall, f.cpu * 1000, 100.0 * f.cpu / f.wall, blocks, blocks ? f.cpu * 1e6 / blocks : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir dir;
    if (!filesource::Install(dir.path(),
                             {{"halvard_bench", filesource::Tone(1000, 90, (seconds + 2) * 8000)}}))
        return 0;
    halvard::Sound::SetPcmOverride(QStringLiteral("halvard_bench"));
    halvard::Sound::SetMessageHandler(
        [](const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });

    // The idle event loop, for reference.
    Print("idle event loop", Measure(seconds, [] {}), 0);

    Counter counter;
    const Figures bare =
        Measure(seconds, [&counter] { halvard::Sound::StartCapture(&counter, &counter, 0); });
    Print("capture + spectrum", bare, int(bare.wall * 10));

    Meter meter;
    meter.resize(480, 150);
    meter.show();
    const Figures full = Measure(seconds, [&meter] { meter.Card(0); });
    Print("capture + spectrum + meter painting", full, int(full.wall * 10));
    return 0;
}
