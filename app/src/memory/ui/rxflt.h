#pragma once

#include <QDialog>

class Nrd535;
class Panel;
class QTableView;
class QuickFilterModel;
class QuickFilterTable;
class Settings;

// The "Quick Filters" window: the ten presets in an editable grid. Moving onto a filled row
// while the receiver is connected selects that filter; Esc closes.
class RxFlt : public QDialog {
    Q_OBJECT
public:
    RxFlt(QuickFilterTable& filters, Nrd535& rx, Panel& panel, const Settings& settings,
          QWidget* parent = nullptr);

    QTableView* FltGrid() const { return grid_; }
    QuickFilterModel* Model() const { return model_; }

private:
    QuickFilterTable& filters_;
    Nrd535& rx_;
    Panel& panel_;
    QuickFilterModel* model_;
    QTableView* grid_;
};
