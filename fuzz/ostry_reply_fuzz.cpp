// Receiver replies from the wire: the line splitter fed in pieces, and every reply parser.

#include <ostry/protocol.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

using namespace ostry;

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}

// A parsed status line re-encodes to the same text.
void roundTrip(std::string_view line) {
    StatusReply st;
    if (parseStatus(line, st)) {
        char buf[16];
        const int n = std::snprintf(buf, sizeof buf, "I%d%d%d%08lld%d", st.AT, st.FT, st.MD,
                                    static_cast<long long>(st.Fr), st.AG);
        std::string_view body = line;
        if (!body.empty() && body.back() == '\r') body.remove_suffix(1);
        check(std::string_view(buf, std::size_t(n)) == body);
    }
    ChannelReply ch;
    if (parseChannel(line, ch)) check(ch.NM >= 0 && ch.NM <= 999);
    qint32 v;
    for (char letter : {'M', 'N', 'Q', 'W'})
        if (parseValueReply(line, letter, v)) check(v >= 0 && v <= 9999);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // First byte: piece size and the hold state.
    const std::size_t piece = (data[0] & 0x3f) + 1;
    ReceiverState s;
    s.Hook = data[0] & 0x40;
    s.BWI = NominalBWI;
    s.BWH = NominalBWH;
    s.DumpLast = (data[0] & 0x80) ? 5 : -1;
    const char* p = reinterpret_cast<const char*>(data + 1);
    const std::size_t n = size - 1;

    ReplyReader reader;
    for (std::size_t i = 0; i < n; i += piece) {
        const std::size_t len = n - i < piece ? n - i : piece;
        reader.feed(s, p + i, len);
        check(reader.rest().size() <= wire::RestCap);
        for (const auto& c : reader.channels()) check(c.NM >= 0 && c.NM <= 999);
    }

    LineSplitter split;
    split.feed(p, n, [](std::string_view line) {
        check(line.find('\r') == std::string_view::npos);
        roundTrip(line);
    });
    check(split.rest().size() <= wire::RestCap);
    roundTrip(std::string_view(p, n));
    return 0;
}
