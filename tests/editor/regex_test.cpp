#include "editor/regex.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <regex>
#include <string>
#include <string_view>
#include <utility>

#include "editor/text_store.h"

using namespace tarnwick;

namespace {

using Span = std::pair<std::int64_t, std::int64_t>;
constexpr Span kNone{-1, -1};

struct Doc {
    TTextStore store;
    TEdStream stream{&store};
    TREParser re;

    explicit Doc(std::string_view text)
    {
        store.SetText(text);
        stream.Reset();
    }
    // The match found from `from` in the given direction, or kNone.
    Span Find(std::string_view pattern, std::int64_t from = 0, bool forward = true)
    {
        EXPECT_TRUE(re.SetExpression(pattern)) << pattern << ": " << re.ErrorText();
        stream.Reset();
        stream.Seek(from, SeekOrigin::soFromBeginning);
        if (!re.Search(stream, forward)) return kNone;
        return {re.Position(0), re.Position(re.PositionCount())};
    }
    Span Back(std::string_view pattern, std::int64_t from) { return Find(pattern, from, false); }
};

Span FindIn(std::string_view text, std::string_view pattern) { return Doc(text).Find(pattern); }

// The error text and position of compiling `pattern`, or "" when it compiles.
std::pair<std::string, int> ErrorOf(std::string_view pattern)
{
    TREParser re;
    if (re.SetExpression(pattern)) return {"", 0};
    return {re.ErrorText(), re.ErrorPosition()};
}

}  // namespace

TEST(RegexSyntax, BothOrdersRewrite)
{
    EXPECT_EQ(RewriteBothOrders("ab||cd"), "(((ab)(cd)?)|((cd)(ab)?))");
    // A part that is one whole group keeps its parentheses; one that only starts with a group
    // is wrapped, so that the ? still covers all of it.
    EXPECT_EQ(RewriteBothOrders("(ab)||(c)d"), "(((ab)((c)d)?)|(((c)d)(ab)?))");
    // Bars inside classes, quotes and escapes are characters, not the operator.
    EXPECT_EQ(RewriteBothOrders("[||]\"||\"\\||"), "[||]\"||\"\\||");
    // Inside a group the rewrite applies to the group's contents.
    EXPECT_EQ(RewriteBothOrders("x(a||b)"), "x((((a)(b)?)|((b)(a)?)))");

    for (const char* text : {"abcd", "cdab", "ab", "cd"})
        EXPECT_EQ(FindIn(text, "ab||cd"), Span(0, 4 - 2 * (std::string_view(text).size() == 2))) << text;
    EXPECT_EQ(FindIn("xx cd", "ab||cd"), Span(3, 5));
    // A chain of them doubles at each step: a long one is refused at once, not built.
    std::string chain = "a";
    for (int i = 0; i < 40; ++i) chain += "||b";
    EXPECT_EQ(ErrorOf(chain).first, "Expression too complex");
    EXPECT_EQ(ErrorOf("a||b||c").first, "");
    EXPECT_EQ(FindIn("cab", "a||b||c"), Span(0, 2));  // c, then a: the first way that matches wins
    EXPECT_EQ(FindIn("acbd", "ab||cd"), kNone);
}

TEST(RegexSyntax, ErrorsAndTheirPositions)
{
    EXPECT_EQ(ErrorOf("x{2,1}"), std::make_pair(std::string("Invalid range"), 2));
    EXPECT_EQ(ErrorOf("x**"), std::make_pair(std::string("Nested repeat"), 3));
    EXPECT_EQ(ErrorOf("*x"), std::make_pair(std::string("Invalid repeat"), 1));
    EXPECT_EQ(ErrorOf("ab\\xG"), std::make_pair(std::string("Hex digit expected"), 5));
    EXPECT_EQ(ErrorOf("").first, "Invalid parameter");
    EXPECT_EQ(ErrorOf("a)b"), std::make_pair(std::string("Unmatched parenthesis"), 2));
    EXPECT_EQ(ErrorOf("(ab").first, "Unmatched parenthesis");
    EXPECT_EQ(ErrorOf("[]").first, "Unmatched bracket");
    EXPECT_EQ(ErrorOf("x[abc").first, "Unmatched bracket");
    EXPECT_EQ(ErrorOf("[^]").first, "Unmatched bracket");
    EXPECT_EQ(ErrorOf("[b-a]").first, "Invalid range");
    EXPECT_EQ(ErrorOf("[a-]").first, "Invalid range");
    EXPECT_EQ(ErrorOf("\"abc").first, "' expected");
    EXPECT_EQ(ErrorOf("(a*)*").first, "Invalid repeat");
    EXPECT_EQ(ErrorOf("(a?)+").first, "Invalid repeat");
    EXPECT_EQ(ErrorOf("(a|)*").first, "Invalid repeat");
    EXPECT_EQ(ErrorOf("(a*){2}").first, "Invalid repeat");
    EXPECT_EQ(ErrorOf("a{}").first, "Invalid range");
    EXPECT_EQ(ErrorOf("a{,}").first, "Invalid range");
    EXPECT_EQ(ErrorOf("a{2").first, "Invalid range");
    EXPECT_EQ(ErrorOf("a{2x}").first, "Invalid range");
    EXPECT_EQ(ErrorOf("a{70000}").first, "Invalid range");
    EXPECT_EQ(ErrorOf("a{2}*").first, "Nested repeat");
    EXPECT_EQ(ErrorOf("a\\").first, "Unexpected end of input");
    EXPECT_EQ(ErrorOf("((((((((((a))))))))))").first, "Too many sub-expressions");
    EXPECT_EQ(ErrorOf("(((((((((a)))))))))").first, "");
    EXPECT_EQ(ErrorOf("(a?)?").first, "");
    EXPECT_EQ(ErrorOf("a{0}").first, "");

    // A failed compile clears the expression; searching then is refused.
    TTextStore store;
    store.SetText("abc");
    TEdStream stream(&store);
    TREParser re;
    ASSERT_TRUE(re.SetExpression("b"));
    EXPECT_EQ(re.ErrorId(), reNoError);
    EXPECT_EQ(re.ErrorText(), "No errors detected");
    EXPECT_FALSE(re.SetExpression("b("));
    EXPECT_EQ(re.Expression(), "");
    EXPECT_THROW(re.Search(stream, true), RegexError);
}

TEST(RegexSyntax, EscapesAndProgramBytes)
{
    // \x41 is A; \x4G is the character 4 followed by G.
    EXPECT_EQ(FindIn("xAy", "\\x41"), Span(1, 2));
    TREParser re;
    ASSERT_TRUE(re.SetExpression("\\x4G"));
    const auto& p = re.Program();
    ASSERT_GE(p.size(), 12u);
    EXPECT_EQ(p[0], TREParser::kMagic);
    EXPECT_EQ(p[1 + 3], TREParser::opEXACTLY);  // the top-level BRANCH comes first
    EXPECT_EQ(p[4 + 3], 0x04);
    EXPECT_EQ(p[4 + 4], 0);
    EXPECT_EQ(p[9], TREParser::opEXACTLY);
    EXPECT_EQ(p[12], 'G');
    // Next-node offsets are big-endian and relative.
    EXPECT_EQ(p[5] << 8 | p[6], 5);

    // \n is the stored line break; escapes are case-insensitive; octal; quoted literals process
    // escapes and form one node.
    EXPECT_EQ(FindIn("ab\ncd", "b\\nc"), Span(1, 4));
    EXPECT_EQ(FindIn("ab\ncd", "b\\Nc"), Span(1, 4));
    EXPECT_EQ(FindIn("a\tb", "\\T"), Span(1, 2));
    EXPECT_EQ(FindIn("xAy", "\\101"), Span(1, 2));
    EXPECT_EQ(FindIn("x.y", "\\.y"), Span(1, 3));
    EXPECT_EQ(FindIn("say \"a+b\" here", "\"a+b\""), Span(5, 8));
    EXPECT_EQ(FindIn("a b", "a\\ b"), Span(0, 3));
    // A zero byte can never be in the text; a pattern holding one finds nothing.
    EXPECT_EQ(FindIn("a.b", "a\\0b"), kNone);
}

TEST(RegexMatch, LineAnchorsAndAtoms)
{
    // ^ is a line break that is consumed: no match at offset 0, and the match starts at the break.
    Doc doc("abc\nabc\nxabc");
    EXPECT_EQ(doc.Find("^abc"), Span(3, 7));
    EXPECT_EQ(doc.Find("^abc", 4), kNone);
    // $ is a line break ahead: the last line without a break does not match.
    EXPECT_EQ(FindIn("abc\nzz", "abc$"), Span(0, 3));
    EXPECT_EQ(FindIn("zz\nabc", "abc$"), kNone);
    // . stops at line breaks; [^x] does not.
    EXPECT_EQ(FindIn("a\nb", "a.b"), kNone);
    EXPECT_EQ(FindIn("a\nb", "a[^x]b"), Span(0, 3));
    EXPECT_EQ(FindIn("id: x_9!", "\\w+"), Span(0, 2));
    EXPECT_EQ(FindIn("id: x_9!", "\\w\\w\\w"), Span(4, 7));
    EXPECT_EQ(FindIn("abc 123", "\\d+"), Span(4, 7));
    EXPECT_EQ(FindIn("abc 123", "\\D\\d"), Span(3, 5));
    EXPECT_EQ(FindIn("ab\tc", "\\s"), Span(2, 3));
    EXPECT_EQ(FindIn("aaa", "\\S+"), Span(0, 3));
    EXPECT_EQ(FindIn("xyz", "[w-y]+"), Span(0, 2));
    EXPECT_EQ(FindIn("a-b", "[\\x2D]"), Span(1, 2));
    // Case counts.
    EXPECT_EQ(FindIn("SELECT", "select"), kNone);
    EXPECT_EQ(FindIn("SELECT select", "select"), Span(7, 13));
}

TEST(RegexMatch, RepetitionAndBacktracking)
{
    EXPECT_EQ(FindIn("xaab", "a*b"), Span(1, 4));
    EXPECT_EQ(FindIn("a1b2b", "a.*b"), Span(0, 5));   // greedy
    EXPECT_EQ(FindIn("abc", "(a|ab)c"), Span(0, 3));  // the first alternative fails, the second wins
    EXPECT_EQ(FindIn("ababx", "(ab)+x"), Span(0, 5));
    EXPECT_EQ(FindIn("ababx", "(ab)*y"), kNone);
    EXPECT_EQ(FindIn("color colour", "colou?r"), Span(0, 5));
    EXPECT_EQ(FindIn("aaaa", "a{3}"), Span(0, 3));
    EXPECT_EQ(FindIn("aaaaa", "a{2,}"), Span(0, 5));
    EXPECT_EQ(FindIn("aaaaa", "a{,2}"), Span(0, 2));
    EXPECT_EQ(FindIn("aaaaa", "a{2,3}"), Span(0, 3));
    EXPECT_EQ(FindIn("aaaab", "a{2,3}b"), Span(1, 5));
    EXPECT_EQ(FindIn("abababab", "(ab){2,3}"), Span(0, 6));
    EXPECT_EQ(FindIn("ab", "(ab){2}"), kNone);
    EXPECT_EQ(FindIn("y", "x{0}y"), Span(0, 1));
    EXPECT_EQ(FindIn("aabaab", "(a{2}b){2}"), Span(0, 6));
    EXPECT_EQ(FindIn("aabab", "(a{2}b){2}"), kNone);
    // A counter restored on backtracking: the optional repeats give way to the rest.
    EXPECT_EQ(FindIn("aaaa", "a{1,3}a{2}"), Span(0, 4));
    EXPECT_EQ(FindIn("xyxyxyz", "(xy){1,}z"), Span(0, 7));
}

TEST(RegexMatch, PositionTable)
{
    Doc doc("zabbbcz");
    ASSERT_EQ(doc.Find("a(b+)c"), Span(1, 6));
    // a, the group (collapsed into one entry), c, then the end of the match.
    EXPECT_EQ(doc.re.PositionCount(), 3);
    EXPECT_EQ(doc.re.Position(0), 1);
    EXPECT_EQ(doc.re.Position(1), 2);
    EXPECT_EQ(doc.re.Position(2), 5);
    EXPECT_EQ(doc.re.Position(3), 6);
    EXPECT_EQ(doc.re.Position(4), 6);
    EXPECT_EQ(doc.re.Position(6), -1);
    EXPECT_THROW(doc.re.Position(256), RegexError);
    // Entries written by failed tries do not survive.
    ASSERT_EQ(doc.Find("(a|z)z*c?"), Span(0, 1));
    EXPECT_EQ(doc.re.PositionCount(), 2);  // the group, then z* (c? failed and recorded nothing)
    EXPECT_EQ(doc.re.Position(1), 1);
    EXPECT_EQ(doc.re.Position(6), -1);
    // More than 254 recorded positions is an error of the search, not a crash.
    Doc many(std::string(300, 'a'));
    ASSERT_TRUE(many.re.SetExpression(std::string(300, 'a')));
    EXPECT_THROW(many.re.Search(many.stream, true), RegexError);
}

TEST(RegexMatch, BackwardSearch)
{
    Doc doc("ab ab ab");
    EXPECT_EQ(doc.Back("ab", 8), Span(6, 8));  // at the end: step back one first
    EXPECT_EQ(doc.Back("ab", 5), Span(3, 5));
    EXPECT_EQ(doc.Back("ab", 3), Span(3, 5));  // a match may start at the position itself
    EXPECT_EQ(doc.Back("ab", 2), Span(0, 2));
    EXPECT_EQ(doc.Back("b a", 0), kNone);
    EXPECT_EQ(doc.Back("x", 7), kNone);
    Doc empty("");
    EXPECT_EQ(empty.Back("a", 0), kNone);
    EXPECT_EQ(empty.Find("a", 0), kNone);
    // Backwards over many records.
    std::string text;
    for (int i = 0; i < 3000; ++i) text += (i == 7 ? "select 1\n" : "noise\n");
    Doc big(text);
    const auto at = static_cast<std::int64_t>(7 * 6);
    EXPECT_EQ(big.Back("sel[a-z]+", big.stream.Size()), Span(at, at + 6));
    EXPECT_EQ(big.Find("sel[a-z]+"), Span(at, at + 6));
}

TEST(RegexMatch, PathologicalPatternsEndWithAnError)
{
    // Nested repetitions that fail are remembered by the range they covered: no exponential
    // backtracking, the search just ends.
    Doc doc(std::string(5000, 'x'));
    EXPECT_EQ(doc.Find("(x+x+)+y"), kNone);
    // Alternatives leave nothing to remember: exponential backtracking ends the search with a
    // clear error.
    Doc shortLine(std::string(40, 'x'));
    ASSERT_TRUE(shortLine.re.SetExpression("(x|xx)+y"));
    try {
        shortLine.re.Search(shortLine.stream, true);
        FAIL() << "expected an error";
    } catch (const RegexError& e) {
        EXPECT_STREQ(e.what(), "Expression too complex");
        EXPECT_EQ(e.Position(), 0);
    }
    // The error of the search is the engine's last error, until the next successful set.
    EXPECT_EQ(shortLine.re.ErrorId(), reTooComplex);
    EXPECT_EQ(shortLine.re.ErrorPosition(), 0);
    ASSERT_TRUE(shortLine.re.SetExpression("(x|xx)+y"));
    EXPECT_EQ(shortLine.re.ErrorId(), reNoError);
    Doc overLong(std::string(300, 'a'));
    ASSERT_TRUE(overLong.re.SetExpression(std::string(255, 'a')));
    EXPECT_THROW(overLong.re.Search(overLong.stream, true), RegexError);
    EXPECT_EQ(overLong.re.ErrorText(), "Index range error");
    // Deep nesting of a loop over a very long line does not exhaust the stack.
    std::string ab;
    for (int i = 0; i < 100000; ++i) ab += "ab";
    Doc deep(ab);
    ASSERT_TRUE(deep.re.SetExpression("(ab)*c"));
    EXPECT_THROW(deep.re.Search(deep.stream, true), RegexError);
    // A simple repetition over the same line is cheap and works.
    EXPECT_EQ(deep.Find("b[ab]*$"), kNone);
    EXPECT_EQ(deep.Find("a[ab]*b"), Span(0, 200000));
}

TEST(RegexMatch, TriesWhoseWorkFollowsTheTextTheyReadAreNotRefused)
{
    // One try runs over the whole text and steps back over all of it: more steps than the fixed
    // budget of a try, but no more than a few per character it read. (Texts of 100 MiB: see the
    // search benchmark.)
    Doc none(std::string(std::size_t(9) << 20, 'x'));
    EXPECT_EQ(none.Find("[^Q]*Q"), kNone);
    Doc line(std::string(std::size_t(9) << 20, 'a'));
    EXPECT_EQ(line.Find("a*b"), kNone);
    line.store.SetText(line.store.Text() + "b");
    line.stream.Reset();
    EXPECT_EQ(line.Find("a*b"), Span(0, line.stream.Size()));
}

// Random patterns from a small grammar, checked against std::regex (ECMAScript, which also
// backtracks leftmost-first and greedily) on random texts.
TEST(RegexMatch, AgreesWithReferenceEngine)
{
    std::mt19937 rng(20261209);
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::function<std::string(int)> gen = [&](int depth) -> std::string {
        std::string out;
        const int pieces = 1 + pick(3);
        for (int i = 0; i < pieces; ++i) {
            std::string atom;
            bool width = true;
            switch (pick(depth > 2 ? 5 : 7)) {
            case 0: atom = "."; break;
            case 1: atom = "[ab]"; break;
            case 2: atom = "[^a]"; break;
            case 3:
            case 4: atom = std::string(1, "abc"[pick(3)]); break;
            default: {
                atom = "(" + gen(depth + 1);
                if (pick(3) == 0) atom += "|" + gen(depth + 1);
                atom += ")";
                // Only groups that surely consume may be repeated by * + or {}: check by
                // compiling with a repetition.
                TREParser probe;
                width = probe.SetExpression(atom + "+");
            }
            }
            switch (pick(8)) {
            case 0:
                if (width) atom += "*";
                break;
            case 1:
                if (width) atom += "+";
                break;
            case 2: atom += "?"; break;
            case 3:
                if (width) atom += "{1,2}";
                break;
            default: break;
            }
            out += atom;
        }
        return out;
    };
    int compared = 0;
    for (int round = 0; round < 1500; ++round) {
        const std::string pattern = gen(0);
        std::string text;
        const int n = 1 + pick(14);
        for (int i = 0; i < n; ++i) text += "aabcx\n"[pick(6)];
        Doc doc(text);
        TREParser probe;
        if (!probe.SetExpression(pattern)) continue;
        const Span got = doc.Find(pattern);
        // The store keeps line breaks as CR; std::regex's . excludes CR as well.
        std::string stored = doc.store.Text();
        std::smatch m;
        const std::regex reference(pattern, std::regex::ECMAScript);
        Span want = kNone;
        if (std::regex_search(stored, m, reference) && m.length(0) > 0)
            want = {m.position(0), m.position(0) + m.length(0)};
        if (want == kNone && got != kNone && got.first == got.second) continue;  // empty matches
        if (got != kNone && got.first == got.second) continue;
        EXPECT_EQ(got, want) << "pattern " << pattern << " text " << testing::PrintToString(stored);
        ++compared;
        if (got != want || got == kNone) continue;
        // The outermost groups are the reference's groups whose parenthesis stands at depth 0.
        int outer = 0, index = 0, depth = 0;
        for (const char ch : pattern) {
            if (ch == '(') {
                ++index;
                if (depth++ == 0) {
                    ++outer;
                    const Span group = doc.re.Group(outer);
                    const Span expected = m[static_cast<std::size_t>(index)].matched
                                              ? Span(m.position(index), m.position(index) + m.length(index))
                                              : kNone;
                    EXPECT_EQ(group, expected)
                        << "group " << outer << " of " << pattern << " in " << testing::PrintToString(stored);
                }
            }
            if (ch == ')') --depth;
        }
        EXPECT_EQ(doc.re.GroupCount(), outer);
    }
    EXPECT_GT(compared, 800);
}

// A backward search finds the last place where a forward search would find a match starting
// right there, with the same extent.
TEST(RegexMatch, BackwardSearchFindsTheLastPlaceAForwardTryMatches)
{
    std::mt19937 rng(99);
    const char* const patterns[] = {"[a-z_]+_id", "a*b",  "\\w+ing", "x[ab]*y", "(ab)+",   "b+a",
                                    "[^ ]+ ",     "a.*b", "_+",      "a{2,}b",  "(a|b)*c", "\\w*_"};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int n = 1 + static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i) text += "ab_ xyicng\n"[rng() % 11];
        const char* pattern = patterns[rng() % (sizeof patterns / sizeof *patterns)];
        Doc doc(text);
        const auto size = doc.stream.Size();
        const std::int64_t from = static_cast<std::int64_t>(rng() % static_cast<unsigned>(size + 1));
        Span want = kNone;
        for (std::int64_t p = std::min<std::int64_t>(from, size - 1); p >= 0 && want == kNone; --p) {
            const Span at = doc.Find(pattern, p);
            if (at.first == p) want = at;
        }
        EXPECT_EQ(doc.Back(pattern, from), want)
            << pattern << " in " << testing::PrintToString(text) << " from " << from;
    }
}

// ---------------------------------------------------------------- groups

namespace {

// The text of outermost group `n` of the last match, or "<none>".
std::string GroupText(Doc& doc, int n)
{
    const auto [s, e] = doc.re.Group(n);
    if (s < 0) return "<none>";
    return doc.store.TextRange(s, e);
}

}  // namespace

TEST(RegexGroups, EachOutermostGroupKeepsItsOwnText)
{
    // Alternatives at the top level and counted repetitions change how many positions a match
    // records; the groups follow the pattern as written all the same.
    Doc alt("k=1");
    ASSERT_EQ(alt.Find("(\\w+)=(\\w+)|zz"), Span(0, 3));
    EXPECT_EQ(alt.re.GroupCount(), 2);
    EXPECT_EQ(GroupText(alt, 1), "k");
    EXPECT_EQ(GroupText(alt, 2), "1");
    Doc counted("k=xx1");
    ASSERT_EQ(counted.Find("(\\w+)=x{2}(\\w+)"), Span(0, 5));
    EXPECT_EQ(GroupText(counted, 1), "k");
    EXPECT_EQ(GroupText(counted, 2), "1");

    // The other alternative: its groups took no part.
    Doc other("a zz b");
    ASSERT_EQ(other.Find("(\\w+)=(\\w+)|zz"), Span(2, 4));
    EXPECT_EQ(GroupText(other, 1), "<none>");
    EXPECT_EQ(GroupText(other, 2), "<none>");
    EXPECT_EQ(GroupText(other, 3), "<none>");  // no such group
    EXPECT_EQ(GroupText(other, 0), "<none>");
    Doc second("b");
    ASSERT_EQ(second.Find("(a)|(b)"), Span(0, 1));
    EXPECT_EQ(GroupText(second, 1), "<none>");
    EXPECT_EQ(GroupText(second, 2), "b");

    // A repeated group keeps its last repetition; nested groups are part of their outermost one.
    Doc rep("xabacdy!");
    ASSERT_EQ(rep.Find("x(a[a-z]){2,3}(d(y))"), Span(0, 7));
    EXPECT_EQ(rep.re.GroupCount(), 2);
    EXPECT_EQ(GroupText(rep, 1), "ac");
    EXPECT_EQ(GroupText(rep, 2), "dy");

    // What a failed way through wrote is undone on backtracking.
    Doc back("abc");
    ASSERT_EQ(back.Find("(ab|a)(bc)"), Span(0, 3));
    EXPECT_EQ(GroupText(back, 1), "a");
    EXPECT_EQ(GroupText(back, 2), "bc");
    Doc greedy("aaab");
    ASSERT_EQ(greedy.Find("(a+)(ab)"), Span(0, 4));
    EXPECT_EQ(GroupText(greedy, 1), "aa");
    EXPECT_EQ(GroupText(greedy, 2), "ab");
    Doc loop("ababx abx");
    ASSERT_EQ(loop.Find("(ab)*(x)"), Span(0, 5));
    EXPECT_EQ(GroupText(loop, 1), "ab");
    ASSERT_EQ(loop.Find("(q)*(x)"), Span(4, 5));
    EXPECT_EQ(GroupText(loop, 1), "<none>");
    EXPECT_EQ(GroupText(loop, 2), "x");

    // a||b adds its own groups: the whole rewrite is one outermost group.
    Doc both("cdab");
    ASSERT_EQ(both.Find("ab||cd"), Span(0, 4));
    EXPECT_EQ(both.re.GroupCount(), 1);
    EXPECT_EQ(GroupText(both, 1), "cdab");

    // A search that finds nothing leaves no groups behind.
    ASSERT_EQ(both.Find("(zz)"), kNone);
    EXPECT_EQ(GroupText(both, 1), "<none>");
}

// ---------------------------------------------------------------- the literal every match holds

TEST(RegexLiteral, TheLiteralAndItsDistancesFromTheMatchStart)
{
    struct Case {
        const char* pattern;
        const char* literal;
        std::int64_t min, max;
    } const cases[] = {
        {"(commit|begin) end", " end", 5, 6},
        {"[0-9]{5}x", "x", 5, 5},
        {"select.*from", "select", 0, 0},
        {"varchar2\\([0-9]+\\)", "varchar2(", 0, 0},
        {"[a-z_]+_id", "_id", 1, -1},  // no bound: the search does not use it
        {"x?abc", "abc", 0, 1},
        {"(ab){2}c", "ababc", 0, 0},
        {"^abc", "abc", 1, 1},
        {"\"a b\"c+", "a b", 0, 0},
        {"a|b", "", 0, 0},
        {"(ab)*", "", 0, 0},
        {"a{0}b", "b", 0, 0},
        {"[ab]{2,4}-(x|y)z", "z", 4, 6},  // the rarer of two characters
    };
    for (const Case& c : cases) {
        TREParser re;
        ASSERT_TRUE(re.SetExpression(c.pattern)) << c.pattern;
        EXPECT_EQ(re.RequiredLiteral(), c.literal) << c.pattern;
        if (*c.literal == '\0') continue;
        EXPECT_EQ(re.LiteralMinOffset(), c.min) << c.pattern;
        EXPECT_EQ(re.LiteralMaxOffset(), c.max) << c.pattern;
    }
}

TEST(RegexLiteral, LiteralsAcrossRecordsOfALongLine)
{
    // A long line is held in records of at most kMaxRecordLength characters: the literal may
    // start in one and end in the next.
    const std::int64_t seam = TTextStore::kMaxRecordLength;
    for (std::int64_t at = seam - 4; at <= seam + 1; ++at) {
        std::string text(static_cast<std::size_t>(3 * seam), 'y');
        text.replace(static_cast<std::size_t>(at), 4, "-end");
        Doc doc(text);
        EXPECT_EQ(doc.Find("[xy]-end"), Span(at - 1, at + 4)) << at;
        EXPECT_EQ(doc.Find("-end"), Span(at, at + 4)) << at;
        EXPECT_EQ(doc.Back("[xy]-end", doc.stream.Size()), Span(at - 1, at + 4)) << at;
        EXPECT_EQ(doc.Back("-end", doc.stream.Size()), Span(at, at + 4)) << at;
        EXPECT_EQ(doc.Back("-end", at), Span(at, at + 4)) << at;  // a match may end after the start
        EXPECT_EQ(doc.Back("-end", at - 1), kNone) << at;
        EXPECT_EQ(doc.Find("-end", at + 1), kNone) << at;
    }
}

// The search with its shortcuts (the literal, the first characters) finds what trying every
// place in turn finds, forwards and backwards, with the same groups.
TEST(RegexLiteral, ShortcutsFindWhatTryingEveryPlaceFinds)
{
    std::mt19937 rng(4711);
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const char* const atoms[] = {"a",    "b",   "ab", "c",      "\"ba\"", ".", "[ab]",
                                 "[^a]", "\\w", "x",  "(a|bc)", "(ab)",   "^", "$"};
    const char* const repeats[] = {"", "", "", "*", "+", "?", "{2}", "{1,3}", "{0,2}"};
    int matched = 0;
    for (int round = 0; round < 400; ++round) {
        std::string pattern;
        const int pieces = 1 + pick(4);
        for (int i = 0; i < pieces; ++i) {
            pattern += atoms[pick(sizeof atoms / sizeof *atoms)];
            pattern += repeats[pick(sizeof repeats / sizeof *repeats)];
        }
        if (pick(5) == 0) pattern = "(" + pattern + ")|c" + atoms[pick(4)];
        TREParser probe;
        if (!probe.SetExpression(pattern)) continue;
        // Short lines, and lines longer than one record.
        std::string text;
        const int n = pick(2) ? 1 + pick(60) : 4000 + pick(3000);
        for (int i = 0; i < n; ++i) text += "aabcxy\n"[pick(n > 100 ? 6 : 7)];
        Doc fast(text), slow(text);
        ASSERT_TRUE(slow.re.SetExpression(pattern));
        const std::int64_t size = fast.stream.Size();
        for (int k = 0; k < 3; ++k) {
            const std::int64_t from = pick(static_cast<int>(size) + 1);
            const bool forward = pick(2) == 0;
            Span got = kNone, want = kNone;
            bool gotError = false, wantError = false;
            try {
                got = fast.Find(pattern, from, forward);
            } catch (const RegexError&) {
                gotError = true;
            }
            try {
                slow.stream.Reset();
                slow.stream.Seek(from, SeekOrigin::soFromBeginning);
                if (slow.re.SearchEveryPlace(slow.stream, forward)) want = {slow.re.MatchStart(), slow.re.MatchEnd()};
            } catch (const RegexError&) {
                wantError = true;
            }
            if (gotError || wantError) continue;  // a limit reached on one side
            ASSERT_EQ(got, want) << pattern << (forward ? " forwards" : " backwards") << " from " << from << " in "
                                 << testing::PrintToString(text.substr(0, 200));
            if (got == kNone) continue;
            ++matched;
            for (int g = 1; g <= fast.re.GroupCount(); ++g) EXPECT_EQ(fast.re.Group(g), slow.re.Group(g)) << pattern;
        }
    }
    EXPECT_GT(matched, 300);
}
