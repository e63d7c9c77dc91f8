#include "editor/word_wrap.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace tarnwick {

namespace {

constexpr std::size_t kMaxSegment = TTextStore::kMaxRecordLength;

// The word-break rule over the text of a logical line (its CR excluded).
class WordBreaker {
public:
    WordBreaker(std::string_view text, const WrapRule& rule)
        : text_(text), rule_(rule), callback_(rule.onWordBreak && text.size() <= static_cast<std::size_t>(INT_MAX))
    {
    }

    bool IsDelimiter(std::size_t i) const
    {
        if (callback_) return Call(i, kWordBreakIsDelimiter) != 0;
        const unsigned char c = static_cast<unsigned char>(text_[i]);
        return c <= 32 || c == 160;
    }

    // The start of the word that holds index i; `floor` when the word reaches back that far.
    std::size_t WordStart(std::size_t i, std::size_t floor) const
    {
        if (callback_) {
            const int at = Call(i, kWordBreakLeft);
            return at > static_cast<int>(floor) && static_cast<std::size_t>(at) <= i ? static_cast<std::size_t>(at)
                                                                                     : floor;
        }
        std::size_t j = i;
        while (j > floor && !IsDelimiter(j - 1)) --j;
        return j;
    }

private:
    int Call(std::size_t i, int code) const
    {
        return rule_.onWordBreak(text_.data(), static_cast<int>(i), static_cast<int>(text_.size()), code);
    }

    std::string_view text_;
    const WrapRule& rule_;
    bool callback_;
};

// Without word wrap: one segment, or pieces of kMaxSegment characters for a long line.
void CutPlain(std::size_t n, bool cr, std::vector<std::uint16_t>& segments)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t rest = n - start;
        if (rest + (cr ? 1 : 0) <= kMaxSegment) {
            segments.push_back(static_cast<std::uint16_t>(rest + (cr ? 1 : 0)));
            return;
        }
        // The CR never stands alone: a rest of exactly kMaxSegment characters leaves one for it.
        const std::size_t take = rest > kMaxSegment ? kMaxSegment : kMaxSegment - 1;
        segments.push_back(static_cast<std::uint16_t>(take));
        start += take;
    }
}

}  // namespace

void WrapSegments(std::string_view line, const WrapRule& rule, std::vector<std::uint16_t>& segments)
{
    if (line.empty()) return;
    const bool cr = line.back() == '\r';
    const std::size_t n = line.size() - (cr ? 1 : 0);
    const std::string_view text = line.substr(0, n);

    const bool overridden = rule.wrapOverride && n > 0 && rule.wrapOverrideChars.find(text[0]) != std::string::npos;
    if (!rule.wordWrap || overridden) {
        if (line.size() < kWrapForceLength) {
            segments.push_back(static_cast<std::uint16_t>(line.size()));
            return;
        }
        // A long line is cut all the same: plainly without word wrap, at the wrap width with it.
        if (!rule.wordWrap) {
            CutPlain(n, cr, segments);
            return;
        }
    }

    const std::int64_t width = rule.WrapWidth();
    const std::int64_t cw = rule.CharWidth();
    const bool fixed = !rule.charWidthOf;
    const bool tabs = std::memchr(text.data(), '\t', n) != nullptr;
    // With a fixed-pitch font and no tab every character is as wide as the next: the number that
    // fits is known at once.
    const std::size_t fit = static_cast<std::size_t>(
        std::clamp<std::int64_t>(width / cw, static_cast<std::int64_t>(kWrapMinSegment), kMaxSegment));
    const WordBreaker breaker(text, rule);

    std::size_t start = 0;
    for (;;) {
        std::size_t cut = n;
        if (fixed && !tabs) {
            if (n - start > fit) cut = start + fit;
        } else {
            std::int64_t x = 0;
            for (std::size_t i = start; i < n; ++i) {
                const std::size_t count = i - start;
                if (count >= kMaxSegment) {
                    cut = i;
                    break;
                }
                const unsigned char c = static_cast<unsigned char>(text[i]);
                std::int64_t next;
                if (c == '\t') next = rule.tabs.NextStop(x / cw) * cw;
                else next = x + (fixed ? cw : std::max<std::int64_t>(rule.charWidthOf(c), 0));
                if (count >= kWrapMinSegment && next > width) {
                    cut = i;
                    break;
                }
                x = next;
            }
        }
        // The rest fits, but together with the CR it would pass the record limit.
        if (cut == n && cr && n - start == kMaxSegment) cut = n - 1;
        if (cut == n) {
            segments.push_back(static_cast<std::uint16_t>(n - start + (cr ? 1 : 0)));
            return;
        }
        if (!breaker.IsDelimiter(cut) && !breaker.IsDelimiter(cut - 1)) {
            const std::size_t word = breaker.WordStart(cut, start);
            if (word > start && word < cut) cut = word;
        }
        segments.push_back(static_cast<std::uint16_t>(cut - start));
        start = cut;
    }
}

std::vector<std::uint16_t> WrapSegments(std::string_view line, const WrapRule& rule)
{
    std::vector<std::uint16_t> segments;
    WrapSegments(line, rule, segments);
    return segments;
}

RewrapResult WrapLogicalLine(TTextStore& store, std::int64_t line, const WrapRule& rule)
{
    return store.RewrapLine(
        line, [&](std::string_view text, std::vector<std::uint16_t>& segments) { WrapSegments(text, rule, segments); });
}

RewrapResult WrapDocument(TTextStore& store, const WrapRule& rule)
{
    return store.RewrapAll(
        [&](std::string_view text, std::vector<std::uint16_t>& segments) { WrapSegments(text, rule, segments); });
}

RewrapResult UnwrapDocument(TTextStore& store) { return WrapDocument(store, WrapRule{}); }

}  // namespace tarnwick
