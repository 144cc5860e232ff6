#pragma once

#include "scan/lockouts.h"

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QList>
#include <QString>

#include <vector>

// What the occupancy sweep heard: one row a sweep, one column a step, each cell the reading's
// dB above the floor (NaN where the step was not measured: locked out, skipped, or the sweep
// still running). Hits are marked on their cell. Holds the newest MaxRows sweeps.
class OccupancyGrid {
public:
    static constexpr int MaxRows = 2000;

    // Starts again with these step frequencies (the columns) and no rows.
    void Reset(const QList<double>& columnsHz);
    int Columns() const { return int(m_columns.size()); }
    double ColumnHz(int column) const { return m_columns.value(column); }
    // Sweeps kept, oldest first; Sweep(row) is the scan's sweep number of the row.
    int Rows() const { return int(m_rows.size()); }
    int SweepOf(int row) const { return m_rows[size_t(row)].Sweep; }
    QDateTime StartOf(int row) const { return m_rows[size_t(row)].Start; }
    // The reading of a step of a sweep (a new sweep number opens a row, dropping the oldest
    // beyond MaxRows); out-of-range columns and sweeps older than the rows kept are ignored.
    void Set(int sweep, int column, double dbAboveFloor, const QDateTime& when = {});
    // The cell of a hit: its sweep and column.
    void MarkHit(int sweep, int column);
    float Cell(int row, int column) const;
    bool IsHit(int row, int column) const;
    // The column nearest hz, -1 when there are none.
    int ColumnOf(double hz) const;

    // CSV of all rows kept: a header "Sweep,Start UTC,<hz>,<hz>,...", then one line a sweep
    // with its number, start time (ISO 8601, UTC) and each cell's dB above the floor with one
    // decimal, empty where not measured, and "H" after the number on a hit ("12.5H").
    QByteArray Csv() const;
    // Writes the CSV atomically; false with the reason in *error.
    bool SaveCsv(const QString& path, QString* error = nullptr) const;

private:
    struct Row {
        int Sweep = 0;
        QDateTime Start;
        std::vector<float> Cells;
        std::vector<bool> Hits;
    };
    Row* rowOf(int sweep, bool open, const QDateTime& when);

    QList<double> m_columns;
    std::vector<Row> m_rows; // oldest first
};

// Draws the grid: frequency across, time down (newest row at the bottom), each cell coloured
// by its dB above the floor, locked-out columns grey, hits marked white.
class OccupancyPicture {
public:
    // The colour scale runs from 0 dB (dark blue) to this many dB above the floor (red).
    static constexpr double FullScaleDb = 40;

    static QColor CellColour(float dbAboveFloor);
    // The whole picture at one pixel a cell (width columns, height rows); lockouts may be null.
    static QImage Render(const OccupancyGrid& grid, const LockoutList* lockouts);
    // Redraws only the given row into an image Render made for the same grid size.
    static void RenderRow(const OccupancyGrid& grid, const LockoutList* lockouts, int row,
                          QImage& image);
    // Writes the picture as PNG, scaled by `scale` pixels a cell, atomically.
    static bool SavePng(const QImage& picture, const QString& path, int scale = 1,
                        QString* error = nullptr);
};
