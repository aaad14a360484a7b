// Writes rows of cells made from the input with kest::WriteCsv and reads them back with a
// strict reader of the promised form: every cell quoted, quotes doubled, commas between cells,
// CR LF after every row (a row without cells is an empty line). Any bytes must come back as
// they were, invalid UTF-8 and zero bytes included: the writer copies cells unchecked.
//
// One input in 8 puts a first row of one long cell in front that ends near the writer's 1 MiB
// block, so that the cells after it meet the block's end; some write into a device that
// refuses what passes its capacity: the writer must then fail, and only then.

#include "FuzzCheck.h"

#include "Csv.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <deque>

namespace {

struct Rows : kest::CsvRows {
    std::vector<std::vector<std::string_view>> cells;
    int64_t rowCount() const override { return int64_t(cells.size()); }
    int columnCount(int64_t row) const override { return int(cells[size_t(row)].size()); }
    std::string_view cell(int64_t row, int column) const override { return cells[size_t(row)][size_t(column)]; }
};

// Kept from input to input, as the long cell is: megabytes of fresh memory every time would cost
// more in page faults than all the rest.
struct Device : QIODevice {
    Device() { open(QIODevice::WriteOnly); }
    std::string written;
    qint64 capacity = 0;
    bool refused = false;
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        FUZZ_CHECK(!refused); // a failed write ends the export
        refused = qint64(written.size()) + size > capacity;
        return refused ? -1 : (written.append(data, size_t(size)), size);
    }
} device;
const std::string longCell((1 << 20) + 600, 'x'); // its ends within 600 bytes either side of 1 MiB

// The strict reader: it takes the promised form and nothing else, and compares each cell it reads
// with the one written (so that a megabyte cell needs no copy).
FUZZ_NO_COVERAGE bool readsBackAs(std::string_view csv, const Rows &rows)
{
    const auto skip = [](std::string_view &text, std::string_view part) {
        return text.starts_with(part) && (text.remove_prefix(part.size()), true);
    };
    for (const auto &row : rows.cells) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            std::string_view cell = row[column];
            if (!skip(csv, column == 0 ? "\"" : ",\""))
                return false;
            for (bool more = true; more;) { // up to a quote: doubled it is part of the cell, single it ends it
                const std::size_t quote = csv.find('"');
                if (quote == csv.npos || !skip(cell, csv.substr(0, quote)))
                    return false;
                csv.remove_prefix(quote + 1);
                if ((more = skip(csv, "\"")) && !skip(cell, "\""))
                    return false;
            }
            if (!cell.empty())
                return false;
        }
        if (!skip(csv, "\r\n"))
            return false;
    }
    return csv.empty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    Rows rows;
    if (input.ConsumeIntegralInRange(0, 7) == 0) // seldom: filling a block costs more than the rest of a run
        rows.cells.push_back({std::string_view(longCell).substr(input.ConsumeIntegralInRange(0, 1200))});
    const qint64 limit = rows.cells.empty() ? 4096 : 2 << 20;
    device.capacity = input.ConsumeBool() ? input.ConsumeIntegralInRange<qint64>(0, limit) : INT64_MAX;
    const int64_t rowsBetweenMessages = input.ConsumeIntegralInRange<int64_t>(1, 8);
    std::deque<std::string> texts; // the cells' bytes, where the rows point
    while (input.remaining_bytes() > 0)
        for (std::string_view &cell : rows.cells.emplace_back(input.ConsumeIntegralInRange<std::size_t>(0, 6)))
            cell = texts.emplace_back(input.ConsumeRandomLengthString(64));

    device.written.clear();
    device.refused = false;
    int64_t calls = 0;
    const bool written = kest::WriteCsv(device, rows, [&] { ++calls; }, rowsBetweenMessages);
    FUZZ_CHECK(written == !device.refused);
    if (written)
        FUZZ_CHECK(calls == int64_t(rows.cells.size()) / rowsBetweenMessages && readsBackAs(device.written, rows));
    return 0;
}
