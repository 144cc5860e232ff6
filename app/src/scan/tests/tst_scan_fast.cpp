// The fast range scan against the simulated receiver on a pseudo-terminal: what goes on the
// wire (one command on its way at a time, steps over lockouts), and the signal stop with its
// resume rules and hit log. Steps are counted from the wire and the signals, never timed.

#include "core/panel.h"
#include "driver_panel.h"
#include "scan/fast_scan.h"
#include "scan/hit_log.h"
#include "scan/lockouts.h"
#include "scan/signal_stop.h"
#include "scan/smeter_scale.h"
#include "simulated_port.h"

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr quint8 RigPort = 12;

struct Rig {
    QTemporaryDir dir;
    nrd535sim::Simulator sim;
    Nrd535 rx;
    DriverPanel panel{rx};
    SignalStop stop;
    LockoutList lockouts;
    HitLog log{dir.filePath(HitLog::FileName)};
    FastScan scan{panel, rx};

    Rig() {
        sim.setHeld(true);
        sim.setCarriers({});
        for (int i = 0; i < 30; ++i) sim.setNoiseFloor(i, 5);
        QString error;
        if (!StartOnPort(sim, rx, RigPort, 4800, &error))
            qFatal("simulator: %s", qPrintable(error));
        scan.SetSignalStop(&stop);
        scan.SetLockouts(&lockouts);
        scan.SetHitLog(&log, QStringLiteral("Fast"));
        scan.SetSettleMs(0);
    }
    ~Rig() { ostry::setPortDevice(RigPort, QString()); }

    bool connect() {
        if (!rx.fOpen(false) || !rx.Conn()) return false;
        if (!QTest::qWaitFor([&] { return rx.Fr() == 9410000.0; }, 5000)) return false;
        rx.Hook(true);
        panel.state.Connected = panel.state.RemoteHeld = true;
        QTest::qWait(100);
        sim.clearReceivedLines();
        return true;
    }
    void stopOn(ResumeRule rule, int hangMs = 300, int dwellMs = 300) {
        SignalStopOptions o;
        o.On = true;
        o.MarginDb = 10;
        o.Resume = rule;
        o.HangMs = hangMs;
        o.DwellMs = dwellMs;
        stop.SetOptions(o);
    }
    QList<qint64> tunes() const {
        QList<qint64> hz;
        for (const QString& l : sim.receivedLines())
            if (l.startsWith(QLatin1Char('F'))) hz << l.mid(1).toLongLong();
        return hz;
    }
    bool waitFinished(int ms = 20000) {
        return QTest::qWaitFor([&] { return !scan.Running(); }, ms);
    }
};

} // namespace

class TestScanFast : public QObject {
    Q_OBJECT
private slots:
    void stepsRangeOneCommandAtATime();
    void refusedStarts();
    void stepsOverLockoutsAndSkips();
    void offByDefaultPassesSignals();
    void stopsOnPeakAndLogsHit();
    void resumesWhenSignalGoes();
    void keyResumeAndSkip();
    void stopEndsWithHit();
};

void TestScanFast::stepsRangeOneCommandAtATime() {
    Rig r;
    QVERIFY(r.connect());
    QVERIFY(r.scan.SetRange(7020000, 7000000, 5000)); // given the other way round
    QCOMPARE(r.scan.Steps(), 5);
    r.scan.SetSweeps(2);
    QSignalSpy measured(&r.scan, &FastScan::Measured);
    QSignalSpy sweeps(&r.scan, &FastScan::SweepEnded);
    QVERIFY(r.scan.Start());
    QVERIFY(r.panel.state.PanelLocked);
    QVERIFY(r.waitFinished());
    QCOMPARE(measured.size(), 10);
    QCOMPARE(sweeps.size(), 2);
    QVERIFY(!r.panel.state.PanelLocked);
    // Each step is a tune, then the meter asked once, then the next step on its reply.
    QStringList expected;
    for (int sweep = 0; sweep < 2; ++sweep)
        for (int k = 0; k < 5; ++k)
            expected << QStringLiteral("F%1").arg(7000000 + k * 5000, 8, 10, QLatin1Char('0'))
                     << QStringLiteral("M");
    QCOMPARE(r.sim.receivedLines(), expected);
    QCOMPARE(measured[3][2].toDouble(), 7015000.0);
    QCOMPARE(measured[3][3].toInt(), nrd535sim::Simulator::rawFromDb(5));
    QCOMPARE(r.scan.StepsDone(), qint64(10));
}

void TestScanFast::refusedStarts() {
    Rig r;
    QVERIFY(r.connect());
    // Nothing to step.
    QVERIFY(!r.scan.Start());
    QCOMPARE(r.panel.beeps, 1);
    QVERIFY(!r.scan.SetRange(7000000, 7100000, 0));
    QVERIFY(r.scan.SetRange(7000000, 7100000, 1000));
    // Not held, or another scan runs.
    r.panel.state.RemoteHeld = false;
    QVERIFY(!r.scan.Start());
    r.panel.state.RemoteHeld = true;
    r.panel.state.Scan = ScanState::Band;
    QVERIFY(!r.scan.Start());
    QCOMPARE(r.panel.beeps, 3);
    QVERIFY(r.sim.receivedLines().isEmpty());
    // All locked out: one sweep finds nothing to do, beeps and ends.
    r.panel.state.Scan = ScanState::Idle;
    r.lockouts.Add({7050000, 200000, {}});
    QVERIFY(r.scan.Start());
    QVERIFY(r.waitFinished());
    QCOMPARE(r.panel.beeps, 4);
    QVERIFY(r.tunes().isEmpty());
}

void TestScanFast::stepsOverLockoutsAndSkips() {
    Rig r;
    QVERIFY(r.connect());
    r.scan.SetList({7000000, 7005000, 7010000, 7015000, 7020000});
    r.lockouts.Add({7005000, 0, {}});
    r.scan.Skips().Add({7015000, 0, {}}); // skips belong to one scan: Start clears them
    r.scan.SetSweeps(1);
    QVERIFY(r.scan.Start());
    QVERIFY(r.waitFinished());
    QCOMPARE(r.tunes(), (QList<qint64>{7000000, 7010000, 7015000, 7020000}));
}

void TestScanFast::offByDefaultPassesSignals() {
    Rig r;
    r.sim.setCarriers({{7010000, 3000, 50}});
    QVERIFY(r.connect());
    QVERIFY(r.scan.SetRange(7000000, 7020000, 5000));
    r.scan.SetSweeps(1);
    QSignalSpy stopped(&r.scan, &FastScan::SignalStopped);
    QVERIFY(r.scan.Start());
    QVERIFY(r.waitFinished());
    QCOMPARE(stopped.size(), 0);
    QCOMPARE(r.tunes().size(), 5);
    QVERIFY(r.log.ReadNewest(10).Hits.isEmpty());
}

void TestScanFast::stopsOnPeakAndLogsHit() {
    Rig r;
    // 9 kHz wide: heard on several 2 kHz steps, strongest over the middle five.
    r.sim.setCarriers({{7010000, 9000, 44}});
    QVERIFY(r.connect());
    QVERIFY(r.scan.SetRange(7000000, 7030000, 2000));
    r.scan.SetSweeps(1);
    r.stopOn(ResumeRule::Dwell);
    QSignalSpy stopped(&r.scan, &FastScan::SignalStopped);
    QSignalSpy logged(&r.scan, &FastScan::HitLogged);
    QVERIFY(r.scan.Start());
    QVERIFY(r.waitFinished());
    // One stop for one signal, on its middle, with the reading and margin on the panel.
    QCOMPARE(stopped.size(), 1);
    QCOMPARE(stopped[0][0].toDouble(), 7010000.0);
    QCOMPARE(stopped[0][1].toInt(), SMeterRaw(44));
    QVERIFY(r.panel.calls.contains(QStringLiteral("ShowRecordCaption 7010000 1")));
    QVERIFY(r.panel.comment.isEmpty() || !r.panel.captionVisible);
    QCOMPARE(logged.size(), 1);
    QVERIFY(logged[0][1].toString().isEmpty());
    const HitLog::ReadResult read = r.log.ReadNewest(10);
    QCOMPARE(read.Hits.size(), 1);
    const Hit& h = read.Hits[0];
    QCOMPARE(h.Hz, 7010000.0);
    QCOMPARE(h.Mode, 4);
    QCOMPARE(h.Filter, 0);
    QCOMPARE(h.PeakRaw, SMeterRaw(44));
    QVERIFY(h.DbAboveFloor > 35 && h.DbAboveFloor < 45);
    QVERIFY(h.HeardS >= 0.2); // heard until the dwell was over
    QCOMPARE(h.Scan, QStringLiteral("Fast"));
    // After the stop it went on past the signal without stopping on its other side, to the
    // range's end.
    QCOMPARE(r.tunes().last(), qint64(7030000));
    QCOMPARE(r.tunes().count(7010000), 2); // passed over, then back to stop there
}

void TestScanFast::resumesWhenSignalGoes() {
    Rig r;
    r.sim.setCarriers({{7010000, 3000, 44}});
    QVERIFY(r.connect());
    QVERIFY(r.scan.SetRange(7000000, 7020000, 5000));
    r.scan.SetSweeps(1);
    r.stopOn(ResumeRule::Hang, 300);
    QSignalSpy stopped(&r.scan, &FastScan::SignalStopped);
    QSignalSpy resumed(&r.scan, &FastScan::Resumed);
    QVERIFY(r.scan.Start());
    QVERIFY(QTest::qWaitFor([&] { return r.scan.StoppedOnSignal(); }, 5000));
    // It stays while the signal is there ...
    QTest::qWait(800);
    QVERIFY(r.scan.StoppedOnSignal());
    QVERIFY(r.sim.receivedLines().count(QStringLiteral("M")) > 5); // it keeps listening
    // ... and goes on once it has been gone for the hang time.
    r.sim.setCarriers({});
    QVERIFY(r.waitFinished());
    QCOMPARE(stopped.size(), 1);
    QCOMPARE(resumed.size(), 1);
    const Hit h = r.scan.LastHit();
    QVERIFY2(h.HeardS >= 0.5, qPrintable(QString::number(h.HeardS)));
}

void TestScanFast::keyResumeAndSkip() {
    Rig r;
    r.sim.setCarriers({{7010000, 3000, 44}});
    QVERIFY(r.connect());
    QVERIFY(r.scan.SetRange(7000000, 7020000, 5000));
    r.scan.SetSweeps(3);
    r.stopOn(ResumeRule::Key);
    QSignalSpy stopped(&r.scan, &FastScan::SignalStopped);
    QVERIFY(!r.scan.Resume()); // not running
    QVERIFY(r.scan.Start());
    QVERIFY(QTest::qWaitFor([&] { return r.scan.StoppedOnSignal(); }, 5000));
    QTest::qWait(500);
    QVERIFY(r.scan.StoppedOnSignal()); // the key rule waits for the operator
    QCOMPARE(r.scan.StoppedHz(), 7010000.0);
    QVERIFY(r.scan.Resume());
    // The next sweep stops there again; skipping it leaves the third sweep alone.
    QVERIFY(QTest::qWaitFor([&] { return stopped.size() == 2; }, 5000));
    QCOMPARE(r.scan.Sweep(), 1);
    QVERIFY(r.scan.SkipHere(3000));
    QVERIFY(r.waitFinished());
    QCOMPARE(stopped.size(), 2);
    QCOMPARE(r.log.ReadNewest(10).Hits.size(), 2);
    // Each stop passed it and came back to it; the skipped sweep did not tune it.
    QCOMPARE(r.tunes().count(7010000), 4);
}

void TestScanFast::stopEndsWithHit() {
    Rig r;
    r.sim.setCarriers({{7010000, 3000, 44}});
    QVERIFY(r.connect());
    QVERIFY(r.scan.SetRange(7000000, 7020000, 5000));
    r.scan.SetRestoreOnEnd(true);
    r.stopOn(ResumeRule::Key);
    QSignalSpy finished(&r.scan, &FastScan::Finished);
    QVERIFY(r.scan.Start());
    QVERIFY(QTest::qWaitFor([&] { return r.scan.StoppedOnSignal(); }, 5000));
    r.scan.Stop();
    QCOMPARE(finished.size(), 1);
    QVERIFY(!r.scan.Running());
    QCOMPARE(r.log.ReadNewest(10).Hits.size(), 1);
    // Back where it started.
    QTRY_COMPARE(r.tunes().last(), qint64(9410000));
    const qsizetype lines = r.sim.receivedLines().size();
    QTest::qWait(300);
    QCOMPARE(r.sim.receivedLines().size(), lines); // nothing more goes out
}

QTEST_GUILESS_MAIN(TestScanFast)
#include "tst_scan_fast.moc"
