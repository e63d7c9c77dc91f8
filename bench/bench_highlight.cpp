// A full highlighting pass of the built-in SQL highlighter over a generated 100 MiB PL/SQL
// script held in the text store, as the editor runs it before an export: once over the script
// as it is, once over the same script inside one block comment.
//
//   build-release/bin/bench_highlight
//
// bytes_per_second is the script's size per pass.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "highlight/builtin_sql.h"
#include "highlight/rescan.h"
#include "script_generator.h"

namespace {

using namespace tarnwick;

std::string Script()
{
    bench::ScriptOptions options;
    options.targetBytes = std::uint64_t(100) << 20;
    return bench::GenerateScript(options);
}

void Pass(benchmark::State& state, bool oneComment)
{
    std::string text = Script();
    if (oneComment) {
        // One comment around everything: no "*/" inside may close it early.
        for (std::size_t at = text.find("*/"); at != std::string::npos; at = text.find("*/", at)) text[at] = '+';
        text = "/*" + text + "*/";
    }
    TTextStore store;
    store.SetText(text);
    text = std::string();
    VOzuvavIdavParser parser;
    LoadBuiltInSqlHighlighter(parser);
    HighlightPassOptions all;
    all.all = true;
    for (auto _ : state) {
        const HighlightPassResult r = RescanFrom(store, parser, 0, all);
        benchmark::DoNotOptimize(r.linesWritten);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * store.CharCount());
}

}  // namespace

BENCHMARK_CAPTURE(Pass, script, false)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(Pass, one_block_comment, true)->Unit(benchmark::kMillisecond)->Iterations(3);
