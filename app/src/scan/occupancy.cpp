#include "scan/occupancy.h"

#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr float Unmeasured = std::numeric_limits<float>::quiet_NaN();
const QColor NotMeasured{24, 24, 24};
const QColor LockedOut{110, 110, 110};
const QColor HitMark{255, 255, 255};
} // namespace

void OccupancyGrid::Reset(const QList<double>& columnsHz) {
    m_columns = columnsHz;
    m_rows.clear();
}

OccupancyGrid::Row* OccupancyGrid::rowOf(int sweep, bool open, const QDateTime& when) {
    for (auto it = m_rows.rbegin(); it != m_rows.rend(); ++it)
        if (it->Sweep == sweep) return &*it;
    if (!open || m_columns.isEmpty()) return nullptr;
    // Only a sweep newer than every row kept opens a row.
    if (!m_rows.empty() && sweep < m_rows.back().Sweep) return nullptr;
    if (int(m_rows.size()) >= MaxRows) m_rows.erase(m_rows.begin());
    Row r;
    r.Sweep = sweep;
    r.Start = when.isValid() ? when.toUTC() : QDateTime::currentDateTimeUtc();
    r.Cells.assign(size_t(m_columns.size()), Unmeasured);
    r.Hits.assign(size_t(m_columns.size()), false);
    m_rows.push_back(std::move(r));
    return &m_rows.back();
}

void OccupancyGrid::Set(int sweep, int column, double dbAboveFloor, const QDateTime& when) {
    if (column < 0 || column >= Columns()) return;
    if (Row* r = rowOf(sweep, true, when)) r->Cells[size_t(column)] = float(dbAboveFloor);
}

void OccupancyGrid::MarkHit(int sweep, int column) {
    if (column < 0 || column >= Columns()) return;
    if (Row* r = rowOf(sweep, true, {})) r->Hits[size_t(column)] = true;
}

float OccupancyGrid::Cell(int row, int column) const {
    return m_rows[size_t(row)].Cells[size_t(column)];
}

bool OccupancyGrid::IsHit(int row, int column) const {
    return m_rows[size_t(row)].Hits[size_t(column)];
}

int OccupancyGrid::ColumnOf(double hz) const {
    if (m_columns.isEmpty()) return -1;
    int best = 0;
    for (int c = 1; c < Columns(); ++c)
        if (std::abs(m_columns[c] - hz) < std::abs(m_columns[best] - hz)) best = c;
    return best;
}

QByteArray OccupancyGrid::Csv() const {
    QByteArray out = "Sweep,Start UTC";
    for (double hz : m_columns) out += ',' + QByteArray::number(qint64(std::llround(hz)));
    out += "\r\n";
    for (const Row& r : m_rows) {
        out += QByteArray::number(r.Sweep) + ',' + r.Start.toString(Qt::ISODate).toLatin1();
        for (size_t c = 0; c < r.Cells.size(); ++c) {
            out += ',';
            if (!std::isnan(r.Cells[c])) out += QByteArray::number(double(r.Cells[c]), 'f', 1);
            if (r.Hits[c]) out += 'H';
        }
        out += "\r\n";
    }
    return out;
}

bool OccupancyGrid::SaveCsv(const QString& path, QString* error) const {
    QSaveFile f(path);
    const QByteArray text = Csv();
    if (f.open(QIODevice::WriteOnly) && f.write(text) == text.size() && f.commit()) return true;
    if (error) *error = QStringLiteral("%1: %2").arg(path, f.errorString());
    f.cancelWriting();
    return false;
}

QColor OccupancyPicture::CellColour(float db) {
    if (std::isnan(db)) return NotMeasured;
    // Dark blue through cyan, green and yellow to red.
    const double t = std::clamp(double(db) / FullScaleDb, 0.0, 1.0);
    static const QColor stops[] = {
        {0, 0, 80}, {0, 120, 200}, {0, 200, 80}, {240, 230, 0}, {230, 30, 0}};
    const double at = t * 4;
    const int i = std::min(3, int(at));
    const double f = at - i;
    const QColor& a = stops[i];
    const QColor& b = stops[i + 1];
    return QColor(int(a.red() + (b.red() - a.red()) * f),
                  int(a.green() + (b.green() - a.green()) * f),
                  int(a.blue() + (b.blue() - a.blue()) * f));
}

namespace {

std::vector<bool> lockedColumns(const OccupancyGrid& grid, const LockoutList* lockouts) {
    std::vector<bool> locked(size_t(grid.Columns()), false);
    if (lockouts && !lockouts->IsEmpty())
        for (int c = 0; c < grid.Columns(); ++c)
            locked[size_t(c)] = lockouts->Covers(grid.ColumnHz(c));
    return locked;
}

void drawRow(const OccupancyGrid& grid, const std::vector<bool>& locked, int row, QImage& image) {
    if (row < 0 || row >= grid.Rows() || row >= image.height()) return;
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
    const int columns = std::min(grid.Columns(), image.width());
    for (int c = 0; c < columns; ++c) {
        if (grid.IsHit(row, c))
            line[c] = HitMark.rgb();
        else if (locked[size_t(c)])
            line[c] = LockedOut.rgb();
        else
            line[c] = OccupancyPicture::CellColour(grid.Cell(row, c)).rgb();
    }
}

} // namespace

QImage OccupancyPicture::Render(const OccupancyGrid& grid, const LockoutList* lockouts) {
    QImage image(std::max(1, grid.Columns()), std::max(1, grid.Rows()), QImage::Format_RGB32);
    image.fill(NotMeasured);
    const std::vector<bool> locked = lockedColumns(grid, lockouts);
    for (int row = 0; row < grid.Rows(); ++row) drawRow(grid, locked, row, image);
    return image;
}

void OccupancyPicture::RenderRow(const OccupancyGrid& grid, const LockoutList* lockouts, int row,
                                 QImage& image) {
    drawRow(grid, lockedColumns(grid, lockouts), row, image);
}

bool OccupancyPicture::SavePng(const QImage& picture, const QString& path, int scale,
                               QString* error) {
    const QImage out = scale > 1 ? picture.scaled(picture.size() * scale) : picture;
    QSaveFile f(path);
    if (f.open(QIODevice::WriteOnly) && out.save(&f, "PNG") && f.commit()) return true;
    if (error) *error = QStringLiteral("%1: %2").arg(path, f.errorString());
    f.cancelWriting();
    return false;
}
