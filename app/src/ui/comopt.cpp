#include "ui/comopt.h"

#include "settings/registry.h"
#include "settings/settings.h"

#include <ostry/serialline.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QPushButton>
#include <QRadioButton>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int FirstPort = 1;
constexpr int LastPort = 8;
const QString PortPrefix = QStringLiteral("COM");
const char* const Speeds[] = {"2400", "4800", "9600", "19200"};
} // namespace

ComOpt::ComOpt(Settings& settings, QWidget* parent, int preferred)
    : QDialog(parent), settings_(settings), preferred_(preferred) {
    setWindowTitle(QStringLiteral("Port Properties"));
    if (settings.WIN_OnTop) setWindowFlag(Qt::WindowStaysOnTopHint, true);
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
    DeviceLbl = new QLabel(QStringLiteral("Device:"), this);
    Device = new QLineEdit(this);
    Device->setToolTip(QStringLiteral("Device or serial server (tcp://HOST:PORT, or "
                                      "rfc2217://HOST:PORT to set the line) of the port"));
    Note = new QLabel(this);
    Note->setWordWrap(true);
    Note->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* grid = new QGridLayout(this);
    grid->addWidget(PortLbl, 0, 0);
    grid->addWidget(Port, 0, 1, 1, 2);
    grid->addWidget(DeviceLbl, 1, 0);
    grid->addWidget(Device, 1, 1, 1, 2);
    grid->addWidget(FrmComSpd, 2, 0, 1, 3);
    grid->addWidget(Note, 3, 0, 1, 3);
    grid->addWidget(OK, 4, 1);
    grid->addWidget(Cancel, 4, 2);

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
    // A serial server is reached when the link connects; probing it here would wait on the
    // network.
    if (ostry::isNetworkAddress(device)) return Free;
    if (device.isEmpty() || !QFileInfo::exists(device)) return Absent;
    const QByteArray path = QFile::encodeName(device);
    if (::access(path.constData(), R_OK | W_OK) != 0)
        return errno == EACCES || errno == EPERM ? NoPermission : Absent;
    // Another program's lock file marks the port as taken without touching the line.
    if (HeldByLockFile(device)) return InUse;
    // Open without configuring the line: no settings applied, no handshake lines driven by us,
    // and a port held exclusively refuses the open.
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EBUSY) return InUse;
        if (errno == EACCES || errno == EPERM) return NoPermission;
        return Absent; // e.g. a ttyS node without a UART behind it
    }
    const bool terminal = ::isatty(fd);
    ::close(fd);
    return terminal ? Free : Absent;
}

bool ComOpt::HeldByLockFile(const QString& device) {
    // The serial layer locks a port with a "LCK.." file in the first usable lock folder.
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/"))) name = name.mid(5);
    const QStringList names{name.replace(QLatin1Char('/'), QLatin1Char('_')),
                            QFileInfo(device).fileName()};
    const QStringList folders{QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"),
                              QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
                              QDir::tempPath()};
    for (const QString& folder : folders) {
        for (const QString& n : names) {
            const QString lock = folder + QStringLiteral("/LCK..") + n;
            if (!QFileInfo::exists(lock)) continue;
            QLockFile file(lock);
            qint64 pid = 0;
            QString host;
            QString app;
            if (file.getLockInfo(&pid, &host, &app) && pid > 0 &&
                (::kill(pid_t(pid), 0) == 0 || errno == EPERM))
                return true;
        }
    }
    return false;
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
    // Only the configured port is preselected (or the one given for this run); otherwise the
    // operator chooses.
    Port->setCurrentIndex(-1);
    const int selected = settings_.COM_Port >= FirstPort ? settings_.COM_Port : preferred_;
    const QString wanted = selected >= FirstPort ? ostry::portName(selected) : QString();
    for (int i = 0; i < Port->count() && i < 8 && !wanted.isEmpty(); ++i) {
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
    OK->setEnabled(Port->currentIndex() >= 0);
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
    OK->setEnabled(Port->currentIndex() >= 0);
    const int n = Port->currentData().toInt();
    Device->setEnabled(n >= FirstPort && n <= LastPort);
    Device->setText(Device->isEnabled() ? ostry::portDevice(n) : QString());
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
    if (Port->currentIndex() < 0) return;
    const int n = Port->currentData().toInt();
    const QString device = Device->text().trimmed();
    if (!device.isEmpty()) {
        QString error;
        if (ostry::isNetworkAddress(device)
                ? !ostry::parseNetworkAddress(device, nullptr, nullptr, &error)
                : !device.startsWith(QLatin1Char('/'))) {
            Note->setText(error.isEmpty() ? QStringLiteral("A device is a path such as "
                                                           "/dev/ttyUSB0, tcp://HOST:PORT or "
                                                           "rfc2217://HOST:PORT")
                                          : error);
            return;
        }
        // Confirmed here, so kept for the next runs too (a --port mapping included).
        ostry::choosePortDevice(n, device);
    }
    const QString text = Port->currentText();
    // The marks "*" and "=" and the device end the number.
    settings_.COM_Port = int(Registry::LenientNumber(text.mid(PortPrefix.size())));
    accept();
}

void ComOpt::Cancel_Click() {
    settings_.COM_Port = remembered_;
    reject();
}
