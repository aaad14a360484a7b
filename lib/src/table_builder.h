#pragma once
// Collects the rows of the table path into one kest_table: the cell texts are copied into
// large blocks and the table holds one pointer per cell, so a result of millions of cells costs
// little more than its text. All of it is counted against the budget.

#include "kestrune3.h"
#include "statements.h"
#include "warm_memory.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kest {

// Memory from warm::allocate, given back when the owner goes.
class WarmBlocks {
public:
    WarmBlocks() = default;
    WarmBlocks(WarmBlocks &&other) noexcept : blocks_(std::exchange(other.blocks_, {})) {}
    WarmBlocks &operator=(WarmBlocks &&other) noexcept;
    ~WarmBlocks();
    // A new block of `bytes`; throws std::bad_alloc when refused.
    char *add(std::size_t bytes);

private:
    void release() noexcept;
    std::vector<std::pair<void *, std::size_t>> blocks_;
};

// Move-only: a move hands the blocks and the place to write next to the new owner and leaves
// the source empty, so a reused source starts a block of its own and never writes into the
// memory of a table already handed out.
class TextArena {
public:
    TextArena() = default;
    TextArena(TextArena &&other) noexcept
        : blocks_(std::move(other.blocks_)), next_(std::exchange(other.next_, nullptr)),
          left_(std::exchange(other.left_, 0))
    {
    }
    TextArena &operator=(TextArena &&other) noexcept
    {
        blocks_ = std::move(other.blocks_);
        next_ = std::exchange(other.next_, nullptr);
        left_ = std::exchange(other.left_, 0);
        return *this;
    }

    // A zero-terminated copy of s that lives as long as the arena.
    const char *copy(std::string_view s);

private:
    WarmBlocks blocks_;
    char *next_ = nullptr;
    std::size_t left_ = 0;
};

// The cell pointers, row by row, in chunks that become one array at the end without a copy.
class CellArray {
public:
    CellArray() = default;
    CellArray(CellArray &&other) noexcept;
    CellArray &operator=(CellArray &&other) noexcept;
    ~CellArray();

    void push_back(const char *cell)
    {
        if (next_ == end_)
            add_chunk();
        *next_++ = cell;
    }
    const char *&operator[](std::size_t i) { return chunks_[i / PerChunk][i % PerChunk]; }
    // The cells as one array, released with release_joined(); the CellArray is empty afterwards.
    const char **join(std::size_t &bytes);
    static void release_joined(const char **cells, std::size_t bytes) noexcept;

private:
    static constexpr std::size_t PerChunk = warm::ChunkSize / sizeof(const char *);
    void add_chunk();
    void release() noexcept;
    std::vector<const char **> chunks_;
    const char **next_ = nullptr; // where the next cell goes, in the last chunk
    const char **end_ = nullptr;
};

class TableBuilder final : public RowSink {
public:
    void begin_statement(sqlite3_stmt *stmt, int columns) override;
    int row(sqlite3_stmt *stmt, int columns) override;
    std::string stop_text() const override;

    int32_t data_rows() const { return static_cast<int32_t>(rows_ == 0 ? 0 : rows_ - 1); }

    // The finished table, or nullptr when no row arrived. The builder is empty afterwards.
    kest_table *release();

private:
    void widen(int columns);

    TextArena arena_;
    CellArray cells_; // row by row, width_ per row; row 0 the names
    std::vector<std::string> statement_names_;
    int32_t width_ = 0;
    int64_t rows_ = 0;
    CellScratch scratch_;
};

void free_table(kest_table *table) noexcept;

} // namespace kest
