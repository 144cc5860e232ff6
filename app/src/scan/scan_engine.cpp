#include "scan/scan_engine.h"
#include "ui/panel_colours.h"

#include "input/keys_entry.h"
#include "ui/main_window.h"

#include <fennick/freqs.h>
#include <ostry/nrd535.h>

#include <QLabel>
#include <algorithm>
#include <cmath>
#include <span>

using namespace panel;

namespace {

// Scan states.
constexpr int StateBand = 3;
constexpr int StateRange = 4;
constexpr int StateKnown = 5;
constexpr int StateMarks = 6;
constexpr int StateStepping = 12;

// "SCN_Mode" values.
constexpr int ModeRange = 0;
constexpr int ModeMarks = 1;
constexpr int ModeBand = 2;
constexpr int ModeKnown = 3;
constexpr int ModeStepping = 255;

} // namespace

ScanEngine::ScanEngine(Main& main) : main_(main) {
    forget();
}

void ScanEngine::ClearMarkPosition() {
    marks_[0] = -1;
    forget();
}

void ScanEngine::forget() {
    lastTuned_ = -1;
    recent_.fill(-2); // matches no reported frequency
}

void ScanEngine::StartScan() {
    if (main_.ScanState != 0) {
        main_.WarnBeep();
        return;
    }
    switch (main_.settings.SCN_Mode) {
    case ModeRange:
    case ModeMarks:
    case ModeBand:
    case ModeKnown: {
        static constexpr int states[] = {StateRange, StateMarks, StateBand, StateKnown};
        main_.SetPanelLocked(true);
        main_.ScanState = states[main_.settings.SCN_Mode];
        main_.BandDefaults = true;
        stepCount_ = 0;
        forget();
        break;
    }
    case 4: // database records
    case 5: // channels
    case 6: // quick memories
    case 7: // scratch pad
    case 8: // scan file
        // These scans read record sources that do not exist yet: refuse until they do.
        main_.WarnBeep();
        break;
    case ModeStepping:
        main_.ScanState = StateStepping;
        stepCount_ = 0;
        forget();
        break;
    default:
        break;
    }
}

void ScanEngine::StartStepping(bool up) {
    if (main_.ScanState == StateStepping) {
        stepUp_ = up;
        return;
    }
    if (main_.ScanState != 0) {
        main_.WarnBeep();
        return;
    }
    stepUp_ = up;
    main_.ScanState = StateStepping;
    stepCount_ = 0;
    forget();
}

void ScanEngine::Step() {
    Main& m = main_;
    Freqs& freqs = m.freqs();
    double f = position();
    if (m.ScanState != StateKnown && f >= 0) {
        // Band edges and steps are those of the band the receiver is in. (The known scan
        // keeps the station position the last step left.)
        bool approx = false;
        freqs.Look(f / 1000, approx);
    }
    const double step = m.settings.BND_AutoST ? freqs.Step() : m.settings.SCN_Step;

    switch (m.ScanState) {
    case StateBand:
        if (step <= 0 || f < 0) return stop();
        f += step;
        if (f >= freqs.Last() * 1000) f = freqs.BandFrq() * 1000;
        tune(f);
        break;
    case StateRange: {
        const double range = m.settings.SCN_Range;
        if (step <= 0 || f < 0 || range <= 0) return stop();
        const double block = std::floor(f / range);
        f += step;
        if (std::floor(f / range) != block) f = block * range;
        tune(f);
        break;
    }
    case StateKnown:
        if (!MoveKnown(true, [this](double hz) { tune(hz); })) return stop();
        break;
    case StateMarks: {
        if (marks_[1] < 0 || marks_[2] < 0 || step <= 0) return stop();
        // The scan keeps its own position: the receiver's report of the last step may still
        // be on its way.
        f = marks_[0] < 0 ? marks_[1] : marks_[0] + step;
        if (f > marks_[2]) f = marks_[1];
        tune(f);
        marks_[0] = f;
        break;
    }
    case StateStepping:
        if (f < 0 || m.TuningStep <= 0) return stop();
        f = WrapRange(stepUp_ ? f + m.TuningStep : f - m.TuningStep);
        tune(f);
        break;
    default:
        // Database, memory, channel, pad and file scans have no record source yet.
        stop();
        break;
    }
}

void ScanEngine::TrackBand() {
    Main& m = main_;
    Nrd535& rx = m.receiver();
    Freqs& freqs = m.freqs();
    const double f = rx.Fr();
    if (f < 0) return; // nothing reported yet
    bool approx = false;
    const std::string name = freqs.Look(f / 1000, approx);
    m.Band->setText(QString::fromStdString(name));
    PaintBackground(m.Band, approx ? LightOrange : LightCyan);
    if (!m.BandEntered()) return;
    m.STP[1]->setText(QString::number(freqs.Step()));
    if (m.settings.BND_AutoMD || m.settings.BND_AutoFT) {
        rx.Hook(true);
        m.ApplyBandDefaults();
        rx.Hook(false);
    }
    // TODO(pad): search the scratch pad and log for f once the pad exists.
}

bool ScanEngine::MoveKnown(bool up, const std::function<void(double hz)>& tune) {
    Main& m = main_;
    Freqs& freqs = m.freqs();
    int list = 0;
    int position = 0;
    const QList<int>& selection = m.settings.KWN_Sel;
    const std::string name = freqs.FreqNxt(
        up, list, position, std::span<const int>(selection.constData(), selection.size()));
    if (name.empty()) return false;
    tune(freqs.FreqFrq() * 1000);
    // After tuning: tuning clears the channel labels.
    m.Band->setText(QString::fromStdString(name));
    PaintBackground(m.Band, LightCyan);
    m.CHN->setText(QStringLiteral("%1-%2")
                       .arg(list, 2, 10, QLatin1Char('0'))
                       .arg(position, 3, 10, QLatin1Char('0')));
    m.LblCHN->setText(QStringLiteral("Kf"));
    return true;
}

void ScanEngine::SetLowerMark(double hz) {
    marks_[1] = hz;
    orderMarks();
}

void ScanEngine::SetUpperMark(double hz) {
    marks_[2] = hz;
    orderMarks();
}

void ScanEngine::orderMarks() {
    // Only two set marks can be out of order; an unset one (-1) stays where it is.
    if (marks_[1] >= 0 && marks_[2] >= 0 && marks_[1] > marks_[2]) std::swap(marks_[1], marks_[2]);
    marks_[0] = -1;
}

double ScanEngine::position() {
    const double reported = main_.receiver().Fr();
    // The receiver's reports trail the steps by a tick or more (they queue behind the polls):
    // while it reports a frequency this scan tuned, go on from the last step. Any other
    // frequency was set by someone else, and the scan goes on from there.
    if (lastTuned_ >= 0 && std::find(recent_.begin(), recent_.end(), reported) != recent_.end())
        return lastTuned_;
    return reported;
}

void ScanEngine::remember(double hz) {
    recent_[recentNext_] = hz;
    recentNext_ = (recentNext_ + 1) % recent_.size();
}

void ScanEngine::tune(double hz) {
    marks_[0] = -1;
    if (lastTuned_ < 0) remember(main_.receiver().Fr()); // where the scan started
    lastTuned_ = std::trunc(hz);
    remember(lastTuned_);
    main_.TuneTo(hz, true, true, true);
    stepCount_ = (stepCount_ + 1) & 0xFFFF;
}

void ScanEngine::stop() {
    main_.StopScan();
    main_.WarnBeep();
}
