#pragma once

#include "core/scan_state.h"

#include <array>
#include <functional>
#include <map>

class Nrd535;
class Freqs;
class Settings;
class Tuner;
class PanelHost;
class RecordSource;

// Steps the running scan on the update timer and follows the receiver's band while it is not
// held. The range marks, the step direction and the step count live here.
class ScanEngine {
public:
    ScanEngine(PanelHost& panel, Tuner& tuner, Nrd535& rx, Freqs& freqs, Settings& settings);

    // The list scans (database, quick memories, channels, pad, file) read their records from a
    // source each; a scan whose source is not registered is refused with the beep.
    void SetSource(ScanState state, RecordSource* source);

    // Starts the scan chosen by "SCN_Mode"; only beeps when a scan already runs.
    void StartScan();
    // Starts the stepping scan by the local tuning step (the wheel with the middle button,
    // Ctrl+Alt+Shift with an arrow). While it runs, another start only turns it round.
    void StartStepping(bool up);
    // One scan step: called by the tick when held, the dwell counter is 0 and a timed scan runs.
    void Step();
    // The scan ended (Esc, end of list, a failed lookup): a list scan's source lets go.
    void Ended(ScanState state);
    // Band tracking: called by the tick on even phases while the receiver is not held.
    void TrackBand();

    // Range marks: slot 0 the mark scan's position, 1 the lower mark, 2 the upper mark; -1 when
    // not set. Setting either mark keeps lower <= upper and restarts the mark scan.
    double Mark(int slot) const { return marks_[size_t(slot)]; }
    void SetLowerMark(double hz);
    void SetUpperMark(double hz);
    // Every tuning other than the scan's own step forgets the mark scan's position.
    void ClearMarkPosition();

    // Moves to the next (or previous) known station of the chosen lists, tunes it with tune and
    // shows its name and list position; false when no list is chosen.
    bool MoveKnown(bool up, const std::function<void(double hz)>& tune);

    bool StepUp() const { return stepUp_; }
    int StepCount() const { return stepCount_; }

private:
    void begin(ScanState state, bool lock, bool bandDefaults);
    void tune(double hz);
    void stop();
    void orderMarks();

    PanelHost& panel_;
    Tuner& tuner_;
    Nrd535& rx_;
    Freqs& freqs_;
    Settings& settings_;
    std::map<ScanState, RecordSource*> sources_;
    std::array<double, 3> marks_{-1, -1, -1};
    bool stepUp_ = true;
    int stepCount_ = 0; // 16-bit
};
