#pragma once

// What the benchmarks share: a sample's percentiles as counters, and the main that runs the
// registered benchmarks with a Qt application alive (the rigs run on its event loop).

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <algorithm>
#include <string>
#include <vector>

// "<prefix>median_us", "<prefix>p99_us" and "<prefix>max_us" of samples in microseconds.
inline void CountPercentiles(benchmark::State& state, std::vector<double> us,
                             const std::string& prefix = {}) {
    if (us.empty()) return;
    std::sort(us.begin(), us.end());
    state.counters[prefix + "median_us"] = us[us.size() / 2];
    state.counters[prefix + "p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    state.counters[prefix + "max_us"] = us.back();
}

// App is QCoreApplication, or QApplication for benchmarks with windows.
template <class App = QCoreApplication> int RunBenchmarks(int argc, char** argv) {
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
