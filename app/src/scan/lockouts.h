#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A frequency the scans step over: its centre and the width around it, whole hertz.
struct Lockout {
    double Hz = 0;
    double WidthHz = 0; // 0: that frequency alone
    QString Comment;

    bool Covers(double hz) const;
    bool operator==(const Lockout&) const = default;
};

// One line of the lockout file without its line end: "Frequency|Width|Comment", frequency and
// width in whole hertz; the comment takes the rest of the line (a "|" in it is replaced).
QString FormatLockoutLine(const Lockout& lockout);
// Reads one line (a CR or LF at its end is ignored). The frequency lies in the tuning range
// (1 000 .. 29 999 999 Hz), the width in 0 .. 1 000 000 Hz, both decimal digits with blanks
// around them allowed; the comment may be missing. False and out unchanged otherwise.
bool ParseLockoutLine(const QString& line, Lockout& out);

// The locked-out frequencies. The permanent list lives in a file of the working folder; the
// "skip for this scan" set is another list that is never saved.
class LockoutList {
public:
    // Bounds of what is read: a longer file or line is not a lockout file.
    static constexpr qint64 MaxFileBytes = 1 << 20;
    static constexpr int MaxLineLength = 1024; // characters
    static constexpr int MaxEntries = 10000;
    static inline const QString FileName = QStringLiteral("lockout.txt");

    bool Covers(double hz) const;
    // The first lockout that covers hz, -1 when none.
    int IndexCovering(double hz) const;
    // Adds a lockout; false (nothing added) when the list is full or the same frequency and
    // width are there already.
    bool Add(const Lockout& lockout);
    bool RemoveAt(int index);
    void Clear();
    const QList<Lockout>& Entries() const { return m_entries; }
    bool IsEmpty() const { return m_entries.isEmpty(); }

    struct LoadReport {
        bool Ok = true;       // false: the file exists but could not be read as a whole
        int Loaded = 0;       // lockouts read
        int BadLines = 0;     // lines kept as they are but not understood
        int FirstBadLine = 0; // 1-based, 0 when none
        QString Error;        // what went wrong, for the operator
    };
    // Replaces the list with the file's lockouts. A missing file is an empty list. Lines that
    // do not read are kept as they stand and written back by Save, so nothing the operator
    // wrote is lost. A file too large, with an overlong line or more than MaxEntries lines
    // is refused whole: Ok false, the list left as it was.
    LoadReport Load(const QString& path);
    // Writes the list (and the kept lines) to path atomically, CR LF after each line. False
    // with the reason in *error when it could not be written; the old file then stands.
    bool Save(const QString& path, QString* error = nullptr) const;

private:
    QList<Lockout> m_entries;
    QStringList m_kept; // lines of the file that did not read
};
