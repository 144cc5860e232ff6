#pragma once

// The rig of the link tests: the simulator on a pseudo-terminal, a driver connected and holding
// it, the shared driver panel, the program's link on the test's (private) session bus, and
// kelvane-db processes as the database.

#include "driver_panel.h"
#include "link/database_link.h"
#include "simulated_port.h"

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// kelvane-db as a child process.
class DbProcess {
public:
    explicit DbProcess(const QStringList& args = {});
    ~DbProcess();
    bool started() const { return proc.state() == QProcess::Running; }
    // Writes one line on its standard input.
    void send(const QString& line);
    // Closes its standard input.
    void endInput() { proc.closeWriteChannel(); }
    // The next line it printed on standard output (empty after the timeout).
    QString takeLine(int timeoutMs = 5000);
    // Waits until its standard error holds `text`.
    bool waitErr(const QString& text, int timeoutMs = 8000);
    QString err() const { return err_; }

    QProcess proc;

private:
    QString err_;
};

class LinkRig {
public:
    static constexpr int Port = 7;

    LinkRig();
    ~LinkRig();
    bool ok() const { return ok_; }

    // Sets the receiver to `s` from its front panel and waits until the driver has it.
    bool setReceiver(const nrd535sim::RxSettings& s);
    // Waits until the driver's state satisfies `cond`, polling as the update timer does (a
    // reply's last characters are read when more arrive).
    bool waitReported(const std::function<bool()>& cond);
    // The command lines the receiver got since the last call (everything sent so far has
    // arrived: a poll goes out as an end marker and is left out).
    QStringList takeLines();
    // Opens a conversation from a new kelvane-db and ticks TimDDE until the link holds.
    bool linkUp(DbProcess& db);
    // One tick of TimDDE, waiting for the link attempt it starts to answer.
    void tick();

    QTemporaryDir dir;
    nrd535sim::Simulator sim;
    Nrd535 rx;
    DriverPanel panel{rx};
    DatabaseLink link{panel, rx};

private:
    bool ok_ = false;
};
