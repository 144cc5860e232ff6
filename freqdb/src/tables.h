#pragma once

// Built-in data of Freqs: service codes, band records, region row lists, labels and the
// station lists. Indexes follow the published numbering (bands 1..197, rows 1..n, lists
// 0..18, stations 1..count); index 0 of Bands is unused.

#include <array>
#include <cstdint>
#include <span>

namespace fennick {

inline constexpr int ServiceCount = 20;
inline constexpr int BandCount = 197;
inline constexpr int RegionCount = 3;
inline constexpr int LabelCount = 20;
inline constexpr int ListCount = 19;

struct Band {
    double lower; // kHz
    double step;  // kHz
    std::array<std::uint8_t, 3> services;
};

struct LabelPair {
    const char* shortLabel;
    const char* longLabel;
};

struct Station {
    double freq;        // kHz
    std::int16_t extra; // carried with the record, read by nothing
    int label;          // index into Labels
    const char* name;
};

extern const std::array<const char*, ServiceCount> ServiceCodes;
extern const std::array<Band, BandCount + 1> Bands;
// Band index of each row; element 0 is row 1.
extern const std::array<std::span<const std::uint8_t>, RegionCount> RegionRows;
extern const std::array<LabelPair, LabelCount> Labels;
// Records of each list; element 0 is station 1.
extern const std::array<std::span<const Station>, ListCount> Lists;

} // namespace fennick
