#pragma once

// What a feature room may ask of the window it joins: the panel, the objects the window owns,
// the moments of its life and the few panel parts a room drives. Every room is a QObject
// built on a RoomHost (XRoom(RoomHost&)); it never sees the window's widgets or members.

#include "core/panel.h"

#include <QString>
#include <QVariant>

#include <functional>

class Freqs;
class KeyCommands;
class Meter;
class Nrd535;
class QColor;
class QObject;
class QWidget;
class Registry;
class ScanEngine;
class Settings;
struct SMeterStats;
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
    // The key commands, for a room that types as the operator does.
    virtual KeyCommands& keys() const = 0;
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
    // A room's row on the options dialog's General tab, below the others: make builds it for
    // one opening (the dialog takes it); closed runs once the dialog has closed, with that row
    // and true after OK.
    struct OptionsPart {
        std::function<QWidget*()> make;
        std::function<void(QWidget* row, bool accepted)> closed;
    };
    virtual void AddOptionsPart(OptionsPart part) = 0;

    // A line of the room's own across the frequency display, below the record caption (hidden
    // until the room shows it); the window takes it.
    virtual void AddPanelLine(QWidget* line) = 0;
    // The panel's texts as the operator sees them.
    struct PanelTexts {
        QString mode, filter, agc, attenuator, noiseBlanker, squelch, sMeter;
        QString band, recordTag, recordNumber;
        QString station; // the record caption, empty while hidden
        int bandStep = 0;
    };
    virtual PanelTexts Shown() const = 0;
    // Error beeps so far: a room tells from it whether the panel refused what it asked.
    virtual int Beeps() const = 0;
    // The link opened or closed.
    virtual void WhenLinkChanged(QObject* context, std::function<void(bool connected)> run) = 0;

    // Values one room lets the others read without seeing it (a room's tables, its last
    // reading), by name; a room tells when its value changed. Shared returns an invalid
    // QVariant for a name nobody shares.
    virtual void Share(const QString& name, QObject* context, std::function<QVariant()> value) = 0;
    virtual QVariant Shared(const QString& name) const = 0;
    virtual void SharedChanged(const QString& name) = 0;
    virtual void WhenSharedChanged(QObject* context,
                                   std::function<void(const QString& name)> run) = 0;
};
