// Feeds arbitrary text to the profile line reader: the layout it leaves stays within the
// seven fields, and a line applies the same way twice.
#include "lists/import_profile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    ImportLayout a;
    const int n = ApplyProfileLine(line, a);
    if (n < 0 || n > ImportFieldCount) std::abort();
    if (a.Frq < 0 || a.Frq >= ImportFieldCount) std::abort();
    if (a.Mod < -1 || a.Mod >= ImportFieldCount) std::abort();
    for (int i = 0; i < ImportFieldCount; ++i) {
        if (a.Cmt[size_t(i)] < 0 || a.Cmt[size_t(i)] > 2) std::abort();
        if (a.Siz[size_t(i)] < 0 || a.Fix[size_t(i)] != (a.Siz[size_t(i)] > 0)) std::abort();
    }
    ImportLayout b;
    b.Frq = 3;
    b.Mod = 2;
    ApplyProfileLine(line, b);
    // Only the frequency field survives from before; everything else comes from the line.
    b.Frq = a.Frq;
    if (!(a == b)) std::abort();
    (void)ProfileKey(line);
    return 0;
}
