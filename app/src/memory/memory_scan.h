#pragma once

#include "scan/record_source.h"

class MemoryCommands;
class MemoryTable;

// Where an open memory grid stands: while the grid shows the scanned table, the scan goes on
// from the grid's row and moves the grid along.
class RowCursor {
public:
    virtual ~RowCursor() = default;
    virtual int CurrentRow() const = 0;
    // Moves the cursor without the grid's own tune on row change.
    virtual void FollowRow(int row) = 0;
};

// The quick-memory scan and the channel scan: each step recalls the next row that has a
// frequency, wrapping at the end of the table. The position is kept between scans.
class MemoryScan : public RecordSource {
public:
    MemoryScan(MemoryCommands& commands, MemoryTable& table);

    bool Begin() override;
    bool Next() override;
    void End() override;

    // The grid showing this table (nullptr when none is open).
    void SetCursor(RowCursor* cursor) { cursor_ = cursor; }
    // The row the next step starts looking at.
    int Index() const { return index_; }
    MemoryTable& Table() const { return table_; }

private:
    MemoryCommands& commands_;
    MemoryTable& table_;
    RowCursor* cursor_ = nullptr;
    int index_ = 0;
};
