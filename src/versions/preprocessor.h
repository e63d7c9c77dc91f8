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
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Receives the 1-based line number and the complete message of one error.
using PreprocessErrorReporter = std::function<void(std::int64_t line, const std::string& message)>;

// Where the preprocessor puts what it emits, in order.
class PreprocessOutput {
public:
    virtual ~PreprocessOutput() = default;
    // A stretch of the script emitted unchanged; it stays valid as long as the script does.
    virtual void AppendScript(std::string_view piece) = 0;
    // Text the preprocessor made (comments cut out, macros substituted); gone after the call.
    virtual void AppendText(std::string_view text) = 0;
};

// The output as a list of pieces: unchanged stretches point into the script, made text is kept
// here. Costs no copy of the script, which matters for large scripts written straight to a file.
// Valid only as long as the script it was made from.
class PreprocessedPieces final : public PreprocessOutput {
public:
    void AppendScript(std::string_view piece) override;
    void AppendText(std::string_view text) override;

    std::span<const std::string_view> Pieces() const { return pieces_; }
    std::size_t Size() const { return size_; }
    std::string ToString() const;
    void Clear();

private:
    std::vector<std::string_view> pieces_;
    std::vector<std::unique_ptr<char[]>> blocks_;  // storage of the made text
    std::size_t blockUsed_ = 0;
    std::size_t blockSize_ = 0;
    std::size_t size_ = 0;
};

// Runs the preprocessor over `script`, handing every emitted line (with the line breaks in front
// of it) to `output`. Otherwise as below.
bool PreprocessScript(std::string_view script, PreprocessOutput& output, std::vector<std::string>& symbols,
                      const PreprocessErrorReporter& reporter);

// Runs the preprocessor over `script`, appending every emitted line (with the line breaks in
// front of it) to `output`. `symbols` is the defined-symbol list: it holds the starting symbols
// (duplicates allowed) and is left as #define and #undef changed it, up to the failing line.
// Returns true when no error was reported; on false the output must not be used.
// The reporter is called at most three times: once for the failing line, then by the
// end-of-text checks for an open block comment and for open #ifdef/#ifndef blocks.
bool PreprocessScript(std::string_view script, std::string& output, std::vector<std::string>& symbols,
                      const PreprocessErrorReporter& reporter);

}  // namespace tarnwick
