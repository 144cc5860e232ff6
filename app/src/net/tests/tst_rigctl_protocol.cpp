// The rig-control request parser, the line reader and the name and unit mappings.

#include "net/rigctl_protocol.h"

#include <nrd535sim/simulator.h>

#include <QTest>

using namespace rigctl;

Q_DECLARE_METATYPE(rigctl::Command)

class TestRigctlProtocol : public QObject {
    Q_OBJECT
private slots:
    void requests_data();
    void requests();
    void commandLines_data();
    void commandLines();
    void answers_data();
    void answers();
    void lines_data();
    void lines();
    void modes_data();
    void modes();
    void passbands_data();
    void passbands();
    void strength_data();
    void strength();
};

void TestRigctlProtocol::requests_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<Command>("command");
    QTest::addColumn<int>("error");
    QTest::addColumn<double>("hz");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("passband");
    QTest::addColumn<QByteArray>("name");
    const auto row = [](const char* tag, const QByteArray& line, Command c, int error = 0,
                        double hz = 0, int mode = -1, int passband = 0,
                        const QByteArray& name = {}) {
        QTest::newRow(tag) << line << c << error << hz << mode << passband << name;
    };
    using C = Command;
    // clang-format off
    row("f", "f", C::GetFreq);
    row("get_freq", "\\get_freq", C::GetFreq);
    row("CR ignored", "f\r", C::GetFreq);
    row("leading blanks", "  \tm", C::GetMode);
    row("F", "F 7125000", C::SetFreq, 0, 7125000);
    row("F as hamlib sends it", "F 7125000.000000", C::SetFreq, 0, 7125000);
    row("F fraction cut", "F 7125000.9", C::SetFreq, 0, 7125000);
    row("set_freq", "\\set_freq 14074000", C::SetFreq, 0, 14074000);
    row("F lowest", "F 1000", C::SetFreq, 0, 1000);
    row("F highest", "F 29999999", C::SetFreq, 0, 29999999);
    row("F too low", "F 999", C::Malformed, InvalidArgument);
    row("F too high", "F 30000000", C::Malformed, InvalidArgument);
    row("F negative", "F -7000", C::Malformed, InvalidArgument);
    row("F not a number", "F abc", C::Malformed, InvalidArgument);
    row("F trailing junk", "F 7125000x", C::Malformed, InvalidArgument);
    row("F nan", "F nan", C::Malformed, InvalidArgument);
    row("F inf", "F inf", C::Malformed, InvalidArgument);
    row("F overflow", "F 1e999", C::Malformed, InvalidArgument);
    row("F missing", "F", C::Malformed, InvalidArgument);
    row("F then a stray word", "F 7000000 8000000", C::SetFreq, 0, 7000000);
    row("F with a VFO", "F VFOA 7000000", C::SetFreq, 0, 7000000);
    row("F padded", "F   7074000", C::SetFreq, 0, 7074000);
    row("M", "M USB 2400", C::SetMode, 0, 0, 2, 2400);
    row("M no passband", "M LSB", C::SetMode, 0, 0, 3, 0);
    row("M no change", "M AM -1", C::SetMode, 0, 0, 4, -1);
    row("set_mode", "\\set_mode ECSSLSB 0", C::SetMode, 0, 0, 8, 0);
    row("M data mode", "M PKTUSB 3000", C::SetMode, 0, 0, 2, 3000);
    row("M unknown mode", "M WFM 0", C::Malformed, InvalidArgument);
    row("M lower case", "M usb 0", C::Malformed, InvalidArgument);
    row("M bad passband", "M USB wide", C::Malformed, InvalidArgument);
    row("M passband below -1", "M USB -2", C::Malformed, InvalidArgument);
    row("M passband huge", "M USB 99999999999999999999", C::Malformed, InvalidArgument);
    row("M missing", "M", C::Malformed, InvalidArgument);
    row("v", "v", C::GetVfo);
    row("V", "V VFOA", C::SetVfo, 0, 0, -1, 0, "VFOA");
    row("l", "l STRENGTH", C::GetLevel, 0, 0, -1, 0, "STRENGTH");
    row("get_level", "\\get_level AF", C::GetLevel, 0, 0, -1, 0, "AF");
    row("l missing", "l", C::Malformed, InvalidArgument);
    row("t", "t", C::GetPtt);
    row("s", "s", C::GetSplitVfo);
    row("get_powerstat", "\\get_powerstat", C::GetPowerstat);
    row("chk_vfo", "\\chk_vfo", C::ChkVfo);
    row("dump_state", "\\dump_state", C::DumpState);
    row("get_lock_mode", "\\get_lock_mode", C::GetLockMode);
    row("q", "q", C::Quit);
    row("Q", "Q", C::Quit);
    row("quit", "\\quit", C::Quit);
    row("f with a VFO", "f VFOA", C::GetFreq);
    row("one-byte get_dcd", "\x8b", C::GetDcd);
    row("one-byte get_powerstat", "\x88", C::GetPowerstat);
    row("one-byte chk_vfo", "\xf0", C::ChkVfo);
    row("one-byte get_lock_mode", "\xa3", C::GetLockMode);
    row("one-byte get_vfo_info", "\xf3 VFOA", C::GetVfoInfo, 0, 0, -1, 0, "VFOA");
    row("get_vfo_info", "\\get_vfo_info VFOB", C::GetVfoInfo, 0, 0, -1, 0, "VFOB");
    row("get_vfo_info missing", "\\get_vfo_info", C::Malformed, InvalidArgument);
    row("dump_caps", "\\dump_caps", C::DumpCaps);
    row("get_rit", "j", C::GetRit);
    row("get_xit", "\\get_xit", C::GetXit);
    row("set_powerstat", "\\set_powerstat 1", C::SetPowerstat);
    row("set_powerstat bad", "\\set_powerstat on", C::Malformed, InvalidArgument);
    row("set_vfo_opt", "\\set_vfo_opt 1", C::SetVfoOpt);
    row("AOS", "AOS", C::SatPass);
    row("LOS", "LOS", C::SatPass);
    row("extended", "+f", C::GetFreq);
    row("extended long", "+\\set_freq 7050000", C::SetFreq, 0, 7050000);
    row("separator", ";m", C::GetMode);
    row("comment", "# f", C::Empty);
    row("blank", "", C::Empty);
    row("blanks", "   ", C::Empty);
    row("unknown letter", "X", C::Unknown);
    row("unknown long", "\\set_ptt 1", C::Unknown);
    row("backslash alone", "\\", C::Unknown);
    row("long name prefix", "\\get_fre", C::Unknown);
    row("NUL", QByteArray("f\0", 2), C::Malformed, ProtocolError);
    row("DEL", "f\x7f", C::Malformed, ProtocolError);
    row("escape", "\x1b[A", C::Malformed, ProtocolError);
    // clang-format on
}

void TestRigctlProtocol::requests() {
    QFETCH(QByteArray, line);
    QFETCH(Command, command);
    QFETCH(int, error);
    QFETCH(double, hz);
    QFETCH(int, mode);
    QFETCH(int, passband);
    QFETCH(QByteArray, name);
    const Request r = parseRequest(std::string_view(line.constData(), std::size_t(line.size())));
    QCOMPARE(r.command, command);
    QCOMPARE(int(r.error), error);
    if (command == Command::SetFreq) QCOMPARE(r.hz, hz);
    if (command == Command::SetMode) {
        QCOMPARE(r.mode, mode);
        QCOMPARE(int(r.passband), passband);
    }
    if (!name.isEmpty()) QCOMPARE(QByteArray::fromStdString(r.name), name);
}

void TestRigctlProtocol::commandLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("vfoMode");
    // Each command: its long name (or the Command's number when it has none), its separator
    // ("" plain, "n" after "+"), and its VFO word when one was given.
    QTest::addColumn<QStringList>("commands");
    using C = Command;
    const auto name = [](C c) { return QString::number(int(c)); };
    QTest::newRow("letters run together")
        << QByteArray("fmv") << false << QStringList{"get_freq", "get_mode", "get_vfo"};
    QTest::newRow("blanks between")
        << QByteArray("v s f m") << false
        << QStringList{"get_vfo", "get_split_vfo", "get_freq", "get_mode"};
    QTest::newRow("each extended")
        << QByteArray("+f +m +v") << false << QStringList{"get_freq n", "get_mode n", "get_vfo n"};
    QTest::newRow("prefix binds one command")
        << QByteArray("+fmv") << false << QStringList{"get_freq n", "get_mode", "get_vfo"};
    QTest::newRow("separators") << QByteArray(";f|m,v") << false
                                << QStringList{"get_freq ;", "get_mode |", "get_vfo ,"};
    QTest::newRow("plus then separator") << QByteArray("+;f") << false << QStringList{"get_freq ;"};
    QTest::newRow("set then read")
        << QByteArray("F 7000000 f") << false << QStringList{"set_freq", "get_freq"};
    QTest::newRow("set mode then read")
        << QByteArray("M USB 2400 m") << false << QStringList{"set_mode", "get_mode"};
    QTest::newRow("long names") << QByteArray("\\get_freq \\get_mode") << false
                                << QStringList{"get_freq", "get_mode"};
    QTest::newRow("unknown ends the line")
        << QByteArray("f X m") << false << QStringList{"get_freq", name(C::Unknown)};
    QTest::newRow("malformed ends the line")
        << QByteArray("F abc f") << false << QStringList{name(C::Malformed)};
    QTest::newRow("quit ends the line")
        << QByteArray("f q m") << false << QStringList{"get_freq", "quit"};
    QTest::newRow("one-byte codes")
        << QByteArray("\x88\xf0") << false << QStringList{"get_powerstat", "chk_vfo"};
    QTest::newRow("VFO mode") << QByteArray("f VFOA m currVFO v") << true
                              << QStringList{"get_freq VFOA", "get_mode currVFO", "get_vfo"};
    QTest::newRow("VFO mode, VFO missing")
        << QByteArray("f") << true << QStringList{name(C::Malformed)};
    QTest::newRow("VFO word without VFO mode")
        << QByteArray("+F VFOA 7000000") << false << QStringList{"set_freq n VFOA"};
    QTest::newRow("satellite pass") << QByteArray("AOS") << false << QStringList{name(C::SatPass)};
    QTest::newRow("comment after") << QByteArray("f # m") << false << QStringList{"get_freq"};
    QTest::newRow("prefix alone") << QByteArray("+") << false << QStringList{};
}

void TestRigctlProtocol::commandLines() {
    QFETCH(QByteArray, line);
    QFETCH(bool, vfoMode);
    QFETCH(QStringList, commands);
    QStringList got;
    for (const Request& r :
         parseLine(std::string_view(line.constData(), std::size_t(line.size())), vfoMode)) {
        QString g = *r.longName && r.command != Command::Malformed
                        ? QString::fromLatin1(r.longName)
                        : QString::number(int(r.command));
        if (r.separator)
            g += u' ' +
                 (r.separator == '\n' ? QString(u'n') : QString(QChar::fromLatin1(r.separator)));
        if (!r.vfo.empty()) g += u' ' + QString::fromStdString(r.vfo);
        got << g;
    }
    QCOMPARE(got, commands);
}

// The answers as hamlib 4.5.4's rigctld writes them, byte for byte (taken from it).
void TestRigctlProtocol::answers_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArrayList>("values"); // "Label=text", "=text" for a bare value
    QTest::addColumn<QByteArray>("answer");
    const QByteArrayList freq{"Frequency=7050000"};
    const QByteArrayList mode{"Mode=USB", "Passband=2400"};
    const QByteArrayList info{"Freq=7050000", "Mode=USB", "Width=2400", "Split=0", "SatMode=0"};
    // clang-format off
    QTest::newRow("f") << QByteArray("f") << 0 << freq << QByteArray("7050000\n");
    QTest::newRow("+f") << QByteArray("+f") << 0 << freq
                        << QByteArray("get_freq:\nFrequency: 7050000\nRPRT 0\n");
    QTest::newRow(";f") << QByteArray(";f") << 0 << freq
                        << QByteArray("get_freq:;Frequency: 7050000;RPRT 0\n");
    QTest::newRow("|f") << QByteArray("|f") << 0 << freq
                        << QByteArray("get_freq:|Frequency: 7050000|RPRT 0\n");
    QTest::newRow(",f") << QByteArray(",f") << 0 << freq
                        << QByteArray("get_freq:,Frequency: 7050000,RPRT 0\n");
    QTest::newRow("m") << QByteArray("m") << 0 << mode << QByteArray("USB\n2400\n");
    QTest::newRow(";m") << QByteArray(";m") << 0 << mode
                        << QByteArray("get_mode:;Mode: USB;Passband: 2400;RPRT 0\n");
    QTest::newRow("F") << QByteArray("F 7050000") << 0 << QByteArrayList{} << QByteArray("RPRT 0\n");
    QTest::newRow("+F") << QByteArray("+F 7050000") << 0 << QByteArrayList{}
                        << QByteArray("set_freq: 7050000\nRPRT 0\n");
    QTest::newRow("|M") << QByteArray("|M USB 2400") << 0 << QByteArrayList{}
                        << QByteArray("set_mode: USB 2400|RPRT 0\n");
    QTest::newRow("+F refused") << QByteArray("+\\set_freq 7050000") << -9 << QByteArrayList{}
                                << QByteArray("set_freq: 7050000\nRPRT -9\n");
    QTest::newRow("+F bad") << QByteArray("+F abc") << -1 << QByteArrayList{}
                            << QByteArray("set_freq: abc\nRPRT -1\n");
    QTest::newRow("+t failing") << QByteArray("+t") << -11 << QByteArrayList{}
                                << QByteArray("get_ptt:\nRPRT -11\n");
    QTest::newRow(";l") << QByteArray(";l STRENGTH") << 0 << QByteArrayList{"=-22"}
                        << QByteArray("get_level: STRENGTH;-22;RPRT 0\n");
    QTest::newRow(";s") << QByteArray(";s") << 0 << QByteArrayList{"Split=0", "TX VFO=VFOA"}
                        << QByteArray("get_split_vfo:;Split: 0;TX VFO: VFOA;RPRT 0\n");
    QTest::newRow("s") << QByteArray("s") << 0 << QByteArrayList{"Split=0", "TX VFO=VFOA"}
                       << QByteArray("0\nVFOA\n");
    QTest::newRow("+j") << QByteArray("+j") << 0 << QByteArrayList{"RIT=0"}
                        << QByteArray("get_rit:\nRIT: 0\nRPRT 0\n");
    QTest::newRow("chk_vfo") << QByteArray("\\chk_vfo") << 0 << QByteArrayList{"ChkVFO=0"}
                             << QByteArray("0\n");
    QTest::newRow("+chk_vfo") << QByteArray("+\\chk_vfo") << 0 << QByteArrayList{"ChkVFO=0"}
                              << QByteArray("ChkVFO: 0\n");
    QTest::newRow(";chk_vfo") << QByteArray(";\\chk_vfo") << 0 << QByteArrayList{"ChkVFO=0"}
                              << QByteArray("ChkVFO: 0\n\n");
    QTest::newRow("get_powerstat") << QByteArray("\\get_powerstat") << 0
                                   << QByteArrayList{"Power Status=1"} << QByteArray("1\n");
    QTest::newRow(";get_powerstat") << QByteArray(";\\get_powerstat") << 0
                                    << QByteArrayList{"Power Status=1"}
                                    << QByteArray("get_powerstat:;Power Status: 1\nRPRT 0\n");
    QTest::newRow("get_lock_mode") << QByteArray("\\get_lock_mode") << 0
                                   << QByteArrayList{"Locked=0"} << QByteArray("0\nRPRT 0\n");
    QTest::newRow("|get_lock_mode") << QByteArray("|\\get_lock_mode") << 0
                                    << QByteArrayList{"Locked=0"}
                                    << QByteArray("get_lock_mode:|Locked: 0\nRPRT 0\n");
    QTest::newRow("get_vfo_info") << QByteArray("\\get_vfo_info VFOA") << 0 << info
                                  << QByteArray("7050000\nUSB\n2400\n0\n0\n");
    QTest::newRow("+get_vfo_info") << QByteArray("+\\get_vfo_info VFOA") << 0 << info
                                   << QByteArray("get_vfo_info: VFOA\nFreq: 7050000\nMode: USB\n"
                                                 "Width: 2400\nSplit: 0\nSatMode: 0\nRPRT 0\n");
    QTest::newRow(",get_vfo_info") << QByteArray(",\\get_vfo_info VFOA") << 0 << info
                                   << QByteArray("get_vfo_info: VFOA,Freq: 7050000,Mode: USB,"
                                                 "Width: 2400,Split: 0,SatMode: 0,RPRT 0\n");
    QTest::newRow("+set_powerstat") << QByteArray("+\\set_powerstat 1") << 0 << QByteArrayList{}
                                    << QByteArray("set_powerstat: 1\nRPRT 0\n");
    QTest::newRow(";set_vfo_opt") << QByteArray(";\\set_vfo_opt 0") << 0 << QByteArrayList{}
                                  << QByteArray("set_vfo_opt: 0;RPRT 0\n");
    QTest::newRow("+get_dcd") << QByteArray("+\x8b") << 0 << QByteArrayList{"DCD=0"}
                              << QByteArray("get_dcd:\nDCD: 0\nRPRT 0\n");
    QTest::newRow("unknown") << QByteArray("+X") << -4 << QByteArrayList{}
                             << QByteArray("RPRT -4\n");
    // clang-format on
}

void TestRigctlProtocol::answers() {
    QFETCH(QByteArray, line);
    QFETCH(int, status);
    QFETCH(QByteArrayList, values);
    QFETCH(QByteArray, answer);
    const Request r = parseRequest(std::string_view(line.constData(), std::size_t(line.size())));
    QByteArray got;
    QByteArrayList labels; // each value's label, kept alive for its Value
    std::vector<Value> v;
    for (const QByteArray& pair : values) labels << pair.left(pair.indexOf('='));
    for (qsizetype i = 0; i < values.size(); ++i)
        v.push_back(Value{labels[i].constData(), values[i].mid(values[i].indexOf('=') + 1)});
    switch (v.size()) {
    case 0:
        appendAnswer(got, r, Status(status));
        break;
    case 1:
        appendAnswer(got, r, Status(status), {v[0]});
        break;
    case 2:
        appendAnswer(got, r, Status(status), {v[0], v[1]});
        break;
    default:
        QCOMPARE(v.size(), std::size_t(5));
        appendAnswer(got, r, Status(status), {v[0], v[1], v[2], v[3], v[4]});
        break;
    }
    QCOMPARE(got, answer);
}

void TestRigctlProtocol::lines_data() {
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QByteArrayList>("lines"); // "!" marks an over-long line
    QTest::addColumn<int>("pending");
    const QByteArray longLine(MaxLine + 1, 'f');
    const QByteArray fullLine(MaxLine, 'f');
    QTest::newRow("one line") << QByteArrayList{"f\n"} << QByteArrayList{"f"} << 0;
    QTest::newRow("split anywhere")
        << QByteArrayList{"F 71", "25000", "\nm", "\n"} << QByteArrayList{"F 7125000", "m"} << 0;
    QTest::newRow("several in one")
        << QByteArrayList{"f\nm\nv\n"} << QByteArrayList{"f", "m", "v"} << 0;
    QTest::newRow("tail waits") << QByteArrayList{"f\nm"} << QByteArrayList{"f"} << 1;
    QTest::newRow("empty lines") << QByteArrayList{"\n\n"} << QByteArrayList{"", ""} << 0;
    QTest::newRow("longest kept") << QByteArrayList{fullLine + "\n"} << QByteArrayList{fullLine}
                                  << 0;
    QTest::newRow("over-long") << QByteArrayList{longLine + "\nf\n"} << QByteArrayList{"!", "f"}
                               << 0;
    QTest::newRow("over-long in pieces")
        << QByteArrayList{fullLine, "ff", QByteArray(5000, 'x'), "\nm\n"}
        << QByteArrayList{"!", "m"} << 0;
    QTest::newRow("no newline ever")
        << QByteArrayList{QByteArray(100000, 'x')} << QByteArrayList{} << 0;
}

void TestRigctlProtocol::lines() {
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArrayList, lines);
    QFETCH(int, pending);
    LineReader reader;
    QByteArrayList got;
    for (const QByteArray& c : chunks)
        reader.feed(c.constData(), std::size_t(c.size()), [&](const LineReader::Line& l) {
            got << (l.tooLong ? QByteArray("!")
                              : QByteArray(l.text.data(), qsizetype(l.text.size())));
        });
    QCOMPARE(got, lines);
    QCOMPARE(int(reader.pending()), pending);
}

void TestRigctlProtocol::modes_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("back"); // the name the code answers with
    QTest::newRow("RTTY") << QByteArray("RTTY") << 0 << QByteArray("RTTY");
    QTest::newRow("CW") << QByteArray("CW") << 1 << QByteArray("CW");
    QTest::newRow("USB") << QByteArray("USB") << 2 << QByteArray("USB");
    QTest::newRow("LSB") << QByteArray("LSB") << 3 << QByteArray("LSB");
    QTest::newRow("AM") << QByteArray("AM") << 4 << QByteArray("AM");
    QTest::newRow("FM") << QByteArray("FM") << 5 << QByteArray("FM");
    QTest::newRow("FAX") << QByteArray("FAX") << 6 << QByteArray("FAX");
    QTest::newRow("ECSS upper") << QByteArray("ECSSUSB") << 7 << QByteArray("ECSSUSB");
    QTest::newRow("ECSS lower") << QByteArray("ECSSLSB") << 8 << QByteArray("ECSSLSB");
    QTest::newRow("CW reversed") << QByteArray("CWR") << 1 << QByteArray("CW");
    QTest::newRow("RTTY reversed") << QByteArray("RTTYR") << 0 << QByteArray("RTTY");
    QTest::newRow("data USB") << QByteArray("PKTUSB") << 2 << QByteArray("USB");
    QTest::newRow("data LSB") << QByteArray("PKTLSB") << 3 << QByteArray("LSB");
    QTest::newRow("synchronous AM") << QByteArray("AMS") << 4 << QByteArray("AM");
    QTest::newRow("wide FM") << QByteArray("WFM") << -1 << QByteArray();
    QTest::newRow("empty") << QByteArray() << -1 << QByteArray();
}

void TestRigctlProtocol::modes() {
    QFETCH(QByteArray, name);
    QFETCH(int, code);
    QFETCH(QByteArray, back);
    QCOMPARE(modeCode(std::string_view(name.constData(), std::size_t(name.size()))), code);
    QCOMPARE(QByteArray(modeName(code)), back);
}

void TestRigctlProtocol::passbands_data() {
    QTest::addColumn<int>("ft");        // receiver filter value
    QTest::addColumn<int>("passband");  // what "m" answers
    QTest::addColumn<int>("roundTrip"); // filterFor(passband)
    QTest::newRow("wide") << 0 << 5500 << 0;
    QTest::newRow("inter") << 1 << 2200 << 1;
    QTest::newRow("narrow") << 2 << 500 << 2;
    QTest::newRow("aux") << 3 << 12000 << 3;
    QTest::newRow("bandwidth") << 2400 << 2400 << 2400;
    QTest::newRow("unknown") << -1 << 0 << 0;
}

void TestRigctlProtocol::passbands() {
    QFETCH(int, ft);
    QFETCH(int, passband);
    QFETCH(int, roundTrip);
    QCOMPARE(int(passbandOf(ft)), passband);
    QCOMPARE(int(filterFor(passband)), roundTrip);
}

void TestRigctlProtocol::strength_data() {
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    // The simulated receiver's meter scale for known signals, within its raw-step rounding.
    for (const int rel : {-48, -24, 0, 10, 20, 40})
        QTest::addRow("S9%+d dB", rel)
            << nrd535sim::Simulator::rawFromDb(54.0 + rel) << rel - 3 << rel + 3;
    QTest::newRow("no signal") << 256 << -54 << -54;
}

void TestRigctlProtocol::strength() {
    QFETCH(int, raw);
    QFETCH(int, low);
    QFETCH(int, high);
    const int s = strengthOf(qint16(raw));
    QVERIFY2(s >= low && s <= high, qPrintable(QString::number(s)));
}

QTEST_APPLESS_MAIN(TestRigctlProtocol)
#include "tst_rigctl_protocol.moc"
