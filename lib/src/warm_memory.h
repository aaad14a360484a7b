#pragma once
// Memory for results, counted against the memory budget, with its pages made present in one go
// rather than one fault at a time: the first touch of a page costs a fault (several
// microseconds each on a virtual machine), and a result of millions of cells is little else than
// first touches. allocate() fills a chunk's pages when it hands it out (pages::map); the table
// builder takes allocate_sized() memory and populates it as it fills, so that a small result
// takes no chunk and a big one no pages it never uses.

#include <cstddef>

namespace kest::warm {

// The size in which big results ask for memory.
inline constexpr std::size_t ChunkSize = std::size_t{4} << 20;

// `bytes` of memory (rounded up to whole pages), counted against the budget. Throws
// std::bad_alloc when the budget or the system refuses.
void *allocate(std::size_t bytes);

// Gives memory from allocate() back, with its count. Null is a harmless no-op.
void release(void *memory, std::size_t bytes) noexcept;

// Memory of any size for a result, whose pages its owner makes present as it fills it
// (populate()), so that the part it never fills takes no memory: below HeapBytes from the heap,
// counted as asked (a mapping of its own costs system calls that a small result does not need),
// otherwise a mapping counted in whole pages. Released with release_sized() and the same size.
inline constexpr std::size_t HeapBytes = std::size_t{64} << 10;
void *allocate_sized(std::size_t bytes);
void release_sized(void *memory, std::size_t bytes) noexcept;
// The pages of [memory, memory + bytes) present in one go; one fault each otherwise.
void populate(void *memory, std::size_t bytes) noexcept;
// How much a result makes present at a time.
inline constexpr std::size_t PopulateBytes = std::size_t{512} << 10;

// Moves `count` chunks from allocate() into one contiguous range (without copying where the
// system can move pages); the chunks are gone afterwards and the range is released with
// release(range, count * ChunkSize). Throws std::bad_alloc when no range can be had.
void *join(void *const *chunks, std::size_t count);

} // namespace kest::warm
