#include "editor/keywords.h"

#include <gtest/gtest.h>

#include "bytes.h"

#include <string>
#include <vector>

using namespace tarnwick;

namespace {

TStateSet States(std::initializer_list<unsigned> states)
{
    TStateSet s;
    for (unsigned v : states) s.Include(v);
    return s;
}

TSM_CharGroup Group(std::string_view text)
{
    TSM_CharGroup g;
    std::size_t pos = 1;
    g.Parse(text, pos);
    return g;
}

const TSM_CharGroup kNone;  // the empty group: any character may follow

// A text and a stream over it.
struct Text {
    explicit Text(std::string_view text)
    {
        store.SetText(text);
        stream.Reset();
    }
    TTextStore store;
    TEdStream stream{&store};
};

std::string Error(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.what();
    }
    return "(no error)";
}

using tarnwick::testing::Bytes;

}  // namespace

TEST(Keywords, LongestMatchForwardsAmongOverlappingWords)
{
    TKeywords kw;
    kw.SetCurrentStates(States({0}));
    kw.Add("sel", true, 1, States({0}), kNone);
    kw.Add("selection", true, 3, States({0}), kNone);
    kw.Add("select", true, 2, States({0}), kNone);
    kw.Add("sa", true, 4, States({0}), kNone);  // a sibling before "se"

    Text t("selecting selection sel sa");
    auto m = kw.MatchForwards(t.stream);  // "selec" read on, but only "select" is a word
    ASSERT_TRUE(m);
    EXPECT_EQ(m.entry->data, 2);
    EXPECT_EQ(m.length, 6);
    EXPECT_EQ(t.stream.GetPos(), 6);  // just after the word, not where reading stopped

    t.stream.SetPos(10);
    m = kw.MatchForwards(t.stream);
    ASSERT_TRUE(m);
    EXPECT_EQ(m.entry->data, 3);
    EXPECT_EQ(t.stream.GetPos(), 19);

    t.stream.SetPos(20);
    EXPECT_EQ(kw.MatchForwards(t.stream).entry->data, 1);

    // A word that ends the text.
    t.stream.SetPos(24);
    m = kw.MatchForwards(t.stream);
    ASSERT_TRUE(m);
    EXPECT_EQ(m.entry->data, 4);
    EXPECT_EQ(t.stream.GetPos(), 26);
    EXPECT_TRUE(t.stream.AtEnd());
}

TEST(Keywords, NoMatchReturnsAndStepsOneCharacter)
{
    TKeywords kw;
    kw.SetCurrentStates(States({0}));
    kw.Add("select", true, 1, States({0}), kNone);

    Text t("selexy");
    auto m = kw.MatchForwards(t.stream);  // runs four characters into the trie, then fails
    EXPECT_FALSE(m);
    EXPECT_EQ(m.length, 0);
    EXPECT_EQ(t.stream.GetPos(), 1);

    t.stream.SetPos(4);
    EXPECT_FALSE(kw.MatchBackwards(t.stream));
    EXPECT_EQ(t.stream.GetPos(), 3);

    // At the end of the text nothing matches and nothing moves past the end.
    t.stream.Seek(6, SeekOrigin::soFromBeginning);
    EXPECT_FALSE(kw.MatchForwards(t.stream));
    EXPECT_EQ(t.stream.GetPos(), 6);

    Text empty("");
    EXPECT_FALSE(kw.MatchForwards(empty.stream));
    EXPECT_FALSE(kw.MatchBackwards(empty.stream));
}

TEST(Keywords, CaseInsensitiveAndSensitiveTables)
{
    TKeywords ci;
    ci.SetCurrentStates(States({0}));
    ci.Add("SeLeCt", false, 1, States({0}), kNone);
    EXPECT_FALSE(ci.CaseSensitive());
    Text t1("SELECT");
    auto m = ci.MatchForwards(t1.stream);
    ASSERT_TRUE(m);
    EXPECT_EQ(m.length, 6);
    // The word is stored lower-cased, so a differently cased add is the same word.
    EXPECT_EQ(Error([&] { ci.Add("select", false, 2, States({0}), kNone); }), "Duplicate keyword - 'select'");

    TKeywords cs;
    cs.SetCurrentStates(States({0}));
    cs.Add("Select", true, 1, States({0}), kNone);
    cs.Add("select", true, 2, States({0}), kNone);  // a different word here
    EXPECT_TRUE(cs.CaseSensitive());
    Text t2("SELECT Select select");
    EXPECT_FALSE(cs.MatchForwards(t2.stream));
    t2.stream.SetPos(7);
    EXPECT_EQ(cs.MatchForwards(t2.stream).entry->data, 1);
    t2.stream.SetPos(14);
    EXPECT_EQ(cs.MatchForwards(t2.stream).entry->data, 2);
}

TEST(Keywords, StateSetsSelectWords)
{
    TKeywords kw;
    kw.Add("from", true, 1, States({1}), kNone);
    kw.Add("from", true, 2, States({2, 3}), kNone);  // same word, other states: not a duplicate
    kw.Add("fromage", true, 3, States({3}), kNone);
    EXPECT_EQ(Error([&] { kw.Add("from", true, 9, States({3, 7}), kNone); }), "Duplicate keyword - 'from'");
    EXPECT_EQ(kw.EntryCount(), 3);

    Text t("fromage");
    kw.SetCurrentStates(States({1}));
    auto m = kw.MatchForwards(t.stream);
    ASSERT_TRUE(m);
    EXPECT_EQ(m.entry->data, 1);
    EXPECT_EQ(m.length, 4);

    t.stream.SetPos(0);
    kw.SetCurrentStates(States({3}));
    EXPECT_EQ(kw.MatchForwards(t.stream).entry->data, 3);

    t.stream.SetPos(0);
    kw.SetCurrentStates(States({2}));
    EXPECT_EQ(kw.MatchForwards(t.stream).entry->data, 2);

    // Both "from" entries fit: the one added first wins.
    t.stream.SetPos(0);
    kw.SetCurrentStates(States({1, 2}));
    EXPECT_EQ(kw.MatchForwards(t.stream).entry->data, 1);

    t.stream.SetPos(0);
    kw.SetCurrentStates(States({0, 4}));
    EXPECT_FALSE(kw.MatchForwards(t.stream));
    EXPECT_EQ(t.stream.GetPos(), 1);
}

TEST(Keywords, TerminatorGroupDecidesOnTheFollowingCharacter)
{
    TKeywords kw;
    kw.SetCurrentStates(States({0}));
    const TSM_CharGroup notLetter = Group("[^a-z]");
    kw.Add("in", true, 1, States({0}), notLetter);
    kw.Add("insert", true, 2, States({0}), notLetter);
    kw.Add("i", true, 3, States({0}), kNone);
    EXPECT_EQ(kw.Groups().Count(), 2);  // the empty group and [^a-z], each once

    Text t("insertx in(insert");
    auto m = kw.MatchForwards(t.stream);  // "insert" and "in" are followed by letters
    ASSERT_TRUE(m);
    EXPECT_EQ(m.entry->data, 3);
    EXPECT_EQ(m.length, 1);

    t.stream.SetPos(8);
    m = kw.MatchForwards(t.stream);
    ASSERT_TRUE(m);
    EXPECT_EQ(m.entry->data, 1);
    EXPECT_EQ(t.stream.CurrentChar(), '(');

    // At the end of the text the following character counts as 0, which [^a-z] holds.
    t.stream.SetPos(11);
    m = kw.MatchForwards(t.stream);
    ASSERT_TRUE(m);
    EXPECT_EQ(m.entry->data, 2);
}

TEST(Keywords, BackwardMatchFindsTheWordBeforeTheCaretAndStopsAtOffsetZero)
{
    TKeywords kw;
    kw.SetCurrentStates(States({0}));
    TSM_CharGroup any;
    any.SetNegated(true);
    // Names are entered reversed, so a backward read meets them in order.
    kw.Add("fs", false, 1, States({0}), any);               // "sf"
    kw.Add("fsel", false, 2, States({0}), any);             // "lesf"
    kw.Add("less", false, 4, States({0}), any);             // "ssel": must not re-read the "s" at offset 0
    kw.Add("les", false, 3, States({0}), Group("[^a-z]"));  // "sel", only after a non-letter

    Text t("sel x.sf");
    t.stream.SetPos(7);  // on the last "f"
    auto m = kw.MatchBackwards(t.stream);
    ASSERT_TRUE(m);
    EXPECT_EQ(m.entry->data, 1);
    EXPECT_EQ(m.length, 2);
    EXPECT_EQ(t.stream.GetPos(), 5);

    // "sel" starts the text: reading stops at offset 0 and the terminator check sees character 0.
    t.stream.SetPos(2);
    m = kw.MatchBackwards(t.stream);
    ASSERT_TRUE(m);
    EXPECT_EQ(m.entry->data, 3);
    EXPECT_EQ(m.length, 3);
    EXPECT_EQ(t.stream.GetPos(), 0);

    // A longer name that would need characters before offset 0 is not matched; "sf" is.
    Text t2("sf");
    t2.stream.SetPos(1);
    m = kw.MatchBackwards(t2.stream);
    ASSERT_TRUE(m);
    EXPECT_EQ(m.entry->data, 1);

    // With a letter before "sel" the terminator fails.
    Text t3("xsel");
    t3.stream.SetPos(3);
    EXPECT_FALSE(kw.MatchBackwards(t3.stream));
    EXPECT_EQ(t3.stream.GetPos(), 2);
}

TEST(Keywords, EmptyWordIgnoredClearFreesEveryEntry)
{
    std::vector<std::int64_t> freed;  // outlives the table, whose destruction reports to it
    TKeywords kw;
    kw.SetOnFreeEntry([&](const KeywordEntry& e) { freed.push_back(e.data); });
    kw.Add("", true, 99, States({0}), kNone);
    EXPECT_EQ(kw.EntryCount(), 0);
    EXPECT_EQ(kw.NodeCount(), 0);
    kw.Add("a", true, 1, States({0}), kNone);
    kw.Add("ab", true, 2, States({0}), Group("x"));
    kw.Add("ab", true, 3, States({1}), kNone);
    kw.Clear();
    EXPECT_EQ(freed, (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(kw.EntryCount(), 0);
    EXPECT_EQ(kw.Groups().Count(), 1);
    EXPECT_TRUE(kw.Groups().Get(0).IsEmpty());

    kw.SetCurrentStates(States({0}));
    Text t("ab");
    EXPECT_FALSE(kw.MatchForwards(t.stream));

    kw.Add("q", true, 4, States({0}), kNone);
    int count = 0;
    {
        TKeywords other;
        other.SetOnFreeEntry([&](const KeywordEntry&) { ++count; });
        other.Add("x", true, 1, States({0}), kNone);
        other.Add("y", true, 1, States({0}), kNone);
        other.Clear();
        other.Add("z", true, 1, States({0}), kNone);
        // Destruction frees the one entry added after the clear.
        EXPECT_EQ(count, 2);
        other.SetOnFreeEntry([&](const KeywordEntry&) { count += 10; });
    }
    EXPECT_EQ(count, 12);  // destruction freed the one entry added after the clear
}

TEST(Keywords, DuplicateLeavesTableUnchangedAndLargeTablesStayCompact)
{
    TKeywords kw;
    kw.Add("abc", true, 1, States({0}), kNone);
    const int nodes = kw.NodeCount();
    EXPECT_THROW(kw.Add("abc", true, 2, States({0}), Group("z")), EKeywords);
    EXPECT_EQ(kw.NodeCount(), nodes);
    EXPECT_EQ(kw.Groups().Count(), 1);

    TKeywords big;
    big.SetCurrentStates(States({0}));
    std::vector<std::string> words;
    for (int i = 0; i < 2000; ++i) words.push_back("kw" + std::to_string(i * 7919 % 100000));
    for (std::size_t i = 0; i < words.size(); ++i)
        big.Add(words[i], false, static_cast<std::int64_t>(i), States({0}), Group("[^0-9a-z]"));
    EXPECT_EQ(big.EntryCount(), 2000);
    EXPECT_LT(big.NodeCount(), 2000 * 3);  // prefixes shared
    for (std::size_t i = 0; i < words.size(); i += 97) {
        Text t(words[i] + " ");
        auto m = big.MatchForwards(t.stream);
        ASSERT_TRUE(m) << words[i];
        EXPECT_EQ(m.entry->data, static_cast<std::int64_t>(i));
        EXPECT_EQ(m.length, static_cast<int>(words[i].size()));
    }
}

TEST(SyntaxKeywords, StreamLayoutAndRoundTrip)
{
    TSyntaxKeywords kw;
    TMemoryStream empty;
    kw.SaveToStream(empty);
    EXPECT_EQ(empty.Data(), Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0}));

    kw.AddWord("Go", true, 0x0102, States({0, 9}), Group("a"));
    TMemoryStream s;
    kw.SaveToStream(s);
    std::string group(32, '\0');
    group[97 / 8] = static_cast<char>(1 << (97 % 8));
    group += Bytes({0, 0, 0, 0, 0});  // range count, negated flag
    std::string states(32, '\0');
    states[0] = 1;
    states[1] = 2;
    const std::string expected = Bytes({1, 0, 0, 0, 1, 0, 0, 0, 2, 'G', 'o'}) + group + states + Bytes({2, 1, 0, 0, 0});
    EXPECT_EQ(s.Data(), expected);

    kw.AddWord("select", false, 7, States({1}), Group("[^a-z]"));
    kw.AddWord("from", false, -3, States({1, 2}), kNone);
    TMemoryStream full;
    kw.SaveToStream(full);

    TSyntaxKeywords loaded;
    loaded.AddWord("junk", true, 1, States({0}), kNone);
    full.SetPosition(0);
    loaded.LoadFromStream(full);
    EXPECT_EQ(full.Position(), full.Size());
    ASSERT_EQ(loaded.Words().size(), 3u);
    EXPECT_EQ(loaded.Words()[1].text, "select");
    EXPECT_EQ(loaded.Words()[1].style.token, 7);
    EXPECT_EQ(loaded.Words()[2].style.token, -3);
    EXPECT_EQ(loaded.Words()[2].style.states, States({1, 2}));
    EXPECT_EQ(loaded.Words()[1].style.terminator, Group("[^a-z]"));
    EXPECT_FALSE(loaded.CaseSensitive());  // the flag saved is the one of the last add
    TMemoryStream again;
    loaded.SaveToStream(again);
    EXPECT_EQ(again.Data(), full.Data());

    // The loaded trie works: the case-insensitive flag applies on load to every word.
    loaded.SetCurrentStates(States({1}));
    Text t("SELECT x");
    auto m = loaded.MatchForwards(t.stream);
    ASSERT_TRUE(m);
    EXPECT_EQ(m.entry->data, 7);

    // A table without words keeps its case flag.
    TMemoryStream flagOnly(Bytes({1, 0, 0, 0, 0, 0, 0, 0, 0}));
    loaded.LoadFromStream(flagOnly);
    EXPECT_TRUE(loaded.Words().empty());
    EXPECT_TRUE(loaded.CaseSensitive());
}

TEST(SyntaxKeywords, DuplicateIsNotRecorded)
{
    TSyntaxKeywords kw;
    kw.AddWord("end", false, 1, States({0}), kNone);
    EXPECT_THROW(kw.AddWord("END", false, 2, States({0}), kNone), EKeywords);
    EXPECT_EQ(kw.Words().size(), 1u);
    kw.AddWord("", false, 2, States({0}), kNone);
    EXPECT_EQ(kw.Words().size(), 1u);
}

TEST(SyntaxKeywords, BadStreamsRaiseAndLeaveTheTableSound)
{
    TSyntaxKeywords src;
    src.AddWord("alpha", true, 1, States({0}), kNone);
    src.AddWord("beta", true, 2, States({0}), Group("[^a-z]"));
    TMemoryStream good;
    src.SaveToStream(good);
    const std::string data = good.Data();

    // Every truncation: EStreamError, and the table keeps what it had.
    for (std::size_t cut = 0; cut < data.size(); ++cut) {
        TSyntaxKeywords kw;
        kw.AddWord("keep", true, 5, States({0}), kNone);
        const std::string part = data.substr(0, cut);
        ReadOnlyMemoryStream s(part);
        EXPECT_THROW(kw.LoadFromStream(s), EStreamError) << "cut at " << cut;
        ASSERT_EQ(kw.Words().size(), 1u);
        EXPECT_EQ(kw.Words()[0].text, "keep");
        EXPECT_EQ(kw.EntryCount(), 1);
    }

    // Impossible counts are refused before anything is allocated.
    for (int count : {-1, 0x7fffffff, 3}) {
        std::string bad = data;
        bad[4] = static_cast<char>(count & 0xff);
        bad[5] = static_cast<char>((count >> 8) & 0xff);
        bad[6] = static_cast<char>((count >> 16) & 0xff);
        bad[7] = static_cast<char>((count >> 24) & 0xff);
        TSyntaxKeywords kw;
        ReadOnlyMemoryStream s(bad);
        EXPECT_THROW(kw.LoadFromStream(s), EStreamError) << count;
        EXPECT_EQ(kw.EntryCount(), 0);
    }

    // A repeated word: EKeywords, and the table is left empty rather than half loaded.
    TSyntaxKeywords dup;
    dup.AddWord("x", true, 1, States({0}), kNone);
    dup.AddWord("y", true, 2, States({0}), kNone);
    TMemoryStream ds;
    dup.SaveToStream(ds);
    std::string twice = ds.Data();
    const std::size_t yAt = twice.find(Bytes({1, 'y'}));
    ASSERT_NE(yAt, std::string::npos);
    twice[yAt + 1] = 'x';
    TSyntaxKeywords kw;
    kw.AddWord("keep", true, 5, States({0}), kNone);
    ReadOnlyMemoryStream s(twice);
    EXPECT_EQ(Error([&] { kw.LoadFromStream(s); }), "Duplicate keyword - 'x'");
    EXPECT_TRUE(kw.Words().empty());
    EXPECT_EQ(kw.EntryCount(), 0);
}
