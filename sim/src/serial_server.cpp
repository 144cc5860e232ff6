#include <nrd535sim/serial_server.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

namespace nrd535sim {

namespace {
QString program() {
    QString path = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(
            QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return path;
}

// Whether something listens on the local TCP port (IPv4), read from the kernel's table: a probe
// connection would make ser2net open the device.
bool listening(quint16 port) {
    QFile f(QStringLiteral("/proc/net/tcp"));
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray want = QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> f2 = line.simplified().split(' ');
        if (f2.size() < 4) continue;
        // local address "0100007F:1F90", state 0A = LISTEN
        if (f2[1].endsWith(":" + want) && f2[3] == "0A") return true;
    }
    return false;
}
} // namespace

SerialServer::SerialServer(QObject* parent) : QObject(parent) {}

SerialServer::~SerialServer() {
    stop();
    delete m_dir;
}

bool SerialServer::available() {
    return !program().isEmpty();
}

quint16 SerialServer::freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}

bool SerialServer::start(const QString& device, int baud, quint16 port, QString* error) {
    stop();
    const QString exe = program();
    if (exe.isEmpty()) {
        if (error) *error = QStringLiteral("ser2net is not installed");
        return false;
    }
    if (!m_dir) m_dir = new QTemporaryDir;
    m_port = port ? port : freePort();
    const QString config = m_dir->filePath(QStringLiteral("ser2net.yaml"));
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error) *error = QStringLiteral("cannot write %1").arg(config);
        return false;
    }
    const char* const filter = m_accepter == Accepter::Rfc2217  ? "telnet(rfc2217),"
                               : m_accepter == Accepter::Telnet ? "telnet,"
                                                                : "";
    // "local": a pseudo-terminal has no modem lines to wait for.
    f.write(QStringLiteral("%YAML 1.1\n---\n"
                           "connection: &receiver\n"
                           "  accepter: %4tcp,127.0.0.1,%1\n"
                           "  connector: serialdev,%2,%3n81,local\n"
                           "  options:\n"
                           "    kickolduser: true\n")
                .arg(m_port)
                .arg(device)
                .arg(baud)
                .arg(QLatin1String(filter))
                .toUtf8());
    f.close();
    m_proc = new QProcess(this);
    m_proc->setStandardOutputFile(QProcess::nullDevice());
    m_proc->setStandardErrorFile(QProcess::nullDevice());
    // -n: stay in the foreground; -u: no UUCP lock files; -P: a pid file of our own.
    m_proc->start(exe, {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"), config,
                        QStringLiteral("-P"), m_dir->filePath(QStringLiteral("ser2net.pid"))});
    if (!m_proc->waitForStarted(5000)) {
        if (error) *error = QStringLiteral("ser2net did not start: %1").arg(m_proc->errorString());
        stop();
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!listening(m_port)) {
        if (m_proc->state() != QProcess::Running || deadline.hasExpired()) {
            if (error) *error = QStringLiteral("ser2net does not listen on port %1").arg(m_port);
            stop();
            return false;
        }
        QThread::msleep(10);
    }
    return true;
}

void SerialServer::stop() {
    if (!m_proc) return;
    if (m_proc->state() != QProcess::NotRunning) {
        m_proc->terminate();
        if (!m_proc->waitForFinished(5000)) {
            m_proc->kill();
            m_proc->waitForFinished(5000);
        }
    }
    delete m_proc;
    m_proc = nullptr;
}

bool SerialServer::isRunning() const {
    return m_proc && m_proc->state() == QProcess::Running;
}

QString SerialServer::address() const {
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(m_accepter == Accepter::Raw ? QLatin1String("tcp") : QLatin1String("rfc2217"))
        .arg(m_port);
}

} // namespace nrd535sim
