#pragma once
// The SQL version table (".edf") and the conditional defines (".cdf"): the two option files the
// environment options dialog keeps, and what the version run and the versions menu read.
//
// Version table: one version per line, "NAME<TAB>DEFINE<TAB>EXTENSION", lines ended by CR LF.
// Conditional defines: up to ten lines, most recently used first; the first is the one in force,
// its symbols separated by ";".

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Where the option files live.
struct OptionFiles {
    std::filesystem::path versionTable;        // tarnwick.edf
    std::filesystem::path conditionalDefines;  // tarnwick.cdf

    // The files in `folder`.
    static OptionFiles InFolder(const std::filesystem::path& folder);
    // The files in the folder named by TARNWICK_CONFIG_DIR when it is set and not empty,
    // else in `executableFolder`.
    static OptionFiles Default(const std::filesystem::path& executableFolder);
};

inline constexpr std::size_t kMaxConditionalDefines = 10;

// One SQL version: the parts of one version line.
struct SqlVersion {
    std::string name;       // shown in menus
    std::string define;     // defined while the script is preprocessed for this version
    std::string extension;  // appended to the script's base name, dot included when stored with one

    // Splits a line at its first two tabs; missing parts are empty.
    static SqlVersion FromLine(std::string_view line);
    std::string ToLine() const;
};

// Inserts `line` into `lines`, kept in the version table's sorted order (locale-aware,
// case-insensitive order of whole lines). A line equal to one already there (ignoring case)
// is not inserted. Returns whether it was.
bool InsertSortedVersionLine(std::vector<std::string>& lines, std::string line);

// Sorts version lines as the version table is read: sorted order, later duplicates dropped,
// empty lines skipped.
std::vector<std::string> SortVersionLines(const std::vector<std::string>& lines);

// Reads the version table file into its sorted list. Throws EFOpenError when the file cannot
// be read (a missing table is an error for the run and the versions menu).
std::vector<std::string> ReadVersionTable(const std::filesystem::path& file);

// Reads the conditional-defines file as lines; a missing file gives an empty list.
std::vector<std::string> ReadConditionalDefines(const std::filesystem::path& file);

// The non-empty ";"-separated pieces of a conditional-defines string, in order and untrimmed.
// A ";" inside a double-quoted stretch does not separate; the quotes stay in the piece.
std::vector<std::string> SplitConditionalDefines(std::string_view line);

// The starting symbol list of a version: its define first, then the pieces of the first
// conditional-defines line (if any). Duplicates are kept.
std::vector<std::string> StartingSymbols(const std::string& define, const std::vector<std::string>& conditionalDefines);

// The script's file name with its extension (from the last "." of the file-name part on)
// replaced by `extension` exactly as stored.
std::filesystem::path VersionOutputFile(const std::filesystem::path& script, std::string_view extension);

// Moves `editText` to the top of the most-recently-used conditional-defines list: an item equal
// to it ignoring case is moved (keeping its own spelling), otherwise the text is inserted; then
// the list is cut to its first ten items.
std::vector<std::string> PromoteConditionalDefines(std::vector<std::string> items, const std::string& editText);

// What the environment options dialog starts from: the version lines in sorted order and the
// conditional-defines list, most recent first. Missing files give empty lists.
struct EnvironmentOptions {
    std::vector<std::string> versionLines;
    std::vector<std::string> conditionalDefines;
};
EnvironmentOptions LoadEnvironmentOptions(const OptionFiles& files);

// What OK in the environment options dialog does to the files: the version lines are written to
// the version table in the order given, and the conditional-defines list, with `editText`
// promoted to its top, to the conditional-defines file; every line ends in CR LF. Throws
// EFCreateError naming the file that could not be written; a file that fails keeps its old
// contents. Returns the conditional-defines list as written.
std::vector<std::string> SaveEnvironmentOptions(const OptionFiles& files, const std::vector<std::string>& versionLines,
                                                const std::vector<std::string>& conditionalDefines,
                                                const std::string& editText);

}  // namespace tarnwick
