#include "memory/ui/rxflt.h"

#include "core/panel.h"
#include "memory/quick_filters.h"
#include "memory/ui/memory_models.h"
#include "settings/settings.h"

#include <ostry/nrd535.h>

#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

RxFlt::RxFlt(QuickFilterTable& filters, Nrd535& rx, Panel& panel, const Settings& settings,
             QWidget* parent)
    : QDialog(parent), filters_(filters), rx_(rx), panel_(panel) {
    setObjectName(QStringLiteral("RxFlt"));
    setWindowTitle(QStringLiteral("Quick Filters"));
    setWindowFlag(Qt::WindowStaysOnTopHint, settings.WIN_OnTop);
    model_ = new QuickFilterModel(
        filters, rx, settings, [this] { panel_.WarnBeep(); }, this);
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("FltGrid"));
    grid_->setModel(model_);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->horizontalHeader()->setStretchLastSection(true);
    grid_->setColumnWidth(QuickFilterModel::Number, 40);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(grid_);
    resize(320, 300);
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!panel_.State().Connected || !filters_.InRange(current.row())) return;
                const QuickFilter& f = filters_.Row(current.row());
                if (!QuickFilterTable::IsEmpty(f)) rx_.FT(ostry::FT(f.Code));
            });
}
