#pragma once

// The web page's row on the options dialog's General tab: the switch, the address it listens
// on, read-only, and while it runs the page's address with the token and its QR code, so a
// phone's camera can open it.

#include <QImage>
#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;

class WebOptionsRow : public QWidget {
    Q_OBJECT
public:
    explicit WebOptionsRow(QWidget* parent = nullptr);

    void SetChoice(bool on, const QString& at, bool readOnly);
    bool On() const;
    QString At() const;
    bool ReadOnly() const;
    // The running page's address (empty: off); shown as text and as a QR code.
    void ShowUrl(const QString& url);

    QCheckBox* WebOn;
    QLineEdit* WebAt;
    QCheckBox* WebRo;
    QLabel* WebUrl;
    QLabel* WebQr;
};

// The QR code of text, `scale` pixels a module with a four-module quiet zone; a null image when
// the text does not fit a QR code.
QImage QrImage(const QString& text, int scale);
