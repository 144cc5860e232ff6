#include "main_window.h"

#include <QMouseEvent>

void PanelLabel::mousePressEvent(QMouseEvent* event) {
    emit pressed(event->button(), event->modifiers());
    QLabel::mousePressEvent(event);
}

void PanelLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (rect().contains(event->position().toPoint())) emit clicked();
}

void PanelButton::mousePressEvent(QMouseEvent* event) {
    emit pressed2(event->button(), event->modifiers());
    QPushButton::mousePressEvent(event);
}

void PanelButton::mouseReleaseEvent(QMouseEvent* event) {
    QPushButton::mouseReleaseEvent(event);
}
