#include "net/rigctl_protocol.h"

#include <ostry/protocol.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace rigctl {

namespace {

struct CommandName {
    char letter; // 0 when only the long form exists
    std::string_view name;
    Command command;
    int minArgs, maxArgs;
};

constexpr std::array<CommandName, 14> commands{{
    {'f', "get_freq", Command::GetFreq, 0, 0},
    {'F', "set_freq", Command::SetFreq, 1, 1},
    {'m', "get_mode", Command::GetMode, 0, 0},
    {'M', "set_mode", Command::SetMode, 1, 2},
    {'v', "get_vfo", Command::GetVfo, 0, 0},
    {'V', "set_vfo", Command::SetVfo, 1, 1},
    {'l', "get_level", Command::GetLevel, 1, 1},
    {'t', "get_ptt", Command::GetPtt, 0, 0},
    {'s', "get_split_vfo", Command::GetSplitVfo, 0, 0},
    {0, "get_powerstat", Command::GetPowerstat, 0, 0},
    {0, "chk_vfo", Command::ChkVfo, 0, 0},
    {0, "dump_state", Command::DumpState, 0, 0},
    {0, "get_lock_mode", Command::GetLockMode, 0, 0},
    {'q', "quit", Command::Quit, 0, 0},
}};

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

std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isBlank(s[i])) ++i;
        const std::size_t start = i;
        while (i < s.size() && !isBlank(s[i])) ++i;
        if (i > start) out.push_back(s.substr(start, i - start));
    }
    return out;
}

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

Request malformed(Status why) {
    Request r;
    r.command = Command::Malformed;
    r.error = why;
    return r;
}

} // namespace

Request parseRequest(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    for (const char c : line)
        if ((c < 0x20 || c > 0x7e) && c != '\t') return malformed(ProtocolError);
    while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
    if (line.empty()) return Request{};

    const CommandName* found = nullptr;
    std::string_view rest;
    if (line.front() == '\\') {
        std::size_t end = 1;
        while (end < line.size() && !isBlank(line[end])) ++end;
        const std::string_view name = line.substr(1, end - 1);
        for (const auto& c : commands)
            if (c.name == name) found = &c;
        rest = line.substr(end);
    } else {
        const char letter = line.front() == 'Q' ? 'q' : line.front();
        for (const auto& c : commands)
            if (c.letter != 0 && c.letter == letter) found = &c;
        rest = line.substr(1);
    }
    Request r;
    if (!found) {
        r.command = Command::Unknown;
        return r;
    }
    const std::vector<std::string_view> args = words(rest);
    if (int(args.size()) < found->minArgs || int(args.size()) > found->maxArgs)
        return malformed(InvalidArgument);
    r.command = found->command;
    switch (r.command) {
    case Command::SetFreq:
        if (!toDouble(args[0], r.hz)) return malformed(InvalidArgument);
        r.hz = std::trunc(r.hz);
        if (r.hz < MinHz || r.hz > MaxHz) return malformed(InvalidArgument);
        break;
    case Command::SetMode:
        r.mode = modeCode(args[0]);
        if (r.mode < 0) return malformed(InvalidArgument);
        if (args.size() > 1 &&
            (!toLong(args[1], r.passband) || r.passband < -1 || r.passband > 1000000))
            return malformed(InvalidArgument);
        break;
    case Command::SetVfo:
    case Command::GetLevel:
        r.name = std::string(args[0]);
        break;
    default:
        break;
    }
    return r;
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
    // ECSSLSB 0x4000, FAX 0x8000. STRENGTH is level bit 30.
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
                             "0x40000000\n" // get levels: STRENGTH
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

} // namespace rigctl
