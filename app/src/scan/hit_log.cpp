#include "scan/hit_log.h"

#include "core/units.h"
#include "scan/smeter_scale.h"

#include <ostry/protocol.h>

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Fields = 10;

bool parseInt(QStringView t, qint64 lo, qint64 hi, qint64& out) {
    t = t.trimmed();
    if (t.isEmpty() || t.size() > 10) return false;
    qint64 v = 0;
    for (QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
        v = v * 10 + (c.unicode() - '0');
    }
    if (v < lo || v > hi) return false;
    out = v;
    return true;
}

// A decimal with at most one decimal place and an optional minus: "38", "-3.5".
bool parseTenths(QStringView t, double lo, double hi, double& out) {
    t = t.trimmed();
    const bool negative = t.startsWith(QLatin1Char('-'));
    if (negative) t = t.sliced(1);
    const qsizetype dot = t.indexOf(QLatin1Char('.'));
    qint64 whole = 0, tenth = 0;
    if (dot < 0) {
        if (!parseInt(t, 0, 9999999, whole)) return false;
    } else {
        if (!parseInt(t.left(dot), 0, 9999999, whole)) return false;
        if (t.size() - dot != 2 || !parseInt(t.sliced(dot + 1), 0, 9, tenth)) return false;
    }
    double v = double(whole) + double(tenth) / 10;
    if (negative) v = -v;
    if (v < lo || v > hi) return false;
    out = v;
    return true;
}

QString tenths(double v) {
    return QString::number(std::round(v * 10) / 10, 'f', 1);
}

} // namespace

QString FormatHitLine(const Hit& h) {
    QString scan = h.Scan;
    scan.replace(QLatin1Char('|'), QLatin1Char(' '));
    scan.remove(QLatin1Char('\r'));
    scan.remove(QLatin1Char('\n'));
    const QDateTime utc = h.Utc.toUTC();
    return QStringList{utc.toString(QStringLiteral("yyyy-MM-dd")),
                       utc.toString(QStringLiteral("HH:mm:ss")),
                       QString::number(qint64(std::llround(h.Hz))),
                       ostry::settingDesc(ostry::Setting::MD, h.Mode),
                       ostry::settingDesc(ostry::Setting::FT, h.Filter),
                       SMeterText(h.PeakRaw),
                       tenths(h.DbAboveFloor),
                       tenths(h.HeardS),
                       scan,
                       QStringLiteral("%1").arg(h.PeakRaw, 3, 10, QLatin1Char('0'))}
        .join(QLatin1Char('|'));
}

bool ParseHitLine(const QString& line, Hit& out) {
    QStringView text(line);
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
    const auto f = text.split(QLatin1Char('|'));
    if (f.size() != Fields) return false;
    Hit h;
    const QDate date = QDate::fromString(f[0].trimmed().toString(), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(f[1].trimmed().toString(), QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid()) return false;
    h.Utc = QDateTime(date, time, Qt::UTC);
    qint64 v = 0;
    if (!parseInt(f[2], qint64(FrqMin), qint64(FrqMax), v)) return false;
    h.Hz = double(v);
    const QString mode = f[3].trimmed().toString();
    h.Mode = ostry::settingCode(ostry::Setting::MD, mode);
    if (ostry::settingDesc(ostry::Setting::MD, h.Mode) != mode) return false;
    const QString filter = f[4].trimmed().toString();
    if (filter.isEmpty() || filter.size() > 6) return false;
    h.Filter = ostry::settingCode(ostry::Setting::FT, filter);
    if (ostry::settingDesc(ostry::Setting::FT, h.Filter) != filter) return false;
    if (f[5].trimmed().isEmpty() || f[5].size() > 8) return false;
    if (!parseTenths(f[6], -999, 999, h.DbAboveFloor)) return false;
    if (!parseTenths(f[7], 0, 9999999, h.HeardS)) return false;
    h.Scan = f[8].toString();
    if (h.Scan.size() > 32) return false;
    if (!parseInt(f[9], 0, 255, v)) return false;
    h.PeakRaw = int(v);
    out = h;
    return true;
}

bool HitLog::Append(const Hit& hit, QString* error) const {
    const QByteArray line = FormatHitLine(hit).toUtf8() + "\r\n";
    auto fail = [&](int err) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_path, QString::fromLocal8Bit(strerror(err)));
        return false;
    };
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return fail(errno);
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    ssize_t n;
    do {
        n = ::write(fd, line.constData(), size_t(line.size()));
    } while (n < 0 && errno == EINTR);
    const int err = n < 0 ? errno : ENOSPC;
    if (n != ssize_t(line.size())) {
        // Part of a line would run into the next one: cut it back off.
        if (n > 0 && sized) {
            const int cut = ::ftruncate(fd, before.st_size);
            (void)cut;
        }
        ::close(fd);
        return fail(err);
    }
    if (::close(fd) != 0) return fail(errno);
    return true;
}

HitLog::ReadResult HitLog::ReadNewest(int maxHits) const {
    ReadResult result;
    QFile f(m_path);
    if (!f.exists()) return result;
    if (!f.open(QIODevice::ReadOnly)) {
        result.Ok = false;
        result.Error = QStringLiteral("%1: %2").arg(m_path, f.errorString());
        return result;
    }
    const qint64 size = f.size();
    const qint64 from = std::max<qint64>(0, size - MaxReadBytes);
    f.seek(from);
    QByteArray tail = f.read(MaxReadBytes);
    // Starting inside the file, the first line is only the end of one.
    if (from > 0) {
        const qsizetype nl = tail.indexOf('\n');
        tail = nl < 0 ? QByteArray() : tail.mid(nl + 1);
    }
    qsizetype end = tail.size();
    while (end > 0 && result.Hits.size() < maxHits) {
        qsizetype start = tail.lastIndexOf('\n', end - 1);
        // The line runs from start+1 to end (end at a newline or the end of the data).
        const qsizetype begin = start < 0 ? 0 : start + 1;
        const QByteArrayView raw = QByteArrayView(tail).sliced(begin, end - begin);
        end = start < 0 ? 0 : start;
        if (QByteArrayView(raw).trimmed().isEmpty()) continue;
        Hit h;
        if (raw.size() <= MaxLineLength && ParseHitLine(QString::fromUtf8(raw), h))
            result.Hits.append(h);
        else
            ++result.BadLines;
    }
    return result;
}
