#pragma once

// The receiver's wire protocol as plain code: command encoding, the reply line splitter, reply
// parsing and the settings tables. No I/O here; Nrd535 and the benchmarks/fuzzers drive it.

#include <ostry/ostry_export.h>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ostry {

// Public enumerations; the spellings are the control's own. Fields of these types may also hold
// -1 (unknown, after Conn) and FT may hold a bandwidth in hertz, hence the wide underlying type.
enum MD : qint32 { RTTY, CW, USB, LSB, AM, Fm, FAX, ECSS_U, ECSS_L };
enum FT : qint32 { Wide, Inter, Narrow, Aux };
enum AG : qint32 { Slow, fast, Offf };
enum ONOFF : qint32 { Off, Onn };

inline constexpr double FrMax = 30000000.0;
// A frequency of 0 asks for the lowest broadcast channel instead.
inline constexpr double FrZeroSubstitute = 162000.0;
inline constexpr int ChannelCount = 200;

// Nominal filter bandwidths in hertz (set by fOpen).
inline constexpr qint16 NominalBWL = 500;
inline constexpr qint16 NominalBWI = 2200;
inline constexpr qint16 NominalBWH = 5500;
inline constexpr qint16 NominalBWA = 12000;

namespace wire {
inline constexpr char Cr = '\r';
// Command letters.
inline constexpr char HoldCmd = 'H';    // "H" asks, "H1"/"H0" set remote control
inline constexpr char IdentCmd = '?';   // identification
inline constexpr char AutoCmd = 'I';    // "I1"/"I0" automatic status reports
inline constexpr char TuneCmd = 'F';    // + 8 digits, hertz
inline constexpr char ModeCmd = 'D';    // + digit
inline constexpr char AttCmd = 'A';     // + digit
inline constexpr char AgcCmd = 'G';     // + digit
inline constexpr char NbCmd = 'N';      // + digit; alone: ask
inline constexpr char FilterCmd = 'B';  // + digit
inline constexpr char WidthCmd = 'W';   // + digits; alone: ask
inline constexpr char MeterCmd = 'M';   // ask the S-meter
inline constexpr char SquelchCmd = 'Q'; // ask the squelch
inline constexpr char StoreCmd = 'K';   // + nnn + AT FT MD + 8 digits + AG
inline constexpr char ChannelCmd = 'J'; // "J1" + nnn
inline constexpr char DumpCmd = 'L';    // + nnn + nnn
inline constexpr char ResetCmd = 'Z';   // + digit
// First characters of reply lines.
inline constexpr char StatusReply = 'I';
inline constexpr char MeterReply = 'M';
inline constexpr char NbReply = 'N';
inline constexpr char SquelchReply = 'Q';
inline constexpr char WidthReply = 'W';
inline constexpr char ChannelReply = 'L';
inline constexpr char EmptyChannel = 'V';
inline constexpr int StatusLength = 14;  // with CR
inline constexpr int ChannelLength = 17; // with CR
inline constexpr int LineWidth = 18;     // longest line kept for parsing
// The splitter keeps at most this many bytes of a line that has no CR yet; bytes beyond are
// dropped until the CR comes. Every parser reads only the first LineWidth characters, so the
// cap changes no result while a peer that never sends CR cannot grow memory.
inline constexpr std::size_t RestCap = 64;
} // namespace wire

// ---- settings tables -----------------------------------------------------------------------

enum class Setting { MD, FT, AG, AT, NB, SQ };

struct SettingInfo {
    Setting id;
    const char* name;                   // two-letter code, as in "MDDesc"
    char command;                       // command letter of the setter
    std::span<const char* const> texts; // code -> text; size is ...DescMax
};

OSTRY_EXPORT const SettingInfo& settingInfo(Setting s);
// Text of a code, or empty when the code is outside the table. FT outside 0..3 gives the
// number as decimal text (a bandwidth).
OSTRY_EXPORT QString settingDesc(Setting s, qint64 code);
// Code whose text matches exactly, or 0. FT falls back to the text's numeric value rounded.
OSTRY_EXPORT qint32 settingCode(Setting s, const QString& text);
OSTRY_EXPORT qint16 settingDescMax(Setting s);
// True when `code` is a valid setter argument (0..DescMax-1).
OSTRY_EXPORT bool settingInRange(Setting s, qint64 code);

// ---- conversions -----------------------------------------------------------------------------

OSTRY_EXPORT qint16 filterForBandwidth(qint16 bandwidth, qint32 mode, bool auxF);
OSTRY_EXPORT QString frequencyText(double hz); // "000 000.000"
OSTRY_EXPORT qint16 smeterConvert(qint16 sm, bool toRaw);
OSTRY_EXPORT QString smeterText(qint16 raw);
// The signal of a raw S-meter reading in dB above S0 (S9 = 54 dB); 0 for a reading of 256 or
// more (no signal) and for negative (unknown) readings.
OSTRY_EXPORT double smeterDb(qint16 raw);

// ---- command encoding (without the CR; the serial layer appends it) --------------------------

OSTRY_EXPORT QByteArray encodeTune(double hz);                      // "F00162000"
OSTRY_EXPORT QByteArray encodeDigitCommand(char letter, int digit); // "D2", "Z1"
OSTRY_EXPORT QByteArray encodeWidth(int hz);                        // "W2400"
OSTRY_EXPORT QByteArray encodeStore(int num, double hz, int md, int ft, int ag, int at);
OSTRY_EXPORT QByteArray encodeChannel(int num);          // "J1005"
OSTRY_EXPORT QByteArray encodeDump(int first, int last); // "L000199"

// ---- replies ---------------------------------------------------------------------------------

struct ChannelRecord {
    bool TB = false;
    qint16 NM = 0;
    bool ST = false;
    double Fr = 0;
    qint32 MD = 0;
    qint32 FT = 0;
    qint32 AG = 0;
    qint32 AT = 0;
};

// Status fields of the receiver and their modified flags.
struct ReceiverState {
    double Fr = 0;
    qint32 MD = 0, FT = 0, AG = 0, AT = 0, SQ = 0;
    qint16 NB = 0, SM = 0;
    // S-meter replies read so far, whether or not the value changed: a reading paced by its own
    // reply can tell its reply from the other reports.
    quint32 SMReplies = 0;
    bool ModFR = false, ModMD = false, ModFT = false, ModAG = false, ModAT = false, ModSQ = false,
         ModNB = false, ModSM = false;
    bool Hook = false; // status replies leave FT alone while the receiver is held
    // The filter digit of the last status report, kept even while held (FT is not); -1 before
    // the first report. For readers that need the filter the receiver shows.
    qint32 ReportedFT = -1;
    qint16 BWI = 0, BWH = 0;
    qint16 DumpLast = 0;
    ChannelRecord chn;
};

// Parsed "I" line. Lines are given with or without their CR.
struct StatusReply {
    qint32 AT, FT, MD, AG;
    double Fr;
};
OSTRY_EXPORT bool parseStatus(std::string_view line, StatusReply& out);
// "M", "N", "Q", "W" replies: the letter then 1 to 4 digits (leading spaces allowed).
OSTRY_EXPORT bool parseValueReply(std::string_view line, char letter, qint32& value);
// "L" record; `empty` is set for a "V" channel (only the number is valid then).
struct ChannelReply {
    qint16 NM;
    bool empty;
    qint32 AT, FT, MD, AG;
    double Fr;
};
OSTRY_EXPORT bool parseChannel(std::string_view line, ChannelReply& out);

// Splits received text into CR-terminated lines, whatever the chunking. A line handed out
// excludes its CR and any LF that starts it; an incomplete tail waits for the next chunk.
class OSTRY_EXPORT LineSplitter {
public:
    template <class OnLine> void feed(const char* data, std::size_t n, OnLine&& onLine) {
        std::size_t start = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (data[i] != wire::Cr) continue;
            if (!m_rest.empty()) {
                append(data + start, i - start);
                onLine(trimmed(std::string_view(m_rest)));
                m_rest.clear();
                m_dropped = 0;
            } else {
                onLine(trimmed(std::string_view(data + start, i - start)));
            }
            start = i + 1;
        }
        if (start < n) append(data + start, n - start);
    }
    std::string_view rest() const { return m_rest; }
    // Bytes of the pending line dropped because of RestCap.
    std::size_t dropped() const { return m_dropped; }
    void clear() {
        m_rest.clear();
        m_dropped = 0;
    }

private:
    void append(const char* p, std::size_t n) {
        const std::size_t room = wire::RestCap - m_rest.size();
        const std::size_t take = n < room ? n : room;
        m_rest.append(p, take);
        m_dropped += n - take;
    }
    static std::string_view trimmed(std::string_view line) {
        while (!line.empty() && line.front() == '\n') line.remove_prefix(1);
        return line;
    }
    std::string m_rest;
    std::size_t m_dropped = 0;
};

// The receive assembly: splits a notification's text into lines and applies every reply to
// `state`. Only the last valid status line of one feed is applied (a status line is a snapshot).
// Malformed lines leave the state untouched.
class OSTRY_EXPORT ReplyReader {
public:
    ReplyReader();
    struct Result {
        bool upd = false; // raise OnUpd
        bool chn = false; // raise OnChn
        int badLines = 0; // lines with a known first letter that did not parse
    };
    Result feed(ReceiverState& state, const char* data, std::size_t n);
    // Every channel record of the last feed, in order (the state's `chn` holds the last one).
    // Records are distinct data, so each one reaches the host, not only the last.
    const std::vector<ChannelRecord>& channels() const { return m_channels; }
    Result feed(ReceiverState& state, const QByteArray& data) {
        return feed(state, data.constData(), std::size_t(data.size()));
    }
    void clear() { m_split.clear(); }
    std::string_view rest() const { return m_split.rest(); }

private:
    LineSplitter m_split;
    std::vector<ChannelRecord> m_channels;
};

// Applying single replies (used by ReplyReader; exposed for tests).
OSTRY_EXPORT void applyStatus(ReceiverState& state, const StatusReply& r);
OSTRY_EXPORT void applyChannel(ReceiverState& state, const ChannelReply& r);

} // namespace ostry
