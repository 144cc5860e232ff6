#include "link_rig.h"

#include <ostry/serialline.h>

#include <QTest>

DbProcess::DbProcess(const QStringList& args) {
    QObject::connect(&proc, &QProcess::readyReadStandardError,
                     [this] { err_ += QString::fromUtf8(proc.readAllStandardError()); });
    proc.start(QStringLiteral(KELVANE_DB_BINARY), args);
    proc.waitForStarted(5000);
}

DbProcess::~DbProcess() {
    if (proc.state() != QProcess::NotRunning) {
        proc.kill();
        proc.waitForFinished(5000);
    }
}

void DbProcess::send(const QString& line) {
    proc.write(line.toUtf8() + '\n');
}

QString DbProcess::takeLine(int timeoutMs) {
    if (!QTest::qWaitFor([this] { return proc.canReadLine(); }, timeoutMs)) return QString();
    return QString::fromUtf8(proc.readLine()).chopped(1);
}

bool DbProcess::waitErr(const QString& text, int timeoutMs) {
    return QTest::qWaitFor([&] { return err_.contains(text); }, timeoutMs);
}

LinkRig::LinkRig() {
    QString error;
    sim.setPaced(false);
    if (!dir.isValid() ||
        !StartOnPort(sim, rx, Port, 4800, &error, dir.filePath(QStringLiteral("ttySIM")))) {
        QTest::qFail(qPrintable(QStringLiteral("simulator: ") + error), __FILE__, __LINE__);
        return;
    }
    if (!rx.fOpen(false) || !rx.Conn()) {
        QTest::qFail("the driver did not connect to the simulator", __FILE__, __LINE__);
        return;
    }
    rx.Hook(true);
    if (!QTest::qWaitFor([this] { return sim.held(); }, 5000)) {
        QTest::qFail("the receiver was not held", __FILE__, __LINE__);
        return;
    }
    panel.state.Connected = true;
    panel.state.RemoteHeld = true;
    link.SetTimerRunning(false);
    if (!link.Start(QStringLiteral("Morrowby"), QStringLiteral("kelvane"))) {
        QTest::qFail("the link did not start on the test's bus", __FILE__, __LINE__);
        return;
    }
    ok_ = true;
}

LinkRig::~LinkRig() {
    link.Stop();
    rx.Hook(false);
    rx.fClose();
    sim.stop();
    ostry::setPortDevice(Port, QString());
}

bool LinkRig::setReceiver(const nrd535sim::RxSettings& s) {
    sim.panelSet(s);
    // While held, the driver keeps the filter the program set, not the one reported.
    rx.FT(static_cast<ostry::FT>(s.ft));
    const bool ok = waitReported([&] {
        return rx.Fr() == static_cast<double>(s.hz) && rx.MD() == s.md && rx.FT() == s.ft &&
               rx.AG() == s.ag;
    });
    takeLines();
    if (!ok)
        qWarning("receiver at %.0f md %d ft %d ag %d; wanted %lld %d %d %d", rx.Fr(), int(rx.MD()),
                 int(rx.FT()), int(rx.AG()), s.hz, s.md, s.ft, s.ag);
    return ok;
}

bool LinkRig::waitReported(const std::function<bool()>& cond) {
    for (int i = 0; i < 50; ++i) {
        if (QTest::qWaitFor(cond, 100)) return true;
        rx.SMUpd();
    }
    return cond();
}

QStringList LinkRig::takeLines() {
    const qsizetype before = sim.receivedLines().size();
    rx.SMUpd();
    (void)QTest::qWaitFor(
        [&] {
            const QStringList lines = sim.receivedLines();
            return lines.size() > before && lines.last() == QLatin1String("M");
        },
        5000);
    QStringList lines = sim.receivedLines();
    sim.clearReceivedLines();
    if (!lines.isEmpty() && lines.last() == QLatin1String("M")) lines.removeLast();
    return lines;
}

void LinkRig::tick() {
    link.TimDDE_Timer();
    (void)QTest::qWaitFor([this] { return !link.LinkAttemptRunning(); }, 5000);
}

bool LinkRig::linkUp(DbProcess& db) {
    if (!db.started()) return false;
    if (!QTest::qWaitFor([this] { return link.LinkPending() || link.Linked(); }, 8000))
        return false;
    for (int i = 0; i < 3 && !link.Linked(); ++i) tick();
    return link.Linked() && db.waitErr(QStringLiteral("linked"));
}
