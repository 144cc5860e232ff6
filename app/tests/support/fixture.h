#pragma once

// Shared fixture of the program's tests: the receiver simulator on a pseudo-terminal mapped to a
// serial port, a settings hive in a temporary folder (also the working directory, where memory
// and pad files live), and the real main window under the offscreen platform. The update timer
// is stopped once the window is up: tests call tick() and count ticks instead of timing them.

#include "settings/registry.h"
#include "ui/main_window.h"
#include "ui/rooms.h"

#include <nrd535sim/simulator.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class KelvaneFixture {
public:
    // The serial port the simulator is mapped to.
    static constexpr int SimPort = 1;

    struct Options {
        // Write "COM_Port" = SimPort into the hive before the start; false starts on an empty
        // hive (first start: the port dialog shows).
        bool configurePort = true;
        // Further REGEDIT4 value lines for the hive, e.g. "\"AGC_OffAllow\"=dword:00000000".
        QStringList hiveLines;
        // Connect at once (one tick and wait for the first status report).
        bool connect = true;
    };

    KelvaneFixture();
    explicit KelvaneFixture(const Options& options);
    ~KelvaneFixture();
    KelvaneFixture(const KelvaneFixture&) = delete;
    KelvaneFixture& operator=(const KelvaneFixture&) = delete;

    // False with a QtTest failure recorded when something could not be set up.
    bool ok() const { return ok_; }

    // Creates, loads and shows a new main window on the same hive and working directory (for
    // "second start" tests, after stopMain()). False when Load ended the program.
    bool startMain();
    // Ticks until the receiver is connected and its first status report is shown.
    bool connect();
    // Closes the window the way the operator does (writes the settings) and deletes it.
    void stopMain();

    // n ticks of the update timer, each followed by a pass of the event loop.
    void tick(int n = 1);
    // Lets the event loop run until cond holds (at most timeoutMs).
    static bool waitFor(const std::function<bool()>& cond, int timeoutMs = 5000);
    // Waits as the running program does: one tick (with its polls) every 100 ms until cond
    // holds, at most maxTicks ticks. A reply's last one or two characters are read only when
    // more arrive (the receive threshold is three), so waits on a reply need the polls.
    bool waitTicking(const std::function<bool()>& cond, int maxTicks = 30);

    // The command lines the simulator received since the last call, without their CR. Waits
    // until everything the program wrote so far has arrived (a poll is sent as an end marker
    // and left out).
    QStringList takeLines();
    // Forgets the lines received so far.
    void clearLines();

    // Simulated mouse clicks on a panel control.
    static void click(QWidget* w, Qt::MouseButton button = Qt::LeftButton,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    // Re-reads the hive file as a fresh program would.
    std::unique_ptr<Registry> readHive() const;

    QString settingsPath() const { return dir_.filePath(QStringLiteral("Kelvane.reg")); }
    QString dirPath() const { return dir_.path(); }

    nrd535sim::Simulator sim;
    std::unique_ptr<Registry> reg;
    std::unique_ptr<Main> main;
    // The rooms joined to main (the program's list of rooms).
    Rooms rooms;
    // Messages the driver would have shown in message boxes.
    QStringList messages;
    // How often the start-up showed the port dialog.
    int portDialogShown = 0;
    // Answers the port dialog; the default leaves the port unset (the program then ends).
    std::function<void(Main&)> portDialog;

private:
    void setUp(const Options& options);

    QTemporaryDir dir_;
    QString oldCwd_;
    bool ok_ = false;
};
