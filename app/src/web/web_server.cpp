#include "web/web_server.h"

#include <QAbstractHttpServer>
#include <QDateTime>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QUrl>
#include <QUrlQuery>
#include <QWebSocket>

#include <chrono>

namespace {

// A page that reads slower than the state changes skips states until it catches up (each state
// is whole, so skipping loses nothing).
constexpr qint64 MaxUnsentBytes = 256 * 1024;
// Messages over this close the connection (Qt's limit); up to it they are answered with an error.
constexpr quint64 MaxIncomingBytes = 64 * 1024;

double nowMs() {
    using namespace std::chrono;
    return double(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count()) /
           1000.0;
}

const QByteArray Refusal = QByteArrayLiteral(
    "This page needs the address with its token, as the program's Options dialog shows it.\n");

} // namespace

static bool isUpgrade(const QHttpServerRequest& request) {
    return request.value(QByteArrayLiteral("upgrade")).compare("websocket", Qt::CaseInsensitive) ==
           0;
}

// The HTTP side: GET of the page's files with the token; the WebSocket upgrade is the base's.
class WebHttp : public QAbstractHttpServer {
public:
    explicit WebHttp(WebServer& owner) : QAbstractHttpServer(&owner), m_owner(owner) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        using Status = QHttpServerResponder::StatusCode;
        // A WebSocket upgrade: taken (true, nothing written) only with the token and from the
        // page's own origin; refused by missingHandler otherwise.
        if (isUpgrade(request)) return m_owner.upgradeAllowed(request);
        QHttpServerResponder responder = makeResponder(request, socket);
        if (request.method() != QHttpServerRequest::Method::Get &&
            request.method() != QHttpServerRequest::Method::Head) {
            responder.write(QByteArrayLiteral("Only GET\n"), QByteArrayLiteral("text/plain"),
                            Status::MethodNotAllowed);
            return true;
        }
        // Browsers ask for it without the token: nothing to show.
        if (request.url().path() == QLatin1String("/favicon.ico")) {
            responder.write(Status::NoContent);
            return true;
        }
        const QString token = request.query().queryItemValue(QStringLiteral("token"));
        if (!web::tokenMatches(token, m_owner.m_token)) {
            responder.write(Refusal, QByteArrayLiteral("text/plain; charset=utf-8"),
                            Status::Forbidden);
            return true;
        }
        QByteArray mime;
        const QByteArray body = WebServer::pageFile(request.url().path(), m_owner.m_token, &mime);
        if (body.isEmpty()) {
            responder.write(QByteArrayLiteral("Not found\n"), QByteArrayLiteral("text/plain"),
                            Status::NotFound);
            return true;
        }
        responder.write(
            body,
            {{QByteArrayLiteral("Content-Type"), mime},
             {QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store")},
             {QByteArrayLiteral("X-Content-Type-Options"), QByteArrayLiteral("nosniff")},
             {QByteArrayLiteral("Referrer-Policy"), QByteArrayLiteral("no-referrer")},
             {QByteArrayLiteral("Content-Security-Policy"),
              QByteArrayLiteral("default-src 'self'; connect-src 'self'; "
                                "frame-ancestors 'none'")}},
            Status::Ok);
        return true;
    }
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override {
        if (isUpgrade(request)) {
            makeResponder(request, socket)
                .write(Refusal, QByteArrayLiteral("text/plain; charset=utf-8"),
                       QHttpServerResponder::StatusCode::Forbidden);
            return;
        }
        makeResponder(request, socket)
            .write(QByteArrayLiteral("Not found\n"), QByteArrayLiteral("text/plain"),
                   QHttpServerResponder::StatusCode::NotFound);
    }

private:
    WebServer& m_owner;
};

WebServer::WebServer(QObject* parent) : QObject(parent) {}

WebServer::~WebServer() {
    close();
}

void WebServer::setReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    pushState();
}

bool WebServer::listen(const QHostAddress& address, quint16 port, QString* error) {
    close();
    auto* http = new WebHttp(*this);
    auto* tcp = new QTcpServer(http);
    if (!tcp->listen(address, port)) {
        if (error)
            *error = QStringLiteral("The web page cannot listen on %1:%2: %3")
                         .arg(address.toString())
                         .arg(port)
                         .arg(tcp->errorString());
        delete http;
        return false;
    }
    http->bind(tcp);
    connect(http, &QAbstractHttpServer::newWebSocketConnection, this, &WebServer::onWebSocket);
    m_http = http;
    m_address = address;
    m_port = tcp->serverPort();
    return true;
}

void WebServer::close() {
    const QList<QPointer<QWebSocket>> clients = m_clients;
    m_clients.clear();
    for (const QPointer<QWebSocket>& ws : clients) {
        if (!ws) continue;
        ws->disconnect(this);
        ws->abort();
        ws->deleteLater();
    }
    if (m_http) {
        delete m_http;
        m_http = nullptr;
    }
    m_port = 0;
    m_sent.reset();
    if (!clients.isEmpty()) emit connectionCountChanged(0);
}

bool WebServer::isListening() const {
    return m_http != nullptr;
}

QString WebServer::url() const {
    QString host = m_address.toString();
    if (m_address == QHostAddress::Any || m_address == QHostAddress::AnyIPv4 ||
        m_address == QHostAddress::AnyIPv6) {
        host = QStringLiteral("127.0.0.1");
        // The phone needs an address of this machine on its network.
        for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
            if (a.isLoopback() || a.protocol() != QAbstractSocket::IPv4Protocol) continue;
            host = a.toString();
            break;
        }
    }
    return web::pageUrl(host, m_port, m_token);
}

QByteArray WebServer::pageFile(const QString& path, const QString& token, QByteArray* mimeType) {
    QString file;
    if (path == QLatin1String("/") || path == QLatin1String("/index.html")) {
        file = QStringLiteral(":/web/index.html");
        *mimeType = QByteArrayLiteral("text/html; charset=utf-8");
    } else if (path == QLatin1String("/app.js")) {
        file = QStringLiteral(":/web/app.js");
        *mimeType = QByteArrayLiteral("text/javascript; charset=utf-8");
    } else if (path == QLatin1String("/style.css")) {
        file = QStringLiteral(":/web/style.css");
        *mimeType = QByteArrayLiteral("text/css; charset=utf-8");
    } else {
        return {};
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QByteArray body = f.readAll();
    // The page's own files are fetched with the token too.
    if (file.endsWith(QLatin1String(".html")))
        body.replace(QByteArrayLiteral("%TOKEN%"), QUrl::toPercentEncoding(token));
    return body;
}

bool WebServer::originMatches(const QString& origin, const QString& host, quint16 port) {
    const QUrl o(origin, QUrl::StrictMode);
    if (!o.isValid() || o.scheme() != QLatin1String("http") || !o.path().isEmpty()) return false;
    return o.host().compare(host, Qt::CaseInsensitive) == 0 && o.port(80) == int(port);
}

bool WebServer::upgradeAllowed(const QHttpServerRequest& request) const {
    if (!web::tokenMatches(request.query().queryItemValue(QStringLiteral("token")), m_token))
        return false;
    // The Host header as the browser sent it: the page's own origin is http:// and that.
    const QUrl host(QStringLiteral("http://") + QString::fromLatin1(request.value("host")));
    if (!host.isValid() || host.host().isEmpty()) return false;
    return originMatches(QString::fromLatin1(request.value("origin")), host.host(),
                         quint16(host.port(80))) &&
           m_clients.size() < MaxConnections;
}

void WebServer::onWebSocket() {
    while (m_http && m_http->hasPendingWebSocketConnections()) {
        QWebSocket* ws = m_http->nextPendingWebSocketConnection().release();
        if (!ws) break;
        ws->setParent(this);
        ws->setMaxAllowedIncomingMessageSize(MaxIncomingBytes);
        ws->setMaxAllowedIncomingFrameSize(MaxIncomingBytes);
        const QUrl url = ws->requestUrl();
        const QString token = QUrlQuery(url).queryItemValue(QStringLiteral("token"));
        QString refused;
        if (!web::tokenMatches(token, m_token))
            refused = QStringLiteral("No token or a wrong one");
        else if (!originMatches(ws->origin(), url.host(), quint16(url.port(80))))
            refused = QStringLiteral("Not from the page's own address");
        else if (m_clients.size() >= MaxConnections)
            refused = QStringLiteral("Too many pages open (at most %1)").arg(MaxConnections);
        if (!refused.isEmpty()) {
            connect(ws, &QWebSocket::disconnected, ws, &QObject::deleteLater);
            ws->close(QWebSocketProtocol::CloseCodePolicyViolated, refused);
            continue;
        }
        m_clients.append(ws);
        connect(ws, &QWebSocket::textMessageReceived, this,
                [this, ws](const QString& text) { onMessage(ws, text); });
        connect(ws, &QWebSocket::binaryMessageReceived, this, [this, ws](const QByteArray&) {
            send(ws, web::errorMessage(-1, QStringLiteral("Text messages only")));
        });
        connect(ws, &QWebSocket::disconnected, this, [this, ws] { drop(ws); });
        emit connectionCountChanged(int(m_clients.size()));
        if (View) send(ws, web::stateMessage(View(), nowMs()));
        if (Lists) send(ws, web::listsMessage(Lists()));
    }
}

void WebServer::drop(QWebSocket* ws) {
    if (m_clients.removeAll(ws) == 0) return;
    ws->deleteLater();
    emit connectionCountChanged(int(m_clients.size()));
}

void WebServer::send(QWebSocket* ws, const QByteArray& message) {
    if (ws->bytesToWrite() > MaxUnsentBytes) return;
    ws->sendTextMessage(QString::fromUtf8(message));
    // Out now rather than on the next pass of the event loop.
    ws->flush();
}

void WebServer::onMessage(QWebSocket* ws, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const web::Parsed p = web::parseRequest(bytes);
    if (!p.ok) {
        send(ws, web::errorMessage(p.request.id, p.error));
        return;
    }
    const web::Request& r = p.request;
    if (r.command == web::Command::Hello) {
        if (View) send(ws, web::stateMessage(View(), nowMs()));
        if (Lists) send(ws, web::listsMessage(Lists()));
        send(ws, web::doneMessage(r.id));
        return;
    }
    if (m_readOnly && web::changesReceiver(r.command)) {
        send(ws, web::refusedMessage(r.id, QStringLiteral("This page is read-only")));
        return;
    }
    const QPointer<QWebSocket> guard(ws);
    const QString refusal = Execute ? Execute(r) : QStringLiteral("Not connected to a panel");
    if (!guard) return;
    send(ws, refusal.isEmpty() ? web::doneMessage(r.id) : web::refusedMessage(r.id, refusal));
    // Held, locked or scanning may have changed without a report from the receiver.
    pushState();
}

void WebServer::pushState(std::optional<double> at) {
    if (m_clients.isEmpty() || !View) return;
    const web::PanelView view = View();
    if (m_sent && *m_sent == view) return;
    m_sent = view;
    const QByteArray message = web::stateMessage(view, at ? *at : nowMs());
    const QList<QPointer<QWebSocket>> clients = m_clients;
    for (const QPointer<QWebSocket>& ws : clients)
        if (ws) send(ws, message);
}

void WebServer::pushLists() {
    if (m_clients.isEmpty() || !Lists) return;
    const QByteArray message = web::listsMessage(Lists());
    const QList<QPointer<QWebSocket>> clients = m_clients;
    for (const QPointer<QWebSocket>& ws : clients)
        if (ws) send(ws, message);
}
