#include "highlight/compressor.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace tarnwick {

namespace {

namespace m = compressor_msg;

constexpr char kKhMagic[4] = {'W', 'R', 'Z', 'L'};
constexpr char kLzhMagic[4] = {'!', 'H', 'Z', 'L'};
constexpr std::size_t kBlock = static_cast<std::size_t>(TCompressor::kBlockSize);
// I/O buffers are a block plus a little room, as the encoder may look a few bytes ahead.
constexpr std::size_t kBufferSize = kBlock + 16;

// Where the data comes from and goes to, for the messages.
struct Context {
    bool streamMode = true;
    std::string inputFile;
    std::string outputFile;
};

[[noreturn]] void ThrowRead(const Context& ctx, const char* suffix)
{
    if (ctx.streamMode) throw ECompressorException(std::string(m::kReadStream) + suffix);
    throw ECompressorException(m::kReadFile + ctx.inputFile + suffix);
}

[[noreturn]] void ThrowWrite(const Context& ctx)
{
    if (ctx.streamMode) throw ECompressorException(m::kWriteStream);
    throw ECompressorException(m::kWriteFile + ctx.outputFile);
}

// Reads as much as the stream gives, up to `count` bytes.
std::size_t ReadSome(TStream& s, void* buffer, std::size_t count)
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

void ReadExact(TStream& s, void* buffer, std::size_t count, const Context& ctx, const char* suffix)
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

std::vector<std::uint8_t> AllocBuffer(std::size_t n, const char* message)
{
    try {
        return std::vector<std::uint8_t>(n);
    } catch (const std::bad_alloc&) {
        throw ECompressorException(message);
    }
}

// ---------------------------------------------------------------- KH

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

// ---------------------------------------------------------------- LZH (LZHUF)

constexpr int N = 4096;                      // ring buffer
constexpr int F = 60;                        // longest match
constexpr int THRESHOLD = 2;                 // matches longer than this are coded as matches
constexpr int NIL = N;                       // no node
constexpr int N_CHAR = 256 - THRESHOLD + F;  // 314 symbols
constexpr int T = N_CHAR * 2 - 1;            // 627 tree nodes
constexpr int R = T - 1;                     // root
constexpr unsigned MAX_FREQ = 0x8000;

struct PositionTables {
    std::array<std::uint8_t, 64> pLen{};
    std::array<std::uint8_t, 64> pCode{};
    std::array<std::uint8_t, 256> dCode{};
    std::array<std::uint8_t, 256> dLen{};
    PositionTables()
    {
        unsigned code = 0;
        for (int p = 0; p < 64; ++p) {
            const int len = p == 0 ? 3 : p < 4 ? 4 : p < 12 ? 5 : p < 24 ? 6 : p < 48 ? 7 : 8;
            pLen[p] = static_cast<std::uint8_t>(len);
            pCode[p] = static_cast<std::uint8_t>(code);
            const unsigned span = 1u << (8 - len);
            for (unsigned b = code; b < code + span; ++b) {
                dCode[b] = static_cast<std::uint8_t>(p);
                dLen[b] = static_cast<std::uint8_t>(len);
            }
            code += span;
        }
    }
};

const PositionTables& Positions()
{
    static const PositionTables tables;
    return tables;
}

// The adaptive Huffman tree shared by encoder and decoder.
struct Huffman {
    std::array<std::uint32_t, T + 1> freq{};
    std::array<int, T + N_CHAR> prnt{};
    std::array<int, T> son{};

    void Start()
    {
        int i = 0;
        for (; i < N_CHAR; ++i) {
            freq[i] = 1;
            son[i] = i + T;
            prnt[i + T] = i;
        }
        i = 0;
        for (int j = N_CHAR; j <= R; ++j, i += 2) {
            freq[j] = freq[i] + freq[i + 1];
            son[j] = i;
            prnt[i] = prnt[i + 1] = j;
        }
        freq[T] = 0xFFFFFFFFu;  // sentinel above every count
        prnt[R] = 0;
    }

    // Halves the leaf counts (rounding up) and rebuilds the tree.
    void Reconstruct()
    {
        int j = 0;
        for (int i = 0; i < T; ++i) {
            if (son[i] >= T) {
                freq[j] = (freq[i] + 1) / 2;
                son[j] = son[i];
                ++j;
            }
        }
        for (int i = 0, jj = N_CHAR; jj < T; i += 2, ++jj) {
            const std::uint32_t f = freq[i] + freq[i + 1];
            int k = jj - 1;
            while (f < freq[k]) --k;
            ++k;
            for (int x = jj; x > k; --x) {
                freq[x] = freq[x - 1];
                son[x] = son[x - 1];
            }
            freq[k] = f;
            son[k] = i;
        }
        for (int i = 0; i < T; ++i) {
            const int k = son[i];
            if (k >= T) {
                prnt[k] = i;
            } else {
                prnt[k] = prnt[k + 1] = i;
            }
        }
    }

    void Update(int c)
    {
        if (freq[R] == MAX_FREQ) Reconstruct();
        c = prnt[c + T];
        do {
            const std::uint32_t k = ++freq[c];
            int l = c + 1;
            if (k > freq[l]) {
                while (k > freq[++l]) {}
                --l;
                freq[c] = freq[l];
                freq[l] = k;
                const int i = son[c];
                prnt[i] = l;
                if (i < T) prnt[i + 1] = l;
                const int j = son[l];
                son[l] = i;
                prnt[j] = c;
                if (j < T) prnt[j + 1] = c;
                son[c] = j;
                c = l;
            }
            c = prnt[c];
        } while (c != 0);
    }
};

class BitWriter {
public:
    explicit BitWriter(Sink& sink) : sink_(sink) {}
    void PutBit(unsigned bit)
    {
        acc_ = static_cast<std::uint8_t>((acc_ << 1) | (bit & 1));
        if (++count_ == 8) {
            sink_.Put(acc_);
            acc_ = 0;
            count_ = 0;
        }
    }
    void PutBits(unsigned n, unsigned value)
    {
        while (n > 0) PutBit((value >> --n) & 1);
    }
    void Finish()
    {
        if (count_ > 0) {
            sink_.Put(static_cast<std::uint8_t>(acc_ << (8 - count_)));
            acc_ = 0;
            count_ = 0;
        }
    }

private:
    Sink& sink_;
    std::uint8_t acc_ = 0;
    unsigned count_ = 0;
};

// Reads bits from the input through a buffer. A valid stream never needs a bit past its last
// byte, so running out of input means the data was cut short: that is an error rather than an
// endless supply of zero bits.
class BitReader {
public:
    BitReader(TStream& s, const Context& ctx) : s_(s), ctx_(ctx), buffer_(AllocBuffer(kBufferSize, m::kNoBuffers)) {}

    unsigned GetBit()
    {
        if (bits_ == 0) {
            current_ = NextByte();
            bits_ = 8;
        }
        --bits_;
        return (current_ >> bits_) & 1u;
    }
    unsigned GetByte()
    {
        unsigned v = 0;
        for (int i = 0; i < 8; ++i) v = (v << 1) | GetBit();
        return v;
    }
    // Gives back the bytes read ahead so that the stream stands after the last byte used.
    void Unread()
    {
        const std::size_t ahead = filled_ - at_;
        if (ahead == 0) return;
        try {
            s_.Seek(-static_cast<std::int64_t>(ahead), SeekOrigin::soFromCurrent);
        } catch (const Exception&) {
            // A stream that cannot seek keeps its position; nothing is lost.
        }
        at_ = filled_ = 0;
    }

private:
    std::uint8_t NextByte()
    {
        if (at_ == filled_) {
            filled_ = ReadSome(s_, buffer_.data(), kBlock);
            at_ = 0;
            if (filled_ == 0) ThrowRead(ctx_, m::kLzhSuffix);
        }
        return buffer_[at_++];
    }

    TStream& s_;
    const Context& ctx_;
    std::vector<std::uint8_t> buffer_;
    std::size_t at_ = 0;
    std::size_t filled_ = 0;
    std::uint8_t current_ = 0;
    unsigned bits_ = 0;
};

// Dictionary (binary search trees over the ring buffer) and Huffman state of one LZH run.
struct LzhState {
    std::array<std::uint8_t, N + F - 1> text{};
    std::array<int, N + 1> lson{};
    std::array<int, N + 257> rson{};
    std::array<int, N + 1> dad{};
    int matchPosition = 0;
    int matchLength = 0;
    Huffman huff;

    void InitTree()
    {
        for (int i = N + 1; i <= N + 256; ++i) rson[i] = NIL;
        for (int i = 0; i < N; ++i) dad[i] = NIL;
    }

    void InsertNode(int r)
    {
        int cmp = 1;
        const std::uint8_t* key = &text[r];
        int p = N + 1 + key[0];
        rson[r] = lson[r] = NIL;
        matchLength = 0;
        for (;;) {
            if (cmp >= 0) {
                if (rson[p] != NIL) {
                    p = rson[p];
                } else {
                    rson[p] = r;
                    dad[r] = p;
                    return;
                }
            } else {
                if (lson[p] != NIL) {
                    p = lson[p];
                } else {
                    lson[p] = r;
                    dad[r] = p;
                    return;
                }
            }
            int i = 1;
            for (; i < F; ++i) {
                cmp = static_cast<int>(key[i]) - static_cast<int>(text[p + i]);
                if (cmp != 0) break;
            }
            if (i > THRESHOLD) {
                const int c = ((r - p) & (N - 1)) - 1;
                if (i > matchLength) {
                    matchPosition = c;
                    matchLength = i;
                    if (matchLength >= F) break;
                } else if (i == matchLength && c < matchPosition) {
                    matchPosition = c;
                }
            }
        }
        // Replace p by r: a full match makes the older node redundant.
        dad[r] = dad[p];
        lson[r] = lson[p];
        rson[r] = rson[p];
        dad[lson[p]] = r;
        dad[rson[p]] = r;
        if (rson[dad[p]] == p) {
            rson[dad[p]] = r;
        } else {
            lson[dad[p]] = r;
        }
        dad[p] = NIL;
    }

    void DeleteNode(int p)
    {
        if (dad[p] == NIL) return;
        int q;
        if (rson[p] == NIL) {
            q = lson[p];
        } else if (lson[p] == NIL) {
            q = rson[p];
        } else {
            q = lson[p];
            if (rson[q] != NIL) {
                do {
                    q = rson[q];
                } while (rson[q] != NIL);
                rson[dad[q]] = lson[q];
                dad[lson[q]] = dad[q];
                lson[q] = lson[p];
                dad[lson[p]] = q;
            }
            rson[q] = rson[p];
            dad[rson[p]] = q;
        }
        dad[q] = dad[p];
        if (rson[dad[p]] == p) {
            rson[dad[p]] = q;
        } else {
            lson[dad[p]] = q;
        }
        dad[p] = NIL;
    }

    void EncodeChar(BitWriter& w, int c)
    {
        // The path from the leaf up to the root, emitted root first. The tree can be deeper
        // than 16 levels, so the bits are kept one by one rather than packed into a word.
        std::array<std::uint8_t, T> path;
        int depth = 0;
        int k = huff.prnt[c + T];
        do {
            path[depth++] = static_cast<std::uint8_t>(k & 1);
            k = huff.prnt[k];
        } while (k != R);
        // The last node seen is a child of the root; its bit is the first one sent.
        while (depth > 0) w.PutBit(path[--depth]);
        huff.Update(c);
    }

    static void EncodePosition(BitWriter& w, int c)
    {
        const auto& t = Positions();
        const int i = c >> 6;
        w.PutBits(t.pLen[i], t.pCode[i] >> (8 - t.pLen[i]));
        w.PutBits(6, static_cast<unsigned>(c & 0x3F));
    }

    int DecodeChar(BitReader& r)
    {
        int c = huff.son[R];
        while (c < T) {
            c += static_cast<int>(r.GetBit());
            c = huff.son[c];
        }
        c -= T;
        huff.Update(c);
        return c;
    }

    static int DecodePosition(BitReader& r)
    {
        const auto& t = Positions();
        unsigned i = r.GetByte();
        const unsigned c = static_cast<unsigned>(t.dCode[i]) << 6;
        int j = t.dLen[i] - 2;
        while (j-- > 0) i = (i << 1) | r.GetBit();
        return static_cast<int>(c | (i & 0x3F));
    }
};

std::unique_ptr<LzhState> NewLzhState()
{
    try {
        return std::make_unique<LzhState>();
    } catch (const std::bad_alloc&) {
        throw ElzhException(m::kLzhMemory);
    }
}

// Pulls input bytes one at a time through a buffer, for the encoder.
class ByteSource {
public:
    ByteSource(TStream& s, std::int64_t size, const Context& ctx)
        : s_(s), left_(size), ctx_(ctx), buffer_(AllocBuffer(kBufferSize, m::kNoBuffers))
    {
    }
    std::optional<std::uint8_t> Next()
    {
        if (at_ == filled_) {
            if (left_ == 0) return std::nullopt;
            const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left_, TCompressor::kBlockSize));
            ReadExact(s_, buffer_.data(), n, ctx_, m::kLzhSuffix);
            left_ -= static_cast<std::int64_t>(n);
            filled_ = n;
            at_ = 0;
        }
        return buffer_[at_++];
    }

private:
    TStream& s_;
    std::int64_t left_;
    const Context& ctx_;
    std::vector<std::uint8_t> buffer_;
    std::size_t at_ = 0;
    std::size_t filled_ = 0;
};

std::int64_t LzhCompress(TStream& input, std::int64_t size, Sink& sink, const Context& ctx)
{
    if (size == 0) return sink.Written();
    auto state = NewLzhState();
    LzhState& z = *state;
    ByteSource src(input, size, ctx);
    BitWriter w(sink);
    z.huff.Start();
    z.InitTree();
    int s = 0;
    int r = N - F;
    for (int i = s; i < r; ++i) z.text[i] = ' ';
    int len = 0;
    for (; len < F; ++len) {
        const auto c = src.Next();
        if (!c) break;
        z.text[r + len] = *c;
    }
    for (int i = 1; i <= F; ++i) z.InsertNode(r - i);
    z.InsertNode(r);
    do {
        if (z.matchLength > len) z.matchLength = len;
        if (z.matchLength <= THRESHOLD) {
            z.matchLength = 1;
            z.EncodeChar(w, z.text[r]);
        } else {
            z.EncodeChar(w, 255 - THRESHOLD + z.matchLength);
            LzhState::EncodePosition(w, z.matchPosition);
        }
        const int last = z.matchLength;
        int i = 0;
        for (; i < last; ++i) {
            const auto c = src.Next();
            if (!c) break;
            z.DeleteNode(s);
            z.text[s] = *c;
            if (s < F - 1) z.text[s + N] = *c;
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            z.InsertNode(r);
        }
        while (i++ < last) {
            z.DeleteNode(s);
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            if (--len) z.InsertNode(r);
        }
    } while (len > 0);
    w.Finish();
    return sink.Written();
}

std::int64_t LzhDecompress(TStream& input, std::int64_t original, Sink& sink, const Context& ctx)
{
    auto state = NewLzhState();
    LzhState& z = *state;
    if (original == 0) return 0;
    BitReader reader(input, ctx);
    z.huff.Start();
    z.text.fill(' ');
    int r = N - F;
    std::int64_t count = 0;
    while (count < original) {
        const int c = z.DecodeChar(reader);
        if (c < 256) {
            sink.Put(static_cast<std::uint8_t>(c));
            z.text[r] = static_cast<std::uint8_t>(c);
            r = (r + 1) & (N - 1);
            ++count;
        } else {
            const int from = (r - LzhState::DecodePosition(reader) - 1) & (N - 1);
            const int j = c - 255 + THRESHOLD;
            if (count + j > original) throw ECompressorException(m::kLzhSizes);
            for (int k = 0; k < j; ++k) {
                const std::uint8_t b = z.text[(from + k) & (N - 1)];
                sink.Put(b);
                z.text[r] = b;
                r = (r + 1) & (N - 1);
            }
            count += j;
        }
    }
    reader.Unread();
    return count;
}

// ---------------------------------------------------------------- driver

std::int64_t InputSize(TStream& s, const char* message)
{
    try {
        return s.Remaining();
    } catch (const Exception&) {
        throw ECompressorException(message);
    }
}

std::int64_t CompressWith(bool useKh, TStream& input, TStream& output, const Context& ctx)
{
    const std::int64_t size =
        InputSize(input, ctx.streamMode ? m::kSizeStream : (m::kSizeFile + ctx.inputFile).c_str());
    if (size > INT32_MAX) throw ECompressorException(m::kTooLarge);
    Sink sink(output, ctx);
    sink.Put(useKh ? kKhMagic : kLzhMagic, 4);
    sink.PutI32(static_cast<std::int32_t>(size));
    if (useKh) {
        KhCompress(input, size, sink, ctx);
    } else {
        LzhCompress(input, size, sink, ctx);
    }
    sink.Flush();
    return sink.Written();
}

std::int64_t DecompressFrom(TStream& input, TStream& output, const Context& ctx)
{
    std::uint8_t head[8];
    const std::size_t got = ReadSome(input, head, 8);
    const bool kh = got >= 4 && std::memcmp(head, kKhMagic, 4) == 0;
    const bool lzh = got >= 4 && std::memcmp(head, kLzhMagic, 4) == 0;
    if (!kh && !lzh) {
        if (ctx.streamMode) throw ECompressorException(m::kNoHeaderStream);
        throw ECompressorException(ctx.inputFile + m::kNoHeaderFile);
    }
    if (got < 8) ThrowRead(ctx, kh ? "" : m::kLzhSuffix);
    const std::int32_t original = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(head[4]) | (static_cast<std::uint32_t>(head[5]) << 8) |
        (static_cast<std::uint32_t>(head[6]) << 16) | (static_cast<std::uint32_t>(head[7]) << 24));
    if (original < 0) throw ECompressorException(kh ? m::kKhSizes : m::kLzhSizes);
    Sink sink(output, ctx);
    const std::int64_t n = kh ? KhDecompress(input, original, sink, ctx) : LzhDecompress(input, original, sink, ctx);
    sink.Flush();
    return n;
}

// Opens the files of a file-mode run; the output file is deleted again if the run fails.
template <typename Run>
std::int64_t RunOnFiles(const Context& ctx, Run run)
{
    std::unique_ptr<TFileStream> in;
    try {
        in = std::make_unique<TFileStream>(ctx.inputFile, TFileStream::Mode::fmOpenRead);
    } catch (const Exception&) {
        throw ECompressorException(m::kOpenInput + ctx.inputFile);
    }
    // Creating the output truncates it: when it is the input file, the input would be lost.
    std::error_code same;
    if (std::filesystem::equivalent(ctx.inputFile, ctx.outputFile, same))
        throw ECompressorException(m::kOpenOutput + ctx.outputFile);
    std::unique_ptr<TFileStream> out;
    try {
        out = std::make_unique<TFileStream>(ctx.outputFile, TFileStream::Mode::fmCreate);
    } catch (const Exception&) {
        throw ECompressorException(m::kOpenOutput + ctx.outputFile);
    }
    try {
        const std::int64_t n = run(*in, *out);
        out.reset();
        return n;
    } catch (...) {
        out.reset();
        std::error_code ec;
        std::filesystem::remove(ctx.outputFile, ec);
        throw;
    }
}

Context MakeContext(const TCompressor& c) { return Context{c.StreamMode, c.InputFile, c.OutputFile}; }

void CheckStreams(const TCompressor& c)
{
    if (c.InputStream == nullptr) throw ECompressorException(m::kInitInput);
    if (c.OutputStream == nullptr) throw ECompressorException(m::kInitOutput);
}

}  // namespace

std::int64_t TCompressor::Compress()
{
    const bool useKh = Method == cmAdvise ? Advise() : Method == cmKH;
    const Context ctx = MakeContext(*this);
    if (StreamMode) {
        CheckStreams(*this);
        return CompressWith(useKh, *InputStream, *OutputStream, ctx);
    }
    return RunOnFiles(ctx, [&](TStream& in, TStream& out) { return CompressWith(useKh, in, out, ctx); });
}

std::int64_t TCompressor::Compress(TStream& input, TStream& output, TMethod method)
{
    TCompressor c;
    c.StreamMode = true;
    c.Method = method;
    c.InputStream = &input;
    c.OutputStream = &output;
    return c.Compress();
}

std::int64_t TCompressor::Decompress(TStream& input, TStream& output)
{
    TCompressor c;
    c.StreamMode = true;
    c.InputStream = &input;
    c.OutputStream = &output;
    return c.Decompress();
}

std::int64_t TCompressor::Decompress()
{
    const Context ctx = MakeContext(*this);
    if (StreamMode) {
        CheckStreams(*this);
        return DecompressFrom(*InputStream, *OutputStream, ctx);
    }
    return RunOnFiles(ctx, [&](TStream& in, TStream& out) { return DecompressFrom(in, out, ctx); });
}

bool TCompressor::Advise()
{
    std::unique_ptr<TFileStream> file;
    TStream* input = InputStream;
    if (!StreamMode) {
        try {
            file = std::make_unique<TFileStream>(InputFile, TFileStream::Mode::fmOpenRead);
        } catch (const Exception&) {
            throw ECompressorException(m::kAdviseOpenFile + InputFile);
        }
        input = file.get();
    } else if (input == nullptr) {
        throw ECompressorException(m::kAdviseInitStream);
    }
    std::int64_t start = 0;
    std::int64_t size = 0;
    try {
        start = input->Position();
        size = input->Remaining();
    } catch (const Exception&) {
        throw ECompressorException(StreamMode ? std::string(m::kAdviseSizeStream) : m::kAdviseSizeFile + InputFile);
    }
    if (size <= kAdviseLimit) {
        Method = cmLZH;
        return false;
    }
    std::vector<std::uint8_t> in;
    std::vector<std::uint8_t> out;
    try {
        in.resize(kBufferSize);
        out.resize(kBufferSize);
    } catch (const std::bad_alloc&) {
        throw ECompressorException(m::kAdviseBuffers);
    }
    std::int64_t encoded = 0;
    bool readFailed = false;
    for (const std::int64_t at : {size / 3, size * 2 / 3}) {
        const std::int64_t offset = at / kBlockSize * kBlockSize;
        try {
            input->SetPosition(start + offset);
        } catch (const Exception&) {
            readFailed = true;
            break;
        }
        if (ReadSome(*input, in.data(), kBlock) != kBlock) {
            readFailed = true;
            break;
        }
        encoded += static_cast<std::int64_t>(KhEncodeBlock(in.data(), kBlock, out.data()));
    }
    try {
        input->SetPosition(start);
    } catch (const Exception&) {
        readFailed = true;
    }
    if (readFailed) {
        throw ECompressorException(StreamMode ? std::string(m::kAdviseReadStream) : m::kAdviseReadFile + InputFile);
    }
    return encoded * 100 < 2 * kBlockSize * AdviseRatio;
}

}  // namespace tarnwick
