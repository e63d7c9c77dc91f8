#include "editor/text_store.h"

#include <gtest/gtest.h>

#include <random>

#include "editor/char_streams.h"
#include "support/store_checks.h"

namespace tarnwick {
namespace {

using test::ExpectConsistent;
using test::Records;

TEST(TextStore, NormalisesLineBreaksAndControlCharacters)
{
    EXPECT_EQ(NormalizeText("a\r\nb\n\rc\rd\n"), "a\rb\rc\rd\r");
    EXPECT_EQ(NormalizeText("\r\r\n\n"), "\r\r\r");  // CR, then CR LF, then LF
    EXPECT_EQ(NormalizeText(std::string("x\0\a\x1B\ty\x7F\xFF", 8)), "x...\ty\x7F\xFF");

    TTextStore store;
    store.Insert(0, "a\r\nb\n\rc\rd\n");
    EXPECT_EQ(Records(store), (std::vector<std::string>{"a\r", "b\r", "c\r", "d\r"}));
    EXPECT_EQ(store.CharCount(), 8);
    EXPECT_EQ(store.LineCount(), 4);

    store.SetText(std::string("t\tx\0", 4));
    EXPECT_EQ(store.Text(), "t\tx.");
    EXPECT_TRUE(store.FirstLine()->Flags() & lfHasTab);
    EXPECT_TRUE(store.FirstLine()->Flags() & lfRepaint);
}

TEST(TextStore, EmptyStoreAndSingleLineBreak)
{
    TTextStore store;
    EXPECT_EQ(store.FirstLine(), nullptr);
    EXPECT_EQ(store.LineCount(), 0);
    EXPECT_EQ(store.LongestLine(), 1);
    EXPECT_EQ(store.FromOffset(0).record, nullptr);

    store.Insert(0, "\n");  // a single LF is stored as CR
    EXPECT_EQ(Records(store), std::vector<std::string>{"\r"});
    store.Insert(1, "x");
    EXPECT_EQ(Records(store), (std::vector<std::string>{"\r", "x"}));
    store.Delete(0, 2);
    EXPECT_EQ(store.LineCount(), 0);
    EXPECT_EQ(store.LongestLine(), 0);
}

TEST(TextStore, LongLinesAreCutIntoContinuationRecords)
{
    TTextStore store;
    store.Insert(0, std::string(5000, 'x'));
    ASSERT_EQ(store.LineCount(), 3);
    const TLineRecord* r = store.FirstLine();
    EXPECT_EQ(r->Length(), 2047);
    EXPECT_FALSE(r->IsContinuation());
    r = store.Next(r);
    EXPECT_EQ(r->Length(), 2047);
    EXPECT_TRUE(r->Marks() & kContinuationMark);
    r = store.Next(r);
    EXPECT_EQ(r->Length(), 906);
    EXPECT_TRUE(r->Marks() & kContinuationMark);
    EXPECT_EQ(store.LongestLine(), 2047);

    // A line of exactly 2047 characters and its break: the break gets a record of its own.
    store.SetText(std::string(2047, 'y') + "\r\nz");
    EXPECT_EQ(store.LineCount(), 3);
    EXPECT_EQ(store.FromLine(1).record->View(), "\r");
    EXPECT_TRUE(store.FromLine(1).record->IsContinuation());
    EXPECT_FALSE(store.FromLine(2).record->IsContinuation());
    ExpectConsistent(store, std::string(2047, 'y') + "\rz");
}

TEST(TextStore, FirstRecordOfALogicalLine)
{
    TTextStore store;
    EXPECT_EQ(store.FirstLineOfLogical(0), 0);
    EXPECT_EQ(store.FirstLineOfLogical(3), 0);  // no lines at all: LineCount()

    // Logical lines 0 "a", 1 (5000 x in three records), 2 "b", 3 the empty line after the last break.
    store.SetText("a\r" + std::string(5000, 'x') + "\rb\r");
    ASSERT_EQ(store.LineCount(), 5);
    EXPECT_EQ(store.FirstLineOfLogical(-1), 0);
    EXPECT_EQ(store.FirstLineOfLogical(0), 0);
    EXPECT_EQ(store.FirstLineOfLogical(1), 1);
    EXPECT_EQ(store.FirstLineOfLogical(2), 4);
    EXPECT_EQ(store.FirstLineOfLogical(3), 5);
    EXPECT_EQ(store.FirstLineOfLogical(4), 5);
    for (std::int64_t line = 0; line < store.LineCount(); ++line)
        EXPECT_LE(store.FirstLineOfLogical(store.LogicalLineOf(line)), line);

    // A break typed into the long line moves every later logical line one record on.
    store.Insert(3000, "\r");
    EXPECT_EQ(store.FirstLineOfLogical(2), store.FromOffset(3001).line);
    EXPECT_EQ(store.FromLine(store.FirstLineOfLogical(3)).record->View(), "b\r");
    ExpectConsistent(store, "a\r" + std::string(2998, 'x') + "\r" + std::string(2002, 'x') + "\rb\r");
}

TEST(TextStore, TypingKeepsTheRecordAndDeletingJoinsLines)
{
    TTextStore store;
    store.SetText("abc\ndef\nghi");
    TLineRecord* second = store.FromLine(1).record;
    second->SetMarks(0x0003);
    second->SetStateIn(7);
    store.AllocateAttributes(second)[0] = 9;

    store.Insert(5, "X");  // inside "def": the same record, attributes gone
    EXPECT_EQ(store.FromLine(1).record, second);
    EXPECT_EQ(second->View(), "dXef\r");
    EXPECT_EQ(second->Attributes(), nullptr);
    EXPECT_EQ(second->Marks(), 0x0003);

    store.Delete(2, 5);  // "c\r" and "d" away: lines 0 and 1 join, keeping the first line's marks
    EXPECT_EQ(store.Text(), "abXef\rghi");
    EXPECT_EQ(store.FromLine(0).record->Marks(), 0);
    store.Delete(0, 6);  // a whole line with its break
    EXPECT_EQ(Records(store), std::vector<std::string>{"ghi"});
}

TEST(TextStore, ReplacedRecordsHandOverTheirStateAndLineObject)
{
    struct Tag : LineAttachment {
        explicit Tag(int* freed) : freed(freed) {}
        ~Tag() override { ++*freed; }
        int* freed;
    };
    int freed = 0;
    TTextStore store;
    store.SetText("one\ntwo\nthree\n");
    TLineRecord* two = store.FromLine(1).record;
    two->SetMarks(0x0005);
    two->SetMarkData(42);
    two->SetStateIn(3);
    two->SetStateOut(4);
    store.SetLineObject(two, std::make_unique<Tag>(&freed));
    store.SetCachedLine(two);

    store.Insert(5, "A\nB");                 // "tAwo" becomes "tA" + "Bwo": records rebuilt
    EXPECT_EQ(store.CachedLine(), nullptr);  // the cached record was replaced
    TLineRecord* head = store.FromLine(1).record;
    EXPECT_EQ(head->View(), "tA\r");
    EXPECT_EQ(head->Marks(), 0x0005);
    EXPECT_EQ(head->MarkData(), 42);
    EXPECT_EQ(head->StateIn(), 3);
    EXPECT_EQ(head->StateOut(), 4);
    ASSERT_NE(store.LineObject(head), nullptr);
    EXPECT_EQ(store.LineObject(head)->Record, head);
    TLineRecord* tail = store.FromLine(2).record;
    EXPECT_EQ(tail->Marks(), 0);
    EXPECT_EQ(tail->StateIn(), -1);
    EXPECT_EQ(store.LineObject(tail), nullptr);
    EXPECT_EQ(freed, 0);

    store.Delete(store.OffsetOf(head), store.OffsetOf(tail) + 1);  // line 1 joins 2
    EXPECT_EQ(store.LineObject(store.FromLine(1).record)->Record, store.FromLine(1).record);
    store.Delete(0, store.CharCount());
    EXPECT_EQ(freed, 1);
}

TEST(TextStore, CacheFollowsEditsBeforeIt)
{
    TTextStore store;
    store.SetText("a\nb\nc\nd\n");
    TLineRecord* c = store.FromLine(2).record;
    store.SetCachedLine(c);
    store.Insert(0, "new\n");
    EXPECT_EQ(store.CachedPosition().record, c);
    EXPECT_EQ(store.CachedPosition().line, 3);
    EXPECT_EQ(store.CachedPosition().offset, 8);
}

TEST(TextStore, ListenersHearEveryChangeInOrder)
{
    struct Log : TextStoreListener {
        std::vector<std::string> events;
        void TextInserting(std::int64_t o, std::int64_t n) override
        {
            events.push_back("ins " + std::to_string(o) + " " + std::to_string(n));
        }
        void TextDeleting(std::int64_t s, std::int64_t e) override
        {
            events.push_back("del " + std::to_string(s) + " " + std::to_string(e));
        }
        void TextChanged(std::int64_t o, std::int64_t d) override
        {
            events.push_back("chg " + std::to_string(o) + " " + std::to_string(d));
        }
        void LineShift(std::int64_t s, std::int64_t d) override
        {
            events.push_back("shift " + std::to_string(s) + " " + std::to_string(d));
        }
    } log;
    TTextStore store;
    store.AddView(&log);
    store.AddView(&log);          // added once
    store.Insert(0, "ab\r\ncd");  // normalised length 5
    store.Insert(1, "x");
    store.Delete(0, 3);
    EXPECT_EQ(log.events, (std::vector<std::string>{"ins 0 5", "chg 0 5", "shift 0 5", "ins 1 1", "chg 1 1",
                                                    "shift 1 1", "del 0 3", "chg 0 -3", "shift 0 -3"}));
}

TEST(TextStore, DeletingEverythingClearsBookmarks)
{
    TTextStore store;
    store.SetText("a\nb");
    store.SetBookmarkColumn(3, 7);
    store.SetBookmarkColumn(11, 1);  // out of range: ignored
    EXPECT_EQ(store.BookmarkColumn(3), 7);
    store.Delete(0, 1);
    EXPECT_EQ(store.BookmarkColumn(3), 7);
    store.Delete(0, store.CharCount());
    EXPECT_EQ(store.BookmarkColumn(3), 0);
    EXPECT_EQ(store.CharCount(), 0);
}

// Random edits over documents large enough to split and merge blocks, checked against a string.
TEST(TextStore, RandomEditsMatchAStringModel)
{
    std::mt19937 rng(20261208);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto randomText = [&]() {
        static const std::string pieces[] = {
            "a", "bc", "\r\n", "\n", "\r", "\n\r", "\t", std::string(1, '\0'), "select 1 ", "\x80\xFF"};
        std::string s;
        const int kind = pick(10);
        if (kind == 0) return std::string(static_cast<std::size_t>(1 + pick(3000)), 'L');  // long lines
        if (kind == 1) {
            for (int i = 0; i < 800; ++i) s += "line " + std::to_string(i) + "\n";  // many lines
            return s;
        }
        const int n = 1 + pick(12);
        for (int i = 0; i < n; ++i) s += pieces[pick(10)];
        return s;
    };

    TTextStore store;
    std::string model;
    for (int step = 0; step < 1500; ++step) {
        if (model.empty() || pick(3) != 0) {
            const std::int64_t at = pick(static_cast<int>(model.size()) + 1);
            const std::string text = randomText();
            store.Insert(at, text);
            model.insert(static_cast<std::size_t>(at), NormalizeText(text));
        } else {
            std::int64_t a = pick(static_cast<int>(model.size()) + 1);
            std::int64_t b = a + pick(pick(10) == 0 ? 20000 : 40);
            b = std::min<std::int64_t>(b, static_cast<std::int64_t>(model.size()));
            store.Delete(a, b);
            model.erase(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a));
        }
        if (step % 25 == 0 || model.size() < 200) {
            ASSERT_NO_FATAL_FAILURE(ExpectConsistent(store, model)) << "after step " << step;
        }
        ASSERT_EQ(store.CharCount(), static_cast<std::int64_t>(model.size())) << "after step " << step;
    }
    ASSERT_NO_FATAL_FAILURE(ExpectConsistent(store, model));
    EXPECT_GT(store.LineCount(), 3000);  // the test did reach documents of several blocks
}

TEST(EdStream, ReadsTheStoreAcrossRecords)
{
    TTextStore store;
    const std::string text = "first\nsecond line\n" + std::string(3000, 'w') + "\nend";
    store.SetText(text);
    const std::string stored = store.Text();

    TEdStream s(&store);
    EXPECT_EQ(s.Size(), store.CharCount());
    std::string read;
    for (; !s.AtEnd(); s.NextChar()) read.push_back(s.CurrentChar());
    EXPECT_EQ(read, stored);
    EXPECT_EQ(s.GetPos(), store.CharCount());  // one past the end
    EXPECT_EQ(s.CurrentChar(), '\0');

    std::string back;
    s.SetPos(store.CharCount() - 1);
    for (;;) {
        back.insert(back.begin(), s.CurrentChar());
        if (s.GetPos() == 0) break;
        s.PrevChar();
    }
    EXPECT_EQ(back, stored);

    s.SetPos(1 << 30);  // kept to the last character
    EXPECT_EQ(s.GetPos(), store.CharCount() - 1);
    s.SetPos(-5);
    EXPECT_EQ(s.GetPos(), 0);

    char buffer[4000];
    s.SetPos(10);  // from the second record into the long line's second segment
    EXPECT_EQ(s.Read(buffer, 2500), 2500u);
    EXPECT_EQ(std::string(buffer, 2500), stored.substr(10, 2500));
    EXPECT_EQ(s.Read(buffer, sizeof buffer), stored.size() - 2510);  // fewer than asked at the end
    EXPECT_EQ(s.Read(buffer, sizeof buffer), 0u);

    EXPECT_EQ(s.Seek(0, SeekOrigin::soFromEnd), store.CharCount());  // lands on the size
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(s.Seek(3, SeekOrigin::soFromEnd), store.CharCount() - 3);
    EXPECT_EQ(s.CurrentChar(), 'e');
    EXPECT_EQ(s.Seek(0, SeekOrigin::soFromCurrent), store.CharCount() - 3);
    EXPECT_EQ(s.Seek(6, SeekOrigin::soFromBeginning), 6);
    EXPECT_EQ(s.CurrentChar(), 's');
    EXPECT_THROW(s.Write("x", 1), EStreamError);
}

TEST(EdStream, EmptyStoreAndMemoryStream)
{
    TTextStore store;
    TEdStream s(&store);
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(s.CurrentChar(), '\0');
    char c;
    EXPECT_EQ(s.Read(&c, 1), 0u);
    TEdStream none(nullptr);
    EXPECT_TRUE(none.AtEnd());

    TFastMemoryStream m("abc\0def");
    EXPECT_EQ(m.Size(), 3);
    char buffer[8] = {};
    EXPECT_EQ(m.Read(buffer, 8), 3u);
    EXPECT_STREQ(buffer, "abc");
    m.Repoint("xy");
    EXPECT_EQ(m.Size(), 2);
    try {
        m.Write("z", 1);
        FAIL() << "no exception";
    } catch (const EStreamError& e) {
        EXPECT_STREQ(e.what(), "Cannot write to a read-only stream");
    }
}

}  // namespace
}  // namespace tarnwick
