// Linux: anonymous mappings, and mremap to gather blocks into one range by moving their pages.
#include "../pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace kest::pages {

std::size_t page_size() noexcept
{
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

void *map(std::size_t bytes, bool lazy) noexcept
{
    // Pages filled in one go, on the calling thread: as fast as touching them ahead on another
    // thread (measured where the user waits), and the budget then counts memory really held.
    const int populate = !lazy && bytes >= (std::size_t{4} << 20) ? MAP_POPULATE : 0;
    void *p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | populate, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

void unmap(void *memory, std::size_t bytes) noexcept
{
    munmap(memory, bytes);
}

void populate(void *memory, std::size_t bytes) noexcept
{
#ifdef MADV_POPULATE_WRITE
    const uintptr_t page = page_size();
    const uintptr_t from = reinterpret_cast<uintptr_t>(memory) / page * page;
    const uintptr_t to = (reinterpret_cast<uintptr_t>(memory) + bytes + page - 1) / page * page;
    // Before Linux 5.14 the advice is unknown: the first touches make the pages then.
    madvise(reinterpret_cast<void *>(from), to - from, MADV_POPULATE_WRITE);
#else
    (void)memory;
    (void)bytes;
#endif
}

void *join(void *const *blocks, std::size_t count, std::size_t bytes) noexcept
{
    // A writable range first, so that a block that cannot be moved is copied into place instead.
    void *range = mmap(nullptr, count * bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                       -1, 0);
    if (range == MAP_FAILED)
        return nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        char *place = static_cast<char *>(range) + i * bytes;
        if (mremap(blocks[i], bytes, bytes, MREMAP_MAYMOVE | MREMAP_FIXED, place) == MAP_FAILED) {
            std::memcpy(place, blocks[i], bytes);
            munmap(blocks[i], bytes);
        }
    }
    return range;
}

} // namespace kest::pages
