#pragma once

// The lists room's rig: the simulated receiver on a pseudo-terminal, a driver connected to it,
// and the shared driver panel.

#include "driver_panel.h"
#include "settings/settings.h"
#include "simulated_port.h"

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QTest>

#include <memory>

// The simulator held and connected, settings at their defaults.
struct ListsRig {
    static constexpr quint8 TestPort = 9;
    nrd535sim::Simulator sim;
    Nrd535 rx;
    DriverPanel panel{rx};
    Settings settings;

    ListsRig() {
        sim.setHeld(true);
        sim.setPaced(false);
        QString error;
        if (!StartOnPort(sim, rx, TestPort, 38400, &error))
            qFatal("simulator: %s", qPrintable(error));
        // Wide enough for the test comments to show whole.
        panel.commentWidth = 400;
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
