#pragma once

// Telnet with the COM-PORT-OPTION (RFC 2217) as the client of a serial server speaks it, without
// I/O: the opening that asks for the line settings, escaping of data sent, and a decoder that
// takes the server's telnet commands out of what it sends. Only the COM-PORT-OPTION is agreed
// to; every other option the server offers or asks for is refused.

#include <ostry/ostry_export.h>

#include <QByteArray>
#include <QString>

namespace ostry {

class OSTRY_EXPORT Rfc2217Codec {
public:
    // Telnet (RFC 854) bytes.
    static constexpr quint8 Se = 240, Sb = 250, Will = 251, Wont = 252, Do = 253, Dont = 254,
                            Iac = 255;
    static constexpr quint8 ComPortOption = 44;
    // Client commands; the server answers command c as c + ServerOffset.
    static constexpr quint8 SetBaudrate = 1, SetDatasize = 2, SetParity = 3, SetStopsize = 4,
                            SetControl = 5;
    static constexpr quint8 ServerOffset = 100;
    static constexpr quint8 NoFlowControl = 1;
    // Longest subnegotiation kept; the server's answers need six bytes, anything longer is
    // skipped up to its end.
    static constexpr int SubCap = 64;

    enum class Parity : quint8 { None = 1, Odd = 2, Even = 3, Mark = 4, Space = 5 };
    enum class StopSize : quint8 { One = 1, Two = 2, OneAndHalf = 3 };
    // Line settings in the option's own codes; 0 (or a zero baud) where nothing is known.
    struct Line {
        quint32 baud = 0;
        quint8 dataSize = 0;
        Parity parity = Parity(0);
        StopSize stopSize = StopSize(0);
        bool operator==(const Line&) const = default;
    };
    // "BAUD,PARITY,DATA,STOP" as SerialLine takes it ("4800,N,8,1"); false when malformed.
    static bool parseSettings(const QString& settings, Line* line);

    enum class Agreement { Pending, Accepted, Refused };

    // Starts a session and returns what the client sends first: WILL COM-PORT-OPTION, the line
    // settings and no flow control. The server may answer in any order.
    QByteArray start(const Line& line);
    // Data for the server, each 0xFF doubled.
    static QByteArray escape(const QByteArray& data);
    // Takes received bytes in pieces of any size; the serial line's own bytes are appended to
    // `payload`. Refusals due to the server wait in takeReplies().
    void feed(const char* data, qsizetype size, QByteArray* payload);
    // The answers owed to the server so far; emptied. Never longer than what was fed.
    QByteArray takeReplies();

    // Bytes held for a subnegotiation not ended yet; at most SubCap.
    qsizetype held() const { return m_sub.size(); }
    Agreement agreement() const { return m_agreement; }
    // The settings the server reported having set (fields stay 0 until answered).
    Line reported() const { return m_reported; }
    // Why the server does not give the line asked for, as the end of a sentence that starts
    // with "The serial server at HOST:PORT"; empty while nothing is wrong.
    QString problem() const;

private:
    enum class State { Data, Iac, Verb, Sub, SubIac };
    void command(quint8 b);
    void negotiate(quint8 verb, quint8 option);
    void subnegotiation();

    State m_state = State::Data;
    quint8 m_verb = 0;
    QByteArray m_sub;
    bool m_subOverflow = false;
    QByteArray m_replies;
    Agreement m_agreement = Agreement::Pending;
    Line m_asked, m_reported;
};

} // namespace ostry
