// The device or serial-server address behind a port: chosen in the port dialog, kept in the
// settings under values of our own, and reached through a real ser2net.

#include "fixture.h"
#include "ui/comopt.h"

#include <nrd535sim/serial_server.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {
constexpr int NetPort = 3;

// Selects port n in the dialog; false when it is not listed.
bool select(ComOpt& dialog, int n) {
    const int i = dialog.Port->findData(n);
    if (i < 0) return false;
    dialog.Port->setCurrentIndex(i);
    return true;
}
} // namespace

class TestPortDevices : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ostry::clearPortOverrides(); }
    void dialogEditsTheDevice_data();
    void dialogEditsTheDevice();
    void choiceIsKeptAcrossRuns();
    void programThroughSerialServer_data();
    void programThroughSerialServer();
};

void TestPortDevices::dialogEditsTheDevice_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("device"); // the mapping afterwards
    QTest::newRow("serial server") << "tcp://127.0.0.1:2001" << true << "tcp://127.0.0.1:2001";
    QTest::newRow("server by name")
        << " tcp://shack.example:7000 " << true << "tcp://shack.example:7000";
    QTest::newRow("a device path") << "/dev/ttyACM0" << true << "/dev/ttyACM0";
    QTest::newRow("the port's own device") << "/dev/ttyS2" << true << "/dev/ttyS2";
    QTest::newRow("unchanged") << "tcp://127.0.0.1:1" << true << "tcp://127.0.0.1:1";
    QTest::newRow("server without port") << "tcp://127.0.0.1" << false << "tcp://127.0.0.1:1";
    QTest::newRow("RFC 2217 server")
        << "rfc2217://127.0.0.1:2002" << true << "rfc2217://127.0.0.1:2002";
    QTest::newRow("RFC 2217 without port") << "rfc2217://h" << false << "tcp://127.0.0.1:1";
    QTest::newRow("other scheme") << "telnet://h:2000" << false << "tcp://127.0.0.1:1";
    QTest::newRow("relative path") << "ttyUSB0" << false << "tcp://127.0.0.1:1";
}

void TestPortDevices::dialogEditsTheDevice() {
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QString, device);
    KelvaneFixture f;
    QVERIFY(f.ok());
    // A port mapped to a network address is listed (as present) even without a serial port.
    ostry::setPortDevice(NetPort, QStringLiteral("tcp://127.0.0.1:1"));
    ComOpt dialog(f.main->settings, f.main.get());
    QVERIFY(select(dialog, NetPort));
    QCOMPARE(dialog.Device->text(), QStringLiteral("tcp://127.0.0.1:1"));
    QCOMPARE(dialog.Note->text(), QString());
    dialog.Device->setText(typed);
    QSignalSpy done(&dialog, &QDialog::accepted);
    dialog.OK->click();
    QCOMPARE(done.size(), accepted ? 1 : 0);
    if (!accepted) QVERIFY(!dialog.Note->text().isEmpty());
    QCOMPARE(ostry::portDevice(NetPort), device);
    if (accepted) QCOMPARE(f.main->settings.COM_Port, NetPort);
}

void TestPortDevices::choiceIsKeptAcrossRuns() {
    KelvaneFixture f;
    QVERIFY(f.ok());
    // A new run: nothing mapped or chosen but the simulator's port.
    const auto newRun = [&f] {
        ostry::clearPortOverrides();
        ostry::setPortDevice(KelvaneFixture::SimPort, f.sim.path());
    };
    ostry::setPortDevice(NetPort, QStringLiteral("tcp://127.0.0.1:1"));
    {
        ComOpt dialog(f.main->settings, f.main.get());
        QVERIFY(select(dialog, NetPort));
        dialog.Device->setText(QStringLiteral("tcp://192.0.2.7:4001"));
        dialog.OK->click();
    }
    f.stopMain();
    auto hive = f.readHive();
    QCOMPARE(
        hive->RegGet(QStringLiteral("Kelvane"), QString(), QStringLiteral("COM_Device3"), QString())
            .toString(),
        QStringLiteral("tcp://192.0.2.7:4001"));
    // The next start maps the port again (the one-run mapping is gone by then).
    newRun();
    QVERIFY(f.startMain());
    QCOMPARE(ostry::portDevice(NetPort), QStringLiteral("tcp://192.0.2.7:4001"));
    // A mapping given for one run is kept only once the dialog confirms it.
    f.stopMain();
    newRun();
    ostry::setPortDevice(NetPort, QStringLiteral("tcp://192.0.2.8:4002")); // as --port does
    QVERIFY(f.startMain());
    f.stopMain();
    QCOMPARE(
        f.readHive()
            ->RegGet(QStringLiteral("Kelvane"), QString(), QStringLiteral("COM_Device3"), QString())
            .toString(),
        QStringLiteral("tcp://192.0.2.7:4001"));
    newRun();
    ostry::setPortDevice(NetPort, QStringLiteral("tcp://192.0.2.8:4002"));
    QVERIFY(f.startMain());
    {
        ComOpt dialog(f.main->settings, f.main.get());
        QVERIFY(select(dialog, NetPort));
        dialog.OK->click(); // unchanged, confirmed
    }
    f.stopMain();
    QCOMPARE(
        f.readHive()
            ->RegGet(QStringLiteral("Kelvane"), QString(), QStringLiteral("COM_Device3"), QString())
            .toString(),
        QStringLiteral("tcp://192.0.2.8:4002"));
    newRun();
    QVERIFY(f.startMain());
    QCOMPARE(ostry::portDevice(NetPort), QStringLiteral("tcp://192.0.2.8:4002"));
    // Back to the port's own device: the kept value is cleared.
    {
        ComOpt dialog(f.main->settings, f.main.get());
        QVERIFY(select(dialog, NetPort));
        dialog.Device->setText(ostry::defaultPortDevice(NetPort));
        dialog.OK->click();
    }
    QCOMPARE(ostry::portDevice(NetPort), ostry::defaultPortDevice(NetPort));
    f.stopMain();
    QCOMPARE(f.readHive()
                 ->RegGet(QStringLiteral("Kelvane"), QString(), QStringLiteral("COM_Device3"),
                          QStringLiteral("unset"))
                 .toString(),
             QStringLiteral("unset"));
}

void TestPortDevices::programThroughSerialServer_data() {
    QTest::addColumn<bool>("rfc2217");
    QTest::addColumn<int>("serverBaud");
    QTest::newRow("raw TCP") << false << 4800;
    // The server starts at another speed; the program asks for its own.
    QTest::newRow("RFC 2217") << true << 9600;
}

void TestPortDevices::programThroughSerialServer() {
    if (!nrd535sim::SerialServer::available()) QSKIP("ser2net is not installed");
    QFETCH(bool, rfc2217);
    QFETCH(int, serverBaud);
    KelvaneFixture f;
    QVERIFY(f.ok());
    // The same simulated receiver, now behind ser2net; the program changes over to it.
    nrd535sim::SerialServer server;
    if (rfc2217) server.setAccepter(nrd535sim::SerialServer::Accepter::Rfc2217);
    QString error;
    QVERIFY2(server.start(f.sim.path(), serverBaud, 0, &error), qPrintable(error));
    QVERIFY(server.address().startsWith(rfc2217 ? "rfc2217://" : "tcp://"));
    ostry::setPortDevice(KelvaneFixture::SimPort, server.address());
    // The port goes away under the program; the timer notices and reopens it, now over TCP.
    f.main->receiver().fClose();
    QVERIFY(f.waitTicking([&] { return !f.main->State().Connected; }, 30));
    f.clearLines();
    QVERIFY(f.waitTicking([&] { return f.main->State().Connected; }, 100));
    const QStringList lines = f.takeLines();
    QVERIFY2(lines.contains(QStringLiteral("H")) && lines.contains(QStringLiteral("I1")),
             qPrintable(lines.join(u',')));
    // Dropped and back: one report, then the link comes back by itself.
    QSignalSpy lost(&f.main->receiver(), &Nrd535::portLost);
    const quint16 port = server.port();
    server.stop();
    QVERIFY(lost.wait(5000));
    f.tick(30);
    QCOMPARE(lost.size(), 1);
    QVERIFY(!f.main->State().Connected);
    QVERIFY2(server.start(f.sim.path(), serverBaud, port, &error), qPrintable(error));
    QVERIFY(f.waitTicking([&] { return f.main->State().Connected; }, 100));
    QCOMPARE(lost.size(), 1);
    ostry::setPortDevice(KelvaneFixture::SimPort, f.sim.path());
}

QTEST_MAIN(TestPortDevices)
#include "tst_port_devices.moc"
