#pragma once

#include <QAbstractTableModel>
#include <functional>

class MemoryTable;
class Nrd535;
class QuickFilterTable;
class Settings;

// The memory grid's model: one row per table row; columns row number, frequency (kHz "00.000"),
// mode, filter and AGC (the driver's texts) and comment. Edits are checked by the grid's rules;
// a refused or clamped edit calls beep. Every accepted edit of the channel table marks it
// modified.
class MemoryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Number, Frequency, Mode, Filter, Agc, Comment, ColumnCount };

    MemoryTableModel(MemoryTable& table, Nrd535& rx, const Settings& settings,
                     std::function<void()> beep, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    MemoryTable& Table() const { return table_; }
    // The texts of a drop-down column (mode, filter, AGC).
    QStringList Choices(int column) const;

private:
    MemoryTable& table_;
    Nrd535& rx_;
    const Settings& settings_;
    std::function<void()> beep_;
};

// The "Quick Filters" grid's model: row number, filter (the driver's text) and label.
class QuickFilterModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Number, Filter, Label, ColumnCount };

    QuickFilterModel(QuickFilterTable& table, Nrd535& rx, const Settings& settings,
                     std::function<void()> beep, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    QuickFilterTable& table_;
    Nrd535& rx_;
    const Settings& settings_;
    std::function<void()> beep_;
};
