#include "TextArena.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kest {

TextArena::Span TextArena::store(std::string_view text)
{
    if (text.empty())
        return {};
    const std::size_t length =
        std::min<std::size_t>(text.size(), std::numeric_limits<uint32_t>::max());
    if (length > BufferSize / 4) {
        // A long text gets its own buffer, so it does not waste the rest of a shared one.
        buffers_.push_back(AllocateBudgeted<char>(budget_, length));
        std::memcpy(buffers_.back().get(), text.data(), length);
        return {static_cast<uint32_t>(buffers_.size() - 1), 0, static_cast<uint32_t>(length)};
    }
    if (used_ == 0 || used_ + length > BufferSize) {
        buffers_.push_back(AllocateBudgeted<char>(budget_, BufferSize));
        shared_ = buffers_.size() - 1;
        used_ = 0;
    }
    std::memcpy(buffers_[shared_].get() + used_, text.data(), length);
    const Span span{static_cast<uint32_t>(shared_), static_cast<uint32_t>(used_),
                    static_cast<uint32_t>(length)};
    used_ += length;
    return span;
}

std::string_view TextArena::text(Span span) const noexcept
{
    if (span.length == 0)
        return {};
    return {buffers_[span.buffer].get() + span.offset, span.length};
}

void TextArena::clear() noexcept
{
    buffers_.clear();
    shared_ = 0;
    used_ = 0;
}

} // namespace kest
