#pragma once
// Colour and pen values in the form the program's files and peers keep them:
// colours packed as 0x00BBGGRR and the numeric pen style codes (solid, dash,
// dot, dash-dot, dash-dot-dot, none). ".sfa" shape records store both as they
// stand, so the controls hand them out in this form and convert to Qt only to
// draw.

#include <QColor>
#include <QPen>
#include <QRect>

class QPainter;

#include <cstdint>

namespace bc {

using COLORREF = std::uint32_t;

constexpr COLORREF RGB(int r, int g, int b)
{
    return COLORREF(std::uint8_t(r)) | (COLORREF(std::uint8_t(g)) << 8) |
           (COLORREF(std::uint8_t(b)) << 16);
}
constexpr int GetRValue(COLORREF c)
{
    return int(c & 0xFF);
}
constexpr int GetGValue(COLORREF c)
{
    return int((c >> 8) & 0xFF);
}
constexpr int GetBValue(COLORREF c)
{
    return int((c >> 16) & 0xFF);
}

inline QColor toQColor(COLORREF c)
{
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}
inline COLORREF toColorRef(const QColor& c)
{
    return RGB(c.red(), c.green(), c.blue());
}

// Pen style codes.
enum PenStyle : int {
    PS_SOLID = 0,
    PS_DASH = 1,
    PS_DOT = 2,
    PS_DASHDOT = 3,
    PS_DASHDOTDOT = 4,
    PS_NULL = 5,
};

// The Qt pen style that draws a pen style code; unknown codes draw solid.
Qt::PenStyle toQtPenStyle(int penStyle);

// A cosmetic pen of the given code, width (0 = one pixel) and colour, drawn
// with flat caps so that a sample line ends where it is told to.
QPen makePen(int penStyle, int width, COLORREF colour);

// The outline of `r` one pixel wide: top and left in `topLeft`, bottom and
// right in `bottomRight` (the 3-D rectangle of the program's borders).
void draw3dRect(QPainter& painter, const QRect& r, const QColor& topLeft,
                const QColor& bottomRight);

} // namespace bc
