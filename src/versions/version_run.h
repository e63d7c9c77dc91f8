#pragma once
// The version run: one output file per SQL version. For each version the script is preprocessed
// with the version's define and the conditional defines set, and the result is written next to
// the script under the script's name with the version's extension. The first failing version
// stops the run; files written for earlier versions stay.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "versions/preprocessor.h"
#include "versions/version_table.h"

namespace tarnwick {

// An error that stops a run before or while writing: "Error saving to %s", or a version index
// outside the table.
class VersionRunError : public Exception {
public:
    using Exception::Exception;
};

// Which versions to run: all of them (std::nullopt) or the one at a 0-based index of the
// sorted version table.
using VersionSelection = std::optional<std::size_t>;
inline constexpr VersionSelection kAllVersions = std::nullopt;

struct VersionRunEvents {
    PreprocessErrorReporter onError;                                      // the failing version's messages
    std::function<void(const std::filesystem::path& written)> onWritten;  // after each file is in place
};

// Runs the versions. Returns false when the preprocessor failed for a version (its messages went
// to `events.onError`). Throws EFOpenError when the version table cannot be read, and
// VersionRunError when an output file cannot be written or the index is outside the table.
bool RunVersions(std::string_view scriptText, const std::filesystem::path& scriptFile, VersionSelection version,
                 const OptionFiles& files, const VersionRunEvents& events);

// The same with an error sink of texts, one entry "Line N: message" per preprocessor error.
bool RunVersions(std::string_view scriptText, const std::filesystem::path& scriptFile, VersionSelection version,
                 const OptionFiles& files, std::vector<std::string>& errorSink);

// The error sink's entry for one preprocessor message: "Line 12: Unknown Token: #foo".
std::string FormatVersionRunError(std::int64_t line, const std::string& message);

}  // namespace tarnwick
