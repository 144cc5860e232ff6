#pragma once

#include "input/keys_entry.h"

#include <QChar>
#include <QString>
#include <Qt>
#include <functional>

class Nrd535;
class Freqs;
class Settings;
class Tuner;
class PanelHost;
class ScanEngine;
struct CommandRow;

// Keys whose features live in rooms of their own. A handler left empty refuses its key with
// the beep, so a key never does half of something.
struct KeyFeatures {
    // The second character of an "F", "*", "C" or "K" command, with the typed entry (kHz text).
    std::function<void(QChar second, const QString& entry)> QuickFilter;
    std::function<void(QChar second, const QString& entry)> QuickMemory;
    std::function<void(QChar second, const QString& entry)> Channel;
    std::function<void(QChar second)> KnownList;
    // The second character of a "B" command: "BS" stores, "BL" searches in the linked database.
    std::function<void(QChar second)> Database;
    // Space: append the receiver's frequency to the scratch pad.
    std::function<void()> PadAppend;
    // "<" and ">": the previous or next record of the running pad or file scan.
    std::function<void(bool next)> RecordMove;
    // "SF": forget the scan file, so that the file scan asks for one.
    std::function<void()> ForgetScanFile;
    // Page Up / Page Down: the activity search upwards or downwards.
    std::function<void(bool up)> ActiveSearch;
    // "SO": the "On the air now" window.
    std::function<void()> OnAirWindow;
    // Esc while the noise survey or the activity search runs.
    std::function<void()> NoiseCancel;
    std::function<void()> ActiveCancel;
};

// Keyboard, wheel and clipboard commands of the main window, as plain logic: the window turns
// its Qt events into these calls, and everything they do goes through the panel, the tuner and
// the scan engine.
class KeyCommands {
public:
    KeyCommands(PanelHost& panel, Tuner& tuner, ScanEngine& scan, Nrd535& rx, Freqs& freqs,
                Settings& settings);

    KeyFeatures Features;

    // Each returns true when it took the key; a refused key beeps. middle is true while the
    // middle mouse button is held (the wheel then starts the stepping scan).
    bool KeyDown(int key, Qt::KeyboardModifiers modifiers, bool middle = false);
    bool KeyPress(int key, const QString& text, Qt::KeyboardModifiers modifiers);
    // One notch of the wheel outside the digit boxes.
    void Wheel(bool forward, bool middle);
    // Right button on the window: tune to the clipboard's frequency when it holds text.
    void RightClick();
    // Enter on the displayed (digit boxes) frequency.
    void Enter(double displayed);

    // Forgets the pending command and the typed entry (the background click and Esc).
    void ClearEntry();

    QChar PendingCommand() const { return pending_; }
    const TypedEntry& Entry() const { return entry_; }
    double QuickStore() const { return quickStore_; }

private:
    void escape();
    void dispatch(QChar second);
    void runCommand(const CommandRow& row);
    bool feature(const std::function<void()>& run);
    bool navigationAllowed() const;
    void moveBand(bool up);
    void moveKnown(bool up);
    void paste();
    void copy();
    void tune(double hz);
    void showTyped();
    void repaintFromReceiver();
    void paintIndicator();
    void setPending(QChar c);

    PanelHost& panel_;
    Tuner& tuner_;
    ScanEngine& scan_;
    Nrd535& rx_;
    Freqs& freqs_;
    Settings& settings_;
    QChar pending_;
    TypedEntry entry_;
    double quickStore_ = 0;
};
