// Linux: the room is the least of what the process's memory cgroups have left (each level up
// the hierarchy limits it too), the system's available memory, and the address space left under
// RLIMIT_AS. Memory another process takes shows here, since a cgroup and the system count
// every process in them.
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

// What a cgroup has left: its limit less its use, with the file cache it could drop counted
// as free. Unlimited without a limit.
int64_t cgroup_left(const std::string &dir, bool v2)
{
    const int64_t limit = read_number(dir + (v2 ? "/memory.max" : "/memory.limit_in_bytes"));
    if (limit < 0 || limit >= Unlimited / 2)
        return Unlimited;
    const int64_t used = read_number(dir + (v2 ? "/memory.current" : "/memory.usage_in_bytes"));
    const int64_t cache = read_number(dir + "/memory.stat", v2 ? "inactive_file" : "total_inactive_file");
    return std::max<int64_t>(limit - std::max<int64_t>(used, 0) + std::max<int64_t>(cache, 0), 0);
}

// The tightest of the process's cgroups and their ancestors: cgroup v2 ("0::/path") and the
// memory controller of cgroup v1.
int64_t cgroups_left()
{
    int64_t left = Unlimited;
    std::FILE *file = std::fopen("/proc/self/cgroup", "re");
    if (file == nullptr)
        return left;
    char raw[4096];
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
        const std::string mount = v2 ? "/sys/fs/cgroup" : "/sys/fs/cgroup/memory";
        for (std::string path = line.substr(second + 1);; path.resize(path.rfind('/'))) {
            left = std::min(left, cgroup_left(mount + (path == "/" ? "" : path), v2));
            if (path.empty() || path == "/")
                break;
        }
    }
    std::fclose(file);
    return left;
}

} // namespace

int64_t free_bytes() noexcept
{
    try {
        int64_t left = cgroups_left();
        if (const int64_t available = read_number("/proc/meminfo", "MemAvailable:"); available >= 0)
            left = std::min(left, available * 1024);
        rlimit as{};
        if (getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY &&
            as.rlim_cur < static_cast<rlim_t>(Unlimited)) {
            const int64_t pages = read_number("/proc/self/statm");
            const int64_t size = std::max<int64_t>(pages, 0) * sysconf(_SC_PAGESIZE);
            left = std::min(left, std::max<int64_t>(static_cast<int64_t>(as.rlim_cur) - size, 0));
        }
        return left;
    } catch (...) {
        return Unlimited; // no figure to go by
    }
}

} // namespace kest::room
