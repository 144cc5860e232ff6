// Cost of one captured block: the two-window spectrum, and the display update that follows.

#include <halvard/display.h>
#include <halvard/fftapi.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

using halvard::FFTApi;

namespace {

FFTApi::Blocks Tone() {
    FFTApi::Blocks blocks{};
    for (int b = 0; b < 2; ++b)
        for (int i = 0; i < FFTApi::N; ++i)
            blocks[b][i] = float(
                std::lround(90 * std::sin(2 * std::numbers::pi * 1000 * (b * 400 + i) / 8000.0)));
    return blocks;
}

// Arguments: magnitude, averaging (the four spectrum modes).
void BM_ComputeSpectrum(benchmark::State& state) {
    FFTApi fft;
    fft.FftSetup(FFTApi::N, true);
    const auto blocks = Tone();
    FFTApi::Spectrum out{};
    double maximum, mean, deviation;
    const bool magnitude = state.range(0) != 0;
    const bool averaging = state.range(1) != 0;
    for (auto _ : state) {
        fft.ComputeSpectrum(blocks, out, maximum, mean, deviation, magnitude, averaging);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ComputeSpectrum)->ArgsProduct({{0, 1}, {0, 1}})->ArgNames({"magnitude", "averaging"});

void BM_DisplayUpdate(benchmark::State& state) {
    FFTApi fft;
    fft.FftSetup(FFTApi::N, true);
    FFTApi::Spectrum out{};
    double maximum, mean, deviation;
    fft.ComputeSpectrum(Tone(), out, maximum, mean, deviation, true, false);
    halvard::MeterDisplay display;
    display.Resize(480, 150, 15);
    for (auto _ : state) {
        display.Update(out.data(), maximum, mean, 20000, false);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DisplayUpdate);

} // namespace

BENCHMARK_MAIN();
