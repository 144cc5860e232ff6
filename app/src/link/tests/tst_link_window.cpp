// The database link in the real window: the database picture and the Store and Search buttons
// follow the link, the buttons and the "BS"/"BL" keys publish their requests, and the "SD" scan
// runs on the update timer's ticks. kelvane-db is the database, on a private session bus.

#include "fixture.h"
#include "link/database_link.h"
#include "link_rig.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

namespace {

KelvaneFixture::Options Hive() {
    KelvaneFixture::Options o;
    o.hiveLines = {QStringLiteral("\"BND_AutoMD\"=dword:00000000"),
                   QStringLiteral("\"BND_AutoFT\"=dword:00000000"),
                   QStringLiteral("\"SCN_Delay\"=dword:00000001")};
    return o;
}

DbProcess* StartDatabase() {
    return new DbProcess({QStringLiteral("--listen"), QStringLiteral("--program"),
                          QCoreApplication::applicationName()});
}

// Holds the receiver ("U"), and links a new kelvane-db, ticking TimDDE by hand.
bool Ready(KelvaneFixture& fx, DatabaseLink*& link, std::unique_ptr<DbProcess>& db) {
    link = fx.main->findChild<DatabaseLink*>();
    if (!link || !link->Active()) return false;
    link->SetTimerRunning(false);
    QTest::keyClick(fx.main->Dummy, 'u');
    if (!KelvaneFixture::waitFor([&] { return fx.main->State().RemoteHeld; })) return false;
    db.reset(StartDatabase());
    if (!KelvaneFixture::waitFor([&] { return link->LinkPending(); }, 8000)) return false;
    link->TimDDE_Timer();
    return KelvaneFixture::waitFor([&] { return link->Linked(); }) &&
           db->waitErr(QStringLiteral("linked"));
}

} // namespace

class TestLinkWindow : public QObject {
    Q_OBJECT
private slots:
    void indicator();
    void requests_data();
    void requests();
    void databaseScan();
};

void TestLinkWindow::indicator() {
    KelvaneFixture fx(Hive());
    QVERIFY(fx.ok());
    Main& m = *fx.main;
    QVERIFY(!m.FrDbImg->isVisible());
    QVERIFY(!m.Store->isEnabled());
    QVERIFY(!m.Search->isEnabled());
    DatabaseLink* link = nullptr;
    std::unique_ptr<DbProcess> db;
    QVERIFY(Ready(fx, link, db));
    QVERIFY(m.State().DbLinked);
    QVERIFY(m.FrDbImg->isVisible());
    QVERIFY(m.Store->isEnabled());
    QVERIFY(m.Search->isEnabled());

    db.reset(); // the database leaves the bus
    QTRY_VERIFY_WITH_TIMEOUT(!m.State().DbLinked, 5000);
    QVERIFY(!m.FrDbImg->isVisible());
    QVERIFY(!m.Store->isEnabled());
    QVERIFY(!m.Search->isEnabled());
}

void TestLinkWindow::requests_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("text"); // empty: nothing published
    QTest::addColumn<bool>("beep");
    QTest::newRow("Store button") << "store"
                                  << "R|9410000|AM|Wide|Slow|0" << false;
    QTest::newRow("Search button") << "search"
                                   << "L|9410000|AM|Wide|Slow|0" << false;
    QTest::newRow("BS") << "BS"
                        << "R|9410000|AM|Wide|Slow|0" << false;
    QTest::newRow("BL") << "BL"
                        << "L|9410000|AM|Wide|Slow|0" << false;
    QTest::newRow("BX refused") << "BX"
                                << "" << true;
}

void TestLinkWindow::requests() {
    QFETCH(QString, how);
    QFETCH(QString, text);
    QFETCH(bool, beep);
    KelvaneFixture fx(Hive());
    QVERIFY(fx.ok());
    Main& m = *fx.main;
    DatabaseLink* link = nullptr;
    std::unique_ptr<DbProcess> db;
    QVERIFY(Ready(fx, link, db));
    QSignalSpy published(link, &DatabaseLink::Published);
    const int beeps = m.BeepCount;

    if (how == QLatin1String("store")) KelvaneFixture::click(m.Store);
    if (how == QLatin1String("search")) KelvaneFixture::click(m.Search);
    if (how.startsWith(u'B')) {
        QTest::keyClick(m.Dummy, how.at(0).toLower().toLatin1());
        QTest::keyClick(m.Dummy, how.at(1).toLower().toLatin1());
    }
    if (text.isEmpty()) {
        QCOMPARE(published.count(), 0);
    } else {
        QCOMPARE(db->takeLine(), text);
    }
    QCOMPARE(m.BeepCount - beeps, beep ? 1 : 0);
}

void TestLinkWindow::databaseScan() {
    KelvaneFixture fx(Hive());
    QVERIFY(fx.ok());
    Main& m = *fx.main;
    // Unlinked, "SD" is refused with the beep.
    int beeps = m.BeepCount;
    QTest::keyClick(m.Dummy, 'u');
    QTest::keyClick(m.Dummy, 's');
    QTest::keyClick(m.Dummy, 'd');
    QCOMPARE(m.BeepCount - beeps, 1);
    QCOMPARE(m.State().Scan, ScanState::Idle);

    DatabaseLink* link = nullptr;
    std::unique_ptr<DbProcess> db;
    QVERIFY(Ready(fx, link, db));
    fx.clearLines();
    QTest::keyClick(m.Dummy, 's');
    QTest::keyClick(m.Dummy, 'd');
    QCOMPARE(m.State().Scan, ScanState::Database);
    QVERIFY(m.State().PanelLocked);

    const qint64 records[] = {5000000, 6070000, 7125000};
    for (int n = 0; n < 3; ++n) {
        // Each dwell asks for the next record; the answer tunes. Requests the ticks made while
        // waiting for an answer may still be on their way: the one wanted carries n.
        link->DatabaseRecord(n);
        const QString suffix = QStringLiteral("|%1").arg(n);
        QString asked;
        for (int i = 0; i < 20 && !asked.endsWith(suffix); ++i) {
            fx.tick();
            for (QString line = db->takeLine(100); !line.isEmpty() && !asked.endsWith(suffix);
                 line = db->takeLine(20))
                asked = line;
        }
        QVERIFY2(asked.startsWith(QLatin1String("N|")) && asked.endsWith(suffix),
                 qPrintable(asked));
        db->send(QStringLiteral("S|%1|USB|Narrow|Slow|%2").arg(records[n]).arg(n));
        QVERIFY(fx.waitTicking([&] { return m.receiver().Fr() == double(records[n]); }));
    }
    QTest::keyClick(m.Dummy, Qt::Key_Escape);
    QCOMPARE(m.State().Scan, ScanState::Idle);

    // Starting again and losing the database: the next step stops the scan with the beep.
    QTest::keyClick(m.Dummy, 's');
    QTest::keyClick(m.Dummy, 'd');
    QCOMPARE(m.State().Scan, ScanState::Database);
    db.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!link->Linked(), 5000);
    beeps = m.BeepCount;
    fx.tick(2);
    QCOMPARE(m.State().Scan, ScanState::Idle);
    QCOMPARE(m.BeepCount - beeps, 1);
}

QTEST_MAIN(TestLinkWindow)
#include "tst_link_window.moc"
