#pragma once
// The built-in matchers of the highlighter (numbers in parser_tables.h): character-step matchers
// 0..2 and whole-token matchers 10..20.

#include <array>
#include <cstdint>

#include "editor/char_streams.h"
#include "highlight/parser_tables.h"

namespace tarnwick {

// Runs matcher `id` at the stream's position. `tokenStart` is where the current token began
// (_ORIGINAL_CHAR only applies to a token starting a line). On success the characters consumed
// are added to `kLength` and the stream stands after them; on failure (and for an unknown number)
// the stream is back where it was and kLength is unchanged.
bool RunBuiltInMatcher(std::int32_t id, TEdStream& stream, std::int64_t tokenStart, int& kLength);

// The characters of a standard identifier after its first: letters, digits and '_'.
inline constexpr std::array<bool, 256> kIdentifierChar = [] {
    std::array<bool, 256> table{};
    for (unsigned c = 0; c < 256; ++c)
        table[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    return table;
}();

// The standard identifier matcher on a line record's text, for the scanner's common case: where
// the name at text[at] ends, `at` when no name starts there, or -1 when it runs to the record's
// end (RunBuiltInMatcher then decides through the stream).
inline std::int64_t IdentifierEndInRecord(const unsigned char* text, std::int64_t at, std::int64_t length)
{
    if (!kIdentifierChar[text[at]] || (text[at] >= '0' && text[at] <= '9')) return at;
    std::int64_t i = at + 1;
    while (i < length && kIdentifierChar[text[i]]) ++i;
    return i < length ? i : -1;
}

// The standard number matcher on a record's text: digits, a fraction and an exponent as
// RunBuiltInMatcher reads them. Returns where the number ends, `at` when none starts there, or -1
// when a step or a look ahead reaches the record's end.
inline std::int64_t NumberEndInRecord(const unsigned char* text, std::int64_t at, std::int64_t length)
{
    const auto digit = [](unsigned char ch) { return ch >= '0' && ch <= '9'; };
    const auto digits = [&](std::int64_t i) {
        while (i < length && digit(text[i])) ++i;
        return i;
    };
    std::int64_t i = digits(at);
    bool any = i > at;
    if (i >= length || (text[i] == '.' && i + 1 >= length)) return -1;
    if (text[i] == '.' && digit(text[i + 1])) {
        i = digits(i + 1);
        any = true;
        if (i >= length) return -1;
    }
    if (!any) return at;
    if (text[i] == 'e' || text[i] == 'E') {
        if (i + 1 >= length) return -1;
        const bool sign = text[i + 1] == '+' || text[i + 1] == '-';
        const std::int64_t first = i + (sign ? 2 : 1);
        if (first >= length) return -1;
        if (digit(text[first])) {
            i = digits(first);
            if (i >= length) return -1;
        }
    }
    return i;
}

// The standard Pascal string matcher ('text', with '' for a quote inside; it ends after the
// closing quote or before a line end) on a record's text; results as NumberEndInRecord.
inline std::int64_t PascalStringEndInRecord(const unsigned char* text, std::int64_t at, std::int64_t length)
{
    if (text[at] != '\'') return at;
    for (std::int64_t i = at + 1;;) {
        if (i >= length) return -1;
        if (text[i] == '\r') return i;
        if (text[i] == '\'') {
            if (++i >= length) return -1;
            if (text[i] != '\'') return i;  // the closing quote
        }
        ++i;
    }
}

// Where the token of built-in whole-token matcher `id` that starts at text[at] ends, read from
// the record alone: `at` when the matcher fails there, -1 when the record cannot decide or the
// matcher is not one read here (RunBuiltInMatcher then decides).
inline std::int64_t WholeTokenEndInRecord(std::int32_t id, const unsigned char* text, std::int64_t at,
                                          std::int64_t length)
{
    switch (id) {
    case kMatchStdIdentifier: return IdentifierEndInRecord(text, at, length);
    case kMatchStdNumberOrFp: return NumberEndInRecord(text, at, length);
    case kMatchStdPascalString: return PascalStringEndInRecord(text, at, length);
    default: return -1;
    }
}

}  // namespace tarnwick
