#pragma once

#include "settings/records.h"

#include <QString>

class Nrd535;
class Panel;
class Settings;

// Tunes the receiver to a record and shows it: the AGC through the panel, mode and filter on the
// driver, the frequency through TuneTo, the caption (per the View comment and View nulls
// options) and the record indicator with number (shown "000") and tag. A record whose frequency
// is 0 does nothing; negative codes (unknown) are not sent.
void ApplyRecord(Panel& panel, Nrd535& rx, const Settings& settings, const MemoryRecord& record,
                 qint64 number, const QString& tag);

// The record number as the indicator shows it: at least three digits.
QString RecordNumberText(qint64 number);
