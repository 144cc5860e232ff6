// Feeds arbitrary bytes to the lockout and hit-log parsers, as one line and as a whole file;
// whatever parses must stay within range and format and parse back to the same value, and a
// lockout file read and saved again keeps every line it had.
#include "core/units.h"
#include "scan/hit_log.h"
#include "scan/lockouts.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void checkLockout(const Lockout& l) {
    if (l.Hz < FrqMin || l.Hz > FrqMax || l.WidthHz < 0 || l.WidthHz > 1000000) std::abort();
}

void checkHit(const Hit& h) {
    if (h.Hz < FrqMin || h.Hz > FrqMax || h.PeakRaw < 0 || h.PeakRaw > 255) std::abort();
    if (h.HeardS < 0 || !h.Utc.isValid()) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString line = QString::fromUtf8(bytes);

    Lockout l;
    if (ParseLockoutLine(line, l)) {
        checkLockout(l);
        Lockout again;
        if (!ParseLockoutLine(FormatLockoutLine(l), again)) std::abort();
        if (again.Hz != l.Hz || again.WidthHz != l.WidthHz) std::abort();
    }
    Hit h;
    if (ParseHitLine(line, h)) {
        checkHit(h);
        Hit again;
        if (!ParseHitLine(FormatHitLine(h), again)) std::abort();
        if (again.Hz != h.Hz || again.PeakRaw != h.PeakRaw || again.Utc != h.Utc ||
            again.Mode != h.Mode || again.Filter != h.Filter)
            std::abort();
    }

    static QTemporaryDir dir;
    const QString lockPath = dir.filePath(LockoutList::FileName);
    const QString hitPath = dir.filePath(HitLog::FileName);
    for (const QString& path : {lockPath, hitPath}) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(bytes);
    }
    LockoutList list;
    const LockoutList::LoadReport r = list.Load(lockPath);
    if (r.Ok) {
        for (const Lockout& e : list.Entries()) checkLockout(e);
        if (list.Save(lockPath)) {
            LockoutList back;
            const LockoutList::LoadReport r2 = back.Load(lockPath);
            if (!r2.Ok || back.Entries().size() != list.Entries().size() ||
                r2.BadLines != r.BadLines)
                std::abort();
        }
    }
    const HitLog::ReadResult hits = HitLog(hitPath).ReadNewest(50);
    if (hits.Hits.size() > 50) std::abort();
    for (const Hit& e : hits.Hits) checkHit(e);
    return 0;
}
