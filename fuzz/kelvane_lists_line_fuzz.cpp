// Feeds arbitrary text to the list line parser under a layout taken from the input's first
// bytes: whatever it accepts is a frequency within the tuning range and a known mode.
#include "core/units.h"
#include "lists/list_line.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9) return 0;
    ImportLayout layout;
    layout.Frq = data[0] % 9 - 1; // out-of-range choices too
    layout.Mod = data[1] % 9 - 1;
    for (int i = 0; i < ImportFieldCount; ++i) {
        layout.Cmt[size_t(i)] = (data[2 + i] >> 4) % 3;
        layout.Siz[size_t(i)] = (data[2 + i] & 0x0f) - 2;
    }
    const QStringList modes{"RTTY", "CW", "USB", "LSB", "AM", "FM", "FAX", "ECSSU", "ECSSL"};
    const QString line =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 9), qsizetype(size - 9));
    ListLine out;
    if (!ParseListLine(line, layout, modes, out)) return 0;
    if (out.Frequency < FrqMin || out.Frequency > FrqMax) std::abort();
    if (out.Mode < -1 || out.Mode >= modes.size()) std::abort();
    if (out.Comment != out.Comment.trimmed()) std::abort();
    return 0;
}
