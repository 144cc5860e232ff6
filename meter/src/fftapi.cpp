#include <halvard/fftapi.h>

namespace halvard {
FFTApi::FFTApi() = default;
FFTApi::~FFTApi() = default;
bool FFTApi::FftSetup(int, bool) {
    return false;
}
int FFTApi::ComputeSpectrum(const Blocks&, Spectrum&, double&, double&, double&, bool, bool) {
    return 0;
}
bool FFTApi::NspAvailable() {
    return false;
}
const FFTApi::Block& FFTApi::HammingWindow() {
    static Block b{};
    return b;
}
} // namespace halvard
