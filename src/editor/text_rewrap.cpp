// Re-cutting the logical lines of the text store into records (word wrap): the records of a line
// are joined, cut again at the lengths the caller gives, and what the old records carried (marks,
// states, attributes, line objects, breakpoints) goes to the new ones.

#include <algorithm>
#include <cstring>
#include <exception>
#include <stdexcept>

#include "editor/marks.h"
#include "editor/text_blocks.h"
#include "editor/text_store.h"

namespace tarnwick {

// ---- re-cutting logical lines (word wrap)

// The text and attribute bytes of one logical line: straight from its record when it has one,
// joined into the buffers otherwise.
struct TTextStore::JoinedLine {
    std::string_view text;
    const std::uint8_t* attributes = nullptr;  // null when no record of the line has any
    const char* hasAttributes = nullptr;       // per character, only when some records have them and some not
    std::uint32_t flags = 0;                   // the records' flags, or-ed
    std::string textBuffer;
    std::string attributeBuffer;
    std::string maskBuffer;
};

void TTextStore::JoinLine(const std::vector<TLineRecord*>& records, JoinedLine& joined) const
{
    joined.attributes = nullptr;
    joined.hasAttributes = nullptr;
    joined.flags = 0;
    std::size_t withAttributes = 0;
    for (const TLineRecord* r : records) {
        joined.flags |= r->flags_;
        if (r->hasAttributes_) ++withAttributes;
    }
    if (records.size() == 1) {
        joined.text = records.front()->View();
        joined.attributes = records.front()->Attributes();
        return;
    }
    joined.textBuffer.clear();
    for (const TLineRecord* r : records) joined.textBuffer.append(r->text_, r->length_);
    joined.text = joined.textBuffer;
    if (withAttributes == 0) return;
    joined.attributeBuffer.clear();
    for (const TLineRecord* r : records) {
        if (r->hasAttributes_) joined.attributeBuffer.append(r->text_ + r->length_ + 1, r->length_);
        else joined.attributeBuffer.append(r->length_, '\0');
    }
    joined.attributes = reinterpret_cast<const std::uint8_t*>(joined.attributeBuffer.data());
    if (withAttributes < records.size()) {
        joined.maskBuffer.clear();
        for (const TLineRecord* r : records) joined.maskBuffer.append(r->length_, r->hasAttributes_ ? 1 : 0);
        joined.hasAttributes = joined.maskBuffer.data();
    }
}

namespace {

bool CutFits(std::size_t length, std::span<const std::uint16_t> segments)
{
    std::size_t sum = 0;
    for (std::uint16_t s : segments) {
        if (s == 0 || s > TTextStore::kMaxRecordLength) return false;
        sum += s;
    }
    return !segments.empty() && sum == length;
}

bool SameCut(const std::vector<TLineRecord*>& records, std::span<const std::uint16_t> segments)
{
    if (records.size() != segments.size()) return false;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i]->Length() != segments[i]) return false;
    return true;
}

}  // namespace

// Builds the new records of a logical line (see the header for what they take over from `old`).
// Blocks and index are left to the caller; `cacheTarget` is set when the cached record is among
// the old ones.
void TTextStore::RecutRecords(const std::vector<TLineRecord*>& old, const JoinedLine& joined,
                              std::span<const std::uint16_t> segments, std::vector<TLineRecord*>& added,
                              TLineRecord*& cacheTarget)
{
    const std::size_t first = added.size();
    const std::uint32_t stale = joined.flags & lfAttributesStale;
    std::uint16_t bookmarks = 0;
    for (const TLineRecord* r : old) bookmarks |= r->marks_ & kNumberedBookmarkMask;

    std::size_t pos = 0;
    for (std::size_t k = 0; k < segments.size(); ++k) {
        const std::string_view piece = joined.text.substr(pos, segments[k]);
        const bool tab = std::memchr(piece.data(), '\t', piece.size()) != nullptr;
        TLineRecord* r = NewRecord(piece, 0);
        std::uint32_t flags = lfRepaint | stale | (tab ? lfHasTab : 0);
        if (joined.attributes) {
            bool complete = true;
            if (joined.hasAttributes) complete = std::memchr(joined.hasAttributes + pos, 0, piece.size()) == nullptr;
            if (complete) std::memcpy(AllocateAttributes(r), joined.attributes + pos, piece.size());
            else flags |= lfAttributesStale;
        }
        if (k == 0) {
            const TLineRecord* head = old.front();
            flags |= joined.flags & lfRehighlightFrom;
            r->marks_ = static_cast<std::uint16_t>((head->marks_ & ~kContinuationMark) | bookmarks);
            r->markData_ = head->markData_;
            r->stateIn_ = head->stateIn_;
        } else {
            r->marks_ = kContinuationMark;
        }
        if (k + 1 == segments.size()) r->stateOut_ = old.back()->stateOut_;
        r->flags_ = static_cast<std::uint8_t>(flags);
        added.push_back(r);
        pos += piece.size();
    }

    // What the old records carried goes to the new record holding their first character.
    std::size_t oldStart = 0;
    std::size_t k = 0;
    std::size_t kStart = 0;  // first character of new record k
    for (std::size_t j = 0; j < old.size(); ++j) {
        TLineRecord* from = old[j];
        while (k + 1 < segments.size() && kStart + segments[k] <= oldStart) kStart += segments[k++];
        TLineRecord* to = added[first + k];
        if (j > 0) {
            to->marks_ |= static_cast<std::uint16_t>(from->marks_ & ~(kContinuationMark | kNumberedBookmarkMask));
            to->markData_ |= from->markData_;
        }
        if (!lineObjects_.empty() && (j == 0 || !LineObject(to))) MoveLineObject(from, to);
        if (cached_.record == from) cacheTarget = to;
        oldStart += from->length_;
    }
}

// Finds the records of the logical line holding record `line`; returns the index of its first.
std::int64_t TTextStore::CollectLogicalLine(std::int64_t line, std::vector<TLineRecord*>& records) const
{
    records.clear();
    TLineRecord* r = FromLine(line).record;
    std::int64_t first = line;
    for (TLineRecord* p = Prev(r); p && !p->EndsWithBreak(); p = Prev(r)) {
        r = p;
        --first;
    }
    for (; r; r = Next(r)) {
        records.push_back(r);
        if (r->EndsWithBreak()) break;
    }
    return first;
}

RewrapResult TTextStore::RebuildCollected(std::int64_t firstLine, const std::vector<TLineRecord*>& old,
                                          const JoinedLine& joined, std::span<const std::uint16_t> segments)
{
    const std::int64_t oldCount = static_cast<std::int64_t>(old.size());
    if (!CutFits(joined.text.size(), segments))
        throw std::invalid_argument("Segment lengths do not fit the line: each must be 1.." +
                                    std::to_string(kMaxRecordLength) + " and together " +
                                    std::to_string(joined.text.size()));
    if (SameCut(old, segments)) return {firstLine, oldCount, oldCount, false};

    const std::int64_t start = OffsetOf(old.front());
    TLineRecord* cacheTarget = nullptr;
    std::vector<TLineRecord*> added;
    added.reserve(segments.size());
    RecutRecords(old, joined, segments, added, cacheTarget);
    ReplaceRecords(firstLine, oldCount, added);
    for (TLineRecord* r : old) FreeRecord(r);
    UpdateLongestLine();
    if (cacheTarget) SetCachedLine(cacheTarget);
    const std::int64_t newCount = static_cast<std::int64_t>(added.size());
    SnapBreakpoints(start, start + static_cast<std::int64_t>(joined.text.size()));
    for (TextStoreListener* v : views_) v->LinesRewrapped(firstLine, oldCount, newCount);
    return {firstLine, oldCount, newCount, true};
}

RewrapResult TTextStore::RebuildLine(std::int64_t line, std::span<const std::uint16_t> segments)
{
    if (line < 0 || line >= lineCount_) return {std::clamp<std::int64_t>(line, 0, lineCount_), 0, 0, false};
    std::vector<TLineRecord*> old;
    const std::int64_t first = CollectLogicalLine(line, old);
    JoinedLine joined;
    JoinLine(old, joined);
    return RebuildCollected(first, old, joined, segments);
}

RewrapResult TTextStore::RewrapLine(std::int64_t line, const SegmentCutter& cut)
{
    if (line < 0 || line >= lineCount_) return {std::clamp<std::int64_t>(line, 0, lineCount_), 0, 0, false};
    std::vector<TLineRecord*> old;
    const std::int64_t first = CollectLogicalLine(line, old);
    JoinedLine joined;
    JoinLine(old, joined);
    std::vector<std::uint16_t> segments;
    cut(joined.text, segments);
    return RebuildCollected(first, old, joined, segments);
}

RewrapResult TTextStore::RewrapAll(const SegmentCutter& cut)
{
    const std::int64_t oldCount = lineCount_;
    if (lineCount_ == 0) return {};

    std::vector<std::unique_ptr<TextBlock>> built;
    built.reserve(blocks_.size() + 1);
    std::int64_t lines = 0;
    auto put = [&](TLineRecord* r) {
        AppendToBlocks(built, r);
        ++lines;
    };

    std::vector<TLineRecord*> old;
    std::vector<TLineRecord*> added;
    std::vector<std::uint16_t> segments;
    JoinedLine joined;
    TLineRecord* cacheTarget = nullptr;
    std::exception_ptr failure;
    bool badCut = false;
    bool changed = false;

    auto processLine = [&] {
        JoinLine(old, joined);
        segments.clear();
        bool keep = failure != nullptr;
        if (!keep) {
            try {
                cut(joined.text, segments);
            } catch (...) {
                failure = std::current_exception();
                keep = true;
            }
        }
        if (!keep && !CutFits(joined.text.size(), segments)) {
            badCut = true;
            keep = true;
        }
        if (keep || SameCut(old, segments)) {
            for (TLineRecord* r : old) put(r);
        } else {
            added.clear();
            RecutRecords(old, joined, segments, added, cacheTarget);
            for (TLineRecord* r : old) FreeRecord(r);
            for (TLineRecord* r : added) put(r);
            changed = true;
        }
        old.clear();
    };

    for (const auto& block : blocks_) {
        for (TLineRecord* r : block->records) {
            old.push_back(r);
            if (r->EndsWithBreak()) processLine();
        }
    }
    if (!old.empty()) processLine();

    blocks_ = std::move(built);
    lineCount_ = lines;
    RebuildIndex();
    MergeSmallBlocks();
    UpdateLongestLine();
    if (changed) {
        if (cacheTarget) SetCachedLine(cacheTarget);
        else if (cached_.record) SetCachedLine(cached_.record);
        SnapBreakpoints(0, charCount_);
        for (TextStoreListener* v : views_) v->LinesRewrapped(0, oldCount, lineCount_);
    }
    if (failure) std::rethrow_exception(failure);
    if (badCut)
        throw std::invalid_argument("Segment lengths do not fit a line: each must be 1.." +
                                    std::to_string(kMaxRecordLength) + " and together the line's length");
    return {0, oldCount, lineCount_, changed};
}

// Breakpoints and the execution point mark the first record of a line. One in [start, end) that
// no longer stands at the start of a record moves to the start of its logical line.
void TTextStore::SnapBreakpoints(std::int64_t start, std::int64_t end)
{
    auto misplaced = [&](std::int64_t offset) {
        return offset >= start && offset < end && offset < charCount_ && FromOffset(offset).offset != offset;
    };
    std::vector<std::pair<TSM_BreakpointData*, std::int64_t>> moves;
    for (std::size_t i = 0; i < breakpoints_->Count(); ++i) {
        TSM_BreakpointData* b = breakpoints_->At(i);
        if (b->Offset() >= end) break;
        if (misplaced(b->Offset())) moves.emplace_back(b, LogicalLineStart(*this, b->Offset()));
    }
    for (auto& [b, offset] : moves) breakpoints_->SetOffset(b, offset);
    TSM_BreakpointData& point = codeBreaks_->Record();
    if (point.Enabled() && misplaced(point.Offset()))
        codeBreaks_->SetExecutionPoint(LogicalLineStart(*this, point.Offset()));
}

}  // namespace tarnwick
