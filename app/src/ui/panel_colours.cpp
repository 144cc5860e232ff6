#include "ui/panel_colours.h"

#include <QPalette>
#include <QWidget>

namespace panel {

void PaintBackground(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, c);
    p.setColor(QPalette::WindowText, Qt::black);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

} // namespace panel
