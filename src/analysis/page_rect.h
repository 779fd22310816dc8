#pragma once
// A pixel rectangle of the strip pages with the old GDI meaning: right and
// bottom are exclusive. It converts to QRect only for drawing.

#include "core/int_limits.h"

#include <QRect>

#include <algorithm>
#include <cstdint>
#include <utility>

namespace bc {

// Page pixels beyond this lie off every page. Painters hold coordinates to it
// before they build rectangles, so no sum inside a rectangle overflows,
// whatever sizes and positions a damaged file carries.
constexpr int kPaintLimit = 1 << 24;

inline int paintClamp(int64_t v)
{
    return int(std::clamp<int64_t>(v, -kPaintLimit, kPaintLimit));
}

// The rectangle from (left, top) to (right, bottom), both exclusive, held to
// the painting range.
inline QRect paintRect(int64_t left, int64_t top, int64_t right, int64_t bottom)
{
    const int l = paintClamp(left);
    const int t = paintClamp(top);
    return QRect(l, t, paintClamp(right) - l, paintClamp(bottom) - t);
}

// The rectangle of `width` by `height` at (x, y), held to the painting range.
inline QRect paintRectSized(int64_t x, int64_t y, int64_t width, int64_t height)
{
    return paintRect(x, y, x + width, y + height);
}

struct PageRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool isEmpty() const { return right <= left || bottom <= top; }
    // PtInRect: left and top inclusive, right and bottom exclusive.
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    PageRect normalized() const
    {
        PageRect r = *this;
        if (r.left > r.right)
            std::swap(r.left, r.right);
        if (r.top > r.bottom)
            std::swap(r.top, r.bottom);
        return r;
    }
    QRect toQRect() const { return paintRect(left, top, right, bottom); }
    bool operator==(const PageRect&) const = default;
};

} // namespace bc
