#include <ostry/serialline.h>

#include "rfc2217.h"

#include <ostry/protocol.h>

#include <QFileInfo>
#include <QHash>
#include <QMetaObject>
#include <QPointer>
#include <QSerialPort>
#include <QSet>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <cerrno>

#include <termios.h>
#include <unistd.h>

namespace ostry {

namespace {
// Every reply ends in a carriage return and nothing reads a line before its end, so let the
// terminal driver collect whole lines: the descriptor then turns readable once a line is
// complete instead of at every character, which at the receiver's pace is one wake-up every
// two milliseconds. No character is special but CR and LF (both end a line), so text, NUL and
// control bytes all arrive as sent; a line longer than the terminal's 4095 characters loses its
// excess, which the reply reader would drop anyway. False when the device is no terminal.
bool deliverWholeLines(int fd) {
    termios tio{};
    if (fd < 0 || !::isatty(fd) || ::tcgetattr(fd, &tio) != 0) return false;
    tio.c_lflag |= ICANON;
    tio.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN);
    tio.c_iflag &= ~tcflag_t(ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF | PARMRK);
    for (cc_t& c : tio.c_cc) c = _POSIX_VDISABLE;
    tio.c_cc[VEOL] = wire::Cr;
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

QHash<int, QString>& overrides() {
    static QHash<int, QString> map;
    return map;
}
QSet<int>& chosen() {
    static QSet<int> ports;
    return ports;
}
} // namespace

QString portDevice(int n) {
    const auto it = overrides().constFind(n);
    if (it != overrides().constEnd()) return *it;
    return defaultPortDevice(n);
}

QString defaultPortDevice(int n) {
    if (n >= 1 && n <= 4) return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    if (n >= 5 && n <= 8) return QStringLiteral("/dev/ttyUSB%1").arg(n - 5);
    return QString();
}

QString portName(int n) {
    return QStringLiteral("COM%1").arg(n);
}

void setPortDevice(int n, const QString& device) {
    if (device.isEmpty())
        overrides().remove(n);
    else
        overrides().insert(n, device);
}

void clearPortOverrides() {
    overrides().clear();
    chosen().clear();
}

void choosePortDevice(int n, const QString& device) {
    setPortDevice(n, device == defaultPortDevice(n) ? QString() : device);
    chosen().insert(n);
}

bool portDeviceChosen(int n) {
    return chosen().contains(n);
}

bool isNetworkAddress(const QString& device) {
    return device.contains(QLatin1String("://"));
}

bool parseNetworkAddress(const QString& address, QString* host, quint16* port, QString* error,
                         NetworkScheme* scheme) {
    const auto fail = [&](const QString& why) {
        if (error) *error = QStringLiteral("Invalid network address \"%1\": %2").arg(address, why);
        return false;
    };
    NetworkScheme s;
    QLatin1String prefix;
    if (address.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive)) {
        s = NetworkScheme::Tcp;
        prefix = QLatin1String("tcp");
    } else if (address.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive)) {
        s = NetworkScheme::Rfc2217;
        prefix = QLatin1String("rfc2217");
    } else {
        return fail(QStringLiteral("only tcp://HOST:PORT and rfc2217://HOST:PORT are understood"));
    }
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() ||
        !(url.path().isEmpty() || url.path() == QLatin1String("/")) || url.hasQuery() ||
        url.hasFragment())
        return fail(QStringLiteral("expected %1://HOST:PORT").arg(prefix));
    const int p = url.port(-1);
    if (p < 1 || p > 65535) return fail(QStringLiteral("the port must be 1 to 65535"));
    if (host) *host = url.host();
    if (port) *port = quint16(p);
    if (scheme) *scheme = s;
    return true;
}

bool parsePortMapping(const QString& text, int* n, QString* device, QString* error) {
    const qsizetype eq = text.indexOf(u'=');
    bool ok = false;
    const int num = eq > 0 ? text.left(eq).toInt(&ok) : 0;
    const QString dev = eq > 0 ? text.mid(eq + 1) : QString();
    if (!ok || num < 1 || num > 255 || dev.isEmpty()) {
        if (error)
            *error = QStringLiteral("--port expects N=DEVICE, N=tcp://HOST:PORT or "
                                    "N=rfc2217://HOST:PORT with N from 1 to 255, got \"%1\"")
                         .arg(text);
        return false;
    }
    if (isNetworkAddress(dev) && !parseNetworkAddress(dev, nullptr, nullptr, error)) return false;
    *n = num;
    *device = dev;
    return true;
}

bool applyPortOptions(QStringList& args, QString* error) {
    for (qsizetype i = 1; i < args.size();) {
        QString value;
        qsizetype used = 0;
        if (args[i] == QLatin1String("--port")) {
            if (i + 1 >= args.size()) {
                if (error) *error = QStringLiteral("--port needs N=DEVICE");
                return false;
            }
            value = args[i + 1];
            used = 2;
        } else if (args[i].startsWith(QLatin1String("--port="))) {
            value = args[i].mid(7);
            used = 1;
        } else {
            ++i;
            continue;
        }
        int n = 0;
        QString dev;
        if (!parsePortMapping(value, &n, &dev, error)) return false;
        setPortDevice(n, dev);
        args.remove(i, used);
    }
    return true;
}

QString portOptionHelp() {
    return QStringLiteral("--port N=DEVICE   use DEVICE as serial port N (COMN) for this run; "
                          "DEVICE may be tcp://HOST:PORT or rfc2217://HOST:PORT (a serial "
                          "server)");
}

SerialLine::SerialLine(QObject* parent)
    : QObject(parent), m_sp(new QSerialPort(this)), m_tcp(new QTcpSocket(this)),
      m_connectTimer(new QTimer(this)), m_straggler(new QTimer(this)), m_notify(new QTimer(this)),
      m_hold(new QTimer(this)) {
    m_sp->setReadBufferSize(m_inputBuffer);
    m_tcp->setReadBufferSize(m_inputBuffer);
    m_connectTimer->setSingleShot(true);
    m_connectTimer->setInterval(ConnectTimeoutMs);
    connect(m_connectTimer, &QTimer::timeout, this, [this] {
        dropTcp(QStringLiteral("No answer from the serial server at %1 (connection timed out)")
                    .arg(m_peer));
    });
    // The last one or two characters of a burst never reach the threshold on their own; they
    // are handed over once the line has been quiet for a moment instead of waiting for the
    // next reply to push them out.
    m_notify->setSingleShot(true);
    m_notify->setInterval(0);
    connect(m_notify, &QTimer::timeout, this, [this] {
        m_notifyQueued = false;
        if (m_threshold > 0 && bytesAvailable() >= m_threshold) emit received();
    });
    m_straggler->setSingleShot(true);
    m_straggler->setInterval(StragglerMs);
    connect(m_straggler, &QTimer::timeout, this, [this] {
        if (m_threshold > 0 && !m_notifyQueued && bytesAvailable() > 0) emit received();
    });
    m_hold->setSingleShot(true);
    m_hold->setTimerType(Qt::PreciseTimer);
    connect(m_hold, &QTimer::timeout, this, &SerialLine::releaseReading);
    connect(m_sp, &QSerialPort::readyRead, this, &SerialLine::onReadyRead);
    connect(m_sp, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { onError(int(e)); });
    connect(m_tcp, &QTcpSocket::readyRead, this, &SerialLine::onReadyRead);
    connect(m_tcp, &QTcpSocket::connected, this, &SerialLine::onTcpConnected);
    connect(m_tcp, &QTcpSocket::errorOccurred, this, &SerialLine::onTcpError);
    // A peer that closes without an error report still ends the connection.
    connect(m_tcp, &QTcpSocket::disconnected, this, &SerialLine::onTcpError);
}

SerialLine::~SerialLine() {
    close();
    if (m_inReadyRead) {
        // Destroyed from a handler of the device's own read signal: the device still has code
        // to run when the handler returns.
        for (QObject* io : {static_cast<QObject*>(m_sp), static_cast<QObject*>(m_tcp)}) {
            io->disconnect(this);
            io->setParent(nullptr);
            io->deleteLater();
        }
    }
}

bool SerialLine::setSettings(const QString& settings) {
    if (!Rfc2217Codec::parseSettings(settings, nullptr)) return false;
    m_settings = settings;
    return true;
}

void SerialLine::setInputBufferSize(int bytes) {
    m_inputBuffer = bytes > 0 ? bytes : DefaultInputBuffer;
    m_sp->setReadBufferSize(m_inputBuffer);
    m_tcp->setReadBufferSize(m_inputBuffer);
}

bool SerialLine::open() {
    if (isOpen()) return true;
    const QString dev = device();
    if (dev.isEmpty()) {
        m_error =
            QStringLiteral("Invalid port number: no device is known for %1").arg(portName(m_port));
        return false;
    }
    return isNetworkAddress(dev) ? openNetwork(dev) : openDevice(dev);
}

bool SerialLine::openNetwork(const QString& address) {
    QString host;
    quint16 port = 0;
    NetworkScheme scheme = NetworkScheme::Tcp;
    if (!parseNetworkAddress(address, &host, &port, &m_error, &scheme)) return false;
    m_peer = host.contains(u':') ? QStringLiteral("[%1]:%2").arg(host).arg(port)
                                 : QStringLiteral("%1:%2").arg(host).arg(port);
    m_error.clear();
    if (scheme == NetworkScheme::Rfc2217) {
        if (!m_telnet) m_telnet = std::make_unique<Rfc2217Codec>();
    } else {
        m_telnet.reset();
    }
    m_rx.clear();
    m_io = m_tcp;
    // Resolving and connecting run on the event loop; the outcome arrives as up() or lost().
    m_tcp->connectToHost(host, port);
    m_connectTimer->start();
    return true;
}

void SerialLine::onTcpConnected() {
    m_connectTimer->stop();
    // Commands are short and answered one by one: no batching delay.
    m_tcp->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_error.clear();
    if (m_telnet) {
        // The settings go out ahead of any command, so the server has the line set before the
        // first one reaches the receiver. The line counts as up now, as a raw connection does:
        // a server that never answers is a silent receiver, and one that refuses is dropped.
        Rfc2217Codec::Line line;
        Rfc2217Codec::parseSettings(m_settings, &line);
        m_tcp->write(m_telnet->start(line));
        m_tcp->flush();
    }
    emit up();
    notifyIfDue();
}

void SerialLine::onTcpError() {
    if (m_io != m_tcp) return;
    const bool wasUp = !m_connectTimer->isActive(); // the timer runs until connected
    QString why;
    switch (m_tcp->error()) {
    case QAbstractSocket::HostNotFoundError:
        why = QStringLiteral("The serial server's name in %1 does not resolve (host not found)")
                  .arg(m_peer);
        break;
    case QAbstractSocket::ConnectionRefusedError:
        why = QStringLiteral("The serial server at %1 refused the connection (is it running?)")
                  .arg(m_peer);
        break;
    case QAbstractSocket::RemoteHostClosedError:
        why = QStringLiteral("The serial server at %1 closed the connection").arg(m_peer);
        break;
    default:
        why = wasUp ? QStringLiteral("The connection to the serial server at %1 was lost: %2")
                          .arg(m_peer, m_tcp->errorString())
                    : QStringLiteral("Cannot connect to the serial server at %1: %2")
                          .arg(m_peer, m_tcp->errorString());
        break;
    }
    dropTcp(why);
}

void SerialLine::dropTcp(const QString& description) {
    if (m_io != m_tcp) return;
    m_io = nullptr;
    m_connectTimer->stop();
    m_straggler->stop();
    m_rx.clear();
    m_error = description;
    // Closing from inside the socket's own signal: abort is safe there; a new attempt starts
    // only from a later open().
    m_tcp->abort();
    emit lost(m_error);
}

bool SerialLine::openDevice(const QString& dev) {
    const QStringList f = m_settings.split(u',');
    m_sp->setPortName(dev);
    m_sp->setBaudRate(f[0].trimmed().toInt());
    switch (f[1].trimmed().toUpper().at(0).toLatin1()) {
    case 'E':
        m_sp->setParity(QSerialPort::EvenParity);
        break;
    case 'O':
        m_sp->setParity(QSerialPort::OddParity);
        break;
    case 'M':
        m_sp->setParity(QSerialPort::MarkParity);
        break;
    case 'S':
        m_sp->setParity(QSerialPort::SpaceParity);
        break;
    default:
        m_sp->setParity(QSerialPort::NoParity);
        break;
    }
    m_sp->setDataBits(QSerialPort::DataBits(f[2].trimmed().toInt()));
    const QString stop = f[3].trimmed();
    m_sp->setStopBits(stop == QLatin1String("2")     ? QSerialPort::TwoStop
                      : stop == QLatin1String("1.5") ? QSerialPort::OneAndHalfStop
                                                     : QSerialPort::OneStop);
    m_sp->setFlowControl(QSerialPort::NoFlowControl);
    if (m_sp->open(QIODevice::ReadWrite)) {
        m_error.clear();
        m_sp->clearError();
        m_io = m_sp;
        deliverWholeLines(int(m_sp->handle()));
        return true;
    }
    switch (m_sp->error()) {
    case QSerialPort::DeviceNotFoundError:
        m_error = QStringLiteral("Device %1 not found (adapter unplugged?)").arg(dev);
        break;
    case QSerialPort::PermissionError:
        m_error = QStringLiteral("Cannot open %1: in use by another program, or no permission "
                                 "(is the user in the dialout group?) - %2")
                      .arg(dev, m_sp->errorString());
        break;
    default:
        m_error = QStringLiteral("Cannot open %1: %2").arg(dev, m_sp->errorString());
        break;
    }
    m_sp->clearError();
    return false;
}

void SerialLine::close() {
    m_straggler->stop();
    dropHeld();
    if (m_io == m_tcp) {
        m_io = nullptr;
        m_connectTimer->stop();
        m_rx.clear();
        // The "I0"/"H0" of a disconnect still go out before the connection ends.
        if (m_tcp->state() == QAbstractSocket::ConnectedState && m_tcp->bytesToWrite() > 0)
            m_tcp->waitForBytesWritten(100);
        m_tcp->abort();
        return;
    }
    if (!m_sp->isOpen()) return;
    m_io = nullptr;
    // Commands written just before closing (the "I0"/"H0" of a disconnect) still go out.
    if (m_sp->bytesToWrite() > 0) m_sp->waitForBytesWritten(100);
    m_sp->close();
    m_sp->clearError();
}

bool SerialLine::isOpen() const {
    return m_io != nullptr;
}

bool SerialLine::isUp() const {
    if (m_io == m_tcp) return m_tcp->state() == QAbstractSocket::ConnectedState;
    return m_io != nullptr;
}

bool SerialLine::isNetwork() const {
    return m_io != nullptr && m_io == m_tcp;
}

void SerialLine::setReceiveThreshold(int n) {
    m_threshold = n < 0 ? 0 : n;
    notifyIfDue();
}

qint64 SerialLine::bytesAvailable() const {
    if (!isUp()) return 0;
    if (m_io == m_sp) return m_held.size() + m_sp->bytesAvailable();
    return m_telnet ? m_rx.size() : m_io->bytesAvailable();
}

QByteArray SerialLine::readAll() {
    if (!isUp()) return QByteArray();
    if (m_io == m_sp) {
        // A hold keeps the port from reading, not a caller who asks.
        if (holding())
            takeWaiting();
        else
            m_held += m_sp->readAll();
        QByteArray data;
        data.swap(m_held);
        return data;
    }
    if (!m_telnet) return m_io->readAll();
    QByteArray out;
    out.swap(m_rx);
    // What the socket still holds is decoded on the next pass, as a device's read buffer
    // refills once read.
    if (m_tcp->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &SerialLine::onReadyRead, Qt::QueuedConnection);
    return out;
}

bool SerialLine::write(const QByteArray& data) {
    // Nothing is queued while a connection is still being made: a command sent then would
    // reach the receiver long after its caller gave up waiting for the answer.
    if (!isUp()) return false;
    const QByteArray wire = m_io == m_tcp && m_telnet ? Rfc2217Codec::escape(data) : data;
    QByteArray rest = wire;
    // The device is full (it takes bytes at the line's pace): the port's write notifier sends
    // the rest once it has room. Pushing then would meet the same full device, which the port
    // reports as a lost resource.
    bool deviceFull = m_io == m_sp && m_sp->bytesToWrite() > 0;
    if (m_io == m_sp && !deviceFull) {
        // Nothing waits in the port's buffer, so the descriptor takes the bytes directly: the
        // port would otherwise arm its write notifier and spend two passes of the event loop
        // on every command. What the device does not take, or an error, goes the usual way.
        const ssize_t n = ::write(int(m_sp->handle()), wire.constData(), size_t(wire.size()));
        if (n == wire.size()) return true;
        if (n > 0) rest = wire.mid(n);
        deviceFull = n > 0 || errno == EAGAIN || errno == EWOULDBLOCK;
    }
    if (m_io->bytesToWrite() + rest.size() > MaxWriteQueue) {
        m_error = QStringLiteral("The line is not carrying what was sent (%1 bytes wait to go "
                                 "out); the command was dropped")
                      .arg(m_io->bytesToWrite());
        return false;
    }
    if (m_io->write(rest) != rest.size()) {
        m_error = m_io->errorString();
        return false;
    }
    // Push now rather than on the next event loop pass; the rest follows on the notifier.
    if (m_io == m_tcp)
        m_tcp->flush();
    else if (!deviceFull)
        m_sp->flush();
    return isUp();
}

qint64 SerialLine::bytesToWrite() const {
    return m_io ? m_io->bytesToWrite() : 0;
}

void SerialLine::onReadyRead() {
    if (m_io == m_tcp && m_telnet) pumpTelnet();
    if (m_threshold <= 0 || m_notifyQueued || bytesAvailable() < m_threshold) {
        notifyIfDue();
        return;
    }
    // Straight from the device's notification, which is a pass of the event loop of its own:
    // a line costs one pass instead of two. The handler may destroy this line; the device whose
    // signal is running then outlives it until the loop is back (see the destructor).
    m_straggler->stop();
    QPointer<SerialLine> self(this);
    m_inReadyRead = true;
    emit received();
    if (self) m_inReadyRead = false;
}

void SerialLine::pumpTelnet() {
    // Never more than the input buffer has room for: the rest stays in the socket and holds the
    // server back, as a full read buffer holds back a device.
    while (isUp() && m_rx.size() < m_inputBuffer && m_tcp->bytesAvailable() > 0) {
        const QByteArray raw = m_tcp->read(m_inputBuffer - m_rx.size());
        if (raw.isEmpty()) break;
        m_telnet->feed(raw.constData(), raw.size(), &m_rx);
        const QByteArray replies = m_telnet->takeReplies();
        if (!replies.isEmpty()) {
            m_tcp->write(replies);
            m_tcp->flush();
        }
        const QString problem = m_telnet->problem();
        if (!problem.isEmpty()) {
            dropTcp(QStringLiteral("The serial server at %1 %2").arg(m_peer, problem));
            return;
        }
    }
}

QSocketNotifier* SerialLine::readNotifier() const {
    // The port reads its descriptor whenever it turns readable, one line at a time on a
    // terminal; switching off its read notifier is the only way to keep it from doing so.
    for (QSocketNotifier* n : m_sp->findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly))
        if (n->type() == QSocketNotifier::Read) return n;
    return nullptr;
}

bool SerialLine::holdReading(int ms) {
    if (m_io != m_sp || ms <= 0) return false;
    if (!m_holding) {
        QSocketNotifier* n = readNotifier();
        if (!n) return false;
        n->setEnabled(false);
        m_holding = true;
    }
    m_hold->start(ms);
    return true;
}

bool SerialLine::holding() const {
    return m_holding;
}

void SerialLine::releaseReading() {
    if (!m_holding) return;
    m_holding = false;
    m_hold->stop();
    if (m_io != m_sp) return;
    takeWaiting();
    if (QSocketNotifier* n = readNotifier()) n->setEnabled(true);
    notifyIfDue();
}

void SerialLine::takeWaiting() {
    // Behind whatever the port had read already. Reading the port's buffer switches its
    // notifier back on, so that happens only when the buffer holds something. A terminal hands
    // over one line per read. An error is left for the port's own reading to find and report.
    if (m_sp->bytesAvailable() > 0) {
        m_held += m_sp->readAll();
        if (holding())
            if (QSocketNotifier* n = readNotifier()) n->setEnabled(false);
    }
    const int fd = int(m_sp->handle());
    char buf[256];
    while (m_held.size() < MaxHeldBytes) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        m_held.append(buf, n);
    }
}

void SerialLine::dropHeld() {
    m_hold->stop();
    m_holding = false;
    m_held.clear();
}

void SerialLine::notifyIfDue() {
    if (m_threshold <= 0 || m_notifyQueued || !isUp()) return;
    if (bytesAvailable() < m_threshold) {
        if (bytesAvailable() > 0) m_straggler->start();
        return;
    }
    m_straggler->stop();
    // Always through the event loop, never from inside the caller (the handler switches the
    // threshold back on at its end). A zero timer rather than a posted call: it needs no
    // wake-up of the loop, which is already running.
    m_notifyQueued = true;
    m_notify->start();
}

void SerialLine::onError(int error) {
    const auto e = QSerialPort::SerialPortError(error);
    if (e != QSerialPort::ResourceError && e != QSerialPort::ReadError) return;
    if (!m_sp->isOpen()) return;
    // A vanished device keeps its descriptor readable forever: close instead of spinning.
    m_error = QStringLiteral("Device %1 was lost (adapter unplugged or line closed)")
                  .arg(m_sp->portName());
    m_io = nullptr;
    m_straggler->stop();
    dropHeld();
    m_sp->close();
    m_sp->clearError();
    emit lost(m_error);
}

} // namespace ostry
