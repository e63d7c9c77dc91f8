// The text store under load: loading a large script, single-character edits at random places
// and at the end as the document grows, and reading everything back through the character
// stream.
//
//   build-release/bin/bench_text_store
//
// Counters: bytes_per_second (load and read); overhead_B/line, the store's own bytes beyond the
// characters per line; rss_B/line, the process's resident growth during the load beyond the
// characters, per line; ns per edit from the edit benchmarks' time per iteration.

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "editor/char_streams.h"
#include "editor/text_store.h"

namespace {

using tarnwick::TTextStore;

// A script of `lines` lines of SQL-like text, 10 to 90 characters each, CR LF breaks.
const std::string& Script(std::int64_t lines)
{
    static std::map<std::int64_t, std::string> cache;
    auto it = cache.find(lines);
    if (it != cache.end()) return it->second;
    static const char* words[] = {"select", "from", "where",       "insert",     "into",   "values", "update",
                                  "set",    "and",  "customer_id", "order_date", "'text'", "42",     "(",
                                  ")",      ",",    "=",           "--",         "sum(x)"};
    std::mt19937 rng(7);
    std::string s;
    s.reserve(static_cast<std::size_t>(lines) * 52);
    for (std::int64_t i = 0; i < lines; ++i) {
        const std::size_t target = 10 + rng() % 81;
        const std::size_t start = s.size();
        if (i % 7 == 0) s += '\t';
        while (s.size() - start < target) {
            s += words[rng() % (sizeof words / sizeof *words)];
            s += ' ';
        }
        s += "\r\n";
    }
    return cache.emplace(lines, std::move(s)).first->second;
}

long ResidentBytes()
{
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

void BM_Load(benchmark::State& state)
{
    const std::string& text = Script(state.range(0));
    double overhead = 0, rss = 0;
    for (auto _ : state) {
        auto store = std::make_unique<TTextStore>();
        const long before = ResidentBytes();
        store->SetText(text);
        const long after = ResidentBytes();
        benchmark::DoNotOptimize(store->LineCount());
        const double lines = static_cast<double>(store->LineCount());
        overhead = static_cast<double>(store->OverheadBytes()) / lines;
        rss = (static_cast<double>(after - before) - static_cast<double>(store->CharCount())) / lines;
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
    state.counters["overhead_B/line"] = overhead;
    state.counters["rss_B/line"] = rss;
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_Load)->Arg(2'000'000)->Unit(benchmark::kMillisecond)->Iterations(3);

// One iteration: a character inserted at a random place and one deleted at another.
void BM_RandomEdits(benchmark::State& state)
{
    TTextStore store;
    store.SetText(Script(state.range(0)));
    std::mt19937_64 rng(1);
    for (auto _ : state) {
        const std::int64_t at = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(store.CharCount()));
        store.Insert(at, "x");
        const std::int64_t del = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(store.CharCount()));
        store.Delete(del, del + 1);
    }
    state.counters["lines"] = static_cast<double>(store.LineCount());
}
BENCHMARK(BM_RandomEdits)->Arg(10'000)->Arg(100'000)->Arg(2'000'000)->Iterations(10'000)->Unit(benchmark::kMicrosecond);

// One iteration: a character typed at the end of the document and removed again, then a line
// break typed there.
void BM_EditsAtEnd(benchmark::State& state)
{
    TTextStore store;
    store.SetText(Script(state.range(0)));
    store.Insert(store.CharCount(), "last line");
    for (auto _ : state) {
        store.Insert(store.CharCount(), "x");
        store.Delete(store.CharCount() - 1, store.CharCount());
    }
    state.counters["lines"] = static_cast<double>(store.LineCount());
}
BENCHMARK(BM_EditsAtEnd)->Arg(10'000)->Arg(100'000)->Arg(2'000'000)->Iterations(10'000)->Unit(benchmark::kMicrosecond);

// One iteration: a line break typed in the middle of a random line and removed again, which
// rebuilds records and moves every later line.
void BM_LineBreakEdits(benchmark::State& state)
{
    TTextStore store;
    store.SetText(Script(state.range(0)));
    std::mt19937_64 rng(2);
    for (auto _ : state) {
        const std::int64_t line = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(store.LineCount()));
        const std::int64_t at = store.FromLine(line).offset + 3;
        store.Insert(at, "\r\n");
        store.Delete(at, at + 1);
    }
}
BENCHMARK(BM_LineBreakEdits)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(2'000'000)
    ->Iterations(10'000)
    ->Unit(benchmark::kMicrosecond);

void BM_ReadThroughStream(benchmark::State& state)
{
    TTextStore store;
    store.SetText(Script(state.range(0)));
    for (auto _ : state) {
        tarnwick::TEdStream s(&store);
        unsigned long sum = 0;
        for (; !s.AtEnd(); s.NextChar()) sum += static_cast<unsigned char>(s.CurrentChar());
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * store.CharCount());
}
BENCHMARK(BM_ReadThroughStream)->Arg(2'000'000)->Unit(benchmark::kMillisecond);

void BM_ReadBlocksThroughStream(benchmark::State& state)
{
    TTextStore store;
    store.SetText(Script(state.range(0)));
    std::string buffer(1 << 16, '\0');
    for (auto _ : state) {
        tarnwick::TEdStream s(&store);
        std::size_t total = 0;
        while (std::size_t n = s.Read(buffer.data(), buffer.size())) total += n;
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * store.CharCount());
}
BENCHMARK(BM_ReadBlocksThroughStream)->Arg(2'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
