// A whole noise-floor survey and an activity search against the simulated receiver at 4800
// baud, paced at the line speed, with the update timer's polls running as in the program.
// Figures: the survey's total time against its own least possible time (the waits after each
// tune plus the line time of each "F" command and each S-meter reply), and the longest gap
// between two events of a 1 ms probe timer: how long the window could not repaint.

#include "bench_figures.h"
#include "core/panel.h"
#include "driver_panel.h"
#include "noise/noise_file.h"
#include "noise/smeter_procedures.h"
#include "settings/settings.h"
#include "simulated_port.h"
#include "update_polls.h"

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int Baud = 4800;
constexpr double MsPerChar = 10.0 * 1000.0 / Baud;
constexpr double TuneLineMs = 10 * MsPerChar;  // "F" + 8 digits + CR
constexpr double MeterReplyMs = 5 * MsPerChar; // "M" + 3 digits + CR

struct Bench {
    QTemporaryDir dir;
    nrd535sim::Simulator sim;
    Nrd535 rx;
    DriverPanel panel{rx};
    Settings settings;
    NoiseSurvey survey;
    SMeterProcedures proc{panel,
                          rx,
                          settings,
                          survey,
                          [this](ScanState s) { panel.state.Scan = s; },
                          [] { return 5000; }};
    QTimer tick, probe;
    QElapsedTimer clock;
    qint64 lastProbe = 0, longestGap = 0;
    bool ok = false;

    Bench() {
        settings.SMT_Log = dir.filePath(QStringLiteral("Noise.txt"));
        settings.SCN_Step = 1000;
        settings.BND_AutoST = false;
        sim.setPaced(true);
        if (!StartOnPort(sim, rx, 202, Baud)) return;
        WireUpdatePolls(tick, rx, panel.state, [this](int sm) { proc.SMeterReport(sm); });
        probe.setInterval(1);
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [this] {
            const qint64 now = clock.elapsed();
            longestGap = std::max(longestGap, now - lastProbe);
            lastProbe = now;
        });
        if (!rx.fOpen(false) || !rx.Conn()) return;
        rx.Hook(false);
        tick.start();
        if (!waitFor([this] { return rx.FT() >= 0 && rx.Fr() > 0; }, 5000)) return;
        rx.Hook(true);
        panel.state.Connected = panel.state.RemoteHeld = true;
        waitFor([] { return false; }, 300);
        ok = true;
    }
    ~Bench() { ostry::setPortDevice(202, QString()); }

    template <class F> static bool waitFor(F cond, int ms) {
        QElapsedTimer t;
        t.start();
        while (!cond()) {
            if (t.elapsed() > ms) return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        return true;
    }
    void startProbe() {
        longestGap = 0;
        clock.start();
        lastProbe = 0;
        probe.start();
    }
};

void BM_Survey(benchmark::State& state) {
    Bench b;
    if (!b.ok) return state.SkipWithError("no simulator link");
    for (int i = 0; i < 30; ++i) b.sim.setNoiseFloor(i, 4 + i % 3);
    for (auto _ : state) {
        b.sim.clearReceivedLines();
        b.startProbe();
        QElapsedTimer t;
        t.start();
        b.proc.NoiseMeasure(true);
        b.waitFor([&] { return b.panel.state.Scan == ScanState::Idle; }, 120000);
        const double total = double(t.nsecsElapsed()) / 1e6;
        b.probe.stop();
        state.SetIterationTime(total / 1000);
        // The least possible time: each step's wait, its tune line and its meter reply.
        double least = 0;
        int tunes = 0;
        const QStringList lines = b.sim.receivedLines();
        QList<qint64> hz;
        for (const QString& l : lines)
            if (l.startsWith(QLatin1Char('F'))) hz << l.mid(1).toLongLong();
        hz.removeLast(); // the return to where it started
        for (qsizetype k = 0; k < hz.size(); ++k) {
            // Steps of a fifth were slowed: three times the wait.
            const qint64 step = k == 0 ? hz[0] : hz[k] - hz[k - 1];
            least += (step == 20000 || step == 40000 ? 330 : 110) + TuneLineMs + MeterReplyMs;
            ++tunes;
        }
        state.counters["survey_ms"] = total;
        state.counters["least_ms"] = least;
        state.counters["over_least_%"] = (total / least - 1) * 100;
        state.counters["steps"] = tunes;
        state.counters["longest_stall_ms"] = double(b.longestGap);
    }
}
BENCHMARK(BM_Survey)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Search(benchmark::State& state) {
    Bench b;
    if (!b.ok) return state.SkipWithError("no simulator link");
    for (int i = 0; i < 30; ++i) b.sim.setNoiseFloor(i, 0);
    b.sim.setCarriers({{7150000, 3000, 40}});
    for (auto _ : state) {
        b.sim.panelTune(7200000);
        b.waitFor([&] { return b.rx.Fr() == 7200000; }, 5000);
        b.sim.clearReceivedLines();
        b.startProbe();
        QElapsedTimer t;
        t.start();
        b.proc.ActiveSearch(true, 0, false);
        b.waitFor([&] { return b.panel.state.Scan == ScanState::Idle; }, 120000);
        const double total = double(t.nsecsElapsed()) / 1e6;
        b.probe.stop();
        state.SetIterationTime(total / 1000);
        int tunes = 0;
        for (const QString& l : b.sim.receivedLines()) tunes += l.startsWith(QLatin1Char('F'));
        state.counters["search_ms"] = total;
        state.counters["steps"] = tunes;
        state.counters["ms_per_step"] = total / std::max(1, tunes);
        state.counters["longest_stall_ms"] = double(b.longestGap);
    }
}
BENCHMARK(BM_Search)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// The same probe with only the update timer's polls running: the stall the machine itself
// gives, to read the figures above against.
void BM_IdleBaseline(benchmark::State& state) {
    Bench b;
    if (!b.ok) return state.SkipWithError("no simulator link");
    for (auto _ : state) {
        b.startProbe();
        QElapsedTimer t;
        t.start();
        b.waitFor([] { return false; }, 10000);
        b.probe.stop();
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        state.counters["longest_stall_ms"] = double(b.longestGap);
    }
}
BENCHMARK(BM_IdleBaseline)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv);
}
