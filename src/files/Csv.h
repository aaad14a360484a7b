#pragma once
// The CSV export of stored query rows: every cell in double quotes, an embedded double
// quote doubled, a comma between cells, CR LF after every line, no header line, UTF-8.
// Any CSV reader gets the cells back exactly.

#include "CellValue.h"

#include <QIODevice>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace kest {

// Formats rows as CSV, gathering the text in large blocks (an export runs to millions of cells,
// and a write per cell would cost more than the formatting) that it hands to `write`, which
// returns false when it could not take a block whole. Each call returns false once a write failed.
class CsvFormatter {
public:
    using Sink = std::function<bool(const char *data, std::size_t size)>;
    explicit CsvFormatter(Sink write);
    ~CsvFormatter();
    CsvFormatter(const CsvFormatter &) = delete;
    CsvFormatter &operator=(const CsvFormatter &) = delete;

    // The next cell of the row.
    bool cell(std::string_view text);
    // Ends the row: a row without cells gives an empty line.
    bool endRow();
    // A whole row of `count` texts of the given lengths in bytes.
    bool row(const char *const *texts, const int32_t *lengths, int count);
    // Hands the gathered text to `write`.
    bool flush();
    // Bytes gathered and not yet handed on.
    std::size_t gathered() const;

    class Blocks; // where the text gathers

private:
    std::unique_ptr<Blocks> blocks_;
    bool rowBegun_ = false;
};

// Rows to export, as the row store holds them. Rows may differ in width.
class CsvRows {
public:
    virtual ~CsvRows() = default;
    virtual int64_t rowCount() const = 0;
    virtual int columnCount(int64_t row) const = 0;
    // The cell's text as UTF-8 bytes; valid until the next call.
    virtual std::string_view cell(int64_t row, int column) const = 0;
    // The cell with its storage class, for the formats that keep types; rows that hold texts
    // alone give every cell as a text.
    virtual CellValue value(int64_t row, int column) const { return {cell(row, column)}; }
};

// How often an export lets pending window messages run: once per this many rows, since
// one pass of the event loop costs far more than writing a row.
inline constexpr int64_t DefaultRowsBetweenMessages = 4096;

// Writes rows 0 .. rowCount()-1 (the count read once, at the start) to `out`, calling
// `letMessagesRun`, when given, after every `rowsBetweenMessages` rows. A row without cells
// gives an empty line. Returns false as soon as a write fails.
bool WriteCsv(QIODevice &out, const CsvRows &rows, const std::function<void()> &letMessagesRun = {},
              int64_t rowsBetweenMessages = DefaultRowsBetweenMessages);

} // namespace kest
