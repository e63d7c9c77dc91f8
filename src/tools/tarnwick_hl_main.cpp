// tarnwick-hl: the highlighter engine from the command line.
//
//   tarnwick-hl compile SCRIPT [-o FILE]          compile a highlighter script; one-line summary,
//                                                 and with -o the stored form written to FILE
//   tarnwick-hl info FILE                         what a stored highlighter holds
//   tarnwick-hl tokens [--script SCRIPT | --highlighter FILE] [TEXT]
//                                                 colour TEXT (or standard input) with the built-in
//                                                 SQL highlighter, SCRIPT compiled or a stored one
//   tarnwick-hl export --format text|unix|rtf|html [--title TEXT] [--date TEXT] FILE
//                                                 write FILE coloured by the built-in SQL
//                                                 highlighter to standard output
//   tarnwick-hl compress [--method kh|lzh|auto] IN OUT
//   tarnwick-hl decompress IN OUT
//
// `tokens` loads the text as the editor does (every line break becomes one CR and counts as one
// position), runs one full highlighting pass from the start and prints the token value of every
// character as maximal runs, one per line: OFFSET<TAB>LENGTH<TAB>VALUE.
//
// `export` loads FILE ("-": standard input) the same way, highlights all of it and writes the
// whole text through the editor's own writers: text with CR LF line breaks, text with LF (unix),
// RTF or HTML, with the styles and the font of the highlighter's settings. The HTML title is FILE
// as given unless --title names another; the date is today's in the user's short date format
// unless --date fixes it.
//
// Exit status: 0 success, 1 the script has an error (printed as the compiler reports it),
// 2 any other failure (bad arguments, a file that cannot be read).

#include <clocale>
#include <cstdio>
#include <ctime>
#include <optional>
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
#include "editor/export_writers.h"
#include "highlight/builtin_sql.h"
#include "highlight/compressor.h"
#include "highlight/parser.h"
#include "highlight/rescan.h"
#include "highlight/script_compiler.h"
#include "tools/command_line.h"

namespace {

using namespace tarnwick;
using namespace tarnwick::command_line;

constexpr std::string_view kProgram = "tarnwick-hl";

const char* const kUsage =
    "usage: tarnwick-hl compile SCRIPT [-o FILE]\n"
    "       tarnwick-hl info FILE\n"
    "       tarnwick-hl tokens [--script SCRIPT | --highlighter FILE] [TEXT]\n"
    "       tarnwick-hl export --format text|unix|rtf|html [--title TEXT] [--date TEXT] FILE\n"
    "       tarnwick-hl compress [--method kh|lzh|auto] IN OUT\n"
    "       tarnwick-hl decompress IN OUT\n";

// Loads a stored highlighter; data the program cannot read is an error.
void LoadStored(VOzuvavIdavParser& parser, const std::string& file)
{
    const std::string data = ReadWholeFile(file);
    ReadOnlyMemoryStream in(data);
    parser.Name = file;
    parser.LoadFromStream(in, /*readingForm=*/true);
}

// A highlighter ready to colour: a script compiled, a stored one, or the built-in SQL one. Rules
// that call on the program's own matching code (match(N)) find nothing here.
void Prepare(VOzuvavIdavParser& parser, const std::string& script, const std::string& stored)
{
    if (!script.empty()) CompileHighlighterScript(parser, script);
    else if (!stored.empty()) LoadStored(parser, stored);
    else LoadBuiltInSqlHighlighter(parser);
    if (parser.UsesCustomMatches() && !parser.OnCustomParse)
        parser.OnCustomParse = [](VOzuvavIdavParser&, int, TEdStream&, int&, int&) { return false; };
}

struct TableCounts {
    int keywords = 0, firstChars = 0, stateTables = 0, continuations = 0, styles = 0;
};

TableCounts Count(const VOzuvavIdavParser& parser)
{
    const ParserTables& t = parser.Tables();
    TableCounts n;
    const auto rules = [&](const FirstCharTable& table) {
        for (const auto& rule : table.rules) n.firstChars += rule.has_value();
    };
    rules(t.defaultTable);
    for (const auto& table : t.stateTables)
        if (table) {
            ++n.stateTables;
            rules(*table);
        }
    for (const auto& rule : t.continuation) n.continuations += rule.has_value();
    for (int token = 0; token < 256; ++token) n.styles += parser.Settings().Style(token).defined;
    n.keywords = t.keywords ? t.keywords->EntryCount() : 0;
    return n;
}

// An argument that is neither an option the command knows nor an operand it takes.
[[noreturn]] void ThrowUnexpected(std::string_view arg) { throw UsageError("unexpected argument " + std::string(arg)); }

// The operands of `args` up to `most` of them; an option `take` does not consume, or one operand
// too many, is an unexpected argument.
template <class Take>
std::vector<std::string> ReadArguments(ArgReader& args, std::size_t most, Take take)
{
    std::vector<std::string> operands;
    while (!args.Done()) {
        if (take()) continue;
        if (!args.Operand(operands)) ThrowUnexpected(args.Current());
        if (operands.size() > most) ThrowUnexpected(operands[most]);
    }
    return operands;
}

int Compile(ArgReader args)
{
    std::string output;
    const std::vector<std::string> operands = ReadArguments(args, 1, [&] {
        auto value = args.Value("-o", "a FILE");
        if (value) output = std::move(*value);
        return value.has_value();
    });
    if (operands.empty()) throw UsageError("compile needs a SCRIPT");
    const std::string& script = operands[0];
    VOzuvavIdavParser parser;
    CompileHighlighterScript(parser, script);
    if (!output.empty()) {
        TMemoryStream stored;
        parser.SaveToStream(stored);
        WriteWholeFileOrThrow(output, stored.Data());
    }
    const TableCounts n = Count(parser);
    std::printf(
        "%s: language \"%s\", %d keywords, %d first-character rules, %d states with their own rules, "
        "%d continuation rules, %d styles\n",
        script.c_str(), parser.Settings().languageName.c_str(), n.keywords, n.firstChars, n.stateTables,
        n.continuations, n.styles);
    return kExitOk;
}

int Info(ArgReader reader)
{
    const std::vector<std::string> args = reader.Rest();
    if (args.size() != 1) throw UsageError("info takes one FILE");
    const std::string data = ReadWholeFile(args[0]);
    // The header as it stands, before the load judges it.
    const auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])); };
    if (data.size() < 14)
        throw Exception(args[0] + ": not a stored highlighter (" + std::to_string(data.size()) + " bytes)");
    const unsigned version = byte(0) | byte(1) << 8;
    const auto i32 = [&](std::size_t at) {
        return static_cast<std::int32_t>(byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 | byte(at + 3) << 24);
    };
    VOzuvavIdavParser parser;
    LoadStored(parser, args[0]);
    const TableCounts n = Count(parser);
    const std::string method = data.compare(6, 4, "WRZL") == 0 ? "KH" : "LZH";
    std::printf(
        "file: %s\nformat version: %u\nproperty size: %zu bytes\npayload size: %d bytes (%s)\n"
        "language: %s\nkeywords: %d\nfirst-character rules: %d\nstates with their own rules: %d\n"
        "continuation rules: %d\nstyles: %d\n",
        args[0].c_str(), version, data.size(), i32(2), method.c_str(), parser.Settings().languageName.c_str(),
        n.keywords, n.firstChars, n.stateTables, n.continuations, n.styles);
    return kExitOk;
}

// compress / decompress, in the compressor's file mode: a failed run leaves no output file.
int Pack(ArgReader args, bool compress)
{
    TCompressor c;
    const std::vector<std::string> files = ReadArguments(args, SIZE_MAX, [&] {
        const auto method = compress ? args.Value("--method", "kh, lzh or auto") : std::nullopt;
        if (!method) return false;
        if (*method == "kh") c.Method = TCompressor::cmKH;
        else if (*method == "lzh") c.Method = TCompressor::cmLZH;
        else if (*method == "auto") c.Method = TCompressor::cmAdvise;
        else throw UsageError("unknown method " + *method + " (kh, lzh or auto)");
        return true;
    });
    if (files.size() != 2) throw UsageError(std::string(compress ? "compress" : "decompress") + " takes IN and OUT");
    c.InputFile = files[0];
    c.OutputFile = files[1];
    const std::int64_t written = compress ? c.Compress() : c.Decompress();
    std::printf("%s: %lld bytes\n", files[1].c_str(), static_cast<long long>(written));
    return kExitOk;
}

int Tokens(ArgReader args)
{
    std::string script, stored;
    const std::vector<std::string> operands = ReadArguments(args, 1, [&] {
        if (auto value = args.Value("--script", "a SCRIPT")) script = std::move(*value);
        else if (auto file = args.Value("--highlighter", "a FILE")) stored = std::move(*file);
        else return false;
        return true;
    });
    const std::string file = operands.empty() ? std::string("-") : operands[0];
    if (!script.empty() && !stored.empty()) throw UsageError("--script and --highlighter exclude each other");
    VOzuvavIdavParser parser;
    Prepare(parser, script, stored);
    const InputText text = InputText::Read(file.empty() ? "-" : file);
    const HighlightedText result = HighlightText(parser, text.Text());
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

// The standard output as a stream for the writers; a failed write raises through WriteBuffer.
class StdoutStream : public TStream {
public:
    StdoutStream()
    {
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);
#endif
    }
    std::size_t Read(void*, std::size_t) override { return 0; }
    std::size_t Write(const void* buffer, std::size_t count) override { return std::fwrite(buffer, 1, count, stdout); }
    std::int64_t Seek(std::int64_t, SeekOrigin) override { return 0; }
};

// Today's date in the user's short date format.
std::string Today()
{
    std::setlocale(LC_TIME, "");
    return TodayShortDate();
}

int Export(ArgReader args)
{
    std::string format;
    std::optional<std::string> title, date;
    const std::vector<std::string> operands = ReadArguments(args, 1, [&] {
        if (auto value = args.Value("--format", "a value")) format = std::move(*value);
        else if (auto value = args.Value("--title", "a value")) title = std::move(value);
        else if (auto value = args.Value("--date", "a value")) date = std::move(value);
        else return false;
        return true;
    });
    int writeFormat = 0;
    if (format == "text") writeFormat = wfTextCRLF;
    else if (format == "unix") writeFormat = wfTextLF;
    else if (format == "rtf") writeFormat = wfRTF;
    else if (format == "html") writeFormat = wfHTML;
    else if (format.empty()) throw UsageError("export needs --format text, unix, rtf or html");
    else throw UsageError("unknown format " + format + " (text, unix, rtf or html)");
    if (operands.empty()) throw UsageError("export needs a FILE");
    const std::string& file = operands[0];

    VOzuvavIdavParser parser;
    Prepare(parser, {}, {});
    TTextStore store;
    store.SetText(InputText::Read(file.empty() ? "-" : file).Text());
    HighlightPassOptions options;
    options.all = true;
    options.force = true;
    RescanFrom(store, parser, 0, options);

    const ExportContext context = ExportContextFor(
        parser.Settings(), title ? *title : (file == "-" ? std::string() : file), date ? *date : Today());
    StdoutStream out;
    WriteRange(store, 0, store.CharCount(), writeFormat, context, out);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) throw Exception("Cannot write the standard output");
    return kExitOk;
}

int Dispatch(int argc, char** argv)
{
    if (argc < 2) throw UsageError("a command is needed");
    const std::string_view command = argv[1];
    const ArgReader args(argc, argv, 2);
    try {
        if (command == "compile") return Compile(args);
        if (command == "tokens") return Tokens(args);
        if (command == "export") return Export(args);
        if (command == "info") return Info(args);
        if (command == "compress") return Pack(args, true);
        if (command == "decompress") return Pack(args, false);
    } catch (const ESYM_COMP_ERROR& e) {
        // The compiler's message says where in the script it arose.
        WriteStderr(std::string(e.what()) + "\n");
        return kExitInputErrors;
    }
    if (IsHelp(command)) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    throw UsageError("unknown command " + std::string(command));
}

}  // namespace

int main(int argc, char** argv)
{
    return RunTool(kProgram, "\n" + std::string(kUsage), [&] { return Dispatch(argc, argv); });
}
