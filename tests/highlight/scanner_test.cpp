#include <gtest/gtest.h>

#include "highlight/parser.h"
#include "highlight/rescan.h"
#include "highlight/script_compiler.h"
#include "test_highlighter.h"

namespace tarnwick {
namespace {

using test::BuildTestHighlighter;
using test::Codes;
using test::States;

std::string Highlight(VOzuvavIdavParser& p, std::string_view text) { return Codes(HighlightText(p, text).values); }

class ScannerTest : public ::testing::Test {
protected:
    void SetUp() override { BuildTestHighlighter(parser); }
    VOzuvavIdavParser parser;
};

TEST_F(ScannerTest, KeywordsStringsNumbersAndUnclaimedText)
{
    EXPECT_EQ(Highlight(parser, "SELECT a FROM t"), "111111000111100");
    // A keyword needs its terminator: "selects" is plain text.
    EXPECT_EQ(Highlight(parser, "selects 'x y' 12.5;"), "0000000022222044440");
    // An unterminated string runs to the end of the text.
    EXPECT_EQ(Highlight(parser, "'abc"), "2222");
}

TEST_F(ScannerTest, ScanTokenReportsLengthAndPosition)
{
    TTextStore store;
    store.SetText("select 'q' ?");
    TEdStream s(&store);
    int length = -5;
    EXPECT_EQ(parser.ScanToken(nullptr, s, length), 1);
    EXPECT_EQ(length, 6);
    EXPECT_EQ(s.GetPos(), 6);
    EXPECT_EQ(parser.ScanToken(nullptr, s, length), 0);  // a blank: one character of value 0
    EXPECT_EQ(length, 1);
    EXPECT_EQ(parser.ScanToken(nullptr, s, length), 2);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(s.GetPos(), 10);
}

TEST_F(ScannerTest, TheStreamTellsHowFarATokenLookedAhead)
{
    // Tokens that end at or run over line ends step into the next line once: no look ahead.
    TTextStore store;
    store.SetText("'a'\r\r/* x\ry */ select\r");
    TEdStream s(&store);
    for (int length = 0; !s.AtEnd();) parser.ScanToken(nullptr, s, length);
    EXPECT_EQ(s.Reach(), store.CharCount());
    EXPECT_EQ(s.CameBackFrom(), -1);

    // A "b" with no "]" before the quote reads two lines ahead and fails: a token of one
    // character. Stepping over the line end after it enters the next line a second time.
    VOzuvavIdavParser p;
    CompileHighlighterText(p, "%%tokens\n4 '[b]' '[^\"]' ']' 1\n", std::string());
    store.SetText("b\rx\r\"]");
    TEdStream t(&store);
    int length = 0;
    EXPECT_EQ(p.ScanToken(nullptr, t, length), 0);
    EXPECT_EQ(length, 1);
    EXPECT_EQ(t.Reach(), 4);
    EXPECT_EQ(t.CameBackFrom(), -1);
    p.ScanToken(nullptr, t, length);
    EXPECT_EQ(t.GetPos(), 2);
    EXPECT_EQ(t.CameBackFrom(), 4);
    // With the "]" it succeeds, reading as far, and nothing is read twice.
    store.SetText("b\rx\r]");
    TEdStream u(&store);
    EXPECT_EQ(p.ScanToken(nullptr, u, length), 4);
    EXPECT_EQ(length, 5);
    EXPECT_EQ(u.CameBackFrom(), -1);
}

TEST_F(ScannerTest, EndPartThatIsNotConsumedStaysForTheNextToken)
{
    // "#" comments end before the line end, which is text of its own.
    EXPECT_EQ(Highlight(parser, "#ab\rselect"), "5550111111");
    EXPECT_EQ(Highlight(parser, "#\r"), "50");
}

TEST_F(ScannerTest, ContinuationRuleExtendsAKeyword)
{
    EXPECT_EQ(Highlight(parser, "0x1f 7"), "bbbb04");
    // No hex digit: the step fails before the end was checked, then the end matches.
    EXPECT_EQ(Highlight(parser, "0xz"), "bb0");
    EXPECT_EQ(Highlight(parser, "0x1f"), "bbbb");
}

TEST_F(ScannerTest, FailedContinuationFallsBackToTheFirstCharacterTable)
{
    // The step must match once when the rule has no end part.
    THandlerRule exact;
    exact.step.group = parser.Tables().RegisterGroup(test::Group("[0-9]"));
    parser.Tables().continuation[11] = exact;
    EXPECT_EQ(Highlight(parser, "0x5"), "bbb");
    // "0x" then "q": the continuation fails, so "0" is read as a number and "x" as text.
    EXPECT_EQ(Highlight(parser, "0xq"), "400");
}

TEST_F(ScannerTest, BlockCommentSpansLinesThroughStates)
{
    EXPECT_EQ(Highlight(parser, "a /* select\r'x' */ from"), "00" + std::string(14, '3') + "8801111");
    // In the comment state, keywords of state 0 do not apply and the string rule is not used.
    TTextStore store;
    store.SetText("/* x");
    TEdStream s(&store);
    int length = 0;
    parser.SetScanState(0);
    EXPECT_EQ(parser.ScanToken(nullptr, s, length), 3);
    EXPECT_TRUE(parser.CurrentStates() == States({1}));
}

TEST_F(ScannerTest, TokenRefusedWhenItsStatesDoNotMeet)
{
    // Value 1 is only recognised in state 0; a keyword of value 1 valid in state 1 is refused there.
    parser.Tables().keywords->AddWord("end", false, 1, States({1}), test::Group("[^a-z]"));
    parser.SetScanState(3);  // ContextState[3] = {1}
    TTextStore store;
    store.SetText("end");
    TEdStream s(&store);
    int length = 0;
    EXPECT_EQ(parser.ScanToken(nullptr, s, length), 0);
    EXPECT_EQ(length, 1);
    EXPECT_EQ(s.GetPos(), 1);
}

TEST_F(ScannerTest, SetScanStateUsesStartStatesForEmptyContext)
{
    ParserTables& t = parser.Tables();
    t.startStates = States({0, 4});
    t.contextState[9].Clear();
    parser.SetScanState(9);
    EXPECT_TRUE(parser.CurrentStates() == States({0, 4}));
    parser.SetScanState(3);
    EXPECT_TRUE(parser.CurrentStates() == States({1}));
    EXPECT_FALSE(parser.Bound());
    EXPECT_FALSE(parser.Busy());
    EXPECT_EQ(parser.Stack().Size(), 0u);
}

TEST_F(ScannerTest, RuleThatConsumesNothingGivesOneCharacterOfValueZero)
{
    // A whole-token matcher that fails, and a custom matcher that claims success without reading.
    TTokenRule r;
    r.first.hasHandler = 1;
    r.first.custom = 1;
    r.first.handler = 5;
    r.valid = States({0});
    r.value = 9;
    parser.Tables().defaultTable.rules['@'] = r;
    parser.OnCustomParse = [](VOzuvavIdavParser&, int, TEdStream&, int&, int& value) {
        value = 9;
        return true;
    };
    EXPECT_EQ(Highlight(parser, "@@a"), "000");

    parser.OnCustomParse = [](VOzuvavIdavParser&, int id, TEdStream& s, int& length, int& value) {
        EXPECT_EQ(id, 5);
        s.NextChar();
        s.NextChar();
        length += 2;
        value = 12;
        return true;
    };
    EXPECT_EQ(Highlight(parser, "@@a"), "cc0");
}

TEST_F(ScannerTest, StepThatReadsNothingDoesNotLoopForever)
{
    // _ORIGINAL_CHAR succeeds without reading at a line end; as a body step it would repeat.
    ParserTables& t = parser.Tables();
    TTokenRule r = test::Rule(t, "!", "", "~", true, 13, States({0}));
    r.body.hasHandler = 1;
    r.body.handler = kMatchOriginalChar;
    t.defaultTable.rules['!'] = r;
    EXPECT_EQ(Highlight(parser, "!abc\rx"), "dddd00");
}

TEST_F(ScannerTest, ContainerIsRescannedInBoundMode)
{
    // Inside { }, "x" is value 7 (state 2); other inner text keeps the container's value.
    EXPECT_EQ(Highlight(parser, "{a x} select"),
              "66676011111"
              "1");
    // After the container the states are those before it.
    TTextStore store;
    store.SetText("{x}z");
    TEdStream s(&store);
    int length = 0;
    parser.SetScanState(0);
    EXPECT_EQ(parser.ScanToken(nullptr, s, length), 6);
    EXPECT_TRUE(parser.Bound());
    EXPECT_TRUE(parser.Busy());
    EXPECT_EQ(parser.ContainerEnd(), 3);
    EXPECT_TRUE(parser.CurrentStates() == States({2}));
    s.SetPos(0);
    EXPECT_EQ(parser.ScanToken(nullptr, s, length), 0);  // "{" inside: nothing claims it
    EXPECT_EQ(parser.ScanToken(nullptr, s, length), 7);
    EXPECT_TRUE(parser.Bound());
    EXPECT_EQ(parser.ScanToken(nullptr, s, length), 0);  // "}" reaches the container end
    EXPECT_FALSE(parser.Bound());
    EXPECT_FALSE(parser.Busy());
    EXPECT_TRUE(parser.CurrentStates() == States({0}));
}

class Control : public ParserClient {
public:
    void SettingsChanged() override {}
    void RefreshHighlighter() override
    {
        ++refreshes;
        if (fail) throw Exception("refresh failed");
    }
    int refreshes = 0;
    bool fail = false;
};

TEST_F(ScannerTest, BusyHighlighterServesOnlyTheControlInTheContainer)
{
    Control a, b;
    TTextStore store;
    store.SetText("{x}");
    TEdStream s(&store);
    int length = 0;
    EXPECT_EQ(parser.ScanToken(&a, s, length), 6);
    ASSERT_TRUE(parser.Busy());
    // Both controls were attached by scanning with them.
    TEdStream other(&store);
    EXPECT_EQ(parser.ScanToken(&b, other, length), 0);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(other.GetPos(), 0);
    EXPECT_EQ(parser.Controls().size(), 1u);
    s.SetPos(1);
    EXPECT_EQ(parser.ScanToken(&a, s, length), 7);
    // Detaching the control in the container frees the highlighter.
    parser.DetachControl(&a);
    EXPECT_FALSE(parser.Busy());
    EXPECT_EQ(parser.Settings().AttachedCount(), 0);
}

TEST_F(ScannerTest, UserKeywordTablesOfTheSettings)
{
    KeywordTable table;
    table.states = States({0});
    table.terminator = "[^a-z]";
    table.words = {{"foo", 14}, {"select", 15}};
    parser.Settings().AddKeywordTable(table);
    parser.SetScanState(0);
    // The highlighter's own keywords come first; a user keyword is not subject to token state info.
    parser.Tables().tokenStateInfo[14] = test::Info(States({5}));
    EXPECT_EQ(Highlight(parser, "foo select foox"),
              "eee0111111"
              "00000");
}

TEST_F(ScannerTest, StackPushAndPop)
{
    // "(" pushes the states and enters state 3; ")" pops them back.
    ParserTables& t = parser.Tables();
    t.keywords->AddWord("(", false, 16, States({0, 3}), TSM_CharGroup());
    t.keywords->AddWord(")", false, 17, States({3}), TSM_CharGroup());
    TTokenStateInfo open = test::Info(States({0, 3}), States({3}), States({0}));
    open.stack = kStackPushBefore;
    TTokenStateInfo close = test::Info(States({3}));
    close.stack = kStackPopAfter;
    t.tokenStateInfo[16] = open;
    t.tokenStateInfo[17] = close;
    TTextStore store;
    store.SetText("(()))");
    TEdStream s(&store);
    int length = 0;
    parser.SetScanState(0);
    parser.ScanToken(nullptr, s, length);
    parser.ScanToken(nullptr, s, length);
    EXPECT_EQ(parser.Stack().Size(), 2u);
    EXPECT_EQ(parser.ScanToken(nullptr, s, length), 17);
    EXPECT_TRUE(parser.CurrentStates() == States({3}));
    EXPECT_EQ(parser.ScanToken(nullptr, s, length), 17);
    EXPECT_TRUE(parser.CurrentStates() == States({0}));
    // A closing bracket with nothing open is refused in state 0.
    EXPECT_EQ(parser.ScanToken(nullptr, s, length), 0);
}

TEST_F(ScannerTest, PerStateTableOfTheLowestActiveState)
{
    ParserTables& t = parser.Tables();
    test::SetRule(t.StateTable(7), t, test::Rule(t, "q", "", "", false, 18, States({7})));
    test::SetRule(t.StateTable(9), t, test::Rule(t, "q", "", "", false, 19, States({9})));
    t.contextState[20] = States({9, 7});
    t.contextState[21] = States({9});
    t.tokenStateInfo[18] = test::Info(States({7}));
    t.tokenStateInfo[19] = test::Info(States({9}));
    parser.SetScanState(20);
    TTextStore store;
    store.SetText("q");
    TEdStream s(&store);
    int length = 0;
    EXPECT_EQ(parser.ScanToken(nullptr, s, length), 18);
    parser.SetScanState(21);
    s.SetPos(0);
    EXPECT_EQ(parser.ScanToken(nullptr, s, length), 19);
}

TEST_F(ScannerTest, AssignCopiesTheTablesAndRejectsOtherClasses)
{
    VOzuvavIdavParser copy;
    copy.Assign(&parser);
    EXPECT_EQ(Highlight(copy, "select /*x*/ {x} 0x1"), Highlight(parser, "select /*x*/ {x} 0x1"));
    EXPECT_EQ(copy.Tables().keywords->EntryCount(), parser.Tables().keywords->EntryCount());

    class Other : public TCustomDoravaVizuParser {
    public:
        std::uint8_t ScanToken(ParserClient*, TEdStream&, int&) override { return 0; }
        void SetScanState(std::uint8_t) override {}
        bool EditProperties() override { return false; }
        std::string ClassName() const override { return "TOtherParser"; }
    } other;
    try {
        copy.Assign(&other);
        FAIL() << "assigning another class must raise";
    } catch (const EDoravaVizu& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TOtherParser to VOzuvavIdavParser");
    }
    EXPECT_EQ(Highlight(copy, "select"), "111111");  // unchanged by the failed assign
}

TEST_F(ScannerTest, RefreshAndOptionsDialog)
{
    Control a, b;
    parser.AttachControl(&a);
    parser.AttachControl(&b);
    parser.AttachControl(&a);
    EXPECT_EQ(parser.Controls().size(), 2u);
    a.fail = true;
    EXPECT_FALSE(parser.RefreshControls());
    EXPECT_EQ(b.refreshes, 1);  // the failure of one control does not stop the others

    a.fail = false;
    EXPECT_FALSE(parser.EditProperties());  // no dialog installed
    int pages = -1;
    parser.OnShowOptionsDialog = [&](VOzuvavIdavParser&, TSM_PropEdPages p) {
        pages = p;
        return true;
    };
    EXPECT_TRUE(parser.EditProperties());
    EXPECT_EQ(pages, 31);
    EXPECT_EQ(b.refreshes, 2);
    bool modified = false;
    parser.OnModifyProperties = [&](TCustomDoravaVizuParser&) { modified = true; };
    EXPECT_FALSE(parser.ShowOptionsDialog(ppOPTIONS));
    EXPECT_TRUE(modified);
    parser.DetachControl(&a);
    parser.DetachControl(&b);
}

}  // namespace
}  // namespace tarnwick
