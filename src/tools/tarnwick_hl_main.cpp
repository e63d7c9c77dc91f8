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
#include <exception>
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
    "usage: tarnwick-hl compile SCRIPT [-o FILE]\n"
    "       tarnwick-hl info FILE\n"
    "       tarnwick-hl tokens [--script SCRIPT | --highlighter FILE] [TEXT]\n"
    "       tarnwick-hl export --format text|unix|rtf|html [--title TEXT] [--date TEXT] FILE\n"
    "       tarnwick-hl compress [--method kh|lzh|auto] IN OUT\n"
    "       tarnwick-hl decompress IN OUT\n";

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

// Loads a stored highlighter; data the program cannot read is an error.
void LoadStored(VOzuvavIdavParser& parser, const std::string& file)
{
    const std::string data = ReadWholeFile(file);
    TReadOnlyMemoryStream in(data);
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

struct TCounts {
    int keywords = 0, firstChars = 0, stateTables = 0, continuations = 0, styles = 0;
};

TCounts Count(const VOzuvavIdavParser& parser)
{
    const TParserTables& t = parser.Tables();
    TCounts n;
    const auto rules = [&](const TFirstCharTable& table) {
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

int Compile(const std::vector<std::string>& args)
{
    std::string script, output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (++i == args.size()) throw UsageError("-o needs a FILE");
            output = args[i];
        } else if (script.empty() && args[i].rfind("-", 0) != 0) {
            script = args[i];
        } else {
            throw UsageError("unexpected argument " + args[i]);
        }
    }
    if (script.empty()) throw UsageError("compile needs a SCRIPT");
    VOzuvavIdavParser parser;
    CompileHighlighterScript(parser, script);
    if (!output.empty()) {
        TMemoryStream stored;
        parser.SaveToStream(stored);
        WriteWholeFileOrThrow(output, stored.Data());
    }
    const TCounts n = Count(parser);
    std::printf(
        "%s: language \"%s\", %d keywords, %d first-character rules, %d states with their own rules, "
        "%d continuation rules, %d styles\n",
        script.c_str(), parser.Settings().languageName.c_str(), n.keywords, n.firstChars, n.stateTables,
        n.continuations, n.styles);
    return kExitOk;
}

int Info(const std::vector<std::string>& args)
{
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
    const TCounts n = Count(parser);
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
int Pack(const std::vector<std::string>& args, bool compress)
{
    std::vector<std::string> files;
    TCompressor c;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string method;
        if (compress && args[i] == "--method") {
            if (++i == args.size()) throw UsageError("--method needs kh, lzh or auto");
            method = args[i];
        } else if (compress && args[i].rfind("--method=", 0) == 0) {
            method = args[i].substr(9);
        } else if (args[i].rfind("-", 0) == 0 && args[i] != "-") {
            throw UsageError("unexpected argument " + args[i]);
        } else {
            files.push_back(args[i]);
            continue;
        }
        if (method == "kh") c.Method = TCompressor::cmKH;
        else if (method == "lzh") c.Method = TCompressor::cmLZH;
        else if (method == "auto") c.Method = TCompressor::cmAdvise;
        else throw UsageError("unknown method " + method + " (kh, lzh or auto)");
    }
    if (files.size() != 2) throw UsageError(std::string(compress ? "compress" : "decompress") + " takes IN and OUT");
    c.InputFile = files[0];
    c.OutputFile = files[1];
    const std::int64_t written = compress ? c.Compress() : c.Decompress();
    std::printf("%s: %lld bytes\n", files[1].c_str(), static_cast<long long>(written));
    return kExitOk;
}

int Tokens(const std::vector<std::string>& args)
{
    std::string script, stored, file;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--script") {
            if (++i == args.size()) throw UsageError("--script needs a SCRIPT");
            script = args[i];
        } else if (args[i].rfind("--script=", 0) == 0) {
            script = args[i].substr(9);
        } else if (args[i] == "--highlighter") {
            if (++i == args.size()) throw UsageError("--highlighter needs a FILE");
            stored = args[i];
        } else if (args[i].rfind("--highlighter=", 0) == 0) {
            stored = args[i].substr(14);
        } else if (file.empty() && (args[i] == "-" || args[i].rfind("-", 0) != 0)) {
            file = args[i];
        } else {
            throw UsageError("unexpected argument " + args[i]);
        }
    }
    if (!script.empty() && !stored.empty()) throw UsageError("--script and --highlighter exclude each other");
    VOzuvavIdavParser parser;
    Prepare(parser, script, stored);
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

// The standard output as a stream for the writers; a failed write raises through WriteBuffer.
class TStdoutStream : public TStream {
public:
    TStdoutStream()
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

int Export(const std::vector<std::string>& args)
{
    std::string format, file;
    std::optional<std::string> title, date;
    bool haveFile = false;
    const auto value = [&](std::size_t& i, const std::string& name) -> std::string {
        if (args[i] == name) {
            if (++i == args.size()) throw UsageError(name + " needs a value");
            return args[i];
        }
        return args[i].substr(name.size() + 1);
    };
    const auto is = [&](std::size_t i, const std::string& name) {
        return args[i] == name || args[i].rfind(name + "=", 0) == 0;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (is(i, "--format")) format = value(i, "--format");
        else if (is(i, "--title")) title = value(i, "--title");
        else if (is(i, "--date")) date = value(i, "--date");
        else if (!haveFile && (args[i] == "-" || args[i].rfind("-", 0) != 0)) {
            file = args[i];
            haveFile = true;
        } else {
            throw UsageError("unexpected argument " + args[i]);
        }
    }
    int writeFormat = 0;
    if (format == "text") writeFormat = wfTextCRLF;
    else if (format == "unix") writeFormat = wfTextLF;
    else if (format == "rtf") writeFormat = wfRTF;
    else if (format == "html") writeFormat = wfHTML;
    else if (format.empty()) throw UsageError("export needs --format text, unix, rtf or html");
    else throw UsageError("unknown format " + format + " (text, unix, rtf or html)");
    if (!haveFile) throw UsageError("export needs a FILE");

    VOzuvavIdavParser parser;
    Prepare(parser, {}, {});
    TTextStore store;
    store.SetText(ReadInput(file));
    THighlightPassOptions options;
    options.all = true;
    options.force = true;
    RescanFrom(store, parser, 0, options);

    const TExportContext context = ExportContextFor(
        parser.Settings(), title ? *title : (file == "-" ? std::string() : file), date ? *date : Today());
    TStdoutStream out;
    WriteRange(store, 0, store.CharCount(), writeFormat, context, out);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) throw Exception("Cannot write the standard output");
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
        if (command == "export") return Export(args);
        if (command == "info") return Info(args);
        if (command == "compress") return Pack(args, true);
        if (command == "decompress") return Pack(args, false);
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
