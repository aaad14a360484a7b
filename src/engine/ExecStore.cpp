#include "ExecStore.h"

#include "LibraryCell.h"

#include <cstring>

namespace kest {
namespace {

// Lengths and counts as unsigned LEB128: seven bits a byte, low bits first.
std::size_t varintSize(uint32_t n)
{
    std::size_t size = 1;
    while (n >= 0x80) {
        n >>= 7;
        ++size;
    }
    return size;
}

unsigned char *putVarint(unsigned char *out, uint32_t n)
{
    while (n >= 0x80) {
        *out++ = static_cast<unsigned char>(n | 0x80);
        n >>= 7;
    }
    *out++ = static_cast<unsigned char>(n);
    return out;
}

uint32_t getVarint(const unsigned char *&in)
{
    uint32_t n = 0;
    for (int shift = 0;; shift += 7) {
        const unsigned char byte = *in++;
        n |= static_cast<uint32_t>(byte & 0x7F) << shift;
        if (byte < 0x80)
            return n;
    }
}

} // namespace

void ExecStore::chargeTo(MemoryBudget *budget) noexcept
{
    bytes_.chargeTo(budget);
    rows_.chargeTo(budget);
}

void ExecStore::appendRow(const char *const *texts, const int32_t *lengths, const unsigned char *types, int count)
{
    // A cell is its length, its kind, its text and, for a real, its exact value.
    const auto cellAt = [&](int c) {
        return LibraryCell(texts[c], static_cast<std::size_t>(lengths[c]), types != nullptr ? types[c] : KEST_TEXT);
    };
    std::size_t size = varintSize(static_cast<uint32_t>(count));
    for (int c = 0; c < count; ++c) {
        const CellValue cell = cellAt(c);
        size += varintSize(static_cast<uint32_t>(lengths[c])) + 1 + cell.text.size() +
                (cell.type == CellType::Real ? sizeof cell.real : 0);
    }
    // Everything that can fail comes before the row is written, so a refused row leaves no trace.
    unsigned char *const row = bytes_.allocate(size);
    rows_.push_back(row);
    unsigned char *out = putVarint(row, static_cast<uint32_t>(count));
    for (int c = 0; c < count; ++c) {
        const CellValue cell = cellAt(c);
        out = putVarint(out, static_cast<uint32_t>(cell.text.size()));
        *out++ = KindByte(cell);
        std::memcpy(out, cell.text.data(), cell.text.size());
        out += cell.text.size();
        if (cell.type == CellType::Real) {
            std::memcpy(out, &cell.real, sizeof cell.real);
            out += sizeof cell.real;
        }
    }
}

CellValue ExecStore::read(const unsigned char *&in)
{
    const uint32_t length = getVarint(in);
    const unsigned char kind = *in++;
    const std::string_view text(reinterpret_cast<const char *>(in), length);
    in += length;
    CellValue cell = FromKindByte(text, kind);
    if (cell.type == CellType::Real) {
        std::memcpy(&cell.real, in, sizeof cell.real);
        in += sizeof cell.real;
    }
    return cell;
}

int ExecStore::columnCount(int64_t row) const
{
    if (row < 0 || row >= rowCount())
        return 0;
    const unsigned char *in = rows_[static_cast<std::size_t>(row)];
    return static_cast<int>(getVarint(in));
}

CellValue ExecStore::value(int64_t row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0)
        return {};
    if (row != cursorRow_ || column < cursorColumn_) {
        const unsigned char *in = rows_[static_cast<std::size_t>(row)];
        const int count = static_cast<int>(getVarint(in));
        if (column >= count)
            return {};
        cursorRow_ = row;
        cursorColumn_ = 0;
        cursor_ = in;
    } else if (column >= columnCount(row)) {
        return {};
    }
    for (; cursorColumn_ < column; ++cursorColumn_)
        read(cursor_);
    ++cursorColumn_;
    return read(cursor_);
}

void ExecStore::clear()
{
    bytes_.clear();
    rows_.clear();
    cursorRow_ = -1;
}

} // namespace kest
