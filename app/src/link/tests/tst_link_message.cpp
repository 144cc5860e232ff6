// The message texts of the database link and the name tables, without a bus.

#include "link/database_message.h"
#include "link/link_bus.h"

#include <QTest>

class TestLinkMessage : public QObject {
    Q_OBJECT
private slots:
    void names_data();
    void names();
    void codeFromName_data();
    void codeFromName();
    void appName_data();
    void appName();
    void build_data();
    void build();
    void parse_data();
    void parse();
    void acceptable_data();
    void acceptable();
    void serviceName_data();
    void serviceName();
};

void TestLinkMessage::names_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("agc");
    QTest::newRow("0") << 0 << "RTTY"
                       << "Wide"
                       << "Slow";
    QTest::newRow("1") << 1 << "CW"
                       << "Medium"
                       << "Fast";
    QTest::newRow("2") << 2 << "USB"
                       << "Narrow"
                       << "Off";
    QTest::newRow("3") << 3 << "LSB"
                       << "Aux."
                       << "";
    QTest::newRow("4") << 4 << "AM"
                       << ""
                       << "";
    QTest::newRow("5") << 5 << "FM"
                       << ""
                       << "";
    QTest::newRow("6") << 6 << "FAX"
                       << ""
                       << "";
    QTest::newRow("7") << 7 << "ECSS-U"
                       << ""
                       << "";
    QTest::newRow("8") << 8 << "ECSS-L"
                       << ""
                       << "";
    QTest::newRow("9 outside") << 9 << ""
                               << ""
                               << "";
    QTest::newRow("-1 outside") << -1 << ""
                                << ""
                                << "";
    QTest::newRow("bandwidth code") << 2400 << ""
                                    << ""
                                    << "";
}

void TestLinkMessage::names() {
    QFETCH(int, code);
    QFETCH(QString, mode);
    QFETCH(QString, filter);
    QFETCH(QString, agc);
    QCOMPARE(ModeNameFromCode(code), mode);
    QCOMPARE(FilterNameFromCode(code), filter);
    QCOMPARE(AgcNameFromCode(code), agc);
    // Every name sent reads back as its own code.
    if (!mode.isEmpty()) QCOMPARE(ModeCodeFromName(mode), code);
    if (!filter.isEmpty()) QCOMPARE(FilterCodeFromName(filter), code);
    if (!agc.isEmpty()) QCOMPARE(AgcCodeFromName(agc), code);
}

void TestLinkMessage::codeFromName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("filter");
    QTest::addColumn<int>("agc");
    QTest::newRow("UNID") << "UNID" << 4 << 1 << 1;
    QTest::newRow("empty") << "" << 4 << 1 << 1;
    QTest::newRow("lower case usb") << "usb" << 4 << 1 << 1;
    QTest::newRow("lower case narrow") << "narrow" << 4 << 1 << 1;
    QTest::newRow("lower case slow") << "slow" << 4 << 1 << 1;
    QTest::newRow("padded") << " USB" << 4 << 1 << 1;
    QTest::newRow("Aux without dot") << "Aux" << 4 << 1 << 1;
    QTest::newRow("Off is AGC only") << "Off" << 4 << 1 << 2;
    QTest::newRow("Wide is filter only") << "Wide" << 4 << 0 << 1;
}

void TestLinkMessage::codeFromName() {
    QFETCH(QString, name);
    QFETCH(int, mode);
    QFETCH(int, filter);
    QFETCH(int, agc);
    QCOMPARE(ModeCodeFromName(name), mode);
    QCOMPARE(FilterCodeFromName(name), filter);
    QCOMPARE(AgcCodeFromName(name), agc);
}

void TestLinkMessage::appName_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("default") << "Morrowby"
                             << "Morrowby";
    QTest::newRow("windows path with extension") << "C:\\Tools\\Db\\morrowby.exe"
                                                 << "MORROWBY";
    QTest::newRow("file name with extension") << "Morrowby.exe"
                                              << "MORROWBY";
    QTest::newRow("two dots") << "db.v2.exe"
                              << "DB";
    QTest::newRow("windows path without extension") << "C:\\Tools\\Morrowby"
                                                    << "Morrowby";
    QTest::newRow("unix path") << "/usr/local/bin/morrowby"
                               << "morrowby";
    QTest::newRow("unix path with extension") << "/opt/db/morrowby.bin"
                                              << "MORROWBY";
    QTest::newRow("leading dot") << ".morrowby"
                                 << ".morrowby";
    QTest::newRow("trailing separator") << "C:\\Tools\\"
                                        << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestLinkMessage::appName() {
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(DatabaseAppName(path), name);
}

void TestLinkMessage::build_data() {
    QTest::addColumn<QChar>("command");
    QTest::addColumn<double>("khz");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("agc");
    QTest::addColumn<int>("record");
    QTest::addColumn<QString>("text");
    QTest::newRow("store") << QChar('R') << 6070.0 << "AM"
                           << "Wide"
                           << "Fast" << 3 << "R|6070000|AM|Wide|Fast|3";
    QTest::newRow("search") << QChar('L') << 7125.0 << "USB"
                            << "Narrow"
                            << "Slow" << 0 << "L|7125000|USB|Narrow|Slow|0";
    QTest::newRow("odd hertz") << QChar('N') << 7125.001 << "CW"
                               << "Narrow"
                               << "Off" << 12 << "N|7125001|CW|Narrow|Off|12";
    QTest::newRow("fraction of a hertz") << QChar('N') << 0.0015 << "AM"
                                         << "Wide"
                                         << "Slow" << 1 << "N|1.5|AM|Wide|Slow|1";
    QTest::newRow("empty names") << QChar('R') << 9410.0 << ""
                                 << ""
                                 << "" << 0 << "R|9410000||||0";
    QTest::newRow("names trimmed") << QChar('R') << 9410.0 << " AM "
                                   << "Wide "
                                   << " Off" << 0 << "R|9410000|AM|Wide|Off|0";
    QTest::newRow("top of range") << QChar('R') << 29999.999 << "AM"
                                  << "Wide"
                                  << "Slow" << 32767 << "R|29999999|AM|Wide|Slow|32767";
}

void TestLinkMessage::build() {
    QFETCH(QChar, command);
    QFETCH(double, khz);
    QFETCH(QString, mode);
    QFETCH(QString, filter);
    QFETCH(QString, agc);
    QFETCH(int, record);
    QFETCH(QString, text);
    QCOMPARE(BuildDatabaseMessage(command, khz, mode, filter, agc, record), text);
}

void TestLinkMessage::parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("agc");
    QTest::addColumn<int>("record");
    QTest::newRow("full") << "S|7125000|USB|Narrow|Slow|12" << int('S') << "7125000"
                          << "USB"
                          << "Narrow"
                          << "Slow" << 12;
    QTest::newRow("no record") << "S|7125000|usb|narrow|slow" << int('S') << "7125000"
                               << "usb"
                               << "narrow"
                               << "slow" << 0;
    QTest::newRow("frequency only") << "S|7125000" << int('S') << "7125000"
                                    << ""
                                    << ""
                                    << "" << 0;
    QTest::newRow("command only") << "S|" << int('S') << ""
                                  << ""
                                  << ""
                                  << "" << 0;
    QTest::newRow("no bar") << "S7125000" << int('E') << ""
                            << ""
                            << ""
                            << "" << 0;
    QTest::newRow("empty") << "" << int('E') << ""
                           << ""
                           << ""
                           << "" << 0;
    QTest::newRow("no command") << "|7125000|USB|Narrow|Slow|1" << 0 << ""
                                << ""
                                << ""
                                << "" << 0;
    QTest::newRow("long command") << "Set|7125000|LSB|Wide|Off|4" << int('S') << "7125000"
                                  << "LSB"
                                  << "Wide"
                                  << "Off" << 4;
    QTest::newRow("after a sixth bar") << "S|1|AM|Wide|Slow|7|junk|more" << int('S') << "1"
                                       << "AM"
                                       << "Wide"
                                       << "Slow" << 7;
    QTest::newRow("empty fields") << "S|||||" << int('S') << ""
                                  << ""
                                  << ""
                                  << "" << 0;
    QTest::newRow("record not a number") << "S|1|AM|Wide|Slow|x" << int('S') << "1"
                                         << "AM"
                                         << "Wide"
                                         << "Slow" << 0;
    QTest::newRow("record too large") << "N|1|AM|Wide|Slow|99999999999" << int('N') << "1"
                                      << "AM"
                                      << "Wide"
                                      << "Slow" << 32767;
    QTest::newRow("record negative") << "N|1|AM|Wide|Slow|-99999" << int('N') << "1"
                                     << "AM"
                                     << "Wide"
                                     << "Slow" << -32768;
    QTest::newRow("non-latin command") << QString::fromUtf8("É|1|AM") << 0xC9 << "1"
                                       << "AM"
                                       << ""
                                       << "" << 0;
}

void TestLinkMessage::parse() {
    QFETCH(QString, text);
    QFETCH(int, command);
    QFETCH(QString, frequency);
    QFETCH(QString, mode);
    QFETCH(QString, filter);
    QFETCH(QString, agc);
    QFETCH(int, record);
    DatabaseMessage out;
    out.Mode = QStringLiteral("stale"); // outputs of an earlier parse never leak through
    out.Record = 99;
    QCOMPARE(ParseDatabaseMessage(text, out), command);
    QCOMPARE(out.Frequency, frequency);
    QCOMPARE(out.Mode, mode);
    QCOMPARE(out.Filter, filter);
    QCOMPARE(out.Agc, agc);
    QCOMPARE(out.Record, record);
}

void TestLinkMessage::acceptable_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::newRow("message") << "S|7125000|USB|Narrow|Slow|12" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("at the limit") << QString(ddebus::MaxMessageLength, QLatin1Char('x')) << true;
    QTest::newRow("one over") << QString(ddebus::MaxMessageLength + 1, QLatin1Char('x')) << false;
    QTest::newRow("newline") << "S|1\nS|2" << false;
    QTest::newRow("carriage return") << "S|1\r" << false;
    QTest::newRow("nul") << QString(QStringLiteral("S|1") + QChar(0)) << false;
    QTest::newRow("delete") << QString(QStringLiteral("S|1") + QChar(0x7f)) << false;
    QTest::newRow("non-ascii") << QString::fromUtf8("S|1|AM|Wide|Slow|0 é") << true;
}

void TestLinkMessage::acceptable() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QString why;
    QCOMPARE(ddebus::AcceptableText(text, &why), ok);
    QCOMPARE(why.isEmpty(), ok);
}

void TestLinkMessage::serviceName_data() {
    QTest::addColumn<QString>("app");
    QTest::addColumn<QString>("service");
    QTest::newRow("program") << "kelvane"
                             << "org.dunmore.dde.kelvane";
    QTest::newRow("database") << "Morrowby"
                              << "org.dunmore.dde.Morrowby";
    QTest::newRow("dash and space") << "my db-2"
                                    << "org.dunmore.dde.my_db_2";
    QTest::newRow("dot") << "a.b"
                         << "org.dunmore.dde.a_b";
    QTest::newRow("leading digit") << "2db"
                                   << "org.dunmore.dde._2db";
    QTest::newRow("empty") << ""
                           << "org.dunmore.dde._";
    QTest::newRow("non-ascii") << QString::fromUtf8("Møb") << "org.dunmore.dde.M_b";
}

void TestLinkMessage::serviceName() {
    QFETCH(QString, app);
    QFETCH(QString, service);
    QCOMPARE(ddebus::ServiceName(app), service);
}

QTEST_GUILESS_MAIN(TestLinkMessage)
#include "tst_link_message.moc"
