#include "scan/fast_scan.h"

#include "core/panel.h"
#include "core/units.h"
#include "scan/signal_stop.h"
#include "scan/smeter_scale.h"

#include <ostry/nrd535.h>

#include <QTimer>

#include <cmath>

namespace {
// On the wire: "F" and eight digits with CR; "M" with CR.
constexpr int TuneChars = 10;
constexpr int MeterAskChars = 2;
} // namespace

FastScan::FastScan(Panel& panel, Nrd535& rx, QObject* parent)
    : QObject(parent), m_panel(panel), m_rx(rx), m_timer(new QTimer(this)) {
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &FastScan::onTimer);
    connect(&m_rx, &Nrd535::OnUpd, this,
            [this](double, ostry::MD, ostry::FT, ostry::AG, ostry::ONOFF, qint16, qint16 SM,
                   ostry::ONOFF) {
                // Only the reply to our own request moves the scan on; status lines do not.
                if (m_phase != Phase::Awaiting && m_phase != Phase::HoldAwaiting) return;
                if (m_rx.SMReplies() == m_replyMark) return;
                const Phase phase = m_phase;
                m_phase = Phase::Idle;
                m_timer->stop();
                if (phase == Phase::Awaiting)
                    onReading(SM);
                else
                    onHoldReading(SM);
            });
    m_clock.start();
}

FastScan::~FastScan() = default;

bool FastScan::SetRange(double lowHz, double highHz, double stepHz) {
    if (m_running) return false;
    if (lowHz > highHz) std::swap(lowHz, highHz);
    lowHz = std::clamp(lowHz, FrqMin, FrqMax);
    highHz = std::clamp(highHz, FrqMin, FrqMax);
    stepHz = std::abs(stepHz);
    if (stepHz < 1) return false;
    const double count = std::floor((highHz - lowHz) / stepHz) + 1;
    if (count > MaxSteps) return false;
    m_steps.clear();
    m_steps.reserve(qsizetype(count));
    for (qsizetype i = 0; i < qsizetype(count); ++i) m_steps.append(lowHz + double(i) * stepHz);
    return true;
}

bool FastScan::SetList(const QList<double>& hz) {
    if (m_running || hz.size() > MaxSteps) return false;
    QList<double> steps;
    for (double f : hz)
        if (f >= FrqMin && f <= FrqMax) steps.append(f);
    m_steps = steps;
    return true;
}

void FastScan::SetHitLog(const HitLog* log, const QString& scanName) {
    m_log = log;
    m_scanName = scanName;
}

double FastScan::StoppedHz() const {
    return m_mode == Mode::Stopped ? StepHz(m_index) : 0.0;
}

double FastScan::lineMs(int chars) const {
    bool ok = false;
    const int baud = m_rx.Baud().toInt(&ok);
    return chars * 10.0 * 1000.0 / (ok && baud > 0 ? baud : 4800);
}

bool FastScan::Start() {
    const ProgramState& st = m_panel.State();
    if (!st.RemoteHeld || st.Scanning() || m_running || m_steps.isEmpty()) {
        m_panel.WarnBeep();
        return false;
    }
    m_running = true;
    m_mode = Mode::Stepping;
    m_phase = Phase::Idle;
    m_skips.Clear();
    m_index = -1;
    m_sweep = 0;
    m_sinceMeasured = 0;
    m_stepsDone = 0;
    m_inside = false;
    m_startHz = m_rx.state().Fr;
    m_panel.SetPanelLocked(true);
    advance();
    return true;
}

void FastScan::Stop() {
    if (!m_running) return;
    if (m_mode == Mode::Stopped) endStop();
    finish();
}

bool FastScan::Resume() {
    if (!m_running || m_mode != Mode::Stopped) return false;
    resumeScan();
    return true;
}

bool FastScan::SkipHere(double widthHz) {
    if (!m_running || m_mode != Mode::Stopped) return false;
    m_skips.Add(Lockout{StepHz(m_index), std::max(0.0, widthHz), QString()});
    resumeScan();
    return true;
}

bool FastScan::stepped(int index) const {
    const double hz = m_steps[index];
    return !(m_lockouts && m_lockouts->Covers(hz)) && !m_skips.Covers(hz);
}

void FastScan::advance() {
    const int n = Steps();
    for (int tries = 0; tries < n; ++tries) {
        ++m_index;
        if (m_index >= n) {
            m_index = 0;
            const int ended = m_sweep++;
            // Steps past the end are a new sweep: a signal is not followed across it.
            m_inside = false;
            emit SweepEnded(ended);
            if (!m_running) return;
            if (m_sweeps > 0 && m_sweep >= m_sweeps) return finish();
        }
        if (stepped(m_index)) return tuneAndSettle(m_index);
    }
    // Everything is locked out or skipped.
    m_panel.WarnBeep();
    finish();
}

void FastScan::tuneAndSettle(int index) {
    m_panel.TuneTo(m_steps[index], true, false, false);
    // The "F" line has to reach the receiver, then the meter needs the settle time; the "M"
    // line itself takes part of it.
    const double wait =
        lineMs(TuneChars) + std::max(0.0, double(m_settleMs) - lineMs(MeterAskChars));
    m_phase = Phase::Settling;
    m_timer->start(int(std::lround(wait)));
}

void FastScan::ask(Phase phase) {
    m_phase = phase;
    m_replyMark = m_rx.SMReplies();
    m_rx.SMUpd();
    m_timer->start(ReplyTimeoutMs);
}

void FastScan::onTimer() {
    switch (m_phase) {
    case Phase::Settling:
        return ask(Phase::Awaiting);
    case Phase::Awaiting:
    case Phase::HoldAwaiting:
        // No reply: ask again.
        return ask(m_phase);
    case Phase::Holding:
        if (m_stop && m_stop->Due(m_clock.elapsed())) return resumeScan();
        return ask(Phase::HoldAwaiting);
    case Phase::Idle:
        return;
    }
}

void FastScan::onReading(int raw) {
    if (!m_running) return;
    const double hz = m_steps[m_index];
    ++m_stepsDone;
    emit Measured(m_sweep, m_index, hz, raw);
    if (!m_running) return;
    const bool above = m_stop && m_stop->Stops(raw, hz);
    const bool last = m_index == Steps() - 1;
    switch (m_mode) {
    case Mode::Returning:
        // Back on the peak: stop unless the signal went meanwhile.
        if (above) return stopHere(raw);
        m_mode = Mode::Stepping;
        m_index = m_resumeIndex;
        m_inside = m_resumeInside;
        return advance();
    case Mode::Climbing:
        if (above && raw < m_bestRaw) {
            m_bestRaw = raw;
            m_bestFirst = m_bestLast = m_index;
        } else if (above && raw == m_bestRaw && m_bestLast == m_index - 1) {
            m_bestLast = m_index;
        }
        if (!above || raw > m_bestRaw || last) return returnToPeak(above);
        return advance();
    case Mode::Stepping:
        if (above && !m_inside) {
            m_mode = Mode::Climbing;
            m_bestRaw = raw;
            m_bestFirst = m_bestLast = m_index;
            if (last) return returnToPeak(above);
            return advance();
        }
        m_inside = m_inside && above;
        return advance();
    case Mode::Stopped:
        return;
    }
}

void FastScan::returnToPeak(bool aboveHere) {
    m_resumeIndex = m_index;
    m_resumeInside = aboveHere;
    const int peak = (m_bestFirst + m_bestLast) / 2;
    if (peak == m_index) {
        m_mode = Mode::Returning;
        return stopHere(m_bestRaw);
    }
    m_mode = Mode::Returning;
    m_index = peak;
    tuneAndSettle(peak);
}

void FastScan::stopHere(int raw) {
    const double hz = m_steps[m_index];
    m_mode = Mode::Stopped;
    m_stopUtc = QDateTime::currentDateTimeUtc();
    m_stop->Begin(hz, raw, m_clock.elapsed());
    const double db = m_stop->DbAboveFloor(raw, hz);
    // The panel shows where it stopped, the reading and the margin.
    m_panel.TuneTo(hz, false, true, true);
    m_panel.ShowRecordCaption(hz,
                              QStringLiteral("Stop %1 +%2 dB (margin %3 dB)")
                                  .arg(SMeterText(raw))
                                  .arg(db, 0, 'f', 1)
                                  .arg(m_stop->Options().MarginDb, 0, 'f', 0),
                              true);
    emit SignalStopped(hz, raw, db);
    if (!m_running) return;
    m_phase = Phase::Holding;
    m_timer->start(HoldPollMs);
}

void FastScan::onHoldReading(int raw) {
    if (!m_running || m_mode != Mode::Stopped) return;
    if (m_stop->Reading(raw, m_clock.elapsed())) return resumeScan();
    m_phase = Phase::Holding;
    m_timer->start(HoldPollMs);
}

void FastScan::endStop() {
    const SignalStop::Stop s = m_stop->End();
    const ostry::ReceiverState& st = m_rx.state();
    m_lastHit = Hit{m_stopUtc.addMSecs(-m_stopUtc.time().msec()),
                    s.Hz,
                    st.MD,
                    st.ReportedFT >= 0 && st.FT < 0 ? st.ReportedFT : st.FT,
                    s.PeakRaw,
                    std::round(s.PeakDb * 10) / 10,
                    std::round(double(s.HeardMs()) / 100) / 10,
                    m_scanName};
    m_panel.ShowRecordCaption(0, QString(), false);
    QString error;
    if (m_log) m_log->Append(m_lastHit, &error);
    emit HitLogged(m_lastHit, error);
}

void FastScan::resumeScan() {
    m_timer->stop();
    m_phase = Phase::Idle;
    endStop();
    if (!m_running) return;
    m_mode = Mode::Stepping;
    m_index = m_resumeIndex;
    m_inside = m_resumeInside;
    emit Resumed();
    if (!m_running) return;
    advance();
}

void FastScan::finish() {
    m_timer->stop();
    m_phase = Phase::Idle;
    m_mode = Mode::Stepping;
    m_running = false;
    if (m_restore && m_startHz > 0) m_panel.TuneTo(m_startHz, true, true, true);
    m_panel.SetPanelLocked(false);
    emit Finished();
}
