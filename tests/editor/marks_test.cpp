#include "editor/marks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "editor/editor_errors.h"
#include "editor/text_store.h"

namespace tarnwick {
namespace {

std::string Lines(std::initializer_list<const char*> lines)
{
    std::string out;
    for (const char* line : lines) out.append(line).push_back('\r');
    return out;
}

std::int64_t LineStartOf(const TTextStore& store, std::int64_t line) { return store.FromLine(line).offset; }

// ---- numbered bookmarks

TEST(NumberedBookmarks, ToggleMoveAndReplace)
{
    TTextStore store;
    store.SetText(Lines({"zero", "one", "two", "three"}));
    std::vector<int> fired;
    auto onSet = [&](int index) { fired.push_back(index); };

    EXPECT_EQ(SetNumberedBookmark(store, 3, 1, 2, onSet), bsrSet);
    EXPECT_EQ(FindNumberedBookmark(store, 3), store.FromLine(1).record);
    EXPECT_EQ(store.BookmarkColumn(3), 3);
    // The same line again: cleared, and no event.
    EXPECT_EQ(SetNumberedBookmark(store, 3, 1, 0, onSet), bsrCleared);
    EXPECT_EQ(FindNumberedBookmark(store, 3), nullptr);
    EXPECT_EQ(store.BookmarkColumn(3), 0);
    EXPECT_EQ(fired, std::vector<int>{3});

    // Another line: moved.
    SetNumberedBookmark(store, 3, 1, 0, onSet);
    EXPECT_EQ(SetNumberedBookmark(store, 3, 2, 1, onSet), bsrSet);
    EXPECT_EQ(FindNumberedBookmark(store, 3), store.FromLine(2).record);
    EXPECT_EQ(store.FromLine(1).record->Marks() & kNumberedBookmarkMask, 0);

    // Bookmark 1 on the line of bookmark 2 replaces it; the other bits of the line stay.
    SetNumberedBookmark(store, 2, 0, 0, onSet);
    TLineRecord* line0 = store.FromLine(0).record;
    line0->SetMarks(static_cast<std::uint16_t>(line0->Marks() | 0x8000));
    SetNumberedBookmark(store, 1, 0, 4, onSet);
    EXPECT_EQ(line0->Marks(), 0x8000 | 0x0002);
    EXPECT_EQ(FindNumberedBookmark(store, 2), nullptr);
    EXPECT_EQ(store.BookmarkColumn(2), 0);
    EXPECT_FALSE(NumberedBookmarkTarget(store, 2).has_value());
    EXPECT_EQ(fired, (std::vector<int>{3, 3, 3, 2, 1}));
}

TEST(NumberedBookmarks, IndexRangeAndMissingLines)
{
    TTextStore store;
    for (int bad : {10, 11, -1}) {
        try {
            SetNumberedBookmark(store, bad, 0, 0);
            FAIL() << bad;
        } catch (const EDoravaVizu& e) {
            EXPECT_STREQ(e.what(), "Bookmark index range error");
        }
        EXPECT_THROW(NumberedBookmarkTarget(store, bad), EDoravaVizu);
        EXPECT_THROW(ClearNumberedBookmark(store, bad), EDoravaVizu);
    }
    EXPECT_EQ(SetNumberedBookmark(store, 0, 0, 0), bsrNoLine);  // no records at all
    store.SetText("a\rb\r");
    EXPECT_EQ(SetNumberedBookmark(store, 0, 2, 0), bsrNoLine);  // the empty line after the last break
    EXPECT_EQ(SetNumberedBookmark(store, 0, -1, 0), bsrNoLine);
    EXPECT_FALSE(NumberedBookmarkTarget(store, 0).has_value());
    EXPECT_EQ(SetNumberedBookmark(store, 9, 1, 0), bsrSet);
}

TEST(NumberedBookmarks, WrappedLineAndTargetColumn)
{
    TTextStore store;
    // A logical line of 5000 characters is held in records of 2047, 2047 and 906.
    const std::string longLine(5000, 'x');
    store.SetText("head\r" + longLine + "\rtail");
    ASSERT_EQ(store.LineCount(), 5);
    ASSERT_TRUE(store.FromLine(3).record->IsContinuation());

    // Set from the third record at column 10: the mark goes on the first record of the line, the
    // column counts from the start of the logical line.
    EXPECT_EQ(SetNumberedBookmark(store, 5, 3, 10), bsrSet);
    EXPECT_EQ(FindNumberedBookmark(store, 5), store.FromLine(1).record);
    auto target = NumberedBookmarkTarget(store, 5);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->line, 3);
    EXPECT_EQ(target->column, 10);
    EXPECT_EQ(target->offset, 5 + 2047 * 2 + 10);

    // The same logical line through another of its records toggles it off.
    EXPECT_EQ(SetNumberedBookmark(store, 5, 2, 0), bsrCleared);

    // A stored column beyond the line is limited to the line's length (before its break).
    SetNumberedBookmark(store, 4, 0, 3);
    store.Delete(1, 4);  // "head" -> "h"
    target = NumberedBookmarkTarget(store, 4);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->line, 0);
    EXPECT_EQ(target->column, 1);
    EXPECT_EQ(target->offset, 1);
}

TEST(NumberedBookmarks, FollowTheirLineAndGoWithTheText)
{
    TTextStore store;
    store.SetText(Lines({"a", "b", "c"}));
    SetNumberedBookmark(store, 7, 2, 0);
    store.Insert(0, "new\rlines\r");
    auto target = NumberedBookmarkTarget(store, 7);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->line, 4);
    EXPECT_EQ(store.TextRange(target->offset, target->offset + 1), "c");

    store.Clear();
    EXPECT_EQ(store.BookmarkColumn(7), 0);
    store.SetText("x\ry");
    EXPECT_FALSE(NumberedBookmarkTarget(store, 7).has_value());
}

// ---- named bookmarks

std::vector<std::pair<std::string, std::int64_t>> Items(const TCustomBookmarks& list)
{
    std::vector<std::pair<std::string, std::int64_t>> out;
    for (const NamedBookmark& b : list.Items()) out.emplace_back(b.Name, b.Offset);
    return out;
}

TEST(CustomBookmarks, SortedByOffsetAndName)
{
    TCustomBookmarks list;
    std::vector<std::string> freed;
    list.OnFree = [&](TCustomBookmarks& sender, const std::string& name) {
        EXPECT_EQ(&sender, &list);
        freed.push_back(name);
    };
    list.Add("c", 30);
    list.Add("a", 10);
    list.Add("b", 20);
    list.Add("d", 20);
    EXPECT_EQ(Items(list),
              (std::vector<std::pair<std::string, std::int64_t>>{{"a", 10}, {"b", 20}, {"d", 20}, {"c", 30}}));
    EXPECT_EQ(list.Names(), (std::vector<std::string>{"a", "b", "c", "d"}));
    ASSERT_NE(list.Find(11), nullptr);
    EXPECT_EQ(list.Find(11)->Name, "b");
    EXPECT_EQ(list.Find(30)->Name, "c");
    EXPECT_EQ(list.Find(31), nullptr);

    list.Add("a", 25);  // same name: moved, not doubled
    EXPECT_EQ(list.Count(), 4u);
    EXPECT_EQ(Items(list).back(), (std::pair<std::string, std::int64_t>{"c", 30}));
    EXPECT_EQ(list.Offset("a"), 25);
    EXPECT_TRUE(list.Remove("b"));
    EXPECT_FALSE(list.Remove("b"));
    EXPECT_FALSE(list.Offset("b").has_value());
    EXPECT_EQ(freed, std::vector<std::string>{"b"});
}

TEST(CustomBookmarks, EditsMoveAndRemoveThem)
{
    TTextStore store;
    store.SetText("0123456789\r0123456789");
    TCustomBookmarks& list = store.Bookmarks();
    std::vector<std::string> freed;
    list.OnFree = [&](TCustomBookmarks&, const std::string& name) { freed.push_back(name); };
    list.Add("before", 2);
    list.Add("at", 5);
    list.Add("inside", 7);
    list.Add("after", 12);

    store.Insert(5, "xy");  // at or after 5 moves
    EXPECT_EQ(Items(list), (std::vector<std::pair<std::string, std::int64_t>>{
                               {"before", 2}, {"at", 7}, {"inside", 9}, {"after", 14}}));
    store.Delete(7, 10);  // removes [7, 10): "at" and "inside"; "after" moves back
    EXPECT_EQ(Items(list), (std::vector<std::pair<std::string, std::int64_t>>{{"before", 2}, {"after", 11}}));
    EXPECT_EQ(freed, (std::vector<std::string>{"at", "inside"}));
    EXPECT_EQ(list.Names(), (std::vector<std::string>{"after", "before"}));

    // Deleting the whole text clears them all, the one at the very end too.
    list.Add("end", store.CharCount());
    freed.clear();
    store.Delete(0, store.CharCount());
    EXPECT_TRUE(list.Empty());
    std::sort(freed.begin(), freed.end());
    EXPECT_EQ(freed, (std::vector<std::string>{"after", "before", "end"}));
}

TEST(CustomBookmarks, FreeCallbackMayChangeTheList)
{
    TCustomBookmarks list;
    list.Add("a", 1);
    list.Add("b", 2);
    list.Add("c", 50);
    std::vector<std::string> freed;
    list.OnFree = [&](TCustomBookmarks& sender, const std::string& name) {
        freed.push_back(name);
        if (name == "a") {
            sender.Remove("c");
            sender.Add("z", 0);
        }
    };
    list.RemoveOrShiftOnDelete(5, 0);
    EXPECT_EQ(freed, (std::vector<std::string>{"a", "c", "b"}));
    EXPECT_EQ(Items(list), (std::vector<std::pair<std::string, std::int64_t>>{{"z", 0}}));
}

// ---- range marks

std::vector<std::tuple<std::int64_t, std::int64_t, std::uint32_t>> Ranges(const RangeMarkList& marks)
{
    std::vector<std::tuple<std::int64_t, std::int64_t, std::uint32_t>> out;
    for (const RangeMark& m : marks.Items()) out.emplace_back(m.Start, m.End, m.Tag);
    return out;
}

TEST(RangeMarks, InsertionMovesOrGrows)
{
    RangeMarkList marks;
    std::vector<std::uint32_t> changed;
    marks.OnChange = [&](const RangeMark& m) { changed.push_back(m.Tag); };
    marks.Add(10, 5, 1);  // [10, 15)
    marks.Add(20, 0, 2);  // empty at 20
    marks.Add(0, 3, 3);   // [0, 3)
    using R = std::vector<std::tuple<std::int64_t, std::int64_t, std::uint32_t>>;
    EXPECT_EQ(Ranges(marks), (R{{0, 3, 3}, {10, 15, 1}, {20, 20, 2}}));

    marks.Inserted(5, 4);  // before 1 and 2: they move
    EXPECT_EQ(Ranges(marks), (R{{0, 3, 3}, {14, 19, 1}, {24, 24, 2}}));
    marks.Inserted(16, 2);  // inside 1: it grows
    EXPECT_EQ(Ranges(marks), (R{{0, 3, 3}, {14, 21, 1}, {26, 26, 2}}));
    marks.Inserted(14, 1);  // at the start of 1: it moves
    marks.Inserted(3, 1);   // at the end of 3: it grows
    EXPECT_EQ(Ranges(marks), (R{{0, 4, 3}, {16, 23, 1}, {28, 28, 2}}));
    EXPECT_EQ(changed, (std::vector<std::uint32_t>{1, 2, 1, 2, 1, 2, 3, 1, 2}));
}

TEST(RangeMarks, DeletionRules)
{
    RangeMarkList marks;
    std::vector<std::uint32_t> freed, changed;
    marks.OnFree = [&](const RangeMark& m) { freed.push_back(m.Tag); };
    marks.OnChange = [&](const RangeMark& m) { changed.push_back(m.Tag); };
    marks.Add(0, 5, 1);    // before the range, untouched
    marks.Add(5, 10, 2);   // [5, 15): starts before, ends inside -> end to 10
    marks.Add(8, 20, 3);   // [8, 28): spans -> shortened by 10
    marks.Add(10, 10, 4);  // [10, 20): exactly the range -> freed
    marks.Add(12, 3, 5);   // inside -> freed
    marks.Add(15, 10, 6);  // starts inside, ends after -> [10, 15)
    marks.Add(20, 2, 7);   // starts at the range's end -> moves back
    marks.Add(30, 0, 8);   // after -> moves back
    marks.Add(10, 0, 9);   // empty at the range's start -> freed
    marks.Add(20, 0, 10);  // empty at the range's end -> survives, moves back

    marks.Deleted(10, 20);
    using R = std::vector<std::tuple<std::int64_t, std::int64_t, std::uint32_t>>;
    EXPECT_EQ(Ranges(marks),
              (R{{0, 5, 1}, {5, 10, 2}, {8, 18, 3}, {10, 15, 6}, {10, 12, 7}, {10, 10, 10}, {20, 20, 8}}));
    std::sort(freed.begin(), freed.end());
    EXPECT_EQ(freed, (std::vector<std::uint32_t>{4, 5, 9}));
    std::sort(changed.begin(), changed.end());
    EXPECT_EQ(changed, (std::vector<std::uint32_t>{2, 3, 6, 7, 8, 10}));
}

TEST(RangeMarks, FindSetAndIds)
{
    RangeMarkList marks;
    const RangeMarkId a = marks.Add(10, 5, 1).Id;
    const RangeMarkId b = marks.Add(30, 5, 2).Id;
    EXPECT_NE(a, b);
    EXPECT_EQ(marks.Find(0, 5), nullptr);
    EXPECT_EQ(marks.Find(0, 10)->Id, a);  // touches the start
    EXPECT_EQ(marks.Find(15, 0)->Id, a);  // touches the end
    EXPECT_EQ(marks.Find(16, 13), nullptr);
    EXPECT_EQ(marks.Find(16, 14)->Id, b);

    // Moving the start past the end drags the end; the mark is re-sorted.
    EXPECT_TRUE(marks.SetStart(a, 40));
    EXPECT_EQ(marks.Items().back().Id, a);
    EXPECT_EQ(marks.Get(a)->End, 40);
    EXPECT_TRUE(marks.SetEnd(a, 5));
    EXPECT_EQ(marks.Get(a)->Start, 5);
    EXPECT_EQ(marks.Items().front().Id, a);
    EXPECT_TRUE(marks.SetFlags(a, 0x81));
    EXPECT_EQ(marks.Get(a)->Flags, 0x81);
    const RangeMark& negative = marks.Add(-5, -3, 9);
    EXPECT_EQ(negative.Start, 0);
    EXPECT_EQ(negative.End, 0);

    EXPECT_TRUE(marks.Remove(b));
    EXPECT_EQ(marks.Get(b), nullptr);
    EXPECT_FALSE(marks.SetStart(b, 1));
    EXPECT_FALSE(marks.Remove(b));
}

TEST(RangeMarks, StoreCreatesThemOnFirstUseAndMovesThem)
{
    TTextStore store;
    store.SetText("hello world");
    EXPECT_EQ(store.RangeMarksIfAny(), nullptr);
    store.Insert(0, "x");  // no list: nothing to do
    RangeMarkList& marks = store.RangeMarks();
    EXPECT_EQ(store.RangeMarksIfAny(), &marks);
    const RangeMarkId id = marks.Add(7, 5, 0).Id;  // "world"
    std::string seen;
    marks.OnChange = [&](const RangeMark& m) { seen = store.TextRange(m.Start, m.End); };
    store.Insert(0, "say ");  // before it: moves, and the callback sees the text it now covers
    EXPECT_EQ(seen, "world");
    store.Insert(13, "--");  // inside it: longer
    EXPECT_EQ(seen, "wo--rld");
    EXPECT_EQ(store.TextRange(marks.Get(id)->Start, marks.Get(id)->End), "wo--rld");
    bool freed = false;
    marks.OnFree = [&](const RangeMark& m) { freed = m.Id == id; };
    store.Clear();
    EXPECT_TRUE(freed);
    EXPECT_TRUE(marks.Empty());
}

TEST(RangeMarks, CallbacksMayRemoveOtherMarks)
{
    RangeMarkList marks;
    const RangeMarkId a = marks.Add(0, 2, 1).Id;
    const RangeMarkId b = marks.Add(10, 2, 2).Id;
    const RangeMarkId c = marks.Add(20, 2, 3).Id;
    std::vector<std::uint32_t> changed;
    // Freeing a removes c before c's change is reported: c is not reported at all.
    marks.OnFree = [&](const RangeMark& m) {
        if (m.Id == a) marks.Remove(c);
    };
    marks.OnChange = [&](const RangeMark& m) { changed.push_back(m.Tag); };
    marks.Deleted(0, 5);
    EXPECT_EQ(changed, std::vector<std::uint32_t>{2});
    EXPECT_NE(marks.Get(b), nullptr);
    EXPECT_EQ(marks.Get(c), nullptr);
    EXPECT_EQ(marks.Count(), 1u);
}

// ---- breakpoints

TEST(Breakpoints, FindStyleAndState)
{
    TSM_Breakpoints set;
    set.Add(30, 0, 0, "c");
    set.Add(10, 1, 2, "a", false);
    set.Add(20, 0, 0, "b");
    ASSERT_NE(set.Find(10), nullptr);
    EXPECT_EQ(set.Find(10)->Text(), "a");
    EXPECT_EQ(set.Find(10)->Kind(), 1);
    EXPECT_EQ(set.Find(10)->Tag(), 2);
    EXPECT_EQ(set.Find(15), nullptr);
    EXPECT_EQ(set.At(0)->Offset(), 10);
    EXPECT_EQ(set.At(2)->Offset(), 30);
    EXPECT_EQ(set.At(3), nullptr);

    EXPECT_EQ(set.LineStyle(20), kBreakpointEnabledStyle);
    EXPECT_EQ(set.LineStyle(10), kBreakpointDisabledStyle);
    EXPECT_EQ(kBreakpointEnabledStyle, (BreakpointStyle{11, 0xFFFFFF, 0x0000FF}));
    EXPECT_EQ(kBreakpointDisabledStyle, (BreakpointStyle{12, 0x00FFFF, 0x008000}));
    EXPECT_FALSE(set.LineStyle(21));

    int setChanges = 0, ownChanges = 0;
    std::vector<std::int64_t> repainted;
    set.OnBreakpointStateChange = [&](TSM_BreakpointData& b) {
        ++setChanges;
        EXPECT_TRUE(b.Enabled());
    };
    set.OnRepaintLine = [&](std::int64_t offset) { repainted.push_back(offset); };
    TSM_BreakpointData* a = set.Find(10);
    a->OnStateChange = [&](TSM_BreakpointData&) { ++ownChanges; };
    a->SetEnabled(true);
    a->SetEnabled(true);  // no change, no event
    EXPECT_EQ(setChanges, 1);
    EXPECT_EQ(ownChanges, 1);
    EXPECT_EQ(repainted, std::vector<std::int64_t>{10});
    EXPECT_EQ(set.LineStyle(10), kBreakpointEnabledStyle);
}

TEST(Breakpoints, FreeingFiresCallbacksAndIsSafeInsideThem)
{
    std::vector<std::string> freed;  // outlives the sets: they report to it as they go
    TSM_Breakpoints set;
    set.OnBreakpointFree = [&](TSM_BreakpointData& b) {
        EXPECT_FALSE(b.Alive());
        freed.push_back(b.Text());
    };
    TSM_BreakpointData& a = set.Add(1, 0, 0, "a", false);
    set.Add(2, 0, 0, "b");
    // Freed by its own state-change callback: it lives until the callback returns.
    a.OnStateChange = [&](TSM_BreakpointData& self) {
        EXPECT_TRUE(set.Free(&self));
        EXPECT_FALSE(self.Alive());
        self.SetEnabled(false);  // a freed breakpoint ignores this
    };
    a.SetEnabled(true);
    EXPECT_EQ(set.Count(), 1u);
    EXPECT_EQ(freed, std::vector<std::string>{"a"});
    TSM_BreakpointData other(0, 0, "x", true);
    EXPECT_FALSE(set.Free(&other));
    // Clear reports each one; a set that goes away frees the rest without calling anybody.
    set.Add(3, 0, 0, "c");
    set.Clear();
    EXPECT_EQ(freed, (std::vector<std::string>{"a", "b", "c"}));
    set.Add(4, 0, 0, "d");
    {
        std::vector<std::string> gone;
        auto temporary = std::make_unique<TSM_Breakpoints>();
        temporary->OnBreakpointFree = [&](TSM_BreakpointData& b) { gone.push_back(b.Text()); };
        temporary->Add(5, 0, 0, "e");
        temporary.reset();
        EXPECT_TRUE(gone.empty());
    }
}

TEST(Breakpoints, DeletionFollowsLines)
{
    TTextStore store;
    store.SetText(Lines({"line0", "line1", "line2", "line3", "line4"}));  // lines 6 characters each
    TSM_Breakpoints& set = store.Breakpoints();
    std::vector<std::string> freed;
    set.OnBreakpointFree = [&](TSM_BreakpointData& b) {
        EXPECT_FALSE(b.Alive());
        freed.push_back(b.Text());
    };
    for (int line = 0; line < 5; ++line) set.Add(LineStartOf(store, line), 0, 0, "bp" + std::to_string(line));

    // Text after the line start on the same line: kept.
    store.Delete(7, 9);  // "line1" -> "le1"
    EXPECT_NE(set.Find(6), nullptr);
    EXPECT_TRUE(freed.empty());
    // The text of line 1 but not its break: kept.
    store.Delete(6, 9);
    EXPECT_NE(set.Find(6), nullptr);
    // The whole (now empty) line 1: its breakpoint goes; line 2's moves up.
    store.Delete(6, 7);
    EXPECT_EQ(freed, std::vector<std::string>{"bp1"});
    EXPECT_EQ(set.Count(), 4u);
    EXPECT_EQ(set.Find(6)->Text(), "bp2");

    // From the middle of line 2 into the middle of line 3: line 3's start goes but not all of its
    // text, which joins line 2. Its breakpoint moves to the start of line 2, not before it.
    ASSERT_EQ(store.Text(), Lines({"line0", "line2", "line3", "line4"}));
    store.Delete(9, 15);  // "line2\rline3\r" -> "lin" + "e3\r"
    ASSERT_EQ(store.Text(), Lines({"line0", "line3", "line4"}));
    for (std::size_t i = 0; i < set.Count(); ++i)
        EXPECT_EQ(LogicalLineStart(store, set.At(i)->Offset()), set.At(i)->Offset()) << i;
    EXPECT_EQ(set.At(1)->Offset(), 6);
    EXPECT_EQ(set.At(2)->Offset(), 6);
    EXPECT_EQ(set.At(3)->Text(), "bp4");
    EXPECT_EQ(set.At(3)->Offset(), 12);
    EXPECT_EQ(freed.size(), 1u);

    // Deleting everything frees every breakpoint whose line goes.
    store.Clear();
    EXPECT_EQ(set.Count(), 0u);
    EXPECT_EQ(freed.size(), 5u);
}

TEST(Breakpoints, InsertionKeepsThemOnTheirLines)
{
    TTextStore store;
    store.SetText(Lines({"alpha", "beta", "gamma"}));
    TSM_Breakpoints& set = store.Breakpoints();
    set.Add(6, 0, 0, "beta");
    set.Add(11, 0, 0, "gamma");
    auto lineText = [&](const TSM_BreakpointData* b) {
        return store.TextRange(b->Offset(), LogicalLineEnd(store, b->Offset()));
    };

    store.Insert(6, "x");  // typed at the start of the line
    EXPECT_EQ(lineText(set.At(0)), "xbeta\r");
    store.Insert(6, "new line\r");  // a whole line in front of it: it moves with its text
    EXPECT_EQ(lineText(set.At(0)), "xbeta\r");
    store.Insert(0, "one\rtwo\rpartial");  // lines and a partial one before everything
    EXPECT_EQ(lineText(set.At(0)), "xbeta\r");
    EXPECT_EQ(lineText(set.At(1)), "gamma\r");
    store.Insert(set.At(1)->Offset() + 2, "\r\r");  // inside its line: stays at its start
    EXPECT_EQ(lineText(set.At(1)), "ga\r");
}

TEST(Breakpoints, StreamRoundTripAndBrokenInput)
{
    TSM_Breakpoints set;
    set.Add(40, 3, -7, "forty", false);
    set.Add(4, 1, 2, "four");
    TMemoryStream stream;
    set.SaveToStream(stream);

    auto copy = set.Clone();
    auto* clone = dynamic_cast<TSM_Breakpoints*>(copy.get());
    ASSERT_NE(clone, nullptr);
    ASSERT_EQ(clone->Count(), 2u);
    EXPECT_EQ(clone->At(0)->Text(), "four");
    EXPECT_EQ(clone->At(1)->Offset(), 40);
    EXPECT_FALSE(clone->At(1)->Enabled());
    EXPECT_EQ(clone->At(1)->Tag(), -7);
    EXPECT_EQ(clone->At(1)->Kind(), 3);

    // Cut short, a huge count, or a negative offset: an error, and the set keeps what it had.
    const std::string good = stream.Data();
    std::string negative = good;
    negative[4] = '\xFF', negative[5] = '\xFF', negative[6] = '\xFF', negative[7] = '\xFF';
    for (const std::string& bad : {good.substr(0, good.size() - 1), std::string("\xFF\xFF\xFF\x7F", 4), negative}) {
        TMemoryStream in(bad);
        EXPECT_THROW(clone->LoadFromStream(in), EStreamError);
        EXPECT_EQ(clone->Count(), 2u);
    }

    TSM_CodeBreak point;
    point.SetExecutionPoint(12);
    auto pointCopy = point.Clone();
    auto* pc = dynamic_cast<TSM_CodeBreak*>(pointCopy.get());
    ASSERT_NE(pc, nullptr);
    EXPECT_EQ(pc->LineStyle(12), kCodeBreakStyle);
    EXPECT_THROW(pc->Assign(&set), EDoravaVizu);
}

TEST(CodeBreak, StyleAndDeletionDisables)
{
    TTextStore store;
    store.SetText(Lines({"a", "b", "c"}));
    TSM_CodeBreak& point = store.CodeBreaks();
    EXPECT_FALSE(point.LineStyle(0));
    int changes = 0;
    point.OnBreakpointStateChange = [&](TSM_BreakpointData&) { ++changes; };
    point.SetExecutionPoint(4);
    EXPECT_EQ(point.LineStyle(4), (BreakpointStyle{12, 0xFFFFFF, 0x800000}));
    EXPECT_EQ(changes, 1);

    store.Insert(0, "zz\r");
    EXPECT_FALSE(point.LineStyle(4));
    EXPECT_EQ(point.LineStyle(7), kCodeBreakStyle);
    store.Delete(7, 9);  // its whole line: disabled, not freed
    EXPECT_FALSE(point.Record().Enabled());
    EXPECT_TRUE(point.Record().Alive());
    EXPECT_FALSE(point.LineStyle(point.Record().Offset()));
    EXPECT_EQ(changes, 2);
    point.SetExecutionPoint(0);
    EXPECT_EQ(point.LineStyle(0), kCodeBreakStyle);
    point.ClearExecutionPoint();
    EXPECT_FALSE(point.LineStyle(0));
}

// ---- many random edits against a plain model

struct ModelMark {
    RangeMarkId id;
    std::int64_t start, end;
};

// The line end (one past its CR) and line start of an offset in a plain string.
std::int64_t ModelLineEnd(const std::string& text, std::int64_t offset)
{
    const auto cr = text.find('\r', static_cast<std::size_t>(offset));
    return cr == std::string::npos ? static_cast<std::int64_t>(text.size()) : static_cast<std::int64_t>(cr) + 1;
}

std::int64_t ModelLineStart(const std::string& text, std::int64_t offset)
{
    if (offset == 0) return 0;
    const auto cr = text.rfind('\r', static_cast<std::size_t>(offset - 1));
    return cr == std::string::npos ? 0 : static_cast<std::int64_t>(cr) + 1;
}

TEST(MarksRandom, EditsAgreeWithAModel)
{
    std::mt19937 rng(20240601);
    auto pick = [&](std::int64_t lo, std::int64_t hi) {
        return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
    };

    for (int round = 0; round < 20; ++round) {
        TTextStore store;
        std::string text;
        auto randomText = [&](std::int64_t length) {
            std::string s;
            for (std::int64_t i = 0; i < length; ++i)
                s.push_back(pick(0, 5) == 0 ? '\r' : static_cast<char>('a' + pick(0, 3)));
            return s;
        };
        text = randomText(pick(0, 300));
        store.SetText(text);

        std::map<std::string, std::int64_t> bookmarks;
        std::vector<ModelMark> marks;
        std::vector<std::pair<int, std::int64_t>> breakpoints;  // (id, offset)
        int freedBookmarks = 0, freedMarks = 0;
        std::vector<int> freedBreakpoints;
        store.Bookmarks().OnFree = [&](TCustomBookmarks&, const std::string&) { ++freedBookmarks; };
        store.RangeMarks().OnFree = [&](const RangeMark&) { ++freedMarks; };
        store.Breakpoints().OnBreakpointFree = [&](TSM_BreakpointData& b) { freedBreakpoints.push_back(b.Tag()); };
        int nextBreakpoint = 0;

        for (int step = 0; step < 300; ++step) {
            const std::int64_t size = static_cast<std::int64_t>(text.size());
            switch (pick(0, 9)) {
            case 0: {
                const std::string name = "n" + std::to_string(pick(0, 30));
                const std::int64_t at = pick(0, size);
                store.Bookmarks().Add(name, at);
                bookmarks[name] = at;
                break;
            }
            case 1: {
                const std::int64_t at = pick(0, size), length = pick(0, 20);
                marks.push_back({store.RangeMarks().Add(at, length, 0).Id, at, at + length});
                break;
            }
            case 2: {
                const std::int64_t line = ModelLineStart(text, pick(0, size));
                if (!store.Breakpoints().Find(line)) {
                    store.Breakpoints().Add(line, 0, nextBreakpoint, "");
                    breakpoints.emplace_back(nextBreakpoint++, line);
                }
                break;
            }
            case 3:
            case 4:
            case 5: {
                const std::int64_t at = pick(0, size);
                // Now and then a line long enough to be cut into continuation records.
                const std::string inserted = pick(0, 15) == 0
                                                 ? std::string(static_cast<std::size_t>(pick(2040, 4500)), 'w')
                                                 : randomText(pick(1, 12));
                const std::int64_t n = static_cast<std::int64_t>(inserted.size());
                for (auto& [name, offset] : bookmarks)
                    if (offset >= at) offset += n;
                for (ModelMark& m : marks) {
                    if (m.start >= at) m.start += n, m.end += n;
                    else if (m.end >= at) m.end += n;
                }
                const auto lastBreak = inserted.rfind('\r');
                for (auto& [id, offset] : breakpoints) {
                    if (offset > at) offset += n;
                    else if (offset == at && lastBreak != std::string::npos)
                        offset += static_cast<std::int64_t>(lastBreak) + 1;
                }
                text.insert(static_cast<std::size_t>(at), inserted);
                store.Insert(at, inserted);
                break;
            }
            default: {
                if (size == 0) break;
                const std::int64_t s = pick(0, size - 1);
                const std::int64_t e = pick(0, 9) == 0 ? size : std::min(size, s + pick(1, 25));
                const std::int64_t n = e - s;
                const bool emptied = s == 0 && e == size;
                for (auto it = bookmarks.begin(); it != bookmarks.end();) {
                    if (emptied || (it->second >= s && it->second < e)) {
                        it = bookmarks.erase(it);
                        --freedBookmarks;
                        continue;
                    }
                    if (it->second >= e) it->second -= n;
                    ++it;
                }
                for (auto it = marks.begin(); it != marks.end();) {
                    if (it->start >= s && it->end <= e && it->start < e) {
                        it = marks.erase(it);
                        --freedMarks;
                        continue;
                    }
                    if (it->start < s) {
                        if (it->end > s) it->end = it->end >= e ? it->end - n : s;
                    } else if (it->start < e) {
                        it->start = s, it->end -= n;
                    } else {
                        it->start -= n, it->end -= n;
                    }
                    ++it;
                }
                const std::int64_t join = ModelLineStart(text, s);
                std::vector<int> expectFreed;
                for (auto it = breakpoints.begin(); it != breakpoints.end();) {
                    std::int64_t& o = it->second;
                    if (o >= s && o < e && ModelLineEnd(text, o) <= e) {
                        expectFreed.push_back(it->first);
                        it = breakpoints.erase(it);
                        continue;
                    }
                    if (o > e) o -= n;
                    else if (o > s) o = join;
                    ++it;
                }
                text.erase(static_cast<std::size_t>(s), static_cast<std::size_t>(n));
                freedBreakpoints.clear();
                store.Delete(s, e);
                std::sort(freedBreakpoints.begin(), freedBreakpoints.end());
                ASSERT_EQ(freedBreakpoints, expectFreed) << "round " << round << " step " << step;
                break;
            }
            }
            ASSERT_EQ(store.Text(), text);
            ASSERT_EQ(freedBookmarks, 0) << "round " << round << " step " << step;
            ASSERT_EQ(freedMarks, 0) << "round " << round << " step " << step;

            // Named bookmarks: same offsets, and the offset list sorted.
            ASSERT_EQ(store.Bookmarks().Count(), bookmarks.size());
            for (const auto& [name, offset] : bookmarks) ASSERT_EQ(store.Bookmarks().Offset(name), offset) << name;
            const auto& items = store.Bookmarks().Items();
            ASSERT_TRUE(
                std::is_sorted(items.begin(), items.end(), [](auto& a, auto& b) { return a.Offset < b.Offset; }));

            // Range marks: same ranges, sorted by start.
            ASSERT_EQ(store.RangeMarks().Count(), marks.size());
            for (const ModelMark& m : marks) {
                const RangeMark* got = store.RangeMarks().Get(m.id);
                ASSERT_NE(got, nullptr);
                ASSERT_EQ(got->Start, m.start);
                ASSERT_EQ(got->End, m.end);
            }
            const auto& ranges = store.RangeMarks().Items();
            ASSERT_TRUE(
                std::is_sorted(ranges.begin(), ranges.end(), [](auto& a, auto& b) { return a.Start < b.Start; }));

            // Breakpoints: same offsets, each at a line start.
            TSM_Breakpoints& set = store.Breakpoints();
            ASSERT_EQ(set.Count(), breakpoints.size());
            for (const auto& [id, offset] : breakpoints) {
                ASSERT_EQ(ModelLineStart(text, offset), offset) << "round " << round << " step " << step;
                ASSERT_EQ(LogicalLineStart(store, offset), offset);
                TSM_BreakpointData* found = set.Find(offset);
                ASSERT_NE(found, nullptr) << "round " << round << " step " << step << " offset " << offset;
            }
            std::vector<std::pair<int, std::int64_t>> got;
            for (std::size_t i = 0; i < set.Count(); ++i) got.emplace_back(set.At(i)->Tag(), set.At(i)->Offset());
            std::sort(got.begin(), got.end());
            auto expected = breakpoints;
            std::sort(expected.begin(), expected.end());
            ASSERT_EQ(got, expected) << "round " << round << " step " << step;
        }
    }
}

// The store's line extents agree with a plain scan, across records cut at 2047 characters.
TEST(MarksRandom, LineExtentsAcrossContinuationRecords)
{
    TTextStore store;
    const std::string text = "ab\r" + std::string(5000, 'x') + "\r\rc" + std::string(2100, 'y');
    store.SetText(text);
    for (std::int64_t offset = 0; offset <= static_cast<std::int64_t>(text.size()); offset += 7) {
        ASSERT_EQ(LogicalLineStart(store, offset), ModelLineStart(text, offset)) << offset;
        if (offset < static_cast<std::int64_t>(text.size())) {
            ASSERT_EQ(LogicalLineEnd(store, offset), ModelLineEnd(text, offset)) << offset;
        }
    }
    EXPECT_EQ(LogicalLineStart(store, static_cast<std::int64_t>(text.size())), 5005);
    store.Insert(store.CharCount(), "\r");
    EXPECT_EQ(LogicalLineStart(store, store.CharCount()), store.CharCount());
}

}  // namespace
}  // namespace tarnwick
