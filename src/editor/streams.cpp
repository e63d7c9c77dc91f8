#include "editor/streams.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tarnwick {

// ---- TStream

std::int64_t TStream::Size()
{
    const std::int64_t here = Seek(0, SeekOrigin::soFromCurrent);
    const std::int64_t end = Seek(0, SeekOrigin::soFromEnd);
    Seek(here, SeekOrigin::soFromBeginning);
    return end;
}

std::int64_t TStream::Remaining()
{
    const std::int64_t left = Size() - Position();
    return left > 0 ? left : 0;
}

void TStream::ReadBuffer(void* buffer, std::size_t count)
{
    if (count != 0 && Read(buffer, count) != count) throw EStreamError(msg::kStreamReadError);
}

void TStream::WriteBuffer(const void* buffer, std::size_t count)
{
    if (count != 0 && Write(buffer, count) != count) throw EStreamError(msg::kStreamWriteError);
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    char buffer[1 << 15];
    std::int64_t copied = 0;
    while (copied < count) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::int64_t>(count - copied, sizeof buffer));
        source.ReadBuffer(buffer, chunk);
        WriteBuffer(buffer, chunk);
        copied += static_cast<std::int64_t>(chunk);
    }
    return copied;
}

namespace {

// The position a seek asks for, kept within 0 .. size for memory streams.
std::size_t SeekTarget(std::int64_t offset, SeekOrigin origin, std::size_t position, std::size_t size)
{
    std::int64_t base = 0;
    if (origin == SeekOrigin::soFromCurrent) base = static_cast<std::int64_t>(position);
    else if (origin == SeekOrigin::soFromEnd) base = static_cast<std::int64_t>(size);
    std::int64_t target;
    if (__builtin_add_overflow(base, offset, &target)) target = offset < 0 ? 0 : INT64_MAX;
    if (target < 0) target = 0;
    return static_cast<std::size_t>(target);
}

// Copies up to `count` bytes of `data` from `position` on, moving the position.
std::size_t ReadFrom(std::string_view data, std::size_t& position, void* buffer, std::size_t count)
{
    if (position >= data.size()) return 0;
    const std::size_t n = std::min(count, data.size() - position);
    std::memcpy(buffer, data.data() + position, n);
    position += n;
    return n;
}

}  // namespace

// ---- TMemoryStream

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) { return ReadFrom(data_, position_, buffer, count); }

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count)
{
    if (count == 0) return 0;
    // A position far past the end would have the write allocate everything up to it.
    if (position_ > data_.size() + (std::size_t{1} << 30)) throw EStreamError(msg::kStreamWriteError);
    if (position_ > data_.size()) data_.resize(position_);
    const std::size_t overlap = std::min(count, data_.size() - position_);
    data_.replace(position_, overlap, static_cast<const char*>(buffer), count);
    position_ += count;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    position_ = SeekTarget(offset, origin, position_, data_.size());
    return static_cast<std::int64_t>(position_);
}

// ---- ReadOnlyMemoryStream

std::size_t ReadOnlyMemoryStream::Read(void* buffer, std::size_t count)
{
    return ReadFrom(data_, position_, buffer, count);
}

std::size_t ReadOnlyMemoryStream::Write(const void*, std::size_t) { throw EStreamError(msg::kReadOnlyStream); }

std::int64_t ReadOnlyMemoryStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    position_ = std::min(SeekTarget(offset, origin, position_, data_.size()), data_.size());
    return static_cast<std::int64_t>(position_);
}

// ---- TFileStream

TFileStream::TFileStream(const std::filesystem::path& file, Mode mode)
{
    file_ = std::fopen(file.string().c_str(), mode == Mode::fmCreate ? "w+b" : "rb");
    if (!file_) {
        if (mode == Mode::fmCreate) throw EFCreateError(file.string());
        throw EFOpenError(file.string());
    }
}

TFileStream::~TFileStream()
{
    if (file_) std::fclose(file_);
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) { return std::fread(buffer, 1, count, file_); }

std::size_t TFileStream::Write(const void* buffer, std::size_t count)
{
    const std::size_t n = std::fwrite(buffer, 1, count, file_);
    if (std::fflush(file_) != 0) return 0;
    return n;
}

std::int64_t TFileStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    const int whence = origin == SeekOrigin::soFromBeginning ? SEEK_SET
                       : origin == SeekOrigin::soFromCurrent ? SEEK_CUR
                                                             : SEEK_END;
    if (std::fseek(file_, static_cast<long>(offset), whence) != 0) throw EStreamError("Stream seek error");
    return static_cast<std::int64_t>(std::ftell(file_));
}

// ---- little-endian helpers

std::uint8_t ReadU8(TStream& s)
{
    std::uint8_t b;
    s.ReadBuffer(&b, 1);
    return b;
}

std::uint16_t ReadU16(TStream& s)
{
    std::uint8_t b[2];
    s.ReadBuffer(b, 2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t ReadU32(TStream& s)
{
    std::uint8_t b[4];
    s.ReadBuffer(b, 4);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::int32_t ReadI32(TStream& s) { return static_cast<std::int32_t>(ReadU32(s)); }

namespace {

std::string ReadChars(TStream& s, std::int64_t length)
{
    if (length < 0 || length > s.Remaining())
        throw EStreamError("Invalid length " + std::to_string(length) + " in stream");
    std::string text(static_cast<std::size_t>(length), '\0');
    s.ReadBuffer(text.data(), text.size());
    return text;
}

}  // namespace

std::string ReadSStr(TStream& s) { return ReadChars(s, ReadU8(s)); }

std::string ReadLStr(TStream& s) { return ReadChars(s, ReadI32(s)); }

ByteSet ReadSet32(TStream& s)
{
    ByteSet set;
    s.ReadBuffer(set.bytes.data(), set.bytes.size());
    return set;
}

std::int32_t ReadCount(TStream& s, std::size_t minItemSize)
{
    const std::int32_t count = ReadI32(s);
    const std::int64_t need =
        static_cast<std::int64_t>(count) * static_cast<std::int64_t>(std::max<std::size_t>(minItemSize, 1));
    if (count < 0 || (minItemSize > 0 && need > s.Remaining()))
        throw EStreamError("Invalid count " + std::to_string(count) + " in stream");
    return count;
}

void WriteU8(TStream& s, std::uint8_t v) { s.WriteBuffer(&v, 1); }

void WriteU16(TStream& s, std::uint16_t v)
{
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    s.WriteBuffer(b, 2);
}

void WriteU32(TStream& s, std::uint32_t v)
{
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    s.WriteBuffer(b, 4);
}

void WriteI32(TStream& s, std::int32_t v) { WriteU32(s, static_cast<std::uint32_t>(v)); }

void WriteSStr(TStream& s, std::string_view text)
{
    if (text.size() > 255)
        throw EStreamError("Text too long for a short string (" + std::to_string(text.size()) + " characters)");
    WriteU8(s, static_cast<std::uint8_t>(text.size()));
    s.WriteBuffer(text.data(), text.size());
}

void WriteLStr(TStream& s, std::string_view text)
{
    if (text.size() > 0x7FFFFFFF) throw EStreamError("Text too long for a stream");
    WriteI32(s, static_cast<std::int32_t>(text.size()));
    s.WriteBuffer(text.data(), text.size());
}

void WriteSet32(TStream& s, const ByteSet& set) { s.WriteBuffer(set.bytes.data(), set.bytes.size()); }

}  // namespace tarnwick
