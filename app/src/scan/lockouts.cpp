#include "scan/lockouts.h"

#include "core/units.h"

#include <QFile>
#include <QSaveFile>

#include <cmath>

namespace {

constexpr double MaxWidthHz = 1000000;

// Whole hertz in decimal digits, blanks around allowed.
bool parseHz(QStringView field, double lo, double hi, double& out) {
    const QStringView t = field.trimmed();
    if (t.isEmpty() || t.size() > 9) return false;
    qint64 v = 0;
    for (QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
        v = v * 10 + (c.unicode() - '0');
    }
    if (double(v) < lo || double(v) > hi) return false;
    out = double(v);
    return true;
}

} // namespace

bool Lockout::Covers(double hz) const {
    return std::abs(hz - Hz) <= std::max(0.5, WidthHz / 2);
}

QString FormatLockoutLine(const Lockout& l) {
    QString comment = l.Comment;
    comment.replace(QLatin1Char('|'), QLatin1Char(' '));
    comment.remove(QLatin1Char('\r'));
    comment.remove(QLatin1Char('\n'));
    return QStringLiteral("%1|%2|%3")
        .arg(qint64(std::llround(l.Hz)))
        .arg(qint64(std::llround(l.WidthHz)))
        .arg(comment);
}

bool ParseLockoutLine(const QString& line, Lockout& out) {
    QStringView text(line);
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
    const qsizetype first = text.indexOf(QLatin1Char('|'));
    if (first < 0) return false;
    const qsizetype second = text.indexOf(QLatin1Char('|'), first + 1);
    Lockout read;
    if (!parseHz(text.left(first), FrqMin, FrqMax, read.Hz)) return false;
    const QStringView width =
        second < 0 ? text.mid(first + 1) : text.mid(first + 1, second - first - 1);
    if (!parseHz(width, 0, MaxWidthHz, read.WidthHz)) return false;
    if (second >= 0) read.Comment = text.mid(second + 1).toString();
    out = read;
    return true;
}

bool LockoutList::Covers(double hz) const {
    return IndexCovering(hz) >= 0;
}

int LockoutList::IndexCovering(double hz) const {
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].Covers(hz)) return int(i);
    return -1;
}

bool LockoutList::Add(const Lockout& lockout) {
    if (m_entries.size() + m_kept.size() >= MaxEntries) return false;
    for (const Lockout& l : m_entries)
        if (l.Hz == lockout.Hz && l.WidthHz == lockout.WidthHz) return false;
    m_entries.append(lockout);
    return true;
}

bool LockoutList::RemoveAt(int index) {
    if (index < 0 || index >= m_entries.size()) return false;
    m_entries.removeAt(index);
    return true;
}

void LockoutList::Clear() {
    m_entries.clear();
    m_kept.clear();
}

LockoutList::LoadReport LockoutList::Load(const QString& path) {
    LoadReport report;
    QFile f(path);
    if (!f.exists()) {
        Clear();
        return report;
    }
    auto refuse = [&](const QString& why) {
        report.Ok = false;
        report.Error = QStringLiteral("%1: %2").arg(path, why);
        return report;
    };
    if (!f.open(QIODevice::ReadOnly)) return refuse(f.errorString());
    if (f.size() > MaxFileBytes) return refuse(QStringLiteral("larger than 1 MiB"));
    const QByteArray all = f.read(MaxFileBytes + 1);
    if (all.size() > MaxFileBytes) return refuse(QStringLiteral("larger than 1 MiB"));
    QList<Lockout> entries;
    QStringList kept;
    int number = 0;
    for (QByteArrayView rest(all); !rest.isEmpty();) {
        qsizetype end = rest.indexOf('\n');
        const QByteArrayView raw = end < 0 ? rest : rest.first(end);
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
        ++number;
        // Counted in characters, so a line read and written back reads again.
        const QString line = raw.size() > 4 * MaxLineLength
                                 ? QString()
                                 : QString::fromUtf8(raw).remove(QLatin1Char('\r'));
        if (raw.size() > 4 * MaxLineLength || line.size() > MaxLineLength)
            return refuse(QStringLiteral("line %1 is too long").arg(number));
        if (entries.size() + kept.size() >= MaxEntries)
            return refuse(QStringLiteral("more than %1 lines").arg(MaxEntries));
        if (line.trimmed().isEmpty()) continue;
        Lockout l;
        if (ParseLockoutLine(line, l)) {
            entries.append(l);
        } else {
            kept.append(line);
            if (report.FirstBadLine == 0) report.FirstBadLine = number;
        }
    }
    m_entries = entries;
    m_kept = kept;
    report.Loaded = int(entries.size());
    report.BadLines = int(kept.size());
    return report;
}

bool LockoutList::Save(const QString& path, QString* error) const {
    QSaveFile out(path);
    auto fail = [&] {
        if (error) *error = QStringLiteral("%1: %2").arg(path, out.errorString());
        out.cancelWriting();
        return false;
    };
    if (!out.open(QIODevice::WriteOnly)) return fail();
    QByteArray text;
    for (const Lockout& l : m_entries) text += FormatLockoutLine(l).toUtf8() + "\r\n";
    for (const QString& k : m_kept) text += k.toUtf8() + "\r\n";
    if (out.write(text) != text.size()) return fail();
    if (!out.commit()) return fail();
    return true;
}
