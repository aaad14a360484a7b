#pragma once
// The table of open connections: a handle is an id into it, never a pointer, so a
// stale or invented handle is found missing instead of being dereferenced.

#include "kestrune3.h"

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

namespace kest {

struct DbCloser {
    void operator()(sqlite3 *db) const noexcept { sqlite3_close_v2(db); }
};
using DbPtr = std::unique_ptr<sqlite3, DbCloser>;

struct Connection {
    explicit Connection(DbPtr d) : db(std::move(d)) {}
    DbPtr db;
    // Written by kest_sqlite_progress_handler, read by the engine's progress hook.
    std::atomic<kest_progress_callback> progress{nullptr};
    // Engine steps between two calls of the hook, and since it last asked the memory budget.
    std::atomic<int32_t> steps{0};
    int64_t steps_unchecked = 0;
    // Set by kest_sqlite3_interrupt from any thread, cleared when a run starts: the hook ends
    // the run with it, between two statements too, where the engine forgets its own interrupt.
    std::atomic<bool> interrupted{false};
    // When the engine began to wait for the lock it waits for, and whether a stop ended the wait.
    std::chrono::steady_clock::time_point busy_since;
    bool busy_stopped = false;
    // The hook ended the statement because the engine's memory passed the budget.
    bool over_budget = false;
    // The engine's own bound on a text or blob, which a run lowers to what the budget allows.
    int length_limit = 0;
    // Rows each exec run counts before its first (a test's setting, read at the open).
    int64_t rows_before_exec = 0;
};

// Adds a connection; returns its new handle (never 0).
int32_t register_connection(std::shared_ptr<Connection> connection);

// The connection of `handle`, or nullptr for 0, an unknown or a closed handle. The caller's
// reference keeps it alive while it runs, even when another thread closes the handle.
std::shared_ptr<Connection> find_connection(int32_t handle);

// Takes the connection out of the table; nullptr when there was none.
std::shared_ptr<Connection> unregister_connection(int32_t handle);

} // namespace kest
