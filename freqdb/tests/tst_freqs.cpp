// Behaviour of Freqs: band and station lookups, navigation, mode suggestions.

#include <fennick/freqs.h>

#include "tables.h"

#include <QtTest>

#include <cmath>
#include <random>
#include <vector>

namespace {

std::vector<int> lists(std::initializer_list<int> enabled) {
    std::vector<int> cl(20, 0);
    cl[0] = 19;
    for (int k : enabled) cl[k + 1] = 1;
    return cl;
}

std::string lookUp(Freqs& f, double khz, bool* app = nullptr) {
    bool a = false;
    std::string t = f.Look(khz, a);
    if (app) *app = a;
    return t;
}

// Station texts as the lists read when scanned in order, the way the index must answer.
struct Scan {
    int list = -1, pos = 0;
    double freq = 0;
};

Scan firstWithin(double khz) {
    for (int k = 0; k < fennick::ListCount; ++k)
        for (std::size_t i = 0; i < fennick::Lists[k].size(); ++i) {
            const double f = fennick::Lists[k][i].freq;
            if (f == khz || (f >= khz - 0.25 && f <= khz + 0.25)) return {k, int(i) + 1, f};
        }
    return {};
}

Scan nearest(double khz) {
    Scan best;
    double min = 10000000;
    for (int k = 0; k < fennick::ListCount; ++k)
        for (std::size_t i = 0; i < fennick::Lists[k].size(); ++i) {
            const double d = std::fabs(fennick::Lists[k][i].freq - khz);
            if (d == 0) return {k, int(i) + 1, fennick::Lists[k][i].freq};
            if (d < min) {
                min = d;
                best = {k, int(i) + 1, fennick::Lists[k][i].freq};
            }
        }
    return best;
}

} // namespace

class TstFreqs : public QObject {
    Q_OBJECT
private slots:
    void initialState();
    void look_data();
    void look();
    void lookKeepsTextOutsideThePlan();
    void lookAgreesWithListOrder();
    void bandNxtWraps_data();
    void bandNxtWraps();
    void maxLimitsNavigation_data();
    void maxLimitsNavigation();
    void regions();
    void labels_data();
    void labels();
    void step_data();
    void step();
    void mode_data();
    void mode();
    void freqNxt();
    void freqNxtWithoutEnabledLists_data();
    void freqNxtWithoutEnabledLists();
    void freqNxtWalksEveryStation();
    void freqSet_data();
    void freqSet();
    void freqSetAgreesWithListOrder();
};

void TstFreqs::initialState() {
    Freqs f;
    QVERIFY(f.Changed());
    QCOMPARE(f.Region(), 0);
    QCOMPARE(f.BandFrq(), 9.0);
    QCOMPARE(f.Last(), 14.0);
    QCOMPARE(f.BandNam(), std::string("NAV   "));
    QCOMPARE(lookUp(f, 0), std::string("NAV   ")); // 0 is the starting frequency: nothing moves
}

void TstFreqs::look_data() {
    QTest::addColumn<int>("region");
    QTest::addColumn<double>("khz");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("approx");
    // clang-format off
    QTest::newRow("LW exact")            << 0 << 162.0   << "BC France Inter"  << false;
    QTest::newRow("LW near")             << 0 << 162.2   << "BC France Inter"  << true;
    QTest::newRow("LW window edge")      << 0 << 162.25  << "BC France Inter"  << true;
    QTest::newRow("LW outside window")   << 0 << 162.3   << "SWBC   "          << false;
    QTest::newRow("time signal band")    << 0 << 19.95   << "TIM   "           << false;
    QTest::newRow("lower edge of a row") << 0 << 20.05   << "FIX MAR  "        << false;
    QTest::newRow("below the next row")  << 0 << 20.04   << "TIM   "           << false;
    QTest::newRow("lowest list wins")    << 0 << 2182.0  << "SAR Ch01"         << false;
    QTest::newRow("unnamed station")     << 0 << 8291.0  << "MDS "             << false;
    QTest::newRow("MSI channel form")    << 0 << 4210.0  << "MSI Chn Sitor->"  << false;
    QTest::newRow("duplex channel")      << 0 << 4357.0  << "MRC 401 C"        << false;
    QTest::newRow("distress row")        << 0 << 2173.7  << "SoS   "           << false;
    QTest::newRow("R1 160 m NAV")        << 0 << 1805.0  << "NAV   "           << false;
    QTest::newRow("R1 160 m HAM")        << 0 << 1810.0  << "HAM   "           << false;
    QTest::newRow("R2 160 m")            << 1 << 1805.0  << "HAM   "           << false;
    QTest::newRow("R3 160 m")            << 2 << 1805.0  << "HAM   "           << false;
    QTest::newRow("last row")            << 0 << 46999.0 << "FIX MOB  "        << false;
    // clang-format on
}

void TstFreqs::look() {
    QFETCH(int, region);
    QFETCH(double, khz);
    QFETCH(QString, text);
    QFETCH(bool, approx);
    Freqs f;
    f.Region(region);
    bool app = !approx;
    QCOMPARE(QString::fromStdString(f.Look(khz, app)), text);
    QCOMPARE(app, approx);
    // The same frequency again answers from the current text.
    app = !approx;
    QCOMPARE(QString::fromStdString(f.Look(khz, app)), text);
    QCOMPARE(app, approx);
}

void TstFreqs::lookKeepsTextOutsideThePlan() {
    Freqs f;
    QCOMPARE(lookUp(f, 26120), std::string("MARM   "));
    const double row = f.BandFrq();
    bool app = true;
    QCOMPARE(f.Look(47000, app), std::string("MARM   "));
    QVERIFY(!app);
    QCOMPARE(f.BandFrq(), row);
    QCOMPARE(lookUp(f, 5), std::string("MARM   "));
    QCOMPARE(f.BandFrq(), row);
}

void TstFreqs::lookAgreesWithListOrder() {
    // Every station frequency and points around it, plus random points: the answer must be
    // the first station in list order within 0.25 kHz, as a scan of the lists gives.
    std::vector<double> probes;
    for (const auto& l : fennick::Lists)
        for (const auto& s : l)
            for (double d : {0.0, 0.1, -0.1, 0.25, -0.25, 0.2500001, -0.2500001})
                probes.push_back(s.freq + d);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> any(9, 30000);
    for (int i = 0; i < 20000; ++i) probes.push_back(std::round(any(rng) * 20) / 20);
    for (double khz : probes) {
        Freqs f;
        bool app = false;
        const std::string text = f.Look(khz, app);
        const Scan s = firstWithin(khz);
        if (s.list < 0) {
            QVERIFY2(!app, qPrintable(QString::number(khz, 'f', 7)));
            QCOMPARE(f.FreqFrq(), 0.0);
            continue;
        }
        QVERIFY2(text.find(fennick::Lists[s.list][s.pos - 1].name) != std::string::npos,
                 qPrintable(QString("%1: %2").arg(khz, 0, 'f', 7).arg(text.c_str())));
        QCOMPARE(app, s.freq != khz);
        QCOMPARE(f.FreqFrq(), s.freq);
    }
}

void TstFreqs::bandNxtWraps_data() {
    QTest::addColumn<int>("region");
    QTest::addColumn<int>("rows");
    QTest::newRow("region 0") << 0 << 133;
    QTest::newRow("region 1") << 1 << 126;
    QTest::newRow("region 2") << 2 << 130;
}

void TstFreqs::bandNxtWraps() {
    QFETCH(int, region);
    QFETCH(int, rows);
    Freqs f;
    f.Region(region);
    // Without a Max every row up to the end marker is reachable.
    f.BandNxt(false);
    QCOMPARE(f.BandFrq(), 47000.0);
    QCOMPARE(f.Last(), 47000.0);
    QCOMPARE(f.BandNam(), std::string("   "));
    f.BandNxt(true);
    QCOMPARE(f.BandFrq(), 9.0);
    double previous = f.BandFrq();
    for (int i = 1; i < rows; ++i) {
        f.BandNxt(true);
        QVERIFY(f.BandFrq() > previous);
        QCOMPARE(f.BandFrq(), [&] {
            Freqs g; // the row's upper edge is the next row's lower edge
            g.Region(region);
            for (int j = 0; j < i - 1; ++j) g.BandNxt(true);
            return g.Last();
        }());
        previous = f.BandFrq();
    }
    QCOMPARE(f.BandFrq(), 47000.0);
}

void TstFreqs::maxLimitsNavigation_data() {
    QTest::addColumn<double>("maxHz");
    QTest::addColumn<double>("lastRowKhz");
    QTest::newRow("host limit") << 29999999.0 << 29700.0;
    QTest::newRow("on a lower edge") << 28000000.0 << 27500.0;
    QTest::newRow("just above an edge") << 28000001.0 << 28000.0;
    QTest::newRow("beyond the plan") << 90000000.0 << 47000.0;
    QTest::newRow("below the plan") << 1000.0 << 9.0;
}

void TstFreqs::maxLimitsNavigation() {
    QFETCH(double, maxHz);
    QFETCH(double, lastRowKhz);
    for (int region = 0; region < 3; ++region) {
        Freqs f;
        f.Max(maxHz);
        f.Region(region);
        f.BandNxt(false);
        QCOMPARE(f.BandFrq(), lastRowKhz);
        f.BandNxt(true);
        QCOMPARE(f.BandFrq(), 9.0);
        for (int i = 0; i < 300; ++i) {
            f.BandNxt(true);
            QVERIFY(f.BandFrq() <= lastRowKhz);
            QVERIFY(f.Last() > f.BandFrq() || f.BandFrq() == 47000.0);
        }
    }
    // Lookups past the last navigable row find no row.
    Freqs f;
    f.Max(29999999);
    QCOMPARE(lookUp(f, 29800), std::string("FIX MOB  "));
    QCOMPARE(lookUp(f, 31000), std::string("FIX MOB  "));
    QCOMPARE(f.BandFrq(), 29700.0);
}

void TstFreqs::regions() {
    Freqs f;
    QCOMPARE(lookUp(f, 1805), std::string("NAV   "));
    f.Region(1);
    QCOMPARE(f.Region(), 1);
    QCOMPARE(f.BandNam(), std::string("HAM   "));
    QCOMPARE(f.BandFrq(), 1800.0);
    QCOMPARE(f.RegionNxt(), 2);
    QCOMPARE(f.RegionNxt(), 0);
    QCOMPARE(f.BandNam(), std::string("NAV   "));
    f.Region(2);
    f.Region(5);
    QCOMPARE(f.Region(), 0);
    f.Region(-1);
    QCOMPARE(f.Region(), 0);
    // Each region keeps its own current row while nothing is looked up.
    Freqs g;
    g.Region(1);
    g.BandNxt(true);
    g.BandNxt(true);
    g.Region(0);
    QCOMPARE(g.BandFrq(), 9.0);
    g.Region(1);
    QCOMPARE(g.BandFrq(), 19.95);
}

void TstFreqs::labels_data() {
    QTest::addColumn<int>("i");
    QTest::addColumn<QString>("label");
    QTest::newRow("first") << 0 << "Broadcast";
    QTest::newRow("SAR") << 3 << "Maritime SAR";
    QTest::newRow("last") << 18 << "Navy Channel";
    QTest::newRow("unused") << 19 << "";
    QTest::newRow("beyond") << 20 << "";
    QTest::newRow("negative") << -1 << "";
}

void TstFreqs::labels() {
    QFETCH(int, i);
    QFETCH(QString, label);
    Freqs f;
    QCOMPARE(QString::fromStdString(f.Label(i)), label);
}

void TstFreqs::step_data() {
    QTest::addColumn<double>("khz");
    QTest::addColumn<int>("hz");
    QTest::newRow("time signal") << 19.95 << 250;
    QTest::newRow("navigation") << 10.0 << 500;
    QTest::newRow("long wave") << 150.0 << 9000;
    QTest::newRow("short wave") << 6000.0 << 5000;
    QTest::newRow("medium wave") << 600.0 << 9000;
}

void TstFreqs::step() {
    QFETCH(double, khz);
    QFETCH(int, hz);
    Freqs f;
    lookUp(f, khz);
    QCOMPARE(f.Step(), hz);
}

void TstFreqs::mode_data() {
    QTest::addColumn<double>("khz");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("filter");
    // clang-format off
    QTest::newRow("time signal band")   << 19.95   << "CW"   << 200;
    QTest::newRow("broadcast band")     << 6000.0  << "AM"   << 9000;
    QTest::newRow("ham below 14 MHz")   << 7050.0  << "LSB"  << 3000;
    QTest::newRow("ham from 14 MHz")    << 14100.0 << "USB"  << 3000;
    QTest::newRow("other band")         << 100.0   << "USB"  << -1;
    QTest::newRow("BC station")         << 162.0   << "AM"   << 9000;
    QTest::newRow("DSC station")        << 2187.5  << "RTTY" << 1200;
    QTest::newRow("MSI station")        << 4210.0  << "RTTY" << 1200;
    QTest::newRow("weather fax")        << 111.8   << "FAX"  << 1600;
    QTest::newRow("HF-GCS main")        << 11244.0 << "USB"  << 3000;
    QTest::newRow("duplex channel")     << 4357.0  << "USB"  << 4000;
    QTest::newRow("ALE keeps band")     << 23337.0 << "USB"  << -1;
    // clang-format on
}

void TstFreqs::mode() {
    QFETCH(double, khz);
    QFETCH(QString, mode);
    QFETCH(int, filter);
    Freqs f;
    lookUp(f, khz);
    int flt = 12345;
    QCOMPARE(QString::fromStdString(f.Mode(flt)), mode);
    QCOMPARE(flt, filter);
}

void TstFreqs::freqNxt() {
    Freqs f;
    int tb = -1, ps = -1;
    const auto cl = lists({0, 3});
    for (int i = 1; i <= 6; ++i) f.FreqNxt(true, tb, ps, cl);
    QCOMPARE(tb, 0);
    QCOMPARE(ps, 6);
    QCOMPARE(f.FreqNxt(true, tb, ps, cl), std::string("SAR NATO"));
    QCOMPARE(tb, 3);
    QCOMPARE(ps, 1);
    QCOMPARE(f.FreqFrq(), 4340.0);
    QCOMPARE(f.BandFrq(), 4063.0); // the band moved to the station
    // Looking up the station's own frequency keeps naming it.
    bool app = true;
    QCOMPARE(f.Look(4340, app), std::string("SAR NATO"));
    QVERIFY(!app);
    int flt = 0;
    QCOMPARE(f.Mode(flt), std::string("USB"));
    QCOMPARE(flt, 3000);
    QCOMPARE(f.FreqNxt(false, tb, ps, cl), std::string("BC Atlantic 252"));
    QCOMPARE(tb, 0);
    QCOMPARE(ps, 6);
    // Backwards from the first station of list 0 wraps to the last of list 3.
    for (int i = 0; i < 6; ++i) f.FreqNxt(false, tb, ps, cl);
    QCOMPARE(tb, 3);
    QCOMPARE(ps, 16);
    QCOMPARE(f.FreqFrq(), 6550.0);
    // A single enabled list wraps onto itself.
    const auto only7 = lists({7});
    for (int i = 0; i < 8; ++i) f.FreqNxt(true, tb, ps, only7);
    QCOMPARE(f.FreqNxt(true, tb, ps, only7), std::string("MSI Chn Sitor->"));
    QCOMPARE(tb, 7);
    QCOMPARE(ps, 1);
}

void TstFreqs::freqNxtWithoutEnabledLists_data() {
    QTest::addColumn<std::vector<int>>("cl");
    QTest::newRow("all off") << lists({});
    QTest::newRow("no moves allowed") << [] {
        auto cl = lists({5});
        cl[0] = 0;
        return cl;
    }();
    QTest::newRow("empty selection") << std::vector<int>{};
    QTest::newRow("short selection") << std::vector<int>{19, 0, 0};
    QTest::newRow("huge move count") << [] {
        auto cl = lists({});
        cl[0] = 2000000000;
        return cl;
    }();
}

void TstFreqs::freqNxtWithoutEnabledLists() {
    QFETCH(std::vector<int>, cl);
    Freqs f;
    int tb = -7, ps = -7;
    QCOMPARE(f.FreqNxt(true, tb, ps, cl), std::string());
    QCOMPARE(tb, -7);
    QCOMPARE(ps, -7);
}

void TstFreqs::freqNxtWalksEveryStation() {
    std::vector<int> all(20, 1);
    all[0] = 19;
    Freqs f;
    int tb = 0, ps = 0;
    int steps = 0;
    do {
        f.FreqNxt(true, tb, ps, all);
        ++steps;
    } while (!(tb == 18 && ps == 30));
    QCOMPARE(steps, 1240);
    f.FreqNxt(true, tb, ps, all);
    QCOMPARE(tb, 0);
    QCOMPARE(ps, 1);
}

void TstFreqs::freqSet_data() {
    QTest::addColumn<double>("hz");
    QTest::addColumn<double>("khz");
    QTest::addColumn<QString>("text");
    // clang-format off
    QTest::newRow("exact, first list wins")   << 2182000.0 << 2182.0  << "SAR Ch01";
    QTest::newRow("near")                     << 2182100.0 << 2182.0  << "SAR Ch01";
    QTest::newRow("tie takes the earlier")    << 172500.0  << 162.0   << "BC France Inter";
    QTest::newRow("below every station")      << 1000.0    << 111.8   << "WFax Prague OLT21";
    QTest::newRow("above every station")      << 29999999.0 << 26172.0 << "MRC 2510 C";
    // clang-format on
}

void TstFreqs::freqSet() {
    QFETCH(double, hz);
    QFETCH(double, khz);
    QFETCH(QString, text);
    Freqs f;
    double arg = hz;
    QCOMPARE(f.FreqSet(arg), khz);
    QCOMPARE(arg, hz / 1000);
    QCOMPARE(f.FreqFrq(), khz);
    // The snapped station is where known-frequency stepping goes on from.
    std::vector<int> all(20, 1);
    all[0] = 19;
    int tb = 0, ps = 0;
    f.FreqNxt(true, tb, ps, all);
    f.FreqNxt(false, tb, ps, all);
    QCOMPARE(QString::fromStdString(lookUp(f, f.FreqFrq())), text);
}

void TstFreqs::freqSetAgreesWithListOrder() {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> any(0, 48000);
    std::vector<double> probes;
    for (int i = 0; i < 5000; ++i) probes.push_back(std::round(any(rng) * 10) / 10);
    for (const auto& l : fennick::Lists)
        for (const auto& s : l) probes.insert(probes.end(), {s.freq, s.freq + 0.05});
    for (double khz : probes) {
        Freqs f;
        double arg = khz * 1000;
        const double got = f.FreqSet(arg);
        const Scan s = nearest(arg);
        QCOMPARE(got, s.freq);
        QCOMPARE(f.FreqFrq(), s.freq);
        std::vector<int> one(20, 0);
        one[0] = 19;
        one[s.list + 1] = 1;
        int tb = 0, ps = 0;
        f.FreqNxt(true, tb, ps, one);
        const int count = int(fennick::Lists[s.list].size());
        QCOMPARE(tb, s.list);
        QCOMPARE(ps, s.pos == count ? 1 : s.pos + 1);
    }
}

QTEST_APPLESS_MAIN(TstFreqs)
#include "tst_freqs.moc"
