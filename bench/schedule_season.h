#pragma once

// A generated season's schedule for the benchmarks: the published layout, about 1 MB.

#include <QByteArray>

#include <cstdio>
#include <iterator>
#include <random>

// A season's worth of broadcasts with the published layout: frequencies spread over the
// broadcast bands as the real file has them (many on a few frequencies), all the day forms,
// remarks and dates.
inline QByteArray seasonFile(int lines) {
    std::mt19937 rng(25);
    const int bands[][2] = {{153, 279},     {531, 1602},    {2300, 2495},   {3200, 3400},
                            {4750, 5060},   {5900, 6200},   {7200, 7600},   {9400, 9900},
                            {11600, 12100}, {13570, 13870}, {15100, 15800}, {17480, 17900},
                            {21450, 21850}};
    const char* days[] = {"", "", "", "Mo-Fr", "Sa,Su", "SaSu", "Th-Tu", "1245", "irr", "Ram"};
    const char* langs[] = {"E", "D", "F", "S", "A", "R", "C", "D,E", "-TS", "Hin"};
    const char* targets[] = {"Eu", "ME", "NAm", "SAs", "WAf", "CNA", "FE", "Af"};
    QByteArray out =
        "kHz:75;Time(UTC):93;Days:59;ITU:49;Station:201;Lng:49;Target:62;Remarks:135;P:35;"
        "Start:60;Stop:60;\r\n";
    char line[256];
    for (int i = 0; i < lines; ++i) {
        const auto& band = bands[rng() % std::size(bands)];
        const int step = band[0] < 1700 ? 9 : 5;
        const int khz = band[0] + int(rng() % unsigned((band[1] - band[0]) / step)) * step;
        const int start = int(rng() % 24) * 100 + int(rng() % 4) * 15;
        const int end = (start / 100 + 1 + int(rng() % 3)) % 24 * 100 + start % 100;
        std::snprintf(line, sizeof line,
                      "%d;%04d-%04d;%s;G;Radio Station Number %d;%s;%s;/CYP Transmitter site "
                      "name;%d;%s;%s\r\n",
                      khz, start, end, days[rng() % std::size(days)], i % 500,
                      langs[rng() % std::size(langs)], targets[rng() % std::size(targets)],
                      int(rng() % 8) + 1, i % 7 == 0 ? "2610" : "",
                      i % 11 == 0 ? "3006[0725]" : "");
        out += line;
    }
    return out;
}
