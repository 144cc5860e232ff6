#pragma once

// A receiver panel for the lists room's tests: the simulated receiver on a pseudo-terminal, a
// driver connected to it, and a Panel that tunes and sets that driver and records what the
// indicator and caption show.

#include "core/panel.h"
#include "settings/settings.h"

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QStringList>
#include <QTest>

#include <memory>

class TestPanel : public Panel {
public:
    explicit TestPanel(Nrd535& rx) : rx_(rx) {}

    const ProgramState& State() const override { return state; }
    void TuneTo(double hz, bool setReceiver, bool, bool) override {
        tuned << hz;
        if (setReceiver) rx_.Fr(hz);
    }
    void ShowMode(int code, bool apply) override {
        if (apply) rx_.MD(ostry::MD(code));
    }
    void ShowFilter(int code, bool apply) override {
        if (apply) rx_.FT(ostry::FT(code));
    }
    void ShowAgc(int code, bool apply) override {
        if (apply) rx_.AG(ostry::AG(code));
    }
    void ShowNoiseBlanker(int code, bool apply) override {
        if (apply) rx_.NB(qint16(code));
    }
    void ShowRecordNumber(const QString& t, const QString& n) override {
        tag = t;
        number = n;
        ++shown;
    }
    void ShowRecordCaption(double hz, const QString& c, bool visible) override {
        captionHz = hz;
        comment = c;
        captionVisible = visible;
    }
    void ClearChannelLabels() override {
        tag.clear();
        number.clear();
    }
    void SetSourceTip(const QString& t) override { tip = t; }
    int CommentWidth() const override { return commentWidth; }
    void SetPanelLocked(bool locked) override { state.PanelLocked = locked; }
    void StopScan() override {
        state.PanelLocked = false;
        state.Scan = ScanState::Idle;
    }
    void WarnBeep() override { ++beeps; }

    ProgramState state;
    QList<double> tuned;
    QString tag, number, comment, tip;
    double captionHz = 0;
    bool captionVisible = false;
    int shown = 0;
    int beeps = 0;
    int commentWidth = 400;

private:
    Nrd535& rx_;
};

// The simulator held and connected, settings at their defaults.
struct ListsRig {
    static constexpr quint8 TestPort = 9;
    nrd535sim::Simulator sim;
    Nrd535 rx;
    TestPanel panel{rx};
    Settings settings;

    ListsRig() {
        sim.setHeld(true);
        sim.setPaced(false);
        sim.setBaud(38400);
        QString error;
        if (!sim.start(QString(), &error)) qFatal("simulator: %s", qPrintable(error));
        ostry::setPortDevice(TestPort, sim.path());
        rx.Baud(QStringLiteral("38400"));
        rx.Port(TestPort);
        rx.setMessageDisplay([](const QString&) {});
    }
    ~ListsRig() { ostry::setPortDevice(TestPort, QString()); }

    bool connect() {
        if (!rx.fOpen(false) || !rx.Conn()) return false;
        panel.state.Connected = true;
        panel.state.RemoteHeld = true;
        return QTest::qWaitFor([this] { return rx.Fr() > 0 && rx.MD() >= 0 && rx.AG() >= 0; },
                               5000);
    }

    // Puts the simulated receiver at a known setting and waits until the driver reports it.
    bool setReceiver(qint64 hz, int md, int ft, int ag) {
        if (!settled()) return false;
        nrd535sim::RxSettings s = sim.settings();
        s.hz = hz;
        s.md = md;
        s.ft = ft;
        s.ag = ag;
        sim.panelSet(s);
        rx.FTUpd();
        return QTest::qWaitFor(
            [&] {
                return rx.Fr() == double(hz) && rx.MD() == md && rx.FT() == ft && rx.AG() == ag;
            },
            5000);
    }

    // Waits until the simulator has taken every command sent so far: "J1999" names no channel
    // and is ignored, so its arrival marks the end of what came before.
    bool settled() {
        rx.Dump(999);
        const bool ok = QTest::qWaitFor(
            [this] { return sim.receivedLines().contains(QStringLiteral("J1999")); }, 5000);
        sim.clearReceivedLines();
        return ok;
    }

    // Waits until the simulated receiver is at hz with these codes.
    bool receiverAt(qint64 hz, int md, int ft, int ag) {
        return QTest::qWaitFor(
            [&] {
                const nrd535sim::RxSettings& s = sim.settings();
                return s.hz == hz && s.md == md && s.ft == ft && s.ag == ag;
            },
            5000);
    }
};
