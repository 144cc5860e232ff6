// Integrity of the built-in band plan and station lists.

#include "tables.h"

#include <QtTest>

#include <algorithm>
#include <set>
#include <string>

using namespace fennick;

class TstTables : public QObject {
    Q_OBJECT
private slots:
    void serviceCodes();
    void regionRows_data();
    void regionRows();
    void bandSteps();
    void listCounts_data();
    void listCounts();
    void stationRecords();
    void extraValues();
    void givenRecords_data();
    void givenRecords();
    void duplexChannels();
    void namesKeepTheirForm();
};

void TstTables::serviceCodes() {
    QCOMPARE(ServiceCodes.size(), std::size_t(20));
    QCOMPARE(std::string(ServiceCodes[0]), std::string());
    QCOMPARE(std::string(ServiceCodes[1]), std::string("SoS"));
    QCOMPARE(std::string(ServiceCodes[5]), std::string("TIM"));
    QCOMPARE(std::string(ServiceCodes[17]), std::string("LOC"));
    QCOMPARE(std::string(ServiceCodes[19]), std::string("CB"));
    std::set<std::string> unique(ServiceCodes.begin(), ServiceCodes.end());
    QCOMPARE(unique.size(), std::size_t(20));
}

void TstTables::regionRows_data() {
    QTest::addColumn<int>("region");
    QTest::addColumn<int>("rows");
    QTest::newRow("region 0") << 0 << 133;
    QTest::newRow("region 1") << 1 << 126;
    QTest::newRow("region 2") << 2 << 130;
}

void TstTables::regionRows() {
    QFETCH(int, region);
    QFETCH(int, rows);
    const auto r = RegionRows[region];
    QCOMPARE(int(r.size()), rows);
    QCOMPARE(int(r.front()), 1);
    QCOMPARE(int(r.back()), 197);
    QCOMPARE(Bands[r.back()].lower, 47000.0);
    for (std::size_t i = 0; i < r.size(); ++i) {
        QVERIFY2(r[i] >= 1 && r[i] <= 197, qPrintable(QString("row %1").arg(i + 1)));
        if (i > 0)
            QVERIFY2(Bands[r[i]].lower > Bands[r[i - 1]].lower,
                     qPrintable(QString("row %1 does not rise").arg(i + 1)));
    }
}

void TstTables::bandSteps() {
    const std::set<double> steps{0.25, 0.5, 1, 3, 5, 9, 10};
    for (int b = 1; b <= BandCount; ++b) {
        QVERIFY2(steps.count(Bands[b].step), qPrintable(QString("band %1").arg(b)));
        QVERIFY(Bands[b].lower >= 9 && Bands[b].lower <= 47000);
        for (auto s : Bands[b].services) QVERIFY(s < ServiceCount);
    }
    // Band records rise (or repeat) in index order.
    for (int b = 2; b <= BandCount; ++b) QVERIFY(Bands[b].lower >= Bands[b - 1].lower);
    // Every band record is used by at least one region.
    std::set<int> used;
    for (auto r : RegionRows) used.insert(r.begin(), r.end());
    QCOMPARE(int(used.size()), BandCount);
}

void TstTables::listCounts_data() {
    QTest::addColumn<int>("list");
    QTest::addColumn<int>("count");
    const int counts[] = {6, 62, 208, 16, 6, 6, 6, 8, 492, 95, 103, 130, 8, 9, 4, 9, 5, 37, 30};
    for (int k = 0; k < ListCount; ++k) QTest::addRow("list %d", k) << k << counts[k];
}

void TstTables::listCounts() {
    QFETCH(int, list);
    QFETCH(int, count);
    QCOMPARE(int(Lists[list].size()), count);
}

void TstTables::stationRecords() {
    std::size_t total = 0;
    for (int k = 0; k < ListCount; ++k) {
        for (const Station& s : Lists[k]) {
            const QString where = QString("list %1 %2 %3").arg(k).arg(s.name).arg(s.freq);
            QVERIFY2(s.freq >= 9 && s.freq <= 47000, qPrintable(where));
            QVERIFY2(s.label == k, qPrintable(where));
            QVERIFY2(s.name != nullptr, qPrintable(where));
        }
        total += Lists[k].size();
    }
    QCOMPARE(total, std::size_t(1240));
    QCOMPARE(std::string(Labels[19].shortLabel), std::string());
    QCOMPARE(std::string(Labels[19].longLabel), std::string());
    QCOMPARE(std::string(Labels[7].shortLabel), std::string("MSI"));
    QCOMPARE(std::string(Labels[18].longLabel), std::string("Navy Channel"));
}

void TstTables::extraValues() {
    int fourteen = 0;
    for (int k = 0; k < ListCount; ++k)
        for (const Station& s : Lists[k]) {
            if (k == 2)
                QCOMPARE(int(s.extra), 1900);
            else if (s.extra == 1400 && k == 3)
                ++fourteen;
            else
                QCOMPARE(int(s.extra), 0);
        }
    QCOMPARE(fourteen, 1);
}

void TstTables::givenRecords_data() {
    QTest::addColumn<int>("list");
    QTest::addColumn<int>("pos");
    QTest::addColumn<double>("freq");
    QTest::addColumn<QString>("name");
    // clang-format off
    QTest::newRow("LW first")       << 0  << 1   << 162.0   << "France Inter";
    QTest::newRow("LW last")        << 0  << 6   << 252.0   << "Atlantic 252";
    QTest::newRow("Navtex first")   << 1  << 1   << 490.0   << "Sitor";
    QTest::newRow("Navtex Noumea")  << 1  << 6   << 416.5   << QString::fromUtf8("Nouméa");
    QTest::newRow("Navtex last")    << 1  << 62  << 4209.5  << "Sitor";
    QTest::newRow("Wfax first")     << 2  << 1   << 111.8   << "Prague OLT21";
    QTest::newRow("Wfax Moscow")    << 2  << 190 << 3830.0  << "Moscow ";
    QTest::newRow("Wfax Moscow 1")  << 2  << 191 << 5008.0  << "Moscow";
    QTest::newRow("Wfax last")      << 2  << 208 << 9951.0  << "Antartica LSB";
    QTest::newRow("SAR first")      << 3  << 1   << 4340.0  << "NATO";
    QTest::newRow("SAR Ch01")       << 3  << 6   << 2182.0  << "Ch01";
    QTest::newRow("SAR NPri")       << 3  << 10  << 3023.0  << "Ch07 NPri";
    QTest::newRow("MDS unnamed")    << 4  << 1   << 2182.0  << "";
    QTest::newRow("MDS Ch1621")     << 4  << 6   << 16420.0 << "Ch1621";
    QTest::newRow("DSC")            << 5  << 6   << 16804.5 << "F1B";
    QTest::newRow("NDBP Ch801")     << 6  << 4   << 8376.5  << "Ch801";
    QTest::newRow("MSI last")       << 7  << 8   << 26100.5 << "Sitor";
    QTest::newRow("MRC first")      << 8  << 1   << 4357.0  << "401 C";
    QTest::newRow("MRC second")     << 8  << 2   << 4065.0  << "401 S";
    QTest::newRow("MRC last")       << 8  << 492 << 25097.0 << "2510 S";
    QTest::newRow("Press 9VF")      << 12 << 8   << 17430.0 << "Kyodo 9VF/252";
    QTest::newRow("HFGCS EAM")      << 13 << 1   << 11244.0 << "EAM Broadcast";
    QTest::newRow("HFGCS TACAMO")   << 13 << 9   << 13155.0 << "TACAMO EAM 2";
    QTest::newRow("ALE primary")    << 15 << 1   << 9025.0  << "ALE primary";
    QTest::newRow("ALE last")       << 15 << 9   << 23337.0 << "ALE channel";
    QTest::newRow("MARS RK")        << 16 << 3   << 5330.5  << "RK  channel";
    QTest::newRow("Navy first")     << 17 << 1   << 3881.0  << "FUC French Navy";
    QTest::newRow("Navy IGJ")       << 17 << 13  << 4368.0  << "IGJ Italian Navy";
    // clang-format on
}

void TstTables::givenRecords() {
    QFETCH(int, list);
    QFETCH(int, pos);
    QFETCH(double, freq);
    QFETCH(QString, name);
    const Station& s = Lists[list][pos - 1];
    QCOMPARE(s.freq, freq);
    QCOMPARE(QString::fromUtf8(s.name), name);
}

void TstTables::duplexChannels() {
    // Coast record first, the ship record (where one exists) right after it; channels rise
    // within each band and cover the published ranges.
    const auto& l = Lists[8];
    const std::pair<int, int> ranges[] = {{401, 429},   {601, 609},   {801, 837},   {1201, 1241},
                                          {1601, 1656}, {1801, 1815}, {2201, 2253}, {2501, 2510}};
    std::set<int> expected;
    for (auto [a, b] : ranges)
        for (int c = a; c <= b; ++c) expected.insert(c);
    std::set<int> seen;
    int coastOnly = 0;
    for (std::size_t i = 0; i < l.size(); ++i) {
        const std::string name = l[i].name;
        QVERIFY2(name.size() > 2 && name[name.size() - 2] == ' ', name.c_str());
        const int ch = std::stoi(name);
        const char side = name.back();
        if (side == 'C') {
            QVERIFY2(seen.insert(ch).second, name.c_str());
            const bool shipFollows =
                i + 1 < l.size() && std::string(l[i + 1].name) == std::to_string(ch) + " S";
            if (!shipFollows)
                ++coastOnly;
            else
                QVERIFY2(l[i + 1].freq < l[i].freq, name.c_str()); // ships send lower
        } else {
            QCOMPARE(side, 'S');
            QVERIFY2(i > 0 && std::string(l[i - 1].name) == std::to_string(ch) + " C",
                     name.c_str());
        }
    }
    QCOMPARE(seen, expected);
    QCOMPARE(coastOnly, 8);
}

void TstTables::namesKeepTheirForm() {
    // Record names are stored without surrounding blanks, apart from the one that the
    // published list spells with a trailing space.
    for (int k = 0; k < ListCount; ++k)
        for (const Station& s : Lists[k]) {
            const std::string n = s.name;
            if (n.empty()) continue;
            const bool trailing = n.back() == ' ';
            QVERIFY2(n.front() != ' ', n.c_str());
            QVERIFY2(!trailing || (k == 2 && n == "Moscow "), n.c_str());
        }
}

QTEST_APPLESS_MAIN(TstTables)
#include "tst_tables.moc"
