// Broadcast schedules: reading a season's file (about 12 000 lines, 1 MB, generated here) and
// "who is on the air at f, t". Goals: load at most 50 ms, a lookup at most 2 us.

#include "bench_figures.h"
#include "schedule/schedule.h"
#include "schedule_season.h"

#include <QByteArray>
#include <QDateTime>
#include <QTemporaryDir>
#include <QTimeZone>

#include <chrono>
#include <random>

namespace {

const QByteArray& season() {
    static const QByteArray bytes = seasonFile(12000);
    return bytes;
}

void BM_Load(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sked-B25.csv"));
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(season());
    }
    std::vector<double> us;
    for (auto _ : state) {
        Schedule s;
        const auto t0 = std::chrono::steady_clock::now();
        const ScheduleLoad load = s.Load(path);
        us.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0)
                .count());
        if (!load.Ok) state.SkipWithError("the generated file did not load");
        benchmark::DoNotOptimize(s.Size());
    }
    state.counters["bytes"] = double(season().size());
    state.counters["lines"] = 12000;
    CountPercentiles(state, us);
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->Iterations(40);

// "On air at f, t" for frequencies across the bands, at many times of the week.
void BM_OnAirAt(benchmark::State& state) {
    Schedule s;
    s.Parse(season());
    std::mt19937 rng(7);
    std::vector<std::pair<double, ScheduleTime>> asks;
    QDateTime t0 = QDateTime(QDate(2025, 11, 3), QTime(0, 0), QTimeZone::utc());
    for (int i = 0; i < 4096; ++i) {
        const std::size_t at = rng() % s.Size();
        asks.emplace_back(s.At(at).Khz, ScheduleTime::FromUtc(t0.addSecs(qint64(rng() % 604800))));
    }
    std::vector<const Broadcast*> found;
    std::size_t i = 0, hits = 0;
    for (auto _ : state) {
        const auto& [khz, t] = asks[i++ & 4095];
        s.OnAirAt(khz, 1.0, t, found);
        hits += found.size();
        benchmark::DoNotOptimize(found.data());
    }
    state.counters["found_per_ask"] = double(hits) / double(state.iterations());
}
BENCHMARK(BM_OnAirAt)->Unit(benchmark::kNanosecond);

// The same with the time taken from a QDateTime, as the panel asks.
void BM_OnAirAtFromClock(benchmark::State& state) {
    Schedule s;
    s.Parse(season());
    const QDateTime now(QDate(2025, 11, 5), QTime(18, 30), QTimeZone::utc());
    std::vector<const Broadcast*> found;
    double khz = 5900;
    for (auto _ : state) {
        s.OnAirAt(khz, 1.0, ScheduleTime::FromUtc(now), found);
        khz = khz >= 6200 ? 5900 : khz + 5;
        benchmark::DoNotOptimize(found.data());
    }
}
BENCHMARK(BM_OnAirAtFromClock)->Unit(benchmark::kNanosecond);

// Everything on the air in the 49 m band and in the whole file (the window each minute).
void BM_OnAirIn(benchmark::State& state) {
    Schedule s;
    s.Parse(season());
    const ScheduleTime t =
        ScheduleTime::FromUtc(QDateTime(QDate(2025, 11, 5), QTime(18, 30), QTimeZone::utc()));
    std::vector<const Broadcast*> found;
    const double low = state.range(0) ? 5900 : 0, high = state.range(0) ? 6200 : 1e9;
    for (auto _ : state) {
        s.OnAirIn(low, high, t, found);
        benchmark::DoNotOptimize(found.data());
    }
    state.counters["found"] = double(found.size());
}
BENCHMARK(BM_OnAirIn)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv);
}
