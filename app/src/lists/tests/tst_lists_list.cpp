// Frequency lists: the line parser under import layouts, the profile file, the list reader with
// its profile header and the file scan, on real files and the simulated receiver.

#include "lists/import_profile.h"
#include "lists/list_line.h"
#include "lists/list_reader.h"
#include "lists/list_scans.h"
#include "lists/scratch_pad.h"
#include "lists_rig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The receiver's own mode names, from the driver.
QStringList modeTexts() {
    Nrd535 rx;
    QStringList out;
    for (int j = 0; j < rx.MDDescMax(); ++j) out << rx.MDDesc(ostry::MD(j));
    return out;
}

// A layout from a profile line's tokens ("" keeps the default layout).
ImportLayout layoutOf(const QString& tokens) {
    ImportLayout l;
    if (!tokens.isEmpty()) ApplyProfileLine(QStringLiteral("T|") + tokens, l);
    return l;
}

struct Rec {
    double hz;
    int mode;
    QString comment;
    bool operator==(const Rec&) const = default;
};

} // namespace

Q_DECLARE_METATYPE(ImportLayout)

namespace QTest {
template <> char* toString(const Rec& r) {
    return qstrdup(
        QStringLiteral("%1 %2 \"%3\"")
            .arg(r.hz, 0, 'f', 0)
            .arg(r.mode)
            .arg(QString(r.comment).replace(QStringLiteral("\r\n"), QStringLiteral("\\r\\n")))
            .toUtf8());
}
} // namespace QTest

class TestLists : public QObject {
    Q_OBJECT
private slots:
    void shippedProfilesFromAnyFolder();
    void parseLine_data();
    void parseLine();
    void profileTokens_data();
    void profileTokens();
    void profileFile();
    void shippedProfiles_data();
    void shippedProfiles();

    void headerAsksForProfile_data();
    void headerAsksForProfile();
    void readerShowsRecords();
    void fileScanSource();
    void keysStepListOrPad();

private:
    QString shippedProfiles_ = QStringLiteral(KELVANE_APP_DATA "/import.cnf");
};

void TestLists::parseLine_data() {
    QTest::addColumn<QString>("tokens");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("record");
    QTest::addColumn<double>("hz");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("comment");

    QTest::newRow("defaults: time, kHz, name")
        << ""
        << "0900 6070 Station A" << true << 6070000.0 << -1 << "";
    QTest::newRow("space fields, last word too")
        << "F(0)|C(0)|C(0)"
        << "07125.5 Station B" << true << 7125500.0 << -1 << "Station B";
    QTest::newRow("kHz with a unit is no number") << "F(0)|C(0)"
                                                  << "7125kHz Station" << false << 0.0 << -1 << "";
    QTest::newRow("trailing colon removed")
        << "F(0)|C(0)|C(0)"
        << "6070 Radio A:" << true << 6070000.0 << -1 << "Radio A";
    QTest::newRow("trailing semicolon removed")
        << "F(0)|C(200)"
        << "6070 Radio A;" << true << 6070000.0 << -1 << "Radio A";
    QTest::newRow("only one mark removed")
        << "F(0)|C(200)"
        << "6070 Radio A,," << true << 6070000.0 << -1 << "Radio A,";
    QTest::newRow("mode field USB") << "F(0)|M(0)|C(0)"
                                    << "4583 USB DWD" << true << 4583000.0 << 2 << "DWD";
    QTest::newRow("mode field LSB is not USB") << "F(0)|M(0)"
                                               << "7880 LSB" << true << 7880000.0 << 3 << "";
    QTest::newRow("mode field unknown") << "F(0)|M(0)"
                                        << "7880 SSTV" << true << 7880000.0 << -1 << "";
    QTest::newRow("comment on a new line")
        << "F(0)|C(0)|Z(0)|Z(0)"
        << "9410 BBC London Eu" << true << 9410000.0 << -1 << "BBC\r\nLondon Eu";
    QTest::newRow("fixed columns")
        << "F(8)|C(6)|C(0)"
        << "  6070.0CFRX  Toronto" << true << 6070000.0 << -1 << "CFRX Toronto";
    QTest::newRow("fixed column shorter than its width") << "C(10)|F(8)"
                                                         << "Name" << false << 0.0 << -1 << "";
    QTest::newRow("tab counts four spaces") << "F(6)|C(200)"
                                            << "6070\tCFRX" << true << 6070000.0 << -1 << "CFRX";
    QTest::newRow("leading spaces before a space field")
        << "F(0)|C(0)"
        << "    6070    CFRX" << true << 6070000.0 << -1 << "CFRX";
    QTest::newRow("decimal comma") << "F(0)"
                                   << "7125,5" << true << 7125500.0 << -1 << "";
    QTest::newRow("three decimals") << "F(0)"
                                    << "7125.125" << true << 7125125.0 << -1 << "";
    QTest::newRow("fourth decimal dropped") << "F(0)"
                                            << "7125.1259" << true << 7125125.0 << -1 << "";
    QTest::newRow("zero frequency") << "F(0)|C(0)"
                                    << "0 Nothing" << false << 0.0 << -1 << "";
    QTest::newRow("zeros only") << "F(0)"
                                << "0000" << false << 0.0 << -1 << "";
    QTest::newRow("above the tuning range") << "F(0)"
                                            << "30000" << false << 0.0 << -1 << "";
    QTest::newRow("below the tuning range") << "F(0)"
                                            << "0.5" << false << 0.0 << -1 << "";
    QTest::newRow("sixteen digits") << "F(0)"
                                    << "9999999999999999" << false << 0.0 << -1 << "";
    QTest::newRow("twenty digits with decimals")
        << "F(0)"
        << "99999999999999999999.5" << false << 0.0 << -1 << "";
    QTest::newRow("leading zeros before a long number")
        << "F(0)"
        << "00000000000000006070" << true << 6070000.0 << -1 << "";
    QTest::newRow("negative") << "F(0)"
                              << "-6070" << false << 0.0 << -1 << "";
    QTest::newRow("no frequency field") << "C(0)|F(0)"
                                        << "Alone" << false << 0.0 << -1 << "";
    QTest::newRow("comment line") << "F(0)"
                                  << "#6070 Radio" << false << 0.0 << -1 << "";
    QTest::newRow("empty line") << "F(0)"
                                << "" << false << 0.0 << -1 << "";
    QTest::newRow("spaces only") << "F(0)"
                                 << "     " << false << 0.0 << -1 << "";
}

void TestLists::parseLine() {
    QFETCH(QString, tokens);
    QFETCH(QString, line);
    QFETCH(bool, record);
    QFETCH(double, hz);
    QFETCH(int, mode);
    QFETCH(QString, comment);

    ListLine out;
    out.Comment = QStringLiteral("untouched");
    QCOMPARE(ParseListLine(line, layoutOf(tokens), modeTexts(), out), record);
    if (!record) {
        QCOMPARE(out.Comment, QStringLiteral("untouched"));
        return;
    }
    QCOMPARE(out.Frequency, hz);
    QCOMPARE(out.Mode, mode);
    QCOMPARE(out.Comment, comment);
}

void TestLists::profileTokens_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("applied");
    QTest::addColumn<int>("frq");
    QTest::addColumn<int>("mod");
    QTest::addColumn<QList<int>>("cmt");
    QTest::addColumn<QList<int>>("siz");

    QTest::newRow("space fields") << "sw|F(0)|M(0)|C(0)|C(0)" << 4 << 0 << 1
                                  << QList<int>{0, 0, 1, 1, 0, 0, 0}
                                  << QList<int>{0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("fixed widths") << "X|F(10)|C(21)|X(4)" << 3 << 0 << -1
                                  << QList<int>{0, 1, 0, 0, 0, 0, 0}
                                  << QList<int>{10, 21, 4, 0, 0, 0, 0};
    QTest::newRow("first Z a new line, later Z a space")
        << "X|F(0)|Z(0)|Z(0)|Z(3)" << 4 << 0 << -1 << QList<int>{0, 2, 1, 1, 0, 0, 0}
        << QList<int>{0, 0, 0, 3, 0, 0, 0};
    QTest::newRow("frequency keeps its field without F")
        << "X|C(0)" << 1 << 5 << -1 << QList<int>{1, 0, 0, 0, 0, 0, 0}
        << QList<int>{0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("no parenthesis ends the profile")
        << "X|C(0)|F0)|M(0)" << 1 << 5 << -1 << QList<int>{1, 0, 0, 0, 0, 0, 0}
        << QList<int>{0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("no closing parenthesis ends the profile")
        << "X|C(4)|F(0|M(0)" << 1 << 5 << -1 << QList<int>{1, 0, 0, 0, 0, 0, 0}
        << QList<int>{4, 0, 0, 0, 0, 0, 0};
    QTest::newRow("empty token ends the profile")
        << "X|F(0)||C(0)" << 1 << 0 << -1 << QList<int>{0, 0, 0, 0, 0, 0, 0}
        << QList<int>{0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("unknown letter leaves the field unused, width kept")
        << "X|Q(7)|F(0)" << 2 << 1 << -1 << QList<int>{0, 0, 0, 0, 0, 0, 0}
        << QList<int>{7, 0, 0, 0, 0, 0, 0};
    QTest::newRow("tokens past the seventh field ignored")
        << "X|C(1)|C(1)|C(1)|C(1)|C(1)|C(1)|C(1)|F(0)" << 7 << 5 << -1
        << QList<int>{1, 1, 1, 1, 1, 1, 1} << QList<int>{1, 1, 1, 1, 1, 1, 1};
    QTest::newRow("negative and huge widths")
        << "X|F(-3)|C(123456789)" << 2 << 0 << -1 << QList<int>{0, 1, 0, 0, 0, 0, 0}
        << QList<int>{0, 9999, 0, 0, 0, 0, 0};
    QTest::newRow("key only") << "X" << 0 << 5 << -1 << QList<int>{0, 0, 0, 0, 0, 0, 0}
                              << QList<int>{0, 0, 0, 0, 0, 0, 0};
}

void TestLists::profileTokens() {
    QFETCH(QString, line);
    QFETCH(int, applied);
    QFETCH(int, frq);
    QFETCH(int, mod);
    QFETCH(QList<int>, cmt);
    QFETCH(QList<int>, siz);

    // A layout full of other choices: everything but the frequency field is reset.
    ImportLayout l;
    l.Frq = 5;
    l.Mod = 3;
    l.Cmt.fill(2);
    l.Siz.fill(9);
    l.Fix.fill(true);
    l.VCmt = l.VNul = false;
    QCOMPARE(ApplyProfileLine(line, l), applied);
    QCOMPARE(l.Frq, frq);
    QCOMPARE(l.Mod, mod);
    QCOMPARE(QList<int>(l.Cmt.begin(), l.Cmt.end()), cmt);
    QCOMPARE(QList<int>(l.Siz.begin(), l.Siz.end()), siz);
    for (int i = 0; i < ImportFieldCount; ++i) QCOMPARE(l.Fix[size_t(i)], siz[i] > 0);
    QVERIFY(l.VCmt && l.VNul);
}

void TestLists::profileFile() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("import.cnf"));
    writeFile(
        file,
        "# comment|F(0)\r\n  sw |F(0)|C(0)\r\nSW|M(0)|F(0)\nNoBar\n#!X|F(0)\r\nlast|C(0)|F(0)");

    QCOMPARE(ProfileNames(file), (QStringList{"SW", "SW", "NOBAR", "LAST"}));

    ImportLayout l;
    QVERIFY(LoadImportProfile(file, QStringLiteral("Sw"), l));
    QCOMPARE(l.Frq, 0);
    QCOMPARE(l.Cmt[1], 1);
    QVERIFY(LoadImportProfile(file, QStringLiteral("last"), l));
    QCOMPARE(l.Frq, 1);
    QCOMPARE(l.Cmt[0], 1);

    const ImportLayout before = l;
    QVERIFY(!LoadImportProfile(file, QStringLiteral("missing"), l));
    QVERIFY(l == before);
    QVERIFY(!LoadImportProfile(dir.filePath(QStringLiteral("none.cnf")), QStringLiteral("SW"), l));
    QVERIFY(l == before);
    QVERIFY(ProfileNames(dir.filePath(QStringLiteral("none.cnf"))).isEmpty());

    // Through the live settings, from the file "IMP_Fil" names.
    Settings s;
    s.IMP_Fil = file;
    QVERIFY(LoadImportProfile(s, QStringLiteral("sw")));
    QCOMPARE(s.IMP_Frq, 0);
    QCOMPARE(s.IMP_Cmt[1], 1);
    QCOMPARE(s.IMP_Fix[0], false);
}

void TestLists::shippedProfiles_data() {
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QList<Rec>>("records");

    QTest::newRow("KHZ") << "KHZ"
                         << "khz.txt"
                         << QList<Rec>{{5000000, -1, "WWV Fort Collins"},
                                       {6070000, -1, "CFRX Toronto"},
                                       {7125500, -1, "Test carrier"},
                                       {9410000, -1, "BBC WS"},
                                       {6070000, -1, "CFRX again (a duplicate)"}};
    QTest::newRow("UTC") << "UTC"
                         << "utc.txt"
                         << QList<Rec>{{6070000, -1, "CFRX Toronto"}, {9410000, -1, "BBC WS"}};
    QTest::newRow("MODE") << "MODE"
                          << "mode.txt"
                          << QList<Rec>{{4583000, 2, "DWD Hamburg"},
                                        {7880000, 3, "DWD Pinneberg"},
                                        {10100800, 0, "DWD"},
                                        {147300, 1, "DCF 42"},
                                        {5505000, -1, "Shannon Volmet"}};
    QTest::newRow("SKED") << "SKED"
                          << "sked.txt"
                          << QList<Rec>{{6070000, -1, "CFRX Toronto E\r\nENA"},
                                        {9410000, -1, "BBC World Service E\r\nEu"},
                                        {11735500, -1, "Zanzibar Broadcasting Sw\r\nEAf"},
                                        {5000000, -1, "WWV -TS\r\nAm"}};
    QTest::newRow("WUN") << "WUN"
                         << "wun.txt"
                         << QList<Rec>{{6070000, -1, "CFRX Toronto"}, {9410000, -1, "BBC London"}};
    QTest::newRow("NO") << "NO"
                        << "no.txt" << QList<Rec>{{9410000, 4, "BBC"}, {4583000, 2, "DWD"}};
    QTest::newRow("SHOC") << "SHOC"
                          << "shoc.txt"
                          << QList<Rec>{{4583000, 0, "DWD Hamburg Weather"},
                                        {8638000, 1, "Kiel Radio Traffic"}};
}

void TestLists::shippedProfiles() {
    QFETCH(QString, profile);
    QFETCH(QString, sample);
    QFETCH(QList<Rec>, records);

    QVERIFY(ProfileNames(shippedProfiles_).contains(profile));
    ImportLayout layout;
    QVERIFY(LoadImportProfile(shippedProfiles_, profile, layout));

    QFile f(QStringLiteral(KELVANE_LISTS_TESTDATA "/") + sample);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QString line;
    QVERIFY(RecordReader::ReadLine(f, line));
    QCOMPARE(line, QStringLiteral("#!") + profile);
    QList<Rec> got;
    const QStringList modes = modeTexts();
    while (RecordReader::ReadLine(f, line)) {
        ListLine r;
        if (ParseListLine(line, layout, modes, r)) got << Rec{r.Frequency, r.Mode, r.Comment};
    }
    QCOMPARE(got, records);
}

void TestLists::headerAsksForProfile_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("profile");
    QTest::addColumn<bool>("shown");

    const QByteArray named = "#!SW\r\n6070 Radio A\r\n";
    const QByteArray plain = "0900 6070 Radio A\r\n";
    QTest::newRow("named, OK") << named << true << "SW"
                               << "SW" << true;
    QTest::newRow("named, Cancel") << named << false << "SW"
                                   << "SW" << false;
    QTest::newRow("not named, OK") << plain << true << ""
                                   << "None" << true;
    QTest::newRow("not named, Cancel") << plain << false << ""
                                       << "None" << false;
    QTest::newRow("named, no record") << QByteArray("#!SW\r\n# none\r\n") << true << "SW"
                                      << "SW" << false;
}

void TestLists::headerAsksForProfile() {
    QFETCH(QByteArray, text);
    QFETCH(bool, accept);
    QFETCH(QString, asked);
    QFETCH(QString, profile);
    QFETCH(bool, shown);

    ListsRig rig;
    QVERIFY(rig.connect());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    writeFile(path, text);
    rig.settings.IMP_Fil = QStringLiteral(KELVANE_LISTS_TESTDATA "/sw.cnf");

    ListReader list(rig.panel, rig.rx, rig.settings);
    QStringList asks;
    list.SetAskProfile([&](const QString& name) {
        asks << name;
        // The dialog applies the named profile to the live settings.
        if (!name.isEmpty()) LoadImportProfile(rig.settings, name);
        return accept;
    });
    list.SetPath(path);
    QCOMPARE(list.ReadListRecord(ReadOp::Start), shown);
    QCOMPARE(asks, QStringList{asked});
    QCOMPARE(list.ProfileName(), profile);
    QCOMPARE(rig.panel.Count("ShowRecordNumber"), shown ? 1 : 0);
    if (!shown) {
        QVERIFY(!list.Reader().IsOpen());
        return;
    }
    QCOMPARE(rig.panel.tag, QStringLiteral("Lg"));
    QCOMPARE(rig.panel.number, QStringLiteral("001"));
    QVERIFY(rig.receiverAt(6070000, rig.sim.settings().md, rig.sim.settings().ft,
                           rig.sim.settings().ag));
    // The next pass does not ask again.
    QVERIFY(list.ReadListRecord(ReadOp::Next));
    QCOMPARE(asks.size(), 1);
}

void TestLists::readerShowsRecords() {
    ListsRig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.setReceiver(5000000, 1, 1, 1));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    writeFile(path, "#!MODE\n4583 USB DWD Hamburg:\n6070 ? CFRX\n4583 LSB duplicate\n");
    rig.settings.IMP_Fil = QStringLiteral(KELVANE_APP_DATA "/import.cnf");
    ListReader list(rig.panel, rig.rx, rig.settings);
    list.SetAskProfile([&](const QString& name) { return LoadImportProfile(rig.settings, name); });
    list.SetPath(path);

    QVERIFY(list.ReadListRecord(ReadOp::Start));
    QVERIFY(rig.receiverAt(4583000, 2, 1, 1));
    QCOMPARE(rig.panel.comment, QStringLiteral("DWD Hamburg"));
    QVERIFY(rig.panel.captionVisible);
    QCOMPARE(rig.panel.captionHz, 4583000.0);

    // No mode in the list: the receiver keeps its own.
    QVERIFY(list.ReadListRecord(ReadOp::Next));
    QCOMPARE(rig.panel.number, QStringLiteral("002"));
    QVERIFY(rig.receiverAt(6070000, 2, 1, 1));

    // The duplicate is skipped and a new pass begins.
    QVERIFY(list.ReadListRecord(ReadOp::Next));
    QCOMPARE(rig.panel.number, QStringLiteral("001"));
    QCOMPARE(rig.panel.tuned.last(), 4583000.0);
    QVERIFY(list.ReadListRecord(ReadOp::Previous)); // before the first: stays
    QCOMPARE(rig.panel.number, QStringLiteral("001"));
    // Back to a remembered record by its frequency.
    QVERIFY(list.ReadListRecord(ReadOp::Next));
    QCOMPARE(rig.panel.number, QStringLiteral("002"));
    QVERIFY(list.ReadListRecord(ReadOp::GoTo, 4583000));
    QCOMPARE(rig.panel.number, QStringLiteral("001"));
    QCOMPARE(rig.panel.tuned.last(), 4583000.0);

    // View comment off hides the caption; View nulls hides it for an empty comment only.
    rig.settings.IMP_VNul = false;
    QVERIFY(list.ReadListRecord(ReadOp::Next));
    QVERIFY(!rig.panel.captionVisible);
    rig.settings.IMP_VNul = true;
    writeFile(path, "#!MODE\n4583 USB\n");
    QVERIFY(list.ReadListRecord(ReadOp::Close));
    QVERIFY(list.ReadListRecord(ReadOp::Start));
    QCOMPARE(rig.panel.comment, QString());
    QVERIFY(!rig.panel.captionVisible);
    rig.settings.IMP_VCmt = false;
    QVERIFY(list.ReadListRecord(ReadOp::Next));
    QVERIFY(rig.panel.captionVisible);
}

void TestLists::fileScanSource() {
    ListsRig rig;
    QVERIFY(rig.connect());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    writeFile(path, "0900 6070 A\n1000 9410 B\n");
    ListReader list(rig.panel, rig.rx, rig.settings);
    FileScan scan(list, rig.panel);
    int chooses = 0;
    QString offer;
    scan.SetChooseFile([&] {
        ++chooses;
        return offer;
    });

    QVERIFY(!scan.Begin()); // the dialog was cancelled
    QCOMPARE(chooses, 1);

    offer = dir.filePath(QStringLiteral("missing.txt"));
    QVERIFY(!scan.Begin());
    QCOMPARE(list.Path(), offer); // remembered, refused
    QVERIFY(rig.panel.tip.isEmpty());

    scan.ForgetPath();
    offer = path;
    QVERIFY(scan.Begin());
    QCOMPARE(rig.panel.tip, QStringLiteral("From ") + path);
    QCOMPARE(rig.panel.tuned.last(), 6070000.0);
    QVERIFY(scan.Next());
    QCOMPARE(rig.panel.tuned.last(), 9410000.0);
    scan.End();
    QVERIFY(!list.Reader().IsOpen());

    // "SN": the remembered list again, without asking.
    QVERIFY(scan.Begin());
    QCOMPARE(chooses, 3);
    QCOMPARE(rig.panel.number, QStringLiteral("001"));

    // A list without any record stops at once.
    scan.End();
    writeFile(path, "# nothing\n\n");
    QVERIFY(!scan.Begin());
}

void TestLists::keysStepListOrPad() {
    ListsRig rig;
    QVERIFY(rig.connect());
    QTemporaryDir dir;
    rig.settings.SMT_Pad = dir.filePath(QStringLiteral("scratch.log"));
    writeFile(rig.settings.SMT_Pad, "7000000|||\r\n7100000|||\r\n");
    ScratchPad pad(rig.panel, rig.rx, rig.settings);
    ListReader list(rig.panel, rig.rx, rig.settings);

    // Nothing read yet anywhere.
    QVERIFY(!StepListOrPad(list, pad, true));
    QVERIFY(pad.ReadPadRecord(ReadOp::Start));
    QVERIFY(StepListOrPad(list, pad, true));
    QCOMPARE(rig.panel.tag, QStringLiteral("Sp"));
    QCOMPARE(rig.panel.number, QStringLiteral("002"));

    // Once a list is chosen, the keys step through it instead.
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    writeFile(path, "0900 6070 A\n1000 9410 B\n");
    list.SetPath(path);
    QVERIFY(!StepListOrPad(list, pad, true)); // not read yet
    QVERIFY(list.ReadListRecord(ReadOp::Start));
    QVERIFY(StepListOrPad(list, pad, true));
    QVERIFY(StepListOrPad(list, pad, false));
    QCOMPARE(rig.panel.tag, QStringLiteral("Lg"));
    QCOMPARE(rig.panel.number, QStringLiteral("001"));
}

// Started in a folder without "import.cnf", the program still offers the shipped profiles; a
// file of that name in the folder, or a path, is the operator's own and wins.
void TestLists::shippedProfilesFromAnyFolder() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const QString shipped = ImportProfileFile(QStringLiteral("import.cnf"));
    const QStringList names = ProfileNames(shipped);
    QFile own(QStringLiteral("import.cnf"));
    QVERIFY(own.open(QIODevice::WriteOnly));
    own.write("MINE|F(1)\r\n");
    own.close();
    const QString mine = ImportProfileFile(QStringLiteral("import.cnf"));
    const QString path = ImportProfileFile(dir.filePath(QStringLiteral("none.cnf")));
    QVERIFY(QDir::setCurrent(before));
    QVERIFY2(shipped.endsWith(QStringLiteral("/import.cnf")) && QFileInfo(shipped).isAbsolute(),
             qPrintable(shipped));
    QVERIFY(!names.isEmpty());
    QCOMPARE(mine, QStringLiteral("import.cnf"));
    QCOMPARE(path, dir.filePath(QStringLiteral("none.cnf")));
}

QTEST_GUILESS_MAIN(TestLists)
#include "tst_lists_list.moc"
