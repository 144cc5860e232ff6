#pragma once

#include "core/panel.h"

#include <ostry/nrd535.h>

// The panel without a window: the procedures' tuning and settings go straight to the driver.
// The noise procedures' tests, benchmark and screenshot tool run on it.
class DriverPanel : public Panel {
public:
    explicit DriverPanel(Nrd535& rx) : rx(rx) {}

    const ProgramState& State() const override { return state; }
    void TuneTo(double hz, bool setReceiver, bool, bool) override {
        if (setReceiver) rx.Fr(hz);
    }
    void ShowMode(int code, bool apply) override {
        if (apply) rx.MD(ostry::MD(code));
    }
    void ShowFilter(int code, bool apply) override {
        if (apply) rx.FT(ostry::FT(code));
    }
    void ShowAgc(int code, bool apply) override {
        if (apply) rx.AG(ostry::AG(code));
    }
    void ShowNoiseBlanker(int code, bool apply) override {
        if (apply) rx.NB(qint16(code));
    }
    void ShowRecordNumber(const QString&, const QString&) override {}
    void ShowRecordCaption(double, const QString&, bool) override {}
    void ClearChannelLabels() override {}
    void SetSourceTip(const QString&) override {}
    int CommentWidth() const override { return 100; }
    void SetPanelLocked(bool locked) override { state.PanelLocked = locked; }
    void StopScan() override {
        state.PanelLocked = false;
        state.Scan = ScanState::Idle;
    }
    void WarnBeep() override { ++beeps; }

    Nrd535& rx;
    ProgramState state;
    int beeps = 0;
};
