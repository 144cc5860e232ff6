#include <fennick/freqs.h>

#include "tables.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace fennick;

namespace {

// Precomputed once per process: station texts, band texts and a frequency-sorted index of
// every station. The index gives the same answers as scanning the lists in order: among the
// stations in a frequency window, the one with the smallest list-order key wins.
struct Index {
    struct Entry {
        double freq;
        int order; // position in list order (list 0 station 1 is 0)
    };
    std::vector<Entry> byFreq;
    std::vector<int> listOf, posOf;              // by order
    std::vector<std::string> text;               // by order
    std::array<int, ListCount + 1> firstOrder{}; // order of station 1 of each list
    std::array<std::string, BandCount + 1> bandText;

    Index() {
        int order = 0;
        for (int l = 0; l < ListCount; ++l) {
            firstOrder[l] = order;
            int pos = 1;
            for (const Station& s : Lists[l]) {
                byFreq.push_back({s.freq, order});
                listOf.push_back(l);
                posOf.push_back(pos++);
                const LabelPair& lab = Labels[s.label];
                // List 7 carries channel names and reads "MSI Chn Sitor->".
                text.push_back(l == 7 ? std::string(lab.shortLabel) + " Chn " + s.name + "->"
                                      : std::string(lab.shortLabel) + " " + s.name);
                ++order;
            }
        }
        firstOrder[ListCount] = order;
        std::stable_sort(byFreq.begin(), byFreq.end(),
                         [](const Entry& a, const Entry& b) { return a.freq < b.freq; });
        for (int b = 1; b <= BandCount; ++b) {
            std::string t;
            for (std::uint8_t svc : Bands[b].services) {
                t += ServiceCodes[svc];
                t += ' ';
            }
            bandText[b] = t;
        }
    }
};

const Index& index() {
    static const Index idx;
    return idx;
}

int rowCount(int region) {
    return static_cast<int>(RegionRows[region].size());
}

double rowLower(int region, int row) {
    return Bands[RegionRows[region][row - 1]].lower;
}

} // namespace

Freqs::Freqs() {
    index(); // build the shared texts and index up front, not on the first lookup
    for (int r = 0; r < RegionCount; ++r) m_maxRow[r] = rowCount(r);
}

double Freqs::Max() const {
    return m_max;
}

void Freqs::Max(double hz) {
    m_max = hz;
    const double khz = hz / 1000.0;
    for (int r = 0; r < RegionCount; ++r) {
        const int n = rowCount(r);
        int first = n + 1; // beyond the plan: the whole plan stays navigable
        for (int a = 1; a <= n; ++a) {
            if (rowLower(r, a) >= khz) {
                first = a;
                break;
            }
        }
        // At least row 1 stays reachable so that navigation never leaves the table.
        m_maxRow[r] = std::clamp(first - 1, 1, n);
    }
}

bool Freqs::Changed() const {
    return m_changed;
}

std::string Freqs::Label(int i) const {
    if (i < 0 || i > 18) return {};
    return Labels[i].longLabel;
}

int Freqs::Region() const {
    return m_region;
}

void Freqs::Region(int value) {
    if (value < 0 || value > 2) value = 0;
    if (value != m_region) {
        m_region = value;
        m_changed = true;
        lookBand();
    }
}

int Freqs::RegionNxt() {
    m_region = (m_region + 1) % RegionCount;
    m_changed = true;
    m_lastRow = -1;
    lookBand();
    return m_region;
}

int Freqs::bandOf(int row) const {
    return RegionRows[m_region][row - 1];
}

int Freqs::currentBand() const {
    return bandOf(m_curRow[m_region]);
}

double Freqs::BandFrq() const {
    return Bands[currentBand()].lower;
}

double Freqs::Last() const {
    const int row = m_curRow[m_region];
    // The end marker has no row above it; the plan ends at its own edge.
    if (row >= rowCount(m_region)) return Bands[currentBand()].lower;
    return rowLower(m_region, row + 1);
}

int Freqs::Step() const {
    return static_cast<std::int16_t>(std::lround(Bands[currentBand()].step * 1000.0));
}

std::string Freqs::BandNam() {
    if (!m_nameBusy && m_changed) {
        m_nameBusy = true;
        m_curText = index().bandText[currentBand()];
        m_nameBusy = false;
    }
    return m_curText;
}

std::string Freqs::BandNxt(bool Up) {
    int& row = m_curRow[m_region];
    const int maxRow = m_maxRow[m_region];
    row += Up ? 1 : -1;
    if (row > maxRow) row = 1;
    if (row < 1) row = maxRow;
    m_changed = true;
    return BandNam();
}

std::string Freqs::Mode(int& Filter) const {
    std::string mode = "USB";
    Filter = -1;
    switch (Bands[currentBand()].services[0]) {
    case 5:  // TIM
    case 17: // LOC
        mode = "CW";
        Filter = 200;
        break;
    case 2: // SWBC
        mode = "AM";
        Filter = 9000;
        break;
    case 19: // CB
        mode = "FM";
        break;
    case 18: // HAM
        mode = m_curFreq >= 14000.0 ? "USB" : "LSB";
        Filter = 3000;
        break;
    default:
        break;
    }
    if (m_stationMode && m_curList >= 0 && m_curList < ListCount && m_curPos >= 1 &&
        m_curPos <= static_cast<int>(Lists[m_curList].size())) {
        switch (Lists[m_curList][m_curPos - 1].label) {
        case 0:
            mode = "AM";
            Filter = 9000;
            break;
        case 1:
        case 4:
        case 5:
        case 6:
        case 7:
        case 17:
        case 18:
            mode = "RTTY";
            Filter = 1200;
            break;
        case 2:
        case 12:
            mode = "FAX";
            Filter = 1600;
            break;
        case 3:
        case 9:
        case 10:
        case 13:
        case 14:
        case 16:
            mode = "USB";
            Filter = 3000;
            break;
        case 8:
        case 11:
            mode = "USB";
            Filter = 4000;
            break;
        default: // 15 and 19 keep the band's suggestion
            break;
        }
    }
    return mode;
}

void Freqs::lookBand() {
    const int n = rowCount(m_region);
    // A row needs a row above it to have an upper edge, so the end marker never matches.
    const int last = std::min(m_maxRow[m_region], n - 1);
    if (last < 1) return;
    const std::span<const std::uint8_t> rows = RegionRows[m_region];
    // Lower edges rise strictly along a row list, so the containing row is unique.
    const auto it =
        std::upper_bound(rows.begin(), rows.begin() + last, m_curFreq,
                         [](double f, std::uint8_t band) { return f < Bands[band].lower; });
    const int a = static_cast<int>(it - rows.begin()); // candidate row, 1-based
    if (a < 1) return;
    if (!(rowLower(m_region, a) <= m_curFreq && m_curFreq < rowLower(m_region, a + 1))) return;
    m_curRow[m_region] = a;
    if (a != m_lastRow) {
        m_lastRow = a;
        m_changed = true;
    }
    BandNam();
    m_approx = false;
}

void Freqs::lookStation() {
    m_stationMode = false;
    m_approx = false;
    const Index& idx = index();
    const double lo = m_curFreq - 0.25;
    const double hi = m_curFreq + 0.25;
    auto it = std::lower_bound(idx.byFreq.begin(), idx.byFreq.end(), lo,
                               [](const Index::Entry& e, double f) { return e.freq < f; });
    int best = std::numeric_limits<int>::max();
    double bestFreq = 0.0;
    for (; it != idx.byFreq.end() && it->freq <= hi; ++it) {
        if (it->order < best) {
            best = it->order;
            bestFreq = it->freq;
        }
    }
    if (best == std::numeric_limits<int>::max()) return;
    m_approx = bestFreq != m_curFreq;
    m_curList = idx.listOf[best];
    m_curPos = idx.posOf[best];
    m_changed = true;
    m_stationMode = true;
    m_curText = idx.text[best];
}

std::string Freqs::Look(double Fr, bool& App) {
    if (Fr != m_curFreq) {
        m_curFreq = Fr;
        lookBand();
        lookStation();
    }
    App = m_approx;
    return m_curText;
}

bool Freqs::listEnabled(std::span<const int> Cl, int list) {
    const std::size_t i = static_cast<std::size_t>(list) + 1;
    return i < Cl.size() && Cl[i] != 0;
}

bool Freqs::moveList(int d, std::span<const int> Cl) {
    const long long tries = Cl.empty() ? 0 : Cl[0];
    // Nineteen moves visit every list once; past that nothing new can be found, and only
    // where the list pointer ends up matters.
    const long long probe = std::min<long long>(tries, ListCount);
    for (long long k = 0; k < probe; ++k) {
        m_curList = ((m_curList + d) % ListCount + ListCount) % ListCount;
        if (listEnabled(Cl, m_curList)) return true;
    }
    if (tries > probe) {
        const long long rest = (tries - probe) % ListCount;
        m_curList = static_cast<int>(((m_curList + d * rest) % ListCount + ListCount) % ListCount);
    }
    return false;
}

std::string Freqs::FreqNxt(bool Up, int& Tb, int& Ps, std::span<const int> Cl) {
    if (m_curList < 0 || m_curList >= ListCount) m_curList = 0;
    if (!listEnabled(Cl, m_curList) && !moveList(+1, Cl)) return {};
    m_curPos += Up ? 1 : -1;
    if (m_curPos > 0 && m_curPos > static_cast<int>(Lists[m_curList].size())) {
        moveList(+1, Cl);
        m_curPos = 1;
    }
    if (m_curPos <= 0) {
        moveList(-1, Cl);
        m_curPos = static_cast<int>(Lists[m_curList].size());
    }
    const Index& idx = index();
    const int order = idx.firstOrder[m_curList] + m_curPos - 1;
    m_curFreq = Lists[m_curList][m_curPos - 1].freq;
    m_approx = false;
    Tb = m_curList;
    Ps = m_curPos;
    m_changed = true;
    m_stationMode = true;
    lookBand();
    // The station stays the current text, so that a later Look of the same frequency
    // names it rather than its band.
    m_curText = idx.text[order];
    return m_curText;
}

double Freqs::FreqFrq() const {
    if (m_curList < 0 || m_curList >= ListCount || m_curPos < 1 ||
        m_curPos > static_cast<int>(Lists[m_curList].size()))
        return 0.0;
    return Lists[m_curList][m_curPos - 1].freq;
}

double Freqs::FreqSet(double& Fr) {
    m_stationMode = false;
    const double target = Fr / 1000.0;
    Fr = target;
    const Index& idx = index();
    const auto& v = idx.byFreq;
    const auto split = std::lower_bound(v.begin(), v.end(), target,
                                        [](const Index::Entry& e, double f) { return e.freq < f; });
    // Distances only grow away from the target on either side, so the nearest stations sit
    // next to the split point; walk outwards while the distance stays at its minimum.
    double best = 10000000.0;
    for (auto it = split; it != v.end(); ++it) {
        const double d = std::fabs(it->freq - target);
        if (d > best) break;
        best = std::min(best, d);
    }
    for (auto it = split; it != v.begin();) {
        --it;
        const double d = std::fabs(it->freq - target);
        if (d > best) break;
        best = std::min(best, d);
    }
    if (!(best < 10000000.0)) return target; // nothing within reach (non-finite input)
    int order = std::numeric_limits<int>::max();
    for (auto it = split; it != v.end() && std::fabs(it->freq - target) <= best; ++it)
        order = std::min(order, it->order);
    for (auto it = split; it != v.begin();) {
        --it;
        if (std::fabs(it->freq - target) > best) break;
        order = std::min(order, it->order);
    }
    m_curList = idx.listOf[order];
    m_curPos = idx.posOf[order];
    const double freq = Lists[m_curList][m_curPos - 1].freq;
    if (best == 0.0) return freq; // exact hit: taken as is, the band stays
    m_changed = true;
    m_stationMode = false;
    lookBand();
    return freq;
}
