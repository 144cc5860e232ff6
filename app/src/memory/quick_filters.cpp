#include "memory/quick_filters.h"

#include <cmath>

QuickFilterTable::QuickFilterTable(std::array<QuickFilter, Count>& rows, QObject* parent)
    : QObject(parent), rows_(rows) {}

bool QuickFilterTable::Holds(int code, int exceptRow) const {
    for (int r = 0; r < Count; ++r)
        if (r != exceptRow && rows_[size_t(r)].Code == code) return true;
    return false;
}

bool QuickFilterTable::Set(int row, int code, const QString& label) {
    if (!InRange(row) || Holds(code, row)) return false;
    rows_[size_t(row)] = QuickFilter{code, label};
    emit rowsChanged(row, row);
    return true;
}

void QuickFilterTable::Clear(int row) {
    if (!InRange(row)) return;
    rows_[size_t(row)] = QuickFilter{};
    emit rowsChanged(row, row);
}

QuickFilterTable::CycleStep QuickFilterTable::NextInCycle(int position) const {
    const int p = position + 1;
    if (p < 4) return {std::max(0, p), std::max(0, p)};
    for (int row = p - 4; row < Count; ++row)
        if (rows_[size_t(row)].Code > 0) return {row + 4, rows_[size_t(row)].Code};
    return {0, 0};
}

bool PresetBandwidth(double typed, int& bandwidth) {
    if (!std::isfinite(typed)) return false;
    const double b = std::round(typed);
    if (b < QuickFilterTable::MinBandwidth || b > QuickFilterTable::MaxBandwidth) return false;
    bandwidth = int(b);
    if (bandwidth % 2 != 0) ++bandwidth;
    return true;
}

int ReceiverFilterFor(int code, int bwl, int bwi, int bwh, bool auxFitted) {
    if (code >= 0 && code <= 3) return code;
    if (code < 0) return 0;    // no filter stored: Wide
    if (code <= bwl) return 2; // Narrow
    if (code <= bwi) return 1; // Inter
    if (code <= bwh) return 0; // Wide
    return auxFitted ? 3 : 0;
}
