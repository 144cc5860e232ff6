// kelvane-db, the database's side for scripts, and the documented calls with busctl and gdbus,
// on a private session bus with the program's link and the simulator.

#include "link/link_bus.h"
#include "link_rig.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTest>

using nrd535sim::RxSettings;

namespace {

RxSettings baseline() {
    RxSettings s;
    s.hz = 9410000;
    s.md = 0;
    s.ft = 0;
    s.ag = 2;
    return s;
}

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs a command to its end, ticking the program's TimDDE meanwhile when a rig is given.
Run runTicking(const QString& program, const QStringList& args, LinkRig* rig,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.closeWriteChannel();
    Run r;
    if (!p.waitForStarted(5000)) return r;
    for (int i = 0; i < 300 && p.state() != QProcess::NotRunning; ++i) {
        if (rig && rig->link.LinkPending()) rig->tick();
        p.waitForFinished(50);
        QCoreApplication::processEvents();
    }
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TestLinkDb : public QObject {
    Q_OBJECT
private slots:
    void refused_data();
    void refused();
    void nameTaken();
    void commandLineMessages();
    void programRestarts();
    void poke_data();
    void poke();
    void documentedCalls_data();
    void documentedCalls();
};

void TestLinkDb::refused_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("bus");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");
    QTest::newRow("message too long")
        << QStringList{QString(ddebus::MaxMessageLength + 1, QLatin1Char('S'))} << true << 2
        << "longer than";
    QTest::newRow("message over two lines")
        << QStringList{QStringLiteral("S|1\nS|2")} << true << 2 << "control character";
    QTest::newRow("timeout not a number")
        << QStringList{QStringLiteral("--timeout"), QStringLiteral("soon")} << true << 2
        << "--timeout";
    QTest::newRow("no session bus")
        << QStringList{QStringLiteral("S|1")} << false << 2 << "no session bus";
    QTest::newRow("no program on the bus")
        << QStringList{QStringLiteral("--timeout"), QStringLiteral("1"), QStringLiteral("S|1")}
        << true << 1 << "did not link back";
}

void TestLinkDb::refused() {
    QFETCH(QStringList, args);
    QFETCH(bool, bus);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!bus)
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("none")));
    const Run r = runTicking(QStringLiteral(KELVANE_DB_BINARY), args, nullptr, env);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(err), qPrintable(r.err));
    QCOMPARE(r.out, QString());
}

void TestLinkDb::nameTaken() {
    DbProcess first({QStringLiteral("--listen")});
    QVERIFY(first.waitErr(QStringLiteral("waiting for")));
    const Run second =
        runTicking(QStringLiteral(KELVANE_DB_BINARY), {QStringLiteral("S|1")}, nullptr);
    QCOMPARE(second.exitCode, 2);
    QVERIFY2(second.err.contains(QLatin1String("already taken")), qPrintable(second.err));
}

void TestLinkDb::commandLineMessages() {
    LinkRig rig;
    QVERIFY(rig.ok());
    QVERIFY(rig.setReceiver(baseline()));
    const Run r = runTicking(
        QStringLiteral(KELVANE_DB_BINARY),
        {QStringLiteral("S|6070000|AM|Wide|Fast|0"), QStringLiteral("S|7125000|USB|Narrow|Slow|1")},
        &rig);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.contains(QLatin1String("linked")), qPrintable(r.err));
    // Both arrived, in order: the last one holds.
    QTRY_COMPARE_WITH_TIMEOUT(rig.sim.settings().hz, qint64(7125000), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.sim.settings().md, 2, 5000);
    QCOMPARE(rig.panel.tuned, (QList<double>{6070000, 7125000}));
    // It ended the conversation on its way out.
    QTRY_VERIFY_WITH_TIMEOUT(!rig.link.Linked(), 5000);
}

void TestLinkDb::programRestarts() {
    LinkRig rig;
    QVERIFY(rig.ok());
    QVERIFY(rig.setReceiver(baseline()));
    DbProcess db({QStringLiteral("--listen")});
    QVERIFY(rig.linkUp(db));

    // The program goes and comes back: kelvane-db opens the conversation again by itself, and
    // what it is given meanwhile goes out once the link is back.
    rig.link.Stop();
    QVERIFY(db.waitErr(QStringLiteral("link closed")));
    db.send(QStringLiteral("S|7125000|USB|Narrow|Slow|0"));
    QVERIFY(rig.link.Start(QStringLiteral("Morrowby"), QStringLiteral("kelvane")));
    QVERIFY(QTest::qWaitFor([&] { return rig.link.LinkPending(); }, 8000));
    rig.tick();
    QVERIFY(rig.link.Linked());
    QTRY_COMPARE_WITH_TIMEOUT(rig.sim.settings().hz, qint64(7125000), 5000);
    // The receiver's report of it reaches the driver before the search reads it.
    QVERIFY(rig.waitReported([&] { return rig.rx.Fr() == 7125000 && rig.rx.AG() == ostry::Slow; }));
    rig.link.Search();
    QCOMPARE(db.takeLine(), QStringLiteral("L|7125000|USB|Narrow|Slow|0"));
}

void TestLinkDb::poke_data() {
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("error");
    QTest::addColumn<qint64>("hz"); // -1: not tuned
    QTest::newRow("message") << QVariantList{QStringLiteral("S|7125000|USB|Narrow|Slow|0")} << ""
                             << qint64(7125000);
    QTest::newRow("too long") << QVariantList{QString(ddebus::MaxMessageLength + 1,
                                                      QLatin1Char('S'))}
                              << ddebus::ErrorBadText << qint64(-1);
    QTest::newRow("two lines") << QVariantList{QStringLiteral("S|5000000\nS|6000000")}
                               << ddebus::ErrorBadText << qint64(-1);
    QTest::newRow("not a text") << QVariantList{7125000}
                                << "org.freedesktop.DBus.Error.UnknownMethod" << qint64(-1);
}

void TestLinkDb::poke() {
    QFETCH(QVariantList, args);
    QFETCH(QString, error);
    QFETCH(qint64, hz);
    LinkRig rig;
    QVERIFY(rig.ok());
    QVERIFY(rig.setReceiver(baseline()));
    DbProcess db({QStringLiteral("--listen")});
    QVERIFY(rig.linkUp(db));

    QDBusMessage call = QDBusMessage::createMethodCall(
        ddebus::ServiceName(QStringLiteral("Morrowby")), QLatin1String(ddebus::TopicPath),
        QLatin1String(ddebus::Interface), QStringLiteral("Poke"));
    call.setArguments(args);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    if (error.isEmpty()) {
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE_WITH_TIMEOUT(rig.sim.settings().hz, hz, 5000);
    } else {
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(reply.errorName(), error);
        QCOMPARE(rig.takeLines(), QStringList());
        QCOMPARE(rig.panel.tuned, QList<double>());
    }
}

void TestLinkDb::documentedCalls_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // standard output and error together hold this
    QTest::addColumn<qint64>("hz");   // the receiver afterwards, -1 unchanged
    const QString dest = QStringLiteral("org.dunmore.dde.kelvane");
    const QString db = QStringLiteral("org.dunmore.dde.Morrowby");
    const QString iface = QStringLiteral("org.dunmore.dde.Conversation");
    QTest::newRow("busctl poke") << "busctl" << QStringList{"--user", "call",
                                                            db,       "/Main",
                                                            iface,    "Poke",
                                                            "s",      "S|7125000|USB|Narrow|Slow|0"}
                                 << 0 << "" << qint64(7125000);
    QTest::newRow("busctl get-property")
        << "busctl" << QStringList{"--user", "get-property", dest, "/Main", iface, "DDECt2Db"} << 0
        << "s \"R|9410000|RTTY|Wide|Off|0\"" << qint64(-1);
    QTest::newRow("busctl execute refused")
        << "busctl" << QStringList{"--user", "call", dest, "/Main", iface, "Execute", "s", "x"} << 1
        << "executes no commands" << qint64(-1);
    QTest::newRow("gdbus poke")
        << "gdbus" << QStringList{"call",     "--session",     "--dest",
                                  db,         "--object-path", "/Main",
                                  "--method", iface + ".Poke", "S|6070000|AM|Wide|Fast|0"}
        << 0 << "" << qint64(6070000);
    QTest::newRow("gdbus introspect")
        << "gdbus"
        << QStringList{"introspect", "--session", "--dest", dest, "--object-path", "/Main"} << 0
        << "readonly s DDECt2Db" << qint64(-1);
    QTest::newRow("gdbus execute refused")
        << "gdbus" << QStringList{"call",  "--session", "--dest",           dest, "--object-path",
                                  "/Main", "--method",  iface + ".Execute", "x"}
        << 1 << "org.dunmore.dde.Error.Refused" << qint64(-1);
}

void TestLinkDb::documentedCalls() {
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(qint64, hz);
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) QSKIP("tool not installed");
    LinkRig rig;
    QVERIFY(rig.ok());
    QVERIFY(rig.setReceiver(baseline()));
    DbProcess db({QStringLiteral("--listen")});
    QVERIFY(rig.linkUp(db));
    rig.link.Store();
    QCOMPARE(db.takeLine(), QStringLiteral("R|9410000|RTTY|Wide|Off|0"));

    const Run r = runTicking(path, args, nullptr);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2((r.out + r.err).contains(out), qPrintable(r.out + r.err));
    if (hz >= 0)
        QTRY_COMPARE_WITH_TIMEOUT(rig.sim.settings().hz, hz, 5000);
    else
        QCOMPARE(rig.panel.tuned, QList<double>());
}

QTEST_GUILESS_MAIN(TestLinkDb)
#include "tst_link_db.moc"
