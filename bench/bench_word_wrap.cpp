// Word wrap of a large document: wrapping a 100 MB script (about two million lines) at 80 columns,
// re-wrapping it at another width, un-wrapping it, and re-wrapping one logical line after an edit.
//
//   build-release/bin/bench_word_wrap
//
// Counters: lines before and records after wrapping; bytes_per_second over the document's text.

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "editor/text_store.h"
#include "editor/word_wrap.h"
#include "script_generator.h"

namespace {

using tarnwick::TTextStore;
using tarnwick::WrapRule;

TTextStore& Document()
{
    static TTextStore* store = [] {
        tarnwick::bench::ScriptOptions options;
        options.targetBytes = 100u << 20;
        options.seed = 11;
        auto* s = new TTextStore();
        s->SetText(tarnwick::bench::GenerateScript(options));
        return s;
    }();
    return *store;
}

WrapRule WrapAt(std::int32_t column)
{
    WrapRule rule;
    rule.wordWrap = true;
    rule.wrapColumn = column;
    rule.charWidth = 8;
    rule.tabs.tabDefault = 4;
    return rule;
}

void BM_WrapDocument(benchmark::State& state)
{
    TTextStore& store = Document();
    const std::int64_t lines = store.LineCount();
    std::int64_t records = 0;
    for (auto _ : state) {
        records = tarnwick::WrapDocument(store, WrapAt(80)).newCount;
        state.PauseTiming();
        tarnwick::UnwrapDocument(store);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * store.CharCount());
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["records"] = static_cast<double>(records);
}
BENCHMARK(BM_WrapDocument)->Unit(benchmark::kMillisecond)->Iterations(3);

// The width changes while the document is wrapped (a window resize with wrap column 0).
void BM_RewrapOtherWidth(benchmark::State& state)
{
    TTextStore& store = Document();
    tarnwick::WrapDocument(store, WrapAt(80));
    int flip = 0;
    for (auto _ : state) tarnwick::WrapDocument(store, WrapAt(++flip % 2 ? 100 : 80));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * store.CharCount());
    tarnwick::UnwrapDocument(store);
}
BENCHMARK(BM_RewrapOtherWidth)->Unit(benchmark::kMillisecond)->Iterations(4);

void BM_UnwrapDocument(benchmark::State& state)
{
    TTextStore& store = Document();
    for (auto _ : state) {
        state.PauseTiming();
        tarnwick::WrapDocument(store, WrapAt(80));
        state.ResumeTiming();
        tarnwick::UnwrapDocument(store);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * store.CharCount());
    state.counters["lines"] = static_cast<double>(store.LineCount());
}
BENCHMARK(BM_UnwrapDocument)->Unit(benchmark::kMillisecond)->Iterations(3);

// One iteration: a word typed into a random line of the wrapped document and the line re-wrapped,
// then the word removed and the line re-wrapped again.
void BM_EditAndRewrapLine(benchmark::State& state)
{
    TTextStore& store = Document();
    const WrapRule rule = WrapAt(80);
    tarnwick::WrapDocument(store, rule);
    std::mt19937_64 rng(3);
    for (auto _ : state) {
        const std::int64_t line = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(store.LineCount()));
        const std::int64_t at = store.FromLine(line).offset;
        store.Insert(at, "inserted words ");
        tarnwick::WrapLogicalLine(store, line, rule);
        store.Delete(at, at + 15);
        tarnwick::WrapLogicalLine(store, store.FromOffset(at).line, rule);
    }
    tarnwick::UnwrapDocument(store);
}
BENCHMARK(BM_EditAndRewrapLine)->Unit(benchmark::kMicrosecond)->Iterations(10'000);

}  // namespace
