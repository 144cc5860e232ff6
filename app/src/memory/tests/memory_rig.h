#pragma once

// The memory room's test rig: the simulated receiver on a pseudo-terminal, the real driver
// connected to it, the shared driver panel, a host that answers the dialogs from a script, and the
// tables.

#include "driver_panel.h"
#include "memory/memory_commands.h"
#include "memory/memory_host.h"
#include "memory/memory_table.h"
#include "memory/quick_filters.h"
#include "settings/settings.h"
#include "simulated_port.h"

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>

#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

// Answers the dialogs: the next file names to choose, OK or Cancel for messages; records every
// request.
class RigHost : public MemoryHost {
public:
    void OpenMemoryGrid(MemoryTable& table, int startRow) override;
    void OpenQuickFilters() override { opened << QStringLiteral("filters"); }
    void OpenKnownLists() override { opened << QStringLiteral("known"); }
    QString ChooseLoadFile(const QString&) override { return loadName; }
    QString ChooseSaveFile(const QString&) override { return saveName; }
    bool ShowMessage(const QString& prompt, bool, const QString& title) override {
        messages << title + QStringLiteral(": ") + prompt;
        return true;
    }
    void ShowNotice(const QString& prompt, const QString& title) override {
        messages << title + QStringLiteral(": ") + prompt;
    }

    QString loadName, saveName;
    QStringList opened;
    QStringList messages;
};

class MemoryRig {
public:
    // paced: the simulator sends at its line speed (replies in pieces).
    explicit MemoryRig(bool paced = false, int baud = 38400);
    ~MemoryRig();

    // Opens the port, connects, takes the receiver under remote control and waits for the
    // first status report. False when the simulator did not answer.
    bool Connect();
    // Lines the simulator received from now until a marker sent after `action` arrives (the
    // marker itself left out).
    QStringList LinesOf(const std::function<void()>& action);
    // Lets the event loop run until cond holds (at most timeoutMs).
    static bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 5000);

    QTemporaryDir dir; // also the working directory
    nrd535sim::Simulator sim;
    Nrd535 rx;
    Settings settings;
    DriverPanel panel{rx};
    RigHost host;
    ChannelTable channels;
    QuickMemory quick{settings.MEM_Inf};
    QuickFilterTable filters{settings.FLT_Inf};
    std::unique_ptr<MemoryCommands> memory;

private:
    QString oldDir_;
};
