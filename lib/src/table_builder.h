#pragma once
// Collects the rows of the table path into one kest_table: the cell texts are copied into
// blocks and the table holds one pointer and one type per cell, so a result of millions of cells
// costs little more than its text. Blocks start small and double up to warm::ChunkSize, so a
// table of one row costs what it holds, not two chunks. All of it is counted against the budget.

#include "kestrune3.h"
#include "statements.h"
#include "warm_memory.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kest {

// Memory from warm::allocate_sized, given back when the owner goes.
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
          left_(std::exchange(other.left_, 0)), room_(std::exchange(other.room_, 0)),
          block_size_(std::exchange(other.block_size_, FirstBlock))
    {
    }
    TextArena &operator=(TextArena &&other) noexcept
    {
        blocks_ = std::move(other.blocks_);
        next_ = std::exchange(other.next_, nullptr);
        left_ = std::exchange(other.left_, 0);
        room_ = std::exchange(other.room_, 0);
        block_size_ = std::exchange(other.block_size_, FirstBlock);
        return *this;
    }

    // A zero-terminated copy of s that lives as long as the arena, with the `extra` bytes that
    // follow s's zero in memory (a real's double) copied after it.
    const char *copy(std::string_view s, std::size_t extra = 0)
    {
        if (s.empty() && extra == 0)
            return "";
        const std::size_t need = s.size() + 1 + extra;
        if (need > left_)
            make_room(need);
        char *out = next_;
        std::memcpy(out, s.data(), s.size());
        out[s.size()] = '\0';
        if (extra != 0)
            std::memcpy(out + s.size() + 1, s.data() + s.size() + 1, extra);
        next_ += need;
        left_ -= need;
        return out;
    }

private:
    // At least `need` bytes present at next_.
    void make_room(std::size_t need);

    static constexpr std::size_t FirstBlock = 1024;
    WarmBlocks blocks_;
    char *next_ = nullptr;
    std::size_t left_ = 0; // bytes at next_ whose pages are present
    std::size_t room_ = 0; // bytes after those, in the same block, whose pages are not yet
    std::size_t block_size_ = FirstBlock; // the size of the next block, unless a text needs more
};

// Cells' pointers or types, row by row: one array that doubles until it fills a chunk, then
// whole chunks, which become one array at the end without a copy.
template <typename T> class CellArray {
public:
    CellArray() = default;
    CellArray(CellArray &&other) noexcept
        : chunks_(std::exchange(other.chunks_, {})), next_(std::exchange(other.next_, nullptr)),
          end_(std::exchange(other.end_, nullptr)), room_end_(std::exchange(other.room_end_, nullptr)),
          first_capacity_(std::exchange(other.first_capacity_, 0))
    {
    }
    CellArray &operator=(CellArray &&other) noexcept
    {
        release();
        chunks_ = std::exchange(other.chunks_, {});
        next_ = std::exchange(other.next_, nullptr);
        end_ = std::exchange(other.end_, nullptr);
        room_end_ = std::exchange(other.room_end_, nullptr);
        first_capacity_ = std::exchange(other.first_capacity_, 0);
        return *this;
    }
    ~CellArray() { release(); }

    void push_back(T cell)
    {
        if (next_ == end_)
            grow();
        *next_++ = cell;
    }
    // Whether `n` cells fit before push_back() must look for room, and where they go then.
    bool has_room(std::size_t n) const { return static_cast<std::size_t>(end_ - next_) >= n; }
    T *take(std::size_t n) { return std::exchange(next_, next_ + n); }
    T &operator[](std::size_t i) { return chunks_[i / PerChunk][i % PerChunk]; }
    // The cells as one array, released with release_joined(); the CellArray is empty afterwards.
    T *join(std::size_t &bytes)
    {
        bytes = chunks_.size() == 1 ? first_bytes() : chunks_.size() * warm::ChunkSize;
        T *cells = chunks_.size() == 1
                       ? chunks_.front()
                       : static_cast<T *>(warm::join(reinterpret_cast<void *const *>(chunks_.data()), chunks_.size()));
        chunks_.clear();
        next_ = end_ = room_end_ = nullptr;
        first_capacity_ = 0;
        return cells;
    }
    static void release_joined(T *cells, std::size_t bytes) noexcept { warm::release_sized(cells, bytes); }

private:
    static constexpr std::size_t PerChunk = warm::ChunkSize / sizeof(T);
    static constexpr std::size_t FirstCapacity = 64;

    std::size_t first_bytes() const { return first_capacity_ * sizeof(T); }
    void grow()
    {
        if (next_ == room_end_)
            add_room();
        // The pages of the room a piece at a time, as the cells come: the part never filled
        // takes no memory.
        const auto left = static_cast<std::size_t>(room_end_ - next_);
        const std::size_t piece = left * sizeof(T) < warm::HeapBytes ? left : std::min(left, warm::PopulateBytes / sizeof(T));
        end_ = next_ + piece;
        if (piece != left)
            warm::populate(next_, piece * sizeof(T));
    }
    void add_room()
    {
        if (chunks_.empty() || first_capacity_ < PerChunk) {
            // The first array, or that array twice as large, the cells so far copied over.
            const std::size_t capacity = chunks_.empty() ? FirstCapacity : 2 * first_capacity_;
            const std::size_t used = chunks_.empty() ? 0 : first_capacity_;
            T *bigger = static_cast<T *>(warm::allocate_sized(capacity * sizeof(T)));
            if (chunks_.empty()) {
                try {
                    chunks_.push_back(bigger);
                } catch (...) {
                    warm::release_sized(bigger, capacity * sizeof(T));
                    throw;
                }
            } else {
                std::memcpy(bigger, chunks_.front(), used * sizeof(T));
                warm::release_sized(chunks_.front(), first_bytes());
                chunks_.front() = bigger;
            }
            first_capacity_ = capacity;
            next_ = bigger + used;
            room_end_ = bigger + capacity;
            return;
        }
        chunks_.reserve(chunks_.size() + 1); // so that the chunk below is never lost
        next_ = static_cast<T *>(warm::allocate_sized(warm::ChunkSize));
        chunks_.push_back(next_);
        room_end_ = next_ + PerChunk;
    }
    void release() noexcept
    {
        for (std::size_t i = 0; i < chunks_.size(); ++i)
            warm::release_sized(chunks_[i], i == 0 ? first_bytes() : warm::ChunkSize);
        chunks_.clear();
        next_ = end_ = room_end_ = nullptr;
        first_capacity_ = 0;
    }
    std::vector<T *> chunks_;
    T *next_ = nullptr;     // where the next cell goes, in the last chunk
    T *end_ = nullptr;      // the end of the pages present
    T *room_end_ = nullptr; // the end of the last chunk
    std::size_t first_capacity_ = 0; // cells the first array holds; PerChunk once it is a chunk
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
    CountedText scratch_;
};

void free_table(kest_table *table) noexcept;

} // namespace kest
