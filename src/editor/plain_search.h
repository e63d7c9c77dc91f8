#pragma once
// Plain-text search (Boyer–Moore–Horspool) over a text store read through a TEdStream, forwards
// or backwards, with or without regard to case, optionally for whole words only.
//
// The stored text holds every line break as one CR, so a pattern that spans lines must use CR.
// Case-insensitive search folds text and pattern with AnsiLowerChar (Windows-1252), which groups
// characters exactly as comparing their upper-case forms would.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "editor/ed_stream.h"

namespace tarnwick {

// Default word tests of the control: a word starts with a letter A..Z, a..z or the underscore;
// a word holds letters, digits, the underscore, the apostrophe and the hyphen.
bool DefaultCharStartsWord(char c) noexcept;
bool DefaultCharIsInWord(char c) noexcept;

// The control's word tests, used by the whole-word rule.
struct TSearchWordTests {
    bool (*StartsWord)(char) = DefaultCharStartsWord;
    bool (*IsInWord)(char) = DefaultCharIsInWord;
};

// Skip tables of one pattern, kept between searches and rebuilt only when the pattern changes:
// forward and backward skips for the pattern as given and for its case-folded form.
class TPlainSearchTables {
public:
    using SkipTable = std::array<std::int32_t, 256>;

    // Makes the tables describe `pattern`; does nothing when they already do.
    void Prepare(std::string_view pattern);

    const std::string& Pattern() const { return pattern_; }
    const std::string& FoldedPattern() const { return folded_; }
    bool Valid() const { return valid_; }
    // Forward: how far the pattern may move on when `c` is under its last character.
    const SkipTable& ForwardSkips(bool caseSensitive) const { return caseSensitive ? forward_ : forwardFolded_; }
    // Backward: how far it may move back when `c` is under its first character.
    const SkipTable& BackwardSkips(bool caseSensitive) const { return caseSensitive ? backward_ : backwardFolded_; }
    // Times the tables were built (for tests of the cache).
    int BuildCount() const { return builds_; }

private:
    std::string pattern_;
    std::string folded_;
    bool valid_ = false;
    int builds_ = 0;
    SkipTable forward_{};
    SkipTable backward_{};
    SkipTable forwardFolded_{};
    SkipTable backwardFolded_{};
};

// Searches the text of `stream` for `pattern`.
//
// Only matches lying wholly inside [0, limit) count (`limit` is clamped to the text size).
// Forwards, the first match starting at or after `start` is found; backwards, the last match
// starting at or before `start`. With `wholeWord`, a candidate counts only when the character
// before it (if any) is not a word character and the character after it (if any; the text past
// `limit` is looked at too) neither starts a word nor is a word character.
//
// Returns the start offset of the match and leaves the stream there; with no match (or an empty
// pattern) returns a value at or beyond `limit` and the stream may be left anywhere.
// `tables` are prepared for the pattern as needed. Patterns of any length are allowed.
std::int64_t PlainTextSearch(const TSearchWordTests& control, TEdStream& stream, std::int64_t limit,
                             TPlainSearchTables& tables, bool wholeWord, bool caseSensitive, bool backwards,
                             std::int64_t start, std::string_view pattern);

}  // namespace tarnwick
