#pragma once

#include <QWidget>
#include <array>

class QLineEdit;

// The eight frequency digits (ten megahertz down to hertz). One widget owns them, their keys
// and the wheel over them; it asks for frequencies through signals and never tunes itself.
class FrequencyDigits : public QWidget {
    Q_OBJECT
public:
    explicit FrequencyDigits(QWidget* parent = nullptr);

    static constexpr int Count = 8;
    // Shows hz without tuning; a value the digits cannot hold shows dashes.
    void Show(double hz);
    // The value the digits show, hertz.
    double Value() const;
    // The digit being edited, or -1.
    int EditIndex() const { return editIndex_; }
    bool Editing() const { return editing_; }
    // Ends digit editing (a background click, Esc).
    void EndEditing();
    // One wheel notch over the edited digit: forward lowers it, backward raises it.
    void WheelOnDigit(bool forward);
    // Digits refuse typing while the panel is locked.
    void SetLocked(bool locked) { locked_ = locked; }
    QLineEdit* Box(int index) const { return boxes_[size_t(index)]; }
    // A key pressed on one of the boxes: true when the digits took it (the window's key
    // commands get the rest).
    bool HandleKey(const QObject* watched, class QKeyEvent* event);

signals:
    // Up/Down (or keypad +/-) on a digit: the displayed value moved by that digit's place.
    void stepRequested(double hz);
    // Enter on a digit: tune to the displayed value.
    void enterPressed(double hz);
    // Esc on a digit.
    void escapePressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int indexOf(const QObject* object) const;
    bool key(int box, class QKeyEvent* event);
    void focusDigit(int index);
    void stepDigit(int box, bool up);

    std::array<QLineEdit*, Count> boxes_{};
    bool editing_ = false;
    int editIndex_ = -1;
    bool locked_ = false;
};
