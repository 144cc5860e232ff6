#include "scan/scan_engine.h"

#include "core/panel.h"
#include "core/tuner.h"
#include "core/units.h"
#include "scan/record_source.h"
#include "settings/settings.h"

#include <fennick/freqs.h>
#include <ostry/nrd535.h>

#include <algorithm>
#include <cmath>
#include <span>

ScanEngine::ScanEngine(PanelHost& panel, Tuner& tuner, Nrd535& rx, Freqs& freqs, Settings& settings)
    : panel_(panel), tuner_(tuner), rx_(rx), freqs_(freqs), settings_(settings) {}

void ScanEngine::SetSource(ScanState state, RecordSource* source) {
    if (source)
        sources_[state] = source;
    else
        sources_.erase(state);
}

void ScanEngine::ClearMarkPosition() {
    marks_[0] = -1;
}

void ScanEngine::begin(ScanState state, bool lock, bool bandDefaults) {
    if (lock) panel_.SetPanelLocked(true);
    panel_.SetScanState(state);
    tuner_.BandDefaults = bandDefaults;
    stepCount_ = 0;
}

void ScanEngine::StartScan() {
    if (panel_.State().Scanning()) {
        panel_.WarnBeep();
        return;
    }
    const ScanState chosen = ScanOfCode(settings_.SCN_Mode);
    if (chosen == ScanState::Idle) return;
    switch (chosen) {
    case ScanState::Range:
    case ScanState::Marks:
    case ScanState::Band:
    case ScanState::Known:
        begin(chosen, true, true);
        break;
    case ScanState::Stepping:
        begin(chosen, false, true);
        break;
    default: {
        // A list scan: its records carry their own settings, so band defaults stay off. The
        // on-air scan's frequencies carry none: the band plan's apply.
        const auto source = sources_.find(chosen);
        if (source == sources_.end() || !source->second->Begin()) {
            panel_.WarnBeep();
            return;
        }
        begin(chosen, true, chosen == ScanState::OnAir);
        break;
    }
    }
}

void ScanEngine::StartStepping(bool up) {
    const ScanState state = panel_.State().Scan;
    if (state == ScanState::Stepping) {
        stepUp_ = up;
        return;
    }
    if (state != ScanState::Idle) {
        panel_.WarnBeep();
        return;
    }
    stepUp_ = up;
    // The Scan button repeats the stepping scan.
    settings_.SCN_Mode = int(ScanCode::Stepping);
    begin(ScanState::Stepping, false, true);
}

void ScanEngine::Step() {
    const ScanState state = panel_.State().Scan;
    double f = tuner_.Position();
    if (state != ScanState::Known && f >= 0) {
        // Band edges and steps are those of the band the receiver is in. (The known scan
        // keeps the station position the last step left.)
        bool approx = false;
        freqs_.Look(f / 1000, approx);
    }
    const double step = settings_.BND_AutoST ? freqs_.Step() : settings_.SCN_Step;

    switch (state) {
    case ScanState::Band:
        if (step <= 0 || f < 0) return stop();
        f += step;
        if (f >= freqs_.Last() * 1000) f = freqs_.BandFrq() * 1000;
        tune(f);
        break;
    case ScanState::Range: {
        const double range = settings_.SCN_Range;
        if (step <= 0 || f < 0 || range <= 0) return stop();
        const double block = std::floor(f / range);
        f += step;
        if (std::floor(f / range) != block) f = block * range;
        tune(f);
        break;
    }
    case ScanState::Known:
        if (!MoveKnown(true, [this](double hz) { tune(hz); })) return stop();
        break;
    case ScanState::Marks: {
        if (marks_[1] < 0 || marks_[2] < 0 || step <= 0) return stop();
        // The scan keeps its own position.
        f = marks_[0] < 0 ? marks_[1] : marks_[0] + step;
        if (f > marks_[2]) f = marks_[1];
        tune(f);
        marks_[0] = f;
        break;
    }
    case ScanState::Stepping: {
        const double by = panel_.TuningStep();
        if (f < 0 || by <= 0) return stop();
        tune(WrapRange(stepUp_ ? f + by : f - by));
        break;
    }
    default: {
        // A list scan's recall is a tuning like any other step's: the mark scan starts over.
        ClearMarkPosition();
        const auto source = sources_.find(state);
        if (source == sources_.end() || !source->second->Next()) return stop();
        stepCount_ = (stepCount_ + 1) & 0xFFFF;
        break;
    }
    }
}

void ScanEngine::Ended(ScanState state) {
    const auto source = sources_.find(state);
    if (source != sources_.end()) source->second->End();
}

void ScanEngine::TrackBand() {
    const double f = rx_.Fr();
    if (f < 0) return; // nothing reported yet
    bool approx = false;
    const std::string name = freqs_.Look(f / 1000, approx);
    panel_.ShowBand(QString::fromStdString(name), approx);
    if (!tuner_.BandEntered()) return;
    panel_.ShowBandStep(freqs_.Step());
    if (settings_.BND_AutoMD || settings_.BND_AutoFT) {
        rx_.Hook(true);
        tuner_.ApplyBandDefaults();
        rx_.Hook(false);
    }
}

bool ScanEngine::MoveKnown(bool up, const std::function<void(double hz)>& tune) {
    int list = 0;
    int position = 0;
    const QList<int>& selection = settings_.KWN_Sel;
    const std::string name = freqs_.FreqNxt(
        up, list, position, std::span<const int>(selection.constData(), selection.size()));
    if (name.empty()) return false;
    tune(freqs_.FreqFrq() * 1000);
    // After tuning: tuning clears the channel labels.
    panel_.ShowBand(QString::fromStdString(name), false);
    panel_.ShowKnownPosition(list, position);
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

void ScanEngine::tune(double hz) {
    marks_[0] = -1;
    panel_.TuneTo(hz, true, true, true);
    stepCount_ = (stepCount_ + 1) & 0xFFFF;
}

void ScanEngine::stop() {
    panel_.StopScan();
    panel_.WarnBeep();
}
