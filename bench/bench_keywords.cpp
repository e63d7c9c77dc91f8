// Keyword matching as the highlighter does it: a trie of 2,000 words spread over four state sets,
// asked for the longest match at every position of a 10 MB text.
//
//   build-release/bin/bench_keywords
//
// Counters: attempts/s (match attempts, one per text position), matches/s (attempts that found a
// word).

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "editor/char_group.h"
#include "editor/char_streams.h"
#include "editor/keywords.h"
#include "editor/text_store.h"

namespace {

using namespace tarnwick;

std::vector<std::string> Words()
{
    static const char* sql[] = {"select",  "from",    "where",   "insert", "into",   "values",   "update",
                                "delete",  "create",  "table",   "index",  "view",   "begin",    "end",
                                "declare", "cursor",  "loop",    "exit",   "commit", "rollback", "varchar2",
                                "number",  "integer", "primary", "key",    "null"};
    std::vector<std::string> words(std::begin(sql), std::end(sql));
    std::mt19937 rng(3);
    while (words.size() < 2000) {
        std::string w;
        const int n = 3 + static_cast<int>(rng() % 10);
        for (int i = 0; i < n; ++i) w.push_back(static_cast<char>('a' + rng() % 26));
        words.push_back(w);
    }
    return words;
}

void BM_LongestMatchEverywhere(benchmark::State& state)
{
    const std::vector<std::string> words = Words();
    TKeywords trie;
    TSM_CharGroup terminator;
    std::size_t position = 1;
    terminator.Parse("[^a-z0-9_]", position);
    for (std::size_t i = 0; i < words.size(); ++i) {
        TStateSet states;
        states.Include(static_cast<unsigned>(i % 4) + 1);
        try {
            trie.Add(words[i], false, static_cast<std::int64_t>(i), states, terminator);
        } catch (const EKeywords&) {
            // a random word drawn twice in the same state set
        }
    }
    TStateSet current;
    current.Include(1);
    current.Include(2);
    trie.SetCurrentStates(current);

    std::string text;
    std::mt19937 rng(4);
    static const char* separators[] = {" ", " ", ", ", "(", ")", ";\r\n", " = ", "."};
    while (text.size() < (10u << 20)) {
        if (rng() % 3 == 0) {
            text += "ident";
            text += std::to_string(rng() % 1000);
        } else {
            text += words[rng() % words.size()];
        }
        text += separators[rng() % 8];
    }
    TTextStore store;
    store.SetText(text);
    TEdStream stream(&store);
    const std::int64_t size = store.CharCount();

    std::int64_t matches = 0;
    for (auto _ : state) {
        matches = 0;
        for (std::int64_t p = 0; p < size; ++p) {
            stream.SetPos(p);
            if (trie.MatchForwards(stream)) ++matches;
        }
        benchmark::DoNotOptimize(matches);
    }
    state.counters["attempts/s"] = benchmark::Counter(
        static_cast<double>(size) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["matches/s"] = benchmark::Counter(
        static_cast<double>(matches) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["matches"] = static_cast<double>(matches);
}
BENCHMARK(BM_LongestMatchEverywhere)->Unit(benchmark::kMillisecond);

}  // namespace
