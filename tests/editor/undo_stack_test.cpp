#include "editor/undo_stack.h"

#include <gtest/gtest.h>

#include <vector>

#include "editor/editor_errors.h"
#include "editor/text_store.h"

namespace tarnwick {
namespace {

// ------------------------------------------------------------------------------ TStack

// Items are small integers on the heap; the stack records which it frees.
struct CountingStack : TStack {
    std::vector<int> freed;
    CountingStack()
    {
        FreeItem = [this](void* item) {
            freed.push_back(*static_cast<int*>(item));
            delete static_cast<int*>(item);
        };
    }
    ~CountingStack() override { DiscardAll(); }
    void PushInt(int value, std::int64_t size = 0) { Push(new int(value), size); }
    int Take(void* item)
    {
        int v = *static_cast<int*>(item);
        delete static_cast<int*>(item);
        return v;
    }
};

int Value(void* item) { return *static_cast<int*>(item); }

TEST(TStack, PushStepBackStepForwardAndSizes)
{
    CountingStack s;
    EXPECT_TRUE(s.Empty());
    EXPECT_EQ(s.TopItem(), nullptr);
    s.PushInt(1, 10);
    s.PushInt(2, 5);
    EXPECT_EQ(s.TotalSize(), 16 + 10 + 16 + 5);
    EXPECT_EQ(s.DoneCount(), 2);
    EXPECT_FALSE(s.CanRedo());
    EXPECT_EQ(Value(s.StepBack()), 2);
    EXPECT_EQ(s.DoneCount(), 1);
    EXPECT_TRUE(s.CanRedo());
    EXPECT_EQ(Value(s.StepBack()), 1);
    EXPECT_EQ(s.DoneCount(), 0);
    EXPECT_EQ(s.Cursor(), nullptr);
    EXPECT_THROW(s.StepBack(), Exception);
    // From no cursor, redo starts at the bottom.
    EXPECT_EQ(Value(s.StepForward()), 1);
    EXPECT_EQ(Value(s.StepForward()), 2);
    EXPECT_EQ(s.DoneCount(), 2);
    EXPECT_THROW(s.StepForward(), Exception);
    EXPECT_EQ(Value(s.TopItem()), 2);
}

TEST(TStack, UnderflowMessages)
{
    CountingStack s;
    try {
        s.Pop();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Stack underflow");
    }
    EXPECT_THROW(s.StepBack(), Exception);
    EXPECT_THROW(s.StepForward(), Exception);
}

TEST(TStack, PushDiscardsEverythingAboveTheCursorNewestFirst)
{
    CountingStack s;
    s.PushInt(1, 1);
    s.PushInt(2, 2);
    s.PushInt(3, 3);
    s.StepBack();
    s.StepBack();
    s.PushInt(4, 4);
    EXPECT_EQ(s.freed, (std::vector<int>{3, 2}));
    EXPECT_EQ(s.Count(), 2);
    EXPECT_EQ(s.DoneCount(), 2);
    EXPECT_EQ(s.TotalSize(), 16 + 1 + 16 + 4);
    EXPECT_FALSE(s.CanRedo());
    EXPECT_EQ(Value(s.StepBack()), 4);
    EXPECT_EQ(Value(s.StepBack()), 1);
}

TEST(TStack, PushWithNothingDoneDiscardsTheWholeRedoPart)
{
    CountingStack s;
    s.PushInt(1);
    s.PushInt(2);
    s.StepBack();
    s.StepBack();
    s.PushInt(3);
    EXPECT_EQ(s.freed, (std::vector<int>{2, 1}));
    EXPECT_EQ(s.Count(), 1);
    EXPECT_EQ(s.Bottom(), s.Top());
    EXPECT_EQ(s.DoneCount(), 1);
}

TEST(TStack, PopKeepsCursorAndDoneCountConsistent)
{
    CountingStack s;
    s.PushInt(1, 1);
    s.PushInt(2, 2);
    s.PushInt(3, 3);
    s.StepBack();  // 3 is undone
    EXPECT_EQ(s.Take(s.Pop()), 3);
    // The popped entry was not done: the done count and the cursor stay.
    EXPECT_EQ(s.DoneCount(), 2);
    EXPECT_EQ(Value(s.CursorItem()), 2);
    EXPECT_EQ(s.Take(s.Pop()), 2);
    EXPECT_EQ(s.DoneCount(), 1);
    EXPECT_EQ(Value(s.CursorItem()), 1);
    EXPECT_EQ(s.TotalSize(), 17);
    EXPECT_EQ(s.Take(s.Pop()), 1);
    EXPECT_EQ(s.Bottom(), nullptr);
    EXPECT_EQ(s.Cursor(), nullptr);
    EXPECT_EQ(s.Top(), nullptr);
    EXPECT_EQ(s.TotalSize(), 0);
    EXPECT_EQ(s.DoneCount(), 0);
    EXPECT_TRUE(s.freed.empty());
}

TEST(TStack, DestroyFreesEveryItem)
{
    std::vector<int> freed;
    {
        TStack s;
        s.FreeItem = [&](void* item) {
            freed.push_back(*static_cast<int*>(item));
            delete static_cast<int*>(item);
        };
        s.Push(new int(1), 0);
        s.Push(new int(2), 0);
        s.StepBack();
    }
    EXPECT_EQ(freed, (std::vector<int>{2, 1}));
}

// ------------------------------------------------------------------------------ TUndoStack

std::vector<const LogRecord*> Records(const TUndoStack& u)
{
    std::vector<const LogRecord*> out;
    for (auto* e = u.Bottom(); e; e = e->next) out.push_back(static_cast<const LogRecord*>(e->item));
    return out;
}

void ExpectMarker(const LogRecord* r, std::int32_t code, std::int32_t tag)
{
    ASSERT_EQ(r->kind, LogKind::Marker);
    EXPECT_EQ(r->code, code);
    EXPECT_EQ(r->tag, tag);
}

void ExpectSelection(const LogRecord* r, std::int64_t anchor, std::int64_t caret)
{
    ASSERT_EQ(r->kind, LogKind::Selection);
    EXPECT_EQ(r->selection, (LogSelection{anchor, caret}));
}

void Type(TUndoStack& u, std::int64_t at, std::string_view text)
{
    u.BeginTextTransaction({at, at}, "", text);
    const auto end = at + static_cast<std::int64_t>(text.size());
    u.EndTransaction(kTransText, {end, end});
}

// Undoes one plain transaction the way replay walks it.
void UndoOne(TUndoStack& u)
{
    for (int i = 0; i < 6; ++i) u.StepBack();
}

TEST(TUndoStack, FreshLogIsUnmodifiedAndUnlimited)
{
    TUndoStack u;
    EXPECT_FALSE(u.Modified());
    EXPECT_FALSE(u.CanUndo());
    EXPECT_FALSE(u.CanRedo());
    EXPECT_EQ(u.SizeLimit(), -1);
    EXPECT_EQ(u.SavedCount(), -1);
    EXPECT_FALSE(u.GroupOpen());
    EXPECT_EQ(u.GroupCode(), 0);
}

TEST(TUndoStack, TextTransactionShapeAndSizes)
{
    TUndoStack u;
    u.BeginTextTransaction({7, 3}, "abcd", "xy");
    EXPECT_TRUE(u.TransactionOpen());
    EXPECT_TRUE(u.Empty());  // nothing is written before the end
    u.EndTransaction(kTransText, {5, 5});
    auto r = Records(u);
    ASSERT_EQ(r.size(), 6u);
    ExpectMarker(r[0], 1, 0);
    ExpectSelection(r[1], 7, 3);
    ASSERT_EQ(r[2]->kind, LogKind::Text);
    EXPECT_EQ(r[2]->text, "abcd");
    ASSERT_EQ(r[3]->kind, LogKind::Text);
    EXPECT_EQ(r[3]->text, "xy");
    ExpectSelection(r[4], 5, 5);
    ExpectMarker(r[5], 1, 0);
    EXPECT_EQ(u.TotalSize(), 6 * 32 + 4 + 2);
    EXPECT_FALSE(u.TransactionOpen());
    EXPECT_TRUE(u.CanUndo());
}

TEST(TUndoStack, EmptyTextsAreRecordedAsNone)
{
    TUndoStack u;
    u.BeginTextTransaction({2, 2}, "", "");
    u.EndTransaction(kTransText, {2, 2});
    auto r = Records(u);
    ASSERT_EQ(r.size(), 6u);
    EXPECT_FALSE(r[2]->text.has_value());
    EXPECT_FALSE(r[3]->text.has_value());
}

TEST(TUndoStack, BlockIndentAndUnindentLineShapes)
{
    TUndoStack u;
    // Un-indent: three blanks removed at 10.
    u.BeginTextTransaction({10, 13}, " \t\xa0", "");
    u.EndTransaction(kTransText, {10, 10});
    // Indent: two spaces inserted at 20.
    u.BeginTextTransaction({20, 20}, "", "  ");
    u.EndTransaction(kTransText, {22, 22});
    auto r = Records(u);
    ASSERT_EQ(r.size(), 12u);
    ExpectSelection(r[1], 10, 13);
    EXPECT_EQ(r[2]->text, " \t\xa0");
    EXPECT_FALSE(r[3]->text.has_value());
    ExpectSelection(r[4], 10, 10);
    ExpectSelection(r[7], 20, 20);
    EXPECT_FALSE(r[8]->text.has_value());
    EXPECT_EQ(r[9]->text, "  ");
    ExpectSelection(r[10], 22, 22);
}

TEST(TUndoStack, StreamTransactionCopiesFromPositionAndRestoresIt)
{
    TUndoStack u;
    TMemoryStream source(std::string("headerBODY"));
    source.SetPosition(6);
    u.BeginStreamTransaction({1, 1}, "old", source);
    EXPECT_EQ(source.Position(), 6);
    u.EndTransaction(kTransStream, {5, 5});
    auto r = Records(u);
    ASSERT_EQ(r.size(), 6u);
    ExpectMarker(r[0], 4, 0);
    EXPECT_EQ(r[2]->text, "old");
    ASSERT_EQ(r[3]->kind, LogKind::Stream);
    ASSERT_NE(r[3]->stream, nullptr);
    EXPECT_EQ(r[3]->stream->Data(), "BODY");
    ExpectMarker(r[5], 4, 0);
    const std::int64_t streamRecord = 16 + 4 + static_cast<std::int64_t>(sizeof(TMemoryStream));
    EXPECT_EQ(r[3]->PayloadSize(), streamRecord);
    EXPECT_EQ(u.TotalSize(), 5 * 16 + 16 + 16 + 3 + 16 + 16 + 16 + 16 + streamRecord);
}

TEST(TUndoStack, BadTransactionsClearTheLogBeepAndRaise)
{
    TUndoStack u;
    int beeps = 0;
    u.Beep = [&] { ++beeps; };
    Type(u, 0, "a");
    u.MarkSaved();

    // Opened twice.
    u.BeginTextTransaction({1, 1}, "", "b");
    try {
        u.BeginTextTransaction({1, 1}, "", "c");
        FAIL() << "no exception";
    } catch (const EDoravaVizu& e) {
        EXPECT_STREQ(e.what(), "Bad transaction log entry");
    }
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(u.Empty());
    EXPECT_EQ(u.SavedCount(), -1);
    EXPECT_FALSE(u.TransactionOpen());

    // Closed without being open.
    EXPECT_THROW(u.EndTransaction(kTransText, {0, 0}), EDoravaVizu);
    EXPECT_EQ(beeps, 2);

    // Closed with another code.
    Type(u, 0, "a");
    u.BeginTextTransaction({1, 1}, "", "b");
    EXPECT_THROW(u.EndTransaction(kTransStream, {0, 0}), EDoravaVizu);
    EXPECT_EQ(beeps, 3);
    EXPECT_TRUE(u.Empty());

    // Without a hook nothing breaks.
    TUndoStack quiet;
    EXPECT_THROW(quiet.EndTransaction(kTransText, {0, 0}), EDoravaVizu);
}

TEST(TUndoStack, CaretGroupTriplesAndRules)
{
    TUndoStack u;
    u.OpenCaretGroup(19, {0, 9});
    EXPECT_TRUE(u.GroupOpen());
    EXPECT_EQ(u.GroupCode(), 19);
    u.OpenCaretGroup(20, {1, 1});  // ignored: a group is open
    Type(u, 0, "  ");
    u.CloseCaretGroup(20, {3, 3});  // ignored: another code
    EXPECT_TRUE(u.GroupOpen());
    u.CloseCaretGroup(19, {2, 11});
    EXPECT_FALSE(u.GroupOpen());
    EXPECT_EQ(u.GroupCode(), 0);
    u.CloseCaretGroup(19, {2, 11});  // ignored: no group open
    auto r = Records(u);
    ASSERT_EQ(r.size(), 12u);
    ExpectMarker(r[0], 19, 2);
    ExpectSelection(r[1], 0, 9);
    ExpectMarker(r[2], 19, 2);
    ExpectMarker(r[3], 1, 0);
    ExpectMarker(r[9], 19, 3);
    ExpectSelection(r[10], 2, 11);
    ExpectMarker(r[11], 19, 3);
}

TEST(TUndoStack, NothingIsWrittenWhileSuspended)
{
    TUndoStack u;
    u.SuspendRecording();
    u.SuspendRecording();
    u.ResumeRecording();
    EXPECT_FALSE(u.Recording());
    u.OpenCaretGroup(16, {0, 0});
    EXPECT_FALSE(u.GroupOpen());
    Type(u, 0, "x");
    EXPECT_TRUE(u.Empty());
    EXPECT_FALSE(u.TransactionOpen());
    u.ResumeRecording();
    EXPECT_TRUE(u.Recording());
    Type(u, 0, "x");
    EXPECT_EQ(u.Count(), 6);
}

TEST(TUndoStack, TypingAfterUndoDiscardsRedo)
{
    TUndoStack u;
    Type(u, 0, "a");
    Type(u, 1, "b");
    UndoOne(u);
    EXPECT_TRUE(u.CanRedo());
    Type(u, 1, "c");
    EXPECT_FALSE(u.CanRedo());
    EXPECT_EQ(u.Count(), 12);
    EXPECT_EQ(Records(u)[9]->text, "c");
    EXPECT_EQ(u.TotalSize(), 12 * 32 + 2);
}

TEST(TUndoStack, ModifiedFollowsTheSavePoint)
{
    TUndoStack u;
    Type(u, 0, "a");
    EXPECT_TRUE(u.Modified());  // never saved, something done
    u.MarkSaved();
    EXPECT_FALSE(u.Modified());
    Type(u, 1, "b");
    EXPECT_TRUE(u.Modified());
    UndoOne(u);
    EXPECT_FALSE(u.Modified());  // back at the save point
    UndoOne(u);
    EXPECT_TRUE(u.Modified());  // one step further
    for (int i = 0; i < 6; ++i) u.StepForward();
    EXPECT_FALSE(u.Modified());
    // Undo, then a different edit at the same depth: not the saved document.
    UndoOne(u);
    Type(u, 0, "z");
    EXPECT_EQ(u.DoneCount(), u.SavedCount());
    EXPECT_TRUE(u.Modified());
}

TEST(TUndoStack, SaveWithRedoHistoryThenNewEditAndUndoIsUnmodified)
{
    TUndoStack u;
    Type(u, 0, "a");
    Type(u, 1, "b");
    UndoOne(u);
    u.MarkSaved();  // saved with "b" in the redo part
    Type(u, 1, "c");
    EXPECT_TRUE(u.Modified());
    UndoOne(u);
    EXPECT_FALSE(u.Modified());
}

TEST(TUndoStack, SavedEmptyDocumentAndClear)
{
    TUndoStack u;
    u.MarkSaved();
    Type(u, 0, "a");
    EXPECT_TRUE(u.Modified());
    UndoOne(u);
    EXPECT_FALSE(u.Modified());
    Type(u, 0, "a");
    u.Clear();
    EXPECT_TRUE(u.Empty());
    EXPECT_EQ(u.SavedCount(), -1);
    EXPECT_FALSE(u.Modified());
    EXPECT_FALSE(u.CanUndo());
    EXPECT_EQ(u.TotalSize(), 0);
}

TEST(TUndoStack, TrimDropsWholeTransactionsOnly)
{
    TUndoStack u;
    u.SetSizeLimit(2 * (6 * 32 + 1));  // room for two one-character transactions
    Type(u, 0, "a");
    Type(u, 1, "b");
    EXPECT_EQ(u.Count(), 12);
    Type(u, 2, "c");
    auto r = Records(u);
    ASSERT_EQ(r.size(), 12u);
    ExpectMarker(r[0], 1, 0);
    EXPECT_EQ(r[3]->text, "b");
    EXPECT_EQ(r[9]->text, "c");
    EXPECT_EQ(u.DoneCount(), 12);
    EXPECT_LE(u.TotalSize(), u.SizeLimit());
    // A limit of zero leaves nothing once a transaction is written.
    u.SetSizeLimit(0);
    EXPECT_TRUE(u.Empty());
    EXPECT_EQ(u.DoneCount(), 0);
}

TEST(TUndoStack, TrimRemovesACaretGroupWithEverythingInIt)
{
    TUndoStack u;
    u.OpenCaretGroup(19, {0, 0});
    Type(u, 0, "a");
    Type(u, 1, "b");
    u.CloseCaretGroup(19, {2, 2});
    Type(u, 2, "c");
    const std::int64_t before = u.Count();
    ASSERT_EQ(before, 3 + 12 + 3 + 6);
    u.SetSizeLimit(u.TotalSize() - 1);
    auto r = Records(u);
    ASSERT_EQ(r.size(), 6u);
    ExpectMarker(r[0], 1, 0);
    EXPECT_EQ(r[3]->text, "c");
}

TEST(TUndoStack, TrimWaitsForAnOpenGroupToClose)
{
    TUndoStack u;
    u.SetSizeLimit(6 * 32 + 1);
    Type(u, 0, "a");
    u.OpenCaretGroup(16, {1, 1});
    EXPECT_EQ(u.Count(), 6);  // the opening waits for the group's first transaction
    Type(u, 1, "b");
    // nothing is trimmed while the group is open
    EXPECT_EQ(u.Count(), 15);
    u.CloseCaretGroup(16, {2, 2});
    EXPECT_TRUE(u.Empty());  // the whole group is larger than the limit
    EXPECT_FALSE(u.GroupOpen());
}

TEST(TUndoStack, TrimKeepsTheSavePointInStep)
{
    TUndoStack u;
    u.SetSizeLimit(3 * (6 * 32 + 1));
    Type(u, 0, "a");
    Type(u, 1, "b");
    u.MarkSaved();
    Type(u, 2, "c");
    Type(u, 3, "d");  // drops "a": the saved state is now one transaction lower
    EXPECT_EQ(u.SavedCount(), 6);
    EXPECT_TRUE(u.Modified());
    UndoOne(u);
    UndoOne(u);
    EXPECT_FALSE(u.Modified());
    UndoOne(u);
    EXPECT_TRUE(u.Modified());
}

TEST(TUndoStack, TrimmedAwaySavePointIsNeverReachedAgain)
{
    TUndoStack u;
    u.SetSizeLimit(6 * 32 + 1);
    u.MarkSaved();  // saved empty
    Type(u, 0, "a");
    Type(u, 1, "b");  // drops "a" and with it the saved state
    EXPECT_TRUE(u.SavePointLost());
    UndoOne(u);
    EXPECT_EQ(u.DoneCount(), 0);
    EXPECT_TRUE(u.Modified());  // the document still holds "a"
    u.MarkSaved();
    EXPECT_FALSE(u.Modified());
}

// ------------------------------------------------------------------------------ replay

// A document: the store, its selection, and the edits written to the log as the control does.
struct FakeDoc : UndoTarget {
    TTextStore store;
    LogSelection sel;
    TUndoStack log;
    int beeps = 0;

    FakeDoc()
    {
        log.Beep = [this] { ++beeps; };
    }

    void ReplaceRange(std::int64_t start, std::int64_t end, std::string_view text) override
    {
        if (end > start) store.Delete(start, end);
        if (!text.empty()) store.Insert(start, text);
    }
    void SetSelection(LogSelection selection) override { sel = selection; }
    bool Holds(std::int64_t start, std::int64_t end, std::string_view text) const override
    {
        return end <= store.CharCount() && store.TextRange(start, end) == text;
    }

    std::int64_t Low() const { return std::min(sel.anchor, sel.caret); }
    std::int64_t High() const { return std::max(sel.anchor, sel.caret); }

    // Replaces the selection with `text`, leaving the caret after it.
    void ReplaceSelection(std::string_view text)
    {
        log.BeginTextTransaction(sel, store.TextRange(Low(), High()), text);
        const auto start = Low();
        ReplaceRange(start, High(), text);
        const auto end = start + static_cast<std::int64_t>(text.size());
        sel = {end, end};
        log.EndTransaction(kTransText, sel);
    }
    void Select(std::int64_t anchor, std::int64_t caret) { sel = {anchor, caret}; }
    std::string Text() const { return store.Text(); }
};

TEST(TUndoReplay, AGroupThatWritesNothingLeavesNoTrace)
{
    TUndoStack u;
    Type(u, 0, "ab");
    u.MarkSaved();
    u.OpenCaretGroup(15, {0, 0});
    u.CloseCaretGroup(15, {0, 0});
    EXPECT_FALSE(u.GroupOpen());
    EXPECT_EQ(Records(u).size(), 6u);
    EXPECT_FALSE(u.Modified());

    // Nor does it discard what can be redone.
    FakeDoc d;
    d.ReplaceSelection("abc");
    d.log.Undo(d);
    d.log.OpenCaretGroup(15, d.sel);
    d.log.CloseCaretGroup(15, d.sel);
    EXPECT_TRUE(d.log.CanRedo());
    d.log.Redo(d);
    EXPECT_EQ(d.Text(), "abc");
}

TEST(TUndoReplay, UndoAndRedoATextReplacement)
{
    FakeDoc d;
    d.ReplaceSelection("hello world");
    d.Select(6, 11);
    d.ReplaceSelection("there");
    EXPECT_EQ(d.Text(), "hello there");
    EXPECT_TRUE(d.log.Undo(d));
    EXPECT_EQ(d.Text(), "hello world");
    EXPECT_EQ(d.sel, (LogSelection{6, 11}));
    EXPECT_TRUE(d.log.Undo(d));
    EXPECT_EQ(d.Text(), "");
    EXPECT_FALSE(d.log.Undo(d));  // nothing left
    EXPECT_TRUE(d.log.Redo(d));
    EXPECT_EQ(d.Text(), "hello world");
    EXPECT_EQ(d.sel, (LogSelection{11, 11}));
    EXPECT_TRUE(d.log.Redo(d));
    EXPECT_EQ(d.Text(), "hello there");
    EXPECT_EQ(d.sel, (LogSelection{11, 11}));
    EXPECT_FALSE(d.log.Redo(d));
    EXPECT_EQ(d.beeps, 0);
    EXPECT_TRUE(d.log.Recording());
}

TEST(TUndoReplay, ReplayWritesNothingToTheLog)
{
    FakeDoc d;
    d.ReplaceSelection("abc");
    const auto count = d.log.Count();
    d.log.Undo(d);
    d.log.Redo(d);
    EXPECT_EQ(d.log.Count(), count);
    EXPECT_FALSE(d.log.CanRedo());
}

TEST(TUndoReplay, TypingAfterUndoMakesRedoDoNothing)
{
    FakeDoc d;
    d.ReplaceSelection("a");
    d.ReplaceSelection("b");
    d.log.Undo(d);
    d.ReplaceSelection("c");
    EXPECT_FALSE(d.log.Redo(d));
    EXPECT_EQ(d.Text(), "ac");
}

TEST(TUndoReplay, CaretGroupIsOneStepAndRestoresItsCarets)
{
    FakeDoc d;
    d.ReplaceSelection("one two");
    d.Select(0, 7);
    d.log.OpenCaretGroup(19, d.sel);
    // Block indent of "one two" as a single line, then a second edit inside the same group.
    d.Select(0, 0);
    d.ReplaceSelection("  ");
    d.Select(6, 9);
    d.ReplaceSelection("TWO");
    d.Select(2, 9);
    d.log.CloseCaretGroup(19, d.sel);
    EXPECT_EQ(d.Text(), "  one TWO");

    EXPECT_TRUE(d.log.Undo(d));
    EXPECT_EQ(d.Text(), "one two");
    EXPECT_EQ(d.sel, (LogSelection{0, 7}));  // recorded at the opening
    EXPECT_TRUE(d.log.Redo(d));
    EXPECT_EQ(d.Text(), "  one TWO");
    EXPECT_EQ(d.sel, (LogSelection{2, 9}));  // recorded at the closing
    EXPECT_TRUE(d.log.Undo(d));
    EXPECT_TRUE(d.log.Undo(d));
    EXPECT_EQ(d.Text(), "");
}

TEST(TUndoReplay, UnindentPutsBackExactlyTheRemovedBlanks)
{
    FakeDoc d;
    d.ReplaceSelection(" \t\xa0x");
    // Un-indent: the three leading blanks at 0 are removed.
    d.log.OpenCaretGroup(20, {0, 4});
    d.log.BeginTextTransaction({0, 3}, d.store.TextRange(0, 3), "");
    d.store.Delete(0, 3);
    d.log.EndTransaction(kTransText, {0, 0});
    d.log.CloseCaretGroup(20, {0, 1});
    EXPECT_EQ(d.Text(), "x");
    d.log.Undo(d);
    EXPECT_EQ(d.Text(), " \t\xa0x");
    d.log.Redo(d);
    EXPECT_EQ(d.Text(), "x");
}

TEST(TUndoReplay, StreamInsertion)
{
    FakeDoc d;
    d.ReplaceSelection("ab");
    d.Select(1, 1);
    TMemoryStream source(std::string("skipXYZ"));
    source.SetPosition(4);
    d.log.BeginStreamTransaction(d.sel, "", source);
    d.store.Insert(1, "XYZ");
    d.log.EndTransaction(kTransStream, {4, 4});
    EXPECT_EQ(d.Text(), "aXYZb");
    d.log.Undo(d);
    EXPECT_EQ(d.Text(), "ab");
    EXPECT_EQ(d.sel, (LogSelection{1, 1}));
    d.log.Redo(d);
    EXPECT_EQ(d.Text(), "aXYZb");
    EXPECT_EQ(d.sel, (LogSelection{4, 4}));
}

TEST(TUndoReplay, BrokenLogIsClearedWithABeepAndNoException)
{
    // A group closing triple whose markers disagree.
    FakeDoc d;
    d.ReplaceSelection("abc");
    d.log.OpenCaretGroup(16, {3, 3});
    d.ReplaceSelection("d");
    d.log.CloseCaretGroup(16, {4, 4});
    auto* closing = static_cast<LogRecord*>(d.log.Top()->item);
    closing->code = 17;
    EXPECT_FALSE(d.log.Undo(d));
    EXPECT_EQ(d.beeps, 1);
    EXPECT_TRUE(d.log.Empty());
    EXPECT_EQ(d.Text(), "abcd");
    EXPECT_TRUE(d.log.Recording());

    // A non-marker where a marker is due.
    FakeDoc e;
    e.ReplaceSelection("abc");
    delete static_cast<LogRecord*>(e.log.Pop());  // drop the closing marker
    EXPECT_FALSE(e.log.Undo(e));
    EXPECT_EQ(e.beeps, 1);
    EXPECT_TRUE(e.log.Empty());
}

TEST(TUndoReplay, GroupRunningOffTheBottomClearsTheLog)
{
    FakeDoc d;
    d.ReplaceSelection("a");
    d.log.OpenCaretGroup(16, {1, 1});
    d.ReplaceSelection("b");
    d.log.CloseCaretGroup(16, {2, 2});
    // Turn the opening triple into a closing one behind the log's back: the group never ends.
    auto* e = d.log.Bottom();
    for (int i = 0; i < 6; ++i) e = e->next;
    for (int i = 0; i < 3; i += 2, e = e->next->next) {
        auto* marker = static_cast<LogRecord*>(e->item);
        ASSERT_EQ(marker->tag, kMarkerGroupOpen);
        marker->tag = kMarkerGroupClose;
    }
    EXPECT_FALSE(d.log.Undo(d));
    EXPECT_EQ(d.beeps, 1);
    EXPECT_TRUE(d.log.Empty());
    EXPECT_EQ(d.Text(), "");  // both edits were undone before the log ran out; that state stays
}

}  // namespace
}  // namespace tarnwick
