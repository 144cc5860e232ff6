#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// One stop of a scan on a signal, as the hit log keeps it.
struct Hit {
    QDateTime Utc;           // when the stop began, UTC, whole seconds
    double Hz = 0;           // where it stopped
    int Mode = 0;            // receiver codes
    int Filter = 0;          // 0..3, or a bandwidth in hertz
    int PeakRaw = 255;       // strongest raw reading while stopped
    double DbAboveFloor = 0; // of that reading, one decimal
    double HeardS = 0;       // how long it was heard, seconds, one decimal
    QString Scan;            // which scan stopped ("Fast", "Range", ...)

    bool operator==(const Hit&) const = default;
};

// One hit-log line without its line end:
// "YYYY-MM-DD|HH:MM:SS|Frequency|Mode|Filter|S units|dB above floor|Heard s|Scan|Raw", e.g.
// "2026-12-11|13:45:07|9410000|AM|Wide|S9+4|38.2|12.5|Fast|096". Mode and filter are the
// receiver's texts, the S units follow from the raw reading, the last field.
QString FormatHitLine(const Hit& hit);
// Reads one line back (a CR or LF at its end is ignored). The S-units field is not read: it is
// computed from the raw reading. False and out unchanged when a field does not read.
bool ParseHitLine(const QString& line, Hit& out);

// The log every stop appends to: "hits.log" in the working folder. Each line goes out in one
// write to a file opened for appending, so a line is in the file whole or not at all: a short
// write (a full disk) is cut back off.
class HitLog {
public:
    static inline const QString FileName = QStringLiteral("hits.log");
    // What is read back for the window: the newest lines up to this many bytes.
    static constexpr qint64 MaxReadBytes = 1 << 20;
    static constexpr int MaxLineLength = 512;

    explicit HitLog(const QString& path = FileName) : m_path(path) {}
    QString Path() const { return m_path; }

    // Appends one line; false with the reason in *error when it could not be written whole.
    bool Append(const Hit& hit, QString* error = nullptr) const;

    struct ReadResult {
        QList<Hit> Hits; // newest first
        int BadLines = 0;
        bool Ok = true; // false: the file exists but could not be read
        QString Error;
    };
    // The last (up to) maxHits hits of the file, newest first, from at most its last
    // MaxReadBytes; lines that do not read are counted and passed over. A missing file has
    // none.
    ReadResult ReadNewest(int maxHits) const;

private:
    QString m_path;
};
