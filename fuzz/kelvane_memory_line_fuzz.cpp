// Feeds arbitrary bytes to the memory-file line splitter and the kilohertz normalisation: a line
// that splits must give a record that writes and reads back to the same record, and a text cut to
// whole hertz keeps exactly three digits after the place of the mark.
#include "memory/memory_file.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QString khz = line;
    NormaliseKhz(khz, u'.', KhzDecimals::AsWritten);
    QString cut = line;
    const qsizetype mark = line.indexOf(u'.');
    if (NormaliseKhz(cut, u'.', KhzDecimals::WholeHertz) != (mark >= 0)) std::abort();
    if (mark >= 0 && cut.size() != mark + 3) std::abort();
    QStringList fields;
    const bool ok = SplitRecordLine(line, u'|', u'#', 4, KhzDecimals::AsWritten, fields);
    if (ok && fields.size() != 5) std::abort();
    if (!ok) return 0;
    const MemoryRecord r = RecordFromFields(fields);
    if (!(r.Frequency == 0 || (r.Frequency > 0 && r.Frequency < 30000000))) std::abort();
    if (r.Frequency != std::round(r.Frequency)) std::abort();
    // Codes the receiver can store (a filter may also be a bandwidth in hertz).
    if (r.Mode < 0 || r.Mode > 8 || r.Agc < 0 || r.Agc > 2 || r.Filter < -1 || r.Filter > 30000)
        std::abort();
    QStringList again;
    if (!SplitRecordLine(FormatRecordLine(r), u'|', u'#', 4, KhzDecimals::AsWritten, again))
        std::abort();
    const MemoryRecord back = RecordFromFields(again);
    // A comment is trimmed on reading; everything else comes back as it was.
    if (back.Frequency != r.Frequency || back.Mode != r.Mode || back.Filter != r.Filter ||
        back.Agc != r.Agc)
        std::abort();
    return 0;
}
