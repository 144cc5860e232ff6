// Key commands and scans against the simulated receiver, through the real main window under
// the offscreen platform.
//
// - Key to wire: from a key event delivered to the window to the "F" command being readable
//   at the far end of the pseudo-terminal. One "F" line takes 20.8 ms on the wire at 4800 baud.
// - Scan pacing: a band scan with "SCN_Delay" 1 on the real 100 ms timer; the intervals between
//   successive "F" commands, and whether any step was missed or sent twice.
// Figures only; nothing here fails.

#include "fixture.h"
#include "scan/scan_engine.h"

#include <benchmark/benchmark.h>
#include <ostry/nrd535.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

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

void Percentiles(benchmark::State& state, std::vector<double> us) {
    if (us.empty()) return;
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    state.counters["max_us"] = us.back();
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
        // Start from a quiet wire with the receiver's report taken in.
        KelvaneFixture::waitFor([&] { return rx.Fr() == double(fx.sim.settings().hz); });
        fx.sim.clearReceivedLines();
        QElapsedTimer t;
        t.start();
        Press(m, right ? Qt::Key_Right : Qt::Key_Left);
        pollfd p{fx.sim.masterFd(), POLLIN, 0};
        while (::poll(&p, 1, 100) == 0) {
        }
        const qint64 ns = t.nsecsElapsed();
        state.SetIterationTime(double(ns) * 1e-9);
        us.push_back(double(ns) / 1000.0);
        right = !right;
        fx.clearLines();
    }
    Percentiles(state, us);
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

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
