#pragma once

#include "settings/records.h"

#include <QObject>
#include <array>

// The ten quick filters. Their rows live in the settings ("FLT_Inf0".."FLT_Inf9"); this table
// edits those live values and keeps the rule that no two rows hold the same filter value.
class QuickFilterTable : public QObject {
    Q_OBJECT
public:
    static constexpr int Count = 10;
    // Bandwidths a preset may hold, hertz (the receiver's continuous bandwidth control).
    static constexpr int MinBandwidth = 500;
    static constexpr int MaxBandwidth = 5500;

    explicit QuickFilterTable(std::array<QuickFilter, Count>& rows, QObject* parent = nullptr);

    int Size() const { return Count; }
    bool InRange(int row) const { return row >= 0 && row < Count; }
    const QuickFilter& Row(int row) const { return rows_[size_t(row)]; }
    static bool IsEmpty(const QuickFilter& f) { return f.Code == -1; }

    // True when a row other than exceptRow holds code.
    bool Holds(int code, int exceptRow = -1) const;
    // Stores code and label in row; false (nothing changed) when another row holds the code.
    bool Set(int row, int code, const QString& label);
    // Row becomes empty (-1, no label).
    void Clear(int row);

    // The filter button's cycle: positions 0..3 are the receiver's filters, position 4 + r the
    // quick filter of row r. Given the current position, returns the next one and the filter
    // value it selects: after Aux come the rows whose value is above 0, then Wide again.
    struct CycleStep {
        int position;
        int code;
    };
    CycleStep NextInCycle(int position) const;

signals:
    void rowsChanged(int first, int last);

private:
    std::array<QuickFilter, Count>& rows_;
};

// Rounds a typed bandwidth as the presets keep it: to the nearest whole hertz, odd values one up.
// False when it lies outside MinBandwidth..MaxBandwidth.
bool PresetBandwidth(double typed, int& bandwidth);

// The filter a receiver memory channel can hold for a bandwidth preset: the narrowest of the
// receiver's filters at least as wide as the preset (Narrow up to bwl, Inter up to bwi, Wide up
// to bwh); wider presets take Aux when an auxiliary filter is fitted, Wide otherwise. Codes 0..3
// are returned unchanged.
int ReceiverFilterFor(int code, int bwl, int bwi, int bwh, bool auxFitted);
