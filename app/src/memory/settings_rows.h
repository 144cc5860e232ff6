#pragma once

#include "settings/records.h"

#include <array>

class Registry;

// The quick memories and quick filters in the settings hive: "MEM_Inf0".."MEM_Inf9" and
// "FLT_Inf0".."FLT_Inf9", each a row text (FormatMemoryRow / FormatFilterRow).

// Reads the ten quick memories; a missing value is "0|0|0|0|" (an empty row).
void ReadQuickMemories(const Registry& reg, std::array<MemoryRecord, 10>& rows);
// Writes all ten rows, empty ones included, so that an erased memory stays erased after a
// restart. False when a write failed.
bool WriteQuickMemories(Registry& reg, const std::array<MemoryRecord, 10>& rows);
// Reads the ten quick filters; a missing value is "-1|" (an empty row).
void ReadQuickFilters(const Registry& reg, std::array<QuickFilter, 10>& rows);
// Writes all ten quick filters. False when a write failed.
bool WriteQuickFilters(Registry& reg, const std::array<QuickFilter, 10>& rows);
