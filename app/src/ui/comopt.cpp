#include "ui/comopt.h"

#include "settings/registry.h"
#include "settings/settings.h"

#include <ostry/serialline.h>

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <cerrno>
#include <cmath>
#include <unistd.h>

namespace {
constexpr int FirstPort = 1;
constexpr int LastPort = 8;
const QString PortPrefix = QStringLiteral("COM");
const char* const Speeds[] = {"2400", "4800", "9600", "19200"};
} // namespace

ComOpt::ComOpt(Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
    setWindowTitle(QStringLiteral("Port Properties"));
    PortLbl = new QLabel(QStringLiteral("Port:"), this);
    Port = new QComboBox(this);
    Port->setToolTip(QStringLiteral("Set serial port"));
    Port->setMinimumContentsLength(22);
    FrmComSpd = new QGroupBox(QStringLiteral("ComSpeed"), this);
    auto* speeds = new QHBoxLayout(FrmComSpd);
    for (int i = 0; i < 4; ++i) {
        ComSpd[size_t(i)] = new QRadioButton(QString::fromLatin1(Speeds[i]), FrmComSpd);
        speeds->addWidget(ComSpd[size_t(i)]);
        connect(ComSpd[size_t(i)], &QRadioButton::clicked, this, [this, i] { ComSpd_Click(i); });
    }
    OK = new QPushButton(QStringLiteral("&OK"), this);
    Cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    OK->setDefault(true);
    Note = new QLabel(this);
    Note->setWordWrap(true);
    Note->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* grid = new QGridLayout(this);
    grid->addWidget(PortLbl, 0, 0);
    grid->addWidget(Port, 0, 1, 1, 2);
    grid->addWidget(FrmComSpd, 1, 0, 1, 3);
    grid->addWidget(Note, 2, 0, 1, 3);
    grid->addWidget(OK, 3, 1);
    grid->addWidget(Cancel, 3, 2);

    connect(OK, &QPushButton::clicked, this, &ComOpt::OK_Click);
    connect(Cancel, &QPushButton::clicked, this, &ComOpt::Cancel_Click);
    connect(Port, &QComboBox::currentIndexChanged, this, &ComOpt::showNote);
    Fill();
}

bool ComOpt::ClosesAtOnce(const Settings& settings, bool requested) {
    return settings.COM_Port >= 1 && !requested;
}

ComOpt::Status ComOpt::PortStatus(int n) {
    const QString device = ostry::portDevice(n);
    if (device.isEmpty() || !QFileInfo::exists(device)) return Absent;
    const QByteArray path = QFile::encodeName(device);
    if (::access(path.constData(), R_OK | W_OK) != 0)
        return errno == EACCES || errno == EPERM ? NoPermission : Absent;
    // Open and close at once, as the serial layer would: a port that another program (or this
    // one) holds refuses the exclusive open.
    QSerialPort probe;
    probe.setPortName(device);
    if (probe.open(QIODevice::ReadWrite)) {
        probe.close();
        return Free;
    }
    switch (probe.error()) {
    case QSerialPort::PermissionError:
        return InUse;
    default:
        return Absent; // e.g. a ttyS node without a UART behind it
    }
}

QString ComOpt::StatusAdvice(int n, Status status, bool configured) {
    const QString name = ostry::portName(n);
    const QString device = ostry::portDevice(n);
    switch (status) {
    case Free:
        return QString();
    case Absent:
        return QStringLiteral("%1 (%2) is not present. Plug in the adapter, or map the port with "
                              "--port %3=DEVICE.")
            .arg(name, device.isEmpty() ? QStringLiteral("no device") : device)
            .arg(n);
    case InUse:
        if (configured) return QStringLiteral("%1 (%2) is open in this program.").arg(name, device);
        return QStringLiteral("%1 (%2) is in use by another program. Close that program first.")
            .arg(name, device);
    case NoPermission:
        return QStringLiteral("%1 (%2): permission denied. Add your user to the \"dialout\" group "
                              "(sudo usermod -aG dialout $USER), then log out and in again.")
            .arg(name, device);
    }
    return QString();
}

void ComOpt::Fill() {
    remembered_ = settings_.COM_Port;
    Port->blockSignals(true);
    Port->clear();
    bool any = false;
    for (int n = FirstPort; n <= LastPort; ++n) {
        const QString name = ostry::portName(n);
        const Status s = PortStatus(n);
        status_[size_t(n)] = s;
        const bool configured = n == settings_.COM_Port;
        if (s == Absent && !configured) continue;
        QString text = name;
        if (s == InUse) text += configured ? QStringLiteral("=") : QStringLiteral("*");
        const QString device = ostry::portDevice(n);
        if (!device.isEmpty()) text += QStringLiteral("  (") + device + QLatin1Char(')');
        Port->addItem(text, n);
        any = true;
    }
    OK->setEnabled(any);
    const QString wanted = ostry::portName(settings_.COM_Port);
    for (int i = 0; i < Port->count() && i < 8; ++i) {
        const QString entry = Port->itemText(i);
        // "COM1" must not pick "COM1x": compare the name part only.
        if (entry.section(QLatin1Char(' '), 0, 0)
                .remove(QLatin1Char('*'))
                .remove(QLatin1Char('=')) == wanted) {
            Port->setCurrentIndex(i);
            break;
        }
    }
    Port->blockSignals(false);
    if (!any)
        Note->setText(QStringLiteral("No serial port was found."));
    else
        showNote();

    const double speed = Registry::LenientNumber(settings_.COM_Speed);
    for (auto* button : ComSpd) button->setAutoExclusive(false), button->setChecked(false);
    if (speed >= 2400) {
        const int index = int(std::log(speed / 2400) / std::log(2.0));
        if (index >= 0 && index < 4) ComSpd[size_t(index)]->setChecked(true);
    }
    for (auto* button : ComSpd) button->setAutoExclusive(true);
}

void ComOpt::showNote() {
    const int n = Port->currentData().toInt();
    if (n < FirstPort || n > LastPort) {
        Note->clear();
        return;
    }
    Note->setText(StatusAdvice(n, status_[size_t(n)], n == settings_.COM_Port));
}

void ComOpt::ComSpd_Click(int index) {
    settings_.COM_Speed = QString::fromLatin1(Speeds[index]);
}

void ComOpt::OK_Click() {
    const QString text = Port->currentText();
    // The marks "*" and "=" and the device end the number.
    settings_.COM_Port = int(Registry::LenientNumber(text.mid(PortPrefix.size())));
    accept();
}

void ComOpt::Cancel_Click() {
    settings_.COM_Port = remembered_;
    reject();
}
