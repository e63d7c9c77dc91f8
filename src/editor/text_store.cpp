#include "editor/text_store.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <stdexcept>

#include "editor/marks.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick {

// A run of consecutive records. Blocks hold between a few dozen and kBlockMax records; the
// store's index counts the lines and characters of each.
struct TextBlock {
    std::vector<TLineRecord*> records;
    // The records' lengths side by side, so that finding an offset inside the block reads one
    // small array instead of a few hundred records scattered over memory.
    std::vector<std::uint16_t> lengths;
    std::int64_t chars = 0;
    std::size_t index = 0;  // position among the store's blocks
    // Records that end with a line break; -1 until asked for after a change of the block.
    mutable std::int32_t breaks = -1;
};

namespace {

constexpr std::size_t kBlockTarget = 512;  // records per block when blocks are built or split
constexpr std::size_t kBlockMax = 1024;
constexpr std::size_t kBlockMin = 64;  // a smaller block is merged with a neighbour

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

TLineObject* TTextStore::LineObject(const TLineRecord* r) const
{
    if (lineObjects_.empty()) return nullptr;
    const auto it = lineObjects_.find(r);
    return it == lineObjects_.end() ? nullptr : it->second.get();
}

void TTextStore::SetLineObject(TLineRecord* r, std::unique_ptr<TLineObject> object)
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
    std::unique_ptr<TLineObject> object = std::move(it->second);
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
    std::int64_t chars = 0;
    std::unique_ptr<TextBlock> block;
    auto close = [&] {
        if (!block) return;
        lineCount_ += static_cast<std::int64_t>(block->records.size());
        chars += block->chars;
        blocks_.push_back(std::move(block));
    };
    MakeRecords(text, false, [&](TLineRecord* r) {
        if (!block) {
            block = std::make_unique<TextBlock>();
            block->records.reserve(kBlockTarget);
            block->lengths.reserve(kBlockTarget);
        }
        r->block_ = block.get();
        r->slot_ = static_cast<std::uint16_t>(block->records.size());
        block->records.push_back(r);
        block->lengths.push_back(r->length_);
        block->chars += r->length_;
        if (block->records.size() == kBlockTarget) close();
    });
    close();
    RebuildIndex();
    MergeSmallBlocks();
    return chars;
}

// ---- the block index

void TTextStore::RebuildIndex()
{
    const std::size_t n = blocks_.size();
    fenLines_.assign(n + 1, 0);
    fenChars_.assign(n + 1, 0);
    for (std::size_t i = 0; i < n; ++i) {
        blocks_[i]->index = i;
        blocks_[i]->breaks = -1;
        fenLines_[i + 1] += static_cast<std::int64_t>(blocks_[i]->records.size());
        fenChars_[i + 1] += blocks_[i]->chars;
        const std::size_t parent = (i + 1) + ((i + 1) & (~(i + 1) + 1));
        if (parent <= n) {
            fenLines_[parent] += fenLines_[i + 1];
            fenChars_[parent] += fenChars_[i + 1];
        }
    }
}

void TTextStore::UpdateIndex(const TextBlock* block, std::int64_t lineDelta, std::int64_t charDelta)
{
    block->breaks = -1;
    for (std::size_t i = block->index + 1; i < fenLines_.size(); i += i & (~i + 1)) {
        fenLines_[i] += lineDelta;
        fenChars_[i] += charDelta;
    }
}

std::int64_t TTextStore::LinesBefore(std::size_t block) const
{
    std::int64_t sum = 0;
    for (std::size_t i = block; i > 0; i -= i & (~i + 1)) sum += fenLines_[i];
    return sum;
}

std::int64_t TTextStore::LogicalLineOf(std::int64_t line) const
{
    if (line <= 0 || blocks_.empty()) return 0;
    if (line >= lineCount_) return LogicalLineOf(lineCount_ - 1) + (LastLine()->EndsWithBreak() ? 1 : 0);
    std::int64_t rem = line;
    const std::size_t bi = BlockOfLine(rem);
    auto ends = [](const TLineRecord* r) { return r->length_ > 0 && r->text_[r->length_ - 1] == '\r'; };
    std::int64_t count = 0;
    for (std::size_t b = 0; b < bi; ++b) {
        const TextBlock& block = *blocks_[b];
        if (block.breaks < 0)
            block.breaks = static_cast<std::int32_t>(std::count_if(block.records.begin(), block.records.end(), ends));
        count += block.breaks;
    }
    const TextBlock& block = *blocks_[bi];
    for (std::int64_t i = 0; i < rem; ++i) count += ends(block.records[static_cast<std::size_t>(i)]) ? 1 : 0;
    return count;
}

std::int64_t TTextStore::FirstLineOfLogical(std::int64_t logical) const
{
    if (logical <= 0) return 0;
    auto ends = [](const TLineRecord* r) { return r->length_ > 0 && r->text_[r->length_ - 1] == '\r'; };
    std::int64_t remaining = logical;  // line breaks still to pass
    std::int64_t line = 0;
    for (const auto& b : blocks_) {
        const TextBlock& block = *b;
        if (block.breaks < 0)
            block.breaks = static_cast<std::int32_t>(std::count_if(block.records.begin(), block.records.end(), ends));
        if (block.breaks < remaining) {
            remaining -= block.breaks;
            line += static_cast<std::int64_t>(block.records.size());
            continue;
        }
        for (std::size_t i = 0; i < block.records.size(); ++i)
            if (ends(block.records[i]) && --remaining == 0) return line + static_cast<std::int64_t>(i) + 1;
    }
    return lineCount_;
}

std::int64_t TTextStore::CharsBefore(std::size_t block) const
{
    std::int64_t sum = 0;
    for (std::size_t i = block; i > 0; i -= i & (~i + 1)) sum += fenChars_[i];
    return sum;
}

namespace {

// The block in which `value` falls under the counts of `fen`; `value` becomes the remainder.
std::size_t Descend(const std::vector<std::int64_t>& fen, std::int64_t& value)
{
    const std::size_t n = fen.size() - 1;
    std::size_t pos = 0;
    std::size_t step = 1;
    while (step * 2 <= n) step *= 2;
    for (; step > 0; step /= 2) {
        if (pos + step <= n && fen[pos + step] <= value) {
            pos += step;
            value -= fen[pos];
        }
    }
    return pos;
}

}  // namespace

std::size_t TTextStore::BlockOfLine(std::int64_t& line) const { return Descend(fenLines_, line); }

std::size_t TTextStore::BlockOfOffset(std::int64_t& offset) const { return Descend(fenChars_, offset); }

std::size_t TTextStore::SlotOf(const TLineRecord* r) const
{
    // Slots are brought up to date lazily: an edit inside a block moves the records after it,
    // and rewriting all their slots would touch every one of them.
    TextBlock* block = r->block_;
    const std::size_t slot = r->slot_;
    if (slot < block->records.size() && block->records[slot] == r) return slot;
    for (std::size_t i = 0; i < block->records.size(); ++i) block->records[i]->slot_ = static_cast<std::uint16_t>(i);
    return r->slot_;
}

// Points the records from `slot` on at their block and their slots.
void TTextStore::ReindexFrom(TextBlock* block, std::size_t slot)
{
    for (std::size_t i = slot; i < block->records.size(); ++i) {
        block->records[i]->block_ = block;
        block->records[i]->slot_ = static_cast<std::uint16_t>(i);
    }
}

// Removes `removeCount` records from line `firstLine` on (the caller frees them) and puts `added`
// in their place, keeping blocks and index in step.
void TTextStore::ReplaceRecords(std::int64_t firstLine, std::int64_t removeCount, std::vector<TLineRecord*>& added)
{
    bool structural = false;
    if (blocks_.empty()) {
        blocks_.push_back(std::make_unique<TextBlock>());
        structural = true;
        RebuildIndex();
    }

    std::size_t bi;
    std::size_t slot;
    if (firstLine >= lineCount_) {
        bi = blocks_.size() - 1;
        slot = blocks_[bi]->records.size();
    } else {
        std::int64_t rem = firstLine;
        bi = BlockOfLine(rem);
        slot = static_cast<std::size_t>(rem);
    }
    TextBlock* const first = blocks_[bi].get();

    // Remove, block by block.
    std::int64_t left = removeCount;
    std::size_t at = slot;
    for (std::size_t b = bi; left > 0 && b < blocks_.size(); ++b, at = 0) {
        TextBlock* block = blocks_[b].get();
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(left), block->records.size() - at);
        std::int64_t chars = 0;
        for (std::size_t i = at; i < at + n; ++i) chars += block->lengths[i];
        block->records.erase(block->records.begin() + static_cast<std::ptrdiff_t>(at),
                             block->records.begin() + static_cast<std::ptrdiff_t>(at + n));
        block->lengths.erase(block->lengths.begin() + static_cast<std::ptrdiff_t>(at),
                             block->lengths.begin() + static_cast<std::ptrdiff_t>(at + n));
        block->chars -= chars;
        left -= static_cast<std::int64_t>(n);
        if (block != first) {
            if (block->records.empty()) structural = true;
            if (!structural) UpdateIndex(block, -static_cast<std::int64_t>(n), -chars);
        } else {
            UpdateIndex(block, -static_cast<std::int64_t>(n), -chars);
        }
    }
    lineCount_ -= removeCount;

    // Insert into the first block, splitting it when it grows too large.
    std::int64_t addedChars = 0;
    for (TLineRecord* r : added) addedChars += r->length_;
    lineCount_ += static_cast<std::int64_t>(added.size());
    if (first->records.size() + added.size() <= kBlockMax) {
        first->records.insert(first->records.begin() + static_cast<std::ptrdiff_t>(slot), added.begin(), added.end());
        std::vector<std::uint16_t> addedLengths;
        addedLengths.reserve(added.size());
        for (TLineRecord* r : added) addedLengths.push_back(r->length_);
        first->lengths.insert(first->lengths.begin() + static_cast<std::ptrdiff_t>(slot), addedLengths.begin(),
                              addedLengths.end());
        first->chars += addedChars;
        for (std::size_t i = 0; i < added.size(); ++i) {
            added[i]->block_ = first;
            added[i]->slot_ = static_cast<std::uint16_t>(slot + i);
        }
        if (!structural) UpdateIndex(first, static_cast<std::int64_t>(added.size()), addedChars);
    } else {
        // Too many for one block: cut head, new records and tail into fresh blocks.
        std::vector<std::unique_ptr<TextBlock>> pieces;
        auto take = [&](TLineRecord* r) {
            if (pieces.empty() || pieces.back()->records.size() == kBlockTarget) {
                pieces.push_back(std::make_unique<TextBlock>());
                pieces.back()->records.reserve(kBlockTarget);
                pieces.back()->lengths.reserve(kBlockTarget);
            }
            TextBlock* block = pieces.back().get();
            r->block_ = block;
            r->slot_ = static_cast<std::uint16_t>(block->records.size());
            block->records.push_back(r);
            block->lengths.push_back(r->length_);
            block->chars += r->length_;
        };
        for (std::size_t i = 0; i < slot; ++i) take(first->records[i]);
        for (TLineRecord* r : added) take(r);
        for (std::size_t i = slot; i < first->records.size(); ++i) take(first->records[i]);
        const auto pos = blocks_.begin() + static_cast<std::ptrdiff_t>(first->index);
        blocks_.insert(blocks_.erase(pos), std::make_move_iterator(pieces.begin()),
                       std::make_move_iterator(pieces.end()));
        structural = true;
    }

    if (structural) {
        std::erase_if(blocks_, [](const std::unique_ptr<TextBlock>& block) { return block->records.empty(); });
        RebuildIndex();
        MergeSmallBlocks();
    } else if (first->records.size() < kBlockMin && blocks_.size() > 1) {
        MergeSmallBlocks();
    }
}

// Merges each block smaller than kBlockMin with a neighbour while the two fit in kBlockTarget,
// and drops empty blocks. Rebuilds the index when anything changed.
void TTextStore::MergeSmallBlocks()
{
    bool changed = false;
    std::vector<std::unique_ptr<TextBlock>> kept;
    kept.reserve(blocks_.size());
    for (auto& block : blocks_) {
        if (block->records.empty()) {
            changed = true;
            continue;
        }
        TextBlock* previous = kept.empty() ? nullptr : kept.back().get();
        if (previous && (previous->records.size() < kBlockMin || block->records.size() < kBlockMin) &&
            previous->records.size() + block->records.size() <= kBlockTarget) {
            const std::size_t from = previous->records.size();
            previous->records.insert(previous->records.end(), block->records.begin(), block->records.end());
            previous->lengths.insert(previous->lengths.end(), block->lengths.begin(), block->lengths.end());
            previous->chars += block->chars;
            ReindexFrom(previous, from);
            changed = true;
            continue;
        }
        kept.push_back(std::move(block));
    }
    blocks_ = std::move(kept);
    if (changed) RebuildIndex();
}

// ---- navigation

TLineRecord* TTextStore::FirstLine() const { return blocks_.empty() ? nullptr : At(blocks_.front().get(), 0); }

TLineRecord* TTextStore::LastLine() const
{
    return blocks_.empty() ? nullptr : At(blocks_.back().get(), blocks_.back()->records.size() - 1);
}

// The record at `slot` of `block`, its slot brought up to date on the way: walking and looking up
// refresh what edits left stale, so a walk never has to renumber a whole block.
TLineRecord* TTextStore::At(const TextBlock* block, std::size_t slot)
{
    TLineRecord* r = block->records[slot];
    r->slot_ = static_cast<std::uint16_t>(slot);
    return r;
}

TLineRecord* TTextStore::Next(const TLineRecord* r) const
{
    const TextBlock* block = r->block_;
    const std::size_t slot = SlotOf(r);
    if (slot + 1 < block->records.size()) return At(block, slot + 1);
    return block->index + 1 < blocks_.size() ? At(blocks_[block->index + 1].get(), 0) : nullptr;
}

TLineRecord* TTextStore::Prev(const TLineRecord* r) const
{
    const TextBlock* block = r->block_;
    const std::size_t slot = SlotOf(r);
    if (slot > 0) return At(block, slot - 1);
    return block->index > 0 ? At(blocks_[block->index - 1].get(), blocks_[block->index - 1]->records.size() - 1)
                            : nullptr;
}

TLinePosition TTextStore::FromOffset(std::int64_t offset) const
{
    if (offset < 0) offset = 0;
    if (offset >= charCount_) return {nullptr, lineCount_, charCount_};
    std::int64_t rem = offset;
    const std::size_t b = BlockOfOffset(rem);
    const TextBlock* block = blocks_[b].get();
    std::size_t slot = 0;
    while (rem >= block->lengths[slot]) rem -= block->lengths[slot++];
    return {At(block, slot), LinesBefore(b) + static_cast<std::int64_t>(slot), offset - rem};
}

std::size_t TTextStore::CopyText(std::int64_t offset, char* out, std::size_t count) const
{
    if (offset < 0 || offset >= charCount_ || count == 0) return 0;
    std::int64_t rem = offset;
    std::size_t b = BlockOfOffset(rem);
    std::size_t slot = 0;
    {
        const TextBlock* block = blocks_[b].get();
        while (rem >= block->lengths[slot]) rem -= block->lengths[slot++];
    }
    std::size_t copied = 0;
    for (; b < blocks_.size() && copied < count; ++b, slot = 0) {
        const TextBlock* block = blocks_[b].get();
        const std::size_t records = block->records.size();
        for (; slot < records && copied < count; ++slot) {
            const std::size_t length = block->lengths[slot];
            const std::size_t from = static_cast<std::size_t>(rem);
            const std::size_t take = std::min(count - copied, length - from);
            std::memcpy(out + copied, block->records[slot]->text_ + from, take);
            copied += take;
            rem = 0;
        }
    }
    return copied;
}

TLinePosition TTextStore::FromLine(std::int64_t index) const
{
    if (index < 0) index = 0;
    if (index >= lineCount_) return {nullptr, lineCount_, charCount_};
    std::int64_t rem = index;
    const std::size_t b = BlockOfLine(rem);
    const TextBlock* block = blocks_[b].get();
    std::int64_t offset = CharsBefore(b);
    for (std::int64_t i = 0; i < rem; ++i) offset += block->lengths[static_cast<std::size_t>(i)];
    return {At(block, static_cast<std::size_t>(rem)), index, offset};
}

std::int64_t TTextStore::IndexOf(const TLineRecord* r) const
{
    return LinesBefore(r->block_->index) + static_cast<std::int64_t>(SlotOf(r));
}

std::int64_t TTextStore::OffsetOf(const TLineRecord* r) const
{
    const TextBlock* block = r->block_;
    std::int64_t offset = CharsBefore(block->index);
    const std::size_t slot = SlotOf(r);
    for (std::size_t i = 0; i < slot; ++i) offset += block->lengths[i];
    return offset;
}

std::int64_t TTextStore::RecordColumnToOffset(const TLineRecord* r, std::int64_t column) const
{
    return OffsetOf(r) + std::clamp<std::int64_t>(column, 0, r->length_);
}

void TTextStore::SetCachedLine(TLineRecord* r)
{
    cached_ = r ? TLinePosition{r, IndexOf(r), OffsetOf(r)} : TLinePosition{};
}

const TLinePosition& TTextStore::CachedPosition() const
{
    // The numbers are worked out afresh: edits before the record move it.
    if (cached_.record) cached_ = {cached_.record, IndexOf(cached_.record), OffsetOf(cached_.record)};
    return cached_;
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
        for (TTextStoreListener* v : views_) v->TextInserting(offset, inserted);
        charCount_ += inserted;
        UpdateLongestLine();
        MarksInserted(offset, inserted);
        for (TTextStoreListener* v : views_) v->TextChanged(offset, inserted);
        NotifyLineShift(offset, inserted);
        return;
    } else {
        const TLinePosition at =
            offset == charCount_ ? TLinePosition{last, lineCount_ - 1, charCount_ - last->length_} : FromOffset(offset);
        TLineRecord* r = at.record;
        const std::size_t column = static_cast<std::size_t>(offset - at.offset);
        const std::string normalized = NormalizeText(text);
        inserted = static_cast<std::int64_t>(normalized.size());
        if (normalized.size() == 1 && normalized[0] != '\r' && column < r->length_ &&
            r->length_ + 1u <= kMaxRecordLength) {
            // One character inside a record: the record keeps its place.
            for (TTextStoreListener* v : views_) v->TextInserting(offset, 1);
            std::string rebuilt(r->View());
            rebuilt.insert(column, 1, normalized[0]);
            SetRecordText(r, rebuilt);
            r->flags_ |= lfRepaint | lfAttributesStale;
            if (normalized[0] == '\t') r->flags_ |= lfHasTab;
            r->block_->chars += 1;
            r->block_->lengths[SlotOf(r)] = r->length_;
            UpdateIndex(r->block_, 0, 1);
            charCount_ += 1;
            UpdateLongestLine();
            MarksInserted(offset, 1);
            for (TTextStoreListener* v : views_) v->TextChanged(offset, 1);
            NotifyLineShift(offset, 1);
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

    for (TTextStoreListener* v : views_) v->TextInserting(offset, inserted);
    if (replaced) {
        TLineRecord* head = added.front();
        head->marks_ = replaced->marks_;
        head->markData_ = replaced->markData_;
        head->stateIn_ = replaced->stateIn_;
        head->stateOut_ = replaced->stateOut_;
        MoveLineObject(replaced, head);
    }
    ReplaceRecords(firstLine, removeCount, added);
    if (replaced) FreeRecord(replaced);
    charCount_ += inserted;
    UpdateLongestLine();
    MarksInserted(offset, inserted);
    for (TTextStoreListener* v : views_) v->TextChanged(offset, inserted);
    NotifyLineShift(offset, inserted);
}

void TTextStore::Delete(std::int64_t start, std::int64_t end)
{
    start = std::clamp<std::int64_t>(start, 0, charCount_);
    end = std::clamp<std::int64_t>(end, 0, charCount_);
    if (start >= end) return;
    for (TTextStoreListener* v : views_) v->TextDeleting(start, end);
    MarksDeleting(start, end);

    const TLinePosition a = FromOffset(start);
    const TLinePosition b = FromOffset(end - 1);
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
        TLineRecord* head = added.front();
        head->marks_ = a.record->marks_;
        head->markData_ = a.record->markData_;
        head->stateIn_ = a.record->stateIn_;
        head->stateOut_ = a.record->stateOut_;
        MoveLineObject(a.record, head);
    }
    ReplaceRecords(a.line, b.line - a.line + 1, added);
    for (TLineRecord* r : freed) FreeRecord(r);
    charCount_ -= end - start;

    // The record after the change continues a line exactly when the one before it has no break.
    const TLinePosition after = FromLine(a.line + static_cast<std::int64_t>(added.size()));
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
    UpdateLongestLine();
    MarksDeleted(start, end, lineCount_ == 0);
    for (TTextStoreListener* v : views_) v->TextChanged(start, -(end - start));
    NotifyLineShift(start, -(end - start));
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
    TLinePosition at = FromOffset(start);
    std::size_t column = static_cast<std::size_t>(start - at.offset);
    for (TLineRecord* r = at.record; r && static_cast<std::int64_t>(out.size()) < end - start;
         r = Next(r), column = 0) {
        const std::size_t take =
            std::min<std::size_t>(r->length_ - column, static_cast<std::size_t>(end - start) - out.size());
        out.append(r->text_ + column, take);
    }
    return out;
}

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

TRewrapResult TTextStore::RebuildCollected(std::int64_t firstLine, const std::vector<TLineRecord*>& old,
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
    for (TTextStoreListener* v : views_) v->LinesRewrapped(firstLine, oldCount, newCount);
    return {firstLine, oldCount, newCount, true};
}

TRewrapResult TTextStore::RebuildLine(std::int64_t line, std::span<const std::uint16_t> segments)
{
    if (line < 0 || line >= lineCount_) return {std::clamp<std::int64_t>(line, 0, lineCount_), 0, 0, false};
    std::vector<TLineRecord*> old;
    const std::int64_t first = CollectLogicalLine(line, old);
    JoinedLine joined;
    JoinLine(old, joined);
    return RebuildCollected(first, old, joined, segments);
}

TRewrapResult TTextStore::RewrapLine(std::int64_t line, const TSegmentCutter& cut)
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

TRewrapResult TTextStore::RewrapAll(const TSegmentCutter& cut)
{
    const std::int64_t oldCount = lineCount_;
    if (lineCount_ == 0) return {};

    std::vector<std::unique_ptr<TextBlock>> built;
    built.reserve(blocks_.size() + 1);
    std::int64_t lines = 0;
    auto put = [&](TLineRecord* r) {
        if (built.empty() || built.back()->records.size() == kBlockTarget) {
            built.push_back(std::make_unique<TextBlock>());
            built.back()->records.reserve(kBlockTarget);
            built.back()->lengths.reserve(kBlockTarget);
        }
        TextBlock* block = built.back().get();
        r->block_ = block;
        r->slot_ = static_cast<std::uint16_t>(block->records.size());
        block->records.push_back(r);
        block->lengths.push_back(r->length_);
        block->chars += r->length_;
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
        for (TTextStoreListener* v : views_) v->LinesRewrapped(0, oldCount, lineCount_);
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

// ---- document state

std::uint16_t TTextStore::BookmarkColumn(int index) const
{
    return index >= 0 && index < 10 ? bookmarkColumns_[static_cast<std::size_t>(index)] : 0;
}

void TTextStore::SetBookmarkColumn(int index, std::uint16_t column)
{
    if (index >= 0 && index < 10) bookmarkColumns_[static_cast<std::size_t>(index)] = column;
}

void TTextStore::AddView(TTextStoreListener* view)
{
    if (view && std::find(views_.begin(), views_.end(), view) == views_.end()) views_.push_back(view);
}

void TTextStore::RemoveView(TTextStoreListener* view) { std::erase(views_, view); }

std::unique_ptr<TUndoStack> TTextStore::ExchangeUndoStack(std::unique_ptr<TUndoStack> log)
{
    if (log && log.get() == undo_.get()) {
        (void)log.release();  // already ours
        return nullptr;
    }
    if (!log) log = std::make_unique<TUndoStack>();
    std::swap(log, undo_);
    undo_->Beep = [this] {
        for (TTextStoreListener* v : views_)
            if (v->UndoLogBroken()) return;
    };
    if (log) log->Beep = nullptr;  // it no longer speaks for this store's views
    return log;
}

TRangeMarks& TTextStore::RangeMarks()
{
    if (!rangeMarks_) rangeMarks_ = std::make_unique<TRangeMarks>();
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
    for (TTextStoreListener* v : views_) v->LineShift(start, delta);
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
