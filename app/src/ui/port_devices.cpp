#include "ui/port_devices.h"

#include "settings/registry.h"

#include <ostry/serialline.h>

namespace {

QString deviceValue(int n) {
    return QStringLiteral("COM_Device%1").arg(n);
}
constexpr int FirstPort = 1, LastPort = 8;

QString appKey() {
    return QString::fromLatin1(Registry::AppKeyName);
}

} // namespace

void RestorePortDevices(const Registry& reg) {
    for (int n = FirstPort; n <= LastPort; ++n) {
        const QString saved = reg.RegGet(appKey(), QString(), deviceValue(n), QString()).toString();
        const bool givenForRun = ostry::portDevice(n) != ostry::defaultPortDevice(n);
        if (!saved.isEmpty() && !givenForRun) ostry::setPortDevice(n, saved);
    }
}

void KeepPortDevices(Registry& reg) {
    for (int n = FirstPort; n <= LastPort; ++n) {
        if (!ostry::portDeviceChosen(n)) continue;
        const QString now = ostry::portDevice(n);
        reg.RegSave(appKey(), QString(), deviceValue(n),
                    now == ostry::defaultPortDevice(n) ? QString() : now);
    }
}
