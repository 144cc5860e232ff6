#include "ui/lists_wiring.h"

#include "ui/net_wiring.h"
#include "ui/schedule_wiring.h"

#include <QMessageBox>

#include "core/tuner.h"
#include "input/keys.h"
#include "lists/list_reader.h"
#include "lists/list_scans.h"
#include "lists/scratch_pad.h"
#include "scan/scan_engine.h"
#include "ui/info.h"
#include "ui/main_window.h"
#include "ui/opts.h"

#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>

namespace {

constexpr int ImportTab = 3;

} // namespace

ListsRoom::ListsRoom(Main& main)
    : QObject(&main), main_(main), pad_(main, main.receiver(), main.settings),
      list_(main, main.receiver(), main.settings), padScan_(pad_, main, main.settings),
      fileScan_(list_, main) {
    pad_.SetDescribe([this]() -> std::optional<QString> {
        Info info(main_.settings.WIN_OnTop, &main_);
        if (info.exec() != QDialog::Accepted) return std::nullopt;
        return info.Ident();
    });
    pad_.SetTextWidth(
        [this](const QString& text) { return main_.FCom->fontMetrics().horizontalAdvance(text); });
    list_.SetAskProfile([this](const QString& name) { return Options(ImportTab, name); });
    fileScan_.SetChooseFile([this] {
        return QFileDialog::getOpenFileName(
            &main_, QStringLiteral("Select File name to be load ..."), QDir::currentPath(),
            QStringLiteral("Load Files [*.txt] (*.txt)"));
    });

    main.scan().SetSource(ScanState::Pad, &padScan_);
    main.scan().SetSource(ScanState::File, &fileScan_);

    KeyFeatures& keys = main.keys().Features;
    keys.PadAppend = [this] { pad_.AppendPadRecord(); };
    keys.RecordMove = [this](bool next) {
        if (main_.State().Scanning()) {
            main_.WarnBeep();
            return;
        }
        // The records carry their own mode and filter.
        main_.tuner().BandDefaults = false;
        if (!StepListOrPad(list_, pad_, next)) main_.WarnBeep();
    };
    keys.ForgetScanFile = [this] { fileScan_.ForgetPath(); };
    main.OnOptions = [this] { Options(1, QString()); };
    main.OnLookNotes = [this](double hz) {
        if (!pad_.ReadPadRecord(ReadOp::GoTo, hz)) list_.ReadListRecord(ReadOp::GoTo, hz);
    };
    connect(&main, &Main::stopping, this, [this] {
        main_.scan().SetSource(ScanState::Pad, nullptr);
        main_.scan().SetSource(ScanState::File, nullptr);
        pad_.ReadPadRecord(ReadOp::Close);
        list_.ReadListRecord(ReadOp::Close);
    });
}

bool ListsRoom::Options(int tab, const QString& profile) {
    const int port = main_.settings.COM_Port;
    const QString speed = main_.settings.COM_Speed;
    Opts opts(main_.settings, &main_);
    opts.Sound(main_.meter());
    opts.Tabs(tab);
    opts.Profil(profile);
    opts.DbLinked(main_.State().DbLinked);
    QString rigAt;
    const bool rigOn = RigctldSetting(main_.registry(), &rigAt);
    opts.Rigctld(rigOn, rigAt);
    const QString schedule = main_.settings.SKD_File;
    opts.ScheduleFile(schedule);
    opts.SetBeep([this] { main_.WarnBeep(); });
    opts.SetOpenPortDialog([this] {
        main_.PortDialogRequested = true;
        main_.RunPortDialog();
    });
    std::vector<std::function<void(bool)>> closed;
    for (const auto& part : OptionsParts)
        if (part) closed.push_back(part(opts));
    if (ShowOptions) {
        opts.Activate();
        ShowOptions(opts);
    } else {
        opts.exec();
    }
    main_.ApplyPortChange(port, speed);
    main_.ShowAutoFlags();
    if (!opts.Cancelled() && (opts.RigctldOn() != rigOn || opts.RigctldAt() != rigAt)) {
        QString error;
        if (!ApplyRigctld(main_, main_.registry(), opts.RigctldOn(), opts.RigctldAt(), &error))
            QMessageBox::warning(&main_, main_.ProgramTitle, error);
    }
    if (!opts.Cancelled() && opts.ScheduleFile() != schedule) {
        QString error;
        if (!ApplyScheduleFile(main_, opts.ScheduleFile(), &error))
            QMessageBox::warning(&main_, main_.ProgramTitle, error);
    }
    for (const auto& done : closed)
        if (done) done(!opts.Cancelled());
    return !opts.Cancelled();
}

ListsRoom* WireLists(Main& main) {
    return new ListsRoom(main);
}
