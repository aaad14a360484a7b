#include "ExecStore.h"

#include <algorithm>
#include <cstring>

namespace kest {
namespace {
constexpr std::size_t TextBlockSize = std::size_t{1} << 20;
constexpr char EmptyText[] = "";
} // namespace

const char *ExecStore::storeText(const char *text)
{
    const std::size_t length = std::strlen(text);
    if (length == 0)
        return EmptyText;
    const std::size_t need = length + 1;
    if (need > left_) {
        const std::size_t size = std::max(TextBlockSize, need);
        blocks_.push_back(std::unique_ptr<char[]>(new char[size]));
        free_ = blocks_.back().get();
        left_ = size;
    }
    char *stored = free_;
    std::memcpy(stored, text, need);
    free_ += need;
    left_ -= need;
    return stored;
}

void ExecStore::appendRow(const char *const *texts, int count)
{
    rowStart_.push_back(cells_.size());
    for (int c = 0; c < count; ++c)
        cells_.push_back(storeText(texts[c]));
    widest_ = std::max(widest_, count);
}

void ExecStore::clear()
{
    blocks_.clear();
    blocks_.shrink_to_fit();
    free_ = nullptr;
    left_ = 0;
    cells_.clear();
    rowStart_.clear();
    widest_ = 0;
}

int ExecStore::columnCount(int64_t row) const
{
    const auto r = static_cast<std::size_t>(row);
    const std::size_t end = r + 1 < rowStart_.size() ? rowStart_[r + 1] : cells_.size();
    return static_cast<int>(end - rowStart_[r]);
}

std::string_view ExecStore::cell(int64_t row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount(row))
        return {};
    return cells_[rowStart_[static_cast<std::size_t>(row)] + static_cast<std::size_t>(column)];
}

} // namespace kest
