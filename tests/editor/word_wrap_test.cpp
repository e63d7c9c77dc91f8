#include "editor/word_wrap.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "editor/marks.h"
#include "support/store_checks.h"

namespace tarnwick {
namespace {

using Segs = std::vector<std::uint16_t>;
using test::Records;

WrapRule WrapAt(std::int32_t column)
{
    WrapRule rule;
    rule.wordWrap = true;
    rule.wrapColumn = column;
    rule.charWidth = 7;
    rule.tabs.tabDefault = 4;
    return rule;
}

// The attribute bytes of all records in a row, '-' for a record without any.
std::string AllAttributes(const TTextStore& store)
{
    std::string out;
    for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r)) {
        if (const std::uint8_t* a = r->Attributes()) out.append(reinterpret_cast<const char*>(a), r->Length());
        else out.append(r->Length(), '-');
    }
    return out;
}

void ExpectConsistent(const TTextStore& store, const std::string& model)
{
    test::ExpectConsistent(store, model, /*tabFlags=*/true);
}

// The records of every logical line are the cut WrapSegments gives for it.
void ExpectWrappedBy(const TTextStore& store, const WrapRule& rule)
{
    std::string line;
    Segs lengths;
    for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r)) {
        line.append(r->View());
        lengths.push_back(r->Length());
        if (r->EndsWithBreak() || !store.Next(r)) {
            ASSERT_EQ(lengths, WrapSegments(line, rule)) << line;
            line.clear();
            lengths.clear();
        }
    }
}

// ---- the cut of one line

TEST(WrapSegments, CutsAtTheWidthAndMovesBackToTheWordStart)
{
    const WrapRule rule = WrapAt(8);
    EXPECT_EQ(WrapSegments("aaa bbb ccc ddd\r", rule), (Segs{8, 8}));  // the CR has no width
    EXPECT_EQ(WrapSegments("abcdef ghijklmn\r", WrapAt(10)), (Segs{7, 9}));
    EXPECT_EQ(WrapSegments("short\r", rule), (Segs{6}));
    EXPECT_EQ(WrapSegments("exactly8\r", rule), (Segs{9}));
    EXPECT_EQ(WrapSegments("", rule), (Segs{}));
    EXPECT_EQ(WrapSegments("\r", rule), (Segs{1}));
    // A non-breaking space is a delimiter; a cut just after a blank stays where it is.
    EXPECT_EQ(WrapSegments("abc\xA0"
                           "defghij",
                           WrapAt(7)),
              (Segs{4, 7}));
    EXPECT_EQ(WrapSegments("abcde fghij", WrapAt(6)), (Segs{6, 5}));

    // The width comes from the text area when there is no wrap column.
    WrapRule area = WrapAt(0);
    area.textAreaWidth = 7 * 10;
    EXPECT_EQ(WrapSegments("abcdef ghijklmn\r", area), (Segs{7, 9}));
}

TEST(WrapSegments, FiveCharactersBeforeACutAndOneWordAlone)
{
    // However narrow the width, a segment holds five characters before it may end...
    EXPECT_EQ(WrapSegments("abcdefghij\r", WrapAt(2)), (Segs{5, 6}));
    EXPECT_EQ(WrapSegments("abcdefghij", WrapAt(0)), (Segs{5, 5}));  // text area 0 wide
    // ...but moving back to a word start may leave fewer; a word longer than the segment is cut.
    EXPECT_EQ(WrapSegments("ab cdefgh", WrapAt(2)), (Segs{3, 5, 1}));
    EXPECT_EQ(WrapSegments(std::string(25, 'x'), WrapAt(10)), (Segs{10, 10, 5}));
    EXPECT_EQ(WrapSegments(std::string(25, 'x') + "\r", WrapAt(10)), (Segs{10, 10, 6}));
}

TEST(WrapSegments, LongLinesAreCutAlsoWithoutWordWrap)
{
    const WrapRule off;
    EXPECT_EQ(WrapSegments(std::string(2046, 'a') + "\r", off), (Segs{2047}));
    EXPECT_EQ(WrapSegments(std::string(2047, 'a'), off), (Segs{2047}));  // the last line, no CR
    EXPECT_EQ(WrapSegments(std::string(3000, 'a'), off), (Segs{2047, 953}));
    EXPECT_EQ(WrapSegments(std::string(3000, 'a') + "\r", off), (Segs{2047, 954}));
    // The CR never stands alone in a segment.
    EXPECT_EQ(WrapSegments(std::string(2047, 'a') + "\r", off), (Segs{2046, 2}));
    EXPECT_EQ(WrapSegments(std::string(4094, 'a') + "\r", off), (Segs{2047, 2046, 2}));

    // With word wrap on a width wider than a record.
    EXPECT_EQ(WrapSegments(std::string(3000, 'a') + "\r", WrapAt(5000)), (Segs{2047, 954}));
    EXPECT_EQ(WrapSegments(std::string(2047, 'a') + "\r", WrapAt(5000)), (Segs{2046, 2}));
    // Cut by length, a word is not split either.
    EXPECT_EQ(WrapSegments(std::string(2040, 'a') + " " + std::string(20, 'b'), WrapAt(5000)), (Segs{2041, 20}));
}

TEST(WrapSegments, WrapOverrideKeepsMarkedLinesWhole)
{
    WrapRule rule = WrapAt(8);
    rule.wrapOverride = true;
    rule.wrapOverrideChars = "-#";
    EXPECT_EQ(WrapSegments("-- a long comment line\r", rule), (Segs{23}));
    EXPECT_EQ(WrapSegments("#ifdef SOMETHING_LONG", rule), (Segs{21}));
    EXPECT_EQ(WrapSegments("select a from b\r", rule), (Segs{8, 8}));
    // Not for a line of 2048 characters or more: that one is wrapped at the width.
    EXPECT_EQ(WrapSegments("-" + std::string(2999, 'a'), rule).size(), 375u);
    // The override set alone does nothing while the override is off.
    rule.wrapOverride = false;
    EXPECT_EQ(WrapSegments("-- a long comment line\r", rule), (Segs{5, 5, 8, 5}));
}

TEST(WrapSegments, TabsAndProportionalWidths)
{
    // Tab stops count from the segment's start: tab 0-3, a, b, tab 6-7, c (the fifth character
    // may pass the width), d passes: cut before the word "cd".
    EXPECT_EQ(WrapSegments("\tab\tcd", WrapAt(8)), (Segs{4, 2}));
    EXPECT_EQ(WrapSegments("\t\t\t\t\t\t\tx", WrapAt(8)), (Segs{5, 3}));

    WrapRule prop = WrapAt(0);
    prop.charWidth = 6;
    prop.textAreaWidth = 50;
    prop.charWidthOf = [](unsigned char c) { return c == 'W' ? 20 : 5; };
    EXPECT_EQ(WrapSegments("WWWWWWW", prop), (Segs{5, 2}));
    EXPECT_EQ(WrapSegments(std::string(14, 'i'), prop), (Segs{10, 4}));
    EXPECT_EQ(WrapSegments("iiii WWW", prop), (Segs{5, 3}));
}

TEST(WrapSegments, TheWordBreakCallbackReplacesTheRule)
{
    const std::string line = "aaa,bbb ccc\r";
    EXPECT_EQ(WrapSegments(line, WrapAt(9)), (Segs{8, 4}));

    WrapRule rule = WrapAt(9);
    std::vector<int> codes;
    rule.onWordBreak = [&](const char* text, int current, int length, int code) {
        codes.push_back(code);
        EXPECT_EQ(std::string(text, static_cast<std::size_t>(length)), "aaa,bbb ccc");
        if (code == kWordBreakIsDelimiter) return text[current] == ',' ? 1 : 0;
        int i = current;
        while (i > 0 && text[i - 1] != ',') --i;
        return i;
    };
    EXPECT_EQ(WrapSegments(line, rule), (Segs{4, 8}));
    EXPECT_NE(std::find(codes.begin(), codes.end(), kWordBreakLeft), codes.end());
    EXPECT_NE(std::find(codes.begin(), codes.end(), kWordBreakIsDelimiter), codes.end());

    // Answers outside the segment are ignored.
    rule.onWordBreak = [](const char*, int, int, int code) { return code == kWordBreakLeft ? -40 : 0; };
    EXPECT_EQ(WrapSegments(line, rule), (Segs{9, 3}));
    rule.onWordBreak = [](const char*, int, int, int code) { return code == kWordBreakLeft ? 999 : 0; };
    EXPECT_EQ(WrapSegments(line, rule), (Segs{9, 3}));
}

// ---- applying the cut to a store

class RecordingView : public TextStoreListener {
public:
    void TextChanged(std::int64_t, std::int64_t) override { ++textChanges; }
    void LineShift(std::int64_t, std::int64_t) override { ++lineShifts; }
    void LinesRewrapped(std::int64_t first, std::int64_t oldCount, std::int64_t newCount) override
    {
        rewraps.push_back({first, oldCount, newCount});
    }
    int textChanges = 0;
    int lineShifts = 0;
    std::vector<std::array<std::int64_t, 3>> rewraps;
};

struct TestObject : LineAttachment {
    explicit TestObject(int id) : id(id) {}
    int id;
};

const std::string kDocument =
    "select customer_id, order_date from orders\r"
    "-- short\r"
    "where customer_id = 42 and order_date > '2001-01-01'\r"
    "x\r"
    "update orders set state = 'closed' where order_id in (select id from old_orders)";

TEST(WrapStore, WrapAndUnwrapKeepTextAttributesAndCounts)
{
    TTextStore store;
    store.SetText(kDocument);
    RecordingView view;
    store.AddView(&view);
    std::uint8_t token = 1;
    for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r)) {
        std::uint8_t* a = store.AllocateAttributes(r);
        for (std::size_t i = 0; i < r->Length(); ++i) a[i] = token++;
        r->SetFlags(0);
    }
    const std::string attributes = AllAttributes(store);

    const WrapRule rule = WrapAt(20);
    const RewrapResult wrapped = WrapDocument(store, rule);
    EXPECT_TRUE(wrapped.changed);
    EXPECT_EQ(wrapped.oldCount, 5);
    EXPECT_EQ(wrapped.newCount, store.LineCount());
    EXPECT_GT(store.LineCount(), 5);
    ExpectConsistent(store, kDocument);
    ExpectWrappedBy(store, rule);
    EXPECT_EQ(AllAttributes(store), attributes);
    EXPECT_LE(store.LongestLine(), 21);
    for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r)) {
        if (r->View() == "-- short\r" || r->View() == "x\r") {
            EXPECT_EQ(r->Flags(), 0u);  // a line whose cut did not change is left alone
        } else {
            EXPECT_TRUE(r->Flags() & lfRepaint);
            EXPECT_FALSE(r->Flags() & lfAttributesStale);
        }
    }
    ASSERT_EQ(view.rewraps.size(), 1u);
    EXPECT_EQ(view.rewraps[0], (std::array<std::int64_t, 3>{0, 5, store.LineCount()}));
    EXPECT_EQ(view.textChanges, 0);
    EXPECT_EQ(view.lineShifts, 0);

    // Wrapping again with the same rule changes nothing and tells nobody.
    EXPECT_FALSE(WrapDocument(store, rule).changed);
    EXPECT_EQ(view.rewraps.size(), 1u);

    const RewrapResult unwrapped = UnwrapDocument(store);
    EXPECT_TRUE(unwrapped.changed);
    EXPECT_EQ(store.LineCount(), 5);
    ExpectConsistent(store, kDocument);
    EXPECT_EQ(AllAttributes(store), attributes);
    store.RemoveView(&view);
}

TEST(WrapStore, MarksObjectsCacheAndBreakpointsStayWithTheirText)
{
    TTextStore store;
    store.SetText(kDocument);
    // Bookmark 3 on the last line at its 60th character, bookmark 1 on the first line.
    ASSERT_EQ(SetNumberedBookmark(store, 3, 4, 60), bsrSet);
    ASSERT_EQ(SetNumberedBookmark(store, 1, 0, 5), bsrSet);
    const auto target3 = NumberedBookmarkTarget(store, 3);
    store.FromLine(2).record->SetMarkData(0x0004);
    store.FromLine(2).record->SetMarks(0x0800);
    store.SetLineObject(store.FromLine(2).record, std::make_unique<TestObject>(7));
    const std::int64_t line2 = store.FromLine(2).offset;
    const std::int64_t line4 = store.FromLine(4).offset;
    store.Breakpoints().Add(line2, 0, 0, "b2");
    store.CodeBreaks().SetExecutionPoint(line4);
    store.Bookmarks().Add("named", line4 + 30);
    store.SetCachedLine(store.FromLine(4).record);

    const WrapRule rule = WrapAt(16);
    WrapDocument(store, rule);
    ExpectConsistent(store, kDocument);

    const LinePosition at2 = store.FromOffset(line2);
    ASSERT_EQ(at2.offset, line2);
    EXPECT_EQ(at2.record->MarkData(), 0x0004);
    EXPECT_EQ(at2.record->Marks(), 0x0800);
    auto* object = dynamic_cast<TestObject*>(store.LineObject(at2.record));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->id, 7);
    EXPECT_EQ(object->Record, at2.record);
    EXPECT_NE(store.Breakpoints().Find(line2), nullptr);
    EXPECT_EQ(store.CodeBreaks().LineStyle(line4), kCodeBreakStyle);
    EXPECT_EQ(store.Bookmarks().Offset("named"), line4 + 30);
    EXPECT_EQ(store.CachedPosition().offset, line4);
    EXPECT_EQ(FindNumberedBookmark(store, 3), store.FromOffset(line4).record);
    const auto wrapped3 = NumberedBookmarkTarget(store, 3);
    ASSERT_TRUE(wrapped3);
    EXPECT_EQ(wrapped3->offset, target3->offset);  // the same character, now in a later segment
    EXPECT_GT(wrapped3->line, 4);

    // A bookmark and a breakpoint put on an inner segment while wrapped.
    TLineRecord* inner = store.Next(store.FromOffset(line4).record);
    ASSERT_TRUE(inner->IsContinuation());
    inner->SetMarks(static_cast<std::uint16_t>(inner->Marks() | 0x0020));  // bookmark 5
    const std::int64_t innerOffset = store.OffsetOf(inner);
    store.Breakpoints().Add(innerOffset, 0, 0, "inner");

    UnwrapDocument(store);
    ExpectConsistent(store, kDocument);
    EXPECT_EQ(store.LineCount(), 5);
    EXPECT_EQ(FindNumberedBookmark(store, 5), store.FromLine(4).record);  // merged into the first
    EXPECT_EQ(FindNumberedBookmark(store, 3), store.FromLine(4).record);
    EXPECT_EQ(NumberedBookmarkTarget(store, 3)->offset, target3->offset);
    EXPECT_EQ(FindNumberedBookmark(store, 1), store.FromLine(0).record);
    EXPECT_EQ(store.FromLine(2).record->Marks(), 0x0800);
    EXPECT_EQ(store.LineObject(store.FromLine(2).record), object);
    EXPECT_NE(store.Breakpoints().Find(line2), nullptr);
    // The breakpoint of the inner segment no longer starts a record: it goes to its line's start.
    EXPECT_EQ(store.Breakpoints().Find(innerOffset), nullptr);
    ASSERT_EQ(store.Breakpoints().Count(), 2u);
    EXPECT_EQ(store.Breakpoints().At(1)->Offset(), line4);
    EXPECT_EQ(store.CodeBreaks().LineStyle(line4), kCodeBreakStyle);
    EXPECT_EQ(store.CachedPosition().offset, line4);
}

TEST(WrapStore, OneLogicalLineFromAnyOfItsRecords)
{
    TTextStore store;
    store.SetText(kDocument);
    RecordingView view;
    store.AddView(&view);
    const WrapRule rule = WrapAt(16);
    WrapDocument(store, rule);

    // An edit makes the third logical line longer; re-wrap it from one of its later records.
    const std::int64_t start = LogicalLineStart(store, static_cast<std::int64_t>(kDocument.find("where")));
    const std::int64_t firstIndex = store.FromOffset(start).line;
    std::string model = kDocument;
    store.Insert(start + 5, " extra words inserted here");
    model.insert(static_cast<std::size_t>(start + 5), " extra words inserted here");
    const std::int64_t before = store.LineCount();
    view.rewraps.clear();
    const RewrapResult result = WrapLogicalLine(store, firstIndex + 2, rule);
    EXPECT_TRUE(result.changed);
    EXPECT_EQ(result.firstLine, firstIndex);
    EXPECT_EQ(store.LineCount(), before - result.oldCount + result.newCount);
    ASSERT_EQ(view.rewraps.size(), 1u);
    EXPECT_EQ(view.rewraps[0], (std::array<std::int64_t, 3>{firstIndex, result.oldCount, result.newCount}));
    ExpectConsistent(store, model);
    ExpectWrappedBy(store, rule);

    // Again: nothing to do.
    const RewrapResult again = WrapLogicalLine(store, firstIndex, rule);
    EXPECT_FALSE(again.changed);
    EXPECT_EQ(again.oldCount, again.newCount);
    EXPECT_EQ(view.rewraps.size(), 1u);

    // Outside the text: nothing.
    EXPECT_FALSE(WrapLogicalLine(store, -1, rule).changed);
    EXPECT_FALSE(WrapLogicalLine(store, store.LineCount(), rule).changed);
    TTextStore empty;
    EXPECT_FALSE(WrapLogicalLine(empty, 0, rule).changed);
    EXPECT_FALSE(WrapDocument(empty, rule).changed);
    store.RemoveView(&view);
}

TEST(WrapStore, BadCutsAreRefusedAndLeaveTheStoreWhole)
{
    TTextStore store;
    store.SetText(kDocument);
    const auto records = Records(store);
    const std::uint16_t tooLong[] = {44};
    const std::uint16_t zero[] = {0, 43};
    const std::uint16_t huge[] = {2048};
    EXPECT_THROW(store.RebuildLine(0, tooLong), std::invalid_argument);
    EXPECT_THROW(store.RebuildLine(0, zero), std::invalid_argument);
    EXPECT_THROW(store.RebuildLine(0, huge), std::invalid_argument);
    EXPECT_THROW(store.RebuildLine(0, std::span<const std::uint16_t>{}), std::invalid_argument);
    EXPECT_EQ(Records(store), records);
    const std::uint16_t good[] = {20, 23};
    EXPECT_TRUE(store.RebuildLine(0, good).changed);
    EXPECT_EQ(store.FromLine(1).record->Length(), 23);
    ExpectConsistent(store, kDocument);

    // A cutter that fails half-way through the document: the lines before it are cut, the rest
    // keep their records, and the failure comes out afterwards.
    TTextStore other;
    other.SetText(kDocument);
    int calls = 0;
    const WrapRule rule = WrapAt(10);
    EXPECT_THROW(other.RewrapAll([&](std::string_view line, Segs& segments) {
        if (++calls == 3) throw std::runtime_error("cutter failed");
        WrapSegments(line, rule, segments);
    }),
                 std::runtime_error);
    ExpectConsistent(other, kDocument);
    EXPECT_EQ(Records(other).back(), records.back());
    EXPECT_THROW(other.RewrapAll([&](std::string_view, Segs& segments) { segments = {1, 1}; }), std::invalid_argument);
    ExpectConsistent(other, kDocument);
}

TEST(WrapStore, UnwrapNeverLeavesALoneLineBreak)
{
    // Loading cuts a 2047-character line before its CR; un-wrapping moves one character along.
    TTextStore store;
    const std::string text = std::string(2047, 'y') + "\rz";
    store.SetText(text);
    UnwrapDocument(store);
    ExpectConsistent(store, text);
    EXPECT_EQ(Records(store), (std::vector<std::string>{std::string(2046, 'y'), "y\r", "z"}));
}

// Random documents: wrap at random widths, re-wrap single lines after edits, un-wrap; text,
// attribute bytes and the store's index agree with a model all the way.
TEST(WrapStore, RandomWrapUnwrapRoundTrips)
{
    std::mt19937 rng(20240611);
    const char* words[] = {"select", "a", "from", "\t", "where", "x=1", "--", "' '", "customer_orders_table", "  "};
    auto randomLine = [&] {
        std::string line;
        const int kind = static_cast<int>(rng() % 10);
        const std::size_t target = kind == 0 ? 2040 + rng() % 1500 : rng() % 120;
        if (kind == 1) return std::string(2040 + rng() % 20, 'q');
        while (line.size() < target) line += std::string(words[rng() % 10]) + (rng() % 3 ? " " : "");
        return line;
    };
    for (int round = 0; round < 12; ++round) {
        std::string model;
        const int lines = 1 + static_cast<int>(rng() % 60);
        for (int i = 0; i < lines; ++i) {
            model += randomLine();
            if (i + 1 < lines || rng() % 2) model += '\r';
        }
        TTextStore store;
        store.SetText(model);
        for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r)) {
            if (rng() % 5 == 0) continue;  // some records stay without attribute bytes
            std::uint8_t* a = store.AllocateAttributes(r);
            // Values above '-', which marks the bytes of records without attributes.
            for (std::size_t i = 0; i < r->Length(); ++i) a[i] = static_cast<std::uint8_t>(rng() % 200 + 46);
        }
        const std::string loaded = AllAttributes(store);

        WrapRule rule = WrapAt(5 + static_cast<std::int32_t>(rng() % 90));
        rule.wrapOverride = rng() % 2;
        rule.wrapOverrideChars = "-";
        WrapDocument(store, rule);
        ASSERT_NO_FATAL_FAILURE(ExpectConsistent(store, model));
        ASSERT_NO_FATAL_FAILURE(ExpectWrappedBy(store, rule));
        // Attribute bytes come through wherever the whole record had them.
        const std::string wrapped = AllAttributes(store);
        for (std::size_t i = 0; i < wrapped.size(); ++i)
            if (wrapped[i] != '-') {
                ASSERT_EQ(wrapped[i], loaded[i]) << i;
            }

        // A few edits, each followed by re-wrapping the edited line, match a whole re-wrap.
        for (int edit = 0; edit < 5; ++edit) {
            const std::int64_t at = static_cast<std::int64_t>(rng() % (model.size() + 1));
            const std::string piece = rng() % 2 ? " inserted words " : "xyzzy";
            store.Insert(at, piece);
            model.insert(static_cast<std::size_t>(at), piece);
            WrapLogicalLine(store, store.FromOffset(std::min<std::int64_t>(at, store.CharCount() - 1)).line, rule);
            ASSERT_NO_FATAL_FAILURE(ExpectConsistent(store, model));
        }
        ASSERT_NO_FATAL_FAILURE(ExpectWrappedBy(store, rule));
        const auto byLines = Records(store);
        WrapDocument(store, rule);
        EXPECT_EQ(Records(store), byLines);

        const std::string beforeUnwrap = AllAttributes(store);
        UnwrapDocument(store);
        ASSERT_NO_FATAL_FAILURE(ExpectConsistent(store, model));
        ASSERT_NO_FATAL_FAILURE(ExpectWrappedBy(store, WrapRule{}));
        const std::string after = AllAttributes(store);
        for (std::size_t i = 0; i < after.size(); ++i)
            if (after[i] != '-') {
                ASSERT_EQ(after[i], beforeUnwrap[i]) << i;
            }
    }
}

// Bytes stay exactly the same through wrap and un-wrap when every record is highlighted.
TEST(WrapStore, FullyHighlightedDocumentRoundTripsByteForByte)
{
    std::mt19937 rng(99);
    std::string model;
    for (int i = 0; i < 300; ++i) {
        const std::size_t n = rng() % 200;
        for (std::size_t k = 0; k < n; ++k) model += "ab \tcd,ef"[rng() % 9];
        model += '\r';
    }
    TTextStore store;
    store.SetText(model);
    for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r)) {
        std::uint8_t* a = store.AllocateAttributes(r);
        for (std::size_t i = 0; i < r->Length(); ++i) a[i] = static_cast<std::uint8_t>(rng() % 255 + 1);
    }
    const auto records = Records(store);
    const std::string attributes = AllAttributes(store);
    for (std::int32_t column : {7, 33, 80}) {
        WrapDocument(store, WrapAt(column));
        ASSERT_NO_FATAL_FAILURE(ExpectConsistent(store, model));
        EXPECT_EQ(AllAttributes(store), attributes);
    }
    UnwrapDocument(store);
    EXPECT_EQ(Records(store), records);
    EXPECT_EQ(AllAttributes(store), attributes);
}

}  // namespace
}  // namespace tarnwick
