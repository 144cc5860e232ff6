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
//
// What a host must know:
// - It needs a running Qt event loop on the thread that owns it: received text, the lost-port
//   report and the dump watchdog all arrive through the loop. Nothing is thread-safe.
// - Order: Baud("4800"), Port(n), fOpen(); then call Conn() (from a timer) until it returns
//   true; Hook(true) to take remote control; poll FTUpd/NBUpd/SQUpd/SMUpd periodically.
// - Conn() runs a nested event loop for about 400 ms (two 200 ms waits for the answers to "H"
//   and "?"); user input is held back meanwhile, timers and sockets run. A Conn() called during
//   those waits returns false at once.
// - Setters (Fr, MD, FT, AG, AT, NB) and polls send one command line only while Connected() and
//   return at once; the stored value changes when the receiver's next report arrives (FT and NB
//   store at once and raise OnUpd). Out-of-range values send nothing. While the report of a
//   value sent is due (ReportDueMs), a setter compares with what it sent, not with the last
//   report: a report still showing an older value cannot make it skip a change. A report of a
//   value neither sent nor held before is the receiver's own (its front panel) and counts at
//   once.
// - No member runs the event loop under its caller except Conn().
// - A filter is FT(Wide/Inter/Narrow/Aux); a continuous bandwidth is given in hertz through the
//   same setter, e.g. FT(ostry::FT(2400)).
// - Getters (Fr(), MD(), FT(), AG(), AT(), NB(), SM(), SQ()) clear the matching modified flag,
//   as IsMod..() does; a second reader of the same driver should use state(), which clears
//   nothing. After Conn() every field reads -1 until the receiver reports it.
// - Port n maps to a device path or a network address (ostry/serialline.h): "tcp://HOST:PORT"
//   reaches a raw serial server, "rfc2217://HOST:PORT" one that takes the Baud setting over
//   RFC 2217. For an address fOpen only starts resolving and connecting and
//   returns true; Conn fails until the connection stands, and a failed attempt (name not found,
//   refused, no answer) arrives as portLost like an unplugged adapter.
// - Failures are not thrown: members return false/empty, fOpen keeps its reason in LastError()
//   and, with ShowErr, hands it to the message display.
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

    // Beyond the control's own interface.
    // The periodic poll of a timer-driven host: sends what FTUpd, NBUpd, SQUpd and SMUpd send,
    // in that order, as one write. On a serial device the replies are not read as they arrive
    // but all at once by the next PollStatus, which raises OnUpd for them before it asks again
    // (or after PollHoldMs without one), so a host polling every 100 ms wakes once a poll
    // instead of once a reply; whatever else the receiver sends meanwhile waits as long. Any
    // other command sent ends the wait, so the report a setter brings arrives as soon as it
    // can. A host paced by single replies (an S-meter reading per step) calls the polls one by
    // one.
    void PollStatus();
    static constexpr int PollHoldMs = 150;
    // How long after a command its setting's report is waited for; until then (or until the
    // receiver reports a value of its own) the setter compares with the value it sent.
    static constexpr int ReportDueMs = 1000;

    // Link state the host may query.
    bool PortOpened() const;
    bool Connected() const;
    bool DumpBusy() const;
    // S-meter replies received so far (an unchanged reading counts too; IsModSM does not
    // see those).
    quint32 SMReplies() const;
    // True after the device vanished under an open port (adapter unplugged, pty closed, network
    // connection dropped or a connection attempt failed); the port has then been closed.
    // Cleared when the line is up again (a device: the next successful fOpen; a network address:
    // once its connection stands).
    bool deviceLost() const;
    // The device path or address the current Port maps to (see ostry/serialline.h).
    QString device() const;
    // Why the last fOpen failed or the line was lost ("<reason> [Port=n]"); empty after a
    // successful fOpen.
    QString LastError() const;
    // The setting in effect: what a setter sent while its report is due, else the last report
    // (MD, FT, AG, AT, NB; SQ has no setter and reads as reported). Clears no modified flag. A
    // host that keeps "the receiver's own" setting reads it here, not from the getter, which
    // may still show the report from before the command.
    qint32 InEffect(ostry::Setting setting) const;
    // The frequency in effect, in the same sense: what Fr sent while its report is due.
    double FrInEffect() const;
    // The last reported status fields; reading them clears no modified flag.
    const ostry::ReceiverState& state() const { return m_st; }

    // fOpen(ShowErr = true) hands the failure text to this. The driver shows no windows: the
    // default writes to the log; a program sets a display that shows its own message box.
    using MessageDisplay = std::function<void(const QString& text)>;
    void setMessageDisplay(MessageDisplay display);

signals:
    void OnUpd(double Fr, ostry::MD MD, ostry::FT FT, ostry::AG AG, ostry::ONOFF AT, qint16 NB,
               qint16 SM, ostry::ONOFF SQ);
    void OnChn(bool TB, qint16 NM, bool ST, double Fr, ostry::MD MD, ostry::FT FT, ostry::AG AG,
               ostry::ONOFF AT);
    // The open port's device went away or its network connection dropped or could not be made;
    // the port is closed and `description` says why. Raised once per loss: failed attempts to
    // reopen stay quiet until the receiver has answered Conn again (or the host ran fClose).
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

    // What a setter sent and whose report is still due. `recent` holds the values sent and the
    // one reported before the first of them: a report of any of those may be stale.
    struct Sent {
        double value = -1;
        qint64 until = 0;
        double recent[8] = {};
        int count = 0, next = 0;
    };
    enum SentSlot { SentFr, SentMD, SentFT, SentAG, SentAT, SentNB, SentSlots };
    // The value a setter compares with: the one sent while its report is due, else the
    // reported one.
    double current(SentSlot slot, double reported);
    double inEffect(SentSlot slot, double reported) const;
    void noteSent(SentSlot slot, double reported, double value);
    void confirmSent();
    void forgetSent();
    Sent m_sent[SentSlots];

    ostry::SerialLine* Serial = nullptr;
    QString m_Baud;
    quint8 m_Port = 0;
    bool m_PortOpened = false;
    bool m_Connected = false;
    bool m_Hook = false;
    bool m_deviceLost = false;
    bool m_lossReported = false;
    QString m_RomId;
    QString m_lastError;
    ostry::ReceiverState m_st;
    ostry::ReplyReader RxBuf;
    bool FTBusy = false;
    bool NBBusy = false;
    qint16 m_BWL = 0;
    qint16 m_BWA = 0;
    bool m_dumpBusy = false;
    QTimer* m_dumpWatch = nullptr;
    bool m_inConn = false;
    // Ends a filter change one pass of the event loop after its setter returned.
    QTimer* m_ftDone = nullptr;
    MessageDisplay m_display;
};
