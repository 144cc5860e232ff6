// The noise file: one survey a line, read back line by line and paged through.

#include "noise/noise_file.h"
#include "noise/noise_pages.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString levelsText(int count, const QString& value = QStringLiteral("010")) {
    QStringList f;
    for (int i = 0; i < count; ++i) f << value;
    return f.join(QLatin1Char('|'));
}

NoiseSurvey survey(int base, const QString& date) {
    NoiseSurvey s;
    for (int i = 0; i < NoiseSurvey::Segments; ++i) s.Levels[size_t(i)] = base + i;
    s.Mean = NoiseMeanOf(s.Levels, NoiseSurvey::Segments - 1);
    s.Date = date;
    s.Time = QStringLiteral("12:00");
    return s;
}

} // namespace

class TestNoiseFile : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void roundTrip();
    void mean_data();
    void mean();
    void loadLines_data();
    void loadLines();
    void missingFile();
    void paging_data();
    void paging();
    void appendKeepsWholeLines();
};

void TestNoiseFile::parse_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("mean");
    QTest::addColumn<int>("level0");
    QTest::addColumn<int>("level29");

    const QString head = QStringLiteral("10/12/26|04:10|");
    QTest::newRow("full line") << head + "150|" + levelsText(29) + "|007" << true << 150 << 10 << 7;
    QTest::newRow("zero-padded reads as number") << head + "007|007" << true << 7 << 7 << 0;
    QTest::newRow("CR LF end") << head + "100|" + levelsText(30) + "\r\n"
                               << true << 100 << 10 << 10;
    QTest::newRow("fewer levels: rest 0") << head + "120|130|140" << true << 120 << 130 << 0;
    QTest::newRow("no levels") << head + "120" << true << 120 << 0 << 0;
    QTest::newRow("spaces around numbers") << head + " 120 | 9" << true << 120 << 9 << 0;
    QTest::newRow("31 levels") << head + "100|" + levelsText(31) << false << 0 << 0 << 0;
    QTest::newRow("letters in a level")
        << head + "100|" + levelsText(5) + "|1x0" << false << 0 << 0 << 0;
    QTest::newRow("letters in the mean") << head + "abc|100" << false << 0 << 0 << 0;
    QTest::newRow("empty level") << head + "100||100" << false << 0 << 0 << 0;
    QTest::newRow("negative level") << head + "100|-5" << false << 0 << 0 << 0;
    QTest::newRow("beyond the meter") << head + "100|256" << false << 0 << 0 << 0;
    QTest::newRow("16-bit overflow") << head + "100|70000" << false << 0 << 0 << 0;
    QTest::newRow("two fields") << "10/12/26|04:10" << false << 0 << 0 << 0;
    QTest::newRow("empty line") << "" << false << 0 << 0 << 0;
}

void TestNoiseFile::parse() {
    QFETCH(QString, line);
    QFETCH(bool, ok);
    NoiseSurvey s = survey(50, QStringLiteral("before"));
    const NoiseSurvey before = s;
    QCOMPARE(ParseNoiseLine(s, line), ok);
    if (!ok) {
        // A rejected line leaves the survey held as it was.
        QCOMPARE(s.Levels, before.Levels);
        QCOMPARE(s.Mean, before.Mean);
        QCOMPARE(s.Date, before.Date);
        return;
    }
    QFETCH(int, mean);
    QFETCH(int, level0);
    QFETCH(int, level29);
    QCOMPARE(s.Date, QStringLiteral("10/12/26"));
    QCOMPARE(s.Time, QStringLiteral("04:10"));
    QCOMPARE(s.Mean, mean);
    QCOMPARE(s.Levels[0], level0);
    QCOMPARE(s.Levels[29], level29);
}

void TestNoiseFile::roundTrip() {
    NoiseSurvey s = survey(100, QStringLiteral("10.12.26"));
    s.Levels[3] = 7;
    s.Levels[4] = 0;
    const QString line = FormatNoiseLine(s);
    const QStringList fields = line.split(QLatin1Char('|'));
    QCOMPARE(fields.size(), 33);
    QCOMPARE(fields[3], QStringLiteral("100"));
    QCOMPARE(fields[6], QStringLiteral("007"));
    QCOMPARE(fields[7], QStringLiteral("000"));
    NoiseSurvey back;
    QVERIFY(ParseNoiseLine(back, line));
    QCOMPARE(back.Levels, s.Levels);
    QCOMPARE(back.Mean, s.Mean);
    QCOMPARE(back.Date, s.Date);
}

void TestNoiseFile::mean_data() {
    QTest::addColumn<QList<int>>("levels");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("mean");
    QTest::newRow("three segments") << QList<int>{150, 160, 170} << 2 << 160;
    QTest::newRow("half rounds to even, down") << QList<int>{150, 151} << 1 << 150;
    QTest::newRow("half rounds to even, up") << QList<int>{151, 152} << 1 << 152;
    // The segment reached when the survey stopped may not have its reading yet.
    QTest::newRow("unmeasured last segment") << QList<int>{150, 160, 170, 0} << 3 << 160;
    QTest::newRow("nothing measured") << QList<int>{} << 5 << 0;
    QTest::newRow("last beyond the table") << QList<int>{200} << 40 << 200;
}

void TestNoiseFile::mean() {
    QFETCH(QList<int>, levels);
    QFETCH(int, last);
    QFETCH(int, mean);
    std::array<int, NoiseSurvey::Segments> table{};
    for (qsizetype i = 0; i < levels.size(); ++i) table[size_t(i)] = levels[i];
    QCOMPARE(NoiseMeanOf(table, last), mean);
}

void TestNoiseFile::loadLines_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("date");
    QTest::newRow("whole file") << -1 << 3 << "third";
    QTest::newRow("first") << 1 << 1 << "first";
    QTest::newRow("second") << 2 << 2 << "second";
    QTest::newRow("past the end") << 9 << 3 << "third";
    QTest::newRow("index 0 reads nothing") << 0 << 0 << "held";
}

void TestNoiseFile::loadLines() {
    QFETCH(int, index);
    QFETCH(int, count);
    QFETCH(QString, date);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Noise.txt"));
    QVERIFY(AppendNoiseLine(path, survey(100, QStringLiteral("first"))));
    QVERIFY(AppendNoiseLine(path, survey(110, QStringLiteral("second"))));
    QVERIFY(AppendNoiseLine(path, survey(120, QStringLiteral("third"))));
    NoiseSurvey s = survey(1, QStringLiteral("held"));
    QCOMPARE(LoadNoiseLine(path, s, index), count);
    QCOMPARE(s.Date, date);
}

void TestNoiseFile::missingFile() {
    QTemporaryDir dir;
    NoiseSurvey s = survey(1, QStringLiteral("held"));
    QCOMPARE(LoadNoiseLine(dir.filePath(QStringLiteral("none.txt")), s, -1), 0);
    QCOMPARE(s.Date, QStringLiteral("held"));
    QCOMPARE(s.Levels[0], 1);
}

void TestNoiseFile::paging_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QList<int>>("shown");
    QTest::newRow("Up from the last wraps to the first") << 3 << "UUU" << QList<int>{1, 2, 3};
    QTest::newRow("Down from the first wraps to the last") << 3 << "UDDD" << QList<int>{1, 3, 2, 1};
    QTest::newRow("one line") << 1 << "UD" << QList<int>{1, 1};
    QTest::newRow("no file") << 0 << "UDU" << QList<int>{1, 0, 1};
}

void TestNoiseFile::paging() {
    QFETCH(int, lines);
    QFETCH(QString, keys);
    QFETCH(QList<int>, shown);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Noise.txt"));
    for (int i = 1; i <= lines; ++i)
        QVERIFY(AppendNoiseLine(path, survey(100 + i, QString::number(i))));
    NoiseSurvey s;
    NoisePages pages;
    pages.LineCount = pages.CurLine = LoadNoiseLine(path, s, -1);
    QCOMPARE(pages.CurLine, lines);
    QList<int> got;
    for (QChar k : keys) {
        const int line = k == QLatin1Char('U') ? pages.Up() : pages.Down();
        got << line;
        NoiseSurvey page = survey(1, QStringLiteral("held"));
        LoadNoiseLine(path, page, line);
        if (line >= 1 && lines >= 1) QCOMPARE(page.Date, QString::number(line));
    }
    QCOMPARE(got, shown);
}

void TestNoiseFile::appendKeepsWholeLines() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Noise.txt"));
    // Surveys go after what the file already holds, each a whole line with its end.
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("junk\r\n");
    }
    QVERIFY(AppendNoiseLine(path, survey(100, QStringLiteral("a"))));
    QVERIFY(AppendNoiseLine(path, survey(101, QStringLiteral("b"))));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = f.readAll().split('\n');
    QCOMPARE(rows.size(), 4); // three lines and the empty rest after the last end
    QVERIFY(rows[1].endsWith('\r'));
    QCOMPARE(rows[1].count('|'), 32);
    QVERIFY(rows[3].isEmpty());
    // An unwritable place fails instead of reporting success.
    QVERIFY(!AppendNoiseLine(dir.filePath(QStringLiteral("missing/Noise.txt")), survey(1, "x")));
}

QTEST_GUILESS_MAIN(TestNoiseFile)
#include "tst_noise_file.moc"
