// The KH method: LZRW1-style blocks of at most 32768 bytes, each stored as a 16-bit little-endian
// length and a body: a type byte, then groups of up to 16 items led by a 16-bit control word
// (a literal byte, a copy of 3 to 18 bytes from at most 4095 bytes back, or a run of 16 to 4095
// equal bytes), or the type byte and the block as it is when the items would not be shorter.

#include <algorithm>
#include <array>
#include <cstring>

#include "highlight/compressor_internal.h"

namespace tarnwick::compressor_detail {

namespace {

constexpr std::size_t kKhHashSize = 4096;
constexpr std::size_t kKhMaxOffset = 4095;
constexpr std::size_t kKhMaxCopy = 18;
constexpr std::size_t kKhMaxRun = 4095;
constexpr std::size_t kKhMinRun = 16;
constexpr std::uint8_t kKhStored = 0x80;
constexpr std::uint8_t kKhCompressed = 0x40;

std::size_t KhHash(const std::uint8_t* s)
{
    const std::uint32_t h = ((((static_cast<std::uint32_t>(s[0]) << 4) ^ s[1]) << 4) ^ s[2]);
    return ((h * 40543u) >> 4) & (kKhHashSize - 1);
}

// Decodes one block body into `out` (32768 bytes); returns the number of bytes decoded.
std::size_t KhDecodeBlock(const std::uint8_t* in, std::size_t len, std::uint8_t* out)
{
    if (len == 0) throw ECompressorKHCompressor(m::kKhCorrupt);
    if (in[0] == kKhStored) {
        if (len - 1 > kBlock) throw ECompressorKHCompressor(m::kKhCorrupt);
        if (len > 1) std::memcpy(out, in + 1, len - 1);
        return len - 1;
    }
    if (in[0] != kKhCompressed) throw ECompressorKHCompressor(m::kKhCorrupt);
    std::size_t i = 1;
    std::size_t o = 0;
    unsigned bits = 0;
    std::uint16_t control = 0;
    while (i < len) {
        if (bits == 0) {
            if (i + 2 > len) throw ECompressorKHCompressor(m::kKhCorrupt);
            control = static_cast<std::uint16_t>((in[i] << 8) | in[i + 1]);
            i += 2;
            bits = 16;
            if (i == len) break;
        }
        const bool isItem = (control & 0x8000u) != 0;
        control = static_cast<std::uint16_t>(control << 1);
        --bits;
        if (!isItem) {
            if (o >= kBlock) throw ECompressorKHCompressor(m::kKhCorrupt);
            out[o++] = in[i++];
            continue;
        }
        if (i + 2 > len) throw ECompressorKHCompressor(m::kKhCorrupt);
        const std::size_t offset = (static_cast<std::size_t>(in[i]) << 4) | (in[i + 1] >> 4);
        if (offset == 0) {
            if (i + 4 > len) throw ECompressorKHCompressor(m::kKhCorrupt);
            const std::size_t count = ((static_cast<std::size_t>(in[i + 1]) << 8) | in[i + 2]) + kKhMinRun;
            if (o + count > kBlock) throw ECompressorKHCompressor(m::kKhCorrupt);
            std::memset(out + o, in[i + 3], count);
            o += count;
            i += 4;
        } else {
            const std::size_t count = (in[i + 1] & 0x0F) + 3u;
            if (offset > o || o + count > kBlock) throw ECompressorKHCompressor(m::kKhCorrupt);
            if (offset >= count) {
                std::memcpy(out + o, out + o - offset, count);
                o += count;
            } else {
                // Overlapping: each byte may be one this item has just written.
                for (std::size_t k = 0; k < count; ++k, ++o) out[o] = out[o - offset];
            }
            i += 2;
        }
    }
    return o;
}

}  // namespace

// Encodes one block of at most 32768 bytes into `out` (room for n + 1 bytes); returns the length
// of the block body: the type byte and the items, or the type byte and the input when the items
// would not be shorter than the input.
std::size_t KhEncodeBlock(const std::uint8_t* in, std::size_t n, std::uint8_t* out)
{
    std::array<std::uint16_t, kKhHashSize> hash;
    hash.fill(0xFFFF);
    std::size_t o = 0;
    out[o++] = kKhCompressed;
    std::size_t controlAt = 0;
    unsigned controlBits = 16;  // items in the current group; 16 means a new group is due
    std::uint16_t control = 0;
    std::size_t i = 0;
    bool stored = n == 0;
    while (i < n && !stored) {
        // Work out the item first, then check it fits.
        std::uint8_t item[4];
        std::size_t itemSize = 1;
        std::size_t advance = 1;
        bool copyItem = false;
        std::size_t run = 1;
        while (i + run < n && run < kKhMaxRun && in[i + run] == in[i]) ++run;
        if (run >= kKhMinRun) {
            const std::size_t c = run - kKhMinRun;
            item[0] = 0;
            item[1] = static_cast<std::uint8_t>(c >> 8);
            item[2] = static_cast<std::uint8_t>(c & 0xFF);
            item[3] = in[i];
            itemSize = 4;
            advance = run;
            copyItem = true;
        } else if (i + 3 <= n) {
            const std::size_t h = KhHash(in + i);
            const std::size_t candidate = hash[h];
            hash[h] = static_cast<std::uint16_t>(i);
            if (candidate != 0xFFFF && candidate < i && i - candidate <= kKhMaxOffset) {
                std::size_t len = 0;
                while (len < kKhMaxCopy && i + len < n && in[candidate + len] == in[i + len]) ++len;
                if (len >= 3) {
                    const std::size_t offset = i - candidate;
                    item[0] = static_cast<std::uint8_t>(offset >> 4);
                    item[1] = static_cast<std::uint8_t>(((offset & 0x0F) << 4) | (len - 3));
                    itemSize = 2;
                    advance = len;
                    copyItem = true;
                }
            }
        }
        if (!copyItem) item[0] = in[i];

        const std::size_t need = itemSize + (controlBits == 16 ? 2 : 0);
        if (o + need > n) {
            stored = true;
            break;
        }
        if (controlBits == 16) {
            if (controlAt != 0) {
                out[controlAt] = static_cast<std::uint8_t>(control >> 8);
                out[controlAt + 1] = static_cast<std::uint8_t>(control & 0xFF);
            }
            controlAt = o;
            o += 2;
            control = 0;
            controlBits = 0;
        }
        if (copyItem) control |= static_cast<std::uint16_t>(0x8000u >> controlBits);
        ++controlBits;
        std::memcpy(out + o, item, itemSize);
        o += itemSize;
        i += advance;
    }
    if (stored) {
        out[0] = kKhStored;
        if (n != 0) std::memcpy(out + 1, in, n);
        return n + 1;
    }
    if (controlAt != 0) {
        out[controlAt] = static_cast<std::uint8_t>(control >> 8);
        out[controlAt + 1] = static_cast<std::uint8_t>(control & 0xFF);
    }
    return o;
}

std::int64_t KhCompress(TStream& input, std::int64_t size, Sink& sink, const Context& ctx)
{
    auto in = AllocBuffer(kBufferSize, m::kNoBuffers);
    auto out = AllocBuffer(kBufferSize, m::kNoBuffers);
    std::int64_t left = size;
    for (;;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, TCompressor::kBlockSize));
        ReadExact(input, in.data(), n, ctx, m::kKhSuffix);
        left -= static_cast<std::int64_t>(n);
        const std::size_t len = KhEncodeBlock(in.data(), n, out.data());
        const std::uint8_t head[2] = {static_cast<std::uint8_t>(len & 0xFF), static_cast<std::uint8_t>(len >> 8)};
        sink.Put(head, 2);
        sink.Put(out.data(), len);
        if (n < kBlock) break;
    }
    return sink.Written();
}

std::int64_t KhDecompress(TStream& input, std::int64_t original, Sink& sink, const Context& ctx)
{
    auto in = AllocBuffer(kBufferSize, m::kNoBuffers);
    auto out = AllocBuffer(kBufferSize, m::kNoBuffers);
    std::int64_t total = 0;
    for (;;) {
        std::uint8_t head[2];
        ReadExact(input, head, 2, ctx, "");
        const std::size_t len = head[0] | (static_cast<std::size_t>(head[1]) << 8);
        if (len > kBlock + 1) throw ECompressorKHCompressor(m::kKhCorrupt);
        ReadExact(input, in.data(), len, ctx, "");
        const std::size_t n = KhDecodeBlock(in.data(), len, out.data());
        total += static_cast<std::int64_t>(n);
        if (total > original) throw ECompressorException(m::kKhSizes);
        sink.Put(out.data(), n);
        if (n < kBlock) break;
    }
    if (total != original) throw ECompressorException(m::kKhSizes);
    return total;
}

}  // namespace tarnwick::compressor_detail
