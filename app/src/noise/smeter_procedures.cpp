#include "noise/smeter_procedures.h"

#include "core/panel.h"
#include "core/units.h"
#include "settings/settings.h"

#include <ostry/nrd535.h>

#include <QDateTime>
#include <QLocale>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr double SegmentHz = 1000000;
constexpr int LastSegment = NoiseSurvey::Segments - 1;

// Survey: 100 kHz steps, 200 kHz from 14 MHz on; 110 ms for the S-meter to settle. A reading
// clearly stronger than the floor so far slows one step down to look closer.
constexpr int SurveyStep = 100000;
constexpr int SurveyWideFrom = 14;
constexpr int SurveyWait = 110;
constexpr int SlowFactor = 3;
constexpr int SlowDivisor = 5;
constexpr double ClearlyStronger = 0.95;

// Search: the settling wait depends on the filter (a narrower filter takes longer).
constexpr int DefaultSearchStep = 1000;
int searchWait(int filter) {
    switch (filter) {
    case ostry::Wide:
        return 100;
    case ostry::Inter:
        return 200;
    case ostry::Aux:
        return 75;
    default:
        return 250;
    }
}
constexpr int PauseTickMs = 100;

// Like the arrow keys, a search leaving the tuning range comes back in at its other end.
double wrapRange(double hz) {
    if (hz < FrqMin) return FrqMax;
    if (hz > FrqMax) return FrqMin;
    return hz;
}

QString withoutSeparator(QString s) {
    return s.replace(QLatin1Char('|'), QLatin1Char(' '));
}

} // namespace

SMeterProcedures::SMeterProcedures(Panel& panel, Nrd535& rx, const Settings& settings,
                                   NoiseSurvey& survey, ScanStateSetter setScanState,
                                   BandStep bandStep, QObject* parent)
    : QObject(parent), m_panel(panel), m_rx(rx), m_settings(settings), m_survey(survey),
      m_setScan(std::move(setScanState)), m_bandStep(std::move(bandStep)),
      m_timer(new QTimer(this)) {
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &SMeterProcedures::onTimer);
    // The reported settings, kept from the event's arguments: the driver's getters would clear
    // the modified flags the panel repaints from.
    connect(&m_rx, &Nrd535::OnUpd, this,
            [this](double Fr, ostry::MD MD, ostry::FT FT, ostry::AG AG, ostry::ONOFF, qint16,
                   qint16 SM, ostry::ONOFF) {
                m_rxFr = Fr;
                m_rxMd = MD;
                m_rxFt = FT;
                m_rxAg = AG;
                m_lastSM = SM;
            });
    ResetStats();
}

SMeterProcedures::~SMeterProcedures() = default;

ScanState SMeterProcedures::Scan() const {
    return m_panel.State().Scan;
}

bool SMeterProcedures::Held() const {
    return m_panel.State().RemoteHeld;
}

void SMeterProcedures::ResetStats() {
    m_stats.Reset(m_settings.SMT_Sql);
}

void SMeterProcedures::SMeterReport(int value) {
    m_lastSM = value;
    // A status line read together with this reply may not have reached the handler above yet:
    // the decision is taken on the frequency the reading belongs to.
    m_rxFr = m_rx.state().Fr;
    // The reply to the procedure's own request; other reports (status lines after tuning, the
    // timer's polls) do not advance it.
    if (m_proc != Procedure::None && m_phase == Phase::AwaitingReply &&
        m_rx.SMReplies() != m_replyMark) {
        m_phase = Phase::Idle;
        if (m_proc == Procedure::Survey) {
            if (Scan() != ScanState::NoiseMeasure) return surveyEnd();
            int& level = m_survey.Levels[size_t(std::clamp(m_segment, 0, LastSegment))];
            if (value > level) level = value;
            NoiseMeasure(false);
        } else {
            if (Scan() != ScanState::ActiveSearch) return searchEnd();
            searchDecision(value);
        }
        return;
    }
    if (IsSMeterProcedure(Scan())) return;
    m_stats.Add(value, m_settings.SMT_Sql);
}

void SMeterProcedures::NoiseMeasure(bool start) {
    const ScanState s = Scan();
    if (!Held() || (s != ScanState::Idle && s != ScanState::NoiseMeasure)) {
        if (start) m_panel.WarnBeep();
        return;
    }
    if (!start) {
        if (m_proc == Procedure::Survey) surveyStep();
        return;
    }
    // A second start while one runs would save the survey's own settings as the ones to
    // restore.
    if (m_proc != Procedure::None) {
        m_panel.WarnBeep();
        return;
    }
    m_panel.SetPanelLocked(true);
    emit SMeterColour(MeasuringColour);
    m_savedFr = m_rxFr;
    m_savedFt = m_rxFt;
    m_savedAg = m_rxAg;
    m_savedMd = m_rxMd;
    m_unsaved = false;
    m_panel.ShowAgc(ostry::fast, true);
    m_panel.ShowFilter(ostry::Narrow, true);
    m_segment = 0;
    m_before = m_survey;
    m_survey.Mean = 0;
    m_survey.Levels.fill(0);
    m_measureFr = 0;
    // The reading before the start belongs to another frequency: it must not slow a step.
    m_lastSM = 255;
    m_previous = 255;
    ResetStats();
    emit SurveyStarted();
    m_proc = Procedure::Survey;
    m_phase = Phase::Idle;
    m_setScan(ScanState::NoiseMeasure);
    surveyStep();
}

void SMeterProcedures::surveyStep() {
    int wait = SurveyWait;
    if (Scan() == ScanState::NoiseMeasure) {
        int step = m_segment >= SurveyWideFrom ? 2 * SurveyStep : SurveyStep;
        const int floor = m_survey.Levels[size_t(std::clamp(m_segment, 0, LastSegment))];
        if (m_previous < ClearlyStronger * floor) {
            wait *= SlowFactor;
            step /= SlowDivisor;
        }
        m_measureFr += step;
        m_segment = int(m_measureFr / SegmentHz);
    }
    if (m_segment > LastSegment || Scan() != ScanState::NoiseMeasure) return surveyEnd();
    m_previous = m_lastSM;
    tune(m_measureFr);
    emit SurveyProgress(m_segment, m_measureFr);
    settle(wait);
}

void SMeterProcedures::surveyEnd() {
    m_timer->stop();
    m_phase = Phase::Idle;
    m_proc = Procedure::None;
    m_survey.Mean = NoiseMeanOf(m_survey.Levels, std::min(m_segment, LastSegment));
    if (m_survey.Mean != 0) {
        const QDateTime now = QDateTime::currentDateTime();
        const QLocale locale = QLocale::system();
        m_survey.Date = withoutSeparator(locale.toString(now.date(), QLocale::ShortFormat));
        m_survey.Time = withoutSeparator(locale.toString(now.time(), QLocale::ShortFormat));
        m_unsaved = !AppendNoiseLine(m_settings.SMT_Log, m_survey);
        if (m_unsaved) {
            m_writeError = m_settings.SMT_Log;
            emit NoiseFileFailed(m_settings.SMT_Log);
        }
    } else {
        // Nothing was measured: the survey held before stays the floor the search uses.
        m_survey = m_before;
    }
    emit SurveyProgress(std::min(m_segment, LastSegment), m_measureFr);
    m_segment = 0;
    restoreReceiver(m_savedFr);
    emit SMeterColour(EndColour);
    m_panel.SetPanelLocked(false);
    if (Scan() == ScanState::NoiseMeasure) m_setScan(ScanState::Idle);
    QTimer::singleShot(0, this, &SMeterProcedures::SurveyFinished);
}

void SMeterProcedures::NoiseCancel() {
    if (m_proc != Procedure::Survey) {
        if (Scan() == ScanState::NoiseMeasure) m_setScan(ScanState::Idle);
        return;
    }
    m_setScan(ScanState::Idle);
    surveyEnd();
}

void SMeterProcedures::ActiveSearch(bool start, int mode, bool upwards) {
    const ScanState s = Scan();
    if (!Held() || (s != ScanState::Idle && s != ScanState::ActiveSearch)) {
        if (start) m_panel.WarnBeep();
        return;
    }
    if (!start) {
        if (m_proc == Procedure::Search) searchStep();
        return;
    }
    if (m_proc == Procedure::Survey) {
        m_panel.WarnBeep();
        return;
    }
    // A new start during a search goes on from where it is; the settings to restore stay the
    // ones from before the first start (the receiver now runs with the search's AGC).
    const bool restart = m_proc == Procedure::Search;
    m_timer->stop();
    m_phase = Phase::Idle;
    m_setScan(ScanState::ActiveSearch);
    m_mode = mode;
    int step = m_settings.BND_AutoST && m_bandStep ? m_bandStep() : m_settings.SCN_Step;
    step = std::abs(step);
    if (step == 0) step = DefaultSearchStep;
    m_panel.SetPanelLocked(true);
    m_position = m_rxFr;
    if (!restart) {
        m_savedFt = m_rxFt;
        m_savedAg = m_rxAg;
        m_savedMd = m_rxMd;
    }
    m_panel.ShowAgc(ostry::fast, true);
    m_step = upwards ? step : -step;
    m_wait = searchWait(m_savedFt);
    // A fresh history: readings before the start say nothing about this search's signal.
    m_h0 = m_h1 = 255;
    m_peak = false;
    m_proc = Procedure::Search;
    searchStep();
}

void SMeterProcedures::searchStep() {
    if (Scan() != ScanState::ActiveSearch) return searchEnd();
    m_position = wrapRange(m_position + m_step);
    tune(m_position);
    settle(m_wait);
}

void SMeterProcedures::searchEnd(double thenHz) {
    m_timer->stop();
    m_phase = Phase::Idle;
    m_proc = Procedure::None;
    restoreReceiver(m_position, thenHz);
    emit SMeterColour(EndColour);
    m_panel.SetPanelLocked(false);
}

void SMeterProcedures::ActiveCancel() {
    if (Scan() != ScanState::ActiveSearch) return;
    m_setScan(ScanState::Idle);
    if (m_proc == Procedure::Search) searchEnd();
}

bool SMeterProcedures::Cancel() {
    switch (m_proc) {
    case Procedure::Survey:
        NoiseCancel();
        return true;
    case Procedure::Search:
        ActiveCancel();
        return true;
    case Procedure::None:
        break;
    }
    return false;
}

void SMeterProcedures::Abandon() {
    if (m_proc != Procedure::None) {
        m_restoreHz = m_proc == Procedure::Survey ? m_savedFr : m_position;
        m_thenHz = -1;
        if (m_proc == Procedure::Survey) m_survey = m_before;
        m_timer->stop();
        m_phase = Phase::Idle;
        m_proc = Procedure::None;
        if (IsSMeterProcedure(Scan())) m_setScan(ScanState::Idle);
        m_panel.SetPanelLocked(false);
        applyRestore();
    }
}

void SMeterProcedures::searchDecision(int r) {
    const int threshold = thresholdAt(m_rxFr);
    if (r <= threshold) {
        if (m_h0 > m_h1 || m_h1 > r) {
            // Still getting stronger.
            m_peak = false;
        } else if (!m_peak) {
            // Two readings no stronger than the one before them: the peak is two steps back.
            m_peak = true;
            const double fr = m_rxFr;
            m_h0 = m_h1;
            m_h1 = r;
            if (m_mode == 0) {
                // Over: settings back, then two steps back to the peak.
                m_setScan(ScanState::Idle);
                searchEnd(wrapRange(fr - 2.0 * m_step));
            } else {
                tune(wrapRange(fr - m_step));
                m_phase = Phase::Pausing;
                m_timer->start(PauseTickMs * (1 + std::max(0, m_settings.SCN_Delay)));
            }
            return;
        }
    }
    m_h0 = m_h1;
    m_h1 = r;
    ActiveSearch(false, 0, true);
}

int SMeterProcedures::thresholdAt(double hz) const {
    // The segment that holds the frequency: the one the survey measured it in.
    const int segment = std::clamp(int(hz / SegmentHz), 0, LastSegment);
    const int level = m_survey.Levels[size_t(segment)];
    return level != 0 ? level : DefaultThreshold;
}

void SMeterProcedures::tune(double hz) {
    m_lastTuned = hz;
    m_panel.TuneTo(hz, true, true, true);
}

void SMeterProcedures::restoreReceiver(double hz, double thenHz) {
    // At once, while the panel is still the procedure's: the driver compares with what it sent,
    // so nothing waits for the receiver's report, and nothing runs later over what the operator
    // does next.
    m_restoreHz = hz;
    m_thenHz = thenHz;
    applyRestore();
}

void SMeterProcedures::applyRestore() {
    m_panel.TuneTo(m_restoreHz, true, true, true);
    m_panel.ShowFilter(m_savedFt, true);
    // The receiver's own AGC goes back as it was: "AGC_OffAllow" is about the operator choosing
    // Off, not about undoing the procedure's Fast.
    if (m_savedAg == ostry::Offf)
        m_rx.AG(ostry::Offf);
    else
        m_panel.ShowAgc(m_savedAg, true);
    m_panel.ShowMode(m_savedMd, true);
    if (m_thenHz >= 0) m_panel.TuneTo(m_thenHz, true, true, true);
}

void SMeterProcedures::settle(int ms) {
    m_phase = Phase::Settling;
    m_timer->start(ms);
}

void SMeterProcedures::onTimer() {
    const Phase phase = m_phase;
    m_phase = Phase::Idle;
    if (phase == Phase::Pausing) return ActiveSearch(false, 0, true);
    if (phase != Phase::Settling) return;
    const ScanState mine =
        m_proc == Procedure::Survey ? ScanState::NoiseMeasure : ScanState::ActiveSearch;
    if (Scan() != mine) return m_proc == Procedure::Survey ? surveyEnd() : searchEnd();
    m_phase = Phase::AwaitingReply;
    m_replyMark = m_rx.SMReplies();
    m_rx.SMUpd();
}
