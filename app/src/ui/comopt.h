#pragma once

#include <QDialog>
#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class Settings;

// "Port Properties": chooses the serial port and line speed of the receiver link. Edits
// "COM_Port" and "COM_Speed" of the live settings; opening the port is the caller's business.
class ComOpt : public QDialog {
    Q_OBJECT
public:
    // What probing a port found.
    enum Status { Absent = 0, Free = 1, InUse = 2, NoPermission = 3 };

    // The dialog fills itself from settings at once (ports COM1..COM8 are probed). preferred is
    // preselected when no port is configured (a port given for this run).
    ComOpt(Settings& settings, QWidget* parent = nullptr, int preferred = -1);

    // At start-up the dialog closes unseen when a port is configured and was not asked for.
    static bool ClosesAtOnce(const Settings& settings, bool requested);
    // Probes the device that port n maps to, without configuring the line.
    static Status PortStatus(int n);
    // True when another live program holds the device's lock file.
    static bool HeldByLockFile(const QString& device);
    // The advice shown for a port in the given state (empty for a free port).
    static QString StatusAdvice(int n, Status status, bool configured);

    // Lists the ports again.
    void Fill();

    QComboBox* Port;
    QLabel* PortLbl;
    QGroupBox* FrmComSpd;
    std::array<QRadioButton*, 4> ComSpd;
    QPushButton* OK;
    QPushButton* Cancel;
    QLabel* Note; // what is wrong with the selected port, and what to do about it
    // The device or serial-server address (tcp:// or rfc2217://HOST:PORT) behind the selected
    // port; OK maps the port to an edited one.
    QLabel* DeviceLbl;
    QLineEdit* Device;

private:
    void OK_Click();
    void Cancel_Click();
    void ComSpd_Click(int index);
    void showNote();

    Settings& settings_;
    int remembered_ = -1;
    int preferred_ = -1;
    std::array<Status, 9> status_{};
};
