#include "memory_budget.h"

#include "room.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>

namespace kest::budget {
namespace {

using room::Unlimited;
constexpr int64_t MiB = int64_t{1} << 20;
// The room is measured again after results and the engine grow by this much (a 2.5 GB result:
// 160 measurements of some microseconds each), and whenever the last figure is a second old.
constexpr int64_t GrowthStep = 16 * MiB;
constexpr auto MeasureAge = std::chrono::seconds(1);
// What the window, the engine's fixed needs and other processes' growth between two
// measurements take beyond the budget: a sixteenth of the room, within these bounds.
constexpr int64_t LeastHeadroom = 16 * MiB;
constexpr int64_t MostHeadroom = 512 * MiB;
// The engine may always build a value this long: small statements run in small rooms.
constexpr int64_t LeastValueLimit = MiB;

int64_t add(int64_t a, int64_t b)
{
    return a > Unlimited - b ? Unlimited : a + b;
}

// KESTRUNE_MEMORY_LIMIT bounds what results and the engine's heap hold together. Read once; a
// value that is not a size is reported once and ignored.
int64_t env_limit()
{
    static const int64_t limit = [] {
        const char *set = std::getenv("KESTRUNE_MEMORY_LIMIT");
        if (set == nullptr)
            return Unlimited;
        if (const auto bytes = parse_bytes(set))
            return *bytes;
        std::fprintf(stderr, "kestrune3: KESTRUNE_MEMORY_LIMIT=\"%s\" is not a size such as 512M; ignored\n", set);
        return Unlimited;
    }();
    return limit;
}

// The engine's heap (the whole process's, a host's own use of SQLite included; 0 when the host
// switched SQLite's memory statistics off, and then the measured room alone shows its growth).
int64_t engine_heap()
{
    return std::max<int64_t>(sqlite3_memory_used(), 0);
}

// What the library holds (results' memory, its own copies of values): in use, so the measured
// room no longer shows it as free.
std::atomic<int64_t> held{0};
// What callers were promised (kest_memory_take) and have not taken yet: the measured room still
// shows it as free, so it must not raise the room, only fill it.
std::atomic<int64_t> promised{0};
std::atomic<int64_t> ceiling{Unlimited};  // for held + promised + engine_heap()
std::atomic<int64_t> next_measure{-1};    // the use at which the room is measured again
std::atomic<int64_t> measured_at{0};      // steady clock, in its ticks
std::mutex measuring;

int64_t ticks_now()
{
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

// Everything the budget counts.
int64_t counted(int64_t engine)
{
    return add(add(held.load(), promised.load()), engine);
}

void measure() noexcept
{
    const std::lock_guard lock(measuring);
    const int64_t free = room::free_bytes();
    const int64_t engine = engine_heap();
    int64_t limit = env_limit();
    if (free != Unlimited) {
        // The room is what is free and what is already in use of the budget's own; promises
        // are part of the free memory until they are taken.
        const int64_t total = add(add(held.load(), engine), free);
        const int64_t headroom = std::clamp(total / 16, LeastHeadroom, MostHeadroom);
        limit = std::min(limit, std::max<int64_t>(total - headroom, 0));
    }
    ceiling.store(limit);
    next_measure.store(add(counted(engine), GrowthStep));
    measured_at.store(ticks_now());
}

// Measures again when `use` passes the next step or the ceiling, or the figure is old.
void measure_if_due(int64_t use)
{
    const auto age = std::chrono::steady_clock::duration(ticks_now() - measured_at.load());
    if (use > next_measure.load() || use > ceiling.load() || age > MeasureAge)
        measure();
}

// Counts `n` more in `count` when it fits under the ceiling beside `other` (the other count)
// and the engine. Two threads that count at once in different counts may each miss the
// other's last request, as both miss what other processes take between two measurements.
bool count_in(std::atomic<int64_t> &count, const std::atomic<int64_t> &other, int64_t n) noexcept
{
    if (n <= 0)
        return n == 0;
    const int64_t engine = engine_heap();
    measure_if_due(add(counted(engine), n));
    const int64_t limit = ceiling.load();
    int64_t now = count.load();
    do {
        if (add(add(add(now, other.load()), engine), n) > limit)
            return false;
    } while (!count.compare_exchange_weak(now, now + n));
    return true;
}

void count_out(std::atomic<int64_t> &count, int64_t n) noexcept
{
    if (n <= 0)
        return;
    int64_t now = count.load();
    while (!count.compare_exchange_weak(now, now - std::min(now, n))) {
    }
}

} // namespace

std::optional<int64_t> parse_bytes(std::string_view text) noexcept
{
    std::size_t digits = 0;
    int64_t n = 0;
    for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
        if (n > (Unlimited - 9) / 10)
            return std::nullopt;
        n = n * 10 + (text[digits] - '0');
    }
    if (digits == 0 || text.size() > digits + 1)
        return std::nullopt;
    int shift = 0;
    if (text.size() == digits + 1) {
        switch (text.back()) {
        case 'K': case 'k': shift = 10; break;
        case 'M': case 'm': shift = 20; break;
        case 'G': case 'g': shift = 30; break;
        default: return std::nullopt;
        }
    }
    if (n > (Unlimited >> shift))
        return std::nullopt;
    return n << shift;
}

int64_t bytes() noexcept
{
    const int64_t engine = engine_heap();
    measure_if_due(counted(engine));
    const int64_t limit = ceiling.load();
    return limit == Unlimited ? Unlimited : std::max<int64_t>(limit - engine, 0);
}

bool take(int64_t n) noexcept
{
    return count_in(held, promised, n);
}

void take_or_throw(int64_t n)
{
    if (!take(n))
        throw std::bad_alloc();
}

void give(int64_t n) noexcept
{
    count_out(held, n);
}

bool promise(int64_t n) noexcept
{
    return count_in(promised, held, n);
}

void unpromise(int64_t n) noexcept
{
    count_out(promised, n);
}

bool engine_fits() noexcept
{
    const int64_t engine = engine_heap();
    measure_if_due(counted(engine));
    return counted(engine) <= ceiling.load();
}

int64_t longest_value() noexcept
{
    const int64_t engine = engine_heap();
    measure_if_due(counted(engine));
    const int64_t limit = ceiling.load();
    if (limit == Unlimited)
        return Unlimited;
    // A value is built once by the engine and then copied at least once more.
    return std::max((limit - std::min(counted(engine), limit)) / 2, LeastValueLimit);
}

} // namespace kest::budget
