#pragma once

#include <QString>

// The editing rules of the memory grid and the quick-filter grid, apart from the widgets.

// A frequency cell typed in kHz, checked before it is stored.
struct FrequencyCell {
    bool store = false;   // false: an empty cell, left as it is
    double hz = 0;        // whole hertz, 0 to 29 999 999
    bool clamped = false; // the typed value was out of range (the beep sounds)
};
FrequencyCell CheckFrequencyCell(const QString& typed);
// Hertz as the grid shows them: kHz with at least two integer digits and three decimals.
QString FrequencyCellText(double hz);

// A number typed into the memory grid's filter cell: 0 to 3 are filter codes; a bandwidth at
// least bwh becomes Aux (Wide when the auxiliary filter takes part, auxFlag), one below bwl
// becomes Narrow (Aux with auxFlag); other bandwidths are kept as they are.
int FilterCellCode(int typed, int bwl, int bwh, bool auxFlag);

// A bandwidth typed into the quick-filter grid: above bwh it becomes bwh (with auxFlag) or bwa,
// below bwl it becomes 350 (with auxFlag) or bwl; an odd value is then increased by one.
int FilterPresetCell(int typed, int bwl, int bwh, int bwa, bool auxFlag);
