#pragma once
// The CSV export of stored query rows: every cell in double quotes, an embedded double
// quote doubled, a comma between cells, CR LF after every line, no header line, UTF-8.
// Any CSV reader gets the cells back exactly.

#include <QIODevice>
#include <QString>

#include <cstdint>
#include <functional>
#include <string_view>

namespace kest {

// Rows to export, as the row store holds them. Rows may differ in width.
class CsvRows {
public:
    virtual ~CsvRows() = default;
    virtual int64_t rowCount() const = 0;
    virtual int columnCount(int64_t row) const = 0;
    // The cell's text as UTF-8 bytes; valid until the next call.
    virtual std::string_view cell(int64_t row, int column) const = 0;
};

// How often an export lets pending window messages run: once per this many rows, since
// one pass of the event loop costs far more than writing a row.
inline constexpr int64_t DefaultRowsBetweenMessages = 4096;

// Writes rows 0 .. rowCount()-1 (the count read once, at the start) to `out`, calling
// `letMessagesRun`, when given, after every `rowsBetweenMessages` rows. A row without cells
// gives an empty line. Returns false as soon as a write fails.
bool WriteCsv(QIODevice &out, const CsvRows &rows, const std::function<void()> &letMessagesRun = {},
              int64_t rowsBetweenMessages = DefaultRowsBetweenMessages);

// WriteCsv to the file `fileName`, replacing it only when every row was written: a failed
// export leaves any earlier file byte for byte as it was, and the result is false.
bool SaveCSV(const QString &fileName, const CsvRows &rows, const std::function<void()> &letMessagesRun = {},
             int64_t rowsBetweenMessages = DefaultRowsBetweenMessages);

} // namespace kest
