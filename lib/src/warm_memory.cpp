#include "warm_memory.h"

#include "memory_budget.h"
#include "pages.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace kest::warm {
namespace {

std::size_t whole_pages(std::size_t bytes)
{
    static const std::size_t page = pages::page_size();
    return (bytes + page - 1) / page * page;
}

} // namespace

void *allocate(std::size_t bytes)
{
    bytes = whole_pages(bytes);
    budget::take_or_throw(static_cast<int64_t>(bytes));
    void *memory = pages::map(bytes);
    if (memory == nullptr) {
        budget::give(static_cast<int64_t>(bytes));
        throw std::bad_alloc();
    }
    return memory;
}

void release(void *memory, std::size_t bytes) noexcept
{
    if (memory == nullptr)
        return;
    bytes = whole_pages(bytes);
    pages::unmap(memory, bytes);
    budget::give(static_cast<int64_t>(bytes));
}

void *allocate_sized(std::size_t bytes)
{
    const bool heap = bytes < HeapBytes;
    if (!heap)
        bytes = whole_pages(bytes);
    budget::take_or_throw(static_cast<int64_t>(bytes));
    void *memory = heap ? std::malloc(bytes) : pages::map(bytes, true);
    if (memory == nullptr) {
        budget::give(static_cast<int64_t>(bytes));
        throw std::bad_alloc();
    }
    return memory;
}

void release_sized(void *memory, std::size_t bytes) noexcept
{
    if (memory == nullptr)
        return;
    if (bytes >= HeapBytes) {
        release(memory, bytes);
        return;
    }
    std::free(memory);
    budget::give(static_cast<int64_t>(bytes));
}

void populate(void *memory, std::size_t bytes) noexcept
{
    pages::populate(memory, bytes);
}

void *join(void *const *chunks, std::size_t count)
{
    void *range = pages::join(chunks, count, ChunkSize);
    if (range == nullptr)
        throw std::bad_alloc();
    return range;
}

} // namespace kest::warm
