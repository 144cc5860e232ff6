#pragma once

#include "schedule/schedule.h"

#include <QString>
#include <QStringList>

#include <vector>

// What the listener sees of a broadcast: one line for the panel and the scan, the fields for
// the window and the command line.
namespace schedule {

// The named broadcast bands a listener filters by (kHz, both ends included).
struct NamedBand {
    const char* Name;
    double LowKhz;
    double HighKhz;
};
const std::vector<NamedBand>& BroadcastBands();
// "49m" or "5900-6200" into a range in kHz; false when it reads as neither.
bool ParseBand(const QString& text, double* lowKhz, double* highKhz);

// "Station, language, target" of the broadcasts on one frequency, joined by " / "; a broadcast
// whose days are not sure gets "?".
QString Caption(const std::vector<const Broadcast*>& onAir);
QString Caption(const Broadcast& b);
// True when the language field lists code (case does not matter; empty code matches all).
bool SpeaksLanguage(const Broadcast& b, const QString& code);
// The frequency as the file writes it: "6070", "11780.5".
QString KhzText(double khz);

} // namespace schedule
