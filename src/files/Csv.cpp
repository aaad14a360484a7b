#include "Csv.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace kest {

// Gathers output into large blocks. The first block is small, so that a small export maps no
// fresh memory; the first flush brings the large one.
class CsvFormatter::Blocks {
public:
    explicit Blocks(Sink write) : write_(std::move(write)), block_(std::make_unique_for_overwrite<char[]>(capacity_)) {}

    bool put(const char *data, size_t size)
    {
        if (size > capacity_ - used_) {
            if (!flushFull())
                return false;
            if (size > capacity_)
                return writeAll(data, size);
        }
        std::memcpy(block_.get() + used_, data, size);
        used_ += size;
        return true;
    }

    bool put(char c)
    {
        if (used_ == capacity_ && !flushFull())
            return false;
        block_[used_++] = c;
        return true;
    }

    // Room left in the block, and direct writing into it for a caller that checked the room.
    size_t room() const { return capacity_ - used_; }
    size_t used() const { return used_; }
    char *cursor() { return block_.get() + used_; }
    void advanceTo(const char *end) { used_ = size_t(end - block_.get()); }

    bool flush()
    {
        const bool ok = writeAll(block_.get(), used_);
        used_ = 0;
        return ok;
    }

private:
    // A full block is written; a small one is replaced by a large one, as the export is large.
    bool flushFull()
    {
        const bool ok = flush();
        if (capacity_ < LargeCapacity) {
            block_ = std::make_unique_for_overwrite<char[]>(LargeCapacity);
            capacity_ = LargeCapacity;
        }
        return ok;
    }

    static constexpr size_t LargeCapacity = size_t(1) << 20;

    bool writeAll(const char *data, size_t size) { return size == 0 || write_(data, size); }

    Sink write_;
    size_t capacity_ = size_t(1) << 16;
    std::unique_ptr<char[]> block_;
    size_t used_ = 0;
};

namespace {

// Cells up to this length are copied byte by byte; a search for quotes costs more than that.
constexpr size_t ShortCell = 32;

bool putQuotedCell(CsvFormatter::Blocks &writer, std::string_view cell)
{
    // Most cells are short: written straight into the block when even a cell of nothing but
    // quotes would fit.
    if (cell.size() <= ShortCell && writer.room() >= 2 * cell.size() + 2) {
        char *out = writer.cursor();
        *out++ = '"';
        for (const char c : cell) {
            *out++ = c;
            if (c == '"')
                *out++ = '"';
        }
        *out++ = '"';
        writer.advanceTo(out);
        return true;
    }
    if (!writer.put('"'))
        return false;
    // Copy the runs between double quotes whole and double each quote.
    for (;;) {
        const auto quote = static_cast<const char *>(std::memchr(cell.data(), '"', cell.size()));
        if (!quote)
            break;
        const size_t run = size_t(quote - cell.data()) + 1;
        if (!writer.put(cell.data(), run) || !writer.put('"'))
            return false;
        cell.remove_prefix(run);
    }
    return writer.put(cell.data(), cell.size()) && writer.put('"');
}

} // namespace

CsvFormatter::CsvFormatter(Sink write) : blocks_(std::make_unique<Blocks>(std::move(write))) {}

CsvFormatter::~CsvFormatter() = default;

bool CsvFormatter::cell(std::string_view text)
{
    if (rowBegun_ && !blocks_->put(','))
        return false;
    rowBegun_ = true;
    return putQuotedCell(*blocks_, text);
}

bool CsvFormatter::endRow()
{
    rowBegun_ = false;
    return blocks_->put("\r\n", 2);
}

bool CsvFormatter::row(const char *const *texts, const int32_t *lengths, int count)
{
    for (int c = 0; c < count; ++c)
        if (!cell({texts[c], size_t(lengths[c])}))
            return false;
    return endRow();
}

bool CsvFormatter::flush()
{
    return blocks_->flush();
}

std::size_t CsvFormatter::gathered() const
{
    return blocks_->used();
}

bool WriteCsv(QIODevice &out, const CsvRows &rows, const std::function<void()> &letMessagesRun,
              int64_t rowsBetweenMessages)
{
    CsvFormatter csv([&out](const char *data, size_t size) { return out.write(data, qint64(size)) == qint64(size); });
    const int64_t rowCount = rows.rowCount();
    const int64_t messageInterval = std::max<int64_t>(rowsBetweenMessages, 1);
    int64_t rowsSinceMessages = 0;
    for (int64_t row = 0; row < rowCount; ++row) {
        const int columns = rows.columnCount(row);
        for (int column = 0; column < columns; ++column)
            if (!csv.cell(rows.cell(row, column)))
                return false;
        if (!csv.endRow())
            return false;
        if (letMessagesRun && ++rowsSinceMessages == messageInterval) {
            rowsSinceMessages = 0;
            letMessagesRun();
        }
    }
    return csv.flush();
}

} // namespace kest
