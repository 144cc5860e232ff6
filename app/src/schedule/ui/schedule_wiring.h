#pragma once

// Joins the broadcast schedule ("SKD_File") to the main window: the panel's on-air line, the
// "On the air now" window ("SO"), the on-air scan ("SA", "SCN_Mode" 9) and the options
// dialog's schedule file. Without a file nothing shows and nothing is looked up.

#include "schedule/on_air_scan.h"
#include "schedule/schedule.h"
#include "schedule/ui/on_air_window.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class RoomHost;

// The schedule's row on the options dialog's General tab: the file and its "..." chooser.
class ScheduleOptionsRow : public QWidget {
    Q_OBJECT
public:
    explicit ScheduleOptionsRow(const QString& path, QWidget* parent = nullptr);
    QString File() const;
    // Asks for a file (the "..." button); by default a file dialog.
    void SetChoose(std::function<QString(const QString& current)> choose) {
        choose_ = std::move(choose);
    }

    QLineEdit* SkdFile;
    QPushButton* SkdBrowse;

private:
    std::function<QString(const QString&)> choose_;
};

class ScheduleRoom : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    explicit ScheduleRoom(RoomHost& host, Clock clock = &QDateTime::currentDateTimeUtc);
    ~ScheduleRoom() override;

    // Reads the file named by "SKD_File" (none when empty). False, with the reason in *error,
    // when it does not read: the schedule is then empty.
    bool Reload(QString* error = nullptr);
    // Opens (or raises) the "On the air now" window.
    void ShowWindow();
    // For the options dialog: keeps path in "SKD_File" and reads it now. False (and error set)
    // when it does not read.
    bool ApplyFile(const QString& path, QString* error = nullptr);

    const Schedule& Sked() const { return sked_; }
    QLabel* OnAirLabel() const { return label_; }
    OnAirWindow* Window() const { return window_; }

private:
    void showOnAir();
    void tune(double khz);
    bool scanRange(double* lowKhz, double* highKhz);

    RoomHost& host_;
    Clock clock_;
    Schedule sked_;
    OnAirScan scan_;
    QLabel* label_;
    QPointer<OnAirWindow> window_;
    QTimer rest_;   // the receiver rests on a frequency: look it up
    QTimer minute_; // broadcasts begin and end as the minutes pass
    double lastHz_ = -1;
    std::vector<const Broadcast*> found_;
};
