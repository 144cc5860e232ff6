#pragma once

// Text rules shared by the pad and the list reader: the "|" record splitter, kilohertz
// normalisation and the leading-number reading of a field. The memory room has the same
// helpers for the memory files; these stay private to the lists room under their own
// namespace so that both can be folded into one later.

#include <QString>
#include <QStringList>
#include <QStringView>

namespace listtext {

// When text holds mark, removes every mark and pads the decimals to three, turning a kilohertz
// value into whole hertz ("7125.5" -> "7125500"); decimals past the third are dropped (the
// frequency is truncated to whole hertz). Returns false and leaves text alone without a mark.
bool NormaliseKhz(QString& text, QChar mark);

// Splits line at sep into at most lastField + 1 trimmed fields (the last keeps any further
// separators). Field 0 goes through NormaliseKhz with "." and then ",". A line starting with
// mark gives no fields. Returns true when exactly lastField separators were consumed.
bool SplitRecordLine(QStringView line, QChar sep, QChar mark, int lastField, QStringList& fields);

// True when the file can be opened for reading.
bool FileExists(const QString& name);

// The number at the start of text after leading blanks (sign, digits, one "."), 0 when there
// is none: "7125kHz" reads 7125, "abc" reads 0.
double LeadingNumber(QStringView text);

// text without its line end (LF or CR LF).
QStringView WithoutLineEnd(QStringView text);

} // namespace listtext
