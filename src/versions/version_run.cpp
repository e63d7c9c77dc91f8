#include "versions/version_run.h"

#include <system_error>

#include "base/file_io.h"

namespace fs = std::filesystem;

namespace tarnwick {

std::string FormatVersionRunError(std::int64_t line, const std::string& message)
{
    return "Line " + std::to_string(line) + ": " + message;
}

namespace {

bool IsSameFile(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

}  // namespace

bool RunVersions(std::string_view scriptText, const fs::path& scriptFile, VersionSelection version,
                 const OptionFiles& files, const VersionRunEvents& events)
{
    const std::vector<std::string> table = ReadVersionTable(files.versionTable);
    const std::vector<std::string> conditionalDefines = ReadConditionalDefines(files.conditionalDefines);

    std::size_t first = 0, last = table.size();
    if (version) {
        if (*version >= table.size())
            throw VersionRunError("Version index " + std::to_string(*version) + " is out of range: the table has " +
                                  std::to_string(table.size()) + " versions");
        first = *version;
        last = *version + 1;
    }

    // An output file that is the script itself would replace the script with one version of it.
    for (std::size_t i = first; i < last; ++i) {
        const fs::path target = VersionOutputFile(scriptFile, SqlVersion::FromLine(table[i]).extension);
        if (IsSameFile(target, scriptFile))
            throw VersionRunError("Error saving to " + target.string() + ": the output file is the script itself");
    }

    PreprocessedPieces output;
    for (std::size_t i = first; i < last; ++i) {
        const SqlVersion v = SqlVersion::FromLine(table[i]);
        std::vector<std::string> symbols = StartingSymbols(v.define, conditionalDefines);
        output.Clear();
        if (!PreprocessScript(scriptText, output, symbols, events.onError)) return false;
        const fs::path target = VersionOutputFile(scriptFile, v.extension);
        if (!WriteWholeFile(target, output.Pieces())) throw VersionRunError("Error saving to " + target.string());
        if (events.onWritten) events.onWritten(target);
    }
    return true;
}

bool RunVersions(std::string_view scriptText, const fs::path& scriptFile, VersionSelection version,
                 const OptionFiles& files, std::vector<std::string>& errorSink)
{
    VersionRunEvents events;
    events.onError = [&](std::int64_t line, const std::string& message) {
        errorSink.push_back(FormatVersionRunError(line, message));
    };
    return RunVersions(scriptText, scriptFile, version, files, events);
}

}  // namespace tarnwick
