#pragma once

// The scratch pad: a growing text file of noted frequencies, one record a line,
//   Frequency|Mode|Filter|Agc|Stamp|Comment
// appended by one key and read back record by record by the pad scan and the "<"/">" keys.

#include "lists/record_reader.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Nrd535;
class Panel;
class Settings;
struct MemoryRecord;

class ScratchPad {
public:
    ScratchPad(Panel& panel, Nrd535& rx, const Settings& settings);

    // Asks the operator for the description of a record about to be appended (the
    // identification dialog); nullopt when the operator cancelled, and nothing is written.
    using Describe = std::function<std::optional<QString>()>;
    void SetDescribe(Describe describe) { describe_ = std::move(describe); }
    // Width in pixels of a text in the comment caption's font; by default 7 pixels a character.
    using TextWidth = std::function<int(const QString& text)>;
    void SetTextWidth(TextWidth width) { textWidth_ = std::move(width); }

    // Appends the receiver's current setting with a stamp and the description (the SPACE key),
    // then shows the record number with the tag "Sp". Refused with the beep while a pad scan
    // runs. Returns true when a record was written.
    bool AppendPadRecord(const QDateTime& now = QDateTime::currentDateTime());

    // Reads and shows a record (Start, Next, Previous, GoTo with hz) or closes and reopens the
    // reader (Close returns whether it was open). True when a record was shown, or for
    // Previous when it stayed at the oldest remembered record.
    bool ReadPadRecord(ReadOp op, double hz = 0);

    // Records appended in this run, counted from the lines of the pad at the first append.
    qint64 Counter() const { return counter_; }
    const RecordReader& Reader() const { return reader_; }

    // One pad line (with its CR LF).
    static QString FormatPadLine(double hz, int md, int ft, int ag, const QString& stamp,
                                 const QString& comment);
    // The stamp: the system's short date and time formats, one space between.
    static QString Stamp(const QDateTime& when);
    // The fields of a pad line, field 0 in hertz text; fewer than six when the line has fewer.
    static QStringList SplitPadLine(QStringView line);
    // The frequency a pad line stands for, 0 when it is no record.
    static double PadFrequency(QStringView line);
    // The longest start of text (trimmed) that fits width pixels of the comment caption.
    static QString FitComment(const QString& text, int widthPixels, const TextWidth& textWidth);

private:
    void show(const QString& line, qint64 index);
    qint64 countLines() const;

    Panel& panel_;
    Nrd535& rx_;
    const Settings& settings_;
    RecordReader reader_;
    qint64 counter_ = 0;
    Describe describe_;
    TextWidth textWidth_;
};
