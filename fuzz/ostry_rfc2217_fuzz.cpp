// A serial server's bytes through the telnet decoder, in pieces: bounded state, answers no longer
// than what provoked them, and the driver's own data surviving escaping unchanged.

#include "rfc2217.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using ostry::Rfc2217Codec;

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // First byte: piece size.
    const qsizetype piece = (data[0] & 0x3f) + 1;
    const char* p = reinterpret_cast<const char*>(data + 1);
    const qsizetype n = qsizetype(size - 1);

    Rfc2217Codec::Line line;
    Rfc2217Codec::parseSettings(QStringLiteral("4800,N,8,1"), &line);
    Rfc2217Codec server;
    server.start(line);
    QByteArray payload;
    for (qsizetype i = 0; i < n; i += piece) {
        const qsizetype len = n - i < piece ? n - i : piece;
        server.feed(p + i, len, &payload);
        check(server.held() <= Rfc2217Codec::SubCap);
        // An answer is owed only for a command completed in this piece.
        check(server.takeReplies().size() <= len + 2);
        check(payload.size() <= i + len);
        (void)server.problem();
    }

    // The same bytes as data the driver sends come out of the other end as they went in.
    const QByteArray raw(p, n);
    const QByteArray wire = Rfc2217Codec::escape(raw);
    Rfc2217Codec back;
    back.start(line);
    QByteArray out;
    for (qsizetype i = 0; i < wire.size(); i += piece)
        back.feed(wire.constData() + i, qMin(piece, wire.size() - i), &out);
    check(out == raw);
    check(back.takeReplies().isEmpty());
    check(back.problem().isEmpty());

    // Settings text from the input never trips the opening.
    Rfc2217Codec::Line asked;
    if (Rfc2217Codec::parseSettings(QString::fromLatin1(raw), &asked))
        check(back.start(asked).startsWith("\xff\xfb\x2c"));
    return 0;
}
