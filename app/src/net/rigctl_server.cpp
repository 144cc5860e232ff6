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

// An IPv4 peer reached through an IPv6 socket, as the IPv4 address it is.
QHostAddress plain(const QHostAddress& a) {
    bool v4 = false;
    const quint32 ip = a.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip) : a;
}
} // namespace

RigctlServer::RigctlServer(Nrd535& rx, Panel& panel, QObject* parent)
    : QObject(parent), m_rx(rx), m_panel(panel), m_server(new QTcpServer(this)) {
    setObjectName(QString::fromLatin1(ObjectName));
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

bool RigctlServer::setAllowedHosts(const QString& hosts, QString* error) {
    QList<QPair<QHostAddress, int>> parsed;
    if (!parseAllowedHosts(hosts, &parsed, error)) return false;
    m_hosts = parsed;
    m_hostsText = hosts.trimmed();
    const QList<Client*> clients = m_clients;
    for (Client* c : clients)
        if (c->socket && !hostAllowed(c->socket->peerAddress())) c->socket->abort();
    return true;
}

bool RigctlServer::hostAllowed(const QHostAddress& peer) const {
    const QHostAddress a = plain(peer);
    if (a.isLoopback() || m_hosts.isEmpty()) return true;
    for (const auto& net : m_hosts)
        if (a.isInSubnet(net)) return true;
    return false;
}

void RigctlServer::onNewConnection() {
    while (QTcpSocket* s = m_server->nextPendingConnection()) {
        if (!hostAllowed(s->peerAddress())) {
            // Told why, then closed; nothing it sends meanwhile is kept.
            s->setReadBufferSize(SocketReadBuffer);
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            s->write(report(NotPermitted));
            s->disconnectFromHost();
            if (s->state() == QAbstractSocket::UnconnectedState) s->deleteLater();
            continue;
        }
        if (m_clients.size() >= MaxClients) {
            s->abort();
            s->deleteLater();
            continue;
        }
        s->setReadBufferSize(SocketReadBuffer);
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto* c = new Client;
        c->socket = s;
        c->remote = !plain(s->peerAddress()).isLoopback();
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
    QByteArray out;
    for (const Request& r : parseLine(line, c->vfoMode, &c->carried)) {
        switch (r.command) {
        case Command::Quit:
            c->quitting = true;
            out += report(Ok);
            s->write(out);
            s->disconnectFromHost();
            return;
        case Command::Malformed:
            appendAnswer(out, r, r.error, {}, c->vfoMode);
            break;
        case Command::SetFreq:
        case Command::SetMode:
        case Command::SetVfo:
        case Command::SetPowerstat:
            appendAnswer(out, r, write(r, *c), {}, c->vfoMode);
            // The client may have gone while a write ran the event loop.
            if (!s || !clientOf(s)) return;
            break;
        case Command::SetVfoOpt:
            c->vfoMode = r.value == 1;
            appendAnswer(out, r, r.value <= 1 ? Ok : InvalidArgument, {}, c->vfoMode);
            break;
        default:
            read(out, r, *c);
            break;
        }
    }
    if (!out.isEmpty() && s && s->state() == QAbstractSocket::ConnectedState) {
        s->write(out);
        // Out now rather than on the next pass of the event loop: one wake-up less per answer.
        s->flush();
    }
}

void RigctlServer::read(QByteArray& out, const Request& r, const Client& c) const {
    const ostry::ReceiverState& st = m_rx.state();
    const bool connected = m_panel.State().Connected;
    const bool vfoMode = c.vfoMode;
    const auto answer = [&](Status status, std::initializer_list<Value> values = {}) {
        appendAnswer(out, r, status, values, vfoMode);
    };
    // One VFO: naming it (or the current one) is fine, anything else is not there.
    if (!r.vfo.empty() && !isOurVfo(r.vfo)) return answer(InvalidArgument);
    // While held, status reports leave FT alone; the filter they show still counts.
    const qint32 ft = st.FT >= 0 ? st.FT : st.ReportedFT;
    const bool modeKnown = connected && st.MD >= 0 && *modeName(st.MD) != 0;
    switch (r.command) {
    case Command::GetFreq:
        if (!connected || st.Fr < 0) return answer(IoError);
        return answer(Ok, {{"Frequency", QByteArray::number(qint64(st.Fr))}});
    case Command::GetMode:
        if (!modeKnown) return answer(IoError);
        return answer(Ok, {{"Mode", modeName(st.MD)},
                           {"Passband", QByteArray::number(qint64(passbandOf(ft)))}});
    case Command::GetVfoInfo:
        if (!isOurVfo(r.name)) return answer(InvalidArgument);
        if (!modeKnown || st.Fr < 0) return answer(IoError);
        return answer(Ok, {{"Freq", QByteArray::number(qint64(st.Fr))},
                           {"Mode", modeName(st.MD)},
                           {"Width", QByteArray::number(qint64(passbandOf(ft)))},
                           {"Split", "0"},
                           {"SatMode", "0"}});
    case Command::GetLevel:
        if (r.name != "STRENGTH" && r.name != "RAWSTR") return answer(NotImplemented);
        if (!connected || st.SM < 0) return answer(IoError);
        return answer(
            Ok, {{"", QByteArray::number(r.name == "RAWSTR" ? int(st.SM) : strengthOf(st.SM))}});
    case Command::GetDcd:
        // The squelch as the receiver reports it: open while a signal passes.
        if (!connected || st.SQ < 0) return answer(IoError);
        return answer(Ok, {{"DCD", st.SQ != 0 ? "1" : "0"}});
    case Command::GetVfo:
        return answer(Ok, {{"VFO", "VFOA"}});
    case Command::GetPtt:
        return answer(Ok, {{"PTT", "0"}}); // a receiver never transmits
    case Command::GetSplitVfo:
        return answer(Ok, {{"Split", "0"}, {"TX VFO", "VFOA"}});
    case Command::GetRit:
        return answer(Ok, {{"RIT", "0"}});
    case Command::GetXit:
        return answer(Ok, {{"XIT", "0"}});
    case Command::GetPowerstat:
        return answer(Ok, {{"Power Status", connected ? "1" : "0"}});
    case Command::ChkVfo:
        return answer(Ok, {{"ChkVFO", c.vfoMode ? "1" : "0"}});
    case Command::GetLockMode:
        return answer(Ok, {{"Locked", "0"}});
    case Command::DumpState:
        return answer(Ok, {{"", dumpState(), true}});
    case Command::DumpCaps:
        return answer(Ok, {{"", dumpCaps(), true}});
    case Command::SatPass:
        return answer(Ok);
    default:
        return answer(NotImplemented);
    }
}

Status RigctlServer::writeAllowed(const Client& c) const {
    if (c.remote && m_readOnly) return NotPermitted;
    const ProgramState& ps = m_panel.State();
    if (!ps.Connected) return IoError;
    if (!ps.RemoteHeld || ps.PanelLocked || ps.Scanning()) return Rejected;
    return Ok;
}

Status RigctlServer::write(const Request& r, const Client& c) {
    if (!r.vfo.empty() && !isOurVfo(r.vfo)) return InvalidArgument;
    if (r.command == Command::SetVfo) return isOurVfo(r.name) ? Ok : InvalidArgument;
    // A receiver's power is switched at the receiver.
    if (r.command == Command::SetPowerstat) return NotAvailable;
    const Status allowed = writeAllowed(c);
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

bool parseAllowedHosts(const QString& text, QList<QPair<QHostAddress, int>>* hosts,
                       QString* error) {
    QList<QPair<QHostAddress, int>> out;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        const QString entry = part.trimmed();
        if (entry.isEmpty()) continue;
        QPair<QHostAddress, int> net = QHostAddress::parseSubnet(entry);
        if (!entry.contains(u'/')) {
            const QHostAddress a(entry);
            net = a.isNull()
                      ? qMakePair(QHostAddress(), -1)
                      : qMakePair(a, a.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128);
        }
        if (net.first.isNull() || net.second < 0) {
            if (error)
                *error = QStringLiteral("The allowed hosts of the rig-control server take "
                                        "addresses or networks (192.168.1.20, 10.0.0.0/8), "
                                        "not \"%1\"")
                             .arg(entry);
            return false;
        }
        out.append(net);
    }
    *hosts = out;
    return true;
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
