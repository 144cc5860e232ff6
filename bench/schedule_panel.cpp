// The panel's on-air lookup against a tune: key event to the "F" command on the wire through
// the real window on the simulated receiver, without a schedule and with a generated season's
// schedule (12 000 broadcasts) named in "SKD_File", the receiver resting on a frequency with
// broadcasts. Figures only; nothing here fails.

#include "bench_figures.h"
#include "fixture.h"
#include "schedule_season.h"

#include <benchmark/benchmark.h>
#include <ostry/nrd535.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <poll.h>
#include <vector>

namespace {

void Press(Main& m, int key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(m.Dummy, &press);
}

void BM_KeyToWire(benchmark::State& state) {
    const bool withSchedule = state.range(0) != 0;
    QTemporaryDir dir;
    KelvaneFixture::Options o;
    o.hiveLines = {QStringLiteral("\"BND_AutoMD\"=dword:00000000"),
                   QStringLiteral("\"BND_AutoFT\"=dword:00000000")};
    if (withSchedule) {
        const QString path = dir.filePath(QStringLiteral("sked-B25.csv"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(seasonFile(12000));
        f.close();
        o.hiveLines << QStringLiteral("\"SKD_File\"=\"%1\"").arg(path);
    }
    KelvaneFixture fx(o);
    Press(*fx.main, Qt::Key_U, QStringLiteral("u"));
    fx.clearLines();
    if (!fx.ok() || !fx.main->State().RemoteHeld) {
        state.SkipWithError("no window on the simulator");
        return;
    }
    fx.sim.setPaced(false);
    fx.sim.panelTune(9410000);
    Main& m = *fx.main;
    Nrd535& rx = m.receiver();
    std::vector<double> us;
    bool right = true;
    for (auto _ : state) {
        // As the key benchmark: a quiet wire with the report taken in first; long enough that
        // the panel's lookup of the last frequency has run too.
        KelvaneFixture::waitFor([&] { return rx.Fr() == double(fx.sim.settings().hz); });
        QElapsedTimer quiet;
        quiet.start();
        KelvaneFixture::waitFor([&] { return quiet.elapsed() > 300; });
        fx.sim.clearReceivedLines();
        QElapsedTimer t;
        t.start();
        Press(m, right ? Qt::Key_Right : Qt::Key_Left);
        pollfd p{fx.sim.masterFd(), POLLIN, 0};
        while (::poll(&p, 1, 100) == 0) QCoreApplication::processEvents();
        const qint64 ns = t.nsecsElapsed();
        state.SetIterationTime(double(ns) * 1e-9);
        us.push_back(double(ns) / 1000.0);
        right = !right;
        fx.clearLines();
    }
    CountPercentiles(state, us);
}
BENCHMARK(BM_KeyToWire)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(100)
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarks<QApplication>(argc, argv);
}
