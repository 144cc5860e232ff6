#pragma once

#include "memory/memory_table.h"
#include "memory/quick_filters.h"

#include <QObject>
#include <QPointer>
#include <QString>

class MemoryHost;
class Nrd535;
class Panel;
class QTimer;
class ReceiverPush;
class Settings;

// The memory commands of the keyboard ("C", "*", "F" and "K" families), the recall of a record,
// the memory files, and pushing and dumping the receiver's own memory channels. Owns no table:
// the channel table, the quick memories and the quick filters are handed in.
class MemoryCommands : public QObject {
    Q_OBJECT
public:
    MemoryCommands(Panel& panel, Nrd535& rx, Settings& settings, ChannelTable& channels,
                   QuickMemory& quick, QuickFilterTable& filters, MemoryHost& host,
                   QObject* parent = nullptr);
    ~MemoryCommands() override;

    // The second letter of a "C" command; entry is the typed entry text (a channel number where
    // one is needed, an empty entry counting as 0).
    void ChannelCommand(QChar cmd, const QString& entry);
    // The character after "*"; entry is the typed entry text (kHz, ".", "0" or empty).
    void QuickMemoryCommand(QChar cmd, const QString& entry);
    // The character after "K".
    void KnownStationCommand(QChar cmd);
    // The character after "F"; entry as for the quick memories (a bandwidth in Hz).
    void QuickFilterCommand(QChar cmd, const QString& entry);

    // Tunes the receiver to row of table and shows it: frequency, mode, filter, AGC, then the
    // record caption and the indicator (the table's tag, the row as "000"). False, with nothing
    // sent, for an empty or out-of-range row.
    bool Recall(MemoryTable& table, int row);

    // Asks for a file name and writes the channel table. A failed write is reported; true when
    // the table was written.
    bool SaveChannels();
    // Loads a memory file into the channel table; an empty name asks for the file first.
    // True when a file was read (fully or up to a bad line).
    bool LoadChannels(const QString& name);

    // Start-up: "default.mem" from the working directory when it exists; the table counts as
    // unchanged afterwards.
    void StartUp();
    // Shutdown: when the channel table holds edits no file has, asks for a file to save it to.
    void ShutDown();

    // One receiver memory channel reported during a dump (the driver's OnChn): stored in the
    // channel table (table true) or the quick memories, unless its frequency is 0. The last one
    // ends the dump. A full dump ("CD") leaves the table unchanged in the modified sense (the
    // receiver still holds those channels); a row read from the grid marks it changed.
    void OnChn(bool table, int index, bool last, double frequency, int mode, int filter, int agc);

    // A push or dump of the receiver's memories is running.
    bool Busy() const { return busy_; }
    // Writes the rows of table into the receiver's channels of the same numbers; skipEmpty
    // leaves out rows without a frequency. False (with the beep) when the link is closed or a
    // push or dump runs. rowSent and pushFinished report the progress.
    bool PushTable(MemoryTable& table, bool skipEmpty);
    // Reads the receiver's channel `row` into that row of table. False (with the beep) when
    // refused; dumpFinished follows otherwise.
    bool DumpRow(MemoryTable& table, int row);
    // Stops a running push after its current row.
    void CancelPush();

    // The panel's tooltip names table as the source of recalled records.
    void ShowSourceTip(const MemoryTable& table);
    // Clears the record indicator and caption.
    void ClearIndicator();

    // The row of table the grid should start on: the one last recalled or stored there.
    int LastRow(const MemoryTable& table) const;

    ChannelTable& Channels() { return channels_; }
    QuickMemory& Quick() { return quick_; }
    QuickFilterTable& Filters() { return filters_; }

signals:
    // A push wrote the row (grid row number) into the receiver.
    void rowSent(int row);
    void pushFinished();
    // A dump ended: its last record arrived or the receiver stopped answering.
    void dumpFinished();
    void busyChanged(bool busy);

private:
    bool linkOpen() const;
    bool receiverReady() const;
    // The typed channel number, or -1 when not a whole number from 0 to 199.
    static int channelNumber(const QString& entry);
    void storeCurrent(MemoryTable& table, int row, double hz);
    void showIndicator(const QString& tag, int row);
    void setBusy(bool busy);
    void endDump();
    void reapplyFrequency();

    Panel& panel_;
    Nrd535& rx_;
    Settings& settings_;
    ChannelTable& channels_;
    QuickMemory& quick_;
    QuickFilterTable& filters_;
    MemoryHost& host_;
    bool busy_ = false;
    bool dumping_ = false;
    bool dumpIsEdit_ = false; // a row read into the grid marks the channel table changed
    QPointer<ReceiverPush> push_;
    QTimer* dumpWatch_;
    int lastChannel_ = -1;
    int lastQuick_ = -1;
    // What the indicator showed before a push, to put back after it.
    QString shownTag_;
    int shownRow_ = -1;
};
