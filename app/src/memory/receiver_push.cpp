#include "memory/receiver_push.h"

#include "memory/quick_filters.h"

#include <ostry/nrd535.h>
#include <ostry/protocol.h>

#include <QTimer>
#include <cmath>

namespace {
// Start, eight data bits and stop bit per character.
constexpr double BitsPerCharacter = 10;

// What the receiver can store; the driver drops anything else without a word.
bool storable(int channel, const MemoryRecord& r, int ft) {
    return channel >= 0 && channel < ostry::ChannelCount && r.Frequency >= 0 &&
           r.Frequency < ostry::FrMax && r.Mode >= ostry::RTTY && r.Mode <= ostry::ECSS_L &&
           ft >= ostry::Wide && ft <= ostry::Aux && r.Agc >= ostry::Slow && r.Agc <= ostry::Offf;
}
} // namespace

ReceiverPush::ReceiverPush(Nrd535& rx, QList<Item> items, bool auxFitted, QObject* parent)
    : QObject(parent), rx_(&rx), items_(std::move(items)), auxFitted_(auxFitted),
      timer_(new QTimer(this)) {
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &ReceiverPush::sendDue);
    baud_ = BaudOf(rx.Baud());
}

double ReceiverPush::LineMs(qsizetype bytes, int baud) {
    return double(bytes) * BitsPerCharacter * 1000.0 / double(baud > 0 ? baud : 4800);
}

int ReceiverPush::BaudOf(const QString& baudText) {
    bool ok = false;
    const int baud = baudText.section(u',', 0, 0).trimmed().toInt(&ok);
    return ok && baud > 0 ? baud : 4800;
}

QByteArray ReceiverPush::LineOf(const Item& item) const {
    const MemoryRecord& r = item.record;
    const int ft = rx_ ? ReceiverFilterFor(r.Filter, rx_->BWL(), rx_->BWI(), rx_->BWH(), auxFitted_)
                       : r.Filter;
    return ostry::encodeStore(item.channel, std::trunc(r.Frequency), r.Mode, ft, r.Agc, 0);
}

void ReceiverPush::Start() {
    if (running_) return;
    running_ = true;
    cancelled_ = false;
    next_ = 0;
    dueMs_ = 0;
    clock_.start();
    // The first row goes out from the event loop, so the caller finishes its own work first.
    timer_->start(0);
}

void ReceiverPush::Cancel() {
    if (!running_) return;
    cancelled_ = true;
    timer_->start(0);
}

void ReceiverPush::sendDue() {
    if (!rx_ || cancelled_ || !rx_->Connected()) {
        running_ = false;
        emit finished(true);
        return;
    }
    // Send every row whose turn has come (a late timer catches up), then wait for the line.
    while (next_ < items_.size() && double(clock_.nsecsElapsed()) / 1e6 >= dueMs_) {
        const Item& item = items_[next_];
        const MemoryRecord& r = item.record;
        const int ft = ReceiverFilterFor(r.Filter, rx_->BWL(), rx_->BWI(), rx_->BWH(), auxFitted_);
        if (!storable(item.channel, r, ft)) {
            // Not sent, so not reported as written.
            ++next_;
            continue;
        }
        rx_->Save(qint16(item.channel), std::trunc(r.Frequency), ostry::MD(r.Mode), ostry::FT(ft),
                  ostry::AG(r.Agc), ostry::Off);
        dueMs_ += LineMs(LineOf(item).size() + 1, baud_);
        emit rowSent(int(next_), item.channel);
        ++next_;
        if (!rx_ || cancelled_) break;
    }
    const double waitMs = dueMs_ - double(clock_.nsecsElapsed()) / 1e6;
    if (next_ >= items_.size() && !cancelled_) {
        if (waitMs > 0) {
            // The last row is still on the wire.
            timer_->start(int(std::ceil(waitMs)));
            next_ = items_.size() + 1;
            return;
        }
        running_ = false;
        emit finished(false);
        return;
    }
    if (next_ > items_.size()) {
        running_ = false;
        emit finished(false);
        return;
    }
    timer_->start(std::max(0, int(std::ceil(waitMs))));
}
