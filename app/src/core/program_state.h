#pragma once

#include "core/scan_state.h"

// The program-wide state the panel, the keys, the scans and the feature rooms read. One value,
// owned by the main window; everything that depends on it is computed from it.
struct ProgramState {
    bool Connected = false;  // the receiver answered and is reporting
    bool RemoteHeld = false; // the program holds the receiver under remote control
    bool PanelLocked =
        false;             // mouse changes of the receiver's settings refused (scans, procedures)
    bool DbLinked = false; // the companion database is linked
    ScanState Scan = ScanState::Idle;

    bool Scanning() const { return Scan != ScanState::Idle; }
};
