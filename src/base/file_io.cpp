#include "base/file_io.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

#include "base/errors.h"

#if defined(_WIN32)
#include <io.h>

#include <fstream>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <climits>
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

#if defined(_WIN32)

struct FileView::Contents {
    std::string owned;
    std::string_view Text() const { return owned; }
};

FileView FileView::Open(const fs::path& file)
{
    FileView v;
    v.contents_ = std::make_unique<Contents>();
    v.contents_->owned = ReadWholeFile(file);
    return v;
}

#else

// Files from this size on are mapped; smaller ones are cheaper to read.
constexpr std::size_t kMapThreshold = 1 << 20;

struct FileView::Contents {
    std::string owned;
    void* mapped = nullptr;
    std::size_t mappedSize = 0;
    ~Contents()
    {
        if (mapped) ::munmap(mapped, mappedSize);
    }
    std::string_view Text() const
    {
        return mapped ? std::string_view(static_cast<const char*>(mapped), mappedSize) : std::string_view(owned);
    }
};

FileView FileView::Open(const fs::path& file)
{
    FileView v;
    v.contents_ = std::make_unique<Contents>();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EFOpenError(file.string());
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) >= kMapThreshold) {
        void* p = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (p != MAP_FAILED) {
            v.contents_->mapped = p;
            v.contents_->mappedSize = static_cast<std::size_t>(st.st_size);
            ::close(fd);
            return v;
        }
    }
    ::close(fd);
    v.contents_->owned = ReadWholeFile(file);
    return v;
}

#endif

FileView::FileView() = default;
FileView::FileView(FileView&&) noexcept = default;
FileView& FileView::operator=(FileView&&) noexcept = default;
FileView::~FileView() = default;
std::string_view FileView::Text() const { return contents_ ? contents_->Text() : std::string_view(); }

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
    thread_local std::mt19937_64 rng{std::random_device{}()};  // files are written from worker threads too
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(rng()));
    std::string name(".");
    name.append(target.filename().string());
    name.append(suffix);
    return (target.parent_path() / name).string();
}

}  // namespace

#if defined(_WIN32)

bool WritePieces(int fd, std::span<const std::string_view> pieces) noexcept
{
    for (std::string_view piece : pieces)
        if (!piece.empty() &&
            ::_write(fd, piece.data(), static_cast<unsigned>(piece.size())) != static_cast<int>(piece.size()))
            return false;
    return true;
}

bool WriteWholeFile(const fs::path& file, std::span<const std::string_view> pieces) noexcept
{
    try {
        const fs::path target = ResolveTarget(file);
        const fs::path temp = TemporaryName(target);
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            for (std::string_view piece : pieces) out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
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

bool WritePieces(int fd, std::span<const std::string_view> pieces) noexcept
{
    // Gathered writes, at most IOV_MAX pieces a call; a short write resumes where it stopped.
    std::size_t next = 0;
    std::size_t offset = 0;  // bytes of pieces[next] already written
    iovec iov[IOV_MAX];
    while (next < pieces.size()) {
        int count = 0;
        for (std::size_t i = next; i < pieces.size() && count < IOV_MAX; ++i) {
            const std::size_t skip = i == next ? offset : 0;
            if (pieces[i].size() == skip) continue;
            iov[count].iov_base = const_cast<char*>(pieces[i].data() + skip);
            iov[count].iov_len = pieces[i].size() - skip;
            ++count;
        }
        if (count == 0) return true;
        ssize_t written = ::writev(fd, iov, count);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        while (next < pieces.size()) {
            const std::size_t left = pieces[next].size() - offset;
            if (static_cast<std::size_t>(written) < left) {
                offset += static_cast<std::size_t>(written);
                break;
            }
            written -= static_cast<ssize_t>(left);
            ++next;
            offset = 0;
        }
    }
    return true;
}

bool WriteWholeFile(const fs::path& file, std::span<const std::string_view> pieces) noexcept
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

        bool ok = WritePieces(fd, pieces);
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

bool WriteWholeFile(const fs::path& file, std::string_view data) noexcept
{
    return WriteWholeFile(file, std::span<const std::string_view>(&data, 1));
}

void WriteWholeFileOrThrow(const fs::path& file, std::string_view data)
{
    if (!WriteWholeFile(file, data)) throw EFCreateError(file.string());
}

}  // namespace tarnwick
