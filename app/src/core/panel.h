#pragma once

#include "core/program_state.h"

#include <QString>

// What the feature rooms may ask of the receiver panel: the panel procedures that tune and set
// the receiver and repaint the controls, the record indicator, the beep. The main window
// provides it; the rooms never see a widget.
class Panel {
public:
    virtual ~Panel() = default;

    virtual const ProgramState& State() const = 0;

    // The one entry point that changes or repaints the frequency (hertz). setReceiver sends it,
    // lookBand updates the band label and step, lookNotes searches the pad and log for it.
    virtual void TuneTo(double hz, bool setReceiver, bool lookBand, bool lookNotes) = 0;
    // apply true sends the code to the receiver; false only repaints the control.
    virtual void ShowMode(int code, bool apply) = 0;
    virtual void ShowFilter(int code, bool apply) = 0;
    virtual void ShowAgc(int code, bool apply) = 0;
    virtual void ShowNoiseBlanker(int code, bool apply) = 0;

    // The record indicator: LblCHN shows the source tag ("Ch", "M", "Sp", "Lg", "Kf"), CHN the
    // number text ("000").
    virtual void ShowRecordNumber(const QString& tag, const QString& number) = 0;
    // The record caption: FFrq shows hz as kHz "0.0 " and FCom the comment; visible false hides
    // both.
    virtual void ShowRecordCaption(double hz, const QString& comment, bool visible) = 0;
    // Clears CHN and LblCHN and hides the record caption.
    virtual void ClearChannelLabels() = 0;
    // The tooltip that names where recalled records come from ("From PAD", "From Channels").
    virtual void SetSourceTip(const QString& tip) = 0;
    // Width of the comment caption in pixels (comments are shortened to fit it).
    virtual int CommentWidth() const = 0;

    // Locks or unlocks the panel's mouse changes (procedures that drive the receiver).
    virtual void SetPanelLocked(bool locked) = 0;
    // Ends any running scan or procedure: unlocked, idle, band defaults on.
    virtual void StopScan() = 0;
    // One beep when "WIN_Beep" is set; every refused key or action uses it.
    virtual void WarnBeep() = 0;
};

// The key commands and the scans need a little more of the panel than the rooms do.
class PanelHost : public Panel {
public:
    // The band label: the name, light orange when flagged, light cyan otherwise.
    virtual void ShowBand(const QString& name, bool flagged) = 0;
    // The band plan's step of the band entered, hertz (the second step label).
    virtual void ShowBandStep(int hz) = 0;
    // A known station's position: CHN "00-000", LblCHN "Kf".
    virtual void ShowKnownPosition(int list, int position) = 0;
    // The frequency digits show hz without tuning (a typed entry).
    virtual void ShowDigits(double hz) = 0;
    // The keyboard indicator: a command or entry pending, or ready/not ready for keys.
    enum class Indicator { Pending, Idle };
    virtual void ShowIndicator(Indicator indicator) = 0;

    // Hold or release the receiver (the lock picture and the L/U keys).
    virtual void SetLinkHeld(bool held) = 0;
    virtual void SetScanState(ScanState state) = 0;
    // Band tracking pauses while a key or click changes the band.
    virtual void SetPolling(bool polling) = 0;

    virtual double TuningStep() const = 0;
    virtual void SetTuningStep(double hz) = 0;
    // The filter button cycles on from this position.
    virtual void SetFilterPosition(int position) = 0;

    // The panel's own clicks, as a left click with these modifiers would do them.
    virtual void ClickRegion() = 0;
    virtual void ClickSMeter(bool shift) = 0;
    // Shows or hides the spectrum; false when it cannot show.
    virtual bool ToggleSpectrum() = 0;
    virtual void ShowHelp() = 0;
    // Gives the keyboard focus back to the panel.
    virtual void FocusPanel() = 0;
};
