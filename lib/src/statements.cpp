#include "statements.h"

#include "memory_budget.h"
#include "text.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
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

// The engine's own UTF-8 for a UTF-16 script of `units` units, appended to `utf8`, made once:
// compiling UTF-16 itself, the engine converts all the text it is given again for each statement
// it takes from it. It converts as it does to compile UTF-16 (a value's change of encoding), a
// slice at a time, each slice ending where the whole text's conversion would be: never on a unit
// that takes the next one with it.
// 512 KiB a slice: below the least bound the budget sets on the engine's values.
constexpr std::size_t SliceUnits = std::size_t(1) << 18;

bool takes_next(char16_t unit) { return unit >= 0xD800 && unit < 0xE000; }

int engine_utf8(sqlite3 *db, const char16_t *utf16, std::size_t units, std::string &utf8)
{
    sqlite3_stmt *raw = nullptr;
    int rc = sqlite3_prepare_v3(db, "SELECT ?1", -1, 0, &raw, nullptr);
    const StmtPtr convert(raw);
    std::u16string marked;
    for (std::size_t at = 0; rc == SQLITE_OK && at < units;) {
        // Surrogates pair up from the start of their run, which the cut before `at` did not split.
        std::size_t end = std::min(units, at + SliceUnits), run = 0;
        while (end - run > at && takes_next(utf16[end - run - 1]))
            ++run;
        if (run % 2 == 1 && end < units)
            ++end;
        // The engine takes a value's leading U+FEFF or U+FFFE for a byte-order mark: dropped, or
        // the rest read swapped. A slice that starts with one goes with a mark of our own order
        // in front, which is the one dropped.
        std::u16string_view slice(utf16 + at, end - at);
        if (slice.front() == 0xFEFF || slice.front() == 0xFFFE)
            slice = marked.assign(1, u'\uFEFF').append(slice);
        const auto bytes = static_cast<int>(slice.size() * sizeof(char16_t));
        rc = sqlite3_bind_text16(raw, 1, slice.data(), bytes, SQLITE_STATIC);
        if (rc == SQLITE_OK && (rc = sqlite3_step(raw)) == SQLITE_ROW) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(raw, 0));
            if (text == nullptr && sqlite3_errcode(db) == SQLITE_NOMEM)
                return SQLITE_NOMEM;
            utf8.append(text != nullptr ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(raw, 0)));
            rc = sqlite3_reset(raw);
        }
        at = end;
    }
    return rc;
}

// Prepares the statement at the front of sql and moves sql past it. The statement is null
// when only blanks or a comment were left.
int prepare_next(sqlite3 *db, const char *&sql, StmtPtr &stmt)
{
    sqlite3_stmt *raw = nullptr;
    const char *tail = nullptr;
    const int rc = sqlite3_prepare_v3(db, sql, -1, 0, &raw, &tail);
    sql = tail != nullptr && tail != sql ? tail : kEmpty;
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
    CountedText converted; // the UTF-8 of a UTF-16 script, for the length of the run
    if (sql.utf16 != nullptr) {
        try {
            // Counted before it is made (a script's may be hundreds of megabytes) by the library's
            // measure; the engine's is never longer, as it takes the next unit along with a lone
            // surrogate into one code point.
            const text::Utf16Measure measured = text::measure_utf16(sql.utf16);
            std::string &utf8 = converted.empty_with_room(measured.utf8_bytes + 1);
            if (!sql.engine_converts)
                text::append_utf16_as_utf8(utf8, sql.utf16, measured);
            else if (const int rc = engine_utf8(db, sql.utf16, measured.units, utf8); rc != SQLITE_OK)
                return failure(db, rc);
            sql.utf8 = utf8.c_str();
        } catch (const std::bad_alloc &) {
            return RunOutcome{SQLITE_NOMEM, "out of memory"};
        }
    }
    for (bool first = true; *sql.utf8 != '\0'; first = false) {
        if (!first && between.call != nullptr && between.call(between.arg) != 0)
            return RunOutcome{SQLITE_INTERRUPT, {}};
        StmtPtr stmt;
        const int prepared = prepare_next(db, sql.utf8, stmt);
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

CountedText::CountedText(CountedText &&other) noexcept
    : text_(std::move(other.text_)), counted_(std::exchange(other.counted_, 0))
{
}

CountedText::~CountedText()
{
    budget::give(counted_);
}

std::string &CountedText::empty_with_room(std::size_t bytes)
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

Cell cell_text(sqlite3_stmt *stmt, int column, CountedText &scratch)
{
    // One lookup of the cell, then the value's own accessors: the column functions would look
    // the cell up again on every call. The value is read at once, on the statement's thread.
    sqlite3_value *value = sqlite3_column_value(stmt, column);
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_NULL)
        return {{kEmpty, 0}, KEST_NULL};
    if (type == SQLITE_BLOB) {
        const void *bytes = sqlite3_value_blob(value);
        const auto n = static_cast<std::size_t>(sqlite3_value_bytes(value));
        const bool as_text = text::blob_as_text(bytes, n);
        std::string &out = scratch.empty_with_room(text::blob_text_length(n, as_text));
        text::append_blob_text(out, bytes, n, as_text);
        return {{out.c_str(), out.size()}, static_cast<unsigned char>(as_text ? KEST_BLOB : KEST_BLOB | KEST_HEX_FORM)};
    }
    if (type == SQLITE_INTEGER) {
        // Written here in the engine's own form, plain decimal: asking the engine for the text
        // converts the cell in place and measures it again, which made reading a wide join of
        // numbers a fifth slower.
        std::string &out = scratch.empty_with_room(Int64Digits);
        out.resize(Int64Digits);
        const auto end = std::to_chars(out.data(), out.data() + Int64Digits, sqlite3_value_int64(value)).ptr;
        out.resize(static_cast<std::size_t>(end - out.data()));
        return {{out.c_str(), out.size()}, KEST_INTEGER};
    }
    const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(value));
    if (t == nullptr) {
        // No text for a number or a text means the engine could not allocate its copy.
        if (sqlite3_errcode(sqlite3_db_handle(stmt)) == SQLITE_NOMEM)
            throw std::bad_alloc();
        return {{kEmpty, 0}, static_cast<unsigned char>(type == SQLITE_FLOAT ? KEST_NULL : KEST_TEXT)};
    }
    const auto n = static_cast<std::size_t>(sqlite3_value_bytes(value));
    if (type == SQLITE_FLOAT) {
        // The engine's 15 digits, then the double itself behind the zero, for those who need
        // it exactly.
        const double real = sqlite3_value_double(value);
        std::string &out = scratch.empty_with_room(n + 1 + sizeof real);
        out.assign(t, n);
        out += '\0';
        out.append(reinterpret_cast<const char *>(&real), sizeof real);
        return {{out.data(), n}, KEST_FLOAT};
    }
    // A text holding a zero byte ends there, as every C text does.
    const text::TextScan scan = text::scan_text(t, n);
    if (scan.valid)
        return {{t, scan.length}, KEST_TEXT};
    std::string &out = scratch.empty_with_room(text::sanitized_length(t, scan.length));
    text::append_sanitized_utf8(out, t, scan.length);
    return {{out.c_str(), out.size()}, KEST_TEXT};
}

std::string column_name(sqlite3_stmt *stmt, int column)
{
    std::string name;
    if (const char *raw = sqlite3_column_name(stmt, column); raw != nullptr)
        text::append_sanitized_utf8(name, raw, std::strlen(raw));
    return name;
}

} // namespace kest
