#include "documents/script_file.h"

#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace tarnwick {

fs::path BackupFileName(const fs::path& file)
{
    const std::string name = file.filename().string();
    const std::size_t dot = name.rfind('.');
    const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1, 2);
    return file.parent_path() / (base + ".~" + extension);
}

bool KeepBackup(const fs::path& file, const fs::path& backup) noexcept
{
    try {
        std::error_code ec;
        // The data behind a link is what the save replaces, so that is what the backup keeps.
        fs::path source = file;
        if (fs::is_symlink(fs::symlink_status(file, ec))) {
            source = fs::canonical(file, ec);
            if (ec) return false;
        }
        if (!fs::is_regular_file(source, ec)) return false;
        if (fs::exists(backup, ec) && fs::equivalent(source, backup, ec)) return false;
        if (fs::absolute(backup, ec) == fs::absolute(file, ec)) return false;

        static std::mt19937_64 rng{std::random_device{}()};
        const fs::path temp = backup.parent_path() /
                              ("." + backup.filename().string() + "." + std::to_string(rng() % 1000000007u) + ".tmp");
        fs::create_hard_link(source, temp, ec);
        if (ec) {
            ec.clear();
            fs::copy_file(source, temp, fs::copy_options::overwrite_existing, ec);
            if (ec) {
                fs::remove(temp, ec);
                return false;
            }
        }
        fs::rename(temp, backup, ec);
        if (ec) {
            std::error_code ignored;
            fs::remove(temp, ignored);
            return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool HasUnixLineBreaks(std::string_view text) noexcept
{
    const std::size_t at = text.find_first_of("\r\n");
    return at != std::string_view::npos && text[at] == '\n';
}

bool FileHasUnixLineBreaks(const fs::path& file) noexcept
{
    try {
        std::ifstream in(file, std::ios::binary);
        std::string head(64 * 1024, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
        return HasUnixLineBreaks(head);
    } catch (...) {
        return false;
    }
}

}  // namespace tarnwick
