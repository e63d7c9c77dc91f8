// One full highlighting pass of the built-in SQL highlighter over a generated script, and
// nothing else worth counting: for instruction counts, which do not swing with the machine.
//
//   valgrind --tool=callgrind --toggle-collect='tarnwick::RescanFrom*' build-release/bin/tarnwick-highlight-pass 4M
//
// SIZE as 4M (K, M, G suffixes); the pass runs PASSES times (1 by default).

#include <cstdio>
#include <cstdlib>
#include <string>

#include "highlight/builtin_sql.h"
#include "highlight/rescan.h"
#include "script_generator.h"

int main(int argc, char** argv)
{
    using namespace tarnwick;
    const auto size = bench::ParseByteSize(argc > 1 ? argv[1] : "4M");
    const int passes = argc > 2 ? std::atoi(argv[2]) : 1;
    if (argc > 3 || !size || passes < 1) {
        std::fprintf(stderr, "usage: tarnwick-highlight-pass [SIZE] [PASSES]\n");
        return 2;
    }
    bench::ScriptOptions options;
    options.targetBytes = *size;
    TTextStore store;
    store.SetText(bench::GenerateScript(options));
    VOzuvavIdavParser parser;
    LoadBuiltInSqlHighlighter(parser);
    HighlightPassOptions all;
    all.all = true;
    std::int64_t lines = 0;
    for (int i = 0; i < passes; ++i) lines += RescanFrom(store, parser, 0, all).linesWritten;
    std::printf("%lld characters, %lld lines coloured\n", static_cast<long long>(store.CharCount()),
                static_cast<long long>(lines));
    return 0;
}
