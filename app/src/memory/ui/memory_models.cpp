#include "memory/ui/memory_models.h"

#include "memory/grid_rules.h"
#include "memory/memory_file.h"
#include "memory/memory_table.h"
#include "memory/quick_filters.h"
#include "settings/settings.h"

#include <ostry/nrd535.h>

namespace {

QString filterText(const Nrd535& rx, int code) {
    return code < 0 ? QString() : rx.FTDesc(ostry::FT(code));
}

} // namespace

MemoryTableModel::MemoryTableModel(MemoryTable& table, Nrd535& rx, const Settings& settings,
                                   std::function<void()> beep, QObject* parent)
    : QAbstractTableModel(parent), table_(table), rx_(rx), settings_(settings),
      beep_(std::move(beep)) {
    connect(&table_, &MemoryTable::rowsChanged, this, [this](int first, int last) {
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
    });
}

int MemoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.Size();
}

int MemoryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QStringList MemoryTableModel::Choices(int column) const {
    QStringList list;
    if (column == Mode)
        for (int i = 0; i < rx_.MDDescMax(); ++i) list << rx_.MDDesc(ostry::MD(i));
    else if (column == Filter)
        for (int i = 0; i < rx_.FTDescMax(); ++i) list << rx_.FTDesc(ostry::FT(i));
    else if (column == Agc)
        for (int i = 0; i < rx_.AGDescMax(); ++i) list << rx_.AGDesc(ostry::AG(i));
    return list;
}

QVariant MemoryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    const MemoryRecord& r = table_.Row(index.row());
    switch (index.column()) {
    case Number:
        return index.row();
    case Frequency:
        return FrequencyCellText(r.Frequency);
    case Mode:
        return rx_.MDDesc(ostry::MD(r.Mode));
    case Filter:
        return filterText(rx_, r.Filter);
    case Agc:
        return rx_.AGDesc(ostry::AG(r.Agc));
    case Comment:
        return r.Comment;
    default:
        return {};
    }
}

QVariant MemoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    static const char* const names[] = {"#", "kHz", "Mode", "Filter", "AGC", "Comment"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}

Qt::ItemFlags MemoryTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() != Number) f |= Qt::ItemIsEditable;
    return f;
}

bool MemoryTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    MemoryRecord r = table_.Row(index.row());
    const QString text = value.toString().trimmed();
    switch (index.column()) {
    case Frequency: {
        const FrequencyCell cell = CheckFrequencyCell(text);
        if (!cell.store) return false;
        if (cell.clamped) beep_();
        r.Frequency = cell.hz;
        break;
    }
    case Mode:
        r.Mode = rx_.MDCode(text);
        break;
    case Filter: {
        const QStringList names = Choices(Filter);
        const qsizetype at = names.indexOf(text);
        if (at >= 0) {
            r.Filter = int(at);
        } else {
            bool ok = false;
            const int typed = text.toInt(&ok);
            if (!ok || typed < 0) {
                beep_();
                return false;
            }
            r.Filter = FilterCellCode(typed, rx_.BWL(), rx_.BWH(), settings_.FLT_Aux);
        }
        break;
    }
    case Agc:
        r.Agc = rx_.AGCode(text);
        break;
    case Comment:
        r.Comment = value.toString();
        break;
    default:
        return false;
    }
    table_.SetRow(index.row(), r);
    if (auto* channels = qobject_cast<ChannelTable*>(&table_)) channels->SetModified(true);
    return true;
}

QuickFilterModel::QuickFilterModel(QuickFilterTable& table, Nrd535& rx, const Settings& settings,
                                   std::function<void()> beep, QObject* parent)
    : QAbstractTableModel(parent), table_(table), rx_(rx), settings_(settings),
      beep_(std::move(beep)) {
    connect(&table_, &QuickFilterTable::rowsChanged, this, [this](int first, int last) {
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
    });
}

int QuickFilterModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.Size();
}

int QuickFilterModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant QuickFilterModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const QuickFilter& f = table_.Row(index.row());
    if (role == Qt::EditRole && index.column() == Filter)
        return QuickFilterTable::IsEmpty(f) ? QString() : QString::number(f.Code);
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    switch (index.column()) {
    case Number:
        return index.row();
    case Filter:
        return filterText(rx_, f.Code);
    case Label:
        return f.Name;
    default:
        return {};
    }
}

QVariant QuickFilterModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    static const char* const names[] = {"#", "Filter (Hz)", "Label"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}

Qt::ItemFlags QuickFilterModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() != Number) f |= Qt::ItemIsEditable;
    return f;
}

bool QuickFilterModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    const int row = index.row();
    const QuickFilter f = table_.Row(row);
    const QString text = value.toString().trimmed();
    if (index.column() == Filter) {
        if (text.isEmpty()) {
            table_.Clear(row);
            return true;
        }
        bool ok = false;
        const int typed = text.toInt(&ok);
        if (!ok) {
            beep_();
            return false;
        }
        const int b = FilterPresetCell(typed, rx_.BWL(), rx_.BWH(), rx_.BWA(), settings_.FLT_Aux);
        const QString label = f.Name.isEmpty() ? QString::number(b) : f.Name;
        if (!table_.Set(row, b, label)) {
            beep_(); // another row holds it
            return false;
        }
        return true;
    }
    if (index.column() == Label) {
        if (QuickFilterTable::IsEmpty(f)) return false;
        const QString label = text.isEmpty() ? filterText(rx_, f.Code) : value.toString();
        return table_.Set(row, f.Code, label);
    }
    return false;
}
