#pragma once
// Word wrap: how a logical line is cut into display segments (line records), and applying the
// cut to a text store, one logical line after an edit or the whole document when the wrap
// settings, the font or the window width change.
//
// The rules:
//  - A logical line of 2048 characters or more (its closing CR included) is always cut, with or
//    without word wrap: no segment is longer than 2047 characters.
//  - Otherwise the line stays in one segment when word wrap is off, or when the wrap override is
//    on and the line's first character is one of the override characters. (A long line that the
//    override would keep whole is wrapped as any other when word wrap is on.)
//  - Otherwise characters are measured one by one from the start of the segment (a tab advances
//    to the next tab stop, counted from the segment's start, since every segment is drawn from
//    column 0). Once the segment holds at least 5 characters it ends before the first character
//    that would pass the wrap width. When that cut falls inside a word (neither the character
//    before it nor the one at it is a delimiter) it moves back to the start of that word, as long
//    as the segment keeps at least one character.
//  - The line's closing CR has no width; it stays in the last segment and never starts one.
//  - Without word wrap a long line is cut every 2047 characters; should only the CR remain for the
//    last segment, the cut before it moves one character earlier.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/tab_stops.h"
#include "editor/text_store.h"

namespace tarnwick {

// Codes of the word-break callback.
inline constexpr int kWordBreakLeft = 0;         // index of the start of the word left of `current`
inline constexpr int kWordBreakRight = 1;        // index of the end of the word right of `current`
inline constexpr int kWordBreakIsDelimiter = 2;  // non-zero when the character at `current` is a delimiter

// Word-break callback in the manner of an edit control's word-break procedure. `text` is the
// logical line without its closing CR, `length` its length, `current` an index into it.
using WordBreakProc = std::function<int(const char* text, int current, int length, int code)>;

struct WrapRule {
    bool wordWrap = false;
    // Lines starting with one of `wrapOverrideChars` are not wrapped (below 2048 characters).
    bool wrapOverride = false;
    std::string wrapOverrideChars;
    // Wrap width: wrapColumn × charWidth, or textAreaWidth (pixels) when wrapColumn is 0.
    std::int32_t wrapColumn = 0;
    std::int32_t textAreaWidth = 0;
    // Width of a character of a fixed-pitch font, or the average width of a proportional one
    // (tab stops are placed at multiples of it). Values below 1 count as 1.
    std::int32_t charWidth = 8;
    // Width of each character of a proportional font; empty for a fixed-pitch font.
    std::function<std::int32_t(unsigned char)> charWidthOf;
    TabRule tabs;
    // Replaces the built-in word-break rule when set. The built-in rule: the delimiters are the
    // characters up to 32 and the non-breaking space (160); the start of the word left of an
    // index is found by stepping back over non-delimiters.
    WordBreakProc onWordBreak;

    std::int64_t CharWidth() const { return charWidth >= 1 ? charWidth : 1; }
    std::int64_t WrapWidth() const { return wrapColumn > 0 ? wrapColumn * CharWidth() : textAreaWidth; }
};

inline constexpr std::size_t kWrapMinSegment = 5;      // characters before a segment may end
inline constexpr std::size_t kWrapForceLength = 2048;  // lines this long are always cut

// Appends to `segments` the lengths of the segments of `line` (a logical line, its closing CR
// included when it has one); they add up to line.size(). Nothing for an empty line.
void WrapSegments(std::string_view line, const WrapRule& rule, std::vector<std::uint16_t>& segments);
std::vector<std::uint16_t> WrapSegments(std::string_view line, const WrapRule& rule);

// Re-wraps the logical line holding record `line` (any of its records); for the control to call
// after an edit. Gives the index of the line's first record and its old and new record counts.
RewrapResult WrapLogicalLine(TTextStore& store, std::int64_t line, const WrapRule& rule);
// Re-wraps every logical line of the document.
RewrapResult WrapDocument(TTextStore& store, const WrapRule& rule);
// Word wrap switched off: joins the segments of every logical line again, except that lines of
// 2048 characters or more stay cut every 2047 characters.
RewrapResult UnwrapDocument(TTextStore& store);

}  // namespace tarnwick
