// The occupancy picture for 200 sweeps of 1 000 steps: the whole picture drawn again, one
// sweep's row as it comes in, and the window painting it at 1000 x 600.

#include "bench_figures.h"
#include "scan/lockouts.h"
#include "scan/occupancy.h"
#include "scan/ui/occupancy_view.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>

#include <random>

namespace {

struct Filled {
    OccupancyGrid grid;
    LockoutList locks;
    Filled() {
        QList<double> columns;
        for (int c = 0; c < 1000; ++c) columns << 9000000 + 1000.0 * c;
        grid.Reset(columns);
        std::mt19937 gen(5);
        std::uniform_real_distribution<double> db(-2, 45);
        for (int s = 0; s < 200; ++s)
            for (int c = 0; c < 1000; ++c) grid.Set(s, c, db(gen));
        for (int s = 0; s < 200; s += 7) grid.MarkHit(s, (s * 37) % 1000);
        for (int k = 0; k < 20; ++k) locks.Add({9000000 + 50000.0 * k, 3000, {}});
    }
};

void BM_RenderAll(benchmark::State& state) {
    Filled f;
    for (auto _ : state) {
        QImage img = OccupancyPicture::Render(f.grid, &f.locks);
        benchmark::DoNotOptimize(img.constBits());
    }
}
BENCHMARK(BM_RenderAll)->Unit(benchmark::kMillisecond);

void BM_RenderRow(benchmark::State& state) {
    Filled f;
    QImage img = OccupancyPicture::Render(f.grid, &f.locks);
    int row = 0;
    for (auto _ : state) {
        OccupancyPicture::RenderRow(f.grid, &f.locks, row, img);
        row = (row + 1) % 200;
    }
}
BENCHMARK(BM_RenderRow)->Unit(benchmark::kMicrosecond);

void BM_ViewPaint(benchmark::State& state) {
    Filled f;
    OccupancyView view;
    view.resize(1000, 600);
    view.SetGrid(&f.grid, &f.locks);
    QPixmap target(view.size());
    for (auto _ : state) view.render(&target);
}
BENCHMARK(BM_ViewPaint)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    return RunBenchmarks<QApplication>(argc, argv);
}
