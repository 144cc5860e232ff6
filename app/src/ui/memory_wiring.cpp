#include "ui/memory_wiring.h"

#include "input/keys.h"
#include "memory/memory_commands.h"
#include "memory/memory_scan.h"
#include "memory/memory_table.h"
#include "memory/quick_filters.h"
#include "memory/settings_rows.h"
#include "scan/scan_engine.h"
#include "ui/main_window.h"
#include "ui/memory_dialogs.h"

#include <fennick/freqs.h>
#include <ostry/nrd535.h>

namespace {
// "SCN_Mode" of the two memory scans.
constexpr int ChannelScanMode = 5;
constexpr int QuickScanMode = 6;
} // namespace

MemoryRoom::MemoryRoom(Main& main)
    : QObject(&main), channels_(std::make_unique<ChannelTable>()),
      quick_(std::make_unique<QuickMemory>(main.settings.MEM_Inf)),
      filters_(std::make_unique<QuickFilterTable>(main.settings.FLT_Inf)),
      dialogs_(std::make_unique<MemoryDialogs>(main, main.receiver(), main, main.settings)) {
    setObjectName(QStringLiteral("MemoryRoom"));
    commands_ = std::make_unique<MemoryCommands>(main, main.receiver(), main.settings, *channels_,
                                                 *quick_, *filters_, *dialogs_);
    quickScan_ = std::make_unique<MemoryScan>(*commands_, *quick_);
    channelScan_ = std::make_unique<MemoryScan>(*commands_, *channels_);
    dialogs_->SetCommands(commands_.get());
    dialogs_->SetScans(quickScan_.get(), channelScan_.get());
}

MemoryRoom::~MemoryRoom() = default;

MemoryRoom& WireMemory(Main& main) {
    auto* room = new MemoryRoom(main);
    MemoryCommands& memory = room->Commands();

    KeyFeatures& keys = main.keys().Features;
    keys.QuickFilter = [&memory](QChar c, const QString& e) { memory.QuickFilterCommand(c, e); };
    keys.QuickMemory = [&memory](QChar c, const QString& e) { memory.QuickMemoryCommand(c, e); };
    keys.Channel = [&memory](QChar c, const QString& e) { memory.ChannelCommand(c, e); };
    keys.KnownList = [&memory](QChar c) { memory.KnownStationCommand(c); };

    main.scan().SetSource(ScanState::QuickMemory, &room->QuickScan());
    main.scan().SetSource(ScanState::Channels, &room->ChannelScan());

    QObject::connect(&main.receiver(), &Nrd535::OnChn, room,
                     [&memory](bool tb, qint16 nm, bool st, double fr, ostry::MD md, ostry::FT ft,
                               ostry::AG ag,
                               ostry::ONOFF) { memory.OnChn(tb, nm, st, fr, md, ft, ag); });

    MemoryDialogs& dialogs = room->Dialogs();
    dialogs.KnownLabels = [&main] {
        QStringList labels;
        for (int i = 0;; ++i) {
            const std::string label = main.freqs().Label(i);
            if (label.empty() || i >= 1000) break;
            labels << QString::fromStdString(label);
        }
        return labels;
    };
    dialogs.ScanRequested = [&main](MemoryTable& table) {
        const ProgramState& s = main.State();
        // As the scan keys: a scan only steps while the receiver is held.
        if (!s.Connected || !s.RemoteHeld || s.Scanning()) return main.WarnBeep();
        main.settings.SCN_Mode = table.IsChannelTable() ? ChannelScanMode : QuickScanMode;
        main.scan().StartScan();
    };

    QObject::connect(&main, &Main::started, room, [&main, room] {
        // The rows again through the room's own reading, which keeps every field in range.
        ReadQuickMemories(main.registry(), main.settings.MEM_Inf);
        ReadQuickFilters(main.registry(), main.settings.FLT_Inf);
        room->Commands().StartUp();
    });
    QObject::connect(&main, &Main::stopping, room, [&main, room] {
        room->Commands().CancelPush();
        // Every row, erased ones too, so an erased memory stays erased after a restart.
        if (!main.isMinimized()) WriteQuickMemories(main.registry(), main.settings.MEM_Inf);
    });
    // The channel-table question once the settings are safe.
    QObject::connect(&main, &Main::settingsWritten, room, [room] { room->Commands().ShutDown(); });
    return *room;
}
