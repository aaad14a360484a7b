/* The engine's floor for a query: open the file, prepare the statement, step every row and read
** every cell's text, over the same engine the library uses; nothing is kept or shown. The window
** benchmark times it from a small shell process, as it times the shell.
**
** Usage: query_floor database sql */
#include <sqlite3.h>

#include <stdio.h>

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: query_floor database sql\n");
        return 2;
    }
    sqlite3 *db = NULL;
    sqlite3_stmt *stmt = NULL;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, NULL) != SQLITE_OK ||
        sqlite3_prepare_v2(db, argv[2], -1, &stmt, NULL) != SQLITE_OK) {
        fprintf(stderr, "query_floor: %s\n", sqlite3_errmsg(db));
        return 1;
    }
    const int columns = sqlite3_column_count(stmt);
    unsigned long long bytes = 0, rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            sqlite3_column_text(stmt, c);
            bytes += (unsigned long long)sqlite3_column_bytes(stmt, c);
        }
        ++rows;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    printf("%llu rows, %llu bytes of text\n", rows, bytes);
    return 0;
}
