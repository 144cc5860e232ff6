#include "memory/memory_commands.h"

#include "core/panel.h"
#include "memory/memory_file.h"
#include "memory/memory_host.h"
#include "memory/receiver_push.h"
#include "settings/settings.h"

#include <ostry/nrd535.h>

#include <QTimer>
#include <cmath>

namespace {

const QString MemExtension = QStringLiteral("mem");
const QString DefaultFile = QStringLiteral("default.mem");
// How often a running dump checks that the driver still waits for records.
constexpr int DumpCheckMs = 250;
constexpr int ResetChannelsLevel = 1;

QString threeDigits(int n) {
    return QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

MemoryCommands::MemoryCommands(Panel& panel, Nrd535& rx, Settings& settings, ChannelTable& channels,
                               QuickMemory& quick, QuickFilterTable& filters, MemoryHost& host,
                               QObject* parent)
    : QObject(parent), panel_(panel), rx_(rx), settings_(settings), channels_(channels),
      quick_(quick), filters_(filters), host_(host), dumpWatch_(new QTimer(this)) {
    dumpWatch_->setInterval(DumpCheckMs);
    // The driver gives up on a dump when the receiver stops sending records; so do we.
    connect(dumpWatch_, &QTimer::timeout, this, [this] {
        if (dumping_ && !rx_.DumpBusy()) endDump();
    });
}

MemoryCommands::~MemoryCommands() = default;

bool MemoryCommands::linkOpen() const {
    return panel_.State().Connected;
}

bool MemoryCommands::receiverReady() const {
    return linkOpen() && !panel_.State().PanelLocked;
}

int MemoryCommands::channelNumber(const QString& entry) {
    if (entry.trimmed().isEmpty()) return 0;
    bool ok = false;
    const double v = entry.trimmed().toDouble(&ok);
    if (!ok || v != std::trunc(v) || v < 0 || v >= ChannelTable::Count) return -1;
    return int(v);
}

void MemoryCommands::showIndicator(const QString& tag, int row) {
    panel_.ShowRecordNumber(tag, threeDigits(row));
    shownTag_ = tag;
    shownRow_ = row;
}

void MemoryCommands::storeCurrent(MemoryTable& table, int row, double hz) {
    MemoryRecord r = table.Row(row);
    r.Frequency = std::trunc(hz);
    // As the receiver is set: a command sent a moment ago counts before its report is in.
    r.Mode = rx_.InEffect(ostry::Setting::MD);
    r.Filter = rx_.InEffect(ostry::Setting::FT);
    r.Agc = rx_.InEffect(ostry::Setting::AG);
    table.SetRow(row, r);
    if (&table == &channels_) {
        channels_.SetModified(true);
        lastChannel_ = row;
    } else {
        lastQuick_ = row;
    }
}

bool MemoryCommands::Recall(MemoryTable& table, int row) {
    if (!table.InRange(row)) return false;
    const MemoryRecord r = table.Row(row);
    if (!(r.Frequency > 0 && r.Frequency < ostry::FrMax)) return false;
    panel_.TuneTo(r.Frequency, true, true, true);
    panel_.ShowMode(r.Mode, true);
    panel_.ShowFilter(r.Filter, true);
    panel_.ShowAgc(r.Agc, true);
    panel_.ShowRecordCaption(r.Frequency, r.Comment, !r.Comment.isEmpty());
    showIndicator(table.Tag(), row);
    if (&table == &channels_)
        lastChannel_ = row;
    else
        lastQuick_ = row;
    return true;
}

void MemoryCommands::ShowSourceTip(const MemoryTable& table) {
    panel_.SetSourceTip(table.SourceTip());
}

void MemoryCommands::ClearIndicator() {
    panel_.ClearChannelLabels();
    shownTag_.clear();
    shownRow_ = -1;
}

int MemoryCommands::LastRow(const MemoryTable& table) const {
    const int row = &table == &channels_ ? lastChannel_ : lastQuick_;
    return table.InRange(row) ? row : 0;
}

void MemoryCommands::ChannelCommand(QChar cmd, const QString& entry) {
    const QChar c = cmd.toUpper();
    if (c == u'*') {
        host_.OpenMemoryGrid(channels_, LastRow(channels_));
    } else if (c == u'E') {
        if (busy_) return panel_.WarnBeep();
        channels_.Erase();
        channels_.SetModified(true);
    } else if (c == u'D') {
        if (!linkOpen() || busy_) return panel_.WarnBeep();
        setBusy(true);
        dumping_ = true;
        dumpIsEdit_ = false;
        showIndicator(channels_.Tag(), 0);
        if (!rx_.CHUpd(0, ChannelTable::Count - 1, true)) {
            dumping_ = false;
            setBusy(false);
            panel_.WarnBeep();
            return;
        }
        dumpWatch_->start();
    } else if (c == u'Z') {
        if (!linkOpen() || busy_) return panel_.WarnBeep();
        rx_.Raz(ResetChannelsLevel);
    } else if (c == u'P') {
        if (!linkOpen() || busy_) return panel_.WarnBeep();
        if (entry.trimmed().isEmpty()) {
            PushTable(channels_, true);
        } else {
            const int n = channelNumber(entry);
            if (n < 0) return panel_.WarnBeep();
            rx_.Dump(qint16(n));
        }
    } else if (c == u'S') {
        SaveChannels();
    } else if (c == u'L') {
        LoadChannels(QString());
    } else if (isDigit(c)) {
        const QString name = BankFileName(c.digitValue());
        if (!FileExists(name)) return panel_.WarnBeep();
        LoadChannels(name);
    } else if (c == u'C') {
        const int n = channelNumber(entry);
        if (n < 0 || !linkOpen()) return panel_.WarnBeep();
        storeCurrent(channels_, n, rx_.Fr());
        showIndicator(channels_.Tag(), n);
    } else if (c == u'R') {
        const int n = channelNumber(entry);
        if (n < 0 || !receiverReady()) return panel_.WarnBeep();
        if (!Recall(channels_, n)) return panel_.WarnBeep();
    } else {
        panel_.WarnBeep();
    }
}

void MemoryCommands::QuickMemoryCommand(QChar cmd, const QString& entry) {
    const QChar c = cmd.toUpper();
    if (c == u'*') {
        host_.OpenMemoryGrid(quick_, LastRow(quick_));
        return;
    }
    if (c == u'E') {
        quick_.Erase();
        return;
    }
    if (!isDigit(c)) return panel_.WarnBeep();
    const int i = c.digitValue();
    const QString e = entry.trimmed();
    if (e.isEmpty()) {
        if (!receiverReady() || !Recall(quick_, i)) panel_.WarnBeep();
        return;
    }
    if (e == u'.' || e == u',') {
        if (!linkOpen()) return panel_.WarnBeep();
        storeCurrent(quick_, i, rx_.Fr());
        return;
    }
    const double khz = FieldNumber(QString(e).replace(u',', u'.'));
    if (khz == 0) {
        MemoryRecord r = quick_.Row(i);
        r.Frequency = 0;
        quick_.SetRow(i, r);
        return;
    }
    // Whole hertz as typed entry counts them (decimals past the third dropped): khz * 1000 in
    // floating point lands a hertz low for some three-decimal values ("1024.003").
    const double hz = std::trunc(std::round(khz * 1e6) / 1000);
    // The receiver's mode, filter and AGC go with the typed frequency.
    if (hz <= 0 || hz >= ostry::FrMax || !linkOpen()) return panel_.WarnBeep();
    storeCurrent(quick_, i, hz);
}

void MemoryCommands::KnownStationCommand(QChar cmd) {
    if (cmd == u'*')
        host_.OpenKnownLists();
    else
        panel_.WarnBeep();
}

void MemoryCommands::QuickFilterCommand(QChar cmd, const QString& entry) {
    const QChar c = cmd.toUpper();
    if (c == u'*') {
        host_.OpenQuickFilters();
        return;
    }
    static constexpr char16_t fixed[] = {u'W', u'I', u'N', u'A'};
    for (int code = 0; code < 4; ++code) {
        if (c == QChar(fixed[code])) {
            if (!linkOpen())
                panel_.WarnBeep();
            else
                panel_.ShowFilter(code, true);
            reapplyFrequency();
            return;
        }
    }
    if (!isDigit(c)) {
        panel_.WarnBeep();
        reapplyFrequency();
        return;
    }
    const int i = c.digitValue();
    const QString e = entry.trimmed();
    if (e.isEmpty()) {
        const QuickFilter& f = filters_.Row(i);
        if (!receiverReady() || QuickFilterTable::IsEmpty(f)) {
            panel_.WarnBeep();
        } else {
            rx_.FT(ostry::FT(f.Code));
            panel_.ShowFilter(f.Code, false);
        }
    } else if (e == u'.' || e == u',') {
        const int code = rx_.FT();
        if (!linkOpen() || !filters_.Set(i, code, filters_.Row(i).Name)) panel_.WarnBeep();
    } else {
        const double typed = FieldNumber(QString(e).replace(u',', u'.'));
        int b = 0;
        if (typed == 0)
            filters_.Clear(i);
        else if (!PresetBandwidth(typed, b) || !filters_.Set(i, b, QString::number(b)))
            panel_.WarnBeep();
    }
    reapplyFrequency();
}

void MemoryCommands::reapplyFrequency() {
    // Refreshes the panel from the receiver's frequency; nothing to send before it reported one.
    const double hz = rx_.Fr();
    if (linkOpen() && hz > 0) panel_.TuneTo(hz, true, true, false);
}

bool MemoryCommands::SaveChannels() {
    const QString name = host_.ChooseSaveFile(MemExtension);
    if (name.isEmpty()) return false;
    const SaveResult r = SaveChannelFile(name, channels_);
    if (!r.ok) {
        host_.ShowMessage(
            QStringLiteral("The channel table could not be saved to \"%1\": %2").arg(name, r.error),
            false, QStringLiteral("Error: File not saved"));
        return false;
    }
    channels_.SetModified(false);
    return true;
}

bool MemoryCommands::LoadChannels(const QString& name) {
    QString file = name;
    if (file.isEmpty()) file = host_.ChooseLoadFile(MemExtension);
    if (file.isEmpty()) return false;
    const LoadResult r = ::LoadChannelFile(file, channels_);
    if (r.badLine)
        host_.ShowMessage(QStringLiteral("File contains to many line fields !"), true,
                          QStringLiteral("Error: Invalid format"));
    return r.opened;
}

void MemoryCommands::StartUp() {
    if (FileExists(DefaultFile) && ::LoadChannelFile(DefaultFile, channels_).badLine)
        host_.ShowNotice(QStringLiteral("File contains to many line fields !"),
                         QStringLiteral("Error: Invalid format"));
    channels_.SetModified(false);
}

void MemoryCommands::ShutDown() {
    CancelPush();
    if (channels_.Modified()) SaveChannels();
}

void MemoryCommands::OnChn(bool table, int index, bool last, double frequency, int mode, int filter,
                           int agc) {
    MemoryTable& t = table ? static_cast<MemoryTable&>(channels_) : quick_;
    panel_.ShowRecordNumber(t.Tag(), QStringLiteral("L") + threeDigits(index));
    if (frequency != 0 && t.InRange(index)) {
        t.SetRow(index, MemoryRecord{frequency, mode, filter, agc, QString()});
        // The receiver still holds what a full dump brings; a row read from the grid is an edit.
        if (table && dumpIsEdit_) channels_.SetModified(true);
    }
    if (!last) return;
    // The end of any dump clears the indicator, whoever asked for it.
    if (dumping_)
        endDump();
    else
        ClearIndicator();
}

void MemoryCommands::endDump() {
    dumping_ = false;
    dumpWatch_->stop();
    panel_.ClearChannelLabels();
    shownTag_.clear();
    shownRow_ = -1;
    setBusy(false);
    emit dumpFinished();
}

bool MemoryCommands::DumpRow(MemoryTable& table, int row) {
    if (!linkOpen() || busy_ || !table.InRange(row)) {
        panel_.WarnBeep();
        return false;
    }
    setBusy(true);
    dumping_ = true;
    dumpIsEdit_ = true;
    if (!rx_.CHUpd(qint16(row), qint16(row), table.IsChannelTable())) {
        dumping_ = false;
        setBusy(false);
        panel_.WarnBeep();
        return false;
    }
    dumpWatch_->start();
    return true;
}

bool MemoryCommands::PushTable(MemoryTable& table, bool skipEmpty) {
    if (!linkOpen() || busy_) {
        panel_.WarnBeep();
        return false;
    }
    QList<ReceiverPush::Item> items;
    for (int row = 0; row < table.Size(); ++row) {
        const MemoryRecord& r = table.Row(row);
        if (skipEmpty && r.Frequency == 0) continue;
        items.append({row, r});
    }
    const QString tag = shownTag_;
    const int shown = shownRow_;
    setBusy(true);
    push_ = new ReceiverPush(rx_, std::move(items), settings_.FLT_Aux, this);
    const QString tableTag = table.Tag();
    connect(push_, &ReceiverPush::rowSent, this, [this, tableTag](int, int channel) {
        panel_.ShowRecordNumber(tableTag, threeDigits(channel));
        emit rowSent(channel);
    });
    connect(push_, &ReceiverPush::finished, this, [this, tag, shown](bool) {
        // The indicator shows again what it showed before the push, unless the receiver has
        // left that row since.
        const MemoryTable& before = tag == channels_.Tag() ? static_cast<MemoryTable&>(channels_)
                                                           : static_cast<MemoryTable&>(quick_);
        if (shown >= 0 && before.InRange(shown) && before.Row(shown).Frequency == rx_.FrInEffect())
            showIndicator(tag, shown);
        else
            panel_.ClearChannelLabels();
        push_->deleteLater();
        push_ = nullptr;
        setBusy(false);
        emit pushFinished();
    });
    push_->Start();
    return true;
}

void MemoryCommands::CancelPush() {
    if (push_) push_->Cancel();
}

void MemoryCommands::setBusy(bool busy) {
    if (busy_ == busy) return;
    busy_ = busy;
    emit busyChanged(busy);
}
