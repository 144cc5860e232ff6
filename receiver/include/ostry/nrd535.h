#pragma once

#include <ostry/ostry_export.h>
#include <ostry/protocol.h>

#include <QObject>
#include <QString>

#include <functional>

class QTimer;

namespace ostry {
class SerialLine;
}

// Driver of a JRC NRD-535 / NRD-535D receiver on a serial line. Public members follow the
// control's slot order; property get/let pairs are overloads of one name.
class OSTRY_EXPORT Nrd535 : public QObject {
    Q_OBJECT
public:
    explicit Nrd535(QObject* parent = nullptr);
    ~Nrd535() override;

    QString Baud() const;
    void Baud(const QString& value);
    quint8 Port() const;
    void Port(quint8 value);
    double FrMax() const;
    QString RomId() const;
    qint16 BWL() const;
    qint16 BWI() const;
    qint16 BWH() const;
    qint16 BWA() const;
    qint16 FTB(qint16 Bandwidth, ostry::MD Mode, bool AuxF = false) const;
    bool fOpen(bool ShowErr = true);
    bool fClose();
    bool Conn();
    bool Disc();
    QString FRDesc(double Fr) const;
    double Log10(double x) const;
    qint16 SMCalc(qint16 SM, bool SM2INT) const;
    QString SMDesc(qint16 SM) const;
    qint16 SQDescMax() const;
    ostry::ONOFF SQCode(const QString& SQ) const;
    QString SQDesc(ostry::ONOFF SQ) const;
    qint16 NBDescMax() const;
    qint16 NBCode(const QString& NB) const;
    QString NBDesc(qint16 NB) const;
    qint16 ATDescMax() const;
    ostry::ONOFF ATCode(const QString& AT) const;
    QString ATDesc(ostry::ONOFF AT) const;
    qint16 AGDescMax() const;
    QString AGDesc(ostry::AG AG) const;
    ostry::AG AGCode(const QString& AG) const;
    qint16 MDDescMax() const;
    QString MDDesc(ostry::MD MD) const;
    ostry::MD MDCode(const QString& MD) const;
    qint16 FTDescMax() const;
    ostry::FT FTCode(const QString& FT) const;
    QString FTDesc(ostry::FT FT) const;
    bool IsModFR();
    double Fr();
    void Fr(double value);
    bool IsModAT();
    ostry::ONOFF AT();
    void AT(ostry::ONOFF value);
    bool IsModFT();
    void FTUpd();
    ostry::FT FT();
    void FT(ostry::FT value);
    bool IsModMD();
    ostry::MD MD();
    void MD(ostry::MD value);
    bool IsModAG();
    ostry::AG AG();
    void AG(ostry::AG value);
    bool IsModNB();
    void NBUpd();
    qint16 NB();
    void NB(qint16 value);
    bool IsModSM();
    void SMUpd();
    qint16 SM();
    bool IsModSQ();
    void SQUpd();
    ostry::ONOFF SQ();
    void Save(qint16 Num, double Fr, ostry::MD MD, ostry::FT FT, ostry::AG AG, ostry::ONOFF AT);
    void Raz(qint16 Lvl);
    void Dump(qint16 Num);
    bool CHUpd(qint16 Fst, qint16 Lst, bool Tbl = true);
    bool Hook() const;
    void Hook(bool value);

    // Beyond the control's own interface: link state the host may query.
    bool PortOpened() const;
    bool Connected() const;
    bool DumpBusy() const;
    // S-meter replies received so far (an unchanged reading counts too; IsModSM does not
    // see those).
    quint32 SMReplies() const;
    // True after the device vanished under an open port (adapter unplugged, pty closed); the
    // port has then been closed. Cleared by the next successful fOpen.
    bool deviceLost() const;
    // The device path the current Port maps to (see ostry/serialline.h).
    QString device() const;

    // fOpen(ShowErr = true) reports a failed open through this; the default shows a message box
    // when a widget application runs and writes to the log otherwise. Tests and hosts replace it.
    using MessageDisplay = std::function<void(const QString& text)>;
    void setMessageDisplay(MessageDisplay display);

signals:
    void OnUpd(double Fr, ostry::MD MD, ostry::FT FT, ostry::AG AG, ostry::ONOFF AT, qint16 NB,
               qint16 SM, ostry::ONOFF SQ);
    void OnChn(bool TB, qint16 NM, bool ST, double Fr, ostry::MD MD, ostry::FT FT, ostry::AG AG,
               ostry::ONOFF AT);
    // The open port's device went away; the port is closed. `description` says why.
    void portLost(const QString& description);

private:
    bool SendCmd(const QByteArray& cmd);
    void SetRxNotify(bool on);
    void UpdAll();
    void Serial_OnComm();
    void raiseOnUpd();
    void raiseOnChn(const ostry::ChannelRecord& c);
    // Sleeps for `ms` while letting pending events run; false when this object was deleted or
    // the port went away meanwhile.
    bool waitPumping(int ms);
    void onPortError(const QString& description);

    ostry::SerialLine* Serial = nullptr;
    QString m_Baud;
    quint8 m_Port = 0;
    bool m_PortOpened = false;
    bool m_Connected = false;
    bool m_Hook = false;
    bool m_deviceLost = false;
    QString m_RomId;
    ostry::ReceiverState m_st;
    ostry::ReplyReader RxBuf;
    bool FTBusy = false;
    bool NBBusy = false;
    qint16 m_BWL = 0;
    qint16 m_BWA = 0;
    bool m_dumpBusy = false;
    QTimer* m_dumpWatch = nullptr;
    bool m_inConn = false;
    bool m_inPump = false;
    MessageDisplay m_display;
};
