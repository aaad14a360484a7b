// The C library's heap: nothing moves pages here, so joining copies.
#include "../pages.h"

#include <cstdlib>
#include <cstring>

namespace kest::pages {

std::size_t page_size() noexcept
{
    return 4096;
}

void *map(std::size_t bytes, bool /*lazy*/) noexcept
{
    return std::malloc(bytes);
}

void populate(void * /*memory*/, std::size_t /*bytes*/) noexcept {}

void unmap(void *memory, std::size_t /*bytes*/) noexcept
{
    std::free(memory);
}

void *join(void *const *blocks, std::size_t count, std::size_t bytes) noexcept
{
    auto *range = static_cast<char *>(std::malloc(count * bytes));
    if (range == nullptr)
        return nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        std::memcpy(range + i * bytes, blocks[i], bytes);
        std::free(blocks[i]);
    }
    return range;
}

} // namespace kest::pages
