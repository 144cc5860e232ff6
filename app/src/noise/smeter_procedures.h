#pragma once

#include "core/scan_state.h"
#include "core/smeter_stats.h"
#include "noise/noise_file.h"

#include <QColor>
#include <QObject>

#include <functional>

class Nrd535;
class Panel;
class QTimer;
class Settings;

// The two procedures paced by the receiver's own S-meter replies, and the S-meter handler that
// feeds them:
// - the noise-floor survey: steps from 0 to 30 MHz and keeps, per megahertz, the weakest
//   reading; appends the survey to the noise file;
// - the activity search: steps until a reading stronger than the floor of its megahertz has
//   stopped getting stronger, then returns to the peak (mode 0) or pauses there and goes on
//   (mode 1).
// Each step is a continuation on the event loop: a single-shot timer for the wait after tuning,
// the S-meter reply for the next step. Nothing here sleeps or runs a nested event loop, so the
// window repaints and Esc is seen at once during both.
class SMeterProcedures : public QObject {
    Q_OBJECT
public:
    // Sets the program's scan state. Going to Idle also turns the band-defaults flag on (every
    // end of these procedures does both).
    using ScanStateSetter = std::function<void(ScanState)>;
    // The band plan's tuning step in hertz at the receiver's frequency.
    using BandStep = std::function<int()>;

    // Light cyan while a survey runs, light orange when a procedure ends.
    static inline const QColor MeasuringColour{128, 255, 255};
    static inline const QColor EndColour{255, 192, 128};
    // Threshold of the search where the survey has no level.
    static constexpr int DefaultThreshold = 184;

    SMeterProcedures(Panel& panel, Nrd535& rx, const Settings& settings, NoiseSurvey& survey,
                     ScanStateSetter setScanState, BandStep bandStep, QObject* parent = nullptr);
    ~SMeterProcedures() override;

    // The S-meter handler: the main window calls it with the reading of every status report,
    // after its own repaint. While a procedure runs, the reply to the procedure's own request
    // drives its next step and every other report is ignored; otherwise the reading goes to
    // the statistics.
    void SMeterReport(int value);

    // start true begins a survey (refused with a beep unless the receiver is held and nothing
    // else runs); false advances it (called by the reply).
    void NoiseMeasure(bool start);
    // Esc during a survey: ends it with the segments measured so far.
    void NoiseCancel();
    // start true begins a search from the receiver's frequency (refused with a beep unless the
    // receiver is held and no other scan runs); mode 0 stops at the first peak, mode 1 pauses
    // there and goes on; upwards gives the direction.
    void ActiveSearch(bool start, int mode, bool upwards);
    // Esc during a search, and the end of a mode-0 search: returns to the search position and
    // restores the receiver's filter, AGC and mode.
    void ActiveCancel();

    // Esc: cancels whichever procedure runs. Call it before StopScan, which would otherwise end
    // the state without restoring the receiver. True when one was running.
    bool Cancel();

    // Shutdown: ends a running procedure without a noise-file line or the noise window, and
    // sends the receiver's saved settings back at once.
    void Abandon();

    const SMeterStats& Stats() const { return m_stats; }
    void ResetStats();
    // The step of the running or last search, hertz (negative downwards).
    int SearchStep() const { return m_step; }
    int SearchMode() const { return m_mode; }
    // Lines the survey could not append: the last failed path (empty when none failed).
    QString LastWriteError() const { return m_writeError; }
    // The last survey's line could not be written: the levels held are newer than the file's
    // last line, which must not be read back over them.
    bool SurveyUnsaved() const { return m_unsaved; }

signals:
    // The colour the S-meter label takes now.
    void SMeterColour(const QColor& colour);
    // A survey started; the S-meter statistics start again with it.
    void SurveyStarted();
    // A survey step was tuned: the segment (0..29) and frequency (hertz) reached. The levels
    // of the survey may have changed too (the noise window repaints).
    void SurveyProgress(int segment, double hz);
    // The survey ended (completed or cancelled) and the receiver is restored: show the noise
    // window. Emitted from the event loop, never from inside the report that ended it.
    void SurveyFinished();
    // The survey line could not be appended to the file at path.
    void NoiseFileFailed(const QString& path);

private:
    enum class Procedure { None, Survey, Search };
    enum class Phase { Idle, Settling, AwaitingReply, Pausing };

    ScanState Scan() const;
    bool Held() const;
    void tune(double hz);
    void restoreReceiver(double hz, double thenHz = -1);
    void applyRestore();
    void surveyStep();
    void surveyEnd();
    void searchStep();
    void searchEnd(double thenHz = -1);
    void searchDecision(int r);
    void settle(int ms);
    void onTimer();
    int thresholdAt(double hz) const;

    Panel& m_panel;
    Nrd535& m_rx;
    const Settings& m_settings;
    NoiseSurvey& m_survey;
    ScanStateSetter m_setScan;
    BandStep m_bandStep;
    QTimer* m_timer = nullptr;

    Procedure m_proc = Procedure::None;
    Phase m_phase = Phase::Idle;
    quint32 m_replyMark = 0; // SMReplies() when the request went out

    // Last report from the receiver.
    double m_rxFr = 0;
    int m_rxFt = 0, m_rxAg = 0, m_rxMd = 0;
    int m_lastSM = 0;

    // Receiver settings to restore.
    double m_savedFr = 0;
    int m_savedFt = 0, m_savedAg = 0, m_savedMd = 0;
    double m_lastTuned = -1;
    double m_restoreHz = 0, m_thenHz = -1;

    // Survey.
    double m_measureFr = 0;
    int m_segment = 0;
    int m_previous = 0;
    NoiseSurvey m_before; // the survey held before this one started

    // Search.
    double m_position = 0;
    int m_step = 0;
    int m_mode = 0;
    int m_wait = 0;
    int m_h0 = 255, m_h1 = 255;
    bool m_peak = false;

    SMeterStats m_stats;
    QString m_writeError;
    bool m_unsaved = false;
};
