// Editing through the editor control: the selection, typed keys and the editing commands, caret
// moves and bookmarks, the clipboard, undo and redo, and random edits against a plain string.

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "doravavizu_fixture.h"
#include "editor/export_writers.h"
#include "editor/marks.h"

namespace tarnwick {
namespace {

using test::Control;

// ---------------------------------------------------------------- selection

TEST_F(Control, SelectionIsClampedAndCountsLineBreaksAsSelTextDoes)
{
    Load("ab\rcd\ref");
    c.Select(-1, 0);
    EXPECT_EQ(c.SelStart(), 0);
    EXPECT_EQ(c.SelEnd(), 8);
    c.Select(-5, 100);
    EXPECT_EQ(c.Anchor(), 0);
    EXPECT_EQ(c.Caret(), 8);
    c.Select(0, 6);  // two whole lines
    EXPECT_EQ(c.SelLength(), 8);
    EXPECT_EQ(c.SelText(), "ab\r\ncd\r\n");
    c.SetSelLineStyle(lsLF);
    EXPECT_EQ(c.SelLength(), 6);
    c.SetSelStart(3);
    c.SetSelLength(2);
    EXPECT_EQ(c.SelText(), "cd");
    std::int64_t pair[2] = {0, 0};
    c.Perform(SM_SELECTION, 0, reinterpret_cast<std::intptr_t>(pair));
    EXPECT_EQ(pair[0], 3);
    EXPECT_EQ(pair[1], 5);
}

// ---------------------------------------------------------------- typing, editing, undo

TEST_F(Control, TypingAndUndoRestoreTextAndSelection)
{
    Load("hello\rworld");
    c.Select(5, 5);
    Type(" there");
    EXPECT_EQ(c.Text(), "hello there\rworld");
    EXPECT_TRUE(c.Modified());
    // Each typed character is one step.
    c.Undo();
    EXPECT_EQ(c.Text(), "hello ther\rworld");
    for (int i = 0; i < 5; ++i) c.Undo();
    EXPECT_EQ(c.Text(), "hello\rworld");
    EXPECT_EQ(c.Caret(), 5);
    EXPECT_FALSE(c.Modified());
    for (int i = 0; i < 6; ++i) c.Redo();
    EXPECT_EQ(c.Text(), "hello there\rworld");
    c.SetModified(true);
    EXPECT_TRUE(c.CanUndo());
    c.SetModified(false);
    EXPECT_FALSE(c.CanUndo());
    c.Undo();
    EXPECT_EQ(c.Text(), "hello there\rworld");

    c.ReadOnly = true;
    Type("zz");
    c.ExecuteCommand(16, 0, false);
    EXPECT_EQ(c.Text(), "hello there\rworld");
}

TEST_F(Control, EveryEditingCommandUndoesToTheSameTextAndSelection)
{
    const std::string text = "  alpha beta\r\tgamma_delta(x)\r\rzeta eta theta\r  last";
    const std::vector<int> commands = {15, 16, 17, 18, 40, 43, 45};
    for (const int command : commands) {
        for (const auto& [a, k] : std::vector<std::pair<int, int>>{{4, 4}, {3, 20}, {0, 0}, {50, 50}, {14, 14}}) {
            Load(text);
            c.Select(a, k);
            const std::string before = c.Text();
            const std::int64_t anchor = c.Anchor(), caret = c.Caret();
            c.ExecuteCommand(command, 0, false);
            if (c.Text() == before) continue;
            c.Undo();
            EXPECT_EQ(c.Text(), before) << "command " << command << " at " << a << "," << k;
            if (command == 40) {
                // Undo selects the line that came back, the caret's line.
                EXPECT_LE(c.SelStart(), caret);
                EXPECT_GE(c.SelEnd(), caret);
            } else {
                EXPECT_EQ(c.SelStart(), std::min(anchor, caret)) << "command " << command;
                EXPECT_EQ(c.SelEnd(), std::max(anchor, caret)) << "command " << command;
            }
            c.Redo();
            EXPECT_NE(c.Text(), before) << "command " << command;
        }
    }
}

TEST_F(Control, DeletesAtTheEdgesOfTheText)
{
    Load("ab\rcd");
    c.Select(0, 0);
    c.ExecuteCommand(16, 0, false);  // backspace at 0
    EXPECT_EQ(c.Text(), "ab\rcd");
    c.Select(5, 5);
    c.ExecuteCommand(15, 0, false);  // Del at the end
    EXPECT_EQ(c.Text(), "ab\rcd");
    c.Select(4, 4);
    c.ExecuteCommand(40, 0, false);  // delete current line on the last line
    EXPECT_EQ(c.Text(), "ab\r");
    c.Select(1, 1);
    c.ExecuteCommand(40, 0, false);
    EXPECT_EQ(c.Text(), "");
}

TEST_F(Control, DeletingNothingChangesNothing)
{
    Load("abc");
    ASSERT_FALSE(c.Modified());
    c.Select(0, 0);
    Keys(vkBack);
    c.Select(3, 3);
    Keys(vkDelete);
    EXPECT_EQ(c.Text(), "abc");
    EXPECT_FALSE(c.Modified());
    EXPECT_FALSE(c.CanUndo());
    // Nor does it take away what can be redone.
    Type("d");
    c.Undo();
    Keys(vkDelete);
    EXPECT_TRUE(c.CanRedo());
    c.Redo();
    EXPECT_EQ(c.Text(), "abcd");
}

TEST_F(Control, JoiningTwoLinesMakesOneLineAgain)
{
    Load("ab\rx\rnext");
    c.Select(3, 3);
    Keys(vkBack);
    EXPECT_EQ(c.Text(), "abx\rnext");
    EXPECT_EQ(c.Store().LineCount(), 2);
    Keys(vkHome, scShift);
    EXPECT_EQ(c.SelStart(), 0);
    EXPECT_EQ(c.SelEnd(), 2);
    // Deleting a selection across a line break, and the same at the end of the text.
    Load("one\rtwo\rthree");
    c.Select(2, 5);
    c.DeleteSelection();
    EXPECT_EQ(c.Store().LineCount(), 2);
    Load("a\rb");
    c.Select(1, 1);
    Keys(vkDelete);
    EXPECT_EQ(c.Store().LineCount(), 1);
    // A joined line too long for one record stays cut.
    Load(std::string(1500, 'a') + "\r" + std::string(1500, 'b'));
    c.Select(1500, 1500);
    Keys(vkDelete);
    EXPECT_EQ(c.Store().LineCount(), 2);
    EXPECT_EQ(c.Text(), std::string(1500, 'a') + std::string(1500, 'b'));
}

TEST_F(Control, OverwriteModeNeverEatsALineBreak)
{
    Load("ab\rcd");
    c.ExecuteCommand(19, 0, false);
    EXPECT_FALSE(c.InsertMode());
    c.Select(0, 0);
    Type("XYZ");
    EXPECT_EQ(c.Text(), "XYZ\rcd");
    c.ExecuteCommand(19, 0, false);
    Type("!");
    EXPECT_EQ(c.Text(), "XYZ!\rcd");
}

TEST_F(Control, TabAndEnterFillWhitespace)
{
    Load("");
    SetOption(smoUseTAB, false);
    Type("ab\t");
    EXPECT_EQ(c.Text(), "ab  ");  // blanks to the next stop (4)
    Load("");
    SetOption(smoUseTAB, true);
    SetOption(smoSmartFill, true);
    SetOption(smoWordWrap, true);
    Type("ab\t");
    EXPECT_EQ(c.Text(), "ab\t");
    SetOption(smoWordWrap, false);

    // Smart tab: under the next word of the line above.
    Load("select  a,\r");
    c.Select(11, 11);
    SetOption(smoUseTAB, false);
    Type("\t");
    EXPECT_EQ(c.Text(), "select  a,\r        ");

    // Auto-indent takes the indentation of the caret line.
    Load("    begin");
    c.Select(9, 9);
    Type("\rx");
    EXPECT_EQ(c.Text(), "    begin\r    x");
    // With the caret at the end of the indentation and text right after it, none is added.
    Load("    begin");
    c.Select(4, 4);
    Type("\r");
    EXPECT_EQ(c.Text(), "    \rbegin");
    // A line without indentation: the nearest non-blank line above gives the column.
    Load("  if x\r\r");
    c.Select(8, 8);
    Type("\ry");
    EXPECT_EQ(c.Text(), "  if x\r\r\r  y");
}

TEST_F(Control, BlockIndentAndUnindent)
{
    Load("a\r\tb\r  c\rd");
    c.SetIndentStep(2);
    c.Select(0, 9);  // ends at the start of "d": that line is left alone
    c.ExecuteCommand(17, 0, false);
    EXPECT_EQ(c.Text(), "  a\r  \tb\r    c\rd");
    c.Undo();
    EXPECT_EQ(c.Text(), "a\r\tb\r  c\rd");
    c.Select(0, 9);
    c.ExecuteCommand(18, 0, false);
    // A tab and then only a blank would go; "\tb" loses the tab, "  c" both blanks.
    EXPECT_EQ(c.Text(), "a\rb\rc\rd");
    c.Undo();
    EXPECT_EQ(c.Text(), "a\r\tb\r  c\rd");
    Load("\t b");
    c.Select(0, 3);
    c.ExecuteCommand(18, 0, false);
    EXPECT_EQ(c.Text(), "b");
}

TEST_F(Control, KeysGoToTemplatesAutoReplaceThenTheBindings)
{
    Load("");
    TSM_Settings& s = c.Settings();
    s.AutoReplace().Add("teh", "", false, "the");
    s.Templates().Add("sel", "select", false, "select * from ");
    Type("teh");
    Keys(vkSpace);  // a trigger key: the word before the caret is replaced
    Type(" end");
    EXPECT_EQ(c.Text(), "the end");
    Type(" sel");
    Keys('J', scCtrl);  // the template hot key
    EXPECT_EQ(c.Text(), "the end select * from ");
    c.Undo();  // an expansion is one step
    EXPECT_EQ(c.Text(), "the end sel");

    // A key that breaks a two-key sequence is handed back and typed as usual.
    Load("");
    EXPECT_TRUE(c.KeyDown('K', scCtrl));
    EXPECT_FALSE(c.KeyDown('X', 0));
    Type("x");
    EXPECT_EQ(c.Text(), "x");
    EXPECT_FALSE(c.KeyDown('X', 0));  // no sequence is pending any more

    // A two-key sequence (Ctrl+K, then I indents), and a handler that changes the command.
    Load("abc\rdef");
    c.Select(0, 5);
    EXPECT_TRUE(c.KeyDown('K', scCtrl));
    EXPECT_TRUE(c.KeyDown('I', 0));
    EXPECT_EQ(c.Text(), " abc\r def");
    int recognised = -1;
    c.OnCommandRecognised = [&](TCustomDoravaVizu&, int& command) {
        recognised = command;
        command = 10;  // document start instead
    };
    c.Select(3, 3);
    EXPECT_TRUE(c.KeyDown(vkEnd, 0));
    EXPECT_EQ(recognised, 3);
    EXPECT_EQ(c.Caret(), 0);
    // Shift with an arrow key extends the selection through the plain binding.
    c.OnCommandRecognised = nullptr;
    EXPECT_TRUE(c.KeyDown(vkRight, scShift));
    EXPECT_EQ(c.SelStart(), 0);
    EXPECT_EQ(c.SelEnd(), 1);
    EXPECT_FALSE(c.KeyDown('Q', 0));  // no binding: a character to type
}

// ---------------------------------------------------------------- caret moves and bookmarks

TEST_F(Control, MovesSelectLineBreaksAndKeepTheTrackedColumn)
{
    Load("a long first line\rshort\ranother long line");
    c.Select(17, 17);  // end of the first line
    Keys(vkRight, scShift);
    EXPECT_EQ(c.SelStart(), 17);
    EXPECT_EQ(c.SelEnd(), 18);  // the line break is selected
    c.Select(12, 12);
    Keys(vkDown);
    EXPECT_EQ(c.Caret(), 18 + 5);  // clamped to the end of "short"
    Keys(vkDown);
    EXPECT_EQ(c.Caret(), 24 + 12);  // back to column 12
    Keys(vkUp);
    Keys(vkUp);
    EXPECT_EQ(c.Caret(), 12);
    Keys(vkDown, scShift);
    EXPECT_EQ(c.Anchor(), 12);  // an extending move keeps its anchor
    EXPECT_EQ(c.Caret(), 23);

    c.Select(9, 9);  // inside "first"
    c.ExecuteCommand(8, 0, false);
    EXPECT_EQ(c.Caret(), 7);
    c.ExecuteCommand(9, 0, false);
    EXPECT_EQ(c.Caret(), 13);
    c.ExecuteCommand(11, 0, true);
    EXPECT_EQ(c.Anchor(), 13);
    EXPECT_EQ(c.Caret(), c.Store().CharCount());
    c.ExecuteCommand(2, 0, false);
    EXPECT_EQ(c.Caret(), 24);
}

TEST_F(Control, CaretBeyondTheLineEnd)
{
    Load("ab\rcdef");
    SetOption(smoCaretAfterEOL, true);
    SetOption(smoUseTAB, false);
    c.Select(2, 2);
    Keys(vkRight);
    Keys(vkRight);
    EXPECT_TRUE(c.CaretBeyondEol());
    EXPECT_EQ(c.VirtualColumn(), 4);
    EXPECT_EQ(c.Caret(), 2);
    EXPECT_EQ(c.GetCaretPos(), (std::pair<std::int64_t, std::int64_t>{5, 1}));
    Keys(vkBack);  // only the virtual column moves
    EXPECT_EQ(c.VirtualColumn(), 3);
    EXPECT_EQ(c.Text(), "ab\rcdef");
    Type("x");  // the gap is filled first
    EXPECT_EQ(c.Text(), "ab x\rcdef");
    EXPECT_FALSE(c.CaretBeyondEol());
    c.Undo();
    EXPECT_EQ(c.Text(), "ab\rcdef");
}

TEST_F(Control, CaretToALineAndColumn)
{
    Load("\tab\rxy\rabcdefgh\rlast");
    c.SetTabDefault(4);
    c.Select(1, 3);  // a selection goes
    c.CaretToLineColumn(2, 5);
    EXPECT_EQ(c.SelStart(), c.SelEnd());
    EXPECT_EQ(c.GetCaretPos(), (std::pair<std::int64_t, std::int64_t>{6, 3}));
    c.CaretToLineColumn(1, 5);  // the line is shorter: its end
    EXPECT_EQ(c.Caret(), 6);
    c.CaretToLineColumn(0, 5);  // the tab fills columns 0..3: column 5 is the "b"
    EXPECT_EQ(c.GetCaretPos().second, 1);
    EXPECT_EQ(c.Caret(), 2);
    c.CaretToLineColumn(99, 3);  // past the last line: on the last line
    EXPECT_EQ(c.Caret(), c.Store().CharCount());
    c.CaretToLineColumn(-4, 0);
    EXPECT_EQ(c.Caret(), 0);

    // A caret beyond the end of its line comes back into the text of the new line.
    SetOption(smoCaretAfterEOL, true);
    c.Select(6, 6);
    Keys(vkRight);
    Keys(vkRight);
    ASSERT_TRUE(c.CaretBeyondEol());
    c.CaretToLineColumn(3, c.GetCaretPos().first - 1);
    EXPECT_FALSE(c.CaretBeyondEol());
    EXPECT_EQ(c.Caret(), c.LineStart(3) + 4);
    EXPECT_EQ(c.GetCaretPos(), (std::pair<std::int64_t, std::int64_t>{5, 4}));
}

TEST_F(Control, BookmarksToggleMoveAndGo)
{
    Load("zero\rone\rtwo\rthree");
    std::vector<int> set, cleared;
    c.OnBookmarkSet = [&](TCustomDoravaVizu&, int n) { set.push_back(n); };
    c.OnBookmarkClear = [&](TCustomDoravaVizu&, int n) { cleared.push_back(n); };
    c.Select(7, 7);  // line 1, column 2
    c.ExecuteCommand(23, 0, false);
    EXPECT_EQ(FindNumberedBookmark(c.Store(), 3), c.Store().FromLine(1).record);
    c.ExecuteCommand(23, 0, false);  // again on the same line: removed
    EXPECT_EQ(FindNumberedBookmark(c.Store(), 3), nullptr);
    c.ExecuteCommand(23, 0, false);
    c.Select(15, 15);                // line 3
    c.ExecuteCommand(23, 0, false);  // moves
    EXPECT_EQ(FindNumberedBookmark(c.Store(), 3), c.Store().FromLine(3).record);
    EXPECT_EQ(set, (std::vector<int>{3, 3, 3}));
    EXPECT_EQ(cleared, (std::vector<int>{3}));

    c.Select(0, 0);
    c.ExecuteCommand(33, 0, false);
    EXPECT_EQ(c.Caret(), 13 + 2);    // stored column, clamped to "three"
    c.ExecuteCommand(35, 0, false);  // not set: the caret stays
    EXPECT_EQ(c.Caret(), 15);
}

TEST_F(Control, ABookmarkInAWrappedSegmentKeepsItsColumn)
{
    Load("aaaa bbbb cccc dddd eeee\rnext");
    c.SetWrapAtColumn(10);
    c.SetWordWrap(true);
    ASSERT_TRUE(c.Store().FromLine(1).record->IsContinuation());
    c.Select(12, 12);  // in the line's second segment
    Keys('K', scCtrl);
    Keys('4', 0);
    EXPECT_EQ(c.Store().BookmarkColumn(4), 13);
    c.Select(26, 26);
    Keys('Q', scCtrl);
    Keys('4', 0);
    EXPECT_EQ(c.Caret(), 12);
}

// ---------------------------------------------------------------- the clipboard

TEST_F(Control, PastingLongTextReportsChunksAndIsOneUndoStep)
{
    Load("[]");
    std::vector<std::pair<std::int64_t, std::int64_t>> changes;
    c.OnTextChange = [&](TCustomDoravaVizu&, std::int64_t s, std::int64_t n) { changes.emplace_back(s, n); };
    host.ClipboardSetText(std::string(20000, 'x'));
    c.Select(1, 1);
    c.Paste();
    EXPECT_EQ(c.Store().CharCount(), 20002);
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0], (std::pair<std::int64_t, std::int64_t>{1, 8192}));
    EXPECT_EQ(changes[2].second, 20000 - 2 * 8192);
    c.Undo();
    EXPECT_EQ(c.Text(), "[]");

    c.Select(0, 1);
    c.Cut();
    EXPECT_EQ(host.clipText, "[");
    EXPECT_NE(host.clipRtf.find("{\\rtf1"), std::string::npos);
    EXPECT_EQ(c.Text(), "]");
    c.ClipCopyFormats = 0;
    c.Select(0, 1);
    c.Copy();
    EXPECT_FALSE(host.hasText);  // copy only emptied the clipboard
}

TEST_F(Control, PastingHtmlIsFilteredOnlyWhenAskedTo)
{
    Load("");
    host.ClipboardClear();
    host.clipHtml = "Version:0.9\r\n<html><!--StartFragment-->bold<!--EndFragment--></html>";
    host.hasHtml = true;
    std::uint16_t offered = 0;
    c.OnDataDrop = [&](TCustomDoravaVizu&, std::uint16_t& types) { offered = types; };
    c.Paste();  // HTML alone, no filter bits: the source text as it is
    EXPECT_EQ(offered, stHTML | stFromClipboard);
    EXPECT_EQ(c.Text(), "Version:0.9\r<html><!--StartFragment-->bold<!--EndFragment--></html>");
    Load("");
    c.OnDataDrop = [&](TCustomDoravaVizu&, std::uint16_t& types) { types |= stHTMLFragment; };
    c.Paste();
    EXPECT_EQ(c.Text(), "bold");
    c.OnDataDrop = [&](TCustomDoravaVizu&, std::uint16_t& types) { types = 0; };
    c.Paste();  // the handler took every format away: nothing happens
    EXPECT_EQ(c.Text(), "bold");
}

// ---------------------------------------------------------------- against a model

TEST_F(Control, RandomEditsMatchAPlainStringModel)
{
    std::mt19937 rng(7);
    Load("");
    std::string model;
    const std::string alphabet = "ab \t\r(x";
    for (int step = 0; step < 3000; ++step) {
        const int what = static_cast<int>(rng() % 10);
        const auto n = static_cast<std::int64_t>(model.size());
        if (what < 4) {
            const char ch = alphabet[rng() % alphabet.size()];
            const auto lo = static_cast<std::size_t>(c.SelStart());
            const auto hi = static_cast<std::size_t>(c.SelEnd());
            model.replace(lo, hi - lo, 1, ch);
            c.SetSelText(std::string(1, ch));
            EXPECT_EQ(c.Text(), model) << "step " << step;
            EXPECT_EQ(c.Caret(), static_cast<std::int64_t>(lo + 1));
        } else if (what < 6) {
            const std::int64_t a = static_cast<std::int64_t>(rng() % (n + 1));
            const std::int64_t b = rng() % 3 ? a : static_cast<std::int64_t>(rng() % (n + 1));
            c.Select(a, b);
            const bool forward = rng() % 2;
            c.ExecuteCommand(forward ? 15 : 16, 0, false);
            const auto lo = static_cast<std::size_t>(std::min(a, b)), hi = static_cast<std::size_t>(std::max(a, b));
            if (lo != hi) model.erase(lo, hi - lo);
            else if (forward && lo < model.size()) model.erase(lo, 1);
            else if (!forward && lo > 0) model.erase(lo - 1, 1);
            EXPECT_EQ(c.Text(), model) << "step " << step;
        } else if (what < 8) {
            const std::string before = c.Text();
            c.Undo();
            c.Redo();
            EXPECT_EQ(c.Text(), before) << "step " << step;
            model = c.Text();
        } else {
            c.ExecuteCommand(static_cast<int>(rng() % 12), 0, rng() % 2 == 0);
            EXPECT_EQ(c.Text(), model);
        }
        ASSERT_GE(c.SelStart(), 0);
        ASSERT_LE(c.SelEnd(), c.Store().CharCount());
    }
    // Undo all the way back gives the empty text.
    while (c.CanUndo()) c.Undo();
    EXPECT_EQ(c.Text(), "");
}

}  // namespace
}  // namespace tarnwick
