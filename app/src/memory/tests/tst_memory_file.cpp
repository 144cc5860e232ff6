// Memory files, record lines and the settings row texts, on real files in a temporary folder.

#include "memory/grid_rules.h"
#include "memory/memory_file.h"
#include "memory/memory_table.h"
#include "memory/quick_filters.h"
#include "memory/settings_rows.h"
#include "settings/registry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A table whose every row is recognisable: row r holds (r + 1) * 1000 Hz, "old r".
void fillMarked(MemoryTable& t) {
    for (int r = 0; r < t.Size(); ++r)
        t.SetRow(r, MemoryRecord{double(r + 1) * 1000, 1, 2, 1, QStringLiteral("old %1").arg(r)});
}

bool sameRecord(const MemoryRecord& a, const MemoryRecord& b) {
    return a.Frequency == b.Frequency && a.Mode == b.Mode && a.Filter == b.Filter &&
           a.Agc == b.Agc && a.Comment == b.Comment;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

Q_DECLARE_METATYPE(MemoryRecord)

class TestMemoryFile : public QObject {
    Q_OBJECT
private slots:
    void normaliseKhz_data();
    void normaliseKhz();
    void splitRecordLine_data();
    void splitRecordLine();
    void fileExists();
    void load_data();
    void load();
    void loadStopsAtTheTableEnd();
    void saveErasedTable();
    void saveAndLoadKeepEveryField();
    void failedSaveLeavesWhatIsThere();
    void memoryRowText_data();
    void memoryRowText();
    void filterRowText_data();
    void filterRowText();
    void quickRowsSurviveARestart();
    void presetBandwidth_data();
    void presetBandwidth();
    void receiverFilter_data();
    void receiverFilter();
    void filterCycle_data();
    void filterCycle();
    void frequencyCell_data();
    void frequencyCell();
    void filterCell_data();
    void filterCell();
};

void TestMemoryFile::normaliseKhz_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<QChar>("mark");
    QTest::addColumn<bool>("wholeHertz"); // KhzDecimals::WholeHertz, else AsWritten
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("out");
    const QChar point = u'.', comma = u',';
    struct Row {
        const char* name;
        const char* in;
        QChar mark;
        bool found;
        const char* asWritten;
        const char* wholeHertz;
    };
    const Row rows[] = {
        {"one decimal", "7125.5", point, true, "7125500", "7125500"},
        {"comma", "7125,5", comma, true, "7125500", "7125500"},
        {"short", "7.1", point, true, "7100", "7100"},
        {"three decimals", "7125.125", point, true, "7125125", "7125125"},
        {"more decimals", "7125.1256", point, true, "71251256", "7125125"},
        {"trailing mark", "7125.", point, true, "7125000", "7125000"},
        {"no mark", "7125500", point, false, "7125500", "7125500"},
        {"other mark", "7125,5", point, false, "7125,5", "7125,5"},
        {"two marks", "7.1.2", point, true, "712", "7120"},
        {"two marks, many decimals", "7.1.2345", point, true, "712345", "7123"},
        {"mark alone", ".", point, true, "000", "000"},
    };
    for (const Row& r : rows) {
        QTest::addRow("%s, as written", r.name)
            << QString(r.in) << r.mark << false << r.found << QString(r.asWritten);
        QTest::addRow("%s, whole hertz", r.name)
            << QString(r.in) << r.mark << true << r.found << QString(r.wholeHertz);
    }
}

void TestMemoryFile::normaliseKhz() {
    QFETCH(QString, in);
    QFETCH(QChar, mark);
    QFETCH(bool, wholeHertz);
    QFETCH(bool, found);
    QFETCH(QString, out);
    QCOMPARE(NormaliseKhz(in, mark, wholeHertz ? KhzDecimals::WholeHertz : KhzDecimals::AsWritten),
             found);
    QCOMPARE(in, out);
}

void TestMemoryFile::splitRecordLine_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("wholeHertz"); // KhzDecimals::WholeHertz, else AsWritten
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("written") << "       7125000|2|1|0|Radio" << false << true
                             << QStringList{"7125000", "2", "1", "0", "Radio"};
    QTest::newRow("empty row") << "       0|0|0|0|" << false << true
                               << QStringList{"0", "0", "0", "0", ""};
    QTest::newRow("kHz with point")
        << "7125.5|3|2|1|x" << false << true << QStringList{"7125500", "3", "2", "1", "x"};
    QTest::newRow("kHz with comma")
        << "7125,5|3|2|1|x" << false << true << QStringList{"7125500", "3", "2", "1", "x"};
    QTest::newRow("kHz, fourth decimal kept")
        << "7125.1256|3|2|1|x" << false << true << QStringList{"71251256", "3", "2", "1", "x"};
    QTest::newRow("kHz, fourth decimal cut")
        << "7125,1256|3|2|1|x" << true << true << QStringList{"7125125", "3", "2", "1", "x"};
    QTest::newRow("fifth separator in comment")
        << "9410000|4|0|0|BBC | London" << false << true
        << QStringList{"9410000", "4", "0", "0", "BBC | London"};
    QTest::newRow("spaces trimmed") << "  9410000 | 4 |0|0|  a b  " << false << true
                                    << QStringList{"9410000", "4", "0", "0", "a b"};
    QTest::newRow("comment line") << "#9410000|4|0|0|x" << false << false << QStringList{};
    QTest::newRow("empty line") << "" << false << false << QStringList{""};
    QTest::newRow("three separators")
        << "9410000|4|0|0" << false << false << QStringList{"9410000", "4", "0", "0"};
}

void TestMemoryFile::splitRecordLine() {
    QFETCH(QString, line);
    QFETCH(bool, wholeHertz);
    QFETCH(bool, ok);
    QFETCH(QStringList, fields);
    QStringList got;
    const KhzDecimals decimals = wholeHertz ? KhzDecimals::WholeHertz : KhzDecimals::AsWritten;
    QCOMPARE(SplitRecordLine(line, u'|', u'#', 4, decimals, got), ok);
    QCOMPARE(got, fields);
}

void TestMemoryFile::fileExists() {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("Bank1.mem"));
    QVERIFY(!FileExists(name));
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(FileExists(name)); // empty, but there
    QVERIFY(!FileExists(QString()));
    QVERIFY(!FileExists(dir.filePath(QStringLiteral("missing/Bank1.mem"))));
}

void TestMemoryFile::load_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("rowsRead");
    QTest::addColumn<bool>("badLine");
    // Expected rows after loading (row, record); every other row keeps its old contents.
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QList<MemoryRecord>>("records");

    QByteArray fifty;
    for (int r = 0; r < 50; ++r)
        fifty += QByteArray("       ") + QByteArray::number(5000000 + r) + "|2|1|0|c\r\n";
    QTest::newRow("50 lines") << fifty << 50 << false << QList<int>{0, 49}
                              << QList<MemoryRecord>{{5000000, 2, 1, 0, "c"},
                                                     {5000049, 2, 1, 0, "c"}};
    QTest::newRow("LF alone") << QByteArray("7125000|2|1|0|a\n7130000|3|2|1|b\n") << 2 << false
                              << QList<int>{0, 1}
                              << QList<MemoryRecord>{{7125000, 2, 1, 0, "a"},
                                                     {7130000, 3, 2, 1, "b"}};
    QTest::newRow("kHz fields") << QByteArray("7125.5|2|1|0|\r\n7125,5|2|1|0|\r\n") << 2 << false
                                << QList<int>{0, 1}
                                << QList<MemoryRecord>{{7125500, 2, 1, 0, ""},
                                                       {7125500, 2, 1, 0, ""}};
    QTest::newRow("hash stops") << QByteArray("7125000|2|1|0|a\r\n#note\r\n7130000|3|2|1|b\r\n")
                                << 1 << true << QList<int>{0}
                                << QList<MemoryRecord>{{7125000, 2, 1, 0, "a"}};
    QTest::newRow("empty line stops")
        << QByteArray("7125000|2|1|0|a\r\n\r\n7130000|3|2|1|b\r\n") << 1 << true << QList<int>{0}
        << QList<MemoryRecord>{{7125000, 2, 1, 0, "a"}};
    QTest::newRow("short line stops")
        << QByteArray("7125000|2|1\r\n") << 0 << true << QList<int>{} << QList<MemoryRecord>{};
    QTest::newRow("out of range frequency is empty")
        << QByteArray("99999999|2|1|0|far\r\n-5|2|1|0|neg\r\n") << 2 << false << QList<int>{0, 1}
        << QList<MemoryRecord>{{0, 2, 1, 0, "far"}, {0, 2, 1, 0, "neg"}};
    QTest::newRow("huge codes") << QByteArray("7125000|99999999999|1e400|x|c\r\n") << 1 << false
                                << QList<int>{0} << QList<MemoryRecord>{{7125000, 0, 1, 0, "c"}};
    // The driver stores one digit per code and drops a row with a wider one.
    QTest::newRow("codes outside their tables read as 0")
        << QByteArray("7125000|12|30001|3|x\r\n7130000|-1|-1|-2|y\r\n7135000|8|30000|2|z\r\n") << 3
        << false << QList<int>{0, 1, 2}
        << QList<MemoryRecord>{
               {7125000, 0, 0, 0, "x"}, {7130000, 0, -1, 0, "y"}, {7135000, 8, 30000, 2, "z"}};
    QTest::newRow("Latin-1 comment")
        << QByteArray("7125000|2|1|0|Radio Espa\xf1"
                      "a\r\n")
        << 1 << false << QList<int>{0}
        << QList<MemoryRecord>{{7125000, 2, 1, 0, QString::fromUtf8("Radio España")}};
    QTest::newRow("no final line end")
        << QByteArray("7125000|2|1|0|a") << 1 << false << QList<int>{0}
        << QList<MemoryRecord>{{7125000, 2, 1, 0, "a"}};
}

void TestMemoryFile::load() {
    QFETCH(QByteArray, content);
    QFETCH(int, rowsRead);
    QFETCH(bool, badLine);
    QFETCH(QList<int>, rows);
    QFETCH(QList<MemoryRecord>, records);
    QTemporaryDir dir;
    const QString path = dir.filePath("t.mem");
    writeFile(path, content);
    ChannelTable before;
    fillMarked(before);
    ChannelTable t;
    fillMarked(t);
    t.SetModified(false);
    const LoadResult r = LoadChannelFile(path, t);
    QVERIFY(r.opened);
    QCOMPARE(r.rowsRead, rowsRead);
    QCOMPARE(r.badLine, badLine);
    QVERIFY(!t.Modified());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const MemoryRecord& got = t.Row(rows[i]);
        QVERIFY2(sameRecord(got, records[i]),
                 qPrintable(QStringLiteral("row %1: %2").arg(rows[i]).arg(FormatRecordLine(got))));
    }
    for (int row = rowsRead; row < t.Size(); ++row)
        QVERIFY2(sameRecord(t.Row(row), before.Row(row)), qPrintable(QString::number(row)));
}

void TestMemoryFile::loadStopsAtTheTableEnd() {
    QTemporaryDir dir;
    const QString path = dir.filePath("long.mem");
    QByteArray bytes;
    for (int r = 0; r < 250; ++r) bytes += QByteArray::number(1000000 + r) + "|0|0|0|\r\n";
    writeFile(path, bytes);
    ChannelTable t;
    const LoadResult r = LoadChannelFile(path, t);
    QCOMPARE(r.rowsRead, 200);
    QVERIFY(!r.badLine);
    QCOMPARE(t.Row(199).Frequency, 1000199.0);

    // Loading the ten quick memories from the same file stops after ten rows too.
    std::array<MemoryRecord, 10> rows{};
    QuickMemory quick(rows);
    QCOMPARE(LoadChannelFile(path, quick).rowsRead, 10);

    QVERIFY(!LoadChannelFile(dir.filePath("missing.mem"), t).opened);
}

void TestMemoryFile::saveErasedTable() {
    QTemporaryDir dir;
    ChannelTable t;
    fillMarked(t);
    t.Erase();
    const QString path = dir.filePath("erased.mem");
    QVERIFY(SaveChannelFile(path, t).ok);
    QByteArray expected;
    for (int r = 0; r < 200; ++r) expected += "       0|0|0|0|\r\n";
    QCOMPARE(readAll(path), expected);
}

void TestMemoryFile::saveAndLoadKeepEveryField() {
    QTemporaryDir dir;
    ChannelTable t;
    fillMarked(t);
    t.SetRow(3, MemoryRecord{9410000, 4, 1, 0, QStringLiteral("BBC | London")});
    t.SetRow(4, MemoryRecord{7125000, 2, 2400, 1, QStringLiteral("two\r\nlines")});
    t.SetRow(5, MemoryRecord{6000000, 3, 2, 2, QString::fromUtf8("Radio España")});
    const QString path = dir.filePath("round.mem");
    QVERIFY(SaveChannelFile(path, t).ok);
    QVERIFY(readAll(path).startsWith("       1000|1|2|1|old 0\r\n"));
    ChannelTable back;
    QCOMPARE(LoadChannelFile(path, back).rowsRead, 200);
    for (int r = 0; r < 200; ++r) {
        MemoryRecord want = t.Row(r);
        if (r == 4) want.Comment = QStringLiteral("two  lines");
        QVERIFY2(sameRecord(back.Row(r), want), qPrintable(QString::number(r)));
    }
}

void TestMemoryFile::failedSaveLeavesWhatIsThere() {
    QTemporaryDir dir;
    ChannelTable t;
    fillMarked(t);
    // A folder in place of the file: the write cannot replace it, and what it holds stays.
    const QString path = dir.filePath("taken.mem");
    QVERIFY(QDir(dir.path()).mkdir("taken.mem"));
    QFile inside(QDir(path).filePath("inside"));
    QVERIFY(inside.open(QIODevice::WriteOnly));
    inside.write("old\r\n");
    inside.close();
    const SaveResult r = SaveChannelFile(path, t);
    QVERIFY(!r.ok);
    QVERIFY(!r.error.isEmpty());
    QCOMPARE(readAll(QDir(path).filePath("inside")), QByteArray("old\r\n"));
    // A folder that does not exist.
    QVERIFY(!SaveChannelFile(dir.filePath("no/such/dir.mem"), t).ok);
}

void TestMemoryFile::memoryRowText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<MemoryRecord>("record");
    QTest::addColumn<QString>("written");
    QTest::newRow("default") << "0|0|0|0|" << MemoryRecord{} << "0|0|0|0|";
    QTest::newRow("full") << "9410000|4|1|0|BBC" << MemoryRecord{9410000, 4, 1, 0, "BBC"}
                          << "9410000|4|1|0|BBC";
    QTest::newRow("comment with separator")
        << "9410000|4|1|0|a|b" << MemoryRecord{9410000, 4, 1, 0, "a|b"} << "9410000|4|1|0|a|b";
    QTest::newRow("frequency only")
        << "7100000" << MemoryRecord{7100000, 0, 0, 0, ""} << "7100000|0|0|0|";
    QTest::newRow("bandwidth filter")
        << "7100000|2|2400|1|" << MemoryRecord{7100000, 2, 2400, 1, ""} << "7100000|2|2400|1|";
    QTest::newRow("overflowing codes") << "7100000|1e300|-99999999999|x|"
                                       << MemoryRecord{7100000, 1, 0, 0, ""} << "7100000|1|0|0|";
    QTest::newRow("garbage") << "abc" << MemoryRecord{} << "0|0|0|0|";
}

void TestMemoryFile::memoryRowText() {
    QFETCH(QString, text);
    QFETCH(MemoryRecord, record);
    QFETCH(QString, written);
    const MemoryRecord got = ParseMemoryRow(text);
    QVERIFY2(sameRecord(got, record), qPrintable(FormatMemoryRow(got)));
    QCOMPARE(FormatMemoryRow(got), written);
    QVERIFY(sameRecord(ParseMemoryRow(FormatMemoryRow(got)), got));
}

void TestMemoryFile::filterRowText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("default") << "-1|" << -1 << "";
    QTest::newRow("fixed filter") << "0|" << 0 << "";
    QTest::newRow("bandwidth") << "1802|1802" << 1802 << "1802";
    QTest::newRow("label with separator") << "2400|SSB|wide" << 2400 << "SSB|wide";
    QTest::newRow("wild code") << "99999999999|x" << -1 << "";
    QTest::newRow("negative code") << "-7|x" << -1 << "";
    QTest::newRow("no separator") << "2400" << 2400 << "";
}

void TestMemoryFile::filterRowText() {
    QFETCH(QString, text);
    QFETCH(int, code);
    QFETCH(QString, name);
    const QuickFilter f = ParseFilterRow(text);
    QCOMPARE(f.Code, code);
    QCOMPARE(f.Name, name);
    const QuickFilter back = ParseFilterRow(FormatFilterRow(f));
    QCOMPARE(back.Code, f.Code);
    QCOMPARE(back.Name, f.Name);
}

void TestMemoryFile::quickRowsSurviveARestart() {
    QTemporaryDir dir;
    const QString hive = dir.filePath("Kelvane.reg");
    std::array<MemoryRecord, 10> rows{};
    rows[2] = MemoryRecord{9410000, 4, 1, 0, QStringLiteral("BBC | London")};
    rows[5] = MemoryRecord{7100000, 2, 2, 1, QString()};
    {
        Registry reg(hive);
        reg.Load();
        QVERIFY(WriteQuickMemories(reg, rows));
    }
    // Second run: the memories come back; then row 2 is erased and the program ends again.
    {
        Registry reg(hive);
        reg.Load();
        std::array<MemoryRecord, 10> back{};
        ReadQuickMemories(reg, back);
        for (size_t i = 0; i < rows.size(); ++i) QVERIFY(sameRecord(back[i], rows[i]));
        back[2] = MemoryRecord{};
        QVERIFY(WriteQuickMemories(reg, back));
    }
    // Third run: the erased memory stays erased.
    {
        Registry reg(hive);
        reg.Load();
        std::array<MemoryRecord, 10> back{};
        ReadQuickMemories(reg, back);
        QCOMPARE(back[2].Frequency, 0.0);
        QCOMPARE(back[5].Frequency, 7100000.0);
        // A memory never set is not written at all.
        QCOMPARE(reg.RegGet(QStringLiteral("Kelvane"), QString(), QStringLiteral("MEM_Inf0"),
                            QStringLiteral("none"))
                     .toString(),
                 QStringLiteral("none"));
    }
}

void TestMemoryFile::presetBandwidth_data() {
    QTest::addColumn<double>("typed");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("stored");
    QTest::newRow("odd rounds up") << 1801.0 << true << 1802;
    QTest::newRow("even") << 2400.0 << true << 2400;
    QTest::newRow("fraction") << 1800.4 << true << 1800;
    QTest::newRow("lowest") << 500.0 << true << 500;
    QTest::newRow("highest odd") << 5499.0 << true << 5500;
    QTest::newRow("too wide") << 6000.0 << false << 0;
    QTest::newRow("too narrow") << 499.0 << false << 0;
}

void TestMemoryFile::presetBandwidth() {
    QFETCH(double, typed);
    QFETCH(bool, ok);
    QFETCH(int, stored);
    int b = 0;
    QCOMPARE(PresetBandwidth(typed, b), ok);
    if (ok) QCOMPARE(b, stored);
}

void TestMemoryFile::receiverFilter_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("aux");
    QTest::addColumn<int>("mapped");
    QTest::newRow("fixed code kept") << 2 << false << 2;
    QTest::newRow("narrow") << 500 << false << 2;
    QTest::newRow("inter") << 1802 << false << 1;
    QTest::newRow("inter edge") << 2200 << false << 1;
    QTest::newRow("wide") << 2400 << false << 0;
    QTest::newRow("wide edge") << 5500 << false << 0;
    QTest::newRow("above wide without aux") << 12000 << false << 0;
    QTest::newRow("above wide with aux") << 12000 << true << 3;
    QTest::newRow("empty") << -1 << false << 0;
}

void TestMemoryFile::receiverFilter() {
    QFETCH(int, code);
    QFETCH(bool, aux);
    QFETCH(int, mapped);
    QCOMPARE(ReceiverFilterFor(code, 500, 2200, 5500, aux), mapped);
}

void TestMemoryFile::filterCycle_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("nextPosition");
    QTest::addColumn<int>("code");
    // Rows: 1 holds 1802, 4 holds 0 (Wide, not a bandwidth), 6 holds 2400.
    QTest::newRow("first report unknown") << -1 << 0 << 0;
    QTest::newRow("wide to inter") << 0 << 1 << 1;
    QTest::newRow("aux to first preset") << 3 << 5 << 1802;
    QTest::newRow("skips a fixed-filter preset") << 5 << 10 << 2400;
    QTest::newRow("last preset to wide") << 10 << 0 << 0;
}

void TestMemoryFile::filterCycle() {
    QFETCH(int, position);
    QFETCH(int, nextPosition);
    QFETCH(int, code);
    std::array<QuickFilter, 10> rows{};
    rows[1] = {1802, "1802"};
    rows[4] = {0, ""};
    rows[6] = {2400, "2400"};
    QuickFilterTable t(rows);
    const auto step = t.NextInCycle(position);
    QCOMPARE(step.position, nextPosition);
    QCOMPARE(step.code, code);
}

void TestMemoryFile::frequencyCell_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("store");
    QTest::addColumn<double>("hz");
    QTest::addColumn<bool>("clamped");
    QTest::addColumn<QString>("shown");
    QTest::newRow("7125") << "7125" << true << 7125000.0 << false << "7125.000";
    QTest::newRow("30000 clamps") << "30000" << true << 29999999.0 << true << "29999.999";
    QTest::newRow("decimals") << "7125.125" << true << 7125125.0 << false << "7125.125";
    QTest::newRow("low") << "7.1" << true << 7100.0 << false << "07.100";
    QTest::newRow("point alone") << "." << true << 0.0 << false << "00.000";
    QTest::newRow("empty") << "" << false << 0.0 << false << "";
}

void TestMemoryFile::frequencyCell() {
    QFETCH(QString, typed);
    QFETCH(bool, store);
    QFETCH(double, hz);
    QFETCH(bool, clamped);
    QFETCH(QString, shown);
    const FrequencyCell c = CheckFrequencyCell(typed);
    QCOMPARE(c.store, store);
    QCOMPARE(c.hz, hz);
    QCOMPARE(c.clamped, clamped);
    if (store) QCOMPARE(FrequencyCellText(c.hz), shown);
}

void TestMemoryFile::filterCell_data() {
    QTest::addColumn<int>("typed");
    QTest::addColumn<bool>("aux");
    QTest::addColumn<int>("grid");
    QTest::addColumn<int>("preset");
    // 2 is a filter code in the memory grid, a bandwidth below the lowest in the presets.
    QTest::newRow("code 2") << 2 << false << 2 << 500;
    QTest::newRow("bandwidth kept") << 2400 << false << 2400 << 2400;
    QTest::newRow("odd bandwidth") << 1801 << false << 1801 << 1802;
    QTest::newRow("wide") << 6000 << false << 3 << 12000;
    QTest::newRow("wide with aux") << 6000 << true << 0 << 5500;
    QTest::newRow("narrow") << 300 << false << 2 << 500;
    QTest::newRow("narrow with aux") << 300 << true << 3 << 350;
}

void TestMemoryFile::filterCell() {
    QFETCH(int, typed);
    QFETCH(bool, aux);
    QFETCH(int, grid);
    QFETCH(int, preset);
    QCOMPARE(FilterCellCode(typed, 500, 5500, aux), grid);
    QCOMPARE(FilterPresetCell(typed, 500, 5500, 12000, aux), preset);
}

QTEST_GUILESS_MAIN(TestMemoryFile)
#include "tst_memory_file.moc"
