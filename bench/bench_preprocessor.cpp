// Throughput of the script preprocessor and of a version run over generated scripts.
//
// Scripts are generated once per size and mode, outside the timed loops, and preprocessed once
// before timing: a script that does not preprocess cleanly stops its benchmark with the first
// message, so a figure is never reported for a run that failed.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "base/file_io.h"
#include "script_generator.h"
#include "versions/preprocessor.h"
#include "versions/version_run.h"
#include "versions/version_table.h"

namespace {

using tarnwick::bench::ScriptMode;

constexpr std::uint64_t kMiB = 1 << 20;

const std::string& GeneratedScript(ScriptMode mode, std::uint64_t bytes)
{
    static std::map<std::pair<ScriptMode, std::uint64_t>, std::string> cache;
    auto key = std::make_pair(mode, bytes);
    auto it = cache.find(key);
    if (it == cache.end()) {
        it = cache.emplace(key, tarnwick::bench::GenerateScript({bytes, 1, mode})).first;
    }
    return it->second;
}

// Preprocesses `script` with `symbols` defined. Returns an empty text on success (the output
// goes to `output`), else the first message with its line number.
std::string CheckPreprocess(const std::string& script, const std::vector<std::string>& symbols, std::string& output)
{
    std::string firstError;
    std::vector<std::string> defined = symbols;
    bool ok = tarnwick::PreprocessScript(script, output, defined, [&](std::int64_t line, const std::string& message) {
        if (firstError.empty()) firstError = "line " + std::to_string(line) + ": " + message;
    });
    if (ok && firstError.empty()) return {};
    if (firstError.empty()) firstError = "failed without a message";
    return "generated script does not preprocess: " + firstError;
}

const tarnwick::PreprocessErrorReporter kIgnoreErrors = [](std::int64_t, const std::string&) {};

// Where the benchmark puts the output: appended to one string, or collected as pieces that
// point into the script (no copy of the unchanged stretches).
enum class Output { String, Pieces };

void BM_PreprocessScript(benchmark::State& state, ScriptMode mode, Output output)
{
    const std::string& script = GeneratedScript(mode, static_cast<std::uint64_t>(state.range(0)) * kMiB);
    const std::vector<std::string> symbols = {"VER_A"};

    std::string checked;
    if (std::string error = CheckPreprocess(script, symbols, checked); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    if (checked.empty()) {
        state.SkipWithError("generated script preprocesses to nothing");
        return;
    }
    if (output == Output::Pieces) {
        tarnwick::PreprocessedPieces pieces;
        std::vector<std::string> defined = symbols;
        if (!tarnwick::PreprocessScript(script, pieces, defined, kIgnoreErrors) || pieces.ToString() != checked) {
            state.SkipWithError("output as pieces differs from the output as a string");
            return;
        }
    }

    for (auto _ : state) {
        std::vector<std::string> defined = symbols;
        bool ok = false;
        if (output == Output::String) {
            std::string text;
            ok = tarnwick::PreprocessScript(script, text, defined, kIgnoreErrors);
            benchmark::DoNotOptimize(text.data());
        } else {
            tarnwick::PreprocessedPieces pieces;
            ok = tarnwick::PreprocessScript(script, pieces, defined, kIgnoreErrors);
            benchmark::DoNotOptimize(pieces.Size());
        }
        benchmark::DoNotOptimize(ok);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(script.size()));
    state.counters["script_MiB"] = static_cast<double>(script.size()) / kMiB;
    state.counters["kept"] = static_cast<double>(checked.size()) / static_cast<double>(script.size());
}

BENCHMARK_CAPTURE(BM_PreprocessScript, full_string, ScriptMode::Full, Output::String)
    ->Arg(1)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PreprocessScript, full_pieces, ScriptMode::Full, Output::Pieces)
    ->Arg(1)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PreprocessScript, cpp_string, ScriptMode::Cpp, Output::String)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PreprocessScript, cpp_pieces, ScriptMode::Cpp, Output::Pieces)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond);

// A fresh folder under the system's temporary folder, removed when the object goes.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempFolder()
    {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool Ok() const { return !path_.empty(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// One version run over a four-version table: four preprocessor passes and four files written.
void BM_RunVersions(benchmark::State& state)
{
    const std::string& script = GeneratedScript(ScriptMode::Full, static_cast<std::uint64_t>(state.range(0)) * kMiB);
    TempFolder folder;
    if (!folder.Ok()) {
        state.SkipWithError("cannot create a temporary folder");
        return;
    }
    const tarnwick::OptionFiles files = tarnwick::OptionFiles::InFolder(folder.Path());
    const std::string table =
        "Version D\tVER_D\t.vd\r\nVersion B\tVER_B\t.vb\r\nVersion A\tVER_A\t.va\r\nVersion C\tVER_C\t.vc\r\n";
    if (!tarnwick::WriteWholeFile(files.versionTable, table) ||
        !tarnwick::WriteWholeFile(files.conditionalDefines, "FEAT_LOG;FEAT_AUDIT\r\n")) {
        state.SkipWithError("cannot write the option files");
        return;
    }
    const std::filesystem::path scriptFile = folder.Path() / "load.sql";

    std::vector<std::string> sink;
    bool ok = tarnwick::RunVersions(script, scriptFile, tarnwick::kAllVersions, files, sink);
    if (!ok || !sink.empty()) {
        std::string error = "version run failed: " + (sink.empty() ? std::string("no message") : sink.front());
        state.SkipWithError(error.c_str());
        return;
    }
    for (const char* extension : {".va", ".vb", ".vc", ".vd"}) {
        std::error_code ec;
        if (std::filesystem::file_size(tarnwick::VersionOutputFile(scriptFile, extension), ec) == 0 || ec) {
            state.SkipWithError("version run left an output file missing or empty");
            return;
        }
    }

    for (auto _ : state) {
        sink.clear();
        bool result = tarnwick::RunVersions(script, scriptFile, tarnwick::kAllVersions, files, sink);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 4 *
                            static_cast<std::int64_t>(script.size()));
    state.counters["script_MiB"] = static_cast<double>(script.size()) / kMiB;
}

BENCHMARK(BM_RunVersions)->Arg(8)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
