#include "core/tuner.h"

#include <fennick/freqs.h>
#include <ostry/nrd535.h>

#include <algorithm>
#include <cmath>

namespace {
// "F" and eight digits and the carriage return.
constexpr int TuneLineBytes = 10;
// Start, eight data bits and a stop bit.
constexpr int BitsPerByte = 10;
} // namespace

Tuner::Tuner(Nrd535& rx, Freqs& freqs, TunerSettings settings, QObject* parent)
    : QObject(parent), rx_(rx), freqs_(freqs), settings_(settings) {
    lineFree_.setSingleShot(true);
    lineFree_.setTimerType(Qt::PreciseTimer);
    connect(&lineFree_, &QTimer::timeout, this, &Tuner::flush);
    recent_.fill(-2); // matches no reported frequency
}

double Tuner::LineMs() const {
    const int baud = std::max(300, settings_.COM_Speed.section(QLatin1Char(','), 0, 0).toInt());
    return 1000.0 * TuneLineBytes * BitsPerByte / baud;
}

void Tuner::Send(double hz) {
    hz = std::trunc(hz);
    // The position moves at once, so the next step builds on this one even while it waits.
    // Where a run of steps started: the receiver's frequency when it was not one of ours (a
    // first step, or the receiver was tuned elsewhere since).
    const double reported = rx_.Fr();
    if (std::find(recent_.begin(), recent_.end(), reported) == recent_.end()) remember(reported);
    lastSent_ = hz;
    const double elapsed = lastSend_.isValid() ? double(lastSend_.nsecsElapsed()) / 1e6 : 1e9;
    if (elapsed >= LineMs() && !lineFree_.isActive()) {
        pending_ = hz;
        flush();
        return;
    }
    pending_ = hz;
    if (!lineFree_.isActive()) lineFree_.start(std::max(1, int(std::ceil(LineMs() - elapsed))));
}

void Tuner::flush() {
    if (pending_ < 0) return;
    const double hz = pending_;
    pending_ = -1;
    lastSend_.start();
    // Only what goes out can come back in a report.
    remember(hz);
    rx_.Fr(hz);
    emit sent(hz);
}

double Tuner::Position() const {
    const double reported = rx_.Fr();
    if (lastSent_ >= 0 && std::find(recent_.begin(), recent_.end(), reported) != recent_.end())
        return lastSent_;
    return reported;
}

void Tuner::Forget() {
    lastSent_ = -1;
    recent_.fill(-2);
}

void Tuner::remember(double hz) {
    recent_[recentNext_] = hz;
    recentNext_ = (recentNext_ + 1) % recent_.size();
}

bool Tuner::BandEntered() {
    const double low = freqs_.BandFrq();
    const double high = freqs_.Last();
    const int region = freqs_.Region();
    const bool entered = low != bandLow_ || high != bandHigh_ || region != bandRegion_;
    bandLow_ = low;
    bandHigh_ = high;
    bandRegion_ = region;
    return entered;
}

void Tuner::ApplyBandDefaults() {
    if (!BandDefaults) return;
    int bandwidth = -1;
    const ostry::MD mode = rx_.MDCode(QString::fromStdString(freqs_.Mode(bandwidth)));
    if (settings_.BND_AutoMD) rx_.MD(mode);
    if (settings_.BND_AutoFT) {
        const int step = std::clamp(freqs_.Step(), 0, 32767);
        rx_.FT(ostry::FT(rx_.FTB(qint16(step), mode, settings_.FLT_Aux)));
    }
}
