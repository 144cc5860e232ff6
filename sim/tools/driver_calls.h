#pragma once

// Driver calls given as text, e.g. "FT 2400" or "Save 5 9410000 4 1 0 0": the monitor's command
// line and the driver tests' tables share this one reading.

#include <QString>

class Nrd535;

namespace nrd535sim {

// Runs one call: a member name and its numeric arguments separated by blanks (missing ones read
// as 0). False for an empty line or an unknown name. Members that return a value put it into
// `result` as "1"/"0" (Conn, Disc, CHUpd); it is left empty otherwise.
bool callDriver(Nrd535& rx, const QString& text, QString* result = nullptr);

// One line naming every call callDriver understands.
QString driverCallUsage();

} // namespace nrd535sim
