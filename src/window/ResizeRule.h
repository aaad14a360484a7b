#pragma once
// The one resize rule of `frmMain`: only the results list follows the window, and only while it
// is smaller than the window's outer (frame) size.

#include <QSize>

namespace kest {

// Taken off the window's outer width and height for the results list.
inline constexpr int ListWidthMarginTwips = 400;
inline constexpr int ListHeightMarginTwips = 3400;

// The list's new size. Each dimension is compared with the window, not with the margin, so a
// window shrunk in one step below the list's size leaves that dimension as it was (the list then
// reaches beyond the window's edge). A size that would come out negative (a tiny or minimised
// window) is skipped in that dimension, as the failing step was.
QSize resizedList(QSize list, QSize outer);

} // namespace kest
