#pragma once

// The pad scan and the file scan as record sources of the scan engine, and the "<" / ">" keys.

#include "scan/record_source.h"

#include <QString>

#include <functional>

class ListReader;
class Panel;
class ScratchPad;
class Settings;

// Steps through the scratch pad named by "SMT_Pad".
class PadScan : public RecordSource {
public:
    PadScan(ScratchPad& pad, Panel& panel, const Settings& settings);
    // Refused when the pad does not exist or holds no record; shows the first record.
    bool Begin() override;
    bool Next() override;
    void End() override;

private:
    ScratchPad& pad_;
    Panel& panel_;
    const Settings& settings_;
};

// Steps through the chosen list file; at its end a new pass starts from the first line.
class FileScan : public RecordSource {
public:
    FileScan(ListReader& list, Panel& panel);
    // Asks for a list file (the load dialog, extension "txt"); empty when cancelled.
    using ChooseFile = std::function<QString()>;
    void SetChooseFile(ChooseFile choose) { choose_ = std::move(choose); }

    // Forgets the remembered list, so that the next Begin asks for one ("SF").
    void ForgetPath();
    // Asks for the list when none is remembered (closing any list still open), refuses a list
    // that does not exist, sets the tooltip "From " and the path, and shows the first record.
    bool Begin() override;
    bool Next() override;
    void End() override;

private:
    ListReader& list_;
    Panel& panel_;
    ChooseFile choose_;
};

// "<" and ">" while no scan runs: the previous or next record of the list file when one is
// chosen, else of the scratch pad. False when there is none (the caller beeps).
bool StepListOrPad(ListReader& list, ScratchPad& pad, bool forward);
