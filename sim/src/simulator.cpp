#include <nrd535sim/simulator.h>

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace nrd535sim {

namespace {
constexpr int PaceIntervalMs = 2;
constexpr qsizetype InputCap = 256;         // a command line never gets longer than this
constexpr qsizetype MaxLoggedLines = 10000; // the command keeps running for days

// Default S-meter model: the band is noisier low down.
double defaultFloor(int mhz) {
    return mhz < 2 ? 14.0 : mhz < 10 ? 9.0 : 5.0;
}

// clang-format off
const std::vector<Carrier> defaultCarriers = {
    {   198000,  9000, 60},
    {  6195000,  9000, 44},
    {  7205000,  9000, 38},
    {  9410000,  9000, 58},
    {  9580000,  9000, 36},
    { 11955000,  9000, 30},
    { 14230000,  3000, 24},
    { 15400000,  9000, 48},
    { 17640000,  9000, 26},
    { 21650000,  9000, 20},
};
// clang-format on

// Nominal bandwidths of the filter codes (Wide, Inter, Narrow, Aux).
constexpr int nominalWidth[] = {5500, 2200, 500, 12000};

QByteArray num(qint64 v, int width) {
    char buf[24];
    const int n = std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(v));
    return QByteArray(buf, n);
}

bool allDigits(const QByteArray& s) {
    if (s.isEmpty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}
} // namespace

bool Carrier::OnAt(qint64 ms) const {
    if (offMs <= 0) return true;
    if (onMs <= 0) return false;
    const qint64 period = qint64(onMs) + offMs;
    qint64 t = (ms + phaseMs) % period;
    if (t < 0) t += period;
    return t < onMs;
}

Simulator::Simulator(QObject* parent) : QObject(parent), m_carriers(defaultCarriers) {
    for (int i = 0; i < 30; ++i) m_floor[std::size_t(i)] = defaultFloor(i);
    m_pace = new QTimer(this);
    m_pace->setInterval(PaceIntervalMs);
    m_pace->setTimerType(Qt::PreciseTimer);
    connect(m_pace, &QTimer::timeout, this, &Simulator::pump);
    m_inTimer = new QTimer(this);
    m_inTimer->setSingleShot(true);
    m_inTimer->setTimerType(Qt::PreciseTimer);
    connect(m_inTimer, &QTimer::timeout, this, &Simulator::handleDueLines);
    m_since.start();
}

Simulator::~Simulator() {
    stop();
}

bool Simulator::start(const QString& linkPath, QString* error) {
    stop();
    auto fail = [&](const char* what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(strerror(errno)));
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0) return fail("posix_openpt");
    if (::grantpt(m_master) != 0) return fail("grantpt");
    if (::unlockpt(m_master) != 0) return fail("unlockpt");
    const char* name = ::ptsname(m_master);
    if (!name) return fail("ptsname");
    m_slave = QString::fromLocal8Bit(name);
    // Raw mode on the line so CRs, NULs and 8-bit bytes pass untouched in both directions.
    termios tio{};
    if (::tcgetattr(m_master, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_master, TCSANOW, &tio);
    }
    if (!linkPath.isEmpty()) {
        QFile::remove(linkPath);
        if (!QFile::link(m_slave, linkPath)) {
            errno = EEXIST;
            return fail("link");
        }
        m_link = linkPath;
    }
    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &Simulator::onReadable);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &Simulator::pump);
    m_in.clear();
    m_out.clear();
    m_outPos = 0;
    m_clock.start();
    m_lastPump = 0;
    m_credit = 0;
    return true;
}

void Simulator::stop() {
    m_pace->stop();
    m_inTimer->stop();
    m_due.clear();
    m_inFreeNs = 0;
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
    if (!m_link.isEmpty()) QFile::remove(m_link);
    m_link.clear();
    m_slave.clear();
    m_out.clear();
    m_outPos = 0;
}

void Simulator::setPowered(bool on) {
    m_powered = on;
    if (!on) {
        // Whatever was still on its way is cut off with the power.
        m_out.clear();
        m_outPos = 0;
    }
}

void Simulator::injectGarbage(const QByteArray& bytes) {
    send(bytes);
}

void Simulator::injectRandomGarbage(int n, quint32 seed) {
    QByteArray g;
    g.reserve(n);
    quint32 x = seed ? seed : 1;
    for (int i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        g.append(char(x & 0xff));
    }
    send(g);
}

void Simulator::panelTune(qint64 hz) {
    if (!m_powered || hz < 0 || hz >= 30000000) return;
    RxSettings s = m_rx;
    s.hz = hz;
    panelSet(s);
}

void Simulator::panelSet(const RxSettings& s) {
    if (!m_powered) return;
    const qint64 now = clockMs();
    const double shown = shownDb(now);
    m_rx = s;
    m_fromDb = shown;
    m_changedAt = now;
    sendStatus();
}

qint64 Simulator::clockMs() const {
    return m_frozenMs >= 0 ? m_frozenMs : m_since.elapsed();
}

void Simulator::setNoiseFloor(int mhz, double db) {
    if (mhz >= 0 && mhz < 30) m_floor[std::size_t(mhz)] = db;
}

double Simulator::noiseFloor(int mhz) const {
    return mhz >= 0 && mhz < 30 ? m_floor[std::size_t(mhz)] : 0.0;
}

int Simulator::rawFromDb(double db) {
    if (db < 0) db = 0;
    const double raw = 256.0 - 62.74048 * std::pow(db, 0.23097);
    return std::clamp(int(std::lround(raw)), 0, 255);
}

int Simulator::meterReading() const {
    if (m_fixedMeter >= 0) return std::min(m_fixedMeter, 255);
    return rawFromDb(shownDb(clockMs()));
}

double Simulator::shownDb(qint64 now) const {
    const double target = targetDb(m_rx, now);
    if (m_settleMs <= 0 || m_changedAt < 0 || now - m_changedAt >= m_settleMs) return target;
    const double done = double(now - m_changedAt) / m_settleMs;
    return m_fromDb + (target - m_fromDb) * done;
}

double Simulator::targetDb(const RxSettings& rx, qint64 now) const {
    const int mhz = int(rx.hz / 1000000);
    double db = noiseFloor(mhz);
    const int width = rx.width > 0 ? rx.width : nominalWidth[std::clamp(rx.ft, 0, 3)];
    for (const auto& c : m_carriers) {
        if (!c.OnAt(now)) continue;
        const double off = std::abs(double(rx.hz) - c.hz);
        const double reach = (width + c.widthHz) / 2.0;
        if (off > reach) continue;
        // Full strength near the centre, falling off towards the edge of the passband.
        const double edge = reach > 0 ? off / reach : 0;
        const double level = c.dbAboveS0 - (edge > 0.5 ? (edge - 0.5) * 40.0 : 0.0);
        db = std::max(db, level);
    }
    if (rx.at) db = std::max(0.0, db - 20.0);
    return db;
}

Channel Simulator::channel(int n) const {
    return n >= 0 && n < 200 ? m_channels[std::size_t(n)] : Channel{};
}

void Simulator::setChannel(int n, const Channel& c) {
    if (n >= 0 && n < 200) m_channels[std::size_t(n)] = c;
}

void Simulator::onReadable() {
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                const char c = buf[i];
                if (m_inPaced) {
                    // Each character takes its time on the wire, after the one before it.
                    const qint64 nowNs = m_clock.nsecsElapsed();
                    m_inFreeNs = std::max(m_inFreeNs, nowNs) + 10'000'000'000LL / m_baud;
                }
                if (c == '\r') {
                    const QByteArray line = m_in;
                    m_in.clear();
                    if (m_inPaced) {
                        m_due.push_back({m_inFreeNs, line});
                        if (!m_inTimer->isActive()) handleDueLines();
                        continue;
                    }
                    handleLine(line);
                    if (m_master < 0) return;
                } else if (c != '\n' && m_in.size() < InputCap) {
                    m_in.append(c);
                }
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        // EIO: no slave open right now. Stop listening until something is written, or the
        // notifier would fire without end; poll again shortly.
        if (m_readNotifier) {
            m_readNotifier->setEnabled(false);
            QTimer::singleShot(50, this, [this] {
                if (m_readNotifier) m_readNotifier->setEnabled(true);
            });
        }
        return;
    }
}

void Simulator::handleDueLines() {
    const qint64 nowNs = m_clock.nsecsElapsed();
    std::size_t done = 0;
    while (done < m_due.size() && m_due[done].dueNs <= nowNs) {
        const QByteArray line = m_due[done++].line;
        handleLine(line);
        if (m_master < 0) return;
    }
    m_due.erase(m_due.begin(), m_due.begin() + std::ptrdiff_t(done));
    if (!m_due.empty()) {
        const qint64 waitNs = m_due.front().dueNs - nowNs;
        m_inTimer->start(int((waitNs + 999'999) / 1'000'000));
    }
}

void Simulator::handleLine(const QByteArray& line) {
    // Logged even while switched off, so tests see what the driver tried.
    const QString text = QString::fromLatin1(line);
    m_lines.append(text);
    if (m_lines.size() > MaxLoggedLines) m_lines.removeFirst();
    emit lineReceived(text);
    if (line.isEmpty() || !m_powered) return;
    const char cmd = line[0];
    const QByteArray arg = line.mid(1);
    // Queries are answered in any state; settings only while under remote control.
    switch (cmd) {
    case 'H':
        if (arg.isEmpty())
            send(QByteArray("H") + (m_held ? '1' : '0') + '\r');
        else if (arg == "1" || arg == "0")
            m_held = arg == "1";
        return;
    case '?':
        if (arg.isEmpty()) send("?" + m_ident + '\r');
        return;
    case 'I':
        if (arg == "1" || arg == "0") {
            m_auto = arg == "1";
            if (m_auto) sendStatus();
        }
        return;
    case 'M':
        if (arg.isEmpty()) send("M" + num(meterReading(), 3) + '\r');
        return;
    case 'Q':
        if (arg.isEmpty()) {
            const bool open = m_rx.sq && meterReading() > 120;
            send(QByteArray("Q") + (open ? '1' : '0') + '\r');
        }
        return;
    case 'L':
        if (arg.size() == 6 && allDigits(arg)) {
            const int first = arg.left(3).toInt(), last = arg.mid(3).toInt();
            for (int n = first; n <= last && n < 200; ++n) send(channelLine(n));
        }
        return;
    default:
        break;
    }
    if (arg.isEmpty()) {
        if (cmd == 'W') {
            const int w = m_rx.width > 0 ? m_rx.width : (m_rx.ft <= 1 ? nominalWidth[m_rx.ft] : 0);
            send("W" + num(w, 4) + '\r');
        } else if (cmd == 'N') {
            send("N" + num(m_rx.nb, 1) + '\r');
        }
        return;
    }
    if (!m_held || !allDigits(arg)) return;
    const int d = arg.size() == 1 ? arg[0] - '0' : -1;
    RxSettings before = m_rx;
    const qint64 now = clockMs();
    const double shown = m_settleMs > 0 ? shownDb(now) : 0.0;
    switch (cmd) {
    case 'F':
        if (arg.size() == 8 && arg.toLongLong() < 30000000) m_rx.hz = arg.toLongLong();
        break;
    case 'D':
        if (d >= 0 && d <= 8) m_rx.md = d;
        break;
    case 'A':
        if (d >= 0 && d <= 1) m_rx.at = d;
        break;
    case 'G':
        if (d >= 0 && d <= 2) m_rx.ag = d;
        break;
    case 'N':
        if (d >= 0 && d <= 2) m_rx.nb = d;
        break;
    case 'B':
        if (d >= 0 && d <= 3) m_rx.ft = d, m_rx.width = 0;
        break;
    case 'W':
        if (arg.size() <= 5) m_rx.width = arg.toInt();
        break;
    case 'K':
        if (arg.size() == 15) {
            const int n = arg.left(3).toInt();
            if (n < 200)
                m_channels[std::size_t(n)] = {false,         arg[3] - '0',
                                              arg[4] - '0',  arg[5] - '0',
                                              arg[14] - '0', arg.mid(6, 8).toLongLong()};
        }
        return;
    case 'J':
        if (arg.size() == 4 && arg[0] == '1') {
            const int n = arg.mid(1).toInt();
            if (n < 200)
                m_channels[std::size_t(n)] = {false, m_rx.at, m_rx.ft, m_rx.md, m_rx.ag, m_rx.hz};
        }
        return;
    case 'Z':
        if (d >= 1 && d <= 3) resetSettings(d);
        break;
    default:
        return;
    }
    if (before.hz != m_rx.hz || before.at != m_rx.at || before.ft != m_rx.ft ||
        before.width != m_rx.width) {
        // The meter starts moving towards the new reading.
        m_fromDb = shown;
        m_changedAt = now;
    }
    if (before.hz != m_rx.hz || before.md != m_rx.md || before.at != m_rx.at ||
        before.ag != m_rx.ag || before.ft != m_rx.ft || cmd == 'Z')
        sendStatus();
}

void Simulator::resetSettings(int level) {
    // 1: settings, 2: memory channels, 3: both.
    if (level & 1) m_rx = RxSettings{};
    if (level & 2) m_channels.fill(Channel{});
}

QByteArray Simulator::statusLine() const {
    return "I" + num(m_rx.at, 1) + num(m_rx.ft, 1) + num(m_rx.md, 1) + num(m_rx.hz, 8) +
           num(m_rx.ag, 1) + '\r';
}

QByteArray Simulator::channelLine(int n) const {
    const Channel& c = m_channels[std::size_t(n)];
    if (c.empty) return "L" + num(n, 3) + "V\r";
    return "L" + num(n, 3) + num(c.at, 1) + num(c.ft, 1) + num(c.md, 1) + num(c.hz, 8) +
           num(c.ag, 1) + '\r';
}

void Simulator::sendStatus() {
    if (m_auto) send(statusLine());
}

void Simulator::send(const QByteArray& bytes) {
    if (m_master < 0 || !m_powered || bytes.isEmpty()) return;
    if (m_outPos > 0 && m_outPos == m_out.size()) {
        m_out.clear();
        m_outPos = 0;
    }
    m_out.append(bytes);
    if (!m_paced) {
        pump();
        return;
    }
    if (!m_pace->isActive()) {
        m_lastPump = m_clock.nsecsElapsed();
        m_credit = 1; // the first character leaves at once
        m_pace->start();
        pump();
    }
}

void Simulator::pump() {
    if (m_master < 0) return;
    qsizetype allowed = m_out.size() - m_outPos;
    if (m_paced) {
        const qint64 now = m_clock.nsecsElapsed();
        m_credit += double(now - m_lastPump) * 1e-9 * m_baud / 10.0;
        m_lastPump = now;
        allowed = std::min<qsizetype>(allowed, qsizetype(m_credit));
    }
    if (allowed > 0) {
        const ssize_t n = ::write(m_master, m_out.constData() + m_outPos, size_t(allowed));
        if (n > 0) {
            m_outPos += n;
            if (m_paced) m_credit -= double(n);
        }
    }
    const bool done = m_outPos >= m_out.size();
    if (done) {
        m_out.clear();
        m_outPos = 0;
        m_pace->stop();
        m_credit = 0;
    }
    // Unpaced output that did not fit waits for the terminal to drain.
    if (m_writeNotifier) m_writeNotifier->setEnabled(!done && !m_paced);
}

} // namespace nrd535sim
