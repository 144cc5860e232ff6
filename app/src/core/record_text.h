#pragma once

// The text rules of the "|" record files (memory files, the pad, frequency lists): the line
// splitter, kilohertz normalisation and the existence test of a file.

#include <QChar>
#include <QString>
#include <QStringList>
#include <QStringView>

// What NormaliseKhz does with the characters after the decimal mark.
enum class KhzDecimals {
    // Zeros pad what follows the first mark (further marks counted) up to three characters;
    // more stay: "7125.1256" -> "71251256", "7.1.2" -> "712". The memory files read so.
    AsWritten,
    // Further marks dropped, then the decimals cut or padded to exactly three, so the result is
    // always whole hertz: "7125.1256" -> "7125125", "7.1.2" -> "7120". The pad and lists.
    WholeHertz,
};

// Turns a kilohertz text with the decimal mark into hertz as text: every mark is removed and
// zeros are appended up to three decimals ("7125.5" -> "7125500", "7.1" -> "7100"); `decimals`
// says what happens past the third. False (text unchanged) when the mark is absent.
bool NormaliseKhz(QString& text, QChar mark, KhzDecimals decimals);

// Splits a record line into lastField + 1 trimmed fields at `separator`; the last field takes the
// rest of the line, further separators included. Field 0 goes through NormaliseKhz with "." and
// then ",". False for a line starting with commentMark (fields left empty) and for a line with
// fewer than lastField separators (fields holds what was found).
bool SplitRecordLine(QStringView line, QChar separator, QChar commentMark, int lastField,
                     KhzDecimals decimals, QStringList& fields);

// True when the file can be opened for reading.
bool FileExists(const QString& name);
