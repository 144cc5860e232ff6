// Feeds arbitrary texts to the database message parser and the name rules. A parsed message
// rebuilt from its fields must parse back to the same fields.
#include "link/database_message.h"
#include "link/link_bus.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ddebus::AcceptableText(text);
    DatabaseAppName(text);
    ddebus::ServiceName(text);
    DatabaseMessage m;
    const int command = ParseDatabaseMessage(text, m);
    ModeCodeFromName(m.Mode);
    FilterCodeFromName(m.Filter);
    AgcCodeFromName(m.Agc);
    if (command <= 0 || command == 'E') return 0;
    // Fields without "|" survive a rebuild (the frequency goes through its number).
    if (m.Mode.contains(u'|') || m.Filter.contains(u'|') || m.Agc.contains(u'|')) std::abort();
    const QString rebuilt =
        QStringList{QString(QChar(char16_t(command))), m.Frequency, m.Mode, m.Filter, m.Agc,
                    QString::number(m.Record)}
            .join(u'|');
    DatabaseMessage again;
    if (ParseDatabaseMessage(rebuilt, again) != command || again.Frequency != m.Frequency ||
        again.Mode != m.Mode || again.Filter != m.Filter || again.Agc != m.Agc ||
        again.Record != m.Record)
        std::abort();
    return 0;
}
