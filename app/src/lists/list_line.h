#pragma once

// One line of a frequency list read through an import layout.

#include "lists/import_profile.h"

#include <QString>
#include <QStringList>
#include <QStringView>

struct ListLine {
    double Frequency = 0; // hertz
    int Mode = -1;        // -1 when the list gives none
    QString Comment;
};

// Reads line under layout. modeTexts are the receiver's mode names by code; the first one found
// in the mode field gives the mode. False when the line is no record: empty, starting with "#",
// without a frequency field, or a frequency field that is not a plain kilohertz number within
// the tuning range.
bool ParseListLine(QStringView line, const ImportLayout& layout, const QStringList& modeTexts,
                   ListLine& out);

// The frequency field rule on its own: "07125.5" -> 7125500, "6070" -> 6070000, 0 for a field
// that is no frequency ("7125kHz", "0", "", out of range).
double ListFrequency(QStringView field);
