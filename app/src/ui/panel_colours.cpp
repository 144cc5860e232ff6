#include "ui/panel_colours.h"

#include <QPalette>
#include <QWidget>

namespace panel {

void PaintBackground(QWidget* w, const QColor& c) {
    // A new palette repaints the widget: only when the colour changes.
    if (w->autoFillBackground() && w->palette().color(QPalette::Window) == c) return;
    QPalette p = w->palette();
    p.setColor(QPalette::Window, c);
    p.setColor(QPalette::WindowText, Qt::black);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

} // namespace panel
