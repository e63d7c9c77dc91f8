#include "editor/line_pool.h"

#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tarnwick {

namespace {

// Slabs are asked of the system directly and filled in at once: touching fresh memory page by
// page costs more than the copying that fills it.
void* NewSlab(std::size_t size)
{
#if defined(__linux__)
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return p;
#else
    return ::operator new(size);
#endif
}

void DeleteSlab(void* p, std::size_t size)
{
#if defined(__linux__)
    ::munmap(p, size);
#else
    (void)size;
    ::operator delete(p);
#endif
}

}  // namespace

LinePool::~LinePool()
{
    for (void* block : large_) ::operator delete(block);
    for (const Slab& slab : slabs_) DeleteSlab(slab.memory, slab.size);
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
        slabs_.push_back({NewSlab(kSlabSize), kSlabSize});
        reserved_ += kSlabSize;
        cursor_ = static_cast<char*>(slabs_.back().memory);
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
