#pragma once
// A pixel rectangle of the strip pages with the old GDI meaning: right and
// bottom are exclusive. It converts to QRect only for drawing.

#include <QRect>

#include <cmath>
#include <cstdint>
#include <limits>

namespace bc {

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
    QRect toQRect() const { return QRect(left, top, right - left, bottom - top); }
    bool operator==(const PageRect&) const = default;
};

// Float to int conversion toward zero, as the drawing and attitude rules
// require. Values beyond the int range saturate and NaN gives 0, so hostile
// coordinates from a file cannot make the conversion undefined.
inline int truncToInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return std::numeric_limits<int>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

// a + b held to the int range: page sums and margins of damaged records
// must not overflow.
inline int satAdd(int64_t a, int64_t b)
{
    const int64_t v = a + b;
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

} // namespace bc
