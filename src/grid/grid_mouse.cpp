// The grid's mouse state machine, wheel, auto-scroll timer and keyboard moves.

#include "grid/grid_ctrl.h"

#include "grid/title_tip.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimerEvent>
#include <QWheelEvent>

namespace bc {

namespace {
QPoint relativeTo(const CGridCtrl& grid, const CGridCellId& cell, QPoint p)
{
    QPoint origin;
    if (!grid.CellOrigin(cell.row, cell.col, &origin))
        return {0, 0};
    return p - origin;
}
} // namespace

void CGridCtrl::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    if (m_inSize)
        return;
    m_inSize = true;
    EndEditing();
    UpdateScrollBars();
    m_inSize = false;
}

bool CGridCtrl::viewportEvent(QEvent* e)
{
    if (e->type() == QEvent::UngrabMouse || e->type() == QEvent::WindowDeactivate) {
        // The mouse went elsewhere: no more auto-scroll, and a drag is over.
        stopAutoScroll();
        if (m_mouseMode == MOUSE_DRAGGING)
            m_mouseMode = MOUSE_NOTHING;
    }
    if (e->type() == QEvent::Leave && m_titleTip && m_mouseMode != MOUSE_DRAGGING
        && !m_titleTip->hovers(QCursor::pos())) {
        // The pointer left the grid: the tip has nothing more to show. A tip
        // just shown under the pointer takes it from the grid without its
        // leaving the cell.
        m_titleTip->Hide();
    }
    return QAbstractScrollArea::viewportEvent(e);
}

void CGridCtrl::mousePressEvent(QMouseEvent* e)
{
    if (m_titleTip)
        m_titleTip->Hide();
    if (e->button() == Qt::LeftButton)
        OnLButtonDown(e->modifiers(), e->position().toPoint());
    else if (e->button() == Qt::RightButton)
        m_rButtonDown = true;
    e->accept();
}

void CGridCtrl::mouseMoveEvent(QMouseEvent* e)
{
    OnMouseMove(e->modifiers(), e->position().toPoint());
    e->accept();
}

void CGridCtrl::mouseReleaseEvent(QMouseEvent* e)
{
    // A press the title tip passed on left the mouse grabbed for the release.
    if (QWidget::mouseGrabber() == viewport() && e->buttons() == Qt::NoButton)
        viewport()->releaseMouse();
    if (e->button() == Qt::LeftButton) {
        OnLButtonUp(e->modifiers(), e->position().toPoint());
    } else if (e->button() == Qt::RightButton) {
        m_rButtonDown = false;
        HandleRButtonUp(e->modifiers(), e->position().toPoint());
    }
    e->accept();
}

void CGridCtrl::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (m_titleTip)
        m_titleTip->Hide();
    if (e->button() == Qt::LeftButton)
        OnLButtonDblClk(e->modifiers(), e->position().toPoint());
    e->accept();
}

void CGridCtrl::wheelEvent(QWheelEvent* e)
{
    HandleMouseWheel(e->angleDelta().y());
    e->accept();
}

void CGridCtrl::HandleMouseWheel(int delta)
{
    if (m_titleTip)
        m_titleTip->Hide();
    // High-resolution wheels and touchpads send small deltas: keep what is
    // left over so they add up to whole lines.
    if (m_wheelScrollLines != 0xFFFFFFFFu) {
        m_wheelRemainder += delta * int(m_wheelScrollLines);
        const int k = m_wheelRemainder / 120;
        m_wheelRemainder -= k * 120;
        for (int i = 0; i < (k < 0 ? -k : k); ++i)
            OnVScroll(k > 0 ? SB_LINEUP : SB_LINEDOWN);
    } else {
        m_wheelRemainder += delta;
        const int k = m_wheelRemainder / 120;
        m_wheelRemainder -= k * 120;
        for (int i = 0; i < (k < 0 ? -k : k); ++i)
            OnVScroll(k > 0 ? SB_PAGEUP : SB_PAGEDOWN);
    }
}

void CGridCtrl::OnLButtonDown(Qt::KeyboardModifiers mods, QPoint point)
{
    m_lButtonDownPoint = point;
    m_lButtonDown = true;
    m_lButtonDownCell = CellFromPoint(point, true);
    if (!IsValid(m_lButtonDownCell))
        return;
    const bool shift = mods & Qt::ShiftModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    if (shift) {
        if (!IsValid(m_selectionStartCell))
            m_selectionStartCell = m_focusCell;
    } else {
        m_selectionStartCell = m_lButtonDownCell;
    }
    EndEditing();
    if (CGridCellBase* cell = GetCell(m_lButtonDownCell.row, m_lButtonDownCell.col))
        cell->OnClickDown(relativeTo(*this, m_lButtonDownCell, point));

    if (m_lButtonDownCell == m_focusCell && !ctrl) {
        GridRect rc;
        if (CellRect(m_lButtonDownCell, &rc)) {
            CGridCellBase* cell = GetCell(m_lButtonDownCell.row, m_lButtonDownCell.col);
            if (cell) {
                cell->GetTextRect(&rc);
                if (rc.PtInRect(point.x(), point.y()) && IsCellEditable(m_lButtonDownCell.row, m_lButtonDownCell.col)) {
                    m_mouseMode = MOUSE_PREPARE_EDIT;
                    return;
                }
            }
        }
    }

    if (IsCellSelected(m_lButtonDownCell.row, m_lButtonDownCell.col)) {
        if (ctrl) {
            SetFocusCell(m_lButtonDownCell);
            if (m_listMode)
                SelectRows(m_lButtonDownCell, true, false);
            else
                SelectCells(m_lButtonDownCell, true, false);
            return;
        }
        if (m_enableDragAndDrop)
            m_mouseMode = MOUSE_PREPARE_DRAG;
    } else if (m_mouseMode != MOUSE_OVER_COL_DIVIDE && m_mouseMode != MOUSE_OVER_ROW_DIVIDE) {
        if (IsFixedCell(m_lButtonDownCell.row, m_lButtonDownCell.col))
            SetFocusCell(-1, -1);
        else
            SetFocusCell(m_lButtonDownCell);
    }

    // The press itself gives the viewport the implicit mouse grab.
    if (m_mouseMode == MOUSE_NOTHING)
        hoverBorderTest(point);

    if (m_mouseMode == MOUSE_OVER_COL_DIVIDE) {
        startSizingColumn(point);
    } else if (m_mouseMode == MOUSE_OVER_ROW_DIVIDE) {
        startSizingRow(point);
    } else if (m_mouseMode != MOUSE_PREPARE_DRAG) {
        SendNotifyToParent(m_lButtonDownCell.row, m_lButtonDownCell.col, GVN_SELCHANGING);
        m_prevSelectedCells.clear();
        if (ctrl)
            for (const CGridCellId& id : m_selectedCells.ids())
                m_prevSelectedCells.insert(id.row, id.col);
        if (m_lButtonDownCell.row < m_fixedRows) {
            OnFixedRowClick(m_lButtonDownCell);
        } else if (m_lButtonDownCell.col < m_fixedCols) {
            OnFixedColumnClick(m_lButtonDownCell);
        } else {
            m_mouseMode = m_listMode ? MOUSE_SELECT_ROW : MOUSE_SELECT_CELLS;
            if (m_enableSelection) {
                if (m_listMode)
                    SelectRows(m_lButtonDownCell, false, true);
                else
                    SelectCells(m_lButtonDownCell, false, true);
            }
            m_autoScrollTimer.start(m_autoScrollInterval, this);
        }
    }
    m_lastMousePoint = point;
}

void CGridCtrl::startSizingColumn(QPoint p)
{
    m_mouseMode = MOUSE_SIZING_COL;
    GridRect vis;
    VisibleCellRange(&vis);
    CGridCellId cell = CellFromPoint(p, true);
    if (m_cols > 0 && GetColumnWidth(m_cols - 1) < m_resizeCaptureRange
        && std::abs(p.x() - vis.right) < m_resizeCaptureRange)
        cell.col = m_cols - 1;
    QPoint start;
    if (!CellOrigin(std::max(cell.row, 0), cell.col, &start)) {
        m_mouseMode = MOUSE_NOTHING;
        return;
    }
    const bool nearLeft = p.x() - start.x() < m_resizeCaptureRange;
    if (!m_hiddenColUnhide && (nearLeft || cell.col != m_cols - 1)) {
        int c = nearLeft ? cell.col - 1 : cell.col;
        while (c >= 0 && GetColumnWidth(c) == 0)
            --c;
        if (c < 0) {
            m_mouseMode = MOUSE_NOTHING;
            return;
        }
        cell.col = c;
        if (!CellOrigin(std::max(cell.row, 0), cell.col, &start))
            return;
    } else if (nearLeft && cell.col > 0) {
        cell.col--;
        if (!CellOrigin(std::max(cell.row, 0), cell.col, &start))
            return;
    }
    m_lButtonDownCell = CGridCellId(std::max(cell.row, 0), cell.col);
    const GridRect client = ClientRect();
    m_trackBand = GridRect(p.x(), client.top, p.x() + 2, client.bottom);
    viewport()->update();
}

void CGridCtrl::startSizingRow(QPoint p)
{
    m_mouseMode = MOUSE_SIZING_ROW;
    GridRect vis;
    VisibleCellRange(&vis);
    CGridCellId cell = CellFromPoint(p, true);
    if (m_rows > 0 && GetRowHeight(m_rows - 1) < m_resizeCaptureRange
        && std::abs(p.y() - vis.bottom) < m_resizeCaptureRange)
        cell.row = m_rows - 1;
    QPoint start;
    if (!CellOrigin(cell.row, std::max(cell.col, 0), &start)) {
        m_mouseMode = MOUSE_NOTHING;
        return;
    }
    const bool nearTop = p.y() - start.y() < m_resizeCaptureRange;
    if (!m_hiddenRowUnhide && (nearTop || cell.row != m_rows - 1)) {
        int r = nearTop ? cell.row - 1 : cell.row;
        while (r >= 0 && GetRowHeight(r) == 0)
            --r;
        if (r < 0) {
            m_mouseMode = MOUSE_NOTHING;
            return;
        }
        cell.row = r;
    } else if (nearTop && cell.row > 0) {
        cell.row--;
    }
    m_lButtonDownCell = CGridCellId(cell.row, std::max(cell.col, 0));
    const GridRect client = ClientRect();
    m_trackBand = GridRect(client.left, p.y(), client.right, p.y() + 2);
    viewport()->update();
}

bool CGridCtrl::hoverBorderTest(QPoint point)
{
    const CGridCellId cell = CellFromPoint(point, true);
    QPoint start;
    if (m_allowColResize && point.y() < GetFixedRowHeight()) {
        if (IsValid(cell) && CellOrigin(cell.row, cell.col, &start)) {
            const int width = GetMergedColumnWidth(cell.row, cell.col);
            if ((point.x() - start.x() < m_resizeCaptureRange && cell.col != 0)
                || start.x() + width - point.x() < m_resizeCaptureRange) {
                if (m_mouseMode != MOUSE_OVER_COL_DIVIDE)
                    viewport()->setCursor(Qt::SizeHorCursor);
                m_mouseMode = MOUSE_OVER_COL_DIVIDE;
                return true;
            }
        }
    } else if (m_allowRowResize && point.x() < GetFixedColumnWidth()) {
        if (IsValid(cell) && CellOrigin(cell.row, cell.col, &start)) {
            const int height = GetMergedRowHeight(cell.row, cell.col);
            if ((point.y() - start.y() < m_resizeCaptureRange && cell.row != 0)
                || start.y() + height - point.y() < m_resizeCaptureRange) {
                if (m_mouseMode != MOUSE_OVER_ROW_DIVIDE)
                    viewport()->setCursor(Qt::SizeVerCursor);
                m_mouseMode = MOUSE_OVER_ROW_DIVIDE;
                return true;
            }
        }
    }
    if (m_mouseMode != MOUSE_NOTHING) {
        viewport()->setCursor(Qt::ArrowCursor);
        m_mouseMode = MOUSE_NOTHING;
    }
    return false;
}

void CGridCtrl::OnMouseMove(Qt::KeyboardModifiers, QPoint point)
{
    const GridRect client = ClientRect();
    if (m_mouseMode != MOUSE_DRAGGING && !client.PtInRect(point.x(), point.y()))
        return;
    if (m_titleTip && m_titleTip->isShown()
        && !m_titleTip->hoverRect().PtInRect(point.x(), point.y()))
        m_titleTip->Hide();

    if (!m_lButtonDown || m_mouseMode == MOUSE_NOTHING) {
        const CGridCellId cell = CellFromPoint(point, true);
        const bool border = hoverBorderTest(point);
        if (!border && m_mouseMode == MOUSE_NOTHING && !(m_virtualMode && !m_titleTips) && IsValid(cell)) {
            CGridCellBase* c = GetCell(cell.row, cell.col);
            if (c) {
                c->OnMouseOver();
                // The cell under the pointer picks the cursor (a link shows a hand).
                if (!m_virtualMode)
                    c->OnSetCursor();
                if (m_titleTips && m_titleTip && !m_titleTip->isShown()) {
                    const QString tip = c->GetTipText();
                    GridRect cellRect, textRect;
                    if (!tip.isEmpty() && !c->IsEditing() && CellRect(cell, &cellRect)) {
                        textRect = cellRect;
                        if (c->GetTipTextRect(&textRect)) {
                            const QFont f = c->GetFontObject();
                            m_titleTip->Show(textRect, tip, 0, &cellRect, &f, m_titleTipText, m_titleTipBack);
                        }
                    }
                }
            }
        }
        m_lastMousePoint = point;
        return;
    }

    if (!IsValid(m_lButtonDownCell)) {
        m_lastMousePoint = point;
        return;
    }
    switch (m_mouseMode) {
    case MOUSE_SELECT_COL:
    case MOUSE_SELECT_ROW:
    case MOUSE_SELECT_CELLS: {
        const CGridCellId cell = CellFromPoint(point, true);
        if (!IsValid(cell))
            return;
        if (!(cell == m_focusCell)) {
            if (m_enableSelection) {
                if (m_mouseMode == MOUSE_SELECT_COL)
                    SelectColumns(cell, false, true);
                else if (m_mouseMode == MOUSE_SELECT_ROW)
                    SelectRows(cell, false, true);
                else
                    SelectCells(cell, false, true);
            }
            if (!IsFixedCell(cell.row, cell.col) || m_mouseMode != MOUSE_SELECT_CELLS)
                SetFocusCell(std::max(cell.row, m_fixedRows), std::max(cell.col, m_fixedCols));
        }
        break;
    }
    case MOUSE_SIZING_ROW: {
        const GridRect c = ClientRect();
        m_trackBand = GridRect(c.left, point.y(), c.right, point.y() + 2);
        viewport()->update();
        break;
    }
    case MOUSE_SIZING_COL: {
        const GridRect c = ClientRect();
        m_trackBand = GridRect(point.x(), c.top, point.x() + 2, c.bottom);
        viewport()->update();
        break;
    }
    case MOUSE_PREPARE_EDIT:
    case MOUSE_PREPARE_DRAG:
        // A jitter within the platform's drag distance is still a click.
        if ((point - m_lButtonDownPoint).manhattanLength() < QApplication::startDragDistance())
            return;
        m_mouseMode = MOUSE_PREPARE_DRAG;
        StartOleDrag();
        break;
    default:
        break;
    }
    m_lastMousePoint = point;
}

void CGridCtrl::OnLButtonUp(Qt::KeyboardModifiers, QPoint point)
{
    m_lButtonDown = false;
    stopAutoScroll();
    const QPoint rel = relativeTo(*this, m_focusCell, point);
    const CGridCellId downCell = m_lButtonDownCell;

    switch (m_mouseMode) {
    case MOUSE_PREPARE_EDIT:
        OnEditCell(m_focusCell.row, m_focusCell.col, rel, GridEditStart{VK_LBUTTON, {}});
        break;
    case MOUSE_PREPARE_DRAG: {
        if (CGridCellBase* cell = GetCell(m_focusCell.row, m_focusCell.col))
            cell->OnClick(rel);
        SendNotifyToParent(downCell.row, downCell.col, NM_CLICK);
        SendNotifyToParent(downCell.row, downCell.col, GVN_SELCHANGING);
        m_prevSelectedCells.clear();
        SetSelectedRange(-1, -1, -1, -1, false, true);
        SetFocusCell(-1, -1);
        SendNotifyToParent(m_focusCell.row, m_focusCell.col, GVN_SELCHANGED);
        break;
    }
    case MOUSE_SIZING_COL:
    case MOUSE_SIZING_ROW:
        m_trackBand = GridRect();
        viewport()->update();
        if (point == m_lButtonDownPoint || point == QPoint(0, 0))
            break;
        if (!finishSizing(m_mouseMode == MOUSE_SIZING_COL, point, downCell))
            return;
        break;
    default:
        SendNotifyToParent(m_focusCell.row, m_focusCell.col, GVN_SELCHANGED);
        if (CGridCellBase* cell = GetCell(m_focusCell.row, m_focusCell.col))
            cell->OnClick(rel);
        SendNotifyToParent(downCell.row, downCell.col, NM_CLICK);
        break;
    }
    m_mouseMode = MOUSE_NOTHING;
    viewport()->setCursor(Qt::ArrowCursor);
    if (IsValid(downCell)) {
        QPointer<CGridCtrl> self(this);
        QMetaObject::invokeMethod(
            this,
            [self] {
                if (self)
                    if (GridOwner* owner = self->GetOwner())
                        owner->onGridCommand(self);
            },
            Qt::QueuedConnection);
    }
}

bool CGridCtrl::finishSizing(bool column, QPoint point, const CGridCellId& downCell)
{
    const CGridCellId cell = GetMergedCellId(downCell.row, downCell.col);
    QPoint start;
    if (!CellOrigin(cell.row, cell.col, &start))
        return false;
    const bool allowHide = column ? m_allowColHide : m_allowRowHide;
    const int wanted = std::max(column ? point.x() - start.x() : point.y() - start.y(), allowHide ? 0 : 1);
    const CGridCellBase* owner = m_virtualMode ? nullptr : GetCell(cell.row, cell.col);
    int size = wanted;
    // In a merge the dragged edge is the merge's: this column takes the difference.
    if (owner && owner->IsMerged())
        size = column ? GetColumnWidth(cell.col) + wanted - GetMergedColumnWidth(cell.row, cell.col)
                      : GetRowHeight(cell.row) + wanted - GetMergedRowHeight(cell.row, cell.col);
    if (column)
        ChangeColumnWidth(cell.col, std::max(size, 0));
    else
        ChangeRowHeight(cell.row, std::max(size, 0));
    Refresh();
    return true;
}

void CGridCtrl::OnLButtonDblClk(Qt::KeyboardModifiers, QPoint point)
{
    const CGridCellId cell = CellFromPoint(point, true);
    if (!IsValid(cell)) {
        OnDblClickOutsideCells();
        return;
    }
    // The release of the first click ended whatever mode its press began; the
    // pointer has not moved since, so the border under it is found again.
    if (m_mouseMode == MOUSE_NOTHING)
        hoverBorderTest(point);
    if (m_mouseMode == MOUSE_OVER_COL_DIVIDE) {
        QPoint start;
        if (!CellOrigin(cell.row, cell.col, &start))
            return;
        int col = cell.col;
        if (point.x() - start.x() < m_resizeCaptureRange)
            --col;
        while (col >= 0 && GetColumnWidth(col) == 0)
            --col;
        if (col < 0)
            return;
        FitColumnToContent(col, GVS_DEFAULT, true);
        Refresh();
        return;
    }
    if (m_mouseMode == MOUSE_OVER_ROW_DIVIDE) {
        QPoint start;
        if (!CellOrigin(cell.row, cell.col, &start))
            return;
        int row = cell.row;
        if (point.y() - start.y() < m_resizeCaptureRange)
            --row;
        while (row >= 0 && GetRowHeight(row) == 0)
            --row;
        if (row < 0)
            return;
        FitRowToContent(row, true);
        Refresh();
        return;
    }
    if (m_mouseMode != MOUSE_NOTHING)
        return;
    const QPoint rel = relativeTo(*this, cell, point);
    GridRect rc;
    bool inText = false;
    CGridCellBase* c = GetCell(cell.row, cell.col);
    if (c && CellRect(cell, &rc)) {
        c->GetTextRect(&rc);
        inText = rc.PtInRect(point.x(), point.y());
    }
    if (!IsFixedCell(cell.row, cell.col) && inText && (IsValid(m_lButtonDownCell) || m_listMode))
        OnEditCell(cell.row, cell.col, rel, GridEditStart{VK_LBUTTON, {}});
    if ((c = GetCell(cell.row, cell.col)) != nullptr)
        c->OnDblClick(rel);
    SendNotifyToParent(cell.row, cell.col, NM_DBLCLK);
}

void CGridCtrl::HandleRButtonUp(Qt::KeyboardModifiers, QPoint point)
{
    const CGridCellId cell = CellFromPoint(point, true);
    EndEditing();
    if (IsValid(cell)) {
        SetFocusCell(-1, -1);
        SetFocusCell(std::max(cell.row, m_fixedRows), std::max(cell.col, m_fixedCols));
        if (CGridCellBase* c = GetCell(cell.row, cell.col))
            c->OnRClick(relativeTo(*this, cell, point));
        SendNotifyToParent(cell.row, cell.col, NM_RCLICK);
    } else {
        SendNotifyToParent(-1, -1, NM_RCLICK);
    }
}

void CGridCtrl::OnFixedRowClick(CGridCellId& cell)
{
    if (!IsValid(cell))
        return;
    if (m_sortOnClick) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool ascending = cell.col == m_sortColumn ? !m_sortAscending : true;
        SortItems(cell.col, ascending, 0);
        Refresh();
        QApplication::restoreOverrideCursor();
    }
    if (!m_fixedRowSelection)
        return;
    if (cell.col < m_fixedCols) {
        m_mouseMode = MOUSE_SELECT_ALL;
        SelectAllCells();
    } else {
        m_mouseMode = MOUSE_SELECT_COL;
        SelectColumns(cell, false, true);
    }
}

void CGridCtrl::OnFixedColumnClick(CGridCellId& cell)
{
    if (!IsValid(cell) || !m_fixedColSelection)
        return;
    if (cell.row < m_fixedRows) {
        m_mouseMode = MOUSE_SELECT_ALL;
        SelectAllCells();
    } else {
        m_mouseMode = MOUSE_SELECT_ROW;
        SelectRows(cell, false, true);
    }
}

void CGridCtrl::stopAutoScroll()
{
    m_autoScrollTimer.stop();
}

void CGridCtrl::timerEvent(QTimerEvent* e)
{
    if (e->timerId() != m_autoScrollTimer.timerId()) {
        QAbstractScrollArea::timerEvent(e);
        return;
    }
    OnAutoScrollTick(viewport()->mapFromGlobal(QCursor::pos()));
}

void CGridCtrl::OnAutoScrollTick(QPoint pt)
{
    const GridRect client = ClientRect();
    const int fixedW = GetFixedColumnWidth();
    const int fixedH = GetFixedRowHeight();
    auto extend = [this](const CGridCellId& cell) {
        if (!m_enableSelection || !IsValid(cell))
            return;
        switch (m_mouseMode) {
        case MOUSE_SELECT_ALL: SelectAllCells(); break;
        case MOUSE_SELECT_COL: SelectColumns(cell, false, true); break;
        case MOUSE_SELECT_ROW: SelectRows(cell, false, true); break;
        case MOUSE_SELECT_CELLS: SelectCells(cell, false, true); break;
        default: break;
        }
    };
    const int cx = std::clamp(pt.x(), client.left, client.right - 1);
    const int cy = std::clamp(pt.y(), client.top, client.bottom - 1);
    if (pt.y() >= client.bottom) {
        OnKeyDown(VK_DOWN, Qt::NoModifier);
        extend(CellFromPoint(QPoint(cx, client.bottom - 1), true));
    } else if (pt.y() < fixedH) {
        OnKeyDown(VK_UP, Qt::NoModifier);
        extend(CellFromPoint(QPoint(cx, fixedH + 1), true));
    }
    if (pt.x() >= client.right) {
        OnKeyDown(VK_RIGHT, Qt::NoModifier);
        extend(CellFromPoint(QPoint(client.right - 1, cy), true));
    } else if (pt.x() < fixedW) {
        OnKeyDown(VK_LEFT, Qt::NoModifier);
        extend(CellFromPoint(QPoint(fixedW + 1, cy), true));
    }
}

void CGridCtrl::sendNavigationKey(int vk)
{
    OnKeyDown(vk, Qt::NoModifier);
}

} // namespace bc
