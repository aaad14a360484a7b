#pragma once
// Memory for results, counted against the memory budget, whose pages are touched before they
// are handed out. The first touch of a page costs a fault (several microseconds each on a
// virtual machine: a third of a second for 250 MB), and a result of millions of cells is little
// else than first touches. A helper thread keeps a few chunks touched ahead on the other core,
// so the query fills memory that is already in place.

#include <cstddef>

namespace kest::warm {

// The size in which memory comes touched ahead.
inline constexpr std::size_t ChunkSize = std::size_t{4} << 20;

// Starts the helper, so that chunks are touched before a query asks for them. (Not while the
// library is being loaded: a thread started from there upsets the sanitizers' leak checker.)
void prepare() noexcept;

// `bytes` of memory (rounded up to whole pages), counted against the budget; a chunk of
// ChunkSize comes touched when the helper has one ready. Throws std::bad_alloc when the budget
// or the system refuses.
void *allocate(std::size_t bytes);

// Gives memory from allocate() back, with its count. Null is a harmless no-op.
void release(void *memory, std::size_t bytes) noexcept;

// Moves `count` chunks from allocate() into one contiguous range without copying (their pages
// move, their texts stay); the chunks are gone afterwards and the range is released with
// release(range, count * ChunkSize). Throws std::bad_alloc when no range can be had.
void *join(void *const *chunks, std::size_t count);

} // namespace kest::warm
