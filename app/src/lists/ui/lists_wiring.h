#pragma once

#include "lists/list_reader.h"
#include "lists/list_scans.h"
#include "lists/scratch_pad.h"

#include <QObject>

class RoomHost;

// The scratch pad and the list files in the window: Space, "<" and ">", the pad and file scans
// ("SP", "SN", "SF"), the import profile asked through the options dialog and the notes search
// after tuning. A child of the window; it lives as long as the window.
class ListsRoom : public QObject {
    Q_OBJECT
public:
    explicit ListsRoom(RoomHost& host);

    ScratchPad& Pad() { return pad_; }
    ListReader& List() { return list_; }
    FileScan& Files() { return fileScan_; }

private:
    RoomHost& host_;
    ScratchPad pad_;
    ListReader list_;
    PadScan padScan_;
    FileScan fileScan_;
};
