#pragma once

#include <QString>

// One row of the quick memories (10) and of the channel table (200); also the column order of
// memory files, the pad and the memory grid.
struct MemoryRecord {
    double Frequency = 0; // hertz, 0 for an empty row
    int Mode = 0;
    int Filter = 0;
    int Agc = 0;
    QString Comment;
};

// One quick filter: a bandwidth in hertz (or -1 for an empty row) and its name.
struct QuickFilter {
    int Code = -1;
    QString Name;
};
