#pragma once

#include "scan/record_source.h"
#include "schedule/schedule.h"

#include <QDateTime>

#include <functional>
#include <vector>

class Panel;
class Settings;

// The "on the air now" scan: steps through the frequencies with a broadcast on the air in a
// range, lowest first, one frequency a step, and shows each station on the record caption.
// At the end of the range it starts again from the lowest, with the list read anew for the
// time then. Nothing on the air (or no schedule) refuses the start; a list that empties while
// the scan runs stops it.
class OnAirScan : public RecordSource {
public:
    using Clock = std::function<QDateTime()>;
    // The range to scan, kHz; false when there is none.
    using Range = std::function<bool(double* lowKhz, double* highKhz)>;

    OnAirScan(const Schedule& schedule, Panel& panel, const Settings& settings, Range range,
              Clock clock = &QDateTime::currentDateTimeUtc);

    bool Begin() override;
    bool Next() override;
    void End() override;

    // The frequencies of this pass, kHz.
    const std::vector<double>& Frequencies() const { return frequencies_; }

private:
    bool collect();

    const Schedule& schedule_;
    Panel& panel_;
    const Settings& settings_;
    Range range_;
    Clock clock_;
    std::vector<double> frequencies_;
    std::vector<const Broadcast*> found_;
    std::size_t next_ = 0;
};
