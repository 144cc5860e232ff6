// The pad and list keys and scans through the real window against the simulated receiver: Space,
// "SP", "SF"/"SN", "<" and ">", with the dialogs answered by the test.

#include "lists/import_profile.h"
#include "lists/ui/lists_wiring.h"
#include "scan/scan_engine.h"
#include "tst_keys_support.h"

#include <QFile>

namespace {

QString Dword(const char* name, int value) {
    return QStringLiteral("\"%1\"=dword:%2")
        .arg(QLatin1String(name))
        .arg(value, 8, 16, QChar(u'0'));
}

KelvaneFixture::Options Hive() {
    KelvaneFixture::Options o;
    o.hiveLines = NoBandDefaults() << Dword("SCN_Delay", 1);
    return o;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

ListsRoom& Room(KelvaneFixture& fx) {
    return *fx.main->findChild<ListsRoom*>();
}

// n pad records from 7000 kHz up in 5 kHz steps.
QByteArray PadOf(int n) {
    QByteArray out;
    for (int i = 0; i < n; ++i)
        out += "       " + QByteArray::number(7000000 + i * 5000) + "|2|0|0|s|r" +
               QByteArray::number(i + 1) + "\r\n";
    return out;
}

} // namespace

class TestListsWindow : public QObject {
    Q_OBJECT
private slots:
    void spaceNotesFrequency();
    void padScan();
    void fileScan();
    void fileScanCancelled();
};

void TestListsWindow::spaceNotesFrequency() {
    KelvaneFixture fx(Hive());
    QVERIFY(Ready(fx, 9410000));
    Main& m = *fx.main;
    const QString pad = QDir(fx.dirPath()).filePath(m.settings.SMT_Pad);
    WriteFile(pad, PadOf(12));
    int asked = 0;
    Room(fx).Pad().SetDescribe([&] {
        ++asked;
        return std::optional<QString>(QStringLiteral("RTTY/50 - DWD"));
    });
    Type(fx, " ");
    QCOMPARE(asked, 1);
    QCOMPARE(m.CHN->text(), QStringLiteral("013"));
    QCOMPARE(m.LblCHN->text(), QStringLiteral("Sp"));
    const QList<QByteArray> lines = ReadFile(pad).split('\n');
    QCOMPARE(lines.size(), 14);
    QVERIFY(lines[12].startsWith("       9410000|"));
    QVERIFY(lines[12].endsWith("|RTTY/50 - DWD\r"));
}

void TestListsWindow::padScan() {
    KelvaneFixture fx(Hive());
    QVERIFY(Ready(fx, 9410000));
    Main& m = *fx.main;
    const QString pad = QDir(fx.dirPath()).filePath(m.settings.SMT_Pad);

    // No pad: refused.
    const int beeps = m.BeepCount;
    Type(fx, "SP");
    QCOMPARE(int(m.State().Scan), 0);
    QCOMPARE(m.BeepCount, beeps + 1);

    WriteFile(pad, PadOf(3));
    Type(fx, "SP");
    QCOMPARE(m.State().Scan, ScanState::Pad);
    QCOMPARE(m.FCom->toolTip(), QStringLiteral("From PAD"));
    QCOMPARE(m.LblCHN->text(), QStringLiteral("Sp"));
    QCOMPARE(m.CHN->text(), QStringLiteral("001"));
    QVERIFY(fx.waitTicking([&] { return fx.sim.settings().hz == 7000000; }));
    QVERIFY(!m.tuner().BandDefaults);

    fx.tick();
    QVERIFY(fx.waitFor([&] { return m.CHN->text() == QStringLiteral("002"); }));
    QVERIFY(fx.waitTicking([&] { return fx.sim.settings().hz == 7005000; }));

    // Space is refused while the pad is scanned.
    Type(fx, " ");
    QCOMPARE(ReadFile(pad), PadOf(3));

    Type(fx, "{Esc}");
    QCOMPARE(int(m.State().Scan), 0);
    QVERIFY(!Room(fx).Pad().Reader().IsOpen());

    // "<" takes up from the record shown last.
    Type(fx, "<");
    QCOMPARE(m.CHN->text(), QStringLiteral("001"));
    QVERIFY(!m.tuner().BandDefaults);
    QVERIFY(fx.waitTicking([&] { return fx.sim.settings().hz == 7000000; }));
    Type(fx, ">>");
    QCOMPARE(m.CHN->text(), QStringLiteral("003"));
}

void TestListsWindow::fileScan() {
    KelvaneFixture fx(Hive());
    QVERIFY(Ready(fx, 9410000));
    Main& m = *fx.main;
    m.settings.IMP_Fil = QStringLiteral(KELVANE_APP_DATA "/import.cnf");
    const QString list = QDir(fx.dirPath()).filePath(QStringLiteral("list.txt"));
    WriteFile(list, "#!KHZ\r\n6070 CFRX Toronto\r\n9410 BBC\r\n");
    int chosen = 0;
    Room(fx).Files().SetChooseFile([&] {
        ++chosen;
        return list;
    });
    QStringList asked;
    Room(fx).List().SetAskProfile([&](const QString& name) {
        asked << name;
        return LoadImportProfile(m.settings, name);
    });

    Type(fx, "SF");
    QCOMPARE(m.State().Scan, ScanState::File);
    QCOMPARE(chosen, 1);
    QCOMPARE(asked, QStringList{"KHZ"});
    QCOMPARE(m.FCom->toolTip(), QStringLiteral("From ") + list);
    QCOMPARE(m.LblCHN->text(), QStringLiteral("Lg"));
    QCOMPARE(m.FCom->text(), QStringLiteral("CFRX Toronto"));
    QVERIFY(fx.waitTicking([&] { return fx.sim.settings().hz == 6070000; }));
    fx.tick();
    QVERIFY(fx.waitFor([&] { return m.CHN->text() == QStringLiteral("002"); }));
    QVERIFY(fx.waitTicking([&] { return fx.sim.settings().hz == 9410000; }));

    Type(fx, "{Esc}");
    QCOMPARE(int(m.State().Scan), 0);
    // "SN" goes on with the same list without asking for a file.
    Type(fx, "SN");
    QCOMPARE(m.State().Scan, ScanState::File);
    QCOMPARE(chosen, 1);
    QCOMPARE(m.CHN->text(), QStringLiteral("001"));
    Type(fx, "{Esc}");
    // "SF" asks again.
    Type(fx, "SF");
    QCOMPARE(chosen, 2);
}

void TestListsWindow::fileScanCancelled() {
    KelvaneFixture fx(Hive());
    QVERIFY(Ready(fx, 9410000));
    Main& m = *fx.main;
    const QString list = QDir(fx.dirPath()).filePath(QStringLiteral("list.txt"));
    WriteFile(list, "#!SW\r\n6070 A\r\n");
    Room(fx).Files().SetChooseFile([&] { return list; });
    Room(fx).List().SetAskProfile([](const QString&) { return false; });
    const int beeps = m.BeepCount;
    Type(fx, "SF");
    QCOMPARE(int(m.State().Scan), 0);
    QCOMPARE(m.BeepCount, beeps + 1);
    QVERIFY(!m.State().PanelLocked);
}

QTEST_MAIN(TestListsWindow)
#include "tst_lists_window.moc"
