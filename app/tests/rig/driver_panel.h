#pragma once

// The receiver panel without a window, for the rooms' tests, the benchmarks and the screenshot
// tools: the panel procedures tune and set a real driver (normally connected to the simulator),
// the record indicator is kept as the window would show it, and every call is recorded.

#include "core/panel.h"

#include <ostry/nrd535.h>

#include <QList>
#include <QString>
#include <QStringList>

// Base is Panel, or PanelHost for a test that adds the key commands' part of the panel.
template <class Base> class DriverPanelOn : public Base {
public:
    explicit DriverPanelOn(Nrd535& rx) : rx(rx) {}

    const ProgramState& State() const override { return state; }

    void TuneTo(double hz, bool setReceiver, bool lookBand, bool lookNotes) override {
        record(QStringLiteral("TuneTo %1 %2 %3 %4")
                   .arg(hz, 0, 'f', 0)
                   .arg(setReceiver)
                   .arg(lookBand)
                   .arg(lookNotes));
        tuned << hz;
        if (setReceiver) rx.Fr(hz);
        // Tuning clears the record indicator, as the main window does.
        if (setReceiver || !state.RemoteHeld) clearLabels();
    }
    void ShowMode(int code, bool apply) override {
        record(QStringLiteral("ShowMode %1 %2").arg(code).arg(apply));
        if (apply) rx.MD(ostry::MD(code));
    }
    void ShowFilter(int code, bool apply) override {
        record(QStringLiteral("ShowFilter %1 %2").arg(code).arg(apply));
        if (apply) rx.FT(ostry::FT(code));
    }
    void ShowAgc(int code, bool apply) override {
        record(QStringLiteral("ShowAgc %1 %2").arg(code).arg(apply));
        if (apply) rx.AG(ostry::AG(code));
    }
    void ShowNoiseBlanker(int code, bool apply) override {
        record(QStringLiteral("ShowNoiseBlanker %1 %2").arg(code).arg(apply));
        if (apply) rx.NB(qint16(code));
    }

    void ShowRecordNumber(const QString& t, const QString& n) override {
        record(QStringLiteral("ShowRecordNumber %1 %2").arg(t, n));
        tag = t;
        number = n;
    }
    void ShowRecordCaption(double hz, const QString& c, bool visible) override {
        record(QStringLiteral("ShowRecordCaption %1 %2").arg(hz, 0, 'f', 0).arg(visible));
        captionHz = hz;
        comment = c;
        captionVisible = visible;
    }
    void ClearChannelLabels() override {
        record(QStringLiteral("ClearChannelLabels"));
        clearLabels();
    }
    void SetSourceTip(const QString& t) override {
        record(QStringLiteral("SetSourceTip %1").arg(t));
        tip = t;
    }
    int CommentWidth() const override { return commentWidth; }

    void SetPanelLocked(bool locked) override {
        record(QStringLiteral("SetPanelLocked %1").arg(locked));
        state.PanelLocked = locked;
    }
    void StopScan() override {
        record(QStringLiteral("StopScan"));
        state.PanelLocked = false;
        state.Scan = ScanState::Idle;
    }
    void WarnBeep() override {
        record(QStringLiteral("WarnBeep"));
        ++beeps;
    }

    // How many recorded calls were of this procedure ("TuneTo", "ShowRecordNumber", ...).
    int Count(const QString& procedure) const {
        int n = 0;
        for (const QString& c : calls)
            if (c == procedure || c.startsWith(procedure + u' ')) ++n;
        return n;
    }
    // The recorded calls of one procedure, in order.
    QStringList CallsOf(const QString& procedure) const {
        QStringList of;
        for (const QString& c : calls)
            if (c == procedure || c.startsWith(procedure + u' ')) of << c;
        return of;
    }

    Nrd535& rx;
    ProgramState state;
    // Every call, "TuneTo 7125000 1 1 1", "ShowFilter 2 0", "WarnBeep": the procedure and its
    // arguments in order, flags as 1 or 0, hertz whole.
    QStringList calls;
    // The hertz of every TuneTo.
    QList<double> tuned;
    // The record indicator (tag and number) and the caption as last shown.
    QString tag, number, comment, tip;
    double captionHz = 0;
    bool captionVisible = false;
    int beeps = 0;
    int commentWidth = 200;

private:
    void record(const QString& call) { calls << call; }
    void clearLabels() {
        tag.clear();
        number.clear();
        captionVisible = false;
    }
};

using DriverPanel = DriverPanelOn<Panel>;
