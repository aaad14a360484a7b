#include <kestrune3.h>
#include <stdio.h>

int main(void)
{
    int32_t db = 0;
    kest_table *t = NULL;
    char *err = NULL;
    if (kest_sqlite3_open_v2(":memory:", &db, KEST_OPEN_READWRITE | KEST_OPEN_CREATE, NULL) != KEST_OK)
        return 1;
    kest_sqlite_get_table(&t, db, "SELECT 'Hello' AS greeting, 6 * 7 AS answer", &err, NULL);
    for (int r = 0; t != NULL && r < t->row_count; ++r)
        printf("%s|%s\n", KEST_CELL(t, 0, r), KEST_CELL(t, 1, r));
    kest_free_table(t);
    kest_free_text(err);
    kest_sqlite3_close(&db);
    return 0;
}
