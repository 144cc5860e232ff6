#pragma once

#include <QString>

class MemoryTable;

// What the memory commands ask of the windows: the grids and dialogs they open, the file
// choices and the message boxes. The main window provides it (ui/memory_dialogs.h); tests answer
// it without widgets.
class MemoryHost {
public:
    virtual ~MemoryHost() = default;

    // The memory grid on table, modal, its cursor on startRow.
    virtual void OpenMemoryGrid(MemoryTable& table, int startRow) = 0;
    // The "Quick Filters" window, modal.
    virtual void OpenQuickFilters() = 0;
    // The known-list selection window, modal.
    virtual void OpenKnownLists() = 0;
    // A file to load with extension ext (it exists), or an empty string when cancelled.
    virtual QString ChooseLoadFile(const QString& ext) = 0;
    // A file to save to with extension ext (replacing it was confirmed), or empty when cancelled.
    virtual QString ChooseSaveFile(const QString& ext) = 0;
    // A message box; true when the operator answered OK. okCancel false shows OK alone.
    virtual bool ShowMessage(const QString& prompt, bool okCancel, const QString& title) = 0;
    // A message that asks nothing: shown without waiting for the operator, so start-up goes on.
    virtual void ShowNotice(const QString& prompt, const QString& title) = 0;
};
