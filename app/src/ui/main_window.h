#pragma once

#include "core/panel.h"
#include "core/panel_state.h"
#include "core/smeter_stats.h"
#include "input/room_host.h"
#include "settings/settings.h"

#include <QBasicTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class Nrd535;
class Freqs;
class Meter;
class Registry;
class ScanEngine;
class KeyCommands;
class Tuner;
class MiniHelp;
class FrequencyDigits;
class QMessageBox;
class Opts;
class QStackedLayout;

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

// A label that shows and takes no clicks: a press on it is neither a panel click nor a click
// on the window background.
class PassiveLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void mousePressEvent(QMouseEvent* event) override;
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
};

// The main window: owns the receiver, the band plan, the tuner, the scan engine and the key
// commands, lays out the receiver panel and paints it from the program state. The decisions
// live in those objects; the window forwards events to them and renders what they decide.
class Main : public QWidget, public PanelHost, public RoomHost {
    Q_OBJECT
public:
    // The window reads and writes its settings through reg, which must outlive it. The
    // constructor builds the widgets only: Load() does the start-up work.
    explicit Main(Registry& reg, QWidget* parent = nullptr);
    ~Main() override;

    // Start-up. Returns false when the operator gave no port: the program ends without a
    // message and nothing is written.
    bool Load();
    // Shutdown: stops the timer, closes the link and writes the settings unless the window is
    // minimised. Runs once; closeEvent calls it.
    void Unload();

    // How the port dialog is shown. The default shows it modally; tests replace it to answer
    // the dialog without a nested event loop. Returns after "COM_Port" and "COM_Speed" in
    // settings have been edited.
    std::function<void(Main&)> ShowPortDialog;
    // Makes the port dialog show at start even with a configured port.
    bool PortDialogRequested = false;
    // A port used for this run only (--simulate): Load opens it instead of "COM_Port", and the
    // stored "COM_Port" is written back unchanged.
    int ForcedPort = -1;
    // The port the dialog preselects when none is configured (the last --port given).
    int PreferredPort = -1;

    Settings settings;

    // How the options dialog is shown; the default runs it modally. Tests replace it to answer
    // the dialog without a nested event loop (it is filled first).
    std::function<void(Opts&)> ShowOptions;

    // The S-meter statistics of the readings while no S-meter procedure runs.
    SMeterStats SMeter;

    Nrd535& receiver() const override { return *rx_; }
    Freqs& freqs() const override { return *freqs_; }
    Meter* meter() const override { return meter_; }
    Tuner& tuner() const override { return *tuner_; }
    ScanEngine& scan() const override { return *scan_; }
    KeyCommands& keys() const override { return *keys_; }
    Registry& registry() const override { return reg_; }

    // ---- Where the rooms join --------------------------------------------------------------
    PanelHost& panel() override { return *this; }
    QWidget& window() override { return *this; }
    Settings& config() override { return settings; }
    KeyFeatures& keyFeatures() override;
    SMeterStats& sMeterStats() override { return SMeter; }
    void WhenStarted(QObject* context, std::function<void()> run) override;
    void WhenStopping(QObject* context, std::function<void()> run) override;
    void WhenSettingsWritten(QObject* context, std::function<void()> run) override;
    bool Minimized() const override { return isMinimized(); }
    QString Title() const override { return windowTitle(); }
    void OnClicked(Button button, QObject* context, std::function<void()> run) override;
    void PaintSMeter(const QColor& colour) override;
    int CaptionTextWidth(const QString& text) const override;
    void SetSMeterClick(std::function<void(bool shift)> run) override {
        onSMeterClick_ = std::move(run);
    }
    void SetSMeterProcedure(std::function<void(int raw)> run) override {
        onSMeterProcedure_ = std::move(run);
    }
    void SetLookNotes(std::function<void(double hz)> run) override {
        onLookNotes_ = std::move(run);
    }
    bool OpenOptions(int tab, const QString& profile) override;
    void AddServerOption(ServerOption option) override { serverOption_ = std::move(option); }
    void AddOptionsPart(OptionsPart part) override { optionsParts_.push_back(std::move(part)); }
    void AddPanelLine(QWidget* line) override;
    PanelTexts Shown() const override;
    int Beeps() const override { return BeepCount; }
    void WhenLinkChanged(QObject* context, std::function<void(bool connected)> run) override;
    void Share(const QString& name, QObject* context, std::function<QVariant()> value) override;
    QVariant Shared(const QString& name) const override;
    void SharedChanged(const QString& name) override { emit sharedChanged(name); }
    void WhenSharedChanged(QObject* context, std::function<void(const QString& name)> run) override;
    FrequencyDigits& digits() const { return *digits_; }
    MiniHelp& Help();
    // "Kelvan x.y.z - Receiver Module [NRD535D]".
    QString ProgramTitle;

    // ---- Panel -------------------------------------------------------------------------
    const ProgramState& State() const override { return state_; }
    void TuneTo(double hz, bool setReceiver, bool lookBand, bool lookNotes) override;
    void ShowMode(int code, bool apply) override;
    void ShowFilter(int code, bool apply) override;
    void ShowAgc(int code, bool apply) override;
    void ShowNoiseBlanker(int code, bool apply) override;
    void ShowRecordNumber(const QString& tag, const QString& number) override;
    void ShowRecordCaption(double hz, const QString& comment, bool visible) override;
    void ClearChannelLabels() override;
    void SetSourceTip(const QString& tip) override;
    int CommentWidth() const override;
    void SetPanelLocked(bool locked) override;
    void StopScan() override;
    void WarnBeep() override;
    void ShowBand(const QString& name, bool flagged) override;
    void ShowBandStep(int hz) override;
    void ShowKnownPosition(int list, int position) override;
    void ShowDigits(double hz) override;
    void ShowIndicator(Indicator indicator) override;
    void SetLinkHeld(bool held) override;
    void SetScanState(ScanState state) override;
    void SetPolling(bool polling) override { Polling = polling; }
    double TuningStep() const override { return tuningStep_; }
    void SetTuningStep(double hz) override;
    void SetFilterPosition(int position) override { FilterPosition = position; }
    void ClickRegion() override;
    void ClickSMeter(bool shift) override;
    bool ToggleSpectrum() override;
    void ShowHelp() override;
    void FocusPanel() override;

    void SetDbLinked(bool linked) override;
    void ShowAttenuator(int code, bool apply);
    void ShowSquelch(int value);
    void ShowSMeter(int value);
    // Every reported S-meter reading.
    void SMeterReport(int value);
    // Shows the port dialog; a changed port or speed releases the receiver and reopens the link.
    void ChangePort();
    // Shows the port dialog only (the options dialog's Serial button).
    void RunPortDialog() { runPortDialog(); }
    // Reopens the link when "COM_Port" or "COM_Speed" differ from port and speed (or the port
    // is not open).
    void ApplyPortChange(int port, const QString& speed);
    // Repaints the two automatic-band indicators from "BND_AutoFT"/"BND_AutoMD".
    void ShowAutoFlags();
    // The window background click (left or middle button): repaint from the receiver.
    void BackgroundClick();
    // Counts the beeps (tests read it; the offscreen platform has no audible beep).
    int BeepCount = 0;
    bool Polling = true;     // cleared while a click or key changes the band
    int FilterPosition = -1; // position in the filter cycle; -1 until the first report
    int EventCount = 0;      // receiver events since the last silence check
    Qt::MouseButton LastButton = Qt::NoButton; // of the last mouse-down on a panel control
    Qt::KeyboardModifiers LastShift;
    // Tick record.
    int Phase = 0;     // 0..15
    int Dwell = 0;     // modulo "SCN_Delay"
    int TickCount = 0; // 16-bit, wraps

    // ---- Update timer -------------------------------------------------------------------
    // One tick; the timer calls it every 100 ms.
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
    QLabel* FFrq;
    QLabel* FCom;
    PanelLabel* DIMInf;
    QLineEdit* Dummy;  // holds the keyboard focus; swallows typed characters
    QLineEdit* CmdBox; // hidden entry box: pending command
    QLineEdit* FrqBox; // hidden entry box: typed frequency
    QWidget* FrqFrame;
    QLabel* Mask; // covers the frequency display while not connected
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
    // Load finished: the port is open, the settings read, the timer running.
    void started();
    // Unload began: the rooms stop their timers and put their values into settings before the
    // settings are written.
    void stopping();
    // Unload wrote the settings (or skipped them for a minimised window): questions asked at
    // the end come after them.
    void settingsWritten();
    // A room's shared value changed (RoomHost::SharedChanged).
    void sharedChanged(const QString& name);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPanel();
    void wirePanel();
    // Paints the controls' enabled state from the program state.
    void render();
    // The link is gone (silence, a lost device, a new port): cover the display, let go.
    void dropLink();
    // Runs the port dialog as configured (tests replace it).
    void runPortDialog();
    bool routeKey(QObject* watched, class QKeyEvent* event);
    void routeWheel(class QWheelEvent* event);
    void OnUpd();
    void OnChn();
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
    void onPortLost(const QString& description);
    void applyOnTop();

    Registry& reg_;
    ProgramState state_;
    EnabledControls shown_;
    bool rendered_ = false;
    std::unique_ptr<Nrd535> rx_;
    std::unique_ptr<Freqs> freqs_;
    std::unique_ptr<Tuner> tuner_;
    std::unique_ptr<ScanEngine> scan_;
    std::unique_ptr<KeyCommands> keys_;
    FrequencyDigits* digits_ = nullptr;
    Meter* meter_ = nullptr;
    QPointer<MiniHelp> help_;
    QBasicTimer timer_;
    // Guarded: the box may be deleted (closed by the operator) at any time, also while this
    // window is being destroyed, when a handler could no longer write a member of it.
    QPointer<QMessageBox> linkLostBox_;
    double tuningStep_ = 500;
    int wheelRest_ = 0; // eighths of a degree not yet turned into a notch
    int savedPort_ = -1;
    bool inTick_ = false;
    // Ticks left before the silence check may judge a fresh link (see Tick).
    int silenceGrace_ = 0;
    bool loaded_ = false;
    bool unloaded_ = false;
    // The rooms' joins; each is optional (without it the action is refused with the beep).
    std::function<void(bool shift)> onSMeterClick_;
    std::function<void(int raw)> onSMeterProcedure_;
    std::function<void(double hz)> onLookNotes_;
    ServerOption serverOption_;
    std::vector<OptionsPart> optionsParts_;
    std::map<QString, std::pair<QPointer<QObject>, std::function<QVariant()>>> shared_;
};
