#pragma once

#include <QImage>
#include <QWidget>

class LockoutList;
class OccupancyGrid;

// The occupancy picture in a window: frequency across, time down, scaled to the widget. The
// grid and lockouts are the caller's; RowChanged redraws one sweep's row as it comes in.
class OccupancyView : public QWidget {
    Q_OBJECT
public:
    explicit OccupancyView(QWidget* parent = nullptr);

    void SetGrid(const OccupancyGrid* grid, const LockoutList* lockouts);
    // A cell of this row changed (the sweep under way).
    void RowChanged(int row);
    // Everything again (rows dropped, lockouts changed).
    void Refresh();
    const QImage& Picture() const { return m_image; }

signals:
    // Esc: the operator ends the sweep.
    void EndRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    const OccupancyGrid* m_grid = nullptr;
    const LockoutList* m_lockouts = nullptr;
    QImage m_image;
};
