#include <halvard/display.h>

namespace halvard {
MeterDisplay::MeterDisplay() = default;
void MeterDisplay::SetTwipsPerPixel(double) {}
void MeterDisplay::Resize(int, int, int) {}
void MeterDisplay::SetModeLabelSize(int, int) {}
void MeterDisplay::InitProperties() {}
bool MeterDisplay::Max(int, qint32, bool) {
    return false;
}
void MeterDisplay::Min(int, qint32, bool) {}
void MeterDisplay::Rescale(int) {}
int MeterDisplay::ColourZone(int) const {
    return 0;
}
QColor MeterDisplay::ColourTable(int, int) {
    return {};
}
void MeterDisplay::Update(const float*, double, double, std::optional<qint32>, bool) {}
void MeterDisplay::Arrange(bool) {}
void MeterDisplay::SetColours() {}
void MeterDisplay::ArrangeSides(bool) {}
int MeterDisplay::NextMode() {
    return 0;
}
void MeterDisplay::SetMode(int) {}
QString MeterDisplay::ModeCaption() const {
    return QStringLiteral("s");
}
bool MeterDisplay::Narrow() const {
    return false;
}
std::array<int, 4> MeterDisplay::ModeLabelRect() const {
    return {};
}
} // namespace halvard
