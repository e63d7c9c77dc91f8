// The editor control's logic, driven through its public operations with a fake window.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "control/doravavizu.h"
#include "control/doravavizu_strings.h"
#include "editor/export_writers.h"
#include "editor/marks.h"
#include "highlight/builtin_sql.h"
#include "support/fake_host.h"
#include "temp_folder.h"

namespace tarnwick {
namespace {

using test::FakeHost;

class Control : public ::testing::Test {
protected:
    FakeHost host;
    VOzuvavIdav c{&host};

    void Load(std::string_view text) { c.SetText(text); }
    void Keys(std::uint16_t key, std::uint16_t shift = 0) { c.KeyDown(key, shift); }
    void Type(std::string_view text)
    {
        for (const char ch : text) c.KeyPress(ch);
    }
    void SetOption(VOzuvavIdavOption o, bool on)
    {
        c.SetOptions(on ? (c.Options() | OptionBit(o)) : (c.Options() & ~OptionBit(o)));
    }
};

// A stream that takes at most `limit` bytes per write.
class StingyStream : public TMemoryStream {
public:
    explicit StingyStream(std::size_t limit) : limit_(limit) {}
    std::size_t Write(const void* buffer, std::size_t count) override
    {
        ++writes;
        return TMemoryStream::Write(buffer, std::min(count, limit_));
    }
    int writes = 0;

private:
    std::size_t limit_;
};

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

// ---------------------------------------------------------------- loading and saving

TEST_F(Control, LoadingNeverSplitsCrLfAndMakesControlCharactersVisible)
{
    std::string text(8191, 'a');
    text += "\r\nbc\x01\x7f\tz";
    Load(text);
    EXPECT_EQ(c.Store().CharCount(), 8191 + 1 + 6);
    EXPECT_EQ(c.Text(), std::string(8191, 'a') + "\rbc.\x7f\tz");
    // The long line is held in records of at most 2047 characters; each counts as a line.
    EXPECT_EQ(c.Perform(EM_GETLINECOUNT, 0, 0), c.Store().LineCount());
    EXPECT_EQ(c.Store().LineCount(), 6);
    EXPECT_FALSE(c.Modified());
    EXPECT_FALSE(c.CanUndo());
    EXPECT_EQ(c.Caret(), 0);

    // Saved back: CR LF line breaks as loaded.
    TMemoryStream out;
    c.SaveToStream(&out);
    EXPECT_EQ(out.Data(), std::string(8191, 'a') + "\r\nbc.\x7f\tz");
    c.SaveFormat = sfUNIX;
    TMemoryStream unix;
    c.SaveToStream(&unix);
    EXPECT_EQ(unix.Data(), std::string(8191, 'a') + "\nbc.\x7f\tz");
    c.SaveFormat = sfTEXT;
    c.SetSelLineStyle(lsLF);
    TMemoryStream single;
    c.SaveToStream(&single);
    EXPECT_EQ(single.Data(), std::string(8191, 'a') + "\rbc.\x7f\tz");
}

TEST_F(Control, SavingRetriesShortWritesThenFailsAndEmptiesUndo)
{
    Load("one\rtwo");
    Type("x");
    ASSERT_TRUE(c.CanUndo());
    TMemoryStream ok;
    c.SaveToStream(&ok);
    EXPECT_FALSE(c.CanUndo());
    EXPECT_FALSE(c.Modified());

    StingyStream stingy(3);
    try {
        c.SaveToStream(&stingy);
        ADD_FAILURE() << "a short write was reported as success";
    } catch (const EFileSaveError& e) {
        EXPECT_STREQ(e.what(), "Could not save text to stream");
    }
    EXPECT_GE(stingy.writes, 4);
    try {
        c.SaveToStream(nullptr);
        ADD_FAILURE();
    } catch (const EFileSaveError& e) {
        EXPECT_STREQ(e.what(), "Bad TStream instance");
    }
    // The selection survives a save.
    c.Select(2, 5);
    TMemoryStream again;
    c.SaveToStream(&again);
    EXPECT_EQ(c.Anchor(), 2);
    EXPECT_EQ(c.Caret(), 5);
}

TEST_F(Control, FilesLoadAndSaveWithTheirTitle)
{
    testing::TempFolder dir;
    const std::string missing = (dir.path() / "none.sql").string();
    try {
        c.LoadFromFile(missing);
        ADD_FAILURE();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "File '" + missing + "' cannot be opened for reading");
    }
    const std::string file = (dir.path() / "a.sql").string();
    std::ofstream(file, std::ios::binary) << "select 1\r\nfrom dual\n";
    c.LoadFromFile(file);
    EXPECT_EQ(c.Text(), "select 1\rfrom dual\r");
    EXPECT_EQ(c.Title, file);
    Type("--");
    const std::string copy = (dir.path() / "b.sql").string();
    c.SaveToFile(copy);
    std::ifstream in(copy, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "--select 1\r\nfrom dual\r\n");
    EXPECT_FALSE(c.Modified());
}

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

// ---------------------------------------------------------------- search

TEST_F(Control, FindStepsOnAndReportsFailures)
{
    Load("abc x abc y ABC");
    std::int64_t at = -1;
    c.Select(0, 0);
    ASSERT_TRUE(c.FindText("abc", at, sfMatchCase));
    EXPECT_EQ(at, 0);
    ASSERT_TRUE(c.FindText("abc", at, sfMatchCase));
    EXPECT_EQ(at, 6);  // not the same match again
    EXPECT_FALSE(c.FindText("abc", at, sfMatchCase));
    ASSERT_EQ(host.messages.size(), 0u);
    EXPECT_EQ(c.Find(sfFindNow, "abc"), 12);  // case ignored
    c.Select(0, 0);
    EXPECT_EQ(c.Find(sfFindNow | sfBackwards, "abc"), -1);  // at offset 0 nothing is found
    c.Select(15, 15);
    EXPECT_EQ(c.Find(sfFindNow | sfBackwards | sfMatchCase, "abc"), 6);

    c.SearchFail("zz");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Search string \"zz\" not found.");
    std::string reported;
    c.OnSearchFail = [&](TCustomDoravaVizu&, const std::string& t) { reported = t; };
    c.SearchFail("yy");
    EXPECT_EQ(reported, "yy");

    c.Select(0, 0);
    EXPECT_EQ(c.Find(sfFindNow | sfRegExp, "x +a"), 4);
    EXPECT_EQ(c.SelEnd(), 7);
    EXPECT_EQ(c.Find(sfFindNow | sfRegExp, "a(b"), -1);
    ASSERT_EQ(host.messages.size(), 2u);
    const std::string& box = host.messages[1];
    EXPECT_NE(box.find("\na(b\n"), std::string::npos) << box;
    EXPECT_EQ(box.back(), '^');
}

TEST_F(Control, RegularExpressionReplaceAllIsOneUndoStep)
{
    Load("id_1 = a;\rid_22 = b;\rname = c;");
    EXPECT_EQ(c.ReplaceAllRegExp("id_[0-9]+", "<\\0>", 0), 2);
    EXPECT_EQ(c.Text(), "<id_1> = a;\r<id_22> = b;\rname = c;");
    EXPECT_EQ(c.Caret(), 19);  // after the last replacement
    c.Undo();
    EXPECT_EQ(c.Text(), "id_1 = a;\rid_22 = b;\rname = c;");
    EXPECT_EQ(c.ReplaceAllRegExp("zz+", "q", 0), 0);
    EXPECT_EQ(host.messages.back(), "Search string \"zz+\" not found.");
    EXPECT_EQ(c.ReplaceAll("=", ":=", 0), 3);
    EXPECT_EQ(c.Text(), "id_1 := a;\rid_22 := b;\rname := c;");
}

// ---------------------------------------------------------------- highlighting and wrapping

class HighlightedControl : public Control {
protected:
    VOzuvavIdavParser sql;
    void SetUp() override
    {
        LoadBuiltInSqlHighlighter(sql);
        c.SetParser(1, &sql);
    }
    void TearDown() override { c.SetParser(1, nullptr); }
    std::vector<std::uint8_t> Values(std::int64_t line)
    {
        const TLineRecord* r = c.Store().FromLine(line).record;
        if (!r || !r->Attributes()) return {};
        return {r->Attributes(), r->Attributes() + r->Length()};
    }
};

TEST_F(HighlightedControl, LoadingColoursTheFirstScreenAndEditsRecolour)
{
    std::string text;
    for (int i = 0; i < 200; ++i) text += "select x from t; -- line " + std::to_string(i) + "\r";
    std::vector<int> seen;
    c.OnTokenSeen = [&](TCustomDoravaVizu&, int& v, std::int64_t, std::int64_t) {
        if (v < 0) seen.push_back(v);
    };
    Load(text);
    EXPECT_FALSE(Values(0).empty());
    EXPECT_FALSE(Values(c.VisibleLines()).empty());
    EXPECT_TRUE(Values(150).empty());  // far below the screen: not yet
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front(), -1);
    EXPECT_EQ(seen.back(), -2);
    const std::uint8_t keyword = Values(0)[0];
    const std::uint8_t comment = Values(0)[17];
    EXPECT_NE(keyword, comment);

    // Opening a block comment recolours the following lines up to the screen's end.
    c.Select(0, 0);
    c.SetSelText("/*");
    EXPECT_EQ(Values(0)[2], Values(0)[0]);
    EXPECT_EQ(Values(5)[0], Values(0)[0]);
    EXPECT_NE(Values(5)[0], keyword);
    c.Undo();
    EXPECT_EQ(Values(5)[0], keyword);

    // Scrolling far down colours the newly visible lines.
    c.ScrollTo(0, 150);
    c.FlushChange();
    EXPECT_FALSE(Values(150).empty());
}

TEST_F(HighlightedControl, SwitchingToAWrappingHighlighterRewraps)
{
    Load(std::string(300, 'w') + " tail");
    EXPECT_EQ(c.Store().LineCount(), 1);
    VOzuvavIdavParser wrapping;
    LoadBuiltInSqlHighlighter(wrapping);
    wrapping.Settings().options |= kOptionWordBits[smoWordWrap];
    wrapping.Settings().wordWrapColumn = 80;
    c.SetParser(2, &wrapping);
    c.SetActiveParser(2);
    EXPECT_GT(c.Store().LineCount(), 1);
    EXPECT_EQ(c.Text(), std::string(300, 'w') + " tail");
    c.SetActiveParser(1);
    EXPECT_EQ(c.Store().LineCount(), 1);
    c.SetParser(2, nullptr);
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

namespace tarnwick {
namespace {

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

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

TEST_F(Control, ConfirmedReplaceAsksForEachMatch)
{
    Load("a.b.c");
    int asked = 0;
    struct NoToSecond : test::FakeHost {
        int* asked;
        bool MessageBox(std::string_view text, MessageKind kind) override
        {
            EXPECT_EQ(kind, MessageKind::Question);
            EXPECT_EQ(std::string(text), "Replace this occurence of '.' with '::' ?");
            return ++*asked != 2;
        }
    } box;
    box.asked = &asked;
    c.SetHost(&box);
    EXPECT_EQ(c.ReplaceAll(".", "::", 0, true), 1);
    EXPECT_EQ(c.Text(), "a::b.c");
    EXPECT_EQ(asked, 2);
    c.Undo();
    EXPECT_EQ(c.Text(), "a.b.c");
    c.SetHost(&host);
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

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

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

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

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

TEST_F(Control, ReplaceAllWithBackReferences)
{
    Load("f(a, b);\rf(cc, d);");
    EXPECT_EQ(c.ReplaceAllRegExp("f\\(([a-z]+), ([a-z]+)", "g(\\2, \\1", 0), 2);
    EXPECT_EQ(c.Text(), "g(b, a);\rg(d, cc);");
}

TEST_F(Control, EditsKeepWrappedLinesWrapped)
{
    Load("");
    c.SetWrapAtColumn(20);
    c.SetWordWrap(true);
    Type("one two three four five six seven eight");
    EXPECT_GT(c.Store().LineCount(), 1);
    for (const TLineRecord* r = c.Store().FirstLine(); r; r = c.Store().Next(r)) EXPECT_LE(r->Length(), 20);
    EXPECT_EQ(c.Text(), "one two three four five six seven eight");
    c.SetWordWrap(false);
    EXPECT_EQ(c.Store().LineCount(), 1);
    // Wrapping at the window's edge follows the window's width.
    c.SetWrapAtColumn(0);
    c.SetWordWrap(true);
    const std::int64_t wide = c.Store().LineCount();
    host.width = c.TextLeftEdge() + 12 * 8;
    c.Resized();
    EXPECT_GT(c.Store().LineCount(), wide);
    EXPECT_EQ(c.Text(), "one two three four five six seven eight");
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

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

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

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

}  // namespace
}  // namespace tarnwick
