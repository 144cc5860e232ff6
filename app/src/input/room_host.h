#pragma once

// What a feature room may ask of the window it joins: the panel, the objects the window owns,
// the moments of its life and the few panel parts a room drives. Every room is a QObject
// built on a RoomHost (XRoom(RoomHost&)); it never sees the window's widgets or members.

#include "core/panel.h"

#include <QString>

#include <functional>

class Freqs;
class Meter;
class Nrd535;
class QColor;
class QObject;
class QWidget;
class Registry;
class ScanEngine;
class Settings;
class SMeterStats;
class Tuner;
struct KeyFeatures;

class RoomHost {
public:
    virtual ~RoomHost() = default;

    // The panel the room tunes and sets the receiver through.
    virtual PanelHost& panel() = 0;
    // The parent of the room's objects and dialogs: they go when the window goes.
    virtual QWidget& window() = 0;
    virtual Settings& config() = 0;
    virtual Registry& registry() const = 0;
    virtual Nrd535& receiver() const = 0;
    virtual Freqs& freqs() const = 0;
    virtual Meter* meter() const = 0;
    virtual Tuner& tuner() const = 0;
    virtual ScanEngine& scan() const = 0;
    // The keys of feature rooms; an empty handler refuses its key with the beep.
    virtual KeyFeatures& keyFeatures() = 0;
    // The S-meter statistics of the readings while no S-meter procedure runs.
    virtual SMeterStats& sMeterStats() = 0;

    // Start-up done (the port open, the settings read, the timer running).
    virtual void WhenStarted(QObject* context, std::function<void()> run) = 0;
    // Shutdown began: the room stops and puts its values into the settings before they are
    // written.
    virtual void WhenStopping(QObject* context, std::function<void()> run) = 0;
    // Shutdown wrote the settings (or left them, when minimised): what may ask the operator
    // comes now, with the settings already safe.
    virtual void WhenSettingsWritten(QObject* context, std::function<void()> run) = 0;
    virtual bool Minimized() const = 0;
    virtual QString Title() const = 0;

    // The panel buttons a room serves; run on a left click only (a right click is the paste).
    enum class Button { Store, Search };
    virtual void OnClicked(Button button, QObject* context, std::function<void()> run) = 0;
    // The database picture.
    virtual void SetDbLinked(bool linked) = 0;
    // The S-meter label's background.
    virtual void PaintSMeter(const QColor& colour) = 0;
    // Width in pixels of text in the record caption's font.
    virtual int CaptionTextWidth(const QString& text) const = 0;

    // Clicks on the S-meter label (plain: noise window; Shift: survey).
    virtual void SetSMeterClick(std::function<void(bool shift)> run) = 0;
    // The S-meter readings while an S-meter procedure runs.
    virtual void SetSMeterProcedure(std::function<void(int raw)> run) = 0;
    // A tuned frequency to find in the pad and the list file.
    virtual void SetLookNotes(std::function<void(double hz)> run) = 0;

    // The program-wide options dialog opened on a tab (1..4) with an import profile to
    // preselect. False when it was cancelled.
    virtual bool OpenOptions(int tab, const QString& profile) = 0;
    // A room's part of the options dialog: the rig-control server's switch and address, shown
    // as kept and applied after OK when changed (false and *error when it could not be).
    struct ServerOption {
        std::function<bool(QString* at)> kept;
        std::function<bool(bool on, const QString& at, QString* error)> apply;
    };
    virtual void AddServerOption(ServerOption option) = 0;
};
