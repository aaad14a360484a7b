#include "ExecStore.h"

#include <algorithm>

namespace kest {

void ExecStore::drawFrom(MemoryBudget *budget) noexcept
{
    texts_.drawFrom(budget);
    cells_.drawFrom(budget);
    rowStart_.drawFrom(budget);
}

void ExecStore::appendRow(const char *const *texts, const int32_t *lengths, int count)
{
    // A row refused halfway is taken back whole, so the row before still ends where it did.
    const std::size_t start = cells_.size();
    try {
        for (int c = 0; c < count; ++c)
            cells_.push_back(texts_.store(std::string_view(texts[c], static_cast<std::size_t>(lengths[c]))));
        rowStart_.push_back(start);
    } catch (...) {
        cells_.truncate(start);
        throw;
    }
    widest_ = std::max(widest_, count);
}

void ExecStore::clear()
{
    texts_.clear();
    cells_.clear();
    rowStart_.clear();
    widest_ = 0;
}

} // namespace kest
