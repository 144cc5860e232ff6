// The survey and the search against the simulated receiver on a pseudo-terminal: what they tune
// on the wire, what they measure and write, and what they restore. Steps are counted from the
// wire and the signals, never timed.

#include "core/panel.h"
#include "driver_panel.h"
#include "noise/noise_file.h"
#include "noise/smeter_procedures.h"
#include "settings/settings.h"
#include "simulated_port.h"
#include "update_polls.h"

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <cmath>

namespace {

constexpr quint8 RigPort = 11;

// Simulator, driver, panel, the update timer's polls and the procedures, wired as the main
// window wires them.
struct Rig {
    QTemporaryDir dir;
    nrd535sim::Simulator sim;
    Nrd535 rx;
    DriverPanel panel{rx};
    Settings settings;
    NoiseSurvey survey;
    SMeterProcedures proc;
    QTimer tick;
    int idleCalls = 0;
    qsizetype linesAtIdle = -1; // lines the receiver had when the last procedure ended

    explicit Rig(int baud = 4800)
        : proc(
              panel, rx, settings, survey,
              [this](ScanState s) {
                  panel.state.Scan = s;
                  if (s == ScanState::Idle) {
                      ++idleCalls;
                      linesAtIdle = sim.receivedLines().size();
                  }
              },
              [] { return 5000; }) {
        settings.SMT_Log = dir.filePath(QStringLiteral("Noise.txt"));
        settings.SCN_Step = 1000;
        settings.BND_AutoST = false;
        settings.SCN_Delay = 4;
        sim.setHeld(true);
        sim.setCarriers({});
        for (int i = 0; i < 30; ++i) sim.setNoiseFloor(i, 0);
        QString error;
        if (!StartOnPort(sim, rx, RigPort, baud, &error))
            qFatal("simulator: %s", qPrintable(error));
        // The update timer's polls; the S-meter is left to the procedures while they run.
        WireUpdatePolls(tick, rx, panel.state, [this](int sm) { proc.SMeterReport(sm); });
    }
    ~Rig() { ostry::setPortDevice(RigPort, QString()); }

    bool connect(qint64 hz = 9410000) {
        nrd535sim::RxSettings s = sim.settings();
        s.hz = hz;
        s.ft = 0;
        s.ag = 0;
        s.md = 4;
        sim.panelSet(s);
        if (!rx.fOpen(false) || !rx.Conn()) return false;
        // Held once the first report is in, as when the operator takes the receiver over.
        rx.Hook(false);
        tick.start();
        if (!QTest::qWaitFor([&] { return rx.FT() >= 0 && rx.Fr() == double(hz); }, 5000))
            return false;
        rx.Hook(true);
        panel.state.Connected = panel.state.RemoteHeld = true;
        QTest::qWait(300);
        sim.clearReceivedLines();
        return true;
    }

    // Frequencies sent with "F" since the last clear.
    QList<qint64> tunes() const {
        QList<qint64> hz;
        for (const QString& l : sim.receivedLines())
            if (l.startsWith(QLatin1Char('F'))) hz << l.mid(1).toLongLong();
        return hz;
    }
    int meterRequests() const { return int(sim.receivedLines().count(QStringLiteral("M"))); }

    QStringList noiseLines() const {
        QFile f(settings.SMT_Log);
        if (!f.open(QIODevice::ReadOnly)) return {};
        QStringList lines = QString::fromLocal8Bit(f.readAll()).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        return lines;
    }

    bool waitIdle(int timeoutMs) {
        return QTest::qWaitFor([&] { return panel.state.Scan == ScanState::Idle; }, timeoutMs);
    }
};

int rawOf(double db) {
    return nrd535sim::Simulator::rawFromDb(db);
}

} // namespace

// Counts how deep event deliveries nest: an event delivered while another is being handled
// comes from an event loop run under that handler.
class DeliveryDepth : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;
    static inline int depth = 0;
    bool notify(QObject* receiver, QEvent* event) override {
        ++depth;
        const bool handled = QCoreApplication::notify(receiver, event);
        --depth;
        return handled;
    }
};

class TestNoiseProcedures : public QObject {
    Q_OBJECT
private slots:
    void fullSurvey();
    void slowedStep();
    void cancelSurvey_data();
    void cancelSurvey();
    void abandon_data();
    void abandon();
    void refused_data();
    void refused();
    void searchThreshold_data();
    void searchThreshold();
    void searchStopsAtPeak_data();
    void searchStopsAtPeak();
    void searchPausesAndGoesOn();
    void surveyNeverNestsTheEventLoop();
    void restoreKeepsAgcOff();
    void operatorWinsAfterTheRestore_data();
    void operatorWinsAfterTheRestore();
    void unwritableNoiseFile();
};

// A receiver on AGC Off before a survey gets Off back, even where the operator may not choose
// Off ("AGC_OffAllow" false): the restore undoes the survey's Fast, it is no choice of the
// operator's (which the panel would turn into Slow).
void TestNoiseProcedures::restoreKeepsAgcOff() {
    Rig rig;
    QVERIFY(rig.connect(7050000));
    rig.settings.AGC_OffAllow = false;
    nrd535sim::RxSettings s = rig.sim.settings();
    s.ag = 2;
    rig.sim.panelSet(s);
    QTRY_COMPARE(rig.rx.state().AG, qint32(2));
    rig.proc.NoiseMeasure(true);
    QVERIFY(QTest::qWaitFor([&] { return rig.tunes().size() >= 2; }, 10000));
    rig.proc.Cancel();
    QTRY_COMPARE(rig.sim.settings().ag, 2);
    QCOMPARE(rig.panel.Count("ShowAgc 2 1"), 0);
}

// What the operator sets right after a survey or search ended stands: no restore comes later
// over it, even when the receiver had not reported the procedure's last step yet.
void TestNoiseProcedures::operatorWinsAfterTheRestore_data() {
    QTest::addColumn<bool>("survey");
    QTest::newRow("survey ended with Esc") << true;
    QTest::newRow("search stopped") << false;
}

void TestNoiseProcedures::operatorWinsAfterTheRestore() {
    QFETCH(bool, survey);
    Rig rig;
    QVERIFY(rig.connect(7050000));
    if (survey)
        rig.proc.NoiseMeasure(true);
    else
        rig.proc.ActiveSearch(true, 0, true);
    QVERIFY(QTest::qWaitFor([&] { return rig.tunes().size() >= 2; }, 10000));
    // Right behind a step, before its report.
    const qsizetype tunes = rig.tunes().size();
    QVERIFY(QTest::qWaitFor([&] { return rig.tunes().size() > tunes; }, 10000));
    rig.proc.Cancel();
    QVERIFY(!rig.panel.state.PanelLocked);
    rig.panel.ShowMode(ostry::USB, true);
    rig.panel.TuneTo(6000000, true, true, true);
    QTest::qWait(1500);
    QCOMPARE(rig.sim.settings().md, int(ostry::USB));
    QCOMPARE(rig.sim.settings().hz, qint64(6000000));
}

// A survey line that cannot be written is said so, and the survey just measured is kept, not
// replaced by the file's older last line.
void TestNoiseProcedures::unwritableNoiseFile() {
    Rig rig;
    for (int i = 0; i < 30; ++i) rig.sim.setNoiseFloor(i, 5);
    QVERIFY(QDir(rig.dir.path()).mkdir(QStringLiteral("Noise.txt"))); // a folder in its place
    QVERIFY(rig.connect(7050000));
    QSignalSpy failed(&rig.proc, &SMeterProcedures::NoiseFileFailed);
    QSignalSpy progress(&rig.proc, &SMeterProcedures::SurveyProgress);
    rig.proc.NoiseMeasure(true);
    QVERIFY(QTest::qWaitFor(
        [&] { return !progress.isEmpty() && progress.last().at(0).toInt() >= 2; }, 30000));
    rig.proc.Cancel();
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().first().toString(), rig.settings.SMT_Log);
    QVERIFY(rig.proc.SurveyUnsaved());
    QVERIFY(NoiseFileFailedText(rig.settings.SMT_Log).contains(rig.settings.SMT_Log));
    QCOMPARE(rig.survey.Levels[0], rawOf(5));
}

void TestNoiseProcedures::fullSurvey() {
    Rig rig;
    // A different floor in most megahertz, no carriers, and no floor so much stronger than the
    // next one that the first reading above it slows a step.
    for (int i = 0; i < 30; ++i) rig.sim.setNoiseFloor(i, 4 + (i * 7) % 13 * 0.125);
    QVERIFY(rig.connect());
    const auto before = rig.sim.settings();
    QSignalSpy finished(&rig.proc, &SMeterProcedures::SurveyFinished);
    QSignalSpy colours(&rig.proc, &SMeterProcedures::SMeterColour);
    rig.proc.NoiseMeasure(true);
    QCOMPARE(rig.panel.state.Scan, ScanState::NoiseMeasure);
    QVERIFY(rig.panel.state.PanelLocked);
    QVERIFY(rig.waitIdle(120000));
    QTRY_COMPARE(finished.size(), 1);

    QList<qint64> expected;
    for (qint64 hz = 100000; hz <= 14000000; hz += 100000) expected << hz;
    for (qint64 hz = 14200000; hz <= 29800000; hz += 200000) expected << hz;
    expected << qint64(before.hz); // back where it was
    QTRY_COMPARE(rig.tunes().size(), expected.size());
    QCOMPARE(rig.tunes(), expected);
    // One S-meter request a survey step; the update timer asks again once the survey is over
    // (possibly before the restoring tune, which waits for the receiver's report).
    // Counted from the first tune: a poll of the timer sent just before the start may reach the
    // receiver after the log was cleared.
    const QStringList lines = rig.sim.receivedLines();
    QVERIFY(rig.linesAtIdle > 0);
    qsizetype firstTune = 0;
    while (firstTune < lines.size() && !lines[firstTune].startsWith(QLatin1Char('F'))) ++firstTune;
    QCOMPARE(int(lines.mid(firstTune, rig.linesAtIdle - firstTune).count(QStringLiteral("M"))),
             int(expected.size()) - 1);

    const QStringList written = rig.noiseLines();
    QCOMPARE(written.size(), 1);
    const QStringList fields = written[0].split(QLatin1Char('|'));
    QCOMPARE(fields.size(), 33);
    int sum = 0;
    for (int i = 0; i < 30; ++i) {
        const int raw = rawOf(rig.sim.noiseFloor(i));
        QCOMPARE(fields[3 + i], QStringLiteral("%1").arg(raw, 3, 10, QLatin1Char('0')));
        QCOMPARE(rig.survey.Levels[size_t(i)], raw);
        sum += raw;
    }
    QCOMPARE(fields[2].toInt(), int(std::nearbyint(sum / 30.0)));
    QCOMPARE(rig.survey.Mean, fields[2].toInt());

    // The receiver is as it was, the panel free, the label back to orange.
    QTRY_COMPARE(rig.sim.settings().hz, before.hz);
    QTRY_COMPARE(rig.sim.settings().ft, before.ft);
    QTRY_COMPARE(rig.sim.settings().ag, before.ag);
    QCOMPARE(rig.sim.settings().md, before.md);
    QVERIFY(!rig.panel.state.PanelLocked);
    QCOMPARE(colours.size(), 2);
    QCOMPARE(colours.last().at(0).value<QColor>(), SMeterProcedures::EndColour);
}

void TestNoiseProcedures::slowedStep() {
    Rig rig;
    for (int i = 0; i < 30; ++i) rig.sim.setNoiseFloor(i, 4);
    // One carrier on a survey frequency of segment 5.
    rig.sim.setCarriers({{5400000, 3000, 40}});
    QVERIFY(rig.connect());
    QSignalSpy progress(&rig.proc, &SMeterProcedures::SurveyProgress);
    rig.proc.NoiseMeasure(true);
    QVERIFY(QTest::qWaitFor(
        [&] { return !progress.isEmpty() && progress.last().at(0).toInt() >= 7; }, 60000));
    QVERIFY(rig.proc.Cancel());

    QList<qint64> steps;
    const QList<qint64> hz = rig.tunes();
    for (qsizetype i = 1; i + 1 < hz.size(); ++i) steps << hz[i] - hz[i - 1];
    // The strong reading at 5.4 MHz shortens one later step to a fifth; all others are whole.
    QCOMPARE(steps.count(20000), 1);
    QCOMPARE(steps.count(100000), steps.size() - 1);
    const qsizetype at = steps.indexOf(20000);
    QCOMPARE(hz[at], 5500000);
    QCOMPARE(hz[at + 1], 5520000);
    QCOMPARE(hz[at + 2], 5620000);
    // The carrier does not lower the floor of its segment.
    QCOMPARE(rig.survey.Levels[5], rawOf(4));
}

void TestNoiseProcedures::cancelSurvey_data() {
    QTest::addColumn<int>("cancelAt");
    QTest::addColumn<int>("measured");
    QTest::newRow("after the third segment") << 3 << 3;
    QTest::newRow("after the first segment") << 1 << 1;
    QTest::newRow("before any reading") << 0 << 0;
}

void TestNoiseProcedures::cancelSurvey() {
    QFETCH(int, cancelAt);
    QFETCH(int, measured);
    Rig rig;
    for (int i = 0; i < 30; ++i) rig.sim.setNoiseFloor(i, 3 + i % 4);
    QVERIFY(rig.connect(7050000));
    // The survey held before: a cancelled survey without readings keeps it.
    rig.survey.Levels.fill(99);
    rig.survey.Mean = 99;
    rig.survey.Date = QStringLiteral("held");
    const auto before = rig.sim.settings();
    QSignalSpy progress(&rig.proc, &SMeterProcedures::SurveyProgress);
    QSignalSpy finished(&rig.proc, &SMeterProcedures::SurveyFinished);
    rig.proc.NoiseMeasure(true);
    if (cancelAt > 0)
        QVERIFY(QTest::qWaitFor(
            [&] { return !progress.isEmpty() && progress.last().at(0).toInt() >= cancelAt; },
            30000));
    rig.proc.Cancel(); // Esc
    QCOMPARE(rig.panel.state.Scan, ScanState::Idle);
    QVERIFY(!rig.panel.state.PanelLocked);
    QVERIFY(finished.wait(2000));

    const QStringList lines = rig.noiseLines();
    if (measured == 0) {
        QVERIFY(lines.isEmpty());
        QCOMPARE(rig.survey.Date, QStringLiteral("held"));
        QCOMPARE(rig.survey.Levels[10], 99);
    } else {
        QCOMPARE(lines.size(), 1);
        const QStringList fields = lines[0].split(QLatin1Char('|'));
        QCOMPARE(fields.size(), 33);
        int sum = 0;
        for (int i = 0; i < 30; ++i) {
            if (i < measured) {
                const int raw = rawOf(rig.sim.noiseFloor(i));
                QCOMPARE(fields[3 + i].toInt(), raw);
                sum += raw;
            } else {
                QCOMPARE(fields[3 + i], QStringLiteral("000"));
            }
        }
        QCOMPARE(fields[2].toInt(), int(std::nearbyint(double(sum) / measured)));
    }

    // Frequency, filter, AGC and mode back on the wire.
    QTRY_COMPARE(rig.sim.settings().hz, before.hz);
    QTRY_COMPARE(rig.sim.settings().ft, before.ft);
    QTRY_COMPARE(rig.sim.settings().ag, before.ag);
    QCOMPARE(rig.sim.settings().md, before.md);
    // A late reply does not start anything again.
    const qsizetype tunes = rig.tunes().size();
    QTest::qWait(400);
    QCOMPARE(rig.panel.state.Scan, ScanState::Idle);
    QCOMPARE(rig.tunes().size(), tunes);
    QCOMPARE(rig.tunes().last(), before.hz);
}

void TestNoiseProcedures::abandon_data() {
    QTest::addColumn<bool>("survey");
    QTest::newRow("survey") << true;
    QTest::newRow("search") << false;
}

void TestNoiseProcedures::abandon() {
    QFETCH(bool, survey);
    Rig rig;
    QVERIFY(rig.connect(7050000));
    rig.survey.Date = QStringLiteral("held");
    rig.survey.Levels.fill(99);
    const auto before = rig.sim.settings();
    QSignalSpy finished(&rig.proc, &SMeterProcedures::SurveyFinished);
    if (survey)
        rig.proc.NoiseMeasure(true);
    else
        rig.proc.ActiveSearch(true, 0, false);
    QVERIFY(QTest::qWaitFor([&] { return rig.tunes().size() >= 3; }, 10000));
    const qint64 position = rig.tunes().last();
    // The program closes: no line, no window, the receiver's settings back at once.
    rig.proc.Abandon();
    QCOMPARE(rig.panel.state.Scan, ScanState::Idle);
    QVERIFY(!rig.panel.state.PanelLocked);
    QTRY_COMPARE(rig.sim.settings().ag, before.ag);
    QCOMPARE(rig.sim.settings().ft, before.ft);
    QTRY_COMPARE(rig.sim.settings().hz, survey ? before.hz : position);
    QTest::qWait(300);
    QVERIFY(finished.isEmpty());
    QVERIFY(rig.noiseLines().isEmpty());
    QCOMPARE(rig.survey.Date, QStringLiteral("held"));
    QCOMPARE(rig.survey.Levels[0], 99);
}

void TestNoiseProcedures::refused_data() {
    QTest::addColumn<bool>("held");
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("survey");
    QTest::newRow("survey, not held") << false << 0 << true;
    QTest::newRow("survey during a band scan") << true << int(ScanState::Band) << true;
    QTest::newRow("survey during a search") << true << int(ScanState::ActiveSearch) << true;
    QTest::newRow("search, not held") << false << 0 << false;
    QTest::newRow("search during a survey") << true << int(ScanState::NoiseMeasure) << false;
    QTest::newRow("search during a channel scan") << true << int(ScanState::Channels) << false;
}

void TestNoiseProcedures::refused() {
    QFETCH(bool, held);
    QFETCH(int, state);
    QFETCH(bool, survey);
    Rig rig(38400);
    QVERIFY(rig.connect());
    rig.panel.state.RemoteHeld = held;
    rig.panel.state.Scan = ScanState(state);
    if (survey)
        rig.proc.NoiseMeasure(true);
    else
        rig.proc.ActiveSearch(true, 0, false);
    QCOMPARE(rig.panel.beeps, 1);
    QCOMPARE(int(rig.panel.state.Scan), state);
    QVERIFY(!rig.panel.state.PanelLocked);
    QTest::qWait(300);
    QVERIFY(rig.tunes().isEmpty());
}

void TestNoiseProcedures::searchThreshold_data() {
    QTest::addColumn<double>("floorDb");
    QTest::addColumn<int>("tableLevel");
    QTest::addColumn<bool>("stops");
    // Raw readings: 1.5 dB reads weaker than 184, 3 dB stronger.
    QTest::newRow("empty table, floor weaker than 184") << 1.5 << 0 << false;
    QTest::newRow("empty table, floor stronger than 184") << 3.0 << 0 << true;
    QTest::newRow("surveyed floor, noise at the floor") << 3.0 << rawOf(3.0) << true;
    QTest::newRow("surveyed floor, noise weaker") << 3.0 << rawOf(3.0) - 5 << false;
}

void TestNoiseProcedures::searchThreshold() {
    QFETCH(double, floorDb);
    QFETCH(int, tableLevel);
    QFETCH(bool, stops);
    QVERIFY(rawOf(1.5) > SMeterProcedures::DefaultThreshold);
    QVERIFY(rawOf(3.0) < SMeterProcedures::DefaultThreshold);
    Rig rig(38400);
    for (int i = 0; i < 30; ++i) rig.sim.setNoiseFloor(i, floorDb);
    rig.survey.Levels.fill(0);
    // Only the segment searched has a level: the threshold comes from the frequency's own.
    rig.survey.Levels[12] = tableLevel;
    // 12.9 MHz: the megahertz it lies in is 12, the nearest 13.
    QVERIFY(rig.connect(12900000));
    rig.proc.ActiveSearch(true, 0, false);
    QVERIFY(QTest::qWaitFor(
        [&] { return rig.meterRequests() >= 6 || rig.panel.state.Scan == ScanState::Idle; },
        20000));
    QCOMPARE(rig.panel.state.Scan == ScanState::Idle, stops);
    if (stops) {
        // Flat readings: the third one ends it, two steps back from there. (The update timer
        // asks for the S-meter again once the search has given the AGC back.)
        QTRY_VERIFY(rig.sim.receivedLines().contains(QStringLiteral("G0")));
        const QStringList lines = rig.sim.receivedLines();
        QCOMPARE(lines.mid(0, lines.indexOf(QStringLiteral("G0"))).count(QStringLiteral("M")), 3);
        QTRY_COMPARE(rig.tunes().last(), 12899000);
        QCOMPARE(rig.tunes().mid(0, 3), (QList<qint64>{12899000, 12898000, 12897000}));
    } else {
        rig.proc.Cancel();
    }
    QVERIFY(!rig.panel.state.PanelLocked);
}

void TestNoiseProcedures::searchStopsAtPeak_data() {
    QTest::addColumn<qint64>("from");
    QTest::addColumn<bool>("upwards");
    QTest::addColumn<qint64>("carrier");
    QTest::newRow("downwards onto a carrier") << qint64(7230000) << false << qint64(7205000);
    QTest::newRow("upwards onto a carrier") << qint64(11930000) << true << qint64(11955000);
}

void TestNoiseProcedures::searchStopsAtPeak() {
    QFETCH(qint64, from);
    QFETCH(bool, upwards);
    QFETCH(qint64, carrier);
    Rig rig;
    rig.sim.setCarriers({{double(carrier), 2000, 40}});
    QVERIFY(rig.connect(from));
    const auto before = rig.sim.settings();
    rig.proc.ActiveSearch(true, 0, upwards);
    QCOMPARE(rig.panel.state.Scan, ScanState::ActiveSearch);
    QVERIFY(rig.waitIdle(30000));
    QTRY_COMPARE(rig.sim.settings().ag, before.ag);
    QCOMPARE(rig.sim.settings().ft, before.ft);
    QCOMPARE(rig.sim.settings().md, before.md);
    // The return towards the peak goes out last.
    QTRY_VERIFY(rig.tunes().size() >= 2 && rig.tunes().last() == rig.sim.settings().hz);
    const QList<qint64> hz = rig.tunes();
    const int step = upwards ? 1000 : -1000;
    // Every search step, then two steps back from the last one.
    for (qsizetype i = 0; i + 1 < hz.size(); ++i) QCOMPARE(hz[i], from + (i + 1) * step);
    const qint64 last = hz[hz.size() - 2];
    QCOMPARE(hz.last(), last - 2 * step);
    // It stopped two steps past the peak: where it came back to reads the strongest.
    QTRY_COMPARE(rig.sim.settings().hz, hz.last());
    const int peak = rig.sim.meterReading();
    for (qint64 f = from; f != last; f += step) {
        nrd535sim::RxSettings s = rig.sim.settings();
        s.hz = f;
        rig.sim.panelSet(s);
        QVERIFY2(rig.sim.meterReading() >= peak, qPrintable(QString::number(f)));
    }
    QVERIFY(std::abs(hz.last() - carrier) <= 2000);
}

void TestNoiseProcedures::searchPausesAndGoesOn() {
    Rig rig;
    rig.settings.SCN_Delay = 2;
    rig.sim.setCarriers({{7205000, 2000, 40}});
    QVERIFY(rig.connect(7212000));
    const auto before = rig.sim.settings();
    rig.proc.ActiveSearch(true, 1, false);
    // Past the carrier and well beyond it, still searching.
    QVERIFY(QTest::qWaitFor([&] { return !rig.tunes().isEmpty() && rig.tunes().last() <= 7195000; },
                            30000));
    QCOMPARE(rig.panel.state.Scan, ScanState::ActiveSearch);
    const QList<qint64> hz = rig.tunes();
    QList<qsizetype> back;
    for (qsizetype i = 1; i < hz.size(); ++i)
        if (hz[i] > hz[i - 1]) back << i;
    // One pause, one step back towards the peak, then on downwards from where it was.
    QCOMPARE(back.size(), 1);
    const qsizetype at = back[0];
    QCOMPARE(hz[at], hz[at - 1] + 1000);
    QCOMPARE(hz[at + 1], hz[at - 1] - 1000);
    QVERIFY(std::abs(hz[at] - 7205000) <= 2000);

    rig.proc.Cancel();
    QCOMPARE(rig.panel.state.Scan, ScanState::Idle);
    QTRY_COMPARE(rig.sim.settings().ag, before.ag);
    QCOMPARE(rig.sim.settings().ft, before.ft);
    // Esc leaves the receiver at the search position.
    QTRY_COMPARE(rig.sim.settings().hz, rig.tunes().last());
    QVERIFY(rig.tunes().last() <= 7195000);
}

void TestNoiseProcedures::surveyNeverNestsTheEventLoop() {
    Rig rig;
    QVERIFY(rig.connect());
    // A probe timer sees every pass of the event loop: a nested loop (a sleep that lets events
    // run, processEvents or a local event loop under a handler) delivers the probe's event
    // inside another event's delivery, a frozen window shows as a long gap between its events.
    QTimer probe;
    probe.setInterval(2);
    int fired = 0;
    int deepest = 0;
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        ++fired;
        // The probe's own delivery is one level; anything more is a loop run under a handler.
        deepest = std::max(deepest, DeliveryDepth::depth - 1);
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    QSignalSpy progress(&rig.proc, &SMeterProcedures::SurveyProgress);
    clock.start();
    probe.start();
    rig.proc.NoiseMeasure(true);
    QVERIFY(QTest::qWaitFor(
        [&] { return !progress.isEmpty() && progress.last().at(0).toInt() >= 2; }, 30000));
    rig.proc.Cancel();
    probe.stop();
    qInfo("probe events: %d, longest gap between two: %lld ms", fired, longest);
    QCOMPARE(deepest, 0);
    // Far more probe events than survey steps: the loop ran between the steps.
    QVERIFY(fired > 4 * int(progress.size()));
}

int main(int argc, char** argv) {
    DeliveryDepth app(argc, argv);
    TestNoiseProcedures tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_noise_procedures.moc"
