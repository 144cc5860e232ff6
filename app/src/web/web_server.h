#pragma once

// The web page server: the page's files (compiled in) over HTTP and the live connection over a
// WebSocket on the same port. Every request must carry the token; a WebSocket must also come
// from the page's own origin. Requests from the page are parsed here and handed to Execute,
// which runs them through the panel; the panel's state is pushed to every page on each change.

#include "web/web_protocol.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QHttpServerRequest;
class QWebSocket;
class WebHttp;

class WebServer : public QObject {
    Q_OBJECT
public:
    // WebSocket connections beyond this are closed at once.
    static constexpr int MaxConnections = 32;

    explicit WebServer(QObject* parent = nullptr);
    ~WebServer() override;

    // What the pages show, and how their requests reach the panel: Execute returns an empty
    // string when done, else why the panel refused.
    std::function<web::PanelView()> View;
    std::function<web::ListsView()> Lists;
    std::function<QString(const web::Request&)> Execute;

    void setToken(const QString& token) { m_token = token; }
    QString token() const { return m_token; }
    // A read-only server shows the receiver and refuses every change.
    void setReadOnly(bool readOnly);
    bool readOnly() const { return m_readOnly; }

    // Starts listening (again: moves the server and closes the pages); false (and `error` set)
    // when the address cannot be bound.
    bool listen(const QHostAddress& address, quint16 port, QString* error = nullptr);
    void close();
    bool isListening() const;
    QHostAddress serverAddress() const { return m_address; }
    quint16 serverPort() const { return m_port; }
    // The page's address with the token; for an any-address server, one of this machine's.
    QString url() const;
    int connectionCount() const { return int(m_clients.size()); }

    // Sends the state to every page when it changed since the last one sent; `at` is when the
    // receiver's report arrived (ms since the epoch), now when not given.
    void pushState(std::optional<double> at = std::nullopt);
    // Sends the memories, channels and noise survey to every page.
    void pushLists();

    // The page's files: "/" (index.html with the token filled in), "/app.js", "/style.css".
    // Empty when `path` is none of them.
    static QByteArray pageFile(const QString& path, const QString& token, QByteArray* mimeType);
    // True when a WebSocket's Origin header names the page's own origin (scheme http, the host
    // and port it connected to).
    static bool originMatches(const QString& origin, const QString& host, quint16 port);

signals:
    void connectionCountChanged(int count);

private:
    friend class WebHttp;
    bool upgradeAllowed(const QHttpServerRequest& request) const;
    void onWebSocket();
    void onMessage(QWebSocket* ws, const QString& text);
    void send(QWebSocket* ws, const QByteArray& message);
    void drop(QWebSocket* ws);

    WebHttp* m_http = nullptr;
    QList<QPointer<QWebSocket>> m_clients;
    QString m_token;
    bool m_readOnly = false;
    QHostAddress m_address;
    quint16 m_port = 0;
    std::optional<web::PanelView> m_sent;
};
