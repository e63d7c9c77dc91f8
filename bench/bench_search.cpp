// Plain-text and regular-expression search over a generated 100 MiB SQL script held in the text
// store, read through the character stream: every line holding a match is counted, forwards and
// backwards, as `grep -c` would (bench/compare-grep.sh runs grep on the same text).
//
//   build-release/bin/bench_search
//
// bytes_per_second is the script's size per pass.

#include <benchmark/benchmark.h>

#include <string>

#include "editor/text_store.h"
#include "script_generator.h"
#include "search_count.h"

namespace {

using tarnwick::TTextStore;

const TTextStore& Script()
{
    static TTextStore* store = [] {
        tarnwick::bench::ScriptOptions options;
        options.targetBytes = std::uint64_t(100) << 20;
        auto* s = new TTextStore;
        s->SetText(tarnwick::bench::GenerateScript(options));
        return s;
    }();
    return *store;
}

void Run(benchmark::State& state, const char* pattern, bool regex, bool backwards)
{
    const TTextStore& store = Script();
    std::int64_t lines = 0;
    for (auto _ : state) {
        lines = tarnwick::bench::CountMatchingLines(store, pattern, regex, backwards);
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = static_cast<double>(lines);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * store.CharCount());
}

}  // namespace

// A word the script never holds (a scan of the whole text), a frequent one, and regular
// expressions from a literal prefix to classes that start anywhere.
BENCHMARK_CAPTURE(Run, plain_absent_forward, "zebra_crossing", false, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, plain_absent_backward, "zebra_crossing", false, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, plain_frequent_forward, "customer_id", false, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, plain_frequent_backward, "customer_id", false, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, regex_literal_forward, "tablespace", true, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, regex_select_from_forward, "select.*from", true, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, regex_select_from_backward, "select.*from", true, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, regex_class_forward, "varchar2\\([0-9]+\\)", true, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, regex_word_suffix_forward, "[a-z_]+_id", true, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, regex_word_suffix_backward, "[a-z_]+_id", true, true)->Unit(benchmark::kMillisecond);
