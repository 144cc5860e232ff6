// The rig-control server on a real socket, the receiver driver on the simulator's
// pseudo-terminal, and the real hamlib client (rigctl -m 2) against it.

#include "driver_panel.h"
#include "net/rigctl_server.h"
#include "simulated_port.h"

#include <nrd535sim/serial_server.h>
#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QCoreApplication>
#include <QNetworkInterface>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>

#include <cctype>
#include <memory>

namespace {

constexpr quint8 TestPort = 12;

// Simulator, a connected and held driver, a panel forwarding to it, and the server.
struct Rig {
    nrd535sim::Simulator sim;
    Nrd535 rx;
    DriverPanel panel{rx};
    RigctlServer server{rx, panel};

    bool start() {
        sim.setPaced(false);
        if (!StartOnPort(sim, rx, TestPort, 38400)) return false;
        if (!rx.fOpen(false) || !rx.Conn()) return false;
        rx.Hook(true);
        panel.state.Connected = true;
        panel.state.RemoteHeld = true;
        if (!QTest::qWaitFor([this] { return rx.state().Fr > 0 && rx.state().SM >= 0; }, 5000))
            return false;
        return server.listen(QHostAddress(QHostAddress::LocalHost), 0);
    }
    ~Rig() {
        server.close();
        rx.fClose();
        ostry::setPortDevice(TestPort, QString());
    }

    std::unique_ptr<QTcpSocket> client() {
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(QHostAddress(QHostAddress::LocalHost), server.serverPort());
        if (!s->waitForConnected(5000)) return nullptr;
        return s;
    }

    // Lines the simulator received while `action` ran, up to the driver's end marker.
    QStringList wireOf(const std::function<void()>& action) {
        sim.clearReceivedLines();
        action();
        rx.Dump(999); // "J1999": ignored by the receiver, marks the end
        if (!QTest::qWaitFor([this] { return sim.receivedLines().contains("J1999"); }, 5000))
            return {"<marker never arrived>"};
        QStringList got = sim.receivedLines();
        got.removeAll(QStringLiteral("J1999"));
        // The driver's own polls are not the server's doing.
        for (const char* poll : {"W", "M", "Q", "N"}) got.removeAll(QString::fromLatin1(poll));
        return got;
    }
};

// Sends `request` and reads until `lines` answer lines have arrived (or the peer closed).
QByteArray ask(QTcpSocket& s, const QByteArray& request, int lines = 1) {
    s.write(request);
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += s.readAll();
            return got.count('\n') >= lines || s.state() != QAbstractSocket::ConnectedState;
        },
        5000);
    return got;
}

QString rigctlProgram() {
    return QStandardPaths::findExecutable(QStringLiteral("rigctl"));
}

// Runs the real hamlib client against the server while the event loop keeps serving it.
struct RigctlRun {
    int exitCode = -1;
    QString out, err;
};
RigctlRun runRigctl(quint16 port, const QStringList& commands) {
    QProcess p;
    p.start(rigctlProgram(),
            QStringList{"-m", "2", "-r", QStringLiteral("127.0.0.1:%1").arg(port)} + commands);
    RigctlRun r;
    if (!p.waitForStarted(5000)) return r;
    (void)QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 30000);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

} // namespace

namespace {
struct ReferenceRigctld;
}

class TestRigctlServer : public QObject {
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void writes_data();
    void writes();
    void refusals_data();
    void refusals();
    void readsFollowTheReceiver();
    void badInput_data();
    void badInput();
    void clientThatNeverReads();
    void silentClientsDoNotBlockOthers();
    void hundredClients();
    void quitCloses();
    void options_data();
    void options();
    void allowedHosts_data();
    void allowedHosts();
    void sharing_data();
    void sharing();
    void transcripts_data();
    void transcripts();
    void realClient_data();
    void realClient();
    void twoRealClientsAtOnce();
    void realClientRefused();

private:
    std::unique_ptr<ReferenceRigctld> m_reference;
    bool m_referenceTried = false;
};

void TestRigctlServer::reads_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    // The simulated receiver starts on 9410 kHz AM, wide filter.
    QTest::newRow("f") << QByteArray("f\n") << QByteArray("9410000\n");
    QTest::newRow("get_freq") << QByteArray("\\get_freq\n") << QByteArray("9410000\n");
    QTest::newRow("CRLF") << QByteArray("f\r\n") << QByteArray("9410000\n");
    QTest::newRow("m") << QByteArray("m\n") << QByteArray("AM\n5500\n");
    QTest::newRow("get_mode") << QByteArray("\\get_mode\n") << QByteArray("AM\n5500\n");
    QTest::newRow("v") << QByteArray("v\n") << QByteArray("VFOA\n");
    QTest::newRow("get_vfo") << QByteArray("\\get_vfo\n") << QByteArray("VFOA\n");
    QTest::newRow("t") << QByteArray("t\n") << QByteArray("0\n");
    QTest::newRow("get_ptt") << QByteArray("\\get_ptt\n") << QByteArray("0\n");
    QTest::newRow("s") << QByteArray("s\n") << QByteArray("0\nVFOA\n");
    QTest::newRow("get_powerstat") << QByteArray("\\get_powerstat\n") << QByteArray("1\n");
    QTest::newRow("chk_vfo") << QByteArray("\\chk_vfo\n") << QByteArray("0\n");
    QTest::newRow("no signal") << QByteArray("l STRENGTH\n") << QByteArray("-54\n");
    QTest::newRow("other level") << QByteArray("l AF\n") << QByteArray("RPRT -4\n");
    QTest::newRow("V VFOA") << QByteArray("V VFOA\n") << QByteArray("RPRT 0\n");
    QTest::newRow("V VFOB") << QByteArray("V VFOB\n") << QByteArray("RPRT -1\n");
    QTest::newRow("raw meter") << QByteArray("l RAWSTR\n") << QByteArray("255\n");
    QTest::newRow("squelch closed") << QByteArray("\x8b\n") << QByteArray("0\n");
    QTest::newRow("get_rit") << QByteArray("\\get_rit\n") << QByteArray("0\n");
    QTest::newRow("get_xit") << QByteArray("z\n") << QByteArray("0\n");
    QTest::newRow("get_split_vfo") << QByteArray("\\get_split_vfo\n") << QByteArray("0\nVFOA\n");
    QTest::newRow("get_lock_mode") << QByteArray("\\get_lock_mode\n") << QByteArray("0\nRPRT 0\n");
    QTest::newRow("get_vfo_info") << QByteArray("\\get_vfo_info VFOA\n")
                                  << QByteArray("9410000\nAM\n5500\n0\n0\n");
    QTest::newRow("get_vfo_info extended")
        << QByteArray("+\\get_vfo_info VFOA\n")
        << QByteArray("get_vfo_info: VFOA\nFreq: 9410000\nMode: AM\nWidth: 5500\nSplit: 0\n"
                      "SatMode: 0\nRPRT 0\n");
    QTest::newRow("get_vfo_info VFOB")
        << QByteArray("\\get_vfo_info VFOB\n") << QByteArray("RPRT -1\n");
    QTest::newRow("f VFOB") << QByteArray("f VFOB\n") << QByteArray("RPRT -1\n");
    QTest::newRow("f VFOA") << QByteArray("f VFOA\n") << QByteArray("9410000\n");
    QTest::newRow("+f") << QByteArray("+f\n")
                        << QByteArray("get_freq:\nFrequency: 9410000\nRPRT 0\n");
    QTest::newRow(";m") << QByteArray(";m\n")
                        << QByteArray("get_mode:;Mode: AM;Passband: 5500;RPRT 0\n");
    QTest::newRow("+chk_vfo") << QByteArray("+\\chk_vfo\n") << QByteArray("ChkVFO: 0\n");
    QTest::newRow("prefix on a line of its own")
        << QByteArray("|\nf\n") << QByteArray("get_freq:|Frequency: 9410000|RPRT 0\n");
    QTest::newRow("fmv") << QByteArray("fmv\n") << QByteArray("9410000\nAM\n5500\nVFOA\n");
    QTest::newRow("+f +m +v") << QByteArray("+f +m +v\n")
                              << QByteArray(
                                     "get_freq:\nFrequency: 9410000\nRPRT 0\nget_mode:\nMode: AM\n"
                                     "Passband: 5500\nRPRT 0\nget_vfo:\nVFO: VFOA\nRPRT 0\n");
    QTest::newRow("set_powerstat") << QByteArray("\\set_powerstat 0\n") << QByteArray("RPRT -11\n");
    QTest::newRow("AOS") << QByteArray("AOS\n") << QByteArray("RPRT 0\n");
    QTest::newRow("LOS") << QByteArray("LOS\n") << QByteArray("RPRT 0\n");
    QTest::newRow("set_vfo_opt") << QByteArray("\\set_vfo_opt 0\n") << QByteArray("RPRT 0\n");
    QTest::newRow("VFO mode")
        << QByteArray("\\set_vfo_opt 1\n\\chk_vfo\nf currVFO\n+m VFOA\n")
        << QByteArray("RPRT 0\n1\n9410000\nget_mode: VFOA\nMode: AM\nPassband: 5500\nRPRT 0\n");
}

void TestRigctlServer::reads() {
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    Rig rig;
    rig.sim.setFixedMeter(256);
    QVERIFY(rig.start());
    auto c = rig.client();
    QVERIFY(c);
    // Reads cost no serial round trip.
    rig.sim.clearReceivedLines();
    QCOMPARE(ask(*c, request, int(answer.count('\n'))), answer);
    QVERIFY(rig.panel.calls.isEmpty());
    QVERIFY2(!rig.sim.receivedLines().contains(QStringLiteral("F09410000")),
             qPrintable(rig.sim.receivedLines().join(u',')));
}

void TestRigctlServer::writes_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("F") << QByteArray("F 7125000\n") << QStringList{"F07125000"}
                       << QStringList{"TuneTo 7125000 1 1 1"};
    QTest::newRow("F from hamlib") << QByteArray("F 14074000.000000\n") << QStringList{"F14074000"}
                                   << QStringList{"TuneTo 14074000 1 1 1"};
    QTest::newRow("F with a VFO") << QByteArray("F VFOA 7125000\n") << QStringList{"F07125000"}
                                  << QStringList{"TuneTo 7125000 1 1 1"};
    QTest::newRow("F padded") << QByteArray("F    7125000\n") << QStringList{"F07125000"}
                              << QStringList{"TuneTo 7125000 1 1 1"};
    QTest::newRow("set_freq") << QByteArray("\\set_freq 1000\n") << QStringList{"F00001000"}
                              << QStringList{"TuneTo 1000 1 1 1"};
    QTest::newRow("M USB 2400") << QByteArray("M USB 2400\n") << QStringList{"D2", "B0", "W2400"}
                                << QStringList{"ShowMode 2 1", "ShowFilter 2400 1"};
    QTest::newRow("M CW narrow") << QByteArray("M CW 500\n") << QStringList{"D1", "B2"}
                                 << QStringList{"ShowMode 1 1", "ShowFilter 2 1"};
    QTest::newRow("M LSB inter") << QByteArray("M LSB 2200\n") << QStringList{"D3", "B1", "W2200"}
                                 << QStringList{"ShowMode 3 1", "ShowFilter 1 1"};
    QTest::newRow("M keeps filter")
        << QByteArray("M ECSSUSB 0\n") << QStringList{"D7"} << QStringList{"ShowMode 7 1"};
    QTest::newRow("M no change") << QByteArray("\\set_mode PKTLSB -1\n") << QStringList{"D3"}
                                 << QStringList{"ShowMode 3 1"};
}

void TestRigctlServer::writes() {
    QFETCH(QByteArray, request);
    QFETCH(QStringList, wire);
    QFETCH(QStringList, calls);
    Rig rig;
    QVERIFY(rig.start());
    auto c = rig.client();
    QVERIFY(c);
    QByteArray got;
    QCOMPARE(rig.wireOf([&] { got = ask(*c, request); }), wire);
    QCOMPARE(got, QByteArray("RPRT 0\n"));
    QCOMPARE(rig.panel.calls, calls);
}

void TestRigctlServer::refusals_data() {
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<int>("scan");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("not held") << true << false << false << 0 << QByteArray("RPRT -9\n");
    QTest::newRow("panel locked") << true << true << true << 0 << QByteArray("RPRT -9\n");
    QTest::newRow("scan running") << true << true << false << int(ScanState::Band)
                                  << QByteArray("RPRT -9\n");
    QTest::newRow("noise survey") << true << true << false << int(ScanState::NoiseMeasure)
                                  << QByteArray("RPRT -9\n");
    QTest::newRow("not connected") << false << false << false << 0 << QByteArray("RPRT -6\n");
}

void TestRigctlServer::refusals() {
    QFETCH(bool, connected);
    QFETCH(bool, held);
    QFETCH(bool, locked);
    QFETCH(int, scan);
    QFETCH(QByteArray, answer);
    Rig rig;
    QVERIFY(rig.start());
    rig.panel.state.Connected = connected;
    rig.panel.state.RemoteHeld = held;
    rig.panel.state.PanelLocked = locked;
    rig.panel.state.Scan = ScanState(scan);
    auto c = rig.client();
    QVERIFY(c);
    QStringList wire = rig.wireOf([&] {
        QCOMPARE(ask(*c, "F 7125000\n"), answer);
        QCOMPARE(ask(*c, "M USB 2400\n"), answer);
    });
    QCOMPARE(wire, QStringList());
    QVERIFY(rig.panel.calls.isEmpty());
    // Reads go on while writes are refused, unless nothing is connected.
    QCOMPARE(ask(*c, "f\n"), connected ? QByteArray("9410000\n") : QByteArray("RPRT -6\n"));
    QCOMPARE(ask(*c, "\\get_powerstat\n"), connected ? QByteArray("1\n") : QByteArray("0\n"));
}

void TestRigctlServer::readsFollowTheReceiver() {
    Rig rig;
    QVERIFY(rig.start());
    auto c = rig.client();
    QVERIFY(c);
    QCOMPARE(ask(*c, "F 7125000\n"), QByteArray("RPRT 0\n"));
    QTRY_COMPARE(ask(*c, "f\n"), QByteArray("7125000\n"));
    // The receiver's own knob: the next read has it without asking the receiver.
    rig.sim.panelTune(6000000);
    QTRY_COMPARE(ask(*c, "f\n"), QByteArray("6000000\n"));
    QCOMPARE(ask(*c, "M LSB 2400\n"), QByteArray("RPRT 0\n"));
    QTRY_COMPARE(ask(*c, "m\n", 2), QByteArray("LSB\n2400\n"));
    // S9+20 dB; the meter is polled as the program's timer does.
    rig.sim.setFixedMeter(nrd535sim::Simulator::rawFromDb(74));
    QTRY_VERIFY((rig.rx.SMUpd(), ask(*c, "l STRENGTH\n").toInt() >= 17));
    const int s = ask(*c, "l STRENGTH\n").toInt();
    QVERIFY2(s >= 17 && s <= 23, qPrintable(QString::number(s)));
}

void TestRigctlServer::badInput_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("answers"); // every answer, in order; empty: not checked
    QTest::newRow("unknown command") << QByteArray("X\n") << QByteArray("RPRT -4\n");
    QTest::newRow("unknown long command")
        << QByteArray("\\set_level AF 0.5\n") << QByteArray("RPRT -4\n");
    QTest::newRow("bad argument") << QByteArray("F abc\n") << QByteArray("RPRT -1\n");
    QTest::newRow("missing argument") << QByteArray("F\n") << QByteArray("RPRT -1\n");
    QTest::newRow("out of range") << QByteArray("F 40000000\n") << QByteArray("RPRT -1\n");
    QTest::newRow("unknown mode") << QByteArray("M WFM 0\n") << QByteArray("RPRT -1\n");
    QTest::newRow("blank lines") << QByteArray("\n\n  \n") << QByteArray();
    QTest::newRow("over-long line") << QByteArray(5000, 'f') + '\n' << QByteArray("RPRT -8\n");
    QTest::newRow("NUL bytes") << QByteArray(100, '\0') + '\n' << QByteArray("RPRT -8\n");
    QTest::newRow("one answer per line")
        << QByteArray("f\nX\nt\n") << QByteArray("9410000\nRPRT -4\n0\n");
    QTest::newRow("unknown ends its line")
        << QByteArray("f X t\nv\n") << QByteArray("9410000\nRPRT -4\nVFOA\n");
    QTest::newRow("bad argument ends its line")
        << QByteArray("+F abc f\n") << QByteArray("set_freq: abc\nRPRT -1\n");
    QTest::newRow("unknown one-byte code") << QByteArray("\xff\n") << QByteArray("RPRT -4\n");
    QByteArray noise(20000, '\0');
    QRandomGenerator gen(7);
    for (char& b : noise) b = char(gen.bounded(256));
    QTest::newRow("binary noise") << noise + '\n' << QByteArray();
}

void TestRigctlServer::badInput() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, answers);
    Rig rig;
    QVERIFY(rig.start());
    auto c = rig.client();
    QVERIFY(c);
    c->write(input + "f\n");
    // The connection stays usable: the next request is answered as usual, after the rest.
    QByteArray got;
    QVERIFY(QTest::qWaitFor(
        [&] {
            got += c->readAll();
            return got.endsWith("9410000\n");
        },
        10000));
    if (!answers.isEmpty()) QCOMPARE(got, answers + "9410000\n");
    QCOMPARE(c->state(), QAbstractSocket::ConnectedState);
    QCOMPARE(rig.server.clientCount(), 1);
}

void TestRigctlServer::clientThatNeverReads() {
    // Requests pour in while answers are never read: the server stops reading from that client
    // instead of piling up answers, and keeps serving the others.
    Rig rig;
    QVERIFY(rig.start());
    auto flood = rig.client();
    QVERIFY(flood);
    flood->setReadBufferSize(1);
    QByteArray many;
    for (int i = 0; i < 20000; ++i) many += "\\dump_state\n";
    flood->write(many);
    auto other = rig.client();
    QVERIFY(other);
    for (int i = 0; i < 5; ++i) {
        QTest::qWait(50);
        QCOMPARE(ask(*other, "f\n"), QByteArray("9410000\n"));
    }
    QCOMPARE(rig.server.clientCount(), 2);
}

void TestRigctlServer::silentClientsDoNotBlockOthers() {
    Rig rig;
    QVERIFY(rig.start());
    auto silent = rig.client();
    auto halfLine = rig.client();
    QVERIFY(silent && halfLine);
    halfLine->write("F 71"); // never finished
    auto c = rig.client();
    QVERIFY(c);
    QCOMPARE(ask(*c, "f\n"), QByteArray("9410000\n"));
    QCOMPARE(rig.server.clientCount(), 3);
    QCOMPARE(rig.panel.calls, QStringList());
}

void TestRigctlServer::hundredClients() {
    Rig rig;
    QVERIFY(rig.start());
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 100; ++i) {
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(QHostAddress(QHostAddress::LocalHost), rig.server.serverPort());
        clients.push_back(std::move(s));
    }
    QTRY_COMPARE_WITH_TIMEOUT(rig.server.clientCount(), 100, 10000);
    for (auto& s : clients) s->write("f\nm\n");
    for (auto& s : clients) {
        QByteArray got;
        QVERIFY(QTest::qWaitFor(
            [&] {
                got += s->readAll();
                return got.count('\n') >= 3;
            },
            10000));
        QCOMPARE(got, QByteArray("9410000\nAM\n5500\n"));
    }
    clients.clear();
    QTRY_COMPARE(rig.server.clientCount(), 0);
}

void TestRigctlServer::quitCloses() {
    Rig rig;
    QVERIFY(rig.start());
    auto c = rig.client();
    QVERIFY(c);
    QCOMPARE(ask(*c, "q\nf\n"), QByteArray("RPRT 0\n"));
    QTRY_COMPARE(c->state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(rig.server.clientCount(), 0);
}

void TestRigctlServer::options_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::newRow("default") << "" << true << "127.0.0.1" << 4532;
    QTest::newRow("port") << "4533" << true << "127.0.0.1" << 4533;
    QTest::newRow("all interfaces") << "0.0.0.0:4532" << true << "0.0.0.0" << 4532;
    QTest::newRow("IPv6") << "[::1]:4540" << true << "::1" << 4540;
    QTest::newRow("localhost") << "localhost:4541" << true << "127.0.0.1" << 4541;
    QTest::newRow("port 0") << "0" << false << "" << 0;
    QTest::newRow("port too big") << "65536" << false << "" << 0;
    QTest::newRow("not a port") << "rig" << false << "" << 0;
    QTest::newRow("host name") << "shack.example:4532" << false << "" << 0;
    QTest::newRow("no port") << "127.0.0.1:" << false << "" << 0;
}

void TestRigctlServer::options() {
    QFETCH(QString, value);
    QFETCH(bool, ok);
    QFETCH(QString, address);
    QFETCH(int, port);
    QHostAddress a;
    quint16 p = 0;
    QString error;
    QCOMPARE(parseRigctldOption(value, &a, &p, &error), ok);
    QCOMPARE(error.isEmpty(), ok);
    if (!ok) return;
    QCOMPARE(a, QHostAddress(address));
    QCOMPARE(int(p), port);
}

void TestRigctlServer::allowedHosts_data() {
    QTest::addColumn<QString>("hosts");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("allowed");
    QTest::addColumn<QStringList>("refused");
    const QStringList loopback{"127.0.0.1", "127.3.4.5", "::1", "::ffff:127.0.0.1"};
    QTest::newRow("empty lets every host in")
        << "" << true << loopback + QStringList{"192.0.2.9", "2001:db8::1"} << QStringList{};
    QTest::newRow("one address") << "192.0.2.9" << true
                                 << loopback + QStringList{"192.0.2.9", "::ffff:192.0.2.9"}
                                 << QStringList{"192.0.2.10", "2001:db8::1"};
    QTest::newRow("networks and blanks") << " 192.0.2.0/24 , ,2001:db8::/32" << true
                                         << loopback + QStringList{"192.0.2.200", "2001:db8:1::5"}
                                         << QStringList{"198.51.100.1", "2001:db9::1"};
    QTest::newRow("host name") << "shack.example" << false << QStringList{} << QStringList{};
    QTest::newRow("bad prefix") << "192.0.2.0/40" << false << QStringList{} << QStringList{};
}

void TestRigctlServer::allowedHosts() {
    QFETCH(QString, hosts);
    QFETCH(bool, ok);
    QFETCH(QStringList, allowed);
    QFETCH(QStringList, refused);
    Nrd535 rx;
    DriverPanel panel{rx};
    RigctlServer server{rx, panel};
    QVERIFY(server.setAllowedHosts(QStringLiteral("198.51.100.7")));
    QString error;
    QCOMPARE(server.setAllowedHosts(hosts, &error), ok);
    QCOMPARE(error.isEmpty(), ok);
    if (!ok) {
        // The list stays as it was, and the message names the entry.
        QCOMPARE(server.allowedHosts(), QStringLiteral("198.51.100.7"));
        QVERIFY2(error.contains(hosts.trimmed()), qPrintable(error));
        return;
    }
    for (const QString& a : allowed) QVERIFY2(server.hostAllowed(QHostAddress(a)), qPrintable(a));
    for (const QString& a : refused) QVERIFY2(!server.hostAllowed(QHostAddress(a)), qPrintable(a));
}

namespace {
// An address of this machine that is not a loopback one, to be another host on.
QHostAddress otherHostAddress() {
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) return a;
    return {};
}
} // namespace

// The server bound beyond loopback, reached from this machine's own other address (a client
// of another host as far as the server can tell) and from loopback.
void TestRigctlServer::sharing_data() {
    QTest::addColumn<QString>("hosts");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QByteArray>("otherAnswers"); // to "f" then "F 7125000"; one line: refused
    QTest::addColumn<QByteArray>("loopbackAnswers");
    QTest::newRow("open") << "" << false << QByteArray("9410000\nRPRT 0\n")
                          << QByteArray("9410000\nRPRT 0\n");
    QTest::newRow("other host read-only")
        << "" << true << QByteArray("9410000\nRPRT -19\n") << QByteArray("9410000\nRPRT 0\n");
    QTest::newRow("listed") << "%1" << true << QByteArray("9410000\nRPRT -19\n")
                            << QByteArray("9410000\nRPRT 0\n");
    QTest::newRow("listed network")
        << "%1/24" << false << QByteArray("9410000\nRPRT 0\n") << QByteArray("9410000\nRPRT 0\n");
    QTest::newRow("not listed") << "198.51.100.7" << false << QByteArray("RPRT -19\n")
                                << QByteArray("9410000\nRPRT 0\n");
}

void TestRigctlServer::sharing() {
    QFETCH(QString, hosts);
    QFETCH(bool, readOnly);
    QFETCH(QByteArray, otherAnswers);
    const QHostAddress other = otherHostAddress();
    if (other.isNull()) QSKIP("this machine has no address besides loopback");
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.server.listen(QHostAddress(QHostAddress::AnyIPv4), 0));
    QVERIFY(rig.server.setAllowedHosts(hosts.contains(u'%') ? hosts.arg(other.toString()) : hosts));
    rig.server.setReadOnly(readOnly);
    const quint16 port = rig.server.serverPort();

    QTcpSocket remote;
    remote.bind(other);
    remote.connectToHost(other, port);
    QVERIFY(remote.waitForConnected(5000));
    const bool refused = otherAnswers.count('\n') == 1;
    QByteArray got = ask(remote, "f\nF 7125000\n", refused ? 1 : 2);
    QCOMPARE(got, otherAnswers);
    if (refused) {
        // Nothing more is read from it: the connection closes.
        QTRY_COMPARE(remote.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(rig.server.clientCount(), 0);
    }
    QTcpSocket local;
    local.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    QVERIFY(local.waitForConnected(5000));
    // Loopback is always let in, and may write whatever the switch says.
    QCOMPARE(ask(local, "F 7125000\n"), QByteArray("RPRT 0\n"));
    const int tunes = int(otherAnswers.endsWith("RPRT 0\n")) + 1;
    QCOMPARE(rig.panel.calls.count(QStringLiteral("TuneTo 7125000 1 1 1")), tunes);
    if (refused) return;
    // Taken off the list: its connection closes, loopback's stays.
    QVERIFY(rig.server.setAllowedHosts(QStringLiteral("198.51.100.7")));
    QTRY_COMPARE(remote.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(ask(local, "v\n"), QByteArray("VFOA\n"));
    QTRY_COMPARE(rig.server.clientCount(), 1);
}

namespace {

// A reply in outline: every value replaced by "#", labels, separators, line breaks and reports
// kept.
QByteArray shapeOf(const QByteArray& reply, const QByteArray& request) {
    char sep = '\n';
    const QByteArray start = request.startsWith('+') ? request.mid(1) : request;
    if (!start.isEmpty() && std::ispunct(uchar(start[0])) && start[0] != '\\') sep = start[0];
    QByteArray out, field;
    const auto flush = [&] {
        if (field.startsWith("RPRT ") || field.isEmpty() || field.endsWith(':'))
            out += field;
        else if (const qsizetype colon = field.indexOf(": "); colon >= 0)
            out += field.left(colon) + ": #";
        else
            out += '#';
        field.clear();
    };
    for (const char ch : reply) {
        if (ch == '\n' || ch == sep) {
            flush();
            out += ch;
        } else {
            field += ch;
        }
    }
    flush();
    return out;
}

// The "Can ...:" labels of a \dump_caps answer, in order, and how it ends.
QByteArrayList capsOf(const QByteArray& reply) {
    QByteArrayList out;
    for (const QByteArray& line : reply.split('\n'))
        if (line.startsWith("Can ")) out << line.left(line.indexOf(':') + 1);
    out << (reply.contains("\nOverall backend warnings:") ? "end" : "no end");
    out << reply.mid(reply.lastIndexOf("RPRT"));
    return out;
}

// The setting names of a \dump_state answer's protocol-1 tail, and its first and last lines.
QByteArrayList stateOf(const QByteArray& reply) {
    QByteArrayList lines = reply.split('\n');
    QByteArrayList out{lines.value(0), reply.endsWith("done\n") ? "done" : "no end"};
    for (const QByteArray& l : lines)
        if (l.contains('=')) out << l.left(l.indexOf('='));
    return out;
}

// Sends one request line and reads its whole answer: an answer no row asks for marks the end.
QByteArray exchange(QTcpSocket& s, const QByteArray& line) {
    const QByteArray marker("get_lock_mode:;Locked: 0\nRPRT 0\n");
    s.write(line + "\n;\\get_lock_mode\n");
    QByteArray got;
    if (!QTest::qWaitFor(
            [&] {
                got += s.readAll();
                return got.endsWith(marker);
            },
            5000))
        return "<no end: " + got + ">";
    got.chop(marker.size());
    return got;
}

// hamlib's own rigctld with its dummy rig, the reference for the answers' layout.
struct ReferenceRigctld {
    QProcess process;
    quint16 port = nrd535sim::SerialServer::freePort();
    bool start() {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("rigctld"));
        if (program.isEmpty()) return false;
        process.start(program, {"-m", "1", "-T", "127.0.0.1", "-t", QString::number(port)});
        if (!process.waitForStarted(5000)) return false;
        return QTest::qWaitFor(
            [&] {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
                return probe.waitForConnected(200);
            },
            10000);
    }
    ~ReferenceRigctld() {
        process.terminate();
        if (!process.waitForFinished(3000)) process.kill();
    }
};

} // namespace

// What real clients send, answered by this server and by hamlib's rigctld with its dummy rig
// in the same run; each answer must have the reference's outline. Where a receiver must answer
// otherwise, "ours" gives our outline ("!" first: the reference is not asked, it would wait
// for more arguments or switch itself off) and "note" says why.
void TestRigctlServer::transcripts_data() {
    QTest::addColumn<QByteArrayList>("requests");
    QTest::addColumn<QByteArrayList>("ours"); // per request; "" = the reference's outline
    QTest::addColumn<QString>("note");
    const QByteArrayList same;
    // clang-format off
    QTest::newRow("hamlib NET rigctl open")
        << QByteArrayList{"\\get_powerstat", "\\chk_vfo", "\\dump_state", "v", "f"} << same << "";
    QTest::newRow("WSJT-X poll") << QByteArrayList{"v", "s", "f", "m"} << same << "";
    QTest::newRow("WSJT-X mode change")
        << QByteArrayList{"\\get_lock_mode", "M PKTUSB -1", "m"} << same << "";
    QTest::newRow("WSJT-X resolution probe")
        << QByteArrayList{"f", "F 9410055", "f", "F 9410000"} << same << "";
    QTest::newRow("fldigi poll") << QByteArrayList{"f", "m", "f", "m", "f", "m"} << same << "";
    QTest::newRow("gpredict") << QByteArrayList{"F    9410000", "f", "\x8b", "F 9410000.000000"}
                              << same << "";
    QTest::newRow("gpredict pass")
        << QByteArrayList{"AOS", "LOS"} << QByteArrayList{"RPRT 0\n", "!RPRT 0\n"}
        << "the dummy takes AOS for set_trn (deprecated, RPRT -18) and LOS for set_level, which "
           "waits for a value; a receiver has nothing to do at a pass's start and end";
    QTest::newRow("CQRLOG")
        << QByteArrayList{"+\\chk_vfo", "+\\dump_caps", "+f +m +v", "+\\set_freq 9410000",
                          "+\\set_mode USB 2400", "+f +m +v", "+\\set_mode AM 5500"}
        << same << "";
    QTest::newRow("extended chk_vfo carries on")
        << QByteArrayList{"+\\chk_vfo\nf", "+\nm", "v"} << same << "";
    QTest::newRow("CQRLOG, older") << QByteArrayList{"fmv", "f m v", "V VFOA"} << same << "";
    QTest::newRow("Log4OM") << QByteArrayList{"\\get_vfo_info VFOA", "+\\get_vfo_info VFOA",
                                              "\\get_vfo_info VFOB"}
                            << QByteArrayList{"", "", "RPRT -1\n"}
                            << "a receiver has one VFO: VFOB is not there";
    QTest::newRow("scanner levels")
        << QByteArrayList{"l STRENGTH", "+l STRENGTH", ";l RAWSTR", "l SQL"}
        << QByteArrayList{"", "", "", "RPRT -4\n"}
        << "the squelch threshold is a knob on the receiver, not reported";
    QTest::newRow("separators")
        << QByteArrayList{";f", "|m", ",s", "|\\get_powerstat", "|\\get_lock_mode", "+\\get_rit",
                          ",\\get_xit"}
        << same << "";
    QTest::newRow("what a receiver cannot do")
        << QByteArrayList{"t", "+t", "\\set_powerstat 1", "V VFOB", "\\set_vfo_opt 0"}
        << QByteArrayList{"#\n", "get_ptt:\nPTT: #\nRPRT 0\n", "RPRT -11\n", "RPRT -1\n",
                          "RPRT 0\n"}
        << "it never transmits (the dummy has no PTT: RPRT -11); its power is switched at the "
           "receiver; it has one VFO; VFO mode is there to ask for (the dummy refuses it)";
    // clang-format on
}

void TestRigctlServer::transcripts() {
    QFETCH(QByteArrayList, requests);
    QFETCH(QByteArrayList, ours);
    QFETCH(QString, note);
    // One reference for the whole table, started with its first row.
    if (!m_referenceTried) {
        m_referenceTried = true;
        m_reference = std::make_unique<ReferenceRigctld>();
        if (!m_reference->start()) m_reference.reset();
    }
    if (!m_reference) QSKIP("rigctld is not installed (scripts/deps installs it)");
    ReferenceRigctld* reference = m_reference.get();
    Rig rig;
    QVERIFY(rig.start());
    auto c = rig.client();
    QVERIFY(c);
    QTcpSocket theirs;
    theirs.connectToHost(QHostAddress(QHostAddress::LocalHost), reference->port);
    QVERIFY(theirs.waitForConnected(5000));
    if (!note.isEmpty()) qInfo("%s: %s", QTest::currentDataTag(), qPrintable(note));
    for (qsizetype i = 0; i < requests.size(); ++i) {
        const QByteArray& line = requests[i];
        const QByteArray expected = ours.value(i);
        const QByteArray mine = exchange(*c, line);
        if (expected.startsWith('!')) {
            QCOMPARE(shapeOf(mine, line), expected.mid(1));
            continue;
        }
        const QByteArray reference = exchange(theirs, line);
        const QByteArray what = "request \"" + line + "\"";
        if (line.contains("dump_caps")) {
            QCOMPARE(capsOf(mine), capsOf(reference));
            QVERIFY2(mine.startsWith(line.startsWith('+') ? "dump_caps:\n" : "Caps dump"),
                     what.constData());
        } else if (line.contains("dump_state")) {
            const QByteArrayList a = stateOf(mine), b = stateOf(reference);
            QCOMPARE(a.mid(0, 2), b.mid(0, 2));
            for (const QByteArray& name : a.mid(2))
                QVERIFY2(b.contains(name), (what + ": " + name).constData());
        } else if (!expected.isEmpty()) {
            QCOMPARE(shapeOf(mine, line), expected);
            if (shapeOf(reference, line) != expected)
                qInfo("  %s: ours %s, the dummy's %s", what.constData(),
                      shapeOf(mine, line).replace('\n', "\\n").constData(),
                      shapeOf(reference, line).replace('\n', "\\n").constData());
        } else {
            QVERIFY2(
                shapeOf(mine, line) == shapeOf(reference, line),
                (what + ": ours \"" + mine + "\", the dummy's \"" + reference + "\"").constData());
        }
    }
}

void TestRigctlServer::realClient_data() {
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("output"); // rigctl's standard output, one answer a line
    QTest::addColumn<QStringList>("wire");
    QTest::newRow("f") << QStringList{"f"} << "9410000\n" << QStringList{};
    QTest::newRow("m") << QStringList{"m"} << "AM\n5500\n" << QStringList{};
    QTest::newRow("F") << QStringList{"F", "7125000"} << "" << QStringList{"F07125000"};
    QTest::newRow("M USB 2400") << QStringList{"M", "USB", "2400"} << ""
                                << QStringList{"D2", "B0", "W2400"};
    QTest::newRow("l STRENGTH") << QStringList{"l", "STRENGTH"} << "-54\n" << QStringList{};
    QTest::newRow("t") << QStringList{"t"} << "0\n" << QStringList{};
    QTest::newRow("v") << QStringList{"v"} << "VFOA\n" << QStringList{};
    QTest::newRow("several") << QStringList{"f", "t", "m"} << "9410000\n0\nAM\n5500\n"
                             << QStringList{};
}

void TestRigctlServer::realClient() {
    if (rigctlProgram().isEmpty()) QSKIP("rigctl is not installed (scripts/deps installs it)");
    QFETCH(QStringList, commands);
    QFETCH(QString, output);
    QFETCH(QStringList, wire);
    Rig rig;
    rig.sim.setFixedMeter(256);
    QVERIFY(rig.start());
    RigctlRun run;
    QCOMPARE(rig.wireOf([&] { run = runRigctl(rig.server.serverPort(), commands); }), wire);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, output);
    QVERIFY2(!run.err.contains(QLatin1String("error"), Qt::CaseInsensitive), qPrintable(run.err));
}

void TestRigctlServer::twoRealClientsAtOnce() {
    if (rigctlProgram().isEmpty()) QSKIP("rigctl is not installed (scripts/deps installs it)");
    Rig rig;
    QVERIFY(rig.start());
    const QString port = QStringLiteral("127.0.0.1:%1").arg(rig.server.serverPort());
    QStringList polls;
    for (int i = 0; i < 20; ++i)
        polls << "f"
              << "m";
    QProcess a, b;
    a.start(rigctlProgram(), QStringList{"-m", "2", "-r", port} + polls);
    b.start(rigctlProgram(), QStringList{"-m", "2", "-r", port} + polls);
    QVERIFY(a.waitForStarted(5000) && b.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(rig.server.clientCount() == 2 || a.state() == QProcess::NotRunning,
                             20000);
    QTRY_VERIFY_WITH_TIMEOUT(a.state() == QProcess::NotRunning && b.state() == QProcess::NotRunning,
                             30000);
    for (QProcess* p : {&a, &b}) {
        QCOMPARE(p->exitCode(), 0);
        const QString out = QString::fromLocal8Bit(p->readAllStandardOutput());
        QCOMPARE(out, QStringLiteral("9410000\nAM\n5500\n").repeated(20));
    }
}

void TestRigctlServer::realClientRefused() {
    if (rigctlProgram().isEmpty()) QSKIP("rigctl is not installed (scripts/deps installs it)");
    Rig rig;
    QVERIFY(rig.start());
    rig.panel.state.RemoteHeld = false;
    RigctlRun run;
    QCOMPARE(rig.wireOf([&] {
        run = runRigctl(rig.server.serverPort(), {"F", "7125000", "f"});
    }),
             QStringList{});
    // hamlib reports the refusal by its own text for the code, and the client goes on.
    QVERIFY2(run.out.contains(QLatin1String("Command rejected"), Qt::CaseInsensitive),
             qPrintable(run.out));
    QVERIFY2(run.out.endsWith(QLatin1String("9410000\n")), qPrintable(run.out));
    QVERIFY(rig.panel.calls.isEmpty());
}

QTEST_GUILESS_MAIN(TestRigctlServer)
#include "tst_rigctl_server.moc"
