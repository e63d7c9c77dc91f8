#pragma once
// The blocks of records the text store keeps its lines in, shared by the store's parts: the
// records and editing (text_store.cpp), the blocks with their index and navigation
// (text_blocks.cpp) and re-wrapping (text_rewrap.cpp).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "editor/text_store.h"

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

namespace text_blocks {
constexpr std::size_t kBlockTarget = 512;  // records per block when blocks are built or split
constexpr std::size_t kBlockMax = 1024;
constexpr std::size_t kBlockMin = 64;  // a smaller block is merged with a neighbour
}  // namespace text_blocks

// Appends `r` to the last of `blocks`, starting a new block when there is none or the last holds
// kBlockTarget records.
inline void TTextStore::AppendToBlocks(std::vector<std::unique_ptr<TextBlock>>& blocks, TLineRecord* r)
{
    if (blocks.empty() || blocks.back()->records.size() == text_blocks::kBlockTarget) {
        blocks.push_back(std::make_unique<TextBlock>());
        blocks.back()->records.reserve(text_blocks::kBlockTarget);
        blocks.back()->lengths.reserve(text_blocks::kBlockTarget);
    }
    TextBlock* block = blocks.back().get();
    r->block_ = block;
    r->slot_ = static_cast<std::uint16_t>(block->records.size());
    block->records.push_back(r);
    block->lengths.push_back(r->length_);
    block->chars += r->length_;
}

inline void TTextStore::UpdateIndex(const TextBlock* block, std::int64_t lineDelta, std::int64_t charDelta)
{
    block->breaks = -1;
    for (std::size_t i = block->index + 1; i < fenLines_.size(); i += i & (~i + 1)) {
        fenLines_[i] += lineDelta;
        fenChars_[i] += charDelta;
    }
}

inline std::size_t TTextStore::SlotOf(const TLineRecord* r) const
{
    // Slots are brought up to date lazily: an edit inside a block moves the records after it,
    // and rewriting all their slots would touch every one of them.
    TextBlock* block = r->block_;
    const std::size_t slot = r->slot_;
    if (slot < block->records.size() && block->records[slot] == r) return slot;
    for (std::size_t i = 0; i < block->records.size(); ++i) block->records[i]->slot_ = static_cast<std::uint16_t>(i);
    return r->slot_;
}

// The record at `slot` of `block`, its slot brought up to date on the way: walking and looking up
// refresh what edits left stale, so a walk never has to renumber a whole block.
inline TLineRecord* TTextStore::At(const TextBlock* block, std::size_t slot)
{
    TLineRecord* r = block->records[slot];
    r->slot_ = static_cast<std::uint16_t>(slot);
    return r;
}

}  // namespace tarnwick
