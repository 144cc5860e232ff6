// Clipboard text (anything another program put there) and typed key sequences: never a crash,
// and every accepted value lies in the tuning range.

#include "input/keys_entry.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto hz = ClipboardToHertz(text)) {
        if (*hz < MinTuneHz || *hz > MaxTuneHz) std::abort();
        // What Ctrl+C writes reads back as the same frequency.
        const auto back = ClipboardToHertz(HertzToClipboard(*hz));
        if (!back || *back != *hz) std::abort();
    }

    // The same bytes typed as keys: digits, points and backspaces.
    TypedEntry entry;
    for (size_t i = 0; i < size; ++i) {
        const char c = char(data[i]);
        if (c == '.' || c == ',')
            entry.AddPoint();
        else if (c == '\b')
            entry.Backspace();
        else
            entry.AddDigit(c);
        if (entry.Hertz() < 0 || entry.Hertz() >= qint64(MaxTuneHz)) std::abort();
        int points = 0;
        for (QChar ch : entry.Text()) points += ch == u'.';
        if (points > 1 || (points == 1) != entry.HasPoint()) std::abort();
    }
    return 0;
}
