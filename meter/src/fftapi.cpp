#include <halvard/fftapi.h>

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace halvard {

namespace {

fftwf_plan Plan(void* p) {
    return static_cast<fftwf_plan>(p);
}

} // namespace

FFTApi::FFTApi() = default;

FFTApi::~FFTApi() {
    FftSetup(N, false);
}

const FFTApi::Block& FFTApi::HammingWindow() {
    static const Block window = [] {
        Block w{};
        for (int n = 0; n < N; ++n)
            w[n] = float(0.54 - 0.46 * std::cos(2.0 * std::numbers::pi * n / (N - 1)));
        return w;
    }();
    return window;
}

bool FFTApi::FftSetup(int size, bool init) {
    if (!init) {
        if (m_plan) fftwf_destroy_plan(Plan(m_plan));
        fftwf_free(m_in);
        fftwf_free(m_work);
        m_plan = nullptr;
        m_in = nullptr;
        m_work = nullptr;
        return true;
    }
    if (size != N) return false;
    if (m_plan) return true;
    m_in = fftwf_alloc_real(N);
    m_work = reinterpret_cast<float*>(fftwf_alloc_complex(N / 2 + 1));
    if (m_in && m_work) {
        m_plan = fftwf_plan_dft_r2c_1d(N, m_in, reinterpret_cast<fftwf_complex*>(m_work),
                                       FFTW_ESTIMATE | FFTW_DESTROY_INPUT);
    }
    if (!m_plan) {
        FftSetup(N, false);
        return false;
    }
    return true;
}

int FFTApi::ComputeSpectrum(const Blocks& in, Spectrum& out, double& maximum, double& mean,
                            double& deviation, bool magnitude, bool averaging) {
    maximum = mean = deviation = 0.0;
    if (!m_plan) return 0;
    const Block& window = HammingWindow();
    for (int a = 0; a < 2; ++a) {
        for (int n = 0; n < N; ++n) m_in[n] = in[a][n] * window[n];
        fftwf_execute(Plan(m_plan));
        auto& column = m_table[a];
        for (int k = 0; k < Bins; ++k) {
            const float re = m_work[2 * k];
            const float im = m_work[2 * k + 1];
            const float power = re * re + im * im;
            column[k] = magnitude ? std::sqrt(power) : power;
        }
    }

    double sum = 0.0;
    double squares = 0.0;
    for (int i = 0; i < Bins; ++i) {
        const float fresh = m_table[0][i] + m_table[1][i];
        out[i] = averaging ? fresh / 4.0f + out[i] / 2.0f : fresh / 2.0f;
        const double v = out[i];
        if (v > maximum) maximum = v;
        sum += v;
        squares += v * v;
    }
    mean = sum / Bins;
    // Rounding can leave the variance a hair below zero for a flat spectrum.
    deviation = std::sqrt(std::max(0.0, squares / Bins - mean * mean));
    return 0;
}

bool FFTApi::NspAvailable() {
    static const bool available = [] {
        FFTApi probe;
        return probe.FftSetup(N, true);
    }();
    return available;
}

} // namespace halvard
