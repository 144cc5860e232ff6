#include "schedule/on_air_model.h"

#include "schedule/on_air.h"

#include <set>

OnAirModel::OnAirModel(QObject* parent) : QAbstractTableModel(parent) {}

void OnAirModel::SetSchedule(const Schedule* schedule) {
    schedule_ = schedule;
    rebuild();
}

void OnAirModel::SetBand(double lowKhz, double highKhz) {
    low_ = lowKhz;
    high_ = highKhz;
    rebuild();
}

void OnAirModel::SetLanguage(const QString& code) {
    language_ = code.trimmed();
    rebuild();
}

void OnAirModel::SetTarget(const QString& target) {
    target_ = target.trimmed();
    rebuild();
}

void OnAirModel::Refresh(const ScheduleTime& t) {
    time_ = t;
    rebuild();
}

const Broadcast* OnAirModel::At(int row) const {
    return row >= 0 && row < int(rows_.size()) ? rows_[size_t(row)] : nullptr;
}

void OnAirModel::rebuild() {
    beginResetModel();
    onAir_.clear();
    rows_.clear();
    if (schedule_) {
        const bool all = low_ < 0;
        schedule_->OnAirIn(all ? 0 : low_, all ? 1e9 : high_, time_, onAir_);
    }
    std::set<QString> languages, targets;
    for (const Broadcast* b : onAir_) {
        for (QStringView l : QStringView(b->Language).split(u',', Qt::SkipEmptyParts))
            languages.insert(l.trimmed().toString());
        if (!b->Target.isEmpty()) targets.insert(b->Target);
        if (!schedule::SpeaksLanguage(*b, language_)) continue;
        if (!target_.isEmpty() && b->Target.compare(target_, Qt::CaseInsensitive) != 0) continue;
        rows_.push_back(b);
    }
    languages_ = QStringList(languages.begin(), languages.end());
    targets_ = QStringList(targets.begin(), targets.end());
    endResetModel();
}

int OnAirModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int OnAirModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant OnAirModel::data(const QModelIndex& index, int role) const {
    const Broadcast* b = At(index.row());
    if (!b) return {};
    if (role == Qt::TextAlignmentRole && index.column() == Khz)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && !b->DaysSure)
        return QStringLiteral("Days not sure: %1").arg(b->DaysText);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
    case Khz:
        return schedule::KhzText(b->Khz);
    case Time:
        return b->Time;
    case Days:
        return b->DaysSure ? b->DaysText : b->DaysText + QStringLiteral(" ?");
    case Station:
        return b->Station;
    case Language:
        return b->Language;
    case Target:
        return b->Target;
    case Site:
        return b->Remarks;
    case Itu:
        return b->Itu;
    default:
        return {};
    }
}

QVariant OnAirModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    // In the order of Column.
    static const char* const names[] = {"kHz",     "Time (UTC)", "Days",   "ITU",
                                        "Station", "Lang.",      "Target", "Site"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}
