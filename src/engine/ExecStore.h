#pragma once
// `ExecResults`: the rows of an Exec run that the list shows (those past them go to disk through
// ExecSpill, which writes these first), kept compactly so that they fit in little fresh memory
// (each page the store touches for the first time costs a page fault): a row is its cell count
// and, per cell, the text's length and bytes, back to back in large buffers, with one index per
// row. A cell of fewer than 128 bytes costs two bytes beyond its text (its length and its type),
// a real eight more for its exact value. Rows
// of different widths are stored whole. What the store holds is drawn from the memory budget;
// a row past it is refused with std::bad_alloc and the rows so far stay.

#include "ByteArena.h"
#include "CellValue.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kest {

// A growing array in fixed blocks: it never moves what it holds, so growing it costs no copy
// and no moment with two copies in memory.
template <typename T> class BlockArray {
public:
    // A block is one chunk of the budget's memory, which comes with its pages in place.
    static constexpr std::size_t BlockSize = MemoryBudget::ChunkBytes / sizeof(T);

    void chargeTo(MemoryBudget *budget) noexcept { budget_ = budget; }
    void push_back(T value)
    {
        if (size_ % BlockSize == 0)
            blocks_.push_back(AllocateBudgeted<T>(budget_, BlockSize));
        blocks_.back()[size_ % BlockSize] = value;
        ++size_;
    }
    const T &operator[](std::size_t i) const { return blocks_[i / BlockSize][i % BlockSize]; }
    std::size_t size() const { return size_; }
    void clear()
    {
        blocks_.clear();
        blocks_.shrink_to_fit();
        size_ = 0;
    }

private:
    std::vector<BudgetedArray<T>> blocks_;
    std::size_t size_ = 0;
    MemoryBudget *budget_ = nullptr;
};

class ExecStore {
public:
    // What the store holds from now on is counted against `budget`.
    void chargeTo(MemoryBudget *budget) noexcept;
    // Stores a row of `count` texts (UTF-8, never null) of the given lengths in bytes, with the
    // library's types (null: all texts). A row that does not fit the budget is not stored at all.
    void appendRow(const char *const *texts, const int32_t *lengths, const unsigned char *types, int count);
    // Drops every row and gives the memory back.
    void clear();

    int64_t rowCount() const { return static_cast<int64_t>(rows_.size()); }
    int columnCount(int64_t row) const;
    // Empty beyond the row's width. Reading the cells of a row in order costs one step each.
    std::string_view cell(int64_t row, int column) const { return value(row, column).text; }
    // The cell with its type; an empty Text beyond the row's width.
    CellValue value(int64_t row, int column) const;

private:
    // Steps past the cell at `in`; returns it.
    static CellValue read(const unsigned char *&in);

    ByteArena bytes_;
    BlockArray<const unsigned char *> rows_;
    // Where the last cell read ended, so that the next cell of the same row is found at once.
    mutable int64_t cursorRow_ = -1;
    mutable int cursorColumn_ = 0;
    mutable const unsigned char *cursor_ = nullptr;
};

} // namespace kest
