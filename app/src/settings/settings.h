#pragma once

#include "settings/records.h"

#include <QList>
#include <QString>
#include <array>

class Registry;

// The operator's persisted settings, one typed field per value name. Read once at start-up and
// written back once at shutdown through the Registry; windows edit the live values.
class Settings {
public:
    // Every field takes the default of the settings table.
    Settings();

    // Reads every value marked "at start", with the start-up corrections ("SCN_Range" 100000 or
    // less becomes 1000000, "SCN_Delay" 0 becomes 4), and the quick memory and filter lists.
    void Read(const Registry& reg);
    // The known-list selection: entry 0 is the count, raised to labelCount when smaller.
    void ReadKnownSelection(const Registry& reg, int labelCount);
    // Writes every value back, as at shutdown. A quick-memory row whose frequency is 0 is not
    // written. Returns false when any write failed.
    bool Write(Registry& reg) const;

    // Reads the key-help window position (read each time that window opens).
    void ReadHelpPosition(const Registry& reg);

    bool WIN_OnTop;
    bool WIN_Beep;
    int COM_Port;
    QString COM_Speed;
    int RNG_Default;
    bool BND_AutoMD;
    bool BND_AutoFT;
    bool BND_AutoST;
    int SND_Crd;
    int SND_Inp;
    bool AGC_OffAllow;
    QString IMP_Fil;
    bool IMP_VCmt;
    bool IMP_VNul;
    int IMP_Frq;
    int IMP_Mod;
    std::array<int, 7> IMP_Cmt;  // "IMP_Cmt1".."IMP_Cmt7"
    std::array<int, 7> IMP_Siz;  // "IMP_Siz1".."IMP_Siz7"
    std::array<bool, 7> IMP_Fix; // "IMP_Fix1".."IMP_Fix7"
    QList<int> KWN_Sel;          // entry 0 the count, entries 1..count the selection flags
    bool DDE_AutoRetry;
    QString DDE_Database;
    bool DDE_Activate;
    double SCN_Range;
    int SCN_Delay;
    int SCN_Mode;
    int SCN_Step;
    int SCN_Wait;
    bool FLT_Aux;
    int SMT_Sql;
    QString SMT_Log;
    QString SMT_Pad;
    QString SKD_File; // the broadcast schedule file; empty for none
    std::array<MemoryRecord, 10> MEM_Inf;
    std::array<QuickFilter, 10> FLT_Inf;
    int MainLeft; // twips
    int MainTop;
    int MainWidth; // written only
    int MainHeight;
    int HelpLeft;
    int HelpTop;
};
