// Setter to wire: from an Fr or MD call to the command being readable at the far end of the
// pseudo-terminal (poll() on the simulator's master side). One "F" command line is 10
// characters, 20.8 ms at 4800 baud; that is the figure to hold these against.

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <poll.h>
#include <vector>

namespace {

struct Link {
    nrd535sim::Simulator sim;
    Nrd535 rx;
    bool ok = false;
    Link() {
        sim.setPaced(false);
        if (!sim.start()) return;
        ostry::setPortDevice(201, sim.slavePath());
        rx.Baud("4800");
        rx.Port(201);
        rx.setMessageDisplay([](const QString&) {});
        ok = rx.fOpen(false) && rx.Conn();
    }
    // Nanoseconds until the master side has something to read.
    qint64 untilReadable(QElapsedTimer& t) {
        pollfd p{sim.masterFd(), POLLIN, 0};
        while (::poll(&p, 1, 100) == 0) {
        }
        return t.nsecsElapsed();
    }
    // Let the simulator take the line and answer, so the next call starts from a quiet wire.
    void settle() {
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    }
};

void report(benchmark::State& state, std::vector<double>& us) {
    if (us.empty()) return;
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    state.counters["max_us"] = us.back();
    state.counters["line_ms@4800"] = 20.8;
}

void BM_SetterToWire_Fr(benchmark::State& state) {
    Link link;
    if (!link.ok) {
        state.SkipWithError("no link to the simulator");
        return;
    }
    link.settle();
    std::vector<double> us;
    double hz = 1000000;
    for (auto _ : state) {
        hz += 10; // always a new frequency, so the setter sends
        QElapsedTimer t;
        t.start();
        link.rx.Fr(hz);
        const qint64 ns = link.untilReadable(t);
        state.SetIterationTime(double(ns) * 1e-9);
        us.push_back(double(ns) / 1000.0);
        link.settle();
    }
    report(state, us);
}
BENCHMARK(BM_SetterToWire_Fr)->UseManualTime()->Iterations(2000);

void BM_SetterToWire_MD(benchmark::State& state) {
    Link link;
    if (!link.ok) {
        state.SkipWithError("no link to the simulator");
        return;
    }
    while (link.rx.MD() < 0) link.settle(); // the first status report
    std::vector<double> us;
    int mode = link.rx.MD();
    for (auto _ : state) {
        // Wait until the receiver's report has brought the stored mode up to date.
        while (link.rx.MD() != mode) link.settle();
        mode = mode == 2 ? 3 : 2;
        QElapsedTimer t;
        t.start();
        link.rx.MD(ostry::MD(mode));
        const qint64 ns = link.untilReadable(t);
        state.SetIterationTime(double(ns) * 1e-9);
        us.push_back(double(ns) / 1000.0);
        link.settle();
    }
    report(state, us);
}
BENCHMARK(BM_SetterToWire_MD)->UseManualTime()->Iterations(1000);

} // namespace
