#pragma once

#include "schedule/on_air_model.h"

#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QTableView;

// "On the air now": every broadcast of the schedule on the air this minute, filtered by band,
// language and target, in frequency order, refreshed as each minute begins. Enter or a double
// click on a row asks to tune it.
class OnAirWindow : public QWidget {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    explicit OnAirWindow(QWidget* parent = nullptr, Clock clock = &QDateTime::currentDateTimeUtc);

    // The schedule shown (nullptr for none); it must outlive the window or be replaced first.
    void SetSchedule(const Schedule* schedule);
    // Reads the clock and lists what is on the air now.
    void Refresh();

    OnAirModel& Model() { return model_; }
    QTableView* Table() const { return table_; }
    QComboBox* BandBox() const { return band_; }
    QComboBox* LanguageBox() const { return language_; }
    QComboBox* TargetBox() const { return target_; }
    QLabel* Status() const { return status_; }

signals:
    // A row was chosen: tune to khz.
    void tuneRequested(double khz);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void chooseRow(const QModelIndex& index);
    void applyBand();
    void fillChoices();
    void armMinute();

    Clock clock_;
    OnAirModel model_;
    QComboBox* band_;
    QComboBox* language_;
    QComboBox* target_;
    QTableView* table_;
    QLabel* status_;
    QTimer minute_;
    bool filling_ = false;
};
