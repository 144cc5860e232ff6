// Rig-control requests from the network: the line reader fed in pieces, the request parser
// (several commands a line, the extended prefixes, VFO mode) and the answers laid out for each,
// and the allowed-hosts list of the settings.

#include "net/rigctl_protocol.h"
#include "net/rigctl_server.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace rigctl;

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}

bool vfoMode = false;
char carried = 0;

void checkRequest(const Request& r) {
    switch (r.command) {
    case Command::SetFreq:
        // Whatever reaches the panel is a whole frequency in the tuning range.
        check(std::isfinite(r.hz) && r.hz >= MinHz && r.hz <= MaxHz && r.hz == std::trunc(r.hz));
        break;
    case Command::SetMode:
        check(r.mode >= 0 && r.mode <= 8 && r.passband >= -1 && r.passband <= 1000000);
        check(*modeName(r.mode) != 0);
        break;
    case Command::Malformed:
        check(r.error != Ok);
        break;
    default:
        check(r.error == Ok);
        break;
    }
    check(r.args.size() <= MaxLine && r.vfo.size() <= MaxLine && r.name.size() <= MaxLine);
    // Every answer, whatever it is, ends its last line.
    QByteArray out;
    const Status status = r.command == Command::Malformed ? r.error : Ok;
    appendAnswer(out, r, status, {{"Frequency", "7050000"}, {"", "-54"}}, vfoMode);
    if (r.command != Command::Empty) check(!out.isEmpty() && out.endsWith('\n'));
    out.clear();
    appendAnswer(out, r, Rejected, {}, vfoMode);
    if (r.command != Command::Empty) check(out.endsWith('\n'));
}

void parse(const LineReader::Line& line) {
    check(line.text.size() <= MaxLine);
    if (line.tooLong) check(line.text.empty());
    const std::vector<Request> requests = parseLine(line.text, vfoMode, &carried);
    check(requests.size() <= line.text.size());
    for (std::size_t i = 0; i < requests.size(); ++i) {
        checkRequest(requests[i]);
        // Only the last command of a line may end it early.
        const Command c = requests[i].command;
        if (c == Command::Unknown || c == Command::Malformed || c == Command::Quit)
            check(i + 1 == requests.size());
        if (c == Command::SetVfoOpt) vfoMode = requests[i].value == 1;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* p = reinterpret_cast<const char*>(data);
    // The first byte picks a chunk size, so lines are cut at every possible place.
    const std::size_t chunk = size ? std::size_t(data[0] % 17) + 1 : 1;
    vfoMode = size > 1 && (data[1] & 1);
    carried = 0;
    LineReader reader;
    for (std::size_t at = 0; at < size; at += chunk) {
        const std::size_t n = size - at < chunk ? size - at : chunk;
        reader.feed(p + at, n, parse);
    }
    check(reader.pending() <= MaxLine);
    // The whole input as one line as well.
    for (const Request& r : parseLine(std::string_view(p, size), vfoMode)) checkRequest(r);
    // And as the allowed-hosts setting: read or refused, never anything else.
    QList<QPair<QHostAddress, int>> hosts;
    QString error;
    const bool ok = parseAllowedHosts(QString::fromUtf8(p, qsizetype(size)), &hosts, &error);
    check(ok == error.isEmpty());
    for (const auto& net : hosts) check(!net.first.isNull() && net.second >= 0);
    return 0;
}
