#pragma once

class Main;

// Steps the running scan on the update timer and follows the receiver's band while it is not
// held. Owned by Main; the range marks, band-defaults flag and step direction live here.
class ScanEngine {
public:
    explicit ScanEngine(Main& main);

    // Starts the scan chosen by "SCN_Mode"; only beeps when a scan already runs.
    void StartScan();
    // One scan step: called by the tick when held, the dwell counter is 0 and ScanState >= 2.
    void Step();
    // Band tracking: called by the tick on even phases while the receiver is not held.
    void TrackBand();

private:
    [[maybe_unused]] Main& main_;
};
