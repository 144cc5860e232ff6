// The panel's colours. They are palette backgrounds, so a label keeps its colour when the style
// repaints it.
#pragma once

#include <QColor>

class QWidget;

namespace panel {

inline const QColor Green(0, 255, 0);
inline const QColor Red(255, 0, 0);
inline const QColor LightCyan(128, 255, 255);
inline const QColor LightOrange(255, 192, 128);
inline const QColor Yellow(255, 255, 0);
inline const QColor Peach(255, 224, 192);

void PaintBackground(QWidget* w, const QColor& c);

} // namespace panel
