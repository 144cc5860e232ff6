#include "lists/list_scans.h"

#include "core/panel.h"
#include "core/record_text.h"
#include "lists/list_reader.h"
#include "lists/scratch_pad.h"
#include "settings/settings.h"

PadScan::PadScan(ScratchPad& pad, Panel& panel, const Settings& settings)
    : pad_(pad), panel_(panel), settings_(settings) {}

bool PadScan::Begin() {
    if (!FileExists(settings_.SMT_Pad)) return false;
    panel_.SetSourceTip(QStringLiteral("From PAD"));
    return pad_.ReadPadRecord(ReadOp::Start);
}

bool PadScan::Next() {
    return pad_.ReadPadRecord(ReadOp::Next);
}

void PadScan::End() {
    pad_.ReadPadRecord(ReadOp::Close);
}

FileScan::FileScan(ListReader& list, Panel& panel) : list_(list), panel_(panel) {}

void FileScan::ForgetPath() {
    list_.ReadListRecord(ReadOp::Close);
    list_.SetPath(QString());
}

bool FileScan::Begin() {
    if (list_.Path().isEmpty()) {
        const QString chosen = choose_ ? choose_() : QString();
        if (chosen.isEmpty()) return false;
        list_.ReadListRecord(ReadOp::Close);
        list_.SetPath(chosen);
    }
    if (!FileExists(list_.Path())) return false;
    panel_.SetSourceTip(QStringLiteral("From ") + list_.Path());
    return list_.ReadListRecord(ReadOp::Start);
}

bool FileScan::Next() {
    return list_.ReadListRecord(ReadOp::Next);
}

void FileScan::End() {
    list_.ReadListRecord(ReadOp::Close);
}

bool StepListOrPad(ListReader& list, ScratchPad& pad, bool forward) {
    const ReadOp op = forward ? ReadOp::Next : ReadOp::Previous;
    if (!list.Path().isEmpty()) return list.ReadListRecord(op);
    return pad.ReadPadRecord(op);
}
