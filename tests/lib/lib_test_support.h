#pragma once
// Helpers shared by the library's tests: a temporary folder and owners for what the library hands out.

#include "kestrune3.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kest::test {

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kest-lib-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string file(const std::string &name) const { return (path_ / name).string(); }
    const std::filesystem::path &path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct TextFree {
    void operator()(char *t) const { kest_free_text(t); }
};
using Text = std::unique_ptr<char, TextFree>;

struct TableFree {
    void operator()(kest_table *t) const { kest_free_table(t); }
};
using Table = std::unique_ptr<kest_table, TableFree>;

// An open connection that is closed at the end of the test.
class Db {
public:
    explicit Db(const std::string &path = ":memory:")
    {
        rc_ = kest_sqlite3_open_v2(path.c_str(), &handle_, KEST_OPEN_READWRITE | KEST_OPEN_CREATE, nullptr);
    }
    ~Db() { kest_sqlite3_close(&handle_); }
    Db(const Db &) = delete;
    Db &operator=(const Db &) = delete;
    int32_t handle() const { return handle_; }
    int16_t open_status() const { return rc_; }

private:
    int32_t handle_ = 0;
    int16_t rc_ = 0;
};

// What one table call gave back.
struct TableResult {
    Table table;
    std::string error;
    bool has_error = false;
    int16_t status = -1;
    int16_t returned = -1;
    int32_t rows = -1;

    std::string cell(int column, int row) const { return KEST_CELL(table.get(), column, row); }
};

inline TableResult get_table(int32_t handle, const std::string &sql)
{
    TableResult r;
    kest_table *t = nullptr;
    char *err = nullptr;
    r.returned = kest_sqlite_get_table(&t, handle, sql.c_str(), &err, &r.status);
    r.rows = kest_sqlite_query_rowcount();
    r.table.reset(t);
    Text owned(err);
    r.has_error = err != nullptr;
    if (err)
        r.error = err;
    return r;
}

// Every row handed to a row callback, with its number and names.
struct ExecRow {
    int32_t number;
    std::vector<std::string> values;
    std::vector<std::string> names;
};

struct ExecResult {
    std::vector<ExecRow> rows;
    int16_t status = -1;
    std::string error;
    bool has_error = false;
    int32_t count = -1;
};

struct ExecCollector {
    std::vector<ExecRow> rows;
    int32_t stop_after = -1; // ask to stop on this row number
};

inline int16_t collect_row(const int32_t *number, void *arg, const kest_texts *values, const kest_texts *names)
{
    auto *c = static_cast<ExecCollector *>(arg);
    ExecRow row{*number, {}, {}};
    // Each text is kept by its own zero, and its given length must agree with it.
    for (int i = 0; i < values->count; ++i) {
        row.values.emplace_back(values->texts[i]);
        EXPECT_EQ(values->lengths[i], static_cast<int32_t>(row.values.back().size())) << "value " << i;
    }
    for (int i = 0; i < names->count; ++i) {
        row.names.emplace_back(names->texts[i]);
        EXPECT_EQ(names->lengths[i], static_cast<int32_t>(row.names.back().size())) << "name " << i;
    }
    c->rows.push_back(std::move(row));
    return *number == c->stop_after ? -1 : 0;
}

inline ExecResult exec(int32_t handle, const std::string &sql, int32_t stop_after = -1)
{
    ExecCollector collector;
    collector.stop_after = stop_after;
    char *err = nullptr;
    ExecResult r;
    r.status = kest_sqlite_exec(handle, sql.c_str(), collect_row, &collector, &err);
    r.count = kest_sqlite_exec_rowcount();
    Text owned(err);
    r.has_error = err != nullptr;
    if (err)
        r.error = err;
    r.rows = std::move(collector.rows);
    return r;
}

} // namespace kest::test
