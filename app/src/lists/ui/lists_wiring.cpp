#include "lists/ui/lists_wiring.h"

#include "core/tuner.h"
#include "input/keys.h"
#include "input/room_host.h"
#include "lists/ui/info.h"
#include "scan/scan_engine.h"
#include "settings/settings.h"

#include <QDir>
#include <QFileDialog>

namespace {

constexpr int ImportTab = 3;

} // namespace

ListsRoom::ListsRoom(RoomHost& host)
    : QObject(&host.window()), host_(host), pad_(host.panel(), host.receiver(), host.config()),
      list_(host.panel(), host.receiver(), host.config()),
      padScan_(pad_, host.panel(), host.config()), fileScan_(list_, host.panel()) {
    pad_.SetDescribe([this]() -> std::optional<QString> {
        Info info(host_.config().WIN_OnTop, &host_.window());
        if (info.exec() != QDialog::Accepted) return std::nullopt;
        return info.Ident();
    });
    pad_.SetTextWidth([this](const QString& text) { return host_.CaptionTextWidth(text); });
    list_.SetAskProfile([this](const QString& name) { return host_.OpenOptions(ImportTab, name); });
    fileScan_.SetChooseFile([this] {
        return QFileDialog::getOpenFileName(
            &host_.window(), QStringLiteral("Select File name to be load ..."), QDir::currentPath(),
            QStringLiteral("Load Files [*.txt] (*.txt)"));
    });

    host.scan().SetSource(ScanState::Pad, &padScan_);
    host.scan().SetSource(ScanState::File, &fileScan_);

    KeyFeatures& keys = host.keyFeatures();
    keys.PadAppend = [this] { pad_.AppendPadRecord(); };
    keys.RecordMove = [this](bool next) {
        if (host_.panel().State().Scanning()) {
            host_.panel().WarnBeep();
            return;
        }
        // The records carry their own mode and filter.
        host_.tuner().BandDefaults = false;
        if (!StepListOrPad(list_, pad_, next)) host_.panel().WarnBeep();
    };
    keys.ForgetScanFile = [this] { fileScan_.ForgetPath(); };
    host.SetLookNotes([this](double hz) {
        if (!pad_.ReadPadRecord(ReadOp::GoTo, hz)) list_.ReadListRecord(ReadOp::GoTo, hz);
    });
    host.WhenStopping(this, [this] {
        host_.scan().SetSource(ScanState::Pad, nullptr);
        host_.scan().SetSource(ScanState::File, nullptr);
        pad_.ReadPadRecord(ReadOp::Close);
        list_.ReadListRecord(ReadOp::Close);
    });
}
