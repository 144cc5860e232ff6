#pragma once

#include "lists/list_reader.h"
#include "lists/list_scans.h"
#include "lists/scratch_pad.h"

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class Main;
class Opts;

// Joins the scratch pad, the list files and the options dialog to the main window: Space,
// "<" and ">", the pad and file scans ("SP", "SN", "SF"), the Options button and the notes
// search after tuning. A child of the window; it lives as long as the window.
class ListsRoom : public QObject {
    Q_OBJECT
public:
    explicit ListsRoom(Main& main);

    // The options dialog opened on a tab (1..4) with a profile to preselect; after it closes a
    // changed port or speed reopens the link. False when it was cancelled.
    bool Options(int tab, const QString& profile);

    // How the options dialog is shown; the default runs it modally. Tests replace it to answer
    // the dialog without a nested event loop (Activate fills it first).
    std::function<void(Opts&)> ShowOptions;
    // Other rooms' parts of the dialog: each is called with the dialog before it shows and
    // returns what to do once it has closed (with true after OK).
    std::vector<std::function<std::function<void(bool accepted)>(Opts&)>> OptionsParts;

    ScratchPad& Pad() { return pad_; }
    ListReader& List() { return list_; }
    FileScan& Files() { return fileScan_; }

private:
    Main& main_;
    ScratchPad pad_;
    ListReader list_;
    PadScan padScan_;
    FileScan fileScan_;
};

ListsRoom* WireLists(Main& main);
