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

    // A zero-terminated copy of s that lives as long as the arena, with the `extra` bytes that
    // follow s's zero in memory (a real's double) copied after it.
    const char *copy(std::string_view s, std::size_t extra = 0);

private:
    WarmBlocks blocks_;
    char *next_ = nullptr;
    std::size_t left_ = 0;
};

// Cells' pointers or types, row by row, in chunks that become one array at the end without a copy.
template <typename T> class CellArray {
public:
    CellArray() = default;
    CellArray(CellArray &&other) noexcept
        : chunks_(std::exchange(other.chunks_, {})), next_(std::exchange(other.next_, nullptr)),
          end_(std::exchange(other.end_, nullptr))
    {
    }
    CellArray &operator=(CellArray &&other) noexcept
    {
        release();
        chunks_ = std::exchange(other.chunks_, {});
        next_ = std::exchange(other.next_, nullptr);
        end_ = std::exchange(other.end_, nullptr);
        return *this;
    }
    ~CellArray() { release(); }

    void push_back(T cell)
    {
        if (next_ == end_)
            add_chunk();
        *next_++ = cell;
    }
    T &operator[](std::size_t i) { return chunks_[i / PerChunk][i % PerChunk]; }
    // The cells as one array, released with release_joined(); the CellArray is empty afterwards.
    T *join(std::size_t &bytes)
    {
        bytes = chunks_.size() * warm::ChunkSize;
        T *cells = chunks_.size() == 1
                       ? chunks_.front()
                       : static_cast<T *>(warm::join(reinterpret_cast<void *const *>(chunks_.data()), chunks_.size()));
        chunks_.clear();
        next_ = end_ = nullptr;
        return cells;
    }
    static void release_joined(T *cells, std::size_t bytes) noexcept { warm::release(cells, bytes); }

private:
    static constexpr std::size_t PerChunk = warm::ChunkSize / sizeof(T);
    void add_chunk()
    {
        chunks_.reserve(chunks_.size() + 1); // so that the chunk below is never lost
        next_ = static_cast<T *>(warm::allocate(warm::ChunkSize));
        chunks_.push_back(next_);
        end_ = next_ + PerChunk;
    }
    void release() noexcept
    {
        for (T *chunk : chunks_)
            warm::release(chunk, warm::ChunkSize);
        chunks_.clear();
        next_ = end_ = nullptr;
    }
    std::vector<T *> chunks_;
    T *next_ = nullptr; // where the next cell goes, in the last chunk
    T *end_ = nullptr;
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
    void push(const char *text, unsigned char type)
    {
        cells_.push_back(text);
        types_.push_back(type);
    }

    TextArena arena_;
    CellArray<const char *> cells_; // row by row, width_ per row; row 0 the names
    CellArray<unsigned char> types_; // the cells' KEST_* types, as cells_
    std::vector<std::string> statement_names_;
    int32_t width_ = 0;
    int64_t rows_ = 0;
    CellScratch scratch_;
};

void free_table(kest_table *table) noexcept;

} // namespace kest
