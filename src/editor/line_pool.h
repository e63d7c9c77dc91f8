#pragma once
// The memory of one text store's line records and their texts. Millions of small blocks of a few
// dozen bytes each: a general-purpose allocator would spend a header and its rounding on every
// one of them. The pool carves them from large slabs by size class (multiples of 8 bytes), keeps
// freed blocks on a list per class for reuse, and releases everything at once when it goes.

#include <cstddef>
#include <memory>
#include <unordered_set>
#include <vector>

namespace tarnwick {

class LinePool {
public:
    LinePool() = default;
    LinePool(const LinePool&) = delete;
    LinePool& operator=(const LinePool&) = delete;
    ~LinePool();

    // The size actually reserved for a request of `bytes`.
    static std::size_t RoundUp(std::size_t bytes) { return (bytes + 7) & ~std::size_t{7}; }

    // A block of at least `bytes` bytes (RoundUp(bytes) usable), aligned to 8.
    void* Allocate(std::size_t bytes);
    // Gives back a block; `bytes` is the size it was allocated with.
    void Free(void* block, std::size_t bytes) noexcept;

    // Bytes handed out or kept for reuse (the untouched end of the current slab aside), for
    // measurements.
    std::size_t ReservedBytes() const { return reserved_ - static_cast<std::size_t>(end_ - cursor_); }

private:
    static constexpr std::size_t kLargest = 8200;  // larger blocks come from the system one by one
    static constexpr std::size_t kClasses = kLargest / 8 + 1;
    static constexpr std::size_t kSlabSize = 1 << 20;

    struct FreeBlock {
        FreeBlock* next;
    };

    FreeBlock* free_[kClasses] = {};
    struct Slab {
        void* memory;
        std::size_t size;
    };
    std::vector<Slab> slabs_;
    std::unordered_set<void*> large_;
    char* cursor_ = nullptr;
    char* end_ = nullptr;
    std::size_t reserved_ = 0;
};

}  // namespace tarnwick
