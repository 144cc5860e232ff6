#pragma once

// The real ser2net publishing a device (the simulator's pseudo-terminal) on a local TCP port, as
// a receiver behind a serial server is reached: raw TCP, or telnet with RFC 2217 (the client sets
// the line). For tests, benchmarks and demos.

#include <QObject>
#include <QString>

class QProcess;
class QTemporaryDir;

namespace nrd535sim {

class SerialServer : public QObject {
    Q_OBJECT
public:
    explicit SerialServer(QObject* parent = nullptr);
    ~SerialServer() override;

    // True when the ser2net program can be found.
    static bool available();

    // How ser2net speaks on the connection; taken by the next start().
    enum class Accepter {
        Raw,     // the device's bytes as they are
        Rfc2217, // telnet with the COM-PORT-OPTION
        Telnet,  // telnet that refuses the COM-PORT-OPTION
    };
    void setAccepter(Accepter a) { m_accepter = a; }
    Accepter accepter() const { return m_accepter; }

    // Serves `device` at `baud` (the line's setting until a client sets another) on 127.0.0.1: on
    // `port`, or on a free port when 0. Returns once ser2net listens; false (and `error` set) when
    // it does not start.
    bool start(const QString& device, int baud, quint16 port = 0, QString* error = nullptr);
    // Ends ser2net: its connections close.
    void stop();
    bool isRunning() const;
    quint16 port() const { return m_port; }
    // "tcp://127.0.0.1:PORT" for a raw accepter, else "rfc2217://127.0.0.1:PORT".
    QString address() const;

    // A TCP port nothing listens on now.
    static quint16 freePort();

private:
    QProcess* m_proc = nullptr;
    QTemporaryDir* m_dir = nullptr;
    quint16 m_port = 0;
    Accepter m_accepter = Accepter::Raw;
};

} // namespace nrd535sim
