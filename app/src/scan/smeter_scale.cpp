#include "scan/smeter_scale.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double Scale = 62.74048;
constexpr double Power = 0.23097;
} // namespace

double SMeterDb(int raw) {
    const double x = (256.0 - std::clamp(raw, 0, 256)) / Scale;
    return x > 0 ? std::pow(x, 1.0 / Power) : 0.0;
}

int SMeterRaw(double db) {
    const double raw = 256.0 - Scale * std::pow(std::max(0.0, db), Power);
    return std::clamp(int(std::lround(raw)), 0, 255);
}

QString SMeterText(int raw) {
    // SMCalc's own result cannot tell S9+4 from S4 (both 4), so the text rounds the level the
    // same way but keeps the two apart.
    const double db = SMeterDb(std::clamp(raw, 0, 255));
    const int s = int(std::nearbyint(db / 6));
    if (s <= 9) return QStringLiteral("S%1").arg(s);
    return QStringLiteral("S9+%1").arg(int(std::nearbyint(db - 54)));
}
