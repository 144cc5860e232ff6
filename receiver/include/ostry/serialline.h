#pragma once

// The serial layer under Nrd535: a port number, a settings string such as "4800,N,8,1", no
// handshaking, text read and write, and a received-characters notification on the event loop
// with a threshold (0 switches it off). A port is a serial device (Qt SerialPort) or a serial
// server on the network: "tcp://HOST:PORT" (raw TCP, the line speed set on the server) or
// "rfc2217://HOST:PORT" (telnet with RFC 2217: the server is asked for the line settings). Plus
// the port map: port number -> device or address.

#include <ostry/ostry_export.h>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QIODevice;
class QSerialPort;
class QTcpSocket;
class QTimer;
class QSocketNotifier;

namespace ostry {

class Rfc2217Codec;

// ---- port map --------------------------------------------------------------------------------
// Port n is "COM" n. COM1..COM4 name /dev/ttyS0..3 and COM5..COM8 /dev/ttyUSB0..3 unless a
// one-run override (--port N=DEVICE) says otherwise. Other numbers have no device unless mapped.

// The device for port n, or an empty string when there is none.
OSTRY_EXPORT QString portDevice(int n);
// The device port n names when nothing maps it otherwise.
OSTRY_EXPORT QString defaultPortDevice(int n);
// "COM" n.
OSTRY_EXPORT QString portName(int n);
// Maps port n to `device` for this run (an empty device removes the override).
OSTRY_EXPORT void setPortDevice(int n, const QString& device);
OSTRY_EXPORT void clearPortOverrides();
// The operator chose `device` for port n (port dialog): mapped as setPortDevice does (the port's
// own device removes the override), and remembered as chosen so the program can keep it.
OSTRY_EXPORT void choosePortDevice(int n, const QString& device);
// True once choosePortDevice ran for port n in this run.
OSTRY_EXPORT bool portDeviceChosen(int n);
// True when `device` names a network address ("scheme://..."), not a device path.
OSTRY_EXPORT bool isNetworkAddress(const QString& device);
enum class NetworkScheme { Tcp, Rfc2217 };
// Splits "tcp://HOST:PORT" or "rfc2217://HOST:PORT" (HOST may be a name, an IPv4 address or
// [IPv6]); false (and `error` set) for anything else, including other schemes.
OSTRY_EXPORT bool parseNetworkAddress(const QString& address, QString* host, quint16* port,
                                      QString* error = nullptr, NetworkScheme* scheme = nullptr);
// Parses one "N=DEVICE" mapping (DEVICE a path or a network address); false (and `error` set)
// when malformed.
OSTRY_EXPORT bool parsePortMapping(const QString& text, int* n, QString* device,
                                   QString* error = nullptr);
// Applies and removes every "--port N=DEVICE" / "--port=N=DEVICE" from `args` (argv[0] stays).
// Returns false with `error` set on a malformed option; mappings before it stay applied.
OSTRY_EXPORT bool applyPortOptions(QStringList& args, QString* error = nullptr);
// The usage line every executable accepting a port prints.
OSTRY_EXPORT QString portOptionHelp();

// ---- serial line -----------------------------------------------------------------------------

class OSTRY_EXPORT SerialLine : public QObject {
    Q_OBJECT
public:
    // Input buffer the control asks for; the read buffer is bounded by it.
    static constexpr int DefaultInputBuffer = 54;
    static constexpr int StragglerMs = 30;
    // A connection attempt that has not succeeded after this long is given up.
    static constexpr int ConnectTimeoutMs = 5000;

    explicit SerialLine(QObject* parent = nullptr);
    ~SerialLine() override;

    // "BAUD,PARITY,DATA,STOP", e.g. "4800,N,8,1". False when malformed (kept unchanged).
    bool setSettings(const QString& settings);
    QString settings() const { return m_settings; }
    void setPortNumber(int n) { m_port = n; }
    int portNumber() const { return m_port; }
    // Device path or address of the port number; empty when the number maps to nothing.
    QString device() const { return portDevice(m_port); }
    void setInputBufferSize(int bytes);

    // A device opens at once (true) or fails (false, errorString() says why). A network address
    // only starts resolving and connecting here and returns true: the line is open but not up
    // until the connection stands (up() is emitted); a failed attempt closes it and emits lost().
    bool open();
    void close();
    bool isOpen() const;
    // Open and able to carry text: a device once open, a connection once established.
    bool isUp() const;
    // The open line is a network connection.
    bool isNetwork() const;
    // Description of the last failure of open/write, or why the device was lost.
    QString errorString() const { return m_error; }

    // Notify through received() when at least `n` characters wait; 0 switches it off.
    void setReceiveThreshold(int n);
    int receiveThreshold() const { return m_threshold; }
    qint64 bytesAvailable() const;
    // Everything received so far (empty when nothing waits).
    QByteArray readAll();
    // Writes and pushes the bytes to the device at once; false when closed, not up yet, or on
    // error. What the device does not take at once waits in a queue of at most MaxWriteQueue
    // bytes: a write that does not fit is refused whole (false, errorString() says so), so a
    // line that stopped carrying never grows the program's memory.
    bool write(const QByteArray& data);
    static constexpr qint64 MaxWriteQueue = 4096;
    // Bytes written but not yet taken by the device or the connection.
    qint64 bytesToWrite() const;

    // Reading a device as lines arrive can wait: holdReading(ms) leaves what arrives in the
    // terminal for up to `ms` milliseconds (a running hold starts over), releaseReading() takes
    // it all at once and notifies as usual, and reading follows the lines again. Several replies
    // then cost one wake-up instead of one each. readAll() and bytesAvailable() include what
    // was taken; readAll() also takes what a hold left waiting. A network line does not hold
    // (false).
    bool holdReading(int ms);
    void releaseReading();
    bool holding() const;

signals:
    // At least the threshold number of characters are waiting.
    void received();
    // The device went away while open (unplugged adapter, closed pseudo-terminal), the network
    // connection dropped, or a connection attempt failed (name not found, refused, no answer).
    // The line has been closed already; emitted once per closing.
    void lost(const QString& description);
    // A network connection is established (devices are up as soon as open() succeeds).
    void up();

private:
    void onReadyRead();
    void pumpTelnet();
    void onError(int error);
    void onTcpError();
    void onTcpConnected();
    void dropTcp(const QString& description);
    void notifyIfDue();
    bool openDevice(const QString& dev);
    bool openNetwork(const QString& address);

    QSerialPort* m_sp;
    QTcpSocket* m_tcp;
    QIODevice* m_io = nullptr; // the open one of the two, or null
    QTimer* m_connectTimer;
    QString m_peer; // "HOST:PORT" of the network address being used
    // Set while the connection speaks telnet (rfc2217://): the socket's bytes go through it and
    // the serial line's own bytes wait in m_rx.
    std::unique_ptr<Rfc2217Codec> m_telnet;
    QByteArray m_rx;
    QString m_settings = QStringLiteral("4800,N,8,1");
    int m_port = 0;
    int m_threshold = 0;
    int m_inputBuffer = DefaultInputBuffer;
    bool m_notifyQueued = false;
    bool m_inReadyRead = false; // a received() handler runs from the device's read signal
    QTimer* m_straggler;
    QTimer* m_notify;
    QTimer* m_hold;
    bool m_holding = false;
    QByteArray m_held; // taken from a device after a hold, not read by the caller yet
    static constexpr int MaxHeldBytes = 65536;
    QSocketNotifier* readNotifier() const;
    void takeWaiting();
    void dropHeld();
    QString m_error;
};

} // namespace ostry
