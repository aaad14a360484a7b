#include "statements.h"

#include "memory_budget.h"
#include "text.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

namespace kest {
namespace {

struct StmtFinalizer {
    void operator()(sqlite3_stmt *stmt) const noexcept { sqlite3_finalize(stmt); }
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

constexpr char kEmpty[] = "";
// The longest 64-bit integer in decimal: "-9223372036854775808".
constexpr std::size_t Int64Digits = 20;

bool at_end(const SqlSource &sql)
{
    return sql.utf16 != nullptr ? *sql.utf16 == 0 : *sql.utf8 == '\0';
}

// The engine converts all the UTF-16 it is given before it parses a word, so it is given the
// front of the text, a window that doubles until it holds the whole statement: a script then
// costs time in its length, not in its length times its statements.
constexpr std::size_t FirstWindow = 512;              // UTF-16 units
constexpr std::size_t LargestWindow = (1u << 30) - 1; // its bytes must fit in an int

// The statement at the front of sql, from the engine's UTF-16 compiler; moves sql past it.
int prepare16_next(sqlite3 *db, SqlSource &sql, sqlite3_stmt *&raw)
{
    if (sql.utf16_left == SqlSource::Unmeasured)
        sql.utf16_left = std::char_traits<char16_t>::length(sql.utf16);
    const std::size_t left = sql.utf16_left;
    for (std::size_t window = std::min(FirstWindow, left);; window = std::min(window * 2, left)) {
        const bool whole = window >= left || window > LargestWindow;
        const void *tail = nullptr;
        const int bytes = whole ? -1 : static_cast<int>(window * sizeof(char16_t));
        const int rc = sqlite3_prepare16_v3(db, sql.utf16, bytes, 0, &raw, &tail);
        const auto *end = static_cast<const char16_t *>(tail);
        const std::size_t used = end != nullptr ? static_cast<std::size_t>(end - sql.utf16) : 0;
        // A statement that ends before the window does is the one the whole text gives: the engine
        // reads nothing past a statement's ';'. One that ends at the window's end may go on
        // after it (a comment, a string or a surrogate pair cut short), and an error may be the cut's.
        if (whole || (rc == SQLITE_OK ? used < window : (rc & 0xFF) != SQLITE_ERROR)) {
            const std::size_t advance = used > 0 && used <= left ? used : left;
            sql.utf16 += advance;
            sql.utf16_left -= advance;
            return rc;
        }
        sqlite3_finalize(raw);
        raw = nullptr;
    }
}

// Prepares the statement at the front of sql and moves sql past it. The statement is null
// when only blanks or a comment were left.
int prepare_next(sqlite3 *db, SqlSource &sql, StmtPtr &stmt)
{
    sqlite3_stmt *raw = nullptr;
    int rc;
    if (sql.utf16 != nullptr) {
        rc = prepare16_next(db, sql, raw);
    } else {
        const char *tail = nullptr;
        rc = sqlite3_prepare_v3(db, sql.utf8, -1, 0, &raw, &tail);
        sql.utf8 = tail != nullptr && tail != sql.utf8 ? tail : kEmpty;
    }
    stmt.reset(raw);
    return rc;
}

RunOutcome failure(sqlite3 *db, int rc)
{
    RunOutcome out;
    out.code = rc & 0xFF;
    // An interrupt is the caller's own request, not an error of the SQL: it carries no text.
    if (out.code != SQLITE_INTERRUPT) {
        const char *msg = sqlite3_errmsg(db);
        text::append_sanitized_utf8(out.error, msg, std::strlen(msg));
    }
    return out;
}

} // namespace

RunOutcome run_statements(sqlite3 *db, SqlSource sql, RowSink &sink, BetweenStatements between)
{
    for (bool first = true; !at_end(sql); first = false) {
        if (!first && between.call != nullptr && between.call(between.arg) != 0)
            return RunOutcome{SQLITE_INTERRUPT, {}};
        StmtPtr stmt;
        const int prepared = prepare_next(db, sql, stmt);
        if (prepared != SQLITE_OK)
            return failure(db, prepared);
        if (!stmt)
            continue;
        const int columns = sqlite3_column_count(stmt.get());
        bool first_row = true;
        for (;;) {
            const int rc = sqlite3_step(stmt.get());
            if (rc == SQLITE_DONE)
                break;
            if (rc != SQLITE_ROW)
                return failure(db, rc);
            if (columns == 0)
                continue;
            if (first_row) {
                sink.begin_statement(stmt.get(), columns);
                first_row = false;
            }
            if (const int stop = sink.row(stmt.get(), columns); stop != SQLITE_OK)
                return RunOutcome{stop, sink.stop_text()};
        }
    }
    return {};
}

CellScratch::CellScratch(CellScratch &&other) noexcept
    : text_(std::move(other.text_)), counted_(std::exchange(other.counted_, 0))
{
}

CellScratch::~CellScratch()
{
    budget::give(counted_);
}

std::string &CellScratch::empty_with_room(std::size_t bytes)
{
    text_.clear();
    if (bytes > text_.capacity()) {
        // Let go of the old room first: the new one is counted whole.
        std::string().swap(text_);
        budget::give(std::exchange(counted_, 0));
        budget::take_or_throw(static_cast<int64_t>(bytes));
        counted_ = static_cast<int64_t>(bytes);
        try {
            text_.reserve(bytes);
        } catch (...) {
            budget::give(std::exchange(counted_, 0));
            throw;
        }
    }
    return text_;
}

std::string_view cell_text(sqlite3_stmt *stmt, int column, CellScratch &scratch)
{
    // One lookup of the cell, then the value's own accessors: the column functions would look
    // the cell up again on every call. The value is read at once, on the statement's thread.
    sqlite3_value *value = sqlite3_column_value(stmt, column);
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_NULL)
        return {kEmpty, 0};
    if (type == SQLITE_BLOB) {
        const void *bytes = sqlite3_value_blob(value);
        const auto n = static_cast<std::size_t>(sqlite3_value_bytes(value));
        const bool as_text = text::blob_as_text(bytes, n);
        std::string &out = scratch.empty_with_room(text::blob_text_length(n, as_text));
        text::append_blob_text(out, bytes, n, as_text);
        return {out.c_str(), out.size()};
    }
    if (type == SQLITE_INTEGER) {
        // Written here in the engine's own form, plain decimal: asking the engine for the text
        // converts the cell in place and measures it again, which made reading a wide join of
        // numbers a fifth slower.
        std::string &out = scratch.empty_with_room(Int64Digits);
        out.resize(Int64Digits);
        const auto end = std::to_chars(out.data(), out.data() + Int64Digits, sqlite3_value_int64(value)).ptr;
        out.resize(static_cast<std::size_t>(end - out.data()));
        return {out.c_str(), out.size()};
    }
    const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(value));
    if (t == nullptr) {
        // No text for a number or a text means the engine could not allocate its copy.
        if (sqlite3_errcode(sqlite3_db_handle(stmt)) == SQLITE_NOMEM)
            throw std::bad_alloc();
        return {kEmpty, 0};
    }
    const auto n = static_cast<std::size_t>(sqlite3_value_bytes(value));
    // The engine writes numbers in ASCII; only stored texts need checking.
    if (type != SQLITE_TEXT)
        return {t, n};
    // A text holding a zero byte ends there, as every C text does.
    const text::TextScan scan = text::scan_text(t, n);
    if (scan.valid)
        return {t, scan.length};
    std::string &out = scratch.empty_with_room(text::sanitized_length(t, scan.length));
    text::append_sanitized_utf8(out, t, scan.length);
    return {out.c_str(), out.size()};
}

std::string column_name(sqlite3_stmt *stmt, int column)
{
    std::string name;
    if (const char *raw = sqlite3_column_name(stmt, column); raw != nullptr)
        text::append_sanitized_utf8(name, raw, std::strlen(raw));
    return name;
}

} // namespace kest
