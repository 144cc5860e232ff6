#pragma once

#include "scan/record_source.h"

class DatabaseLink;

// The database scan: every step asks the linked database for its next record ("N") and counts
// the request; the database answers with an "S" message, which tunes the receiver. Without the
// link there is nothing to scan: the start is refused, and a step after the link went down
// stops the scan, each with the beep.
class DatabaseScanSource : public RecordSource {
public:
    explicit DatabaseScanSource(DatabaseLink& link) : link_(link) {}

    bool Begin() override;
    bool Next() override;

private:
    DatabaseLink& link_;
};
