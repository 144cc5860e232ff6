#pragma once

// A simulated NRD-535 on a pseudo-terminal. It answers the command lines the driver sends with
// the reply layouts the driver relies on, keeps 200 memory channels, sends automatic status
// lines after each change while "I1" is on, and models the S-meter from a noise floor per
// megahertz plus a table of carriers. Output is paced at the line speed, so replies arrive in
// pieces. Runs on the event loop of the hosting thread (QSocketNotifier on the master side).

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace nrd535sim {

struct Carrier {
    double hz = 0;         // centre frequency
    double widthHz = 6000; // occupied bandwidth
    double dbAboveS0 = 40; // strength on the S scale in dB: S9 = 54, S9+20 = 74
    // On/off schedule on the simulator's clock: on for onMs, then off for offMs, over and over,
    // the cycle shifted by phaseMs (a carrier with phaseMs 0 comes on at 0 ms). offMs 0: always
    // on.
    int onMs = 0;
    int offMs = 0;
    int phaseMs = 0;

    bool OnAt(qint64 ms) const;
};

struct Channel {
    bool empty = true;
    int at = 0, ft = 0, md = 0, ag = 0;
    qint64 hz = 0;
};

// What the receiver is set to. Codes as the driver uses them.
struct RxSettings {
    qint64 hz = 9410000;
    int md = 4; // AM
    int ft = 0; // Wide
    int ag = 0; // Slow
    int at = 0;
    int nb = 0;
    int sq = 0;
    int width = 0; // continuous bandwidth in hertz set by "W", 0 when none
};

class Simulator : public QObject {
    Q_OBJECT
public:
    explicit Simulator(QObject* parent = nullptr);
    ~Simulator() override;

    // Opens a new pseudo-terminal (raw mode) and starts serving it. When `linkPath` is given, a
    // symbolic link with that name points at the slave device (replacing an older link), so a
    // restarted simulator can keep one stable name.
    bool start(const QString& linkPath = QString(), QString* error = nullptr);
    // Closes the master side: to a driver this looks like an unplugged adapter.
    void stop();
    bool isRunning() const { return m_master >= 0; }
    QString slavePath() const { return m_slave; }
    // The stable name (link) when one was given, else the slave device.
    QString path() const { return m_link.isEmpty() ? m_slave : m_link; }

    // Line speed for pacing (bits per second; 10 bits per character).
    void setBaud(int baud) { m_baud = baud > 0 ? baud : 4800; }
    int baud() const { return m_baud; }
    // Pacing off: replies are written in one piece at once.
    void setPaced(bool on) { m_paced = on; }
    bool paced() const { return m_paced; }

    // Power off: the receiver ignores everything and says nothing (silence).
    void setPowered(bool on);
    bool powered() const { return m_powered; }
    // Remote-control state ("H1"); set before a driver connects to start already held.
    void setHeld(bool on) { m_held = on; }
    bool held() const { return m_held; }
    bool autoStatus() const { return m_auto; }
    void setAutoStatus(bool on) { m_auto = on; }
    // Identification sent after the "?" reply's first character.
    void setIdent(const QByteArray& ident) { m_ident = ident; }

    // Sends raw bytes as they are (after anything already queued).
    void injectGarbage(const QByteArray& bytes);
    // Sends `n` pseudo-random bytes (CR, NUL and 8-bit values included), deterministic per seed.
    void injectRandomGarbage(int n, quint32 seed = 1);

    // Settings, as set by commands or by the front panel below.
    const RxSettings& settings() const { return m_rx; }
    // Front panel: the operator turns a knob; a status line follows when reports are on.
    void panelTune(qint64 hz);
    void panelSet(const RxSettings& s);

    // S-meter model. Floor per megahertz (index 0..29) in dB above S0.
    void setNoiseFloor(int mhz, double db);
    double noiseFloor(int mhz) const;
    void setCarriers(std::vector<Carrier> carriers) { m_carriers = std::move(carriers); }
    const std::vector<Carrier>& carriers() const { return m_carriers; }
    // A fixed raw reading (0..255), or -1 for the model.
    void setFixedMeter(int raw) { m_fixedMeter = raw; }
    // Raw reading (0..255, smaller is stronger) at the current setting.
    int meterReading() const;
    static int rawFromDb(double db);
    // After every change of frequency or setting the meter takes `ms` to move from the reading
    // it showed to the new one (straight in dB); 0, the default, reads the new value at once.
    void setSettleMs(int ms) { m_settleMs = std::max(0, ms); }
    int settleMs() const { return m_settleMs; }
    // Milliseconds on the clock the carriers' schedules and the settling follow: since the
    // simulator was made, or the time set by setClockMs (-1 lets the real clock run again).
    qint64 clockMs() const;
    void setClockMs(qint64 ms) { m_frozenMs = ms; }
    // Input at the line speed too: a command line is acted on only when its last character
    // would have arrived over the wire at `baud` (10 bits a character), as a real receiver
    // sees it. Off by default (lines are handled as soon as they are read).
    void setInputPaced(bool on) { m_inPaced = on; }
    bool inputPaced() const { return m_inPaced; }

    // Memory channels 0..199.
    Channel channel(int n) const;
    void setChannel(int n, const Channel& c);

    // Command lines received so far, without their CR.
    QStringList receivedLines() const { return m_lines; }
    void clearReceivedLines() { m_lines.clear(); }
    // The master side's descriptor (-1 when stopped), for tools that watch the wire with poll().
    int masterFd() const { return m_master; }
    // Bytes still waiting to go out (pacing).
    qsizetype pendingOutput() const { return m_out.size() - m_outPos; }

signals:
    void lineReceived(const QString& line);

private:
    void onReadable();
    void handleLine(const QByteArray& line);
    void send(const QByteArray& bytes);
    void sendStatus();
    void pump();
    QByteArray statusLine() const;
    QByteArray channelLine(int n) const;
    void resetSettings(int level);
    double targetDb(const RxSettings& rx, qint64 now) const;
    double shownDb(qint64 now) const;
    void handleDueLines();

    int m_master = -1;
    QString m_slave, m_link;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QTimer* m_pace = nullptr;
    QElapsedTimer m_clock;
    double m_credit = 0;
    qint64 m_lastPump = 0;
    int m_baud = 4800;
    bool m_paced = true;
    bool m_powered = true;
    bool m_held = false;
    bool m_auto = false;
    QByteArray m_ident = "535D SIM 1.00";
    RxSettings m_rx;
    std::array<double, 30> m_floor{};
    std::vector<Carrier> m_carriers;
    int m_fixedMeter = -1;
    int m_settleMs = 0;
    double m_fromDb = 0;     // reading when the last change came
    qint64 m_changedAt = -1; // clockMs() of the last change, -1 before any
    QElapsedTimer m_since;
    qint64 m_frozenMs = -1;
    bool m_inPaced = false;
    qint64 m_inFreeNs = 0; // when the wire towards the receiver is free again (m_clock)
    struct DueLine {
        qint64 dueNs;
        QByteArray line;
    };
    std::vector<DueLine> m_due;
    QTimer* m_inTimer = nullptr;
    std::array<Channel, 200> m_channels{};
    QByteArray m_in, m_out;
    qsizetype m_outPos = 0;
    QStringList m_lines;
};

} // namespace nrd535sim
