// Feeds arbitrary bytes to the settings hive parser; whatever parses must format and parse
// back to the same hive.
#include "settings/registry.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<Registry::Section> sections;
    if (!Registry::Parse(text, sections)) return 0;
    const QByteArray again = Registry::Format(sections);
    QList<Registry::Section> reparsed;
    if (!Registry::Parse(again, reparsed)) std::abort();
    if (Registry::Format(reparsed) != again) std::abort();
    for (const Registry::Section& s : sections)
        for (const Registry::Value& v : s.values)
            Registry::SplitList(QString::fromUtf8(v.data), QStringLiteral("|"), 5);
    return 0;
}
