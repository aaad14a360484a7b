#pragma once
// Counting over a long text (a gigabyte of it) in milliseconds: each count is summed a run of 64
// places at a time into a byte-sized sum, a loop the compiler runs on many places at once, where
// a 64-bit sum per place runs one place at a time.

#include <QtGlobal>

#include <array>
#include <cstddef>

namespace kest {

// The `Counts` sums of `add(i, sums)` over the places `from` to `to`. `add` adds at most 3 to
// any one sum at a place, so that a run's byte-sized sums stay below 256; `sums` is an array of
// `Counts` integers.
template <std::size_t Counts, typename Add>
std::array<qint64, Counts> CountInRuns(qsizetype from, qsizetype to, const Add &add)
{
    constexpr int Run = 64;
    std::array<qint64, Counts> total{};
    qsizetype i = from;
    for (; i + Run <= to; i += Run) {
        std::array<unsigned char, Counts> run{};
        for (int j = 0; j < Run; ++j)
            add(i + j, run);
        for (std::size_t k = 0; k < Counts; ++k)
            total[k] += run[k];
    }
    for (; i < to; ++i)
        add(i, total);
    return total;
}

} // namespace kest
