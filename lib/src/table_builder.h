#pragma once
// Collects the rows of the table path into one kest_table: the cell texts are copied into
// a few large blocks and the table holds one pointer per cell, so a result of millions of
// cells costs little more than its text.

#include "kestrune3.h"
#include "page_array.h"
#include "statements.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kest {

// Blocks counted against the memory budget while they live.
struct BudgetedBlock {
    explicit BudgetedBlock(std::size_t n);
    ~BudgetedBlock();
    BudgetedBlock(const BudgetedBlock &) = delete;
    BudgetedBlock &operator=(const BudgetedBlock &) = delete;
    std::unique_ptr<char[]> bytes;
    std::size_t size;
};

class TextArena {
public:
    // A zero-terminated copy of s that lives as long as the arena.
    const char *copy(std::string_view s);

private:
    std::vector<std::unique_ptr<BudgetedBlock>> blocks_;
    char *next_ = nullptr;
    std::size_t left_ = 0;
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
    PageArray<const char *> cells_; // row by row, width_ per row; row 0 the names
    std::vector<std::string> statement_names_;
    int32_t width_ = 0;
    int64_t rows_ = 0;
    std::string scratch_;
};

void free_table(kest_table *table) noexcept;

} // namespace kest
