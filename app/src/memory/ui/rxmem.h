#pragma once

#include "memory/memory_scan.h"

#include <QDialog>
#include <functional>

class MemoryCommands;
class MemoryTable;
class MemoryTableModel;
class Nrd535;
class Panel;
class QTableView;
class Settings;

// The memory grid window: the quick memories ("Quick Memory") or the channel table ("Channel
// Memory") in an editable grid. Moving onto a row tunes it; in the number and frequency columns
// "E" erases the table, "S" stores the receiver's setting in the row, "D" reads the receiver's
// channel of that number into the row and "P" pushes the table into the receiver's channels.
// A click on the number column's header asks for the scan of the shown table.
class RxMem : public QDialog, public RowCursor {
    Q_OBJECT
public:
    RxMem(MemoryCommands& memory, MemoryTable& table, Nrd535& rx, Panel& panel,
          const Settings& settings, int startRow, QWidget* parent = nullptr);
    ~RxMem() override;

    // Called with the header click on column 0 (the main window starts the scan when it may).
    std::function<void(MemoryTable& table)> ScanRequested;

    QTableView* MemGrid() const { return grid_; }
    MemoryTableModel* Model() const { return model_; }

    int CurrentRow() const override;
    void FollowRow(int row) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rowChanged(int row);
    bool gridKey(int key, const QString& text);
    void storeReceiver(int row);
    void push();
    void dump(int row);

    MemoryCommands& memory_;
    MemoryTable& table_;
    Nrd535& rx_;
    Panel& panel_;
    MemoryTableModel* model_;
    QTableView* grid_;
    bool following_ = false; // the cursor moves for the scan or a push: no tune
    int pushReturnRow_ = -1;
};
