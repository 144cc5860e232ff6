#pragma once

// Module FFTApi: the 32-bin spectrum of two 64-sample blocks. A 64-point real FFT planned once
// by FftSetup; Hamming window, magnitude and power spectrum are computed here. No allocation
// per block.

#include <halvard/halvard_export.h>

#include <array>

namespace halvard {

class HALVARD_EXPORT FFTApi {
public:
    static constexpr int N = 64;
    static constexpr int Order = 6;
    static constexpr int Bins = N / 2;
    using Block = std::array<float, N>;
    using Blocks = std::array<Block, 2>;
    // Bins 0..31 are used; the 33rd is kept for the conjugate-symmetric layout.
    using Spectrum = std::array<float, Bins + 1>;

    FFTApi();
    ~FFTApi();
    FFTApi(const FFTApi&) = delete;
    FFTApi& operator=(const FFTApi&) = delete;

    // init true: plans the transform of `size` points (only 64 is supported); false: releases.
    bool FftSetup(int size, bool init);
    bool Ready() const { return m_plan != nullptr; }

    // Spectrum of the two blocks into `out` (averaged with its previous content when
    // `averaging`), with the maximum, mean and standard deviation of the 32 bins. Returns 0.
    int ComputeSpectrum(const Blocks& in, Spectrum& out, double& maximum, double& mean,
                        double& deviation, bool magnitude, bool averaging);

    // True when a transform can be planned.
    static bool NspAvailable();
    static const Block& HammingWindow();

private:
    void* m_plan = nullptr;
    float* m_in = nullptr;   // FFT input (aligned)
    float* m_work = nullptr; // complex work vector, N/2 + 1 pairs
    std::array<std::array<float, Bins + 1>, 2> m_table{};
};

} // namespace halvard
