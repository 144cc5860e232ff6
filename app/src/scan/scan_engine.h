#pragma once

#include <array>
#include <cstddef>
#include <functional>

class Main;

// Steps the running scan on the update timer and follows the receiver's band while it is not
// held. Owned by Main; the range marks, the step direction and the scan record live here (the
// band-defaults flag is Main::BandDefaults).
class ScanEngine {
public:
    explicit ScanEngine(Main& main);

    // Starts the scan chosen by "SCN_Mode"; only beeps when a scan already runs.
    void StartScan();
    // Starts the stepping scan by the local tuning step (the wheel with the middle button,
    // Ctrl+Alt+Shift with an arrow). While it runs, another start only turns it round.
    void StartStepping(bool up);
    // One scan step: called by the tick when held, the dwell counter is 0 and ScanState >= 2.
    void Step();
    // Band tracking: called by the tick on even phases while the receiver is not held.
    void TrackBand();

    // Range marks: slot 0 the mark scan's position, 1 the lower mark, 2 the upper mark; -1 when
    // not set. Setting either mark keeps lower <= upper and restarts the mark scan.
    double Mark(int slot) const { return marks_[slot]; }
    void SetLowerMark(double hz);
    void SetUpperMark(double hz);
    // Every tuning other than the scan's own step forgets the mark scan's position (and the
    // scan then goes on from the receiver's frequency).
    void ClearMarkPosition();

    // Moves to the next (or previous) known station of the chosen lists, tunes it with tune and
    // shows its name and list position; false when no list is chosen.
    bool MoveKnown(bool up, const std::function<void(double hz)>& tune);

    bool StepUp() const { return stepUp_; }
    int StepCount() const { return stepCount_; }

private:
    // Forgets the scan's own position: the next step starts from the receiver's frequency.
    void forget();
    double position();
    void remember(double hz);
    void tune(double hz);
    void stop();
    void orderMarks();

    Main& main_;
    std::array<double, 3> marks_{-1, -1, -1};
    bool stepUp_ = true;
    int stepCount_ = 0; // 16-bit in the scan record
    // The frequency the last step tuned (-1: none since the scan started or someone else
    // tuned), and the last frequencies this scan tuned, with the one it started from.
    double lastTuned_ = -1;
    std::array<double, 16> recent_;
    size_t recentNext_ = 0;
};
