#pragma once

#include <algorithm>
#include <array>
#include <cmath>

// Statistics of the S-meter readings while no S-meter procedure runs: a ring of the last ten
// raw readings, their rounded mean (and the previous mean), and the highest and lowest reading
// above the squelch threshold.
struct SMeterStats {
    static constexpr int RingLength = 10;

    int Index = 0;    // next ring slot
    int Highest = 0;  // highest reading above the threshold (starts at the threshold)
    int Lowest = 255; // lowest reading above the threshold
    int Mean = 255;
    int PreviousMean = 255;
    std::array<int, RingLength> Ring{};

    void Reset(int threshold) {
        *this = SMeterStats{};
        Highest = threshold;
    }

    void Add(int value, int threshold) {
        Ring[size_t(Index)] = value;
        PreviousMean = Mean;
        if (value > threshold && value > Highest) Highest = value;
        if (value > threshold && value < Lowest) Lowest = value;
        int sum = 0;
        for (int v : Ring) sum += v;
        Mean = int(std::nearbyint(double(sum) / RingLength));
        Index = (Index + 1) % RingLength;
    }
};
