#include "memory_rig.h"

#include <ostry/serialline.h>

#include <QDir>
#include <QTest>

namespace {
constexpr quint8 RigPort = 9;
} // namespace

void RigHost::OpenMemoryGrid(MemoryTable& table, int startRow) {
    opened << QStringLiteral("grid %1 %2").arg(table.Tag()).arg(startRow);
}

MemoryRig::MemoryRig(bool paced, int baud) : oldDir_(QDir::currentPath()) {
    QDir::setCurrent(dir.path());
    sim.setPaced(paced);
    sim.setHeld(false);
    QString error;
    if (!StartOnPort(sim, rx, RigPort, baud, &error)) qFatal("simulator: %s", qPrintable(error));
    memory = std::make_unique<MemoryCommands>(panel, rx, settings, channels, quick, filters, host);
    // The main window hands every reported receiver channel to the memory commands.
    QObject::connect(&rx, &Nrd535::OnChn, memory.get(),
                     [this](bool tb, qint16 nm, bool st, double fr, ostry::MD md, ostry::FT ft,
                            ostry::AG ag,
                            ostry::ONOFF) { memory->OnChn(tb, nm, st, fr, md, ft, ag); });
}

MemoryRig::~MemoryRig() {
    memory.reset();
    ostry::setPortDevice(RigPort, QString());
    QDir::setCurrent(oldDir_);
}

bool MemoryRig::Connect() {
    if (!rx.fOpen(false) || !rx.Conn()) return false;
    if (!WaitFor([this] { return rx.Fr() > 0; })) return false;
    // While held the driver learns the filter only from its own setter.
    rx.FT(ostry::Wide);
    // Stored at once; wait until the receiver has the commands too, so they are not taken for
    // a test's own.
    if (!WaitFor([this] {
            return rx.FT() == ostry::Wide && sim.receivedLines().contains(QStringLiteral("W5500"));
        }))
        return false;
    panel.state.Connected = true;
    panel.state.RemoteHeld = true;
    return true;
}

QStringList MemoryRig::LinesOf(const std::function<void()>& action) {
    sim.clearReceivedLines();
    action();
    rx.Dump(999); // "J1999": the receiver ignores channel 999; it marks the end
    if (!WaitFor([this] { return sim.receivedLines().contains(QStringLiteral("J1999")); }, 30000))
        return {QStringLiteral("<marker never arrived>")};
    QStringList got = sim.receivedLines();
    got.removeAll(QStringLiteral("J1999"));
    // The driver's polls are not what the tests look at.
    got.removeAll(QStringLiteral("W"));
    got.removeAll(QStringLiteral("M"));
    got.removeAll(QStringLiteral("Q"));
    got.removeAll(QStringLiteral("N"));
    sim.clearReceivedLines();
    return got;
}

bool MemoryRig::WaitFor(const std::function<bool()>& cond, int timeoutMs) {
    return QTest::qWaitFor(cond, timeoutMs);
}
