#pragma once

// "Options": the program-wide settings in four tabs (General, Scan, Import, Sound). Every
// control edits the live settings at once; OK keeps the changes, Cancel puts back the values
// saved at opening. The caller sets Sound, Tabs and Profil before showing it modally.

#include <QDialog>

#include <array>
#include <functional>
#include <memory>

#include <halvard/sound.h>

class Meter;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class RigctlSharing;
class Settings;
struct ImportLayout;

class Opts : public QDialog {
    Q_OBJECT
public:
    Opts(Settings& settings, QWidget* parent = nullptr);

    // The meter whose card and input the Sound tab chooses (none: no sound input).
    void Sound(Meter* meter) { sound_ = meter; }
    // The tab shown first, 1..4 (any other value gives 1).
    void Tabs(int tab) { tabs_ = tab; }
    // The import profile to preselect and apply.
    void Profil(const QString& name) { profil_ = name; }
    // The database scan can be chosen only while the database is linked.
    void DbLinked(bool linked) { dbLinked_ = linked; }
    // The rig-control server for other programs: shown as kept, read back after OK.
    void Rigctld(bool on, const QString& at);
    bool RigctldOn() const;
    QString RigctldAt() const;
    // A row another room adds to the General tab (its own switches), below the others.
    void AddGeneralRow(QWidget* row);
    // Opens the serial port dialog (modal); the button is disabled without it.
    void SetOpenPortDialog(std::function<void()> open) { openPortDialog_ = std::move(open); }
    // The error beep (sounded only when "WIN_Beep" is set); by default the system beep.
    void SetBeep(std::function<void()> beep) { beep_ = std::move(beep); }

    // False after OK, true after Cancel (and when closed any other way).
    bool Cancelled() const { return cancelled_; }

    // Runs the dialog: fills every control from the settings, then shows it modally.
    int exec() override;
    // Fills every control from the settings (exec does this first).
    void Activate();

    // Applies a profile of the profile file ("IMP_Fil") to the Import tab.
    bool ApplyProfile(const QString& name);

    // The controls, named as the settings table names them.
    QTabWidget* All;
    QCheckBox* AgcOff;
    QCheckBox* WndSnd;
    QCheckBox* WndTop;
    QCheckBox* BndMod;
    QCheckBox* BndFlt;
    QPushButton* ComPrt;
    QCheckBox* NetRig;      // serve hamlib's NET rigctl protocol
    QLineEdit* NetRigAt;    // on [ADDRESS:]PORT
    QCheckBox* NetRigRO;    // other hosts only read
    QLineEdit* NetRigHosts; // other hosts let in, empty: any
    std::array<QRadioButton*, 9> ScanPrm;
    QCheckBox* BndStp;
    QLineEdit* ScanStp;
    std::array<QSlider*, 2> ScanDel;
    std::array<QLabel*, 2> ScanWde;
    QCheckBox* ImpCmn; // View comment
    QCheckBox* ImpCmv; // View nulls
    std::array<QRadioButton*, 7> ImpFrq;
    std::array<QRadioButton*, 7> ImpMod;
    QCheckBox* ImpMdt;
    std::array<QCheckBox*, 7> ImpCmt;
    std::array<QCheckBox*, 7> ImpFix;
    std::array<QLineEdit*, 7> ImpSiz;
    QComboBox* Profils;
    QPushButton* FromList;
    QPushButton* WUN;
    QPushButton* NO;
    QPushButton* Shoc;
    QGroupBox* SndCrdFrame;
    QGroupBox* SndInpFrame;
    std::array<QRadioButton*, 3> SndCrd;
    std::array<QRadioButton*, 3> SndInp;
    QLabel* SndErr;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    // The presets of the three layout buttons, as profile lines.
    static const QString WunLayout;
    static const QString NoLayout;
    static const QString ShocLayout;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Saved;

    // The window's rig-control server, whose sharing the General tab edits (none: not shown).
    RigctlSharing* rigctlServer() const;
    QWidget* generalPage();
    QWidget* scanPage();
    QWidget* importPage();
    QWidget* soundPage();
    void save();
    void restore();
    void showImport();
    void applyLayout(const ImportLayout& layout);
    void applyPreset(const QString& line, int looseField);
    bool checkSoundInputs(int card);
    void selectSource(int index);
    void showDelays();
    void warnBeep();

    void cmdOK_Click();
    void cmdCancel_Click();
    void SndCrd_Click(int index);
    void SndInp_Click(int index);
    void ScanStp_Change();
    void ImpMod_Click(int index);
    void ImpMdt_Click(bool checked);

    Settings& settings_;
    Meter* sound_ = nullptr;
    int tabs_ = 1;
    QString profil_;
    bool dbLinked_ = false;
    bool cancelled_ = true;
    bool filling_ = false;
    std::function<void()> openPortDialog_;
    std::function<void()> beep_;
    std::unique_ptr<Saved> saved_;
    QButtonGroup* scanGroup_ = nullptr;
    class QVBoxLayout* general_ = nullptr;

public:
    ~Opts() override;
};
