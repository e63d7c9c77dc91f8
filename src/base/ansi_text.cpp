#include "base/ansi_text.h"

#include <array>

namespace tarnwick {
namespace {

constexpr const auto& kLower = detail::kAnsiLower;

// Sort weights: the primary weight orders blanks and punctuation before digits before letters,
// and gives an accented letter the weight of its base letter; ties are broken by the lower-case
// character itself, so "e" < "é" while "E" and "e" stay equal.
constexpr std::array<unsigned short, 256> MakePrimaryTable()
{
    std::array<unsigned short, 256> t{};
    for (int c = 0; c < 256; ++c) {
        const int l = kLower[c];
        if (l >= '0' && l <= '9') t[c] = static_cast<unsigned short>(0x200 + l);
        else if (l >= 'a' && l <= 'z') t[c] = static_cast<unsigned short>(0x300 + l);
        else if (l >= 0x80)
            t[c] = static_cast<unsigned short>(0x400 + l);  // symbols of the upper half after the letters
        else t[c] = static_cast<unsigned short>(0x100 + l);
    }
    auto base = [&](int lower, char letter) { t[lower] = static_cast<unsigned short>(0x300 + letter); };
    for (int c = 0xE0; c <= 0xE6; ++c) base(c, 'a');
    base(0xE7, 'c');
    for (int c = 0xE8; c <= 0xEB; ++c) base(c, 'e');
    for (int c = 0xEC; c <= 0xEF; ++c) base(c, 'i');
    base(0xF0, 'd');
    base(0xF1, 'n');
    for (int c = 0xF2; c <= 0xF6; ++c) base(c, 'o');
    base(0xF8, 'o');
    for (int c = 0xF9; c <= 0xFC; ++c) base(c, 'u');
    base(0xFD, 'y');
    base(0xFF, 'y');
    base(0xDF, 's');  // sharp s
    base(0x9A, 's');
    base(0x9C, 'o');
    base(0x9E, 'z');
    for (int c = 0xC0; c <= 0xDE; ++c)
        if (c != 0xD7) t[c] = t[kLower[c]];
    t[0x8A] = t[0x9A];
    t[0x8C] = t[0x9C];
    t[0x8E] = t[0x9E];
    t[0x9F] = t[0xFF];
    return t;
}
constexpr auto kPrimary = MakePrimaryTable();

inline unsigned char U(char c) { return static_cast<unsigned char>(c); }

}  // namespace

std::string AnsiLower(std::string_view s)
{
    std::string r(s);
    for (char& c : r) c = AnsiLowerChar(c);
    return r;
}

std::string AnsiUpper(std::string_view s)
{
    std::string r(s);
    for (char& c : r) c = AnsiUpperChar(c);
    return r;
}

bool AnsiSameText(std::string_view a, std::string_view b) noexcept
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (kLower[U(a[i])] != kLower[U(b[i])]) return false;
    return true;
}

static inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool AsciiSameText(std::string_view a, std::string_view b) noexcept
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

bool AsciiStartsWithText(std::string_view s, std::string_view prefix) noexcept
{
    return s.size() >= prefix.size() && AsciiSameText(s.substr(0, prefix.size()), prefix);
}

int AnsiCompareText(std::string_view a, std::string_view b) noexcept
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int d = int(kPrimary[U(a[i])]) - int(kPrimary[U(b[i])]);
        if (d != 0) return d;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = 0; i < n; ++i) {
        const int d = int(kLower[U(a[i])]) - int(kLower[U(b[i])]);
        if (d != 0) return d;
    }
    return 0;
}

std::string_view Trim(std::string_view s) noexcept
{
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    const std::size_t n = text.size();
    while (start < n) {
        std::size_t end = start;
        while (end < n && text[end] != '\r' && text[end] != '\n') ++end;
        lines.emplace_back(text.substr(start, end - start));
        if (end < n) end += (text[end] == '\r' && end + 1 < n && text[end + 1] == '\n') ? 2 : 1;
        start = end;
    }
    return lines;
}

}  // namespace tarnwick
