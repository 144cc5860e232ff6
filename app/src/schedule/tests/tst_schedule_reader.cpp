// The schedule reader and the on-air rules, on small files written by each test.

#include "schedule/on_air.h"
#include "schedule/schedule.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <vector>

namespace {

const QByteArray Header =
    "kHz:75;Time(UTC):93;Days:59;ITU:49;Station:201;Lng:49;Target:62;Remarks:135;P:35;Start:60;"
    "Stop:60;";

// A file of the header and rows, with CR LF line ends as published.
QByteArray file(const QList<QByteArray>& rows, const QByteArray& header = Header) {
    QByteArray out = header + "\r\n";
    for (const QByteArray& r : rows) out += r + "\r\n";
    return out;
}

ScheduleTime at(const char* iso) {
    QDateTime t = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
    t.setTimeZone(QTimeZone::utc());
    return ScheduleTime::FromUtc(t);
}

bool onAirAt(const Schedule& s, double khz, const char* iso) {
    std::vector<const Broadcast*> found;
    s.OnAirAt(khz, 0.5, at(iso), found);
    return !found.empty();
}

} // namespace

class TestScheduleReader : public QObject {
    Q_OBJECT
private slots:
    void days_data();
    void days();
    void onAir_data();
    void onAir();
    void dates_data();
    void dates();
    void reordered();
    void badRows_data();
    void badRows();
    void refused_data();
    void refused();
    void windows1252();
    void sizeBound();
    void next();
    void bands_data();
    void bands();
};

void TestScheduleReader::days_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("mask"); // bit 0 Monday
    QTest::addColumn<bool>("sure");
    QTest::newRow("empty: daily") << "" << 0x7F << true;
    QTest::newRow("range") << "Mo-Fr" << 0x1F << true;
    QTest::newRow("list") << "Sa,Su" << 0x60 << true;
    QTest::newRow("joined") << "SaSu" << 0x60 << true;
    QTest::newRow("wrapping range") << "Th-Tu" << (0x08 | 0x10 | 0x20 | 0x40 | 0x01 | 0x02) << true;
    QTest::newRow("range and day") << "Mo-We,Fr" << 0x17 << true;
    QTest::newRow("digits") << "1245" << 0x1B << true;
    QTest::newRow("digit range") << "1-3" << 0x07 << true;
    QTest::newRow("seven is Sunday") << "7" << 0x40 << true;
    QTest::newRow("irregular") << "irr" << 0x7F << false;
    QTest::newRow("alternating") << "alt" << 0x7F << false;
    QTest::newRow("Ramadan") << "Ram" << 0x7F << false;
    QTest::newRow("a date") << "15Sep" << 0x7F << false;
    QTest::newRow("a day and a token") << "Sa,irr" << 0x20 << false;
    QTest::newRow("zero is no day") << "0" << 0x7F << false;
    QTest::newRow("eight is no day") << "18" << 0x7F << false;
}

void TestScheduleReader::days() {
    QFETCH(QString, field);
    QFETCH(int, mask);
    QFETCH(bool, sure);
    const schedule::Days d = schedule::ParseDays(field);
    QCOMPARE(int(d.Mask), mask);
    QCOMPARE(d.Sure, sure);
}

// 2025-07-01 is a Tuesday.
void TestScheduleReader::onAir_data() {
    QTest::addColumn<QByteArray>("row");
    QTest::addColumn<QString>("when");
    QTest::addColumn<bool>("expected");
    const QByteArray evening = "6070;1800-1900;;D;Test;E;Eu;;1;;";
    QTest::newRow("inside") << evening << "2025-07-01T18:30" << true;
    QTest::newRow("start minute") << evening << "2025-07-01T18:00" << true;
    QTest::newRow("end minute is off") << evening << "2025-07-01T19:00" << false;
    QTest::newRow("before") << evening << "2025-07-01T17:59" << false;
    const QByteArray allDay = "6070;0000-2400;;D;Test;E;Eu;;1;;";
    QTest::newRow("all day at 0000") << allDay << "2025-07-01T00:00" << true;
    QTest::newRow("all day at 2359") << allDay << "2025-07-01T23:59" << true;
    const QByteArray night = "6070;2300-0100;Mo;D;Test;E;Eu;;1;;";
    QTest::newRow("past midnight, before 0000") << night << "2025-06-30T23:30" << true;
    QTest::newRow("past midnight, after 0000: the day it started")
        << night << "2025-07-01T00:30" << true;
    QTest::newRow("past midnight, not the day after the day")
        << night << "2025-06-30T00:30" << false;
    QTest::newRow("past midnight, after its end") << night << "2025-07-01T01:00" << false;
    QTest::newRow("to midnight as 0000")
        << QByteArray("6070;2200-0000;;D;Test;E;Eu;;1;;") << "2025-07-01T23:59" << true;
    QTest::newRow("weekdays on Tuesday")
        << QByteArray("6070;1800-1900;Mo-Fr;D;T;E;Eu;;1;;") << "2025-07-01T18:30" << true;
    QTest::newRow("weekend on Tuesday")
        << QByteArray("6070;1800-1900;SaSu;D;T;E;Eu;;1;;") << "2025-07-01T18:30" << false;
    QTest::newRow("wrapping range on Sunday")
        << QByteArray("6070;1800-1900;Th-Tu;D;T;E;Eu;;1;;") << "2025-07-06T18:30" << true;
    QTest::newRow("wrapping range on Wednesday")
        << QByteArray("6070;1800-1900;Th-Tu;D;T;E;Eu;;1;;") << "2025-07-02T18:30" << false;
    QTest::newRow("digits: 2 is Tuesday")
        << QByteArray("6070;1800-1900;25;D;T;E;Eu;;1;;") << "2025-07-01T18:30" << true;
    QTest::newRow("not sure is kept on air")
        << QByteArray("6070;1800-1900;irr;D;T;E;Eu;;1;;") << "2025-07-01T18:30" << true;
    QTest::newRow("persistence 8 never")
        << QByteArray("6070;0000-2400;;D;T;E;Eu;;8;;") << "2025-07-01T18:30" << false;
    QTest::newRow("persistence 7 on")
        << QByteArray("6070;0000-2400;;D;T;E;Eu;;7;;") << "2025-07-01T18:30" << true;
    QTest::newRow("decimal frequency")
        << QByteArray("6069.8;0000-2400;;D;T;E;Eu;;1;;") << "2025-07-01T18:30" << true;
}

void TestScheduleReader::onAir() {
    QFETCH(QByteArray, row);
    QFETCH(QString, when);
    QFETCH(bool, expected);
    Schedule s;
    QVERIFY(s.Parse(file({row})).Ok);
    QCOMPARE(onAirAt(s, 6070, when.toLatin1().constData()), expected);
}

// Season dates: a summer season's and a winter season's, which crosses the new year.
void TestScheduleReader::dates_data() {
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("stop");
    QTest::addColumn<QString>("when");
    QTest::addColumn<bool>("expected");
    QTest::newRow("summer, inside")
        << QByteArray("0107") << QByteArray("3108") << "2025-07-15T12:00" << true;
    QTest::newRow("summer, first day")
        << QByteArray("0107") << QByteArray("3108") << "2025-07-01T12:00" << true;
    QTest::newRow("summer, last day")
        << QByteArray("0107") << QByteArray("3108") << "2025-08-31T12:00" << true;
    QTest::newRow("summer, before")
        << QByteArray("0107") << QByteArray("3108") << "2025-06-30T12:00" << false;
    QTest::newRow("summer, after")
        << QByteArray("0107") << QByteArray("3108") << "2025-09-01T12:00" << false;
    QTest::newRow("winter, December")
        << QByteArray("2611") << QByteArray("1502") << "2025-12-31T12:00" << true;
    QTest::newRow("winter, January")
        << QByteArray("2611") << QByteArray("1502") << "2026-01-15T12:00" << true;
    QTest::newRow("winter, March")
        << QByteArray("2611") << QByteArray("1502") << "2026-03-15T12:00" << false;
    QTest::newRow("winter, November before")
        << QByteArray("2611") << QByteArray("1502") << "2025-11-01T12:00" << false;
    QTest::newRow("start only, started in October")
        << QByteArray("1510") << QByteArray() << "2026-01-15T12:00" << true;
    QTest::newRow("start only, yet to start")
        << QByteArray("0102") << QByteArray() << "2026-01-15T12:00" << false;
    QTest::newRow("stop only, January for March")
        << QByteArray() << QByteArray("2003") << "2026-01-15T12:00" << true;
    QTest::newRow("stop only, passed")
        << QByteArray() << QByteArray("1001") << "2026-01-15T12:00" << false;
    QTest::newRow("stop with a last-heard date")
        << QByteArray("0104") << QByteArray("3006[0725]") << "2025-07-15T12:00" << false;
    QTest::newRow("stop with a last-heard date, inside")
        << QByteArray("0106") << QByteArray("3006[0725]") << "2025-06-15T12:00" << true;
    QTest::newRow("bracketed only: a log date, no bound")
        << QByteArray() << QByteArray("[0725]") << "2025-12-15T12:00" << true;
    QTest::newRow("a date that does not read is no bound")
        << QByteArray("3102") << QByteArray() << "2025-07-15T12:00" << true;
    QTest::newRow("29 February as the 28th")
        << QByteArray("2902") << QByteArray("0103") << "2025-02-28T12:00" << true;
}

void TestScheduleReader::dates() {
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, stop);
    QFETCH(QString, when);
    QFETCH(bool, expected);
    Schedule s;
    QVERIFY(s.Parse(file({"9410;0000-2400;;G;BBC;E;Eu;;1;" + start + ";" + stop})).Ok);
    QCOMPARE(onAirAt(s, 9410, when.toLatin1().constData()), expected);
}

void TestScheduleReader::reordered() {
    // Columns by name, whatever their order, other names for them, and one the reader does not
    // know.
    const QByteArray header = "Station:201;Extra:10;Freq:75;Lng:49;Time(UTC):93;Target:62;Days:59";
    Schedule s;
    const ScheduleLoad load = s.Parse(file({"Radio Test;x;7325;D,E;1800-1900;WAf;Sa"}, header));
    QVERIFY2(load.Ok, qPrintable(load.Error));
    QCOMPARE(s.Size(), std::size_t(1));
    const Broadcast& b = s.At(0);
    QCOMPARE(b.Khz, 7325.0);
    QCOMPARE(b.Station, QStringLiteral("Radio Test"));
    QCOMPARE(b.Language, QStringLiteral("D,E"));
    QCOMPARE(b.Target, QStringLiteral("WAf"));
    QCOMPARE(int(b.Days), 0x20);
    QVERIFY(schedule::SpeaksLanguage(b, QStringLiteral("e")));
    QVERIFY(!schedule::SpeaksLanguage(b, QStringLiteral("F")));
}

void TestScheduleReader::badRows_data() {
    QTest::addColumn<QByteArray>("row");
    QTest::newRow("no frequency") << QByteArray(";1800-1900;;D;T;E;Eu;;1;;");
    QTest::newRow("letters in frequency") << QByteArray("60x0;1800-1900;;D;T;E;Eu;;1;;");
    QTest::newRow("zero frequency") << QByteArray("0;1800-1900;;D;T;E;Eu;;1;;");
    QTest::newRow("negative frequency") << QByteArray("-6070;1800-1900;;D;T;E;Eu;;1;;");
    QTest::newRow("no time") << QByteArray("6070;;;D;T;E;Eu;;1;;");
    QTest::newRow("short time") << QByteArray("6070;180-1900;;D;T;E;Eu;;1;;");
    QTest::newRow("hour 25") << QByteArray("6070;2500-0100;;D;T;E;Eu;;1;;");
    QTest::newRow("minute 60") << QByteArray("6070;1860-1900;;D;T;E;Eu;;1;;");
    QTest::newRow("start at 2400") << QByteArray("6070;2400-0100;;D;T;E;Eu;;1;;");
    QTest::newRow("only a frequency") << QByteArray("6070");
    QTest::newRow("too long") << QByteArray("6070;1800-1900;;D;") + QByteArray(5000, 'x');
}

void TestScheduleReader::badRows() {
    QFETCH(QByteArray, row);
    Schedule s;
    const ScheduleLoad load = s.Parse(
        file({"5990;0000-2400;;I;Good;I;Eu;;1;;", row, "6000;0000-2400;;CUB;Also good;S;Am;;1;;"}));
    QVERIFY2(load.Ok, qPrintable(load.Error));
    QCOMPARE(load.Rows, 2);
    QCOMPARE(load.Skipped, 1);
    QCOMPARE(s.At(1).Station, QStringLiteral("Also good"));
}

void TestScheduleReader::refused_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header only") << file({});
    QTest::newRow("no frequency column") << file({"1800-1900;T"}, "Time(UTC):93;Station:201");
    QTest::newRow("only bad rows") << file({"x;y", "6070;99"});
}

void TestScheduleReader::refused() {
    QFETCH(QByteArray, bytes);
    Schedule s;
    QVERIFY(s.Parse(file({"6070;0000-2400;;D;Kept;E;Eu;;1;;"})).Ok);
    const ScheduleLoad load = s.Parse(bytes);
    QVERIFY(!load.Ok);
    QVERIFY(!load.Error.isEmpty());
    // The schedule read before stays.
    QCOMPARE(s.Size(), std::size_t(1));
    QCOMPARE(s.At(0).Station, QStringLiteral("Kept"));
}

void TestScheduleReader::windows1252() {
    Schedule s;
    // e acute (Latin-1), the euro sign and curly quotes (Windows-1252 only), a bare LF line
    // end, and no header: the published column order.
    const QByteArray bytes = "6070;0000-2400;;F;Radio Canad\xE9 \x80 \x96 \x93Z\x94;F;Eu;;1;;\n";
    QVERIFY(s.Parse(bytes).Ok);
    QCOMPARE(s.At(0).Station, QString::fromUtf8("Radio Canadé € – “Z”"));
}

void TestScheduleReader::sizeBound() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("huge.csv"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(file({"6070;0000-2400;;D;T;E;Eu;;1;;"}));
    QVERIFY(f.resize(Schedule::MaxFileBytes + 1));
    f.close();
    Schedule s;
    const ScheduleLoad load = s.Load(path);
    QVERIFY(!load.Ok);
    QVERIFY2(load.Error.contains(QStringLiteral("larger than")), qPrintable(load.Error));
    const ScheduleLoad missing = s.Load(dir.filePath(QStringLiteral("none.csv")));
    QVERIFY(!missing.Ok);
    QVERIFY2(missing.Error.contains(QStringLiteral("none.csv")), qPrintable(missing.Error));
}

void TestScheduleReader::next() {
    Schedule s;
    QVERIFY(s.Parse(file({"9410;0500-0600;;G;Morning;E;Eu;;1;;",
                          "9410;2000-2100;Sa;G;Saturday;E;Eu;;1;;",
                          "9410;0700-0800;;G;Gone;E;Eu;;8;;", "9420;1000-1100;;G;Other;E;Eu;;1;;"}))
                .Ok);
    int ahead = 0;
    // Tuesday 04:00: Morning at 05:00.
    const Broadcast* b = s.NextAt(9410, 0.5, at("2025-07-01T04:00"), &ahead);
    QVERIFY(b);
    QCOMPARE(b->Station, QStringLiteral("Morning"));
    QCOMPARE(ahead, 60);
    // Tuesday 05:30 (Morning on): the next start is Morning's again the next day.
    b = s.NextAt(9410, 0.5, at("2025-07-01T05:30"), &ahead);
    QCOMPARE(b->Station, QStringLiteral("Morning"));
    QCOMPARE(ahead, 23 * 60 + 30);
    // Friday 21:00: Morning on Saturday at 05:00 comes before Saturday at 20:00.
    b = s.NextAt(9410, 0.5, at("2025-07-04T21:00"), &ahead);
    QCOMPARE(b->Station, QStringLiteral("Morning"));
    // Saturday 06:00: Saturday at 20:00.
    b = s.NextAt(9410, 0.5, at("2025-07-05T06:00"), &ahead);
    QCOMPARE(b->Station, QStringLiteral("Saturday"));
    QCOMPARE(ahead, 14 * 60);
    QVERIFY(!s.NextAt(9500, 0.5, at("2025-07-05T06:00")));
}

void TestScheduleReader::bands_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::newRow("name") << "49m" << true << 5900.0 << 6200.0;
    QTest::newRow("name in capitals") << "MW" << true << 520.0 << 1710.0;
    QTest::newRow("range") << "9400-9900" << true << 9400.0 << 9900.0;
    QTest::newRow("decimals") << "16.4-20.5" << true << 16.4 << 20.5;
    QTest::newRow("reversed") << "9900-9400" << false << 0.0 << 0.0;
    QTest::newRow("words") << "shortwave" << false << 0.0 << 0.0;
    QTest::newRow("one end") << "9400-" << false << 0.0 << 0.0;
}

void TestScheduleReader::bands() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    double low = 0, high = 0;
    QCOMPARE(schedule::ParseBand(text, &low, &high), ok);
    if (ok) {
        QTEST(low, "low");
        QTEST(high, "high");
    }
}

QTEST_GUILESS_MAIN(TestScheduleReader)
#include "tst_schedule_reader.moc"
