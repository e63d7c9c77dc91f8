// tarnwick-hl: the highlighter engine from the command line.
//
//   tarnwick-hl compile SCRIPT                    compile a highlighter script; one-line summary
//   tarnwick-hl tokens [--script SCRIPT] [FILE]   colour FILE (or standard input) with the built-in
//                                                 SQL highlighter, or with SCRIPT compiled
//
// `tokens` loads the text as the editor does (every line break becomes one CR and counts as one
// position), runs one full highlighting pass from the start and prints the token value of every
// character as maximal runs, one per line: OFFSET<TAB>LENGTH<TAB>VALUE.
//
// Exit status: 0 success, 1 the script has an error (printed as the compiler reports it),
// 2 any other failure (bad arguments, a file that cannot be read).

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "base/errors.h"
#include "base/file_io.h"
#include "editor/editor_errors.h"
#include "highlight/builtin_sql.h"
#include "highlight/parser.h"
#include "highlight/rescan.h"
#include "highlight/script_compiler.h"

namespace {

using namespace tarnwick;

constexpr int kExitOk = 0;
constexpr int kExitScriptError = 1;
constexpr int kExitFailure = 2;

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

const char* const kUsage =
    "usage: tarnwick-hl compile SCRIPT\n"
    "       tarnwick-hl tokens [--script SCRIPT] [FILE]\n";

std::string ReadInput(const std::string& file)
{
    if (!file.empty() && file != "-") return ReadWholeFile(file);
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::string text;
    char buffer[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
        text.append(buffer, got);
        if (got < sizeof buffer) {
            if (std::ferror(stdin)) throw Exception("Cannot read the standard input");
            return text;
        }
    }
}

// A highlighter ready to colour: from a script, or the built-in SQL one. Rules that call on the
// program's own matching code (match(N)) find nothing here.
void Prepare(VOzuvavIdavParser& parser, const std::string& script)
{
    if (script.empty()) LoadBuiltInSqlHighlighter(parser);
    else CompileHighlighterScript(parser, script);
    if (parser.UsesCustomMatches() && !parser.OnCustomParse)
        parser.OnCustomParse = [](VOzuvavIdavParser&, int, TEdStream&, int&, int&) { return false; };
}

int Compile(const std::vector<std::string>& args)
{
    if (args.size() != 1) throw UsageError("compile takes one SCRIPT");
    VOzuvavIdavParser parser;
    CompileHighlighterScript(parser, args[0]);
    const TParserTables& t = parser.Tables();
    const TSM_Settings& s = parser.Settings();
    int firstChars = 0, stateTables = 0, continuations = 0, styles = 0;
    const auto count = [&](const TFirstCharTable& table) {
        for (const auto& rule : table.rules) firstChars += rule.has_value();
    };
    count(t.defaultTable);
    for (int state = 0; state < 256; ++state)
        if (t.stateTables[static_cast<std::size_t>(state)]) {
            ++stateTables;
            count(*t.stateTables[static_cast<std::size_t>(state)]);
        }
    for (const auto& rule : t.continuation) continuations += rule.has_value();
    for (int token = 0; token < 256; ++token) styles += s.Style(token).defined;
    std::printf("%s: language \"%s\", %d keywords, %d first-character rules, %d states with their own rules, "
                "%d continuation rules, %d styles\n",
                args[0].c_str(), s.languageName.c_str(), t.keywords ? t.keywords->EntryCount() : 0, firstChars,
                stateTables, continuations, styles);
    return kExitOk;
}

int Tokens(const std::vector<std::string>& args)
{
    std::string script, file;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--script") {
            if (++i == args.size()) throw UsageError("--script needs a SCRIPT");
            script = args[i];
        } else if (args[i].rfind("--script=", 0) == 0) {
            script = args[i].substr(9);
        } else if (file.empty() && (args[i] == "-" || args[i].rfind("-", 0) != 0)) {
            file = args[i];
        } else {
            throw UsageError("unexpected argument " + args[i]);
        }
    }
    VOzuvavIdavParser parser;
    Prepare(parser, script);
    const std::string text = ReadInput(file);
    const THighlightedText result = HighlightText(parser, text);
    std::string out;
    const auto& v = result.values;
    for (std::size_t i = 0; i < v.size();) {
        std::size_t j = i + 1;
        while (j < v.size() && v[j] == v[i]) ++j;
        out += std::to_string(i) + '\t' + std::to_string(j - i) + '\t' + std::to_string(v[i]) + '\n';
        if (out.size() > (1 << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
        i = j;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0) throw Exception("Cannot write the standard output");
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.empty()) throw UsageError("a command is needed");
        const std::string command = args.front();
        args.erase(args.begin());
        if (command == "compile") return Compile(args);
        if (command == "tokens") return Tokens(args);
        if (command == "--help" || command == "-h") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        throw UsageError("unknown command " + command);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "tarnwick-hl: %s\n%s", e.what(), kUsage);
        return kExitFailure;
    } catch (const ESYM_COMP_ERROR& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return kExitScriptError;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarnwick-hl: %s\n", e.what());
        return kExitFailure;
    }
}
