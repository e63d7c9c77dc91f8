// The blocks of the text store: runs of records with Fenwick trees over their line and character
// counts, so that a line or an offset is found without walking the records before it; replacing
// records inside them, splitting and merging them; and walking and looking up records by them.

#include <algorithm>
#include <cstring>

#include "editor/text_blocks.h"
#include "editor/text_store.h"

namespace tarnwick {

using text_blocks::kBlockMax;
using text_blocks::kBlockMin;
using text_blocks::kBlockTarget;

namespace {

// The records of `block` that end with a line break, counted once after each change of the block.
std::int64_t BreaksIn(const TextBlock& block)
{
    if (block.breaks < 0)
        block.breaks = static_cast<std::int32_t>(std::count_if(
            block.records.begin(), block.records.end(), [](const TLineRecord* r) { return r->EndsWithBreak(); }));
    return block.breaks;
}

// The slot of `block` holding offset `rem` of the block; `rem` becomes the offset in that record.
std::size_t SlotOfOffset(const TextBlock& block, std::int64_t& rem)
{
    std::size_t slot = 0;
    while (rem >= block.lengths[slot]) rem -= block.lengths[slot++];
    return slot;
}

}  // namespace

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
    std::int64_t count = 0;
    for (std::size_t b = 0; b < bi; ++b) count += BreaksIn(*blocks_[b]);
    const TextBlock& block = *blocks_[bi];
    for (std::int64_t i = 0; i < rem; ++i) count += block.records[static_cast<std::size_t>(i)]->EndsWithBreak() ? 1 : 0;
    return count;
}

std::int64_t TTextStore::FirstLineOfLogical(std::int64_t logical) const
{
    if (logical <= 0) return 0;
    std::int64_t remaining = logical;  // line breaks still to pass
    std::int64_t line = 0;
    for (const auto& b : blocks_) {
        const TextBlock& block = *b;
        if (const std::int64_t breaks = BreaksIn(block); breaks < remaining) {
            remaining -= breaks;
            line += static_cast<std::int64_t>(block.records.size());
            continue;
        }
        for (std::size_t i = 0; i < block.records.size(); ++i)
            if (block.records[i]->EndsWithBreak() && --remaining == 0) return line + static_cast<std::int64_t>(i) + 1;
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
        auto take = [&](TLineRecord* r) { AppendToBlocks(pieces, r); };
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

LinePosition TTextStore::FromOffset(std::int64_t offset) const
{
    if (offset < 0) offset = 0;
    if (offset >= charCount_) return {nullptr, lineCount_, charCount_};
    std::int64_t rem = offset;
    const std::size_t b = BlockOfOffset(rem);
    const TextBlock* block = blocks_[b].get();
    const std::size_t slot = SlotOfOffset(*block, rem);
    return {At(block, slot), LinesBefore(b) + static_cast<std::int64_t>(slot), offset - rem};
}

std::size_t TTextStore::CopyText(std::int64_t offset, char* out, std::size_t count) const
{
    if (offset < 0 || offset >= charCount_ || count == 0) return 0;
    std::int64_t rem = offset;
    std::size_t b = BlockOfOffset(rem);
    std::size_t slot = SlotOfOffset(*blocks_[b], rem);
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

LinePosition TTextStore::FromLine(std::int64_t index) const
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
    cached_ = r ? LinePosition{r, IndexOf(r), OffsetOf(r)} : LinePosition{};
}

const LinePosition& TTextStore::CachedPosition() const
{
    // The numbers are worked out afresh: edits before the record move it.
    if (cached_.record) cached_ = {cached_.record, IndexOf(cached_.record), OffsetOf(cached_.record)};
    return cached_;
}

}  // namespace tarnwick
