#include "web/web_options.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>

#include <qrencode.h>

#include <memory>

QImage QrImage(const QString& text, int scale) {
    const QByteArray bytes = text.toUtf8();
    std::unique_ptr<QRcode, void (*)(QRcode*)> code(
        QRcode_encodeString(bytes.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), QRcode_free);
    if (!code || scale < 1) return {};
    constexpr int Quiet = 4;
    const int n = code->width;
    QImage image((n + 2 * Quiet) * scale, (n + 2 * Quiet) * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            if (code->data[y * n + x] & 1)
                p.fillRect((x + Quiet) * scale, (y + Quiet) * scale, scale, scale, Qt::black);
    return image;
}

WebOptionsRow::WebOptionsRow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("WebRow"));
    WebOn = new QCheckBox(QStringLiteral("&Web page"), this);
    WebOn->setObjectName(QStringLiteral("WebOn"));
    WebOn->setToolTip(QStringLiteral("Show and tune the receiver from a browser, on a phone or "
                                     "another computer"));
    WebAt = new QLineEdit(this);
    WebAt->setObjectName(QStringLiteral("WebAt"));
    WebAt->setPlaceholderText(QStringLiteral("127.0.0.1:8535"));
    WebAt->setToolTip(QStringLiteral("[ADDRESS:]PORT the page is served on; 0.0.0.0:PORT for "
                                     "other machines"));
    WebRo = new QCheckBox(QStringLiteral("Read-onl&y"), this);
    WebRo->setObjectName(QStringLiteral("WebRo"));
    WebRo->setToolTip(QStringLiteral("The page shows the receiver but cannot change it"));
    WebUrl = new QLabel(this);
    WebUrl->setObjectName(QStringLiteral("WebUrl"));
    WebUrl->setTextInteractionFlags(Qt::TextSelectableByMouse);
    WebUrl->setWordWrap(true);
    WebQr = new QLabel(this);
    WebQr->setObjectName(QStringLiteral("WebQr"));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(WebOn, 0, 0);
    grid->addWidget(WebAt, 0, 1);
    grid->addWidget(WebRo, 0, 2);
    grid->addWidget(WebUrl, 1, 0, 1, 3);
    grid->addWidget(WebQr, 2, 0, 1, 3, Qt::AlignLeft);
    ShowUrl(QString());
}

void WebOptionsRow::SetChoice(bool on, const QString& at, bool readOnly) {
    WebOn->setChecked(on);
    WebAt->setText(at);
    WebRo->setChecked(readOnly);
}

bool WebOptionsRow::On() const {
    return WebOn->isChecked();
}

QString WebOptionsRow::At() const {
    return WebAt->text().trimmed();
}

bool WebOptionsRow::ReadOnly() const {
    return WebRo->isChecked();
}

void WebOptionsRow::ShowUrl(const QString& url) {
    if (url.isEmpty()) {
        WebUrl->setText(QStringLiteral("The web page is off."));
        WebQr->clear();
        WebQr->hide();
        return;
    }
    WebUrl->setText(url);
    const QImage qr = QrImage(url, 3);
    WebQr->setPixmap(QPixmap::fromImage(qr));
    WebQr->setVisible(!qr.isNull());
}
