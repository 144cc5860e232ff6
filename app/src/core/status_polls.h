#pragma once

#include "core/scan_state.h"

#include <ostry/nrd535.h>

// The update timer's request for fresh status. Idle and while a scan steps, the four polls go
// out together and their replies are read in one pass at the next tick; the S-meter procedures
// ask for the S-meter themselves and are paced by its replies, so then the other three go out
// one by one and every reply is read as it arrives.
inline void PollStatus(Nrd535& rx, ScanState scan) {
    if (IsSMeterProcedure(scan)) {
        rx.FTUpd();
        rx.NBUpd();
        rx.SQUpd();
    } else {
        rx.PollStatus();
    }
}
