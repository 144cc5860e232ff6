#pragma once

#include "core/program_state.h"

// Which panel controls accept the operator, computed from the program state alone.
struct EnabledControls {
    bool Settings = false;  // the AG, FT, AT, NB buttons, the frequency digits and Scan
    bool LockImage = false; // the hold/release pictures
    bool Database = false;  // Store and Search
    bool Cover = true;      // the cover over the frequency display (not a control: shown)

    bool operator==(const EnabledControls&) const = default;
};

constexpr EnabledControls ComputeEnabled(const ProgramState& s) {
    EnabledControls e;
    e.Settings = s.RemoteHeld && !s.PanelLocked;
    e.LockImage = !s.PanelLocked;
    e.Database = s.DbLinked && s.Connected;
    e.Cover = !s.Connected;
    return e;
}
