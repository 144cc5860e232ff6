#pragma once

// A Panel for tests and benchmarks without the main window: the procedures forward to a real
// Nrd535 (connected to the simulator) and every call is recorded.

#include "core/panel.h"

#include <ostry/nrd535.h>

#include <QStringList>

class RxPanel : public Panel {
public:
    explicit RxPanel(Nrd535& rx) : rx(rx) {}

    Nrd535& rx;
    ProgramState state;
    QStringList calls;

    const ProgramState& State() const override { return state; }
    void TuneTo(double hz, bool setReceiver, bool lookBand, bool lookNotes) override {
        calls << QStringLiteral("TuneTo %1 %2 %3 %4")
                     .arg(qint64(hz))
                     .arg(setReceiver)
                     .arg(lookBand)
                     .arg(lookNotes);
        if (setReceiver) rx.Fr(hz);
    }
    void ShowMode(int code, bool apply) override {
        calls << QStringLiteral("ShowMode %1 %2").arg(code).arg(apply);
        if (apply) rx.MD(ostry::MD(code));
    }
    void ShowFilter(int code, bool apply) override {
        calls << QStringLiteral("ShowFilter %1 %2").arg(code).arg(apply);
        if (apply) rx.FT(ostry::FT(code));
    }
    void ShowAgc(int code, bool apply) override {
        calls << QStringLiteral("ShowAgc %1 %2").arg(code).arg(apply);
        if (apply) rx.AG(ostry::AG(code));
    }
    void ShowNoiseBlanker(int code, bool apply) override {
        calls << QStringLiteral("ShowNoiseBlanker %1 %2").arg(code).arg(apply);
        if (apply) rx.NB(qint16(code));
    }
    void ShowRecordNumber(const QString&, const QString&) override {}
    void ShowRecordCaption(double, const QString&, bool) override {}
    void ClearChannelLabels() override {}
    void SetSourceTip(const QString&) override {}
    int CommentWidth() const override { return 200; }
    void SetPanelLocked(bool locked) override { state.PanelLocked = locked; }
    void StopScan() override {
        state.PanelLocked = false;
        state.Scan = ScanState::Idle;
    }
    void WarnBeep() override { calls << QStringLiteral("WarnBeep"); }
};
