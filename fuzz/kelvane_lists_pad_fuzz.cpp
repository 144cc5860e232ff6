// Feeds arbitrary text to the pad line reader: a line is a record exactly when it has a
// frequency within the tuning range, and a record's fields split consistently.
#include "core/units.h"
#include "lists/scratch_pad.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const double hz = ScratchPad::PadFrequency(line);
    if (hz != 0 && (hz < FrqMin || hz > FrqMax)) std::abort();
    const QStringList fields = ScratchPad::SplitPadLine(line);
    if (fields.size() > 6) std::abort();
    if (hz != 0 && fields.isEmpty()) std::abort();
    const QString fitted =
        ScratchPad::FitComment(line, 50, [](const QString& t) { return int(t.size()) * 7; });
    if (!line.startsWith(fitted)) std::abort();
    return 0;
}
