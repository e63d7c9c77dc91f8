#include "editor/plain_search.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/ansi_text.h"

namespace tarnwick {

namespace {

// Bytes read from the store at a time: a search that ends near its start (the next of many
// matches) reads little, and a long one reads ever larger windows. Consecutive windows overlap by
// the pattern length plus one character of context, which costs little against these sizes.
constexpr std::int64_t kFirstWindow = 1 << 9;
constexpr std::int64_t kLargestWindow = 1 << 20;

bool IsAsciiLetter(char c) noexcept { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Case folding of every byte, built once.
struct FoldTable {
    std::array<unsigned char, 256> map{};
    FoldTable()
    {
        for (int c = 0; c < 256; ++c)
            map[c] = static_cast<unsigned char>(AnsiLowerChar(static_cast<char>(c)));
    }
};

const FoldTable& Folding()
{
    static const FoldTable table;
    return table;
}

void BuildSkips(std::string_view p, TPlainSearchTables::SkipTable& forward, TPlainSearchTables::SkipTable& backward)
{
    const auto n = static_cast<std::int32_t>(std::min<std::size_t>(p.size(), INT32_MAX));
    forward.fill(n);
    backward.fill(n);
    // Forward: distance from the last occurrence among the first n-1 characters to the end.
    for (std::int32_t i = 0; i + 1 < n; ++i) forward[static_cast<unsigned char>(p[i])] = n - 1 - i;
    // Backward: distance from the first character to the first occurrence among the last n-1.
    for (std::int32_t i = n - 1; i >= 1; --i) backward[static_cast<unsigned char>(p[i])] = i;
}

// Reads the text [from, to) of the stream into `buf`.
std::int64_t Fill(TEdStream& stream, std::vector<char>& buf, std::int64_t from, std::int64_t to)
{
    const auto want = static_cast<std::size_t>(to - from);
    if (buf.size() < want) buf.resize(want);
    if (const TTextStore* store = stream.Store()) return static_cast<std::int64_t>(store->CopyText(from, buf.data(), want));
    stream.Seek(from, SeekOrigin::soFromBeginning);
    return static_cast<std::int64_t>(stream.Read(buf.data(), want));
}

// How common a character is in program text, from the most common down; characters not listed
// are rarer than all of these.
constexpr std::string_view kCommonChars =
    " \reatoinsrlcdu_mpfhgybwv,.()'=;\t0123456789kx*-jqzEATOINSRLCDU";

// Characters from this rank on are rare enough that looking for them byte by byte beats
// skipping by the pattern's length.
constexpr std::size_t kRareRank = kCommonChars.find('k');

// Index of the pattern character least likely to occur in the text: searching for it finds the
// fewest places to check. `rank` receives how common it is.
std::size_t RarestIndex(std::string_view p, std::size_t& rank)
{
    std::size_t best = p.size() - 1, bestRank = std::string_view::npos;
    for (std::size_t i = p.size(); i-- > 0;) {
        const std::size_t at = kCommonChars.find(p[i]);
        const std::size_t rank = at == std::string_view::npos ? kCommonChars.size() : at;
        if (bestRank == std::string_view::npos || rank > bestRank) {
            best = i;
            bestRank = rank;
        }
    }
    rank = bestRank;
    return best;
}

struct Search {
    const TSearchWordTests& words;
    TEdStream& stream;
    const std::string& pat;  // folded when the search ignores case
    const TPlainSearchTables::SkipTable& skips;
    bool wholeWord;
    std::int64_t size;
    std::int64_t limit;  // clamped
    std::vector<char> buf;

    // The candidate at `s` in the window starting at `base` (which holds its context) passes
    // the whole-word rule.
    bool WordOk(std::int64_t s, std::int64_t base) const
    {
        const auto n = static_cast<std::int64_t>(pat.size());
        if (s > 0 && words.IsInWord(buf[static_cast<std::size_t>(s - 1 - base)])) return false;
        if (s + n < size) {
            const char after = buf[static_cast<std::size_t>(s + n - base)];
            if (words.StartsWord(after) || words.IsInWord(after)) return false;
        }
        return true;
    }

    const unsigned char* fold = Folding().map.data();
    std::size_t rareRank = 0;
    std::size_t rare = RarestIndex(pat, rareRank);

    template <bool kFold>
    unsigned char Ch(const char* p, std::int64_t i) const
    {
        const auto c = static_cast<unsigned char>(p[i]);
        if constexpr (kFold) return fold[c];
        return c;
    }

    template <bool kFold>
    std::int64_t Forward(std::int64_t s)
    {
        const auto n = static_cast<std::int64_t>(pat.size());
        const char* p = pat.data();
        const auto last = static_cast<unsigned char>(p[n - 1]);
        const std::int64_t lastStart = limit - n;
        // Context reaches one character past the limit.
        const std::int64_t readEnd = std::min(size, limit + 1);
        std::int64_t window = std::max<std::int64_t>(kFirstWindow, 2 * n + 4);
        while (s <= lastStart) {
            const std::int64_t base = s > 0 ? s - 1 : 0;
            const std::int64_t end = std::min(readEnd, base + window);
            window = std::max(window, std::min(2 * window, kLargestWindow));
            if (Fill(stream, buf, base, end) != end - base) return -1;
            // Candidates whose context lies inside the window.
            const std::int64_t top = end == readEnd ? lastStart : std::min(lastStart, end - n - 1);
            const char* t = buf.data() - base;  // t[offset] is the character at `offset`
            if (!kFold && rareRank >= kRareRank) {
                // Exact case: the library's vectorised byte search finds the places where the
                // pattern's rarest character stands, and only those are compared.
                const auto k = static_cast<std::int64_t>(rare);
                while (s <= top) {
                    const void* hit = std::memchr(t + s + k, p[k], static_cast<std::size_t>(top - s + 1));
                    if (!hit) {
                        s = top + 1;
                        break;
                    }
                    s = static_cast<const char*>(hit) - t - k;
                    if (std::memcmp(t + s, p, static_cast<std::size_t>(n)) == 0 && (!wholeWord || WordOk(s, base)))
                        return s;
                    ++s;
                }
                continue;
            }
            if (!kFold) {
                // Exact case with common characters: the library's substring search.
                while (s <= top) {
                    const void* hit = memmem(t + s, static_cast<std::size_t>(top - s + n), p, static_cast<std::size_t>(n));
                    if (!hit) {
                        s = top + 1;
                        break;
                    }
                    s = static_cast<const char*>(hit) - t;
                    if (!wholeWord || WordOk(s, base)) return s;
                    ++s;
                }
                continue;
            }
            while (s <= top) {
                const unsigned char c = Ch<kFold>(t, s + n - 1);
                if (c == last) {
                    std::int64_t i = n - 2;
                    while (i >= 0 && Ch<kFold>(t, s + i) == static_cast<unsigned char>(p[i])) --i;
                    if (i < 0) {
                        if (!wholeWord || WordOk(s, base)) return s;
                        ++s;
                        continue;
                    }
                }
                s += skips[c];
            }
        }
        return -1;
    }

    template <bool kFold>
    std::int64_t Backward(std::int64_t s)
    {
        const auto n = static_cast<std::int64_t>(pat.size());
        const char* p = pat.data();
        const auto first = static_cast<unsigned char>(p[0]);
        std::int64_t window = std::max<std::int64_t>(kFirstWindow, 2 * n + 4);
        while (s >= 0) {
            const std::int64_t end = std::min(size, s + n + 1);
            const std::int64_t base = std::max<std::int64_t>(0, end - window);
            window = std::max(window, std::min(2 * window, kLargestWindow));
            if (Fill(stream, buf, base, end) != end - base) return -1;
            const std::int64_t bottom = base == 0 ? 0 : base + 1;
            const char* t = buf.data() - base;
            if (!kFold && rareRank >= kRareRank) {
                const auto k = static_cast<std::int64_t>(rare);
                while (s >= bottom) {
                    const void* hit = memrchr(t + bottom + k, p[k], static_cast<std::size_t>(s - bottom + 1));
                    if (!hit) {
                        s = bottom - 1;
                        break;
                    }
                    s = static_cast<const char*>(hit) - t - k;
                    if (std::memcmp(t + s, p, static_cast<std::size_t>(n)) == 0 && (!wholeWord || WordOk(s, base)))
                        return s;
                    --s;
                }
                continue;
            }
            while (s >= bottom) {
                const unsigned char c = Ch<kFold>(t, s);
                if (c == first) {
                    std::int64_t i = 1;
                    while (i < n && Ch<kFold>(t, s + i) == static_cast<unsigned char>(p[i])) ++i;
                    if (i == n) {
                        if (!wholeWord || WordOk(s, base)) return s;
                        --s;
                        continue;
                    }
                }
                s -= skips[c];
            }
        }
        return -1;
    }
};

}  // namespace

bool DefaultCharStartsWord(char c) noexcept { return IsAsciiLetter(c) || c == '_'; }

bool DefaultCharIsInWord(char c) noexcept
{
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == '\'' || c == '-';
}

void TPlainSearchTables::Prepare(std::string_view pattern)
{
    if (valid_ && pattern == pattern_) return;
    pattern_.assign(pattern);
    folded_.resize(pattern_.size());
    for (std::size_t i = 0; i < pattern_.size(); ++i)
        folded_[i] = static_cast<char>(Folding().map[static_cast<unsigned char>(pattern_[i])]);
    BuildSkips(pattern_, forward_, backward_);
    BuildSkips(folded_, forwardFolded_, backwardFolded_);
    // Case-insensitive search looks skips up by folded text characters only, so the folded
    // tables need no entries for the other case.
    valid_ = true;
    ++builds_;
}

std::int64_t PlainTextSearch(const TSearchWordTests& control, TEdStream& stream, std::int64_t limit,
                             TPlainSearchTables& tables, bool wholeWord, bool caseSensitive, bool backwards,
                             std::int64_t start, std::string_view pattern)
{
    const std::int64_t notFound = std::max<std::int64_t>(limit, 0);
    if (pattern.empty()) return notFound;
    tables.Prepare(pattern);
    const std::int64_t size = stream.Size();
    const std::int64_t lim = std::clamp<std::int64_t>(limit, 0, size);
    const auto n = static_cast<std::int64_t>(pattern.size());
    if (n > lim) return notFound;

    Search search{control,
                  stream,
                  caseSensitive ? tables.Pattern() : tables.FoldedPattern(),
                  backwards ? tables.BackwardSkips(caseSensitive) : tables.ForwardSkips(caseSensitive),
                  wholeWord,
                  size,
                  lim,
                  {},
                  Folding().map.data()};
    std::int64_t found = -1;
    if (backwards) {
        const std::int64_t s = std::min(start, lim - n);
        if (s >= 0) found = caseSensitive ? search.Backward<false>(s) : search.Backward<true>(s);
    } else {
        const std::int64_t s = std::max<std::int64_t>(start, 0);
        if (s <= lim - n) found = caseSensitive ? search.Forward<false>(s) : search.Forward<true>(s);
    }
    if (found < 0) return notFound;
    stream.Seek(found, SeekOrigin::soFromBeginning);
    return found;
}

}  // namespace tarnwick
