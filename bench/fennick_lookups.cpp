// Freqs lookups. Prints figures; never fails.

#include <fennick/freqs.h>

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

// Random frequencies in 9 kHz..30 MHz, every other one on a station (hit) and the others
// placed where no station lies within 0.25 kHz (miss).
std::vector<double> probes() {
    std::vector<double> hits, out;
    Freqs f;
    std::vector<int> all(20, 1);
    all[0] = 19;
    int tb = 0, ps = 0;
    for (int i = 0; i < 1240; ++i) {
        f.FreqNxt(true, tb, ps, all);
        if (f.FreqFrq() < 30000) hits.push_back(f.FreqFrq());
    }
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> any(9, 30000);
    std::uniform_int_distribution<std::size_t> pick(0, hits.size() - 1);
    while (out.size() < 4096) {
        out.push_back(hits[pick(rng)]);
        for (;;) {
            const double khz = any(rng);
            Freqs g;
            bool app = false;
            g.Look(khz, app);
            if (g.FreqFrq() == 0.0) { // no station matched
                out.push_back(khz);
                break;
            }
        }
    }
    return out;
}

void Look(benchmark::State& state) {
    const std::vector<double> p = probes();
    Freqs f;
    f.Max(29999999);
    std::size_t i = 0;
    bool app = false;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.Look(p[i], app));
        if (++i == p.size()) i = 0;
    }
}
BENCHMARK(Look);

void FreqNxtAllLists(benchmark::State& state) {
    Freqs f;
    f.Max(29999999);
    std::vector<int> all(20, 1);
    all[0] = 19;
    int tb = 0, ps = 0;
    for (auto _ : state) benchmark::DoNotOptimize(f.FreqNxt(true, tb, ps, all));
}
BENCHMARK(FreqNxtAllLists);

void FreqSet(benchmark::State& state) {
    Freqs f;
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> any(9000, 30000000);
    std::vector<double> p(4096);
    for (double& v : p) v = any(rng);
    std::size_t i = 0;
    for (auto _ : state) {
        double hz = p[i];
        benchmark::DoNotOptimize(f.FreqSet(hz));
        if (++i == p.size()) i = 0;
    }
}
BENCHMARK(FreqSet);

} // namespace

BENCHMARK_MAIN();
