#include <gtest/gtest.h>

#include "highlight/rescan.h"
#include "highlight/script_compiler.h"
#include "test_highlighter.h"

namespace tarnwick {
namespace {

using test::Codes;
using test::States;

std::string StoredValues(const TTextStore& store)
{
    std::vector<std::uint8_t> v;
    for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r)) {
        const std::uint8_t* a = r->Attributes();
        for (std::size_t i = 0; i < r->Length(); ++i) v.push_back(a ? a[i] : 0xEE);
    }
    return Codes(v);
}

std::string Repeat(std::string_view line, int count)
{
    std::string s;
    for (int i = 0; i < count; ++i) s += line;
    return s;
}

class RescanTest : public ::testing::Test {
protected:
    void SetUp() override { test::BuildTestHighlighter(parser); }

    void Load(std::string_view text)
    {
        store.SetText(text);
        HighlightPassOptions all;
        all.all = true;
        const HighlightPassResult r = RescanFrom(store, parser, 0, all);
        ASSERT_TRUE(r.ran);
        ASSERT_EQ(r.linesWritten, store.LineCount());
    }
    // The values a fresh highlight of the whole current text gives.
    std::string Fresh()
    {
        VOzuvavIdavParser other;
        test::BuildTestHighlighter(other);
        return Codes(HighlightText(other, store.Text()).values);
    }
    HighlightPassResult Edit(std::int64_t line, std::int64_t minLines = 3)
    {
        HighlightPassOptions o;
        o.minLines = minLines;
        return RescanFrom(store, parser, line, o);
    }

    VOzuvavIdavParser parser;
    TTextStore store;
};

TEST_F(RescanTest, OpeningACommentRecoloursUntilItsEnd)
{
    Load("select 1\r" + Repeat("x y\r", 28) + "*/ from\r" + Repeat("select\r", 60));
    store.Insert(store.OffsetOf(store.FromLine(2).record), "/*");
    const HighlightPassResult r = Edit(2);
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(StoredValues(store), Fresh());
    EXPECT_TRUE(r.stoppedEarly);
    EXPECT_LT(r.lastLine, 40);  // it did not run to the end
    EXPECT_GE(r.lastLine, 29);  // but through the end of the comment

    // Closing it again restores the old colours.
    store.Delete(store.OffsetOf(store.FromLine(2).record), store.OffsetOf(store.FromLine(2).record) + 2);
    Edit(2);
    EXPECT_EQ(StoredValues(store), Fresh());
}

TEST_F(RescanTest, TypingRescansOnlyAFewLines)
{
    Load(Repeat("select a\r", 1000));
    store.Insert(store.OffsetOf(store.FromLine(500).record) + 7, "b");
    const HighlightPassResult r = Edit(500);
    ASSERT_TRUE(r.ran);
    EXPECT_TRUE(r.stoppedEarly);
    EXPECT_LE(r.linesWritten, 4);
    EXPECT_EQ(StoredValues(store), Fresh());
    // A line that is neither stale nor marked is not rescanned.
    EXPECT_FALSE(Edit(10).ran);
}

TEST_F(RescanTest, AChangedStateKeepsThePassGoingThroughUnchangedLines)
{
    // "begin" enters state 5, where "select" is plain text; empty lines look the same in both.
    ParserTables& t = parser.Tables();
    t.keywords->AddWord("begin", false, 20, States({0}), test::Group("[^a-z]"));
    t.tokenStateInfo[20] = test::Info(States({0}), States({5}), States({0}));
    Load("a\r\r\r\r\rselect\r");
    store.Insert(0, "begin ");
    const HighlightPassResult r = Edit(0, 1);
    ASSERT_TRUE(r.ran);
    EXPECT_GE(r.lastLine, 5);
    EXPECT_EQ(StoredValues(store).substr(12, 6), "000000");
}

TEST_F(RescanTest, RestartsAtTheNearestAnchor)
{
    Load("select /* c\rd\re */ x");
    store.Insert(store.OffsetOf(store.FromLine(2).record), "z");
    const HighlightPassResult r = Edit(2);
    ASSERT_TRUE(r.ran);
    // The comment's first line ends between two tokens in a known state: scanning restarts at
    // the start of the line before the edit, in that state.
    EXPECT_EQ(r.restartOffset, 12);
    EXPECT_EQ(StoredValues(store), Fresh());

    // Without known line-end states, back over the comment to the blank before it, the last
    // token of value 0.
    Load("select /* c\rd\re */ x");
    for (TLineRecord* rec = store.FirstLine(); rec; rec = store.Next(rec)) rec->SetStateOut(-1);
    store.Insert(store.OffsetOf(store.FromLine(2).record), "z");
    EXPECT_EQ(Edit(2).restartOffset, 6);
    EXPECT_EQ(StoredValues(store), Fresh());
}

TEST_F(RescanTest, AnEditAfterManyBlankLinesRestartsNearby)
{
    // A run of one-character tokens of an anchor value (line breaks) no longer sends the restart
    // back to the start of the run.
    Load(std::string(200000, '\r') + "select x");
    store.Insert(store.CharCount() - 1, "y");
    const HighlightPassResult r = Edit(store.LineCount() - 1);
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.restartOffset, 200000 - 1);  // the start of the line before the edited one
    EXPECT_EQ(StoredValues(store), Fresh());
}

TEST_F(RescanTest, ContainerSpanningLines)
{
    Load("{a\rx} from");
    EXPECT_EQ(StoredValues(store),
              "66676"
              "01111");
}

TEST_F(RescanTest, TokenSeenHookSeesEveryTokenAndMayChangeIt)
{
    store.SetText("select 'a'");
    std::vector<std::tuple<int, std::int64_t, std::int64_t>> seen;
    HighlightPassOptions o;
    o.all = true;
    o.onTokenSeen = [&](int& value, std::int64_t start, std::int64_t end) {
        seen.emplace_back(value, start, end);
        if (value == 2) value = 9;
    };
    RescanFrom(store, parser, 0, o);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen.front(), std::make_tuple(-1, -1, -1));
    EXPECT_EQ(seen[1], std::make_tuple(1, 0, 6));
    EXPECT_EQ(seen[3], std::make_tuple(2, 7, 10));
    EXPECT_EQ(seen.back(), std::make_tuple(-2, -2, -2));
    EXPECT_EQ(StoredValues(store), "1111110999");
}

TEST_F(RescanTest, RunsOfPlainCharactersColourAsTokenByToken)
{
    // Without its comment table (whose rules start with every character) the test highlighter
    // leaves blanks, line ends and most signs plain.
    parser.Tables().stateTables[1].reset();
    parser.Tables().FinishCompile();
    parser.SetScanState(0);
    const ByteSet plain = parser.PlainCharacters();
    for (unsigned char c : std::string_view(" \r,\xFF")) EXPECT_TRUE(plain.Contains(c)) << int(c);
    // Keyword starts (either case), rule starts and continuation lead-ins are not.
    for (char c : std::string_view("sSfF/*x0.'#{")) EXPECT_FALSE(plain.Contains(static_cast<unsigned char>(c))) << c;

    // A pass whose tokens are watched one by one reads every plain character as its own token;
    // a pass without takes them in runs. The colours must not differ: runs at line ends, at the
    // text's end, inside and after a container, after a state change, and lines of blanks alone.
    for (const char* text : {"select  a ,  b\r  from t  \r\r   ", "  {x  y}  z  ", "{ab\rcd}  select", "   ", "x\r",
                             "0x1f   'a  b'  # c  \r  ", "/* a  b */  select", ", ,\r\r, ,"}) {
        store.SetText(text);
        HighlightPassOptions runs;
        runs.all = true;
        RescanFrom(store, parser, 0, runs);
        const std::string byRuns = StoredValues(store);

        store.SetText(text);
        HighlightPassOptions tokens = runs;
        std::int64_t plainTokens = 0;
        tokens.onTokenSeen = [&](int& value, std::int64_t start, std::int64_t end) {
            if (value == 0 && end == start + 1) ++plainTokens;
        };
        RescanFrom(store, parser, 0, tokens);
        EXPECT_EQ(byRuns, StoredValues(store)) << text;
        EXPECT_GT(plainTokens, 0) << text;
    }

    // When plain text changes the states, no character is plain.
    parser.Tables().tokenStateInfo[0] = test::Info(States({0}), States({2}));
    EXPECT_TRUE(parser.PlainCharacters().Empty());
}

TEST_F(RescanTest, AWordHoldingLineBreaksIsFoundWhenAnEditBelowItsStartCompletesIt)
{
    const auto addWord = [](VOzuvavIdavParser& p) {
        p.Tables().keywords->AddWord("\r\r\r\r", false, 9, States({0}), TSM_CharGroup());
    };
    addWord(parser);
    Load("x\r\r\ry\r\rz");  // no four line breaks in a row yet
    store.Delete(4, 5);     // now there are five, from the end of the first line
    HighlightPassOptions o;
    o.minLines = 1;
    o.force = true;
    // As after a key press: from the line before the change, two lines below the word's start.
    RescanFrom(store, parser, store.FromOffset(3).line, o);

    VOzuvavIdavParser other;
    test::BuildTestHighlighter(other);
    addWord(other);
    const std::string fresh = Codes(HighlightText(other, store.Text()).values);
    EXPECT_EQ(fresh, "0999900");
    EXPECT_EQ(StoredValues(store), fresh);
}

// A highlighter whose "b" rule takes any character but a double quote, line ends included, up
// to a "]": a "b" with no "]" before the next quote reads on, line after line, and fails.
class LookAheadTest : public ::testing::Test {
protected:
    static void Build(VOzuvavIdavParser& p)
    {
        CompileHighlighterText(p,
                               "%%language\nname = 'T'\n"
                               "%%words\n'x' '[^]' 5\n"
                               "%%tokens\n4 '[b]' '[^\"]' ']' 1\n",
                               std::string());
    }
    void SetUp() override { Build(parser); }

    void Load(std::string_view text)
    {
        store.SetText(text);
        HighlightPassOptions all;
        all.all = true;
        ASSERT_TRUE(RescanFrom(store, parser, 0, all).ran);
    }
    std::string Fresh()
    {
        VOzuvavIdavParser other;
        Build(other);
        return Codes(HighlightText(other, store.Text()).values);
    }
    // Deletes one character and re-highlights from `line`, as the editor does after a key press.
    HighlightPassResult DeleteAt(std::int64_t offset, std::int64_t line)
    {
        store.Delete(offset, offset + 1);
        HighlightPassOptions o;
        o.minLines = 1;
        o.force = true;
        return RescanFrom(store, parser, line, o);
    }
    std::string Marked()
    {
        std::string out;
        for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r)) out += r->Flags() & lfLooksPastEnd ? '1' : '0';
        return out;
    }

    VOzuvavIdavParser parser;
    TTextStore store;
};

TEST_F(LookAheadTest, AnEditInsideWhatAFailedRuleReadRestartsAboveIt)
{
    // The lines the failed "b" looked past are marked; an edit that lets it succeed is seen
    // whether the pass starts at the edited line or at the line before, and whether the restart
    // would be a line start in a known state or an anchor after the "x" tokens in between.
    for (const bool lineBefore : {false, true}) {
        Load("a\rb\rx\rz x\r\"]\rq");
        EXPECT_EQ(StoredValues(store),
                  "00"
                  "00"
                  "50"
                  "0050"
                  "000"
                  "0");
        EXPECT_EQ(Marked(), "011100");
        const std::int64_t quote = 10;
        const HighlightPassResult r = DeleteAt(quote, store.FromOffset(lineBefore ? quote - 1 : quote).line);
        ASSERT_TRUE(r.ran);
        EXPECT_LE(r.restartOffset, 2);
        EXPECT_EQ(Fresh(),
                  "00"
                  "44"
                  "44"
                  "4444"
                  "40"
                  "0");
        EXPECT_EQ(StoredValues(store), Fresh()) << lineBefore;
        EXPECT_EQ(Marked(), "000000");  // the rule no longer fails
    }
}

TEST_F(LookAheadTest, APassDoesNotStopAtALineARuleLooksPast)
{
    // Deleting the first quote lets "b" read on to the second, over a line whose colours do not
    // change: the pass must not stop there, or that line would not be marked and the next edit,
    // which lets "b" succeed, would restart below it.
    Load("a\rb\"\rq\r\"]\rz\rz");
    EXPECT_EQ(Marked(), "000000");
    const HighlightPassResult first = DeleteAt(3, 1);
    ASSERT_TRUE(first.ran);
    EXPECT_EQ(StoredValues(store), Fresh());
    EXPECT_EQ(Marked(), "011000");
    EXPECT_GE(first.lastLine, 2);

    DeleteAt(6, 3);
    EXPECT_EQ(Fresh(),
              "00"
              "44"
              "44"
              "40"
              "00"
              "0");
    EXPECT_EQ(StoredValues(store), Fresh());
}

TEST_F(RescanTest, CustomMatchesNeedTheirHandler)
{
    parser.Tables().usesCustomMatches = true;
    store.SetText("select");
    HighlightPassOptions o;
    o.all = true;
    EXPECT_FALSE(RescanFrom(store, parser, 0, o).ran);
    parser.OnCustomParse = [](VOzuvavIdavParser&, int, TEdStream&, int&, int&) { return false; };
    EXPECT_TRUE(RescanFrom(store, parser, 0, o).ran);
}

TEST_F(RescanTest, BusyHighlighterWaitsOrSkips)
{
    class Control : public ParserClient {
        void SettingsChanged() override {}
        void RefreshHighlighter() override {}
    } other;
    TTextStore elsewhere;
    elsewhere.SetText("{x}");
    TEdStream s(&elsewhere);
    int length = 0;
    parser.ScanToken(&other, s, length);  // another control is inside a container
    ASSERT_TRUE(parser.Busy());

    store.SetText("select");
    HighlightPassOptions o;
    o.all = true;
    EXPECT_FALSE(RescanFrom(store, parser, 0, o).ran);
    int waits = 0;
    o.waitWhileBusy = [&] {
        ++waits;
        s.SetPos(1);
        while (parser.Bound()) parser.ScanToken(&other, s, length);  // the other control finishes
        return true;
    };
    EXPECT_TRUE(RescanFrom(store, parser, 0, o).ran);
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(StoredValues(store), "111111");
    parser.DetachControl(&other);
}

TEST_F(RescanTest, WholeTextEdgeCases)
{
    EXPECT_TRUE(HighlightText(parser, "").values.empty());
    const HighlightedText h = HighlightText(parser, "a\r\n\r\nselect\n");
    EXPECT_EQ(h.text, "a\r\rselect\r");
    EXPECT_EQ(Codes(h.values), "0001111110");
    // Control characters and bytes above 127 are single characters like any other.
    EXPECT_EQ(Codes(HighlightText(parser, "\xE9select \xFF").values), "011111100");
}

}  // namespace
}  // namespace tarnwick
