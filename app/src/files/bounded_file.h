#pragma once

// Reading files that come from outside the program (memory files, the pad, lists, import
// profiles, the noise file, the settings hive) with bounds: a path that is no regular file (a
// pipe, a directory, a device) is refused without ever waiting on its open, and a file is read
// line by line with a cap on the line length and on what is read in all, so a huge or endless
// file neither hangs the program nor fills its memory.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace boundedfile {

// Opens `path` read-only into `file` (closed first): opened without blocking, then kept only
// when it is a regular file. On failure `error` (when given) says why, e.g. "\"x\" is a pipe,
// not a file".
bool Open(QFile& file, const QString& path, QString* error = nullptr);

// True when `path` can be opened by Open (an existing, readable regular file).
bool Readable(const QString& path);

struct Limits {
    qint64 lineBytes = 64 * 1024;    // longer lines are cut there, their rest skipped
    qint64 totalBytes = 64LL << 20;  // reading stops after this much
    qint64 lines = 10 * 1000 * 1000; // and after this many lines
};

// Line by line through an open file.
class LineReader {
public:
    explicit LineReader(QFile& file, Limits limits = {}) : file_(file), limits_(limits) {}
    // The next line without its line end (LF or CR LF); false at the end of the file, on an
    // error, or once a limit is reached (LimitReached() then).
    bool Next(QByteArray& line);
    bool LimitReached() const { return limitReached_; }
    bool Cut() const { return cut_; } // the last line was longer than the cap
    qint64 Lines() const { return lines_; }

private:
    QFile& file_;
    Limits limits_;
    qint64 lines_ = 0;
    qint64 bytes_ = 0;
    bool limitReached_ = false;
    bool cut_ = false;
};

// The whole text of a small file, read through LineReader: each line keeps a "\n" end. False
// with `error` set when the path is refused or the file is larger than the limits allow.
bool ReadText(const QString& path, const Limits& limits, QByteArray& text, QString* error);

} // namespace boundedfile
