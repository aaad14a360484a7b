// The table path at every size, against the engine's own sqlite3_get_table over the same engine
// and file in the same run: results of 1 to 1,000,000 rows, one narrow column and ten wide ones.
// Each figure is the median of rounds that alternate the two, a round being as many calls as
// make about a million rows (at least three calls, at most 20,000).
//
// Usage: bench_table_sizes [rounds (5)]
#include "kestrune3.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F> double seconds(int calls, F &&call)
{
    const auto from = Clock::now();
    for (int i = 0; i < calls; ++i)
        call();
    return std::chrono::duration<double>(Clock::now() - from).count();
}

void fail(const char *what)
{
    std::fprintf(stderr, "bench_table_sizes: %s\n", what);
    std::exit(1);
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string path = "/tmp/bench_table_sizes.db";
    std::remove(path.c_str());
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        fail("cannot open the database");
    // Ten columns of the kinds results hold: integers, reals, short and longer texts.
    if (sqlite3_exec(db,
                     "CREATE TABLE t(n INTEGER, a TEXT, b REAL, c TEXT, d INTEGER, e TEXT, f TEXT, g REAL, h TEXT, i TEXT);"
                     "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 1000000) "
                     "INSERT INTO t SELECT n, 'name ' || n, n * 1.25, printf('%.30c', 'x'), n % 7, 'Title of album ' || n,"
                     "'by artist ' || (n % 26), n / 3.0, hex(n), 'z' FROM r;",
                     nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(sqlite3_errmsg(db));
    int32_t handle = 0;
    if (kest_sqlite3_open_v2(path.c_str(), &handle, KEST_OPEN_READWRITE, nullptr) != KEST_OK)
        fail("the library cannot open the database");

    std::printf("%9s %6s %7s %12s %12s %7s\n", "rows", "width", "calls", "library s", "engine s", "ratio");
    for (const char *columns : {"n", "*"})
        for (const int rows : {1, 10, 1000, 100000, 1000000}) {
            const std::string sql = "SELECT " + std::string(columns) + " FROM t LIMIT " + std::to_string(rows);
            const int calls = std::clamp(1000000 / rows, 3, 20000);
            std::vector<double> library, engine;
            for (int round = 0; round < rounds; ++round) {
                library.push_back(seconds(calls, [&] {
                    kest_table *table = nullptr;
                    if (kest_sqlite_get_table(&table, handle, sql.c_str(), nullptr, nullptr) != KEST_OK)
                        fail("the library's query failed");
                    kest_free_table(table);
                }));
                engine.push_back(seconds(calls, [&] {
                    char **result = nullptr;
                    int r = 0, c = 0;
                    if (sqlite3_get_table(db, sql.c_str(), &result, &r, &c, nullptr) != SQLITE_OK)
                        fail("the engine's query failed");
                    sqlite3_free_table(result);
                }));
            }
            const double l = median(library), e = median(engine);
            std::printf("%9d %6s %7d %12.4f %12.4f %7.2f\n", rows, columns[0] == '*' ? "10" : "1", calls, l, e, l / e);
        }
    kest_sqlite3_close(&handle);
    sqlite3_close(db);
    std::remove(path.c_str());
    return 0;
}
