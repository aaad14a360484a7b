#pragma once
// Large blocks of memory straight from the system, and joining them into one range without
// copying where the system can move pages. Each platform has its file in platform/pages_*.cpp;
// the portable one uses the C library's heap and copies.

#include <cstddef>

namespace kest::pages {

// The system's page: blocks are whole pages.
std::size_t page_size() noexcept;

// `bytes` of memory, ready to be written; nullptr when the system refuses. `lazy`: its pages
// are made when first touched or populated, not now.
void *map(std::size_t bytes, bool lazy = false) noexcept;
void unmap(void *memory, std::size_t bytes) noexcept;
// Makes the pages of a range of mapped memory present in one go, as the system's first touches
// would one by one (a fault each); where it cannot, the touches still will.
void populate(void *memory, std::size_t bytes) noexcept;

// One range holding the `count` blocks of `bytes` each, in order; the blocks are gone
// afterwards. nullptr, with the blocks as they were, when no range can be had.
void *join(void *const *blocks, std::size_t count, std::size_t bytes) noexcept;

} // namespace kest::pages
