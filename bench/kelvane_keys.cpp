// Key commands and scans against the simulated receiver, through the real main window under
// the offscreen platform.
//
// - Key to wire: from a key event delivered to the window to the "F" command being readable
//   at the far end of the pseudo-terminal. One "F" line takes 20.8 ms on the wire at 4800 baud.
// - Scan pacing: a band scan with "SCN_Delay" 1 on the real 100 ms timer; the intervals between
//   successive "F" commands, and whether any step was missed or sent twice.
// - Bursts: 40 Up keys (or 40 wheel notches) 10, 33 or 100 ms apart against the simulator
//   paced at 4800 baud: how many of the 40 steps the receiver ends up moved, and the time from
//   the last key to the receiver's last "F" line arriving complete.
// Figures only; nothing here fails.

#include "bench_figures.h"
#include "fixture.h"
#include "scan/scan_engine.h"

#include <benchmark/benchmark.h>
#include <ostry/nrd535.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <poll.h>
#include <vector>

namespace {

KelvaneFixture::Options Hive(int delay) {
    KelvaneFixture::Options o;
    o.hiveLines = {QStringLiteral("\"BND_AutoMD\"=dword:00000000"),
                   QStringLiteral("\"BND_AutoFT\"=dword:00000000"),
                   QStringLiteral("\"SCN_Delay\"=dword:%1").arg(delay, 8, 16, QChar(u'0'))};
    return o;
}

void Press(Main& m, int key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(m.Dummy, &press);
}

bool Hold(KelvaneFixture& fx) {
    Press(*fx.main, Qt::Key_U, QStringLiteral("u"));
    fx.clearLines();
    return fx.main->State().RemoteHeld;
}

void BM_KeyToWire(benchmark::State& state) {
    KelvaneFixture fx(Hive(4));
    if (!fx.ok() || !Hold(fx)) {
        state.SkipWithError("no window on the simulator");
        return;
    }
    fx.sim.setPaced(false);
    Main& m = *fx.main;
    Nrd535& rx = m.receiver();
    std::vector<double> us;
    bool right = true;
    for (auto _ : state) {
        // Start from a quiet wire with the receiver's report taken in, a line time after the
        // last tune (a key pressed sooner waits for the line, by design).
        KelvaneFixture::waitFor([&] { return rx.Fr() == double(fx.sim.settings().hz); });
        QElapsedTimer quiet;
        quiet.start();
        KelvaneFixture::waitFor([&] { return quiet.elapsed() > 25; });
        fx.sim.clearReceivedLines();
        QElapsedTimer t;
        t.start();
        Press(m, right ? Qt::Key_Right : Qt::Key_Left);
        pollfd p{fx.sim.masterFd(), POLLIN, 0};
        // Nothing else runs while the key's line is awaited, unless it is late.
        while (::poll(&p, 1, 100) == 0) QCoreApplication::processEvents();
        const qint64 ns = t.nsecsElapsed();
        state.SetIterationTime(double(ns) * 1e-9);
        us.push_back(double(ns) / 1000.0);
        right = !right;
        fx.clearLines();
    }
    CountPercentiles(state, us);
    state.counters["line_ms@4800"] = 20.8;
}
BENCHMARK(BM_KeyToWire)->UseManualTime()->Iterations(1000)->Unit(benchmark::kMicrosecond);

void BM_BandScanPacing(benchmark::State& state) {
    constexpr int Steps = 100;
    for (auto _ : state) {
        KelvaneFixture fx(Hive(1));
        if (!fx.ok() || !Hold(fx)) {
            state.SkipWithError("no window on the simulator");
            return;
        }
        Main& m = *fx.main;
        // Broadcast band 9400..9900 kHz, 5 kHz channels: 100 steps run through one wrap.
        std::vector<qint64> hz;
        std::vector<qint64> ns;
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&fx.sim, &nrd535sim::Simulator::lineReceived, &fx.sim,
                         [&](const QString& line) {
                             if (!line.startsWith(u'F')) return;
                             ns.push_back(clock.nsecsElapsed());
                             hz.push_back(line.mid(1).toLongLong());
                         });
        Press(m, Qt::Key_S, QStringLiteral("s"));
        Press(m, Qt::Key_B, QStringLiteral("b"));
        m.SetTimerRunning(true);
        KelvaneFixture::waitFor([&] { return hz.size() > size_t(Steps); }, 30000);
        m.SetTimerRunning(false);
        if (hz.size() <= size_t(Steps)) {
            state.SkipWithError("the scan stalled");
            return;
        }
        int missed = 0;
        int doubled = 0;
        std::vector<double> gaps;
        for (int i = 1; i <= Steps; ++i) {
            const qint64 expected = hz[i - 1] + 5000 >= 9900000 ? 9400000 : hz[i - 1] + 5000;
            if (hz[i] == hz[i - 1])
                ++doubled;
            else if (hz[i] != expected)
                ++missed;
            gaps.push_back(double(ns[i] - ns[i - 1]) / 1e6);
        }
        const double mean = std::accumulate(gaps.begin(), gaps.end(), 0.0) / double(gaps.size());
        std::sort(gaps.begin(), gaps.end());
        state.counters["mean_ms"] = mean;
        state.counters["error_pct"] = (mean - 100.0);
        state.counters["min_ms"] = gaps.front();
        state.counters["max_ms"] = gaps.back();
        state.counters["missed"] = missed;
        state.counters["doubled"] = doubled;
        state.SetIterationTime(double(ns[Steps] - ns[0]) * 1e-9);
    }
}
BENCHMARK(BM_BandScanPacing)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// One burst of 40 keys (Up, 5 kHz each in the 31 m band) or wheel notches (500 Hz each, down).
void BM_Burst(benchmark::State& state) {
    const int gapMs = int(state.range(0));
    const bool wheel = state.range(1) != 0;
    constexpr int Presses = 40;
    const qint64 stepHz = wheel ? -500 : 5000;
    std::vector<double> reached;
    std::vector<double> lastToWireMs;
    for (auto _ : state) {
        KelvaneFixture fx(Hive(4));
        if (!fx.ok() || !Hold(fx)) {
            state.SkipWithError("no window on the simulator");
            return;
        }
        Main& m = *fx.main;
        const qint64 start = fx.sim.settings().hz;
        const qint64 target = start + Presses * stepHz;
        QElapsedTimer clock;
        qint64 arrived = -1;
        QObject::connect(&fx.sim, &nrd535sim::Simulator::lineReceived, &fx.sim,
                         [&](const QString& line) {
                             if (line == QStringLiteral("F%1").arg(target, 8, 10, QChar(u'0')))
                                 arrived = clock.nsecsElapsed();
                         });
        m.SetTimerRunning(true); // polls and reports as in the running program
        for (int i = 0; i < Presses; ++i) {
            if (wheel) {
                const QPointF at(m.width() / 2.0, 4);
                QWheelEvent notch(at, m.mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                                  Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(&m, &notch);
            } else {
                Press(m, Qt::Key_Up);
            }
            if (i + 1 < Presses) QTest::qWait(gapMs);
        }
        clock.start();
        KelvaneFixture::waitFor([&] { return arrived >= 0; }, 3000);
        KelvaneFixture::waitFor([&] { return fx.sim.settings().hz == target; }, 3000);
        m.SetTimerRunning(false);
        reached.push_back(double(fx.sim.settings().hz - start) / double(stepHz));
        lastToWireMs.push_back(arrived >= 0 ? double(arrived) / 1e6 : -1);
        state.SetIterationTime(arrived >= 0 ? double(arrived) * 1e-9 : 1.0);
    }
    std::sort(reached.begin(), reached.end());
    std::sort(lastToWireMs.begin(), lastToWireMs.end());
    state.counters["steps_of_40_min"] = reached.front();
    state.counters["last_key_to_wire_ms_median"] = lastToWireMs[lastToWireMs.size() / 2];
    state.counters["last_key_to_wire_ms_max"] = lastToWireMs.back();
}
BENCHMARK(BM_Burst)
    ->ArgsProduct({{10, 33, 100}, {0, 1}})
    ->ArgNames({"gap_ms", "wheel"})
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return RunBenchmarks<QApplication>(argc, argv);
}
