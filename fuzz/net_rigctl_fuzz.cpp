// Rig-control requests from the network: the line reader fed in pieces and the request parser.

#include "net/rigctl_protocol.h"

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

void parse(const LineReader::Line& line) {
    check(line.text.size() <= MaxLine);
    if (line.tooLong) check(line.text.empty());
    const Request r = parseRequest(line.text);
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
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* p = reinterpret_cast<const char*>(data);
    // The first byte picks a chunk size, so lines are cut at every possible place.
    const std::size_t chunk = size ? std::size_t(data[0] % 17) + 1 : 1;
    LineReader reader;
    for (std::size_t at = 0; at < size; at += chunk) {
        const std::size_t n = size - at < chunk ? size - at : chunk;
        reader.feed(p + at, n, parse);
    }
    check(reader.pending() <= MaxLine);
    // The whole input as one line as well.
    parseRequest(std::string_view(p, size));
    return 0;
}
