// Feeds arbitrary bytes to the quick-memory and quick-filter row texts of the settings: whatever
// reads must write and read back to the same row.
#include "memory/memory_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const MemoryRecord r = ParseMemoryRow(text);
    const MemoryRecord back = ParseMemoryRow(FormatMemoryRow(r));
    if (back.Frequency != r.Frequency || back.Mode != r.Mode || back.Filter != r.Filter ||
        back.Agc != r.Agc)
        std::abort();
    const QuickFilter f = ParseFilterRow(text);
    if (f.Code < -1 || f.Code > 30000) std::abort();
    const QuickFilter fb = ParseFilterRow(FormatFilterRow(f));
    if (fb.Code != f.Code) std::abort();
    return 0;
}
