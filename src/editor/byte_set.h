#pragma once
// A set of the 256 byte values held as 32 bytes: value n is bit (n mod 8) of byte (n div 8).
// Highlighter state sets and character sets share this form, in memory and in streams.

#include <array>
#include <cstdint>

namespace tarnwick {

struct TByteSet {
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
    bool Empty() const
    {
        for (auto b : bytes)
            if (b) return false;
        return true;
    }
    int Count() const
    {
        int n = 0;
        for (auto b : bytes) n += __builtin_popcount(b);
        return n;
    }
    TByteSet& operator|=(const TByteSet& o)
    {
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] |= o.bytes[i];
        return *this;
    }
    bool operator==(const TByteSet&) const = default;
};

// The set of highlighter states 0..255.
using TStateSet = TByteSet;

}  // namespace tarnwick
