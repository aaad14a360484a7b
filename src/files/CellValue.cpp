#include "CellValue.h"

namespace kest {
namespace {

int hexDigit(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

} // namespace

namespace {
constexpr unsigned char HexFormBit = 0x10;
} // namespace

unsigned char KindByte(const CellValue &value) noexcept
{
    return static_cast<unsigned char>(static_cast<unsigned char>(value.type) | (value.hexForm ? HexFormBit : 0));
}

CellValue FromKindByte(std::string_view text, unsigned char kind, double real) noexcept
{
    return {text, static_cast<CellType>(kind & ~HexFormBit), (kind & HexFormBit) != 0, real};
}

std::string CellValue::blobBytes() const
{
    if (!hexForm)
        return std::string(text);
    // X'…': two digits a byte between the quotes.
    std::string bytes;
    const std::string_view digits = text.size() >= 3 ? text.substr(2, text.size() - 3) : std::string_view();
    bytes.reserve(digits.size() / 2);
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes += static_cast<char>(hexDigit(digits[i]) << 4 | hexDigit(digits[i + 1]));
    return bytes;
}

} // namespace kest
