// The fast range scan against the simulated receiver at 4800 baud, paced at the line speed in
// both directions, with the meter settling as long as the scan waits for it.
// Figures:
// - steps a second against the line-bound rate for the settle time: per step the "F" line
//   (10 characters) reaches the receiver, which sends its status line (14) and, once the
//   "M" (2) has arrived after the settle time, the reading (5); the least step time is
//   F + max(status, max(M, settle)) + reading. The timed scans' pacing by "SCN_Delay" (4
//   ticks of 100 ms) is 2.5 steps a second;
// - the longest gap between two events of a 1 ms probe timer (how long the window could not
//   repaint), and the process's CPU share while scanning;
// - with 40 carriers across 1 MHz, half of them coming and going: the share found in one sweep
//   of those that were on when the scan passed them, and the stops where no carrier is.

#include "bench_figures.h"
#include "core/panel.h"
#include "driver_panel.h"
#include "scan/fast_scan.h"
#include "scan/signal_stop.h"
#include "simulated_port.h"
#include "update_polls.h"

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <random>
#include <sys/resource.h>

namespace {

constexpr int Baud = 4800;
constexpr quint8 Port = 203;
constexpr double MsPerChar = 10.0 * 1000.0 / Baud;

double LeastStepMs(int settleMs) {
    const double f = 10 * MsPerChar, status = 14 * MsPerChar, m = 2 * MsPerChar,
                 reply = 5 * MsPerChar;
    return f + std::max(status, std::max(m, double(settleMs))) + reply;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Bench {
    nrd535sim::Simulator sim;
    Nrd535 rx;
    DriverPanel panel{rx};
    SignalStop stop;
    FastScan scan{panel, rx};
    QTimer tick, probe;
    QElapsedTimer clock;
    qint64 lastProbe = 0, longestGap = 0;
    bool ok = false;

    explicit Bench(int settleMs) {
        sim.setPaced(true);
        sim.setInputPaced(true);
        sim.setSettleMs(settleMs);
        sim.setCarriers({});
        for (int i = 0; i < 30; ++i) sim.setNoiseFloor(i, 5);
        if (!StartOnPort(sim, rx, Port, Baud)) return;
        scan.SetSignalStop(&stop);
        scan.SetSettleMs(settleMs);
        WireUpdatePolls(tick, rx, panel.state, [](int) {});
        probe.setInterval(1);
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [this] {
            const qint64 now = clock.elapsed();
            longestGap = std::max(longestGap, now - lastProbe);
            lastProbe = now;
        });
        if (!rx.fOpen(false) || !rx.Conn()) return;
        if (!waitFor([this] { return rx.Fr() > 0; }, 5000)) return;
        rx.Hook(true);
        panel.state.Connected = panel.state.RemoteHeld = true;
        waitFor([] { return false; }, 300);
        ok = true;
    }
    ~Bench() { ostry::setPortDevice(Port, QString()); }

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
    // Starts the scan; with polls, the update timer asks for the filter, blanker and squelch
    // every tick as it does while a procedure paces itself by the S-meter.
    bool run(bool polls, int timeoutMs) {
        if (!scan.Start()) return false;
        if (polls) {
            panel.state.Scan = ScanState::ActiveSearch;
            tick.start();
        }
        const bool done = waitFor([this] { return !scan.Running(); }, timeoutMs);
        tick.stop();
        panel.state.Scan = ScanState::Idle;
        return done;
    }
};

// Arguments: settle time (ms), update polls on (1) or off (0).
void BM_FastScanRate(benchmark::State& state) {
    const int settle = int(state.range(0));
    const bool polls = state.range(1) != 0;
    Bench b(settle);
    if (!b.ok) return state.SkipWithError("no simulator link");
    b.scan.SetRange(7000000, 7500000, 5000); // 101 steps
    b.scan.SetSweeps(2);
    for (auto _ : state) {
        b.startProbe();
        const double cpu0 = CpuSeconds();
        QElapsedTimer t;
        t.start();
        if (!b.run(polls, 120000)) return state.SkipWithError("scan did not end");
        const double ms = double(t.nsecsElapsed()) / 1e6;
        b.probe.stop();
        state.SetIterationTime(ms / 1000);
        const double steps = double(b.scan.StepsDone());
        const double rate = steps / (ms / 1000);
        const double bound = 1000.0 / LeastStepMs(settle);
        state.counters["steps"] = steps;
        state.counters["steps_per_s"] = rate;
        state.counters["line_bound_per_s"] = bound;
        state.counters["of_bound_%"] = 100 * rate / bound;
        state.counters["scn_delay_per_s"] = 1000.0 / (4 * 100);
        state.counters["longest_stall_ms"] = double(b.longestGap);
        state.counters["cpu_%"] = 100 * (CpuSeconds() - cpu0) / (ms / 1000);
    }
}
BENCHMARK(BM_FastScanRate)
    ->ArgsProduct({{0, 20, 50}, {0, 1}})
    ->ArgNames({"settle_ms", "polls"})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Arguments: the receiver's settle time and the scan's (ms). The default margin (10 dB).
void BM_FindSignals(benchmark::State& state) {
    const int rxSettle = int(state.range(0));
    const int scanSettle = int(state.range(1));
    Bench b(rxSettle);
    if (!b.ok) return state.SkipWithError("no simulator link");
    b.scan.SetSettleMs(scanSettle);
    // 40 carriers 25 kHz apart from 9.0125 MHz, some off the 5 kHz grid, 20 to 50 dB over a
    // 5 dB floor; every second one on for 4 s and off for 4 s, at its own phase.
    std::mt19937 gen(24);
    std::vector<nrd535sim::Carrier> carriers;
    for (int i = 0; i < 40; ++i) {
        nrd535sim::Carrier c;
        c.hz = 9012500 + 25000.0 * i + double(int(gen() % 5) - 2) * 1000;
        c.widthHz = i % 3 == 0 ? 9000 : 3000;
        c.dbAboveS0 = 20 + double(gen() % 31);
        if (i % 2) {
            c.onMs = 4000;
            c.offMs = 4000;
            c.phaseMs = int(gen() % 8000);
        }
        carriers.push_back(c);
    }
    b.sim.setCarriers(carriers);
    SignalStopOptions o;
    o.On = true;
    o.Resume = ResumeRule::Dwell;
    o.DwellMs = 300;
    b.stop.SetOptions(o);
    b.scan.SetRange(9000000, 10000000, 5000);
    b.scan.SetSweeps(1);
    // When the receiver answered each "M", and what was on then at the step measured.
    qint64 lastMeterAt = 0;
    QObject::connect(&b.sim, &nrd535sim::Simulator::lineReceived, &b.scan, [&](const QString& l) {
        if (l == QLatin1String("M")) lastMeterAt = b.sim.clockMs();
    });
    const int wide = 5500;
    auto reaches = [&](const nrd535sim::Carrier& c, double hz) {
        return std::abs(hz - c.hz) <= (wide + c.widthHz) / 2;
    };
    std::vector<bool> onWhenSwept(carriers.size(), false), found(carriers.size(), false);
    QObject::connect(&b.scan, &FastScan::Measured, &b.scan, [&](int, int, double hz, int) {
        for (size_t k = 0; k < carriers.size(); ++k)
            if (reaches(carriers[k], hz) && carriers[k].OnAt(lastMeterAt)) onWhenSwept[k] = true;
    });
    int falseStops = 0, stops = 0;
    QObject::connect(&b.scan, &FastScan::SignalStopped, &b.scan, [&](double hz, int, double) {
        ++stops;
        bool any = false;
        for (size_t k = 0; k < carriers.size(); ++k)
            if (reaches(carriers[k], hz)) {
                found[k] = true;
                any = true;
            }
        if (!any) ++falseStops;
    });
    for (auto _ : state) {
        b.startProbe();
        QElapsedTimer t;
        t.start();
        if (!b.run(false, 300000)) return state.SkipWithError("sweep did not end");
        const double ms = double(t.nsecsElapsed()) / 1e6;
        b.probe.stop();
        state.SetIterationTime(ms / 1000);
        int on = 0, foundOn = 0;
        for (size_t k = 0; k < carriers.size(); ++k) {
            if (!onWhenSwept[k]) continue;
            ++on;
            foundOn += found[k];
        }
        state.counters["on_when_swept"] = on;
        state.counters["found"] = foundOn;
        state.counters["found_%"] = on ? 100.0 * foundOn / on : 0;
        state.counters["stops"] = stops;
        state.counters["false_stops"] = falseStops;
        state.counters["sweep_s"] = ms / 1000;
        state.counters["longest_stall_ms"] = double(b.longestGap);
    }
}
BENCHMARK(BM_FindSignals)
    ->Args({20, 20})
    ->Args({20, 0})
    ->ArgNames({"rx_settle_ms", "scan_settle_ms"})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv);
}
