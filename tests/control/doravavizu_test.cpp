// The editor control's logic, driven through its public operations with a fake window: its
// properties, the numbered requests, views that share a text store and its undo log, the list
// view of the lines, change notification and scrolling. The other files doravavizu_*_test.cpp
// hold editing, files, search and highlighting.

#include <bit>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "control/doravavizu_strings.h"
#include "doravavizu_fixture.h"
#include "editor/marks.h"

namespace tarnwick {
namespace {

using test::Control;

// ---------------------------------------------------------------- properties

TEST_F(Control, PropertyRulesRefuseWhatTheyMust)
{
    c.SetGutter(0);
    EXPECT_EQ(c.Gutter(), 0);
    c.SetGutter(20);  // narrower than 34
    EXPECT_EQ(c.Gutter(), 0);
    c.SetGutter(34);  // 34 of 808 pixels is 4 percent
    EXPECT_EQ(c.Gutter(), 34);
    c.SetGutter(200);  // 25 percent
    EXPECT_EQ(c.Gutter(), 34);
    host.width = 170;  // 34 is exactly 20 percent
    c.SetGutter(0);
    c.SetGutter(34);
    EXPECT_EQ(c.Gutter(), 34);
    host.width = 160;  // 21 percent
    c.SetGutter(0);
    c.SetGutter(34);
    EXPECT_EQ(c.Gutter(), 0);

    c.SetIndentStep(19);
    EXPECT_EQ(c.IndentStep(), 19);
    c.SetIndentStep(20);
    c.SetIndentStep(0);
    EXPECT_EQ(c.IndentStep(), 19);

    c.SetMargin(9);  // wider than a character
    EXPECT_EQ(c.Margin(), 2);
    c.SetMargin(8);
    EXPECT_EQ(c.Margin(), 8);

    try {
        c.SetActiveParser(7);
        ADD_FAILURE();
    } catch (const EDoravaVizu& e) {
        EXPECT_STREQ(e.what(), "Parser index out of range");
    }
    try {
        c.SetTabDefault(0);
        ADD_FAILURE();
    } catch (const EDoravaVizu& e) {
        EXPECT_STREQ(e.what(), "=Illegal default tab stop value, must be > 0");
    }
    c.SetTabColumns("5 9;13");
    EXPECT_EQ(c.TabColumns(), "5 9 13");
    EXPECT_THROW(c.SetTabColumns("5 5"), EDoravaVizu);
    EXPECT_EQ(c.TabColumns(), "5 9 13");
    EXPECT_EQ(c.Version(), "3.00.39");
}

TEST_F(Control, OptionsMapOntoTheOptionWord)
{
    c.SetOptions(OptionBit(smoLineNumbers) | OptionBit(smoWordWrap) | OptionBit(smoCaretAfterEOL));
    EXPECT_EQ(c.OptionWord(), 0x00000001u | 0x00000400u | 0x08000000u);
    c.Perform(SM_OPTIONS, smSet, 0x00010010);
    EXPECT_EQ(c.Options(), OptionBit(smoShowGutter) | OptionBit(smoSyntaxHighlight));
    // Every member has its own bit, and the unused bits 1, 2, 3 and 28..31 are never set.
    std::uint32_t all = OptionsToWord(~VOzuvavIdavOptions(0));
    EXPECT_EQ(all & 0xF000000Eu, 0u);
    EXPECT_EQ(std::popcount(all), kOptionCount);
    for (int i = 0; i < kOptionCount; ++i)
        EXPECT_EQ(OptionsFromWord(OptionsToWord(VOzuvavIdavOptions(1) << i)), VOzuvavIdavOptions(1) << i);
}

// ---------------------------------------------------------------- the numbered requests and the list view

TEST_F(Control, RequestsAnswerAsTheEditControlDoes)
{
    Load("first\rsecond line\rthird");
    EXPECT_EQ(c.Perform(EM_GETLINECOUNT, 0, 0), 3);
    EXPECT_EQ(c.Perform(EM_LINEINDEX, 2, 0), 18);
    EXPECT_EQ(c.Perform(EM_LINELENGTH, 8, 0), 11);
    EXPECT_EQ(c.Perform(EM_LINEFROMCHAR, 18, 0), 2);
    char line[32] = {};
    const std::uint16_t room = sizeof line;
    std::memcpy(line, &room, sizeof room);
    EXPECT_EQ(c.Perform(EM_GETLINE, 1, reinterpret_cast<std::intptr_t>(line)), 11);
    EXPECT_EQ(std::string(line, 11), "second line");

    c.Perform(EM_SETSEL, 0, -1);
    EXPECT_EQ(c.SelEnd(), c.Store().CharCount());
    c.Perform(EM_SETSEL, 6, 12);
    char sel[64] = {};
    EXPECT_EQ(c.Perform(SM_GETSELTEXT, 1, reinterpret_cast<std::intptr_t>(sel)), 6);
    EXPECT_STREQ(sel, "second");
    c.Perform(SM_REPLACESEL, 0, reinterpret_cast<std::intptr_t>("2nd"));
    EXPECT_EQ(c.Text(), "first\r2nd line\rthird");
    EXPECT_EQ(c.Perform(EM_CANUNDO, 0, 0), 1);
    EXPECT_EQ(c.Perform(SM_CANREDO, 0, 0), 0);
    c.Perform(WM_UNDO, 0, 0);
    EXPECT_EQ(c.Perform(SM_CANREDO, 0, 0), 1);
    c.Perform(SM_REDO, 0, 0);
    EXPECT_EQ(c.Text(), "first\r2nd line\rthird");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c.Perform(SM_GETINFO, 0, 0))), "<VOzuvavIdav>:3.00.39");
    EXPECT_EQ(c.Perform(WM_GETTEXTLENGTH, 0, 0), 22);  // CR LF breaks

    // Positions: column 3 of line 1 is 3 character widths right of the text's left edge.
    std::int64_t point[2] = {0, 0};
    c.Perform(EM_POSFROMCHAR, 9, reinterpret_cast<std::intptr_t>(point));
    EXPECT_EQ(point[0], c.TextLeftEdge() + 3 * 8);
    EXPECT_EQ(point[1], 16);
    EXPECT_EQ(c.Perform(EM_CHARFROMPOS, point[0], point[1]), 9);
    EXPECT_EQ(c.Perform(EM_CHARFROMPOS, 0, 0), -1);  // over the gutter
    EXPECT_EQ(c.Perform(EM_CHARFROMPOS, c.TextLeftEdge(), host.height + 1), -1);

    // Attribute bytes out and back in.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(c.Store().CharCount()), 7);
    EXPECT_EQ(c.Perform(SM_SETTOKENBYTES, 0, reinterpret_cast<std::intptr_t>(bytes.data())), c.Store().CharCount());
    std::vector<std::uint8_t> back(bytes.size(), 0);
    const std::int64_t range[2] = {1, 1};
    EXPECT_EQ(c.Perform(SM_GETTOKENBYTES, reinterpret_cast<std::intptr_t>(range),
                        reinterpret_cast<std::intptr_t>(back.data())),
              9);
    EXPECT_EQ(back[0], 7);
    EXPECT_EQ(c.Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTTAB, DLGC_WANTTAB);
    c.WantTab = false;
    EXPECT_EQ(c.Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTTAB, 0);
}

TEST_F(Control, StringListView)
{
    VOzuvavIdavStrings lines(c);
    EXPECT_EQ(lines.Count(), 0);
    lines.Insert(0, "b");
    lines.Insert(0, "a");
    lines.Add("c");
    EXPECT_EQ(c.Text(), "a\rb\rc");
    EXPECT_EQ(lines.Count(), 3);
    EXPECT_EQ(lines.Get(1), "b");
    lines.Put(1, "beta");
    lines.Delete(0);
    EXPECT_EQ(c.Text(), "beta\rc");
    lines.Delete(1);
    EXPECT_EQ(c.Text(), "beta\r");
    lines.Insert(5, "nowhere");  // neither line 5 nor line 4 exists
    EXPECT_EQ(c.Text(), "beta\r");
    lines.AddStrings({"x", "y"});
    EXPECT_EQ(c.Text(), "x\ry\r");
    lines.SetText("x\r\ny\n");  // the same text once normalised: nothing happens
    EXPECT_EQ(c.Text(), "x\ry\r");
    Load(std::string(5000, 'l'));
    EXPECT_EQ(lines.Count(), 3);  // records of 2047, 2047 and 906 characters
    lines.LogicalLines = true;
    EXPECT_EQ(lines.Count(), 1);
    EXPECT_EQ(lines.Get(0).size(), VOzuvavIdavStrings::kMaxLineText);
}

// ---------------------------------------------------------------- views sharing one store

TEST_F(Control, TwoControlsShareOneStore)
{
    Load("shared text");
    VOzuvavIdav other(&host);
    other.Perform(SM_TEXTSTORE, 1, reinterpret_cast<std::intptr_t>(&c.Store()));
    other.Perform(SM_UNDOSTACK, smSet, reinterpret_cast<std::intptr_t>(&c.UndoStack()));
    other.Select(0, 6);
    other.SetSelText("common");
    EXPECT_EQ(c.Text(), "common text");
    c.Undo();
    EXPECT_EQ(other.Text(), "shared text");
}

TEST_F(Control, ASplitViewUndoesTheDocumentsLastEditWhicheverViewMadeIt)
{
    VOzuvavIdav other(&host);
    other.Perform(SM_TEXTSTORE, 1, reinterpret_cast<std::intptr_t>(&c.Store()));
    Type("abc");
    other.Select(0, 0);
    for (const char ch : std::string("XY")) other.KeyPress(ch);
    EXPECT_EQ(c.Text(), "XYabc");
    EXPECT_EQ(c.Caret(), 5);  // the other view's insertion moved this caret along
    c.Undo();
    EXPECT_EQ(c.Text(), "Xabc");
    other.Undo();
    EXPECT_EQ(c.Text(), "abc");
    c.Redo();
    EXPECT_EQ(other.Text(), "Xabc");
    EXPECT_EQ(host.beeps, 0);
}

TEST_F(Control, AnAttachedStoreBringsItsOwnLog)
{
    Type("hello world");
    TTextStore fresh;
    fresh.Insert(0, "x");
    c.Perform(SM_TEXTSTORE, 1, reinterpret_cast<std::intptr_t>(&fresh));
    EXPECT_FALSE(c.CanUndo());
    c.Undo();
    c.Undo();
    c.Redo();
    EXPECT_EQ(c.Text(), "x");
    EXPECT_FALSE(c.Modified());
    // Back on its own store, the control finds its history where it left it.
    c.Perform(SM_TEXTSTORE, 1, 0);
    EXPECT_EQ(c.Text(), "hello world");
    c.Undo();
    EXPECT_EQ(c.Text(), "hello worl");
}

TEST_F(Control, AForeignLogThatDoesNotFitIsClearedWithABeep)
{
    VOzuvavIdav writer(&host);
    for (const char ch : std::string("hello")) writer.KeyPress(ch);
    Load("xy");
    // Put the writer's log on this document on purpose; the exchange hands back the old one.
    auto* log = reinterpret_cast<TUndoStack*>(writer.Perform(SM_UNDOSTACK, smSet, 0));
    std::unique_ptr<TUndoStack> previous(
        reinterpret_cast<TUndoStack*>(c.Perform(SM_UNDOSTACK, smSet, reinterpret_cast<std::intptr_t>(log))));
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(&c.UndoStack(), log);
    EXPECT_TRUE(c.CanUndo());
    c.Undo();
    EXPECT_EQ(c.Text(), "xy");
    EXPECT_EQ(host.beeps, 1);
    EXPECT_FALSE(c.CanUndo());
    // A log that does fit replays as usual.
    Type("ab");
    c.Undo();
    EXPECT_EQ(c.Text(), "axy");
}

TEST_F(Control, MarksOfTheTextReachTheControlsEvents)
{
    Load("one\rtwo\rthree");
    std::vector<std::string> named;
    int breakpointsFreed = 0;
    c.OnCustomBookmarkFree = [&](TCustomDoravaVizu&, const std::string& name) { named.push_back(name); };
    c.OnBreakpointFree = [&](TCustomDoravaVizu&, TSM_BreakpointData&) { ++breakpointsFreed; };
    c.Store().Bookmarks().Add("here", 5);
    c.Store().Breakpoints().Add(4, 1, 0, "bp");
    c.Select(3, 8);  // the whole second line goes
    c.DeleteSelection();
    EXPECT_EQ(named, std::vector<std::string>{"here"});
    EXPECT_EQ(breakpointsFreed, 1);
}

// ---------------------------------------------------------------- change notification and scrolling

TEST_F(Control, ChangeNotificationLockingClearAndTheOptionsDialog)
{
    Load("text");
    int changes = 0;
    std::uint8_t seenFlags = 0;
    c.OnChange = [&](TCustomDoravaVizu& control) {
        ++changes;
        seenFlags |= control.ChangeFlags();
    };
    Type("x");
    EXPECT_EQ(changes, 1);  // one notification per key press
    EXPECT_EQ(seenFlags & (cfText | cfSelection), cfText | cfSelection);
    EXPECT_EQ(c.ChangeFlags(), 0);

    changes = 0;
    c.LockUpdate(true);
    Type("yz");
    c.Select(0, 0);
    EXPECT_EQ(changes, 0);  // nothing while locked
    c.LockUpdate(false);
    EXPECT_EQ(changes, 1);  // one for everything on unlocking

    c.Clear();
    EXPECT_EQ(c.Text(), "");
    EXPECT_FALSE(c.CanUndo());

    // The options dialog needs an active highlighter.
    c.EditOptions();
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages.back(), "No active parser");
    VOzuvavIdavParser parser;
    c.SetParser(1, &parser);
    Load(std::string(200, 'q') + " end");
    c.OnEditOptions = [](TCustomDoravaVizu& control, VOzuvavIdavParser& p, std::uint8_t pages) {
        EXPECT_EQ(pages, control.VisiblePropEdPages);
        p.Settings().options |= kOptionWordBits[smoWordWrap];
        p.Settings().wordWrapColumn = 40;
        return true;
    };
    c.EditOptions();  // accepted with word wrap switched on: the text is wrapped
    EXPECT_GT(c.Store().LineCount(), 1);
    c.SetParser(1, nullptr);
}

TEST_F(Control, ScrollBarScaleAndScrolling)
{
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "line\r";
    Load(text);
    EXPECT_EQ(c.VerticalScrollScale(), 4);
    const TScrollInfo v = c.VerticalScrollInfo();
    EXPECT_EQ(v.max, 25000);
    c.VerticalThumb(v.max);  // the thumb dragged to the end shows the last lines
    EXPECT_EQ(c.TopLine(), 99999);
    c.Select(0, 0);  // the caret scrolled back into view
    EXPECT_EQ(c.TopLine(), 0);
    c.Select(500 * 5, 500 * 5);
    EXPECT_EQ(c.TopLine(), 500 - c.VisibleLines() + 1);
    c.ExecuteCommand(47, 0, false);  // scroll down one line: the caret stays where it is
    EXPECT_EQ(c.TopLine(), 500 - c.VisibleLines() + 2);
    EXPECT_EQ(c.LineOf(c.Caret()), 500);
    c.Select(0, 0);
    c.ExecuteCommand(47, 0, false);  // the caret would leave the view: it moves down a line
    EXPECT_EQ(c.LineOf(c.Caret()), 1);
}

}  // namespace
}  // namespace tarnwick
