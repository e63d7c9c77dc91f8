#pragma once
// What the compressor's coders and its driver share: where the data comes from and goes to (for
// the messages), reading whole counts from a stream, and the buffered, counting output.

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "highlight/compressor.h"

namespace tarnwick::compressor_detail {

namespace m = compressor_msg;

constexpr std::size_t kBlock = static_cast<std::size_t>(TCompressor::kBlockSize);
// I/O buffers are a block plus a little room, as the encoder may look a few bytes ahead.
constexpr std::size_t kBufferSize = kBlock + 16;

// Where the data comes from and goes to, for the messages.
struct Context {
    bool streamMode = true;
    std::string inputFile;
    std::string outputFile;
};

[[noreturn]] inline void ThrowRead(const Context& ctx, const char* suffix)
{
    if (ctx.streamMode) throw ECompressorException(std::string(m::kReadStream) + suffix);
    throw ECompressorException(m::kReadFile + ctx.inputFile + suffix);
}

[[noreturn]] inline void ThrowWrite(const Context& ctx)
{
    if (ctx.streamMode) throw ECompressorException(m::kWriteStream);
    throw ECompressorException(m::kWriteFile + ctx.outputFile);
}

// Reads as much as the stream gives, up to `count` bytes.
inline std::size_t ReadSome(TStream& s, void* buffer, std::size_t count)
{
    auto* p = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        std::size_t got = 0;
        try {
            got = s.Read(p + done, count - done);
        } catch (const EStreamError&) {
            return done;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

inline void ReadExact(TStream& s, void* buffer, std::size_t count, const Context& ctx, const char* suffix)
{
    if (ReadSome(s, buffer, count) != count) ThrowRead(ctx, suffix);
}

// Buffered output that counts what it wrote and reports a short write.
class Sink {
public:
    Sink(TStream& s, const Context& ctx) : s_(s), ctx_(ctx) { buffer_.reserve(kBufferSize); }

    void Put(std::uint8_t b)
    {
        buffer_.push_back(b);
        if (buffer_.size() >= kBlock) Flush();
    }
    void Put(const void* data, std::size_t n)
    {
        Flush();
        Raw(data, n);
    }
    void PutI32(std::int32_t v)
    {
        const auto u = static_cast<std::uint32_t>(v);
        const std::uint8_t b[4] = {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                                   static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)};
        Put(b, 4);
    }
    void Flush()
    {
        if (buffer_.empty()) return;
        Raw(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    std::int64_t Written() const { return written_ + static_cast<std::int64_t>(buffer_.size()); }

private:
    void Raw(const void* data, std::size_t n)
    {
        if (n == 0) return;
        std::size_t put = 0;
        try {
            put = s_.Write(data, n);
        } catch (const EStreamError&) {
            put = 0;
        }
        if (put != n) ThrowWrite(ctx_);
        written_ += static_cast<std::int64_t>(n);
    }

    TStream& s_;
    const Context& ctx_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t written_ = 0;
};

inline std::vector<std::uint8_t> AllocBuffer(std::size_t n, const char* message)
{
    try {
        return std::vector<std::uint8_t>(n);
    } catch (const std::bad_alloc&) {
        throw ECompressorException(message);
    }
}

// The KH coder (kh_coder.cpp). One block of at most 32768 bytes into `out` (room for n + 1
// bytes); returns the length of the block body.
std::size_t KhEncodeBlock(const std::uint8_t* in, std::size_t n, std::uint8_t* out);
// The body of a KH stream: `size` bytes of input; returns what the sink has written in all.
std::int64_t KhCompress(TStream& input, std::int64_t size, Sink& sink, const Context& ctx);
// Decodes the body of a KH stream of `original` bytes; returns the number of bytes decoded.
std::int64_t KhDecompress(TStream& input, std::int64_t original, Sink& sink, const Context& ctx);

// The LZH coder (lzh_coder.cpp), likewise.
std::int64_t LzhCompress(TStream& input, std::int64_t size, Sink& sink, const Context& ctx);
std::int64_t LzhDecompress(TStream& input, std::int64_t original, Sink& sink, const Context& ctx);

}  // namespace tarnwick::compressor_detail
