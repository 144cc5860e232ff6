// Reply parsing rate: status lines through the receive assembly, as notifications deliver them.
// One status line takes 29 ms on the line at 4800 baud (14 characters of 10 bits); the
// "headroom" counter is how many times faster the parser is than the line.

#include <ostry/protocol.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocations{0};
}

// Count every allocation in the process, the driver library's included.
void* operator new(std::size_t n) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

QByteArray statusStream(int lines) {
    QByteArray s;
    for (int i = 0; i < lines; ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "I%d%d%d%08d%d\r", i % 2, i % 4, i % 9, 1000000 + i * 7,
                      i % 3);
        s += buf;
    }
    return s;
}

// Chunk: bytes per feed. 54 is the control's input buffer; 3 is the notification threshold.
void BM_StatusLines(benchmark::State& state) {
    const int lines = 4096;
    const QByteArray stream = statusStream(lines);
    const auto chunk = static_cast<qsizetype>(state.range(0));
    ostry::ReceiverState s;
    s.BWI = ostry::NominalBWI;
    s.BWH = ostry::NominalBWH;
    ostry::ReplyReader reader;
    reader.feed(s, stream); // warm up
    const long before = allocations.load();
    for (auto _ : state) {
        for (qsizetype i = 0; i < stream.size(); i += chunk) {
            const qsizetype n = std::min(chunk, stream.size() - i);
            auto r = reader.feed(s, stream.constData() + i, std::size_t(n));
            benchmark::DoNotOptimize(r);
        }
        benchmark::DoNotOptimize(s.Fr);
    }
    const double total = double(state.iterations()) * lines;
    state.counters["lines/s"] = benchmark::Counter(total, benchmark::Counter::kIsRate);
    state.counters["allocs/line"] = double(allocations.load() - before) / total;
    // lines/s x 0.029 s per line on the wire
    state.counters["headroom"] = benchmark::Counter(total * 0.029, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StatusLines)->Arg(3)->Arg(14)->Arg(54)->Arg(65536);

void BM_ParseStatusOnly(benchmark::State& state) {
    const std::string_view line = "I104094100001\r";
    ostry::StatusReply r{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(ostry::parseStatus(line, r));
        benchmark::DoNotOptimize(r);
    }
    state.counters["lines/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParseStatusOnly);

} // namespace
