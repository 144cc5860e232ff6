#pragma once

// A list that a scan steps through: the quick memories, the channel table, the scratch pad, a
// list file or the linked database. The scan engine knows nothing of where records come from:
// it asks the source to begin, to recall its next record on every step, and tells it when the
// scan ends.
class RecordSource {
public:
    virtual ~RecordSource() = default;
    // The scan starts. False when there is nothing to scan: the start is refused with the beep.
    virtual bool Begin() = 0;
    // One step: recall the next record (tune it and show it). False when there is none: the
    // scan stops with the beep.
    virtual bool Next() = 0;
    // The scan stopped, for whatever reason: close readers, forget positions as the source
    // needs.
    virtual void End() {}
};
