#pragma once

#include <QObject>
#include <memory>

class ChannelTable;
class RoomHost;
class MemoryCommands;
class MemoryDialogs;
class MemoryScan;
class QuickFilterTable;
class QuickMemory;

// The memory room inside the window: the tables, the commands with their windows and the two
// memory scans; the "F", "*", "C" and "K" commands, the receiver's channel reports,
// "default.mem" and the quick memories and filters at start, the save question and the quick
// memories at the end. A child of the window.
class MemoryRoom : public QObject {
    Q_OBJECT
public:
    explicit MemoryRoom(RoomHost& host);
    ~MemoryRoom() override;

    ChannelTable& Channels() const { return *channels_; }
    QuickMemory& Quick() const { return *quick_; }
    QuickFilterTable& Filters() const { return *filters_; }
    MemoryCommands& Commands() const { return *commands_; }
    MemoryDialogs& Dialogs() const { return *dialogs_; }
    MemoryScan& QuickScan() const { return *quickScan_; }
    MemoryScan& ChannelScan() const { return *channelScan_; }

private:
    std::unique_ptr<ChannelTable> channels_;
    std::unique_ptr<QuickMemory> quick_;
    std::unique_ptr<QuickFilterTable> filters_;
    std::unique_ptr<MemoryDialogs> dialogs_;
    std::unique_ptr<MemoryCommands> commands_;
    std::unique_ptr<MemoryScan> quickScan_;
    std::unique_ptr<MemoryScan> channelScan_;
};
