#pragma once
// A script file on disk as the edit window keeps it: the backup of its previous contents and
// the line breaks it was written with.

#include <filesystem>
#include <string_view>

namespace tarnwick {

// The backup's name: the file name with its extension (from the last "." of the file-name part
// on) replaced by ".~" and the first two characters after that dot: a.sql gives a.~sq, a.txt
// a.~tx, a name without extension gets ".~" appended.
std::filesystem::path BackupFileName(const std::filesystem::path& file);

// Puts the current contents of `file` under the name `backup` without touching `file` itself: a
// second name for the same data where the file system allows it, else a copy. A backup already
// there is replaced only once the new one is complete. Returns false when there was nothing to
// keep (no such file, or the backup would be the file itself) or the backup could not be made;
// the file is unchanged either way.
bool KeepBackup(const std::filesystem::path& file, const std::filesystem::path& backup) noexcept;

// Whether a text is written with Unix line breaks, judged by its first line break: LF alone is,
// anything else (CR LF, a lone CR, no break at all) is not.
bool HasUnixLineBreaks(std::string_view text) noexcept;

// The same for a file, from its first 64 KiB; false when it cannot be read.
bool FileHasUnixLineBreaks(const std::filesystem::path& file) noexcept;

}  // namespace tarnwick
