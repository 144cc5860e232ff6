#pragma once

#include <QtGlobal>

#include <array>

// The last noise survey's floors, one raw S-meter reading (0..255, larger is weaker) for each
// megahertz from 0 to 29 MHz; 0 where the survey has none.
constexpr int FloorSegments = 30;
using NoiseFloors = std::array<int, FloorSegments>;

// How a scan stopped on a signal goes on by itself.
enum class ResumeRule {
    Key,   // only on the operator's key
    Hang,  // when the signal has been gone for the hang time
    Dwell, // after the dwell time, signal or not
};

struct SignalStopOptions {
    bool On = false;        // off: every scan only steps
    double MarginDb = 10;   // how far above the floor a reading must stand to stop
    int DefaultFloor = 184; // raw floor where the survey has none (the activity search's)
    ResumeRule Resume = ResumeRule::Hang;
    int HangMs = 2000;
    int DwellMs = 5000;
};

// Decides from S-meter readings whether a scan's step stops, and when a stop is over. Plain
// logic on readings and times the caller gives (milliseconds on any steady clock).
class SignalStop {
public:
    void SetOptions(const SignalStopOptions& options) { m_options = options; }
    const SignalStopOptions& Options() const { return m_options; }
    bool On() const { return m_options.On; }

    void SetFloors(const NoiseFloors& floors) { m_floors = floors; }
    const NoiseFloors& Floors() const { return m_floors; }
    // The floor of the megahertz that holds hz (the survey's segment), or the default floor.
    int FloorAt(double hz) const;
    // How far a reading stands above the floor at hz, dB (negative below it).
    double DbAboveFloor(int raw, double hz) const;
    // A reading at hz that stands above the floor by the margin (whether or not stops are on).
    bool Above(int raw, double hz) const;
    // A step whose reading is this stops the scan: stops on and the reading above.
    bool Stops(int raw, double hz) const { return On() && Above(raw, hz); }

    // The stop under way: where, the strongest reading, when it began and when the signal was
    // last heard above the margin.
    struct Stop {
        double Hz = 0;
        int PeakRaw = 255;
        double PeakDb = 0; // the peak's dB above the floor
        qint64 StartMs = 0;
        qint64 LastHeardMs = 0;
        qint64 GoneSinceMs = -1; // the first reading of a gap in the signal, -1 while heard
        // How long the signal was heard: from the stop to the last reading above the margin.
        qint64 HeardMs() const { return LastHeardMs - StartMs; }
    };

    // The scan stops at hz on reading raw at time now.
    void Begin(double hz, int raw, qint64 nowMs);
    // A fresh reading on the stop's frequency; true when the scan goes on now (hang or dwell
    // rule). Keeps the peak and the time last heard.
    bool Reading(int raw, qint64 nowMs);
    // Time passing without a reading: true when the dwell (or a hang already running) is over.
    bool Due(qint64 nowMs) const;
    bool Stopped() const { return m_stopped; }
    const Stop& Current() const { return m_stop; }
    // The stop is over (any reason); returns it for the hit log.
    Stop End();

private:
    SignalStopOptions m_options;
    NoiseFloors m_floors{};
    bool m_stopped = false;
    Stop m_stop;
};
