#pragma once

#include "input/keys_entry.h"

#include <QObject>
#include <QPointer>
#include <Qt>

class Main;
class MiniHelp;
class QKeyEvent;
class QWheelEvent;
class QMouseEvent;
class QWidget;
struct CommandRow;

// Keyboard, wheel and clipboard commands of the main window. It filters the events of every
// widget of the main window, so it sees keys before the focused control (the hidden entry box
// or a digit box) does, and the wheel and right-button presses wherever they land.
class KeyCommands : public QObject {
    Q_OBJECT
public:
    explicit KeyCommands(Main& main);
    ~KeyCommands() override;

    // The window's key handlers (also reachable without a display). Each returns true when it
    // took the key; a refused key beeps.
    bool KeyDown(int key, Qt::KeyboardModifiers modifiers);
    bool KeyPress(int key, const QString& text, Qt::KeyboardModifiers modifiers);
    // One notch of the wheel; middle is true while the middle button is held.
    void Wheel(bool forward, bool middle);
    // Right button on the window: tune to the clipboard's frequency when it holds text.
    void RightClick();

    // Leaves digit editing and forgets the pending command, the typed entry and the step entry;
    // the background click and Esc use it.
    void ClearEntry();
    void EndDigitEditing();

    QChar PendingCommand() const { return pending_; }
    const TypedEntry& Entry() const { return entry_; }
    bool DigitEditing() const { return digitEditing_; }
    int DigitIndex() const { return digitIndex_; }
    double QuickStore() const { return quickStore_; }
    // The key-help window (created hidden on first use).
    MiniHelp& Help();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool keyEvent(QKeyEvent* event);
    bool keyDown(int key, Qt::KeyboardModifiers modifiers, bool middle);
    bool digitKey(int box, QKeyEvent* event);
    void wheelEvent(QWheelEvent* event);
    void escape();
    void enter(double displayed);
    void dispatch(QChar second);
    void runCommand(const CommandRow& row);
    void typed(QChar c);
    bool navigationAllowed() const;
    void moveBand(bool up);
    void moveKnown(bool up);
    void toggleSpectrum();
    void paste();
    void copy();
    void tune(double hz);
    void showTyped();
    void repaintFromReceiver();
    void paintIndicator();
    void setPending(QChar c);
    void showHelp();
    void clickLabel(QWidget* label, Qt::KeyboardModifiers modifiers);
    int digitBoxOf(const QObject* object) const;
    double digitsValue() const;
    void focusDigit(int index);

    Main& main_;
    QChar pending_;
    TypedEntry entry_;
    bool digitEditing_ = false;
    int digitIndex_ = -1;
    double quickStore_ = 0;
    int wheelRest_ = 0;       // eighths of a degree not yet turned into a notch
    QPointer<MiniHelp> help_; // created on first use, a window of its own
};
