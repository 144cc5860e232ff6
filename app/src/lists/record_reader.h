#pragma once

// Steps through a text file of records (the scratch pad or a frequency list) one record at a
// time, forwards through the file and back over the records met most recently. Records are
// remembered by their byte offset, so going back or forth never rereads the file from its
// start, whatever its size.

#include <QFile>
#include <QString>
#include <QStringView>

#include <array>
#include <functional>

// What a reading call asks for.
enum class ReadOp {
    Reopen = -2,  // reopen after the file was appended to; nothing shown
    Close = -1,   // close the file; nothing shown
    Start = 0,    // open if closed (a new pass), then the next new record
    Next = 1,     // the record after the one shown
    Previous = 2, // the record before the one shown, within the remembered ones
    GoTo = 3,     // the remembered record with a given frequency
};

class RecordReader {
public:
    // How many of the most recent records can be revisited.
    static constexpr int RingSize = 81;

    // The frequency (hertz) a line stands for, 0 when the line is no record.
    using FrequencyOf = std::function<double(QStringView line)>;

    struct Step {
        enum Kind {
            None,  // nothing to show (closed, empty, not found, file error)
            Stay,  // done, nothing shown (the oldest remembered record, or before the first)
            Shown, // line holds the record to show, index its number from 0
        } kind = None;
        QString line;
        qint64 index = 0;
    };

    void SetPath(const QString& path) { path_ = path; }
    const QString& Path() const { return path_; }

    // Start, Next, Previous and GoTo (hz is the frequency GoTo looks for).
    Step Read(ReadOp op, double hz, const FrequencyOf& frequencyOf);
    // Returns whether the file was open. The position and the remembered records stay, so
    // Next and Previous can take up from there.
    bool Close();
    // Opens the file again where reading had reached; false when it cannot be opened.
    bool Reopen();

    bool IsOpen() const { return open_; }
    // Records met in this pass, the number of the next new record.
    qint64 RecordCount() const { return recordCount_; }
    // Index of the record shown last.
    qint64 Position() const { return position_; }
    // Lines read in this pass so far.
    qint64 LinesRead() const { return linesRead_; }
    double CurrentFrequency() const { return currentFrequency_; }

    // One line of a file without its line end (LF or CR LF); lines longer than MaxLine are cut
    // there and the rest of them skipped. False at the end of the file or on an error.
    static bool ReadLine(QFile& file, QString& line);
    static constexpr qint64 MaxLine = 64 * 1024;
    static constexpr qint64 MaxSkip = 16 * 1024 * 1024;

private:
    struct Row {
        qint64 offset = 0;
        double frequency = 0;
    };

    bool startPass();
    bool openKeeping();
    Step revisit(qint64 index);
    Step newRecord(const FrequencyOf& frequencyOf);
    bool remembered(double hz) const;

    QString path_;
    QFile file_;
    bool open_ = false;
    qint64 recordCount_ = 0;
    qint64 position_ = 0;
    qint64 linesRead_ = 0;
    qint64 frontier_ = 0; // byte offset of the first line not yet read in this pass
    double currentFrequency_ = 0;
    std::array<Row, RingSize> ring_{};
};
