// Nrd535 reaching the simulated receiver through a real ser2net, raw (tcp://) and with RFC 2217
// (rfc2217://), and the ways a network link fails: a name that does not resolve, a refused or
// dropped connection, a silent server, a telnet server without the COM-PORT-OPTION.

#include <nrd535sim/serial_server.h>
#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <termios.h>

using namespace ostry;
using Accepter = nrd535sim::SerialServer::Accepter;

namespace {

constexpr quint8 TestPort = 11;
constexpr int Baud = 38400;

// The program's link supervision in small: every tick connect until the receiver answers, and
// every tenth tick reopen a port that went away.
struct Supervisor {
    Nrd535& rx;
    int ticks = 0;
    int reopenAttempts = 0;

    void tick() {
        ++ticks;
        if (!rx.PortOpened()) {
            if (ticks % 10 == 0) {
                ++reopenAttempts;
                rx.fOpen(false);
            }
            return;
        }
        if (!rx.Connected()) {
            if (rx.Conn()) rx.Hook(true);
        }
    }
    // Ticks every 100 ms until `done` holds or `maxTicks` ticks have passed.
    bool runUntil(const std::function<bool()>& done, int maxTicks) {
        for (int i = 0; i < maxTicks; ++i) {
            if (done()) return true;
            tick();
            QTest::qWait(100);
        }
        return done();
    }
};

// The scheme of each test row, as a column.
void addSchemeColumn() {
    QTest::addColumn<QString>("scheme");
}
void addSchemeRows() {
    addSchemeColumn();
    QTest::newRow("tcp") << "tcp";
    QTest::newRow("rfc2217") << "rfc2217";
}

// Simulator on a pty behind ser2net; the driver's port maps to ser2net's address. A raw server
// is set to the driver's speed; an RFC 2217 one starts at another and must be told.
struct NetRig {
    QTemporaryDir dir;
    nrd535sim::Simulator sim;
    nrd535sim::SerialServer server;
    Nrd535 rx;
    QStringList shown;
    int serverBaud = Baud;

    explicit NetRig(const QString& scheme) {
        if (scheme == QLatin1String("rfc2217")) {
            server.setAccepter(Accepter::Rfc2217);
            serverBaud = 9600;
        }
    }

    bool start() {
        sim.setBaud(Baud);
        sim.setPaced(false);
        QString error;
        if (!sim.start(dir.filePath(QStringLiteral("rx")), &error)) {
            qWarning("simulator: %s", qPrintable(error));
            return false;
        }
        if (!server.start(sim.path(), serverBaud, 0, &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        setPortDevice(TestPort, server.address());
        rx.Baud(QString::number(Baud));
        rx.Port(TestPort);
        rx.setMessageDisplay([this](const QString& t) { shown << t; });
        return true;
    }
    ~NetRig() {
        rx.fClose();
        setPortDevice(TestPort, QString());
    }
};

} // namespace

class TestTcp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void handshakeAndCommandsThroughSerialServer_data() { addSchemeRows(); }
    void handshakeAndCommandsThroughSerialServer();
    void serverStoppedAndBack_data() { addSchemeRows(); }
    void serverStoppedAndBack();
    void failedAttempts_data();
    void failedAttempts();
    void silentServer_data() { addSchemeRows(); }
    void silentServer();
    void closeDuringAttempt_data() { addSchemeRows(); }
    void closeDuringAttempt();
    void deletedFromItsReportHandler_data() { addSchemeRows(); }
    void deletedFromItsReportHandler();
};

void TestTcp::initTestCase() {
    if (!nrd535sim::SerialServer::available())
        QSKIP("ser2net is not installed (scripts/deps installs it)");
}

void TestTcp::handshakeAndCommandsThroughSerialServer() {
    QFETCH(QString, scheme);
    NetRig rig(scheme);
    QVERIFY(rig.start());
    QVERIFY(rig.rx.fOpen(true));
    QVERIFY(rig.rx.PortOpened());
    Supervisor sup{rig.rx};
    QVERIFY(sup.runUntil([&] { return rig.rx.Connected() && rig.rx.Fr() > 0; }, 100));
    QVERIFY(rig.shown.isEmpty());
    QVERIFY(!rig.rx.deviceLost());
    QCOMPARE(rig.rx.RomId(), QStringLiteral("535D SIM 1.00"));
    // The handshake as on a cable; earlier attempts made before the connection stood sent
    // nothing.
    QCOMPARE(rig.sim.receivedLines().mid(0, 8),
             (QStringList{"H", "?", "H1", "W", "M", "Q", "N", "I1"}));
    // The pseudo-terminal runs at the driver's speed: the one the raw server was set to, or the
    // one asked of the RFC 2217 server.
    termios tio{};
    QCOMPARE(::tcgetattr(rig.sim.masterFd(), &tio), 0);
    QCOMPARE(::cfgetospeed(&tio), speed_t(B38400));

    rig.rx.Fr(7125000);
    rig.rx.MD(ostry::USB);
    QTRY_VERIFY(rig.sim.receivedLines().contains(QStringLiteral("F07125000")));
    QTRY_VERIFY(rig.sim.receivedLines().contains(QStringLiteral("D2")));
    // The receiver's reports come back over the connection.
    QTRY_COMPARE(rig.rx.state().Fr, 7125000.0);
    QTRY_COMPARE(rig.rx.state().MD, qint32(ostry::USB));
    rig.sim.panelTune(5000000);
    QTRY_COMPARE(rig.rx.state().Fr, 5000000.0);
    // The update poll, in one write, and its replies travel through the server too.
    rig.sim.setFixedMeter(61);
    rig.sim.clearReceivedLines();
    rig.rx.PollStatus();
    QTRY_COMPARE(rig.sim.receivedLines(), (QStringList{"W", "N", "Q", "M"}));
    QTRY_COMPARE(rig.rx.state().SM, qint16(61));
}

void TestTcp::serverStoppedAndBack() {
    QFETCH(QString, scheme);
    NetRig rig(scheme);
    QVERIFY(rig.start());
    QVERIFY(rig.rx.fOpen(false));
    Supervisor sup{rig.rx};
    QVERIFY(sup.runUntil([&] { return rig.rx.Connected(); }, 100));
    QSignalSpy lost(&rig.rx, &Nrd535::portLost);

    const quint16 port = rig.server.port();
    rig.server.stop();
    QVERIFY(lost.wait(5000));
    QVERIFY(rig.rx.deviceLost());
    QVERIFY(!rig.rx.PortOpened());
    QVERIFY(!rig.rx.Connected());
    QVERIFY2(lost.first().first().toString().contains(QStringLiteral("closed the connection")),
             qPrintable(lost.first().first().toString()));

    // While the server stays away every reconnection attempt fails, quietly.
    sup.reopenAttempts = 0;
    sup.runUntil([] { return false; }, 35);
    QVERIFY(sup.reopenAttempts >= 3);
    QCOMPARE(lost.size(), 1);
    QVERIFY(!rig.rx.Connected());
    QVERIFY2(rig.rx.LastError().contains(QStringLiteral("refused")),
             qPrintable(rig.rx.LastError()));

    QString error;
    QVERIFY2(rig.server.start(rig.sim.path(), rig.serverBaud, port, &error), qPrintable(error));
    const qsizetype before = rig.sim.receivedLines().size();
    QVERIFY(sup.runUntil([&] { return rig.rx.Connected(); }, 100));
    QVERIFY(!rig.rx.deviceLost());
    QCOMPARE(lost.size(), 1);
    QVERIFY(rig.sim.receivedLines().mid(before).contains(QStringLiteral("I1")));
    rig.rx.MD(ostry::LSB);
    QTRY_COMPARE(rig.rx.state().MD, qint32(ostry::LSB));

    // Reported again after a new loss, since the receiver answered in between.
    rig.server.stop();
    QVERIFY(lost.wait(5000));
    QCOMPARE(lost.size(), 2);
}

void TestTcp::failedAttempts_data() {
    addSchemeColumn();
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("says");
    for (const char* scheme : {"tcp", "rfc2217"}) {
        QTest::addRow("%s: name does not resolve", scheme) << scheme << "unresolvable"
                                                           << "does not resolve";
        QTest::addRow("%s: nothing listens", scheme) << scheme << "refused"
                                                     << "refused the connection";
        QTest::addRow("%s: server hangs up at once", scheme) << scheme << "hangup"
                                                             << "closed the connection";
    }
    // ser2net's plain telnet says DONT to the option: the line could not be set.
    QTest::newRow("rfc2217: telnet without the option") << "rfc2217"
                                                        << "telnet"
                                                        << "does not take line settings";
}

void TestTcp::failedAttempts() {
    QFETCH(QString, scheme);
    QFETCH(QString, kind);
    QFETCH(QString, says);
    QTcpServer hangup;
    QTemporaryDir dir;
    nrd535sim::Simulator sim;
    nrd535sim::SerialServer telnet;
    QString address;
    if (kind == "unresolvable") {
        address = QStringLiteral("%1://no-such-receiver.invalid:4000").arg(scheme);
    } else if (kind == "refused") {
        address = QStringLiteral("%1://127.0.0.1:%2")
                      .arg(scheme)
                      .arg(nrd535sim::SerialServer::freePort());
    } else if (kind == "telnet") {
        QString error;
        QVERIFY2(sim.start(dir.filePath(QStringLiteral("rx")), &error), qPrintable(error));
        telnet.setAccepter(Accepter::Telnet);
        QVERIFY2(telnet.start(sim.path(), 4800, 0, &error), qPrintable(error));
        address = telnet.address();
    } else {
        QVERIFY(hangup.listen(QHostAddress::LocalHost));
        connect(&hangup, &QTcpServer::newConnection, &hangup, [&] {
            while (QTcpSocket* s = hangup.nextPendingConnection()) {
                s->close();
                s->deleteLater();
            }
        });
        address = QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(hangup.serverPort());
    }
    setPortDevice(TestPort, address);
    Nrd535 rx;
    QStringList shown;
    rx.setMessageDisplay([&](const QString& t) { shown << t; });
    rx.Baud(QStringLiteral("4800"));
    rx.Port(TestPort);
    QSignalSpy lost(&rx, &Nrd535::portLost);
    // The attempt runs on the event loop: fOpen returns at once.
    QVERIFY(rx.fOpen(true));
    QVERIFY(!rx.Conn());
    QVERIFY(lost.wait(8000));
    const QString why = lost.first().first().toString();
    QVERIFY2(why.contains(says), qPrintable(why));
    QVERIFY(!rx.PortOpened());
    QVERIFY(rx.deviceLost());
    QVERIFY(rx.LastError().endsWith(QStringLiteral(" [Port=%1]").arg(TestPort)));
    // Repeated attempts against the same failure stay quiet.
    Supervisor sup{rx};
    sup.runUntil([] { return false; }, 25);
    QVERIFY(sup.reopenAttempts >= 2);
    QCOMPARE(lost.size(), 1);
    QVERIFY(shown.isEmpty());
    setPortDevice(TestPort, QString());
}

void TestTcp::silentServer() {
    QFETCH(QString, scheme);
    // Accepts and never says a word: the line is up, the receiver never answers.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    QList<QTcpSocket*> peers;
    connect(&silent, &QTcpServer::newConnection, &silent, [&] {
        while (QTcpSocket* s = silent.nextPendingConnection()) peers << s;
    });
    setPortDevice(TestPort,
                  QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(silent.serverPort()));
    Nrd535 rx;
    rx.Baud(QStringLiteral("4800"));
    rx.Port(TestPort);
    QSignalSpy lost(&rx, &Nrd535::portLost);
    QVERIFY(rx.fOpen(false));
    QTRY_VERIFY(!peers.isEmpty());
    for (int i = 0; i < 3; ++i) QVERIFY(!rx.Conn());
    QVERIFY(rx.PortOpened());
    QCOMPARE(lost.size(), 0);
    // The questions did go out; on rfc2217 right after the telnet opening (WILL COM-PORT-OPTION
    // and the settings).
    QByteArray got;
    QTRY_VERIFY((got += peers.first()->readAll()).contains("H\r"));
    const qsizetype question = got.indexOf("H\r");
    if (scheme == "rfc2217") {
        QVERIFY(got.startsWith("\xff\xfb\x2c"));
        QCOMPARE(got.lastIndexOf("\xff\xf0", question), question - 2);
    } else {
        QCOMPARE(question, 0);
    }
    rx.fClose();
    setPortDevice(TestPort, QString());
}

void TestTcp::closeDuringAttempt() {
    QFETCH(QString, scheme);
    // The host gives up (a new port chosen) while an attempt is under way: nothing is reported
    // afterwards, and the next fOpen starts cleanly.
    setPortDevice(TestPort, QStringLiteral("%1://no-such-receiver.invalid:4000").arg(scheme));
    Nrd535 rx;
    rx.Baud(QStringLiteral("4800"));
    rx.Port(TestPort);
    QSignalSpy lost(&rx, &Nrd535::portLost);
    QVERIFY(rx.fOpen(false));
    QVERIFY(rx.fClose());
    QTest::qWait(300);
    QCOMPARE(lost.size(), 0);
    QVERIFY(!rx.PortOpened());
    QVERIFY(rx.fOpen(false));
    QVERIFY(lost.wait(8000));
    QCOMPARE(lost.size(), 1);
    setPortDevice(TestPort, QString());
}

// A host that destroys the driver from its report handler, which runs straight from the
// socket's read signal: the socket is not used after it is gone.
void TestTcp::deletedFromItsReportHandler() {
    QFETCH(QString, scheme);
    NetRig rig(scheme);
    QVERIFY(rig.start());
    QPointer<Nrd535> rx = new Nrd535;
    rx->Baud(QString::number(Baud));
    rx->Port(TestPort);
    rx->setMessageDisplay([](const QString&) {});
    QVERIFY(rx->fOpen(false));
    Supervisor sup{*rx};
    QVERIFY(sup.runUntil([&] { return rx->Connected(); }, 100));
    QObject::connect(rx.data(), &Nrd535::OnUpd, [rx] { delete rx.data(); });
    rig.sim.panelTune(5000000);
    QTRY_VERIFY(rx.isNull());
    QTest::qWait(50); // the socket goes on the next pass of the loop
}

QTEST_GUILESS_MAIN(TestTcp)
#include "tst_tcp.moc"
