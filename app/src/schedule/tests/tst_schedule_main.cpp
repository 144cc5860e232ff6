// The schedule in the real window against the simulator: the panel's on-air line, the "On the
// air now" window ("SO"), the on-air scan ("SA") and the file named in the options dialog.

#include "fixture.h"

#include "scan/scan_engine.h"
#include "schedule/ui/on_air_window.h"
#include "schedule/ui/schedule_wiring.h"
#include "ui/main_window.h"
#include "ui/opts.h"

#include <ostry/nrd535.h>

#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// On the air at every hour of every day, so the test does not depend on the clock.
const QByteArray AllDay =
    "kHz:75;Time(UTC):93;Days:59;ITU:49;Station:201;Lng:49;Target:62;Remarks:135;P:35;Start:60;"
    "Stop:60;\r\n"
    "6070;0000-2400;;CAN;CFRX;E;NAm;Toronto;1;;\r\n"
    "6100;0000-2400;;X;Never;E;Eu;;8;;\r\n"
    "6160;0000-2400;;CAN;CKZN;E;NAm;St John's;1;;\r\n";

QString writeSchedule(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("sked-B25.csv"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write(AllDay);
    return path;
}

KelvaneFixture::Options WithSchedule(const QString& path) {
    KelvaneFixture::Options o;
    QString escaped = path;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    o.hiveLines = {QStringLiteral("\"SKD_File\"=\"%1\"").arg(escaped)};
    return o;
}

ScheduleRoom* room(KelvaneFixture& fx) {
    return fx.main->findChild<ScheduleRoom*>();
}

bool hold(KelvaneFixture& fx) {
    QTest::keyClick(fx.main->Dummy, 'u');
    return KelvaneFixture::waitFor([&] { return fx.main->State().RemoteHeld; });
}

QList<qint64> tunes(const QStringList& lines) {
    QList<qint64> hz;
    for (const QString& l : lines)
        if (l.startsWith(QLatin1Char('F'))) hz << l.mid(1).toLongLong();
    return hz;
}

} // namespace

class TestScheduleMain : public QObject {
    Q_OBJECT
private slots:
    void panelShowsWhoIsOnAir();
    void withoutScheduleNothingShows();
    void windowTunesARow();
    void onAirScan();
    void fileFromTheOptions();
};

void TestScheduleMain::panelShowsWhoIsOnAir() {
    QTemporaryDir dir;
    KelvaneFixture fx(WithSchedule(writeSchedule(dir)));
    QVERIFY(fx.ok());
    QCOMPARE(room(fx)->Sked().Size(), std::size_t(3));
    QLabel* line = room(fx)->OnAirLabel();
    fx.sim.panelTune(6070000);
    QVERIFY(fx.waitTicking([&] { return line->isVisible(); }));
    QCOMPARE(line->text(), QStringLiteral("CFRX, E, NAm"));
    // Within a kHz still counts; an inactive entry never shows.
    fx.sim.panelTune(6160500);
    QVERIFY(fx.waitTicking([&] { return line->text() == QStringLiteral("CKZN, E, NAm"); }));
    fx.sim.panelTune(6100000);
    QVERIFY(fx.waitTicking([&] { return !line->isVisible(); }));
}

void TestScheduleMain::withoutScheduleNothingShows() {
    KelvaneFixture fx;
    QVERIFY(fx.ok());
    QVERIFY(room(fx)->Sked().Empty());
    fx.sim.panelTune(6070000);
    QVERIFY(fx.waitTicking([&] { return fx.main->receiver().Fr() == 6070000; }));
    // Longer than the panel waits for the receiver to rest.
    QTest::qWait(400);
    QVERIFY(!room(fx)->OnAirLabel()->isVisible());
    // The on-air scan has nothing to step through: refused with the beep.
    QVERIFY(hold(fx));
    const int beeps = fx.main->BeepCount;
    QTest::keyClick(fx.main->Dummy, 's');
    QTest::keyClick(fx.main->Dummy, 'a');
    QCOMPARE(fx.main->BeepCount, beeps + 1);
    QVERIFY(!fx.main->State().Scanning());
    // The window still opens and says why it is empty.
    QTest::keyClick(fx.main->Dummy, 's');
    QTest::keyClick(fx.main->Dummy, 'o');
    QVERIFY(room(fx)->Window());
    QVERIFY(room(fx)->Window()->Status()->text().contains(QStringLiteral("No schedule")));
    QCOMPARE(room(fx)->Window()->Model().rowCount(), 0);
}

void TestScheduleMain::windowTunesARow() {
    QTemporaryDir dir;
    KelvaneFixture fx(WithSchedule(writeSchedule(dir)));
    QVERIFY(fx.ok());
    QVERIFY(hold(fx));
    fx.clearLines();
    QTest::keyClick(fx.main->Dummy, 's');
    QTest::keyClick(fx.main->Dummy, 'o');
    OnAirWindow* w = room(fx)->Window();
    QVERIFY(w);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->Model().rowCount(), 2);
    w->Table()->setFocus();
    w->Table()->setCurrentIndex(w->Model().index(0, 0));
    QTest::keyClick(w->Table(), Qt::Key_Down);
    QTest::keyClick(w->Table(), Qt::Key_Return);
    QVERIFY(fx.waitTicking([&] { return fx.sim.settings().hz == 6160000; }));
    QTest::keyClick(w, Qt::Key_Escape);
    QVERIFY(KelvaneFixture::waitFor([&] { return !room(fx)->Window(); }));
}

void TestScheduleMain::onAirScan() {
    QTemporaryDir dir;
    KelvaneFixture fx(WithSchedule(writeSchedule(dir)));
    QVERIFY(fx.ok());
    fx.sim.panelTune(6000000);
    QVERIFY(fx.waitTicking([&] { return fx.main->receiver().Fr() == 6000000; }));
    QVERIFY(hold(fx));
    // Between the marks: 5900 to 6200 kHz.
    fx.main->scan().SetLowerMark(5900000);
    fx.main->scan().SetUpperMark(6200000);
    fx.clearLines();
    QTest::keyClick(fx.main->Dummy, 's');
    QTest::keyClick(fx.main->Dummy, 'a');
    QCOMPARE(fx.main->State().Scan, ScanState::OnAir);
    QCOMPARE(fx.main->settings.SCN_Mode, 9);
    QList<qint64> seen;
    QVERIFY(fx.waitTicking(
        [&] {
            seen += tunes(fx.takeLines());
            return seen.size() >= 3;
        },
        60));
    // The two on the air, lowest first, then round again; the inactive one never.
    QCOMPARE(seen.mid(0, 3), (QList<qint64>{6070000, 6160000, 6070000}));
    QVERIFY(fx.main->FCom->text().contains(QStringLiteral("CFRX")) ||
            fx.main->FCom->text().contains(QStringLiteral("CKZN")));
    QTest::keyClick(fx.main->Dummy, Qt::Key_Escape);
    QVERIFY(!fx.main->State().Scanning());
}

void TestScheduleMain::fileFromTheOptions() {
    QTemporaryDir dir;
    const QString path = writeSchedule(dir);
    KelvaneFixture fx;
    QVERIFY(fx.ok());
    // The operator chooses the file with the "..." button and closes with OK.
    fx.main->ShowOptions = [&](Opts& o) {
        auto* row = o.findChild<ScheduleOptionsRow*>();
        QVERIFY(row);
        row->SetChoose([&](const QString&) { return path; });
        row->SkdBrowse->click();
        o.cmdOK->click();
    };
    fx.main->OpenOptions(1, QString());
    QCOMPARE(fx.main->settings.SKD_File, path);
    QCOMPARE(room(fx)->Sked().Size(), std::size_t(3));
    // Kept for the next start.
    fx.stopMain();
    QVERIFY(fx.readHive()
                ->RegGet(QString::fromLatin1(Registry::AppKeyName), QString(),
                         QStringLiteral("SKD_File"), QString())
                .toString() == path);
}

QTEST_MAIN(TestScheduleMain)
#include "tst_schedule_main.moc"
