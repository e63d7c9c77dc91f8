#include "base/cp1252.h"

#include <cstring>

namespace tarnwick {
namespace {

// Unicode -> byte in two levels: the high byte of a code point of the first plane picks one of a
// few pages of 256 entries (page 0: none), the low byte the entry; 0 in an entry means "no byte"
// except for U+0000 itself, which only page 1 (U+00xx) holds.
struct ReverseTable {
    std::array<std::uint8_t, 256> pageOf{};
    std::array<std::array<std::uint8_t, 256>, 6> pages{};
};

constexpr ReverseTable MakeReverseTable()
{
    ReverseTable t{};
    int used = 1;
    for (int b = 0; b < 256; ++b) {
        const char16_t u = detail::kCp1252ToUnicode[b];
        const int high = u >> 8;
        if (t.pageOf[high] == 0) t.pageOf[high] = static_cast<std::uint8_t>(used++);
        t.pages[t.pageOf[high]][u & 0xFF] = static_cast<std::uint8_t>(b);
    }
    return t;
}

constexpr ReverseTable kReverse = MakeReverseTable();
static_assert(kReverse.pageOf[0x00] == 1, "U+00xx must be the first page");

inline int LookUp(char32_t c) noexcept
{
    if (c >= 0x10000) return -1;
    const int page = kReverse.pageOf[c >> 8];
    if (page == 0) return -1;
    const int b = kReverse.pages[page][c & 0xFF];
    return (b == 0 && c != 0) ? -1 : b;
}

constexpr std::uint64_t kHighBits8 = 0x8080808080808080ULL;
// Four UTF-16 units are ASCII when none has a bit above 0x7F.
constexpr std::uint64_t kNonAscii16 = 0xFF80FF80FF80FF80ULL;

// Up to three UTF-8 bytes of each byte's code point and their count.
struct Utf8Of {
    std::array<std::array<char, 3>, 256> bytes{};
    std::array<std::uint8_t, 256> length{};
};

constexpr Utf8Of MakeUtf8Table()
{
    Utf8Of t{};
    for (int b = 0; b < 256; ++b) {
        const char16_t u = detail::kCp1252ToUnicode[b];
        if (u < 0x80) {
            t.bytes[b] = {static_cast<char>(u), 0, 0};
            t.length[b] = 1;
        } else if (u < 0x800) {
            t.bytes[b] = {static_cast<char>(0xC0 | (u >> 6)), static_cast<char>(0x80 | (u & 0x3F)), 0};
            t.length[b] = 2;
        } else {
            t.bytes[b] = {static_cast<char>(0xE0 | (u >> 12)), static_cast<char>(0x80 | ((u >> 6) & 0x3F)),
                          static_cast<char>(0x80 | (u & 0x3F))};
            t.length[b] = 3;
        }
    }
    return t;
}

constexpr Utf8Of kUtf8 = MakeUtf8Table();

inline char ByteOrReplacement(char32_t c) noexcept
{
    const int b = LookUp(c);
    return b < 0 ? kCp1252Replacement : static_cast<char>(b);
}

}  // namespace

int UnicodeToCp1252(char32_t codePoint) noexcept { return LookUp(codePoint); }

std::u16string Cp1252ToUtf16(std::string_view bytes)
{
    std::u16string out(bytes.size(), u'\0');
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    char16_t* o = out.data();
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        if (n - i >= 8) {
            std::uint64_t w;
            std::memcpy(&w, in + i, 8);
            if ((w & kHighBits8) == 0) {
                for (int k = 0; k < 8; ++k) o[i + k] = in[i + k];
                i += 8;
                continue;
            }
        }
        o[i] = detail::kCp1252ToUnicode[in[i]];
        ++i;
    }
    return out;
}

std::string Utf16ToCp1252(std::u16string_view text)
{
    std::string out(text.size(), '\0');
    const char16_t* in = text.data();
    char* o = out.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    std::size_t w = 0;
    while (i < n) {
        if (n - i >= 4) {
            std::uint64_t units;
            std::memcpy(&units, in + i, 8);
            if ((units & kNonAscii16) == 0) {
                for (int k = 0; k < 4; ++k) o[w + k] = static_cast<char>(in[i + k]);
                i += 4;
                w += 4;
                continue;
            }
        }
        const char16_t c = in[i];
        if (c < 0x80) {
            o[w++] = static_cast<char>(c);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            // A pair is one character the code page lacks; a lone half is one as well.
            const bool pair = c <= 0xDBFF && i + 1 < n && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF;
            o[w++] = kCp1252Replacement;
            i += pair ? 2 : 1;
        } else {
            o[w++] = ByteOrReplacement(c);
            ++i;
        }
    }
    out.resize(w);
    return out;
}

std::string Cp1252ToUtf8(std::string_view bytes)
{
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t size = 0;
    for (std::size_t i = 0; i < n; ++i) size += kUtf8.length[in[i]];
    std::string out(size, '\0');
    char* o = out.data();
    std::size_t i = 0;
    while (i < n) {
        if (n - i >= 8) {
            std::uint64_t w;
            std::memcpy(&w, in + i, 8);
            if ((w & kHighBits8) == 0) {
                std::memcpy(o, in + i, 8);
                o += 8;
                i += 8;
                continue;
            }
        }
        const unsigned char b = in[i++];
        const auto& seq = kUtf8.bytes[b];
        const int len = kUtf8.length[b];
        o[0] = seq[0];
        if (len > 1) o[1] = seq[1];
        if (len > 2) o[2] = seq[2];
        o += len;
    }
    return out;
}

std::string Utf8ToCp1252(std::string_view utf8)
{
    const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::string out(n, '\0');  // never longer than its input
    char* o = out.data();
    std::size_t w = 0;
    std::size_t i = 0;
    while (i < n) {
        if (n - i >= 8) {
            std::uint64_t word;
            std::memcpy(&word, in + i, 8);
            if ((word & kHighBits8) == 0) {
                std::memcpy(o + w, in + i, 8);
                w += 8;
                i += 8;
                continue;
            }
        }
        const unsigned char b0 = in[i];
        if (b0 < 0x80) {
            o[w++] = static_cast<char>(b0);
            ++i;
            continue;
        }
        // The well-formed sequences of Unicode's table 3-7: the second byte's range depends on
        // the first (no overlong forms, no surrogates, nothing above U+10FFFF).
        int need;
        unsigned char lower = 0x80, upper = 0xBF;
        char32_t cp;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            need = 1;
            cp = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            need = 2;
            cp = b0 & 0x0F;
            if (b0 == 0xE0) lower = 0xA0;
            if (b0 == 0xED) upper = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            need = 3;
            cp = b0 & 0x07;
            if (b0 == 0xF0) lower = 0x90;
            if (b0 == 0xF4) upper = 0x8F;
        } else {
            o[w++] = kCp1252Replacement;
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < need; ++k, ++j) {
            if (j >= n || in[j] < lower || in[j] > upper) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (in[j] & 0x3F);
            lower = 0x80;
            upper = 0xBF;
        }
        // Either the whole character or its maximal ill-formed part [i, j) is consumed.
        o[w++] = ok ? ByteOrReplacement(cp) : kCp1252Replacement;
        i = j;
    }
    out.resize(w);
    return out;
}

}  // namespace tarnwick
