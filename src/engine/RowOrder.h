#pragma once
// The engine's own order of values, as ORDER BY with the BINARY collation sorts them: NULL first,
// then numbers by value (integers and reals together, compared exactly), then texts byte by byte,
// then BLOBs byte by byte. The results list sorts its rows shown by it.

#include "CellValue.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

namespace kest {

// The rows 0 .. rows-1 in the order of the values `valueOf` gives for them, the reverse order of
// values when `descending`; rows of equal values keep their order either way. `valueOf` is
// called once a row, from this thread. When `cancelled` becomes true meanwhile, the sort ends
// soon and gives no rows.
// What SortedRows holds for each row while it runs: its key and the row it gives.
std::size_t SortBytesPerRow() noexcept;

std::vector<int> SortedRows(int rows, const std::function<CellValue(int)> &valueOf, bool descending,
                            const std::atomic<bool> &cancelled);

} // namespace kest
