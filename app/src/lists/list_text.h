#pragma once

// Field reading shared by the pad and the list reader. The "|" splitter and the kilohertz
// normalisation are the memory files' too (core/record_text.h).

#include <QString>
#include <QStringView>

namespace listtext {

// The number at the start of text after leading blanks (sign, digits, one "."), 0 when there
// is none: "7125kHz" reads 7125, "abc" reads 0.
double LeadingNumber(QStringView text);

// text without its line end (LF or CR LF).
QStringView WithoutLineEnd(QStringView text);

} // namespace listtext
