#pragma once
// The script preprocessor: turns one SQL script into the text of one SQL version.
//
// A script carries line directives (#define, #undef, #ifdef, #ifndef, #else, #endif, #set),
// block comments between "/*" and "*/", comment lines beginning with "--", and macro references
// written "&name". Lines whose conditions hold are kept, directive and comment lines dropped,
// macros substituted. The first error stops processing; the error reporter hears each message
// with the number of the line it belongs to.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Receives the 1-based line number and the complete message of one error.
using PreprocessErrorReporter = std::function<void(std::int64_t line, const std::string& message)>;

// Runs the preprocessor over `script`, appending every emitted line (with the line breaks in
// front of it) to `output`. `symbols` is the defined-symbol list: it holds the starting symbols
// (duplicates allowed) and is left as #define and #undef changed it, up to the failing line.
// Returns true when no error was reported; on false the output must not be used.
// The reporter is called at most three times: once for the failing line, then by the
// end-of-text checks for an open block comment and for open #ifdef/#ifndef blocks.
bool PreprocessScript(std::string_view script, std::string& output, std::vector<std::string>& symbols,
                      const PreprocessErrorReporter& reporter);

}  // namespace tarnwick
