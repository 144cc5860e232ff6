// The program's logic without a window: typed entry, clipboard text, modifier factors, the range
// wrap, the enabled-controls rule, the S-meter statistics, and the key commands and scan engine
// driving a panel host that records what they ask for.
#include "core/panel.h"
#include "core/panel_state.h"
#include "core/smeter_stats.h"
#include "core/tuner.h"
#include "core/units.h"
#include "driver_panel.h"
#include "input/keys.h"
#include "input/keys_entry.h"
#include "scan/record_source.h"
#include "scan/scan_engine.h"
#include "settings/settings.h"

#include <fennick/freqs.h>
#include <ostry/nrd535.h>

#include <QTest>

// Records what the key commands and the scans ask of the panel. The receiver behind it is the
// real driver, never connected: setters send nothing, so only the panel calls are seen.
class RecordingPanel : public DriverPanelOn<PanelHost> {
public:
    using DriverPanelOn::DriverPanelOn;

    double step = 500;

    void ShowBand(const QString&, bool) override {}
    void ShowBandStep(int) override {}
    void ShowKnownPosition(int, int) override {}
    void ShowDigits(double) override {}
    void ShowIndicator(Indicator) override {}
    void SetLinkHeld(bool held) override { state.RemoteHeld = held; }
    void SetScanState(ScanState s) override { state.Scan = s; }
    void SetPolling(bool) override {}
    double TuningStep() const override { return step; }
    void SetTuningStep(double hz) override { step = hz; }
    void SetFilterPosition(int) override {}
    void ClickRegion() override {}
    void ClickSMeter(bool) override { ++beeps; }
    bool ToggleSpectrum() override { return false; }
    void ShowHelp() override {}
    void FocusPanel() override {}
};

// A list of frequencies as a record source.
class ListSource : public RecordSource {
public:
    ListSource(RecordingPanel& panel, QList<double> list) : panel_(panel), list_(std::move(list)) {}
    bool Begin() override {
        next_ = 0;
        return !list_.isEmpty();
    }
    bool Next() override {
        if (next_ >= list_.size()) return false;
        panel_.TuneTo(list_[next_++], true, true, true);
        return true;
    }
    void End() override { ++ended; }
    int ended = 0;

private:
    RecordingPanel& panel_;
    QList<double> list_;
    qsizetype next_ = 0;
};

class TestLogic : public QObject {
    Q_OBJECT

    struct Host {
        Nrd535 rx;
        RecordingPanel panel{rx};
        Freqs freqs;
        Settings settings;
        Tuner tuner{rx, freqs, TunerSettingsOf(settings)};
        ScanEngine scan{panel, tuner, rx, freqs, settings};
        KeyCommands keys{panel, tuner, scan, rx, freqs, settings};
        Host() {
            freqs.Max(FrqMax);
            settings.WIN_Beep = true;
        }
    };

private slots:
    void typedEntry_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("hertz");
        QTest::addColumn<int>("refused");
        QTest::newRow("whole kHz") << "7125"
                                   << "7125" << qint64(7125000) << 0;
        QTest::newRow("decimals") << "7125.5"
                                  << "7125.5" << qint64(7125500) << 0;
        QTest::newRow("comma") << "7125,25"
                               << "7125.25" << qint64(7125250) << 0;
        QTest::newRow("fourth decimal refused") << "1.2345"
                                                << "1.234" << qint64(1234) << 1;
        QTest::newRow("second point refused") << "1..2"
                                              << "1.2" << qint64(1200) << 1;
        QTest::newRow("top of the range refused") << "299999"
                                                  << "29999" << qint64(29999000) << 1;
        QTest::newRow("backspace over the point") << "12.<3"
                                                  << "123" << qint64(123000) << 0;
        QTest::newRow("backspace on empty") << "<"
                                            << "" << qint64(0) << 1;
    }
    void typedEntry() {
        QFETCH(QString, keys);
        QFETCH(QString, text);
        QFETCH(qint64, hertz);
        QFETCH(int, refused);
        TypedEntry e;
        int no = 0;
        for (QChar c : keys) {
            bool ok = true;
            if (c == u'<')
                ok = e.Backspace();
            else if (c == u'.' || c == u',')
                ok = e.AddPoint();
            else
                ok = e.AddDigit(char(c.unicode()));
            no += ok ? 0 : 1;
        }
        QCOMPARE(e.Text(), text);
        QCOMPARE(e.Hertz(), hertz);
        QCOMPARE(no, refused);
    }

    void clipboard_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("hz"); // -1: nothing
        QTest::newRow("decimal point") << "7125.5" << 7125500.0;
        QTest::newRow("decimal comma") << "7125,5" << 7125500.0;
        QTest::newRow("spaces") << " 9410 " << 9410000.0;
        QTest::newRow("below a hertz cut") << "7125.0009" << 7125000.0;
        QTest::newRow("below the range") << "0.5" << -1.0;
        QTest::newRow("above the range") << "30000" << -1.0;
        QTest::newRow("letters") << "7125kHz" << -1.0;
        QTest::newRow("two points") << "7.1.2" << -1.0;
        QTest::newRow("empty") << "" << -1.0;
        QTest::newRow("huge") << "123456789012345" << -1.0;
    }
    void clipboard() {
        QFETCH(QString, text);
        QFETCH(double, hz);
        const std::optional<double> got = ClipboardToHertz(text);
        QCOMPARE(got.value_or(-1), hz);
        if (got) QCOMPARE(ClipboardToHertz(HertzToClipboard(*got)), got);
    }

    void modifierFactors_data() {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<double>("factor");
        const int S = Qt::ShiftModifier, C = Qt::ControlModifier, A = Qt::AltModifier;
        QTest::newRow("none") << 0 << 1.0;
        QTest::newRow("Shift") << S << 0.1;
        QTest::newRow("Ctrl") << C << 0.2;
        QTest::newRow("Alt") << A << 0.5;
        QTest::newRow("Shift+Ctrl") << (S | C) << 2.0;
        QTest::newRow("Shift+Alt") << (S | A) << 5.0;
        QTest::newRow("Ctrl+Alt") << (C | A) << 10.0;
        QTest::newRow("all three") << (S | C | A) << 20.0;
    }
    void modifierFactors() {
        QFETCH(int, modifiers);
        QFETCH(double, factor);
        QCOMPARE(ModifierFactor(Qt::KeyboardModifiers(modifiers)), factor);
    }

    void rangeWrap_data() {
        QTest::addColumn<double>("hz");
        QTest::addColumn<double>("wrapped");
        QTest::newRow("inside") << 7000000.0 << 7000000.0;
        QTest::newRow("bottom edge") << FrqMin << FrqMin;
        QTest::newRow("top edge") << FrqMax << FrqMax;
        QTest::newRow("below") << 999.0 << FrqMax;
        QTest::newRow("above") << 30000000.0 << FrqMin;
    }
    void rangeWrap() {
        QFETCH(double, hz);
        QFETCH(double, wrapped);
        QCOMPARE(WrapRange(hz), wrapped);
    }

    // One rule decides what the operator may touch; Esc while free must not enable anything.
    void enabledControls_data() {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("held");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<bool>("linked");
        QTest::addColumn<bool>("settings");
        QTest::addColumn<bool>("lock");
        QTest::addColumn<bool>("database");
        QTest::newRow("free") << true << false << false << false << false << true << false;
        QTest::newRow("held") << true << true << false << false << true << true << false;
        QTest::newRow("held, scanning") << true << true << true << false << false << false << false;
        QTest::newRow("free, unlocked") << true << false << false << true << false << true << true;
        QTest::newRow("no link") << false << false << false << true << false << true << false;
    }
    void enabledControls() {
        QFETCH(bool, connected);
        QFETCH(bool, held);
        QFETCH(bool, locked);
        QFETCH(bool, linked);
        ProgramState s;
        s.Connected = connected;
        s.RemoteHeld = held;
        s.PanelLocked = locked;
        s.DbLinked = linked;
        const EnabledControls e = ComputeEnabled(s);
        QTEST(e.Settings, "settings");
        QTEST(e.LockImage, "lock");
        QTEST(e.Database, "database");
        QCOMPARE(e.Cover, !connected);
    }

    void smeterStatistics() {
        SMeterStats s;
        s.Reset(40);
        QCOMPARE(s.Highest, 40);
        QCOMPARE(s.Lowest, 255);
        for (int v : {10, 50, 60, 45, 30, 80, 20, 41, 39, 100}) s.Add(v, 40);
        QCOMPARE(s.Highest, 100);
        QCOMPARE(s.Lowest, 41);
        QCOMPARE(s.Mean, 48); // 475 / 10, rounded
        s.Add(200, 40);       // replaces the oldest (10)
        QCOMPARE(s.PreviousMean, 48);
        QCOMPARE(s.Mean, 66); // 665 / 10, half to even
        QCOMPARE(s.Index, 1);
    }

    // Keys without a link: nothing tunes, the refusals beep.
    void keysWithoutALink() {
        Host h;
        h.keys.KeyPress(0, QStringLiteral("7"), Qt::NoModifier);
        QCOMPARE(h.keys.Entry().Text(), QStringLiteral("7"));
        h.keys.KeyPress(Qt::Key_Escape, QString(), Qt::NoModifier);
        h.keys.KeyPress(Qt::Key_V, QStringLiteral("v"), Qt::ControlModifier);
        h.keys.KeyPress(0, QStringLiteral("l"), Qt::NoModifier);
        QCOMPARE(h.panel.beeps, 3);
        QVERIFY(h.panel.tuned.isEmpty());
    }

    // A typed frequency and Enter tune once the receiver is held; a scan command is kept in
    // "SCN_Mode" even when refused.
    void keysTuneAndKeepTheScanChoice() {
        Host h;
        h.panel.state.Connected = true;
        h.panel.state.RemoteHeld = true;
        for (QChar c : QStringLiteral("7125.5")) h.keys.KeyPress(0, QString(c), Qt::NoModifier);
        h.keys.KeyPress(Qt::Key_Return, QString(), Qt::NoModifier);
        QCOMPARE(h.panel.tuned, QList<double>{7125500});
        h.panel.state.Scan = ScanState::Band;
        h.keys.KeyPress(0, QStringLiteral("s"), Qt::NoModifier);
        h.keys.KeyPress(0, QStringLiteral("k"), Qt::NoModifier);
        QCOMPARE(h.settings.SCN_Mode, 3);
        QCOMPARE(h.panel.beeps, 1);
    }

    // Features not in this build refuse their keys with the beep; a handler takes them.
    void featureKeys() {
        Host h;
        h.panel.state.Connected = true;
        h.panel.state.RemoteHeld = true;
        h.keys.KeyPress(Qt::Key_Space, QStringLiteral(" "), Qt::NoModifier);
        h.keys.KeyDown(Qt::Key_PageUp, Qt::NoModifier);
        QCOMPARE(h.panel.beeps, 2);
        int appended = 0;
        h.keys.Features.PadAppend = [&] { ++appended; };
        h.keys.KeyPress(Qt::Key_Space, QStringLiteral(" "), Qt::NoModifier);
        QCOMPARE(appended, 1);
        // Space repaints: a typed value leaves the digits and Enter has nothing typed to tune.
        for (QChar c : QStringLiteral("71")) h.keys.KeyPress(0, QString(c), Qt::NoModifier);
        const int repaints = h.panel.Count("TuneTo");
        h.keys.KeyPress(Qt::Key_Space, QStringLiteral(" "), Qt::NoModifier);
        QCOMPARE(h.panel.Count("TuneTo"), repaints + 1);
        QVERIFY(!h.keys.KeyPress(Qt::Key_Return, QString(), Qt::NoModifier));
        QCOMPARE(h.panel.Count("TuneTo"), repaints + 1);
        QString memory;
        h.keys.Features.QuickMemory = [&](QChar c, const QString& e) { memory = e + c; };
        for (QChar c : QStringLiteral("7125*3")) h.keys.KeyPress(0, QString(c), Qt::NoModifier);
        QCOMPARE(memory, QStringLiteral("71253"));
        // The fixed filters go through the quick-filter command too, which re-applies the
        // frequency afterwards.
        QString filters;
        h.keys.Features.QuickFilter = [&](QChar c, const QString& e) { filters += e + c; };
        for (QChar c : QStringLiteral("FWfiFNFA")) h.keys.KeyPress(0, QString(c), Qt::NoModifier);
        QCOMPARE(filters, QStringLiteral("WINA"));
        // Esc during the survey reaches its cancel, then ends the procedure.
        int cancelled = 0;
        h.keys.Features.NoiseCancel = [&] { ++cancelled; };
        h.panel.state.Scan = ScanState::NoiseMeasure;
        h.keys.KeyPress(Qt::Key_Escape, QString(), Qt::NoModifier);
        QCOMPARE(cancelled, 1);
        QCOMPARE(int(h.panel.state.Scan), int(ScanState::Idle));
    }

    // A list scan runs on its record source: begin, one record a step, stop with the beep at
    // the end, and the source told when the scan ended.
    void listScanOnASource() {
        Host h;
        h.panel.state.Connected = true;
        h.panel.state.RemoteHeld = true;
        h.settings.SCN_Mode = 5;
        h.scan.StartScan();
        QCOMPARE(h.panel.beeps, 1); // no source: refused
        QCOMPARE(int(h.panel.state.Scan), int(ScanState::Idle));

        ListSource channels(h.panel, {7000000, 7100000});
        h.scan.SetSource(ScanState::Channels, &channels);
        h.scan.StartScan();
        QCOMPARE(int(h.panel.state.Scan), int(ScanState::Channels));
        QVERIFY(h.panel.state.PanelLocked);
        QVERIFY(!h.tuner.BandDefaults);
        h.scan.Step();
        h.scan.Step();
        QCOMPARE(h.panel.tuned, (QList<double>{7000000, 7100000}));
        h.scan.Step();
        QCOMPARE(h.panel.Count("StopScan"), 1);
        QCOMPARE(h.panel.beeps, 2);
    }
};

QTEST_GUILESS_MAIN(TestLogic)
#include "tst_logic.moc"
