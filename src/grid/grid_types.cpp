#include "grid/grid_types.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include <algorithm>

namespace bc {

COLORREF GetSysColor(SysColor which)
{
    const QPalette pal = QApplication::palette();
    switch (which) {
    case COLOR_WINDOW: return toColorRef(pal.color(QPalette::Base));
    case COLOR_WINDOWTEXT: return toColorRef(pal.color(QPalette::Text));
    case COLOR_3DFACE: return toColorRef(pal.color(QPalette::Button));
    case COLOR_HIGHLIGHT: return toColorRef(pal.color(QPalette::Highlight));
    case COLOR_HIGHLIGHTTEXT: return toColorRef(pal.color(QPalette::HighlightedText));
    case COLOR_3DHIGHLIGHT: return toColorRef(pal.color(QPalette::Light));
    case COLOR_3DSHADOW: return toColorRef(pal.color(QPalette::Mid));
    case COLOR_3DDKSHADOW: return toColorRef(pal.color(QPalette::Shadow));
    case COLOR_BTNSHADOW: return toColorRef(pal.color(QPalette::Dark));
    case COLOR_INFOBK: return toColorRef(pal.color(QPalette::ToolTipBase));
    case COLOR_INFOTEXT: return toColorRef(pal.color(QPalette::ToolTipText));
    }
    return 0;
}

GridRect GridRect::intersected(const GridRect& o) const
{
    GridRect r(std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
               std::min(bottom, o.bottom));
    if (r.IsRectEmpty())
        return {};
    return r;
}

namespace griddraw {

void fill(QPainter& p, const GridRect& r, COLORREF c)
{
    if (r.IsRectEmpty())
        return;
    p.fillRect(r.toQRect(), toQColor(c));
}

void frame(QPainter& p, const GridRect& r, COLORREF c)
{
    if (r.IsRectEmpty())
        return;
    const QColor q = toQColor(c);
    p.fillRect(QRect(r.left, r.top, r.Width(), 1), q);
    p.fillRect(QRect(r.left, r.bottom - 1, r.Width(), 1), q);
    p.fillRect(QRect(r.left, r.top, 1, r.Height()), q);
    p.fillRect(QRect(r.right - 1, r.top, 1, r.Height()), q);
}

void line(QPainter& p, int x1, int y1, int x2, int y2, COLORREF c)
{
    const QColor q = toQColor(c);
    if (y1 == y2) {
        if (x2 > x1)
            p.fillRect(QRect(x1, y1, x2 - x1, 1), q);
        else if (x1 > x2)
            p.fillRect(QRect(x2 + 1, y1, x1 - x2, 1), q);
    } else if (x1 == x2) {
        if (y2 > y1)
            p.fillRect(QRect(x1, y1, 1, y2 - y1), q);
        else
            p.fillRect(QRect(x1, y2 + 1, 1, y1 - y2), q);
    } else {
        p.save();
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(q, 0));
        p.drawLine(x1, y1, x2, y2);
        p.restore();
    }
}

void text(QPainter& p, const GridRect& r, const QString& s, std::uint32_t format)
{
    if (r.IsRectEmpty() || s.isEmpty())
        return;
    int flags = 0;
    if (format & DT_CENTER)
        flags |= Qt::AlignHCenter;
    else if (format & DT_RIGHT)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;
    const bool single = format & DT_SINGLELINE;
    if (single && (format & DT_VCENTER))
        flags |= Qt::AlignVCenter;
    else if (single && (format & DT_BOTTOM))
        flags |= Qt::AlignBottom;
    else
        flags |= Qt::AlignTop;
    QString shown = s;
    if (single) {
        shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
        shown.remove(QLatin1Char('\r'));
        if (format & DT_END_ELLIPSIS)
            shown = p.fontMetrics().elidedText(shown, Qt::ElideRight, r.Width());
    } else if (format & DT_WORDBREAK) {
        flags |= Qt::TextWordWrap;
    }
    p.save();
    p.setClipRect(r.toQRect(), Qt::IntersectClip);
    p.drawText(r.toQRect(), flags, shown);
    p.restore();
}

} // namespace griddraw
} // namespace bc
