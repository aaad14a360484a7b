#pragma once
// The one resize rule of `MainWindow`: only the results list follows the window's outer (frame)
// size, growing and shrinking with it.

#include <QSize>

namespace kest {

// Taken off the window's outer width and height for the results list.
inline constexpr int ListWidthMarginTwips = 400;
inline constexpr int ListHeightMarginTwips = 3400;

// The list's new size: the outer size less the margins. A size that would come out negative (a
// tiny or minimised window) is skipped in that dimension, so the list keeps what it had then and
// follows again when the window is restored.
QSize resizedList(QSize list, QSize outer);

} // namespace kest
