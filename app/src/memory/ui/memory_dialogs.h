#pragma once

#include "memory/memory_host.h"

#include <QStringList>
#include <functional>

class MemoryCommands;
class MemoryScan;
class Nrd535;
class Panel;
class QWidget;
class Settings;

// The windows and dialogs of the memory commands, over the main window: the memory grid, the
// quick filters, the known-list selection, the memory-file dialogs and the message boxes.
class MemoryDialogs : public MemoryHost {
public:
    // owner: the main window; knownLabels: the database's category names.
    MemoryDialogs(QWidget& owner, Nrd535& rx, Panel& panel, Settings& settings);

    // Set once the commands exist (they take this host).
    void SetCommands(MemoryCommands* memory) { memory_ = memory; }
    // The two memory scans: while a grid shows a table, its scan follows the grid.
    void SetScans(MemoryScan* quick, MemoryScan* channels) {
        quickScan_ = quick;
        channelScan_ = channels;
    }
    // The database's category names for the known-list window.
    std::function<QStringList()> KnownLabels;
    // Answers the file dialogs instead of showing them (tests): save tells which one.
    std::function<QString(bool save, const QString& ext)> FileChooser;
    // The grid's header click on the number column: start the scan of that table.
    std::function<void(MemoryTable& table)> ScanRequested;

    void OpenMemoryGrid(MemoryTable& table, int startRow) override;
    void OpenQuickFilters() override;
    void OpenKnownLists() override;
    QString ChooseLoadFile(const QString& ext) override;
    QString ChooseSaveFile(const QString& ext) override;
    bool ShowMessage(const QString& prompt, bool okCancel, const QString& title) override;
    void ShowNotice(const QString& prompt, const QString& title) override;

private:
    QWidget& owner_;
    Nrd535& rx_;
    Panel& panel_;
    Settings& settings_;
    MemoryCommands* memory_ = nullptr;
    MemoryScan* quickScan_ = nullptr;
    MemoryScan* channelScan_ = nullptr;
};
