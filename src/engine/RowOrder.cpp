#include "RowOrder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace kest {

namespace {

enum class Rank : unsigned char { Null, Number, Text, Blob };

// What the sort compares of a row's value, made once a row: a million rows are compared some
// twenty million times, and a comparison must not parse a number or chase a cell it can decide
// without.
struct Key {
    union {
        int64_t integer;
        double real;
        uint64_t prefix; // a text's or a BLOB's first 8 bytes, zeros after its end, the first highest
    };
    const unsigned char *bytes;
    uint32_t size;
    int32_t row;
    Rank rank;
    bool isInteger;
    bool hex; // bytes are a BLOB's hex digits, two a byte; size counts bytes
};

int hexDigit(unsigned char c)
{
    return c <= '9' ? c - '0' : c - 'A' + 10; // the library writes upper-case digits
}

unsigned char byteAt(const Key &key, std::size_t i)
{
    return key.hex ? static_cast<unsigned char>(hexDigit(key.bytes[2 * i]) << 4 | hexDigit(key.bytes[2 * i + 1]))
                   : key.bytes[i];
}



// An integer against a real as the engine compares them: exactly, the integer never rounded to
// a double (2^53 + 1 is more than the real 2^53).
int compareIntegerReal(int64_t integer, double real)
{
    if (real < -9223372036854775808.0)
        return 1;
    if (real >= 9223372036854775808.0)
        return -1;
    const auto whole = static_cast<int64_t>(real);
    if (integer != whole)
        return integer < whole ? -1 : 1;
    const auto same = static_cast<double>(whole); // exact: the real's whole part is a double
    return same < real ? -1 : same > real ? 1 : 0;
}

int compare(const Key &a, const Key &b)
{
    if (a.rank != b.rank)
        return a.rank < b.rank ? -1 : 1;
    switch (a.rank) {
    case Rank::Null:
        return 0;
    case Rank::Number:
        if (a.isInteger && b.isInteger)
            return a.integer < b.integer ? -1 : a.integer > b.integer ? 1 : 0;
        if (a.isInteger)
            return compareIntegerReal(a.integer, b.real);
        if (b.isInteger)
            return -compareIntegerReal(b.integer, a.real);
        return a.real < b.real ? -1 : a.real > b.real ? 1 : 0;
    case Rank::Text:
    case Rank::Blob:
        break;
    }
    // Byte order, as memcmp: the prefixes decide unless the first 8 bytes are the same.
    if (a.prefix != b.prefix)
        return a.prefix < b.prefix ? -1 : 1;
    const uint32_t common = std::min(a.size, b.size);
    if (common > 8 && !a.hex && !b.hex) {
        if (const int c = std::memcmp(a.bytes + 8, b.bytes + 8, common - 8))
            return c;
    } else {
        for (uint32_t i = 8; i < common; ++i)
            if (const int c = int(byteAt(a, i)) - int(byteAt(b, i)))
                return c;
    }
    return a.size < b.size ? -1 : a.size > b.size ? 1 : 0;
}

// A BLOB given in hex is compared by the bytes its digits spell, read from the digits: a copy
// of every BLOB would take as much memory again as the list's.
Key keyOf(const CellValue &value, int row)
{
    Key key{};
    key.row = row;
    switch (value.type) {
    case CellType::Null:
        key.rank = Rank::Null;
        return key;
    case CellType::Integer:
        key.rank = Rank::Number;
        key.isInteger = std::from_chars(value.text.data(), value.text.data() + value.text.size(), key.integer).ec ==
                        std::errc();
        if (!key.isInteger)
            key.real = value.real;
        return key;
    case CellType::Real:
        // The engine stores no NaN (it becomes NULL); one here must not break the order.
        key.rank = std::isnan(value.real) ? Rank::Null : Rank::Number;
        key.real = value.real;
        return key;
    case CellType::Text:
        key.rank = Rank::Text;
        break;
    case CellType::Blob:
        key.rank = Rank::Blob;
        break;
    }
    key.hex = value.type == CellType::Blob && value.hexForm && value.text.size() >= 3;
    const std::string_view bytes = key.hex ? value.text.substr(2, value.text.size() - 3) : value.text;
    key.bytes = reinterpret_cast<const unsigned char *>(bytes.data());
    key.size = static_cast<uint32_t>(key.hex ? bytes.size() / 2 : bytes.size());
    for (uint32_t i = 0; i < 8; ++i)
        key.prefix = key.prefix << 8 | (i < key.size ? byteAt(key, i) : 0);
    return key;
}

struct Cancelled {};

} // namespace

std::size_t SortBytesPerRow() noexcept
{
    return sizeof(Key) + sizeof(int);
}

std::vector<int> SortedRows(int rows, const std::function<CellValue(int)> &valueOf, bool descending,
                            const std::atomic<bool> &cancelled)
{
    std::vector<Key> keys;
    keys.reserve(static_cast<std::size_t>(std::max(0, rows)));
    for (int row = 0; row < rows; ++row) {
        if ((row & 0xFFFF) == 0 && cancelled.load(std::memory_order_relaxed))
            return {};
        keys.push_back(keyOf(valueOf(row), row));
    }
    // Equal values are ordered by row, so the result is that of a stable sort, descending too,
    // without the stable sort's buffer.
    const auto before = [descending, &cancelled](const Key &a, const Key &b) {
        if (cancelled.load(std::memory_order_relaxed))
            throw Cancelled{};
        const int c = compare(a, b);
        return c != 0 ? (descending ? c > 0 : c < 0) : a.row < b.row;
    };
    try {
        std::sort(keys.begin(), keys.end(), before);
    } catch (const Cancelled &) {
        return {};
    }
    std::vector<int> sorted(keys.size());
    std::transform(keys.begin(), keys.end(), sorted.begin(), [](const Key &key) { return key.row; });
    return sorted;
}

} // namespace kest
