#pragma once
// Deterministic generator of realistic SQL scripts for benchmarks and peer comparisons.
//
// The same options always give the same bytes, on every platform: the generator draws from its
// own pseudo-random sequence and never from the standard library's distributions.
//
// Two kinds of script:
//  - Full: everything a real multi-version script carries. Nested #ifdef/#ifndef/#else/#endif
//    blocks (up to four deep) on the version symbols, #define/#undef of feature symbols, #set
//    macros (each defined once, at the top) with &name references and "&&" in the lines, "--"
//    comment lines, inline and multi-line block comments, indented SQL statements, CR LF breaks.
//  - Cpp: the subset shared with the C preprocessor. Only #define, #ifdef, #else and #endif,
//    no comments, no macro references, LF breaks, text lines that never name a symbol, and a
//    #define only of a symbol that no enclosing block tests (our blocks follow the symbols as
//    they change, the C preprocessor's keep the state they had at their #ifdef), so that
//    `cpp -P -traditional-cpp` and our preprocessor keep the same lines.
//
// Either script preprocesses without errors whichever of the symbols below are defined.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::bench {

enum class ScriptMode { Full, Cpp };

// "full" or "cpp"; anything else gives nothing.
std::optional<ScriptMode> ParseScriptMode(std::string_view name);
std::string_view ScriptModeName(ScriptMode mode);

// Symbols the conditional blocks test. Defining one of the version symbols (VER_A, say) selects
// one SQL version, as the version run does.
inline constexpr std::array<std::string_view, 4> kVersionSymbols = {"VER_A", "VER_B", "VER_C", "VER_D"};
// Symbols the script itself defines and undefines as it goes.
inline constexpr std::array<std::string_view, 3> kFeatureSymbols = {"FEAT_LOG", "FEAT_AUDIT", "FEAT_PART"};

struct ScriptOptions {
    // The script is at least this long; it ends at the first point past it where every open block
    // can be closed, so it overshoots by the length of one statement and a few #endif lines.
    std::uint64_t targetBytes = 1 << 20;
    std::uint64_t seed = 1;
    ScriptMode mode = ScriptMode::Full;
};

// Hands the script to `sink` in consecutive pieces of a few dozen kilobytes; the pieces together
// are the script. Returns the script's length in bytes.
std::uint64_t GenerateScript(const ScriptOptions& options, const std::function<void(std::string_view)>& sink);

// The whole script as one text.
std::string GenerateScript(const ScriptOptions& options);

// Writes the script to `file`, with CR LF line breaks or, with `lfOnly`, LF alone. Returns false
// when the file cannot be written.
bool WriteScriptFile(const std::filesystem::path& file, const ScriptOptions& options, bool lfOnly = false);

// Parses a size such as "4096", "64K", "256M" or "1G" (binary multiples). Gives nothing for an
// empty text, a zero size, anything that is not a number with an optional K/M/G suffix, or a
// size that does not fit 64 bits.
std::optional<std::uint64_t> ParseByteSize(std::string_view text);

}  // namespace tarnwick::bench
