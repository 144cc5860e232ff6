// Telnet with the COM-PORT-OPTION without a wire: what the client sends first, data escaping,
// and the decoder fed the server's bytes in every chunking.

#include "rfc2217.h"

#include <QTest>

using namespace ostry;
using Codec = Rfc2217Codec;

Q_DECLARE_METATYPE(ostry::Rfc2217Codec::Agreement)

namespace {
// Text with bytes in hex between angle brackets: "A<ff ff>B" is 'A', 0xFF, 0xFF, 'B'.
QByteArray b(const char* text) {
    QByteArray out;
    for (const char* p = text; *p;) {
        if (*p != '<') {
            out.append(*p++);
            continue;
        }
        const char* end = ++p;
        while (*end && *end != '>') ++end;
        out.append(QByteArray::fromHex(QByteArray(p, end - p)));
        p = *end ? end + 1 : end;
    }
    return out;
}

Codec::Line line4800() {
    Codec::Line l;
    Codec::parseSettings(QStringLiteral("4800,N,8,1"), &l);
    return l;
}

// What ser2net answers to the opening for 4800,N,8,1 (modem state first).
const char* const Ser2netAnswers = "<ff fa 2c 6b 00 ff f0><ff fa 2c 65 00 00 12 c0 ff f0>"
                                   "<ff fa 2c 66 08 ff f0><ff fa 2c 67 01 ff f0>"
                                   "<ff fa 2c 68 01 ff f0><ff fa 2c 69 01 ff f0>";
} // namespace

class TestRfc2217Codec : public QObject {
    Q_OBJECT
private slots:
    void settings_data();
    void settings();
    void opening_data();
    void opening();
    void escaping_data();
    void escaping();
    void decoding_data();
    void decoding();
    void unendedSubnegotiationStaysBounded();
    void newSessionForgetsTheOldOne();
};

void TestRfc2217Codec::settings_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint32>("baud");
    QTest::addColumn<int>("data");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stop");
    // clang-format off
    QTest::newRow("receiver's")     << "4800,N,8,1"      << true  << 4800u  << 8 << 1 << 1;
    QTest::newRow("odd, 7, 2")      << "9600,O,7,2"      << true  << 9600u  << 7 << 2 << 2;
    QTest::newRow("even")           << "1200,E,8,1"      << true  << 1200u  << 8 << 3 << 1;
    QTest::newRow("mark")           << "38400,M,8,1"     << true  << 38400u << 8 << 4 << 1;
    QTest::newRow("space, 5, 1.5")  << "300,s,5,1.5"     << true  << 300u   << 5 << 5 << 3;
    QTest::newRow("spaces")         << " 4800 , n , 8 , 1 " << true << 4800u << 8 << 1 << 1;
    QTest::newRow("three fields")   << "4800,N,8"        << false << 0u << 0 << 0 << 0;
    QTest::newRow("zero baud")      << "0,N,8,1"         << false << 0u << 0 << 0 << 0;
    QTest::newRow("negative baud")  << "-4800,N,8,1"     << false << 0u << 0 << 0 << 0;
    QTest::newRow("parity X")       << "4800,X,8,1"      << false << 0u << 0 << 0 << 0;
    QTest::newRow("parity NE")      << "4800,NE,8,1"     << false << 0u << 0 << 0 << 0;
    QTest::newRow("data 9")         << "4800,N,9,1"      << false << 0u << 0 << 0 << 0;
    QTest::newRow("data 4")         << "4800,N,4,1"      << false << 0u << 0 << 0 << 0;
    QTest::newRow("stop 3")         << "4800,N,8,3"      << false << 0u << 0 << 0 << 0;
    // clang-format on
}

void TestRfc2217Codec::settings() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    Codec::Line l;
    QCOMPARE(Codec::parseSettings(text, &l), ok);
    if (!ok) return;
    QTEST(l.baud, "baud");
    QTEST(int(l.dataSize), "data");
    QTEST(int(l.parity), "parity");
    QTEST(int(l.stopSize), "stop");
}

void TestRfc2217Codec::opening_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("4800,N,8,1") << "4800,N,8,1"
                                << b("<ff fb 2c><ff fa 2c 01 00 00 12 c0 ff f0>"
                                     "<ff fa 2c 02 08 ff f0><ff fa 2c 03 01 ff f0>"
                                     "<ff fa 2c 04 01 ff f0><ff fa 2c 05 01 ff f0>");
    QTest::newRow("38400,O,7,2") << "38400,O,7,2"
                                 << b("<ff fb 2c><ff fa 2c 01 00 00 96 00 ff f0>"
                                      "<ff fa 2c 02 07 ff f0><ff fa 2c 03 02 ff f0>"
                                      "<ff fa 2c 04 02 ff f0><ff fa 2c 05 01 ff f0>");
    // 0xFF inside a value is doubled like data.
    QTest::newRow("a baud with 0xFF bytes") << "65535,S,5,1.5"
                                            << b("<ff fb 2c><ff fa 2c 01 00 00 ff ff ff ff ff f0>"
                                                 "<ff fa 2c 02 05 ff f0><ff fa 2c 03 05 ff f0>"
                                                 "<ff fa 2c 04 03 ff f0><ff fa 2c 05 01 ff f0>");
}

void TestRfc2217Codec::opening() {
    QFETCH(QString, settings);
    Codec::Line l;
    QVERIFY(Codec::parseSettings(settings, &l));
    Codec c;
    QTEST(c.start(l), "sent");
    QCOMPARE(c.agreement(), Codec::Agreement::Pending);
    QCOMPARE(c.problem(), QString());
}

void TestRfc2217Codec::escaping_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("a command") << b("F07125000\r") << b("F07125000\r");
    QTest::newRow("one 0xFF") << b("<ff>") << b("<ff ff>");
    QTest::newRow("0xFF pairs and commands' bytes")
        << b("A<ff ff>B<ff fb 2c>") << b("A<ff ff ff ff>B<ff ff fb 2c>");
    QTest::newRow("NUL, CR, LF as they are") << b("<00>\r\n<fe>") << b("<00>\r\n<fe>");
}

void TestRfc2217Codec::escaping() {
    QFETCH(QByteArray, data);
    QTEST(Codec::escape(data), "sent");
}

void TestRfc2217Codec::decoding_data() {
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("replies");
    QTest::addColumn<Codec::Agreement>("agreement");
    QTest::addColumn<quint32>("baud");    // reported, 0 when not
    QTest::addColumn<QString>("problem"); // part of the text, empty when none
    using A = Codec::Agreement;
    // clang-format off
    QTest::newRow("plain data") << b("H1\r?535D\r") << b("H1\r?535D\r") << QByteArray() << A::Pending << 0u << "";
    QTest::newRow("doubled 0xFF is one data byte") << b("A<ff ff>B<ff ff ff ff>\r") << b("A<ff>B<ff ff>\r") << QByteArray() << A::Pending << 0u << "";
    QTest::newRow("ser2net's opening")
        << b("<ff fb 03 ff fd 03 ff fb 01 ff fe 01 ff fd 00 ff fb 00 ff fd 2c>")
        << QByteArray()
        << b("<ff fe 03><ff fc 03><ff fe 01><ff fc 00><ff fe 00>")
        << A::Accepted << 0u << "";
    QTest::newRow("ser2net's answers, data between")
        << (b("<ff fd 2c>I0") + b(Ser2netAnswers) + b("1\r"))
        << b("I01\r") << QByteArray() << A::Accepted << 4800u << "";
    QTest::newRow("commands without data") << b("A<ff f1>B<ff f9>C<ff f2><ff f6>D<ff f0>E") << b("ABCDE") << QByteArray() << A::Pending << 0u << "";
    QTest::newRow("IAC then a byte that is no command") << b("<ff 41>BC") << b("BC") << QByteArray() << A::Pending << 0u << "";
    QTest::newRow("other option's subnegotiation") << b("A<ff fa 18 01 ff f0>B") << b("AB") << QByteArray() << A::Pending << 0u << "";
    QTest::newRow("doubled 0xFF inside a subnegotiation")
        << b("<ff fa 2c 65 00 00 ff ff ff ff ff f0>x") << b("x") << QByteArray() << A::Pending << 65535u << "65535 baud, not 4800";
    QTest::newRow("subnegotiation broken off by a command")
        << b("<ff fa 2c 65 00 00 ff fb 01>x") << b("x") << b("<ff fe 01>") << A::Pending << 0u << "";
    QTest::newRow("short baud answer ignored") << b("<ff fa 2c 65 00 12 c0 ff f0>") << QByteArray() << QByteArray() << A::Pending << 0u << "";
    QTest::newRow("notices ignored") << b("<ff fa 2c 6a 60 ff f0><ff fa 2c 6b b0 ff f0><ff fa 2c 6c ff f0>") << QByteArray() << QByteArray() << A::Pending << 0u << "";
    QTest::newRow("refused") << b("<ff fe 2c>H0\r") << b("H0\r") << QByteArray() << A::Refused << 0u << "refused RFC 2217";
    QTest::newRow("accepted, then turned off") << b("<ff fd 2c ff fe 2c>") << QByteArray() << b("<ff fc 2c>") << A::Refused << 0u << "refused RFC 2217";
    QTest::newRow("server offers the option itself") << b("<ff fb 2c>") << QByteArray() << b("<ff fe 2c>") << A::Pending << 0u << "";
    QTest::newRow("WONT needs no answer") << b("<ff fc 01 ff fc 2c>") << QByteArray() << QByteArray() << A::Pending << 0u << "";
    QTest::newRow("another speed") << b("<ff fd 2c><ff fa 2c 65 00 00 25 80 ff f0>") << QByteArray() << QByteArray() << A::Accepted << 9600u << "9600 baud, not 4800";
    QTest::newRow("another data size") << b("<ff fa 2c 66 07 ff f0>") << QByteArray() << QByteArray() << A::Pending << 0u << "7 data bits, not 8";
    QTest::newRow("another parity") << b("<ff fa 2c 67 04 ff f0>") << QByteArray() << QByteArray() << A::Pending << 0u << "parity mark, not none";
    QTest::newRow("another stop size") << b("<ff fa 2c 68 02 ff f0>") << QByteArray() << QByteArray() << A::Pending << 0u << "2 stop bits, not 1";
    QTest::newRow("a zero answer says nothing") << b("<ff fa 2c 65 00 00 00 00 ff f0><ff fa 2c 66 00 ff f0>") << QByteArray() << QByteArray() << A::Pending << 0u << "";
    // clang-format on
}

void TestRfc2217Codec::decoding() {
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, replies);
    QFETCH(Codec::Agreement, agreement);
    QFETCH(quint32, baud);
    QFETCH(QString, problem);
    // Every piece size, down to one byte at a time, gives the same.
    for (qsizetype piece = received.size(); piece >= 1; --piece) {
        Codec c;
        c.start(line4800());
        QByteArray got, answered;
        for (qsizetype i = 0; i < received.size(); i += piece) {
            const qsizetype n = qMin(piece, received.size() - i);
            c.feed(received.constData() + i, n, &got);
            const QByteArray r = c.takeReplies();
            QVERIFY(r.size() <= n + 2); // an answer is owed only for a command just completed
            answered += r;
        }
        QCOMPARE(got, payload);
        QCOMPARE(answered, replies);
        QCOMPARE(c.agreement(), agreement);
        QCOMPARE(c.reported().baud, baud);
        QVERIFY(c.takeReplies().isEmpty());
        if (problem.isEmpty())
            QCOMPARE(c.problem(), QString());
        else
            QVERIFY2(c.problem().contains(problem), qPrintable(c.problem()));
    }
}

void TestRfc2217Codec::unendedSubnegotiationStaysBounded() {
    Codec c;
    c.start(line4800());
    QByteArray got;
    // A baud answer that goes on and on: kept only up to the cap, then not taken at all.
    const QByteArray open = b("<ff fa 2c 65 00 00 25 80>");
    c.feed(open.constData(), open.size(), &got);
    const QByteArray filler(100000, 'x');
    c.feed(filler.constData(), filler.size(), &got);
    QVERIFY(c.held() <= Codec::SubCap);
    QVERIFY(got.isEmpty());
    const QByteArray end = b("<ff f0>H1\r");
    c.feed(end.constData(), end.size(), &got);
    QCOMPARE(got, b("H1\r"));
    QCOMPARE(c.reported().baud, 0u);
    QCOMPARE(c.problem(), QString());
}

void TestRfc2217Codec::newSessionForgetsTheOldOne() {
    Codec c;
    c.start(line4800());
    QByteArray got;
    const QByteArray refusedMidway = b("<ff fe 2c><ff fa 2c 65 00 00 25>");
    c.feed(refusedMidway.constData(), refusedMidway.size(), &got);
    QCOMPARE(c.agreement(), Codec::Agreement::Refused);
    // A reconnection starts clean: no refusal, no half subnegotiation swallowing data.
    c.start(line4800());
    QCOMPARE(c.agreement(), Codec::Agreement::Pending);
    QCOMPARE(c.held(), 0);
    const QByteArray data = b("H1\r");
    c.feed(data.constData(), data.size(), &got);
    QCOMPARE(got, data);
    QCOMPARE(c.problem(), QString());
}

QTEST_APPLESS_MAIN(TestRfc2217Codec)
#include "tst_rfc2217_codec.moc"
