// A host with SQLite of its own loads the library with dlopen: its engine stays as it set it;
// under KESTRUNE_MEMORY_LIMIT=48M small queries run, big results and engine work get code 7.
// `host_test <library> garbage`: a limit that is not a size is reported once and ignored, and the
// bound a run with little room sets on the engine's values ends with that run.
#include "kestrune3.h"

#include <dlfcn.h>
#include <sqlite3.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#define CHECK(c) do { if (!(c)) { fprintf(stderr, "host_test line %d: %s\n", __LINE__, #c); return 1; } } while (0)
#define LOAD(name) __typeof__(&name) p_##name = (__typeof__(&name))dlsym(lib, #name); CHECK(p_##name != NULL)
#define ROWS(n, rest) "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " #n ") " rest

int main(int argc, char **argv)
{
    CHECK(argc == 3);
    FILE *log = tmpfile(); // standard error, as the library writes it
    const int garbage = strcmp(argv[2], "garbage") == 0;
    CHECK(log != NULL && (!garbage || dup2(fileno(log), 2) == 2));
    void *lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    CHECK(lib != NULL);
    LOAD(kest_sqlite3_open_v2); LOAD(kest_sqlite3_close); LOAD(kest_sqlite_get_table); LOAD(kest_sqlite_exec);
    LOAD(kest_free_table); LOAD(kest_memory_budget); LOAD(kest_memory_take); LOAD(kest_memory_give);
    CHECK(sqlite3_config(SQLITE_CONFIG_MULTITHREAD) == SQLITE_OK); // loading initialised nothing
    sqlite3_hard_heap_limit64(3000000000), sqlite3_soft_heap_limit64(2000000000);
    int32_t db = 0;
    kest_table *t = NULL;
    CHECK(p_kest_sqlite3_open_v2(":memory:", &db, 6, NULL) == KEST_OK);
    for (int i = 0; i < 3; ++i) { // each time the room is measured again
        CHECK(p_kest_sqlite_get_table(&t, db, "SELECT 1", NULL, NULL) == KEST_OK && strcmp(KEST_CELL(t, 0, 1), "1") == 0);
        p_kest_free_table(t);
        CHECK(p_kest_memory_take(20 << 20) == 1);
        p_kest_memory_give(20 << 20);
    }
    if (garbage) {
        char line[512];
        int reports = 0;
        rewind(log); // the report, once
        while (fgets(line, sizeof line, log) != NULL)
            reports += strstr(line, "KESTRUNE_MEMORY_LIMIT") != NULL && strstr(line, "ignored") != NULL;
        CHECK(reports == 1 && p_kest_memory_budget() > (64 << 20));
        // A run with little room left bounds the values the engine makes; the next run, with the
        // room back, is not held to that bound.
        const char *sql = "SELECT length(zeroblob(500000000))";
        const int64_t budget = p_kest_memory_budget(), spare = budget - (256 << 20);
        if (budget == INT64_MAX || spare < 3000000000LL) { // no limit known, or too little room
            printf("no bound for the engine, or no room to lift it: not checked\n");
        } else {
            CHECK(p_kest_memory_take(spare) == 1);
            CHECK(p_kest_sqlite_get_table(&t, db, sql, NULL, NULL) == KEST_NOMEM && !t);
            p_kest_memory_give(spare);
            CHECK(p_kest_sqlite_get_table(&t, db, sql, NULL, NULL) == KEST_OK && strcmp(KEST_CELL(t, 0, 1), "500000000") == 0);
            p_kest_free_table(t);
        }
    } else {
        CHECK(p_kest_sqlite_get_table(&t, db, ROWS(200000, "SELECT printf('%.1000c', i) FROM n"), NULL, NULL) == KEST_NOMEM && !t);
        const char *work[] = {ROWS(200000, "SELECT printf('%.1000c', i) FROM n ORDER BY 1"),
                              "CREATE TEMP TABLE t AS " ROWS(200000, "SELECT printf('%.1000c', i) FROM n"),
                              "SELECT randomblob(40000000)"};
        CHECK(p_kest_sqlite_exec(db, "PRAGMA temp_store = MEMORY", NULL, NULL, NULL) == KEST_OK);
        for (int i = 0; i < 3; ++i)
            CHECK(p_kest_sqlite_exec(db, work[i], NULL, NULL, NULL) == KEST_NOMEM);
    }
    CHECK(p_kest_sqlite3_close(&db) == KEST_OK);
    CHECK(sqlite3_hard_heap_limit64(-1) == 3000000000 && sqlite3_soft_heap_limit64(-1) == 2000000000);
    return 0;
}
