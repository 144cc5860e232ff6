// The web page's row on the options dialog, through the real dialog in the window: off by
// default, turned on with an address (kept in the settings), the address with the token and its
// QR code shown while served, a bad address reported and the server left off.
#include "fixture.h"

#include "ui/main_window.h"
#include "ui/opts.h"
#include "web/web_options.h"
#include "web/web_server.h"
#include "web/web_wiring.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

class TestWebOptions : public QObject {
    Q_OBJECT
private slots:
    void offByDefault();
    void turnedOnFromTheDialog();
    void badAddressLeavesItOff();
    void qrCode();
};

namespace {
// Opens the options dialog once, lets `edit` change the web row, then OK.
void options(KelvaneFixture& f, const std::function<void(WebOptionsRow&)>& edit) {
    f.main->ShowOptions = [&edit](Opts& o) {
        auto* row = o.findChild<WebOptionsRow*>();
        QVERIFY(row);
        edit(*row);
        o.cmdOK->click();
    };
    f.main->OpenOptions(1, QString());
}
} // namespace

void TestWebOptions::offByDefault() {
    KelvaneFixture f;
    QVERIFY(f.ok());
    auto* server = f.main->findChild<WebServer*>();
    QVERIFY(server);
    QVERIFY(!server->isListening());
    QCOMPARE(server->token().size(), 32);
    bool shown = false;
    options(f, [&](WebOptionsRow& row) {
        QVERIFY(!row.WebOn->isChecked());
        QCOMPARE(row.WebUrl->text(), QStringLiteral("The web page is off."));
        shown = true;
    });
    QVERIFY(shown);
    // Nothing served: no token kept yet.
    f.stopMain();
    QVERIFY(!f.readHive()
                 ->RegGet(QString::fromLatin1(Registry::AppKeyName), QString(),
                          QStringLiteral("WEB_Token"), QString())
                 .isValid() ||
            f.readHive()
                ->RegGet(QString::fromLatin1(Registry::AppKeyName), QString(),
                         QStringLiteral("WEB_Token"), QString())
                .toString()
                .isEmpty());
}

void TestWebOptions::turnedOnFromTheDialog() {
    KelvaneFixture f;
    QVERIFY(f.ok());
    auto* server = f.main->findChild<WebServer*>();
    options(f, [](WebOptionsRow& row) {
        row.WebOn->setChecked(true);
        row.WebAt->setText(QStringLiteral("127.0.0.1:0"));
        row.WebRo->setChecked(true);
    });
    QVERIFY(server->isListening());
    QVERIFY(server->readOnly());
    QVERIFY(server->url().startsWith(QStringLiteral("http://127.0.0.1:")));
    QVERIFY(server->url().endsWith(QStringLiteral("/?token=") + server->token()));
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, server->serverPort());
    QVERIFY(probe.waitForConnected(2000));
    // Opened again: the address and its QR code.
    options(f, [server](WebOptionsRow& row) {
        QVERIFY(row.WebOn->isChecked());
        QCOMPARE(row.WebAt->text(), QStringLiteral("127.0.0.1:0"));
        QCOMPARE(row.WebUrl->text(), server->url());
        QVERIFY(!row.WebQr->pixmap().isNull());
    });
    const QString token = server->token();
    f.stopMain();
    const auto hive = f.readHive();
    const QString app = QString::fromLatin1(Registry::AppKeyName);
    QCOMPARE(hive->RegGet(app, QString(), QStringLiteral("WEB_Server"), 0).toInt(), 1);
    QCOMPARE(hive->RegGet(app, QString(), QStringLiteral("WEB_ServerAt"), QString()).toString(),
             QStringLiteral("127.0.0.1:0"));
    QCOMPARE(hive->RegGet(app, QString(), QStringLiteral("WEB_ReadOnly"), 0).toInt(), 1);
    // Served once: the token is kept, so the address the phone has goes on working.
    QCOMPARE(hive->RegGet(app, QString(), QStringLiteral("WEB_Token"), QString()).toString(),
             token);
    // The next start serves it again.
    QVERIFY(f.startMain());
    QVERIFY(f.main->findChild<WebServer*>()->isListening());
    QCOMPARE(f.main->findChild<WebServer*>()->token(), token);
}

void TestWebOptions::badAddressLeavesItOff() {
    KelvaneFixture f;
    QVERIFY(f.ok());
    auto* server = f.main->findChild<WebServer*>();
    QString error;
    QVERIFY(
        !f.main->findChild<WebRoom*>()->Apply(true, QStringLiteral("nowhere:80"), false, &error));
    QVERIFY(error.contains(QLatin1String("--web")));
    QVERIFY(!server->isListening());
    // A port someone else holds.
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::LocalHost));
    QVERIFY(!f.main->findChild<WebRoom*>()->Apply(true, QString::number(holder.serverPort()), false,
                                                  &error));
    QVERIFY2(error.contains(QLatin1String("cannot listen")), qPrintable(error));
    QVERIFY(!server->isListening());
}

void TestWebOptions::qrCode() {
    const QImage qr =
        QrImage(QStringLiteral("http://192.168.1.20:8535/?token=") + QString(32, u'a'), 2);
    QVERIFY(!qr.isNull());
    QCOMPARE(qr.width(), qr.height());
    // Four light modules of quiet zone, then the finder pattern's dark corner.
    QCOMPARE(qr.pixel(0, 0), qRgb(255, 255, 255));
    QCOMPARE(qr.pixel(8, 8), qRgb(0, 0, 0));
    QVERIFY(QrImage(QString(8000, u'x'), 2).isNull()); // too long for any QR code
}

QTEST_MAIN(TestWebOptions)
#include "tst_web_options.moc"
