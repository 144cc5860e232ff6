#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>

using namespace ostry;

namespace {
// Conn waits this long for each answer.
constexpr int AnswerWaitMs = 200;
constexpr int RxThreshold = 3;
// A dump whose last record never arrives (lost or garbled on the line) stops counting as running
// after this long without any record, so CHUpd is not refused for the rest of the session.
constexpr int DumpSilenceMs = 3000;

// The answer to one handshake question without the status reports around it: a receiver left
// reporting by an earlier session (or tuned by hand meanwhile) sends them at any moment, and they
// would be read as the remote state or the identification. The flush before each question can
// cut a report in two, leaving its digits and CR as a line of their own: those go as well. The
// first remaining line is the answer, CR included.
QByteArray answerLine(const QByteArray& received) {
    QByteArray rest;
    qsizetype start = 0;
    while (start < received.size()) {
        qsizetype cr = received.indexOf(wire::Cr, start);
        const qsizetype end = cr < 0 ? received.size() : cr + 1;
        QByteArray line = received.mid(start, end - start);
        while (line.startsWith('\n')) line.remove(0, 1);
        StatusReply report;
        const QByteArray text = line.endsWith(wire::Cr) ? line.chopped(1) : line;
        const bool tail =
            std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!tail && !parseStatus(std::string_view(line.constData(), size_t(line.size())), report))
            rest += line;
        start = end;
    }
    const qsizetype cr = rest.indexOf(wire::Cr);
    if (cr >= 0) return rest.left(cr + 1);
    // No complete line: the start of a report still on its way is no answer.
    const bool reportHead =
        rest.startsWith(wire::StatusReply) &&
        std::all_of(rest.begin() + 1, rest.end(), [](char c) { return c >= '0' && c <= '9'; });
    return reportHead ? QByteArray() : rest;
}

// The driver has no windows: without a host display the text goes to the log.
void defaultDisplay(const QString& text) {
    qWarning("%s", qUtf8Printable(text));
}
} // namespace

Nrd535::Nrd535(QObject* parent)
    : QObject(parent), Serial(new SerialLine(this)), m_display(defaultDisplay) {
    connect(Serial, &SerialLine::received, this, &Nrd535::Serial_OnComm);
    connect(Serial, &SerialLine::lost, this, &Nrd535::onPortError);
    connect(Serial, &SerialLine::up, this, [this] { m_deviceLost = false; });
    m_dumpWatch = new QTimer(this);
    m_dumpWatch->setSingleShot(true);
    m_dumpWatch->setInterval(DumpSilenceMs);
    connect(m_dumpWatch, &QTimer::timeout, this, [this] { m_dumpBusy = false; });
    // The filter's poll stays off until what was pending when the setter returned has run: a
    // host tick queued meanwhile must not ask for the width while the change is on its way.
    m_ftDone = new QTimer(this);
    m_ftDone->setSingleShot(true);
    m_ftDone->setInterval(0);
    connect(m_ftDone, &QTimer::timeout, this, [this] { FTBusy = false; });
}

Nrd535::~Nrd535() = default;

QString Nrd535::Baud() const {
    return m_Baud;
}
void Nrd535::Baud(const QString& value) {
    m_Baud = value;
}
quint8 Nrd535::Port() const {
    return m_Port;
}
void Nrd535::Port(quint8 value) {
    m_Port = value;
}
double Nrd535::FrMax() const {
    return ostry::FrMax;
}
QString Nrd535::RomId() const {
    return m_RomId;
}
qint16 Nrd535::BWL() const {
    return m_BWL;
}
qint16 Nrd535::BWI() const {
    return m_st.BWI;
}
qint16 Nrd535::BWH() const {
    return m_st.BWH;
}
qint16 Nrd535::BWA() const {
    return m_BWA;
}

qint16 Nrd535::FTB(qint16 Bandwidth, ostry::MD Mode, bool AuxF) const {
    return filterForBandwidth(Bandwidth, Mode, AuxF);
}

bool Nrd535::fOpen(bool ShowErr) {
    m_st.DumpLast = -1;
    m_dumpBusy = false;
    m_dumpWatch->stop();
    m_BWL = NominalBWL;
    m_st.BWI = NominalBWI;
    m_st.BWH = NominalBWH;
    m_BWA = NominalBWA;
    if (Serial->isOpen()) return m_PortOpened = true; // already open: nothing to configure

    Serial->setPortNumber(m_Port);
    Serial->setReceiveThreshold(0);
    Serial->setInputBufferSize(SerialLine::DefaultInputBuffer);
    RxBuf.clear();
    if (!Serial->setSettings(m_Baud + QStringLiteral(",N,8,1"))) {
        m_PortOpened = false;
        m_lastError = QStringLiteral("Invalid line speed \"%1\" [Port=%2]").arg(m_Baud).arg(m_Port);
        if (ShowErr) m_display(m_lastError);
        return false;
    }
    if (Serial->open()) {
        m_PortOpened = true;
        // A network address is only being connected to; it is back once up() arrives.
        if (Serial->isUp()) m_deviceLost = false;
        m_lastError.clear();
        return true;
    }
    m_PortOpened = false;
    m_lastError = Serial->errorString() + QStringLiteral(" [Port=%1]").arg(m_Port);
    if (ShowErr) m_display(m_lastError);
    return false;
}

bool Nrd535::fClose() {
    if (!m_PortOpened) return false;
    if (m_Connected) Disc();
    SetRxNotify(false);
    Serial->close();
    m_PortOpened = false;
    m_st.Hook = false;
    m_lossReported = false; // the host chose to close: the next port's failures are news
    return true;
}

bool Nrd535::Conn() {
    // A host timer firing during the waits below must not start a second handshake.
    if (m_inConn) return false;
    m_inConn = true;
    struct Reset {
        QPointer<Nrd535> self;
        ~Reset() {
            if (self) self->m_inConn = false;
        }
    } reset{this};

    SetRxNotify(false);
    m_Connected = false;
    m_st.Hook = false;
    m_RomId.clear();
    m_st.Fr = -1.0;
    m_st.MD = m_st.FT = m_st.AG = m_st.AT = m_st.SQ = -1;
    m_st.NB = m_st.SM = -1;
    m_st.ReportedFT = -1;
    forgetSent();
    m_ftDone->stop();
    FTBusy = false;
    RxBuf.clear();
    // Whatever is still waiting (reports of an earlier session, a reply that came too late) would
    // be read as the answers below.
    Serial->readAll();

    if (!SendCmd(QByteArrayLiteral("H"))) return false;
    if (!waitPumping(AnswerWaitMs)) return false;
    const QByteArray remote = answerLine(Serial->readAll());
    if (remote.isEmpty()) return false;

    Serial->readAll();
    if (!SendCmd(QByteArrayLiteral("?"))) return false;
    if (!waitPumping(AnswerWaitMs)) return false;
    QByteArray id = answerLine(Serial->readAll());
    if (id.isEmpty()) return false;
    id = id.mid(1, id.size() - 2);
    m_RomId = QString::fromLatin1(id);
    if (!m_RomId.startsWith(QLatin1String("535"))) m_RomId.clear();

    if (remote.size() >= 2 && remote[1] == '1') {
        SendCmd(QByteArrayLiteral("I0"));
        SendCmd(QByteArrayLiteral("H0"));
    }
    Hook(true);
    m_Connected = true;
    m_lossReported = false;
    SetRxNotify(true);
    UpdAll();
    return SendCmd(QByteArrayLiteral("I1"));
}

bool Nrd535::Disc() {
    if (!m_Connected) return false;
    SendCmd(QByteArrayLiteral("I0"));
    const bool ok = SendCmd(QByteArrayLiteral("H0"));
    SetRxNotify(false);
    m_Connected = false;
    return ok;
}

QString Nrd535::FRDesc(double Fr) const {
    return frequencyText(Fr);
}
double Nrd535::Log10(double x) const {
    return std::log(x) / std::log(10.0);
}
qint16 Nrd535::SMCalc(qint16 SM, bool SM2INT) const {
    return smeterConvert(SM, SM2INT);
}
QString Nrd535::SMDesc(qint16 SM) const {
    return smeterText(SM);
}

qint16 Nrd535::SQDescMax() const {
    return settingDescMax(Setting::SQ);
}
ONOFF Nrd535::SQCode(const QString& SQ) const {
    return ONOFF(settingCode(Setting::SQ, SQ));
}
QString Nrd535::SQDesc(ONOFF SQ) const {
    return settingDesc(Setting::SQ, SQ);
}
qint16 Nrd535::NBDescMax() const {
    return settingDescMax(Setting::NB);
}
qint16 Nrd535::NBCode(const QString& NB) const {
    return qint16(settingCode(Setting::NB, NB));
}
QString Nrd535::NBDesc(qint16 NB) const {
    return settingDesc(Setting::NB, NB);
}
qint16 Nrd535::ATDescMax() const {
    return settingDescMax(Setting::AT);
}
ONOFF Nrd535::ATCode(const QString& AT) const {
    return ONOFF(settingCode(Setting::AT, AT));
}
QString Nrd535::ATDesc(ONOFF AT) const {
    return settingDesc(Setting::AT, AT);
}
qint16 Nrd535::AGDescMax() const {
    return settingDescMax(Setting::AG);
}
QString Nrd535::AGDesc(ostry::AG AG) const {
    return settingDesc(Setting::AG, AG);
}
ostry::AG Nrd535::AGCode(const QString& AG) const {
    return ostry::AG(settingCode(Setting::AG, AG));
}
qint16 Nrd535::MDDescMax() const {
    return settingDescMax(Setting::MD);
}
QString Nrd535::MDDesc(ostry::MD MD) const {
    return settingDesc(Setting::MD, MD);
}
ostry::MD Nrd535::MDCode(const QString& MD) const {
    return ostry::MD(settingCode(Setting::MD, MD));
}
qint16 Nrd535::FTDescMax() const {
    return settingDescMax(Setting::FT);
}
ostry::FT Nrd535::FTCode(const QString& FT) const {
    return ostry::FT(settingCode(Setting::FT, FT));
}
QString Nrd535::FTDesc(ostry::FT FT) const {
    return settingDesc(Setting::FT, FT);
}

namespace {
bool takeFlag(bool& flag) {
    const bool v = flag;
    flag = false;
    return v;
}
} // namespace

bool Nrd535::IsModFR() {
    return takeFlag(m_st.ModFR);
}
double Nrd535::Fr() {
    m_st.ModFR = false;
    return m_st.Fr;
}
void Nrd535::Fr(double value) {
    if (!m_Connected || value == current(SentFr, m_st.Fr)) return;
    if (value == 0) value = FrZeroSubstitute;
    if (value >= 0 && value < ostry::FrMax && SendCmd(encodeTune(value)))
        noteSent(SentFr, m_st.Fr, std::trunc(value));
}

bool Nrd535::IsModAT() {
    return takeFlag(m_st.ModAT);
}
ONOFF Nrd535::AT() {
    m_st.ModAT = false;
    return ONOFF(m_st.AT);
}
void Nrd535::AT(ONOFF value) {
    if (!m_Connected || double(value) == current(SentAT, m_st.AT) ||
        !settingInRange(Setting::AT, value))
        return;
    if (SendCmd(encodeDigitCommand(wire::AttCmd, value))) noteSent(SentAT, m_st.AT, value);
}

bool Nrd535::IsModFT() {
    return takeFlag(m_st.ModFT);
}
void Nrd535::FTUpd() {
    if (m_Connected && !FTBusy) SendCmd(QByteArray(1, wire::WidthCmd));
}
ostry::FT Nrd535::FT() {
    m_st.ModFT = false;
    return ostry::FT(m_st.FT);
}
void Nrd535::FT(ostry::FT value) {
    if (!m_Connected || double(value) == current(SentFT, m_st.FT)) return;
    qint32 v = value;
    if (v > m_st.BWH) v = Wide;
    if (v < m_BWL && v > 4) v = Narrow;
    // A negative value or 4 names neither a filter nor a bandwidth. Nothing goes to the
    // receiver then, so nothing may be stored or reported as its filter either.
    if (v < 0 || (v > Aux && v < m_BWL)) return;
    FTBusy = true;
    const double before = m_st.FT;
    if (v >= m_BWL) {
        // A continuous bandwidth between the narrow and wide nominal ones.
        SendCmd(encodeDigitCommand(wire::FilterCmd, v <= 2100 ? 1 : 0));
        SendCmd(encodeWidth(v));
    } else {
        SendCmd(encodeDigitCommand(wire::FilterCmd, v));
        if (v == Inter) SendCmd(wire::WidthCmd + QByteArray::number(m_st.BWI));
        if (v == Wide) SendCmd(wire::WidthCmd + QByteArray::number(m_st.BWH));
    }
    noteSent(SentFT, before, v);
    // The poll of the width stays off until the events pending now have run (the timer below),
    // so a tick queued behind the caller does not ask while the change is on its way.
    m_ftDone->start();
    if (v != m_st.FT) {
        m_st.FT = v;
        m_st.ModFT = true;
        raiseOnUpd();
    }
}

bool Nrd535::IsModMD() {
    return takeFlag(m_st.ModMD);
}
ostry::MD Nrd535::MD() {
    m_st.ModMD = false;
    return ostry::MD(m_st.MD);
}
void Nrd535::MD(ostry::MD value) {
    if (!m_Connected || double(value) == current(SentMD, m_st.MD) ||
        !settingInRange(Setting::MD, value))
        return;
    if (SendCmd(encodeDigitCommand(wire::ModeCmd, value))) noteSent(SentMD, m_st.MD, value);
}

bool Nrd535::IsModAG() {
    return takeFlag(m_st.ModAG);
}
ostry::AG Nrd535::AG() {
    m_st.ModAG = false;
    return ostry::AG(m_st.AG);
}
void Nrd535::AG(ostry::AG value) {
    if (!m_Connected || double(value) == current(SentAG, m_st.AG) ||
        !settingInRange(Setting::AG, value))
        return;
    if (SendCmd(encodeDigitCommand(wire::AgcCmd, value))) noteSent(SentAG, m_st.AG, value);
}

bool Nrd535::IsModNB() {
    return takeFlag(m_st.ModNB);
}
void Nrd535::NBUpd() {
    if (m_Connected && !NBBusy) SendCmd(QByteArray(1, wire::NbCmd));
}
qint16 Nrd535::NB() {
    m_st.ModNB = false;
    return m_st.NB;
}
void Nrd535::NB(qint16 value) {
    if (!m_Connected || value == current(SentNB, m_st.NB)) return;
    NBBusy = true;
    if (settingInRange(Setting::NB, value)) {
        if (SendCmd(encodeDigitCommand(wire::NbCmd, value))) noteSent(SentNB, m_st.NB, value);
        m_st.NB = value;
        m_st.ModNB = true;
        raiseOnUpd();
    }
    NBBusy = false;
}

bool Nrd535::IsModSM() {
    return takeFlag(m_st.ModSM);
}
void Nrd535::SMUpd() {
    if (m_Connected) SendCmd(QByteArray(1, wire::MeterCmd));
}
qint16 Nrd535::SM() {
    m_st.ModSM = false;
    return m_st.SM;
}

quint32 Nrd535::SMReplies() const {
    return m_st.SMReplies;
}

bool Nrd535::IsModSQ() {
    return takeFlag(m_st.ModSQ);
}
void Nrd535::SQUpd() {
    if (m_Connected) SendCmd(QByteArray(1, wire::SquelchCmd));
}
ONOFF Nrd535::SQ() {
    m_st.ModSQ = false;
    return ONOFF(m_st.SQ);
}

void Nrd535::Save(qint16 Num, double Fr, ostry::MD MD, ostry::FT FT, ostry::AG AG, ONOFF AT) {
    if (!m_Connected) return;
    // Each field is one digit (three for the number, eight for the frequency) on the wire;
    // anything wider would shift every later field of the record.
    if (Num < 0 || Num >= ChannelCount || Fr < 0 || Fr >= ostry::FrMax || MD < 0 || MD > 9 ||
        FT < 0 || FT > 9 || AG < 0 || AG > 9 || AT < 0 || AT > 9)
        return;
    SendCmd(encodeStore(Num, Fr, MD, FT, AG, AT));
}

void Nrd535::Raz(qint16 Lvl) {
    if (m_Connected && Lvl >= 1 && Lvl <= 3) SendCmd(encodeDigitCommand(wire::ResetCmd, Lvl));
}

void Nrd535::Dump(qint16 Num) {
    if (m_Connected && Num >= 0 && Num <= 999) SendCmd(encodeChannel(Num));
}

bool Nrd535::CHUpd(qint16 Fst, qint16 Lst, bool Tbl) {
    if (m_dumpBusy || !m_Connected) return false;
    if (Fst < 0 || Fst >= ChannelCount || Lst < 0 || Lst >= ChannelCount || Lst < Fst) return false;
    m_st.chn.TB = Tbl;
    m_dumpBusy = true;
    m_st.DumpLast = Lst;
    m_dumpWatch->start();
    return SendCmd(encodeDump(Fst, Lst));
}

bool Nrd535::Hook() const {
    return m_st.Hook;
}
void Nrd535::Hook(bool value) {
    m_st.Hook = value;
    SendCmd(value ? QByteArrayLiteral("H1") : QByteArrayLiteral("H0"));
}

bool Nrd535::PortOpened() const {
    return m_PortOpened;
}
bool Nrd535::Connected() const {
    return m_Connected;
}
bool Nrd535::DumpBusy() const {
    return m_dumpBusy;
}
bool Nrd535::deviceLost() const {
    return m_deviceLost;
}
QString Nrd535::LastError() const {
    return m_lastError;
}
QString Nrd535::device() const {
    return portDevice(m_Port);
}

void Nrd535::setMessageDisplay(MessageDisplay display) {
    m_display = display ? std::move(display) : MessageDisplay(defaultDisplay);
}

namespace {
qint64 nowMs() {
    return QDeadlineTimer::current().deadline();
}
} // namespace

double Nrd535::current(SentSlot slot, double reported) {
    Sent& s = m_sent[slot];
    if (s.value < 0) return reported;
    const bool stale = std::find(s.recent, s.recent + s.count, reported) != s.recent + s.count;
    if (!stale || nowMs() >= s.until) {
        // The receiver's own value, or its report had time to come: the report is the truth.
        s = Sent{};
        return reported;
    }
    return s.value;
}

qint32 Nrd535::InEffect(ostry::Setting setting) const {
    SentSlot slot = SentSlots;
    qint32 reported = m_st.SQ;
    switch (setting) {
    case Setting::MD:
        slot = SentMD, reported = m_st.MD;
        break;
    case Setting::FT:
        slot = SentFT, reported = m_st.FT;
        break;
    case Setting::AG:
        slot = SentAG, reported = m_st.AG;
        break;
    case Setting::AT:
        slot = SentAT, reported = m_st.AT;
        break;
    case Setting::NB:
        slot = SentNB, reported = m_st.NB;
        break;
    case Setting::SQ:
        return reported;
    }
    return qint32(inEffect(slot, reported));
}

double Nrd535::FrInEffect() const {
    return inEffect(SentFr, m_st.Fr);
}

double Nrd535::inEffect(SentSlot slot, double reported) const {
    const Sent& s = m_sent[slot];
    if (s.value < 0 || nowMs() >= s.until) return reported;
    const bool stale = std::find(s.recent, s.recent + s.count, reported) != s.recent + s.count;
    return stale ? s.value : reported;
}

void Nrd535::noteSent(SentSlot slot, double reported, double value) {
    Sent& s = m_sent[slot];
    static constexpr int Size = int(sizeof(Sent::recent) / sizeof(double));
    const auto remember = [&s](double v) {
        if (std::find(s.recent, s.recent + s.count, v) != s.recent + s.count) return;
        s.recent[s.next] = v;
        s.next = (s.next + 1) % Size;
        s.count = std::min(s.count + 1, Size);
    };
    if (s.value < 0 || nowMs() >= s.until) s = Sent{};
    remember(reported);
    remember(value);
    s.value = value;
    s.until = nowMs() + ReportDueMs;
}

void Nrd535::confirmSent() {
    // A report showing the value sent: the command has been carried out, so whatever the
    // receiver reports from now on is its own. Filter and blanker are stored by their setters
    // and wait for the deadline instead.
    const double reported[] = {m_st.Fr, double(m_st.MD), -1, double(m_st.AG), double(m_st.AT)};
    for (int slot : {SentFr, SentMD, SentAG, SentAT})
        if (m_sent[slot].value >= 0 && m_sent[slot].value == reported[slot]) m_sent[slot] = Sent{};
}

void Nrd535::forgetSent() {
    for (Sent& s : m_sent) s = Sent{};
}

bool Nrd535::SendCmd(const QByteArray& cmd) {
    if (!Serial->isOpen()) return false;
    // Whoever sends a command waits for what it brings: read lines as they arrive again.
    Serial->releaseReading();
    return Serial->write(cmd + wire::Cr);
}

void Nrd535::PollStatus() {
    if (!m_Connected) return;
    // What came since the last poll is read first, so the host has it before it asks again.
    // The port stays held: switching its reading on and off costs a pass of the loop each.
    if (Serial->holding() || Serial->bytesAvailable() > 0) {
        QPointer<Nrd535> self(this);
        Serial_OnComm();
        if (!self || !m_Connected) return;
    }
    QByteArray lines;
    const auto ask = [&lines](char letter) {
        lines += letter;
        lines += wire::Cr;
    };
    if (!FTBusy) ask(wire::WidthCmd);
    if (!NBBusy) ask(wire::NbCmd);
    ask(wire::SquelchCmd);
    ask(wire::MeterCmd);
    if (Serial->write(lines)) Serial->holdReading(PollHoldMs);
}

void Nrd535::SetRxNotify(bool on) {
    Serial->setReceiveThreshold(on ? RxThreshold : 0);
}

void Nrd535::UpdAll() {
    if (!m_Connected) return;
    FTUpd();
    SMUpd();
    SQUpd();
    NBUpd();
}

void Nrd535::Serial_OnComm() {
    SetRxNotify(false);
    const QByteArray data = Serial->readAll();
    const auto res = RxBuf.feed(m_st, data);
    if (res.upd) confirmSent();
    QPointer<Nrd535> self(this);
    if (res.upd) raiseOnUpd();
    if (!self) return;
    if (res.chn) {
        // Copy: a handler may feed the reader again (the FT setter pumps events).
        const std::vector<ChannelRecord> records = RxBuf.channels();
        for (const auto& c : records) {
            raiseOnChn(c);
            if (!self) return;
            if (c.ST) {
                m_dumpBusy = false;
                m_dumpWatch->stop();
            } else if (m_dumpBusy) {
                m_dumpWatch->start();
            }
        }
    }
    // A handler may have disconnected meanwhile; notifications stay off then.
    if (m_Connected) SetRxNotify(true);
}

void Nrd535::raiseOnUpd() {
    emit OnUpd(m_st.Fr, ostry::MD(m_st.MD), ostry::FT(m_st.FT), ostry::AG(m_st.AG), ONOFF(m_st.AT),
               m_st.NB, m_st.SM, ONOFF(m_st.SQ));
}

void Nrd535::raiseOnChn(const ChannelRecord& c) {
    emit OnChn(c.TB, c.NM, c.ST, c.Fr, ostry::MD(c.MD), ostry::FT(c.FT), ostry::AG(c.AG),
               ONOFF(c.AT));
}

bool Nrd535::waitPumping(int ms) {
    QPointer<Nrd535> self(this);
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    // Keys and clicks wait until the handshake is over; timers, sockets and repaints go on.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return self && Serial->isOpen();
}

void Nrd535::onPortError(const QString& description) {
    // The serial layer has closed the port; mirror what fClose leaves behind.
    m_deviceLost = true;
    m_lastError = description + QStringLiteral(" [Port=%1]").arg(m_Port);
    m_Connected = false;
    m_PortOpened = false;
    m_st.Hook = false;
    m_dumpBusy = false;
    m_dumpWatch->stop();
    // A server that stays away fails every reconnection attempt: the host hears of it once,
    // until the receiver has answered again.
    if (m_lossReported) return;
    m_lossReported = true;
    emit portLost(description);
}
