// The database link against the simulated receiver: from an "S" message written to kelvane-db
// (the database's side, a separate process) to the "F" command arriving at the far end of the
// receiver's pseudo-terminal. The path: kelvane-db's standard input, the session bus, the
// program's receive step, the driver, the pty. Run under dbus-run-session. Figures only.

#include "bench_figures.h"
#include "link_rig.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>

#include <vector>

namespace {

void BM_MessageToWire(benchmark::State& state) {
    if (!QDBusConnection::sessionBus().isConnected()) {
        state.SkipWithError("no session bus: run under dbus-run-session");
        return;
    }
    LinkRig rig;
    DbProcess db;
    if (!rig.ok() || !rig.linkUp(db)) {
        state.SkipWithError("the link did not come up");
        return;
    }
    rig.takeLines();
    QElapsedTimer clock;
    qint64 seen = -1;
    QObject::connect(&rig.sim, &nrd535sim::Simulator::lineReceived, &rig.sim,
                     [&](const QString& line) {
                         if (line.startsWith(QLatin1Char('F'))) seen = clock.nsecsElapsed();
                     });
    std::vector<double> us;
    qint64 hz = 7000000;
    for (auto _ : state) {
        hz = hz >= 7500000 ? 7000000 : hz + 1000;
        seen = -1;
        clock.start();
        db.send(QStringLiteral("S|%1|AM|Wide|Slow|0").arg(hz));
        QElapsedTimer guard;
        guard.start();
        while (seen < 0 && guard.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        if (seen < 0) {
            state.SkipWithError("no F command reached the receiver");
            return;
        }
        state.SetIterationTime(double(seen) * 1e-9);
        us.push_back(double(seen) / 1000.0);
        rig.takeLines();
    }
    CountPercentiles(state, us);
}
BENCHMARK(BM_MessageToWire)->UseManualTime()->Iterations(300)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv);
}
