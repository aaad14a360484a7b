// Linux: the room is the least of what the process's memory cgroups have left (each level up
// the hierarchy limits it too), the system's available memory, and the address space left under
// RLIMIT_AS. Memory another process takes shows here, since a cgroup and the system count
// every process in them. Each source is asked on its own: one that cannot be read leaves the
// others standing.
#include "../room.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kest::room {
namespace {

// The folder under which /proc and /sys are read: "" (the system's own) unless a test names a
// folder of its own laid out the same way in KESTRUNE_TEST_ROOT. Read at each measurement, so
// that a test can lay out one machine after another.
std::string root()
{
    const char *set = std::getenv("KESTRUNE_TEST_ROOT");
    return set != nullptr ? set : "";
}

// The first number in the file, or after `key` at the start of a line; -1 when there is none
// (a missing file, "max").
int64_t read_number(const std::string &path, const char *key = nullptr)
{
    std::FILE *file = std::fopen(path.c_str(), "re");
    if (file == nullptr)
        return -1;
    int64_t value = -1;
    char line[256];
    const std::size_t key_length = key != nullptr ? std::strlen(key) : 0;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (key != nullptr && (std::strncmp(line, key, key_length) != 0 || line[key_length] != ' '))
            continue;
        char *end = nullptr;
        const long long n = std::strtoll(line + key_length, &end, 10);
        if (end != line + key_length)
            value = n;
        break;
    }
    std::fclose(file);
    return value;
}

bool exists(const std::string &path)
{
    return access(path.c_str(), F_OK) == 0;
}

// A limit as read: a missing file or "max" is none.
int64_t as_limit(int64_t n)
{
    return n < 0 || n >= Unlimited / 2 ? Unlimited : n;
}

// What a cgroup has left: its limit less its use, with the file cache it could drop counted
// as free. Unlimited without a limit. Past memory.high cgroup v2 throttles the process and
// reclaims hard, so it counts as a limit too.
int64_t cgroup_left(const std::string &dir, bool v2)
{
    const int64_t limit = v2 ? std::min(as_limit(read_number(dir + "/memory.max")),
                                        as_limit(read_number(dir + "/memory.high")))
                             : as_limit(read_number(dir + "/memory.limit_in_bytes"));
    if (limit == Unlimited)
        return Unlimited;
    const int64_t used = read_number(dir + (v2 ? "/memory.current" : "/memory.usage_in_bytes"));
    const int64_t cache = read_number(dir + "/memory.stat", v2 ? "inactive_file" : "total_inactive_file");
    return std::max<int64_t>(limit - std::max<int64_t>(used, 0) + std::max<int64_t>(cache, 0), 0);
}

// Where the unified hierarchy (cgroup v2) is mounted: /sys/fs/cgroup on its own, or
// /sys/fs/cgroup/unified beside the v1 controllers of a hybrid system.
std::string unified_mount(const std::string &sys)
{
    const std::string hybrid = sys + "/unified";
    return exists(hybrid + "/cgroup.controllers") ? hybrid : sys;
}

// The tightest of the process's cgroups and their ancestors: cgroup v2 ("0::/path") and the
// memory controller of cgroup v1.
int64_t cgroups_left(const std::string &top)
{
    int64_t left = Unlimited;
    std::FILE *file = std::fopen((top + "/proc/self/cgroup").c_str(), "re");
    if (file == nullptr)
        return left;
    const std::string sys = top + "/sys/fs/cgroup";
    char raw[4096];
    try {
        while (std::fgets(raw, sizeof raw, file) != nullptr) {
            std::string line(raw);
            if (!line.empty() && line.back() == '\n')
                line.pop_back();
            const auto first = line.find(':');
            const auto second = line.find(':', first + 1);
            if (first == std::string::npos || second == std::string::npos)
                continue;
            const std::string controllers = line.substr(first + 1, second - first - 1);
            const bool v2 = controllers.empty();
            if (!v2 && ("," + controllers + ",").find(",memory,") == std::string::npos)
                continue;
            const std::string mount = v2 ? unified_mount(sys) : sys + "/memory";
            // The cgroup, then each ancestor up to the hierarchy's root (""); a path is taken
            // from the root whether or not it starts with '/'.
            std::string path = "/" + line.substr(second + 1);
            while (!path.empty() && path.back() == '/')
                path.pop_back();
            for (;;) {
                left = std::min(left, cgroup_left(mount + path, v2));
                if (path.empty())
                    break;
                const auto slash = path.rfind('/');
                path.resize(slash == std::string::npos ? 0 : slash);
            }
        }
    } catch (...) {
        // What was read so far still limits the process.
    }
    std::fclose(file);
    return left;
}

int64_t available_memory(const std::string &top)
{
    const int64_t kib = read_number(top + "/proc/meminfo", "MemAvailable:");
    return kib >= 0 && kib < Unlimited / 1024 ? kib * 1024 : Unlimited;
}

int64_t address_space_left(const std::string &top)
{
    rlimit as{};
    if (getrlimit(RLIMIT_AS, &as) != 0 || as.rlim_cur == RLIM_INFINITY || as.rlim_cur >= static_cast<rlim_t>(Unlimited))
        return Unlimited;
    const int64_t pages = read_number(top + "/proc/self/statm");
    const int64_t size = std::max<int64_t>(pages, 0) * sysconf(_SC_PAGESIZE);
    return std::max<int64_t>(static_cast<int64_t>(as.rlim_cur) - size, 0);
}

} // namespace

int64_t free_bytes() noexcept
{
    std::string top;
    try {
        top = root();
    } catch (...) {
        return Unlimited; // not even a path can be made: the next measurement asks again
    }
    int64_t left = Unlimited;
    for (int64_t (*source)(const std::string &) : {cgroups_left, available_memory, address_space_left}) {
        try {
            left = std::min(left, source(top));
        } catch (...) {
            // This source has no figure; the others still count.
        }
    }
    return left;
}

} // namespace kest::room
