#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstddef>

class Nrd535;
class Freqs;

// Sends frequencies to the receiver and keeps track of what it was told.
//
// Tune commands never queue up on the line: while one "F" line is still being written, only the
// newest request is kept and goes out when the line is free, so the receiver reaches the last
// frequency within about one line time of the last key or wheel notch, however fast they come.
// Steps start from the last commanded frequency while the receiver's report of it is due, since
// reports trail the commands by a tick or more.
//
// It also keeps the record of the band last entered, so that band defaults go out once per new
// band, whoever tuned into it.
// What the tuner reads of the settings, live: the line speed, the band plan's automatic mode
// and filter, the Aux filter.
struct TunerSettings {
    const QString& COM_Speed;
    const bool& BND_AutoMD;
    const bool& BND_AutoFT;
    const bool& FLT_Aux;
};
// The tuner's part of the program's settings (core/ does not see settings/).
template <class AllSettings> TunerSettings TunerSettingsOf(const AllSettings& s) {
    return {s.COM_Speed, s.BND_AutoMD, s.BND_AutoFT, s.FLT_Aux};
}

class Tuner : public QObject {
    Q_OBJECT
public:
    Tuner(Nrd535& rx, Freqs& freqs, TunerSettings settings, QObject* parent = nullptr);

    // Sends hz (truncated to whole hertz) now, or as soon as the line is free.
    void Send(double hz);
    // The frequency a step starts from: the last one sent while the receiver reports one of
    // the recently sent frequencies (or has not reported since), otherwise the reported one.
    double Position() const;
    // Forgets what was sent: the next step starts from the receiver's report.
    void Forget();
    // A request still waiting for the line.
    bool Pending() const { return pending_ >= 0; }

    // True once each time the band plan's position moves to another band or region. The band
    // plan's own change flag stays set once anything moved, so it cannot tell a new band.
    bool BandEntered();
    // The band plan's mode and filter for the current band, as "BND_AutoMD"/"BND_AutoFT" ask.
    // Nothing while band defaults are off (the list scans carry their own settings).
    void ApplyBandDefaults();
    bool BandDefaults = true;

    // Time one "F" line takes on the line at the configured speed, milliseconds.
    double LineMs() const;

signals:
    // A frequency went out to the receiver.
    void sent(double hz);

private:
    void flush();
    void remember(double hz);

    Nrd535& rx_;
    Freqs& freqs_;
    TunerSettings settings_;
    QElapsedTimer lastSend_;
    QTimer lineFree_;
    double pending_ = -1;
    double lastSent_ = -1; // the newest request, sent or waiting
    std::array<double, 16> recent_{};
    size_t recentNext_ = 0;
    double bandLow_ = -1;
    double bandHigh_ = -1;
    int bandRegion_ = -1;
};
