#pragma once
// `ExecResults`: every row of an Exec run, kept compactly so that millions of rows fit: the
// texts lie back to back in a few large buffers, each cell costs 12 bytes of bookkeeping, each
// row one index. Rows of different widths are stored whole. What the store holds is drawn from
// the memory budget; a row past it is refused with std::bad_alloc and the rows so far stay.

#include "MemoryBudget.h"
#include "TextArena.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kest {

// A growing array in fixed blocks: it never moves what it holds, so growing it costs no copy
// and no moment with two copies in memory.
template <typename T> class BlockArray {
public:
    static constexpr std::size_t BlockBits = 16;
    static constexpr std::size_t BlockSize = std::size_t{1} << BlockBits;

    void drawFrom(MemoryBudget *budget) noexcept { budget_ = budget; }
    void push_back(T value)
    {
        if (size_ % BlockSize == 0)
            blocks_.push_back(AllocateBudgeted<T>(budget_, BlockSize));
        blocks_.back()[size_ % BlockSize] = value;
        ++size_;
    }
    const T &operator[](std::size_t i) const { return blocks_[i >> BlockBits][i & (BlockSize - 1)]; }
    std::size_t size() const { return size_; }
    // Forgets the values from `n` on; their blocks are kept for the next ones.
    void truncate(std::size_t n) { size_ = std::min(size_, n); }
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
    void drawFrom(MemoryBudget *budget) noexcept;
    // Stores a row of `count` texts (UTF-8, never null) of the given lengths in bytes. A row that
    // does not fit the budget is not stored at all.
    void appendRow(const char *const *texts, const int32_t *lengths, int count);
    // Drops every row and gives the memory back.
    void clear();

    int64_t rowCount() const { return static_cast<int64_t>(rowStart_.size()); }
    int columnCount(int64_t row) const
    {
        const auto r = static_cast<std::size_t>(row);
        return static_cast<int>(rowEnd(r) - rowStart_[r]);
    }
    // The widest row's width.
    int widestRow() const { return widest_; }
    // Empty beyond the row's width. Inline: an export reads every cell of millions of rows.
    std::string_view cell(int64_t row, int column) const
    {
        if (row < 0 || row >= rowCount() || column < 0)
            return {};
        const auto r = static_cast<std::size_t>(row);
        const std::size_t i = rowStart_[r] + static_cast<std::size_t>(column);
        if (i >= rowEnd(r))
            return {};
        return texts_.text(cells_[i]);
    }

private:
    // One past the row's last cell: where the next row starts.
    std::size_t rowEnd(std::size_t row) const { return row + 1 < rowStart_.size() ? rowStart_[row + 1] : cells_.size(); }

    TextArena texts_;
    BlockArray<TextArena::Span> cells_;
    BlockArray<uint64_t> rowStart_;
    int widest_ = 0;
};

} // namespace kest
