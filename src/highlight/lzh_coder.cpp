// The LZH method (LZHUF): LZSS over a 4096-byte ring buffer with matches of up to 60 bytes, the
// symbols coded with an adaptive Huffman tree and the match positions with a fixed prefix code.

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <optional>

#include "highlight/compressor_internal.h"

namespace tarnwick::compressor_detail {

namespace {

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

}  // namespace

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

}  // namespace tarnwick::compressor_detail
