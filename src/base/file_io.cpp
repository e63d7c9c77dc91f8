#include "base/file_io.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

#include "base/errors.h"

#if defined(_WIN32)
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace tarnwick {

std::string ReadWholeFile(const fs::path& file)
{
    std::error_code ec;
    if (fs::is_directory(file, ec)) throw EFOpenError(file.string());
    std::FILE* f = std::fopen(file.string().c_str(), "rb");
    if (!f) throw EFOpenError(file.string());
    std::string data;
    const auto size = fs::file_size(file, ec);
    if (!ec && size > 0) data.reserve(static_cast<std::size_t>(size));
    char buffer[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, f);
        data.append(buffer, got);
        if (got < sizeof buffer) break;
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) throw EFOpenError(file.string());
    return data;
}

namespace {

// A link is replaced by its target so that writing through it keeps the link.
fs::path ResolveTarget(const fs::path& file)
{
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(file, ec))) {
        fs::path target = fs::weakly_canonical(file, ec);
        if (!ec) return target;
    }
    return file;
}

std::string TemporaryName(const fs::path& target)
{
    static std::mt19937_64 rng{std::random_device{}()};
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(rng()));
    std::string name(".");
    name.append(target.filename().string());
    name.append(suffix);
    return (target.parent_path() / name).string();
}

}  // namespace

#if defined(_WIN32)

bool WriteWholeFile(const fs::path& file, std::string_view data) noexcept
{
    try {
        const fs::path target = ResolveTarget(file);
        const fs::path temp = TemporaryName(target);
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            out.write(data.data(), static_cast<std::streamsize>(data.size()));
            out.close();
            if (!out) {
                std::error_code ec;
                fs::remove(temp, ec);
                return false;
            }
        }
        std::error_code ec;
        fs::rename(temp, target, ec);
        if (ec) {
            fs::remove(temp, ec);
            return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

#else

bool WriteWholeFile(const fs::path& file, std::string_view data) noexcept
{
    try {
        const fs::path target = ResolveTarget(file);
        struct stat existing {};
        const bool exists = ::stat(target.c_str(), &existing) == 0;
        if (exists && S_ISDIR(existing.st_mode)) return false;

        std::string temp;
        int fd = -1;
        for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
            temp = TemporaryName(target);
            fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST) return false;
        }
        if (fd < 0) return false;

        bool ok = true;
        const char* p = data.data();
        std::size_t left = data.size();
        while (ok && left > 0) {
            const ssize_t written = ::write(fd, p, left);
            if (written < 0) {
                if (errno == EINTR) continue;
                ok = false;
            } else {
                p += written;
                left -= static_cast<std::size_t>(written);
            }
        }
        if (ok && exists) (void)::fchmod(fd, existing.st_mode & 07777);
        if (ok && ::fsync(fd) != 0) ok = false;
        if (::close(fd) != 0) ok = false;
        if (ok && ::rename(temp.c_str(), target.c_str()) != 0) ok = false;
        if (!ok) ::unlink(temp.c_str());
        return ok;
    } catch (...) {
        return false;
    }
}

#endif

void WriteWholeFileOrThrow(const fs::path& file, std::string_view data)
{
    if (!WriteWholeFile(file, data)) throw EFCreateError(file.string());
}

}  // namespace tarnwick
