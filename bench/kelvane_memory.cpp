// The memory room: a 200-channel push to the simulated receiver at 4800 baud against the
// line-bound minimum (characters sent x 10 bits / 4800 = 2.083 ms each), with the longest gap
// between two 5 ms timer events while it runs; and loading and saving a 200-line memory file.
// Figures only; nothing here fails.

#include "bench_figures.h"
#include "memory/memory_file.h"
#include "memory/memory_table.h"
#include "memory/receiver_push.h"
#include "simulated_port.h"

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

namespace {

constexpr quint8 BenchPort = 203;

void fill(ChannelTable& t) {
    for (int r = 0; r < t.Size(); ++r)
        t.SetRow(r, MemoryRecord{double(1000000 + r * 137000), r % 9, r % 4, r % 3,
                                 QStringLiteral("Station %1, a comment of some length").arg(r)});
}

void BM_Push200At4800(benchmark::State& state) {
    nrd535sim::Simulator sim;
    Nrd535 rx;
    if (!StartOnPort(sim, rx, BenchPort, 4800)) return state.SkipWithError("no simulator");
    if (!rx.fOpen(false) || !rx.Conn()) return state.SkipWithError("no link to the simulator");
    ChannelTable table;
    fill(table);
    QList<ReceiverPush::Item> items;
    for (int r = 0; r < table.Size(); ++r) items.append({r, table.Row(r)});

    for (auto _ : state) {
        ReceiverPush push(rx, items, false);
        qint64 bytes = 0;
        for (const auto& item : items) bytes += push.LineOf(item).size() + 1;
        QEventLoop loop;
        QObject::connect(&push, &ReceiverPush::finished, &loop, &QEventLoop::quit);
        QElapsedTimer gap;
        qint64 longestGapNs = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestGapNs = std::max(longestGapNs, gap.nsecsElapsed());
            gap.restart();
        });
        QElapsedTimer clock;
        clock.start();
        gap.start();
        ticker.start(5);
        push.Start();
        loop.exec();
        const double totalMs = double(clock.nsecsElapsed()) / 1e6;
        const double minimumMs = ReceiverPush::LineMs(bytes, 4800);
        state.SetIterationTime(totalMs / 1000);
        state.counters["bytes"] = double(bytes);
        state.counters["total_ms"] = totalMs;
        state.counters["line_minimum_ms"] = minimumMs;
        state.counters["over_minimum_pct"] = (totalMs / minimumMs - 1) * 100;
        state.counters["longest_timer_gap_ms"] = double(longestGapNs) / 1e6;
    }
    ostry::setPortDevice(BenchPort, QString());
}
BENCHMARK(BM_Push200At4800)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SaveFile200(benchmark::State& state) {
    QTemporaryDir dir;
    ChannelTable table;
    fill(table);
    const QString path = dir.filePath("bench.mem");
    for (auto _ : state) benchmark::DoNotOptimize(SaveChannelFile(path, table).ok);
}
BENCHMARK(BM_SaveFile200)->Unit(benchmark::kMicrosecond);

// The text of a save without the file system: what the program itself spends on a save.
void BM_FormatFile200(benchmark::State& state) {
    ChannelTable table;
    fill(table);
    for (auto _ : state) {
        QByteArray bytes;
        for (const MemoryRecord& r : table.Rows()) bytes += FormatRecordLine(r).toUtf8() + "\r\n";
        benchmark::DoNotOptimize(bytes.size());
    }
}
BENCHMARK(BM_FormatFile200)->Unit(benchmark::kMicrosecond);

void BM_LoadFile200(benchmark::State& state) {
    QTemporaryDir dir;
    ChannelTable table;
    fill(table);
    const QString path = dir.filePath("bench.mem");
    SaveChannelFile(path, table);
    ChannelTable into;
    for (auto _ : state) benchmark::DoNotOptimize(LoadChannelFile(path, into).rowsRead);
}
BENCHMARK(BM_LoadFile200)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv); // the push runs on the event loop
}
