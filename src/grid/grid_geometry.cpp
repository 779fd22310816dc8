// Grid geometry: where cells lie, which are in view, the scroll bars and the
// scroll handlers; merged cells; fitting sizes to contents.

#include "grid/grid_ctrl.h"

#include "grid/title_tip.h"

#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <limits>

namespace bc {

GridRect CGridCtrl::ClientRect() const
{
    const QSize s = viewport()->size();
    return GridRect(0, 0, s.width(), s.height());
}

int CGridCtrl::sizeAlong(bool vert, int index) const
{
    return vert ? GetRowHeight(index) : GetColumnWidth(index);
}

int CGridCtrl::firstScrolledAlong(bool vert, int pos, int* lead) const
{
    const int count = vert ? m_rows : m_cols;
    int index = vert ? m_fixedRows : m_fixedCols;
    long long sum = 0;
    if (lead)
        *lead = 0;
    if (pos <= 0)
        return index;
    if (vert) {
        // The first row whose top, counted from the fixed band, lies at or
        // past the scroll position.
        while (index < count - 1) {
            sum += sizeAlong(vert, index);
            ++index;
            if (sum >= pos)
                break;
        }
        return index;
    }
    // The column the position falls in, partly scrolled off: a view scrolled
    // just far enough to show a column whole keeps the columns left of it in
    // view as far as they fit.
    while (index < count - 1 && sum + sizeAlong(vert, index) <= pos)
        sum += sizeAlong(vert, index++);
    if (lead)
        *lead = int(std::clamp<long long>(pos - sum, 0, std::max(sizeAlong(vert, index), 0)));
    return index;
}

CGridCellId CGridCtrl::FirstScrolledCell(bool force) const
{
    if (m_firstScrolled.row >= 0 && m_firstScrolled.col >= 0 && !force)
        return m_firstScrolled;
    m_firstScrolled = CGridCellId(firstScrolledAlong(true, GetScrollPos(SB_VERT)),
                                  firstScrolledAlong(false, GetScrollPos(SB_HORZ), &m_firstScrolledLead));
    return m_firstScrolled;
}

int CGridCtrl::scrolledStart(bool vert) const
{
    if (vert)
        return GetFixedRowHeight();
    FirstScrolledCell();
    return GetFixedColumnWidth() - m_firstScrolledLead;
}

int CGridCtrl::lastVisibleAlong(bool vert, int first, int clientEnd, long long* end) const
{
    const int count = vert ? m_rows : m_cols;
    long long sum = scrolledStart(vert);
    int index = first;
    for (; index < count; ++index) {
        sum += sizeAlong(vert, index);
        if (sum >= clientEnd) {
            sum = clientEnd;
            break;
        }
    }
    *end = sum;
    return std::min(index, count - 1);
}

CGridCellRange CGridCtrl::VisibleCellRange(GridRect* rect, bool force) const
{
    const GridRect client = ClientRect();
    const CGridCellId first = FirstScrolledCell(force);
    long long bottom = 0, right = 0;
    const int maxRow = lastVisibleAlong(true, first.row, client.bottom, &bottom);
    const int maxCol = lastVisibleAlong(false, first.col, client.right, &right);
    if (rect)
        *rect = GridRect(0, 0, int(right), int(bottom));
    return CGridCellRange(first.row, first.col, maxRow, maxCol);
}

long long CGridCtrl::originAlong(bool vert, int index, int first, long long stopPast) const
{
    const int fixedCount = vert ? m_fixedRows : m_fixedCols;
    long long at = 0;
    if (index < fixedCount) {
        for (int i = 0; i < index; ++i)
            at += sizeAlong(vert, i);
        return at;
    }
    // Scrolled rows (columns) count from the first one in view; those left
    // of (above) it lie at negative offsets.
    at = scrolledStart(vert);
    for (int i = first; i < index && at <= stopPast; ++i)
        at += sizeAlong(vert, i);
    for (int i = index; i < first; ++i)
        at -= sizeAlong(vert, i);
    return at;
}

bool CGridCtrl::CellOrigin(int row, int col, QPoint* p) const
{
    if (!IsValid(row, col) || !p)
        return false;
    CGridCellId first;
    if (row >= m_fixedRows || col >= m_fixedCols)
        first = FirstScrolledCell();
    const long long none = std::numeric_limits<long long>::max();
    p->setX(int(std::clamp<long long>(originAlong(false, col, first.col, none), -(1LL << 30), 1LL << 30)));
    p->setY(int(std::clamp<long long>(originAlong(true, row, first.row, none), -(1LL << 30), 1LL << 30)));
    return true;
}

bool CGridCtrl::CellRect(int row, int col, GridRect* rect) const
{
    QPoint p;
    if (!rect || !CellOrigin(row, col, &p))
        return false;
    const CGridCellBase* cell = m_virtualMode ? nullptr : GetCell(row, col);
    if (cell && cell->IsMerged())
        return CellRangeRect(cell->GetMergeRange(), rect);
    *rect = GridRect(p.x(), p.y(), p.x() + GetColumnWidth(col) - 1, p.y() + GetRowHeight(row) - 1);
    return true;
}

bool CGridCtrl::CellRangeRect(const CGridCellRange& range, GridRect* rect) const
{
    QPoint a, b;
    if (!rect || !CellOrigin(range.minRow, range.minCol, &a) || !CellOrigin(range.maxRow, range.maxCol, &b))
        return false;
    *rect = GridRect(a.x(), a.y(), b.x() + GetColumnWidth(range.maxCol) - 1,
                     b.y() + GetRowHeight(range.maxRow) - 1);
    return true;
}

int CGridCtrl::indexAt(bool vert, int pos, int firstScrolled, bool allowFixed, bool* refused) const
{
    // The first row (column) whose running end, from 0 in the fixed band or
    // from the fixed size in the scrolled part, passes the position.
    const int fixedSize = vert ? GetFixedRowHeight() : GetFixedColumnWidth();
    const int fixedCount = vert ? m_fixedRows : m_fixedCols;
    const int count = vert ? m_rows : m_cols;
    auto size = [&](int i) { return sizeAlong(vert, i); };
    if (pos < 0)
        return -1;
    if (pos < fixedSize) {
        if (!allowFixed) {
            *refused = true;
            return -1;
        }
        long long sum = 0;
        for (int i = 0; i < fixedCount; ++i) {
            sum += size(i);
            if (sum > pos)
                return i;
        }
        return 0;
    }
    long long sum = scrolledStart(vert);
    for (int i = firstScrolled; i < count; ++i) {
        sum += size(i);
        if (sum > pos)
            return i;
    }
    return -1;
}

CGridCellId CGridCtrl::CellFromPoint(QPoint p, bool allowFixed) const
{
    const CGridCellId first = FirstScrolledCell();
    if (!allowFixed && !IsValid(first))
        return {};
    bool refused = false;
    const int col = indexAt(false, p.x(), first.col, allowFixed, &refused);
    const int row = refused ? -1 : indexAt(true, p.y(), first.row, allowFixed, &refused);
    if (refused || row < 0 || col < 0)
        return {};
    if (!m_virtualMode)
        if (const CGridCellBase* cell = GetCell(row, col); cell && cell->IsCoveredByMerge())
            return cell->GetMergeOwner();
    return CGridCellId(row, col);
}

// ------------------------------------------------------------------ scroll bars

int CGridCtrl::GetScrollPos(int bar) const
{
    return bar == SB_VERT ? verticalScrollBar()->value() : horizontalScrollBar()->value();
}

int CGridCtrl::GetScrollLimit(int bar) const
{
    return bar == SB_VERT ? verticalScrollBar()->maximum() : horizontalScrollBar()->maximum();
}

void CGridCtrl::setScrollPos(int bar, int pos)
{
    QScrollBar* sb = bar == SB_VERT ? verticalScrollBar() : horizontalScrollBar();
    pos = std::clamp(pos, 0, sb->maximum());
    invalidateFirstScrolled();
    if (m_inScrollAction)
        sb->setSliderPosition(pos);
    else
        sb->setValue(pos);
    invalidateFirstScrolled();
}

void CGridCtrl::EnableScrollBars(int bar, bool show)
{
    if (bar == SB_HORZ || bar == SB_BOTH) {
        if (bool(m_scrollBarState & 1) != show) {
            m_scrollBarState ^= 1;
            setHorizontalScrollBarPolicy(show ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        }
    }
    if (bar == SB_VERT || bar == SB_BOTH) {
        if (bool(m_scrollBarState & 2) != show) {
            m_scrollBarState ^= 2;
            setVerticalScrollBarPolicy(show ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        }
    }
}

void CGridCtrl::UpdateScrollBars()
{
    invalidateFirstScrolled();
    if (!m_redraw || m_inScrollUpdate)
        return;
    GridRect client = ClientRect();
    if (client.IsRectEmpty())
        return;
    m_inScrollUpdate = true;
    const int vExtent = verticalScrollBar()->sizeHint().width();
    const int hExtent = horizontalScrollBar()->sizeHint().height();
    // The whole area, as if no bar were shown.
    if (m_scrollBarState & 2)
        client.right += vExtent;
    if (m_scrollBarState & 1)
        client.bottom += hExtent;
    const int fixedW = GetFixedColumnWidth();
    const int fixedH = GetFixedRowHeight();
    if (fixedW >= client.right || fixedH >= client.bottom) {
        m_vScrollMax = m_hScrollMax = 0;
        verticalScrollBar()->setRange(0, 0);
        horizontalScrollBar()->setRange(0, 0);
        EnableScrollBars(SB_BOTH, false);
        m_inScrollUpdate = false;
        return;
    }
    const long long scrollH = TotalRowHeight() - fixedH;
    const long long scrollW = TotalColumnWidth() - fixedW;
    int availW = client.right;
    int availH = client.bottom;
    bool vShow = false;
    if (client.bottom - fixedH < scrollH) {
        vShow = true;
        availW -= vExtent;
    }
    if (availW - fixedW < scrollW) {
        availH -= hExtent;
        if (!vShow && availH - fixedH < scrollH) {
            vShow = true;
            availW -= vExtent;
        }
    }
    const int pageH = std::max(availH - fixedH, 0);
    const int pageW = std::max(availW - fixedW, 0);
    // Qt's scroll positions are int: a table taller than that scrolls as far as they go.
    const long long limit = GridSizes::kMaxSum;
    m_vScrollMax = pageH < scrollH ? int(std::min(scrollH - 1, limit)) : 0;
    m_hScrollMax = pageW < scrollW ? int(std::min(scrollW - 1, limit)) : 0;
    EnableScrollBars(SB_VERT, m_vScrollMax > 0);
    EnableScrollBars(SB_HORZ, m_hScrollMax > 0);
    // A position runs from 0 to max - page + 1, so the last cells end at the bottom.
    auto setBar = [](QScrollBar* bar, int maximum, int page, int step) {
        // Unchanged values cost nothing: no signals, no relayout.
        if (bar->minimum() != 0 || bar->maximum() != maximum)
            bar->setRange(0, maximum);
        if (bar->pageStep() != page)
            bar->setPageStep(page);
        if (bar->singleStep() != step)
            bar->setSingleStep(step);
    };
    setBar(verticalScrollBar(), m_vScrollMax > 0 ? std::max(m_vScrollMax - pageH + 1, 0) : 0, std::max(pageH, 1),
           std::max(m_defaultCells[0].GetHeight(), 1));
    setBar(horizontalScrollBar(), m_hScrollMax > 0 ? std::max(m_hScrollMax - pageW + 1, 0) : 0, std::max(pageW, 1),
           std::max(m_defaultCells[0].GetWidth(), 1));
    invalidateFirstScrolled();
    m_inScrollUpdate = false;
    viewport()->update();
}

void CGridCtrl::onScrollAction(Qt::Orientation o, int action)
{
    int code = -1;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
    case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
    case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
    case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
    case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
    case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
    default: return; // thumb moves are taken as they come
    }
    QScrollBar* sb = o == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
    // The slider has already moved; scroll from where it was.
    const int proposed = sb->sliderPosition();
    sb->blockSignals(true);
    sb->setSliderPosition(sb->value());
    sb->blockSignals(false);
    (void)proposed;
    m_inScrollAction = true;
    if (o == Qt::Vertical)
        OnVScroll(code);
    else
        OnHScroll(code);
    m_inScrollAction = false;
}

void CGridCtrl::OnHScroll(int code, int trackPos)
{
    scrollAxis(SB_HORZ, code, trackPos);
}

void CGridCtrl::OnVScroll(int code, int trackPos)
{
    scrollAxis(SB_VERT, code, trackPos);
}

void CGridCtrl::scrollAxis(int bar, int code, int trackPos)
{
    EndEditing();
    if (m_titleTip)
        m_titleTip->Hide();
    const bool vert = bar == SB_VERT;
    const int pos = GetScrollPos(bar);
    const int limit = GetScrollLimit(bar);
    const CGridCellId first = FirstScrolledCell();
    const int firstIndex = vert ? first.row : first.col;
    const int fixedCount = vert ? m_fixedRows : m_fixedCols;
    const int count = vert ? m_rows : m_cols;
    auto size = [&](int i) { return sizeAlong(vert, i); };
    const GridRect client = ClientRect();
    const int page = vert ? client.bottom - GetFixedRowHeight() : client.right - GetFixedColumnWidth();
    switch (code) {
    case SB_LINEUP: {
        // Back to the start of a column partly scrolled off, else by the
        // nearest shown row (or column) before the first in view.
        if (!vert && pos > 0 && m_firstScrolledLead > 0) {
            setScrollPos(bar, pos - m_firstScrolledLead);
            break;
        }
        if (pos <= 0 || firstIndex <= fixedCount)
            return;
        int i = firstIndex - 1;
        while (i > fixedCount && size(i) < 1)
            --i;
        setScrollPos(bar, std::max(pos - std::max(size(i), 0), 0));
        break;
    }
    case SB_LINEDOWN: {
        if (pos >= limit)
            return;
        int i = firstIndex;
        while (i < count - 1 && size(i) < 1)
            ++i;
        // On to the start of the next one.
        const int lead = vert ? 0 : m_firstScrolledLead;
        setScrollPos(bar, pos + std::max(size(i) - lead, 1));
        break;
    }
    case SB_PAGEUP:
        if (pos <= 0)
            return;
        setScrollPos(bar, std::max(pos - page, 0));
        break;
    case SB_PAGEDOWN:
        if (pos >= limit)
            return;
        setScrollPos(bar, std::min(pos + page, limit));
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        setScrollPos(bar, trackPos);
        break;
    case SB_TOP:
        if (pos <= 0)
            return;
        setScrollPos(bar, 0);
        break;
    case SB_BOTTOM:
        if (pos >= limit)
            return;
        setScrollPos(bar, limit);
        break;
    default:
        return;
    }
    viewport()->update();
}

void CGridCtrl::scrollContentsBy(int, int)
{
    // Every scroll, the thumb's drag included, leaves an open editor over a
    // cell that has moved: the edit ends first.
    EndEditing();
    if (m_titleTip)
        m_titleTip->Hide();
    invalidateFirstScrolled();
    viewport()->update();
}

void CGridCtrl::showAxis(bool vert, int index, const GridRect& client)
{
    // The position is a pixel offset into the scrolled rows (columns); a view
    // always starts at a whole row, the first whose top lies at or past it.
    const int fixedCount = vert ? m_fixedRows : m_fixedCols;
    auto size = [&](int i) { return sizeAlong(vert, i); };
    if (index < fixedCount || size(index) <= 0)
        return;
    const CGridCellId first = FirstScrolledCell();
    const int bar = vert ? SB_VERT : SB_HORZ;
    const int clientEnd = vert ? client.bottom : client.right;
    const int page = clientEnd - (vert ? GetFixedRowHeight() : GetFixedColumnWidth());
    long long offset = 0;
    for (int i = fixedCount; i < index; ++i)
        offset += size(i);
    QPoint origin;
    CellOrigin(vert ? index : 0, vert ? 0 : index, &origin);
    if (index < (vert ? first.row : first.col) || (!vert && origin.x() < GetFixedColumnWidth())) {
        setScrollPos(bar, int(offset));
        return;
    }
    const int end = (vert ? origin.y() : origin.x()) + size(index);
    if (end <= clientEnd)
        return;
    if (!vert) {
        // Just far enough for the right edge; a column wider than the view
        // shows from its left.
        setScrollPos(bar, int(std::min(offset + size(index) - page, offset)));
        return;
    }
    // Smallest start that keeps the row whole in view; a row taller than the
    // view is shown from its top.
    long long start = offset;
    long long used = size(index);
    for (int i = index - 1; i >= fixedCount && used + size(i) <= page; --i) {
        used += size(i);
        start -= size(i);
    }
    setScrollPos(bar, int(start));
}

void CGridCtrl::ShowCell(int row, int col)
{
    if (!m_redraw || !IsValid(row, col))
        return;
    const GridRect client = ClientRect();
    if (client.IsRectEmpty())
        return;
    showAxis(true, row, client);
    showAxis(false, col, client);
    invalidateFirstScrolled();
}

bool CGridCtrl::IsCellVisible(int row, int col) const
{
    if (!IsValid(row, col))
        return false;
    const CGridCellId first = FirstScrolledCell();
    if ((row >= m_fixedRows && row < first.row) || (col >= m_fixedCols && col < first.col))
        return false;
    // The walk stops as soon as it has passed the client area.
    const GridRect client = ClientRect();
    return originAlong(false, col, first.col, client.right) <= client.right
        && originAlong(true, row, first.row, client.bottom) <= client.bottom;
}

void CGridCtrl::Refresh()
{
    if (m_redraw)
        viewport()->update();
}

void CGridCtrl::RedrawCell(int row, int col)
{
    if (!m_redraw || !IsValid(row, col) || !IsCellVisible(row, col))
        return;
    GridRect rc;
    if (!CellRect(row, col, &rc))
        return;
    rc.right++;
    rc.bottom++;
    viewport()->update(rc.toQRect());
}

void CGridCtrl::RedrawRange(const CGridCellRange& range)
{
    if (!m_redraw)
        return;
    CGridCellRange r(std::min(range.minRow, range.maxRow), std::min(range.minCol, range.maxCol),
                     std::max(range.minRow, range.maxRow), std::max(range.minCol, range.maxCol));
    GridRect rc;
    if (!CellRangeRect(r, &rc))
        return;
    rc.InflateRect(1, 1);
    viewport()->update(rc.toQRect());
}

// ------------------------------------------------------------------ merges

bool CGridCtrl::MergeSelectedCells()
{
    const CGridCellRange r = SelectionRange();
    if (!r.IsValid() || (r.minRow == r.maxRow && r.minCol == r.maxCol))
        return false;
    return MergeCells(r.minRow, r.minCol, r.maxRow, r.maxCol);
}

bool CGridCtrl::MergeCells(int minRow, int minCol, int maxRow, int maxCol)
{
    const CGridCellRange range(minRow, minCol, maxRow, maxCol);
    if (m_virtualMode || !IsValidRange(range) || range.Count() < 2)
        return false;
    for (const CGridCellRange& m : m_merges)
        if (!(m.maxRow < minRow || m.minRow > maxRow || m.maxCol < minCol || m.minCol > maxCol))
            return false;
    CGridCellBase* owner = GetCell(minRow, minCol);
    if (!owner)
        return false;
    for (int r = minRow; r <= maxRow; ++r)
        for (int c = minCol; c <= maxCol; ++c) {
            CGridCellBase* cell = GetCell(r, c);
            if (!cell)
                continue;
            cell->Show(false);
            if (r == minRow && c == minCol)
                cell->SetMergeRange(range);
            else
                cell->SetMergeOwner(minRow, minCol);
        }
    m_merges.push_back(range);
    Refresh();
    return true;
}

void CGridCtrl::UnmergeSelectedCells()
{
    const CGridCellRange r = SelectionRange();
    if (r.IsValid())
        UnmergeCells(r.minRow, r.minCol, r.maxRow, r.maxCol);
}

void CGridCtrl::UnmergeCells(int minRow, int minCol, int maxRow, int maxCol)
{
    for (int r = std::max(minRow, 0); r <= maxRow && r < m_rows; ++r)
        for (int c = std::max(minCol, 0); c <= maxCol && c < m_cols; ++c) {
            CGridCellBase* cell = m_virtualMode ? nullptr : GetCell(r, c);
            if (!cell)
                continue;
            if (!cell->IsMerged()) {
                cell->ClearMerge();
                continue;
            }
            const CGridCellRange own = cell->GetMergeRange();
            for (int rr = own.maxRow; rr >= own.minRow; --rr)
                for (int cc = own.maxCol; cc >= own.minCol; --cc)
                    if (CGridCellBase* part = GetCell(rr, cc))
                        part->ClearMerge();
            m_merges.erase(std::remove(m_merges.begin(), m_merges.end(), own), m_merges.end());
        }
    Refresh();
}

CGridCellId CGridCtrl::GetMergedCellId(int row, int col) const
{
    const CGridCellBase* cell = m_virtualMode ? nullptr : GetCell(row, col);
    if (cell && cell->IsCoveredByMerge())
        return cell->GetMergeOwner();
    return CGridCellId(row, col);
}

int CGridCtrl::mergedSpan(bool vert, int row, int col) const
{
    const CGridCellBase* cell = m_virtualMode ? nullptr : GetCell(row, col);
    if (cell && cell->IsCoveredByMerge()) {
        const CGridCellId o = cell->GetMergeOwner();
        cell = GetCell(o.row, o.col);
    }
    if (!cell || !cell->IsMerged())
        return vert ? GetRowHeight(row) : GetColumnWidth(col);
    const CGridCellRange r = cell->GetMergeRange();
    long long sum = 0;
    if (vert)
        for (int i = r.maxRow; i >= r.minRow; --i)
            sum += GetRowHeight(i);
    else
        for (int i = r.maxCol; i >= r.minCol; --i)
            sum += GetColumnWidth(i);
    return int(std::min<long long>(sum, GridSizes::kMaxSum));
}

int CGridCtrl::GetMergedColumnWidth(int row, int col) const
{
    return mergedSpan(false, row, col);
}

int CGridCtrl::GetMergedRowHeight(int row, int col) const
{
    return mergedSpan(true, row, col);
}

namespace {
// Where a merge goes when `delta` lines are inserted (positive) or removed
// (negative) at `at` along one axis: kept, shifted, or dissolved.
enum class MergeFate { Keep, Shift, Drop };
MergeFate mergeFate(int lo, int hi, int at, int delta)
{
    if (hi < at)
        return MergeFate::Keep;
    if (delta > 0)
        return lo >= at ? MergeFate::Shift : MergeFate::Drop;
    const int removedEnd = at - delta; // one past the last removed line
    if (lo >= removedEnd)
        return MergeFate::Shift;
    return MergeFate::Drop;
}
} // namespace

void CGridCtrl::shiftMerges(bool rows, int at, int delta)
{
    if (m_merges.empty() || delta == 0)
        return;
    const std::vector<CGridCellRange> merges = m_merges;
    for (const CGridCellRange& m : merges) {
        const MergeFate fate = rows ? mergeFate(m.minRow, m.maxRow, at, delta) : mergeFate(m.minCol, m.maxCol, at, delta);
        if (fate == MergeFate::Keep)
            continue;
        UnmergeCells(m.minRow, m.minCol, m.minRow, m.minCol);
        if (fate != MergeFate::Shift)
            continue;
        CGridCellRange moved = m;
        if (rows) {
            moved.minRow += delta;
            moved.maxRow += delta;
        } else {
            moved.minCol += delta;
            moved.maxCol += delta;
        }
        m_pendingMerges.push_back(moved);
    }
}

void CGridCtrl::finishMergeShift()
{
    std::vector<CGridCellRange> pending;
    pending.swap(m_pendingMerges);
    for (const CGridCellRange& m : pending)
        MergeCells(m.minRow, m.minCol, m.maxRow, m.maxCol);
}

void CGridCtrl::resetAllMerges()
{
    const std::vector<CGridCellRange> merges = m_merges;
    for (const CGridCellRange& m : merges)
        UnmergeCells(m.minRow, m.minCol, m.minRow, m.minCol);
    m_merges.clear();
    m_pendingMerges.clear();
}

// ------------------------------------------------------------------ auto-size

bool CGridCtrl::FitColumnToContent(int col, int flags, bool updateScrollBars)
{
    if (col < 0 || col >= m_cols || GetColumnWidth(col) == 0)
        return false;
    if (flags == GVS_DEFAULT)
        flags = m_autoSizeStyle;
    const int first = (flags & GVS_HEADER) ? 0 : m_fixedRows;
    const int last = (flags & GVS_DATA) ? m_rows - 1 : m_fixedRows - 1;
    if (m_virtualMode)
        SendCacheHintToParent(CGridCellRange(first, col, last, col));
    int width = 0;
    for (int r = first; r <= last; ++r)
        if (CGridCellBase* cell = GetCell(r, col))
            width = std::max(width, cell->GetCellExtent(nullptr).width());
    if (m_virtualMode)
        SendCacheHintToParent(CGridCellRange());
    m_colWidths.set(col, width);
    if (updateScrollBars) {
        UpdateScrollBars();
        Refresh();
    }
    return true;
}

bool CGridCtrl::FitRowToContent(int row, bool updateScrollBars)
{
    if (row < 0 || row >= m_rows || GetRowHeight(row) == 0)
        return false;
    if (m_virtualMode)
        SendCacheHintToParent(CGridCellRange(row, 0, row, m_cols - 1));
    int height = 0;
    for (int c = 0; c < m_cols; ++c)
        if (CGridCellBase* cell = GetCell(row, c))
            height = std::max(height, cell->GetCellExtent(nullptr).height());
    if (m_virtualMode)
        SendCacheHintToParent(CGridCellRange());
    m_rowHeights.set(row, height);
    if (updateScrollBars) {
        UpdateScrollBars();
        Refresh();
    }
    return true;
}

void CGridCtrl::AutoSizeColumns(int flags)
{
    for (int c = 0; c < m_cols; ++c)
        if (GetColumnWidth(c) > 0)
            FitColumnToContent(c, flags, false);
    UpdateScrollBars();
    Refresh();
}

void CGridCtrl::AutoSizeRows()
{
    for (int r = 0; r < m_rows; ++r)
        if (GetRowHeight(r) > 0)
            FitRowToContent(r, false);
    UpdateScrollBars();
    Refresh();
}

void CGridCtrl::FitAllToContent(int flags)
{
    if (flags == GVS_DEFAULT)
        flags = m_autoSizeStyle;
    const int first = (flags & GVS_HEADER) ? 0 : m_fixedRows;
    const int last = (flags & GVS_DATA) ? m_rows - 1 : m_fixedRows - 1;
    if (m_virtualMode)
        SendCacheHintToParent(CGridCellRange(first, 0, last, m_cols - 1));
    for (int r = first; r <= last; ++r)
        if (m_rowHeights[r] > 0)
            m_rowHeights.set(r, 1);
    for (int c = 0; c < m_cols; ++c) {
        if (m_colWidths[c] <= 0)
            continue;
        m_colWidths.set(c, 0);
        for (int r = first; r <= last; ++r) {
            if (m_rowHeights[r] <= 0)
                continue;
            CGridCellBase* cell = GetCell(r, c);
            if (!cell)
                continue;
            const QSize e = cell->GetCellExtent(nullptr);
            m_colWidths.set(c, std::max(m_colWidths[c], e.width()));
            m_rowHeights.set(r, std::max(m_rowHeights[r], e.height()));
        }
    }
    if (m_virtualMode)
        SendCacheHintToParent(CGridCellRange());
    UpdateScrollBars();
    Refresh();
}

namespace {
// Spreads `d` pixels over the non-zero sizes of [first, end), never letting a
// size fall below one pixel.
void stretchSizes(GridSizes& sizes, int first, long long d)
{
    const int end = sizes.size();
    int n = 0;
    for (int i = first; i < end; ++i)
        if (sizes[i] != 0)
            ++n;
    if (n < 1)
        return;
    const long long each = d / n;
    long long rest = (d < 0 ? -d : d) % n;
    for (int i = first; i < end; ++i) {
        const int s = sizes[i];
        if (s == 0)
            continue;
        sizes.set(i, int(std::max<long long>(s + each, 1)));
    }
    for (int i = first; i < end && rest > 0; ++i, --rest) {
        const int s = sizes[i];
        if (s == 0)
            continue;
        sizes.set(i, std::max(s + (d > 0 ? 1 : -1), 1));
    }
}
} // namespace

void CGridCtrl::StretchColumnsToWindow(bool includeFixed)
{
    const int first = includeFixed ? 0 : m_fixedCols;
    if (first >= m_cols)
        return;
    EnableScrollBars(SB_HORZ, false);
    const GridRect client = ClientRect();
    stretchSizes(m_colWidths, first, client.Width() - TotalColumnWidth());
    Refresh();
    UpdateScrollBars();
}

void CGridCtrl::StretchRowsToWindow(bool includeFixed)
{
    const int first = includeFixed ? 0 : m_fixedRows;
    if (first >= m_rows)
        return;
    EnableScrollBars(SB_VERT, false);
    const GridRect client = ClientRect();
    stretchSizes(m_rowHeights, first, client.Height() - TotalRowHeight());
    Refresh();
    UpdateScrollBars();
}

void CGridCtrl::StretchLastColumn()
{
    int last = -1;
    for (int c = m_cols - 1; c >= 0; --c)
        if (GetColumnWidth(c) != 0) {
            last = c;
            break;
        }
    if (last <= 0)
        return;
    EnableScrollBars(SB_HORZ, false);
    const GridRect client = ClientRect();
    const long long total = TotalColumnWidth();
    if (client.Width() > total) {
        m_colWidths.set(last, m_colWidths[last] + int(client.Width() - total));
        Refresh();
    }
    UpdateScrollBars();
}

void CGridCtrl::ExpandToFit(bool includeFixed)
{
    StretchColumnsToWindow(includeFixed);
    StretchRowsToWindow(includeFixed);
    StretchColumnsToWindow(includeFixed);
    Refresh();
}

} // namespace bc
