#include "table_builder.h"

#include "warm_memory.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

namespace kest {
namespace {

constexpr char kEmpty[] = "";

// What a kest_table's `internal` points to: the storage behind its cells.
struct TableStorage {
    ~TableStorage() { CellArray::release_joined(cells, cell_bytes); }
    kest_table table{};
    TextArena arena;
    const char **cells = nullptr;
    std::size_t cell_bytes = 0;
};

} // namespace

WarmBlocks &WarmBlocks::operator=(WarmBlocks &&other) noexcept
{
    release();
    blocks_ = std::exchange(other.blocks_, {});
    return *this;
}

WarmBlocks::~WarmBlocks()
{
    release();
}

char *WarmBlocks::add(std::size_t bytes)
{
    blocks_.reserve(blocks_.size() + 1); // so that the block below is never lost
    void *block = warm::allocate(bytes);
    blocks_.emplace_back(block, bytes);
    return static_cast<char *>(block);
}

void WarmBlocks::release() noexcept
{
    for (const auto &[block, bytes] : blocks_)
        warm::release(block, bytes);
    blocks_.clear();
}

const char *TextArena::copy(std::string_view s)
{
    if (s.empty())
        return kEmpty;
    const std::size_t need = s.size() + 1;
    if (need > left_) {
        const std::size_t size = std::max(warm::ChunkSize, need);
        next_ = blocks_.add(size);
        left_ = size;
    }
    char *out = next_;
    std::memcpy(out, s.data(), s.size());
    out[s.size()] = '\0';
    next_ += need;
    left_ -= need;
    return out;
}

CellArray::CellArray(CellArray &&other) noexcept
    : chunks_(std::exchange(other.chunks_, {})), next_(std::exchange(other.next_, nullptr)),
      end_(std::exchange(other.end_, nullptr))
{
}

CellArray &CellArray::operator=(CellArray &&other) noexcept
{
    release();
    chunks_ = std::exchange(other.chunks_, {});
    next_ = std::exchange(other.next_, nullptr);
    end_ = std::exchange(other.end_, nullptr);
    return *this;
}

CellArray::~CellArray()
{
    release();
}

void CellArray::add_chunk()
{
    chunks_.reserve(chunks_.size() + 1); // so that the chunk below is never lost
    next_ = static_cast<const char **>(warm::allocate(warm::ChunkSize));
    chunks_.push_back(next_);
    end_ = next_ + PerChunk;
}

const char **CellArray::join(std::size_t &bytes)
{
    bytes = chunks_.size() * warm::ChunkSize;
    const char **cells = chunks_.size() == 1
                             ? chunks_.front()
                             : static_cast<const char **>(warm::join(reinterpret_cast<void *const *>(chunks_.data()),
                                                                     chunks_.size()));
    chunks_.clear();
    next_ = end_ = nullptr;
    return cells;
}

void CellArray::release_joined(const char **cells, std::size_t bytes) noexcept
{
    warm::release(cells, bytes);
}

void CellArray::release() noexcept
{
    for (const char **chunk : chunks_)
        warm::release(chunk, warm::ChunkSize);
    chunks_.clear();
    next_ = end_ = nullptr;
}

void TableBuilder::begin_statement(sqlite3_stmt *stmt, int columns)
{
    statement_names_.clear();
    for (int c = 0; c < columns; ++c)
        statement_names_.push_back(column_name(stmt, c));
    if (columns > width_)
        widen(columns);
}

void TableBuilder::widen(int columns)
{
    // Rows of a statement wider than all before it: lay the table out again, the new
    // columns named after this statement and empty in the earlier rows.
    const int32_t old_width = width_;
    CellArray wider;
    for (int64_t r = 0; r < std::max<int64_t>(rows_, 1); ++r)
        for (int c = 0; c < columns; ++c)
            wider.push_back(c < old_width ? cells_[static_cast<std::size_t>(r * old_width + c)]
                            : r == 0      ? arena_.copy(statement_names_[static_cast<std::size_t>(c)])
                                          : kEmpty);
    cells_ = std::move(wider);
    width_ = columns;
    if (rows_ == 0)
        rows_ = 1;
}

int TableBuilder::row(sqlite3_stmt *stmt, int columns)
{
    if (rows_ >= std::numeric_limits<int32_t>::max())
        return SQLITE_TOOBIG;
    for (int c = 0; c < width_; ++c)
        cells_.push_back(c < columns ? arena_.copy(cell_text(stmt, c, scratch_)) : kEmpty);
    ++rows_;
    return SQLITE_OK;
}

std::string TableBuilder::stop_text() const
{
    return "result has more rows than a 32-bit count holds";
}

kest_table *TableBuilder::release()
{
    if (rows_ < 2)
        return nullptr;
    auto storage = std::make_unique<TableStorage>();
    storage->cells = cells_.join(storage->cell_bytes);
    storage->arena = std::move(arena_);
    storage->table.column_count = width_;
    storage->table.row_count = static_cast<int32_t>(rows_);
    storage->table.cells = storage->cells;
    storage->table.internal = storage.get();
    rows_ = 0;
    width_ = 0;
    return &storage.release()->table;
}

void free_table(kest_table *table) noexcept
{
    if (table != nullptr)
        delete static_cast<TableStorage *>(table->internal);
}

} // namespace kest
