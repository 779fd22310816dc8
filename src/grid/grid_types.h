#pragma once
// Small value types shared by the grid control and its users: the rectangle
// with exclusive right and bottom edges that all grid geometry is done in,
// cell ids and ranges, text formats, the item record and the
// notification records sent to the grid's owner.

#include "ui/gdi_types.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <cstdint>

class QPainter;

namespace bc {

class CGridCtrl;

using LPARAM = std::intptr_t;

// "take the default" marker of cell colours.
constexpr COLORREF CLR_DEFAULT = 0xFF000000u;

// The system colours the grid paints with, taken from the application palette.
enum SysColor {
    COLOR_WINDOW,
    COLOR_WINDOWTEXT,
    COLOR_3DFACE,
    COLOR_HIGHLIGHT,
    COLOR_HIGHLIGHTTEXT,
    COLOR_3DHIGHLIGHT,
    COLOR_3DSHADOW,
    COLOR_3DDKSHADOW,
    COLOR_BTNSHADOW,
    COLOR_INFOBK,
    COLOR_INFOTEXT,
};
COLORREF GetSysColor(SysColor which);

// Text format bits of cells (the classic DrawText values).
enum : std::uint32_t {
    DT_LEFT = 0x0,
    DT_CENTER = 0x1,
    DT_RIGHT = 0x2,
    DT_VCENTER = 0x4,
    DT_BOTTOM = 0x8,
    DT_WORDBREAK = 0x10,
    DT_SINGLELINE = 0x20,
    DT_CALCRECT = 0x400,
    DT_NOPREFIX = 0x800,
    DT_END_ELLIPSIS = 0x8000,
};

// Rectangle with MFC semantics: right and bottom are exclusive. A fill of
// (l, t, r, b) covers r - l by b - t pixels.
struct GridRect {
    int left = 0, top = 0, right = 0, bottom = 0;

    constexpr GridRect() = default;
    constexpr GridRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
    static GridRect fromQRect(const QRect& r) { return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsRectEmpty() const { return right <= left || bottom <= top; }
    bool PtInRect(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    void InflateRect(int dx, int dy) { left -= dx; top -= dy; right += dx; bottom += dy; }
    void DeflateRect(int l, int t, int r, int b) { left += l; top += t; right -= r; bottom -= b; }
    void OffsetRect(int dx, int dy) { left += dx; right += dx; top += dy; bottom += dy; }
    GridRect intersected(const GridRect& o) const;
    QRect toQRect() const { return QRect(left, top, right - left, bottom - top); }
    bool operator==(const GridRect&) const = default;
};

struct CGridCellId {
    int row = -1;
    int col = -1;
    constexpr CGridCellId() = default;
    constexpr CGridCellId(int r, int c) : row(r), col(c) {}
    bool IsValid() const { return row >= 0 && col >= 0; }
    bool operator==(const CGridCellId&) const = default;
};

// Inclusive range of cells; all four -1 is the empty range.
struct CGridCellRange {
    int minRow = -1, minCol = -1, maxRow = -1, maxCol = -1;
    constexpr CGridCellRange() = default;
    constexpr CGridCellRange(int r0, int c0, int r1, int c1) : minRow(r0), minCol(c0), maxRow(r1), maxCol(c1) {}
    bool IsValid() const { return minRow >= 0 && minCol >= 0 && maxRow >= 0 && maxCol >= 0 && minRow <= maxRow && minCol <= maxCol; }
    bool InRange(int r, int c) const { return r >= minRow && r <= maxRow && c >= minCol && c <= maxCol; }
    bool InRange(const CGridCellId& id) const { return InRange(id.row, id.col); }
    int Count() const { return (maxRow - minRow + 1) * (maxCol - minCol + 1); }
    CGridCellId GetTopLeft() const { return {minRow, minCol}; }
    bool operator==(const CGridCellRange&) const = default;
};

// Mask bits of GridItem.
enum : std::uint32_t {
    GVIF_TEXT = 1,
    GVIF_IMAGE = 2,
    GVIF_PARAM = 4,
    GVIF_STATE = 8,
    GVIF_BKCLR = 16,
    GVIF_FGCLR = 32,
    GVIF_FORMAT = 64,
    GVIF_FONT = 128,
    GVIF_MARGIN = 256,
    GVIF_ALL = 0xFFFFFFFFu,
};

// Cell state bits.
enum : std::uint32_t {
    GVIS_FOCUSED = 1,
    GVIS_SELECTED = 2,
    GVIS_DROPHILITED = 4,
    GVIS_READONLY = 8,
    GVIS_FIXED = 16,
    GVIS_FIXEDROW = 32,
    GVIS_FIXEDCOL = 64,
    GVIS_MODIFIED = 128,
};

struct GridItem {
    int row = 0;
    int col = 0;
    std::uint32_t mask = 0;
    std::uint32_t state = 0;
    std::uint32_t format = 0;
    int image = -1;
    COLORREF backColor = CLR_DEFAULT;
    COLORREF textColor = CLR_DEFAULT;
    LPARAM data = 0;
    QFont font;
    std::uint32_t margin = 0;
    QString text;
};

// Notification codes sent to the grid's owner.
enum GridNotifyCode : int {
    NM_CLICK = -2,
    NM_DBLCLK = -3,
    NM_RCLICK = -5,
    GVN_SELCHANGING = -100,
    GVN_SELCHANGED = -101,
    GVN_BEGINLABELEDIT = -105,
    GVN_ENDLABELEDIT = -106,
    GVN_BEGINDRAG = -109,
    GVN_ODCACHEHINT = -113,
    GVN_GETDISPINFO = -150,
};

struct NMHDR {
    CGridCtrl* hwndFrom = nullptr;
    int idFrom = 0;
    int code = 0;
};

struct GridCellNotify {
    NMHDR hdr;
    int row = -1;
    int col = -1;
};

struct GridCacheHint {
    NMHDR hdr;
    CGridCellRange range;
};

struct GridDispInfo {
    NMHDR hdr;
    GridItem item;
};

// What the grid's owner implements to hear from the grid. Every call is
// synchronous; the answers of GVN_BEGINLABELEDIT, GVN_ENDLABELEDIT (negative
// refuses) and GVN_GETDISPINFO (the filled record) are used by the grid.
class GridOwner {
public:
    virtual ~GridOwner() = default;
    virtual long onGridNotify(const GridCellNotify& notify) { (void)notify; return 0; }
    virtual void onGridCacheHint(const GridCacheHint& hint) { (void)hint; }
    virtual long onGridDispInfo(GridDispInfo& info) { (void)info; return 0; }
    // The command posted after a left button release on a cell.
    virtual void onGridCommand(CGridCtrl* grid) { (void)grid; }
};

// Low-level drawing with exclusive-edge rectangles.
namespace griddraw {
void fill(QPainter& p, const GridRect& r, COLORREF c);
// One-pixel frame inside the rectangle.
void frame(QPainter& p, const GridRect& r, COLORREF c);
// Horizontal or vertical line that leaves out its end point.
void line(QPainter& p, int x1, int y1, int x2, int y2, COLORREF c);
// Draws text inside r with a DrawText-style format.
void text(QPainter& p, const GridRect& r, const QString& s, std::uint32_t format);
} // namespace griddraw

} // namespace bc
