#pragma once

#include "schedule/schedule.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

// Everything on the air at one moment, as the "On the air now" window lists it: filtered by
// band (a range in kHz), language and target, in frequency order. Refresh recomputes the rows
// for a new moment; the schedule must outlive the model (SetSchedule when it is replaced).
class OnAirModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Khz, Time, Days, Itu, Station, Language, Target, Site, ColumnCount };

    explicit OnAirModel(QObject* parent = nullptr);

    void SetSchedule(const Schedule* schedule);
    // The band filter; lowKhz < 0 for every band.
    void SetBand(double lowKhz, double highKhz);
    // A language code ("E", "-TS") and a target area ("Eu"); empty for all.
    void SetLanguage(const QString& code);
    void SetTarget(const QString& target);
    void Refresh(const ScheduleTime& t);

    const Broadcast* At(int row) const;
    // The languages and targets of the broadcasts on the air before the language and target
    // filters, sorted, for the filter lists.
    QStringList Languages() const { return languages_; }
    QStringList Targets() const { return targets_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void rebuild();

    const Schedule* schedule_ = nullptr;
    ScheduleTime time_;
    double low_ = -1, high_ = -1;
    QString language_, target_;
    std::vector<const Broadcast*> onAir_; // before the language and target filters
    std::vector<const Broadcast*> rows_;
    QStringList languages_, targets_;
};
