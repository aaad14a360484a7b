#pragma once
// Runs every statement of an SQL text in order and hands each result row to a sink.
// Both query paths of the library share it, so they agree on order, codes and texts.

#include "kestrune3.h"

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kest {

struct RunOutcome {
    int code = SQLITE_OK; // primary result code
    std::string error;    // the engine's text of the failure; empty when there is none
};

// The SQL to run, as the caller gave it.
struct SqlSource {
    const char *utf8 = nullptr;
    const char16_t *utf16 = nullptr; // converted to UTF-8 once, before the first statement
    bool engine_converts = false;    // the engine's conversion of utf16, or else the library's
};

class RowSink {
public:
    virtual ~RowSink() = default;
    // The first row of a statement is about to arrive.
    virtual void begin_statement(sqlite3_stmt *stmt, int columns) = 0;
    // One row; SQLITE_OK goes on, any other code ends the text with that code.
    virtual int row(sqlite3_stmt *stmt, int columns) = 0;
    // The text of the failure that row() reported, if any.
    virtual std::string stop_text() const { return {}; }
};

// Called between two statements of a text, as the engine's progress handler is called within
// one: a text of many short statements (each too short to reach the handler) stays
// interruptible. A non-zero result ends the text with SQLITE_INTERRUPT.
struct BetweenStatements {
    int (*call)(void *) = nullptr;
    void *arg = nullptr;
};

RunOutcome run_statements(sqlite3 *db, SqlSource sql, RowSink &sink, BetweenStatements between);

// Where the library writes a text of its own making: a cell's (a number, a BLOB's hex form, a
// text with its invalid bytes replaced) or a UTF-16 script's UTF-8. Its room is counted against
// the memory budget while it lives: the hex form of a huge BLOB is twice its size, and it is made
// before anyone copies it.
class CountedText {
public:
    CountedText() = default;
    CountedText(CountedText &&other) noexcept;
    CountedText &operator=(CountedText &&) = delete;
    ~CountedText();
    // The text, emptied, with room for `bytes`; throws std::bad_alloc when the budget refuses.
    std::string &empty_with_room(std::size_t bytes);

private:
    std::string text_;
    int64_t counted_ = 0;
};

// One cell as handed out: its text (valid UTF-8, zero-terminated, "" for NULL) and its KEST_*
// type. A real's text is followed, after its zero, by the 8 bytes of its double.
struct Cell {
    std::string_view text;
    unsigned char type;
    // The bytes that follow the text's zero and belong to the cell: a real's double.
    std::size_t extra_bytes() const { return type == KEST_FLOAT ? sizeof(double) : 0; }
};

// Points into the engine's row (valid until the next step) or into scratch.
Cell cell_text(sqlite3_stmt *stmt, int column, CountedText &scratch);

// A column's name as handed out (valid UTF-8).
std::string column_name(sqlite3_stmt *stmt, int column);

} // namespace kest
