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
    ~TableStorage()
    {
        CellArray<const char *>::release_joined(cells, cell_bytes);
        CellArray<unsigned char>::release_joined(types, type_bytes);
    }
    kest_table table{};
    TextArena arena;
    const char **cells = nullptr;
    std::size_t cell_bytes = 0;
    unsigned char *types = nullptr;
    std::size_t type_bytes = 0;
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
    void *block = warm::allocate_sized(bytes);
    blocks_.emplace_back(block, bytes);
    return static_cast<char *>(block);
}

void WarmBlocks::release() noexcept
{
    for (const auto &[block, bytes] : blocks_)
        warm::release_sized(block, bytes);
    blocks_.clear();
}

void TextArena::make_room(std::size_t need)
{
    if (need > left_ + room_) {
        const std::size_t size = std::max(block_size_, need);
        next_ = blocks_.add(size);
        left_ = 0;
        room_ = size;
        block_size_ = std::min(warm::ChunkSize, 2 * block_size_);
    }
    // The block's pages a piece at a time, as the texts come; a small block is all there.
    const bool small = left_ + room_ < warm::HeapBytes;
    const std::size_t piece = small ? room_ : std::min(room_, std::max(warm::PopulateBytes, need - left_));
    if (!small)
        warm::populate(next_ + left_, piece);
    left_ += piece;
    room_ -= piece;
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
    CellArray<const char *> wider;
    CellArray<unsigned char> wider_types;
    for (int64_t r = 0; r < std::max<int64_t>(rows_, 1); ++r)
        for (int c = 0; c < columns; ++c) {
            const auto old = static_cast<std::size_t>(r * old_width + c);
            wider.push_back(c < old_width ? cells_[old]
                            : r == 0      ? arena_.copy(statement_names_[static_cast<std::size_t>(c)])
                                          : kEmpty);
            wider_types.push_back(c < old_width ? types_[old] : r == 0 ? KEST_TEXT : KEST_NULL);
        }
    cells_ = std::move(wider);
    types_ = std::move(wider_types);
    width_ = columns;
    if (rows_ == 0)
        rows_ = 1;
}

int TableBuilder::row(sqlite3_stmt *stmt, int columns)
{
    if (rows_ >= std::numeric_limits<int32_t>::max())
        return SQLITE_TOOBIG;
    const auto width = static_cast<std::size_t>(width_);
    if (cells_.has_room(width) && types_.has_room(width)) {
        // The common case, a row within the arrays' present pages: one look for room a row.
        const char **texts = cells_.take(width);
        unsigned char *types = types_.take(width);
        for (int c = 0; c < width_; ++c) {
            const Cell cell = c < columns ? cell_text(stmt, c, scratch_) : Cell{{kEmpty, 0}, KEST_NULL};
            texts[c] = arena_.copy(cell.text, cell.extra_bytes());
            types[c] = cell.type;
        }
    } else {
        for (int c = 0; c < width_; ++c) {
            const Cell cell = c < columns ? cell_text(stmt, c, scratch_) : Cell{{kEmpty, 0}, KEST_NULL};
            push(arena_.copy(cell.text, cell.extra_bytes()), cell.type);
        }
    }
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
    storage->types = types_.join(storage->type_bytes);
    storage->arena = std::move(arena_);
    storage->table.column_count = width_;
    storage->table.row_count = static_cast<int32_t>(rows_);
    storage->table.cells = storage->cells;
    storage->table.internal = storage.get();
    storage->table.types = storage->types;
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
