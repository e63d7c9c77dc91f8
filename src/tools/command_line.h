#pragma once
// What the command-line programs share: exit codes, the errors that end a run, reading the
// arguments, reading a file or standard input, and writing to the standard streams.
//
// A program's main is RunTool(program, usageHint, body): body does the work and returns the exit
// code; what it throws is reported on standard error as "PROGRAM: MESSAGE" (a usage error with the
// program's hint after the message) and ends the run with kExitFailure.

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"

namespace tarnwick::command_line {

inline constexpr int kExitOk = 0;
// The input has errors of its own (a script the preprocessor or the compiler rejects); the
// program has printed them.
inline constexpr int kExitInputErrors = 1;
// Any other failure: bad arguments, a file that cannot be read or written.
inline constexpr int kExitFailure = 2;

// A failure of the program itself: bad arguments, standard input or output that fails.
class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Wrong arguments: reported with the program's usage hint.
class UsageError : public ToolError {
public:
    using ToolError::ToolError;
};

// Prepares the standard streams, then runs `body` and returns its exit code. An exception that
// leaves `body` is written to standard error as "PROGRAM: MESSAGE", followed for a UsageError by
// `usageHint` (which starts with what goes on the message's line), else by a line break; the
// result is then kExitFailure.
int RunTool(std::string_view program, std::string_view usageHint, const std::function<int()>& body);

// "--help" or "-h".
bool IsHelp(std::string_view arg);

// The arguments of one command, read from left to right.
class ArgReader {
public:
    ArgReader(int argc, char** argv, int first) : args_(argv + first, argv + argc) {}

    bool Done() const { return pos_ >= args_.size(); }
    std::string_view Current() const { return args_[pos_]; }

    // Consumes an option that takes a value, written "NAME VALUE" or attached: "NAMEVALUE" for a
    // short option (-DX), "NAME=VALUE" for a long one (--edf=x). Returns nothing when the current
    // argument is not this option; raises a UsageError when the value is missing: "NAME needs
    // MISSING", or "option NAME needs a value" when `missing` is empty.
    std::optional<std::string> Value(std::string_view name, std::string_view missing = {});

    // Consumes the current argument as an operand. "--" ends the options: everything after it is
    // an operand. "-" alone is an operand (standard input where a file may be given). Returns
    // false, consuming nothing, for an option.
    bool Operand(std::vector<std::string>& operands);

    // Consumes every argument left, as it is.
    std::vector<std::string> Rest();

private:
    std::vector<std::string_view> args_;
    std::size_t pos_ = 0;
};

// The text of a file, or of standard input for "-"; a large file is mapped
// rather than read. Raises EFOpenError for a file and ToolError for standard input that cannot be
// read.
class InputText {
public:
    static InputText Read(const std::string& file);
    static bool IsStandardInput(const std::string& file) { return file == "-"; }
    std::string_view Text() const { return fromStdin_ ? std::string_view(stdin_) : file_.Text(); }

private:
    FileView file_;
    std::string stdin_;
    bool fromStdin_ = false;
};

// Writes to standard output and flushes it; raises ToolError when the bytes cannot be delivered.
void WriteStdout(std::string_view data);
// The pieces in order, without gathering them into one buffer first.
void WriteStdout(std::span<const std::string_view> pieces);
void WriteStderr(std::string_view data);

}  // namespace tarnwick::command_line
