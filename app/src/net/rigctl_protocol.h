#pragma once

// The hamlib NET rigctl protocol (what hamlib's rigctld speaks on TCP, model 2 on the client
// side), the subset loggers, decoders and trackers send: plain functions, no I/O. A request
// line holds one or more commands; every answer ends with a newline, and a failure is the
// report "RPRT <code>".

#include <QByteArray>
#include <QtGlobal>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace rigctl {

// Hamlib's status codes as they appear in "RPRT <code>".
enum Status : int {
    Ok = 0,
    InvalidArgument = -1, // RIG_EINVAL: bad or out-of-range value, unknown mode or VFO
    NotImplemented = -4,  // RIG_ENIMPL: a command or level this server does not offer
    IoError = -6,         // RIG_EIO: no receiver connected, or its state not known yet
    ProtocolError = -8,   // RIG_EPROTO: an over-long line, or bytes that are not text
    Rejected = -9,        // RIG_ERJCTED: a write refused (receiver not held, panel locked,
                          // scan running)
    NotAvailable = -11,   // RIG_ENAVAIL: something a receiver cannot do (switch its power)
    NotPermitted = -19,   // RIG_ESECURITY: a host not allowed, or a write from another host
                          // while the server only lets other hosts read
};

// Longest request line accepted, without its newline.
inline constexpr std::size_t MaxLine = 256;

enum class Command {
    Empty,        // blank line: no answer
    GetFreq,      // f, \get_freq
    SetFreq,      // F, \set_freq  HZ
    GetMode,      // m, \get_mode
    SetMode,      // M, \set_mode  MODE [PASSBAND]
    GetVfo,       // v, \get_vfo
    SetVfo,       // V, \set_vfo   VFO
    GetLevel,     // l, \get_level LEVEL
    GetPtt,       // t, \get_ptt
    GetSplitVfo,  // s, \get_split_vfo
    GetRit,       // j, \get_rit
    GetXit,       // z, \get_xit
    GetDcd,       // 0x8b, \get_dcd (the squelch: open or closed)
    GetPowerstat, // 0x88, \get_powerstat
    SetPowerstat, // 0x87, \set_powerstat STATUS
    ChkVfo,       // 0xf0, \chk_vfo
    SetVfoOpt,    // 0xf2, \set_vfo_opt 0|1 (a VFO word before each command's arguments)
    GetVfoInfo,   // 0xf3, \get_vfo_info VFO
    DumpState,    // 0x8f, \dump_state
    DumpCaps,     // 1, \dump_caps
    GetLockMode,  // 0xa3, \get_lock_mode (hamlib 4.5 clients ask it around mode changes)
    SatPass,      // AOS, LOS: a satellite tracker's pass start and end, nothing to do
    Quit,         // q, Q, \quit
    Unknown,      // answered "not implemented"; ends the line
    Malformed,    // known command, bad arguments (`error` says which report); ends the line
};

struct Request {
    Command command = Command::Empty;
    Status error = Ok; // for Malformed
    double hz = 0;     // SetFreq
    int mode = -1;     // SetMode: receiver mode code 0..8
    long passband = 0; // SetMode: hertz; 0 or -1 leave the filter as it is
    long value = 0;    // SetPowerstat, SetVfoOpt
    std::string name;  // GetLevel: the level name; SetVfo, GetVfoInfo: the VFO name
    std::string vfo;   // the VFO word given before the arguments, empty when none
    // The extended answer's separator: 0 for the plain protocol, '\n' after "+", else the
    // punctuation character that started the command (";", "|", ",").
    char separator = 0;
    const char* longName = ""; // hamlib's name of the command, for the extended header
    std::string args;          // the arguments as given, each after a space (echoed there too)
};

// Parses one request line (without its newline; a trailing CR is ignored) into its commands,
// in order: "fmv", "f m v" and "+f +m +v" are three each. An unknown or malformed command ends
// the line. vfoMode: the client asked (\set_vfo_opt 1) to name a VFO before the arguments of
// every command that acts on one; without it a leading VFO name is taken all the same.
// carried: the connection's extended-answer separator left over from the line before (a
// prefix with no command after it, an extended \chk_vfo), updated for the next line.
std::vector<Request> parseLine(std::string_view line, bool vfoMode = false,
                               char* carried = nullptr);
// The first command of a line (Empty when there is none).
Request parseRequest(std::string_view line);

// Whether `name` is one of hamlib's VFO names, and whether it names the receiver's one VFO.
bool isVfoName(std::string_view name);
bool isOurVfo(std::string_view name);

// Splits a client's byte stream into request lines, whatever the chunking. A line longer than
// MaxLine is dropped up to its newline and handed out as one over-long line.
class LineReader {
public:
    struct Line {
        std::string_view text;
        bool tooLong = false;
    };
    // Calls onLine(Line) for each complete line in `data`.
    template <class OnLine> void feed(const char* data, std::size_t n, OnLine&& onLine) {
        std::size_t start = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (data[i] != '\n') continue;
            append(data + start, i - start);
            onLine(Line{std::string_view(m_line), m_tooLong});
            m_line.clear();
            m_tooLong = false;
            start = i + 1;
        }
        if (start < n) append(data + start, n - start);
    }
    std::size_t pending() const { return m_line.size(); }

private:
    void append(const char* p, std::size_t n) {
        if (m_tooLong) return;
        if (m_line.size() + n > MaxLine) {
            m_tooLong = true;
            m_line.clear();
            return;
        }
        m_line.append(p, n);
    }
    std::string m_line;
    bool m_tooLong = false;
};

// ---- mapping between hamlib's names and the receiver's codes --------------------------------

// Receiver mode code (0 RTTY .. 8 ECSS-L) of a hamlib mode name, or -1. Hamlib's reversed and
// data variants (CWR, RTTYR, PKTUSB, PKTLSB, AMS) map to the receiver's nearest mode.
int modeCode(std::string_view hamlibName);
// Hamlib's name of a receiver mode code; empty for codes outside 0..8.
const char* modeName(int code);
// The passband in hertz of a receiver filter value: a filter code 0..3 gives its nominal
// bandwidth, a larger value is a bandwidth in hertz already; unknown (-1) gives 0.
long passbandOf(qint32 ft);
// The filter value to set for a passband in hertz: a nominal bandwidth picks its filter code,
// anything else is handed on as a bandwidth (the driver clamps it to what the receiver can do).
qint32 filterFor(long passbandHz);
// Hamlib's STRENGTH level (dB relative to S9) of a raw S-meter reading.
int strengthOf(qint16 rawMeter);

// Tuning range the server accepts and announces, hertz.
inline constexpr double MinHz = 1000.0;
inline constexpr double MaxHz = 29999999.0;

// ---- answers --------------------------------------------------------------------------------

QByteArray report(Status status); // "RPRT <code>\n"
// The \dump_state answer, in the layout hamlib 4.x clients parse (protocol version 1).
QByteArray dumpState();
// The \dump_caps text: what a receiver can do, in the labels loggers look for.
QByteArray dumpCaps();

// One value of an answer: its label in the extended protocol (empty for a bare value, as
// hamlib gives levels) and its text. A raw value is a block of lines written as it stands.
struct Value {
    const char* label;
    QByteArray text;
    bool raw = false;
};

// Appends the answer to `r` with `status` and, when it succeeded, `values`, laid out as
// hamlib 4.5's rigctld lays it out: plain (values one a line; "RPRT 0" only after commands
// that return nothing) or extended (the header "name: ARGS", labelled values and "RPRT n",
// each followed by the separator). vfoMode names the VFO in the extended header.
void appendAnswer(QByteArray& out, const Request& r, Status status,
                  std::initializer_list<Value> values = {}, bool vfoMode = false);

} // namespace rigctl
