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
