// Web page requests: whatever a WebSocket client sends, the parser answers with a request in
// range or an error, never both and never neither.

#include "web/web_protocol.h"

#include <QByteArrayView>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace web;

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Parsed p =
        parseRequest(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    check(p.ok == p.error.isEmpty());
    check(p.request.id >= -1);
    if (!p.ok) {
        errorMessage(p.request.id, p.error);
        return 0;
    }
    check(qsizetype(size) <= MaxMessageBytes);
    const Request& r = p.request;
    switch (r.command) {
    case Command::Tune:
        // Whatever reaches the keys is a whole frequency below 30 MHz.
        check(std::isfinite(r.hz) && r.hz >= 0 && r.hz <= 30e6 && r.hz == std::trunc(r.hz));
        break;
    case Command::Step:
        check(r.value == 1 || r.value == -1);
        break;
    case Command::Mode:
        check(r.value >= 0 && r.value <= 6);
        break;
    case Command::Filter:
        check(r.value >= 0 && r.value <= 3);
        break;
    case Command::Agc:
    case Command::Hold:
    case Command::Scan:
        check(r.value == 0 || r.value == 1);
        break;
    case Command::NoiseBlanker:
        check(r.value >= 0 && r.value <= 2);
        break;
    case Command::Memory:
        check(r.value >= 0 && r.value <= 9);
        break;
    case Command::Channel:
        check(r.value >= 0 && r.value <= 199);
        break;
    case Command::Hello:
        break;
    }
    doneMessage(r.id);
    return 0;
}
