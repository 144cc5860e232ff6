#include "memory/ui/memory_wiring.h"

#include "input/keys.h"
#include "input/room_host.h"
#include "memory/memory_commands.h"
#include "memory/memory_scan.h"
#include "memory/memory_table.h"
#include "memory/quick_filters.h"
#include "memory/settings_rows.h"
#include "memory/ui/memory_dialogs.h"
#include "scan/scan_engine.h"
#include "settings/settings.h"

#include <fennick/freqs.h>
#include <ostry/nrd535.h>

#include <QWidget>

MemoryRoom::MemoryRoom(RoomHost& host)
    : QObject(&host.window()), channels_(std::make_unique<ChannelTable>()),
      quick_(std::make_unique<QuickMemory>(host.config().MEM_Inf)),
      filters_(std::make_unique<QuickFilterTable>(host.config().FLT_Inf)),
      dialogs_(std::make_unique<MemoryDialogs>(host.window(), host.receiver(), host.panel(),
                                               host.config())) {
    setObjectName(QStringLiteral("MemoryRoom"));
    commands_ = std::make_unique<MemoryCommands>(host.panel(), host.receiver(), host.config(),
                                                 *channels_, *quick_, *filters_, *dialogs_);
    quickScan_ = std::make_unique<MemoryScan>(*commands_, *quick_);
    channelScan_ = std::make_unique<MemoryScan>(*commands_, *channels_);
    dialogs_->SetCommands(commands_.get());
    dialogs_->SetScans(quickScan_.get(), channelScan_.get());

    MemoryCommands& memory = *commands_;
    KeyFeatures& keys = host.keyFeatures();
    keys.QuickFilter = [&memory](QChar c, const QString& e) { memory.QuickFilterCommand(c, e); };
    keys.QuickMemory = [&memory](QChar c, const QString& e) { memory.QuickMemoryCommand(c, e); };
    keys.Channel = [&memory](QChar c, const QString& e) { memory.ChannelCommand(c, e); };
    keys.KnownList = [&memory](QChar c) { memory.KnownStationCommand(c); };

    // The tables for the other rooms (the web page shows them), by name, with a change notice.
    const auto share = [this, &host](const QString& name, MemoryTable& table) {
        host.Share(name, this, [&table] {
            const std::span<const MemoryRecord> rows = table.Rows();
            return QVariant::fromValue(QList<MemoryRecord>(rows.begin(), rows.end()));
        });
        connect(&table, &MemoryTable::rowsChanged, this,
                [&host, name] { host.SharedChanged(name); });
    };
    share(QStringLiteral("memory/quick"), *quick_);
    share(QStringLiteral("memory/channels"), *channels_);

    host.scan().SetSource(ScanState::QuickMemory, quickScan_.get());
    host.scan().SetSource(ScanState::Channels, channelScan_.get());

    connect(&host.receiver(), &Nrd535::OnChn, this,
            [&memory](bool tb, qint16 nm, bool st, double fr, ostry::MD md, ostry::FT ft,
                      ostry::AG ag, ostry::ONOFF) { memory.OnChn(tb, nm, st, fr, md, ft, ag); });

    dialogs_->KnownLabels = [&host] {
        QStringList labels;
        for (int i = 0;; ++i) {
            const std::string label = host.freqs().Label(i);
            if (label.empty() || i >= 1000) break;
            labels << QString::fromStdString(label);
        }
        return labels;
    };
    dialogs_->ScanRequested = [&host](MemoryTable& table) {
        const ProgramState& s = host.panel().State();
        // As the scan keys: a scan only steps while the receiver is held.
        if (!s.Connected || !s.RemoteHeld || s.Scanning()) return host.panel().WarnBeep();
        host.config().SCN_Mode =
            int(table.IsChannelTable() ? ScanCode::Channels : ScanCode::QuickMemory);
        host.scan().StartScan();
    };

    host.WhenStarted(this, [&host, this] {
        // The rows again through the room's own reading, which keeps every field in range.
        ReadQuickMemories(host.registry(), host.config().MEM_Inf);
        ReadQuickFilters(host.registry(), host.config().FLT_Inf);
        commands_->StartUp();
    });
    host.WhenStopping(this, [&host, this] {
        commands_->CancelPush();
        // Every row, erased ones too, so an erased memory stays erased after a restart.
        if (!host.Minimized()) WriteQuickMemories(host.registry(), host.config().MEM_Inf);
    });
    // The channel-table question once the settings are safe.
    host.WhenSettingsWritten(this, [this] { commands_->ShutDown(); });
}

MemoryRoom::~MemoryRoom() = default;
