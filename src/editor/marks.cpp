#include "editor/marks.h"

#include <algorithm>
#include <limits>

#include "editor/editor_errors.h"
#include "editor/text_store.h"

namespace tarnwick {

// ---- line extents

std::int64_t LogicalLineStart(const TTextStore& store, std::int64_t offset)
{
    TLineRecord* r;
    if (offset >= store.CharCount()) {
        r = store.LastLine();
        if (!r || r->EndsWithBreak()) return store.CharCount();
    } else {
        r = store.FromOffset(std::max<std::int64_t>(offset, 0)).record;
    }
    for (TLineRecord* p = store.Prev(r); p && !p->EndsWithBreak(); p = store.Prev(r)) r = p;
    return store.OffsetOf(r);
}

std::int64_t LogicalLineEnd(const TTextStore& store, std::int64_t offset)
{
    if (offset >= store.CharCount()) return store.CharCount();
    const LinePosition at = store.FromOffset(std::max<std::int64_t>(offset, 0));
    std::int64_t end = at.offset;
    for (TLineRecord* r = at.record; r; r = store.Next(r)) {
        end += r->Length();
        if (r->EndsWithBreak()) break;
    }
    return end;
}

// ---- numbered bookmarks

namespace {

void CheckBookmarkIndex(int index)
{
    if (index < 0 || index >= kNumberedBookmarks) throw EDoravaVizu(msg::kBookmarkIndexRange);
}

std::uint16_t BookmarkBit(int index) { return static_cast<std::uint16_t>(1u << index); }

// The first record of the logical line of `r`, and the number of characters before `r` in it.
TLineRecord* FirstOfLine(const TTextStore& store, TLineRecord* r, std::int64_t& before)
{
    before = 0;
    for (TLineRecord* p = store.Prev(r); p && !p->EndsWithBreak(); p = store.Prev(r)) {
        r = p;
        before += r->Length();
    }
    return r;
}

// Characters of a record without its line break.
std::int64_t TextLength(const TLineRecord* r) { return r->Length() - (r->EndsWithBreak() ? 1 : 0); }

}  // namespace

TLineRecord* FindNumberedBookmark(const TTextStore& store, int index)
{
    CheckBookmarkIndex(index);
    const std::uint16_t bit = BookmarkBit(index);
    for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r))
        if (r->Marks() & bit) return r;
    return nullptr;
}

void ClearNumberedBookmark(TTextStore& store, int index)
{
    CheckBookmarkIndex(index);
    const std::uint16_t bit = BookmarkBit(index);
    for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r))
        if (r->Marks() & bit) r->SetMarks(static_cast<std::uint16_t>(r->Marks() & ~bit));
    store.SetBookmarkColumn(index, 0);
}

BookmarkSetResult SetNumberedBookmark(TTextStore& store, int index, std::int64_t line, std::int64_t column,
                                      const std::function<void(int)>& onBookmarkSet)
{
    CheckBookmarkIndex(index);
    if (line < 0 || line >= store.LineCount()) return bsrNoLine;
    const std::uint16_t bit = BookmarkBit(index);

    TLineRecord* const at = store.FromLine(line).record;
    std::int64_t before = 0;
    TLineRecord* const first = FirstOfLine(store, at, before);
    if (first->Marks() & bit) {
        first->SetMarks(static_cast<std::uint16_t>(first->Marks() & ~bit));
        store.SetBookmarkColumn(index, 0);
        return bsrCleared;
    }

    // Off its old line (a bookmark that sat on a record inside this line goes too).
    for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r))
        if (r->Marks() & bit) r->SetMarks(static_cast<std::uint16_t>(r->Marks() & ~bit));
    // A line holds one numbered bookmark: the one it had is replaced and no longer set.
    for (int other = 0; other < kNumberedBookmarks; ++other)
        if (first->Marks() & BookmarkBit(other)) store.SetBookmarkColumn(other, 0);
    first->SetMarks(static_cast<std::uint16_t>((first->Marks() & ~kNumberedBookmarkMask) | bit));

    // The column counts from the start of the logical line and is kept 1-based.
    const std::int64_t logical = before + std::clamp<std::int64_t>(column, 0, TextLength(at));
    store.SetBookmarkColumn(index, static_cast<std::uint16_t>(
                                       std::min<std::int64_t>(logical + 1, std::numeric_limits<std::uint16_t>::max())));
    if (onBookmarkSet) onBookmarkSet(index);
    return bsrSet;
}

std::optional<BookmarkTarget> NumberedBookmarkTarget(const TTextStore& store, int index)
{
    TLineRecord* r = FindNumberedBookmark(store, index);
    if (!r) return std::nullopt;
    std::int64_t column = std::max<int>(store.BookmarkColumn(index) - 1, 0);
    std::int64_t line = store.IndexOf(r);
    std::int64_t offset = store.OffsetOf(r);
    // Through the records of a wrapped line to the one that holds the column; limited to the end
    // of the logical line.
    for (;;) {
        const std::int64_t length = TextLength(r);
        TLineRecord* next = r->EndsWithBreak() ? nullptr : store.Next(r);
        if (column < length || !next) {
            column = std::min(column, length);
            break;
        }
        column -= length;
        offset += r->Length();
        ++line;
        r = next;
    }
    return BookmarkTarget{line, column, offset + column};
}

// ---- named bookmarks

void TCustomBookmarks::Place(Node node)
{
    // Behind every bookmark at or before its offset: walk back from the end, where most new
    // bookmarks go.
    auto pos = list_.end();
    while (pos != list_.begin()) {
        auto prev = std::prev(pos);
        if (prev != node && prev->Offset <= node->Offset) break;
        pos = prev;
    }
    if (pos != node) list_.splice(pos, list_, node);
}

void TCustomBookmarks::Add(const std::string& name, std::int64_t offset)
{
    offset = std::max<std::int64_t>(offset, 0);
    if (auto it = names_.find(name); it != names_.end()) {
        it->second->Offset = offset;
        Place(it->second);
        return;
    }
    list_.push_back({name, offset});
    const Node node = std::prev(list_.end());
    names_.emplace(name, node);
    Place(node);
}

void TCustomBookmarks::FireFree(std::list<NamedBookmark>& gone)
{
    if (!OnFree) return;
    for (const NamedBookmark& b : gone) OnFree(*this, b.Name);
}

bool TCustomBookmarks::Remove(std::string_view name)
{
    const auto it = names_.find(name);
    if (it == names_.end()) return false;
    std::list<NamedBookmark> gone;
    gone.splice(gone.end(), list_, it->second);
    names_.erase(it);
    FireFree(gone);
    return true;
}

void TCustomBookmarks::Clear()
{
    std::list<NamedBookmark> gone;
    gone.swap(list_);
    names_.clear();
    FireFree(gone);
}

std::optional<std::int64_t> TCustomBookmarks::Offset(std::string_view name) const
{
    const auto it = names_.find(name);
    if (it == names_.end()) return std::nullopt;
    return it->second->Offset;
}

const NamedBookmark* TCustomBookmarks::Find(std::int64_t offset) const
{
    for (const NamedBookmark& b : list_)
        if (b.Offset >= offset) return &b;
    return nullptr;
}

std::vector<std::string> TCustomBookmarks::Names() const
{
    std::vector<std::string> out;
    out.reserve(names_.size());
    for (const auto& entry : names_) out.push_back(entry.first);
    return out;
}

void TCustomBookmarks::ShiftOnInsert(std::int64_t count, std::int64_t offset)
{
    if (count <= 0) return;
    // The list is sorted: only the tail at or after the offset moves, and its order stays.
    for (auto it = list_.rbegin(); it != list_.rend() && it->Offset >= offset; ++it) it->Offset += count;
}

void TCustomBookmarks::RemoveOrShiftOnDelete(std::int64_t count, std::int64_t start)
{
    if (count <= 0 || list_.empty()) return;
    const std::int64_t end = start + count;
    auto it = list_.end();
    while (it != list_.begin() && std::prev(it)->Offset >= end) {
        --it;
        it->Offset -= count;
    }
    // [first, it) lie inside the range.
    auto first = it;
    while (first != list_.begin() && std::prev(first)->Offset >= start) --first;
    if (first == it) return;
    std::list<NamedBookmark> gone;
    gone.splice(gone.end(), list_, first, it);
    for (const NamedBookmark& b : gone) names_.erase(b.Name);
    FireFree(gone);
}

// ---- range marks

void RangeMarkList::Place(Node node)
{
    auto pos = list_.end();
    while (pos != list_.begin()) {
        auto prev = std::prev(pos);
        if (prev != node && prev->Start <= node->Start) break;
        pos = prev;
    }
    if (pos != node) list_.splice(pos, list_, node);
}

const RangeMark& RangeMarkList::Add(std::int64_t start, std::int64_t length, std::uint32_t tag)
{
    start = std::max<std::int64_t>(start, 0);
    length = std::max<std::int64_t>(length, 0);
    RangeMark mark;
    mark.Id = nextId_++;
    mark.Start = start;
    mark.End = start + length;
    mark.Tag = tag;
    list_.push_back(mark);
    const Node node = std::prev(list_.end());
    byId_.emplace(mark.Id, node);
    Place(node);
    return *node;
}

const RangeMark* RangeMarkList::Get(RangeMarkId id) const
{
    const auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : &*it->second;
}

const RangeMark* RangeMarkList::Find(std::int64_t start, std::int64_t length) const
{
    const std::int64_t end = start + std::max<std::int64_t>(length, 0);
    for (const RangeMark& m : list_) {
        if (m.Start > end) break;
        if (m.End >= start) return &m;
    }
    return nullptr;
}

bool RangeMarkList::SetStart(RangeMarkId id, std::int64_t start)
{
    const auto it = byId_.find(id);
    if (it == byId_.end()) return false;
    RangeMark& m = *it->second;
    m.Start = std::max<std::int64_t>(start, 0);
    m.End = std::max(m.End, m.Start);
    Place(it->second);
    return true;
}

bool RangeMarkList::SetEnd(RangeMarkId id, std::int64_t end)
{
    const auto it = byId_.find(id);
    if (it == byId_.end()) return false;
    RangeMark& m = *it->second;
    m.End = std::max<std::int64_t>(end, 0);
    m.Start = std::min(m.Start, m.End);
    Place(it->second);
    return true;
}

bool RangeMarkList::SetFlags(RangeMarkId id, std::uint8_t flags)
{
    const auto it = byId_.find(id);
    if (it == byId_.end()) return false;
    it->second->Flags = flags;
    return true;
}

bool RangeMarkList::SetTag(RangeMarkId id, std::uint32_t tag)
{
    const auto it = byId_.find(id);
    if (it == byId_.end()) return false;
    it->second->Tag = tag;
    return true;
}

void RangeMarkList::Fire(std::list<RangeMark>& freed, const std::vector<RangeMarkId>& changed)
{
    // The lists are consistent by now; a callback may change them, so changed marks are looked
    // up again one by one.
    if (OnFree)
        for (const RangeMark& m : freed) OnFree(m);
    if (OnChange)
        for (RangeMarkId id : changed)
            if (const RangeMark* m = Get(id)) OnChange(*m);
}

bool RangeMarkList::Remove(RangeMarkId id)
{
    const auto it = byId_.find(id);
    if (it == byId_.end()) return false;
    std::list<RangeMark> freed;
    freed.splice(freed.end(), list_, it->second);
    byId_.erase(it);
    Fire(freed, {});
    return true;
}

void RangeMarkList::Clear()
{
    std::list<RangeMark> freed;
    freed.swap(list_);
    byId_.clear();
    Fire(freed, {});
}

void RangeMarkList::Inserted(std::int64_t offset, std::int64_t delta)
{
    if (delta <= 0 || list_.empty()) return;
    std::vector<RangeMarkId> changed;
    for (RangeMark& m : list_) {
        if (m.Start >= offset) {
            m.Start += delta;
            m.End += delta;
        } else if (m.End >= offset) {
            m.End += delta;
        } else {
            continue;
        }
        changed.push_back(m.Id);
    }
    // Starts at or after the offset all moved by the same amount: the order holds.
    std::list<RangeMark> none;
    Fire(none, changed);
}

void RangeMarkList::Deleted(std::int64_t start, std::int64_t end)
{
    if (end <= start || list_.empty()) return;
    const std::int64_t count = end - start;
    std::vector<RangeMarkId> changed;
    std::list<RangeMark> freed;
    for (auto it = list_.begin(); it != list_.end();) {
        RangeMark& m = *it;
        const auto next = std::next(it);
        if (m.Start >= start && m.End <= end && m.Start < end) {
            // All its characters go (an empty mark goes when the character after it does).
            byId_.erase(m.Id);
            freed.splice(freed.end(), list_, it);
        } else if (m.Start < start) {
            if (m.End > start) {
                m.End = m.End >= end ? m.End - count : start;
                changed.push_back(m.Id);
            }
        } else if (m.Start < end) {
            m.Start = start;
            m.End -= count;
            changed.push_back(m.Id);
        } else {
            m.Start -= count;
            m.End -= count;
            changed.push_back(m.Id);
        }
        it = next;
    }
    // Starts inside the range all became `start`, between the ones before and the ones after it:
    // the order holds.
    Fire(freed, changed);
}

// ---- breakpoints

TSM_BreakpointData::TSM_BreakpointData(std::int32_t kind, std::int32_t tag, std::string text, bool enabled)
    : enabled_(enabled), kind_(kind), tag_(tag), text_(std::move(text))
{
}

void TSM_BreakpointData::SetEnabled(bool enabled)
{
    if (!alive_ || enabled_ == enabled) return;
    enabled_ = enabled;
    TSM_Breakpoints* const owner = owner_;
    ++notifying_;
    if (owner) owner->RepaintLine(offset_);
    if (OnStateChange && alive_) OnStateChange(*this);
    if (owner && alive_) owner->NotifyStateChange(*this);
    --notifying_;
    // Freed by one of the callbacks: the owner kept it until now.
    if (!alive_ && notifying_ == 0 && owner) owner->Reap(this);
}

void TSM_BreakpointData::Destroy()
{
    if (!alive_) return;
    alive_ = false;
    ++notifying_;
    if (OnFree) OnFree(*this);
    if (owner_) owner_->NotifyFree(*this);
    --notifying_;
}

TSM_Breakpoints::TSM_Breakpoints(const TTextStore* store) : store_(store) {}

TSM_Breakpoints::~TSM_Breakpoints()
{
    for (auto& breakpoint : items_) breakpoint->alive_ = false;
}

void TSM_Breakpoints::RepaintLine(std::int64_t offset)
{
    if (OnRepaintLine) OnRepaintLine(offset);
}

void TSM_Breakpoints::NotifyStateChange(TSM_BreakpointData& breakpoint)
{
    if (OnBreakpointStateChange) OnBreakpointStateChange(breakpoint);
}

void TSM_Breakpoints::NotifyFree(TSM_BreakpointData& breakpoint)
{
    if (OnBreakpointFree) OnBreakpointFree(breakpoint);
}

void TSM_Breakpoints::Reap(TSM_BreakpointData* breakpoint)
{
    std::erase_if(freedWhileBusy_, [&](const auto& p) { return p.get() == breakpoint; });
}

void TSM_Breakpoints::Sort()
{
    if (sorted_) return;
    std::stable_sort(items_.begin(), items_.end(),
                     [](const auto& a, const auto& b) { return a->offset_ < b->offset_; });
    sorted_ = true;
}

std::vector<std::unique_ptr<TSM_BreakpointData>>::iterator TSM_Breakpoints::FirstAtOrAfter(std::int64_t offset)
{
    Sort();
    return std::lower_bound(items_.begin(), items_.end(), offset,
                            [](const auto& p, std::int64_t value) { return p->offset_ < value; });
}

TSM_BreakpointData& TSM_Breakpoints::Add(std::int64_t offset, std::int32_t kind, std::int32_t tag, std::string text,
                                         bool enabled)
{
    auto breakpoint = std::make_unique<TSM_BreakpointData>(kind, tag, std::move(text), enabled);
    breakpoint->offset_ = std::max<std::int64_t>(offset, 0);
    breakpoint->owner_ = this;
    if (!items_.empty() && items_.back()->offset_ > breakpoint->offset_) sorted_ = false;
    items_.push_back(std::move(breakpoint));
    TSM_BreakpointData& added = *items_.back();
    RepaintLine(added.offset_);
    return added;
}

TSM_BreakpointData* TSM_Breakpoints::Find(std::int64_t offset)
{
    const auto it = FirstAtOrAfter(offset);
    return it != items_.end() && (*it)->offset_ == offset ? it->get() : nullptr;
}

TSM_BreakpointData* TSM_Breakpoints::At(std::size_t index)
{
    Sort();
    return index < items_.size() ? items_[index].get() : nullptr;
}

bool TSM_Breakpoints::SetOffset(TSM_BreakpointData* breakpoint, std::int64_t offset)
{
    const auto it = std::find_if(items_.begin(), items_.end(), [&](const auto& p) { return p.get() == breakpoint; });
    if (it == items_.end()) return false;
    RepaintLine(breakpoint->offset_);
    breakpoint->offset_ = std::max<std::int64_t>(offset, 0);
    breakpoint->doomed_ = false;
    sorted_ = false;
    RepaintLine(breakpoint->offset_);
    return true;
}

bool TSM_Breakpoints::Free(TSM_BreakpointData* breakpoint)
{
    const auto it = std::find_if(items_.begin(), items_.end(), [&](const auto& p) { return p.get() == breakpoint; });
    if (it == items_.end()) return false;
    std::unique_ptr<TSM_BreakpointData> gone = std::move(*it);
    items_.erase(it);
    RepaintLine(gone->offset_);
    gone->Destroy();
    // Freed from inside one of its own callbacks: it has to outlive them.
    if (gone->notifying_ > 0) freedWhileBusy_.push_back(std::move(gone));
    return true;
}

void TSM_Breakpoints::Clear()
{
    std::vector<std::unique_ptr<TSM_BreakpointData>> gone;
    gone.swap(items_);
    sorted_ = true;
    for (auto& breakpoint : gone) {
        breakpoint->Destroy();
        if (breakpoint->notifying_ > 0) freedWhileBusy_.push_back(std::move(breakpoint));
    }
}

std::optional<BreakpointStyle> TSM_Breakpoints::LineStyle(std::int64_t offset)
{
    const TSM_BreakpointData* breakpoint = Find(offset);
    if (!breakpoint) return std::nullopt;
    return breakpoint->Enabled() ? kBreakpointEnabledStyle : kBreakpointDisabledStyle;
}

bool TSM_Breakpoints::WholeLineInside(std::int64_t offset, std::int64_t start, std::int64_t end) const
{
    if (offset < start || offset >= end) return false;
    if (!store_) return offset > start;
    return LogicalLineEnd(*store_, offset) <= end;
}

std::int64_t TSM_Breakpoints::JoinStart(std::int64_t start) const
{
    return store_ ? LogicalLineStart(*store_, start) : start;
}

bool TSM_Breakpoints::LosesLine(const TSM_BreakpointData& breakpoint, std::int64_t start, std::int64_t end,
                                bool noted) const
{
    return noted ? breakpoint.doomed_ : WholeLineInside(breakpoint.offset_, start, end);
}

std::int64_t TSM_Breakpoints::InsertedOffset(std::int64_t offset, std::int64_t start, std::int64_t delta) const
{
    if (offset > start || !store_) return offset + delta;
    // Text put at the very start of the line: the line keeps its breakpoint unless the inserted
    // text ends lines of its own, whose last break the line now follows. (The text is in place.)
    return std::max(start, LogicalLineStart(*store_, start + delta));
}

bool TSM_Breakpoints::TakeNote(std::int64_t start, std::int64_t end)
{
    const bool noted = noted_ && noted_->first == start && noted_->second == end;
    noted_.reset();
    return noted;
}

void TSM_Breakpoints::NoteDeletion(std::int64_t start, std::int64_t end)
{
    noted_ = {start, end};
    if (items_.empty()) return;
    for (auto it = FirstAtOrAfter(start); it != items_.end() && (*it)->offset_ < end; ++it)
        (*it)->doomed_ = WholeLineInside((*it)->offset_, start, end);
}

void TSM_Breakpoints::Shift(std::int64_t start, std::int64_t delta)
{
    if (delta >= 0) {
        noted_.reset();
        if (delta == 0) return;
        for (auto it = FirstAtOrAfter(start); it != items_.end(); ++it)
            (*it)->offset_ = InsertedOffset((*it)->offset_, start, delta);
        return;
    }
    const std::int64_t end = start - delta;
    const bool noted = TakeNote(start, end);
    if (items_.empty()) return;

    const std::int64_t joinStart = JoinStart(start);
    std::vector<std::unique_ptr<TSM_BreakpointData>> freed;
    for (auto it = FirstAtOrAfter(start); it != items_.end(); ++it) {
        TSM_BreakpointData& b = **it;
        const bool dies = b.offset_ < end && LosesLine(b, start, end, noted);
        b.doomed_ = false;
        if (dies) {
            freed.push_back(std::move(*it));
        } else if (b.offset_ > end) {
            b.offset_ += delta;
        } else if (b.offset_ > start) {
            // Its line start went but not all of its line: the rest joined the line of `start`.
            b.offset_ = joinStart;
            sorted_ = false;
        }
    }
    if (freed.empty()) return;
    std::erase_if(items_, [](const auto& p) { return !p; });
    for (auto& breakpoint : freed) {
        RepaintLine(breakpoint->offset_);
        breakpoint->Destroy();
        if (breakpoint->notifying_ > 0) freedWhileBusy_.push_back(std::move(breakpoint));
    }
}

// Stream form of one breakpoint: offset, enabled, kind, tag, text.
void TSM_Breakpoints::WriteItem(TStream& stream, std::int64_t offset, bool enabled, std::int32_t kind, std::int32_t tag,
                                std::string_view text)
{
    WriteI32(stream,
             static_cast<std::int32_t>(std::min<std::int64_t>(offset, std::numeric_limits<std::int32_t>::max())));
    WriteU8(stream, enabled ? 1 : 0);
    WriteI32(stream, kind);
    WriteI32(stream, tag);
    WriteLStr(stream, text);
}

TSM_Breakpoints::SavedBreakpoint TSM_Breakpoints::ReadItem(TStream& stream)
{
    SavedBreakpoint item;
    item.offset = ReadI32(stream);
    if (item.offset < 0) throw EStreamError(msg::kStreamReadError);
    item.enabled = ReadU8(stream) != 0;
    item.kind = ReadI32(stream);
    item.tag = ReadI32(stream);
    item.text = ReadLStr(stream);
    return item;
}

std::vector<TSM_Breakpoints::SavedBreakpoint> TSM_Breakpoints::ReadItems(TStream& stream) const
{
    constexpr std::size_t kMinItemSize = 4 + 1 + 4 + 4 + 4;
    const std::int32_t count = ReadCount(stream, kMinItemSize);
    std::vector<SavedBreakpoint> items;
    items.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) items.push_back(ReadItem(stream));
    return items;
}

void TSM_Breakpoints::ApplyItems(std::vector<SavedBreakpoint> items)
{
    Clear();
    for (SavedBreakpoint& item : items) Add(item.offset, item.kind, item.tag, std::move(item.text), item.enabled);
}

void TSM_Breakpoints::SaveToStream(TStream& stream) const
{
    std::vector<const TSM_BreakpointData*> order;
    order.reserve(items_.size());
    for (const auto& p : items_) order.push_back(p.get());
    std::stable_sort(order.begin(), order.end(), [](auto* a, auto* b) { return a->offset_ < b->offset_; });
    WriteI32(stream, static_cast<std::int32_t>(order.size()));
    for (const TSM_BreakpointData* b : order) WriteItem(stream, b->offset_, b->enabled_, b->kind_, b->tag_, b->text_);
}

void TSM_Breakpoints::LoadFromStream(TStream& stream)
{
    // Everything is read before anything changes: a broken stream leaves the set as it was.
    ApplyItems(ReadItems(stream));
}

// ---- the execution point

TSM_CodeBreak::TSM_CodeBreak(const TTextStore* store) : TSM_Breakpoints(store), record_(0, 0, std::string(), false)
{
    record_.owner_ = this;
}

void TSM_CodeBreak::SetExecutionPoint(std::int64_t offset)
{
    offset = std::max<std::int64_t>(offset, 0);
    if (record_.offset_ != offset) {
        if (record_.enabled_) RepaintLine(record_.offset_);
        record_.offset_ = offset;
        if (record_.enabled_) RepaintLine(offset);
    }
    record_.SetEnabled(true);
}

std::optional<BreakpointStyle> TSM_CodeBreak::LineStyle(std::int64_t offset)
{
    if (record_.enabled_ && record_.offset_ == offset) return kCodeBreakStyle;
    return std::nullopt;
}

void TSM_CodeBreak::NoteDeletion(std::int64_t start, std::int64_t end)
{
    TSM_Breakpoints::NoteDeletion(start, end);
    // A disabled execution point has nothing to lose.
    record_.doomed_ = record_.enabled_ && WholeLineInside(record_.offset_, start, end);
}

void TSM_CodeBreak::Shift(std::int64_t start, std::int64_t delta)
{
    TSM_BreakpointData& r = record_;
    bool disable = false;
    if (delta > 0 && r.offset_ >= start) {
        r.offset_ = InsertedOffset(r.offset_, start, delta);
    } else if (delta < 0 && r.offset_ >= start) {
        const std::int64_t end = start - delta;
        const bool noted = noted_ && noted_->first == start && noted_->second == end;
        if (r.offset_ < end && r.enabled_ && LosesLine(r, start, end, noted)) {
            r.offset_ = JoinStart(start);
            disable = true;
        } else if (r.offset_ > end) {
            r.offset_ += delta;
        } else if (r.offset_ > start) {
            r.offset_ = JoinStart(start);
        }
    }
    r.doomed_ = false;
    TSM_Breakpoints::Shift(start, delta);  // forgets the note
    if (disable) r.SetEnabled(false);
}

void TSM_CodeBreak::SaveToStream(TStream& stream) const
{
    TSM_Breakpoints::SaveToStream(stream);
    WriteItem(stream, record_.offset_, record_.enabled_, record_.kind_, record_.tag_, record_.text_);
}

void TSM_CodeBreak::LoadFromStream(TStream& stream)
{
    std::vector<SavedBreakpoint> items = ReadItems(stream);
    SavedBreakpoint point = ReadItem(stream);
    ApplyItems(std::move(items));
    record_.offset_ = point.offset;
    record_.kind_ = point.kind;
    record_.tag_ = point.tag;
    record_.text_ = std::move(point.text);
    record_.SetEnabled(point.enabled);
}

}  // namespace tarnwick
