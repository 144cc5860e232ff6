#include "schedule/on_air_scan.h"

#include "core/panel.h"
#include "schedule/on_air.h"
#include "settings/settings.h"

namespace {
// The panel's mode code for AM.
constexpr int AmMode = 4;
// A station counts for a frequency this close (kHz): the file writes whole kHz mostly.
constexpr double SameFrequency = 0.05;
} // namespace

OnAirScan::OnAirScan(const Schedule& schedule, Panel& panel, const Settings& settings, Range range,
                     Clock clock)
    : schedule_(schedule), panel_(panel), settings_(settings), range_(std::move(range)),
      clock_(std::move(clock)) {}

bool OnAirScan::collect() {
    frequencies_.clear();
    next_ = 0;
    double low = 0, high = 0;
    if (schedule_.Empty() || !range_ || !range_(&low, &high)) return false;
    schedule_.OnAirIn(low, high, ScheduleTime::FromUtc(clock_()), found_);
    for (const Broadcast* b : found_)
        if (frequencies_.empty() || b->Khz - frequencies_.back() > SameFrequency)
            frequencies_.push_back(b->Khz);
    return !frequencies_.empty();
}

bool OnAirScan::Begin() {
    if (!collect()) return false;
    // Broadcasts are heard in AM unless the band plan chooses the mode.
    if (!settings_.BND_AutoMD) panel_.ShowMode(AmMode, true);
    return true;
}

bool OnAirScan::Next() {
    if (next_ >= frequencies_.size() && !collect()) return false;
    const double khz = frequencies_[next_];
    const double hz = khz * 1000;
    panel_.TuneTo(hz, true, true, false);
    schedule_.OnAirAt(khz, SameFrequency, ScheduleTime::FromUtc(clock_()), found_);
    panel_.ShowRecordNumber(QStringLiteral("Sk"),
                            QStringLiteral("%1").arg(next_ + 1, 3, 10, QLatin1Char('0')));
    panel_.ShowRecordCaption(hz, schedule::Caption(found_), true);
    ++next_;
    return true;
}

void OnAirScan::End() {
    frequencies_.clear();
    next_ = 0;
}
