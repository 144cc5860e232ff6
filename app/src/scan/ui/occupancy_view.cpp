#include "scan/ui/occupancy_view.h"

#include "scan/occupancy.h"

#include <QKeyEvent>
#include <QPainter>

OccupancyView::OccupancyView(QWidget* parent) : QWidget(parent) {
    setWindowTitle(tr("Band occupancy"));
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 200);
}

void OccupancyView::SetGrid(const OccupancyGrid* grid, const LockoutList* lockouts) {
    m_grid = grid;
    m_lockouts = lockouts;
    Refresh();
}

void OccupancyView::RowChanged(int row) {
    if (!m_grid) return;
    if (m_image.width() != std::max(1, m_grid->Columns()) ||
        m_image.height() != std::max(1, m_grid->Rows()))
        return Refresh();
    OccupancyPicture::RenderRow(*m_grid, m_lockouts, row, m_image);
    update();
}

void OccupancyView::Refresh() {
    m_image = m_grid ? OccupancyPicture::Render(*m_grid, m_lockouts) : QImage();
    update();
}

void OccupancyView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!m_image.isNull()) p.drawImage(rect(), m_image);
}

void OccupancyView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit EndRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}
