#include "net/rigctl_protocol.h"

#include <ostry/protocol.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace rigctl {

namespace {

struct CommandName {
    unsigned char code; // the one-byte form; 0 when only the long form exists
    std::string_view name;
    Command command;
    int args;      // argument words after the VFO word
    int optional;  // how many of the last ones may be missing
    bool takesVfo; // acts on a VFO: in VFO mode a VFO word comes first
    bool answers;  // returns values: the plain answer has no "RPRT 0" after them
};

// Hamlib's letters and one-byte codes for the commands this server offers.
constexpr std::array<CommandName, 21> commands{{
    {'f', "get_freq", Command::GetFreq, 0, 0, true, true},
    {'F', "set_freq", Command::SetFreq, 1, 0, true, false},
    {'m', "get_mode", Command::GetMode, 0, 0, true, true},
    {'M', "set_mode", Command::SetMode, 2, 1, true, false},
    {'v', "get_vfo", Command::GetVfo, 0, 0, false, true},
    {'V', "set_vfo", Command::SetVfo, 1, 0, false, false},
    {'l', "get_level", Command::GetLevel, 1, 0, true, true},
    {'t', "get_ptt", Command::GetPtt, 0, 0, true, true},
    {'s', "get_split_vfo", Command::GetSplitVfo, 0, 0, true, true},
    {'j', "get_rit", Command::GetRit, 0, 0, true, true},
    {'z', "get_xit", Command::GetXit, 0, 0, true, true},
    {0x8b, "get_dcd", Command::GetDcd, 0, 0, true, true},
    {0x88, "get_powerstat", Command::GetPowerstat, 0, 0, false, true},
    {0x87, "set_powerstat", Command::SetPowerstat, 1, 0, false, false},
    {0xf0, "chk_vfo", Command::ChkVfo, 0, 0, false, true},
    {0xf2, "set_vfo_opt", Command::SetVfoOpt, 1, 0, false, false},
    {0xf3, "get_vfo_info", Command::GetVfoInfo, 1, 0, false, true},
    {0x8f, "dump_state", Command::DumpState, 0, 0, false, true},
    {'1', "dump_caps", Command::DumpCaps, 0, 0, false, false},
    {0xa3, "get_lock_mode", Command::GetLockMode, 0, 0, false, false},
    {'q', "quit", Command::Quit, 0, 0, false, false},
}};

const CommandName* byCommand(Command c) {
    for (const auto& d : commands)
        if (d.command == c) return &d;
    return nullptr;
}

constexpr std::array<std::string_view, 16> vfoNames{
    "VFOA", "VFOB", "VFOC",  "currVFO", "VFO",   "MEM",  "Main", "Sub",
    "TX",   "RX",   "MainA", "MainB",   "MainC", "SubA", "SubB", "SubC"};
// The receiver has one VFO: these all name it.
constexpr std::array<std::string_view, 6> ourVfos{"VFOA", "VFO", "currVFO", "Main", "MainA", "RX"};

// Receiver mode codes in order (RTTY, CW, USB, LSB, AM, FM, FAX, ECSS-U, ECSS-L) by hamlib name.
constexpr std::array<std::string_view, 9> modeNames{"RTTY", "CW",  "USB",     "LSB",    "AM",
                                                    "FM",   "FAX", "ECSSUSB", "ECSSLSB"};

struct Alias {
    std::string_view name;
    int code;
};
constexpr std::array<Alias, 5> modeAliases{{
    {"CWR", ostry::CW},
    {"RTTYR", ostry::RTTY},
    {"PKTUSB", ostry::USB},
    {"PKTLSB", ostry::LSB},
    {"AMS", ostry::AM},
}};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Reads words off a line, as hamlib reads arguments: each up to the next blank.
struct Cursor {
    std::string_view s;
    std::size_t at = 0;
    void skipBlanks() {
        while (at < s.size() && isBlank(s[at])) ++at;
    }
    bool atEnd() {
        skipBlanks();
        return at >= s.size();
    }
    std::string_view peekWord() {
        skipBlanks();
        std::size_t end = at;
        while (end < s.size() && !isBlank(s[end])) ++end;
        return s.substr(at, end - at);
    }
    std::string_view word() {
        const std::string_view w = peekWord();
        at += w.size();
        return w;
    }
};

bool toDouble(std::string_view word, double& out) {
    if (word.empty() || word.size() > 40) return false;
    const std::string text(word);
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool toLong(std::string_view word, long& out) {
    if (word.empty() || word.size() > 20) return false;
    const std::string text(word);
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + text.size() || errno == ERANGE) return false;
    out = v;
    return true;
}

bool isPunct(unsigned char c) {
    return c < 0x80 && std::ispunct(c);
}

// Reads the arguments of a known command into r; false (r.error set) when they do not read.
bool readArguments(const CommandName& def, Cursor& in, bool vfoMode, Request& r) {
    r.error = InvalidArgument;
    if (def.takesVfo) {
        if (vfoMode) {
            if (in.atEnd()) return false;
            r.vfo = std::string(in.word());
        } else if (isVfoName(in.peekWord())) {
            r.vfo = std::string(in.word());
        }
    }
    std::array<std::string_view, 2> args{};
    int given = 0;
    for (; given < def.args && !in.atEnd(); ++given) {
        args[std::size_t(given)] = in.word();
        r.args += ' ';
        r.args += args[std::size_t(given)];
    }
    if (given < def.args - def.optional) return false;
    switch (def.command) {
    case Command::SetFreq:
        if (!toDouble(args[0], r.hz)) return false;
        r.hz = std::trunc(r.hz);
        if (r.hz < MinHz || r.hz > MaxHz) return false;
        break;
    case Command::SetMode:
        r.mode = modeCode(args[0]);
        if (r.mode < 0) return false;
        if (given > 1 && (!toLong(args[1], r.passband) || r.passband < -1 || r.passband > 1000000))
            return false;
        break;
    case Command::SetPowerstat:
    case Command::SetVfoOpt:
        if (!toLong(args[0], r.value) || r.value < 0 || r.value > 9) return false;
        break;
    case Command::SetVfo:
    case Command::GetVfoInfo:
    case Command::GetLevel:
        r.name = std::string(args[0]);
        break;
    default:
        break;
    }
    r.error = Ok;
    return true;
}

} // namespace

std::vector<Request> parseLine(std::string_view line, bool vfoMode, char* carried) {
    char carry = carried ? *carried : 0;
    std::vector<Request> out;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    for (const char c : line)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f) {
            Request r;
            r.command = Command::Malformed;
            r.error = ProtocolError;
            out.push_back(std::move(r));
            return out;
        }
    Cursor in{line};
    // A prefix asks for the extended answer until a report has been written; an extended
    // \chk_vfo writes none, so the next command answers extended too (hamlib does so).
    const auto take = [&](Request&& r) {
        carry = r.command == Command::ChkVfo || r.command == Command::Unknown ? r.separator : 0;
        out.push_back(std::move(r));
    };
    while (!in.atEnd()) {
        Request r;
        r.separator = carry;
        unsigned char c = static_cast<unsigned char>(line[in.at]);
        if (c == '#') break; // a comment to the end of the line
        if (c == '+') {
            if (!r.separator) r.separator = '\n';
            carry = r.separator;
            if (++in.at >= line.size()) break;
            c = static_cast<unsigned char>(line[in.at]);
        }
        if (isPunct(c) && c != '\\' && c != '_' && c != '#' && c != '(' && c != ')') {
            r.separator = carry = char(c);
            if (++in.at >= line.size()) break;
            c = static_cast<unsigned char>(line[in.at]);
        }
        if (isBlank(char(c))) continue;

        const CommandName* found = nullptr;
        const std::string_view rest = line.substr(in.at);
        if (c == '\\') {
            in.at += 1;
            const std::string_view name = in.peekWord();
            for (const auto& d : commands)
                if (d.name == name) found = &d;
            in.at += name.size();
        } else if ((rest.substr(0, 3) == "AOS" || rest.substr(0, 3) == "LOS") &&
                   (rest.size() == 3 || isBlank(rest[3]))) {
            in.at += 3;
            r.command = Command::SatPass;
            take(std::move(r));
            continue;
        } else {
            in.at += 1;
            const unsigned char code = c == 'Q' ? 'q' : c;
            for (const auto& d : commands)
                if (d.code == code) found = &d;
        }
        if (!found) {
            r.command = Command::Unknown;
            take(std::move(r));
            break;
        }
        r.longName = found->name.data();
        r.command = found->command;
        if (!readArguments(*found, in, vfoMode, r)) {
            r.command = Command::Malformed;
            take(std::move(r));
            break;
        }
        const bool quit = r.command == Command::Quit;
        take(std::move(r));
        if (quit) break;
    }
    if (carried) *carried = carry;
    return out;
}

Request parseRequest(std::string_view line) {
    std::vector<Request> all = parseLine(line, false);
    return all.empty() ? Request{} : std::move(all.front());
}

bool isVfoName(std::string_view name) {
    return std::find(vfoNames.begin(), vfoNames.end(), name) != vfoNames.end();
}

bool isOurVfo(std::string_view name) {
    return std::find(ourVfos.begin(), ourVfos.end(), name) != ourVfos.end();
}

int modeCode(std::string_view hamlibName) {
    for (std::size_t i = 0; i < modeNames.size(); ++i)
        if (modeNames[i] == hamlibName) return int(i);
    for (const auto& a : modeAliases)
        if (a.name == hamlibName) return a.code;
    return -1;
}

const char* modeName(int code) {
    if (code < 0 || code >= int(modeNames.size())) return "";
    return modeNames[std::size_t(code)].data();
}

long passbandOf(qint32 ft) {
    switch (ft) {
    case ostry::Wide:
        return ostry::NominalBWH;
    case ostry::Inter:
        return ostry::NominalBWI;
    case ostry::Narrow:
        return ostry::NominalBWL;
    case ostry::Aux:
        return ostry::NominalBWA;
    default:
        return ft > ostry::Aux ? ft : 0;
    }
}

qint32 filterFor(long passbandHz) {
    for (const qint32 code : {ostry::Wide, ostry::Inter, ostry::Narrow, ostry::Aux})
        if (passbandOf(code) == passbandHz) return code;
    return qint32(passbandHz);
}

int strengthOf(qint16 rawMeter) {
    // S9 is 54 dB above S0; hamlib counts from S9.
    return int(std::lround(ostry::smeterDb(rawMeter) - 54.0));
}

QByteArray report(Status status) {
    return "RPRT " + QByteArray::number(int(status)) + '\n';
}

QByteArray dumpState() {
    // Mode bits of hamlib: AM 0x1, CW 0x2, USB 0x4, LSB 0x8, RTTY 0x10, FM 0x20, ECSSUSB 0x2000,
    // ECSSLSB 0x4000, FAX 0x8000. STRENGTH is level bit 30, RAWSTR bit 26.
    return QByteArrayLiteral("1\n" // protocol version
                             "2\n" // model: NET rigctl
                             "0\n" // ITU region (unused)
                             "1000.000000 29999999.000000 0xe03f -1 -1 0x1 0x0\n"
                             "0 0 0 0 0 0 0\n" // end of receive ranges
                             "0 0 0 0 0 0 0\n" // no transmit ranges
                             "0xe03f 1\n"
                             "0 0\n" // tuning steps
                             "0x600c 2200\n"
                             "0x600c 500\n"
                             "0x600c 5500\n"
                             "0x12 500\n"
                             "0x12 2200\n"
                             "0x8021 5500\n"
                             "0x8021 12000\n"
                             "0x8021 2200\n"
                             "0 0\n"        // filters
                             "0\n"          // max RIT
                             "0\n"          // max XIT
                             "0\n"          // max IF shift
                             "0\n"          // announces
                             "\n"           // preamps
                             "\n"           // attenuators
                             "0x0\n"        // get functions
                             "0x0\n"        // set functions
                             "0x44000000\n" // get levels: STRENGTH, RAWSTR
                             "0x0\n"        // set levels
                             "0x0\n"        // get parms
                             "0x0\n"        // set parms
                             "vfo_ops=0x0\n"
                             "ptt_type=0x0\n"
                             "targetable_vfo=0x0\n"
                             "has_set_vfo=0\n" // one VFO: clients need not try to switch
                             "has_get_vfo=1\n"
                             "has_set_freq=1\n"
                             "has_get_freq=1\n"
                             "has_set_conf=0\n"
                             "has_get_conf=0\n"
                             "has_power2mW=0\n"
                             "has_mW2power=0\n"
                             "timeout=0\n"
                             "done\n");
}

QByteArray dumpCaps() {
    // The labels and their order are hamlib 4.5's; loggers read "Can ...:" lines by label and
    // take the last one, "Can get mW2power:", as the end of the list.
    return QByteArrayLiteral("Caps dump for model: 2\n"
                             "Model name:\tNRD-535\n"
                             "Mfg name:\tJRC\n"
                             "Backend version:\t1.0\n"
                             "Backend copyright:\t\n"
                             "Backend status:\tStable\n"
                             "Rig type:\tReceiver\n"
                             "PTT type:\tNone\n"
                             "DCD type:\tRig capable\n"
                             "Port type:\tNetwork link\n"
                             "Has targetable VFO: N\n"
                             "Has async data support: N\n"
                             "Announce: 0x0\n"
                             "Max RIT: -0.0kHz/+0.0kHz\n"
                             "Max XIT: -0.0kHz/+0.0kHz\n"
                             "Max IF-SHIFT: -0.0kHz/+0.0kHz\n"
                             "Preamp: None\n"
                             "Attenuator: None\n"
                             "Get functions: \n"
                             "Set functions: \n"
                             "Get level: RAWSTR(0..255/0) STRENGTH(-54..60/0) \n"
                             "Set level: \n"
                             "Get parameters: \n"
                             "Set parameters: \n"
                             "Mode list: AM CW USB LSB RTTY FM FAX ECSSUSB ECSSLSB \n"
                             "VFO list: VFOA \n"
                             "VFO Ops: \n"
                             "Scan Ops: \n"
                             "TX ranges #1: None\n"
                             "RX ranges #1:\n"
                             "\t1000 Hz - 29999999 Hz\n"
                             "\t\tVFO list: VFOA \n"
                             "\t\tMode list: AM CW USB LSB RTTY FM FAX ECSSUSB ECSSLSB \n"
                             "Has priv data:\tN\n"
                             "Has Init:\tY\n"
                             "Has Cleanup:\tY\n"
                             "Has Open:\tY\n"
                             "Has Close:\tY\n"
                             "Can set Conf:\tN\n"
                             "Can get Conf:\tN\n"
                             "Can set Frequency:\tY\n"
                             "Can get Frequency:\tY\n"
                             "Can set Mode:\tY\n"
                             "Can get Mode:\tY\n"
                             "Can set VFO:\tN\n"
                             "Can get VFO:\tY\n"
                             "Can set PTT:\tN\n"
                             "Can get PTT:\tY\n"
                             "Can get DCD:\tY\n"
                             "Can set Repeater Duplex:\tN\n"
                             "Can get Repeater Duplex:\tN\n"
                             "Can set Repeater Offset:\tN\n"
                             "Can get Repeater Offset:\tN\n"
                             "Can set Split Freq:\tN\n"
                             "Can get Split Freq:\tN\n"
                             "Can set Split Mode:\tN\n"
                             "Can get Split Mode:\tN\n"
                             "Can set Split VFO:\tN\n"
                             "Can get Split VFO:\tY\n"
                             "Can set Tuning Step:\tN\n"
                             "Can get Tuning Step:\tN\n"
                             "Can set RIT:\tN\n"
                             "Can get RIT:\tY\n"
                             "Can set XIT:\tN\n"
                             "Can get XIT:\tY\n"
                             "Can set CTCSS:\tN\n"
                             "Can get CTCSS:\tN\n"
                             "Can set DCS:\tN\n"
                             "Can get DCS:\tN\n"
                             "Can set CTCSS Squelch:\tN\n"
                             "Can get CTCSS Squelch:\tN\n"
                             "Can set DCS Squelch:\tN\n"
                             "Can get DCS Squelch:\tN\n"
                             "Can set Power Stat:\tN\n"
                             "Can get Power Stat:\tY\n"
                             "Can Reset:\tN\n"
                             "Can get Ant:\tN\n"
                             "Can set Ant:\tN\n"
                             "Can set Transceive:\tN\n"
                             "Can get Transceive:\tN\n"
                             "Can set Func:\tN\n"
                             "Can get Func:\tN\n"
                             "Can set Level:\tN\n"
                             "Can get Level:\tY\n"
                             "Can set Param:\tN\n"
                             "Can get Param:\tN\n"
                             "Can send DTMF:\tN\n"
                             "Can recv DTMF:\tN\n"
                             "Can send Morse:\tN\n"
                             "Can send Voice:\tN\n"
                             "Can decode Events:\tN\n"
                             "Can set Bank:\tN\n"
                             "Can set Mem:\tN\n"
                             "Can get Mem:\tN\n"
                             "Can set Channel:\tN\n"
                             "Can get Channel:\tN\n"
                             "Can ctl Mem/VFO:\tN\n"
                             "Can Scan:\tN\n"
                             "Can get Info:\tN\n"
                             "Can get power2mW:\tN\n"
                             "Can get mW2power:\tN\n"
                             "\n"
                             "Overall backend warnings: 0\n");
}

void appendAnswer(QByteArray& out, const Request& r, Status status,
                  std::initializer_list<Value> values, bool vfoMode) {
    switch (r.command) {
    case Command::Empty:
        return;
    case Command::Unknown:
        out += report(NotImplemented);
        return;
    case Command::Quit:
    case Command::SatPass:
        out += report(status);
        return;
    case Command::ChkVfo:
        // No header and no report, in either form; a separator other than a newline adds one.
        if (r.separator) out += "ChkVFO: ";
        for (const Value& v : values) out += v.text;
        out += '\n';
        if (r.separator && r.separator != '\n') out += '\n';
        return;
    default:
        break;
    }
    const bool extended = r.separator != 0 && r.error != ProtocolError;
    if (!extended) {
        if (status != Ok) {
            out += report(status);
            return;
        }
        for (const Value& v : values) {
            out += v.text;
            if (!v.raw) out += '\n';
        }
        const CommandName* def = byCommand(r.command);
        if (!def || !def->answers) out += report(Ok);
        return;
    }
    out += r.longName;
    out += ':';
    if (vfoMode) {
        out += ' ';
        out += r.vfo.empty() ? std::string_view("currVFO") : std::string_view(r.vfo);
    } else if (!r.vfo.empty()) {
        out += ' ';
        out += r.vfo;
    }
    out += r.args;
    out += r.separator;
    if (status == Ok) {
        // These two end their value with a newline whatever the separator, as hamlib 4.5 does.
        const bool newline =
            r.command == Command::GetPowerstat || r.command == Command::GetLockMode;
        for (const Value& v : values) {
            if (*v.label) {
                out += v.label;
                out += ": ";
            }
            out += v.text;
            if (!v.raw) out += newline ? '\n' : r.separator;
        }
    }
    out += report(status);
}

} // namespace rigctl
