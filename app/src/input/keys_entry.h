#pragma once

#include "core/units.h"

#include <QString>
#include <Qt>
#include <optional>

// The tuning range of the main program, hertz.
inline constexpr double MinTuneHz = FrqMin;
inline constexpr double MaxTuneHz = FrqMax;

// Factor applied to the band-plan step by Up and Down for the held modifiers.
double ModifierFactor(Qt::KeyboardModifiers modifiers);

// True when Ctrl, Alt and Shift are all held (the arrow keys then start the stepping scan).
bool AllModifiers(Qt::KeyboardModifiers modifiers);

// The frequency typed on the keyboard in kilohertz: digits with at most one decimal point and
// at most three decimals, never reaching the top of the tuning range.
class TypedEntry {
public:
    // Each returns false, leaving the entry unchanged, when the character is refused.
    bool AddDigit(char digit);
    bool AddPoint();
    bool Backspace();
    void Clear();

    bool Empty() const { return text_.isEmpty(); }
    const QString& Text() const { return text_; }
    bool HasPoint() const { return point_; }
    // The entry as whole hertz (kilohertz times 1000, computed without rounding error).
    qint64 Hertz() const { return HertzOf(text_); }
    // The entry read as a plain number (the local step is typed in hertz).
    double Number() const;

    static qint64 HertzOf(const QString& khz);

private:
    QString text_;
    bool point_ = false;
};

// Text on the clipboard read as kilohertz ("7125.5", "7,125", " 9410 "); a value outside the
// tuning range or text that is not a number gives nothing.
std::optional<double> ClipboardToHertz(const QString& text);
// The frequency as kilohertz text with three decimals, as Ctrl+C puts it on the clipboard.
QString HertzToClipboard(double hz);
