// The program's side of the database link on a private session bus: kelvane-db as the
// database, the simulator as the receiver.

#include "link/database_message.h"
#include "link/database_scan.h"
#include "link/link_bus.h"
#include "link_rig.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using nrd535sim::RxSettings;

namespace {

RxSettings baseline() {
    RxSettings s;
    s.hz = 9410000;
    s.md = 0; // RTTY
    s.ft = 0; // Wide
    s.ag = 2; // Off
    return s;
}

QDBusMessage callProgram(const QString& member, const QList<QVariant>& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        ddebus::ServiceName(QStringLiteral("kelvane")), QLatin1String(ddebus::TopicPath),
        QLatin1String(ddebus::Interface), member);
    call.setArguments(args);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
}

} // namespace

class TestLinkBus : public QObject {
    Q_OBJECT
private slots:
    void receive_data();
    void receive();
    void send_data();
    void send();
    void calls_data();
    void calls();
    void retryCycle();
    void openAgainKeepsTheCycle();
    void messagesBackToBack();
    void floodCollapsesToTheNewest();
    void requestsNeedTheReceiver();
    void databaseLeaves_data();
    void databaseLeaves();
    void databaseScan();
    void noBus();
};

void TestLinkBus::receive_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("connected");
    // -1: unchanged from the baseline (9410000 Hz, RTTY, Wide, Off).
    QTest::addColumn<qint64>("hz");
    QTest::addColumn<int>("md");
    QTest::addColumn<int>("ft");
    QTest::addColumn<int>("ag");
    QTest::newRow("usb narrow slow")
        << "S|7125000|USB|Narrow|Slow|12" << true << qint64(7125000) << 2 << 2 << 0;
    QTest::newRow("unid medium fast")
        << "S|7125000|UNID|Medium|Fast|0" << true << qint64(7125000) << 4 << 1 << 1;
    QTest::newRow("lower-case names")
        << "S|7125000|usb|narrow|slow" << true << qint64(7125000) << 4 << 1 << 1;
    QTest::newRow("frequency only") << "S|6070000" << true << qint64(6070000) << 4 << 1 << 1;
    // The receiver's codes: 7 is ECSS on the upper sideband, 8 on the lower.
    QTest::newRow("ecss upper") << "S|6070000|ECSS-U|Wide|Slow|0" << true << qint64(6070000) << 7
                                << 0 << 0;
    QTest::newRow("ecss lower") << "S|6070000|ECSS-L|Wide|Slow|0" << true << qint64(6070000) << 8
                                << 0 << 0;
    QTest::newRow("fm aux off, junk after")
        << "S|6070000|FM|Aux.|Off|1|x|y" << true << qint64(6070000) << 5 << 3 << 2;
    QTest::newRow("long command word")
        << "Set|5000000|LSB|Narrow|Slow|3" << true << qint64(5000000) << 3 << 2 << 0;
    // An empty or unreadable frequency is 0, which the driver sends as its own default.
    QTest::newRow("frequency not a number")
        << "S|abc|CW|Narrow|Slow|1" << true << qint64(162000) << 1 << 2 << 0;
    QTest::newRow("frequency out of range")
        << "S|99000000|USB|Narrow|Slow|1" << true << qint64(-1) << 2 << 2 << 0;
    QTest::newRow("negative frequency")
        << "S|-7125000|USB|Narrow|Slow|1" << true << qint64(-1) << 2 << 2 << 0;
    QTest::newRow("no bar") << "S7125000" << true << qint64(-1) << -1 << -1 << -1;
    QTest::newRow("empty text") << "" << true << qint64(-1) << -1 << -1 << -1;
    QTest::newRow("no command") << "|7125000|USB|Narrow|Slow|1" << true << qint64(-1) << -1 << -1
                                << -1;
    QTest::newRow("other command")
        << "L|7125000|USB|Narrow|Slow|1" << true << qint64(-1) << -1 << -1 << -1;
    QTest::newRow("lower-case s") << "s|7125000|USB|Narrow|Slow|1" << true << qint64(-1) << -1 << -1
                                  << -1;
    QTest::newRow("receiver link closed")
        << "S|7125000|USB|Narrow|Slow|12" << false << qint64(-1) << -1 << -1 << -1;
}

void TestLinkBus::receive() {
    QFETCH(QString, text);
    QFETCH(bool, connected);
    QFETCH(qint64, hz);
    QFETCH(int, md);
    QFETCH(int, ft);
    QFETCH(int, ag);
    LinkRig rig;
    QVERIFY(rig.ok());
    const RxSettings before = baseline();
    QVERIFY(rig.setReceiver(before));
    DbProcess db;
    QVERIFY(rig.linkUp(db));
    rig.panel.state.Connected = connected;

    QSignalSpy received(&rig.link, &DatabaseLink::Received);
    db.send(text);
    QVERIFY(received.wait(5000));
    QCOMPARE(received.first().first().toString(), text);

    const bool changes = hz >= 0 || md >= 0;
    if (!changes) {
        QCOMPARE(rig.takeLines(), QStringList());
        QCOMPARE(rig.panel.tuned, QList<double>());
        return;
    }
    const qint64 wantHz = hz >= 0 ? hz : before.hz;
    QTRY_COMPARE_WITH_TIMEOUT(rig.sim.settings().hz, wantHz, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.sim.settings().md, md, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.sim.settings().ft, ft, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.sim.settings().ag, ag, 5000);
    // One tune through the panel (a text that is no number asks for 0, which the driver sends
    // as its substitute).
    QCOMPARE(rig.panel.tuned.size(), hz >= 0 ? 1 : 0);
}

void TestLinkBus::send_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("record");
    QTest::addColumn<QString>("text");
    QTest::newRow("store") << "store" << 3 << "R|6070000|AM|Wide|Fast|3";
    QTest::newRow("search") << "search" << 3 << "L|6070000|AM|Wide|Fast|3";
    QTest::newRow("next record") << "next" << 0 << "N|6070000|AM|Wide|Fast|0";
}

void TestLinkBus::send() {
    QFETCH(QString, action);
    QFETCH(int, record);
    QFETCH(QString, text);
    LinkRig rig;
    QVERIFY(rig.ok());
    RxSettings s;
    s.hz = 6070000;
    s.md = 4; // AM
    s.ft = 0; // Wide
    s.ag = 1; // Fast
    QVERIFY(rig.setReceiver(s));
    DbProcess db;
    QVERIFY(rig.linkUp(db));
    rig.link.DatabaseRecord(record);

    if (action == QLatin1String("store")) rig.link.Store();
    if (action == QLatin1String("search")) rig.link.Search();
    if (action == QLatin1String("next")) rig.link.RequestNext();
    QCOMPARE(db.takeLine(), text);
    QCOMPARE(rig.link.DDECt2Db(), text);
    QCOMPARE(rig.link.DatabaseRecord(), action == QLatin1String("next") ? record + 1 : record);

    // The item is readable as a property as well.
    QDBusMessage get = QDBusMessage::createMethodCall(
        ddebus::ServiceName(QStringLiteral("kelvane")), QLatin1String(ddebus::TopicPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QLatin1String(ddebus::Interface) << QLatin1String(ddebus::ProgramItem);
    const QDBusReply<QDBusVariant> value = QDBusConnection::sessionBus().call(get);
    QVERIFY(value.isValid());
    QCOMPARE(value.value().variant().toString(), text);
}

void TestLinkBus::calls_data() {
    QTest::addColumn<QString>("member");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("error"); // empty: accepted
    QTest::addColumn<bool>("opens");
    QTest::newRow("execute") << "Execute" << QVariantList{QStringLiteral("[Tune(7125000)]")}
                             << ddebus::ErrorRefused << false;
    QTest::newRow("execute an S message")
        << "Execute" << QVariantList{QStringLiteral("S|7125000|USB|Narrow|Slow|1")}
        << ddebus::ErrorRefused << false;
    QTest::newRow("open another topic")
        << "Open" << QVariantList{QStringLiteral("System")} << ddebus::ErrorNoTopic << false;
    QTest::newRow("open without topic")
        << "Open" << QVariantList{} << "org.freedesktop.DBus.Error.UnknownMethod" << false;
    QTest::newRow("open with a number")
        << "Open" << QVariantList{42} << "org.freedesktop.DBus.Error.UnknownMethod" << false;
    QTest::newRow("unknown method") << "Poke" << QVariantList{QStringLiteral("S|1")}
                                    << "org.freedesktop.DBus.Error.UnknownMethod" << false;
    QTest::newRow("open Main") << "Open" << QVariantList{QStringLiteral("Main")} << "" << true;
    QTest::newRow("open main, any case")
        << "Open" << QVariantList{QStringLiteral("MAIN")} << "" << true;
}

void TestLinkBus::calls() {
    QFETCH(QString, member);
    QFETCH(QVariantList, args);
    QFETCH(QString, error);
    QFETCH(bool, opens);
    LinkRig rig;
    QVERIFY(rig.ok());
    rig.takeLines();
    const QDBusMessage reply = callProgram(member, args);
    if (error.isEmpty()) {
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    } else {
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(reply.errorName(), error);
    }
    QCOMPARE(rig.link.LinkPending(), opens);
    QCOMPARE(rig.link.TimDDEInterval(), opens ? DatabaseLink::FirstTryMs : 0);
    // Nothing reached the receiver.
    QCOMPARE(rig.takeLines(), QStringList());
    QCOMPARE(rig.panel.tuned, QList<double>());
}

void TestLinkBus::retryCycle() {
    LinkRig rig;
    QVERIFY(rig.ok());
    QSignalSpy linked(&rig.link, &DatabaseLink::DbLinkedChanged);

    // Ticks before any conversation do nothing.
    rig.tick();
    QCOMPARE(rig.link.TimDDEInterval(), 0);

    // The test opens the conversation; no database is on the bus yet.
    QCOMPARE(callProgram(QStringLiteral("Open"), {QStringLiteral("Main")}).type(),
             QDBusMessage::ReplyMessage);
    QCOMPARE(rig.link.TimDDEInterval(), DatabaseLink::FirstTryMs);
    for (int i = 0; i < 3; ++i) {
        rig.tick();
        QVERIFY(!rig.link.Linked());
        QVERIFY(rig.link.LinkPending());
        QCOMPARE(rig.link.TimDDEInterval(), DatabaseLink::RetryMs);
    }
    QCOMPARE(linked.count(), 0);

    // The database arrives (and opens a conversation of its own, which keeps the cycle going);
    // the next tick links back.
    DbProcess db;
    QVERIFY(QTest::qWaitFor([&] { return db.err().contains(QLatin1String("conversation open")); },
                            8000));
    QCOMPARE(rig.link.TimDDEInterval(), DatabaseLink::RetryMs);
    rig.tick();
    QVERIFY(rig.link.Linked());
    QVERIFY(!rig.link.LinkPending());
    QCOMPARE(rig.link.TimDDEInterval(), DatabaseLink::LinkedMs);
    QCOMPARE(linked.count(), 1);
    QCOMPARE(linked.first().first().toBool(), true);
    QVERIFY(db.waitErr(QStringLiteral("linked")));

    // Later ticks change nothing.
    rig.tick();
    QVERIFY(rig.link.Linked());
    QCOMPARE(linked.count(), 1);
}

// A peer calling Open over and over does not put off the link back: the cycle goes on.
void TestLinkBus::openAgainKeepsTheCycle() {
    LinkRig rig;
    QVERIFY(rig.ok());
    const auto open = [] {
        return callProgram(QStringLiteral("Open"), {QStringLiteral("Main")}).type();
    };
    QCOMPARE(open(), QDBusMessage::ReplyMessage);
    QCOMPARE(rig.link.TimDDEInterval(), DatabaseLink::FirstTryMs);
    rig.tick();
    QCOMPARE(rig.link.TimDDEInterval(), DatabaseLink::RetryMs);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(open(), QDBusMessage::ReplyMessage);
        QCOMPARE(rig.link.TimDDEInterval(), DatabaseLink::RetryMs);
        QVERIFY(rig.link.LinkPending());
    }

    // With the timer running, an Open every second still sees the attempt made on time.
    rig.link.SetTimerRunning(true);
    DbProcess db;
    QElapsedTimer clock;
    clock.start();
    while (!rig.link.Linked() && clock.elapsed() < 12000) {
        QCOMPARE(open(), QDBusMessage::ReplyMessage);
        QTest::qWait(1000);
    }
    QVERIFY(rig.link.Linked());
}

// Two messages one right behind the other: the receiver ends with all of the second one.
void TestLinkBus::messagesBackToBack() {
    LinkRig rig;
    QVERIFY(rig.ok());
    QVERIFY(rig.setReceiver(baseline()));
    DbProcess db;
    QVERIFY(rig.linkUp(db));
    QSignalSpy received(&rig.link, &DatabaseLink::Received);
    db.send(QStringLiteral("S|7100000|USB|Narrow|Slow|0"));
    db.send(QStringLiteral("S|6070000|AM|Wide|Fast|0"));
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 2, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.link.MessageWaiting(), 5000);
    RxSettings want;
    want.hz = 6070000;
    want.md = 4; // AM
    want.ft = 0; // Wide
    want.ag = 1; // Fast
    QVERIFY(rig.waitReported([&] { return rig.sim.settings().hz == want.hz; }));
    QTest::qWait(200);
    QCOMPARE(rig.sim.settings().hz, want.hz);
    QCOMPARE(rig.sim.settings().md, want.md);
    QCOMPARE(rig.sim.settings().ft, want.ft);
    QCOMPARE(rig.sim.settings().ag, want.ag);
}

// Messages faster than the line carries them: the commands of only a few go out, the receiver
// ends on the newest, and nothing is left to run once the flood is over.
void TestLinkBus::floodCollapsesToTheNewest() {
    LinkRig rig;
    QVERIFY(rig.ok());
    QVERIFY(rig.setReceiver(baseline()));
    DbProcess db;
    QVERIFY(rig.linkUp(db));
    QSignalSpy received(&rig.link, &DatabaseLink::Received);
    constexpr int Count = 100;
    const char* modes[] = {"USB", "LSB", "CW"};
    const char* agcs[] = {"Slow", "Fast"};
    QByteArray lines;
    for (int i = 0; i < Count; ++i)
        lines += QStringLiteral("S|%1|%2|Narrow|%3|%4\n")
                     .arg(7000000 + 1000 * i)
                     .arg(QLatin1String(modes[i % 3]), QLatin1String(agcs[i % 2]))
                     .arg(i)
                     .toLatin1();
    db.proc.write(lines); // one write: the messages arrive as fast as the bus carries them
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), Count, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.link.MessageWaiting(), 5000);
    QVERIFY(
        rig.waitReported([&] { return rig.sim.settings().hz == 7000000 + 1000 * (Count - 1); }));
    const QStringList wire = rig.takeLines();
    const qsizetype tunes = std::count_if(
        wire.begin(), wire.end(), [](const QString& l) { return l.startsWith(QLatin1Char('F')); });
    QVERIFY2(tunes < Count / 4, qPrintable(QString::number(tunes)));
    QCOMPARE(rig.sim.settings().md, (Count - 1) % 3 == 0 ? 2 : (Count - 1) % 3 == 1 ? 3 : 1);
    QCOMPARE(rig.sim.settings().ag, (Count - 1) % 2);
    QCOMPARE(rig.sim.settings().ft, 2);
    // The flood is over: nothing more goes out.
    QTest::qWait(300);
    QCOMPARE(rig.takeLines(), QStringList());
}

// Store and Search say what the receiver is on: with no receiver there is nothing to say.
void TestLinkBus::requestsNeedTheReceiver() {
    LinkRig rig;
    QVERIFY(rig.ok());
    DbProcess db;
    QVERIFY(rig.linkUp(db));
    rig.rx.Disc();
    rig.panel.state.Connected = false;
    QSignalSpy published(&rig.link, &DatabaseLink::Published);
    QVERIFY(!rig.link.Store());
    QVERIFY(!rig.link.Search());
    rig.link.RequestNext();
    QCOMPARE(published.count(), 0);
    QCOMPARE(rig.link.DatabaseRecord(), 0);
    QCOMPARE(db.takeLine(500), QString());
}

void TestLinkBus::databaseLeaves_data() {
    QTest::addColumn<bool>("explicitClose");
    QTest::newRow("ends the conversation") << true;
    QTest::newRow("leaves the bus") << false;
}

void TestLinkBus::databaseLeaves() {
    QFETCH(bool, explicitClose);
    LinkRig rig;
    QVERIFY(rig.ok());
    QSignalSpy linked(&rig.link, &DatabaseLink::DbLinkedChanged);
    {
        DbProcess db;
        QVERIFY(rig.linkUp(db));
        QCOMPARE(linked.count(), 1);
        if (explicitClose) {
            db.endInput(); // kelvane-db ends the conversation, then exits
            QVERIFY(db.proc.waitForFinished(5000));
            QCOMPARE(db.proc.exitCode(), 0);
        } else {
            db.proc.kill();
            QVERIFY(db.proc.waitForFinished(5000));
        }
        QTRY_COMPARE_WITH_TIMEOUT(linked.count(), 2, 5000);
        QCOMPARE(linked.last().first().toBool(), false);
        QVERIFY(!rig.link.Linked());
        QVERIFY(!rig.link.LinkPending());
    }
    // A text sent after the end reaches nobody; a new conversation links again.
    DbProcess again;
    QVERIFY(rig.linkUp(again));
    QCOMPARE(linked.last().first().toBool(), true);
    QVERIFY(rig.setReceiver(baseline()));
    again.send(QStringLiteral("S|7125000|USB|Narrow|Slow|0"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.sim.settings().hz, qint64(7125000), 5000);
}

void TestLinkBus::databaseScan() {
    LinkRig rig;
    QVERIFY(rig.ok());
    QVERIFY(rig.setReceiver(baseline()));
    DatabaseScanSource scan(rig.link);

    // Not linked: nothing to scan.
    QVERIFY(!scan.Begin());
    QVERIFY(!scan.Next());

    DbProcess db;
    QVERIFY(rig.linkUp(db));
    struct Record {
        qint64 hz;
        const char* mode;
        const char* filter;
        const char* agc;
    };
    const Record records[] = {{5000000, "USB", "Narrow", "Slow"},
                              {6070000, "AM", "Wide", "Fast"},
                              {7125000, "CW", "Narrow", "Off"}};
    QString expect = QStringLiteral("N|9410000|RTTY|Wide|Off|0");
    QVERIFY(scan.Begin());
    int n = 0;
    for (const Record& r : records) {
        QVERIFY(scan.Next());
        QCOMPARE(db.takeLine(), expect);
        QCOMPARE(rig.link.DatabaseRecord(), n + 1);
        // The database answers with the record; it tunes the receiver.
        db.send(QStringLiteral("S|%1|%2|%3|%4|%5")
                    .arg(r.hz)
                    .arg(QLatin1String(r.mode), QLatin1String(r.filter), QLatin1String(r.agc))
                    .arg(n));
        QVERIFY(rig.waitReported([&] {
            return rig.rx.Fr() == double(r.hz) &&
                   rig.rx.MD() == ModeCodeFromName(QLatin1String(r.mode)) &&
                   rig.rx.AG() == AgcCodeFromName(QLatin1String(r.agc));
        }));
        ++n;
        expect = QStringLiteral("N|%1|%2|%3|%4|%5")
                     .arg(r.hz)
                     .arg(QLatin1String(r.mode), QLatin1String(r.filter), QLatin1String(r.agc))
                     .arg(n);
    }
    scan.End();

    // The database goes: the next step fails.
    db.proc.kill();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.link.Linked(), 5000);
    QVERIFY(!scan.Next());
}

void TestLinkBus::noBus() {
    LinkRig rig;
    QVERIFY(rig.ok());
    Nrd535& rx = rig.rx;
    DriverPanel panel(rx);
    panel.state.Connected = true;
    DatabaseLink off(panel, rx);
    off.SetTimerRunning(false);
    const QDBusConnection none = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=%1").arg(rig.dir.filePath(QStringLiteral("no-bus"))),
        QStringLiteral("no-bus"));
    QVERIFY(!none.isConnected());
    QVERIFY(!off.Start(QStringLiteral("Morrowby"), QStringLiteral("kelvane2"), none));
    QVERIFY(!off.Active());
    // Everything else goes on as before: the buttons still build their message, nothing links.
    off.Store();
    QVERIFY(off.DDECt2Db().startsWith(QLatin1String("R|")));
    off.TimDDE_Timer();
    QVERIFY(!off.Linked());
    QCOMPARE(off.TimDDEInterval(), 0);
    QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

QTEST_GUILESS_MAIN(TestLinkBus)
#include "tst_link_bus.moc"
