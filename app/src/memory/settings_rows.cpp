#include "memory/settings_rows.h"

#include "memory/memory_file.h"
#include "settings/registry.h"

namespace {

const QString MemDefault = QStringLiteral("0|0|0|0|");
const QString FltDefault = QStringLiteral("-1|");

QString app() {
    return QString::fromLatin1(Registry::AppKeyName);
}

QString memName(size_t i) {
    return QStringLiteral("MEM_Inf") + QString::number(i);
}

QString fltName(size_t i) {
    return QStringLiteral("FLT_Inf") + QString::number(i);
}

} // namespace

void ReadQuickMemories(const Registry& reg, std::array<MemoryRecord, 10>& rows) {
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = ParseMemoryRow(reg.RegGet(app(), QString(), memName(i), MemDefault).toString());
}

bool WriteQuickMemories(Registry& reg, const std::array<MemoryRecord, 10>& rows) {
    Registry::Batch batch(reg);
    bool ok = true;
    const QString missing = QStringLiteral("\x01");
    for (size_t i = 0; i < rows.size(); ++i) {
        // An empty row goes out only over a stored one: an erased memory stays erased, and a
        // memory never set leaves the hive as it was.
        if (rows[i].Frequency == 0 &&
            reg.RegGet(app(), QString(), memName(i), missing).toString() == missing)
            continue;
        ok &= reg.RegSave(app(), QString(), memName(i), FormatMemoryRow(rows[i]));
    }
    return ok;
}

void ReadQuickFilters(const Registry& reg, std::array<QuickFilter, 10>& rows) {
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = ParseFilterRow(reg.RegGet(app(), QString(), fltName(i), FltDefault).toString());
}

bool WriteQuickFilters(Registry& reg, const std::array<QuickFilter, 10>& rows) {
    Registry::Batch batch(reg);
    bool ok = true;
    for (size_t i = 0; i < rows.size(); ++i)
        ok &= reg.RegSave(app(), QString(), fltName(i), FormatFilterRow(rows[i]));
    return ok;
}
