// Port numbers to devices, the one-run --port N=DEVICE override, and serial-server addresses.

#include <ostry/serialline.h>

#include <QTest>

using namespace ostry;

Q_DECLARE_METATYPE(ostry::NetworkScheme)

class TestPortMap : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { clearPortOverrides(); }
    void defaults_data();
    void defaults();
    void options_data();
    void options();
    void addresses_data();
    void addresses();
};

void TestPortMap::defaults_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("device");
    QTest::newRow("COM1") << 1 << "/dev/ttyS0";
    QTest::newRow("COM4") << 4 << "/dev/ttyS3";
    QTest::newRow("COM5") << 5 << "/dev/ttyUSB0";
    QTest::newRow("COM8") << 8 << "/dev/ttyUSB3";
    QTest::newRow("COM0") << 0 << "";
    QTest::newRow("COM9") << 9 << "";
    QTest::newRow("negative") << -1 << "";
}

void TestPortMap::defaults() {
    QFETCH(int, n);
    QFETCH(QString, device);
    QCOMPARE(portDevice(n), device);
    QCOMPARE(portName(n), QStringLiteral("COM%1").arg(n));
}

void TestPortMap::options_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    // clang-format off
    QTest::newRow("separate")    << QStringList{"prog", "--port", "3=/tmp/a", "-x"} << true  << QStringList{"prog", "-x"} << 3 << "/tmp/a";
    QTest::newRow("joined")      << QStringList{"prog", "--port=12=/dev/pts/4"}     << true  << QStringList{"prog"} << 12 << "/dev/pts/4";
    QTest::newRow("two, last wins") << QStringList{"prog", "--port", "1=/a", "--port", "1=/b"} << true << QStringList{"prog"} << 1 << "/b";
    QTest::newRow("device with =") << QStringList{"prog", "--port", "2=/tmp/x=y"}   << true  << QStringList{"prog"} << 2 << "/tmp/x=y";
    QTest::newRow("no value")    << QStringList{"prog", "--port"}                   << false << QStringList{} << 0 << "";
    QTest::newRow("no device")   << QStringList{"prog", "--port", "3="}             << false << QStringList{} << 3 << "/dev/ttyS2";
    QTest::newRow("port 0")      << QStringList{"prog", "--port=0=/tmp/a"}          << false << QStringList{} << 0 << "";
    QTest::newRow("port 256")    << QStringList{"prog", "--port=256=/tmp/a"}        << false << QStringList{} << 256 << "";
    QTest::newRow("not a number") << QStringList{"prog", "--port", "x=/tmp/a"}      << false << QStringList{} << 1 << "/dev/ttyS0";
    QTest::newRow("program name kept") << QStringList{"--port", "--port", "4=/c"}  << true  << QStringList{"--port"} << 4 << "/c";
    QTest::newRow("serial server") << QStringList{"prog", "--port", "3=tcp://127.0.0.1:2001"} << true << QStringList{"prog"} << 3 << "tcp://127.0.0.1:2001";
    QTest::newRow("server by name") << QStringList{"prog", "--port=9=tcp://shack.example:7000"} << true << QStringList{"prog"} << 9 << "tcp://shack.example:7000";
    QTest::newRow("server IPv6") << QStringList{"prog", "--port", "5=tcp://[::1]:4001"} << true << QStringList{"prog"} << 5 << "tcp://[::1]:4001";
    QTest::newRow("server, no port") << QStringList{"prog", "--port", "3=tcp://127.0.0.1"} << false << QStringList{} << 3 << "/dev/ttyS2";
    QTest::newRow("server, port 0") << QStringList{"prog", "--port", "3=tcp://h:0"}      << false << QStringList{} << 3 << "/dev/ttyS2";
    QTest::newRow("server, port too big") << QStringList{"prog", "--port", "3=tcp://h:65536"} << false << QStringList{} << 3 << "/dev/ttyS2";
    QTest::newRow("server, no host") << QStringList{"prog", "--port", "3=tcp://:4000"}  << false << QStringList{} << 3 << "/dev/ttyS2";
    QTest::newRow("server, path") << QStringList{"prog", "--port", "3=tcp://h:4000/x"}  << false << QStringList{} << 3 << "/dev/ttyS2";
    QTest::newRow("server, user") << QStringList{"prog", "--port", "3=tcp://u@h:4000"}  << false << QStringList{} << 3 << "/dev/ttyS2";
    QTest::newRow("unknown scheme") << QStringList{"prog", "--port", "3=telnet://h:23"} << false << QStringList{} << 3 << "/dev/ttyS2";
    QTest::newRow("RFC 2217 server") << QStringList{"prog", "--port", "3=rfc2217://127.0.0.1:2001"} << true << QStringList{"prog"} << 3 << "rfc2217://127.0.0.1:2001";
    QTest::newRow("RFC 2217, no port") << QStringList{"prog", "--port=4=rfc2217://shack"} << false << QStringList{} << 4 << "/dev/ttyS3";
    // clang-format on
}

void TestPortMap::options() {
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    QFETCH(QStringList, left);
    QFETCH(int, port);
    QFETCH(QString, device);
    QString error;
    QCOMPARE(applyPortOptions(args, &error), ok);
    QCOMPARE(error.isEmpty(), ok);
    if (ok) QCOMPARE(args, left);
    QCOMPARE(portDevice(port), device);
}

void TestPortMap::addresses_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<NetworkScheme>("scheme");
    using S = NetworkScheme;
    // clang-format off
    QTest::newRow("raw")             << "tcp://127.0.0.1:2001"      << true  << "127.0.0.1"  << 2001 << S::Tcp;
    QTest::newRow("RFC 2217")        << "rfc2217://127.0.0.1:2001"  << true  << "127.0.0.1"  << 2001 << S::Rfc2217;
    QTest::newRow("RFC 2217 by name") << "rfc2217://shack.example:7000/" << true << "shack.example" << 7000 << S::Rfc2217;
    QTest::newRow("RFC 2217 IPv6")   << "rfc2217://[::1]:4001"      << true  << "::1"        << 4001 << S::Rfc2217;
    QTest::newRow("scheme in capitals") << "RFC2217://h:1"          << true  << "h"          << 1    << S::Rfc2217;
    QTest::newRow("RFC 2217, port 0") << "rfc2217://h:0"            << false << "" << 0 << S::Tcp;
    QTest::newRow("RFC 2217, user")  << "rfc2217://u@h:4000"        << false << "" << 0 << S::Tcp;
    QTest::newRow("RFC 2217, query") << "rfc2217://h:4000?baud=9600" << false << "" << 0 << S::Tcp;
    QTest::newRow("telnet")          << "telnet://h:23"             << false << "" << 0 << S::Tcp;
    QTest::newRow("scheme only")     << "rfc2217://"                << false << "" << 0 << S::Tcp;
    // clang-format on
}

void TestPortMap::addresses() {
    QFETCH(QString, address);
    QFETCH(bool, ok);
    QVERIFY(isNetworkAddress(address));
    QString host, error;
    quint16 port = 0;
    auto scheme = NetworkScheme(-1);
    QCOMPARE(parseNetworkAddress(address, &host, &port, &error, &scheme), ok);
    QCOMPARE(error.isEmpty(), ok);
    if (!ok) {
        QVERIFY2(error.contains(address), qPrintable(error));
        QCOMPARE(scheme, NetworkScheme(-1)); // left alone
        return;
    }
    QTEST(host, "host");
    QTEST(int(port), "port");
    QTEST(scheme, "scheme");
}

QTEST_APPLESS_MAIN(TestPortMap)
#include "tst_portmap.moc"
