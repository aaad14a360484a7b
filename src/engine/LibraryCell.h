#pragma once
// A cell as the library hands it out, in the program's terms: its text, and what the library's
// type byte says of it (a library older than 1.05 gives none: its cells are all texts).

#include "CellValue.h"

#include <kestrune3.h>

#include <cstddef>

namespace kest {

inline CellValue LibraryCell(const char *text, std::size_t length, unsigned char type) noexcept
{
    CellValue value{{text, length}};
    switch (KEST_CLASS(type)) {
    case KEST_NULL:
        value.type = CellType::Null;
        break;
    case KEST_INTEGER:
        value.type = CellType::Integer;
        break;
    case KEST_FLOAT:
        value.type = CellType::Real;
        value.real = kest_real_of(text, length);
        break;
    case KEST_BLOB:
        value.type = CellType::Blob;
        value.hexForm = (type & KEST_HEX_FORM) != 0;
        break;
    default:
        value.type = CellType::Text;
    }
    return value;
}

} // namespace kest
