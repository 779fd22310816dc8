#include "ui/gdi_types.h"

#include <QPainter>

namespace bc {

Qt::PenStyle toQtPenStyle(int penStyle)
{
    switch (penStyle) {
    case PS_DASH:
        return Qt::DashLine;
    case PS_DOT:
        return Qt::DotLine;
    case PS_DASHDOT:
        return Qt::DashDotLine;
    case PS_DASHDOTDOT:
        return Qt::DashDotDotLine;
    case PS_NULL:
        return Qt::NoPen;
    default:
        return Qt::SolidLine;
    }
}

QPen makePen(int penStyle, int width, COLORREF colour)
{
    // Dashed and dotted styles only exist for pens one pixel wide; a wider
    // pen of such a style draws solid, as the program's drawings always have.
    Qt::PenStyle style = toQtPenStyle(penStyle);
    if (width > 1 && style != Qt::NoPen)
        style = Qt::SolidLine;
    QPen pen(toQColor(colour));
    pen.setStyle(style);
    pen.setWidth(width < 1 ? 1 : width);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

void draw3dRect(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
}

} // namespace bc
