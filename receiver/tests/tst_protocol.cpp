// The protocol without a wire: settings tables, conversions, command encoding, reply parsing and
// the receive assembly fed in arbitrary pieces.

#include <nrd535sim/simulator.h>
#include <ostry/protocol.h>

#include <QTest>

using namespace ostry;

Q_DECLARE_METATYPE(ostry::Setting)

namespace {
ReceiverState freshState() {
    ReceiverState s;
    s.BWI = NominalBWI;
    s.BWH = NominalBWH;
    s.DumpLast = -1;
    return s;
}

bool sameState(const ReceiverState& a, const ReceiverState& b) {
    return a.Fr == b.Fr && a.MD == b.MD && a.FT == b.FT && a.AG == b.AG && a.AT == b.AT &&
           a.SQ == b.SQ && a.NB == b.NB && a.SM == b.SM && a.ModFR == b.ModFR &&
           a.ModMD == b.ModMD && a.ModFT == b.ModFT && a.ModAG == b.ModAG && a.ModAT == b.ModAT &&
           a.ModSQ == b.ModSQ && a.ModNB == b.ModNB && a.ModSM == b.ModSM && a.chn.NM == b.chn.NM &&
           a.chn.Fr == b.chn.Fr && a.chn.ST == b.chn.ST;
}
} // namespace

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    void descAndCode_data();
    void descAndCode();
    void codeOfUnknownText_data();
    void codeOfUnknownText();
    void filterForBandwidth_data();
    void filterForBandwidth();
    void smeter_data();
    void smeter();
    void smeterText_data();
    void smeterText();
    void smeterDb_data();
    void smeterDb();
    void frequencyText_data();
    void frequencyText();
    void encoding_data();
    void encoding();
    void badReplyLeavesStateUntouched_data();
    void badReplyLeavesStateUntouched();
    void goodReplies_data();
    void goodReplies();
    void onlyLastStatusOfAFeedIsApplied();
    void chunkingDoesNotMatter();
    void channelRecords();
    void neverEndingLineStaysBounded();
    void noiseNeverCrashesOrGrows();
};

void TestProtocol::descAndCode_data() {
    QTest::addColumn<Setting>("setting");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("descMax");
    // clang-format off
    const struct { Setting s; QStringList texts; } tables[] = {
        {Setting::MD, {"RTTY", "CW", "USB", "LSB", "AM", "FM", "FAX", "ECSSU", "ECSSL"}},
        {Setting::FT, {"Wide", "Inter", "Narrow", "Aux"}},
        {Setting::AG, {"Slow", "Fast", "Off"}},
        {Setting::AT, {"ATT", "ON"}},
        {Setting::NB, {"NB Off", "NB1", "NB2"}},
        {Setting::SQ, {"SOF", "SON"}},
    };
    // clang-format on
    for (const auto& t : tables)
        for (int i = 0; i < t.texts.size(); ++i)
            QTest::addRow("%s %d", settingInfo(t.s).name, i)
                << t.s << i << t.texts[i] << int(t.texts.size());
}

void TestProtocol::descAndCode() {
    QFETCH(Setting, setting);
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(int, descMax);
    QCOMPARE(settingDesc(setting, code), text);
    QCOMPARE(settingCode(setting, text), code);
    QCOMPARE(int(settingDescMax(setting)), descMax);
    QVERIFY(settingInRange(setting, code));
    QVERIFY(!settingInRange(setting, descMax));
    QVERIFY(!settingInRange(setting, -1));
}

void TestProtocol::codeOfUnknownText_data() {
    QTest::addColumn<Setting>("setting");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");
    QTest::addColumn<qint64>("descArg");
    QTest::addColumn<QString>("desc");
    QTest::newRow("MD UNID") << Setting::MD << "UNID" << 0 << qint64(9) << "";
    QTest::newRow("MD case counts") << Setting::MD << "usb" << 0 << qint64(-1) << "";
    QTest::newRow("NB spaces count") << Setting::NB << "NBOff" << 0 << qint64(3) << "";
    QTest::newRow("AG") << Setting::AG << "Medium" << 0 << qint64(3) << "";
    QTest::newRow("AT") << Setting::AT << "OFF" << 0 << qint64(2) << "";
    QTest::newRow("SQ") << Setting::SQ << "" << 0 << qint64(-5) << "";
    QTest::newRow("FT bandwidth") << Setting::FT << "2400" << 2400 << qint64(2400) << "2400";
    QTest::newRow("FT rounded half even") << Setting::FT << "2400.5" << 2400 << qint64(4) << "4";
    QTest::newRow("FT rounds up") << Setting::FT << "1800.7" << 1801 << qint64(-1) << "-1";
    QTest::newRow("FT no digits") << Setting::FT << "wide" << 0 << qint64(1) << "Inter";
    QTest::newRow("FT trailing text") << Setting::FT << "2400Hz" << 2400 << qint64(0) << "Wide";
    QTest::newRow("FT overflow") << Setting::FT << "99999999999" << 0 << qint64(0) << "Wide";
}

void TestProtocol::codeOfUnknownText() {
    QFETCH(Setting, setting);
    QFETCH(QString, text);
    QFETCH(int, code);
    QFETCH(qint64, descArg);
    QFETCH(QString, desc);
    QCOMPARE(settingCode(setting, text), code);
    QCOMPARE(settingDesc(setting, descArg), desc);
}

void TestProtocol::filterForBandwidth_data() {
    QTest::addColumn<int>("bw");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("aux");
    QTest::addColumn<int>("code");
    QTest::newRow("2200 USB") << 2200 << 2 << false << 1;
    QTest::newRow("500 CW") << 500 << 1 << false << 2;
    QTest::newRow("501 CW") << 501 << 1 << false << 1;
    QTest::newRow("3000 USB") << 3000 << 2 << false << 1;
    QTest::newRow("3001 USB") << 3001 << 2 << false << 0;
    QTest::newRow("8999 USB") << 8999 << 2 << false << 0;
    QTest::newRow("9000 USB") << 9000 << 2 << false << 3;
    QTest::newRow("6000 AM aux") << 6000 << 4 << true << 0;
    QTest::newRow("2000 AM") << 2000 << 4 << false << 3;
}

void TestProtocol::filterForBandwidth() {
    QFETCH(int, bw);
    QFETCH(int, mode);
    QFETCH(bool, aux);
    QFETCH(int, code);
    QCOMPARE(int(ostry::filterForBandwidth(qint16(bw), mode, aux)), code);
}

void TestProtocol::smeter_data() {
    QTest::addColumn<int>("in");
    QTest::addColumn<bool>("toRaw");
    QTest::addColumn<int>("out");
    QTest::newRow("S9 to raw") << 9 << true << 98;
    QTest::newRow("S9+20 to raw") << 20 << true << 86;
    QTest::newRow("S0 to raw") << 0 << true << 256;
    QTest::newRow("S5 to raw") << 5 << true << 118;
    QTest::newRow("S1 to raw") << 1 << true << 161;
    QTest::newRow("below S0 counts as S0") << -3 << true << 256;
    QTest::newRow("raw 98") << 98 << false << 9;
    QTest::newRow("raw 86") << 86 << false << 21;
    QTest::newRow("raw 255") << 255 << false << 0;
    QTest::newRow("raw 0") << 0 << false << 387;
    QTest::newRow("raw 256 carries nothing") << 256 << false << 0;
    QTest::newRow("raw 1000 carries nothing") << 1000 << false << 0;
    QTest::newRow("raw negative still converts") << -1 << false << 394;
}

void TestProtocol::smeter() {
    QFETCH(int, in);
    QFETCH(bool, toRaw);
    QFETCH(int, out);
    QCOMPARE(int(smeterConvert(qint16(in), toRaw)), out);
}

void TestProtocol::smeterDb_data() {
    QTest::addColumn<int>("raw");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    // Readings of the simulated receiver's meter scale for known signals, within the scale's
    // rounding to whole raw steps.
    for (const double db : {6.0, 30.0, 54.0, 64.0, 74.0, 94.0})
        QTest::addRow("%g dB", db) << nrd535sim::Simulator::rawFromDb(db) << db - 2.5 << db + 2.5;
    QTest::newRow("no signal") << 256 << 0.0 << 0.0;
    QTest::newRow("unknown") << -1 << 0.0 << 0.0;
}

void TestProtocol::smeterDb() {
    QFETCH(int, raw);
    QFETCH(double, low);
    QFETCH(double, high);
    const double db = ostry::smeterDb(qint16(raw));
    QVERIFY2(db >= low && db <= high, qPrintable(QString::number(db)));
}

void TestProtocol::smeterText_data() {
    QTest::addColumn<int>("raw");
    QTest::addColumn<QString>("text");
    // clang-format off
    const struct { int low, high; const char* text; } bands[] = {
        {141, 255, "S1"}, {129, 140, "S2"}, {125, 128, "S3"}, {119, 124, "S4"}, {112, 118, "S5"},
        {107, 111, "S6"}, {103, 106, "S7"}, {101, 102, "S8"}, {94, 100, "S9"}, {87, 93, "10dB"},
        {82, 86, "20dB"}, {76, 81, "30dB"}, {73, 75, "40dB"}, {0, 72, "50dB"},
    };
    // clang-format on
    for (const auto& b : bands) {
        QTest::addRow("%d", b.low) << b.low << b.text;
        QTest::addRow("%d", b.high) << b.high << b.text;
    }
}

void TestProtocol::smeterText() {
    QFETCH(int, raw);
    QFETCH(QString, text);
    QCOMPARE(ostry::smeterText(qint16(raw)), text);
}

void TestProtocol::frequencyText_data() {
    QTest::addColumn<double>("hz");
    QTest::addColumn<QString>("text");
    QTest::newRow("9410 kHz") << 9410000.0 << "009 410.000";
    QTest::newRow("162 kHz") << 162000.0 << "000 162.000";
    QTest::newRow("zero") << 0.0 << "000 000.000";
    QTest::newRow("odd hertz") << 29999999.0 << "029 999.999";
    QTest::newRow("ten digits") << 1234567890.0 << "1234 567.890";
}

void TestProtocol::frequencyText() {
    QFETCH(double, hz);
    QFETCH(QString, text);
    QCOMPARE(ostry::frequencyText(hz), text);
}

void TestProtocol::encoding_data() {
    QTest::addColumn<QByteArray>("got");
    QTest::addColumn<QByteArray>("want");
    QTest::newRow("tune") << encodeTune(162000) << QByteArray("F00162000");
    QTest::newRow("tune truncates") << encodeTune(9410000.9) << QByteArray("F09410000");
    QTest::newRow("mode") << encodeDigitCommand(wire::ModeCmd, 2) << QByteArray("D2");
    QTest::newRow("width") << encodeWidth(500) << QByteArray("W0500");
    QTest::newRow("store") << encodeStore(5, 9410000, 4, 1, 0, 0) << QByteArray("K005014094100000");
    QTest::newRow("channel") << encodeChannel(7) << QByteArray("J1007");
    QTest::newRow("dump") << encodeDump(0, 199) << QByteArray("L000199");
}

void TestProtocol::encoding() {
    QFETCH(QByteArray, got);
    QFETCH(QByteArray, want);
    QCOMPARE(got, want);
}

void TestProtocol::badReplyLeavesStateUntouched_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("status truncated") << QByteArray("I104094100\r");
    QTest::newRow("status too long") << QByteArray("I1040941000011\r");
    QTest::newRow("status non-digit") << QByteArray("I104094x00001\r");
    QTest::newRow("status sign") << QByteArray("I104-94100001\r");
    QTest::newRow("status NUL") << QByteArray("I1040941\0000001\r", 14);
    QTest::newRow("meter empty") << QByteArray("M\r");
    QTest::newRow("meter non-digit") << QByteArray("M0x5\r");
    QTest::newRow("meter overflow") << QByteArray("M123456\r");
    QTest::newRow("meter trailing junk") << QByteArray("M045 dB\r");
    QTest::newRow("nb letters") << QByteArray("Nabc\r");
    QTest::newRow("squelch negative") << QByteArray("Q-1\r");
    QTest::newRow("width 5 digits") << QByteArray("W12000\r");
    QTest::newRow("channel short") << QByteArray("L00\r");
    QTest::newRow("channel bad number") << QByteArray("L0a5014094100000\r");
    QTest::newRow("channel truncated") << QByteArray("L0050140941\r");
    QTest::newRow("channel junk") << QByteArray("L005014094100000XYZ\r");
    QTest::newRow("unknown letter") << QByteArray("X12345\r");
    QTest::newRow("lower case") << QByteArray("i10409410000\r");
    QTest::newRow("CR only") << QByteArray("\r\r\r");
    QTest::newRow("NULs") << QByteArray("\0\0\0\r", 4);
    QTest::newRow("no CR yet") << QByteArray("I1040941000001");
}

void TestProtocol::badReplyLeavesStateUntouched() {
    QFETCH(QByteArray, line);
    ReceiverState s = freshState();
    s.Fr = 7000000;
    s.MD = 3;
    s.SM = 50;
    const ReceiverState before = s;
    ReplyReader r;
    const auto res = r.feed(s, line);
    QVERIFY(!res.upd);
    QVERIFY(!res.chn);
    QVERIFY(sameState(s, before));
}

void TestProtocol::goodReplies_data() {
    QTest::addColumn<bool>("hook");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("modified");
    QTest::newRow("meter 045") << true << QByteArray("M045\r") << "SM" << 45.0 << true;
    QTest::newRow("meter unchanged") << true << QByteArray("M050\r") << "SM" << 50.0 << false;
    QTest::newRow("meter spaces") << true << QByteArray("M 45\r") << "SM" << 45.0 << true;
    QTest::newRow("nb") << true << QByteArray("N2\r") << "NB" << 2.0 << true;
    QTest::newRow("squelch") << true << QByteArray("Q1\r") << "SQ" << 1.0 << true;
    QTest::newRow("width = BWI is Inter") << true << QByteArray("W2200\r") << "FT" << 1.0 << true;
    QTest::newRow("width = BWH leaves FT") << true << QByteArray("W5500\r") << "FT" << 3.0 << false;
    QTest::newRow("width 0 leaves FT") << true << QByteArray("W0000\r") << "FT" << 3.0 << false;
    QTest::newRow("width in hertz") << true << QByteArray("W2400\r") << "FT" << 2400.0 << true;
    QTest::newRow("status tunes") << true << QByteArray("I104094100001\r") << "Fr" << 9410000.0
                                  << true;
    QTest::newRow("status mode") << true << QByteArray("I104094100001\r") << "MD" << 4.0 << true;
    QTest::newRow("status AGC") << true << QByteArray("I104094100002\r") << "AG" << 2.0 << true;
    QTest::newRow("status att") << true << QByteArray("I104094100001\r") << "AT" << 1.0 << true;
    QTest::newRow("held: filter digit ignored")
        << true << QByteArray("I104094100001\r") << "FT" << 3.0 << false;
    QTest::newRow("local: filter digit taken")
        << false << QByteArray("I104094100001\r") << "FT" << 0.0 << true;
    QTest::newRow("status zero frequency")
        << true << QByteArray("I000000000000\r") << "Fr" << 0.0 << true;
    QTest::newRow("leading LF") << true << QByteArray("\nM045\r") << "SM" << 45.0 << true;
}

void TestProtocol::goodReplies() {
    QFETCH(bool, hook);
    QFETCH(QByteArray, line);
    QFETCH(QString, field);
    QFETCH(double, value);
    QFETCH(bool, modified);
    ReceiverState s = freshState();
    s.Fr = 7000000;
    s.MD = 3;
    s.FT = 3;
    s.SM = 50;
    s.Hook = hook;
    ReplyReader r;
    const auto res = r.feed(s, line);
    QVERIFY(res.upd);
    QVERIFY(!res.chn);
    const std::map<QString, std::pair<double, bool>> got = {
        {"Fr", {s.Fr, s.ModFR}}, {"MD", {s.MD, s.ModMD}}, {"FT", {s.FT, s.ModFT}},
        {"AG", {s.AG, s.ModAG}}, {"AT", {s.AT, s.ModAT}}, {"NB", {s.NB, s.ModNB}},
        {"SM", {s.SM, s.ModSM}}, {"SQ", {s.SQ, s.ModSQ}}};
    QCOMPARE(got.at(field).first, value);
    QCOMPARE(got.at(field).second, modified);
}

void TestProtocol::onlyLastStatusOfAFeedIsApplied() {
    ReceiverState s = freshState();
    s.Hook = true;
    ReplyReader r;
    // Two status lines and half a third: only the second counts, one update.
    auto res = r.feed(s, QByteArray("I002070000000\rI003071000001\rI00407"));
    QVERIFY(res.upd);
    QCOMPARE(s.Fr, 7100000.0);
    QCOMPARE(s.MD, 3);
    QCOMPARE(s.AG, 1);
    QCOMPARE(QByteArray(r.rest().data(), qsizetype(r.rest().size())), QByteArray("I00407"));
    s.ModFR = false;
    res = r.feed(s, QByteArray("2000002\r"));
    QVERIFY(res.upd);
    QCOMPARE(s.Fr, 7200000.0);
    QCOMPARE(s.MD, 4);
    QVERIFY(s.ModFR);
    QVERIFY(r.rest().empty());
    // A garbled last status does not hide the good one before it.
    r.feed(s, QByteArray("I005073000000\rI00x\r"));
    QCOMPARE(s.Fr, 7300000.0);
}

void TestProtocol::chunkingDoesNotMatter() {
    const QByteArray stream("I002070000000\rM045\rN1\rQ0\rW2400\rL005014094100000\r"
                            "garbage\r\rI013071000002\rL006V\rM120\r");
    ReceiverState whole = freshState();
    ReplyReader r1;
    // Fed line by line, as the receiver delivers with a small threshold.
    qsizetype from = 0;
    while (from < stream.size()) {
        const qsizetype cr = stream.indexOf('\r', from);
        r1.feed(whole, stream.constData() + from, std::size_t(cr + 1 - from));
        from = cr + 1;
    }
    for (std::size_t piece : {1u, 2u, 3u, 5u, 7u, 13u}) {
        ReceiverState s = freshState();
        ReplyReader r;
        for (qsizetype i = 0; i < stream.size(); i += qsizetype(piece)) {
            const auto n = std::min<qsizetype>(qsizetype(piece), stream.size() - i);
            QByteArray chunk = stream.mid(i, n);
            // Keep whole lines per feed when the piece ends a line, as above, so the "last
            // status only" rule sees the same lines.
            r.feed(s, chunk);
        }
        QVERIFY2(sameState(s, whole), qPrintable(QStringLiteral("piece %1").arg(piece)));
    }
}

void TestProtocol::channelRecords() {
    ReceiverState s = freshState();
    s.DumpLast = 6;
    s.chn.TB = true;
    ReplyReader r;
    auto res = r.feed(s, QByteArray("L005014094100000\r"));
    QVERIFY(res.chn);
    QVERIFY(!res.upd);
    QCOMPARE(s.chn.NM, qint16(5));
    QCOMPARE(s.chn.Fr, 9410000.0);
    QCOMPARE(s.chn.MD, 4);
    QCOMPARE(s.chn.FT, 1);
    QCOMPARE(s.chn.AT, 0);
    QVERIFY(!s.chn.ST);
    QVERIFY(s.chn.TB);
    // Empty channel: frequency 0, the rest of the previous record kept; the last one ends it.
    res = r.feed(s, QByteArray("L006V\r"));
    QVERIFY(res.chn);
    QCOMPARE(s.chn.NM, qint16(6));
    QCOMPARE(s.chn.Fr, 0.0);
    QCOMPARE(s.chn.MD, 4);
    QVERIFY(s.chn.ST);
}

void TestProtocol::neverEndingLineStaysBounded() {
    ReceiverState s = freshState();
    ReplyReader r;
    QByteArray chunk(1000, 'M');
    for (int i = 0; i < 1000; ++i) {
        r.feed(s, chunk);
        QVERIFY(r.rest().size() <= wire::RestCap);
    }
    // When the CR finally comes the line is judged on what was kept, and the next line is clean.
    auto res = r.feed(s, QByteArray("\rM045\r"));
    QVERIFY(res.upd);
    QCOMPARE(s.SM, qint16(45));
    QVERIFY(r.rest().empty());
    // A long line with a valid head is still cut to the 18 characters a reply is read from.
    res = r.feed(s, QByteArray("I104094100001") + QByteArray(200, '7') + "\r");
    QVERIFY(!res.upd);
}

void TestProtocol::noiseNeverCrashesOrGrows() {
    ReceiverState s = freshState();
    ReplyReader r;
    quint32 x = 12345;
    QByteArray noise(4096, '\0');
    for (int round = 0; round < 50; ++round) {
        for (auto& c : noise) {
            x = x * 1664525u + 1013904223u;
            c = char(x >> 24);
        }
        r.feed(s, noise);
        QVERIFY(r.rest().size() <= wire::RestCap);
    }
    // Still in step afterwards.
    r.feed(s, QByteArray("\rI002070000000\r"));
    QCOMPARE(s.Fr, 7000000.0);
}

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
