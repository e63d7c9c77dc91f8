// The compressor on a generated 100 MiB SQL script held in memory: compression and decompression
// with both methods (bytes_per_second is the script's size per pass; `ratio` is the compressed
// size in percent of the script), and the start-up cost of the built-in SQL highlighter, loaded
// from its stored form, beside compiling its script.
//
//   build-release/bin/bench_compress
//   bench/compare-gzip.sh          (the same methods through tarnwick-hl, beside gzip -1 and -6)

#include <benchmark/benchmark.h>

#include <string>

#include "editor/streams.h"
#include "highlight/builtin_sql.h"
#include "highlight/compressor.h"
#include "highlight/script_compiler.h"
#include "script_generator.h"

namespace {

using namespace tarnwick;

const std::string& Script()
{
    static const std::string text = [] {
        bench::ScriptOptions options;
        options.targetBytes = std::uint64_t(100) << 20;
        return bench::GenerateScript(options);
    }();
    return text;
}

std::string Pack(const std::string& plain, TCompressor::CompressionMethod method)
{
    ReadOnlyMemoryStream in(plain);
    TMemoryStream out;
    TCompressor::Compress(in, out, method);
    return out.Data();
}

void Compress(benchmark::State& state, TCompressor::CompressionMethod method)
{
    const std::string& plain = Script();
    std::size_t packed = 0;
    for (auto _ : state) packed = Pack(plain, method).size();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * plain.size()));
    state.counters["ratio"] = 100.0 * static_cast<double>(packed) / static_cast<double>(plain.size());
}

void Decompress(benchmark::State& state, TCompressor::CompressionMethod method)
{
    const std::string& plain = Script();
    const std::string packed = Pack(plain, method);
    for (auto _ : state) {
        ReadOnlyMemoryStream in(packed);
        TMemoryStream out;
        TCompressor::Decompress(in, out);
        if (out.Data().size() != plain.size()) state.SkipWithError("decompressed size differs");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * plain.size()));
}

void LoadStoredSqlHighlighter(benchmark::State& state)
{
    for (auto _ : state) {
        VOzuvavIdavParser parser;
        LoadBuiltInSqlHighlighter(parser);
        benchmark::DoNotOptimize(parser.Tables().keywords.get());
    }
    state.counters["stored_bytes"] = static_cast<double>(BuiltInSqlStoredForm().size());
}

void CompileSqlScript(benchmark::State& state)
{
    const std::string script = std::string(TARNWICK_SOURCE_DIR) + "/resources/highlighters/SQL_Diret.txt";
    for (auto _ : state) {
        VOzuvavIdavParser parser;
        CompileHighlighterScript(parser, script);
        benchmark::DoNotOptimize(parser.Tables().keywords.get());
    }
}

}  // namespace

BENCHMARK_CAPTURE(Compress, kh, TCompressor::cmKH)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(Decompress, kh, TCompressor::cmKH)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(Compress, lzh, TCompressor::cmLZH)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(Decompress, lzh, TCompressor::cmLZH)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(LoadStoredSqlHighlighter)->Unit(benchmark::kMicrosecond);
BENCHMARK(CompileSqlScript)->Unit(benchmark::kMicrosecond);
