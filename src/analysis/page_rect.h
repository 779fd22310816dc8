#pragma once
// A pixel rectangle of the strip pages with the old GDI meaning: right and
// bottom are exclusive. It converts to QRect only for drawing.

#include "core/int_limits.h"

#include <QRect>

#include <utility>

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

} // namespace bc
