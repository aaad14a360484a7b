#include "table_builder.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kest {
namespace {

constexpr char kEmpty[] = "";
constexpr std::size_t kBlockSize = std::size_t{1} << 20;

// What a kest_table's `internal` points to: the storage behind its cells.
struct TableStorage {
    kest_table table{};
    TextArena arena;
    PageArray<const char *> cells;
};

} // namespace

BudgetedBlock::BudgetedBlock(std::size_t n) : size(n)
{
    budget::take_or_throw(static_cast<int64_t>(n));
    try {
        bytes.reset(new char[n]);
    } catch (...) {
        budget::give(static_cast<int64_t>(n));
        throw;
    }
}

BudgetedBlock::~BudgetedBlock()
{
    budget::give(static_cast<int64_t>(size));
}

const char *TextArena::copy(std::string_view s)
{
    if (s.empty())
        return kEmpty;
    const std::size_t need = s.size() + 1;
    if (need > left_) {
        const std::size_t size = std::max(kBlockSize, need);
        blocks_.push_back(std::make_unique<BudgetedBlock>(size));
        next_ = blocks_.back()->bytes.get();
        left_ = size;
    }
    char *out = next_;
    std::memcpy(out, s.data(), s.size());
    out[s.size()] = '\0';
    next_ += need;
    left_ -= need;
    return out;
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
    PageArray<const char *> wider;
    wider.resize(static_cast<std::size_t>(rows_ == 0 ? 1 : rows_) * columns, kEmpty);
    for (int64_t r = 0; r < rows_; ++r)
        std::copy_n(cells_.data() + r * old_width, old_width, wider.data() + r * columns);
    for (int c = old_width; c < columns; ++c)
        wider[c] = arena_.copy(statement_names_[c]);
    cells_ = std::move(wider);
    width_ = columns;
    if (rows_ == 0)
        rows_ = 1;
}

int TableBuilder::row(sqlite3_stmt *stmt, int columns)
{
    if (rows_ >= std::numeric_limits<int32_t>::max())
        return SQLITE_TOOBIG;
    const std::size_t start = cells_.size();
    cells_.resize(start + width_, kEmpty);
    for (int c = 0; c < columns; ++c)
        cells_[start + c] = arena_.copy(cell_text(stmt, c, scratch_));
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
    storage->arena = std::move(arena_);
    storage->cells = std::move(cells_);
    storage->table.column_count = width_;
    storage->table.row_count = static_cast<int32_t>(rows_);
    storage->table.cells = storage->cells.data();
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
