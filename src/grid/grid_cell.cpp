#include "grid/grid_cell.h"

#include "grid/grid_ctrl.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <QWidget>

namespace bc {

namespace {
// A header's raised look: light along the top and left, dark along the right
// and bottom.
void drawRaisedEdge(QPainter& dc, const GridRect& rect)
{
    const COLORREF hi = GetSysColor(COLOR_3DHIGHLIGHT);
    const COLORREF dk = GetSysColor(COLOR_3DDKSHADOW);
    griddraw::line(dc, rect.right, rect.top, rect.left, rect.top, hi);
    griddraw::line(dc, rect.left, rect.top, rect.left, rect.bottom, hi);
    griddraw::line(dc, rect.right, rect.top, rect.right, rect.bottom, dk);
    griddraw::line(dc, rect.right, rect.bottom, rect.left, rect.bottom, dk);
}
} // namespace

CGridCellBase::~CGridCellBase() = default;

const CGridDefaultCell* CGridCellBase::GetDefaultCell() const
{
    const CGridCtrl* grid = GetGrid();
    if (!grid)
        return nullptr;
    const std::uint32_t s = GetState();
    return grid->GetDefaultCell((s & GVIS_FIXEDROW) != 0, (s & GVIS_FIXEDCOL) != 0);
}

void CGridCellBase::assign(const CGridCellBase& other)
{
    if (&other == this)
        return;
    SetGrid(other.GetGrid());
    SetText(other.GetText());
    SetImage(other.GetImage());
    SetData(other.GetData());
    SetState(other.GetState());
    SetFormat(other.GetFormat());
    SetTextColor(other.GetTextColor());
    SetBackColor(other.GetBackColor());
    SetFont(other.IsDefaultFont() ? nullptr : other.GetFont());
    SetMargin(other.GetMargin());
    const CGridCellId owner = other.GetMergeOwner();
    SetMergeOwner(owner.row, owner.col);
    SetMergeRange(other.GetMergeRange());
    Show(other.IsShown());
}

void CGridCellBase::Reset()
{
    m_state = 0;
    ClearMerge();
}

void CGridCellBase::ClearMerge()
{
    m_hidden = false;
    m_mergeRange = CGridCellRange();
    m_covered = false;
    m_mergeOwner = CGridCellId();
}

long CGridCellBase::SendMessageToParent(int row, int col, int code)
{
    CGridCtrl* grid = GetGrid();
    return grid ? grid->SendNotifyToParent(row, col, code) : 0;
}

bool CGridCellBase::OnSetCursor()
{
    if (CGridCtrl* grid = GetGrid())
        grid->viewport()->setCursor(Qt::ArrowCursor);
    return true;
}

bool CGridCellBase::Edit(int, int, const GridRect&, QPoint, unsigned, const GridEditStart&)
{
    return false;
}

bool CGridCellBase::ValidateEdit(const QString&)
{
    return true;
}

COLORREF CGridCellBase::resolvedTextColor() const
{
    const COLORREF own = GetTextColor();
    if (own != CLR_DEFAULT)
        return own;
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetTextColor() : 0;
}

COLORREF CGridCellBase::resolvedBackColor() const
{
    const COLORREF own = GetBackColor();
    if (own != CLR_DEFAULT)
        return own;
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetBackColor() : GetSysColor(COLOR_WINDOW);
}

bool CGridCellBase::GetTextRect(GridRect* rect)
{
    if (!rect)
        return false;
    const CGridCtrl* grid = GetGrid();
    if (GetImage() >= 0 && grid && grid->GetImageList()) {
        // The image's bounding rectangle counts both of its edges.
        const QSize img = grid->imageSize(GetImage());
        if (img.isValid())
            rect->left += img.width() + 1 + int(GetMargin());
    }
    return true;
}

QSize CGridCellBase::GetTextExtent(const QString& text, QPainter*)
{
    const CGridDefaultCell* def = GetDefaultCell();
    if (text.isEmpty()) {
        if (!def)
            return {0, 0};
        return {def->GetWidth(), def->GetHeight()};
    }
    const QFont font = GetFontObject();
    const std::uint32_t format = GetFormat();
    const CGridCtrl* grid = GetGrid();
    QSize size;
    if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) {
        const QFontMetrics fm(font);
        int widest = 0;
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (const QString& line : lines)
            widest = std::max(widest, fm.horizontalAdvance(line));
        const QRect r = fm.boundingRect(QRect(0, 0, widest + 1, 1 << 20), Qt::TextWordWrap, text);
        size = QSize(r.width(), r.height());
    } else if (grid) {
        size = QSize(grid->textWidth(font, text), grid->textHeight(font));
    } else {
        const QFontMetrics fm(font);
        size = QSize(fm.horizontalAdvance(text), fm.height());
    }
    const int margin = int(GetMargin());
    size.rwidth() += 4 * margin;
    size.rheight() += 2 * margin;
    return size;
}

QSize CGridCellBase::GetCellExtent(QPainter* dc)
{
    QSize size = GetTextExtent(GetText(), dc);
    const CGridCtrl* grid = GetGrid();
    if (GetImage() >= 0 && grid && grid->GetImageList()) {
        // The image's bounding rectangle counts both of its edges.
        const QSize img = grid->imageSize(GetImage());
        if (img.isValid()) {
            size.rwidth() += img.width() + 1;
            size.rheight() = std::max(size.height(), img.height() + 1);
        }
    }
    return size;
}

int CGridCellBase::readyToDraw(const QPainter* dc, const GridRect& rect) const
{
    // Covered cells of a merge draw nothing: their owner draws over them all.
    if (!IsShown() && !(GetMergeRange().IsValid() && GetMergeRange().Count() >= 2))
        return -1;
    if (!GetGrid() || !dc || rect.Width() <= 0 || rect.Height() <= 0 || !GetDefaultCell())
        return 0;
    return 1;
}

bool CGridCellBase::Draw(QPainter* dc, int row, int col, GridRect rect, bool eraseBkgnd)
{
    if (const int ready = readyToDraw(dc, rect); ready <= 0)
        return ready < 0 ? true : false;
    CGridCtrl* grid = GetGrid();
    dc->save();

    COLORREF textClr = resolvedTextColor();
    COLORREF backClr = resolvedBackColor();
    if (GetBackColor() != CLR_DEFAULT)
        eraseBkgnd = true;
    const int gridLines = grid->GetGridLines();

    if (!IsFocused() && !IsDropHighlighted()) {
        if (IsSelected()) {
            GridRect r = rect;
            r.right++;
            r.bottom++;
            griddraw::fill(*dc, r, GetSysColor(COLOR_HIGHLIGHT));
            textClr = GetSysColor(COLOR_HIGHLIGHTTEXT);
        } else if (eraseBkgnd) {
            griddraw::fill(*dc, rect, backClr);
            rect.right--;
            rect.bottom--;
        }
    } else {
        if (IsSelected()) {
            backClr = GetSysColor(COLOR_HIGHLIGHT);
            textClr = GetSysColor(COLOR_HIGHLIGHTTEXT);
            eraseBkgnd = true;
        }
        rect.right++;
        rect.bottom++;
        if (eraseBkgnd)
            griddraw::fill(*dc, rect, backClr);
        if (gridLines != 0) {
            rect.right--;
            rect.bottom--;
        }
        if (grid->GetFrameFocusCell())
            griddraw::frame(*dc, rect, textClr);
        if (gridLines == 0) {
            rect.right--;
            rect.bottom--;
        }
        rect.DeflateRect(0, 1, 1, 1);
    }

    if (IsFixed() && gridLines != 0) {
        const CGridCellId focus = grid->GetFocusCell();
        if (grid->GetTrackFocusCell() && grid->IsValid(focus)
            && (focus.row == row || focus.col == col)) {
            GridRect r = rect;
            r.right++;
            r.bottom++;
            // Sunken inner edge: dark on top and left, light on bottom and right.
            griddraw::line(*dc, r.left, r.top, r.right - 1, r.top, GetSysColor(COLOR_3DSHADOW));
            griddraw::line(*dc, r.left, r.top, r.left, r.bottom - 1, GetSysColor(COLOR_3DSHADOW));
            griddraw::line(*dc, r.left, r.bottom - 1, r.right, r.bottom - 1, GetSysColor(COLOR_3DHIGHLIGHT));
            griddraw::line(*dc, r.right - 1, r.top, r.right - 1, r.bottom, GetSysColor(COLOR_3DHIGHLIGHT));
            rect = r;
            rect.InflateRect(-1, -1);
        } else {
            drawRaisedEdge(*dc, rect);
            rect.InflateRect(-1, -1);
        }
    }

    dc->setFont(GetFontObject());
    dc->setPen(toQColor(textClr));
    const int margin = int(GetMargin());
    rect.DeflateRect(margin, 0, margin, 0);

    if (grid->GetImageList() && GetImage() >= 0) {
        const QSize img = grid->imageSize(GetImage());
        if (img.isValid() && img.width() + rect.left <= rect.right + 2 * margin
            && img.height() + rect.top <= rect.bottom + 2 * margin)
            grid->drawImage(*dc, GetImage(), QPoint(rect.left, rect.top));
    }

    if (row == 0 && col == grid->GetSortColumn()) {
        const int mHeight = dc->fontMetrics().boundingRect(QLatin1Char('M')).height();
        int s = mHeight - 4;
        if (rect.Height() <= s)
            s = rect.Height() - 4;
        if (s > 0 && rect.left + s < rect.right + 2 * margin) {
            const int top = rect.bottom - s - 2;
            const int left = rect.right - s;
            auto tri = [&](int dx, int dy, COLORREF c) {
                QPolygon poly;
                if (grid->GetSortAscending())
                    poly << QPoint(left + dx + s / 2, top + dy) << QPoint(left + dx + s, top + dy + s)
                         << QPoint(left + dx, top + dy + s) << QPoint(left + dx + s / 2, top + dy);
                else
                    poly << QPoint(left + dx, top + dy) << QPoint(left + dx + s, top + dy)
                         << QPoint(left + dx + s / 2, top + dy + s) << QPoint(left + dx, top + dy);
                dc->save();
                dc->setRenderHint(QPainter::Antialiasing, false);
                dc->setPen(QPen(toQColor(c), 0));
                dc->setBrush(Qt::NoBrush);
                dc->drawPolyline(poly);
                dc->restore();
            };
            tri(1, 1, GetSysColor(COLOR_3DHIGHLIGHT));
            tri(0, 0, GetSysColor(COLOR_3DSHADOW));
            rect.right -= s;
        }
    }

    GetTextRect(&rect);
    griddraw::text(*dc, rect, GetText(), GetFormat() | DT_NOPREFIX | DT_VCENTER);
    dc->restore();
    return true;
}

bool CGridCellBase::PrintCell(QPainter* dc, int, int, GridRect rect)
{
    if (const int ready = readyToDraw(dc, rect); ready <= 0)
        return ready < 0 ? true : false;
    CGridCtrl* grid = GetGrid();
    const CGridDefaultCell* def = GetDefaultCell();
    dc->save();
    GridRect outline = rect;
    outline.InflateRect(1, 1);
    dc->setPen(QPen(Qt::black, 0));
    dc->setBrush(Qt::NoBrush);
    dc->drawRect(QRect(outline.left, outline.top, outline.Width() - 1, outline.Height() - 1));

    COLORREF textClr = 0;
    bool fillBack = false;
    COLORREF backClr = 0;
    if (grid->GetGridPrintColours()) {
        if (IsFixed()) {
            backClr = GetBackColor() != CLR_DEFAULT ? GetBackColor() : def->GetBackColor();
            fillBack = true;
        } else if (GetBackColor() != CLR_DEFAULT && GetBackColor() != def->GetBackColor()) {
            backClr = GetBackColor();
            fillBack = true;
        }
        textClr = GetBackColor() != CLR_DEFAULT && GetTextColor() != CLR_DEFAULT ? GetTextColor()
                                                                                 : def->GetTextColor();
        if (fillBack) {
            GridRect r = rect;
            r.right++;
            r.bottom++;
            griddraw::fill(*dc, r, backClr);
        }
    }
    dc->setPen(toQColor(textClr));
    dc->setFont(grid->printFont(GetFontObject()));
    if (IsFixed() && grid->GetGridLines() != 0) {
        drawRaisedEdge(*dc, rect);
    }
    const int margin = int(GetMargin());
    rect.DeflateRect(margin, 0, margin, 0);
    if (grid->GetImageList() && GetImage() >= 0) {
        const QSize img = grid->imageSize(GetImage());
        if (img.isValid()) {
            grid->drawImage(*dc, GetImage(), QPoint(rect.left, rect.top));
            rect.left += margin + img.width();
        }
    }
    griddraw::text(*dc, rect, GetText(), GetFormat() | DT_NOPREFIX);
    dc->restore();
    return true;
}

// ---------------------------------------------------------------- CGridCell

CGridCell::~CGridCell() = default;

void CGridCell::SetFont(const QFont* font)
{
    if (!font) {
        m_font.reset();
        return;
    }
    if (!m_font)
        m_font = std::make_unique<QFont>(*font);
    else
        *m_font = *font;
}

std::uint32_t CGridCell::GetFormat() const
{
    if (m_format != 0xFFFFFFFFu)
        return m_format;
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetFormat() : 0;
}

const QFont* CGridCell::GetFont() const
{
    if (m_font)
        return m_font.get();
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetFont() : nullptr;
}

QFont CGridCell::GetFontObject() const
{
    if (m_font)
        return *m_font;
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetFontObject() : QApplication::font();
}

std::uint32_t CGridCell::GetMargin() const
{
    if (m_margin != 0xFFFFFFFFu)
        return m_margin;
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetMargin() : 0;
}

void CGridCell::Reset()
{
    CGridCellBase::Reset();
    m_text.clear();
    m_image = -1;
    m_format = 0xFFFFFFFFu;
    m_margin = 0xFFFFFFFFu;
    m_textColor = CLR_DEFAULT;
    m_backColor = CLR_DEFAULT;
    m_font.reset();
    m_editing = false;
    m_grid = nullptr;
    m_editWnd = nullptr;
}

void CGridCell::EndEdit()
{
    if (m_grid && m_editWnd)
        m_grid->endCellEditor(m_editWnd);
}

void CGridCell::OnEndEdit()
{
    m_editing = false;
    m_editWnd = nullptr;
}

// --------------------------------------------------------- CGridDefaultCell

CGridDefaultCell::CGridDefaultCell()
{
    m_format = DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
    m_margin = 3;
    m_width = 40;
    m_height = 16;
    const QFont font = QApplication::font();
    SetFont(&font);
}

void CGridDefaultCell::SetFont(const QFont* font)
{
    if (!font)
        return;
    m_fontObject = *font;
    const QFontMetrics fm(m_fontObject);
    m_margin = std::uint32_t(fm.horizontalAdvance(QLatin1Char(' ')));
    m_width = fm.horizontalAdvance(QStringLiteral(" XXXXXXXXXXXX "));
    m_height = fm.height() * 3 / 2;
}

} // namespace bc
