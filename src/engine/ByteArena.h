#pragma once
// Bytes handed out back to back from large buffers drawn from the memory budget, so that
// hundreds of thousands of cells or rows cost a handful of allocations and nothing per item.
// Nothing is given back alone: clear() drops everything at once.

#include "MemoryBudget.h"

#include <cstddef>
#include <vector>

namespace kest {

class ByteArena {
public:
    // One chunk of the budget's memory, which comes with its pages in place.
    static constexpr std::size_t BufferSize = MemoryBudget::ChunkBytes;

    // Buffers from now on are counted against `budget` (nullptr: the heap, not counted).
    void chargeTo(MemoryBudget *budget) noexcept { budget_ = budget; }
    // Room for `bytes`; throws std::bad_alloc when the budget refuses a new buffer, and then
    // nothing has changed.
    unsigned char *allocate(std::size_t bytes)
    {
        if (bytes > left_) {
            // A large item gets a buffer of its own and the shared one goes on being filled.
            if (bytes > BufferSize / 4)
                return buffers_.emplace_back(AllocateBudgeted<unsigned char>(budget_, bytes)).get();
            buffers_.push_back(AllocateBudgeted<unsigned char>(budget_, BufferSize));
            free_ = buffers_.back().get();
            left_ = BufferSize;
        }
        unsigned char *room = free_;
        free_ += bytes;
        left_ -= bytes;
        return room;
    }
    void clear() noexcept
    {
        buffers_.clear();
        free_ = nullptr;
        left_ = 0;
    }

private:
    std::vector<BudgetedArray<unsigned char>> buffers_;
    unsigned char *free_ = nullptr;
    std::size_t left_ = 0;
    MemoryBudget *budget_ = nullptr;
};

} // namespace kest
