// Grid drawing: the background, the grid lines and the four passes of cells.

#include "grid/grid_ctrl.h"

#include <QPaintEvent>
#include <QPainter>

namespace bc {

void CGridCtrl::paintEvent(QPaintEvent* e)
{
    QPainter p(viewport());
    OnDraw(&p, GridRect::fromQRect(e->rect()));
    if (!m_trackBand.IsRectEmpty()) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.fillRect(m_trackBand.toQRect(), Qt::white);
    }
}

void CGridCtrl::OnDraw(QPainter* dc)
{
    if (!dc || !dc->device())
        return;
    QRect clip = dc->hasClipping() ? dc->clipBoundingRect().toAlignedRect()
                                   : QRect(0, 0, dc->device()->width(), dc->device()->height());
    OnDraw(dc, GridRect::fromQRect(clip));
}

void CGridCtrl::EraseBkgnd(QPainter* dc, const GridRect& clip)
{
    const COLORREF corner = m_defaultCells[3].GetBackColor();
    const COLORREF fixedRow = m_defaultCells[2].GetBackColor();
    const COLORREF fixedCol = m_defaultCells[1].GetBackColor();
    const COLORREF normal = m_defaultCells[0].GetBackColor();
    GridRect vis;
    VisibleCellRange(&vis);
    const int fixedW = GetFixedColumnWidth();
    const int fixedH = GetFixedRowHeight();
    if (clip.left < fixedW && clip.top < fixedH)
        griddraw::fill(*dc, GridRect(clip.left, clip.top, fixedW, fixedH), corner);
    if (clip.left < fixedW && clip.top < vis.bottom)
        griddraw::fill(*dc, GridRect(clip.left, clip.top, fixedW, vis.bottom), fixedCol);
    if (clip.top < fixedH && clip.right > fixedW && clip.left < vis.right)
        griddraw::fill(*dc, GridRect(fixedW - 1, clip.top, vis.right, fixedH), fixedRow);
    GridRect cells = vis.intersected(clip);
    if (!cells.IsRectEmpty()) {
        cells.left = std::max(cells.left, fixedW);
        cells.top = std::max(cells.top, fixedH);
        griddraw::fill(*dc, cells, normal);
    }
    if (vis.right < clip.right)
        griddraw::fill(*dc, GridRect(vis.right, clip.top, clip.right, clip.bottom), m_gridBkColor);
    if (vis.bottom < clip.bottom && clip.left < vis.right)
        griddraw::fill(*dc, GridRect(clip.left, vis.bottom, vis.right, clip.bottom), m_gridBkColor);
}

void CGridCtrl::OnDraw(QPainter* dc, const GridRect& clip)
{
    if (!m_redraw || !dc || clip.IsRectEmpty())
        return;
    EraseBkgnd(dc, clip);
    const int fixedH = GetFixedRowHeight();
    const int fixedW = GetFixedColumnWidth();
    const CGridCellId first = FirstScrolledCell();
    GridRect vis;
    const CGridCellRange visible = VisibleCellRange(&vis);
    if (m_virtualMode)
        SendCacheHintToParent(visible);

    // The first scrolled column may lie partly under the fixed ones.
    const int scrolledLeft = scrolledStart(false);
    if (m_gridLines == GVL_VERT || m_gridLines == GVL_BOTH) {
        int x = scrolledLeft;
        for (int c = first.col; c <= visible.maxCol; ++c) {
            const int w = GetColumnWidth(c);
            if (w <= 0)
                continue;
            x += w;
            if (x - 1 >= fixedW)
                griddraw::line(*dc, x - 1, fixedH, x - 1, vis.bottom, m_gridLineColor);
        }
    }
    if (m_gridLines == GVL_HORZ || m_gridLines == GVL_BOTH) {
        int y = fixedH;
        for (int r = first.row; r <= visible.maxRow; ++r) {
            const int h = GetRowHeight(r);
            if (h <= 0)
                continue;
            y += h;
            griddraw::line(*dc, fixedW, y - 1, vis.right, y - 1, m_gridLineColor);
        }
    }

    auto pass = [&](int row0, int row1, int top0, int col0, int col1, int left0) {
        int top = top0;
        for (int row = row0; row <= row1; ++row) {
            const int h = GetRowHeight(row);
            if (h <= 0)
                continue;
            const int rowTop = top;
            const int rowBottom = rowTop + h - 1;
            top = rowBottom + 1;
            if (rowTop >= clip.bottom)
                break;
            if (rowBottom < clip.top)
                continue;
            int left = left0;
            for (int col = col0; col <= col1; ++col) {
                const int w = GetColumnWidth(col);
                if (w <= 0)
                    continue;
                const int cellLeft = left;
                const int cellRight = cellLeft + w - 1;
                left = cellRight + 1;
                if (cellLeft >= clip.right)
                    break;
                if (cellRight < clip.left)
                    continue;
                CGridCellBase* cell = GetCell(row, col);
                if (!cell)
                    continue;
                GridRect rect(cellLeft, rowTop, cellRight, rowBottom);
                if (cell->IsMerged()) {
                    GridRect mr;
                    if (CellRangeRect(cell->GetMergeRange(), &mr)) {
                        cell->SetCoords(row, col);
                        cell->Draw(dc, row, col, mr, true);
                    }
                } else if (cell->IsCoveredByMerge()) {
                    const CGridCellId o = cell->GetMergeOwner();
                    CGridCellBase* owner = GetCell(o.row, o.col);
                    GridRect mr;
                    if (owner && owner->IsMerged() && CellRangeRect(owner->GetMergeRange(), &mr)) {
                        mr.right++;
                        mr.bottom++;
                        owner->SetCoords(o.row, o.col);
                        owner->Draw(dc, o.row, o.col, mr, true);
                    }
                } else {
                    cell->SetCoords(row, col);
                    cell->Draw(dc, row, col, rect, false);
                }
            }
        }
    };
    // Each pass stays in its own area, so a merge reaching under the fixed
    // rows or columns never paints over them.
    auto clipped = [&](const GridRect& area, auto&& run) {
        const GridRect r = area.intersected(clip);
        if (r.IsRectEmpty())
            return;
        dc->save();
        dc->setClipRect(r.toQRect(), Qt::IntersectClip);
        run();
        dc->restore();
    };
    const int big = 1 << 30;
    clipped(GridRect(fixedW, fixedH, big, big),
            [&] { pass(first.row, visible.maxRow, fixedH, first.col, visible.maxCol, scrolledLeft); });
    clipped(GridRect(0, fixedH, fixedW, big), [&] { pass(first.row, visible.maxRow, fixedH, 0, m_fixedCols - 1, 0); });
    clipped(GridRect(fixedW - 1, 0, big, fixedH),
            [&] { pass(0, m_fixedRows - 1, 0, first.col, visible.maxCol, scrolledLeft); });
    clipped(GridRect(0, 0, fixedW, fixedH), [&] { pass(0, m_fixedRows - 1, 0, 0, m_fixedCols - 1, 0); });

    if (m_virtualMode)
        SendCacheHintToParent(CGridCellRange());
}

bool CGridCtrl::RedrawCellNow(int row, int col, QPainter* dc)
{
    if (!m_redraw || !IsCellVisible(row, col))
        return false;
    GridRect rect;
    if (!CellRect(row, col, &rect))
        return false;
    if (!dc) {
        // Painting happens only in paint events: ask for one.
        GridRect r = rect;
        r.right++;
        r.bottom++;
        viewport()->update(r.toQRect());
        return true;
    }
    bool result = true;
    CGridCellBase* cell = GetCell(row, col);
    if (!IsFixedCell(row, col)) {
        if (cell)
            result = cell->Draw(dc, row, col, rect, true);
        if (m_gridLines == GVL_HORZ || m_gridLines == GVL_BOTH)
            griddraw::line(*dc, rect.left, rect.bottom, rect.right + 1, rect.bottom, m_gridLineColor);
        if (m_gridLines == GVL_VERT || m_gridLines == GVL_BOTH)
            griddraw::line(*dc, rect.right, rect.top, rect.right, rect.bottom + 1, m_gridLineColor);
    } else if (cell) {
        result = cell->Draw(dc, row, col, rect, true);
    }
    return result;
}

bool CGridCtrl::RedrawRowNow(int row)
{
    if (row < 0 || row >= m_rows)
        return false;
    bool all = true;
    for (int c = 0; c < m_cols; ++c)
        if (!RedrawCellNow(row, c, nullptr))
            all = false;
    return all;
}

} // namespace bc
