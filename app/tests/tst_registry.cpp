// The settings hive: encodings, lists, start-up corrections, recovery and atomic saves, on real
// files in a temporary folder.
#include "settings/registry.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const QString App = QStringLiteral("Kelvane");
const QByteArray KeyLine = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Dunmore Software\\Kelvane]";

QByteArray hive(const QByteArrayList& lines) {
    return "REGEDIT4\r\n\r\n" + KeyLine + "\r\n" + lines.join("\r\n") + "\r\n";
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestRegistry : public QObject {
    Q_OBJECT

private slots:
    void savedValueLine_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("true") << QVariant(true) << QByteArray("\"V\"=dword:ffffffff");
        QTest::newRow("false") << QVariant(false) << QByteArray("\"V\"=dword:00000000");
        QTest::newRow("integer") << QVariant(4098) << QByteArray("\"V\"=dword:00001002");
        QTest::newRow("negative") << QVariant(-1) << QByteArray("\"V\"=dword:ffffffff");
        QTest::newRow("double rounds half to even")
            << QVariant(2.5) << QByteArray("\"V\"=dword:00000002");
        QTest::newRow("double rounds up")
            << QVariant(1000000.6) << QByteArray("\"V\"=dword:000f4241");
        QTest::newRow("text") << QVariant(QStringLiteral("4800")) << QByteArray("\"V\"=\"4800\"");
        QTest::newRow("quote and backslash")
            << QVariant(QStringLiteral("a\"b\\c")) << QByteArray("\"V\"=\"a\\\"b\\\\c\"");
        QTest::newRow("line break as raw text")
            << QVariant(QStringLiteral("a\nb")) << QByteArray("\"V\"=hex(1):61,0a,62");
        QTest::newRow("utf-8 text")
            << QVariant(QStringLiteral("Gr\u00fcn")) << QByteArray("\"V\"=\"Gr\xc3\xbcn\"");
    }
    void savedValueLine() {
        QFETCH(QVariant, value);
        QFETCH(QByteArray, line);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("k.reg"));
        Registry reg(path);
        reg.Load();
        QVERIFY(reg.RegSave(App, QString(), QStringLiteral("V"), value));
        const QByteArray text = readFile(path);
        QVERIFY2(text.contains(line + "\r\n"), text.constData());
        QVERIFY(text.startsWith("REGEDIT4\r\n"));

        // And a fresh program reads the same value back.
        Registry again(path);
        QCOMPARE(again.Load().kind, Registry::LoadResult::Loaded);
        const QVariant def = value.typeId() == QMetaType::QString ? QVariant(QString()) : 0;
        const QVariant back = again.RegGet(App, QString(), QStringLiteral("V"), def);
        if (value.typeId() == QMetaType::QString)
            QCOMPARE(back.toString(), value.toString());
        else if (value.typeId() == QMetaType::Bool)
            QCOMPARE(back.toInt(), value.toBool() ? -1 : 0);
        else
            QCOMPARE(back.toInt(), int(std::nearbyint(value.toDouble())));
    }

    void refusedValues_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("beyond 32 bits") << "V" << QVariant(1e10);
        QTest::newRow("not a number") << "V" << QVariant(std::nan(""));
        QTest::newRow("no value") << "V" << QVariant();
        QTest::newRow("empty name") << "" << QVariant(1);
        QTest::newRow("line break in name") << "A\nB" << QVariant(1);
    }
    void refusedValues() {
        QFETCH(QString, name);
        QFETCH(QVariant, value);
        QTemporaryDir dir;
        Registry reg(dir.filePath(QStringLiteral("k.reg")));
        reg.Load();
        QVERIFY(!reg.RegSave(App, QString(), name, value));
        QVERIFY(!reg.Find(App, name));
    }

    void readsByTheDefaultsType_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QVariant>("def");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("dword") << QByteArray("\"V\"=dword:0000000a") << QVariant(1) << QVariant(10);
        QTest::newRow("dword is signed")
            << QByteArray("\"V\"=dword:ffffffff") << QVariant(1) << QVariant(-1);
        QTest::newRow("text") << QByteArray("\"V\"=\"abc\"") << QVariant(QString())
                              << QVariant(QStringLiteral("abc"));
        QTest::newRow("text from another tool, final NUL dropped")
            << QByteArray("\"V\"=hex(1):61,62,00") << QVariant(QString())
            << QVariant(QStringLiteral("ab"));
        QTest::newRow("only the final NUL is dropped")
            << QByteArray("\"V\"=hex(1):61,00,00") << QVariant(QString())
            << QVariant(QString::fromLatin1("a\0", 2));
        QTest::newRow("dword read of text takes four bytes")
            << QByteArray("\"V\"=\"4800\"") << QVariant(0) << QVariant(0x30303834);
        QTest::newRow("short raw data is zero-padded")
            << QByteArray("\"V\"=hex:01,02") << QVariant(0) << QVariant(0x0201);
        QTest::newRow("empty text counts as missing")
            << QByteArray("\"V\"=\"\"") << QVariant(QStringLiteral("dflt"))
            << QVariant(QStringLiteral("dflt"));
        QTest::newRow("empty raw data counts as missing")
            << QByteArray("\"V\"=hex:") << QVariant(7) << QVariant(7);
        QTest::newRow("missing") << QByteArray("\"Other\"=dword:1") << QVariant(5) << QVariant(5);
        QTest::newRow("names ignore case")
            << QByteArray("\"v\"=dword:3") << QVariant(0) << QVariant(3);
        QTest::newRow("continued hex lines")
            << QByteArray("\"V\"=hex(1):61,\\\r\n  62,00") << QVariant(QString())
            << QVariant(QStringLiteral("ab"));
    }
    void readsByTheDefaultsType() {
        QFETCH(QByteArray, stored);
        QFETCH(QVariant, def);
        QFETCH(QVariant, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("k.reg"));
        QVERIFY(writeFile(path, hive({stored})));
        Registry reg(path);
        QCOMPARE(reg.Load().kind, Registry::LoadResult::Loaded);
        const QVariant got = reg.RegGet(App, QString(), QStringLiteral("V"), def);
        if (expected.typeId() == QMetaType::QString)
            QCOMPARE(got.toString(), expected.toString());
        else
            QCOMPARE(got.toInt(), expected.toInt());
    }

    void listSplitting_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QVariantList>("fields");
        QTest::newRow("memory default") << "0|0|0|0|" << 5 << QVariantList{0, 0, 0, 0, ""};
        QTest::newRow("filter default") << "-1|" << 2 << QVariantList{-1, ""};
        QTest::newRow("memory row")
            << "7050000|3|1|0|Radio X" << 5 << QVariantList{7050000, 3, 1, 0, "Radio X"};
        QTest::newRow("lenient numbers")
            << " 12abc|x7|3.5e3|-|end" << 5 << QVariantList{12, 0, 3500, 0, "end"};
        QTest::newRow("separator in the comment is kept")
            << "7050000|3|1|0|a|b" << 5 << QVariantList{7050000, 3, 1, 0, "a|b"};
        QTest::newRow("fewer fields") << "9410000|4" << 5 << QVariantList{9410000, "4"};
        QTest::newRow("no separator") << "text" << 2 << QVariantList{"text"};
    }
    void listSplitting() {
        QFETCH(QString, text);
        QFETCH(int, columns);
        QFETCH(QVariantList, fields);
        const QVariantList got = Registry::SplitList(text, QStringLiteral("|"), columns);
        QCOMPARE(got.size(), fields.size());
        for (qsizetype i = 0; i < got.size(); ++i) {
            if (fields[i].typeId() == QMetaType::QString)
                QCOMPARE(got[i].toString(), fields[i].toString());
            else
                QCOMPARE(got[i].toDouble(), fields[i].toDouble());
        }
    }

    void listRowsRoundTrip() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("k.reg"));
        Registry reg(path);
        reg.Load();
        Settings s;
        s.MEM_Inf[1] = MemoryRecord{7050000, 3, 1, 0, QStringLiteral("Net | evening")};
        s.MEM_Inf[4] = MemoryRecord{0, 2, 2, 2, QStringLiteral("empty rows are not written")};
        s.FLT_Inf[0] = QuickFilter{2400, QStringLiteral("SSB")};
        QVERIFY(s.Write(reg));
        const QByteArray text = readFile(path);
        QVERIFY(text.contains("\"MEM_Inf1\"=\"7050000|3|1|0|Net | evening\""));
        QVERIFY(!text.contains("\"MEM_Inf4\""));
        QVERIFY(text.contains("\"FLT_Inf0\"=\"2400|SSB\""));
        QVERIFY(text.contains("\"FLT_Inf9\"=\"-1|\""));

        Registry again(path);
        again.Load();
        Settings t;
        t.Read(again);
        QCOMPARE(t.MEM_Inf[1].Frequency, 7050000.0);
        QCOMPARE(t.MEM_Inf[1].Mode, 3);
        QCOMPARE(t.MEM_Inf[1].Comment, QStringLiteral("Net | evening"));
        QCOMPARE(t.MEM_Inf[4].Frequency, 0.0);
        QCOMPARE(t.MEM_Inf[4].Comment, QString());
        QCOMPARE(t.FLT_Inf[0].Code, 2400);
        QCOMPARE(t.FLT_Inf[0].Name, QStringLiteral("SSB"));
        QCOMPARE(t.FLT_Inf[3].Code, -1);
    }

    void shutdownWritesEveryValueInOrder() {
        // A first run's hive: every value of the settings table with its default and type, in
        // the order shutdown writes them.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("k.reg"));
        Registry reg(path);
        reg.Load();
        Settings s;
        s.ReadKnownSelection(reg, 2);
        QVERIFY(s.Write(reg));

        QByteArrayList expected{
            "\"HelpLeft\"=dword:000003e8",     "\"HelpTop\"=dword:000003e8",
            "\"MainLeft\"=dword:000003e8",     "\"MainTop\"=dword:000003e8",
            "\"MainWidth\"=dword:00000000",    "\"MainHeight\"=dword:00000000",
            "\"AGC_OffAllow\"=dword:ffffffff", "\"IMP_Fil\"=\"import.cnf\"",
            "\"IMP_VCmt\"=dword:ffffffff",     "\"IMP_VNul\"=dword:ffffffff",
            "\"IMP_Frq\"=dword:00000001",      "\"IMP_Mod\"=dword:ffffffff",
        };
        for (int i = 1; i <= 7; ++i) {
            const QByteArray n = QByteArray::number(i);
            expected << "\"IMP_Cmt" + n + "\"=dword:00000000"
                     << "\"IMP_Fix" + n + "\"=dword:ffffffff"
                     << "\"IMP_Siz" + n + "\"=dword:00000000";
        }
        expected << "\"KWN_Sel0\"=dword:00000002"
                 << "\"KWN_Sel1\"=dword:00000000"
                 << "\"KWN_Sel2\"=dword:00000000";
        expected << "\"DDE_AutoRetry\"=dword:00000000"
                 << "\"DDE_Database\"=\"Morrowby\""
                 << "\"DDE_Activate\"=dword:ffffffff"
                 << "\"COM_Speed\"=\"4800\""
                 << "\"COM_Port\"=dword:ffffffff"
                 << "\"SCN_Range\"=dword:000f4240"
                 << "\"SCN_Delay\"=dword:00000004"
                 << "\"SCN_Wait\"=dword:00000000"
                 << "\"SCN_Step\"=dword:000003e8"
                 << "\"SCN_Mode\"=dword:00000001"
                 << "\"WIN_OnTop\"=dword:ffffffff"
                 << "\"WIN_Beep\"=dword:ffffffff"
                 << "\"BND_AutoMD\"=dword:ffffffff"
                 << "\"BND_AutoFT\"=dword:ffffffff"
                 << "\"BND_AutoST\"=dword:ffffffff"
                 << "\"RNG_Default\"=dword:00000001"
                 << "\"SND_Crd\"=dword:ffffffff"
                 << "\"SND_Inp\"=dword:00001002"
                 << "\"FLT_Aux\"=dword:00000000"
                 << "\"SMT_Sql\"=dword:00000080"
                 << "\"SMT_Log\"=\"Noise.txt\""
                 << "\"SMT_Pad\"=\"scratch.log\""
                 << "\"SKD_File\"=\"\"";
        // No quick memory (all frequencies 0); every quick filter.
        for (int i = 0; i <= 9; ++i) expected << "\"FLT_Inf" + QByteArray::number(i) + "\"=\"-1|\"";

        QCOMPARE(readFile(path), hive(expected));
    }

    void zeroQuickMemoryKeepsTheStoredRow() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("k.reg"));
        QVERIFY(writeFile(path, hive({"\"MEM_Inf2\"=\"6195000|4|0|0|BBC\""})));
        Registry reg(path);
        reg.Load();
        Settings s;
        s.Read(reg);
        s.MEM_Inf[2].Frequency = 0;
        s.MEM_Inf[2].Comment = QStringLiteral("cleared");
        QVERIFY(s.Write(reg));
        QVERIFY(readFile(path).contains("\"MEM_Inf2\"=\"6195000|4|0|0|BBC\""));
    }

    // A key whose name is only a byte-order mark decodes to nothing: refused, as "[]" is, so
    // a saved hive always reads back.
    void namesStartingWithAMark_data() {
        QTest::addColumn<QByteArray>("hive");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const QByteArray head = "REGEDIT4\r\n[";
        QTest::newRow("key of one mark") << head + "\xEF\xBB\xBF]\r\n"
                                         << QStringLiteral("\uFEFF") << QString();
        QTest::newRow("key of two marks") << head + "\xEF\xBB\xBF\xEF\xBB\xBF]\r\n"
                                          << QStringLiteral("\uFEFF\uFEFF") << QString();
        QTest::newRow("key after a mark") << head + "\xEF\xBB\xBFKey]\r\n"
                                          << QStringLiteral("\uFEFFKey") << QString();
        QTest::newRow("value names with marks")
            << head + "Key]\r\n\"\xEF\xBB\xBF\xEF\xBB\xBFV\"=dword:00000001\r\n"
            << QStringLiteral("Key") << QStringLiteral("\uFEFF\uFEFFV");
    }

    // A byte-order mark that starts a name is part of the name, so the hive reads back exactly
    // as it was saved.
    void namesStartingWithAMark() {
        QFETCH(QByteArray, hive);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QList<Registry::Section> sections;
        QVERIFY(Registry::Parse(hive, sections));
        QCOMPARE(sections.size(), 1);
        QCOMPARE(sections[0].key, key);
        if (!value.isEmpty()) QCOMPARE(sections[0].values.value(0).name, value);
        QList<Registry::Section> again;
        QVERIFY(Registry::Parse(Registry::Format(sections), again));
        QCOMPARE(Registry::Format(again), Registry::Format(sections));
    }

    void startCorrections_data() {
        QTest::addColumn<QByteArrayList>("stored");
        QTest::addColumn<double>("range");
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("labels");
        QTest::addColumn<int>("known");
        QTest::newRow("empty hive") << QByteArrayList{} << 1000000.0 << 4 << 19 << 19;
        QTest::newRow("range 100000 replaced")
            << QByteArrayList{"\"SCN_Range\"=dword:000186a0"} << 1000000.0 << 4 << 19 << 19;
        QTest::newRow("range above kept")
            << QByteArrayList{"\"SCN_Range\"=dword:000186a1"} << 100001.0 << 4 << 19 << 19;
        QTest::newRow("delay 0 replaced")
            << QByteArrayList{"\"SCN_Delay\"=dword:00000000"} << 1000000.0 << 4 << 19 << 19;
        QTest::newRow("delay kept")
            << QByteArrayList{"\"SCN_Delay\"=dword:00000007"} << 1000000.0 << 7 << 19 << 19;
        QTest::newRow("known count raised")
            << QByteArrayList{"\"KWN_Sel0\"=dword:00000003"} << 1000000.0 << 4 << 19 << 19;
        QTest::newRow("larger known count kept")
            << QByteArrayList{"\"KWN_Sel0\"=dword:00000016"} << 1000000.0 << 4 << 19 << 22;
    }
    void startCorrections() {
        QFETCH(QByteArrayList, stored);
        QFETCH(double, range);
        QFETCH(int, delay);
        QFETCH(int, labels);
        QFETCH(int, known);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("k.reg"));
        QVERIFY(writeFile(path, hive(stored)));
        Registry reg(path);
        reg.Load();
        Settings s;
        s.Read(reg);
        s.ReadKnownSelection(reg, labels);
        QCOMPARE(s.SCN_Range, range);
        QCOMPARE(s.SCN_Delay, delay);
        QCOMPARE(s.KWN_Sel.size(), qsizetype(known + 1));
        QCOMPARE(s.KWN_Sel[0], known);
        // The rest are the table's defaults.
        QCOMPARE(s.COM_Port, -1);
        QCOMPARE(s.COM_Speed, QStringLiteral("4800"));
        QCOMPARE(s.SND_Inp, 4098);
        QCOMPARE(s.DDE_Activate, true);
        QCOMPARE(s.IMP_Fix[6], true);
        QCOMPARE(s.SMT_Pad, QStringLiteral("scratch.log"));
    }

    void windowPositionsReadBack_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("helpTop");
        QTest::newRow("defaults") << QByteArray() << 1000 << 1000;
        // 2800 pixels to the right: beyond a 16-bit number of twips.
        QTest::newRow("second screen") << QByteArray("\"MainLeft\"=dword:0000a410\r\n"
                                                     "\"HelpTop\"=dword:0000a410")
                                       << 42000 << 42000;
        QTest::newRow("screen left of the primary")
            << QByteArray("\"MainLeft\"=dword:ffff63c0") << -40000 << 1000;
    }
    void windowPositionsReadBack() {
        // Where shutdown put a window, the next start puts it again.
        QFETCH(QByteArray, stored);
        QFETCH(int, left);
        QFETCH(int, helpTop);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("k.reg"));
        QVERIFY(
            writeFile(path, hive(stored.isEmpty() ? QByteArrayList{} : QByteArrayList{stored})));
        Registry reg(path);
        reg.Load();
        Settings s;
        s.Read(reg);
        s.ReadHelpPosition(reg);
        QCOMPARE(s.MainLeft, left);
        QCOMPARE(s.HelpTop, helpTop);
    }

    void unreadableHiveIsKeptAside_data() {
        QTest::addColumn<QByteArray>("main");   // empty: no file
        QTest::addColumn<QByteArray>("backup"); // empty: no file
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("port"); // "COM_Port" after loading
        const QByteArray good = hive({"\"COM_Port\"=dword:00000005"});
        const QByteArray older = hive({"\"COM_Port\"=dword:00000003"});
        const QByteArray junk("\x00\x01garbage\xff", 11);
        const QByteArray truncated = good.left(good.size() - 12);
        QTest::newRow("good hive") << good << older << int(Registry::LoadResult::Loaded) << 5;
        QTest::newRow("first start")
            << QByteArray() << QByteArray() << int(Registry::LoadResult::Missing) << -1;
        QTest::newRow("binary junk, good backup")
            << junk << older << int(Registry::LoadResult::RecoveredFromBackup) << 3;
        QTest::newRow("truncated, good backup")
            << truncated << older << int(Registry::LoadResult::RecoveredFromBackup) << 3;
        QTest::newRow("not a hive, no backup")
            << QByteArray("port=5\n") << QByteArray() << int(Registry::LoadResult::Reset) << -1;
        QTest::newRow("both unreadable") << junk << junk << int(Registry::LoadResult::Reset) << -1;
        QTest::newRow("missing, good backup")
            << QByteArray() << older << int(Registry::LoadResult::RecoveredFromBackup) << 3;
    }
    void unreadableHiveIsKeptAside() {
        QFETCH(QByteArray, main);
        QFETCH(QByteArray, backup);
        QFETCH(int, kind);
        QFETCH(int, port);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("k.reg"));
        if (!main.isEmpty()) QVERIFY(writeFile(path, main));
        if (!backup.isEmpty()) QVERIFY(writeFile(path + ".bak", backup));

        Registry reg(path);
        const Registry::LoadResult result = reg.Load();
        QCOMPARE(int(result.kind), kind);
        Settings s;
        s.Read(reg);
        QCOMPARE(s.COM_Port, port);
        const bool repaired = kind == Registry::LoadResult::Reset ||
                              kind == Registry::LoadResult::RecoveredFromBackup;
        QCOMPARE(!result.message.isEmpty(), repaired);
        QCOMPARE(!result.keptAside.isEmpty(), repaired && !main.isEmpty());
        if (!result.keptAside.isEmpty()) {
            // The unreadable file is kept, byte for byte, under a new name, and named.
            QCOMPARE(readFile(result.keptAside), main);
            QVERIFY(result.message.contains(result.keptAside));
        }

        // Saving afterwards never destroys the kept file or a good backup.
        s.COM_Port = 7;
        QVERIFY(s.Write(reg));
        if (!result.keptAside.isEmpty()) QCOMPARE(readFile(result.keptAside), main);
        if (!backup.isEmpty() && kind != Registry::LoadResult::Loaded)
            QCOMPARE(readFile(path + ".bak"), backup);
        Registry again(path);
        QCOMPARE(again.Load().kind, Registry::LoadResult::Loaded);
        QCOMPARE(again.RegGet(App, QString(), QStringLiteral("COM_Port"), -1).toInt(), 7);
    }

    void pathThatIsNoFileIsLeftAlone_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("fifo") << QStringLiteral("fifo");
    }
    void pathThatIsNoFileIsLeftAlone() {
        // "--settings ~/radio" naming a folder by mistake must not move the user's folder, and a
        // named pipe must not hang the start.
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("k.reg"));
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("k.reg")));
            QVERIFY(writeFile(path + QStringLiteral("/inside"), "keep"));
        } else {
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        QVERIFY(writeFile(path + ".bak", hive({"\"COM_Port\"=dword:00000003"})));
        Registry reg(path);
        const Registry::LoadResult result = reg.Load();
        QCOMPARE(result.kind, Registry::LoadResult::Reset);
        QVERIFY(result.keptAside.isEmpty());
        QVERIFY(result.message.contains(path));
        QVERIFY(!reg.RegSave(App, QString(), QStringLiteral("COM_Port"), 7));
        const QFileInfo after(path);
        QVERIFY(after.exists() && !after.isFile());
        if (kind == QLatin1String("folder"))
            QCOMPARE(readFile(path + QStringLiteral("/inside")), QByteArray("keep"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("k.reg.bak")});
        QCOMPARE(readFile(path + ".bak"), hive({"\"COM_Port\"=dword:00000003"}));
    }

    void savesAreAtomicWithABackup() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sub/k.reg")); // folder made on demand
        Registry reg(path);
        reg.Load();
        QVERIFY(reg.RegSave(App, QString(), QStringLiteral("A"), 1));
        const QByteArray first = readFile(path);
        QVERIFY(!QFile::exists(path + ".bak"));
        {
            Registry::Batch batch(reg);
            QVERIFY(reg.RegSave(App, QString(), QStringLiteral("A"), 2));
            QVERIFY(reg.RegSave(App, QString(), QStringLiteral("B"), QStringLiteral("x")));
            // Nothing reaches the file before the batch ends.
            QCOMPARE(readFile(path), first);
        }
        QCOMPARE(readFile(path + ".bak"), first);
        const QByteArray second = readFile(path);
        QVERIFY(second.contains("\"A\"=dword:00000002\r\n\"B\"=\"x\"\r\n"));
        // No temporary files are left behind.
        QCOMPARE(QDir(dir.filePath(QStringLiteral("sub"))).entryList(QDir::Files),
                 (QStringList{QStringLiteral("k.reg"), QStringLiteral("k.reg.bak")}));
    }

    void unwritableLocationFailsQuietly() {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(QStringLiteral("file")), "x"));
        Registry reg(dir.filePath(QStringLiteral("file/k.reg"))); // parent is a file
        reg.Load();
        QVERIFY(!reg.RegSave(App, QString(), QStringLiteral("A"), 1));
        // The value is still readable in this run.
        QCOMPARE(reg.RegGet(App, QString(), QStringLiteral("A"), 0).toInt(), 1);
    }

    void otherKeysAndOrderSurvive() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("k.reg"));
        const QByteArray text =
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Other]\r\n\"Z\"=\"keep\"\r\n\r\n" + KeyLine +
            "\r\n\"B\"=dword:00000001\r\n\"A\"=dword:00000002\r\n";
        QVERIFY(writeFile(path, text));
        Registry reg(path);
        QCOMPARE(reg.Load().kind, Registry::LoadResult::Loaded);
        QVERIFY(reg.RegSave(App, QString(), QStringLiteral("b"), 5));
        QCOMPARE(readFile(path),
                 QByteArray(text).replace("\"B\"=dword:00000001", "\"b\"=dword:00000005"));
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
