#include "editor/text_store.h"

#include <algorithm>
#include <cstring>

#include "editor/marks.h"
#include "editor/text_blocks.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick {

namespace {

inline bool IsBreak(char c) { return c == '\r' || c == '\n'; }

// The first character below 32 (a line break, TAB or another control character) at or after p.
inline const char* FindControl(const char* p, const char* end)
{
#if defined(__SSE2__)
    const __m128i limit = _mm_set1_epi8(31);
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, limit), limit)));
        if (mask) return p + __builtin_ctz(mask);
        p += 16;
    }
#endif
    while (p < end && static_cast<unsigned char>(*p) >= 32) ++p;
    return p;
}

// The end of the line starting at p (the first CR or LF, or `end`); `controls` is set when a TAB
// or another control character stands before it.
inline const char* FindLineEnd(const char* p, const char* end, bool& controls)
{
    for (;;) {
        p = FindControl(p, end);
        if (p == end || IsBreak(*p)) return p;
        controls = true;
        ++p;
    }
}

// Step past the line break at p: CR LF and LF CR count as one break.
inline const char* SkipBreak(const char* p, const char* end)
{
    const char c = *p++;
    if (p < end && IsBreak(*p) && *p != c) ++p;
    return p;
}

}  // namespace

std::string NormalizeText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        bool controls = false;
        const char* e = FindLineEnd(p, end, controls);
        const std::size_t start = out.size();
        out.append(p, e);
        if (controls)
            for (std::size_t i = start; i < out.size(); ++i)
                if (static_cast<unsigned char>(out[i]) < 32 && out[i] != '\t') out[i] = '.';
        if (e == end) break;
        out.push_back('\r');
        p = SkipBreak(e, end);
    }
    return out;
}

// ---- construction

TTextStore::TTextStore()
    : bookmarks_(std::make_unique<TCustomBookmarks>()),
      breakpoints_(std::make_unique<TSM_Breakpoints>(this)),
      codeBreaks_(std::make_unique<TSM_CodeBreak>(this))
{
    ExchangeUndoStack(nullptr);
}

TTextStore::~TTextStore() = default;  // the pool releases every record at once

// ---- records

TLineRecord* TTextStore::NewRecord(std::string_view text, std::uint32_t flags, bool withBreak)
{
    void* place = pool_.Allocate(sizeof(TLineRecord));
    TLineRecord* r = new (place) TLineRecord();
    const std::size_t length = text.size() + (withBreak ? 1 : 0);
    const std::size_t capacity = LinePool::RoundUp(length + 1);
    r->text_ = static_cast<char*>(pool_.Allocate(capacity));
    r->capacity_ = static_cast<std::uint16_t>(capacity);
    r->length_ = static_cast<std::uint16_t>(length);
    std::memcpy(r->text_, text.data(), text.size());
    if (withBreak) r->text_[text.size()] = '\r';
    r->text_[length] = '\0';
    r->flags_ = static_cast<std::uint8_t>(flags | lfRepaint | lfAttributesStale);
    NoteLength(length);
    return r;
}

void TTextStore::FreeRecord(TLineRecord* r)
{
    if (!lineObjects_.empty()) lineObjects_.erase(r);
    if (cached_.record == r) cached_ = {};
    ForgetLength(r->length_);
    pool_.Free(r->text_, r->capacity_);
    r->~TLineRecord();
    pool_.Free(r, sizeof(TLineRecord));
}

void TTextStore::SetRecordText(TLineRecord* r, std::string_view text)
{
    ForgetLength(r->length_);
    if (text.size() + 1 > r->capacity_) {
        const std::size_t capacity = LinePool::RoundUp(text.size() + 1);
        char* buffer = static_cast<char*>(pool_.Allocate(capacity));
        std::memcpy(buffer, text.data(), text.size());
        pool_.Free(r->text_, r->capacity_);
        r->text_ = buffer;
        r->capacity_ = static_cast<std::uint16_t>(capacity);
    } else {
        std::memmove(r->text_, text.data(), text.size());
    }
    r->length_ = static_cast<std::uint16_t>(text.size());
    r->text_[text.size()] = '\0';
    r->hasAttributes_ = 0;
    if (r->block_) r->block_->breaks = -1;
    NoteLength(text.size());
}

std::uint8_t* TTextStore::AllocateAttributes(TLineRecord* r)
{
    const std::size_t need = 2 * std::size_t{r->length_} + 1;
    if (need > r->capacity_) {
        const std::size_t capacity = LinePool::RoundUp(need);
        char* buffer = static_cast<char*>(pool_.Allocate(capacity));
        std::memcpy(buffer, r->text_, r->length_ + 1u);
        pool_.Free(r->text_, r->capacity_);
        r->text_ = buffer;
        r->capacity_ = static_cast<std::uint16_t>(capacity);
    }
    if (!r->hasAttributes_) std::memset(r->text_ + r->length_ + 1, 0, r->length_);
    r->hasAttributes_ = 1;
    return reinterpret_cast<std::uint8_t*>(r->text_ + r->length_ + 1);
}

void TTextStore::DropAttributes(TLineRecord* r) { r->hasAttributes_ = 0; }

LineAttachment* TTextStore::LineObject(const TLineRecord* r) const
{
    if (lineObjects_.empty()) return nullptr;
    const auto it = lineObjects_.find(r);
    return it == lineObjects_.end() ? nullptr : it->second.get();
}

void TTextStore::SetLineObject(TLineRecord* r, std::unique_ptr<LineAttachment> object)
{
    if (!object) {
        lineObjects_.erase(r);
        return;
    }
    object->Record = r;
    lineObjects_[r] = std::move(object);
}

// Moves the line object of `from` to `to`.
void TTextStore::MoveLineObject(const TLineRecord* from, TLineRecord* to)
{
    if (lineObjects_.empty()) return;
    auto it = lineObjects_.find(from);
    if (it == lineObjects_.end()) return;
    std::unique_ptr<LineAttachment> object = std::move(it->second);
    lineObjects_.erase(it);
    object->Record = to;
    lineObjects_[to] = std::move(object);
}

// ---- longest line: a count of records per length

void TTextStore::NoteLength(std::size_t length)
{
    if (length >= lengthCounts_.size()) lengthCounts_.resize(length + 1, 0);
    ++lengthCounts_[length];
    if (static_cast<std::int64_t>(length) > maxLength_) maxLength_ = static_cast<std::int64_t>(length);
}

void TTextStore::ForgetLength(std::size_t length)
{
    --lengthCounts_[length];
    while (maxLength_ > 0 && lengthCounts_[static_cast<std::size_t>(maxLength_)] == 0) --maxLength_;
}

void TTextStore::UpdateLongestLine() { longestLine_ = lineCount_ == 0 ? 0 : static_cast<std::int32_t>(maxLength_); }

// Builds the records of `text`, handing each to `emit`: lines are normalised on the way (see
// NormalizeText) and cut at CR and at kMaxRecordLength characters. A record after one without CR
// carries the continuation mark; so does the first when `firstIsContinuation`.
template <class Emit>
void TTextStore::MakeRecords(std::string_view text, bool firstIsContinuation, Emit&& emit)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    bool continuation = firstIsContinuation;
    std::string scratch;
    while (p < end) {
        bool controls = false;
        const char* e = FindLineEnd(p, end, controls);
        const bool hasBreak = e < end;
        std::string_view line(p, static_cast<std::size_t>(e - p));
        if (controls) {
            scratch.assign(line);
            for (char& c : scratch)
                if (static_cast<unsigned char>(c) < 32 && c != '\t') c = '.';
            line = scratch;
        }
        // Pieces of at most kMaxRecordLength characters; the break goes with the last one, or
        // into a record of its own when the last piece is full.
        for (;;) {
            const std::size_t take = std::min(line.size(), kMaxRecordLength);
            const bool withBreak = hasBreak && take == line.size() && take < kMaxRecordLength;
            if (take == 0 && !hasBreak) break;
            const std::string_view piece = line.substr(0, take);
            const bool tab = controls && piece.find('\t') != std::string_view::npos;
            TLineRecord* r = NewRecord(piece, tab ? lfHasTab : 0, withBreak || (take == 0 && hasBreak));
            if (continuation) r->marks_ = kContinuationMark;
            emit(r);
            continuation = !r->EndsWithBreak();
            line.remove_prefix(take);
            if (r->EndsWithBreak() || (line.empty() && !hasBreak)) break;
        }
        if (!hasBreak) break;
        p = SkipBreak(e, end);
    }
}

std::vector<TLineRecord*> TTextStore::MakeRecords(std::string_view text, bool firstIsContinuation)
{
    std::vector<TLineRecord*> out;
    MakeRecords(text, firstIsContinuation, [&](TLineRecord* r) { out.push_back(r); });
    return out;
}

// Appends the records of `text` after the last line (which ends with a break, or there is none),
// filling new blocks as they come: loading a large text needs no list of all its records.
// Returns the number of characters added.
std::int64_t TTextStore::AppendRecords(std::string_view text)
{
    std::vector<std::unique_ptr<TextBlock>> built;
    MakeRecords(text, false, [&](TLineRecord* r) { AppendToBlocks(built, r); });
    std::int64_t chars = 0;
    for (auto& block : built) {
        lineCount_ += static_cast<std::int64_t>(block->records.size());
        chars += block->chars;
        blocks_.push_back(std::move(block));
    }
    RebuildIndex();
    MergeSmallBlocks();
    return chars;
}

// ---- editing

void TTextStore::Insert(std::int64_t offset, std::string_view text)
{
    if (text.empty()) return;
    offset = std::clamp<std::int64_t>(offset, 0, charCount_);

    std::vector<TLineRecord*> added;
    std::int64_t firstLine = 0;
    std::int64_t removeCount = 0;
    TLineRecord* replaced = nullptr;
    std::int64_t inserted = 0;

    TLineRecord* last = LastLine();
    if (!last || (offset == charCount_ && last->EndsWithBreak())) {
        // Into an empty document, or after a last line that ends with a break: build the new
        // records straight into new blocks.
        // Listeners hear of the insertion once its length is known, before the count changes.
        inserted = AppendRecords(text);
        if (inserted == 0) return;
        for (TextStoreListener* v : views_) v->TextInserting(offset, inserted);
        charCount_ += inserted;
        EditDone(offset, inserted);
        return;
    } else {
        const LinePosition at =
            offset == charCount_ ? LinePosition{last, lineCount_ - 1, charCount_ - last->length_} : FromOffset(offset);
        TLineRecord* r = at.record;
        const std::size_t column = static_cast<std::size_t>(offset - at.offset);
        const std::string normalized = NormalizeText(text);
        inserted = static_cast<std::int64_t>(normalized.size());
        if (normalized.size() == 1 && normalized[0] != '\r' && column < r->length_ &&
            r->length_ + 1u <= kMaxRecordLength) {
            // One character inside a record: the record keeps its place.
            for (TextStoreListener* v : views_) v->TextInserting(offset, 1);
            std::string rebuilt(r->View());
            rebuilt.insert(column, 1, normalized[0]);
            SetRecordText(r, rebuilt);
            r->flags_ |= lfRepaint | lfAttributesStale;
            if (normalized[0] == '\t') r->flags_ |= lfHasTab;
            r->block_->chars += 1;
            r->block_->lengths[SlotOf(r)] = r->length_;
            UpdateIndex(r->block_, 0, 1);
            charCount_ += 1;
            EditDone(offset, 1);
            return;
        }
        std::string merged;
        merged.reserve(r->length_ + normalized.size());
        merged.append(r->text_, column).append(normalized).append(r->text_ + column, r->length_ - column);
        added = MakeRecords(merged, r->IsContinuation());
        replaced = r;
        firstLine = at.line;
        removeCount = 1;
    }
    if (inserted == 0) {
        for (TLineRecord* r : added) FreeRecord(r);
        return;
    }

    for (TextStoreListener* v : views_) v->TextInserting(offset, inserted);
    if (replaced) HandOver(replaced, added.front());
    ReplaceRecords(firstLine, removeCount, added);
    if (replaced) FreeRecord(replaced);
    charCount_ += inserted;
    EditDone(offset, inserted);
}

void TTextStore::Delete(std::int64_t start, std::int64_t end)
{
    start = std::clamp<std::int64_t>(start, 0, charCount_);
    end = std::clamp<std::int64_t>(end, 0, charCount_);
    if (start >= end) return;
    for (TextStoreListener* v : views_) v->TextDeleting(start, end);
    MarksDeleting(start, end);

    const LinePosition a = FromOffset(start);
    const LinePosition b = FromOffset(end - 1);
    std::string joined(a.record->text_, static_cast<std::size_t>(start - a.offset));
    joined.append(b.record->text_ + (end - b.offset), static_cast<std::size_t>(b.offset + b.record->length_ - end));

    std::vector<TLineRecord*> freed;
    freed.reserve(static_cast<std::size_t>(b.line - a.line + 1));
    for (TLineRecord* r = a.record;; r = Next(r)) {
        freed.push_back(r);
        if (r == b.record) break;
    }

    std::vector<TLineRecord*> added;
    if (!joined.empty()) {
        added = MakeRecords(joined, a.record->IsContinuation());
        HandOver(a.record, added.front());
    }
    ReplaceRecords(a.line, b.line - a.line + 1, added);
    for (TLineRecord* r : freed) FreeRecord(r);
    charCount_ -= end - start;

    // The record after the change continues a line exactly when the one before it has no break.
    const LinePosition after = FromLine(a.line + static_cast<std::int64_t>(added.size()));
    if (after.record) {
        TLineRecord* before = Prev(after.record);
        if (before && !before->EndsWithBreak()) after.record->marks_ |= kContinuationMark;
        else after.record->marks_ &= static_cast<std::uint16_t>(~kContinuationMark);
    }

    if (lineCount_ == 0) {
        blocks_.clear();
        RebuildIndex();
        charCount_ = 0;
        cached_ = {};
        bookmarkColumns_.fill(0);
    }
    EditDone(start, -(end - start), lineCount_ == 0);
}

// The first of the records that replace `from` takes over its marks, its states and its line
// object.
void TTextStore::HandOver(TLineRecord* from, TLineRecord* head)
{
    head->marks_ = from->marks_;
    head->markData_ = from->markData_;
    head->stateIn_ = from->stateIn_;
    head->stateOut_ = from->stateOut_;
    MoveLineObject(from, head);
}

// What every insertion (`delta` characters at `offset`) and deletion (-`delta` characters from
// `offset`; `emptied` when nothing is left) ends with once the text is in place: the longest
// line, the named bookmarks and range marks, the listeners and the line shift.
void TTextStore::EditDone(std::int64_t offset, std::int64_t delta, bool emptied)
{
    UpdateLongestLine();
    if (delta > 0) MarksInserted(offset, delta);
    else MarksDeleted(offset, offset - delta, emptied);
    for (TextStoreListener* v : views_) v->TextChanged(offset, delta);
    NotifyLineShift(offset, delta);
}

void TTextStore::Clear() { Delete(0, charCount_); }

void TTextStore::SetText(std::string_view text)
{
    Clear();
    Insert(0, text);
}

std::string TTextStore::Text() const { return TextRange(0, charCount_); }

std::string TTextStore::TextRange(std::int64_t start, std::int64_t end) const
{
    start = std::clamp<std::int64_t>(start, 0, charCount_);
    end = std::clamp<std::int64_t>(end, 0, charCount_);
    std::string out;
    if (start >= end) return out;
    out.reserve(static_cast<std::size_t>(end - start));
    LinePosition at = FromOffset(start);
    std::size_t column = static_cast<std::size_t>(start - at.offset);
    for (TLineRecord* r = at.record; r && static_cast<std::int64_t>(out.size()) < end - start;
         r = Next(r), column = 0) {
        const std::size_t take =
            std::min<std::size_t>(r->length_ - column, static_cast<std::size_t>(end - start) - out.size());
        out.append(r->text_ + column, take);
    }
    return out;
}

// ---- document state

std::uint16_t TTextStore::BookmarkColumn(int index) const
{
    return index >= 0 && index < 10 ? bookmarkColumns_[static_cast<std::size_t>(index)] : 0;
}

void TTextStore::SetBookmarkColumn(int index, std::uint16_t column)
{
    if (index >= 0 && index < 10) bookmarkColumns_[static_cast<std::size_t>(index)] = column;
}

void TTextStore::AddView(TextStoreListener* view)
{
    if (view && std::find(views_.begin(), views_.end(), view) == views_.end()) views_.push_back(view);
}

void TTextStore::RemoveView(TextStoreListener* view) { std::erase(views_, view); }

std::unique_ptr<TUndoStack> TTextStore::ExchangeUndoStack(std::unique_ptr<TUndoStack> log)
{
    if (log && log.get() == undo_.get()) {
        (void)log.release();  // already ours
        return nullptr;
    }
    if (!log) log = std::make_unique<TUndoStack>();
    std::swap(log, undo_);
    undo_->Beep = [this] {
        for (TextStoreListener* v : views_)
            if (v->UndoLogBroken()) return;
    };
    if (log) log->Beep = nullptr;  // it no longer speaks for this store's views
    return log;
}

RangeMarkList& TTextStore::RangeMarks()
{
    if (!rangeMarks_) rangeMarks_ = std::make_unique<RangeMarkList>();
    return *rangeMarks_;
}

// Named bookmarks and range marks move once the text is in place, so that their callbacks see
// the text their offsets refer to.
void TTextStore::MarksInserted(std::int64_t offset, std::int64_t count)
{
    if (!bookmarks_->Empty()) bookmarks_->ShiftOnInsert(count, offset);
    if (rangeMarks_ && !rangeMarks_->Empty()) rangeMarks_->Inserted(offset, count);
}

// Breakpoints follow lines: which of them lose their whole line can only be seen before the
// text goes.
void TTextStore::MarksDeleting(std::int64_t start, std::int64_t end)
{
    breakpoints_->NoteDeletion(start, end);
    codeBreaks_->NoteDeletion(start, end);
}

void TTextStore::MarksDeleted(std::int64_t start, std::int64_t end, bool emptied)
{
    // An emptied document keeps no named bookmark, not even one at its old end.
    if (emptied) bookmarks_->Clear();
    else if (!bookmarks_->Empty()) bookmarks_->RemoveOrShiftOnDelete(end - start, start);
    if (rangeMarks_ && !rangeMarks_->Empty()) rangeMarks_->Deleted(start, end);
}

void TTextStore::NotifyLineShift(std::int64_t start, std::int64_t delta)
{
    breakpoints_->Shift(start, delta);
    codeBreaks_->Shift(start, delta);
    for (TextStoreListener* v : views_) v->LineShift(start, delta);
}

std::size_t TTextStore::OverheadBytes() const
{
    std::size_t bytes = pool_.ReservedBytes() - static_cast<std::size_t>(charCount_);
    for (const auto& block : blocks_)
        bytes += sizeof(TextBlock) + block->records.capacity() * sizeof(TLineRecord*) +
                 block->lengths.capacity() * sizeof(std::uint16_t);
    bytes += blocks_.capacity() * sizeof(void*) + (fenLines_.capacity() + fenChars_.capacity()) * sizeof(std::int64_t);
    bytes += lengthCounts_.capacity() * sizeof(std::uint32_t);
    return bytes;
}

}  // namespace tarnwick
