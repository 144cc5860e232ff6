#pragma once

#include "settings/records.h"

#include <QObject>
#include <QString>
#include <array>
#include <span>

// A fixed table of memory records: the quick memories (10) or the channel table (200). Every
// change goes through SetRow/Erase so the grids showing the table hear of it.
class MemoryTable : public QObject {
    Q_OBJECT
public:
    int Size() const { return int(rows_.size()); }
    bool InRange(int row) const { return row >= 0 && row < Size(); }
    const MemoryRecord& Row(int row) const { return rows_[size_t(row)]; }
    std::span<const MemoryRecord> Rows() const { return rows_; }

    // Out-of-range rows are ignored.
    void SetRow(int row, const MemoryRecord& record);
    // Every row becomes Frequency 0, codes 0, no comment.
    void Erase();
    // True when at least one row has a frequency.
    bool AnyFilled() const;

    // "Ch" for the channel table, "M" for the quick memories: the panel's source tag.
    virtual QString Tag() const = 0;
    // Where the scan's recalled records come from, for the panel's tooltip.
    virtual QString SourceTip() const = 0;
    // True for the channel table: a receiver dump of channel n lands here when its table flag
    // is set.
    virtual bool IsChannelTable() const = 0;

signals:
    // Rows first..last changed (both inclusive).
    void rowsChanged(int first, int last);

protected:
    MemoryTable(std::span<MemoryRecord> rows, QObject* parent);

private:
    std::span<MemoryRecord> rows_;
};

// The 200 channels, kept in memory files. The modified flag says the table holds edits no file
// has yet.
class ChannelTable : public MemoryTable {
    Q_OBJECT
public:
    static constexpr int Count = 200;
    explicit ChannelTable(QObject* parent = nullptr);

    QString Tag() const override { return QStringLiteral("Ch"); }
    QString SourceTip() const override { return QStringLiteral("From Channels"); }
    bool IsChannelTable() const override { return true; }

    bool Modified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }

private:
    std::array<MemoryRecord, Count> storage_;
    bool modified_ = false;
};

// The ten quick memories. Their rows live in the settings ("MEM_Inf0".."MEM_Inf9"), which read
// them at start-up and write them back at shutdown; this table edits those live values.
class QuickMemory : public MemoryTable {
    Q_OBJECT
public:
    static constexpr int Count = 10;
    explicit QuickMemory(std::array<MemoryRecord, Count>& rows, QObject* parent = nullptr);

    QString Tag() const override { return QStringLiteral("M"); }
    QString SourceTip() const override { return QStringLiteral("From Quick Memory"); }
    bool IsChannelTable() const override { return false; }
};
