// The memory commands against the simulated receiver on a pseudo-terminal: what reaches the
// wire, what the tables hold, what the panel shows and when the beep sounds.

#include "memory/memory_file.h"
#include "memory/memory_scan.h"
#include "memory/receiver_push.h"
#include "memory_rig.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

struct Step {
    QChar family; // 'C', '*', 'F' or 'K'
    QChar cmd;
    QString entry;
};

void run(MemoryCommands& m, const Step& s) {
    if (s.family == u'C')
        m.ChannelCommand(s.cmd, s.entry);
    else if (s.family == u'*')
        m.QuickMemoryCommand(s.cmd, s.entry);
    else if (s.family == u'F')
        m.QuickFilterCommand(s.cmd, s.entry);
    else
        m.KnownStationCommand(s.cmd);
}

// "C5" with entry "12" is written "C5:12".
Step step(const QString& text) {
    const QString entry = text.section(u':', 1);
    return Step{text[0], text[1], entry};
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestMemoryCommands : public QObject {
    Q_OBJECT
private slots:
    void refusedCommandsOnlyBeep_data();
    void refusedCommandsOnlyBeep();
    void recallSendsTheRecord_data();
    void recallSendsTheRecord();
    void storeTakesTheReceiverSetting();
    void typedQuickMemoryIsExact();
    void quickMemoryClearThenRecall();
    void pushWritesTheReceiverChannels();
    void pushRestoresOnlyAChannelStillTuned_data();
    void pushRestoresOnlyAChannelStillTuned();
    void pushIsPacedAndKeepsTheWindowRunning();
    void dumpFillsTheTable();
    void dumpOfOneRow();
    void receiverChannelCommands_data();
    void receiverChannelCommands();
    void quickFilters_data();
    void quickFilters();
    void quickFilterRecallSendsTheFilter();
    void scanStepsThroughFilledRows_data();
    void scanStepsThroughFilledRows();
    void scanFollowsAnOpenGrid();
    void files();
    void startUpAndShutDown();
    void windowsAreRequested();
};

void TestMemoryCommands::refusedCommandsOnlyBeep_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("locked");
    QTest::newRow("CR empty channel") << QStringList{"CR:5"} << true << false;
    QTest::newRow("CR link closed") << QStringList{"CR:0"} << false << false;
    QTest::newRow("CR panel locked") << QStringList{"CR:0"} << true << true;
    QTest::newRow("CR channel 200") << QStringList{"CR:200"} << true << false;
    QTest::newRow("CR fraction") << QStringList{"CR:1.5"} << true << false;
    QTest::newRow("CC link closed") << QStringList{"CC:3"} << false << false;
    QTest::newRow("CD link closed") << QStringList{"CD"} << false << false;
    QTest::newRow("CZ link closed") << QStringList{"CZ"} << false << false;
    QTest::newRow("CP link closed") << QStringList{"CP"} << false << false;
    QTest::newRow("CP channel 250") << QStringList{"CP:250"} << true << false;
    QTest::newRow("unknown C") << QStringList{"CX"} << true << false;
    QTest::newRow("missing bank") << QStringList{"C7"} << true << false;
    QTest::newRow("*3 empty row") << QStringList{"*3"} << true << false;
    QTest::newRow("*3 locked") << QStringList{"*0"} << true << true;
    QTest::newRow("*X") << QStringList{"*X"} << true << false;
    QTest::newRow("K other") << QStringList{"KA"} << true << false;
    QTest::newRow("F3 empty row") << QStringList{"F3"} << true << false;
    QTest::newRow("F3 6000") << QStringList{"F3:6000"} << true << false;
    QTest::newRow("FZ") << QStringList{"FZ"} << true << false;
}

void TestMemoryCommands::refusedCommandsOnlyBeep() {
    QFETCH(QStringList, steps);
    QFETCH(bool, connected);
    QFETCH(bool, locked);
    MemoryRig rig;
    QVERIFY(rig.Connect());
    rig.channels.SetRow(0, MemoryRecord{7125000, 2, 1, 0, "x"});
    rig.quick.SetRow(0, MemoryRecord{7125000, 2, 1, 0, "x"});
    rig.channels.SetModified(false);
    rig.panel.state.Connected = connected;
    rig.panel.state.PanelLocked = locked;
    const QStringList lines = rig.LinesOf([&] {
        for (const QString& s : steps) run(*rig.memory, step(s));
    });
    QCOMPARE(rig.panel.beeps, int(steps.size()));
    // A refused command sends nothing; the "F" family refreshes the panel afterwards, which
    // sends nothing either, the receiver being on that frequency already.
    QVERIFY2(lines.isEmpty(), qPrintable(lines.join(u' ')));
    const bool filterFamily = steps.first().startsWith(u'F');
    QCOMPARE(rig.panel.Count("TuneTo") > 0, filterFamily && connected);
    QVERIFY(!rig.channels.Modified());
    QVERIFY(!rig.memory->Busy());
    QCOMPARE(rig.channels.Row(0).Frequency, 7125000.0);
}

void TestMemoryCommands::recallSendsTheRecord_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<MemoryRecord>("record");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("number");
    // The receiver starts at 9410000 Hz, AM, Wide, Slow; the driver sends changes only.
    QTest::newRow("channel") << "CR:5" << MemoryRecord{7125000, 2, 1, 1, "Net"}
                             << QStringList{"F07125000", "D2", "B1", "W2200", "G1"} << "Ch"
                             << "005";
    QTest::newRow("channel 199") << "CR:199" << MemoryRecord{9420000, 3, 2, 1, ""}
                                 << QStringList{"F09420000", "D3", "B2", "G1"} << "Ch"
                                 << "199";
    QTest::newRow("quick memory") << "*5" << MemoryRecord{6000000, 3, 2, 1, "Q"}
                                  << QStringList{"F06000000", "D3", "B2", "G1"} << "M"
                                  << "005";
    QTest::newRow("bandwidth filter") << "CR:5" << MemoryRecord{7125000, 1, 1802, 1, ""}
                                      << QStringList{"F07125000", "D1", "B1", "W1802", "G1"} << "Ch"
                                      << "005";
}

void TestMemoryCommands::recallSendsTheRecord() {
    QFETCH(QString, command);
    QFETCH(MemoryRecord, record);
    QFETCH(QStringList, wire);
    QFETCH(QString, tag);
    QFETCH(QString, number);
    MemoryRig rig;
    QVERIFY(rig.Connect());
    const Step s = step(command);
    const int row = s.family == u'C' ? s.entry.toInt() : s.cmd.digitValue();
    MemoryTable& table = s.family == u'C' ? static_cast<MemoryTable&>(rig.channels) : rig.quick;
    table.SetRow(row, record);
    const QStringList lines = rig.LinesOf([&] { run(*rig.memory, s); });
    QVERIFY2(lines == wire, qPrintable(lines.join(u' ')));
    QCOMPARE(rig.panel.beeps, 0);
    QCOMPARE(rig.panel.tag, tag);
    QCOMPARE(rig.panel.number, number);
    QCOMPARE(rig.panel.captionHz, record.Frequency);
    QCOMPARE(rig.panel.comment, record.Comment);
    QCOMPARE(rig.panel.captionVisible, !record.Comment.isEmpty());
    // The grid opens on the row last recalled.
    run(*rig.memory, step(s.family == u'C' ? "C*" : "**"));
    QCOMPARE(rig.host.opened.last(), QStringLiteral("grid %1 %2").arg(tag).arg(row));
}

void TestMemoryCommands::storeTakesTheReceiverSetting() {
    MemoryRig rig;
    QVERIFY(rig.Connect());
    rig.rx.Fr(6150000);
    rig.rx.MD(ostry::LSB);
    rig.rx.AG(ostry::fast);
    QVERIFY(rig.WaitFor([&] { return rig.rx.Fr() == 6150000 && rig.rx.AG() == ostry::fast; }));
    rig.channels.SetRow(12, MemoryRecord{1000, 0, 0, 0, "kept"});
    rig.channels.SetModified(false);
    rig.memory->ChannelCommand(u'C', "12");
    const MemoryRecord& r = rig.channels.Row(12);
    QCOMPARE(r.Frequency, 6150000.0);
    QCOMPARE(r.Mode, int(ostry::LSB));
    QCOMPARE(r.Agc, int(ostry::fast));
    QCOMPARE(r.Comment, QStringLiteral("kept"));
    QCOMPARE(rig.panel.number, QStringLiteral("012"));
    QVERIFY(rig.channels.Modified());

    // "*4" with "." stores the receiver's setting, with a typed value that frequency.
    rig.memory->QuickMemoryCommand(u'4', ".");
    QCOMPARE(rig.quick.Row(4).Frequency, 6150000.0);
    rig.memory->QuickMemoryCommand(u'5', "7125.5");
    QCOMPARE(rig.quick.Row(5).Frequency, 7125500.0);
    QCOMPARE(rig.quick.Row(5).Mode, int(ostry::LSB));
    QCOMPARE(rig.settings.MEM_Inf[5].Frequency, 7125500.0);
    QCOMPARE(rig.panel.beeps, 0);
}

void TestMemoryCommands::typedQuickMemoryIsExact() {
    MemoryRig rig;
    QVERIFY(rig.Connect());
    // Every three-decimal value stores the hertz typed, as Enter tunes them; a fourth decimal
    // is dropped.
    for (const qint64 khz : {qint64(1024), qint64(7125), qint64(29999)}) {
        for (int d = 0; d < 1000; ++d) {
            const QString typed = QStringLiteral("%1.%2").arg(khz).arg(d, 3, 10, QChar(u'0'));
            rig.memory->QuickMemoryCommand(u'5', typed);
            QCOMPARE(qint64(rig.quick.Row(5).Frequency), khz * 1000 + d);
        }
    }
    rig.memory->QuickMemoryCommand(u'5', "1024.0039");
    QCOMPARE(rig.quick.Row(5).Frequency, 1024003.0);
    QCOMPARE(rig.panel.beeps, 0);
}

void TestMemoryCommands::quickMemoryClearThenRecall() {
    MemoryRig rig;
    QVERIFY(rig.Connect());
    rig.quick.SetRow(3, MemoryRecord{7100000, 2, 1, 1, "c"});
    rig.memory->QuickMemoryCommand(u'3', "0");
    QCOMPARE(rig.quick.Row(3).Frequency, 0.0);
    QCOMPARE(rig.quick.Row(3).Mode, 2);
    QCOMPARE(rig.quick.Row(3).Comment, QStringLiteral("c"));
    QCOMPARE(rig.panel.beeps, 0);
    const QStringList lines = rig.LinesOf([&] { rig.memory->QuickMemoryCommand(u'3', ""); });
    QCOMPARE(rig.panel.beeps, 1);
    QVERIFY(lines.isEmpty());
    // "*E" empties all ten.
    rig.quick.SetRow(9, MemoryRecord{7100000, 2, 1, 1, "c"});
    rig.memory->QuickMemoryCommand(u'E', "");
    QVERIFY(!rig.quick.AnyFilled());
}

void TestMemoryCommands::pushWritesTheReceiverChannels() {
    MemoryRig rig;
    QVERIFY(rig.Connect());
    rig.channels.SetRow(0, MemoryRecord{9410000, 4, 1, 0, "a"});
    rig.channels.SetRow(7, MemoryRecord{7125000, 2, 2, 1, ""});
    rig.channels.SetRow(8, MemoryRecord{7130000, 3, 2400, 0, "bandwidth"});
    rig.channels.SetRow(199, MemoryRecord{29999999, 1, 3, 2, ""});
    // Codes the receiver cannot store: the driver drops these rows, so they are not reported.
    rig.channels.SetRow(20, MemoryRecord{7140000, 12, 0, 0, "mode 12"});
    rig.channels.SetRow(21, MemoryRecord{7150000, 2, 0, -3, "AGC -3"});
    QSignalSpy rows(rig.memory.get(), &MemoryCommands::rowSent);
    QSignalSpy done(rig.memory.get(), &MemoryCommands::pushFinished);
    const QStringList lines = rig.LinesOf([&] {
        rig.memory->ChannelCommand(u'P', "");
        QVERIFY(rig.memory->Busy());
        // A second push or an erase while one runs is refused.
        rig.memory->ChannelCommand(u'P', "");
        rig.memory->ChannelCommand(u'E', "");
        QVERIFY(done.wait(10000));
    });
    QCOMPARE(lines, (QStringList{"K000014094100000", "K007022071250001", "K008003071300000",
                                 "K199031299999992"}));
    QCOMPARE(rig.panel.beeps, 2);
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.at(2).at(0).toInt(), 8);
    QCOMPARE(rows.last().at(0).toInt(), 199);
    QVERIFY(!rig.memory->Busy());
    QCOMPARE(rig.sim.channel(7).hz, 7125000);
    QCOMPARE(rig.sim.channel(8).ft, 0);
    QVERIFY(rig.sim.channel(1).empty);
    QCOMPARE(rig.channels.Row(7).Frequency, 7125000.0); // the table is not touched
}

void TestMemoryCommands::pushRestoresOnlyAChannelStillTuned_data() {
    QTest::addColumn<bool>("leave");
    QTest::addColumn<QString>("tag");
    QTest::newRow("still on channel 7") << false << "Ch";
    QTest::newRow("receiver left it") << true << "";
}

void TestMemoryCommands::pushRestoresOnlyAChannelStillTuned() {
    QFETCH(bool, leave);
    QFETCH(QString, tag);
    MemoryRig rig;
    QVERIFY(rig.Connect());
    rig.channels.SetRow(7, MemoryRecord{7125000, 2, 2, 1, ""});
    rig.memory->ChannelCommand(u'R', "7");
    QCOMPARE(rig.panel.number, QStringLiteral("007"));
    if (leave) {
        // The operator tunes elsewhere; the window clears the indicator as it does.
        rig.panel.TuneTo(6000000, true, true, true);
        rig.panel.ClearChannelLabels();
    }
    QSignalSpy done(rig.memory.get(), &MemoryCommands::pushFinished);
    rig.memory->ChannelCommand(u'P', "");
    QVERIFY(done.wait(10000));
    QCOMPARE(rig.panel.tag, tag);
    QCOMPARE(rig.panel.number, tag.isEmpty() ? QString() : QStringLiteral("007"));
}

void TestMemoryCommands::pushIsPacedAndKeepsTheWindowRunning() {
    // At 4800 baud a full table takes seconds on the wire; timers keep running meanwhile.
    MemoryRig rig(false, 4800);
    QVERIFY(rig.Connect());
    for (int r = 0; r < 20; ++r) rig.channels.SetRow(r, MemoryRecord{1000000.0 + r, 4, 0, 0, ""});
    QSignalSpy done(rig.memory.get(), &MemoryCommands::pushFinished);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    QVERIFY(rig.memory->PushTable(rig.channels, true));
    QVERIFY(done.wait(10000));
    // 20 lines of 17 characters are 340 characters: 708 ms of line time. Ticks every 5 ms show
    // the loop ran between rows (the count itself depends on the machine's load).
    QVERIFY2(ticks > 20, qPrintable(QString::number(ticks)));
    QCOMPARE(ReceiverPush::LineMs(17, 4800), 17 * 10 * 1000.0 / 4800);
}

void TestMemoryCommands::dumpFillsTheTable() {
    MemoryRig rig(true, 38400);
    QVERIFY(rig.Connect());
    for (int n : {0, 3, 150, 199})
        rig.sim.setChannel(n,
                           nrd535sim::Channel{false, 0, n % 4, n % 9, n % 3, 1000000 + n * 1000});
    rig.channels.SetRow(5, MemoryRecord{5555000, 1, 1, 1, "kept"});
    rig.channels.SetRow(3, MemoryRecord{3333000, 1, 1, 1, "replaced"});
    QSignalSpy done(rig.memory.get(), &MemoryCommands::dumpFinished);
    const QStringList lines = rig.LinesOf([&] { rig.memory->ChannelCommand(u'D', ""); });
    QCOMPARE(lines, QStringList{"L000199"});
    QVERIFY(rig.memory->Busy());
    QVERIFY(done.wait(20000));
    QVERIFY(!rig.memory->Busy());
    // The receiver still holds what it gave: the table does not count as edited.
    QVERIFY(!rig.channels.Modified());
    for (int n : {0, 3, 150, 199}) {
        const MemoryRecord& r = rig.channels.Row(n);
        QCOMPARE(r.Frequency, 1000000.0 + n * 1000);
        QCOMPARE(r.Filter, n % 4);
        QCOMPARE(r.Mode, n % 9);
        QCOMPARE(r.Agc, n % 3);
        QVERIFY(r.Comment.isEmpty());
    }
    // An empty receiver channel leaves the row as it was.
    QCOMPARE(rig.channels.Row(5).Comment, QStringLiteral("kept"));
    QVERIFY(rig.panel.tag.isEmpty());
    QCOMPARE(rig.panel.beeps, 0);
}

void TestMemoryCommands::dumpOfOneRow() {
    MemoryRig rig;
    QVERIFY(rig.Connect());
    rig.sim.setChannel(4, nrd535sim::Channel{false, 0, 2, 3, 1, 6000000});
    QSignalSpy done(rig.memory.get(), &MemoryCommands::dumpFinished);
    QVERIFY(rig.memory->DumpRow(rig.quick, 4));
    QVERIFY(done.wait(5000));
    QCOMPARE(rig.quick.Row(4).Frequency, 6000000.0);
    QCOMPARE(rig.quick.Row(4).Mode, 3);
    QCOMPARE(rig.channels.Row(4).Frequency, 0.0);
    // A row read into the channel grid is an edit of the table.
    rig.sim.setChannel(6, nrd535sim::Channel{false, 0, 1, 2, 0, 7000000});
    QVERIFY(rig.memory->DumpRow(rig.channels, 6));
    QVERIFY(done.wait(5000));
    QCOMPARE(rig.channels.Row(6).Frequency, 7000000.0);
    QVERIFY(rig.channels.Modified());

    // A receiver that stops answering ends the dump when the driver gives up on it.
    rig.sim.setPowered(false);
    QVERIFY(rig.memory->DumpRow(rig.channels, 9));
    QVERIFY(done.wait(10000));
    QVERIFY(!rig.memory->Busy());
}

void TestMemoryCommands::receiverChannelCommands_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("wire");
    QTest::newRow("CZ") << "CZ" << QStringList{"Z1"};
    QTest::newRow("CP with a channel") << "CP:5" << QStringList{"J1005"};
    QTest::newRow("CP with channel 0") << "CP:0" << QStringList{"J1000"};
}

void TestMemoryCommands::receiverChannelCommands() {
    QFETCH(QString, command);
    QFETCH(QStringList, wire);
    MemoryRig rig;
    QVERIFY(rig.Connect());
    QCOMPARE(rig.LinesOf([&] { run(*rig.memory, step(command)); }), wire);
    QCOMPARE(rig.panel.beeps, 0);
    QVERIFY(!rig.memory->Busy());
}

void TestMemoryCommands::quickFilters_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<QList<int>>("codes"); // the ten rows afterwards
    const QList<int> empty(10, -1);
    auto with = [&](std::initializer_list<std::pair<int, int>> rows) {
        QList<int> c = empty;
        for (auto [r, v] : rows) c[r] = v;
        return c;
    };
    QTest::newRow("odd rounds up") << QStringList{"F3:1801"} << 0 << with({{3, 1802}});
    QTest::newRow("too wide") << QStringList{"F3:6000"} << 1 << empty;
    QTest::newRow("duplicate refused")
        << QStringList{"F3:1802", "F4:1802"} << 1 << with({{3, 1802}});
    QTest::newRow("duplicate after rounding")
        << QStringList{"F3:1802", "F4:1801"} << 1 << with({{3, 1802}});
    QTest::newRow("same row again") << QStringList{"F3:1802", "F3:1801"} << 0 << with({{3, 1802}});
    QTest::newRow("clear") << QStringList{"F3:1802", "F3:0"} << 0 << empty;
    QTest::newRow("receiver filter") << QStringList{"F0:."} << 0 << with({{0, 0}});
    QTest::newRow("receiver filter twice") << QStringList{"F0:.", "F1:."} << 1 << with({{0, 0}});
}

void TestMemoryCommands::quickFilters() {
    QFETCH(QStringList, steps);
    QFETCH(int, beeps);
    QFETCH(QList<int>, codes);
    MemoryRig rig;
    QVERIFY(rig.Connect());
    QCOMPARE(rig.rx.FT(), ostry::Wide);
    for (const QString& s : steps) run(*rig.memory, step(s));
    QCOMPARE(rig.panel.beeps, beeps);
    QList<int> got;
    for (int r = 0; r < 10; ++r) got << rig.filters.Row(r).Code;
    QCOMPARE(got, codes);
    for (int r = 0; r < 10; ++r) QCOMPARE(rig.settings.FLT_Inf[size_t(r)].Code, codes[r]);
}

void TestMemoryCommands::quickFilterRecallSendsTheFilter() {
    MemoryRig rig;
    QVERIFY(rig.Connect());
    rig.memory->QuickFilterCommand(u'3', "1801");
    QCOMPARE(rig.filters.Row(3).Name, QStringLiteral("1802"));
    const QStringList lines = rig.LinesOf([&] { rig.memory->QuickFilterCommand(u'3', ""); });
    QVERIFY2(lines.mid(0, 2) == (QStringList{"B1", "W1802"}), qPrintable(lines.join(' ')));
    // The frequency is applied again afterwards.
    QCOMPARE(rig.panel.calls.last(), QStringLiteral("TuneTo 9410000 1 1 0"));
    QVERIFY(rig.panel.calls.contains(QStringLiteral("ShowFilter 1802 0")));
    // "FN" selects the narrow filter.
    QVERIFY(rig.LinesOf([&] { rig.memory->QuickFilterCommand(u'N', ""); }).contains("B2"));
    QCOMPARE(rig.panel.beeps, 0);
}

void TestMemoryCommands::scanStepsThroughFilledRows_data() {
    QTest::addColumn<bool>("channels");
    QTest::addColumn<QList<int>>("filled");
    QTest::addColumn<QList<int>>("recalled");
    QTest::newRow("quick, wraps") << false << QList<int>{2, 7} << QList<int>{2, 7, 2, 7};
    QTest::newRow("quick, one row") << false << QList<int>{9} << QList<int>{9, 9};
    QTest::newRow("channels, wraps")
        << true << QList<int>{0, 150, 199} << QList<int>{0, 150, 199, 0};
}

void TestMemoryCommands::scanStepsThroughFilledRows() {
    QFETCH(bool, channels);
    QFETCH(QList<int>, filled);
    QFETCH(QList<int>, recalled);
    MemoryRig rig;
    QVERIFY(rig.Connect());
    MemoryTable& table = channels ? static_cast<MemoryTable&>(rig.channels) : rig.quick;
    MemoryScan scan(*rig.memory, table);
    QVERIFY(!scan.Begin()); // nothing to scan
    for (int r : filled) table.SetRow(r, MemoryRecord{1000000.0 + r * 1000, 4, 0, 0, ""});
    QVERIFY(scan.Begin());
    rig.panel.state.PanelLocked = true; // a running scan locks the panel
    int previous = -1;
    for (int r : recalled) {
        const QStringList lines = rig.LinesOf([&] { QVERIFY(scan.Next()); });
        // The driver sends a frequency only when it differs from the receiver's.
        const QString tune = QString::asprintf("F%08d", 1000000 + r * 1000);
        QCOMPARE(lines.value(0), r == previous ? QString() : tune);
        previous = r;
        QCOMPARE(rig.panel.number, QString::asprintf("%03d", r));
        QCOMPARE(rig.panel.tag, table.Tag());
        QCOMPARE(rig.panel.tip, table.SourceTip());
        // The next step waits for the receiver's report, as the dwell between steps does.
        QVERIFY(rig.WaitFor([&] { return rig.rx.Fr() == 1000000 + r * 1000; }));
    }
    // Emptied under the scan: the next step finds nothing and the scan ends.
    table.Erase();
    QVERIFY(!scan.Next());
    QCOMPARE(scan.Index(), 0);
    QVERIFY(rig.panel.tag.isEmpty());
}

void TestMemoryCommands::scanFollowsAnOpenGrid() {
    struct Grid : RowCursor {
        int row = 0;
        int CurrentRow() const override { return row; }
        void FollowRow(int r) override { row = r; }
    } grid;
    MemoryRig rig;
    QVERIFY(rig.Connect());
    for (int r : {1, 4, 6}) rig.quick.SetRow(r, MemoryRecord{2000000.0 + r, 4, 0, 0, ""});
    MemoryScan scan(rig.memory.operator*(), rig.quick);
    scan.SetCursor(&grid);
    grid.row = 4; // the operator moved the grid
    QVERIFY(scan.Next());
    QCOMPARE(grid.row, 6);
    QVERIFY(scan.Next());
    QCOMPARE(grid.row, 1);
}

void TestMemoryCommands::files() {
    MemoryRig rig;
    QVERIFY(rig.Connect());
    writeFile(BankFileName(3), "7125000|2|1|0|bank three\r\n");
    rig.channels.SetModified(true);
    rig.memory->ChannelCommand(u'3', "");
    QCOMPARE(rig.channels.Row(0).Comment, QStringLiteral("bank three"));
    QVERIFY(rig.channels.Modified()); // loading changes no flag

    // "CS" writes the chosen file and the table counts as saved.
    rig.host.saveName = rig.dir.filePath("saved.mem");
    rig.memory->ChannelCommand(u'S', "");
    QVERIFY(!rig.channels.Modified());
    QFile saved(rig.host.saveName);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().startsWith("       7125000|2|1|0|bank three\r\n       0|0|0|0|\r\n"));

    // A save that fails says so and leaves the table marked as changed.
    rig.channels.SetModified(true);
    rig.host.saveName = rig.dir.filePath("no/such/folder/x.mem");
    rig.memory->ChannelCommand(u'S', "");
    QVERIFY(rig.channels.Modified());
    QCOMPARE(rig.host.messages.size(), 1);
    QVERIFY(rig.host.messages[0].startsWith("Error: File not saved"));

    // "CL" with a bad second line: the message, the first row loaded.
    writeFile(rig.dir.filePath("bad.mem"), "6000000|3|2|1|one\r\n#\r\n");
    rig.host.loadName = rig.dir.filePath("bad.mem");
    rig.memory->ChannelCommand(u'L', "");
    QCOMPARE(rig.channels.Row(0).Comment, QStringLiteral("one"));
    QCOMPARE(rig.host.messages.last(),
             QStringLiteral("Error: Invalid format: File contains to many line fields !"));
    // Cancelled dialogs do nothing.
    rig.host.loadName.clear();
    rig.host.saveName.clear();
    rig.memory->ChannelCommand(u'L', "");
    rig.memory->ChannelCommand(u'S', "");
    QCOMPARE(rig.host.messages.size(), 2);
    QCOMPARE(rig.panel.beeps, 0);
}

void TestMemoryCommands::startUpAndShutDown() {
    MemoryRig rig;
    writeFile("default.mem", "9410000|4|0|0|default\r\n");
    rig.memory->StartUp();
    QCOMPARE(rig.channels.Row(0).Comment, QStringLiteral("default"));
    QVERIFY(!rig.channels.Modified());
    // Unchanged: shutdown asks nothing.
    rig.host.saveName = rig.dir.filePath("exit.mem");
    rig.memory->ShutDown();
    QVERIFY(!QFile::exists(rig.host.saveName));
    // Erased: shutdown asks for a file and writes it.
    rig.memory->ChannelCommand(u'E', "");
    rig.memory->ShutDown();
    QVERIFY(QFile::exists(rig.host.saveName));
    QVERIFY(rig.host.messages.isEmpty());
    // A bad line in the default file is reported at start as "CL" reports it.
    writeFile("default.mem", "9410000|4|0|0|default\r\n#\r\n");
    rig.memory->StartUp();
    QCOMPARE(rig.host.messages,
             QStringList{"Error: Invalid format: File contains to many line fields !"});
    QCOMPARE(rig.channels.Row(0).Comment, QStringLiteral("default"));
}

void TestMemoryCommands::windowsAreRequested() {
    MemoryRig rig;
    rig.memory->ChannelCommand(u'*', "");
    rig.memory->QuickMemoryCommand(u'*', "");
    rig.memory->QuickFilterCommand(u'*', "");
    rig.memory->KnownStationCommand(u'*');
    QCOMPARE(rig.host.opened, (QStringList{"grid Ch 0", "grid M 0", "filters", "known"}));
    QCOMPARE(rig.panel.beeps, 0);
}

QTEST_GUILESS_MAIN(TestMemoryCommands)
#include "tst_memory_commands.moc"
