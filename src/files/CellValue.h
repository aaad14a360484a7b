#pragma once
// What a result cell is, as the engine stored it: the text the library gives for it (what the
// list shows, and what CSV, the export and Ctrl+C write) with its storage class, and what that
// text cannot say exactly: a real's last digits and a BLOB's bytes.

#include <cstdint>
#include <string>
#include <string_view>

namespace kest {

enum class CellType : unsigned char { Null, Integer, Real, Text, Blob };

struct CellValue {
    std::string_view text; // "" for NULL; a real's 15 significant digits; a BLOB's bytes or hex form
    CellType type = CellType::Text;
    // A BLOB whose text is its hex form X'…': its bytes are not valid UTF-8 or hold a zero byte.
    bool hexForm = false;
    double real = 0; // a Real's exact value

    // A BLOB's bytes, whichever form its text has.
    std::string blobBytes() const;
    // The number as the engine compares it: an Integer's or a Real's value.
    bool isNumber() const { return type == CellType::Integer || type == CellType::Real; }
};

// A cell's type and form in one byte, for the stores that keep it beside the text (a Real's
// value beside it too: it is not in the byte).
unsigned char KindByte(const CellValue &value) noexcept;
CellValue FromKindByte(std::string_view text, unsigned char kind, double real = 0) noexcept;

} // namespace kest
