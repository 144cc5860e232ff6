#include <fennick/freqs.h>

Freqs::Freqs() = default;
double Freqs::Max() const {
    return m_max;
}
void Freqs::Max(double hz) {
    m_max = hz;
}
bool Freqs::Changed() const {
    return m_changed;
}
std::string Freqs::Label(int) const {
    return {};
}
int Freqs::Region() const {
    return m_region;
}
void Freqs::Region(int value) {
    m_region = value > 2 || value < 0 ? 0 : value;
}
int Freqs::RegionNxt() {
    return m_region = (m_region + 1) % 3;
}
double Freqs::Last() const {
    return 0;
}
int Freqs::Step() const {
    return 0;
}
std::string Freqs::Mode(int& Filter) const {
    Filter = -1;
    return "USB";
}
std::string Freqs::BandNam() {
    return m_curText;
}
std::string Freqs::BandNxt(bool) {
    return m_curText;
}
double Freqs::BandFrq() const {
    return 0;
}
std::string Freqs::FreqNxt(bool, int& Tb, int& Ps, std::span<const int>) {
    Tb = Ps = 0;
    return {};
}
double Freqs::FreqFrq() const {
    return 0;
}
double Freqs::FreqSet(double& Fr) {
    return Fr /= 1000.0;
}
std::string Freqs::Look(double, bool& App) {
    App = false;
    return m_curText;
}
