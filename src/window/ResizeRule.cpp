#include "ResizeRule.h"

#include "FormDesign.h"

namespace kest {

namespace {

// The outer size less the margin, in whole pixels; negative when it cannot be applied.
int shrunk(int outerPixels, int marginTwips)
{
    return design::toPixels(outerPixels * design::TwipsPerPixel - marginTwips);
}

} // namespace

QSize resizedList(QSize list, QSize outer)
{
    QSize result = list;
    if (const int width = shrunk(outer.width(), ListWidthMarginTwips); width >= 0)
        result.setWidth(width);
    if (const int height = shrunk(outer.height(), ListHeightMarginTwips); height >= 0)
        result.setHeight(height);
    return result;
}

} // namespace kest
