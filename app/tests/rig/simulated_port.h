#pragma once

// The simulated receiver on a pseudo-terminal with the driver pointed at it: how every rig over
// a real driver starts.

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QString>

// Starts sim at `baud` (set it up first: paced, held, carriers) on a new pseudo-terminal, or on
// linkPath when given, maps serial port `port` to it and sets rx to that port and speed with its
// messages silenced. False, with the reason in *error, when the simulator did not start. The
// rig unmaps the port when it goes (ostry::setPortDevice(port, QString())).
inline bool StartOnPort(nrd535sim::Simulator& sim, Nrd535& rx, quint8 port, int baud,
                        QString* error = nullptr, const QString& linkPath = QString()) {
    sim.setBaud(baud);
    if (!sim.start(linkPath, error)) return false;
    ostry::setPortDevice(port, sim.path());
    rx.Baud(QString::number(baud));
    rx.Port(port);
    rx.setMessageDisplay([](const QString&) {});
    return true;
}
