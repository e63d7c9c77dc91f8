#pragma once
// Whole-file reading and writing, byte for byte. Writing never leaves a half-written file in
// place of a good one: the data goes to a temporary file beside the target, which then takes
// the target's place in one step.

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwick {

// Reads the whole file; throws EFOpenError (with the file's name) when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& file);

// Replaces the file's contents with `data`, or creates it. Returns false, leaving whatever was
// there untouched, when the file cannot be written. A symbolic link is followed: its target
// receives the data. An existing file keeps its permissions.
bool WriteWholeFile(const std::filesystem::path& file, std::string_view data) noexcept;

// The same, throwing EFCreateError with the file's name on failure.
void WriteWholeFileOrThrow(const std::filesystem::path& file, std::string_view data);

}  // namespace tarnwick
