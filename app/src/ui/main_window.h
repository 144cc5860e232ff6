#pragma once

#include "core/records.h"
#include "settings/settings.h"

#include <QBasicTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class Nrd535;
class Freqs;
class Meter;
class Registry;
class ScanEngine;
class KeyCommands;
class MiniHelp;
class QMessageBox;

// A label that reports presses and clicks like a button, so panel labels follow the same
// mouse-down / click rules as the buttons.
class PanelLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void pressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A push button that records which mouse button pressed it (a right press must not act).
class PanelButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
signals:
    void pressed2(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The main window: the receiver panel, the update timer and the program-wide state that the key
// commands, the scans and the other windows read and change.
class Main : public QWidget {
    Q_OBJECT
public:
    // The window reads and writes its settings through reg, which must outlive it. The
    // constructor builds the widgets only: Load() does the start-up work.
    explicit Main(Registry& reg, QWidget* parent = nullptr);
    ~Main() override;

    // Start-up (the load handler). Returns false when the operator gave no port: the program
    // ends without a message and nothing is written.
    bool Load();
    // Shutdown (the unload handler): stops the timer, closes the link and writes the settings
    // unless the window is minimised. Runs once; closeEvent calls it.
    void Unload();

    // How the port dialog is shown at start-up. The default shows ComOpt modally; tests replace
    // it to answer the dialog without a nested event loop. Returns after "COM_Port" and
    // "COM_Speed" in settings have been edited.
    std::function<void(Main&)> ShowPortDialog;
    // Set by the options dialog to make the port dialog show even with a configured port.
    bool PortDialogRequested = false;
    // A port used for this run only (--simulate): Load opens it instead of "COM_Port", and the
    // stored "COM_Port" is written back unchanged.
    int ForcedPort = -1;

    // ---- Program-wide state -------------------------------------------------------------
    Settings settings;
    bool Connected = false;  // the receiver answered Conn and is reporting
    bool RemoteHeld = false; // the program holds the receiver under remote control
    bool PanelLocked = false;
    int ScanState = 0; // 0 idle, 1 noise measurement, 2 active search, 3..12 scans
    bool DbLinked = false;
    bool BandDefaults = true; // entering a band applies the band plan's mode and filter
    bool Polling = true;      // cleared while a click or key changes the band
    bool Dumping = false;     // a receiver channel dump is running
    double TuningStep = 500;  // local tuning step, hertz
    int FilterPosition = -1;  // position in the filter cycle; -1 until the first report
    int EventCount = 0;       // receiver events since the last silence check
    Qt::MouseButton LastButton = Qt::NoButton; // of the last mouse-down on a panel control
    Qt::KeyboardModifiers LastShift;
    // Tick record.
    int Phase = 0;     // 0..15
    int Dwell = 0;     // modulo "SCN_Delay"
    int TickCount = 0; // 16-bit, wraps
    // Tables filled by receiver channel dumps and the memory files.
    std::array<MemoryRecord, 200> Channels;
    bool ChannelsChanged = false;
    // S-meter statistics: ring length, ring index, highest and lowest reading above the
    // threshold, current and previous mean, then the ring of the last 10 readings.
    std::array<int, 16> SMeterStats{};

    Nrd535& receiver() const { return *rx_; }
    Freqs& freqs() const { return *freqs_; }
    Meter* meter() const { return meter_; }
    ScanEngine& scan() const { return *scan_; }
    KeyCommands& keys() const { return *keys_; }
    Registry& registry() const { return reg_; }
    // "Kelvan x.y.z - Receiver Module [NRD535D]".
    QString ProgramTitle;

    // ---- Panel operations ---------------------------------------------------------------
    // The one entry point that changes or repaints the frequency (hertz).
    void TuneTo(double frequency, bool setReceiver, bool lookBand, bool lookNotes);
    // Writes the frequency's digits into the FrqDigit boxes without tuning.
    void ShowDigits(double frequency);
    void SetLinkHeld(bool held);
    void SetPanelLocked(bool locked);
    void SetDbLinked(bool linked);
    void StopScan();
    // Shows the port dialog; a changed port or speed releases the receiver and reopens the link.
    void ChangePort();
    void ApplyBandDefaults();
    // True once each time the band plan's position moves to another band or region. The band
    // plan's own change flag stays set once anything moved, so it cannot tell a new band.
    bool BandEntered();
    // apply true sends the code to the receiver; false repaints the control from it.
    void ShowMode(int code, bool apply);
    void ShowFilter(int code, bool apply);
    void ShowAgc(int code, bool apply);
    void ShowNoiseBlanker(int code, bool apply);
    void ShowAttenuator(int code, bool apply);
    void ShowSquelch(int value);
    void ShowSMeter(int value);
    // The S-meter handler fed with every reported reading.
    void SMeterReport(int value);
    void ResetSMeterStats();
    // One beep when "WIN_Beep" is set; every refused key or action uses it.
    void WarnBeep();
    // Repaints the two automatic-band indicators from "BND_AutoFT"/"BND_AutoMD".
    void ShowAutoFlags();
    // Clears the channel labels and hides the two hidden entry boxes.
    void ClearChannelLabels();
    // Gives the keyboard focus back to the hidden entry control.
    void FocusDummy();
    // The window background click (left or middle button): repaint from the receiver.
    void BackgroundClick();
    // Counts the beeps (tests read it; the offscreen platform has no audible beep).
    int BeepCount = 0;

    // ---- Update timer -------------------------------------------------------------------
    // One tick of TimUpd; the timer calls it every 100 ms.
    void Tick();
    // Starts or stops the 100 ms timer (tests stop it and call Tick themselves).
    void SetTimerRunning(bool running);
    bool TimerRunning() const { return timer_.isActive(); }

    // ---- Controls (names are the panel's own) -------------------------------------------
    PanelButton* MD;
    PanelButton* FT;
    PanelButton* AG;
    PanelButton* NB;
    PanelButton* AT;
    PanelLabel* SQ;
    PanelLabel* SM;
    std::array<PanelLabel*, 2> STP;
    std::array<QLabel*, 2> LblSTP;
    PanelLabel* Band;
    PanelLabel* RNG;
    std::array<PanelLabel*, 2> Auto;
    std::array<PanelLabel*, 2> LockImg;
    QLabel* FrDbImg;
    QLabel* CHN;
    QLabel* LblCHN;
    PanelLabel* DIMInf;
    QLineEdit* Dummy;                   // holds the keyboard focus; swallows typed characters
    QLineEdit* CmdBox;                  // hidden entry box: pending command
    QLineEdit* FrqBox;                  // hidden entry box: typed frequency
    std::array<QLineEdit*, 8> FrqDigit; // index 0 the ten-megahertz digit, 7 the hertz digit
    QWidget* FrqFrame;
    QWidget* Mask; // covers the frequency display while not connected
    PanelButton* Scan;
    PanelButton* Options;
    PanelButton* Store;
    PanelButton* Search;
    QWidget* MeterArea; // where the spectrum meter sits (hidden until shown)

    // The message shown when the open port's device went away (empty when none is showing).
    QString LinkLostMessage() const;

signals:
    // The tick connected (true) or lost (false) the receiver.
    void linkChanged(bool connected);
    // A left or middle click on the window background: digit editing and the keyboard entry
    // state end here (the key commands connect to it).
    void backgroundClicked();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void buildPanel();
    void wirePanel();
    void OnUpd();
    void OnChn(bool table, int index, bool last, double frequency, int mode, int filter, int agc,
               int att);
    bool clickAllowed(bool settingButton) const;
    void MD_Click();
    void FT_Click();
    void AG_Click();
    void NB_Click();
    void AT_Click();
    void SQ_Click();
    void SM_Click();
    void STP_Click();
    void Band_Click();
    void RNG_Click();
    void Auto_Click(int index);
    void LockImg_Click();
    void showRegion();
    void showBandLabel(const QString& name, bool flagged);

    Registry& reg_;
    std::unique_ptr<Nrd535> rx_;
    std::unique_ptr<Freqs> freqs_;
    Meter* meter_ = nullptr;
    std::unique_ptr<ScanEngine> scan_;
    KeyCommands* keys_ = nullptr; // a QObject child of the window
    QBasicTimer timer_;
    void onPortLost(const QString& description);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void applyOnTop();

    QMessageBox* linkLostBox_ = nullptr;
    // The band last seen by BandEntered (lower and upper edge, kHz; region); -1 before the first.
    double bandLow_ = -1;
    double bandHigh_ = -1;
    int bandRegion_ = -1;
    int savedPort_ = -1;
    bool inTick_ = false;
    // Ticks left before the silence check may judge a fresh link (see Tick).
    int silenceGrace_ = 0;
    bool loaded_ = false;
    bool unloaded_ = false;
};
