// libFuzzer target for the highlighter script compiler.
//
// The input is a highlighter script, optionally followed by "\n@@TEXT@@\n" and a sample text. The
// script is compiled; every failure must be a compiler message with its line and column. When it
// compiles, the sample text (or a fixed one) is highlighted with the result: one token value per
// character, and no crash or hang whatever the rules say.
//
// Nothing is read from disk: #include is served from memory. "self.inc" is the script itself (an
// include loop), "part.inc" a small fixed piece, "chain<n>.inc" includes "chain<n+1>.inc" (a deep
// chain); any other name cannot be opened.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "highlight/parser.h"
#include "highlight/rescan.h"
#include "highlight/script_compiler.h"

namespace {

using namespace tarnwick;

[[noreturn]] void Fail(const char* what, std::string_view detail = {})
{
    std::fprintf(stderr, "invariant broken: %s %.*s\n", what, static_cast<int>(detail.size()), detail.data());
    std::abort();
}

constexpr std::string_view kSeparator = "\n@@TEXT@@\n";

constexpr std::string_view kDefaultText =
    "SELECT a, 'it''s', \"q\\\"x\", 12.5e3 -- note\n"
    "/* block\n comment */ #define x &name {inner x} 0x1F\n"
    "REM remark\n  mail@host.org http://x.y/z?q=1 <!-- --> \t\xa0\xff end";

bool EndsWith(std::string_view s, std::string_view tail)
{
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view script = input;
    std::string_view text = kDefaultText;
    if (const std::size_t cut = input.find(kSeparator); cut != std::string_view::npos) {
        script = input.substr(0, cut);
        text = input.substr(cut + kSeparator.size());
        if (text.size() > 4096) text = text.substr(0, 4096);
    }

    const std::string scriptCopy(script);
    IncludeReader reader = [&scriptCopy](const std::string& path, std::string& contents) {
        if (EndsWith(path, "/self.inc")) {
            contents = scriptCopy;
            return true;
        }
        if (EndsWith(path, "/part.inc")) {
            contents = "#define PART 7\n%%map PART 1\n";
            return true;
        }
        const std::size_t slash = path.rfind('/');
        const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
        if (name.rfind("chain", 0) == 0 && EndsWith(name, ".inc")) {
            const int n = std::atoi(name.c_str() + 5);
            contents = "#include <chain" + std::to_string(n + 1) + ".inc>\n";
            return true;
        }
        return false;
    };

    VOzuvavIdavParser parser;
    try {
        CompileHighlighterText(parser, script, "/fuzz-includes", reader, "/fuzz-includes/main.txt");
    } catch (const ESYM_COMP_ERROR& e) {
        const std::string_view m = e.what();
        if (m.rfind("** ERROR near line ", 0) != 0 || m.find(", Column ") == std::string_view::npos)
            Fail("malformed compiler message:", m);
        return 0;
    }

    // A deterministic custom matcher: ParseID n consumes up to n mod 4 characters.
    parser.OnCustomParse = [](VOzuvavIdavParser&, int parseId, TEdStream& stream, int& kLength, int& kValue) {
        const int want = ((parseId % 4) + 4) % 4;
        int taken = 0;
        while (taken < want && !stream.AtEnd()) {
            stream.NextChar();
            ++taken;
        }
        kLength += taken;
        if (parseId & 4) kValue = parseId & 0xFF;
        return taken > 0 || (parseId & 8) != 0;
    };
    const HighlightedText h = HighlightText(parser, text);
    if (h.values.size() != h.text.size()) Fail("one token value per character");
    return 0;
}
