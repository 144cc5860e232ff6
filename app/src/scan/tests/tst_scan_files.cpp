// The lockout file and the hit log: their lines as tables, then the files themselves in a
// temporary folder (bounds, kept lines, atomic saves, appends that are whole or absent).

#include "scan/hit_log.h"
#include "scan/lockouts.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

Hit sampleHit() {
    return Hit{QDateTime(QDate(2026, 12, 11), QTime(13, 45, 7), Qt::UTC),
               9410000,
               4,
               0,
               96,
               38.2,
               12.5,
               QStringLiteral("Fast")};
}

} // namespace

class TestScanFiles : public QObject {
    Q_OBJECT
private slots:
    void lockoutLine_data();
    void lockoutLine();
    void lockoutCovers();
    void lockoutFile();
    void lockoutFileRefused_data();
    void lockoutFileRefused();
    void lockoutSaveFails();
    void hitLine_data();
    void hitLine();
    void hitLog();
    void hitAppendWholeOrNothing();
};

void TestScanFiles::lockoutLine_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("hz");
    QTest::addColumn<double>("width");
    QTest::addColumn<QString>("comment");
    // clang-format off
    QTest::newRow("full")              << "9410000|5000|BBC relay" << true << 9410000.0 << 5000.0 << "BBC relay";
    QTest::newRow("CR LF end")         << "9410000|5000|x\r\n"     << true << 9410000.0 << 5000.0 << "x";
    QTest::newRow("no comment field")  << "7100000|0"              << true << 7100000.0 << 0.0    << "";
    QTest::newRow("blanks around")     << " 7100000 | 3000 |"      << true << 7100000.0 << 3000.0 << "";
    QTest::newRow("bar in comment")    << "7100000|3000|a|b"       << true << 7100000.0 << 3000.0 << "a|b";
    QTest::newRow("lowest")            << "1000|0|"                << true << 1000.0    << 0.0    << "";
    QTest::newRow("highest")           << "29999999|1000000|"      << true << 29999999.0 << 1000000.0 << "";
    QTest::newRow("below range")       << "999|0|"                 << false << 0.0 << 0.0 << "";
    QTest::newRow("above range")       << "30000000|0|"            << false << 0.0 << 0.0 << "";
    QTest::newRow("too wide")          << "7100000|1000001|"       << false << 0.0 << 0.0 << "";
    QTest::newRow("kHz is not hertz")  << "7100.5|3000|"           << false << 0.0 << 0.0 << "";
    QTest::newRow("negative width")    << "7100000|-5|"            << false << 0.0 << 0.0 << "";
    QTest::newRow("overflow")          << "99999999999999999999|0|" << false << 0.0 << 0.0 << "";
    QTest::newRow("no separator")      << "7100000"                << false << 0.0 << 0.0 << "";
    QTest::newRow("empty width")       << "7100000||x"             << false << 0.0 << 0.0 << "";
    QTest::newRow("empty")             << ""                       << false << 0.0 << 0.0 << "";
    // clang-format on
}

void TestScanFiles::lockoutLine() {
    QFETCH(QString, line);
    QFETCH(bool, ok);
    Lockout l{1, 2, QStringLiteral("untouched")};
    const Lockout before = l;
    QCOMPARE(ParseLockoutLine(line, l), ok);
    if (!ok) {
        QCOMPARE(l, before);
        return;
    }
    QTEST(l.Hz, "hz");
    QTEST(l.WidthHz, "width");
    QTEST(l.Comment, "comment");
    // Formatting reads back the same (a bar in the comment becomes a blank).
    Lockout again;
    QVERIFY(ParseLockoutLine(FormatLockoutLine(l), again));
    QCOMPARE(again.Hz, l.Hz);
    QCOMPARE(again.WidthHz, l.WidthHz);
    QCOMPARE(again.Comment, QString(l.Comment).replace(QLatin1Char('|'), QLatin1Char(' ')));
}

void TestScanFiles::lockoutCovers() {
    LockoutList list;
    QVERIFY(list.Add({7100000, 4000, {}}));
    QVERIFY(list.Add({9410000, 0, {}}));
    QVERIFY(!list.Add({7100000, 4000, QStringLiteral("again")})); // the same lockout twice
    QVERIFY(list.Covers(7098000) && list.Covers(7102000));
    QVERIFY(!list.Covers(7097999) && !list.Covers(7102001));
    QVERIFY(list.Covers(9410000) && !list.Covers(9410001));
    QCOMPARE(list.IndexCovering(9410000), 1);
    QVERIFY(list.RemoveAt(0));
    QVERIFY(!list.Covers(7100000));
    QVERIFY(!list.RemoveAt(5));
}

void TestScanFiles::lockoutFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(LockoutList::FileName);
    LockoutList list;
    // No file yet: an empty list, no complaint.
    LockoutList::LoadReport r = list.Load(path);
    QVERIFY(r.Ok);
    QCOMPARE(r.Loaded, 0);
    // A file written by hand: LF alone, a blank line, a line the program does not read.
    writeAll(path, "7100000|4000|ham\n\n9410000|5000|relay\r\nnonsense line\r\n6195000|0|\r\n");
    r = list.Load(path);
    QVERIFY(r.Ok);
    QCOMPARE(r.Loaded, 3);
    QCOMPARE(r.BadLines, 1);
    QCOMPARE(r.FirstBadLine, 4);
    QVERIFY(list.Covers(9412000));
    list.Add({15400000, 9000, QStringLiteral("new")});
    QString error;
    QVERIFY2(list.Save(path, &error), qPrintable(error));
    // The line it did not read is written back, not lost; every line ends in CR LF.
    QCOMPARE(readAll(path), QByteArray("7100000|4000|ham\r\n9410000|5000|relay\r\n6195000|0|\r\n"
                                       "15400000|9000|new\r\nnonsense line\r\n"));
    LockoutList again;
    QCOMPARE(again.Load(path).Loaded, 4);
    QCOMPARE(again.Entries(), list.Entries());
}

void TestScanFiles::lockoutFileRefused_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("too large") << QByteArray(LockoutList::MaxFileBytes + 1, '7');
    QTest::newRow("overlong line") << QByteArray(LockoutList::MaxLineLength + 10, '1') + "\r\n";
    QByteArray many;
    for (int i = 0; i <= LockoutList::MaxEntries; ++i) many += "7100000|0|\r\n";
    QTest::newRow("too many lines") << many;
}

void TestScanFiles::lockoutFileRefused() {
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath(LockoutList::FileName);
    writeAll(path, content);
    LockoutList list;
    list.Add({7100000, 0, {}});
    const LockoutList::LoadReport r = list.Load(path);
    QVERIFY(!r.Ok);
    QVERIFY(r.Error.startsWith(path));
    // The list stays as it was.
    QCOMPARE(list.Entries().size(), 1);
}

void TestScanFiles::lockoutSaveFails() {
    QTemporaryDir dir;
    LockoutList list;
    list.Add({7100000, 0, {}});
    QString error;
    const QString path = dir.filePath(QStringLiteral("missing/lockout.txt"));
    QVERIFY(!list.Save(path, &error));
    QVERIFY(error.startsWith(path));
    QVERIFY(!QFile::exists(path));
}

void TestScanFiles::hitLine_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("ok");
    const QString good =
        QStringLiteral("2026-12-11|13:45:07|9410000|AM|Wide|S9+4|38.2|12.5|Fast|096");
    // clang-format off
    QTest::newRow("as written")        << good << true;
    QTest::newRow("CR LF end")         << good + "\r\n" << true;
    QTest::newRow("bandwidth filter")  << "2026-12-11|13:45:07|9410000|USB|2400|S7|20.0|0.5|Range|110" << true;
    QTest::newRow("below the floor")   << "2026-12-11|13:45:07|9410000|AM|Wide|S1|-3.5|0.0|Fast|160" << true;
    QTest::newRow("bad date")          << "2026-13-11|13:45:07|9410000|AM|Wide|S9|38.2|12.5|Fast|096" << false;
    QTest::newRow("bad time")          << "2026-12-11|25:45:07|9410000|AM|Wide|S9|38.2|12.5|Fast|096" << false;
    QTest::newRow("out of range")      << "2026-12-11|13:45:07|30000000|AM|Wide|S9|38.2|12.5|Fast|096" << false;
    QTest::newRow("unknown mode")      << "2026-12-11|13:45:07|9410000|XYZ|Wide|S9|38.2|12.5|Fast|096" << false;
    QTest::newRow("mode case counts")  << "2026-12-11|13:45:07|9410000|am|Wide|S9|38.2|12.5|Fast|096" << false;
    QTest::newRow("unknown filter")    << "2026-12-11|13:45:07|9410000|AM|wide|S9|38.2|12.5|Fast|096" << false;
    QTest::newRow("two decimals")      << "2026-12-11|13:45:07|9410000|AM|Wide|S9|38.25|12.5|Fast|096" << false;
    QTest::newRow("negative heard")    << "2026-12-11|13:45:07|9410000|AM|Wide|S9|38.2|-1.0|Fast|096" << false;
    QTest::newRow("raw too large")     << "2026-12-11|13:45:07|9410000|AM|Wide|S9|38.2|12.5|Fast|256" << false;
    QTest::newRow("field missing")     << "2026-12-11|13:45:07|9410000|AM|Wide|S9|38.2|12.5|Fast" << false;
    QTest::newRow("field too many")    << good + "|x" << false;
    QTest::newRow("torn")              << "2026-12-11|13:45:07|94100" << false;
    QTest::newRow("empty")             << "" << false;
    // clang-format on
}

void TestScanFiles::hitLine() {
    QFETCH(QString, line);
    QFETCH(bool, ok);
    Hit h;
    h.Scan = QStringLiteral("untouched");
    QCOMPARE(ParseHitLine(line, h), ok);
    if (!ok) {
        QCOMPARE(h.Scan, QStringLiteral("untouched"));
        return;
    }
    // What reads formats back to the same line (the S units come from the raw reading).
    QString plain = line;
    plain.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    QCOMPARE(FormatHitLine(h).section(QLatin1Char('|'), 6), plain.section(QLatin1Char('|'), 6));
    QCOMPARE(FormatHitLine(h).section(QLatin1Char('|'), 0, 4),
             plain.section(QLatin1Char('|'), 0, 4));
}

void TestScanFiles::hitLog() {
    QTemporaryDir dir;
    HitLog log(dir.filePath(HitLog::FileName));
    QVERIFY(log.ReadNewest(10).Hits.isEmpty());
    QVERIFY(log.ReadNewest(10).Ok);
    Hit h = sampleHit();
    QCOMPARE(FormatHitLine(h),
             QStringLiteral("2026-12-11|13:45:07|9410000|AM|Wide|S9+4|38.2|12.5|Fast|096"));
    for (int i = 0; i < 5; ++i) {
        h.Hz = 9410000 + i * 5000;
        QString error;
        QVERIFY2(log.Append(h, &error), qPrintable(error));
    }
    // A line someone broke by hand is passed over and counted.
    {
        QFile f(log.Path());
        QVERIFY(f.open(QIODevice::Append));
        f.write("garbage\r\n");
    }
    h.Hz = 15400000;
    QVERIFY(log.Append(h));
    QVERIFY(readAll(log.Path()).endsWith("|Fast|096\r\n"));
    const HitLog::ReadResult r = log.ReadNewest(3);
    QCOMPARE(r.Hits.size(), 3);
    QCOMPARE(r.BadLines, 1);
    QCOMPARE(r.Hits[0].Hz, 15400000.0); // newest first
    QCOMPARE(r.Hits[1].Hz, 9430000.0);
    QCOMPARE(r.Hits[0].Utc, h.Utc);
    QCOMPARE(r.Hits[0], h);
    QCOMPARE(log.ReadNewest(100).Hits.size(), 6);

    HitLog nowhere(dir.filePath(QStringLiteral("missing/hits.log")));
    QString error;
    QVERIFY(!nowhere.Append(h, &error));
    QVERIFY(error.startsWith(nowhere.Path()));
}

void TestScanFiles::hitAppendWholeOrNothing() {
    // A file-size limit a few bytes past the end makes the write short, as a full disk does.
    QTemporaryDir dir;
    HitLog log(dir.filePath(HitLog::FileName));
    QVERIFY(log.Append(sampleHit()));
    const QByteArray before = readAll(log.Path());
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit tight = old;
    tight.rlim_cur = rlim_t(before.size() + 10);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    QString error;
    const bool written = log.Append(sampleHit(), &error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    // Nothing of the line stays behind: the next hit starts a line of its own.
    QCOMPARE(readAll(log.Path()), before);
    QVERIFY(log.Append(sampleHit()));
    const HitLog::ReadResult r = log.ReadNewest(10);
    QCOMPARE(r.Hits.size(), 2);
    QCOMPARE(r.BadLines, 0);
}

QTEST_GUILESS_MAIN(TestScanFiles)
#include "tst_scan_files.moc"
