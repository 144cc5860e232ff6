// The scratch pad and a frequency list of 100 000 lines each, in a temporary folder. The driver
// is not connected (its setters do nothing), so the figures are the readers' own cost: the
// file access and parsing of one step.
//
// - Next over the whole file, wrapping (average per step).
// - Previous and Next near the end of the file, within the 81 remembered records.
// - GoTo a remembered frequency near the end.
// - Append one record to a pad of 100 000 lines.
// - Memory: resident-set growth over two full passes of each file (counter "rss_kib").
// Figures only; nothing here fails.

#include "bench_figures.h"
#include "core/panel.h"
#include "lists/import_profile.h"
#include "lists/list_reader.h"
#include "lists/scratch_pad.h"
#include "settings/settings.h"

#include <benchmark/benchmark.h>
#include <ostry/nrd535.h>

#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr int Lines = 100000;

class QuietPanel : public Panel {
public:
    const ProgramState& State() const override { return state; }
    void TuneTo(double hz, bool, bool, bool) override { last = hz; }
    void ShowMode(int, bool) override {}
    void ShowFilter(int, bool) override {}
    void ShowAgc(int, bool) override {}
    void ShowNoiseBlanker(int, bool) override {}
    void ShowRecordNumber(const QString&, const QString& n) override { number = n; }
    void ShowRecordCaption(double, const QString&, bool) override {}
    void ClearChannelLabels() override {}
    void SetSourceTip(const QString&) override {}
    int CommentWidth() const override { return 400; }
    void SetPanelLocked(bool) override {}
    void StopScan() override {}
    void WarnBeep() override {}

    ProgramState state;
    double last = 0;
    QString number;
};

struct Files {
    QTemporaryDir dir;
    QString pad = dir.filePath(QStringLiteral("scratch.log"));
    QString list = dir.filePath(QStringLiteral("list.txt"));

    Files() {
        QFile p(pad);
        QFile l(list);
        if (!p.open(QIODevice::WriteOnly) || !l.open(QIODevice::WriteOnly)) std::abort();
        QByteArray pb, lb = "#!KHZ\r\n";
        for (int i = 0; i < Lines; ++i) {
            // 100 000 distinct frequencies from 1 MHz up in 250 Hz steps.
            const qint64 hz = 1000000 + qint64(i) * 250;
            pb += "       " + QByteArray::number(hz) + "|4|0|0|1/2/26 10:00|Station " +
                  QByteArray::number(i) + "\r\n";
            lb += QByteArray::number(hz / 1000.0, 'f', 3) + " Station " + QByteArray::number(i) +
                  "\r\n";
        }
        p.write(pb);
        l.write(lb);
    }
};

Files& files() {
    static Files f;
    return f;
}

struct Rig {
    Nrd535 rx;
    QuietPanel panel;
    Settings settings;
    ScratchPad pad{panel, rx, settings};
    ListReader list{panel, rx, settings};

    Rig() {
        settings.SMT_Pad = files().pad;
        settings.IMP_Fil = QStringLiteral("none");
        ImportLayout l;
        ApplyProfileLine(u"KHZ|F(0)|C(200)", l);
        l.ToSettings(settings);
        list.SetPath(files().list);
        pad.SetDescribe([] { return std::optional<QString>(QStringLiteral("RTTY/50 - bench")); });
    }
    bool read(bool isPad, ReadOp op, double hz = 0) {
        return isPad ? pad.ReadPadRecord(op, hz) : list.ReadListRecord(op, hz);
    }
    // Reads forward to record index n (0-based).
    void advance(bool isPad, qint64 n) {
        read(isPad, ReadOp::Start);
        for (qint64 i = 0; i < n; ++i) read(isPad, ReadOp::Next);
    }
};

long rssKib() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> v = f.readAll().split(' ');
    return v.size() > 1 ? v[1].toLong() * 4 : 0;
}

void BM_Next(benchmark::State& state) {
    const bool isPad = state.range(0) == 0;
    Rig rig;
    rig.read(isPad, ReadOp::Start);
    for (auto _ : state) benchmark::DoNotOptimize(rig.read(isPad, ReadOp::Next));
    state.SetLabel(isPad ? "pad" : "list");
}

void BM_BackAndForthNearEnd(benchmark::State& state) {
    const bool isPad = state.range(0) == 0;
    Rig rig;
    rig.advance(isPad, Lines - 1);
    bool back = true;
    int moved = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(rig.read(isPad, back ? ReadOp::Previous : ReadOp::Next));
        if (++moved == 80) moved = 0, back = !back;
    }
    state.SetLabel(isPad ? "pad" : "list");
}

void BM_GoToNearEnd(benchmark::State& state) {
    const bool isPad = state.range(0) == 0;
    Rig rig;
    rig.advance(isPad, Lines - 1);
    const double hz = 1000000 + double(Lines - 40) * 250;
    for (auto _ : state) benchmark::DoNotOptimize(rig.read(isPad, ReadOp::GoTo, hz));
    state.SetLabel(isPad ? "pad" : "list");
}

void BM_Append(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("scratch.log"));
    QFile::copy(files().pad, path);
    Rig rig;
    rig.settings.SMT_Pad = path;
    for (auto _ : state) benchmark::DoNotOptimize(rig.pad.AppendPadRecord());
}

void BM_MemoryOfFullPass(benchmark::State& state) {
    const bool isPad = state.range(0) == 0;
    for (auto _ : state) {
        Rig rig;
        rig.read(isPad, ReadOp::Start);
        const long before = rssKib();
        for (int i = 0; i < 2 * Lines; ++i) rig.read(isPad, ReadOp::Next);
        state.counters["rss_kib"] = double(rssKib() - before);
    }
    state.SetLabel(isPad ? "pad" : "list");
}

} // namespace

BENCHMARK(BM_Next)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BackAndForthNearEnd)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GoToNearEnd)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Append)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemoryOfFullPass)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv);
}
