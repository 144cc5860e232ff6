// The memory room wired into the real window: keys typed into it, the scans on its timer, and
// the start and end of the program, against the simulated receiver.

#include "memory/memory_table.h"
#include "memory/quick_filters.h"
#include "memory/ui/memory_dialogs.h"
#include "memory/ui/memory_wiring.h"
#include "tst_keys_support.h"

#include <QFile>

namespace {

QString dword(const char* name, int value) {
    return QStringLiteral("\"%1\"=dword:%2")
        .arg(QLatin1String(name))
        .arg(value, 8, 16, QChar(u'0'));
}

MemoryRoom& room(KelvaneFixture& fx) {
    return *fx.main->findChild<MemoryRoom*>(QStringLiteral("MemoryRoom"));
}

KelvaneFixture::Options options() {
    KelvaneFixture::Options o;
    o.hiveLines = NoBandDefaults() << dword("SCN_Delay", 1);
    return o;
}

} // namespace

class TestMemoryWindow : public QObject {
    Q_OBJECT
private slots:
    void recallByKeys();
    void scans_data();
    void scans();
    void quickMemoriesAcrossRestarts();
    void defaultFileAtStart();
    void headerScanNeedsTheHeldReceiver();
};

void TestMemoryWindow::recallByKeys() {
    KelvaneFixture fx(options());
    QVERIFY(Ready(fx, 9410000));
    room(fx).Channels().SetRow(5, MemoryRecord{7125000, 2, 1, 1, QStringLiteral("net")});
    QCOMPARE(TuneLines(Type(fx, "5CR")), QStringList{"F07125000"});
    QCOMPARE(fx.main->CHN->text(), QStringLiteral("005"));
    QCOMPARE(fx.main->LblCHN->text(), QStringLiteral("Ch"));
    // An empty channel only beeps.
    const int beeps = fx.main->BeepCount;
    QVERIFY(TuneLines(Type(fx, "6CR")).isEmpty());
    QCOMPARE(fx.main->BeepCount, beeps + 1);
}

void TestMemoryWindow::scans_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<bool>("channels");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("channels") << "SC" << true << QStringList{"F06003000", "F06008000", "F06003000"};
    QTest::newRow("quick memories")
        << "S*" << false << QStringList{"F06003000", "F06008000", "F06003000"};
}

void TestMemoryWindow::scans() {
    QFETCH(QString, keys);
    QFETCH(bool, channels);
    QFETCH(QStringList, lines);
    KelvaneFixture fx(options());
    QVERIFY(Ready(fx, 9410000, false));
    fx.tick(2);
    QVERIFY(Hold(fx));
    MemoryTable& table = channels ? static_cast<MemoryTable&>(room(fx).Channels())
                                  : static_cast<MemoryTable&>(room(fx).Quick());
    // An empty table refuses the scan with the beep.
    const int beeps = fx.main->BeepCount;
    Type(fx, keys);
    QCOMPARE(fx.main->BeepCount, beeps + 1);
    QCOMPARE(fx.main->State().Scan, ScanState::Idle);

    for (int r : {3, 8}) table.SetRow(r, MemoryRecord{6000000.0 + r * 1000, 4, 0, 0, QString()});
    Type(fx, keys);
    QVERIFY(fx.main->State().Scanning());
    QStringList got;
    for (int i = 0; i < 3; ++i) {
        fx.tick();
        Settle(fx, &got);
    }
    QCOMPARE(TuneLines(got), lines);
    QCOMPARE(fx.main->LblCHN->text(), table.Tag());
    Type(fx, "{Esc}");
    QCOMPARE(fx.main->State().Scan, ScanState::Idle);
}

void TestMemoryWindow::quickMemoriesAcrossRestarts() {
    KelvaneFixture fx(options());
    QVERIFY(Ready(fx, 9410000));
    Type(fx, "7100*3");
    Type(fx, "7200*4");
    // A quick filter holding the receiver's wide filter, code 0.
    Type(fx, ".F0");
    QCOMPARE(room(fx).Filters().Row(0).Code, 0);
    QCOMPARE(room(fx).Quick().Row(3).Frequency, 7100000.0);
    fx.stopMain();
    QVERIFY(fx.startMain());
    QCOMPARE(room(fx).Quick().Row(3).Frequency, 7100000.0);
    QCOMPARE(room(fx).Quick().Row(4).Frequency, 7200000.0);
    QCOMPARE(room(fx).Filters().Row(0).Code, 0);
    QCOMPARE(room(fx).Filters().Row(1).Code, -1);
    QVERIFY(fx.connect());
    // Erased, then ended: the memories stay erased at the next start.
    Type(fx, "*E");
    fx.stopMain();
    QVERIFY(fx.startMain());
    QVERIFY(!room(fx).Quick().AnyFilled());
}

void TestMemoryWindow::defaultFileAtStart() {
    KelvaneFixture fx(options());
    QFile f(QDir(fx.dirPath()).filePath("default.mem"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("       9410000|4|0|0|at start\r\n");
    f.close();
    fx.stopMain();
    QVERIFY(fx.startMain());
    QCOMPARE(room(fx).Channels().Row(0).Comment, QStringLiteral("at start"));
    QVERIFY(!room(fx).Channels().Modified());
    // An edited table asks for a file at the end.
    QString asked;
    fx.main->settings.SCN_Delay = 7;
    bool settingsFirst = false;
    room(fx).Dialogs().FileChooser = [&](bool save, const QString& ext) {
        asked = QStringLiteral("%1 %2").arg(save ? "save" : "load", ext);
        // The settings are on disk before the question.
        QFile hive(fx.settingsPath());
        settingsFirst = hive.open(QIODevice::ReadOnly) &&
                        hive.readAll().contains(dword("SCN_Delay", 7).toLatin1());
        return QDir(fx.dirPath()).filePath("end.mem");
    };
    room(fx).Channels().SetModified(true);
    fx.stopMain();
    QCOMPARE(asked, QStringLiteral("save mem"));
    QVERIFY(settingsFirst);
    QVERIFY(QFile::exists(QDir(fx.dirPath()).filePath("end.mem")));
}

void TestMemoryWindow::headerScanNeedsTheHeldReceiver() {
    KelvaneFixture fx(options());
    QVERIFY(Ready(fx, 9410000, false));
    fx.tick(2);
    room(fx).Channels().SetRow(3, MemoryRecord{6003000, 4, 0, 0, QString()});
    // The grid's "#" header asks through this; the receiver on its front panel refuses it.
    const int beeps = fx.main->BeepCount;
    room(fx).Dialogs().ScanRequested(room(fx).Channels());
    QCOMPARE(fx.main->BeepCount, beeps + 1);
    QCOMPARE(fx.main->State().Scan, ScanState::Idle);
    QVERIFY(Hold(fx));
    room(fx).Dialogs().ScanRequested(room(fx).Channels());
    QCOMPARE(fx.main->State().Scan, ScanState::Channels);
    Type(fx, "{Esc}");
}

QTEST_MAIN(TestMemoryWindow)
#include "tst_memory_window.moc"
