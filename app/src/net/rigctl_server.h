#pragma once

// A rig-control server: other programs (loggers, digital-mode decoders, satellite trackers) read
// and set the receiver through hamlib's NET rigctl protocol while this program holds the port.
// Reads are answered from the status the receiver already reported; writes go through the panel
// procedures, so they follow the program's rules (refused while not held, locked or scanning).

#include "core/panel.h"
#include "net/rigctl_protocol.h"
#include "net/rigctl_sharing.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

#include <deque>
#include <string>

class Nrd535;
class QTcpServer;
class QTcpSocket;

class RigctlServer : public QObject, public RigctlSharing {
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

    // Sharing the receiver beyond this machine. Loopback clients are always let in and may
    // always write. Others: only the hosts of `hosts` (addresses or ADDRESS/PREFIX networks,
    // separated by commas; empty lets every host in); a refused host is told "RPRT -19" and
    // the connection closes, and a connected client of a host taken off the list is closed.
    // False (and `error` set, the list unchanged) when an entry is not an address.
    bool setAllowedHosts(const QString& hosts, QString* error = nullptr) override;
    QString allowedHosts() const override { return m_hostsText; }
    bool hostAllowed(const QHostAddress& peer) const;
    // Read-only: clients of other hosts only read; their writes are answered "RPRT -19".
    void setReadOnly(bool on) override { m_readOnly = on; }
    bool readOnly() const override { return m_readOnly; }

signals:
    void clientCountChanged(int count);

private:
    struct Client {
        QPointer<QTcpSocket> socket;
        rigctl::LineReader reader;
        std::deque<std::string> lines; // complete lines not answered yet ("" marks over-long)
        std::deque<bool> tooLong;
        bool quitting = false;
        bool vfoMode = false; // \set_vfo_opt 1: a VFO word before each command's arguments
        bool remote = false;  // connected from another host
        char carried = 0;     // an extended answer asked for on an earlier line
    };

    void onNewConnection();
    void readFrom(Client* c);
    void drain();
    void answer(Client* c, const std::string& line, bool tooLong);
    void read(QByteArray& out, const rigctl::Request& r, const Client& c) const;
    rigctl::Status write(const rigctl::Request& r, const Client& c);
    rigctl::Status writeAllowed(const Client& c) const;
    void drop(QTcpSocket* socket);
    Client* clientOf(QObject* socket);

    Nrd535& m_rx;
    Panel& m_panel;
    QTcpServer* m_server;
    QList<Client*> m_clients;
    bool m_draining = false;
    QList<QPair<QHostAddress, int>> m_hosts; // networks let in besides loopback
    QString m_hostsText;
    bool m_readOnly = false;
};

// Reads the value of --rigctld[=[ADDRESS:]PORT]: empty gives 127.0.0.1:4532, "PORT" listens on
// 127.0.0.1, "ADDRESS:PORT" or "[IPv6]:PORT" on that address. False (and `error` set) otherwise.
// Reads an allowed-hosts list ("192.168.1.20, 10.0.0.0/8, fe80::1"): each entry an address or
// a network. False (and `error` set) when an entry is not one.
bool parseAllowedHosts(const QString& text, QList<QPair<QHostAddress, int>>* hosts,
                       QString* error = nullptr);

bool parseRigctldOption(const QString& value, QHostAddress* address, quint16* port,
                        QString* error = nullptr);
