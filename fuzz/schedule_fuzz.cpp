// Broadcast schedule files: whatever the reader keeps is a broadcast the queries can use.

#include "schedule/schedule.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    Schedule s;
    const ScheduleLoad load =
        s.Parse(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    check(load.Ok == !s.Empty());
    check(load.Ok || !load.Error.isEmpty());
    double last = 0;
    for (std::size_t i = 0; i < s.Size(); ++i) {
        const Broadcast& b = s.At(i);
        check(b.Khz > 0 && b.Khz >= last);
        check(b.StartMinute >= 0 && b.StartMinute < 1440 && b.EndMinute > 0 && b.EndMinute <= 1440);
        check(b.Days != 0 && b.Days < 0x80);
        check(b.StartDay >= -1 && b.StartDay < 365 && b.StopDay >= -1 && b.StopDay < 365);
        last = b.Khz;
    }
    // The queries over what was read, at a time taken from the input.
    ScheduleTime t;
    if (size >= 3) {
        t.Weekday = data[0] % 7;
        t.Minute = (data[1] * 256 + data[2]) % 1440;
        t.DayOfYear = (data[1] + data[2]) % 365;
    }
    std::vector<const Broadcast*> found;
    if (!s.Empty()) {
        s.OnAirAt(s.At(0).Khz, 1, t, found);
        for (const Broadcast* b : found) check(Schedule::OnAir(*b, t));
        int ahead = 0;
        if (s.NextAt(s.At(s.Size() - 1).Khz, 1, t, &ahead)) check(ahead > 0 && ahead <= 7 * 1440);
    }
    s.OnAirIn(0, 1e9, t, found);
    return 0;
}
