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

// `bytes` counted against the budget, then made by `make`; the count is given back when that fails.
template <typename Make> void *counted(std::size_t bytes, Make make)
{
    budget::take_or_throw(static_cast<int64_t>(bytes));
    void *memory = make(bytes);
    if (memory == nullptr) {
        budget::give(static_cast<int64_t>(bytes));
        throw std::bad_alloc();
    }
    return memory;
}

} // namespace

void *allocate(std::size_t bytes)
{
    return counted(whole_pages(bytes), [](std::size_t n) { return pages::map(n); });
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
    if (bytes < HeapBytes)
        return counted(bytes, [](std::size_t n) { return std::malloc(n); });
    return counted(whole_pages(bytes), [](std::size_t n) { return pages::map(n, true); });
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
