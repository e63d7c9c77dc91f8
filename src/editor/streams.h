#pragma once
// The streams the editor classes save to and load from: a small stream interface, memory and
// file streams, and the little-endian helpers of every binary format of the editor family:
// 8/16/32-bit integers, `sstr` (8-bit length and the characters), `lstr` (32-bit length and the
// characters) and 32-byte sets.
//
// Readers never trust a length field: a count or length that is negative or larger than what is
// left in the stream raises EStreamError before anything is allocated.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "editor/byte_set.h"
#include "editor/editor_errors.h"

namespace tarnwick {

enum class SeekOrigin { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TStream {
public:
    virtual ~TStream() = default;

    // Reads up to `count` bytes; returns how many were read (fewer at the end).
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Writes `count` bytes; returns how many were written.
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    // Moves the position and returns the new one.
    virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;
    virtual std::int64_t Size();

    std::int64_t Position() { return Seek(0, SeekOrigin::soFromCurrent); }
    void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::soFromBeginning); }
    // Bytes between the position and the end.
    std::int64_t Remaining();

    // Reads exactly `count` bytes or raises EStreamError "Stream read error".
    void ReadBuffer(void* buffer, std::size_t count);
    // Writes exactly `count` bytes or raises EStreamError "Stream write error".
    void WriteBuffer(const void* buffer, std::size_t count);
    // Copies `count` bytes (all from the start when 0) from `source`; returns the number copied.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// A stream over a growable block of memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string data) : data_(std::move(data)) {}

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }

    const std::string& Data() const { return data_; }
    void Clear()
    {
        data_.clear();
        position_ = 0;
    }

private:
    std::string data_;
    std::size_t position_ = 0;
};

// A read-only stream over bytes the caller keeps alive; nothing is copied.
class ReadOnlyMemoryStream : public TStream {
public:
    explicit ReadOnlyMemoryStream(std::string_view data) : data_(data) {}
    explicit ReadOnlyMemoryStream(const char* data) : ReadOnlyMemoryStream(std::string_view(data)) {}
    // The stream does not keep its bytes alive: a temporary string would leave it reading freed memory.
    ReadOnlyMemoryStream(std::string&&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;  // raises EStreamError
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }

protected:
    void Repoint(std::string_view data)
    {
        data_ = data;
        position_ = 0;
    }

private:
    std::string_view data_;
    std::size_t position_ = 0;
};

// A stream over a file, opened for reading or created for writing. Opening raises EFOpenError or
// EFCreateError with the file's name.
class TFileStream : public TStream {
public:
    enum class Mode { fmOpenRead, fmCreate };
    TFileStream(const std::filesystem::path& file, Mode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;

private:
    std::FILE* file_ = nullptr;
};

// ---- little-endian readers and writers

std::uint8_t ReadU8(TStream& s);
std::uint16_t ReadU16(TStream& s);
std::uint32_t ReadU32(TStream& s);
std::int32_t ReadI32(TStream& s);
// An 8-bit length and that many characters.
std::string ReadSStr(TStream& s);
// A 32-bit length and that many characters; a negative length or one beyond the end raises.
std::string ReadLStr(TStream& s);
ByteSet ReadSet32(TStream& s);
// A 32-bit count of items each at least `minItemSize` bytes long: raises EStreamError when the
// count is negative or the stream cannot hold that many items.
std::int32_t ReadCount(TStream& s, std::size_t minItemSize);

void WriteU8(TStream& s, std::uint8_t v);
void WriteU16(TStream& s, std::uint16_t v);
void WriteU32(TStream& s, std::uint32_t v);
void WriteI32(TStream& s, std::int32_t v);
// Raises EStreamError when the text is longer than 255 characters.
void WriteSStr(TStream& s, std::string_view text);
void WriteLStr(TStream& s, std::string_view text);
void WriteSet32(TStream& s, const ByteSet& set);

}  // namespace tarnwick
