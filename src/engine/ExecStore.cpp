#include "ExecStore.h"

#include <algorithm>
#include <cstring>

namespace kest {
namespace {
constexpr std::size_t TextBlockSize = std::size_t{1} << 20;
constexpr char EmptyText[] = "";
} // namespace

const char *ExecStore::storeText(const char *text, std::size_t length)
{
    if (length == 0)
        return EmptyText;
    if (length > left_) {
        const std::size_t size = std::max(TextBlockSize, length);
        blocks_.push_back(std::unique_ptr<char[]>(new char[size]));
        free_ = blocks_.back().get();
        left_ = size;
    }
    char *stored = free_;
    std::memcpy(stored, text, length);
    free_ += length;
    left_ -= length;
    return stored;
}

void ExecStore::appendRow(const char *const *texts, const int32_t *lengths, int count)
{
    rowStart_.push_back(cells_.size());
    for (int c = 0; c < count; ++c) {
        const auto length = static_cast<uint32_t>(lengths[c]);
        cells_.push_back(storeText(texts[c], length));
        lengths_.push_back(length);
    }
    widest_ = std::max(widest_, count);
}

void ExecStore::clear()
{
    blocks_.clear();
    blocks_.shrink_to_fit();
    free_ = nullptr;
    left_ = 0;
    cells_.clear();
    lengths_.clear();
    rowStart_.clear();
    widest_ = 0;
}

} // namespace kest
