#include <halvard/meter.h>

Meter::Meter(QWidget* parent) : QWidget(parent) {}
Meter::~Meter() = default;
bool Meter::Show() const {
    return false;
}
void Meter::Show(bool) {}
QColor Meter::BackColor() const {
    return m_backColor;
}
void Meter::BackColor(const QColor&) {}
qint16 Meter::Card() const {
    return m_card;
}
void Meter::Card(qint16) {}
qint32 Meter::Volume() const {
    return -1;
}
void Meter::Volume(qint32) {}
bool Meter::Run() const {
    return m_run;
}
qint16 Meter::Cards() const {
    return 0;
}
void Meter::Mute(bool) {}
qint32 Meter::VolMax() const {
    return -1;
}
qint32 Meter::VolMin() const {
    return -1;
}
bool Meter::Source(halvard::Source, bool) {
    return false;
}
void Meter::Refresh() {}
void Meter::Start(bool) {}
bool Meter::Max(qint16, qint32, bool) {
    return false;
}
void Meter::Min(qint16, qint32, bool) {}
void Meter::Update(qint32, const float*, double, double, double, bool) {}
void Meter::NextMode() {}
void Meter::paintEvent(QPaintEvent*) {}
void Meter::resizeEvent(QResizeEvent*) {}
void Meter::mousePressEvent(QMouseEvent*) {}
void Meter::layoutFromSize() {}
