#pragma once

// Freqs: the built-in band plan (9 kHz to 47 MHz, three regions) and the lists of known
// stations and channels, with lookup and navigation over them.
//
// Units: Look, BandFrq, Last, FreqFrq and FreqSet's result are kilohertz; Max and FreqSet's
// argument are hertz; Step is hertz.
//
// Properties are overloaded get/set pairs: `int Region() const` reads, `void Region(int)`
// writes. Members never throw for ordinary input; out-of-range values are clamped or give an
// empty result. Not thread-safe: use from one thread.

#include <fennick/fennick_export.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>

class FENNICK_EXPORT Freqs {
public:
    Freqs();

    // Highest frequency (Hz) band navigation may reach in every region; the host sets
    // 29 999 999 once after creation. Initially the whole plan (47 000 000).
    double Max() const;
    void Max(double hz);

    // True once anything moved the position; never cleared.
    bool Changed() const;

    // Long label of station list i (0..18), empty otherwise.
    std::string Label(int i) const;

    // Current region 0..2 (the band plan differs per region); values above 2 select 0.
    int Region() const;
    void Region(int value);
    // Advances to the next region (2 wraps to 0) and returns it.
    int RegionNxt();

    // Upper edge (kHz) of the current band: the lower edge of the next row.
    double Last() const;
    // Tuning step of the current band in Hz.
    int Step() const;
    // Suggested mode text of the current band (or current station); Filter receives a
    // suggested bandwidth in Hz, -1 for none.
    std::string Mode(int& Filter) const;
    // Service text of the current band: each of its three service codes followed by a space.
    std::string BandNam();
    // Moves to the next (Up) or previous band row, wrapping; returns its service text.
    std::string BandNxt(bool Up);
    // Lower edge (kHz) of the current band.
    double BandFrq() const;

    // Steps to the next (Up) or previous station in the enabled lists. Cl[0] is the largest
    // number of list moves to try, a non-zero Cl[k + 1] enables list k (missing entries count
    // as disabled). Tb and Ps receive the station's list and 1-based position. Returns the
    // station text, or an empty string when no list is enabled.
    std::string FreqNxt(bool Up, int& Tb, int& Ps, std::span<const int> Cl);
    // Frequency (kHz) of the current station.
    double FreqFrq() const;
    // Snaps to the station nearest to Fr (Hz) and returns its frequency in kHz; Fr is left
    // holding the frequency in kHz.
    double FreqSet(double& Fr);

    // Names the station on or within 0.25 kHz of Fr (kHz), else the band's service text.
    // App is set when the station match is not exact.
    std::string Look(double Fr, bool& App);

    static constexpr int RegionCount = 3;
    static constexpr int ListCount = 19;

private:
    void lookBand();
    void lookStation();
    bool moveList(int d, std::span<const int> Cl);
    int bandOf(int row) const;
    int currentBand() const;
    const std::string& stationText(int list, int pos) const;
    static bool listEnabled(std::span<const int> Cl, int list);

    double m_max = 47000000.0;
    int m_region = 0;
    std::array<int, RegionCount> m_curRow{1, 1, 1};
    std::array<int, RegionCount> m_maxRow{};
    int m_lastRow = 0;
    double m_curFreq = 0.0;
    bool m_changed = true;
    bool m_stationMode = false;
    bool m_approx = false;
    std::string m_curText;
    int m_curList = 0;
    int m_curPos = 0;
    bool m_nameBusy = false;
};
