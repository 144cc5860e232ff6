#pragma once

// A rig-control server: other programs (loggers, digital-mode decoders, satellite trackers) read
// and set the receiver through hamlib's NET rigctl protocol while this program holds the port.
// Reads are answered from the status the receiver already reported; writes go through the panel
// procedures, so they follow the program's rules (refused while not held, locked or scanning).

#include "core/panel.h"
#include "net/rigctl_protocol.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <string>

class Nrd535;
class QTcpServer;
class QTcpSocket;

class RigctlServer : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 DefaultPort = 4532;
    // Connections beyond this are closed at once.
    static constexpr int MaxClients = 256;

    RigctlServer(Nrd535& rx, Panel& panel, QObject* parent = nullptr);
    ~RigctlServer() override;

    // Starts listening; false (and `error` set) when the address cannot be bound. Listening again
    // moves the server; clients already connected stay.
    bool listen(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost),
                quint16 port = DefaultPort, QString* error = nullptr);
    // Stops listening and closes every client.
    void close();
    bool isListening() const;
    QHostAddress serverAddress() const;
    quint16 serverPort() const;
    int clientCount() const { return int(m_clients.size()); }

signals:
    void clientCountChanged(int count);

private:
    struct Client {
        QPointer<QTcpSocket> socket;
        rigctl::LineReader reader;
        std::deque<std::string> lines; // complete lines not answered yet ("" marks over-long)
        std::deque<bool> tooLong;
        bool quitting = false;
    };

    void onNewConnection();
    void readFrom(Client* c);
    void drain();
    void answer(Client* c, const std::string& line, bool tooLong);
    QByteArray read(const rigctl::Request& r) const;
    rigctl::Status write(const rigctl::Request& r);
    rigctl::Status writeAllowed() const;
    void drop(QTcpSocket* socket);
    Client* clientOf(QObject* socket);

    Nrd535& m_rx;
    Panel& m_panel;
    QTcpServer* m_server;
    QList<Client*> m_clients;
    bool m_draining = false;
};

// Reads the value of --rigctld[=[ADDRESS:]PORT]: empty gives 127.0.0.1:4532, "PORT" listens on
// 127.0.0.1, "ADDRESS:PORT" or "[IPv6]:PORT" on that address. False (and `error` set) otherwise.
bool parseRigctldOption(const QString& value, QHostAddress* address, quint16* port,
                        QString* error = nullptr);
