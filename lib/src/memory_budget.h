#pragma once
// The process's memory budget: what results and the engine's work may hold before a query
// ends with "out of memory". Linux seldom fails an allocation; it kills a process instead, so
// the library counts what results hold and refuses to go past the room that is really free.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kest::budget {

// What results may hold in all, as measured now (see kestrune3.h); INT64_MAX when nothing
// limits the process.
int64_t bytes() noexcept;

// Counts `n` more bytes as held by the library, memory it takes at once (and which the
// measured room then no longer shows as free); false, counting nothing, when that would pass
// the budget.
bool take(int64_t n) noexcept;
// As take(), but throws std::bad_alloc when refused.
void take_or_throw(int64_t n);
// Gives back at most what is held: the count never goes below zero.
void give(int64_t n) noexcept;

// Counts `n` more bytes as promised to a caller (kest_memory_take): memory not taken yet, so
// the measured room still shows it as free and it must fit beside everything held. False,
// counting nothing, when it does not.
bool promise(int64_t n) noexcept;
// Gives back at most what is promised.
void unpromise(int64_t n) noexcept;

// Whether the engine's heap, grown during a statement, still fits beside what results hold.
// Cheap enough for the progress hook: it measures the room again only after growth or time.
bool engine_fits() noexcept;
// The longest text or blob the engine may build now (a bound for SQLite's per-connection
// length limit); INT64_MAX when nothing limits the process.
int64_t longest_value() noexcept;

// "123", "512M", "2G" (K, M and G are powers of 1024, either case); nothing else.
std::optional<int64_t> parse_bytes(std::string_view text) noexcept;

} // namespace kest::budget
