#include "memory/memory_scan.h"

#include "memory/memory_commands.h"
#include "memory/memory_table.h"

MemoryScan::MemoryScan(MemoryCommands& commands, MemoryTable& table)
    : commands_(commands), table_(table) {}

bool MemoryScan::Begin() {
    // Nothing to scan: refused at once rather than on the first step.
    return table_.AnyFilled();
}

bool MemoryScan::Next() {
    const int size = table_.Size();
    int start = index_;
    if (cursor_) {
        const int row = cursor_->CurrentRow();
        if (table_.InRange(row)) start = (row + 1) % size;
    }
    for (int k = 0; k < size; ++k) {
        const int row = (start + k) % size;
        if (table_.Row(row).Frequency == 0) continue;
        if (!commands_.Recall(table_, row)) continue;
        index_ = (row + 1) % size;
        commands_.ShowSourceTip(table_);
        if (cursor_) cursor_->FollowRow(row);
        return true;
    }
    index_ = 0;
    commands_.ClearIndicator();
    return false;
}

void MemoryScan::End() {}
