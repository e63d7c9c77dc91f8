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
#include <vector>

#include "editor/char_streams.h"

namespace tarnwick {

// Default word tests of the control: a word starts with a letter A..Z, a..z or the underscore;
// a word holds letters, digits, the underscore, the apostrophe and the hyphen.
bool DefaultCharStartsWord(char c) noexcept;
bool DefaultCharIsInWord(char c) noexcept;

// The control's word tests, used by the whole-word rule.
struct SearchWordTests {
    bool (*StartsWord)(char) = DefaultCharStartsWord;
    bool (*IsInWord)(char) = DefaultCharIsInWord;
};

// Moves the stream to `offset` (kept between 0 and the text size). A place a few records from
// the stream's own is reached by walking the records, a far one is looked up in the store.
void MoveStreamTo(TEdStream& stream, std::int64_t offset);

// Reads the text [from, to) of the stream into `window` (grown as needed) and returns how many
// characters it read. A short stretch is read from the stream's place, which should be near:
// forwards the stream ends at `to`, backwards (the records are read from `to` back) at `from`. A
// long one is copied by the store, and the stream stays where it was.
std::int64_t ReadTextWindow(TEdStream& stream, std::vector<char>& window, std::int64_t from, std::int64_t to,
                            bool backwards);

// How rare a character is in program text: 0 for the most common (the blank), larger for rarer
// ones; every character outside a short list of common ones has the largest rank.
std::size_t CharRarity(char c) noexcept;

// Finds one literal in memory, with or without regard to case. Two of the literal's characters
// that are rare in program text are looked for at their distance from each other, sixteen places
// at a time, and only the places where both stand are compared in full. Used by both search
// engines: the plain-text search ignoring case, and the regular-expression search for a literal
// that every match holds.
class LiteralScanner {
public:
    // Makes the scanner look for `literal` (case-folded with AnsiLowerChar when `ignoreCase`).
    void Prepare(std::string_view literal, bool ignoreCase);

    // The literal as compared: folded when the scanner ignores case.
    const std::string& Literal() const { return literal_; }
    std::size_t Size() const { return literal_.size(); }
    bool IgnoresCase() const { return fold_; }

    // The first (last) place in [begin, end) at which the whole literal lies inside [begin, end);
    // null when there is none (always for an empty literal).
    const char* First(const char* begin, const char* end) const;
    const char* Last(const char* begin, const char* end) const;
    // Whether the literal stands at `at` (Size() characters are read).
    bool At(const char* at) const;

private:
    // Whether the two characters looked for stand at their places from `at`.
    bool Candidate(const char* at) const
    {
        if (!wide_) return true;
        const auto a = static_cast<std::uint8_t>(at[near_]), b = static_cast<std::uint8_t>(at[far_]);
        return (a == nearBytes_[0] || a == nearBytes_[1]) && (b == farBytes_[0] || b == farBytes_[1]);
    }

    std::string literal_;
    bool fold_ = false;
    // Where the two characters looked for stand in the literal (near_ <= far_), and the bytes
    // that stand for each (one byte twice when only one does).
    std::size_t near_ = 0, far_ = 0;
    std::uint8_t nearBytes_[2] = {}, farBytes_[2] = {};
    // Sixteen places at a time: each of the two characters has at most two bytes.
    bool wide_ = false;
    // Case-sensitive with a character rare enough that the library's byte search finds it
    // faster; its position.
    bool byteSearch_ = false;
    std::size_t rare_ = 0;
};

// Skip tables of one pattern, kept between searches and rebuilt only when the pattern changes:
// forward and backward skips for the pattern as given and for its case-folded form.
class PlainSearchTables {
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
    // The scanners of the search that ignores case and of the one that does not.
    const LiteralScanner& FoldedScanner() const { return foldedScanner_; }
    const LiteralScanner& ExactScanner() const { return exactScanner_; }
    // The text window the search reads into, kept so that frequent searches need not allocate it.
    std::vector<char>& Window() { return window_; }

private:
    std::string pattern_;
    std::string folded_;
    bool valid_ = false;
    int builds_ = 0;
    SkipTable forward_{};
    SkipTable backward_{};
    SkipTable forwardFolded_{};
    SkipTable backwardFolded_{};
    LiteralScanner foldedScanner_;
    LiteralScanner exactScanner_;
    std::vector<char> window_;
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
std::int64_t PlainTextSearch(const SearchWordTests& control, TEdStream& stream, std::int64_t limit,
                             PlainSearchTables& tables, bool wholeWord, bool caseSensitive, bool backwards,
                             std::int64_t start, std::string_view pattern);

}  // namespace tarnwick
