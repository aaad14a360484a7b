#pragma once
// Qt finds where to break a line at words in time that grows with the square of its length when
// the line has no place to break (a megabyte of hex): a line longer than this, in the query
// window or the cell viewer, is broken anywhere instead, in time that grows with its length.

namespace kest {

inline constexpr int LongestWordWrappedLine = 10000;

} // namespace kest
