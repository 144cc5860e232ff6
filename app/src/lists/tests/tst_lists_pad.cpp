// The scratch pad: appending, reading back, navigation and the pad scan, on real files and the
// simulated receiver.

#include "lists/list_scans.h"
#include "lists/scratch_pad.h"
#include "lists_rig.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// n pad records at 1000 kHz + i kHz, CR LF ended.
QByteArray padOf(int n, int firstKhz = 1000) {
    QByteArray out;
    for (int i = 0; i < n; ++i)
        out += "       " + QByteArray::number(qint64(firstKhz + i) * 1000) +
               "|4|0|0|1/2/26 10:00|record " + QByteArray::number(i + 1) + "\r\n";
    return out;
}

} // namespace

class TestPad : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void firstAppendNumbersAfterPad_data();
    void firstAppendNumbersAfterPad();
    void appendWritesReceiverSetting();
    void appendRefusedDuringPadScan();
    void appendCancelledWritesNothing();
    void appendRefusedWhileNotReporting();
    void appendRefusedWhenPadIsNoFile();
    void readLine_data();
    void readLine();
    void commentFitsCaption();
    void previousGoesBackEightyOneRecords();
    void duplicatesSkippedForward();
    void endOfPadStartsNewPass();
    void appendThenContinue();
    void goToRememberedRecord_data();
    void goToRememberedRecord();
    void navigationAfterScanStopped();
    void padScanSource();

private:
    std::unique_ptr<ListsRig> rig;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ScratchPad> pad;
    QString padPath;
};

void TestPad::init() {
    rig = std::make_unique<ListsRig>();
    QVERIFY(rig->connect());
    dir = std::make_unique<QTemporaryDir>();
    padPath = dir->filePath(QStringLiteral("scratch.log"));
    rig->settings.SMT_Pad = padPath;
    pad = std::make_unique<ScratchPad>(rig->panel, rig->rx, rig->settings);
    pad->SetDescribe([] { return std::optional<QString>(QStringLiteral("CW")); });
}

void TestPad::cleanup() {
    pad.reset();
    dir.reset();
    rig.reset();
}

void TestPad::firstAppendNumbersAfterPad_data() {
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<QString>("number");

    QTest::newRow("no pad") << QByteArray() << "001";
    QTest::newRow("12 lines CR LF") << padOf(12) << "013";
    QTest::newRow("12 lines LF") << padOf(12).replace("\r\n", "\n") << "013";
    QTest::newRow("12 lines, no final line end") << padOf(12).chopped(2) << "013";
    QTest::newRow("comment lines count") << QByteArray("# notes\r\n\r\n") + padOf(10) << "013";
}

void TestPad::firstAppendNumbersAfterPad() {
    QFETCH(QByteArray, existing);
    QFETCH(QString, number);
    if (!existing.isEmpty()) writeFile(padPath, existing);

    QVERIFY(pad->AppendPadRecord());
    QCOMPARE(rig->panel.tag, QStringLiteral("Sp"));
    QCOMPARE(rig->panel.number, number);

    // Every earlier line is intact and the record is a line of its own.
    const QByteArray after = readFile(padPath);
    QVERIFY(after.startsWith(existing));
    QList<QByteArray> lines = after.split('\n');
    QVERIFY(lines.last().isEmpty());
    lines.removeLast();
    QVERIFY(lines.last().startsWith("       9410000|4|"));
    QVERIFY(lines.last().endsWith("|CW\r"));
}

void TestPad::appendWritesReceiverSetting() {
    QVERIFY(rig->setReceiver(7125500, 2, 1, 1));
    pad->SetDescribe([] { return std::optional<QString>(QStringLiteral("RTTY/50 - DWD")); });
    const QDateTime when(QDate(2026, 3, 4), QTime(5, 6));
    QVERIFY(pad->AppendPadRecord(when));
    QVERIFY(pad->AppendPadRecord(when));
    QCOMPARE(pad->Counter(), 2);
    QCOMPARE(rig->panel.number, QStringLiteral("002"));
    const QByteArray line =
        "       7125500|2|1|1|" + ScratchPad::Stamp(when).toUtf8() + "|RTTY/50 - DWD\r\n";
    QCOMPARE(readFile(padPath), line + line);
}

void TestPad::appendRefusedDuringPadScan() {
    writeFile(padPath, padOf(3));
    rig->panel.state.Scan = ScanState::Pad;
    QVERIFY(!pad->AppendPadRecord());
    QCOMPARE(rig->panel.beeps, 1);
    QCOMPARE(readFile(padPath), padOf(3));
}

void TestPad::appendCancelledWritesNothing() {
    pad->SetDescribe([] { return std::optional<QString>(); });
    QVERIFY(!pad->AppendPadRecord());
    QVERIFY(!QFile::exists(padPath));
    QCOMPARE(rig->panel.Count("ShowRecordNumber"), 0);
}

// Space with a receiver that does not answer: nothing noted, a beep instead of "Sp".
void TestPad::appendRefusedWhileNotReporting() {
    rig->sim.setPowered(false);
    QVERIFY(!rig->rx.Conn()); // a retry of the update timer: every field reads -1 now
    QVERIFY(!pad->AppendPadRecord());
    QCOMPARE(rig->panel.beeps, 1);
    QVERIFY(!QFile::exists(padPath));
    QCOMPARE(rig->panel.Count("ShowRecordNumber"), 0);
}

// A pipe in the pad's place is not opened for writing (that would wait for a reader).
void TestPad::appendRefusedWhenPadIsNoFile() {
    QVERIFY(::mkfifo(QFile::encodeName(padPath).constData(), 0600) == 0);
    QVERIFY(!pad->AppendPadRecord());
    QCOMPARE(rig->panel.beeps, 1);
    QCOMPARE(rig->panel.Count("ShowRecordNumber"), 0);
}

void TestPad::readLine_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("record");
    QTest::addColumn<qint64>("hz");
    QTest::addColumn<int>("md"); // expected receiver codes after the record is shown
    QTest::addColumn<int>("ft");
    QTest::addColumn<int>("ag");
    QTest::addColumn<QString>("comment");

    // The receiver starts at CW, Inter, Fast.
    QTest::newRow("kHz with empty codes keeps the receiver's")
        << QByteArray("7125.5|||\r\n") << true << qint64(7125500) << 1 << 1 << 1 << "\r\n[]";
    QTest::newRow("kHz with a comma")
        << QByteArray("7125,5|||\r\n") << true << qint64(7125500) << 1 << 1 << 1 << "\r\n[]";
    QTest::newRow("full record") << QByteArray("       6070000|4|0|0|1/2/26 10:00|Radio A\r\n")
                                 << true << qint64(6070000) << 4 << 0 << 0
                                 << "Radio A\r\n[1/2/26 10:00]";
    QTest::newRow("LF ended") << QByteArray("       6070000|3|0|0|s|B\n") << true << qint64(6070000)
                              << 3 << 0 << 0 << "B\r\n[s]";
    QTest::newRow("comment keeps its bars") << QByteArray("6070|4|0|0|s|a|b\r\n") << true
                                            << qint64(6070) << 4 << 0 << 0 << "a|b\r\n[s]";
    QTest::newRow("frequency only")
        << QByteArray("9500.0\r\n") << true << qint64(9500000) << 1 << 1 << 1 << "\r\n[]";
    QTest::newRow("comment lines only")
        << QByteArray("# one\r\n#7125500|2|2|1|s|c\r\n") << false << qint64(0) << 1 << 1 << 1 << "";
    QTest::newRow("empty lines only")
        << QByteArray("\r\n\r\n") << false << qint64(0) << 1 << 1 << 1 << "";
    QTest::newRow("empty frequency")
        << QByteArray("|2|2|1|s|c\r\n") << false << qint64(0) << 1 << 1 << 1 << "";
    QTest::newRow("text frequency")
        << QByteArray("abc|2|2|1|s|c\r\n") << false << qint64(0) << 1 << 1 << 1 << "";
    QTest::newRow("beyond the tuning range")
        << QByteArray("71255000|2|2|1|s|c\r\n") << false << qint64(0) << 1 << 1 << 1 << "";
    QTest::newRow("empty file") << QByteArray() << false << qint64(0) << 1 << 1 << 1 << "";
}

void TestPad::readLine() {
    QFETCH(QByteArray, text);
    QFETCH(bool, record);
    QFETCH(qint64, hz);
    QFETCH(int, md);
    QFETCH(int, ft);
    QFETCH(int, ag);
    QFETCH(QString, comment);

    QVERIFY(rig->setReceiver(5000000, 1, 1, 1));
    writeFile(padPath, text);
    QCOMPARE(pad->ReadPadRecord(ReadOp::Start), record);
    if (!record) {
        QCOMPARE(rig->panel.Count("ShowRecordNumber"), 0);
        return;
    }
    QCOMPARE(rig->panel.tag, QStringLiteral("Sp"));
    QCOMPARE(rig->panel.number, QStringLiteral("001"));
    QCOMPARE(rig->panel.comment, comment);
    QVERIFY(rig->panel.captionVisible);
    QVERIFY(rig->receiverAt(hz, md, ft, ag));
}

void TestPad::commentFitsCaption() {
    const QString text = QStringLiteral("A long identification that cannot fit");
    auto sevenEach = [](const QString& t) { return int(t.size()) * 7; };
    QCOMPARE(ScratchPad::FitComment(text, 1000, sevenEach), text);
    // 7 px x 14 = 98 twips a character; 100 px = 1500 twips hold 15 characters.
    QCOMPARE(ScratchPad::FitComment(text, 100, sevenEach), text.left(15));
    QCOMPARE(ScratchPad::FitComment(text, 0, sevenEach), QString());

    writeFile(padPath, "6070000|4|0|0|s|" + text.toUtf8() + "\r\n");
    rig->panel.commentWidth = 100;
    QVERIFY(pad->ReadPadRecord(ReadOp::Start));
    QCOMPARE(rig->panel.comment, text.left(15) + QStringLiteral("\r\n[s]"));
}

void TestPad::previousGoesBackEightyOneRecords() {
    writeFile(padPath, padOf(100));
    QVERIFY(pad->ReadPadRecord(ReadOp::Start));
    for (int i = 1; i < 100; ++i) QVERIFY(pad->ReadPadRecord(ReadOp::Next));
    QCOMPARE(rig->panel.number, QStringLiteral("100"));
    for (int i = 0; i < 80; ++i) QVERIFY(pad->ReadPadRecord(ReadOp::Previous));
    QCOMPARE(rig->panel.number, QStringLiteral("020"));
    QCOMPARE(rig->panel.tuned.last(), 1019000.0);
    const int shown = rig->panel.Count("ShowRecordNumber");
    QVERIFY(pad->ReadPadRecord(ReadOp::Previous));
    QCOMPARE(pad->Reader().Position(), 19);
    QCOMPARE(rig->panel.Count("ShowRecordNumber"), shown);
    // Forward again over the remembered records, then on to new ones.
    QVERIFY(pad->ReadPadRecord(ReadOp::Next));
    QCOMPARE(rig->panel.number, QStringLiteral("021"));
    QCOMPARE(rig->panel.tuned.last(), 1020000.0);
}

void TestPad::duplicatesSkippedForward() {
    writeFile(padPath, "7000000|||\r\n7100.0|||\r\n7000.000|||\r\n#7200000|||\r\n7200000|||\r\n");
    QList<double> seen;
    QStringList numbers;
    QVERIFY(pad->ReadPadRecord(ReadOp::Start));
    for (int i = 0; i < 3; ++i) {
        seen << rig->panel.tuned.last();
        numbers << rig->panel.number;
        QVERIFY(pad->ReadPadRecord(ReadOp::Next));
    }
    QCOMPARE(seen, (QList<double>{7000000, 7100000, 7200000}));
    QCOMPARE(numbers, (QStringList{"001", "002", "003"}));
}

void TestPad::endOfPadStartsNewPass() {
    writeFile(padPath, padOf(2));
    QVERIFY(pad->ReadPadRecord(ReadOp::Start));
    QVERIFY(pad->ReadPadRecord(ReadOp::Next));
    QVERIFY(pad->ReadPadRecord(ReadOp::Next));
    QCOMPARE(rig->panel.number, QStringLiteral("001"));
    QCOMPARE(rig->panel.tuned.last(), 1000000.0);
    QCOMPARE(pad->Reader().RecordCount(), 1);
}

void TestPad::appendThenContinue() {
    writeFile(padPath, padOf(3));
    QVERIFY(pad->ReadPadRecord(ReadOp::Start));
    QVERIFY(pad->ReadPadRecord(ReadOp::Next));
    QVERIFY(rig->setReceiver(9999000, 4, 0, 0));
    QVERIFY(pad->AppendPadRecord());
    QCOMPARE(rig->panel.number, QStringLiteral("004"));
    QVERIFY(pad->Reader().IsOpen());

    QList<double> seen;
    for (int i = 0; i < 3; ++i) {
        QVERIFY(pad->ReadPadRecord(ReadOp::Next));
        seen << rig->panel.tuned.last();
    }
    QCOMPARE(seen, (QList<double>{1002000, 9999000, 1000000}));
}

void TestPad::goToRememberedRecord_data() {
    QTest::addColumn<int>("records");
    QTest::addColumn<double>("hz");
    QTest::addColumn<QString>("number"); // empty: not remembered

    QTest::newRow("second of three") << 3 << 1001000.0 << "002";
    QTest::newRow("not in the pad") << 3 << 5000000.0 << "";
    QTest::newRow("oldest of 100") << 100 << 1019000.0 << "020";
    QTest::newRow("in the second ring turn") << 100 << 1030000.0 << "031";
    QTest::newRow("forgotten") << 100 << 1018000.0 << "";
    QTest::newRow("newest of 100") << 100 << 1099000.0 << "100";
}

void TestPad::goToRememberedRecord() {
    QFETCH(int, records);
    QFETCH(double, hz);
    QFETCH(QString, number);
    writeFile(padPath, padOf(records));
    QVERIFY(pad->ReadPadRecord(ReadOp::Start));
    for (int i = 1; i < records; ++i) QVERIFY(pad->ReadPadRecord(ReadOp::Next));
    const int shown = rig->panel.Count("ShowRecordNumber");
    QCOMPARE(pad->ReadPadRecord(ReadOp::GoTo, hz), !number.isEmpty());
    if (number.isEmpty()) {
        QCOMPARE(rig->panel.Count("ShowRecordNumber"), shown);
        return;
    }
    QCOMPARE(rig->panel.number, number);
    QCOMPARE(rig->panel.tuned.last(), hz);
}

void TestPad::navigationAfterScanStopped() {
    writeFile(padPath, padOf(5));
    // Nothing read yet: no record to step to.
    QVERIFY(!pad->ReadPadRecord(ReadOp::Next));
    QVERIFY(!pad->ReadPadRecord(ReadOp::Previous));

    QVERIFY(pad->ReadPadRecord(ReadOp::Start));
    QVERIFY(pad->ReadPadRecord(ReadOp::Next));
    QVERIFY(pad->ReadPadRecord(ReadOp::Next));
    QVERIFY(pad->ReadPadRecord(ReadOp::Close));
    QVERIFY(!pad->ReadPadRecord(ReadOp::Close));
    // The keys take up where the scan stopped.
    QVERIFY(pad->ReadPadRecord(ReadOp::Previous));
    QCOMPARE(rig->panel.number, QStringLiteral("002"));
    QVERIFY(pad->ReadPadRecord(ReadOp::Next));
    QVERIFY(pad->ReadPadRecord(ReadOp::Next));
    QCOMPARE(rig->panel.number, QStringLiteral("004"));
    QCOMPARE(rig->panel.tuned.last(), 1003000.0);
}

void TestPad::padScanSource() {
    PadScan scan(*pad, rig->panel, rig->settings);
    QVERIFY(!scan.Begin()); // no pad yet
    QVERIFY(rig->panel.tip.isEmpty());

    writeFile(padPath, padOf(2));
    QVERIFY(scan.Begin());
    QCOMPARE(rig->panel.tip, QStringLiteral("From PAD"));
    QCOMPARE(rig->panel.number, QStringLiteral("001"));
    QVERIFY(scan.Next());
    QCOMPARE(rig->panel.number, QStringLiteral("002"));
    QVERIFY(scan.Next()); // a new pass
    QCOMPARE(rig->panel.number, QStringLiteral("001"));
    scan.End();
    QVERIFY(!pad->Reader().IsOpen());

    // A pad of comments only: nothing to scan.
    writeFile(padPath, "# nothing here\r\n");
    QVERIFY(!scan.Begin());
}

QTEST_GUILESS_MAIN(TestPad)
#include "tst_lists_pad.moc"
