#include "connections.h"

#include <limits>
#include <mutex>
#include <unordered_map>

namespace kest {
namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<int32_t, std::shared_ptr<Connection>> open;
    int32_t last = 0;
};

// Never destroyed: a thread of the host may still close or use a connection while the
// process exits.
Registry &registry()
{
    static Registry *const instance = new Registry;
    return *instance;
}

} // namespace

int32_t register_connection(std::shared_ptr<Connection> connection)
{
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    // Ids are not reused soon after a close, so a stale handle rarely meets a new connection.
    do {
        r.last = r.last == std::numeric_limits<int32_t>::max() ? 1 : r.last + 1;
    } while (r.open.contains(r.last));
    r.open.emplace(r.last, std::move(connection));
    return r.last;
}

std::shared_ptr<Connection> find_connection(int32_t handle)
{
    if (handle == 0)
        return nullptr;
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.open.find(handle);
    return it == r.open.end() ? nullptr : it->second;
}

std::shared_ptr<Connection> unregister_connection(int32_t handle)
{
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.open.find(handle);
    if (it == r.open.end())
        return nullptr;
    auto connection = std::move(it->second);
    r.open.erase(it);
    return connection;
}

} // namespace kest
