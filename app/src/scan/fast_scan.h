#pragma once

#include "scan/hit_log.h"
#include "scan/lockouts.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <algorithm>

class HitLog;
class Nrd535;
class Panel;
class QTimer;
class SignalStop;

// Steps a range (or a list of frequencies) as fast as the line and a settle time allow: tune,
// wait for the "F" line to reach the receiver and the settle time, ask the S-meter, and take
// the next step on its reply. One command is on its way at a time, and each wait is a timer or
// the reply itself, so the event loop never waits on the receiver.
//
// With a signal stop that is on, a step whose reading stands above the floor by the margin
// starts following the signal: the steps go on while it gets no weaker, then the scan goes
// back to the strongest step (the middle of its strongest run) and stops there. While stopped
// it reads the S-meter every HoldPollMs and resumes by the stop's rule or on Resume(); each
// stop ends as one line of the hit log. Steps covered by a lockout or by the skips of this
// scan are stepped over.
class FastScan : public QObject {
    Q_OBJECT
public:
    static constexpr int HoldPollMs = 200;
    // A reply that does not come (lost on the line) is asked for again after this long.
    static constexpr int ReplyTimeoutMs = 1000;
    static constexpr int MaxSteps = 1000000;

    FastScan(Panel& panel, Nrd535& rx, QObject* parent = nullptr);
    ~FastScan() override;

    // lowHz, lowHz + step, ... up to highHz (the bounds in either order, inside the tuning
    // range); false (nothing changed) for a step of 0 or more than MaxSteps steps.
    bool SetRange(double lowHz, double highHz, double stepHz);
    // The frequencies in the order given (the marks, a band's channels).
    bool SetList(const QList<double>& hz);
    int Steps() const { return int(m_steps.size()); }
    double StepHz(int index) const { return m_steps.value(index); }

    void SetSettleMs(int ms) { m_settleMs = std::max(0, ms); }
    int SettleMs() const { return m_settleMs; }
    // Sweeps to run before the scan ends by itself; 0 (the default) goes on until Stop.
    void SetSweeps(int sweeps) { m_sweeps = std::max(0, sweeps); }
    // Stops on signals when set and on; the stop is the caller's and outlives the scan.
    void SetSignalStop(SignalStop* stop) { m_stop = stop; }
    // The permanent lockouts (the caller's); the skips belong to the scan and start empty.
    void SetLockouts(const LockoutList* lockouts) { m_lockouts = lockouts; }
    LockoutList& Skips() { return m_skips; }
    // Where each stop is logged, and the scan's name in the log.
    void SetHitLog(const HitLog* log, const QString& scanName);
    // Whether the end (Stop, or the last sweep) tunes back to where the scan started.
    void SetRestoreOnEnd(bool restore) { m_restore = restore; }

    // Starts at the first step: refused with the beep when the receiver is not held, a scan
    // or procedure runs, this one runs, or there is nothing to step.
    bool Start();
    // Ends the scan where it is (or back where it started, see SetRestoreOnEnd); a stop under
    // way is logged.
    void Stop();
    // The operator's key while stopped on a signal: go on at once. False when not stopped.
    bool Resume();
    // Skips the frequency stopped on for the rest of this scan (with widthHz around it) and
    // goes on. False when not stopped.
    bool SkipHere(double widthHz);

    bool Running() const { return m_running; }
    bool StoppedOnSignal() const { return m_mode == Mode::Stopped; }
    double StoppedHz() const;
    int Sweep() const { return m_sweep; }
    int Index() const { return m_index; }
    // Steps measured since Start.
    qint64 StepsDone() const { return m_stepsDone; }
    // The last stop's hit (valid after HitLogged).
    const Hit& LastHit() const { return m_lastHit; }

signals:
    // A step's reading: sweep (from 0), step index, frequency, raw reading.
    void Measured(int sweep, int index, double hz, int raw);
    void SweepEnded(int sweep);
    void SignalStopped(double hz, int raw, double dbAboveFloor);
    void Resumed();
    // A stop ended; hit is what went to the log. failed is the log's error, empty when written.
    void HitLogged(const Hit& hit, const QString& failed);
    // The scan ended (Stop, the last sweep, or nothing left to step).
    void Finished();

private:
    enum class Mode { Stepping, Climbing, Returning, Stopped };
    enum class Phase { Idle, Settling, Awaiting, Holding, HoldAwaiting };

    bool stepped(int index) const;
    void advance();
    void tuneAndSettle(int index);
    void ask(Phase phase);
    void onTimer();
    void onReading(int raw);
    void returnToPeak(bool aboveHere);
    void stopHere(int raw);
    void onHoldReading(int raw);
    void resumeScan();
    void endStop();
    void finish();
    double lineMs(int chars) const;

    Panel& m_panel;
    Nrd535& m_rx;
    QTimer* m_timer = nullptr;
    QList<double> m_steps;
    int m_settleMs = 20;
    int m_sweeps = 0;
    SignalStop* m_stop = nullptr;
    const LockoutList* m_lockouts = nullptr;
    LockoutList m_skips;
    const HitLog* m_log = nullptr;
    QString m_scanName = QStringLiteral("Fast");
    bool m_restore = false;

    bool m_running = false;
    Mode m_mode = Mode::Stepping;
    Phase m_phase = Phase::Idle;
    quint32 m_replyMark = 0;
    int m_index = -1;
    int m_sweep = 0;
    int m_sinceMeasured = 0; // steps passed over in a row (all locked out: nothing to do)
    qint64 m_stepsDone = 0;
    double m_startHz = 0;
    QElapsedTimer m_clock;

    // Following a signal: its strongest run of steps, and where stepping goes on afterwards.
    int m_bestRaw = 255, m_bestFirst = -1, m_bestLast = -1;
    int m_resumeIndex = -1;
    bool m_resumeInside = false;
    bool m_inside = false; // steps still on the signal last stopped on do not stop again
    QDateTime m_stopUtc;
    Hit m_lastHit;
};
