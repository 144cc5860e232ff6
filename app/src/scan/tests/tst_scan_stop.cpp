// The signal stop's decisions: the S-meter law against the driver's conversion, which readings
// stop a step, and when a stop is over.

#include "scan/signal_stop.h"
#include "scan/smeter_scale.h"

#include <ostry/nrd535.h>

#include <QtTest>

#include <cmath>

class TestScanStop : public QObject {
    Q_OBJECT
private slots:
    void lawMatchesDriver();
    void stops_data();
    void stops();
    void resume_data();
    void resume();
};

void TestScanStop::lawMatchesDriver() {
    const Nrd535 rx;
    // S scale to raw: every S unit and every decibel above S9 the driver gives.
    for (int s = 1; s <= 70; ++s) {
        const double db = s < 10 ? 6.0 * s : 54.0 + s;
        QCOMPARE(SMeterRaw(db), int(rx.SMCalc(qint16(s), true)));
    }
    // Raw to S scale: the continuous level rounds to what the driver reads.
    for (int raw = 0; raw <= 255; ++raw) {
        const double db = SMeterDb(raw);
        const int s = int(std::nearbyint(db / 6));
        const int expected = s > 9 ? int(std::nearbyint(db - 54)) : s;
        QCOMPARE(int(rx.SMCalc(qint16(raw), false)), expected);
        QCOMPARE(SMeterRaw(db), raw);
    }
    QCOMPARE(SMeterText(98), QStringLiteral("S9"));
    QCOMPARE(SMeterText(86), QStringLiteral("S9+21"));
    QCOMPARE(SMeterText(250), QStringLiteral("S0"));
}

void TestScanStop::stops_data() {
    QTest::addColumn<bool>("on");
    QTest::addColumn<int>("floor7"); // the survey's floor of 7 MHz, 0 for none
    QTest::addColumn<double>("hz");
    QTest::addColumn<double>("signalDb"); // the reading, dB above S0
    QTest::addColumn<double>("marginDb");
    QTest::addColumn<bool>("stops");
    const int floor5 = SMeterRaw(5);
    // clang-format off
    QTest::newRow("off never stops")          << false << floor5 << 7100000.0 << 54.0 << 10.0 << false;
    QTest::newRow("well above")               << true  << floor5 << 7100000.0 << 40.0 << 10.0 << true;
    QTest::newRow("below the margin")         << true  << floor5 << 7100000.0 << 12.0 << 10.0 << false;
    QTest::newRow("at the floor")             << true  << floor5 << 7100000.0 << 5.0  << 0.5  << false;
    QTest::newRow("small margin")             << true  << floor5 << 7100000.0 << 9.0  << 3.0  << true;
    // Without a survey the default floor (184, under 2 dB) stands.
    QTest::newRow("default floor")            << true  << 0      << 7100000.0 << 13.0 << 10.0 << true;
    QTest::newRow("default floor, weak")      << true  << 0      << 7100000.0 << 8.0  << 10.0 << false;
    // The megahertz that holds the frequency counts: 7 999 999 Hz is in 7, 8 MHz is not.
    QTest::newRow("top of the segment")       << true  << SMeterRaw(30) << 7999999.0 << 35.0 << 10.0 << false;
    QTest::newRow("next segment's floor")     << true  << SMeterRaw(30) << 8000000.0 << 35.0 << 10.0 << true;
    // clang-format on
}

void TestScanStop::stops() {
    QFETCH(bool, on);
    QFETCH(int, floor7);
    QFETCH(double, hz);
    QFETCH(double, signalDb);
    QFETCH(double, marginDb);
    QFETCH(bool, stops);
    SignalStop stop;
    SignalStopOptions o;
    QVERIFY(!o.On); // off by default
    o.On = on;
    o.MarginDb = marginDb;
    stop.SetOptions(o);
    NoiseFloors floors{};
    floors[7] = floor7;
    floors[8] = SMeterRaw(5);
    stop.SetFloors(floors);
    const int raw = SMeterRaw(signalDb);
    QCOMPARE(stop.Stops(raw, hz), stops);
    if (on) QCOMPARE(stop.Above(raw, hz), stops);
}

void TestScanStop::resume_data() {
    QTest::addColumn<int>("rule");
    // Readings while stopped, "dB@ms" (dB above S0 at that time); the stop began at 0 ms on
    // 40 dB. -1 dB: no reading, only time passing (Due).
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("resumesAt"); // index of the event that resumes, -1 for none
    QTest::addColumn<int>("heardMs");
    QTest::addColumn<double>("peakDb");
    const int hang = int(ResumeRule::Hang), dwell = int(ResumeRule::Dwell),
              key = int(ResumeRule::Key);
    // Hang 1000 ms, dwell 3000 ms, margin 10 over a 5 dB floor.
    // clang-format off
    QTest::newRow("hang: gone long enough") << hang << QStringList{"40@200", "5@400", "5@1000", "5@1400"} << 3 << 200 << 40.0;
    QTest::newRow("hang: back in the gap")  << hang << QStringList{"40@200", "5@400", "44@1200", "5@1600", "5@2599", "5@2600"} << 5 << 1200 << 44.0;
    QTest::newRow("hang: never gone")       << hang << QStringList{"40@1000", "40@5000", "40@9000"} << -1 << 9000 << 40.0;
    QTest::newRow("hang: due without reading") << hang << QStringList{"5@100", "-1@1099", "-1@1100"} << 2 << 0 << 40.0;
    QTest::newRow("dwell: signal or not")   << dwell << QStringList{"40@1000", "40@2999", "40@3000"} << 2 << 3000 << 40.0;
    QTest::newRow("dwell: by time alone")   << dwell << QStringList{"-1@2000", "-1@3000"} << 1 << 0 << 40.0;
    QTest::newRow("key: never by itself")   << key << QStringList{"5@100", "5@60000", "-1@90000"} << -1 << 0 << 40.0;
    // clang-format on
}

void TestScanStop::resume() {
    QFETCH(int, rule);
    QFETCH(QStringList, events);
    QFETCH(int, resumesAt);
    QFETCH(int, heardMs);
    QFETCH(double, peakDb);
    SignalStop stop;
    SignalStopOptions o;
    o.On = true;
    o.Resume = ResumeRule(rule);
    o.HangMs = 1000;
    o.DwellMs = 3000;
    stop.SetOptions(o);
    NoiseFloors floors;
    floors.fill(SMeterRaw(5));
    stop.SetFloors(floors);
    stop.Begin(7100000, SMeterRaw(40), 0);
    QVERIFY(stop.Stopped());
    int resumed = -1;
    for (int i = 0; i < events.size(); ++i) {
        const QStringList parts = events[i].split(QLatin1Char('@'));
        const double db = parts[0].toDouble();
        const qint64 at = parts[1].toLongLong();
        const bool due = db < 0 ? stop.Due(at) : stop.Reading(SMeterRaw(db), at);
        if (due) {
            resumed = i;
            break;
        }
    }
    QCOMPARE(resumed, resumesAt);
    const SignalStop::Stop s = stop.End();
    QVERIFY(!stop.Stopped());
    QCOMPARE(s.HeardMs(), qint64(heardMs));
    QCOMPARE(s.PeakRaw, SMeterRaw(peakDb));
    QCOMPARE(s.Hz, 7100000.0);
    QVERIFY(std::abs(s.PeakDb - (SMeterDb(SMeterRaw(peakDb)) - SMeterDb(SMeterRaw(5)))) < 1e-9);
}

QTEST_GUILESS_MAIN(TestScanStop)
#include "tst_scan_stop.moc"
