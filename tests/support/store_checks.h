#pragma once
// Checks of a text store against the text it should hold, shared by the store's tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "editor/text_store.h"

namespace tarnwick::test {

// The store's records, as text.
inline std::vector<std::string> Records(const TTextStore& store)
{
    std::vector<std::string> out;
    for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r)) out.emplace_back(r->View());
    return out;
}

// Checks everything the store says about itself against the text it should hold; with
// `tabFlags`, also that each record's TAB flag tells whether it holds a TAB.
inline void ExpectConsistent(const TTextStore& store, const std::string& model, bool tabFlags = false)
{
    ASSERT_EQ(store.CharCount(), static_cast<std::int64_t>(model.size()));
    ASSERT_EQ(store.Text(), model);

    std::int64_t line = 0, offset = 0, longest = 0, logical = 0;
    const TLineRecord* previous = nullptr;
    for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r), ++line) {
        ASSERT_EQ(store.LogicalLineOf(line), logical) << "line " << line;
        if (!r->IsContinuation()) {
            ASSERT_EQ(store.FirstLineOfLogical(logical), line) << "line " << line;
        }
        if (r->EndsWithBreak()) ++logical;
        const std::string_view text = r->View();
        ASSERT_GT(text.size(), 0u);
        ASSERT_LE(text.size(), TTextStore::kMaxRecordLength);
        ASSERT_EQ(text.find('\r'), r->EndsWithBreak() ? text.size() - 1 : std::string_view::npos) << "line " << line;
        ASSERT_EQ(text.find('\n'), std::string_view::npos);
        ASSERT_EQ(r->Text()[text.size()], '\0');
        ASSERT_EQ(r->IsContinuation(), previous && !previous->EndsWithBreak()) << "line " << line;
        if (tabFlags) {
            ASSERT_EQ((r->Flags() & lfHasTab) != 0, text.find('\t') != std::string_view::npos) << "line " << line;
        }
        ASSERT_EQ(store.Prev(r), previous);
        ASSERT_EQ(store.IndexOf(r), line);
        ASSERT_EQ(store.OffsetOf(r), offset);
        const LinePosition byLine = store.FromLine(line);
        ASSERT_EQ(byLine.record, r);
        ASSERT_EQ(byLine.offset, offset);
        const LinePosition byOffset = store.FromOffset(offset + static_cast<std::int64_t>(text.size()) - 1);
        ASSERT_EQ(byOffset.record, r);
        ASSERT_EQ(byOffset.line, line);
        ASSERT_EQ(byOffset.offset, offset);
        longest = std::max<std::int64_t>(longest, static_cast<std::int64_t>(text.size()));
        offset += static_cast<std::int64_t>(text.size());
        previous = r;
    }
    ASSERT_EQ(store.LineCount(), line);
    ASSERT_EQ(store.LogicalLineOf(line), logical);
    ASSERT_EQ(store.FirstLineOfLogical(logical + 1), line);
    if (previous && previous->EndsWithBreak()) {
        ASSERT_EQ(store.FirstLineOfLogical(logical), line);
    }
    ASSERT_EQ(store.LastLine(), previous);
    if (line > 0) {
        ASSERT_EQ(store.LongestLine(), longest);
    }
    ASSERT_EQ(store.FromOffset(store.CharCount()).record, nullptr);
    ASSERT_EQ(store.FromLine(store.LineCount()).record, nullptr);
}

}  // namespace tarnwick::test
