#pragma once

// Tuning range of the program, hertz (the receiver itself accepts up to 30 000 000).
constexpr double FrqMin = 1000;
constexpr double FrqMax = 29999999;

// Window positions are stored in twips: 1440 to the inch, at the 96 dots per inch the stored
// values assume.
constexpr int TwipsPerPixel = 15;
constexpr int PixelsToTwips(int pixels) {
    return pixels * TwipsPerPixel;
}
constexpr int TwipsToPixels(int twips) {
    return twips / TwipsPerPixel;
}

// A result below the tuning range becomes its top and one above becomes its bottom.
constexpr double WrapRange(double hz) {
    if (hz < FrqMin) return FrqMax;
    if (hz > FrqMax) return FrqMin;
    return hz;
}
