#pragma once
// A set of the 256 byte values held as 32 bytes: value n is bit (n mod 8) of byte (n div 8).
// Highlighter state sets and character sets share this form, in memory and in streams.

#include <array>
#include <cstdint>
#include <cstring>

namespace tarnwick {

struct ByteSet {
    std::array<std::uint8_t, 32> bytes{};

    bool Contains(unsigned value) const { return value < 256 && (bytes[value >> 3] >> (value & 7)) & 1; }
    void Include(unsigned value)
    {
        if (value < 256) bytes[value >> 3] |= static_cast<std::uint8_t>(1u << (value & 7));
    }
    void Exclude(unsigned value)
    {
        if (value < 256) bytes[value >> 3] &= static_cast<std::uint8_t>(~(1u << (value & 7)));
    }
    void IncludeRange(unsigned low, unsigned high)
    {
        for (unsigned v = low; v <= high && v < 256; ++v) Include(v);
    }
    void Clear() { bytes.fill(0); }
    bool Empty() const { return (Word(0) | Word(1) | Word(2) | Word(3)) == 0; }
    // Whether the two sets share a value.
    bool Meets(const ByteSet& o) const
    {
        return ((Word(0) & o.Word(0)) | (Word(1) & o.Word(1)) | (Word(2) & o.Word(2)) | (Word(3) & o.Word(3))) != 0;
    }
    int Count() const
    {
        int n = 0;
        for (auto b : bytes) n += __builtin_popcount(b);
        return n;
    }
    ByteSet& operator|=(const ByteSet& o)
    {
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] |= o.bytes[i];
        return *this;
    }
    bool operator==(const ByteSet& o) const
    {
        return ((Word(0) ^ o.Word(0)) | (Word(1) ^ o.Word(1)) | (Word(2) ^ o.Word(2)) | (Word(3) ^ o.Word(3))) == 0;
    }

private:
    // Eight bytes of the set as one word, read in place (copying the whole set to the stack
    // first costs more than the test).
    std::uint64_t Word(std::size_t i) const
    {
        std::uint64_t w;
        std::memcpy(&w, bytes.data() + 8 * i, sizeof w);
        return w;
    }
};

// The set of highlighter states 0..255.
using TStateSet = ByteSet;

}  // namespace tarnwick
