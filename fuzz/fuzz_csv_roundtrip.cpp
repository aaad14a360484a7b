// Writes rows of cells made from the input with kest::WriteCsv and reads them back with the
// strict RFC 4180 reader of the tests: they must come back equal, byte for byte.
//
// The writer copies cell bytes as they are and checks nothing (the rows it is given are valid
// UTF-8 already: the library hands out nothing else). So its promise is stronger than "valid
// UTF-8 comes back": any bytes do, invalid UTF-8 and zero bytes included, and that is what is
// checked. A row without cells is written as an empty line, which CSV cannot tell from a row
// of one empty cell; that is the one expected change.
//
// Some inputs write into a device that fails once full: the writer must then say so exactly
// when the output does not fit, and what reached the device must be the start of the output.

#include "FuzzCheck.h"

#include "Csv.h"
#include "CsvReader.h"
#include "WriteFailures.h"

#include <QBuffer>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxRows = 20000;
constexpr std::size_t kMaxBytes = std::size_t(3) << 19; // 1.5 MiB: beyond the writer's 1 MiB block

class Rows : public kest::CsvRows {
public:
    explicit Rows(const std::vector<CsvRecord> &rows) : rows_(rows) {}
    int64_t rowCount() const override { return int64_t(rows_.size()); }
    int columnCount(int64_t row) const override { return int(rows_[size_t(row)].size()); }
    std::string_view cell(int64_t row, int column) const override { return rows_[size_t(row)][size_t(column)]; }

private:
    const std::vector<CsvRecord> &rows_;
};

std::size_t quotedSize(const std::string &cell)
{
    // memchr rather than a loop here: the harness's own compares would crowd the fuzzer's tables.
    std::size_t quotes = 0;
    for (const char *p = cell.data(), *end = p + cell.size();
         (p = static_cast<const char *>(std::memchr(p, '"', std::size_t(end - p)))) != nullptr; ++p)
        ++quotes;
    return cell.size() + quotes + 2;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool intoFullDevice = input.ConsumeBool();
    const qint64 capacity = input.ConsumeIntegralInRange<qint64>(0, qint64(2) << 20);
    const int64_t rowsBetweenMessages = input.ConsumeIntegralInRange<int64_t>(1, 8);

    std::vector<CsvRecord> rows;
    std::size_t totalBytes = 0;
    while (input.remaining_bytes() > 0 && rows.size() < kMaxRows && totalBytes < kMaxBytes) {
        CsvRecord row(input.ConsumeIntegralInRange<std::size_t>(0, 6));
        for (std::string &cell : row) {
            if (input.ConsumeIntegralInRange(0, 31) == 0) {
                // A long cell: a short piece many times, so blocks fill and split inside it.
                const std::string piece = input.ConsumeRandomLengthString(8);
                const std::size_t times = input.ConsumeIntegralInRange<std::size_t>(1, 1 << 17);
                for (std::size_t i = 0; i < times && cell.size() < kMaxBytes; ++i)
                    cell += piece;
            } else {
                cell = input.ConsumeRandomLengthString(64);
            }
            totalBytes += cell.size();
        }
        rows.push_back(std::move(row));
    }

    std::size_t expectedSize = 0;
    std::vector<CsvRecord> expected = rows;
    for (CsvRecord &row : expected) {
        for (const std::string &cell : row)
            expectedSize += quotedSize(cell) + 1;
        expectedSize += row.empty() ? 2 : 1; // CR LF, less the comma not written before the first cell
        if (row.empty())
            row.push_back({});
    }

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    int64_t calls = 0;
    FUZZ_CHECK(kest::WriteCsv(buffer, Rows(rows), [&] { ++calls; }, rowsBetweenMessages));
    FUZZ_CHECK(calls == int64_t(rows.size()) / rowsBetweenMessages);
    const QByteArray &csv = buffer.data();
    FUZZ_CHECK(std::size_t(csv.size()) == expectedSize);
    const auto readBack = ReadCsv(csv);
    FUZZ_CHECK(readBack.has_value());
    FUZZ_CHECK(*readBack == expected);

    if (intoFullDevice) {
        FullDevice device(capacity);
        const bool written = kest::WriteCsv(device, Rows(rows));
        FUZZ_CHECK(written == (qint64(expectedSize) <= capacity));
        FUZZ_CHECK(device.written.size() <= capacity);
        FUZZ_CHECK(csv.startsWith(device.written));
    }
    return 0;
}
