#include "editor/plain_search.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "base/ansi_text.h"
#include "editor/text_store.h"

using namespace tarnwick;

namespace {

struct Doc {
    TTextStore store;
    TEdStream stream{&store};
    PlainSearchTables tables;
    SearchWordTests words;

    explicit Doc(std::string_view text)
    {
        store.SetText(text);
        stream.Reset();
    }
    std::int64_t Size() { return stream.Size(); }
    std::int64_t Find(std::string_view pattern, std::int64_t start = 0, bool caseSensitive = true,
                      bool wholeWord = false, std::int64_t limit = -1)
    {
        return PlainTextSearch(words, stream, limit < 0 ? Size() : limit, tables, wholeWord, caseSensitive, false,
                               start, pattern);
    }
    std::int64_t FindBack(std::string_view pattern, std::int64_t start, bool caseSensitive = true,
                          bool wholeWord = false, std::int64_t limit = -1)
    {
        return PlainTextSearch(words, stream, limit < 0 ? Size() : limit, tables, wholeWord, caseSensitive, true, start,
                               pattern);
    }
};

// The answer worked out character by character, for comparison.
std::int64_t NaiveSearch(const std::string& text, std::int64_t limit, bool wholeWord, bool caseSensitive,
                         bool backwards, std::int64_t start, const std::string& pattern)
{
    const auto size = static_cast<std::int64_t>(text.size());
    const std::int64_t notFound = std::max<std::int64_t>(limit, 0);
    const std::int64_t lim = std::clamp<std::int64_t>(limit, 0, size);
    const auto n = static_cast<std::int64_t>(pattern.size());
    if (n == 0) return notFound;
    auto matchesAt = [&](std::int64_t s) {
        if (s < 0 || s + n > lim) return false;
        for (std::int64_t i = 0; i < n; ++i) {
            char a = text[static_cast<std::size_t>(s + i)], b = pattern[static_cast<std::size_t>(i)];
            if (!caseSensitive) a = AnsiLowerChar(a), b = AnsiLowerChar(b);
            if (a != b) return false;
        }
        if (wholeWord) {
            if (s > 0 && DefaultCharIsInWord(text[static_cast<std::size_t>(s - 1)])) return false;
            if (s + n < size) {
                const char after = text[static_cast<std::size_t>(s + n)];
                if (DefaultCharStartsWord(after) || DefaultCharIsInWord(after)) return false;
            }
        }
        return true;
    };
    if (backwards) {
        for (std::int64_t s = std::min(start, lim - n); s >= 0; --s)
            if (matchesAt(s)) return s;
    } else {
        for (std::int64_t s = std::max<std::int64_t>(start, 0); s + n <= lim; ++s)
            if (matchesAt(s)) return s;
    }
    return notFound;
}

TEST(PlainSearch, FindsForwardsAndBackwardsFromTheStart)
{
    Doc d("select a from b where a = b\rselect c from d");
    EXPECT_EQ(d.Find("select"), 0);
    EXPECT_EQ(d.Find("select", 1), 28);
    EXPECT_EQ(d.Find("select", 28), 28);  // the start itself counts
    EXPECT_GE(d.Find("select", 29), d.Size());
    EXPECT_EQ(d.Find("from"), 9);
    EXPECT_EQ(d.FindBack("select", d.Size()), 28);
    EXPECT_EQ(d.FindBack("select", 28), 28);
    EXPECT_EQ(d.FindBack("select", 27), 0);
    EXPECT_EQ(d.FindBack("from", 30), 9);
    EXPECT_GE(d.Find("nothing"), d.Size());
    EXPECT_GE(d.FindBack("nothing", d.Size()), d.Size());
    // A pattern across the stored line break (one CR).
    EXPECT_EQ(d.Find("= b\rsel"), 24);
    EXPECT_EQ(d.FindBack("b\rs", d.Size()), 26);
}

TEST(PlainSearch, LeavesTheStreamAtTheMatch)
{
    Doc d("one two three two");
    ASSERT_EQ(d.Find("two", 5), 14);
    EXPECT_EQ(d.stream.GetPos(), 14);
    EXPECT_EQ(d.stream.CurrentChar(), 't');
    ASSERT_EQ(d.FindBack("two", 13), 4);
    EXPECT_EQ(d.stream.GetPos(), 4);
}

TEST(PlainSearch, NothingToFind)
{
    Doc empty("");
    EXPECT_GE(empty.Find("a"), 0);
    EXPECT_GE(empty.FindBack("a", 0), 0);
    Doc d("abc");
    EXPECT_EQ(d.Find(""), d.Size());  // an empty pattern matches nowhere
    EXPECT_EQ(d.FindBack("", 2), d.Size());
    EXPECT_GE(d.Find("abcd"), d.Size());
    EXPECT_GE(d.Find("abc", 0, true, false, 2), 2);  // a limit inside the only match
    EXPECT_EQ(d.Find("ab", 0, true, false, 2), 0);
    EXPECT_EQ(d.Find("abc", 0, true, false, 100), 0);  // a limit past the end is clamped
    EXPECT_GE(d.Find("a", -5, true, false, -3), 0);    // a negative limit: nothing, result >= limit
    EXPECT_GE(d.FindBack("abc", -1), d.Size());
    EXPECT_EQ(d.Find("abc", -7), 0);  // a negative start counts as 0
}

TEST(PlainSearch, CaseFlag)
{
    Doc d("Select SELECT select \xC9t\xC9 \xE9t\xE9");
    EXPECT_EQ(d.Find("select", 0, true), 14);
    EXPECT_EQ(d.Find("select", 0, false), 0);
    EXPECT_EQ(d.Find("SELECT", 1, false), 7);
    EXPECT_EQ(d.FindBack("SeLeCt", d.Size(), false), 14);
    EXPECT_EQ(d.FindBack("SELECT", d.Size(), true), 7);
    // Accented letters of Windows-1252 fold too.
    EXPECT_EQ(d.Find("\xE9t\xE9", 0, true), 25);
    EXPECT_EQ(d.Find("\xE9t\xE9", 0, false), 21);
    EXPECT_EQ(d.FindBack("\xC9T\xC9", d.Size(), false), 25);
    // The same tables serve both case modes.
    const int builds = d.tables.BuildCount();
    EXPECT_GE(d.FindBack("\xC9T\xC9", d.Size(), true), d.Size());
    EXPECT_EQ(d.tables.BuildCount(), builds);
}

TEST(PlainSearch, TablesAreRebuiltOnlyForANewPattern)
{
    Doc d("abcabc");
    d.Find("bc");
    d.Find("bc", 2);
    d.FindBack("bc", 5, false);
    EXPECT_EQ(d.tables.BuildCount(), 1);
    EXPECT_EQ(d.Find("ca"), 2);
    EXPECT_EQ(d.tables.BuildCount(), 2);
    EXPECT_EQ(d.Find("bc"), 1);
    EXPECT_EQ(d.tables.BuildCount(), 3);
    const auto& f = d.tables.ForwardSkips(true);
    EXPECT_EQ(f[static_cast<unsigned char>('b')], 1);
    EXPECT_EQ(f[static_cast<unsigned char>('c')], 2);  // the last character never shifts by 0
    EXPECT_EQ(d.tables.BackwardSkips(true)[static_cast<unsigned char>('c')], 1);
    EXPECT_EQ(d.tables.BackwardSkips(true)[static_cast<unsigned char>('b')], 2);
}

TEST(PlainSearch, WholeWord)
{
    Doc d("concat cats a cat.");
    EXPECT_EQ(d.Find("cat", 0, true, false), 3);
    EXPECT_EQ(d.Find("cat", 0, true, true), 14);
    EXPECT_EQ(d.FindBack("cat", d.Size(), true, true), 14);
    EXPECT_GE(d.FindBack("cat", 13, true, true), d.Size());
    EXPECT_EQ(d.FindBack("cat", 13, true, false), 7);

    // Digits, the underscore, the apostrophe and the hyphen belong to words.
    Doc e("cat1 cat_ cat' cat-x _cat 1cat cat");
    EXPECT_EQ(e.Find("cat", 0, true, true), 31);
    // A character after that only starts a word... none by default; a blank or punctuation ends it.
    Doc f("cat(x) (cat) cat");
    EXPECT_EQ(f.Find("cat", 0, true, true), 0);
    EXPECT_EQ(f.Find("cat", 1, true, true), 8);
    EXPECT_EQ(f.FindBack("cat", f.Size(), true, true), 13);  // the end of the text bounds the word
    EXPECT_EQ(f.FindBack("cat", 12, true, true), 8);
    // The character after a match is looked at even when it lies past the limit.
    EXPECT_GE(d.Find("con", 0, true, true, 3), 3);
    EXPECT_EQ(d.Find("con", 0, true, false, 3), 0);
}

bool DollarStarts(char c) { return c == '$'; }
bool OnlyLetters(char c) { return (c >= 'a' && c <= 'z'); }

TEST(PlainSearch, WholeWordUsesTheControlsTests)
{
    Doc d("ab1 ab$ ab_ ab");
    d.words.StartsWord = DollarStarts;
    d.words.IsInWord = OnlyLetters;
    EXPECT_EQ(d.Find("ab", 0, true, true), 0);  // digits are no word characters here
    EXPECT_EQ(d.Find("ab", 1, true, true), 8);  // '$' starts a word
    d.words = SearchWordTests{};
    EXPECT_EQ(d.Find("ab", 0, true, true), 4);  // by default '$' neither starts nor continues a word
    EXPECT_EQ(d.Find("ab", 5, true, true), 12);
}

TEST(PlainSearch, MatchesAcrossRecordsAndWindows)
{
    // One logical line longer than a record: the store cuts it into several records.
    std::string text(5000, 'x');
    text.replace(2040, 10, "needle-012");
    text += "\rtail needle";
    Doc d(text);
    EXPECT_EQ(d.Find("needle-012"), 2040);
    EXPECT_EQ(d.FindBack("needle", d.Size()), 5006);
    EXPECT_EQ(d.FindBack("needle", 5005), 2040);

    // Matches on both sides of the read windows' edges.
    std::string big(300000, 'a');
    for (std::int64_t at : {65520, 65529, 65536, 131070, 196606, 299994})
        big.replace(static_cast<std::size_t>(at), 6, "bcdefg");
    Doc b(big);
    std::int64_t pos = -1;
    std::vector<std::int64_t> forward;
    while ((pos = b.Find("bcdefg", pos + 1)) < b.Size()) forward.push_back(pos);
    const std::vector<std::int64_t> expected{65520, 65529, 65536, 131070, 196606, 299994};
    EXPECT_EQ(forward, expected);
    std::vector<std::int64_t> backward;
    pos = b.Size();
    while ((pos = b.FindBack("bcdefg", pos - 1)) < b.Size()) backward.push_back(pos);
    EXPECT_EQ(backward, std::vector<std::int64_t>(expected.rbegin(), expected.rend()));
}

TEST(PlainSearch, WholeWordContextAtWindowEdges)
{
    // A word character right after or before a candidate that sits at the edge of a read window
    // must still be seen.
    constexpr std::size_t kSize = 100000;
    for (std::size_t edge = 65530; edge <= 65542; ++edge) {
        std::string text(kSize, ' ');
        text.replace(edge - 3, 4, "catx");
        text.replace(kSize - 4, 3, "cat");
        Doc d(text);
        EXPECT_EQ(d.Find("cat", 0, true, true), static_cast<std::int64_t>(kSize - 4)) << edge;
        EXPECT_EQ(d.Find("cat", 0, true, false), static_cast<std::int64_t>(edge - 3)) << edge;
    }
    for (std::size_t edge = kSize - 65536 - 6; edge <= kSize - 65536 + 6; ++edge) {
        std::string text(kSize, ' ');
        text.replace(10, 3, "cat");
        text.replace(edge - 1, 4, "xcat");
        Doc d(text);
        EXPECT_EQ(d.FindBack("cat", d.Size(), true, true), 10) << edge;
        EXPECT_EQ(d.FindBack("cat", d.Size(), true, false), static_cast<std::int64_t>(edge)) << edge;
    }
}

TEST(PlainSearch, LongPatterns)
{
    std::mt19937 rng(7);
    std::string pattern;
    for (int i = 0; i < 70000; ++i) pattern += static_cast<char>('a' + rng() % 3);  // longer than a window
    std::string text = "zz" + pattern.substr(0, 69999) + "q" + pattern + "zz";
    Doc d(text);
    const auto at = static_cast<std::int64_t>(2 + 69999 + 1);
    EXPECT_EQ(d.Find(pattern), at);
    EXPECT_EQ(d.FindBack(pattern, d.Size()), at);
    EXPECT_EQ(d.Find(pattern.substr(0, 300)), 2);  // beyond 255 characters
    EXPECT_EQ(d.FindBack(pattern.substr(0, 300), d.Size()), at);
}

TEST(PlainSearch, AgreesWithANaiveSearch)
{
    std::mt19937 rng(12345);
    const std::string alphabet = std::string("aAbB- _'1\r.") + "\xE9\xC9";
    int compared = 0, found = 0;
    for (int round = 0; round < 3000; ++round) {
        const bool big = round % 100 == 0;
        const std::size_t len = big ? 70000 + rng() % 70000 : rng() % 60;
        const std::size_t letters = 2 + rng() % (alphabet.size() - 1);
        std::string text;
        for (std::size_t i = 0; i < len; ++i) text += alphabet[rng() % letters];
        Doc d(text);
        const std::string stored = d.store.Text();
        ASSERT_EQ(static_cast<std::int64_t>(stored.size()), d.Size());
        for (int q = 0; q < (big ? 40 : 12); ++q) {
            std::string pattern;
            const std::size_t plen = 1 + rng() % 5;
            if (!stored.empty() && rng() % 2) {
                const std::size_t from = rng() % stored.size();
                pattern = stored.substr(from, plen);
            } else {
                for (std::size_t i = 0; i < plen; ++i) pattern += alphabet[rng() % letters];
            }
            const auto size = static_cast<std::int64_t>(stored.size());
            const bool whole = rng() % 2, cs = rng() % 2, back = rng() % 2;
            const std::int64_t limit = rng() % 4 ? size : static_cast<std::int64_t>(rng() % (stored.size() + 3)) - 1;
            const std::int64_t start = static_cast<std::int64_t>(rng() % (stored.size() + 3)) - 1;
            const std::int64_t want = NaiveSearch(stored, limit, whole, cs, back, start, pattern);
            const std::int64_t got =
                PlainTextSearch(d.words, d.stream, limit, d.tables, whole, cs, back, start, pattern);
            const std::int64_t lim = std::clamp<std::int64_t>(limit, 0, size);
            if (want < lim) {
                ++found;
                ASSERT_EQ(got, want) << "round " << round << " pattern [" << pattern << "] start " << start << " limit "
                                     << limit << " whole " << whole << " cs " << cs << " back " << back;
            } else {
                ASSERT_GE(got, limit) << "round " << round << " pattern [" << pattern << "]";
                ASSERT_GE(got, lim);
            }
            ++compared;
        }
    }
    // Make sure the comparison covered both outcomes in earnest.
    EXPECT_GT(found, compared / 5);
    EXPECT_LT(found, compared);
}

// The literal scanner against a plain comparison, on every byte value, with and without case,
// over ranges that start and end anywhere (the scanner works sixteen places at a time).
TEST(LiteralScanner, FindsTheFirstAndLastPlaceAsAComparisonWould)
{
    std::mt19937 rng(777);
    const auto folded = [](char c) { return AnsiLowerChar(c); };
    int found = 0;
    for (int round = 0; round < 2000; ++round) {
        // Mostly a few letters, so that the literal recurs; now and then any byte.
        const std::string letters = round % 3 ? std::string("sSeElLcCtT \xE9\xC9") : std::string();
        std::string text(static_cast<std::size_t>(rng() % 200), ' ');
        for (char& c : text) c = letters.empty() ? static_cast<char>(rng() % 256) : letters[rng() % letters.size()];
        std::string literal;
        if (!text.empty() && rng() % 2) {
            literal = text.substr(rng() % text.size(), 1 + rng() % 6);
        } else {
            for (std::size_t i = 1 + rng() % 6; i > 0; --i)
                literal += letters.empty() ? static_cast<char>(rng() % 256) : letters[rng() % letters.size()];
        }
        const bool ignoreCase = rng() % 2;
        LiteralScanner scanner;
        scanner.Prepare(literal, ignoreCase);
        const std::size_t from = text.empty() ? 0 : rng() % (text.size() + 1);
        const std::size_t to = from + (text.size() == from ? 0 : rng() % (text.size() - from + 1));
        const auto at = [&](std::size_t p) {
            if (p + literal.size() > to) return false;
            for (std::size_t i = 0; i < literal.size(); ++i) {
                const char a = text[p + i], b = literal[i];
                if (ignoreCase ? folded(a) != folded(b) : a != b) return false;
            }
            return true;
        };
        std::ptrdiff_t first = -1, last = -1;
        for (std::size_t p = from; p < to; ++p)
            if (at(p)) {
                if (first < 0) first = static_cast<std::ptrdiff_t>(p);
                last = static_cast<std::ptrdiff_t>(p);
            }
        const char* base = text.data();
        const char* gotFirst = scanner.First(base + from, base + to);
        const char* gotLast = scanner.Last(base + from, base + to);
        const std::string what =
            "round " + std::to_string(round) + " [" + literal + "]" + (ignoreCase ? " ignoring case" : "");
        ASSERT_EQ(gotFirst ? gotFirst - base : -1, first) << what;
        ASSERT_EQ(gotLast ? gotLast - base : -1, last) << what;
        found += first >= 0;
    }
    EXPECT_GT(found, 300);
    LiteralScanner empty;
    empty.Prepare("", true);
    const std::string some = "abc";
    EXPECT_EQ(empty.First(some.data(), some.data() + some.size()), nullptr);
}

}  // namespace
