#pragma once

#include <QChar>
#include <QString>

// The texts exchanged with the companion database: six fields joined by "|", no terminator:
//   command | frequency (Hz) | mode name | filter name | AGC name | record
// The same texts travel in both directions; the program sends "L" (search), "R" (store) and
// "N" (next record of a database scan) and acts on "S" (set the receiver).

// Mode, filter and AGC names. Received names are matched exactly (case counts); a name the table
// does not know falls back to AM (4), Medium (1) and Fast (1). A code outside a table has the
// empty name.
int ModeCodeFromName(const QString& name);
int FilterCodeFromName(const QString& name);
int AgcCodeFromName(const QString& name);
QString ModeNameFromCode(int code);
QString FilterNameFromCode(int code);
QString AgcNameFromCode(int code);

// The database program's name from "DDE_Database" (a name or a path): the folder part is
// dropped; a file name with an extension gives the name before it in capitals
// ("C:\Tools\morrowby.exe" gives "MORROWBY"); a plain name stays as it is.
QString DatabaseAppName(const QString& path);

// The message text. The frequency is given in kilohertz and sent in hertz as plain decimal text;
// the names and the record are trimmed.
QString BuildDatabaseMessage(QChar command, double khz, const QString& mode, const QString& filter,
                             const QString& agc, int record);

// The fields of a received message; a field the text stops before is empty (record 0).
struct DatabaseMessage {
    QString Frequency;
    QString Mode;
    QString Filter;
    QString Agc;
    int Record = 0;
};

// Returns the command's character code: 'E' for a text without "|" (no field is read), 0 for a
// text that starts with "|" (no command). Otherwise the first character of the text, with each
// field running to the next "|" or the end of the text; fields after the end are empty and
// anything after a sixth "|" is ignored.
int ParseDatabaseMessage(const QString& text, DatabaseMessage& out);

// Plain decimal text of a number: no exponent, no padding, "." before a fraction (at most three
// decimals), "0" for what is not a finite number.
QString PlainNumber(double value);
