#include "net/rigctl_server.h"

#include <ostry/nrd535.h>

#include <QTcpServer>
#include <QTcpSocket>

using namespace rigctl;

namespace {
// A client that sends faster than it reads its answers is not read from until they drain.
constexpr qint64 MaxUnsentBytes = 64 * 1024;
constexpr std::size_t MaxQueuedLines = 64;
constexpr qint64 SocketReadBuffer = 4096;
} // namespace

RigctlServer::RigctlServer(Nrd535& rx, Panel& panel, QObject* parent)
    : QObject(parent), m_rx(rx), m_panel(panel), m_server(new QTcpServer(this)) {
    m_server->setMaxPendingConnections(64);
    connect(m_server, &QTcpServer::newConnection, this, &RigctlServer::onNewConnection);
}

RigctlServer::~RigctlServer() {
    close();
}

bool RigctlServer::listen(const QHostAddress& address, quint16 port, QString* error) {
    if (m_server->isListening()) m_server->close();
    if (m_server->listen(address, port)) return true;
    if (error)
        *error = QStringLiteral("The rig-control server cannot listen on %1:%2: %3")
                     .arg(address.toString())
                     .arg(port)
                     .arg(m_server->errorString());
    return false;
}

void RigctlServer::close() {
    m_server->close();
    const QList<Client*> clients = m_clients;
    for (Client* c : clients)
        if (c->socket) c->socket->abort();
    for (Client* c : m_clients) {
        if (c->socket) c->socket->deleteLater();
        delete c;
    }
    const bool had = !m_clients.isEmpty();
    m_clients.clear();
    if (had) emit clientCountChanged(0);
}

bool RigctlServer::isListening() const {
    return m_server->isListening();
}

QHostAddress RigctlServer::serverAddress() const {
    return m_server->serverAddress();
}

quint16 RigctlServer::serverPort() const {
    return m_server->serverPort();
}

void RigctlServer::onNewConnection() {
    while (QTcpSocket* s = m_server->nextPendingConnection()) {
        if (m_clients.size() >= MaxClients) {
            s->abort();
            s->deleteLater();
            continue;
        }
        s->setReadBufferSize(SocketReadBuffer);
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto* c = new Client;
        c->socket = s;
        m_clients.append(c);
        connect(s, &QTcpSocket::readyRead, this, [this, s] {
            if (Client* c = clientOf(s)) readFrom(c);
        });
        // Answers drained: read what waited meanwhile.
        connect(s, &QTcpSocket::bytesWritten, this, [this, s] {
            if (Client* c = clientOf(s)) readFrom(c);
        });
        connect(s, &QTcpSocket::disconnected, this, [this, s] { drop(s); });
        emit clientCountChanged(int(m_clients.size()));
        // Something may have arrived with the connection.
        if (s->bytesAvailable() > 0) readFrom(c);
    }
}

RigctlServer::Client* RigctlServer::clientOf(QObject* socket) {
    for (Client* c : m_clients)
        if (c->socket == socket) return c;
    return nullptr;
}

void RigctlServer::drop(QTcpSocket* socket) {
    for (qsizetype i = 0; i < m_clients.size(); ++i) {
        if (m_clients[i]->socket != socket) continue;
        delete m_clients[i];
        m_clients.removeAt(i);
        socket->deleteLater();
        emit clientCountChanged(int(m_clients.size()));
        return;
    }
}

void RigctlServer::readFrom(Client* c) {
    QTcpSocket* s = c->socket;
    if (!s || c->quitting) return;
    while (s->bytesAvailable() > 0 && c->lines.size() < MaxQueuedLines &&
           s->bytesToWrite() < MaxUnsentBytes) {
        char buf[512];
        const qint64 n = s->read(buf, sizeof buf);
        if (n <= 0) break;
        c->reader.feed(buf, std::size_t(n), [c](const LineReader::Line& line) {
            c->lines.emplace_back(line.text);
            c->tooLong.push_back(line.tooLong);
        });
    }
    drain();
}

void RigctlServer::drain() {
    // A write may run the event loop (the filter setter does); requests arriving meanwhile are
    // queued and answered by this loop, in order, never from inside another answer.
    if (m_draining) return;
    m_draining = true;
    bool progress = true;
    while (progress) {
        progress = false;
        const QList<Client*> clients = m_clients;
        for (Client* c : clients) {
            if (!m_clients.contains(c)) continue;
            if (c->lines.empty() || !c->socket || c->quitting) continue;
            const std::string line = std::move(c->lines.front());
            const bool tooLong = c->tooLong.front();
            c->lines.pop_front();
            c->tooLong.pop_front();
            answer(c, line, tooLong);
            progress = true;
        }
    }
    m_draining = false;
    // Lines held back while the queues were full.
    const QList<Client*> clients = m_clients;
    for (Client* c : clients)
        if (m_clients.contains(c) && c->socket && c->socket->bytesAvailable() > 0 &&
            c->lines.size() < MaxQueuedLines && c->socket->bytesToWrite() < MaxUnsentBytes)
            QMetaObject::invokeMethod(
                this,
                [this, s = QPointer<QTcpSocket>(c->socket)] {
                    if (Client* again = clientOf(s)) readFrom(again);
                },
                Qt::QueuedConnection);
}

void RigctlServer::answer(Client* c, const std::string& line, bool tooLong) {
    QPointer<QTcpSocket> s = c->socket;
    if (tooLong) {
        s->write(report(ProtocolError));
        return;
    }
    const Request r = parseRequest(line);
    QByteArray out;
    switch (r.command) {
    case Command::Empty:
        return;
    case Command::Unknown:
        out = report(NotImplemented);
        break;
    case Command::Malformed:
        out = report(r.error);
        break;
    case Command::Quit:
        c->quitting = true;
        s->write(report(Ok));
        s->disconnectFromHost();
        return;
    case Command::SetFreq:
    case Command::SetMode:
    case Command::SetVfo:
        out = report(write(r));
        break;
    default:
        out = read(r);
        break;
    }
    // The client may have gone while a write ran the event loop.
    if (s && s->state() == QAbstractSocket::ConnectedState) {
        s->write(out);
        // Out now rather than on the next pass of the event loop: one wake-up less per answer.
        s->flush();
    }
}

QByteArray RigctlServer::read(const Request& r) const {
    const ostry::ReceiverState& st = m_rx.state();
    const bool connected = m_panel.State().Connected;
    switch (r.command) {
    case Command::GetFreq:
        if (!connected || st.Fr < 0) return report(IoError);
        return QByteArray::number(qint64(st.Fr)) + '\n';
    case Command::GetMode:
        if (!connected || st.MD < 0 || *modeName(st.MD) == 0) return report(IoError);
        {
            // While held, status reports leave FT alone; the filter they show still counts.
            const qint32 ft = st.FT >= 0 ? st.FT : st.ReportedFT;
            return QByteArray(modeName(st.MD)) + '\n' + QByteArray::number(qint64(passbandOf(ft))) +
                   '\n';
        }
    case Command::GetLevel:
        if (r.name != "STRENGTH") return report(NotImplemented);
        if (!connected || st.SM < 0) return report(IoError);
        return QByteArray::number(strengthOf(st.SM)) + '\n';
    case Command::GetVfo:
        return QByteArrayLiteral("VFOA\n");
    case Command::GetPtt:
        return QByteArrayLiteral("0\n"); // a receiver never transmits
    case Command::GetSplitVfo:
        return QByteArrayLiteral("0\nVFOA\n");
    case Command::GetPowerstat:
        return connected ? QByteArrayLiteral("1\n") : QByteArrayLiteral("0\n");
    case Command::ChkVfo:
        return QByteArrayLiteral("0\n");
    case Command::GetLockMode:
        return QByteArrayLiteral("0\n");
    case Command::DumpState:
        return dumpState();
    default:
        return report(NotImplemented);
    }
}

Status RigctlServer::writeAllowed() const {
    const ProgramState& ps = m_panel.State();
    if (!ps.Connected) return IoError;
    if (!ps.RemoteHeld || ps.PanelLocked || ps.Scanning()) return Rejected;
    return Ok;
}

Status RigctlServer::write(const Request& r) {
    if (r.command == Command::SetVfo) {
        // One VFO: naming it (or the current one) is fine, anything else is not there.
        static const char* const names[] = {"VFOA", "VFO", "currVFO", "Main", "MainA"};
        for (const char* n : names)
            if (r.name == n) return Ok;
        return InvalidArgument;
    }
    const Status allowed = writeAllowed();
    if (allowed != Ok) return allowed;
    if (r.command == Command::SetFreq) {
        m_panel.TuneTo(r.hz, true, true, true);
        return Ok;
    }
    m_panel.ShowMode(r.mode, true);
    // 0 asks for the mode's usual passband and -1 for no change: the operator's filter stays.
    if (r.passband > 0) m_panel.ShowFilter(filterFor(r.passband), true);
    return Ok;
}

bool parseRigctldOption(const QString& value, QHostAddress* address, quint16* port,
                        QString* error) {
    QHostAddress a(QHostAddress::LocalHost);
    QString portText = value;
    const auto fail = [&] {
        if (error)
            *error = QStringLiteral("--rigctld expects [ADDRESS:]PORT (e.g. 4532 or "
                                    "0.0.0.0:4532), got \"%1\"")
                         .arg(value);
        return false;
    };
    if (value.isEmpty()) {
        *address = a;
        *port = RigctlServer::DefaultPort;
        return true;
    }
    const qsizetype colon = value.lastIndexOf(u':');
    if (colon >= 0) {
        QString host = value.left(colon);
        portText = value.mid(colon + 1);
        if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
        if (host == QLatin1String("localhost"))
            a = QHostAddress(QHostAddress::LocalHost);
        else if (!a.setAddress(host))
            return fail();
    }
    bool ok = false;
    const uint p = portText.toUInt(&ok);
    if (!ok || p < 1 || p > 65535) return fail();
    *address = a;
    *port = quint16(p);
    return true;
}
