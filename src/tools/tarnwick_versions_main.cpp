// tarnwick-versions: the SQL versions of a script from the command line.
//
//   tarnwick-versions preprocess [-D SYMBOL]... [FILE]
//   tarnwick-versions list [--config-dir DIR] [--edf FILE]
//   tarnwick-versions run [--config-dir DIR] [--edf FILE] [--cdf FILE] [--version NAME | --index N] SCRIPT
//
// A thin layer over the versions library: it parses the arguments, calls the library and writes
// what it returns. Scripts and outputs travel byte for byte.
//
// Exit status: 0 success, 1 the preprocessor reported errors (printed as FILE:LINE: MESSAGE),
// 2 any other failure (bad arguments, a file that cannot be read or written, an unknown version).

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ansi_text.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "platform/executable_dir.h"
#include "tools/command_line.h"
#include "versions/preprocessor.h"
#include "versions/version_run.h"
#include "versions/version_table.h"

namespace {

using namespace tarnwick;
using namespace tarnwick::command_line;

constexpr std::string_view kProgram = "tarnwick-versions";
constexpr std::string_view kStdinName = "<stdin>";

// Wrong arguments are reported with a pointer to --help.
constexpr std::string_view kUsageHint = " (try --help)\n";

constexpr std::string_view kUsage =
    "usage: tarnwick-versions preprocess [-D SYMBOL]... [FILE]\n"
    "       tarnwick-versions list [--config-dir DIR] [--edf FILE]\n"
    "       tarnwick-versions run [--config-dir DIR] [--edf FILE] [--cdf FILE] [--version NAME | --index N] SCRIPT\n"
    "       tarnwick-versions [COMMAND] --help\n";

constexpr std::string_view kPreprocessHelp =
    "tarnwick-versions preprocess [-D SYMBOL]... [FILE]\n"
    "  Runs the script preprocessor over FILE (standard input when FILE is missing or \"-\")\n"
    "  and writes the result to standard output, byte for byte. Nothing is written when the\n"
    "  preprocessor reports errors.\n"
    "  -D SYMBOL, -DSYMBOL  Defines SYMBOL before the first line. May be repeated; the symbols\n"
    "                       are defined in the order given, duplicates included.\n";

constexpr std::string_view kListHelp =
    "tarnwick-versions list [--config-dir DIR] [--edf FILE]\n"
    "  Prints the SQL version table in run order, one version per line:\n"
    "  INDEX<TAB>NAME<TAB>DEFINE<TAB>EXTENSION, INDEX counting from 0.\n"
    "  --config-dir DIR  The configuration folder holding tarnwick.edf.\n"
    "  --edf FILE        The version table to read (default: tarnwick.edf in the configuration folder).\n";

constexpr std::string_view kRunHelp =
    "tarnwick-versions run [--config-dir DIR] [--edf FILE] [--cdf FILE] [--version NAME | --index N] SCRIPT\n"
    "  Preprocesses SCRIPT once per SQL version, with the version's define and the conditional\n"
    "  defines set, and writes each result next to SCRIPT under its name with the version's\n"
    "  extension. Prints the path of every file written. The first version with errors stops\n"
    "  the run; files written before it stay.\n"
    "  --config-dir DIR  The configuration folder holding tarnwick.edf and tarnwick.cdf.\n"
    "  --edf FILE      The version table (default: tarnwick.edf in the configuration folder).\n"
    "  --cdf FILE      The conditional defines (default: tarnwick.cdf in the configuration\n"
    "                  folder); its first line is in force, symbols separated by \";\".\n"
    "  --version NAME  Runs only the version called NAME (letter case does not matter).\n"
    "  --index N       Runs only the version at 0-based position N of the list command.\n";

constexpr std::string_view kFooterHelp =
    "\n"
    "The configuration folder is the one named by --config-dir, else the one named by the\n"
    "TARNWICK_CONFIG_DIR environment variable, else the folder of this program; an installed\n"
    "program (in PREFIX/bin) uses the user's ~/.config/Corvanti/Tarnwick instead, where the\n"
    "samples of PREFIX/share/tarnwick are copied on first use.\n"
    "Exit status: 0 success; 1 the preprocessor reported errors, printed as FILE:LINE: MESSAGE on\n"
    "standard error; 2 any other failure, explained on standard error.\n";

// --- Script errors ------------------------------------------------------------------------

// One preprocessor message as FILE:LINE: MESSAGE.
struct ScriptError {
    std::int64_t line;
    std::string message;
};

void PrintScriptErrors(std::string_view file, const std::vector<ScriptError>& errors)
{
    std::string text;
    for (const ScriptError& e : errors) {
        text.append(file).append(":").append(std::to_string(e.line)).append(": ").append(e.message).append("\n");
    }
    WriteStderr(text);
}

// --- Arguments --------------------------------------------------------------------------------

[[noreturn]] void ThrowUnknownOption(std::string_view command, std::string_view arg)
{
    throw UsageError("unknown option \"" + std::string(arg) + "\" for " + std::string(command));
}

// Where the option files are: --config-dir names their folder, --edf and --cdf single files.
struct OptionFileArgs {
    std::optional<std::string> configDir, edf, cdf;

    // Consumes the current argument when it is one of these options.
    bool Take(ArgReader& args, bool withCdf)
    {
        if (auto value = args.Value("--config-dir")) {
            configDir = std::move(value);
        } else if (auto value = args.Value("--edf")) {
            edf = std::move(value);
        } else if (auto value = withCdf ? args.Value("--cdf") : std::nullopt) {
            cdf = std::move(value);
        } else {
            return false;
        }
        return true;
    }

    OptionFiles Resolve() const
    {
        OptionFiles files = configDir ? OptionFiles::InFolder(*configDir)
                                      : OptionFiles::Default(DefaultOptionFolder(ExecutableFolder()));
        if (edf) {
            files.versionTable = *edf;
        }
        if (cdf) {
            files.conditionalDefines = *cdf;
        }
        return files;
    }
};

// --- Commands ---------------------------------------------------------------------------------

// Answers "COMMAND --help": the command's own help and the common footer.
int ShowCommandHelp(std::string_view help)
{
    WriteStdout(std::string(help) + std::string(kFooterHelp));
    return kExitOk;
}

int Preprocess(ArgReader args)
{
    std::vector<std::string> symbols;
    std::vector<std::string> operands;
    while (!args.Done()) {
        if (IsHelp(args.Current())) return ShowCommandHelp(kPreprocessHelp);
        if (auto symbol = args.Value("-D")) {
            symbols.push_back(std::move(*symbol));
        } else if (!args.Operand(operands)) {
            ThrowUnknownOption("preprocess", args.Current());
        }
    }
    if (operands.size() > 1) {
        throw UsageError("preprocess takes at most one FILE");
    }

    const std::string file = operands.empty() ? std::string("-") : operands[0];
    const InputText script = InputText::Read(file);

    PreprocessedPieces output;
    std::vector<ScriptError> errors;
    const bool ok =
        PreprocessScript(script.Text(), output, symbols, [&errors](std::int64_t line, const std::string& message) {
            errors.push_back({line, message});
        });
    if (!ok) {
        PrintScriptErrors(InputText::IsStandardInput(file) ? kStdinName : std::string_view(file), errors);
        return kExitInputErrors;
    }
    WriteStdout(output.Pieces());
    return kExitOk;
}

int List(ArgReader args)
{
    OptionFileArgs optionFiles;
    while (!args.Done()) {
        if (IsHelp(args.Current())) return ShowCommandHelp(kListHelp);
        if (optionFiles.Take(args, false)) {
            continue;
        }
        if (args.Current().starts_with("-")) {
            ThrowUnknownOption("list", args.Current());
        } else {
            throw UsageError("list takes no operand, got \"" + std::string(args.Current()) + "\"");
        }
    }

    const std::vector<std::string> lines = ReadVersionTable(optionFiles.Resolve().versionTable);
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const SqlVersion version = SqlVersion::FromLine(lines[i]);
        text.append(std::to_string(i)).append("\t").append(version.name).append("\t").append(version.define);
        text.append("\t").append(version.extension).append("\n");
    }
    WriteStdout(text);
    return kExitOk;
}

std::size_t ParseIndex(std::string_view text)
{
    std::size_t index = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), index);
    if (text.empty() || error == std::errc::invalid_argument || end != text.data() + text.size()) {
        throw UsageError("--index needs a number counting from 0, got \"" + std::string(text) + "\"");
    }
    if (error == std::errc::result_out_of_range) {
        throw ToolError("Version index " + std::string(text) + " is out of range");
    }
    return index;
}

// The 0-based index of the version called `name` (ignoring letter case) in the sorted table.
std::size_t FindVersion(const std::filesystem::path& versionTable, std::string_view name)
{
    const std::vector<std::string> lines = ReadVersionTable(versionTable);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (AnsiSameText(SqlVersion::FromLine(lines[i]).name, name)) {
            return i;
        }
    }
    throw ToolError("no version named \"" + std::string(name) + "\" in " + versionTable.string());
}

int Run(ArgReader args)
{
    OptionFileArgs optionFiles;
    std::optional<std::string> versionName, indexText;
    std::vector<std::string> operands;
    while (!args.Done()) {
        if (IsHelp(args.Current())) return ShowCommandHelp(kRunHelp);
        if (optionFiles.Take(args, true)) {
            continue;
        }
        if (auto value = args.Value("--version")) {
            versionName = std::move(value);
        } else if (auto value = args.Value("--index")) {
            indexText = std::move(value);
        } else if (!args.Operand(operands)) {
            ThrowUnknownOption("run", args.Current());
        }
    }
    if (operands.size() != 1) {
        throw UsageError("run needs exactly one SCRIPT");
    }
    if (versionName && indexText) {
        throw UsageError("give either --version or --index, not both");
    }

    const std::string& scriptArg = operands[0];
    const OptionFiles files = optionFiles.Resolve();
    VersionSelection selection = kAllVersions;
    if (indexText) {
        selection = ParseIndex(*indexText);
    } else if (versionName) {
        selection = FindVersion(files.versionTable, *versionName);
    }
    const InputText script = InputText::Read(scriptArg);

    std::vector<ScriptError> errors;
    VersionRunEvents events;
    events.onError = [&errors](std::int64_t line, const std::string& message) { errors.push_back({line, message}); };
    events.onWritten = [](const std::filesystem::path& written) { WriteStdout(written.string() + "\n"); };

    if (!RunVersions(script.Text(), scriptArg, selection, files, events)) {
        PrintScriptErrors(scriptArg, errors);
        return kExitInputErrors;
    }
    return kExitOk;
}

int Dispatch(int argc, char** argv)
{
    if (argc < 2) {
        WriteStderr(std::string(kUsage));
        return kExitFailure;
    }
    const std::string_view command = argv[1];
    if (IsHelp(command)) {
        WriteStdout(std::string(kUsage) + "\n" + std::string(kPreprocessHelp) + "\n" + std::string(kListHelp) + "\n" +
                    std::string(kRunHelp) + std::string(kFooterHelp));
        return kExitOk;
    }
    const ArgReader args(argc, argv, 2);
    if (command == "preprocess") {
        return Preprocess(args);
    }
    if (command == "list") {
        return List(args);
    }
    if (command == "run") {
        return Run(args);
    }
    throw UsageError("unknown command \"" + std::string(command) + "\"");
}

}  // namespace

int main(int argc, char** argv)
{
    return RunTool(kProgram, kUsageHint, [&] { return Dispatch(argc, argv); });
}
