#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// One broadcast of a schedule file: a frequency, a daily time span in UTC, its days and the
// season dates it keeps.
struct Broadcast {
    double Khz = 0;
    int StartMinute = 0; // 0..1439, UTC
    int EndMinute = 0;   // 1..1440; at or before StartMinute the span runs past midnight
    // Bit 0 Monday .. bit 6 Sunday, for the day the span starts on.
    std::uint8_t Days = 0x7F;
    // False when the days field holds what the program does not read (irregular, alternating,
    // a feast or a date): the days above are then a guess.
    bool DaysSure = true;
    // 1..8 from the file (0 when it gives none); 8 is an inactive entry, never on air.
    int Persistence = 0;
    // Season bounds as days of a common year (0 = 1 January), -1 when the file gives none.
    int StartDay = -1;
    int StopDay = -1;
    QString Time; // as written: "2300-0100"
    QString DaysText;
    QString Itu;
    QString Station;
    QString Language;
    QString Target;
    QString Remarks;

    bool Inactive() const { return Persistence == 8; }
};

// A UTC time broken down the way the queries need it.
struct ScheduleTime {
    int Weekday = 0;   // 0 Monday .. 6 Sunday
    int Minute = 0;    // 0..1439
    int DayOfYear = 0; // 0..364 in a common year (29 February counts as 28 February)

    static ScheduleTime FromUtc(const QDateTime& utc);
    // The moment `minutes` later (may be negative).
    ScheduleTime Plus(int minutes) const;
};

struct ScheduleLoad {
    bool Ok = false;
    QString Error; // why the file was refused, for the operator
    int Rows = 0;  // broadcasts read
    int Skipped = 0;
};

// A broadcast schedule (the semicolon-separated season file of the shortwave listeners' public
// database): read once, then asked who is on the air. Broadcasts are kept sorted by frequency,
// so a lookup is a binary search and a short walk along the entries of that frequency.
class Schedule {
public:
    // Files larger than this are refused: a season is about 1 MB.
    static constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;
    // Longer lines are skipped as bad rows.
    static constexpr int MaxLineBytes = 4096;

    // Reads the file at path (Windows-1252, CR LF or LF). On failure the schedule is left as
    // it was.
    ScheduleLoad Load(const QString& path);
    // Reads the file's bytes; the same rules as Load.
    ScheduleLoad Parse(const QByteArray& bytes);

    bool Empty() const { return entries_.empty(); }
    std::size_t Size() const { return entries_.size(); }
    const Broadcast& At(std::size_t i) const { return entries_[i]; }
    void Clear() { entries_.clear(); }

    // True when b is on the air at t: an active entry, inside its season dates, on one of its
    // days (for the day its span started) and inside its span.
    static bool OnAir(const Broadcast& b, const ScheduleTime& t);

    // The broadcasts on the air at t within khz +- tolerance, in frequency order. out is
    // cleared first; it is the caller's so a lookup allocates nothing once it has grown.
    void OnAirAt(double khz, double toleranceKhz, const ScheduleTime& t,
                 std::vector<const Broadcast*>& out) const;
    // Everything on the air at t from lowKhz to highKhz (both included), in frequency order.
    void OnAirIn(double lowKhz, double highKhz, const ScheduleTime& t,
                 std::vector<const Broadcast*>& out) const;
    // The broadcast within khz +- tolerance that starts soonest after t (within a week), with
    // the minutes until it starts; nullptr when none does.
    const Broadcast* NextAt(double khz, double toleranceKhz, const ScheduleTime& t,
                            int* minutesAhead = nullptr) const;

private:
    std::vector<Broadcast> entries_;
};

// Text helpers the reader uses, for the tests.
namespace schedule {
// Windows-1252 to text.
QString FromWindows1252(const char* data, qsizetype size);
// A days field: the day mask and whether it was read in full.
struct Days {
    std::uint8_t Mask = 0x7F;
    bool Sure = true;
};
Days ParseDays(const QString& field);
// "HHMM-HHMM" into start and end minutes; false when it does not read.
bool ParseTime(const QString& field, int* start, int* end);
// A DDMM date (a bracketed last-heard date after it is dropped; a fully bracketed field is no
// bound): the day of a common year, -1 for none, std::nullopt when it does not read.
std::optional<int> ParseDate(const QString& field);
} // namespace schedule
