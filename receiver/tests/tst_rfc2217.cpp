// SerialLine on rfc2217:// through a real ser2net in front of the simulator's pseudo-terminal:
// the line settings asked for are the ones the server sets on the line, and the serial bytes
// pass both ways as they are, whatever telnet makes of them on the connection.

#include <nrd535sim/serial_server.h>
#include <nrd535sim/simulator.h>
#include <ostry/serialline.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <termios.h>

using namespace ostry;

namespace {
constexpr int TestPort = 12;
constexpr int ServerBaud = 9600; // what ser2net sets the line to until told otherwise

struct Rig {
    QTemporaryDir dir;
    nrd535sim::Simulator sim;
    nrd535sim::SerialServer server;
    SerialLine line;
    QByteArray got; // everything the line handed over

    bool start(const QString& settings) {
        sim.setPaced(false);
        QString error;
        if (!sim.start(dir.filePath(QStringLiteral("rx")), &error)) {
            qWarning("simulator: %s", qPrintable(error));
            return false;
        }
        server.setAccepter(nrd535sim::SerialServer::Accepter::Rfc2217);
        if (!server.start(sim.path(), ServerBaud, 0, &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        setPortDevice(TestPort, server.address());
        line.setPortNumber(TestPort);
        if (!line.setSettings(settings)) return false;
        // Read as the driver does: on the notification, everything at once.
        line.setReceiveThreshold(1);
        QObject::connect(&line, &SerialLine::received, &line, [this] { got += line.readAll(); });
        QSignalSpy up(&line, &SerialLine::up);
        return line.open() && (up.size() > 0 || up.wait(5000));
    }
    // A question and its answer: once the answer is back, the server has dealt with everything
    // sent before the question, the line settings included.
    bool roundTrip() {
        got.clear();
        if (!line.write("H\r")) return false;
        if (!QTest::qWaitFor([this] { return got.endsWith('\r'); }, 5000)) return false;
        return got == "H0\r";
    }
    ~Rig() {
        line.close();
        setPortDevice(TestPort, QString());
    }
};

// All 256 byte values `times` times over.
QByteArray everyByte(int times) {
    QByteArray out;
    for (int t = 0; t < times; ++t)
        for (int v = 0; v < 256; ++v) out.append(char(v));
    return out;
}
} // namespace

class TestRfc2217 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void settingsReachTheLine_data();
    void settingsReachTheLine();
    void receiverBytesArriveAsSent_data();
    void receiverBytesArriveAsSent();
    void driverBytesArriveAsSent();
    void inputStaysBounded();
};

void TestRfc2217::initTestCase() {
    if (!nrd535sim::SerialServer::available())
        QSKIP("ser2net is not installed (scripts/deps installs it)");
}

void TestRfc2217::settingsReachTheLine_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("speed");
    QTest::addColumn<bool>("twoStop");
    QTest::addColumn<bool>("odd");   // PARODD
    QTest::addColumn<bool>("stuck"); // CMSPAR: mark or space
    // A pseudo-terminal always reads back 8 data bits and no parity enable, so those two are
    // seen only in what the server reports (a different answer drops the line, see the codec's
    // tests); speed, stop bits and the kind of parity show.
    // clang-format off
    QTest::newRow("4800,N,8,1") << "4800,N,8,1"  << int(B4800)  << false << false << false;
    QTest::newRow("1200,O,8,2") << "1200,O,8,2"  << int(B1200)  << true  << true  << false;
    QTest::newRow("38400,M,7,1") << "38400,M,7,1" << int(B38400) << false << true  << true;
    QTest::newRow("19200,S,8,2") << "19200,S,8,2" << int(B19200) << true  << false << true;
    QTest::newRow("server's own speed, even") << "9600,E,8,1" << int(B9600) << false << false << false;
    // clang-format on
}

void TestRfc2217::settingsReachTheLine() {
    QFETCH(QString, settings);
    QFETCH(int, speed);
    QFETCH(bool, twoStop);
    QFETCH(bool, odd);
    QFETCH(bool, stuck);
    Rig rig;
    QVERIFY(rig.start(settings));
    QVERIFY2(rig.roundTrip(), rig.got.toHex(' ').constData());
    termios tio{};
    QCOMPARE(::tcgetattr(rig.sim.masterFd(), &tio), 0);
    QCOMPARE(int(::cfgetospeed(&tio)), speed);
    QCOMPARE(bool(tio.c_cflag & CSTOPB), twoStop);
    QCOMPARE(bool(tio.c_cflag & PARODD), odd);
    QCOMPARE(bool(tio.c_cflag & CMSPAR), stuck);
    QVERIFY(rig.line.isUp());
    QCOMPARE(rig.line.errorString(), QString());
}

void TestRfc2217::receiverBytesArriveAsSent_data() {
    QTest::addColumn<QByteArray>("sent");
    // 0xFF alone and doubled, a WILL, and a server's answer that would drop the line if it were
    // taken as one.
    QTest::newRow("0xFF and what looks like telnet")
        << QByteArray::fromHex("41 ff 42 ff ff 43 ff fb 01 ff fa 2c 65 00 00 25 80 ff f0 0d");
    QTest::newRow("every byte value, far more than the input buffer") << everyByte(16);
}

void TestRfc2217::receiverBytesArriveAsSent() {
    QFETCH(QByteArray, sent);
    Rig rig;
    QVERIFY(rig.start(QStringLiteral("4800,N,8,1")));
    // The server's own negotiation and answers came before "H0" and none of it is data.
    QVERIFY2(rig.roundTrip(), rig.got.toHex(' ').constData());
    rig.got.clear();
    rig.sim.injectGarbage(sent);
    QVERIFY(QTest::qWaitFor([&] { return rig.got.size() >= sent.size(); }, 10000));
    QCOMPARE(rig.got.toHex(' '), sent.toHex(' '));
    QVERIFY(rig.line.isUp());
}

void TestRfc2217::driverBytesArriveAsSent() {
    Rig rig;
    QVERIFY(rig.start(QStringLiteral("4800,N,8,1")));
    QVERIFY(rig.roundTrip());
    // A 0xFF the driver sends is one byte on the line, and command-like bytes stay data.
    const QByteArray text = QByteArray::fromHex("58 ff 59 ff fe 2c ff ff");
    QVERIFY(rig.line.write(text + '\r'));
    QVERIFY(rig.line.write("?\r"));
    QTRY_VERIFY(rig.sim.receivedLines().contains(QStringLiteral("?")));
    const QStringList lines = rig.sim.receivedLines();
    QCOMPARE(lines.mid(lines.size() - 2), (QStringList{QString::fromLatin1(text), "?"}));
    QVERIFY(rig.line.isUp());
}

void TestRfc2217::inputStaysBounded() {
    Rig rig;
    QVERIFY(rig.start(QStringLiteral("4800,N,8,1")));
    QVERIFY(rig.roundTrip());
    // Read only when asked, as between two polls: what does not fit waits in the connection.
    rig.line.setReceiveThreshold(0);
    const QByteArray sent = everyByte(4);
    rig.sim.injectGarbage(sent);
    QTRY_COMPARE(rig.line.bytesAvailable(), qint64(SerialLine::DefaultInputBuffer));
    QByteArray got;
    while (got.size() < sent.size()) {
        QVERIFY(rig.line.bytesAvailable() <= SerialLine::DefaultInputBuffer);
        const QByteArray piece = rig.line.readAll();
        got += piece;
        // The rest follows without any new arrival to push it.
        if (piece.isEmpty())
            QVERIFY(QTest::qWaitFor([&] { return rig.line.bytesAvailable() > 0; }, 5000));
    }
    QCOMPARE(got.toHex(' '), sent.toHex(' '));
}

QTEST_GUILESS_MAIN(TestRfc2217)
#include "tst_rfc2217.moc"
