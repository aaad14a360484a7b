/* The header is a C contract: this file fails to build if it stops being valid C. */
#include "kestrune3.h"

int kest_header_is_c(void)
{
    int32_t handle = 0;
    return kest_sqlite3_close(&handle) + KESTRUNE3_VERSION;
}
