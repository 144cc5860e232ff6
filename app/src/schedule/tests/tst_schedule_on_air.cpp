// The "on the air now" list, its window and the on-air scan over the simulated receiver.

#include "driver_panel.h"
#include "schedule/on_air.h"
#include "schedule/on_air_model.h"
#include "schedule/on_air_scan.h"
#include "schedule/ui/on_air_window.h"
#include "settings/settings.h"
#include "simulated_port.h"

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimeZone>

namespace {

// Tuesday evening: three broadcasts on in the 49 m band (two on one frequency), one in 31 m,
// one later, one inactive.
const QByteArray Fixture =
    "kHz:75;Time(UTC):93;Days:59;ITU:49;Station:201;Lng:49;Target:62;Remarks:135;P:35;Start:60;"
    "Stop:60;\r\n"
    "6070;1800-1900;;CAN;CFRX;E;NAm;Toronto;1;;\r\n"
    "9410;1700-2000;;G;BBC;E;Eu;Woofferton;1;;\r\n"
    "5960;1800-2000;Mo-Fr;D;DW;D;Eu;Nauen;1;;\r\n"
    "6070;1830-1930;Tu;D;Radio 6070;D,E;Eu;;2;;\r\n"
    "6000;2000-2100;;CUB;RHC;S;Am;Bauta;1;;\r\n"
    "6100;0000-2400;;X;Gone;E;Eu;;8;;\r\n";

QDateTime utc(const char* iso) {
    QDateTime t = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODateWithMs);
    t.setTimeZone(QTimeZone::utc());
    return t;
}

QStringList column(const OnAirModel& m, int c) {
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r) out << m.index(r, c).data().toString();
    return out;
}

} // namespace

class TestScheduleOnAir : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void modelFilters_data();
    void modelFilters();
    void windowTunesAndRefreshes();
    void scan();
    void scanRefusedWithNothingOnAir();

private:
    Schedule sked_;
};

void TestScheduleOnAir::initTestCase() {
    QVERIFY(sked_.Parse(Fixture).Ok);
}

void TestScheduleOnAir::modelFilters_data() {
    QTest::addColumn<QString>("when");
    QTest::addColumn<QString>("band");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("stations");
    QTest::newRow("all at 18:45") << "2025-07-01T18:45"
                                  << ""
                                  << ""
                                  << "" << QStringList{"DW", "CFRX", "Radio 6070", "BBC"};
    QTest::newRow("49m") << "2025-07-01T18:45"
                         << "49m"
                         << ""
                         << "" << QStringList{"DW", "CFRX", "Radio 6070"};
    QTest::newRow("range") << "2025-07-01T18:45"
                           << "9000-10000"
                           << ""
                           << "" << QStringList{"BBC"};
    QTest::newRow("German") << "2025-07-01T18:45"
                            << ""
                            << "D"
                            << "" << QStringList{"DW", "Radio 6070"};
    QTest::newRow("to Europe in English") << "2025-07-01T18:45"
                                          << ""
                                          << "E"
                                          << "Eu" << QStringList{"Radio 6070", "BBC"};
    QTest::newRow("Saturday: no weekday DW") << "2025-07-05T18:45"
                                             << "49m"
                                             << ""
                                             << "" << QStringList{"CFRX"};
    QTest::newRow("20:30") << "2025-07-01T20:30"
                           << ""
                           << ""
                           << "" << QStringList{"RHC"};
}

void TestScheduleOnAir::modelFilters() {
    QFETCH(QString, when);
    QFETCH(QString, band);
    QFETCH(QString, language);
    QFETCH(QString, target);
    QFETCH(QStringList, stations);
    OnAirModel m;
    m.SetSchedule(&sked_);
    double low = -1, high = -1;
    if (!band.isEmpty()) QVERIFY(schedule::ParseBand(band, &low, &high));
    m.SetBand(low, high);
    m.SetLanguage(language);
    m.SetTarget(target);
    m.Refresh(ScheduleTime::FromUtc(utc(when.toLatin1().constData())));
    QCOMPARE(column(m, OnAirModel::Station), stations);
    // In frequency order.
    QStringList khz = column(m, OnAirModel::Khz);
    for (int i = 1; i < khz.size(); ++i) QVERIFY(khz[i - 1].toDouble() <= khz[i].toDouble());
}

void TestScheduleOnAir::windowTunesAndRefreshes() {
    // Half a second before the minute ends, so the window's own minute timer comes soon.
    QDateTime now = utc("2025-07-01T18:59:59.500");
    OnAirWindow w(nullptr, [&now] { return now; });
    w.SetSchedule(&sked_);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.Model().rowCount(), 4);
    QVERIFY(w.Status()->text().contains(QStringLiteral("18:59")));

    // The band filter through its box, as the operator chooses it from the keyboard.
    w.BandBox()->setFocus();
    const int band49 = w.BandBox()->findData(QStringLiteral("49m"));
    QVERIFY(band49 > 0);
    while (w.BandBox()->currentIndex() < band49) QTest::keyClick(w.BandBox(), Qt::Key_Down);
    QCOMPARE(column(w.Model(), OnAirModel::Station), (QStringList{"DW", "CFRX", "Radio 6070"}));

    // Enter on a row asks to tune its frequency.
    QSignalSpy tune(&w, &OnAirWindow::tuneRequested);
    w.Table()->setFocus();
    w.Table()->setCurrentIndex(w.Model().index(0, 0));
    QTest::keyClick(w.Table(), Qt::Key_Down);
    QTest::keyClick(w.Table(), Qt::Key_Return);
    QCOMPARE(tune.count(), 1);
    QCOMPARE(tune.at(0).at(0).toDouble(), 6070.0);

    // The next minute: CFRX is off at 19:00; the list follows by itself.
    now = utc("2025-07-01T19:00:00.100");
    QVERIFY(QTest::qWaitFor([&] { return w.Model().rowCount() == 2; }, 5000));
    QCOMPARE(column(w.Model(), OnAirModel::Station), (QStringList{"DW", "Radio 6070"}));
}

void TestScheduleOnAir::scan() {
    constexpr quint8 TestPort = 9;
    nrd535sim::Simulator sim;
    sim.setHeld(true);
    sim.setPaced(false);
    Nrd535 rx;
    QString error;
    QVERIFY2(StartOnPort(sim, rx, TestPort, 38400, &error), qPrintable(error));
    QVERIFY(rx.fOpen(false) && rx.Conn());
    DriverPanel panel(rx);
    panel.state.Connected = panel.state.RemoteHeld = true;
    Settings settings;
    settings.BND_AutoMD = false; // this row: the scan chooses AM itself

    const QDateTime now = utc("2025-07-01T18:45");
    OnAirScan source(
        sked_, panel, settings,
        [](double* low, double* high) {
            *low = 5900;
            *high = 6200;
            return true;
        },
        [&now] { return now; });
    QVERIFY(source.Begin());
    QCOMPARE(source.Frequencies(), (std::vector<double>{5960, 6070}));
    QVERIFY(panel.calls.contains(QStringLiteral("ShowMode 4 1")));
    QVERIFY(source.Next());
    QCOMPARE(panel.comment, QStringLiteral("DW, D, Eu"));
    QVERIFY(source.Next());
    QCOMPARE(panel.comment, QStringLiteral("CFRX, E, NAm / Radio 6070, D,E, Eu"));
    QCOMPARE(panel.tag, QStringLiteral("Sk"));
    QVERIFY(QTest::qWaitFor([&] { return sim.settings().hz == 6070000 && sim.settings().md == 4; },
                            5000));
    // Past the end: from the lowest again.
    QVERIFY(source.Next());
    QCOMPARE(panel.tuned.last(), 5960000.0);
    QVERIFY(QTest::qWaitFor([&] { return sim.settings().hz == 5960000; }, 5000));
    source.End();
    ostry::setPortDevice(TestPort, QString());
}

void TestScheduleOnAir::scanRefusedWithNothingOnAir() {
    Nrd535 rx;
    DriverPanel panel(rx);
    Settings settings;
    const auto band = [](double* low, double* high) {
        *low = 5900;
        *high = 6200;
        return true;
    };
    // 03:00: nothing in the band.
    OnAirScan quiet(sked_, panel, settings, band, [] { return utc("2025-07-01T03:00"); });
    QVERIFY(!quiet.Begin());
    // No schedule at all.
    Schedule none;
    OnAirScan empty(none, panel, settings, band, [] { return utc("2025-07-01T18:45"); });
    QVERIFY(!empty.Begin());
    QVERIFY(panel.calls.isEmpty());
}

QTEST_MAIN(TestScheduleOnAir)
#include "tst_schedule_on_air.moc"
