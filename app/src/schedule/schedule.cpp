#include "schedule/schedule.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

constexpr int DaysInYear = 365;
constexpr int MinutesPerDay = 1440;
constexpr std::uint8_t AllDays = 0x7F;
// A season runs about seven months. A lone start (or stop) date is taken in the sense that
// puts it within this many days of the date asked about, so a winter season's bounds work on
// either side of the new year.
constexpr int SeasonSpan = 240;

constexpr std::array<int, 12> MonthStart{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr std::array<int, 12> MonthDays{31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

int dayOfYear(int month, int day) { // month 1..12, day 1..31
    if (month == 2 && day == 29) day = 28;
    return MonthStart[size_t(month - 1)] + day - 1;
}

int modulo(int a, int n) {
    const int r = a % n;
    return r < 0 ? r + n : r;
}

// The characters 0x80..0x9F of Windows-1252; 0 where the code page leaves a hole.
constexpr std::array<char16_t, 32> HighControls{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Column names as the file's header gives them, and the other names the same column goes by.
enum Column {
    Khz,
    Time,
    DaysCol,
    Itu,
    Station,
    Language,
    Target,
    Remarks,
    Pers,
    Start,
    Stop,
    Count
};
struct ColumnName {
    Column column;
    const char* name;
};
constexpr ColumnName ColumnNames[] = {
    {Khz, "khz"},         {Khz, "freq"},          {Khz, "frequency"},   {Time, "time(utc)"},
    {Time, "time"},       {Time, "utc"},          {DaysCol, "days"},    {DaysCol, "day"},
    {Itu, "itu"},         {Itu, "country"},       {Station, "station"}, {Language, "lng"},
    {Language, "lang"},   {Language, "language"}, {Target, "target"},   {Target, "tgt"},
    {Remarks, "remarks"}, {Remarks, "remark"},    {Remarks, "site"},    {Pers, "p"},
    {Pers, "pers"},       {Pers, "persistence"},  {Start, "start"},     {Start, "from"},
    {Stop, "stop"},       {Stop, "to"},           {Stop, "end"},
};

using ColumnMap = std::array<int, Count>; // field index of each column, -1 when absent

// The columns of a header line; false when the line is not a header (it lacks frequency or
// time).
bool readHeader(const QList<QStringView>& fields, ColumnMap* map) {
    map->fill(-1);
    for (int i = 0; i < fields.size(); ++i) {
        QStringView name = fields[i];
        const qsizetype colon = name.indexOf(u':');
        if (colon >= 0) name = name.left(colon); // the display width
        const QString key = name.trimmed().toString().toLower();
        for (const ColumnName& c : ColumnNames) {
            if (key == QLatin1String(c.name) && (*map)[c.column] < 0) (*map)[c.column] = i;
        }
    }
    return (*map)[Khz] >= 0 && (*map)[Time] >= 0;
}

constexpr ColumnMap PublishedOrder{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

QStringView field(const QList<QStringView>& fields, const ColumnMap& map, Column c) {
    const int i = map[c];
    if (i < 0 || i >= fields.size()) return {};
    return fields[i].trimmed();
}

bool readKhz(QStringView text, double* khz) {
    if (text.isEmpty()) return false;
    for (QChar c : text)
        if (!(c.isDigit() || c == u'.')) return false;
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= 0 || v >= 1e6) return false;
    *khz = v;
    return true;
}

// Day-name tokens, two letters each.
constexpr const char* DayNames[] = {"mo", "tu", "we", "th", "fr", "sa", "su"};

int dayIndex(QStringView two) {
    if (two.size() != 2) return -1;
    const QString low = two.toString().toLower();
    for (int i = 0; i < 7; ++i)
        if (low == QLatin1String(DayNames[i])) return i;
    return -1;
}

std::uint8_t dayRange(int from, int to) { // inclusive, wrapping past Sunday
    std::uint8_t mask = 0;
    for (int d = from;; d = (d + 1) % 7) {
        mask |= std::uint8_t(1u << d);
        if (d == to) break;
    }
    return mask;
}

// The days of one comma-free part ("Mo-Fr", "SaSu", "1245", "1-5") added to mask; false when
// it does not read.
bool readDaysInto(QStringView part, std::uint8_t* mask) {
    if (part[0].isDigit()) {
        // Digits, 1 Monday .. 7 Sunday, possibly with ranges.
        for (qsizetype i = 0; i < part.size(); ++i) {
            const QChar c = part[i];
            if (c < u'1' || c > u'7') return false;
            const int from = c.unicode() - '1';
            if (i + 2 < part.size() && part[i + 1] == u'-') {
                const QChar e = part[i + 2];
                if (e < u'1' || e > u'7') return false;
                *mask |= dayRange(from, e.unicode() - '1');
                i += 2;
            } else {
                *mask |= std::uint8_t(1u << from);
            }
        }
        return true;
    }
    qsizetype i = 0;
    while (i < part.size()) {
        const int from = dayIndex(part.mid(i, 2));
        if (from < 0) return false;
        i += 2;
        if (i < part.size() && part[i] == u'-') {
            const int to = dayIndex(part.mid(i + 1, 2));
            if (to < 0) return false;
            *mask |= dayRange(from, to);
            i += 3;
        } else {
            *mask |= std::uint8_t(1u << from);
        }
    }
    return true;
}

bool readDayPart(QStringView part, std::uint8_t* into) {
    if (part.isEmpty()) return false;
    // Kept apart until the whole part reads: "15Sep" is no Monday and Friday.
    std::uint8_t value = 0;
    if (!readDaysInto(part, &value)) return false;
    *into |= value;
    return true;
}

// A season's day range: is day inside [start, stop] (either may be -1)?
bool inSeason(int start, int stop, int day) {
    if (start < 0 && stop < 0) return true;
    if (start >= 0 && stop >= 0)
        return modulo(day - start, DaysInYear) <= modulo(stop - start, DaysInYear);
    if (start >= 0) return modulo(day - start, DaysInYear) < SeasonSpan;
    return modulo(stop - day, DaysInYear) < SeasonSpan;
}

// Splits bytes into lines (LF, with an optional CR before it) without copying.
template <class F> void forEachLine(const QByteArray& bytes, F&& line) {
    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* stop = nl ? nl : end;
        const char* e = stop;
        if (e > p && e[-1] == '\r') --e;
        line(p, qsizetype(e - p));
        p = nl ? nl + 1 : end;
    }
}

} // namespace

namespace schedule {

QString FromWindows1252(const char* data, qsizetype size) {
    QString out(size, Qt::Uninitialized);
    QChar* o = out.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        char16_t u = c;
        if (c >= 0x80 && c < 0xA0) u = HighControls[c - 0x80] ? HighControls[c - 0x80] : u'\uFFFD';
        o[i] = QChar(u);
    }
    return out;
}

Days ParseDays(const QString& field) {
    const QString text = field.trimmed();
    Days days;
    if (text.isEmpty()) return days;
    std::uint8_t mask = 0;
    bool sure = true;
    for (QStringView part : QStringView(text).split(u',', Qt::SkipEmptyParts)) {
        part = part.trimmed();
        if (!readDayPart(part, &mask)) sure = false;
    }
    days.Sure = sure;
    // Nothing read at all (irr, alt, Ram, 15Sep): it may be on any day.
    days.Mask = mask ? mask : AllDays;
    return days;
}

bool ParseTime(const QString& field, int* start, int* end) {
    const QString t = field.trimmed();
    if (t.size() != 9 || t[4] != u'-') return false;
    const auto minutes = [&](qsizetype at, int* out) {
        int v[4];
        for (int i = 0; i < 4; ++i) {
            const QChar c = t[at + i];
            if (!c.isDigit() || c.unicode() > '9') return false;
            v[i] = c.unicode() - '0';
        }
        const int h = v[0] * 10 + v[1], m = v[2] * 10 + v[3];
        if (m > 59 || h > 24 || (h == 24 && m != 0)) return false;
        *out = h * 60 + m;
        return true;
    };
    int s = 0, e = 0;
    if (!minutes(0, &s) || !minutes(5, &e)) return false;
    if (s == MinutesPerDay) return false; // a span does not start at 2400
    if (e == 0) e = MinutesPerDay;        // "2300-0000" ends at midnight
    *start = s;
    *end = e;
    return true;
}

std::optional<int> ParseDate(const QString& field) {
    QString t = field.trimmed();
    const qsizetype bracket = t.indexOf(u'[');
    if (bracket == 0) return -1; // only a last-heard date: no bound
    if (bracket > 0) t = t.left(bracket).trimmed();
    if (t.isEmpty()) return -1;
    if (t.size() != 4) return std::nullopt;
    for (QChar c : t)
        if (!c.isDigit() || c.unicode() > '9') return std::nullopt;
    const int day = t.left(2).toInt(), month = t.mid(2).toInt();
    if (month < 1 || month > 12 || day < 1 || day > MonthDays[size_t(month - 1)])
        return std::nullopt;
    return dayOfYear(month, day);
}

} // namespace schedule

ScheduleTime ScheduleTime::FromUtc(const QDateTime& utc) {
    const QDateTime t = utc.toUTC();
    const QDate d = t.date();
    const QTime tm = t.time();
    ScheduleTime s;
    s.Weekday = d.dayOfWeek() - 1;
    s.Minute = tm.hour() * 60 + tm.minute();
    s.DayOfYear = dayOfYear(d.month(), d.day());
    return s;
}

ScheduleTime ScheduleTime::Plus(int minutes) const {
    ScheduleTime s = *this;
    const int total = Minute + minutes;
    const int days = (total >= 0 ? total : total - (MinutesPerDay - 1)) / MinutesPerDay;
    s.Minute = modulo(total, MinutesPerDay);
    s.Weekday = modulo(Weekday + days, 7);
    s.DayOfYear = modulo(DayOfYear + days, DaysInYear);
    return s;
}

bool Schedule::OnAir(const Broadcast& b, const ScheduleTime& t) {
    if (b.Inactive()) return false;
    int weekday = t.Weekday, day = t.DayOfYear;
    if (b.EndMinute > b.StartMinute) {
        if (t.Minute < b.StartMinute || t.Minute >= b.EndMinute) return false;
    } else if (t.Minute < b.StartMinute) {
        // Past midnight: the part after 0000 belongs to the day the span started.
        if (t.Minute >= b.EndMinute) return false;
        weekday = (weekday + 6) % 7;
        day = modulo(day - 1, DaysInYear);
    }
    if (!(b.Days & (1u << weekday))) return false;
    return inSeason(b.StartDay, b.StopDay, day);
}

void Schedule::OnAirIn(double lowKhz, double highKhz, const ScheduleTime& t,
                       std::vector<const Broadcast*>& out) const {
    out.clear();
    auto it = std::lower_bound(entries_.begin(), entries_.end(), lowKhz,
                               [](const Broadcast& b, double f) { return b.Khz < f; });
    for (; it != entries_.end() && it->Khz <= highKhz; ++it)
        if (OnAir(*it, t)) out.push_back(&*it);
}

void Schedule::OnAirAt(double khz, double toleranceKhz, const ScheduleTime& t,
                       std::vector<const Broadcast*>& out) const {
    OnAirIn(khz - toleranceKhz, khz + toleranceKhz, t, out);
}

const Broadcast* Schedule::NextAt(double khz, double toleranceKhz, const ScheduleTime& t,
                                  int* minutesAhead) const {
    const Broadcast* best = nullptr;
    int bestAhead = 8 * MinutesPerDay;
    auto it = std::lower_bound(entries_.begin(), entries_.end(), khz - toleranceKhz,
                               [](const Broadcast& b, double f) { return b.Khz < f; });
    for (; it != entries_.end() && it->Khz <= khz + toleranceKhz; ++it) {
        if (it->Inactive()) continue;
        // Starts from the next minute on, over the coming week.
        int ahead = modulo(it->StartMinute - t.Minute, MinutesPerDay);
        if (ahead == 0) ahead = MinutesPerDay;
        for (; ahead <= 7 * MinutesPerDay && ahead < bestAhead; ahead += MinutesPerDay) {
            if (OnAir(*it, t.Plus(ahead))) {
                best = &*it;
                bestAhead = ahead;
                break;
            }
        }
    }
    if (best && minutesAhead) *minutesAhead = bestAhead;
    return best;
}

ScheduleLoad Schedule::Load(const QString& path) {
    ScheduleLoad result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.Error =
            QStringLiteral("The schedule file %1 cannot be read: %2").arg(path, file.errorString());
        return result;
    }
    if (file.size() > MaxFileBytes) {
        result.Error = QStringLiteral("The schedule file %1 is larger than %2 MB: it is not a "
                                      "schedule")
                           .arg(path)
                           .arg(MaxFileBytes / (1024 * 1024));
        return result;
    }
    // Read with the bound even when the size lied (a pipe, a growing file).
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    if (bytes.size() > MaxFileBytes) {
        result.Error = QStringLiteral("The schedule file %1 is larger than %2 MB: it is not a "
                                      "schedule")
                           .arg(path)
                           .arg(MaxFileBytes / (1024 * 1024));
        return result;
    }
    result = Parse(bytes);
    if (!result.Ok)
        result.Error = QStringLiteral("The schedule file %1: %2").arg(path, result.Error);
    return result;
}

ScheduleLoad Schedule::Parse(const QByteArray& bytes) {
    ScheduleLoad result;
    std::vector<Broadcast> read;
    read.reserve(size_t(bytes.size() / 80 + 1));
    ColumnMap map = PublishedOrder;
    bool first = true;
    QString text;
    forEachLine(bytes, [&](const char* p, qsizetype n) {
        if (first && n >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3, n -= 3;
        if (n == 0) {
            first = false;
            return;
        }
        if (n > MaxLineBytes) {
            ++result.Skipped;
            first = false;
            return;
        }
        text = schedule::FromWindows1252(p, n);
        const QList<QStringView> fields = QStringView(text).split(u';');
        if (first) {
            first = false;
            double khz = 0;
            // A first line whose first field is no frequency is the header.
            if (!readKhz(fields[0].trimmed(), &khz)) {
                if (!readHeader(fields, &map)) {
                    result.Error = QStringLiteral("the first line names no frequency and time "
                                                  "columns (kHz;Time(UTC);...)");
                    return;
                }
                return;
            }
        }
        if (!result.Error.isEmpty()) return;
        Broadcast b;
        const QString time = field(fields, map, Time).toString();
        if (!readKhz(field(fields, map, Khz), &b.Khz) ||
            !schedule::ParseTime(time, &b.StartMinute, &b.EndMinute)) {
            ++result.Skipped;
            return;
        }
        b.Time = time;
        b.DaysText = field(fields, map, DaysCol).toString();
        const schedule::Days days = schedule::ParseDays(b.DaysText);
        b.Days = days.Mask;
        b.DaysSure = days.Sure;
        b.Itu = field(fields, map, Itu).toString();
        b.Station = field(fields, map, Station).toString();
        b.Language = field(fields, map, Language).toString();
        b.Target = field(fields, map, Target).toString();
        b.Remarks = field(fields, map, Remarks).toString();
        bool ok = false;
        const int pers = field(fields, map, Pers).toInt(&ok);
        b.Persistence = ok && pers >= 1 && pers <= 8 ? pers : 0;
        // A date that does not read is no bound: the broadcast itself is still good.
        b.StartDay = schedule::ParseDate(field(fields, map, Start).toString()).value_or(-1);
        b.StopDay = schedule::ParseDate(field(fields, map, Stop).toString()).value_or(-1);
        read.push_back(std::move(b));
    });
    if (!result.Error.isEmpty()) return result;
    if (read.empty()) {
        result.Error = result.Skipped > 0 ? QStringLiteral("no line reads as a broadcast (%1 "
                                                           "skipped)")
                                                .arg(result.Skipped)
                                          : QStringLiteral("the file holds no broadcasts");
        return result;
    }
    std::stable_sort(read.begin(), read.end(),
                     [](const Broadcast& a, const Broadcast& b) { return a.Khz < b.Khz; });
    entries_ = std::move(read);
    result.Ok = true;
    result.Rows = int(entries_.size());
    return result;
}
