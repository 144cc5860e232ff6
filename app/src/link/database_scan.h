#pragma once

#include "scan/record_source.h"

class DatabaseLink;

// The database scan: every step asks the linked database for its next record ("N") and counts
// the request; the database answers with an "S" message, which tunes the receiver. Without the
// link the step fails and the scan stops with the beep.
class DatabaseScanSource : public RecordSource {
public:
    explicit DatabaseScanSource(DatabaseLink& link) : link_(link) {}

    bool Begin() override { return true; }
    bool Next() override;

private:
    DatabaseLink& link_;
};
