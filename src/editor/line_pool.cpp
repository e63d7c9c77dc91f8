#include "editor/line_pool.h"

#include <new>

namespace tarnwick {

LinePool::~LinePool()
{
    for (void* block : large_) ::operator delete(block);
}

void* LinePool::Allocate(std::size_t bytes)
{
    const std::size_t size = RoundUp(bytes == 0 ? 8 : bytes);
    if (size > kLargest) {
        void* block = ::operator new(size);
        large_.insert(block);
        reserved_ += size;
        return block;
    }
    FreeBlock*& list = free_[size / 8];
    if (list) {
        FreeBlock* block = list;
        list = block->next;
        return block;
    }
    if (static_cast<std::size_t>(end_ - cursor_) < size) {
        slabs_.push_back(std::make_unique_for_overwrite<char[]>(kSlabSize));
        reserved_ += kSlabSize;
        cursor_ = slabs_.back().get();
        end_ = cursor_ + kSlabSize;
    }
    void* block = cursor_;
    cursor_ += size;
    return block;
}

void LinePool::Free(void* block, std::size_t bytes) noexcept
{
    if (!block) return;
    const std::size_t size = RoundUp(bytes == 0 ? 8 : bytes);
    if (size > kLargest) {
        reserved_ -= size;
        large_.erase(block);
        ::operator delete(block);
        return;
    }
    FreeBlock* freed = static_cast<FreeBlock*>(block);
    freed->next = free_[size / 8];
    free_[size / 8] = freed;
}

}  // namespace tarnwick
