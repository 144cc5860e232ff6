// The scans of the update timer, driven tick by tick through the real window against the
// simulated receiver: first steps, wraps, pacing, stops, and band tracking.

#include "tst_keys_support.h"

#include "input/keys.h"
#include "scan/scan_engine.h"

static QString Dword(const char* name, int value) {
    return QStringLiteral("\"%1\"=dword:%2")
        .arg(QLatin1String(name))
        .arg(value, 8, 16, QChar(u'0'));
}

// Runs n ticks, letting the receiver report after each; returns the lines sent.
static QStringList Ticks(KelvaneFixture& fx, int n) {
    QStringList lines;
    for (int i = 0; i < n; ++i) {
        fx.tick();
        Settle(fx, &lines);
    }
    return lines;
}

// A window at hz whose band tracking has run (as it does before the operator holds the
// receiver), then held.
static bool ScanReady(KelvaneFixture& fx, qint64 hz) {
    if (!Ready(fx, hz, false)) return false;
    Ticks(fx, 2);
    return Hold(fx);
}

class TestScan : public QObject {
    Q_OBJECT

private slots:
    void firstStepsAndWrap_data();
    void firstStepsAndWrap();
    void pacing_data();
    void pacing();
    void stepsAheadOfReports();
    void escStopsAndRestores();
    void listScanForgetsTheMarkPosition();
    void refusedStarts_data();
    void refusedStarts();
    void stopsWithBeep_data();
    void stopsWithBeep();
    void scanButtonRepeatsChoice();
    void agcWhileScanning();
    void bandTracking();
};

void TestScan::firstStepsAndWrap_data() {
    QTest::addColumn<QStringList>("hive");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("firstMark");  // set with "[" first (0: none)
    QTest::addColumn<qint64>("secondMark"); // then with "]"
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("state");
    QTest::addColumn<QStringList>("lines");

    const QStringList base = NoBandDefaults() << Dword("SCN_Delay", 1);
    const QStringList fixedStep = QStringList(base)
                                  << Dword("BND_AutoST", 0) << Dword("SCN_Step", 1000);
    const QStringList known = QStringList(base) << Dword("KWN_Sel0", 19) << Dword("KWN_Sel1", 1);

    // clang-format off
    // The broadcast band 9400..9900 kHz has a 5 kHz step: its end leads back to its start.
    QTest::newRow("band") << base << qint64(9890000) << qint64(0) << qint64(0) << "SB" << 3
        << QStringList{"F09895000", "F09400000", "F09405000"};
    QTest::newRow("range, default block") << fixedStep << qint64(7998000) << qint64(0) << qint64(0) << "S1" << 4
        << QStringList{"F07999000", "F07000000", "F07001000"};
    QTest::newRow("range, 500 kHz block") << (QStringList(fixedStep) << Dword("SCN_Range", 500000))
        << qint64(7498000) << qint64(0) << qint64(0) << "S1" << 4
        << QStringList{"F07499000", "F07000000", "F07001000"};
    // Marks given the wrong way round scan the same interval.
    QTest::newRow("marks") << fixedStep << qint64(7050000) << qint64(7103000) << qint64(7101000) << "SR" << 6
        << QStringList{"F07101000", "F07102000", "F07103000", "F07101000"};
    QTest::newRow("known stations") << known << qint64(162000) << qint64(0) << qint64(0) << "SK" << 5
        << QStringList{"F00183000", "F00198000"};
    QTest::newRow("stepping up") << base << qint64(9410000) << qint64(0) << qint64(0) << "{SCA-Left}" << 12
        << QStringList{"F09410500", "F09411000"};
    QTest::newRow("stepping down") << base << qint64(9410000) << qint64(0) << qint64(0) << "{SCA-Right}" << 12
        << QStringList{"F09409500", "F09409000"};
    QTest::newRow("stepping wraps") << base << qint64(29999800) << qint64(0) << qint64(0) << "{SCA-Left}" << 12
        << QStringList{"F00001000", "F00001500"};
    // clang-format on
}

void TestScan::firstStepsAndWrap() {
    QFETCH(QStringList, hive);
    QFETCH(qint64, start);
    QFETCH(qint64, firstMark);
    QFETCH(qint64, secondMark);
    QFETCH(QString, keys);
    QFETCH(int, state);
    QFETCH(QStringList, lines);

    KelvaneFixture::Options options;
    options.hiveLines = hive;
    KelvaneFixture fx(options);
    QVERIFY(ScanReady(fx, firstMark ? firstMark : start));
    if (firstMark) {
        Type(fx, "[");
        QVERIFY(PanelTune(fx, secondMark));
        Type(fx, "]");
        QVERIFY(PanelTune(fx, start));
    }
    const int beeps = fx.main->BeepCount;

    QCOMPARE(Type(fx, keys), QStringList{});
    QCOMPARE(int(fx.main->State().Scan), state);
    QCOMPARE(fx.main->State().PanelLocked, state != 12);
    QCOMPARE(TuneLines(Ticks(fx, int(lines.size()))), lines);
    QCOMPARE(fx.main->BeepCount, beeps);
    if (state == 5) {
        QCOMPARE(fx.main->CHN->text(), QStringLiteral("00-003"));
        QCOMPARE(fx.main->LblCHN->text(), QStringLiteral("Kf"));
    }
}

void TestScan::pacing_data() {
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("ticks");

    QTest::newRow("every tick") << 1 << 6;
    QTest::newRow("every second tick") << 2 << 10;
    QTest::newRow("default 4") << 4 << 16;
    QTest::newRow("7") << 7 << 21;
}

void TestScan::pacing() {
    QFETCH(int, delay);
    QFETCH(int, ticks);

    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults() << Dword("SCN_Delay", delay);
    KelvaneFixture fx(options);
    QVERIFY(ScanReady(fx, 9410000));
    Type(fx, "SB");

    // The ticks that tuned lie exactly "SCN_Delay" apart.
    QList<int> tuned;
    for (int i = 0; i < ticks; ++i) {
        if (!TuneLines(Ticks(fx, 1)).isEmpty()) tuned << i;
    }
    QCOMPARE(tuned.size(), ticks / delay);
    for (qsizetype i = 1; i < tuned.size(); ++i) QCOMPARE(tuned[i] - tuned[i - 1], delay);
}

void TestScan::stepsAheadOfReports() {
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults() << Dword("SCN_Delay", 1);
    KelvaneFixture fx(options);
    QVERIFY(ScanReady(fx, 9410000));
    Type(fx, "SB");
    // The next tick follows as soon as the receiver answered anything (so the link stays up),
    // well before its report of the step: the reports fall behind the steps.
    for (int i = 0; i < 10; ++i) {
        fx.tick();
        QVERIFY(KelvaneFixture::waitFor([&] { return fx.main->EventCount > 0; }));
        // Ticks come 100 ms apart: each step has the line to itself.
        QVERIFY(KelvaneFixture::waitFor([&] { return !fx.main->tuner().Pending(); }));
    }
    QStringList expected;
    for (int i = 1; i <= 10; ++i)
        expected << QStringLiteral("F%1").arg(9410000 + 5000 * i, 8, 10, QChar(u'0'));
    QCOMPARE(TuneLines(fx.takeLines()), expected);
}

void TestScan::escStopsAndRestores() {
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults() << Dword("SCN_Delay", 1);
    KelvaneFixture fx(options);
    QVERIFY(ScanReady(fx, 9410000));
    Main& m = *fx.main;
    Type(fx, "SB");
    QVERIFY(!m.FT->isEnabled());
    QVERIFY(!m.digits().Box(0)->isEnabled());
    QCOMPARE(TuneLines(Ticks(fx, 1)), QStringList{"F09415000"});

    Type(fx, "{Esc}");
    QCOMPARE(int(m.State().Scan), 0);
    QVERIFY(!m.State().PanelLocked);
    QVERIFY(m.tuner().BandDefaults);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m.FT, m.AG, m.NB, m.AT, m.Scan, m.digits().Box(0)})
        QVERIFY(w->isEnabled());
    QString digits;
    for (int i = 0; i < FrequencyDigits::Count; ++i) digits += m.digits().Box(i)->text();
    QCOMPARE(digits, QStringLiteral("09415000"));
    QCOMPARE(TuneLines(Ticks(fx, 3)), QStringList{});
    // The keys work again.
    QCOMPARE(Type(fx, "{Right}"), QStringList{"F09415500"});
}

void TestScan::listScanForgetsTheMarkPosition() {
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults() << Dword("SCN_Delay", 1) << Dword("BND_AutoST", 0)
                                         << Dword("SCN_Step", 1000)
                                         << QStringLiteral("\"MEM_Inf2\"=\"9410000|4|0|0|\"");
    KelvaneFixture fx(options);
    QVERIFY(ScanReady(fx, 7101000));
    Type(fx, "[");
    QVERIFY(PanelTune(fx, 7103000));
    Type(fx, "]");
    Type(fx, "SR");
    QCOMPARE(TuneLines(Ticks(fx, 2)), (QStringList{"F07101000", "F07102000"}));
    Type(fx, "{Esc}");

    // A quick-memory scan tunes: the next mark scan starts again at the lower mark.
    Type(fx, "S*");
    QCOMPARE(int(fx.main->State().Scan), int(ScanState::QuickMemory));
    QCOMPARE(TuneLines(Ticks(fx, 1)), QStringList{"F09410000"});
    QCOMPARE(fx.main->scan().Mark(0), -1.0);
    Type(fx, "{Esc}");
    Type(fx, "SR");
    QCOMPARE(TuneLines(Ticks(fx, 1)), QStringList{"F07101000"});
}

void TestScan::refusedStarts_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<int>("mode");

    // A running scan is not replaced, but the choice is kept for the Scan button; scans without
    // a record source are refused. The arrows are navigation keys: while the panel is locked
    // they do nothing, quietly.
    QTest::newRow("while one runs") << "SBS1" << 3 << 1 << 0;
    QTest::newRow("stepping while a scan runs") << "SB{SCA-Left}" << 3 << 0 << 2;
    QTest::newRow("database") << "SD" << 0 << 1 << 4;
    QTest::newRow("channels") << "SC" << 0 << 1 << 5;
    QTest::newRow("quick memories") << "S*" << 0 << 1 << 6;
    QTest::newRow("pad") << "SP" << 0 << 1 << 7;
    QTest::newRow("file") << "SN" << 0 << 1 << 8;
    QTest::newRow("new file") << "SF" << 0 << 1 << 8;
}

void TestScan::refusedStarts() {
    QFETCH(QString, keys);
    QFETCH(int, state);
    QFETCH(int, beeps);
    QFETCH(int, mode);

    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults() << Dword("SCN_Delay", 1);
    KelvaneFixture fx(options);
    QVERIFY(ScanReady(fx, 9410000));
    const int beepsBefore = fx.main->BeepCount;

    QCOMPARE(Type(fx, keys), QStringList{});
    QCOMPARE(fx.main->BeepCount - beepsBefore, beeps);
    QCOMPARE(int(fx.main->State().Scan), state);
    QCOMPARE(fx.main->settings.SCN_Mode, mode);
    QCOMPARE(fx.main->State().PanelLocked, state != 0);
}

void TestScan::stopsWithBeep_data() {
    QTest::addColumn<QStringList>("hive");
    QTest::addColumn<QString>("keys");

    const QStringList base = NoBandDefaults() << Dword("SCN_Delay", 1);
    QTest::newRow("marks not set") << base << "SR";
    QTest::newRow("one mark only") << base << "[SR";
    QTest::newRow("no known list chosen") << base << "SK";
}

void TestScan::stopsWithBeep() {
    QFETCH(QStringList, hive);
    QFETCH(QString, keys);

    KelvaneFixture::Options options;
    options.hiveLines = hive;
    KelvaneFixture fx(options);
    QVERIFY(ScanReady(fx, 9410000));
    Type(fx, keys);
    QVERIFY(int(fx.main->State().Scan) != 0);
    const int beeps = fx.main->BeepCount;

    QCOMPARE(TuneLines(Ticks(fx, 1)), QStringList{});
    QCOMPARE(int(fx.main->State().Scan), 0);
    QVERIFY(!fx.main->State().PanelLocked);
    QCOMPARE(fx.main->BeepCount, beeps + 1);
}

void TestScan::scanButtonRepeatsChoice() {
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults() << Dword("SCN_Delay", 1);
    KelvaneFixture fx(options);
    QVERIFY(ScanReady(fx, 9410000));
    Type(fx, "SB{Esc}");
    QCOMPARE(fx.main->settings.SCN_Mode, 2);
    KelvaneFixture::click(fx.main->Scan);
    QCOMPARE(int(fx.main->State().Scan), 3);
    QCOMPARE(TuneLines(Ticks(fx, 1)), QStringList{"F09415000"});
}

void TestScan::agcWhileScanning() {
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults() << Dword("SCN_Delay", 1);
    KelvaneFixture fx(options);
    QVERIFY(ScanReady(fx, 9410000));
    // With the panel free "A" is the spectrum key, not a command letter.
    Type(fx, "A");
    QVERIFY(fx.main->keys().PendingCommand().isNull());
    Type(fx, "SB");
    QCOMPARE(Type(fx, "AF"), QStringList{"G1"});
    QCOMPARE(Type(fx, "AS"), QStringList{"G0"});
    QCOMPARE(int(fx.main->State().Scan), 3);
}

void TestScan::bandTracking() {
    // The band plan's mode and filter are on (the defaults); the receiver is not held.
    KelvaneFixture fx;
    QVERIFY(Ready(fx, 9410000, false));
    const auto changes = [&](int ticks) {
        QStringList out;
        for (const QString& l : Ticks(fx, ticks))
            if (l != u"W" && l != u"N" && l != u"Q" && l != u"M") out << l;
        return out;
    };

    // Entering the broadcast band (AM, 5 kHz channels): the auxiliary filter, under a hold
    // that is given back at once.
    QCOMPARE(changes(2), (QStringList{"H1", "B3", "H0"}));
    QVERIFY(fx.main->Band->text().startsWith(QStringLiteral("SWBC")));
    // Staying in the band changes nothing.
    QCOMPARE(changes(4), QStringList{});
    // The operator tunes into the 20 m band: USB and the intermediate filter.
    QVERIFY(PanelTune(fx, 14100000));
    QCOMPARE(changes(2), (QStringList{"H1", "D2", "B1", "W2200", "H0"}));
    QVERIFY(fx.main->Band->text().startsWith(QStringLiteral("HAM")));
    QCOMPARE(fx.main->STP[1]->text(), QStringLiteral("1000"));
    QVERIFY(!fx.main->State().RemoteHeld);
    QCOMPARE(changes(4), QStringList{});
}

QTEST_MAIN(TestScan)
#include "tst_scan.moc"
