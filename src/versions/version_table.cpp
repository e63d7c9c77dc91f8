#include "versions/version_table.h"

#include <algorithm>
#include <cstdlib>

#include "base/ansi_text.h"
#include "base/errors.h"
#include "base/file_io.h"

namespace fs = std::filesystem;

namespace tarnwick {

OptionFiles OptionFiles::InFolder(const fs::path& folder) { return {folder / "tarnwick.edf", folder / "tarnwick.cdf"}; }

OptionFiles OptionFiles::Default(const fs::path& executableFolder)
{
    const char* configured = std::getenv("TARNWICK_CONFIG_DIR");
    if (configured && *configured) return InFolder(configured);
    return InFolder(executableFolder);
}

SqlVersion SqlVersion::FromLine(std::string_view line)
{
    SqlVersion v;
    const std::size_t tab1 = line.find('\t');
    v.name = std::string(line.substr(0, tab1));
    if (tab1 == std::string_view::npos) return v;
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    v.define =
        std::string(line.substr(tab1 + 1, tab2 == std::string_view::npos ? std::string_view::npos : tab2 - tab1 - 1));
    if (tab2 != std::string_view::npos) v.extension = std::string(line.substr(tab2 + 1));
    return v;
}

std::string SqlVersion::ToLine() const { return name + '\t' + define + '\t' + extension; }

bool InsertSortedVersionLine(std::vector<std::string>& lines, std::string line)
{
    const auto at = std::lower_bound(lines.begin(), lines.end(), line, [](const std::string& a, const std::string& b) {
        return AnsiCompareText(a, b) < 0;
    });
    if (at != lines.end() && AnsiCompareText(*at, line) == 0) return false;
    lines.insert(at, std::move(line));
    return true;
}

std::vector<std::string> SortVersionLines(const std::vector<std::string>& lines)
{
    // Stable sort keeps the first of several lines equal but for case, as inserting one by one would.
    std::vector<std::string> sorted;
    sorted.reserve(lines.size());
    for (const std::string& line : lines)
        if (!line.empty()) sorted.push_back(line);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
    sorted.erase(std::unique(sorted.begin(), sorted.end(),
                             [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) == 0; }),
                 sorted.end());
    return sorted;
}

std::vector<std::string> ReadVersionTable(const fs::path& file)
{
    return SortVersionLines(SplitLines(ReadWholeFile(file)));
}

std::vector<std::string> ReadConditionalDefines(const fs::path& file)
{
    std::error_code ec;
    if (!fs::exists(file, ec)) return {};
    return SplitLines(ReadWholeFile(file));
}

std::vector<std::string> SplitConditionalDefines(std::string_view line)
{
    std::vector<std::string> pieces;
    std::string piece;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') quoted = !quoted;
        if (c == ';' && !quoted) {
            if (!piece.empty()) pieces.push_back(std::move(piece));
            piece.clear();
        } else {
            piece.push_back(c);
        }
    }
    if (!piece.empty()) pieces.push_back(std::move(piece));
    return pieces;
}

std::vector<std::string> StartingSymbols(const std::string& define, const std::vector<std::string>& conditionalDefines)
{
    std::vector<std::string> symbols{define};
    if (!conditionalDefines.empty()) {
        std::vector<std::string> pieces = SplitConditionalDefines(conditionalDefines.front());
        symbols.insert(symbols.end(), std::make_move_iterator(pieces.begin()), std::make_move_iterator(pieces.end()));
    }
    return symbols;
}

fs::path VersionOutputFile(const fs::path& script, std::string_view extension)
{
    std::string name = script.filename().string();
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    name.append(extension);
    return script.parent_path() / name;
}

std::vector<std::string> PromoteConditionalDefines(std::vector<std::string> items, const std::string& editText)
{
    const auto found =
        std::find_if(items.begin(), items.end(), [&](const std::string& item) { return AnsiSameText(item, editText); });
    if (found != items.end()) {
        std::rotate(items.begin(), found, found + 1);
    } else {
        items.insert(items.begin(), editText);
    }
    if (items.size() > kMaxConditionalDefines) items.resize(kMaxConditionalDefines);
    return items;
}

namespace {

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace

EnvironmentOptions LoadEnvironmentOptions(const OptionFiles& files)
{
    EnvironmentOptions options;
    std::error_code ec;
    if (fs::exists(files.versionTable, ec)) options.versionLines = ReadVersionTable(files.versionTable);
    options.conditionalDefines = ReadConditionalDefines(files.conditionalDefines);
    return options;
}

std::vector<std::string> SaveEnvironmentOptions(const OptionFiles& files, const std::vector<std::string>& versionLines,
                                                const std::vector<std::string>& conditionalDefines,
                                                const std::string& editText)
{
    WriteWholeFileOrThrow(files.versionTable, JoinLines(versionLines));
    std::vector<std::string> promoted = PromoteConditionalDefines(conditionalDefines, editText);
    WriteWholeFileOrThrow(files.conditionalDefines, JoinLines(promoted));
    return promoted;
}

}  // namespace tarnwick
