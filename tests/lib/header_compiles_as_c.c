/* The header is a C contract: this file fails to build if it stops being valid C. */
#include "kestrune3.h"

int kest_header_is_c(void)
{
    kest_table *table = 0;
    int32_t handle = 0;
    (void)table;
    return kest_sqlite3_close(&handle) + KESTRUNE3_VERSION;
}
