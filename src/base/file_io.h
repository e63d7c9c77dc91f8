#pragma once
// Whole-file reading and writing, byte for byte. Writing never leaves a half-written file in
// place of a good one: the data goes to a temporary file beside the target, which then takes
// the target's place in one step.

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

// Reads the whole file; throws EFOpenError (with the file's name) when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& file);

// The whole contents of a file, read-only. Large files are mapped into memory rather than copied,
// so that a 100 MB script costs neither a copy nor fresh memory; small ones are read.
class FileView {
public:
    // Throws EFOpenError (with the file's name) when the file cannot be read.
    static FileView Open(const std::filesystem::path& file);

    FileView();
    FileView(FileView&&) noexcept;
    FileView& operator=(FileView&&) noexcept;
    ~FileView();

    std::string_view Text() const;

private:
    struct Contents;
    std::unique_ptr<Contents> contents_;
};

// Writes every piece, in order, to an open file descriptor (standard output, say). Returns false
// when a write fails.
bool WritePieces(int fd, std::span<const std::string_view> pieces) noexcept;

// Replaces the file's contents with the pieces, one after the other, or creates it. Returns
// false, leaving whatever was there untouched, when the file cannot be written.
bool WriteWholeFile(const std::filesystem::path& file, std::span<const std::string_view> pieces) noexcept;

// Replaces the file's contents with `data`, or creates it. Returns false, leaving whatever was
// there untouched, when the file cannot be written. A symbolic link is followed: its target
// receives the data. An existing file keeps its permissions.
bool WriteWholeFile(const std::filesystem::path& file, std::string_view data) noexcept;

// The same, throwing EFCreateError with the file's name on failure.
void WriteWholeFileOrThrow(const std::filesystem::path& file, std::string_view data);

}  // namespace tarnwick
