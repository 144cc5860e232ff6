#include "rfc2217.h"

#include <QStringList>

namespace ostry {

namespace {
QString parityName(Rfc2217Codec::Parity p) {
    switch (p) {
    case Rfc2217Codec::Parity::None:
        return QStringLiteral("none");
    case Rfc2217Codec::Parity::Odd:
        return QStringLiteral("odd");
    case Rfc2217Codec::Parity::Even:
        return QStringLiteral("even");
    case Rfc2217Codec::Parity::Mark:
        return QStringLiteral("mark");
    case Rfc2217Codec::Parity::Space:
        return QStringLiteral("space");
    }
    return QString::number(int(p));
}

QString stopName(Rfc2217Codec::StopSize s) {
    switch (s) {
    case Rfc2217Codec::StopSize::One:
        return QStringLiteral("1");
    case Rfc2217Codec::StopSize::Two:
        return QStringLiteral("2");
    case Rfc2217Codec::StopSize::OneAndHalf:
        return QStringLiteral("1.5");
    }
    return QString::number(int(s));
}

// One COM-PORT-OPTION subnegotiation; IAC inside it doubled as in data.
void appendSub(QByteArray& out, quint8 cmd, const QByteArray& value) {
    out.append(char(Rfc2217Codec::Iac));
    out.append(char(Rfc2217Codec::Sb));
    out.append(char(Rfc2217Codec::ComPortOption));
    out.append(char(cmd));
    out.append(Rfc2217Codec::escape(value));
    out.append(char(Rfc2217Codec::Iac));
    out.append(char(Rfc2217Codec::Se));
}
} // namespace

bool Rfc2217Codec::parseSettings(const QString& settings, Line* line) {
    const QStringList f = settings.split(u',');
    if (f.size() != 4) return false;
    bool ok = false;
    const int baud = f[0].trimmed().toInt(&ok);
    if (!ok || baud <= 0) return false;
    const QString parity = f[1].trimmed().toUpper();
    const qsizetype p = parity.size() == 1 ? QStringLiteral("NOEMS").indexOf(parity) : -1;
    if (p < 0) return false;
    const int data = f[2].trimmed().toInt(&ok);
    if (!ok || data < 5 || data > 8) return false;
    const QString stop = f[3].trimmed();
    StopSize s;
    if (stop == QLatin1String("1"))
        s = StopSize::One;
    else if (stop == QLatin1String("2"))
        s = StopSize::Two;
    else if (stop == QLatin1String("1.5"))
        s = StopSize::OneAndHalf;
    else
        return false;
    if (line) *line = Line{quint32(baud), quint8(data), Parity(p + 1), s};
    return true;
}

QByteArray Rfc2217Codec::start(const Line& line) {
    *this = Rfc2217Codec();
    m_asked = line;
    QByteArray out;
    out.append(char(Iac));
    out.append(char(Will));
    out.append(char(ComPortOption));
    const quint32 b = line.baud;
    const char baud[4] = {char(b >> 24), char((b >> 16) & 0xff), char((b >> 8) & 0xff),
                          char(b & 0xff)};
    appendSub(out, SetBaudrate, QByteArray(baud, 4));
    appendSub(out, SetDatasize, QByteArray(1, char(line.dataSize)));
    appendSub(out, SetParity, QByteArray(1, char(line.parity)));
    appendSub(out, SetStopsize, QByteArray(1, char(line.stopSize)));
    // A receiver on three wires: no handshake lines to wait for.
    appendSub(out, SetControl, QByteArray(1, char(NoFlowControl)));
    return out;
}

QByteArray Rfc2217Codec::escape(const QByteArray& data) {
    if (!data.contains(char(Iac))) return data;
    QByteArray out;
    out.reserve(data.size() + 8);
    for (const char c : data) {
        out.append(c);
        if (quint8(c) == Iac) out.append(c);
    }
    return out;
}

void Rfc2217Codec::feed(const char* data, qsizetype size, QByteArray* payload) {
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = quint8(data[i]);
        switch (m_state) {
        case State::Data:
            if (b == Iac)
                m_state = State::Iac;
            else
                payload->append(char(b));
            break;
        case State::Iac:
            if (b == Iac) {
                payload->append(char(b));
                m_state = State::Data;
            } else {
                command(b);
            }
            break;
        case State::Verb:
            negotiate(m_verb, b);
            m_state = State::Data;
            break;
        case State::Sub:
            if (b == Iac)
                m_state = State::SubIac;
            else if (m_sub.size() < SubCap)
                m_sub.append(char(b));
            else
                m_subOverflow = true;
            break;
        case State::SubIac:
            if (b == Se) {
                if (!m_subOverflow) subnegotiation();
                m_state = State::Data;
            } else if (b == Iac) {
                if (m_sub.size() < SubCap)
                    m_sub.append(char(b));
                else
                    m_subOverflow = true;
                m_state = State::Sub;
            } else {
                // A command where only IAC or SE may follow: the subnegotiation is broken off
                // and the command taken as it stands.
                command(b);
            }
            break;
        }
    }
}

void Rfc2217Codec::command(quint8 b) {
    switch (b) {
    case Will:
    case Wont:
    case Do:
    case Dont:
        m_verb = b;
        m_state = State::Verb;
        return;
    case Sb:
        m_sub.clear();
        m_subOverflow = false;
        m_state = State::Sub;
        return;
    default:
        // NOP, GA, data mark, AYT and the like carry nothing for a serial line.
        m_state = State::Data;
        return;
    }
}

void Rfc2217Codec::negotiate(quint8 verb, quint8 option) {
    const auto reply = [this, option](quint8 v) {
        m_replies.append(char(Iac));
        m_replies.append(char(v));
        m_replies.append(char(option));
    };
    const bool comPort = option == ComPortOption;
    switch (verb) {
    case Will:
        // The server offers something on its side: nothing of that is wanted.
        reply(Dont);
        break;
    case Do:
        // Our WILL went out first, so DO COM-PORT-OPTION is its answer and needs none.
        if (comPort && m_agreement != Agreement::Refused)
            m_agreement = Agreement::Accepted;
        else if (!comPort)
            reply(Wont);
        break;
    case Dont:
        if (!comPort) break; // nothing else was on
        // Turned off after being on is acknowledged; a refusal of our offer is not.
        if (m_agreement == Agreement::Accepted) reply(Wont);
        m_agreement = Agreement::Refused;
        break;
    default: // WONT: nothing of the server's was asked for
        break;
    }
}

void Rfc2217Codec::subnegotiation() {
    if (m_sub.size() < 2 || quint8(m_sub[0]) != ComPortOption) return;
    const auto cmd = quint8(m_sub[1]);
    const QByteArray value = m_sub.mid(2);
    if (cmd == ServerOffset + SetBaudrate && value.size() == 4) {
        m_reported.baud = quint32(quint8(value[0])) << 24 | quint32(quint8(value[1])) << 16 |
                          quint32(quint8(value[2])) << 8 | quint32(quint8(value[3]));
    } else if (value.size() == 1) {
        const auto v = quint8(value[0]);
        if (cmd == ServerOffset + SetDatasize)
            m_reported.dataSize = v;
        else if (cmd == ServerOffset + SetParity)
            m_reported.parity = Parity(v);
        else if (cmd == ServerOffset + SetStopsize)
            m_reported.stopSize = StopSize(v);
    }
    // Line and modem state notices, flow control and the rest say nothing the driver uses.
}

QByteArray Rfc2217Codec::takeReplies() {
    QByteArray out;
    out.swap(m_replies);
    return out;
}

QString Rfc2217Codec::problem() const {
    if (m_agreement == Agreement::Refused)
        return QStringLiteral("does not take line settings (it refused RFC 2217; a raw TCP port "
                              "is reached as tcp://)");
    // An answer of 0 is no setting (it is how a value is asked for).
    const Line& r = m_reported;
    const Line& a = m_asked;
    if (r.baud != 0 && r.baud != a.baud)
        return QStringLiteral("set the line to %1 baud, not %2").arg(r.baud).arg(a.baud);
    if (r.dataSize != 0 && r.dataSize != a.dataSize)
        return QStringLiteral("set %1 data bits, not %2").arg(r.dataSize).arg(a.dataSize);
    if (r.parity != Parity(0) && r.parity != a.parity)
        return QStringLiteral("set parity %1, not %2")
            .arg(parityName(r.parity), parityName(a.parity));
    if (r.stopSize != StopSize(0) && r.stopSize != a.stopSize)
        return QStringLiteral("set %1 stop bits, not %2")
            .arg(stopName(r.stopSize), stopName(a.stopSize));
    return QString();
}

} // namespace ostry
