// The page's messages: requests as the page (or anyone) may send them, the answers, the option
// and the token.
#include "web/web_protocol.h"
#include "web/web_server.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace web;
Q_DECLARE_METATYPE(web::Command)

class TestWebProtocol : public QObject {
    Q_OBJECT
private slots:
    void requests_data();
    void requests();
    void rejected_data();
    void rejected();
    void oversizedKeepsNoId();
    void answers();
    void stateCarriesThePanel();
    void webOption_data();
    void webOption();
    void token();
    void origin_data();
    void origin();
    void pageFiles();
};

void TestWebProtocol::requests_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<web::Command>("command");
    QTest::addColumn<double>("hz");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("band");
    QTest::addColumn<qint64>("id");
    QTest::newRow("tune text") << QByteArray(R"({"cmd":"tune","value":"9410.5","id":7})")
                               << Command::Tune << 9410500.0 << 0 << false << qint64(7);
    QTest::newRow("tune comma") << QByteArray(R"({"cmd":"tune","value":"7125,5"})") << Command::Tune
                                << 7125500.0 << 0 << false << qint64(-1);
    QTest::newRow("tune number") << QByteArray(R"({"cmd":"tune","value":15.1234})") << Command::Tune
                                 << 15123.0 << 0 << false << qint64(-1);
    QTest::newRow("step band down") << QByteArray(R"({"cmd":"step","by":"band","value":-1})")
                                    << Command::Step << 0.0 << -1 << true << qint64(-1);
    QTest::newRow("step local up") << QByteArray(R"({"cmd":"step","by":"local","value":1,"id":0})")
                                   << Command::Step << 0.0 << 1 << false << qint64(0);
    QTest::newRow("mode") << QByteArray(R"({"cmd":"mode","value":"usb"})") << Command::Mode << 0.0
                          << 2 << false << qint64(-1);
    QTest::newRow("filter") << QByteArray(R"({"cmd":"filter","value":"narrow"})") << Command::Filter
                            << 0.0 << 2 << false << qint64(-1);
    QTest::newRow("agc") << QByteArray(R"({"cmd":"agc","value":"fast"})") << Command::Agc << 0.0
                         << 1 << false << qint64(-1);
    QTest::newRow("nb") << QByteArray(R"({"cmd":"nb","value":2})") << Command::NoiseBlanker << 0.0
                        << 2 << false << qint64(-1);
    QTest::newRow("hold") << QByteArray(R"({"cmd":"hold","value":true})") << Command::Hold << 0.0
                          << 1 << false << qint64(-1);
    QTest::newRow("scan stop") << QByteArray(R"({"cmd":"scan","value":false})") << Command::Scan
                               << 0.0 << 0 << false << qint64(-1);
    QTest::newRow("memory") << QByteArray(R"({"cmd":"memory","value":9})") << Command::Memory << 0.0
                            << 9 << false << qint64(-1);
    QTest::newRow("channel") << QByteArray(R"({"cmd":"channel","value":199})") << Command::Channel
                             << 0.0 << 199 << false << qint64(-1);
    QTest::newRow("hello") << QByteArray(R"({"cmd":"hello","id":3})") << Command::Hello << 0.0 << 0
                           << false << qint64(3);
}

void TestWebProtocol::requests() {
    QFETCH(QByteArray, text);
    const Parsed p = parseRequest(text);
    QVERIFY2(p.ok, qPrintable(p.error));
    QTEST(p.request.command, "command");
    QTEST(p.request.hz, "hz");
    QTEST(p.request.value, "value");
    QTEST(p.request.band, "band");
    QTEST(p.request.id, "id");
}

void TestWebProtocol::rejected_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("id");
    QTest::newRow("empty") << QByteArray() << qint64(-1);
    QTest::newRow("not json") << QByteArray("F 7100000") << qint64(-1);
    QTest::newRow("array") << QByteArray("[1,2]") << qint64(-1);
    QTest::newRow("no cmd") << QByteArray(R"({"value":1,"id":4})") << qint64(4);
    QTest::newRow("unknown cmd") << QByteArray(R"({"cmd":"transmit"})") << qint64(-1);
    QTest::newRow("tune zero") << QByteArray(R"({"cmd":"tune","value":"0"})") << qint64(-1);
    QTest::newRow("tune 30 MHz") << QByteArray(R"({"cmd":"tune","value":"30000"})") << qint64(-1);
    QTest::newRow("tune four decimals")
        << QByteArray(R"({"cmd":"tune","value":"1.2345"})") << qint64(-1);
    QTest::newRow("tune two dots") << QByteArray(R"({"cmd":"tune","value":"1.2.3"})") << qint64(-1);
    QTest::newRow("tune sign") << QByteArray(R"({"cmd":"tune","value":"-5"})") << qint64(-1);
    QTest::newRow("tune exponent") << QByteArray(R"({"cmd":"tune","value":"1e3"})") << qint64(-1);
    QTest::newRow("tune arabic digits")
        << QByteArray("{\"cmd\":\"tune\",\"value\":\"\xd9\xa1\"}") << qint64(-1);
    QTest::newRow("step zero") << QByteArray(R"({"cmd":"step","by":"band","value":0})")
                               << qint64(-1);
    QTest::newRow("step by what") << QByteArray(R"({"cmd":"step","by":"big","value":1})")
                                  << qint64(-1);
    QTest::newRow("mode unknown") << QByteArray(R"({"cmd":"mode","value":"SSB"})") << qint64(-1);
    QTest::newRow("nb fraction") << QByteArray(R"({"cmd":"nb","value":1.5})") << qint64(-1);
    QTest::newRow("memory 10") << QByteArray(R"({"cmd":"memory","value":10})") << qint64(-1);
    QTest::newRow("channel text") << QByteArray(R"({"cmd":"channel","value":"5","id":9})")
                                  << qint64(9);
    QTest::newRow("hold number") << QByteArray(R"({"cmd":"hold","value":2})") << qint64(-1);
}

void TestWebProtocol::rejected() {
    QFETCH(QByteArray, text);
    const Parsed p = parseRequest(text);
    QVERIFY(!p.ok);
    QVERIFY(!p.error.isEmpty());
    QTEST(p.request.id, "id");
}

void TestWebProtocol::oversizedKeepsNoId() {
    QByteArray big = R"({"cmd":"hello","id":1,"pad":")";
    big += QByteArray(MaxMessageBytes, 'x') + "\"}";
    const Parsed p = parseRequest(big);
    QVERIFY(!p.ok);
    QVERIFY(p.error.contains(QLatin1String("too long")));
}

void TestWebProtocol::answers() {
    const auto obj = [](const QByteArray& b) { return QJsonDocument::fromJson(b).object(); };
    QCOMPARE(obj(doneMessage(5)).value(QLatin1String("type")).toString(), QStringLiteral("done"));
    QCOMPARE(obj(doneMessage(5)).value(QLatin1String("id")).toInt(), 5);
    QVERIFY(!obj(doneMessage(-1)).contains(QLatin1String("id")));
    const QJsonObject r = obj(refusedMessage(2, QStringLiteral("not held")));
    QCOMPARE(r.value(QLatin1String("type")).toString(), QStringLiteral("refused"));
    QCOMPARE(r.value(QLatin1String("reason")).toString(), QStringLiteral("not held"));
    QCOMPARE(obj(errorMessage(-1, QStringLiteral("x"))).value(QLatin1String("type")).toString(),
             QStringLiteral("error"));
}

void TestWebProtocol::stateCarriesThePanel() {
    PanelView v;
    v.connected = v.held = true;
    v.hz = 9410000;
    v.mode = 4;
    v.filter = 0;
    v.agc = 1;
    v.smeterRaw = 98; // S9
    v.band = QStringLiteral("31 m \"Broadcast\"");
    const QJsonObject o = QJsonDocument::fromJson(stateMessage(v, 1.5)).object();
    QCOMPARE(o.value(QLatin1String("type")).toString(), QStringLiteral("state"));
    QCOMPARE(o.value(QLatin1String("hz")).toDouble(), 9410000.0);
    QCOMPARE(o.value(QLatin1String("mode")).toString(), QStringLiteral("AM"));
    QCOMPARE(o.value(QLatin1String("filter")).toString(), QStringLiteral("wide"));
    QCOMPARE(o.value(QLatin1String("agc")).toString(), QStringLiteral("fast"));
    QCOMPARE(o.value(QLatin1String("band")).toString(), v.band);
    QCOMPARE(o.value(QLatin1String("at")).toDouble(), 1.5);
    QVERIFY(qAbs(o.value(QLatin1String("smeterDb")).toDouble() - 54) < 1);
    QCOMPARE(smeterDb(-1), 0.0);
    QCOMPARE(smeterDb(256), 0.0);
    v.mode = 99;
    QCOMPARE(QJsonDocument::fromJson(stateMessage(v, 0)).object().value(QLatin1String("mode")),
             QJsonValue(QString()));
}

void TestWebProtocol::webOption_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::newRow("default") << QString() << true << QStringLiteral("127.0.0.1") << 8535;
    QTest::newRow("port") << QStringLiteral("9000") << true << QStringLiteral("127.0.0.1") << 9000;
    QTest::newRow("any") << QStringLiteral("0.0.0.0:80") << true << QStringLiteral("0.0.0.0") << 80;
    QTest::newRow("ipv6") << QStringLiteral("[::1]:8080") << true << QStringLiteral("::1") << 8080;
    QTest::newRow("localhost") << QStringLiteral("localhost:1") << true
                               << QStringLiteral("127.0.0.1") << 1;
    QTest::newRow("free port") << QStringLiteral("0") << true << QStringLiteral("127.0.0.1") << 0;
    QTest::newRow("too big") << QStringLiteral("65536") << false << QString() << 0;
    QTest::newRow("name") << QStringLiteral("example.org:80") << false << QString() << 0;
    QTest::newRow("no port") << QStringLiteral("127.0.0.1:") << false << QString() << 0;
    QTest::newRow("signed") << QStringLiteral("+80") << false << QString() << 0;
}

void TestWebProtocol::webOption() {
    QFETCH(QString, value);
    QFETCH(bool, ok);
    QHostAddress a;
    quint16 port = 0;
    QString error;
    QCOMPARE(parseWebOption(value, &a, &port, &error), ok);
    if (!ok) {
        QVERIFY(error.contains(QLatin1String("--web")));
        return;
    }
    QTEST(a.toString(), "address");
    QTEST(int(port), "port");
}

void TestWebProtocol::token() {
    const QString t = newToken();
    QCOMPARE(t.size(), 32);
    QVERIFY(t != newToken());
    QVERIFY(tokenMatches(t, t));
    QVERIFY(!tokenMatches(t.left(31), t));
    QVERIFY(!tokenMatches(t + u'0', t));
    QVERIFY(!tokenMatches(QString(), t));
    QVERIFY(!tokenMatches(QString(), QString())); // no token kept: nothing matches
    QCOMPARE(pageUrl(QStringLiteral("::1"), 80, QStringLiteral("ab")),
             QStringLiteral("http://[::1]:80/?token=ab"));
}

void TestWebProtocol::origin_data() {
    QTest::addColumn<QString>("origin");
    QTest::addColumn<bool>("ok");
    QTest::newRow("own") << QStringLiteral("http://127.0.0.1:8535") << true;
    QTest::newRow("own, name case") << QStringLiteral("http://LOCALHOST:8535") << true;
    QTest::newRow("other port") << QStringLiteral("http://127.0.0.1:8536") << false;
    QTest::newRow("other site") << QStringLiteral("http://example.org") << false;
    QTest::newRow("https") << QStringLiteral("https://127.0.0.1:8535") << false;
    QTest::newRow("none") << QString() << false;
    QTest::newRow("null") << QStringLiteral("null") << false;
    QTest::newRow("with path") << QStringLiteral("http://127.0.0.1:8535/x") << false;
}

void TestWebProtocol::origin() {
    QFETCH(QString, origin);
    const QString host = origin.contains(QLatin1String("LOCALHOST")) ? QStringLiteral("localhost")
                                                                     : QStringLiteral("127.0.0.1");
    QTEST(WebServer::originMatches(origin, host, 8535), "ok");
}

void TestWebProtocol::pageFiles() {
    QByteArray mime;
    const QByteArray index = WebServer::pageFile(QStringLiteral("/"), QStringLiteral("t0k"), &mime);
    QVERIFY(mime.startsWith("text/html"));
    QVERIFY(index.contains("app.js?token=t0k"));
    QVERIFY(!index.contains("%TOKEN%"));
    // Nothing from outside: no absolute address in the page's files.
    for (const char* path : {"/", "/app.js", "/style.css"}) {
        const QByteArray body = WebServer::pageFile(QString::fromLatin1(path), QString(), &mime);
        QVERIFY2(!body.isEmpty(), path);
        QVERIFY2(!body.contains("http://") && !body.contains("https://"), path);
    }
    QVERIFY(WebServer::pageFile(QStringLiteral("/../etc/passwd"), QString(), &mime).isEmpty());
}

QTEST_GUILESS_MAIN(TestWebProtocol)
#include "tst_web_protocol.moc"
