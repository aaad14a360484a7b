// The header on its own is C++: it needs nothing included before it.
#include "kestrune3.h"

int kest_header_is_cpp()
{
    int32_t handle = 0;
    return kest_sqlite3_close(&handle) + KESTRUNE3_VERSION;
}
