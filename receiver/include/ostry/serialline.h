#pragma once

// The serial layer under Nrd535, on Qt SerialPort: a port number, a settings string such as
// "4800,N,8,1", no handshaking, text read and write, and a received-characters notification on
// the event loop with a threshold (0 switches it off). Plus the port map: port number -> device.

#include <ostry/ostry_export.h>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QSerialPort;
class QTimer;

namespace ostry {

// ---- port map --------------------------------------------------------------------------------
// Port n is "COM" n. COM1..COM4 name /dev/ttyS0..3 and COM5..COM8 /dev/ttyUSB0..3 unless a
// one-run override (--port N=DEVICE) says otherwise. Other numbers have no device unless mapped.

// The device for port n, or an empty string when there is none.
OSTRY_EXPORT QString portDevice(int n);
// "COM" n.
OSTRY_EXPORT QString portName(int n);
// Maps port n to `device` for this run (an empty device removes the override).
OSTRY_EXPORT void setPortDevice(int n, const QString& device);
OSTRY_EXPORT void clearPortOverrides();
// Parses one "N=DEVICE" mapping; false (and `error` set) when malformed.
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

    explicit SerialLine(QObject* parent = nullptr);
    ~SerialLine() override;

    // "BAUD,PARITY,DATA,STOP", e.g. "4800,N,8,1". False when malformed (kept unchanged).
    bool setSettings(const QString& settings);
    QString settings() const { return m_settings; }
    void setPortNumber(int n) { m_port = n; }
    int portNumber() const { return m_port; }
    // Device path of the port number; empty when the number maps to nothing.
    QString device() const { return portDevice(m_port); }
    void setInputBufferSize(int bytes);

    bool open();
    void close();
    bool isOpen() const;
    // Description of the last failure of open/write, or why the device was lost.
    QString errorString() const { return m_error; }

    // Notify through received() when at least `n` characters wait; 0 switches it off.
    void setReceiveThreshold(int n);
    int receiveThreshold() const { return m_threshold; }
    qint64 bytesAvailable() const;
    // Everything received so far (empty when nothing waits).
    QByteArray readAll();
    // Writes and pushes the bytes to the device at once; false when closed or on error.
    bool write(const QByteArray& data);

signals:
    // At least the threshold number of characters are waiting.
    void received();
    // The device went away while open (unplugged adapter, closed pseudo-terminal). The port has
    // been closed already.
    void lost(const QString& description);

private:
    void onReadyRead();
    void onError(int error);
    void notifyIfDue();

    QSerialPort* m_sp;
    QString m_settings = QStringLiteral("4800,N,8,1");
    int m_port = 0;
    int m_threshold = 0;
    int m_inputBuffer = DefaultInputBuffer;
    bool m_notifyQueued = false;
    QTimer* m_straggler;
    QString m_error;
};

} // namespace ostry
