// kelvane-sked run as a listener or a script runs it, on a small schedule file.

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray Fixture =
    "kHz:75;Time(UTC):93;Days:59;ITU:49;Station:201;Lng:49;Target:62;Remarks:135;P:35;Start:60;"
    "Stop:60;\r\n"
    "6070;1800-1900;;CAN;CFRX;E;NAm;Toronto;1;;\r\n"
    "9410;1700-2000;;G;BBC;E;Eu;Woofferton;1;;\r\n"
    "5960;2300-0100;Mo;D;Nachtprogramm;D;Eu;Nauen;1;;\r\n"
    "x;1800-1900;;D;Broken;D;Eu;;1;;\r\n"
    "9410;2100-2200;;G;BBC later;E;Eu;Woofferton;1;;\r\n";

struct Run {
    int code = -1;
    QString out, err;
};

Run sked(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(KELVANE_SKED_BINARY), args);
    Run r;
    if (!p.waitForFinished(30000)) return r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TestScheduleCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void answers_data();
    void answers();
    void errors_data();
    void errors();

private:
    QTemporaryDir dir_;
    QString file_;
};

void TestScheduleCli::initTestCase() {
    file_ = dir_.filePath(QStringLiteral("sked-A25.csv"));
    QFile f(file_);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(Fixture);
}

// 2025-06-30 is a Monday.
void TestScheduleCli::answers_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("lines"); // each line's start, in order
    QTest::newRow("all at 18:30") << QStringList{"--at", "2025-06-30T18:30"} << 0
                                  << QStringList{"6070  1800-1900", "9410  1700-2000"};
    QTest::newRow("band") << QStringList{"--at", "2025-06-30T18:30", "--band", "9000-10000"} << 0
                          << QStringList{"9410  1700-2000"};
    QTest::newRow("band by name") << QStringList{"--at", "2025-06-30T18:30", "--band", "49m"} << 0
                                  << QStringList{"6070  1800-1900"};
    QTest::newRow("past midnight on Tuesday")
        << QStringList{"--at", "2025-07-01T00:30"} << 0 << QStringList{"5960  2300-0100  Mo"};
    QTest::newRow("a frequency") << QStringList{"--at", "2025-06-30T18:30", "--khz", "9410"} << 0
                                 << QStringList{"9410  1700-2000"};
    QTest::newRow("a frequency within the tolerance")
        << QStringList{"--at", "2025-06-30T18:30", "--khz", "9410.8"} << 0
        << QStringList{"9410  1700-2000"};
    QTest::newRow("nothing on: the next named")
        << QStringList{"--at", "2025-06-30T20:30", "--khz", "9410"} << 1
        << QStringList{"next in 0 h 30 min:", "9410  2100-2200"};
    QTest::newRow("nothing at all")
        << QStringList{"--at", "2025-06-30T12:00"} << 1 << QStringList{};
}

void TestScheduleCli::answers() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QStringList, lines);
    const Run r = sked(QStringList{file_} + args);
    QCOMPARE(r.code, code);
    const QStringList out = r.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(out.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        QVERIFY2(out[i].trimmed().startsWith(lines[i]), qPrintable(out[i]));
    // The broken line is skipped and said so, not a reason to refuse the file.
    QVERIFY2(r.err.contains(QStringLiteral("1 lines")), qPrintable(r.err));
}

void TestScheduleCli::errors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("no file") << QStringList{} << "give one schedule file";
    QTest::newRow("missing file") << QStringList{"/nonexistent/sked.csv"} << "cannot be read";
    QTest::newRow("bad time") << QStringList{"FILE", "--at", "18:30"} << "--at 18:30";
    QTest::newRow("bad frequency") << QStringList{"FILE", "--khz", "abc"} << "--khz abc";
    QTest::newRow("bad band") << QStringList{"FILE", "--band", "high"} << "--band high";
}

void TestScheduleCli::errors() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    args.replaceInStrings(QStringLiteral("FILE"), file_);
    const Run r = sked(args);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
}

QTEST_GUILESS_MAIN(TestScheduleCli)
#include "tst_schedule_cli.moc"
