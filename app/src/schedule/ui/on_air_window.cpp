#include "schedule/ui/on_air_window.h"

#include "schedule/on_air.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

namespace {
const QString All = QStringLiteral("All");
} // namespace

OnAirWindow::OnAirWindow(QWidget* parent, Clock clock)
    : QWidget(parent, Qt::Window), clock_(std::move(clock)), model_(this) {
    setWindowTitle(QStringLiteral("On the air now"));
    band_ = new QComboBox(this);
    language_ = new QComboBox(this);
    target_ = new QComboBox(this);
    band_->addItem(All);
    for (const schedule::NamedBand& b : schedule::BroadcastBands())
        band_->addItem(QStringLiteral("%1  %2-%3")
                           .arg(QLatin1String(b.Name), schedule::KhzText(b.LowKhz),
                                schedule::KhzText(b.HighKhz)),
                       QLatin1String(b.Name));
    language_->addItem(All);
    target_->addItem(All);
    auto* filters = new QHBoxLayout;
    const auto labelled = [&](const QString& text, QComboBox* box) {
        auto* label = new QLabel(text, this);
        label->setBuddy(box);
        filters->addWidget(label);
        filters->addWidget(box);
    };
    labelled(QStringLiteral("&Band"), band_);
    labelled(QStringLiteral("&Language"), language_);
    labelled(QStringLiteral("&Target"), target_);
    filters->addStretch(1);

    table_ = new QTableView(this);
    table_->setModel(&model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);
    status_ = new QLabel(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(table_, 1);
    layout->addWidget(status_);
    resize(760, 420);

    connect(band_, &QComboBox::currentIndexChanged, this, [this] { applyBand(); });
    connect(language_, &QComboBox::currentIndexChanged, this, [this] {
        if (filling_) return;
        model_.SetLanguage(language_->currentIndex() > 0 ? language_->currentText() : QString());
        Refresh();
    });
    connect(target_, &QComboBox::currentIndexChanged, this, [this] {
        if (filling_) return;
        model_.SetTarget(target_->currentIndex() > 0 ? target_->currentText() : QString());
        Refresh();
    });
    connect(table_, &QTableView::doubleClicked, this, &OnAirWindow::chooseRow);
    connect(table_, &QTableView::activated, this, &OnAirWindow::chooseRow);
    minute_.setSingleShot(true);
    minute_.setTimerType(Qt::CoarseTimer);
    connect(&minute_, &QTimer::timeout, this, &OnAirWindow::Refresh);
}

void OnAirWindow::SetSchedule(const Schedule* schedule) {
    model_.SetSchedule(schedule);
    Refresh();
}

void OnAirWindow::applyBand() {
    double low = -1, high = -1;
    if (band_->currentIndex() > 0)
        schedule::ParseBand(band_->currentData().toString(), &low, &high);
    model_.SetBand(low, high);
    Refresh();
}

void OnAirWindow::Refresh() {
    const QDateTime now = clock_();
    // Keep the chosen row across the refresh when it is still on the air.
    const Broadcast* chosen = model_.At(table_->currentIndex().row());
    model_.Refresh(ScheduleTime::FromUtc(now));
    fillChoices();
    for (int row = 0; chosen && row < model_.rowCount(); ++row) {
        if (model_.At(row) == chosen) {
            table_->setCurrentIndex(model_.index(row, 0));
            break;
        }
    }
    status_->setText(QStringLiteral("%1 on the air at %2 UTC")
                         .arg(model_.rowCount())
                         .arg(now.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
    armMinute();
}

void OnAirWindow::fillChoices() {
    filling_ = true;
    const auto fill = [](QComboBox* box, const QStringList& items) {
        const QString current = box->currentText();
        box->clear();
        box->addItem(All);
        box->addItems(items);
        // A chosen filter stays even when nothing on the air matches it this minute.
        if (current != All && !items.contains(current)) box->addItem(current);
        box->setCurrentText(current);
    };
    fill(language_, model_.Languages());
    fill(target_, model_.Targets());
    filling_ = false;
}

void OnAirWindow::armMinute() {
    const QDateTime now = clock_();
    const QTime t = now.toUTC().time();
    // Just past the next minute, so the clock reads the new minute.
    const int ms = (60 - t.second()) * 1000 - t.msec() + 50;
    minute_.start(ms);
}

void OnAirWindow::chooseRow(const QModelIndex& index) {
    if (const Broadcast* b = model_.At(index.row())) emit tuneRequested(b->Khz);
}

void OnAirWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
