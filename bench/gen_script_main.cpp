// tarnwick-gen-script: writes a generated SQL script for benchmarks and peer comparisons.
//
//   tarnwick-gen-script [--mode full|cpp] [--seed N] [--output FILE] [--size] SIZE
//
// SIZE is the script's length in bytes, with an optional K, M or G suffix (binary multiples);
// the script ends at the first point past it where every open block can be closed. Without
// --output the script goes to standard output. A file is written beside the target first and
// takes its place only when complete, so a failed run leaves no half-written script.
//
// Exit status: 0 success, 2 bad arguments or a failed write.

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "script_generator.h"

namespace {

using tarnwick::bench::ScriptMode;
using tarnwick::bench::ScriptOptions;

constexpr std::string_view kUsage =
    "usage: tarnwick-gen-script [--mode full|cpp] [--seed N] [--output FILE] [--size] SIZE\n"
    "  SIZE      length in bytes, optionally with a K, M or G suffix (binary multiples)\n"
    "  --mode    full: every directive, comments, macros, CR LF breaks (default)\n"
    "            cpp:  only #define/#ifdef/#else/#endif, no comments or macros, LF breaks\n"
    "  --seed    seed of the pseudo-random sequence (default 1); same seed, same script\n"
    "  --output  file to write (default: standard output)\n";

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Arguments {
    ScriptOptions options;
    std::optional<std::filesystem::path> output;
    bool help = false;
};

Arguments ParseArguments(int argc, char** argv)
{
    Arguments args;
    std::optional<std::uint64_t> size;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto value = [&](std::string_view option) -> std::string_view {
            if (i + 1 >= argc) throw Failure(std::string(option) + " needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            args.help = true;
        } else if (arg == "--mode") {
            std::string_view name = value(arg);
            auto mode = tarnwick::bench::ParseScriptMode(name);
            if (!mode) throw Failure("unknown mode \"" + std::string(name) + "\" (full or cpp)");
            args.options.mode = *mode;
        } else if (arg == "--seed") {
            std::string_view text = value(arg);
            std::uint64_t seed = 0;
            auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seed);
            if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) {
                throw Failure("bad seed \"" + std::string(text) + "\" (a number)");
            }
            args.options.seed = seed;
        } else if (arg == "--size") {
            if (size) throw Failure("more than one SIZE given");
            std::string_view text = value(arg);
            size = tarnwick::bench::ParseByteSize(text);
            if (!size) throw Failure("bad SIZE \"" + std::string(text) + "\" (e.g. 4096, 64K, 256M, 1G)");
        } else if (arg == "--output" || arg == "-o") {
            std::string_view file = value(arg);
            if (file.empty()) throw Failure("--output needs a file name");
            args.output = std::filesystem::path(file);
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw Failure("unknown option " + std::string(arg));
        } else if (size) {
            throw Failure("more than one SIZE given");
        } else {
            size = tarnwick::bench::ParseByteSize(arg);
            if (!size) throw Failure("bad SIZE \"" + std::string(arg) + "\" (e.g. 4096, 64K, 256M, 1G)");
        }
    }
    if (!args.help) {
        if (!size) throw Failure("SIZE is missing");
        args.options.targetBytes = *size;
    }
    return args;
}

void WriteToStdout(const ScriptOptions& options)
{
    tarnwick::bench::GenerateScript(options, [](std::string_view piece) {
        if (std::fwrite(piece.data(), 1, piece.size(), stdout) != piece.size()) {
            throw Failure(std::string("cannot write to standard output: ") + std::strerror(errno));
        }
    });
    if (std::fflush(stdout) != 0) {
        throw Failure(std::string("cannot write to standard output: ") + std::strerror(errno));
    }
}

// Writes into a temporary file beside `target`, then renames it over the target.
void WriteToFile(const ScriptOptions& options, const std::filesystem::path& target)
{
    std::filesystem::path temporary = target;
    temporary += ".partial";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        throw Failure("cannot create " + temporary.string() + ": " + std::strerror(errno));
    }
    auto fail = [&](const std::string& what) {
        int error = errno;
        std::fclose(file);
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw Failure(what + " " + temporary.string() + ": " + std::strerror(error));
    };
    try {
        tarnwick::bench::GenerateScript(options, [&](std::string_view piece) {
            if (std::fwrite(piece.data(), 1, piece.size(), file) != piece.size()) fail("cannot write");
        });
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        fail("out of memory writing");
    }
    if (std::fflush(file) != 0) fail("cannot write");
    if (std::fclose(file) != 0) {
        int error = errno;
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw Failure("cannot write " + temporary.string() + ": " + std::strerror(error));
    }
    std::error_code ec;
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw Failure("cannot replace " + target.string() + ": " + ec.message());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        Arguments args = ParseArguments(argc, argv);
        if (args.help) {
            std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
            return 0;
        }
        if (args.output) {
            WriteToFile(args.options, *args.output);
        } else {
            WriteToStdout(args.options);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarnwick-gen-script: %s\n", e.what());
        return 2;
    }
}
