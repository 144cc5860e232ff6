#include "input/keys_entry.h"

#include <algorithm>
#include <cmath>

bool AllModifiers(Qt::KeyboardModifiers modifiers) {
    const auto all = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    return (modifiers & all) == all;
}

double ModifierFactor(Qt::KeyboardModifiers modifiers) {
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool alt = modifiers & Qt::AltModifier;
    if (shift && ctrl && alt) return 20;
    if (ctrl && alt) return 10;
    if (shift && alt) return 5;
    if (shift && ctrl) return 2;
    if (alt) return 0.5;
    if (ctrl) return 0.2;
    if (shift) return 0.1;
    return 1;
}

qint64 TypedEntry::HertzOf(const QString& khz) {
    qint64 whole = 0;
    qint64 decimals = 0;
    int places = 0;
    bool afterPoint = false;
    for (QChar c : khz) {
        if (c == u'.' || c == u',') {
            afterPoint = true;
        } else if (afterPoint) {
            if (places == 3) break;
            decimals = decimals * 10 + c.digitValue();
            ++places;
        } else {
            whole = whole * 10 + c.digitValue();
            // The entry never reaches the range's top, so this only guards odd callers.
            if (whole > 1000000000) return whole * 1000;
        }
    }
    for (; places < 3; ++places) decimals *= 10;
    return whole * 1000 + decimals;
}

bool TypedEntry::AddDigit(char digit) {
    if (digit < '0' || digit > '9') return false;
    if (point_) {
        const qsizetype decimals = text_.size() - text_.indexOf(u'.') - 1;
        if (decimals >= 3) return false;
    }
    const QString next = text_ + QLatin1Char(digit);
    if (HertzOf(next) >= qint64(MaxTuneHz)) return false;
    text_ = next;
    return true;
}

bool TypedEntry::AddPoint() {
    if (point_) return false;
    point_ = true;
    text_ += u'.';
    return true;
}

bool TypedEntry::Backspace() {
    if (text_.isEmpty()) return false;
    if (text_.endsWith(u'.')) point_ = false;
    text_.chop(1);
    return true;
}

void TypedEntry::Clear() {
    text_.clear();
    point_ = false;
}

double TypedEntry::Number() const {
    bool ok = false;
    const double v = text_.toDouble(&ok);
    return ok ? v : 0;
}

std::optional<double> ClipboardToHertz(const QString& text) {
    QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 32) return std::nullopt;
    int points = 0;
    for (QChar c : t) {
        if (c == u'.' || c == u',') {
            ++points;
        } else if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
    }
    if (points > 1 || t == u"." || t == u",") return std::nullopt;
    // Digits past the third decimal are below one hertz: the frequency is truncated to whole
    // hertz before it is sent anyway.
    const qsizetype mark = std::max(t.indexOf(u'.'), t.indexOf(u','));
    if (mark >= 0 && t.size() - mark - 1 > 3) t.truncate(mark + 4);
    if (t.size() - (mark >= 0 ? 1 : 0) > 12) return std::nullopt;
    const double hz = double(TypedEntry::HertzOf(t));
    if (hz < MinTuneHz || hz > MaxTuneHz) return std::nullopt;
    return hz;
}

QString HertzToClipboard(double hz) {
    return QString::number(std::trunc(hz) / 1000.0, 'f', 3);
}
