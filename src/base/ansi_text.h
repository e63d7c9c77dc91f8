#pragma once
// Single-byte text in the program's character set (Windows-1252): case rules of the user's locale,
// trimming, and line splitting as the option files need it.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

namespace detail {
constexpr std::array<unsigned char, 256> MakeAnsiLowerTable()
{
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) t[c] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<unsigned char>(c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c)
        if (c != 0xD7) t[c] = static_cast<unsigned char>(c + 32);  // 0xD7 is the multiplication sign
    t[0x8A] = 0x9A;                                                // S caron
    t[0x8C] = 0x9C;                                                // OE
    t[0x8E] = 0x9E;                                                // Z caron
    t[0x9F] = 0xFF;                                                // Y diaeresis
    return t;
}
inline constexpr std::array<unsigned char, 256> kAnsiLower = MakeAnsiLowerTable();

// The inverse of the lower-case table: every character that some capital folds to goes back to
// that capital. The letters without a capital of their own in the code page (sharp s, micro
// sign, f hook) stay as they are.
constexpr std::array<unsigned char, 256> MakeAnsiUpperTable()
{
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) t[c] = static_cast<unsigned char>(c);
    for (int c = 0; c < 256; ++c)
        if (kAnsiLower[c] != c) t[kAnsiLower[c]] = static_cast<unsigned char>(c);
    return t;
}
inline constexpr std::array<unsigned char, 256> kAnsiUpper = MakeAnsiUpperTable();
}  // namespace detail

// Lower-case form of one character under Windows-1252 (A-Z, the accented capitals, Š, Œ, Ž, Ÿ).
inline char AnsiLowerChar(char c) noexcept
{
    return static_cast<char>(detail::kAnsiLower[static_cast<unsigned char>(c)]);
}

// Upper-case form of one character under Windows-1252 (a-z, the accented small letters, š, œ, ž, ÿ).
inline char AnsiUpperChar(char c) noexcept
{
    return static_cast<char>(detail::kAnsiUpper[static_cast<unsigned char>(c)]);
}

// The whole text folded to lower case, character by character.
std::string AnsiLower(std::string_view s);

// The whole text in upper case, character by character (the length never changes).
std::string AnsiUpper(std::string_view s);

// Case-insensitive equality under the locale's rules.
bool AnsiSameText(std::string_view a, std::string_view b) noexcept;

// Case-insensitive equality for the ASCII letters only; every other byte must match exactly.
bool AsciiSameText(std::string_view a, std::string_view b) noexcept;

// True when `s` begins with `prefix`, comparing ASCII letters without regard to case.
bool AsciiStartsWithText(std::string_view s, std::string_view prefix) noexcept;

// Locale-aware, case-insensitive ordering: <0, 0 or >0. Letters with accents sort next to
// their base letter; punctuation before digits before letters. Case never decides the order.
int AnsiCompareText(std::string_view a, std::string_view b) noexcept;

// Characters of code 32 or below (blank, tab, control characters) count as blanks.
inline bool IsBlank(char c) noexcept { return static_cast<unsigned char>(c) <= 32; }

// `s` without its leading and trailing blanks.
std::string_view Trim(std::string_view s) noexcept;

// Splits a text file's contents into lines. CR LF, a lone CR and a lone LF each end a line; a line
// break at the very end does not start one more, empty line.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace tarnwick
