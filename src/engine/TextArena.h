#pragma once
// Cell texts kept as UTF-8 in a few large buffers, so that a list of hundreds of thousands of
// rows costs a handful of allocations instead of one string per cell.

#include "MemoryBudget.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace kest {

class TextArena {
public:
    // Where a text lies; a default Span is the empty text.
    struct Span {
        uint32_t buffer = 0;
        uint32_t offset = 0;
        uint32_t length = 0;
    };

    static constexpr std::size_t BufferSize = std::size_t{1} << 20;

    // Buffers from now on are counted against `budget`.
    void drawFrom(MemoryBudget *budget) noexcept { budget_ = budget; }
    // Texts longer than 4 GiB are cut to that length (a cell that large cannot be shown anyway).
    // Throws std::bad_alloc when the budget refuses a new buffer.
    Span store(std::string_view text);
    std::string_view text(Span span) const noexcept;
    void clear() noexcept;
    std::size_t bufferCount() const noexcept { return buffers_.size(); }

private:
    std::vector<BudgetedArray<char>> buffers_;
    MemoryBudget *budget_ = nullptr;
    std::size_t shared_ = 0;     // the buffer that takes short texts, valid when used_ > 0
    std::size_t used_ = 0;       // bytes used in it; 0 also means there is none yet
};

} // namespace kest
