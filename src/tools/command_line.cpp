#include "tools/command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tarnwick::command_line {

namespace {

// Keeps the three standard descriptors taken, so that a file the program opens can never land on
// one of them when the caller started us with it closed. A closed standard output is replaced by
// a descriptor that refuses writing, so the failure is seen and reported rather than silently lost.
void ReserveStandardDescriptors()
{
#ifndef _WIN32
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int flags = fd == 1 ? O_RDONLY : O_WRONLY;
            const int opened = open("/dev/null", flags);
            if (opened != -1 && opened != fd) {
                dup2(opened, fd);
                close(opened);
            }
        }
    }
#else
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

std::string SystemErrorText(int error) { return std::strerror(error); }

[[noreturn]] void ThrowStdoutFailed(int error)
{
    throw ToolError("cannot write to standard output" + (error != 0 ? ": " + SystemErrorText(error) : ""));
}

std::string ReadStandardInput()
{
    std::string data;
    char buffer[65536];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
        data.append(buffer, got);
        if (got < sizeof buffer) {
            if (std::ferror(stdin)) throw ToolError("cannot read standard input: " + SystemErrorText(errno));
            return data;
        }
    }
}

}  // namespace

int RunTool(std::string_view program, std::string_view usageHint, const std::function<int()>& body)
{
    ReserveStandardDescriptors();
    try {
        return body();
    } catch (const UsageError& e) {
        WriteStderr(std::string(program) + ": " + e.what() + std::string(usageHint));
    } catch (const std::exception& e) {
        WriteStderr(std::string(program) + ": " + e.what() + "\n");
    }
    return kExitFailure;
}

bool IsHelp(std::string_view arg) { return arg == "--help" || arg == "-h"; }

std::optional<std::string> ArgReader::Value(std::string_view name, std::string_view missing)
{
    const auto noValue = [&] {
        return UsageError(missing.empty() ? "option " + std::string(name) + " needs a value"
                                          : std::string(name) + " needs " + std::string(missing));
    };
    const std::string_view arg = Current();
    if (arg == name) {
        if (pos_ + 1 >= args_.size()) throw noValue();
        pos_ += 2;
        return std::string(args_[pos_ - 1]);
    }
    const bool isLong = name.starts_with("--");
    const std::string prefix = std::string(name) + (isLong ? "=" : "");
    if (arg.size() > prefix.size() && arg.starts_with(prefix)) {
        ++pos_;
        return std::string(arg.substr(prefix.size()));
    }
    if (isLong && arg == prefix) throw noValue();
    return std::nullopt;
}

bool ArgReader::Operand(std::vector<std::string>& operands)
{
    const std::string_view arg = Current();
    if (arg == "--") {
        for (++pos_; pos_ < args_.size(); ++pos_) operands.emplace_back(args_[pos_]);
        return true;
    }
    if (arg.size() > 1 && arg[0] == '-') return false;
    operands.emplace_back(arg);
    ++pos_;
    return true;
}

std::vector<std::string> ArgReader::Rest()
{
    std::vector<std::string> rest(args_.begin() + static_cast<std::ptrdiff_t>(pos_), args_.end());
    pos_ = args_.size();
    return rest;
}

InputText InputText::Read(const std::string& file)
{
    InputText input;
    if (IsStandardInput(file)) {
        input.stdin_ = ReadStandardInput();
        input.fromStdin_ = true;
    } else {
        input.file_ = FileView::Open(file);
    }
    return input;
}

void WriteStdout(std::string_view data)
{
    errno = 0;
    if ((!data.empty() && std::fwrite(data.data(), 1, data.size(), stdout) != data.size()) || std::fflush(stdout) != 0)
        ThrowStdoutFailed(errno);
}

void WriteStdout(std::span<const std::string_view> pieces)
{
    errno = 0;
    if (std::fflush(stdout) != 0 || !WritePieces(fileno(stdout), pieces)) ThrowStdoutFailed(errno);
}

void WriteStderr(std::string_view data)
{
    std::fwrite(data.data(), 1, data.size(), stderr);
    std::fflush(stderr);
}

}  // namespace tarnwick::command_line
