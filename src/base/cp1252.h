#pragma once
// Windows-1252, the program's single-byte character set, to and from Unicode (UTF-16 and UTF-8).
//
// Every byte has a code point: 0x00..0x7F and 0xA0..0xFF are the same numbers, 0x80..0x9F are
// the code page's letters and signs (0x80 the euro sign, 0x8A S caron, 0x93 a left double quote,
// ...), and the five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) are the
// C1 control characters U+0081, U+008D, U+008F, U+0090, U+009D, as the platform's own conversion
// treats them. So bytes -> Unicode -> bytes gives back every byte string unchanged.
//
// Unicode -> bytes writes "?" for every character the code page lacks: a surrogate pair (one
// character beyond the first plane) gives one "?", a lone surrogate one "?", and in UTF-8 every
// ill-formed sequence one "?" for each maximal ill-formed part (as the Unicode standard
// recommends: "\xE2\x82" is one "?", "\xFF\xFF" two).
//
// All conversions are table-driven with a fast path for runs of ASCII.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

namespace detail {

inline constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

constexpr std::array<char16_t, 256> MakeCp1252ToUnicode()
{
    std::array<char16_t, 256> t{};
    for (int b = 0; b < 256; ++b) t[b] = static_cast<char16_t>(b);
    for (int b = 0x80; b < 0xA0; ++b) t[b] = kCp1252High[b - 0x80];
    return t;
}

inline constexpr std::array<char16_t, 256> kCp1252ToUnicode = MakeCp1252ToUnicode();

}  // namespace detail

// The code point of one byte.
constexpr char16_t Cp1252ToUnicode(unsigned char byte) noexcept { return detail::kCp1252ToUnicode[byte]; }

// The byte of one code point, or -1 when the code page has none.
int UnicodeToCp1252(char32_t codePoint) noexcept;

// The code point written when a character has no byte.
inline constexpr char kCp1252Replacement = '?';

// Bytes -> UTF-16, one unit per byte.
std::u16string Cp1252ToUtf16(std::string_view bytes);
// UTF-16 -> bytes, "?" for every character the code page lacks.
std::string Utf16ToCp1252(std::u16string_view text);

// Bytes -> UTF-8.
std::string Cp1252ToUtf8(std::string_view bytes);
// UTF-8 -> bytes, "?" for every character the code page lacks and for every ill-formed part.
std::string Utf8ToCp1252(std::string_view utf8);

}  // namespace tarnwick
