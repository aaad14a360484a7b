#pragma once
// The process's memory budget: what results may hold before a query ends with "out of memory".
// Linux seldom fails an allocation; it kills the process instead, so the library counts what
// results hold and refuses to go past what the process may really use.

#include <cstdint>

namespace kest::budget {

// The budget in bytes, decided once, at the first call (see kestrune3.h).
int64_t bytes() noexcept;

// Counts `n` more bytes as held; false, counting nothing, when that would pass the budget.
bool take(int64_t n) noexcept;
// As take(), but throws std::bad_alloc when refused.
void take_or_throw(int64_t n);
void give(int64_t n) noexcept;

} // namespace kest::budget
