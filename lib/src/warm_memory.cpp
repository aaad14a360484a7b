#include "warm_memory.h"

#include "memory_budget.h"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <utility>
#include <vector>

namespace kest::warm {
namespace {

// Enough to stay ahead of a query that fills 4 MiB in a few milliseconds, little when idle.
constexpr std::size_t ReadyChunks = 4;

struct Pool {
    std::mutex mutex;
    std::condition_variable changed;
    // Touched chunks. They are counted against the budget only when handed out: the few that
    // wait are part of the headroom, and never take memory that a query asks for.
    std::vector<void *> ready;
    std::thread helper;        // joinable while it runs
    bool quitting = false;     // the process is ending
};

// Never destroyed: a forked child leaves the one it inherited alone.
Pool *pool = new Pool;

std::size_t page_size()
{
    static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

void *map(std::size_t bytes) noexcept
{
    void *p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

void helper()
{
    std::unique_lock lock(pool->mutex);
    for (;;) {
        pool->changed.wait(lock, [] { return pool->quitting || pool->ready.size() < ReadyChunks; });
        if (pool->quitting)
            return;
        lock.unlock();
        void *chunk = map(ChunkSize);
        if (chunk != nullptr) {
            auto *bytes = static_cast<volatile char *>(chunk);
            for (std::size_t i = 0; i < ChunkSize; i += page_size())
                bytes[i] = 0;
        }
        lock.lock();
        if (chunk != nullptr)
            pool->ready.push_back(chunk);
        else
            pool->changed.wait(lock); // the system refuses: wait until memory comes back
    }
}

// Called with the pool locked.
void start_helper() noexcept
{
    if (pool->helper.joinable() || pool->quitting)
        return;
    try {
        pool->helper = std::thread(helper);
    } catch (...) {
        // No thread (an address-space limit, say): memory then comes untouched.
    }
}

// A forked child has no helper and may have inherited the pool locked: it starts afresh, with
// the chunks that were ready.
void before_fork() { pool->mutex.lock(); }
void after_fork_in_parent() { pool->mutex.unlock(); }
void after_fork_in_child()
{
    Pool *fresh = new Pool;
    fresh->ready = std::move(pool->ready);
    pool = fresh;
}
[[maybe_unused]] const int fork_handlers = pthread_atfork(before_fork, after_fork_in_parent, after_fork_in_child);

// The helper ends before the process does, so nothing runs beside the exit's own work (the
// sanitizers' leak check among it).
struct EndHelperAtExit {
    ~EndHelperAtExit()
    {
        {
            const std::lock_guard lock(pool->mutex);
            pool->quitting = true;
        }
        pool->changed.notify_all();
        if (pool->helper.joinable())
            pool->helper.join();
    }
} end_helper_at_exit;

} // namespace

void prepare() noexcept
{
    const std::lock_guard lock(pool->mutex);
    start_helper();
}

void *allocate(std::size_t bytes)
{
    bytes = (bytes + page_size() - 1) / page_size() * page_size();
    budget::take_or_throw(static_cast<int64_t>(bytes));
    void *memory = nullptr;
    if (bytes == ChunkSize) {
        std::unique_lock lock(pool->mutex);
        start_helper();
        if (!pool->ready.empty()) {
            memory = pool->ready.back();
            pool->ready.pop_back();
        }
        lock.unlock();
        pool->changed.notify_one();
    }
    if (memory == nullptr)
        memory = map(bytes);
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
    bytes = (bytes + page_size() - 1) / page_size() * page_size();
    munmap(memory, bytes);
    budget::give(static_cast<int64_t>(bytes));
    pool->changed.notify_one();
}

void *join(void *const *chunks, std::size_t count)
{
    // A writable range first, so that a chunk that cannot be moved is copied into place instead.
    void *range = mmap(nullptr, count * ChunkSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                       -1, 0);
    if (range == MAP_FAILED)
        throw std::bad_alloc();
    for (std::size_t i = 0; i < count; ++i) {
        char *place = static_cast<char *>(range) + i * ChunkSize;
        if (mremap(chunks[i], ChunkSize, ChunkSize, MREMAP_MAYMOVE | MREMAP_FIXED, place) == MAP_FAILED) {
            std::memcpy(place, chunks[i], ChunkSize);
            munmap(chunks[i], ChunkSize);
        }
    }
    return range;
}

} // namespace kest::warm
