#pragma once
// Large blocks of memory straight from the system, and joining them into one range without
// copying where the system can move pages. Each platform has its file in platform/pages_*.cpp;
// the portable one uses the C library's heap and copies.

#include <cstddef>

namespace kest::pages {

// The system's page: blocks are whole pages.
std::size_t page_size() noexcept;

// `bytes` of memory, ready to be written; nullptr when the system refuses.
void *map(std::size_t bytes) noexcept;
void unmap(void *memory, std::size_t bytes) noexcept;

// One range holding the `count` blocks of `bytes` each, in order; the blocks are gone
// afterwards. nullptr, with the blocks as they were, when no range can be had.
void *join(void *const *blocks, std::size_t count, std::size_t bytes) noexcept;

} // namespace kest::pages
