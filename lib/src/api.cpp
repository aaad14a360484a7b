// The exported entry points. Each one catches everything: no C++ exception leaves the library.

#include "kestrune3.h"

#include "connections.h"
#include "memory_budget.h"
#include "statements.h"
#include "table_builder.h"
#include "text.h"
#include "warm_memory.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

using namespace kest;

constexpr char kOutOfMemory[] = "out of memory";
constexpr char kBadHandle[] = "unknown or closed database handle";

// Counts of the last query on each thread, so that threads do not read each other's.
thread_local int32_t last_query_rows = 0;
thread_local int64_t last_exec_rows = 0;

// Rows that each exec run on a connection counts before its first: 0, or KESTRUNE_TEST_EXEC_ROWS,
// with which tests reach the counts' limits without running billions of rows. Read when the
// connection is opened, never on the way of a run; what is not a number of rows counts none.
int64_t rows_counted_before_runs()
{
    const char *set = std::getenv("KESTRUNE_TEST_EXEC_ROWS");
    if (set == nullptr)
        return 0;
    char *end = nullptr;
    errno = 0;
    const long long rows = std::strtoll(set, &end, 10);
    return errno == 0 && end != set && *end == '\0' && rows > 0 ? rows : 0;
}

std::atomic<bool> engine_compiles_utf16{false};

// What kest_memory_alloc handed out, with each size, so that kest_memory_free releases exactly
// that and leaves alone what it never handed out. Never destroyed: a caller may free at exit.
struct CallerMemory {
    std::mutex mutex;
    std::unordered_map<void *, std::size_t> sizes;
};
CallerMemory &caller_memory()
{
    static CallerMemory *const record = new CallerMemory;
    return *record;
}

int16_t low16(int code)
{
    return static_cast<int16_t>(code);
}

void hand_out_error(char **errmsg, const std::string &text)
{
    if (errmsg != nullptr)
        *errmsg = text.empty() ? nullptr : text::dup_for_caller(text);
}

// The hook runs on every connection, with the caller's callback or without: it also holds the
// engine's memory to the budget. Steps between two calls without a callback of the caller:
constexpr int32_t OwnSteps = 1000;
// Engine steps between two looks at the budget (a look costs some tens of nanoseconds).
constexpr int64_t StepsPerBudgetLook = 1000;

// SQLite calls this from inside a running statement; an exception must not unwind through it.
int progress_hook(void *arg) noexcept
{
    try {
        auto &connection = *static_cast<Connection *>(arg);
        if (connection.interrupted.load(std::memory_order_relaxed))
            return 1;
        connection.steps_unchecked += connection.steps.load(std::memory_order_relaxed);
        if (connection.steps_unchecked >= StepsPerBudgetLook) {
            connection.steps_unchecked = 0;
            if (!budget::engine_fits()) {
                connection.over_budget = true;
                return 1;
            }
        }
        const kest_progress_callback callback = connection.progress.load();
        return callback != nullptr && callback() != 0 ? 1 : 0;
    } catch (...) {
        return 1;
    }
}

// A database that another connection has locked is waited for this long, in naps short enough
// that the caller's progress callback keeps its window answering and a stop is seen at once.
constexpr auto BusyWait = std::chrono::seconds(5);
constexpr auto BusyNap = std::chrono::milliseconds(10);

// The engine calls this while a lock is held elsewhere, `tries` being how often it did for this
// lock; 0 ends the wait with SQLITE_BUSY. The engine's own timed wait would not see an interrupt.
int busy_hook(void *arg, int tries) noexcept
{
    try {
        auto &connection = *static_cast<Connection *>(arg);
        const auto now = std::chrono::steady_clock::now();
        if (tries == 0)
            connection.busy_since = now;
        const kest_progress_callback callback = connection.progress.load();
        if (connection.interrupted.load() || (callback != nullptr && callback() != 0)) {
            connection.busy_stopped = true;
            return 0;
        }
        if (now - connection.busy_since >= BusyWait)
            return 0;
        std::this_thread::sleep_for(BusyNap);
        return 1;
    } catch (...) {
        return 0;
    }
}

// A wait for a lock that was stopped ends as a stopped statement does: code 9, no text.
void busy_outcome(Connection &connection, RunOutcome &outcome)
{
    if (connection.busy_stopped && (outcome.code == SQLITE_BUSY || outcome.code == SQLITE_INTERRUPT))
        outcome = RunOutcome{SQLITE_INTERRUPT, {}};
}

void set_progress(Connection &connection, int32_t steps, kest_progress_callback callback)
{
    connection.progress.store(callback);
    connection.steps.store(steps);
    sqlite3_progress_handler(connection.db.get(), steps, progress_hook, &connection);
}

// For the length of a run the engine may build no text or blob longer than the budget allows;
// the connection's own bound comes back when the run ends, however it ends.
struct EngineBound {
    EngineBound(Connection &c, bool l) : connection(c), lowered(l) {}
    EngineBound(const EngineBound &) = delete;
    EngineBound &operator=(const EngineBound &) = delete;
    ~EngineBound()
    {
        if (lowered)
            sqlite3_limit(connection.db.get(), SQLITE_LIMIT_LENGTH, connection.length_limit);
    }
    Connection &connection;
    bool lowered;
};

EngineBound bound_engine(Connection &connection)
{
    connection.over_budget = false;
    connection.busy_stopped = false;
    const int64_t longest = budget::longest_value();
    if (longest >= connection.length_limit)
        return EngineBound{connection, false};
    sqlite3_limit(connection.db.get(), SQLITE_LIMIT_LENGTH, static_cast<int>(longest));
    return EngineBound{connection, true};
}

// After a run: the engine's work that the budget stopped is out of memory, as a result that
// passes it is. A value past the lowered bound is one the budget stopped.
void budget_outcome(const EngineBound &bound, RunOutcome &outcome)
{
    sqlite3 *db = bound.connection.db.get();
    if ((outcome.code == SQLITE_INTERRUPT && bound.connection.over_budget) ||
        (outcome.code == SQLITE_TOOBIG && bound.lowered && (sqlite3_errcode(db) & 0xFF) == SQLITE_TOOBIG)) {
        outcome.code = SQLITE_NOMEM;
        outcome.error = kOutOfMemory;
    }
}

BetweenStatements between(Connection &connection)
{
    return BetweenStatements{progress_hook, &connection};
}

// The UTF-16 SQL, converted as the current Unicode setting says when the run begins.
SqlSource utf16_source(const char16_t *sql)
{
    return SqlSource{nullptr, sql, engine_compiles_utf16.load()};
}

int16_t get_table(kest_table **result, int32_t handle, SqlSource sql, char **errmsg, int16_t *status)
{
    if (result != nullptr)
        *result = nullptr;
    if (errmsg != nullptr)
        *errmsg = nullptr;
    last_query_rows = 0;
    int code = SQLITE_OK;
    std::string error;
    try {
        const auto connection = find_connection(handle);
        if (result == nullptr || connection == nullptr) {
            code = SQLITE_MISUSE;
            error = connection == nullptr ? kBadHandle : "no place for the result table";
        } else {
            TableBuilder builder;
            const EngineBound bound = bound_engine(*connection);
            connection->interrupted.store(false);
            RunOutcome outcome = run_statements(connection->db.get(), sql, builder, between(*connection));
            budget_outcome(bound, outcome);
            busy_outcome(*connection, outcome);
            code = outcome.code;
            error = outcome.error;
            // An interrupted query returns no data; any other failure keeps the rows so far.
            if (code != SQLITE_INTERRUPT) {
                const int32_t rows = builder.data_rows();
                *result = builder.release();
                last_query_rows = rows;
            }
        }
    } catch (const std::bad_alloc &) {
        code = SQLITE_NOMEM;
        error = kOutOfMemory;
    } catch (...) {
        code = SQLITE_INTERNAL;
        error = "internal error";
    }
    if (code == SQLITE_NOMEM) {
        if (result != nullptr && *result != nullptr) {
            free_table(*result);
            *result = nullptr;
        }
        last_query_rows = 0;
    }
    try {
        hand_out_error(errmsg, error);
    } catch (...) {
    }
    if (status != nullptr)
        *status = low16(code);
    return low16(code);
}

// Hands every row to the caller's row callback.
class ExecSink final : public RowSink {
public:
    ExecSink(kest_row_callback callback, void *user_arg, int64_t rows_before)
        : callback_(callback), user_arg_(user_arg), row_number_(rows_before)
    {
    }

    void begin_statement(sqlite3_stmt *stmt, int columns) override
    {
        const auto n = static_cast<std::size_t>(columns);
        names_.clear();
        for (int c = 0; c < columns; ++c)
            names_.push_back(column_name(stmt, c));
        name_ptrs_.resize(n);
        name_lengths_.resize(n);
        for (std::size_t c = 0; c < n; ++c) {
            name_ptrs_[c] = names_[c].c_str();
            name_lengths_[c] = length32(names_[c]);
        }
        name_types_.assign(n, KEST_TEXT);
        value_ptrs_.resize(n);
        value_lengths_.resize(n);
        value_types_.resize(n);
        if (scratch_.size() < n)
            scratch_.resize(n);
    }

    int row(sqlite3_stmt *stmt, int columns) override
    {
        // A row counts once its cells are made: one whose text the budget refuses is not handed out.
        for (int c = 0; callback_ != nullptr && c < columns; ++c) {
            const Cell cell = cell_text(stmt, c, scratch_[c]);
            if (cell.text.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
                return stop(SQLITE_TOOBIG, "string or blob too big");
            value_ptrs_[c] = cell.text.data();
            value_lengths_[c] = static_cast<int32_t>(cell.text.size());
            value_types_[c] = cell.type;
        }
        // The count stops at the largest 64-bit number rather than wrap.
        row_number_ += row_number_ < std::numeric_limits<int64_t>::max() ? 1 : 0;
        last_exec_rows = row_number_;
        if (callback_ == nullptr)
            return SQLITE_OK;
        const kest_texts values{columns, value_ptrs_.data(), value_lengths_.data(), value_types_.data()};
        const kest_texts names{columns, name_ptrs_.data(), name_lengths_.data(), name_types_.data()};
        // A 32-bit number holds the first 2,147,483,647 rows; the rows after them get that number.
        const auto number = static_cast<int32_t>(std::min<int64_t>(row_number_, std::numeric_limits<int32_t>::max()));
        return callback_(&number, user_arg_, &values, &names) == 0 ? SQLITE_OK : SQLITE_ABORT;
    }

    // Stopping at the callback's request is not an error of the SQL: no text.
    std::string stop_text() const override { return stop_text_; }

private:
    int stop(int code, const char *why)
    {
        stop_text_ = why;
        return code;
    }

    // A name comes from the SQL text, which the engine keeps far below this.
    static int32_t length32(const std::string &s)
    {
        if (s.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
            throw std::length_error("column name too long");
        return static_cast<int32_t>(s.size());
    }

    kest_row_callback callback_;
    void *user_arg_;
    int64_t row_number_;
    std::string stop_text_;
    std::vector<std::string> names_;
    std::vector<const char *> name_ptrs_;
    std::vector<int32_t> name_lengths_;
    std::vector<unsigned char> name_types_;
    std::vector<const char *> value_ptrs_;
    std::vector<int32_t> value_lengths_;
    std::vector<unsigned char> value_types_;
    std::vector<CountedText> scratch_;
};

int16_t exec(int32_t handle, SqlSource sql, kest_row_callback callback, void *user_arg, char **errmsg)
{
    if (errmsg != nullptr)
        *errmsg = nullptr;
    last_exec_rows = 0;
    int code = SQLITE_OK;
    std::string error;
    try {
        const auto connection = find_connection(handle);
        if (connection == nullptr) {
            code = SQLITE_MISUSE;
            error = kBadHandle;
        } else {
            ExecSink sink(callback, user_arg, connection->rows_before_exec);
            const EngineBound bound = bound_engine(*connection);
            connection->interrupted.store(false);
            RunOutcome outcome = run_statements(connection->db.get(), sql, sink, between(*connection));
            budget_outcome(bound, outcome);
            busy_outcome(*connection, outcome);
            code = outcome.code;
            error = outcome.error;
        }
    } catch (const std::bad_alloc &) {
        code = SQLITE_NOMEM;
        error = kOutOfMemory;
    } catch (...) {
        code = SQLITE_INTERNAL;
        error = "internal error";
    }
    try {
        hand_out_error(errmsg, error);
    } catch (...) {
    }
    return low16(code);
}

int16_t misuse(char **errmsg, const char *why)
{
    if (errmsg != nullptr)
        *errmsg = text::dup_for_caller(why);
    return SQLITE_MISUSE;
}

} // namespace

extern "C" {

KEST_API int16_t KEST_CALL kest_sqlite3_open_v2(const char *path, int32_t *handle, int32_t flags, const char *vfs)
{
    if (handle == nullptr)
        return SQLITE_MISUSE;
    *handle = 0;
    if (path == nullptr)
        return SQLITE_MISUSE;
    try {
        // One connection serves one thread at a time, so the engine's lock around every call on
        // it would only cost time (a quarter of a large query's), unless the caller asks for it.
        if ((flags & SQLITE_OPEN_FULLMUTEX) == 0)
            flags |= SQLITE_OPEN_NOMUTEX;
        sqlite3 *raw = nullptr;
        const int rc = sqlite3_open_v2(path, &raw, flags, vfs);
        DbPtr db(raw); // owned before the result is looked at, so a failed open is closed too
        if (rc != SQLITE_OK)
            return low16(rc & 0xFF);
        if (!db)
            return SQLITE_NOMEM;
        // A database file must not run unsafe functions through its own schema, nor load code:
        // a connection that cannot promise both is not handed out.
        int trusted = 1, extensions = 1;
        if (sqlite3_db_config(db.get(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &trusted) != SQLITE_OK || trusted != 0 ||
            sqlite3_db_config(db.get(), SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, &extensions) != SQLITE_OK ||
            extensions != 0)
            return SQLITE_ERROR;
        auto connection = std::make_shared<Connection>(std::move(db));
        connection->length_limit = sqlite3_limit(connection->db.get(), SQLITE_LIMIT_LENGTH, -1);
        connection->rows_before_exec = rows_counted_before_runs();
        set_progress(*connection, OwnSteps, nullptr);
        sqlite3_busy_handler(connection->db.get(), busy_hook, connection.get());
        *handle = register_connection(std::move(connection));
        return SQLITE_OK;
    } catch (...) {
        return SQLITE_NOMEM;
    }
}

KEST_API int16_t KEST_CALL kest_sqlite3_close(int32_t *handle)
{
    if (handle == nullptr)
        return SQLITE_MISUSE;
    if (*handle == 0)
        return SQLITE_OK;
    try {
        auto connection = unregister_connection(*handle);
        if (connection == nullptr)
            return SQLITE_MISUSE;
        *handle = 0;
        return SQLITE_OK; // the last reference closes the engine's connection
    } catch (...) {
        return SQLITE_MISUSE;
    }
}

KEST_API int16_t KEST_CALL kest_sqlite_progress_handler(int32_t handle, int32_t steps, kest_progress_callback callback)
{
    try {
        const auto connection = find_connection(handle);
        if (connection == nullptr)
            return SQLITE_MISUSE;
        if (callback == nullptr || steps < 1)
            set_progress(*connection, OwnSteps, nullptr);
        else
            set_progress(*connection, steps, callback);
        return SQLITE_OK;
    } catch (...) {
        return SQLITE_MISUSE;
    }
}

KEST_API int16_t KEST_CALL kest_sqlite3_interrupt(int32_t handle)
{
    try {
        // The table's reference keeps the engine's connection open while it is interrupted,
        // whatever another thread closes meanwhile.
        const auto connection = find_connection(handle);
        if (connection == nullptr)
            return SQLITE_MISUSE;
        connection->interrupted.store(true);
        sqlite3_interrupt(connection->db.get());
        return SQLITE_OK;
    } catch (...) {
        return SQLITE_MISUSE;
    }
}

KEST_API int16_t KEST_CALL kest_sqlite_get_table(kest_table **result, int32_t handle, const char *sql, char **errmsg,
                                                 int16_t *status)
{
    if (sql == nullptr) {
        if (result != nullptr)
            *result = nullptr;
        last_query_rows = 0;
        if (status != nullptr)
            *status = SQLITE_MISUSE;
        return misuse(errmsg, "no SQL text");
    }
    return get_table(result, handle, SqlSource{sql, nullptr}, errmsg, status);
}

KEST_API int16_t KEST_CALL kest_sqlite_get_table_unicode(kest_table **result, int32_t handle, const char16_t *sql,
                                                         char **errmsg, int16_t *status)
{
    if (sql == nullptr)
        return kest_sqlite_get_table(result, handle, nullptr, errmsg, status);
    return get_table(result, handle, utf16_source(sql), errmsg, status);
}

KEST_API int32_t KEST_CALL kest_sqlite_query_rowcount(void)
{
    return last_query_rows;
}

KEST_API int16_t KEST_CALL kest_sqlite_exec(int32_t handle, const char *sql, kest_row_callback callback, void *user_arg,
                                            char **errmsg)
{
    if (sql == nullptr) {
        last_exec_rows = 0;
        return misuse(errmsg, "no SQL text");
    }
    return exec(handle, SqlSource{sql, nullptr}, callback, user_arg, errmsg);
}

KEST_API int16_t KEST_CALL kest_sqlite_exec_unicode(int32_t handle, const char16_t *sql, kest_row_callback callback,
                                                    void *user_arg, char **errmsg)
{
    if (sql == nullptr)
        return kest_sqlite_exec(handle, nullptr, callback, user_arg, errmsg);
    return exec(handle, utf16_source(sql), callback, user_arg, errmsg);
}

KEST_API int32_t KEST_CALL kest_sqlite_exec_rowcount(void)
{
    return static_cast<int32_t>(std::min<int64_t>(last_exec_rows, std::numeric_limits<int32_t>::max()));
}

KEST_API int64_t KEST_CALL kest_sqlite_exec_rowcount64(void)
{
    return last_exec_rows;
}

KEST_API int32_t KEST_CALL kest_SetUnicodeConversion(int32_t on)
{
    return engine_compiles_utf16.exchange(on != 0) ? 1 : 0;
}

KEST_API char *KEST_CALL kest_sqlite3_libversion(void)
{
    return text::dup_for_caller(sqlite3_libversion());
}

KEST_API int32_t KEST_CALL kest_sqlite3_libversion_number(void)
{
    return sqlite3_libversion_number();
}

KEST_API char *KEST_CALL kest_sqlite3_errstr(int32_t code)
{
    return text::dup_for_caller(sqlite3_errstr(code));
}

KEST_API int32_t KEST_CALL kest_sqlite3_keyword_count(void)
{
    return sqlite3_keyword_count();
}

KEST_API char *KEST_CALL kest_sqlite3_keyword_name(int32_t index)
{
    const char *name = nullptr;
    int length = 0;
    if (sqlite3_keyword_name(index, &name, &length) != SQLITE_OK)
        return nullptr;
    return text::dup_for_caller(std::string_view(name, static_cast<std::size_t>(length)));
}

KEST_API int16_t KEST_CALL kest_KestLibVersion(void)
{
    return KESTRUNE3_VERSION;
}

KEST_API char *KEST_CALL kest_KestLibTimeStamp(void)
{
    // The compiler fills these in, honouring SOURCE_DATE_EPOCH for reproducible builds.
    return text::dup_for_caller(__DATE__ " " __TIME__);
}

KEST_API int16_t KEST_CALL kest_MSVCVersion(void)
{
#if defined(_MSC_VER)
    return low16(_MSC_VER);
#elif defined(__clang__)
    return low16(__clang_major__ * 100 + __clang_minor__);
#elif defined(__GNUC__)
    return low16(__GNUC__ * 100 + __GNUC_MINOR__);
#else
    return 0;
#endif
}

KEST_API int64_t KEST_CALL kest_memory_budget(void)
{
    return budget::bytes();
}

KEST_API int32_t KEST_CALL kest_memory_take(int64_t bytes)
{
    return bytes >= 0 && budget::promise(bytes) ? 1 : 0;
}

KEST_API void KEST_CALL kest_memory_give(int64_t bytes)
{
    if (bytes > 0)
        budget::unpromise(bytes);
}

KEST_API void *KEST_CALL kest_memory_alloc(int64_t bytes)
{
    if (bytes <= 0 || static_cast<uint64_t>(bytes) > std::numeric_limits<std::size_t>::max() / 2)
        return nullptr;
    void *memory = nullptr;
    try {
        memory = warm::allocate(static_cast<std::size_t>(bytes));
        CallerMemory &record = caller_memory();
        const std::lock_guard lock(record.mutex);
        record.sizes.emplace(memory, static_cast<std::size_t>(bytes));
        return memory;
    } catch (...) {
        warm::release(memory, static_cast<std::size_t>(bytes));
        return nullptr;
    }
}

KEST_API void KEST_CALL kest_memory_free(void *memory, int64_t /*bytes: the library's record holds the size*/)
{
    if (memory == nullptr)
        return;
    std::size_t size = 0;
    {
        CallerMemory &record = caller_memory();
        const std::lock_guard lock(record.mutex);
        const auto it = record.sizes.find(memory);
        if (it == record.sizes.end())
            return; // not handed out by kest_memory_alloc, or already freed
        size = it->second;
        record.sizes.erase(it);
    }
    warm::release(memory, size);
}

KEST_API void KEST_CALL kest_free_text(char *text)
{
    std::free(text);
}

KEST_API void KEST_CALL kest_free_table(kest_table *table)
{
    free_table(table);
}

} // extern "C"
