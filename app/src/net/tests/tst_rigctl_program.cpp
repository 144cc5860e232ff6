// The rig-control server inside the program: off by default, on by setting or by --rigctld,
// writes through the window's own panel procedures and refused by its state.

#include "fixture.h"
#include "net/net_wiring.h"
#include "net/rigctl_server.h"
#include "settings/registry.h"
#include "ui/opts.h"

#include "core/tuner.h"

#include <nrd535sim/serial_server.h>
#include <ostry/nrd535.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>

namespace {

QByteArray ask(QTcpSocket& s, const QByteArray& request, int lines = 1) {
    s.write(request);
    QByteArray got;
    (void)KelvaneFixture::waitFor(
        [&] {
            got += s.readAll();
            return got.count('\n') >= lines;
        },
        5000);
    return got;
}

KelvaneFixture::Options serverOn(quint16 port) {
    KelvaneFixture::Options o;
    o.hiveLines << QStringLiteral("\"NET_Rigctld\"=dword:00000001")
                << QStringLiteral("\"NET_RigctldAt\"=\"127.0.0.1:%1\"").arg(port);
    return o;
}

} // namespace

class TestRigctlProgram : public QObject {
    Q_OBJECT
private slots:
    void offByDefault();
    void optionsTurnItOnAndOff();
    void optionsDialogTurnsItOnAndOff();
    void sharingKeptAndEdited();
    void sharingListThatDoesNotRead();
    void writesFollowTheWindowsState_data();
    void writesFollowTheWindowsState();
    void commandLine_data();
    void commandLine();
};

void TestRigctlProgram::offByDefault() {
    KelvaneFixture f;
    QVERIFY(f.ok());
    auto* server = f.main->findChild<RigctlServer*>();
    QVERIFY(server);
    QVERIFY(!server->isListening());
}

void TestRigctlProgram::optionsTurnItOnAndOff() {
    KelvaneFixture f;
    QVERIFY(f.ok());
    auto* server = f.main->findChild<RigctlServer*>();
    QVERIFY(server);
    const quint16 port = nrd535sim::SerialServer::freePort();
    const QString at = QStringLiteral("127.0.0.1:%1").arg(port);
    QString error;
    QVERIFY2(ApplyRigctld(*f.main, *f.reg, true, at, &error), qPrintable(error));
    QVERIFY(server->isListening());
    QCOMPARE(server->serverPort(), port);
    QTcpSocket c;
    c.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    QVERIFY(c.waitForConnected(5000));
    QCOMPARE(ask(c, "f\n"), QByteArray("9410000\n"));
    QVERIFY(!ApplyRigctld(*f.main, *f.reg, true, QStringLiteral("nowhere"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!server->isListening());
    QVERIFY(ApplyRigctld(*f.main, *f.reg, false, at));
    QVERIFY(!server->isListening());
    QCOMPARE(server->clientCount(), 0);
    // Kept for the next start.
    QVERIFY(ApplyRigctld(*f.main, *f.reg, true, at));
    f.stopMain();
    QString kept;
    QVERIFY(RigctldSetting(*f.readHive(), &kept));
    QCOMPARE(kept, at);
    QVERIFY(f.startMain());
    QTcpSocket again;
    again.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    QVERIFY(again.waitForConnected(5000));
}

// The options dialog shows the server as kept and applies a change after OK; Cancel changes
// nothing.
void TestRigctlProgram::optionsDialogTurnsItOnAndOff() {
    KelvaneFixture f;
    QVERIFY(f.ok());
    auto* server = f.main->findChild<RigctlServer*>();
    QVERIFY(server);
    const QString at = QStringLiteral("127.0.0.1:%1").arg(nrd535sim::SerialServer::freePort());
    bool shownOn = true;
    const auto answer = [&](bool on, bool ok) {
        f.main->ShowOptions = [&, on, ok](Opts& o) {
            shownOn = o.NetRig->isChecked();
            o.NetRig->setChecked(on);
            o.NetRigAt->setText(at);
            (ok ? o.cmdOK : o.cmdCancel)->click();
        };
    };
    answer(true, false);
    f.main->OpenOptions(1, QString());
    QVERIFY(!shownOn);
    QVERIFY(!server->isListening());
    answer(true, true);
    f.main->OpenOptions(1, QString());
    QVERIFY(server->isListening());
    QCOMPARE(QStringLiteral("127.0.0.1:%1").arg(server->serverPort()), at);
    answer(false, true);
    f.main->OpenOptions(1, QString());
    QVERIFY(shownOn);
    QVERIFY(!server->isListening());
}

// The allowed hosts and the read-only switch: read from the settings, edited in the options
// dialog as an operator types (a list that does not read keeps the dialog open), kept at the
// end of the run. Needs the two values in the settings.
void TestRigctlProgram::sharingKeptAndEdited() {
    KelvaneFixture::Options o;
    o.hiveLines << QStringLiteral("\"NET_RigctldHosts\"=\"192.0.2.0/24\"")
                << QStringLiteral("\"NET_RigctldReadOnly\"=dword:00000001");
    KelvaneFixture f(o);
    QVERIFY(f.ok());
    auto* server = f.main->findChild<RigctlServer*>();
    QVERIFY(server);
    QCOMPARE(server->allowedHosts(), QStringLiteral("192.0.2.0/24"));
    QVERIFY(server->readOnly());
    QString shownHosts;
    bool shownReadOnly = false, stayedOpen = false;
    f.main->ShowOptions = [&](Opts& d) {
        shownHosts = d.NetRigHosts->text();
        shownReadOnly = d.NetRigRO->isChecked();
        d.NetRigHosts->selectAll();
        QTest::keyClicks(d.NetRigHosts, QStringLiteral("shack.example"));
        d.cmdOK->click();
        stayedOpen = d.Cancelled() && server->allowedHosts() == QLatin1String("192.0.2.0/24");
        d.NetRigHosts->selectAll();
        QTest::keyClicks(d.NetRigHosts, QStringLiteral("10.0.0.0/8, 192.0.2.7"));
        d.NetRigRO->click();
        d.cmdOK->click();
    };
    QVERIFY(f.main->OpenOptions(1, QString()));
    QCOMPARE(shownHosts, QStringLiteral("192.0.2.0/24"));
    QVERIFY(shownReadOnly);
    QVERIFY(stayedOpen);
    QCOMPARE(server->allowedHosts(), QStringLiteral("10.0.0.0/8, 192.0.2.7"));
    QVERIFY(!server->readOnly());
    f.stopMain();
    const auto hive = f.readHive();
    const QString app = QString::fromLatin1(Registry::AppKeyName);
    QCOMPARE(hive->RegGet(app, QString(), QStringLiteral("NET_RigctldHosts"), QString()).toString(),
             QStringLiteral("10.0.0.0/8, 192.0.2.7"));
    QCOMPARE(
        hive->RegGet(app, QString(), QStringLiteral("NET_RigctldReadOnly"), QVariant(1)).toInt(),
        0);
}

// A hosts list in the settings that does not read lets only this machine in, and stays as it
// was written. Needs the value in the settings.
void TestRigctlProgram::sharingListThatDoesNotRead() {
    KelvaneFixture::Options o;
    o.hiveLines << QStringLiteral("\"NET_RigctldHosts\"=\"shack.example\"");
    KelvaneFixture f(o);
    QVERIFY(f.ok());
    auto* server = f.main->findChild<RigctlServer*>();
    QVERIFY(server);
    QVERIFY(!server->hostAllowed(QHostAddress(QStringLiteral("192.0.2.9"))));
    QVERIFY(server->hostAllowed(QHostAddress(QHostAddress::LocalHost)));
    f.stopMain();
    QCOMPARE(f.readHive()
                 ->RegGet(QString::fromLatin1(Registry::AppKeyName), QString(),
                          QStringLiteral("NET_RigctldHosts"), QString())
                 .toString(),
             QStringLiteral("shack.example"));
}

void TestRigctlProgram::writesFollowTheWindowsState_data() {
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("scanning");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("wire");
    QTest::newRow("held") << true << false << QByteArray("RPRT 0\n") << QStringList{"F07125000"};
    QTest::newRow("not held") << false << false << QByteArray("RPRT -9\n") << QStringList{};
    QTest::newRow("scan running") << true << true << QByteArray("RPRT -9\n") << QStringList{};
}

void TestRigctlProgram::writesFollowTheWindowsState() {
    QFETCH(bool, held);
    QFETCH(bool, scanning);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, wire);
    const quint16 port = nrd535sim::SerialServer::freePort();
    KelvaneFixture f(serverOn(port));
    QVERIFY(f.ok());
    Main& m = *f.main;
    if (held) {
        m.receiver().Hook(true);
        m.SetLinkHeld(true);
    }
    if (scanning) m.SetScanState(ScanState::Stepping);
    QTcpSocket c;
    c.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    QVERIFY(c.waitForConnected(5000));
    QCOMPARE(ask(c, "\\get_powerstat\n"), QByteArray("1\n"));
    QCOMPARE(ask(c, "f\n"), QByteArray("9410000\n"));
    f.clearLines();
    QCOMPARE(ask(c, "F 7125000\n"), answer);
    QVERIFY(KelvaneFixture::waitFor([&] { return !m.tuner().Pending(); }));
    QStringList lines = f.takeLines();
    lines = lines.filter(QRegularExpression(QStringLiteral("^F")));
    QCOMPARE(lines, wire);
    if (!wire.isEmpty()) {
        // The window repaints from the receiver's report, and the next read has it.
        QVERIFY(f.waitTicking([&] { return ask(c, "f\n") == "7125000\n"; }));
    }
}

void TestRigctlProgram::commandLine_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("exitCode"); // -1: still running after the check
    QTest::newRow("listens") << "--rigctld=127.0.0.1:%1" << -1;
    QTest::newRow("port only") << "--rigctld=%1" << -1;
    QTest::newRow("bad value") << "--rigctld=nowhere" << 2;
}

void TestRigctlProgram::commandLine() {
    QFETCH(QString, option);
    QFETCH(int, exitCode);
    QTemporaryDir dir;
    const quint16 port = nrd535sim::SerialServer::freePort();
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(KELVANE_BINARY),
            {"--simulate", "--settings", dir.filePath("k.reg"), "--quit-after", "20000",
             option.contains("%1") ? option.arg(port) : option});
    QVERIFY(p.waitForStarted(5000));
    if (exitCode >= 0) {
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), exitCode);
        QVERIFY(p.readAllStandardError().contains("--rigctld"));
        return;
    }
    // The real hamlib client, once the program has connected to its receiver.
    const QString rigctl = QStandardPaths::findExecutable(QStringLiteral("rigctl"));
    QTcpSocket c;
    QVERIFY(KelvaneFixture::waitFor(
        [&] {
            if (c.state() != QAbstractSocket::ConnectedState) {
                c.abort();
                c.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
                if (!c.waitForConnected(200)) return false;
            }
            return ask(c, "f\n") == "9410000\n";
        },
        15000));
    if (!rigctl.isEmpty()) {
        QProcess client;
        client.start(rigctl, {"-m", "2", "-r", QStringLiteral("127.0.0.1:%1").arg(port), "f", "t"});
        QVERIFY(client.waitForFinished(15000));
        QCOMPARE(client.readAllStandardOutput(), QByteArray("9410000\n0\n"));
    }
    p.terminate();
    QVERIFY(p.waitForFinished(10000));
}

QTEST_MAIN(TestRigctlProgram)
#include "tst_rigctl_program.moc"
