#pragma once

#include "core/record_text.h"
#include "settings/records.h"

#include <QChar>
#include <QString>
#include <QStringList>
#include <QStringView>

class MemoryTable;

// ---- the fields of a record line ----------------------------------------------------------------

// Leading-number parse of a field: optional sign, digits, one decimal point; 0 when none.
double FieldNumber(QStringView text);
// A code field (mode, filter, AGC) as an integer; 0 for text without a number or a value
// outside the 32-bit range.
int FieldCode(QStringView text);
// The five fields of a record line as a record. A frequency that is negative, not finite or at
// least 30 MHz counts as an empty row.
MemoryRecord RecordFromFields(const QStringList& fields);

// ---- memory files ---------------------------------------------------------------------------

// One line of a memory file without its line end: the frequency as "       0" (seven spaces,
// whole hertz), then mode, filter, AGC and the comment, joined by "|". Line breaks in a comment
// become spaces so that one record stays one line.
QString FormatRecordLine(const MemoryRecord& record);

// "Bank" + digit + ".mem".
QString BankFileName(int digit);

struct LoadResult {
    bool opened = false;    // false: the file could not be opened; nothing changed
    int rowsRead = 0;       // rows 0..rowsRead-1 were replaced
    bool badLine = false;   // loading stopped at a comment, empty or short line
    bool readError = false; // the file could not be read to its end
    QString error;          // why it could not be opened (not a file, no permission...)
};

// Reads up to one line per row of the table, from row 0 on. A comment ("#"), empty or short line
// stops loading; earlier rows stay loaded, later rows keep their contents. Lines end in CR LF or
// LF alone; UTF-8 text, or Latin-1 when the file is not valid UTF-8.
LoadResult LoadChannelFile(const QString& path, MemoryTable& table);

struct SaveResult {
    bool ok = false;
    QString error; // why the file could not be written
};

// Writes every row of the table, CR LF after each line, replacing the file atomically: a crash
// or a full disk leaves the old file or the new one, never a part of either.
SaveResult SaveChannelFile(const QString& path, const MemoryTable& table);

// ---- quick memory and quick filter rows in the settings ---------------------------------------

// "MEM_Inf" row text: the five fields joined by "|", the frequency in whole hertz without padding.
QString FormatMemoryRow(const MemoryRecord& record);
// Reads a "MEM_Inf" row text; missing fields are 0 or empty, the comment keeps further "|".
MemoryRecord ParseMemoryRow(const QString& text);
// "FLT_Inf" row text: code, "|", label.
QString FormatFilterRow(const QuickFilter& filter);
// Reads a "FLT_Inf" row text; a code below -1 or above 30000 makes the row empty.
QuickFilter ParseFilterRow(const QString& text);
