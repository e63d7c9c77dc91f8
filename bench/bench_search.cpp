// Plain-text and regular-expression search over a generated 100 MiB SQL script held in the text
// store, read through the character stream: every line holding a match is counted, forwards and
// backwards, as `grep -c` would (bench/compare-grep.sh runs grep on the same text). Then single
// searches whose one try runs over a whole 100 MiB text: they take time in proportion to it and
// are never refused as too complex.
//
//   build-release/bin/bench_search
//
// bytes_per_second is the text's size per pass.

#include <benchmark/benchmark.h>

#include <map>
#include <stdexcept>
#include <string>
#include <tuple>

#include "editor/regex.h"
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

// 100 MiB of `fill` in lines of `line` characters (0: one line), ending in `last`.
const TTextStore& LongText(char fill, std::size_t line, char last)
{
    static std::map<std::tuple<char, std::size_t, char>, TTextStore*> texts;
    TTextStore*& store = texts[{fill, line, last}];
    if (!store) {
        std::string text(std::size_t(100) << 20, fill);
        if (line > 0)
            for (std::size_t i = line; i < text.size(); i += line + 1) text[i] = '\n';
        text.back() = last;
        store = new TTextStore;
        store->SetText(text);
    }
    return *store;
}

// One forward search from the start; `expect` is the start of the match, or -1 for none.
void LongTry(benchmark::State& state, const char* pattern, char fill, std::size_t line, char last, std::int64_t expect)
{
    const TTextStore& store = LongText(fill, line, last);
    tarnwick::TREParser re;
    if (!re.SetExpression(pattern)) throw std::runtime_error(re.ErrorText());
    for (auto _ : state) {
        tarnwick::TEdStream stream(&store);
        const bool found = re.Search(stream, true);
        if ((found ? re.MatchStart() : -1) != expect) state.SkipWithError("wrong result");
    }
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

// One try over the whole text: [^Q]* takes every line and steps back over all of them.
BENCHMARK_CAPTURE(LongTry, try_whole_text_absent, "[^Q]*Q", 'x', 79, 'x', -1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LongTry, try_whole_text_last, "[^Q]*Q", 'x', 79, 'Q', 0)->Unit(benchmark::kMillisecond);
// One line of 100 MiB.
BENCHMARK_CAPTURE(LongTry, try_one_long_line, "a*b", 'a', 0, 'a', -1)->Unit(benchmark::kMillisecond);
