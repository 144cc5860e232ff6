#include "memory/memory_table.h"

#include <algorithm>

MemoryTable::MemoryTable(std::span<MemoryRecord> rows, QObject* parent)
    : QObject(parent), rows_(rows) {}

void MemoryTable::SetRow(int row, const MemoryRecord& record) {
    if (!InRange(row)) return;
    rows_[size_t(row)] = record;
    emit rowsChanged(row, row);
}

void MemoryTable::Erase() {
    std::fill(rows_.begin(), rows_.end(), MemoryRecord{});
    emit rowsChanged(0, Size() - 1);
}

bool MemoryTable::AnyFilled() const {
    return std::any_of(rows_.begin(), rows_.end(),
                       [](const MemoryRecord& r) { return r.Frequency != 0; });
}

ChannelTable::ChannelTable(QObject* parent) : MemoryTable(storage_, parent) {}

QuickMemory::QuickMemory(std::array<MemoryRecord, Count>& rows, QObject* parent)
    : MemoryTable(rows, parent) {}
