// The editor control's mouse handling and drag and drop, driven through a fake window: 8-pixel
// characters, 16-pixel lines, a client area of 808 x 400 pixels.

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "control/doravavizu.h"
#include "editor/export_writers.h"
#include "highlight/builtin_sql.h"
#include "support/fake_host.h"

namespace tarnwick {
namespace {

using test::FakeHost;
using Data = TCustomDoravaVizu::DropData;

class Mouse : public ::testing::Test {
protected:
    FakeHost host;
    VOzuvavIdav c{&host};
    std::int64_t now = 10000;

    void SetUp() override { c.Resized(); }

    void SetOption(VOzuvavIdavOption o, bool on)
    {
        c.SetOptions(on ? (c.Options() | OptionBit(o)) : (c.Options() & ~OptionBit(o)));
    }
    // A point on the left half of column `col` of visible line `line`.
    int X(std::int64_t col) const { return c.TextLeftEdge() + static_cast<int>(col) * 8 + 1; }
    int Y(std::int64_t line) const { return static_cast<int>(line) * 16 + 8; }
    // One press and release; `gap` milliseconds after the previous press.
    void Click(std::int64_t col, std::int64_t line, std::int64_t gap = 1000, std::uint16_t shift = 0)
    {
        now += gap;
        c.MouseDown(X(col), Y(line), shift, now);
        c.MouseUp(X(col), Y(line), shift);
    }
    // A press that the window reports as a double click.
    void SecondClick(std::int64_t col, std::int64_t line, std::int64_t gap = 100)
    {
        now += gap;
        c.MouseDown(X(col), Y(line), 0, now);
        c.DoubleClick(X(col), Y(line));
        c.MouseUp(X(col), Y(line), 0);
    }
    std::int64_t At(std::int64_t line, std::int64_t col) const { return c.LineStart(line) + col; }
    void ExpectSelection(std::int64_t anchor, std::int64_t caret)
    {
        EXPECT_EQ(c.Anchor(), anchor);
        EXPECT_EQ(c.Caret(), caret);
    }
};

// ---------------------------------------------------------------- clicks

TEST_F(Mouse, FourQuickClicksGiveCaretWordSegmentCaret)
{
    c.SetText("alpha beta gamma\rsecond line\r");
    Click(7, 0);
    ExpectSelection(7, 7);
    SecondClick(7, 0);
    ExpectSelection(6, 10);  // "beta"
    Click(7, 0, 100);
    ExpectSelection(0, 17);  // the whole first line with its break
    Click(7, 0, 100);
    ExpectSelection(7, 7);
    // The fourth click starts a new count: two more quick presses make a double click again.
    Click(2, 0, 100);
    ExpectSelection(2, 2);
    SecondClick(2, 0);
    ExpectSelection(0, 5);  // "alpha"
}

TEST_F(Mouse, SlowOrBackwardPressesCountAsSingleClicks)
{
    c.SetText("alpha beta gamma");
    Click(7, 0);
    SecondClick(7, 0, 600);  // slower than the double-click time
    ExpectSelection(7, 7);
    host.doubleClickTime = 1000;
    SecondClick(7, 0, 600);
    ExpectSelection(6, 10);
    // A clock that went backwards does not make a triple click.
    now -= 5000;
    Click(1, 0, 0);
    ExpectSelection(1, 1);
    // A pause after a triple click: the next quick pair is a double click again.
    Click(7, 0, 2000);
    SecondClick(7, 0);
    Click(7, 0, 100);
    ExpectSelection(0, 16);
    Click(2, 0, 3000);
    SecondClick(13, 0);
    ExpectSelection(11, 16);
}

TEST_F(Mouse, DoubleClickSelectsTheWordOrTheNextOneOnTheLine)
{
    c.SetText("x = (  ) y_1'z\rnext\r+  +\r");
    Click(13, 0);
    SecondClick(13, 0);
    ExpectSelection(9, 14);  // apostrophes belong to words
    Click(6, 0, 2000);       // between two blanks: the next word to the right
    SecondClick(6, 0);
    ExpectSelection(9, 14);
    Click(1, 2, 2000);  // no word follows on the line: the caret goes to the line start
    SecondClick(1, 2);
    ExpectSelection(At(2, 0), At(2, 0));
    // Without word selection a double click only places the caret.
    SetOption(smoWordSelect, false);
    Click(2, 1, 2000);
    SecondClick(2, 1);
    ExpectSelection(At(1, 2), At(1, 2));
}

TEST_F(Mouse, PressInsideTheSelectionAndReleaseWithoutMovingPlacesTheCaret)
{
    c.SetText("alpha beta gamma");
    c.Select(6, 10);
    now += 1000;
    c.MouseDown(X(8), Y(0), 0, now);
    ExpectSelection(6, 10);  // kept while a drag may start
    c.MouseUp(X(8), Y(0), 0);
    ExpectSelection(8, 8);
    EXPECT_EQ(host.drags, 0);

    // Without dragging out, a press on the selection is an ordinary click.
    SetOption(smoOLEDragSource, false);
    c.Select(6, 10);
    now += 1000;
    c.MouseDown(X(7), Y(0), 0, now);
    ExpectSelection(7, 7);
    c.MouseUp(X(7), Y(0), 0);
}

TEST_F(Mouse, TripleClickOnAnotherLinePlacesTheCaretAndOnTheSameLineAsksTheHandler)
{
    c.SetText("first line\rsecond line\r");
    Click(3, 0);
    SecondClick(3, 0);
    Click(4, 1, 100);
    ExpectSelection(At(1, 4), At(1, 4));

    std::vector<std::int64_t> calls;
    c.OnTripleClick = [&](TCustomDoravaVizu&, int x, int y, std::int64_t offset) {
        calls.insert(calls.end(), {x, y, offset});
    };
    Click(2, 0, 2000);
    SecondClick(2, 0);
    ExpectSelection(0, 5);
    Click(2, 0, 100);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], X(2));
    EXPECT_EQ(calls[1], Y(0));
    EXPECT_EQ(calls[2], 2);
    ExpectSelection(0, 5);  // the handler replaces the line selection
}

TEST_F(Mouse, ShiftClickExtendsFromTheFarEnd)
{
    c.SetText("0123456789abcdefghij");
    Click(5, 0);
    Click(12, 0, 1000, scShift);
    ExpectSelection(5, 12);
    Click(2, 0, 1000, scShift);  // before the start: the old end stays
    ExpectSelection(12, 2);
    Click(8, 0, 1000, scShift);
    ExpectSelection(2, 8);
}

TEST_F(Mouse, ClicksHitTheNearestBoundaryAndTabsAndLineEnds)
{
    c.SetText("ab\tcd\rxy\r");
    const int left = c.TextLeftEdge();
    now += 1000;
    c.MouseDown(left + 8 + 5, Y(0), 0, now);  // right half of "b"
    c.MouseUp(left + 8 + 5, Y(0), 0);
    ExpectSelection(2, 2);
    Click(3, 0);  // inside the tab (columns 2 and 3), nearer its end
    ExpectSelection(3, 3);
    Click(50, 1);  // beyond the end of the line: before its break
    ExpectSelection(At(1, 2), At(1, 2));
    Click(4, 10);  // below the text: the last (empty) line
    ExpectSelection(c.Store().CharCount(), c.Store().CharCount());
}

TEST_F(Mouse, ClickBeyondTheLineEndKeepsTheVirtualColumn)
{
    c.SetText("abc\rdefgh\r");
    SetOption(smoCaretAfterEOL, true);
    Click(30, 0);
    EXPECT_EQ(c.Caret(), 3);
    EXPECT_TRUE(c.CaretBeyondEol());
    EXPECT_EQ(c.VirtualColumn(), 30);
    c.KeyPress('x');
    const std::int64_t x = static_cast<std::int64_t>(c.Text().find('x'));
    EXPECT_EQ(c.ColumnOf(x), 30);  // the gap before it filled
    EXPECT_EQ(c.Caret(), x + 1);
    // Down keeps the clicked column beyond the shorter line's end.
    Click(20, 1);
    EXPECT_EQ(c.VirtualColumn(), 20);
    Click(2, 1);
    EXPECT_FALSE(c.CaretBeyondEol());

    // A proportional font has no virtual caret.
    host.metrics.fixedPitch = false;
    c.SetFont("Arial", 10, 0);
    Click(30, 1);
    EXPECT_FALSE(c.CaretBeyondEol());
    EXPECT_EQ(c.Caret(), At(1, 5));
}

TEST_F(Mouse, TabStopOffOrDisabledIgnoresTheMouse)
{
    c.SetText("alpha beta\rgamma\r");
    int gutterClicks = 0;
    c.OnGutterClick = [&](TCustomDoravaVizu&, std::int64_t) { ++gutterClicks; };
    c.Select(2, 2);
    c.TabStop = false;
    Click(7, 1);
    SecondClick(7, 1);
    now += 100;
    c.MouseDown(5, Y(0), 0, now);
    c.MouseMove(X(9), Y(0), 0, true);
    ExpectSelection(2, 2);
    EXPECT_EQ(host.focusTaken, 0);
    EXPECT_EQ(gutterClicks, 0);
    EXPECT_EQ(c.Drop({stText, "", "X", "", {}}, 0, X(0), Y(0), false), DropEffect::deNone);
    c.TabStop = true;
    c.Enabled = false;
    Click(7, 1);
    ExpectSelection(2, 2);
    EXPECT_EQ(c.DragEnter(stText, 0, X(0), Y(0)), DropEffect::deNone);
    EXPECT_EQ(c.Text(), "alpha beta\rgamma\r");
    c.Enabled = true;
    Click(7, 1);
    ExpectSelection(At(1, 5), At(1, 5));
    EXPECT_EQ(host.focusTaken, 1);
}

TEST_F(Mouse, PositionsFarOutsideTheWindowAreHarmless)
{
    c.SetText("one\rtwo\rthree");
    for (const auto& [v, w] : {std::pair{INT_MIN, INT_MAX}, std::pair{-1, 1}, std::pair{INT_MAX, INT_MIN}}) {
        c.MouseDown(v, v, 0, now += 1000);
        c.MouseMove(v, w, 0, true);
        c.AutoScrollStep();
        c.MouseUp(v, v, 0);
        c.MouseMove(v, v, 0, false);
        c.DragEnter(stText, 0, v, v);
        c.DragOver(scCtrl, w, v);
        c.DragLeave();
    }
    EXPECT_EQ(c.Text(), "one\rtwo\rthree");
    // Presses outside the client area are not clicks; a drop far away lands on the nearest line.
    c.Select(1, 1);
    c.MouseDown(host.width, Y(0), 0, now += 1000);
    ExpectSelection(1, 1);
    EXPECT_EQ(c.OffsetAtPoint(INT_MIN, INT_MAX), At(2, 0));
    EXPECT_EQ(c.OffsetAtPoint(INT_MAX, INT_MIN), At(0, 3));
    EXPECT_EQ(c.Drop({stText, "", "X", "", {}}, scCtrl, INT_MIN, INT_MAX, false), DropEffect::deCopy);
    EXPECT_EQ(c.Text(), "one\rtwo\rXthree");
}

// ---------------------------------------------------------------- gutter and margin

TEST_F(Mouse, GutterClicksReportTheLogicalLinesFirstSegment)
{
    c.SetText("short\r" + std::string(60, 'w') + " " + std::string(60, 'v') + "\rlast\r");
    c.SetWrapAtColumn(30);
    c.SetWordWrap(true);
    ASSERT_GT(c.Store().LineCount(), 4);
    std::vector<std::int64_t> lines;
    c.OnGutterClick = [&](TCustomDoravaVizu&, std::int64_t line) { lines.push_back(line); };
    c.Select(0, 0);
    Click(0, 0);  // keep the count apart
    for (const int row : {0, 1, 2, 3}) {
        now += 1000;
        c.MouseDown(10, Y(row), 0, now);
        c.MouseUp(10, Y(row), 0);
    }
    const std::int64_t lastLine = c.LineOf(c.Store().CharCount() - 1);
    now += 1000;
    c.MouseDown(10, Y(lastLine), 0, now);
    now += 1000;
    c.MouseDown(10, Y(lastLine + 5), 0, now);  // below the text: nothing
    EXPECT_EQ(lines, (std::vector<std::int64_t>{1, 2, 2, 2, lastLine + 1}));
    ExpectSelection(0, 0);  // nothing else happens
}

TEST_F(Mouse, LeftMarginClickSelectsTheSegment)
{
    c.SetText("first\rsecond\rthird");
    now += 1000;
    c.MouseDown(c.TextLeftEdge() - 1, Y(1), 0, now);
    ExpectSelection(At(1, 0), At(2, 0));
    now += 1000;
    c.MouseDown(c.TextLeftEdge() - 1, Y(2), 0, now);
    ExpectSelection(At(2, 0), c.Store().CharCount());
}

// ---------------------------------------------------------------- selecting and scrolling

TEST_F(Mouse, HoldingTheButtonSelectsAndTheCaretEndFollows)
{
    c.SetText("alpha beta gamma\rsecond line\r");
    now += 1000;
    c.MouseDown(X(2), Y(0), 0, now);
    c.MouseMove(X(9), Y(1), 0, true);
    ExpectSelection(2, At(1, 9));
    c.MouseMove(0, Y(0), 0, true);  // left of the text: the first column
    ExpectSelection(2, 0);
    c.MouseUp(0, Y(0), 0);
    c.MouseMove(X(12), Y(1), 0, false);
    ExpectSelection(2, 0);
    // A release that went elsewhere ends the selecting at the next move without the button.
    now += 1000;
    c.MouseDown(X(1), Y(1), 0, now);
    c.MouseMove(X(4), Y(1), 0, false);
    c.MouseMove(X(8), Y(1), 0, true);
    ExpectSelection(At(1, 1), At(1, 1));
}

TEST_F(Mouse, DragAutoScrollMovesOneLineOrColumnPerStep)
{
    std::string text;
    for (int i = 0; i < 100; ++i) text += "line " + std::to_string(i) + std::string(200, '.') + "\r";
    c.SetText(text);
    ASSERT_EQ(c.VisibleLines(), 25);
    EXPECT_FALSE(c.AutoScrollStep());  // nothing held
    now += 1000;
    c.MouseDown(X(0), Y(0), 0, now);
    c.MouseMove(X(3), host.height + 5, 0, true);
    EXPECT_EQ(c.TopLine(), 1);
    EXPECT_EQ(c.Caret(), At(25, 3));  // the caret end stays on the bottom line of the view
    EXPECT_TRUE(c.AutoScrollStep());
    EXPECT_EQ(c.TopLine(), 2);
    EXPECT_EQ(c.Caret(), At(26, 3));
    c.MouseMove(X(3), host.height + 5, 0, true);  // the same position again: no step of its own
    EXPECT_EQ(c.TopLine(), 2);
    c.MouseMove(X(3), -5, 0, true);
    EXPECT_EQ(c.TopLine(), 1);
    EXPECT_EQ(c.Caret(), At(1, 3));
    c.MouseMove(host.width + 3, Y(0), 0, true);
    EXPECT_EQ(c.LeftColumn(), 1);
    EXPECT_TRUE(c.AutoScrollStep());
    EXPECT_EQ(c.LeftColumn(), 2);
    c.MouseMove(10, Y(0), 0, true);  // in the gutter
    EXPECT_EQ(c.LeftColumn(), 1);
    EXPECT_EQ(c.Caret(), At(1, 1));
    EXPECT_EQ(c.Anchor(), 0);
    c.MouseUp(10, Y(0), 0);
    EXPECT_FALSE(c.AutoScrollStep());
    EXPECT_EQ(c.LeftColumn(), 1);
}

TEST_F(Mouse, DataDraggedNearTheEdgesScrollsTheView)
{
    std::string text;
    for (int i = 0; i < 60; ++i) text += "line " + std::to_string(i) + "\r";
    c.SetText(text);
    EXPECT_EQ(c.DragEnter(stText, 0, X(2), Y(10)), DropEffect::deMove);
    EXPECT_EQ(c.DropCaret(), At(10, 2));
    EXPECT_FALSE(c.AutoScrollStep());
    c.DragOver(0, X(2), host.height - 20);  // within two lines of the bottom
    EXPECT_EQ(c.TopLine(), 1);
    EXPECT_TRUE(c.AutoScrollStep());
    EXPECT_EQ(c.TopLine(), 2);
    EXPECT_EQ(c.DropCaret(), At(2 + 23, 2));
    c.DragOver(0, X(2), 20);
    EXPECT_EQ(c.TopLine(), 1);
    c.DragLeave();
    EXPECT_EQ(c.DropCaret(), -1);
    EXPECT_FALSE(c.AutoScrollStep());
    EXPECT_EQ(c.TopLine(), 1);
    // A text that fits the window is not scrolled away.
    c.SetText("a\rb\rc\r");
    c.DragEnter(stText, 0, X(0), host.height - 5);
    EXPECT_FALSE(c.AutoScrollStep());
    EXPECT_EQ(c.TopLine(), 0);
    c.DragLeave();
}

// ---------------------------------------------------------------- hyperlinks

class Hyperlinks : public Mouse {
protected:
    VOzuvavIdavParser sql;
    static constexpr std::uint8_t kString = 3;  // the SQL highlighter's token value of strings

    void SetUp() override
    {
        Mouse::SetUp();
        LoadBuiltInSqlHighlighter(sql);
        c.SetParser(1, &sql);
        MakeHotSpot(kString, true);
    }
    void TearDown() override { c.SetParser(1, nullptr); }
    void MakeHotSpot(std::uint8_t token, bool on)
    {
        TSM_Settings& s = c.Settings();
        StyleRecord style = s.Style(s.StyleIndex(token));
        style.hotSpot = on;
        s.SetStyle(s.StyleIndex(token), style);
    }
};

TEST_F(Hyperlinks, ATokenSplitOverWrappedSegmentsIsReportedWhole)
{
    c.SetText("select 'aaaa bbbb cccc dddd eeee' from t\r");
    c.SetWrapAtColumn(20);
    c.SetWordWrap(true);
    c.FlushChange();
    ASSERT_GE(c.Store().LineCount(), 2);
    ASSERT_TRUE(c.Store().FromLine(1).record->IsContinuation());
    std::vector<std::pair<std::string, int>> clicks;
    c.OnHyperlinkClick = [&](TCustomDoravaVizu&, const std::string& text, int type) {
        clicks.emplace_back(text, type);
    };
    // A character of the string on the second segment, and one on the first.
    Click(1, 1);
    EXPECT_EQ(c.Caret(), At(1, 1));
    Click(9, 0);
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[0].first, "'aaaa bbbb cccc dddd eeee'");
    EXPECT_EQ(clicks[0].second, kString);
    EXPECT_EQ(clicks[1], clicks[0]);
    // The caret stays where the click was, and the button held selects from there.
    c.MouseDown(X(9), Y(0), 0, now += 1000);
    c.MouseMove(X(11), Y(0), 0, true);
    ExpectSelection(9, 11);
    c.MouseUp(X(11), Y(0), 0);
    // Other tokens are no links.
    Click(2, 0);
    EXPECT_EQ(clicks.size(), 3u);
}

TEST_F(Hyperlinks, HoverShowsTheLinkCursorAndReports)
{
    c.SetText("select 'link' from t\r");
    c.FlushChange();
    ASSERT_NE(c.Settings().StyleIndex(6), c.Settings().StyleIndex(kString));
    int hovers = 0;
    c.OnHyperlinkHover = [&](TCustomDoravaVizu&) { ++hovers; };
    c.MouseMove(X(9), Y(0), 0, false);
    EXPECT_EQ(host.cursor, CursorKind::crHyperlink);
    EXPECT_EQ(c.MouseCursor(), CursorKind::crHyperlink);
    EXPECT_EQ(hovers, 1);
    c.MouseMove(X(2), Y(0), 0, false);
    EXPECT_EQ(host.cursor, CursorKind::crIBeam);
    EXPECT_EQ(hovers, 1);
    // No style is a link any more: the cached answer follows the styles.
    MakeHotSpot(kString, false);
    c.MouseMove(X(9), Y(0), 0, false);
    EXPECT_EQ(host.cursor, CursorKind::crIBeam);
    std::string clicked;
    c.OnHyperlinkClick = [&](TCustomDoravaVizu&, const std::string& text, int) { clicked = text; };
    Click(9, 0);
    EXPECT_EQ(clicked, "");
    EXPECT_EQ(hovers, 1);
}

// ---------------------------------------------------------------- cursors

TEST_F(Mouse, CursorsFollowWhatLiesUnderTheMouse)
{
    c.SetText("alpha beta gamma\r");
    c.MouseMove(X(2), Y(0), 0, false);
    EXPECT_EQ(host.cursor, CursorKind::crIBeam);
    c.MouseMove(10, Y(0), 0, false);
    EXPECT_EQ(host.cursor, CursorKind::crDefault);
    c.Select(6, 10);
    c.MouseMove(X(7), Y(0), 0, false);
    EXPECT_EQ(host.cursor, CursorKind::crArrow);
    const int changes = host.cursorChanges;
    c.MouseMove(X(8), Y(0), 0, false);
    EXPECT_EQ(host.cursorChanges, changes);  // told only when it changes
    c.MouseMove(X(12), Y(0), 0, false);
    EXPECT_EQ(host.cursor, CursorKind::crIBeam);
    SetOption(smoOLEDragSource, false);
    c.MouseMove(X(7), Y(0), 0, false);
    EXPECT_EQ(host.cursor, CursorKind::crIBeam);
    c.MouseMove(X(80), Y(0), 0, false);  // the right-margin line
    EXPECT_EQ(host.cursor, CursorKind::crHSplit);
}

// ---------------------------------------------------------------- guide lines

TEST_F(Mouse, DraggingTheRightMarginLineSetsRightMargin)
{
    SetOption(smoShowGutter, false);
    host.width = 1002;  // column 100 is not near the right edge, where the view would scroll
    c.Resized();
    ASSERT_EQ(c.VisibleColumns(), 125);
    c.SetText("short\r" + std::string(90, 'x') + "\r");
    ASSERT_EQ(c.RightMargin(), 80);
    // Over a line that reaches the margin, the line cannot be taken.
    c.MouseMove(X(80), Y(1), 0, false);
    EXPECT_EQ(host.cursor, CursorKind::crIBeam);
    c.MouseMove(X(80), Y(0), 0, false);
    EXPECT_EQ(host.cursor, CursorKind::crHSplit);
    c.MouseDown(X(80), Y(0), 0, now += 1000);
    EXPECT_EQ(c.DraggedGuideX(), c.TextLeftEdge() + 80 * 8);
    c.MouseMove(X(100), Y(3), 0, true);
    EXPECT_EQ(c.DraggedGuideX(), c.TextLeftEdge() + 100 * 8);
    EXPECT_EQ(c.LeftColumn(), 0);
    c.MouseUp(X(100), Y(3), 0);
    EXPECT_EQ(c.RightMargin(), 100);
    EXPECT_EQ(c.DraggedGuideX(), -1);
    EXPECT_EQ(c.Caret(), 0);  // the caret stayed
    // Without the line shown there is nothing to drag.
    SetOption(smoShowRMargin, false);
    c.MouseDown(X(100), Y(0), 0, now += 1000);
    EXPECT_EQ(c.DraggedGuideX(), -1);
    c.MouseUp(X(60), Y(0), 0);
    EXPECT_EQ(c.RightMargin(), 100);
    EXPECT_EQ(c.Caret(), 5);
}

TEST_F(Mouse, DraggingTheWrapColumnLineRewraps)
{
    c.SetText("aaaa bbbb cccc dddd eeee ffff gggg hhhh iiii jjjj kkkk llll\rx\r");
    c.SetWrapAtColumn(20);
    c.SetWordWrap(true);
    const std::int64_t before = c.Store().LineCount();
    c.MouseDown(X(20), Y(before - 1), 0, now += 1000);  // on the short last line
    ASSERT_EQ(c.DraggedGuideX(), c.TextLeftEdge() + 20 * 8);
    c.MouseMove(X(30), Y(before - 1), 0, true);
    c.MouseMove(X(40), Y(before - 1), 0, true);
    c.MouseUp(X(40), Y(before - 1), 0);
    EXPECT_EQ(c.WrapAtColumn(), 40);
    EXPECT_LT(c.Store().LineCount(), before);
    EXPECT_GT(c.LineLength(0), 20);
    EXPECT_LE(c.LineLength(0), 40);
    EXPECT_EQ(c.RightMargin(), 80);
    // Dragged to the far left, the column stays at least 1.
    const std::int64_t last = c.Store().LineCount() - 1;
    c.MouseDown(X(40), Y(last), 0, now += 1000);
    c.MouseUp(-500, Y(last), 0);
    EXPECT_EQ(c.WrapAtColumn(), 1);
}

// ---------------------------------------------------------------- dropping data on the control

TEST_F(Mouse, ForeignDropsInsertAtThePointCopyWithCtrlElseMove)
{
    c.SetText("one two three");
    c.Select(8, 13);
    EXPECT_EQ(c.DragEnter(stText, scCtrl, X(4), Y(0)), DropEffect::deCopy);
    EXPECT_EQ(c.DragOver(0, X(4), Y(0)), DropEffect::deMove);
    EXPECT_EQ(c.DropCaret(), 4);
    EXPECT_EQ(c.Drop({stText, "", "XYZ", "", {}}, scCtrl, X(4), Y(0), false), DropEffect::deCopy);
    EXPECT_EQ(c.Text(), "one XYZtwo three");
    ExpectSelection(7, 7);
    EXPECT_EQ(c.DropCaret(), -1);
    c.Select(11, 16);
    // A move from elsewhere leaves the control's own selection alone.
    EXPECT_EQ(c.Drop({stText, "", "Q\r\n", "", {}}, 0, X(0), Y(0), false), DropEffect::deMove);
    EXPECT_EQ(c.Text(), "Q\rone XYZtwo three");
    ExpectSelection(2, 2);
    c.Undo();
    EXPECT_EQ(c.Text(), "one XYZtwo three");
    c.Undo();
    EXPECT_EQ(c.Text(), "one two three");
    EXPECT_FALSE(c.CanUndo());
}

TEST_F(Mouse, DropTakesHtmlThenTextThenWideTextUnlessTheHandlerSaysOtherwise)
{
    c.SetText("");
    const Data all{stHTML | stText | stWideText, "junk<b>H</b>", "T", "W", {}};
    std::vector<std::uint16_t> seen;
    c.OnDataDrop = [&](TCustomDoravaVizu&, std::uint16_t& types) { seen.push_back(types); };
    c.Drop(all, scCtrl, X(0), Y(0), false);
    EXPECT_EQ(c.Text(), "junk<b>H</b>");  // unfiltered: the drop adds the no-filter bit
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], stHTML | stText | stWideText | 0x0400 | 0x0800);

    c.OnDataDrop = [](TCustomDoravaVizu&, std::uint16_t& types) { types &= ~stHTML; };
    c.SetText("");
    c.Drop(all, scCtrl, X(0), Y(0), false);
    EXPECT_EQ(c.Text(), "T");
    c.OnDataDrop = [](TCustomDoravaVizu&, std::uint16_t& types) { types &= ~(stHTML | stText); };
    c.SetText("");
    c.Drop(all, scCtrl, X(0), Y(0), false);
    EXPECT_EQ(c.Text(), "W");
    // The handler asks for the HTML filter.
    c.OnDataDrop = [](TCustomDoravaVizu&, std::uint16_t& types) {
        types = static_cast<std::uint16_t>((types & ~0x0400) | 0x4000);
    };
    c.SetText("");
    c.Drop(all, scCtrl, X(0), Y(0), false);
    EXPECT_EQ(c.Text(), "<b>H</b>");
    // Formats that were not offered cannot be chosen; bit 0x1000 means the handler did it all.
    c.OnDataDrop = [](TCustomDoravaVizu&, std::uint16_t& types) { types |= stHTML; };
    c.SetText("");
    EXPECT_EQ(c.Drop({stText, "", "plain", "", {}}, 0, X(0), Y(0), false), DropEffect::deMove);
    EXPECT_EQ(c.Text(), "plain");
    c.OnDataDrop = [](TCustomDoravaVizu&, std::uint16_t& types) { types |= 0x1000; };
    EXPECT_EQ(c.Drop(all, 0, X(0), Y(0), false), DropEffect::deNone);
    EXPECT_EQ(c.Text(), "plain");
    c.OnDataDrop = [](TCustomDoravaVizu&, std::uint16_t& types) { types = 0x0400; };
    EXPECT_EQ(c.Drop(all, 0, X(0), Y(0), false), DropEffect::deNone);
    EXPECT_EQ(c.Text(), "plain");
}

TEST_F(Mouse, DroppedFilesGoToTheHandlerOnlyWithTheOption)
{
    c.SetText("text");
    std::vector<std::string> got;
    int gotX = 0, gotY = 0;
    c.OnFilesDropped = [&](TCustomDoravaVizu&, std::vector<std::string>& files, int x, int y) {
        got = files;
        gotX = x;
        gotY = y;
    };
    const Data files{stFiles, "", "", "", {"a.sql", "/no/such/folder/missing.sql"}};
    // Files are only ever copied, so that their source keeps them.
    EXPECT_EQ(c.DragEnter(stFiles, 0, X(0), Y(0)), DropEffect::deCopy);
    EXPECT_EQ(c.Drop(files, 0, 17, 33, false), DropEffect::deCopy);
    EXPECT_EQ(got, (std::vector<std::string>{"a.sql", "/no/such/folder/missing.sql"}));
    EXPECT_EQ(gotX, 17);
    EXPECT_EQ(gotY, 33);
    EXPECT_EQ(c.Text(), "text");  // reported, not typed in
    EXPECT_EQ(host.focusTaken, 1);
    // Text offered beside the files is preferred.
    got.clear();
    EXPECT_EQ(c.Drop({stFiles | stText, "", "T", "", {"x.sql"}}, 0, X(0), Y(0), false), DropEffect::deCopy);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(c.Text(), "Ttext");
    // A read-only control still reports them.
    c.ReadOnly = true;
    EXPECT_EQ(c.DragEnter(stFiles, 0, X(0), Y(0)), DropEffect::deCopy);
    EXPECT_EQ(c.Drop(files, 0, X(0), Y(0), false), DropEffect::deCopy);
    EXPECT_EQ(got.size(), 2u);
    c.ReadOnly = false;
    // A program that does not take them (no handler, or 0x0800 cleared) gets their names typed in.
    c.OnDataDrop = [](TCustomDoravaVizu&, std::uint16_t& types) { types &= ~0x0800; };
    got.clear();
    EXPECT_EQ(c.Drop(files, 0, X(0), Y(0), false), DropEffect::deCopy);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(c.Text(), "a.sql\r/no/such/folder/missing.sqlTtext");
    c.OnDataDrop = nullptr;
    // Without the option, files are refused.
    SetOption(smoProcessDroppedFiles, false);
    EXPECT_EQ(c.DragEnter(stFiles, 0, X(0), Y(0)), DropEffect::deNone);
    EXPECT_EQ(c.DragOver(0, X(0), Y(0)), DropEffect::deNone);
    EXPECT_EQ(c.Drop(files, 0, X(0), Y(0), false), DropEffect::deNone);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(c.DragEnter(stFiles | stText, 0, X(0), Y(0)), DropEffect::deMove);
    c.DragLeave();
}

TEST_F(Mouse, DragOverHandlerMayChangeTheEffect)
{
    c.SetText("abc");
    std::vector<int> seen;
    c.OnOLEDragOver = [&](TCustomDoravaVizu&, std::uint16_t types, int x, int y, DropEffect& effect) {
        seen.insert(seen.end(), {types, x, y, static_cast<int>(effect)});
        effect = DropEffect::deNone;
    };
    c.DragEnter(stText | stHTML, 0, X(1), Y(0));
    EXPECT_EQ(c.DragOver(0, X(2), Y(0)), DropEffect::deNone);
    EXPECT_EQ(seen, (std::vector<int>{stText | stHTML, X(2), Y(0), static_cast<int>(DropEffect::deMove)}));
    EXPECT_EQ(c.DropCaret(), 2);
}

TEST_F(Mouse, ReadOnlyTakesNoText)
{
    c.SetText("fixed");
    c.ReadOnly = true;
    EXPECT_EQ(c.DragEnter(stText | stHTML, 0, X(0), Y(0)), DropEffect::deNone);
    EXPECT_EQ(c.Drop({stText, "", "X", "", {}}, 0, X(0), Y(0), false), DropEffect::deNone);
    EXPECT_EQ(c.Text(), "fixed");
    // Its selection can still be dragged out, as a copy.
    c.Select(1, 3);
    host.dragResult = DropEffect::deMove;  // a target that ignores what was allowed
    c.MouseDown(X(2), Y(0), 0, now += 1000);
    c.MouseMove(X(3), Y(0), 0, true);
    EXPECT_EQ(host.drags, 1);
    EXPECT_TRUE(host.dragCopyOnly);
    EXPECT_EQ(host.draggedText, "ix");
    EXPECT_EQ(c.Text(), "fixed");
}

TEST_F(Mouse, BinaryAndHugeDropsArriveWhole)
{
    c.SetText("[]");
    std::string binary;
    for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
    binary += std::string("\0\0x\0", 4);
    EXPECT_EQ(c.Drop({stText, "", binary, "", {}}, scCtrl, X(1), Y(0), false), DropEffect::deCopy);
    EXPECT_EQ(c.Text(), "[" + NormalizeText(binary) + "]");
    c.Undo();
    EXPECT_EQ(c.Text(), "[]");

    std::string huge;
    const std::string line = "select * from a_table where a_column = 'some value';\r\n";
    while (huge.size() < (16u << 20)) huge += line;
    huge += std::string(5000, 'q');  // and one line longer than a segment
    EXPECT_EQ(c.Drop({stText, "", huge, "", {}}, scCtrl, X(1), Y(0), false), DropEffect::deCopy);
    EXPECT_EQ(c.Store().CharCount(), 2 + static_cast<std::int64_t>(NormalizeText(huge).size()));
    EXPECT_EQ(c.Text(), "[" + NormalizeText(huge) + "]");
    EXPECT_EQ(c.Caret(), c.Store().CharCount() - 1);
    c.Undo();
    EXPECT_EQ(c.Text(), "[]");
}

// ---------------------------------------------------------------- dragging the selection

class OwnDrag : public Mouse {
protected:
    // Drags the selection from column `from` and drops it at column `to` of line 0, with the
    // modifiers `shift` at the drop; returns what the drop answered.
    DropEffect DragTo(std::int64_t from, std::int64_t to, std::uint16_t shift)
    {
        DropEffect dropped = DropEffect::deNone;
        host.duringDrag = [&](std::string_view text, bool) {
            c.DragEnter(stText, shift, X(to), Y(0));
            c.DragOver(shift, X(to), Y(0));
            dropped = c.Drop({stText, "", std::string(text), "", {}}, shift, X(to), Y(0), true);
            return dropped;
        };
        c.MouseDown(X(from), Y(0), 0, now += 1000);
        c.MouseMove(X(from) + 2, Y(0), 0, true);
        host.duringDrag = nullptr;
        return dropped;
    }
    // Drags the selection from column `from` of line 0 to another program, which answers
    // host.dragResult.
    void DragOut(std::int64_t from)
    {
        c.MouseDown(X(from), Y(0), 0, now += 1000);
        c.MouseMove(X(from) + 2, Y(0), 0, true);
    }
};

TEST_F(OwnDrag, MoveWithinTheTextIsOneUndoStep)
{
    c.SetText("alpha beta gamma");
    c.Select(6, 11);                                  // "beta "
    EXPECT_EQ(DragTo(7, 13, 0), DropEffect::deMove);  // between "ga" and "mma"
    EXPECT_EQ(host.draggedText, "beta ");
    EXPECT_FALSE(host.dragCopyOnly);
    EXPECT_EQ(c.Text(), "alpha gabeta mma");
    ExpectSelection(8, 13);  // the moved text
    // The move is closed: what follows is a step of its own.
    c.Select(16, 16);
    c.KeyPress('!');
    c.Undo();
    EXPECT_EQ(c.Text(), "alpha gabeta mma");
    c.Undo();
    EXPECT_EQ(c.Text(), "alpha beta gamma");
    ExpectSelection(6, 11);
    EXPECT_FALSE(c.CanUndo());
    c.Redo();
    EXPECT_EQ(c.Text(), "alpha gabeta mma");

    // Backwards, over line breaks (the dragged text has CR LF; the store keeps CR).
    c.SetText("one\rtwo\rthree");
    c.Select(4, 8);                                  // "two\r"
    EXPECT_EQ(DragTo(1, 0, 0), DropEffect::deNone);  // pressed outside the selection: no drag
    c.Select(4, 8);
    host.duringDrag = [&](std::string_view text, bool) {
        EXPECT_EQ(text, "two\r\n");
        return c.Drop({stText, "", std::string(text), "", {}}, 0, X(0), Y(0), true);
    };
    c.MouseDown(X(1), Y(1), 0, now += 1000);
    c.MouseMove(X(2), Y(1), 0, true);
    EXPECT_EQ(c.Text(), "two\rone\rthree");
    ExpectSelection(0, 4);
    c.Undo();
    EXPECT_EQ(c.Text(), "one\rtwo\rthree");
}

TEST_F(OwnDrag, CtrlDropCopiesAndSelectsTheCopy)
{
    c.SetText("alpha beta gamma");
    c.Select(6, 11);
    EXPECT_EQ(DragTo(7, 0, scCtrl), DropEffect::deCopy);
    EXPECT_EQ(c.Text(), "beta alpha beta gamma");
    ExpectSelection(0, 5);
    c.Undo();
    EXPECT_EQ(c.Text(), "alpha beta gamma");
    EXPECT_FALSE(c.CanUndo());
}

TEST_F(OwnDrag, DropInsideTheSelectionChangesNothing)
{
    c.SetText("alpha beta gamma");
    c.Select(6, 11);
    EXPECT_EQ(DragTo(7, 9, 0), DropEffect::deNone);
    EXPECT_EQ(DragTo(7, 11, 0), DropEffect::deNone);  // its end: a move in place
    EXPECT_EQ(DragTo(7, 8, scCtrl), DropEffect::deNone);
    EXPECT_EQ(c.Text(), "alpha beta gamma");
    ExpectSelection(6, 11);
    EXPECT_FALSE(c.CanUndo());
    EXPECT_EQ(host.drags, 3);
}

TEST_F(OwnDrag, DragOutToAnotherProgram)
{
    c.SetText("alpha beta gamma");
    c.Select(6, 11);
    host.dragResult = DropEffect::deCopy;
    DragOut(7);
    EXPECT_EQ(c.Text(), "alpha beta gamma");
    ExpectSelection(6, 11);
    host.dragResult = DropEffect::deNone;
    DragOut(7);
    EXPECT_EQ(c.Text(), "alpha beta gamma");
    ExpectSelection(6, 11);
    EXPECT_FALSE(c.CanUndo());
    host.dragResult = DropEffect::deMove;
    DragOut(7);
    EXPECT_EQ(c.Text(), "alpha gamma");
    ExpectSelection(6, 6);
    c.Undo();
    EXPECT_EQ(c.Text(), "alpha beta gamma");
    EXPECT_FALSE(c.CanUndo());
    // Without the option, pressing on the selection and moving selects anew.
    SetOption(smoOLEDragSource, false);
    c.Select(6, 11);
    c.MouseDown(X(7), Y(0), 0, now += 1000);
    c.MouseMove(X(9), Y(0), 0, true);
    EXPECT_EQ(host.drags, 3);
    ExpectSelection(7, 9);
}

TEST_F(OwnDrag, AClaimOfOwnDataOutsideADragIsTakenAsForeign)
{
    c.SetText("alpha beta gamma");
    c.Select(6, 11);
    EXPECT_EQ(c.Drop({stText, "", "beta ", "", {}}, 0, X(16), Y(0), true), DropEffect::deMove);
    EXPECT_EQ(c.Text(), "alpha beta gammabeta ");
}

}  // namespace
}  // namespace tarnwick
