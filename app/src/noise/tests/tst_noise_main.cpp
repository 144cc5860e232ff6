// The noise room in the real window against the simulator: the keys and the S-meter label
// start and end the survey and the search, the window restores the receiver, and the noise
// window opens on the survey read at start-up.

#include "fixture.h"

#include "core/tuner.h"
#include "noise/smeter_procedures.h"
#include "noise/ui/noise_wiring.h"
#include "noise/ui/rx_noise.h"
#include "ui/panel_colours.h"

#include <ostry/nrd535.h>

#include <QFile>
#include <QtTest>

namespace {

bool Ready(KelvaneFixture& fx, qint64 hz) {
    if (!fx.ok()) return false;
    fx.sim.panelTune(hz);
    if (!KelvaneFixture::waitFor([&] { return fx.main->receiver().Fr() == double(hz); }))
        return false;
    QTest::keyClick(fx.main->Dummy, 'u');
    const bool held = KelvaneFixture::waitFor([&] { return fx.main->State().RemoteHeld; });
    fx.clearLines();
    return held;
}

QList<qint64> Tunes(const QStringList& lines) {
    QList<qint64> hz;
    for (const QString& l : lines)
        if (l.startsWith(QLatin1Char('F'))) hz << l.mid(1).toLongLong();
    return hz;
}

KelvaneFixture::Options NoBandDefaults() {
    KelvaneFixture::Options o;
    o.hiveLines = {QStringLiteral("\"BND_AutoMD\"=dword:00000000"),
                   QStringLiteral("\"BND_AutoFT\"=dword:00000000"),
                   QStringLiteral("\"BND_AutoST\"=dword:00000000"),
                   QStringLiteral("\"SCN_Step\"=dword:000003e8")};
    return o;
}

} // namespace

class TestNoiseMain : public QObject {
    Q_OBJECT
private slots:
    void pageKeys_data();
    void pageKeys();
    void surveyFromTheKeysAndEsc();
    void noiseWindowShowsTheLastSurvey();
};

void TestNoiseMain::pageKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<qint64>("first");
    // Page Up searches upwards, Page Down downwards, one "SCN_Step" at a time.
    QTest::newRow("Page Up") << int(Qt::Key_PageUp) << qint64(12501000);
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << qint64(12499000);
}

void TestNoiseMain::pageKeys() {
    QFETCH(int, key);
    QFETCH(qint64, first);
    KelvaneFixture fx(NoBandDefaults());
    for (int i = 0; i < 30; ++i) fx.sim.setNoiseFloor(i, 0);
    QVERIFY(Ready(fx, 12500000));
    const auto before = fx.sim.settings();
    QTest::keyClick(fx.main->Dummy, Qt::Key(key));
    QCOMPARE(fx.main->State().Scan, ScanState::ActiveSearch);
    QVERIFY(fx.main->State().PanelLocked);
    QVERIFY(KelvaneFixture::waitFor([&] { return Tunes(fx.sim.receivedLines()).size() >= 3; }));
    const QList<qint64> hz = Tunes(fx.sim.receivedLines());
    QCOMPARE(hz[0], first);
    QCOMPARE(hz[1] - hz[0], first - 12500000);
    QTest::keyClick(fx.main->Dummy, Qt::Key_Escape);
    QCOMPARE(fx.main->State().Scan, ScanState::Idle);
    QVERIFY(!fx.main->State().PanelLocked);
    QVERIFY(KelvaneFixture::waitFor([&] { return fx.sim.settings().ag == before.ag; }));
    QVERIFY(KelvaneFixture::waitFor([&] {
        return fx.main->receiver().Fr() == double(fx.sim.settings().hz) &&
               Tunes(fx.sim.receivedLines()).last() == fx.sim.settings().hz;
    }));
}

void TestNoiseMain::surveyFromTheKeysAndEsc() {
    KelvaneFixture fx(NoBandDefaults());
    QVERIFY(Ready(fx, 9410000));
    auto* room = fx.main->findChild<NoiseRoom*>();
    QVERIFY(room);
    QSignalSpy progress(&room->Procedures(), &SMeterProcedures::SurveyProgress);
    const auto before = fx.sim.settings();
    // "NV": the survey starts; the S-meter label turns light cyan.
    QTest::keyClick(fx.main->Dummy, 'n');
    QTest::keyClick(fx.main->Dummy, 'v');
    QCOMPARE(fx.main->State().Scan, ScanState::NoiseMeasure);
    QVERIFY(fx.main->State().PanelLocked);
    QCOMPARE(fx.main->SM->palette().color(fx.main->SM->backgroundRole()), panel::LightCyan);
    // The band plan's filter stays off the survey's narrow one until it ends.
    QVERIFY(!fx.main->tuner().BandDefaults);
    QVERIFY(KelvaneFixture::waitFor(
        [&] { return !progress.isEmpty() && progress.last().at(0).toInt() >= 2; }, 20000));
    QTest::keyClick(fx.main->Dummy, Qt::Key_Escape);
    QCOMPARE(fx.main->State().Scan, ScanState::Idle);
    QVERIFY(!fx.main->State().PanelLocked);
    QCOMPARE(fx.main->SM->palette().color(fx.main->SM->backgroundRole()), panel::LightOrange);
    QVERIFY(fx.main->tuner().BandDefaults);
    // The segments measured went to the file, the receiver is back, the window shows them.
    QVERIFY(KelvaneFixture::waitFor([&] { return room->Window() && room->Window()->isVisible(); }));
    QFile f(fx.dirPath() + QStringLiteral("/Noise.txt"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].count('|'), 32);
    QVERIFY(room->Survey.Levels[0] > 0 && room->Survey.Levels[1] > 0);
    QCOMPARE(room->Survey.Levels[5], 0);
    QVERIFY(KelvaneFixture::waitFor([&] {
        return fx.sim.settings().hz == before.hz && fx.sim.settings().ag == before.ag &&
               fx.sim.settings().ft == before.ft;
    }));
}

void TestNoiseMain::noiseWindowShowsTheLastSurvey() {
    KelvaneFixture::Options o = NoBandDefaults();
    o.connect = false;
    KelvaneFixture fx(o);
    QVERIFY(fx.ok());
    // A file written before this start: the last line is the survey held.
    NoiseSurvey old;
    old.Levels.fill(170);
    old.Mean = 170;
    old.Date = QStringLiteral("first");
    QVERIFY(AppendNoiseLine(fx.dirPath() + QStringLiteral("/Noise.txt"), old));
    old.Date = QStringLiteral("second");
    old.Levels[3] = 150;
    QVERIFY(AppendNoiseLine(fx.dirPath() + QStringLiteral("/Noise.txt"), old));
    fx.stopMain();
    QVERIFY(fx.startMain());
    QVERIFY(fx.connect());
    auto* room = fx.main->findChild<NoiseRoom*>();
    QVERIFY(room);
    QCOMPARE(room->Survey.Date, QStringLiteral("second"));
    QCOMPARE(room->Survey.Levels[3], 150);
    // "NC" opens the window on it, modeless.
    QTest::keyClick(fx.main->Dummy, 'n');
    QTest::keyClick(fx.main->Dummy, 'c');
    QVERIFY(room->Window() && room->Window()->isVisible());
    QVERIFY(!room->Window()->isModal());
    QCOMPARE(room->Window()->Pages().CurLine, 2);
    QVERIFY(room->Window()->windowTitle().contains(QStringLiteral("second")));
}

QTEST_MAIN(TestNoiseMain)
#include "tst_noise_main.moc"
