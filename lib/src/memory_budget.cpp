#include "memory_budget.h"

#include <sqlite3.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <new>
#include <string>

namespace kest::budget {
namespace {

constexpr int64_t Unlimited = std::numeric_limits<int64_t>::max();
constexpr int64_t MiB = int64_t{1} << 20;
// What the window and the engine need beyond the results: at least this, or an eighth.
constexpr int64_t LeastHeadroom = 64 * MiB;

// "123", "512M", "2G" (powers of 1024); Unlimited for "max", garbage or nothing.
int64_t parse_bytes(const std::string &text)
{
    char *end = nullptr;
    const unsigned long long n = std::strtoull(text.c_str(), &end, 10);
    if (end == text.c_str())
        return Unlimited;
    int shift = 0;
    switch (std::toupper(static_cast<unsigned char>(*end))) {
    case 'K': shift = 10; break;
    case 'M': shift = 20; break;
    case 'G': shift = 30; break;
    default: break;
    }
    if (n > static_cast<unsigned long long>(Unlimited >> shift))
        return Unlimited;
    return static_cast<int64_t>(n) << shift;
}

int64_t read_limit_file(const std::string &path)
{
    std::ifstream in(path);
    std::string text;
    return in >> text ? parse_bytes(text) : Unlimited;
}

// The tightest memory limit of the cgroups the process is in: cgroup v2 (every ancestor's
// memory.max) and cgroup v1 (the memory controller's limit_in_bytes).
int64_t cgroup_limit()
{
    int64_t limit = Unlimited;
    std::ifstream in("/proc/self/cgroup");
    for (std::string line; std::getline(in, line);) {
        const auto first = line.find(':');
        const auto second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string mount, file;
        if (controllers.empty()) {
            mount = "/sys/fs/cgroup";
            file = "/memory.max";
        } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
            mount = "/sys/fs/cgroup/memory";
            file = "/memory.limit_in_bytes";
        } else {
            continue;
        }
        // A cgroup's ancestors limit it too.
        for (std::string path = line.substr(second + 1);; path.resize(path.rfind('/'))) {
            limit = std::min(limit, read_limit_file(mount + (path == "/" ? "" : path) + file));
            if (path.empty() || path == "/")
                break;
        }
    }
    return limit;
}

struct Usage {
    int64_t address_space = 0; // what RLIMIT_AS counts
    int64_t resident = 0;      // what the cgroup and the physical memory hold of the process
};

Usage usage()
{
    Usage u;
    std::ifstream in("/proc/self/statm");
    int64_t size = 0, resident = 0;
    if (in >> size >> resident) {
        const int64_t page = sysconf(_SC_PAGESIZE);
        u.address_space = size * page;
        u.resident = resident * page;
    }
    return u;
}

int64_t decide() noexcept
{
    try {
        const Usage used = usage();
        int64_t room = Unlimited;
        const auto fit = [&room](int64_t limit, int64_t in_use) {
            if (limit != Unlimited)
                room = std::min(room, std::max<int64_t>(limit - in_use, 0));
        };
        fit(cgroup_limit(), used.resident);
        const long pages = sysconf(_SC_PHYS_PAGES);
        if (pages > 0)
            fit(static_cast<int64_t>(pages) * sysconf(_SC_PAGESIZE), used.resident);
        rlimit as{};
        if (getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY &&
            as.rlim_cur < static_cast<rlim_t>(Unlimited))
            fit(static_cast<int64_t>(as.rlim_cur), used.address_space);
        if (const char *set = std::getenv("KESTRUNE_MEMORY_LIMIT"); set != nullptr)
            fit(parse_bytes(set), used.resident);
        if (room == Unlimited)
            return Unlimited;
        const int64_t decided = std::max<int64_t>(room - std::max(LeastHeadroom, room / 8), 0);
        // The engine's own memory (sorts, temporary tables, an in-memory database) stays
        // within the same figure.
        sqlite3_hard_heap_limit64(decided);
        return decided;
    } catch (...) {
        return Unlimited;
    }
}

std::atomic<int64_t> held_bytes{0};

} // namespace

int64_t bytes() noexcept
{
    static const int64_t decided = decide();
    return decided;
}

namespace {
// Decided when the library is loaded, that is at the program's start, before results grow.
[[maybe_unused]] const int64_t decided_at_load = bytes();
} // namespace

bool take(int64_t n) noexcept
{
    const int64_t limit = bytes();
    int64_t now = held_bytes.load(std::memory_order_relaxed);
    do {
        if (n > limit - now)
            return false;
    } while (!held_bytes.compare_exchange_weak(now, now + n, std::memory_order_relaxed));
    return true;
}

void take_or_throw(int64_t n)
{
    if (!take(n))
        throw std::bad_alloc();
}

void give(int64_t n) noexcept
{
    held_bytes.fetch_sub(n, std::memory_order_relaxed);
}

} // namespace kest::budget
