// The grid window: construction, structure, cell storage, accessors, focus,
// selection and notifications.

#include "grid/grid_ctrl.h"

#include "grid/title_tip.h"
#include "platform/prompter.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cstdarg>
#include <new>

namespace bc {

namespace {
constexpr int kNormal = 0, kFixedCol = 1, kFixedRow = 2, kCorner = 3;

void reportMemoryFailure()
{
    messageBox(QStringLiteral("Out of memory."), QString(), MB_OK | MB_ICONSTOP);
}
} // namespace

std::vector<CGridCellId> GridSelectedCellMap::ids() const
{
    std::vector<CGridCellId> out;
    out.reserve(m_set.size());
    for (std::uint64_t k : m_set)
        out.push_back(id(k));
    return out;
}

CGridCtrl::CGridCtrl(int rows, int cols, int fixedRows, int fixedCols, QWidget* parent)
    : QAbstractScrollArea(parent)
{
    m_crWindowText = GetSysColor(COLOR_WINDOWTEXT);
    m_crWindow = GetSysColor(COLOR_WINDOW);
    m_cr3DFace = GetSysColor(COLOR_3DFACE);
    m_gridBkColor = m_crShadow;
    m_defaultCellClass = gridCellClass<CGridCell>();
    for (int i = 0; i < 4; ++i) {
        m_defaultCells[i].SetGrid(this);
        m_defaultCells[i].SetTextColor(m_crWindowText);
        m_defaultCells[i].SetBackColor(i == kNormal ? m_crWindow : m_cr3DFace);
    }
    m_virtualCell = std::make_unique<CGridCell>();

    setFocusPolicy(Qt::StrongFocus);
    // Text from an input method (Chinese typed through one) starts an edit.
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { onScrollAction(Qt::Horizontal, action); });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { onScrollAction(Qt::Vertical, action); });

    m_titleTip = new ZTitleTip(this);
    m_wheelScrollLines = unsigned(std::max(QApplication::wheelScrollLines(), 0));

    ChangeRowCount(rows);
    ChangeColumnCount(cols);
    ChangeFixedRowCount(fixedRows);
    ChangeFixedColumnCount(fixedCols);
    m_selectedCells.clear();
    m_prevSelectedCells.clear();
    // Every row and column starts at the normal default cell's size.
    m_rowHeights.fill(m_defaultCells[kNormal].GetHeight());
    m_colWidths.fill(m_defaultCells[kNormal].GetWidth());
    m_modified = false;
}

CGridCtrl::~CGridCtrl()
{
    // An editor still open has nothing left to report to: its text goes with
    // the grid, and the owner hears nothing while the grid is being destroyed.
    // Every editor the grid made ends so, not only the one it tracks: one
    // opened beside it may take the focus and lose it while the windows go.
    for (QWidget* w : viewport()->findChildren<QWidget*>())
        if (auto* editor = dynamic_cast<GridEditor*>(w))
            editor->abandon();
    m_activeEditor = nullptr;
    m_editorWidget = nullptr;
    stopAutoScroll();
    RemoveAllCells();
    delete m_titleTip;
}

GridOwner* CGridCtrl::GetOwner() const
{
    if (m_owner)
        return m_owner;
    return dynamic_cast<GridOwner*>(parentWidget());
}

const CGridDefaultCell* CGridCtrl::GetDefaultCell(bool fixedRow, bool fixedCol) const
{
    if (fixedRow && fixedCol)
        return &m_defaultCells[kCorner];
    if (fixedRow)
        return &m_defaultCells[kFixedRow];
    if (fixedCol)
        return &m_defaultCells[kFixedCol];
    return &m_defaultCells[kNormal];
}

CGridDefaultCell* CGridCtrl::GetDefaultCell(bool fixedRow, bool fixedCol)
{
    return const_cast<CGridDefaultCell*>(std::as_const(*this).GetDefaultCell(fixedRow, fixedCol));
}

void CGridCtrl::SetGridFont(const QFont& font)
{
    for (auto& cell : m_defaultCells)
        cell.SetFont(&font);
    Refresh();
}

const QFontMetrics& CGridCtrl::metricsFor(const QFont& font) const
{
    if (!m_measureFont || !(*m_measureFont == font)) {
        m_measureFont = std::make_unique<QFont>(font);
        m_measureMetrics = std::make_unique<QFontMetrics>(font);
        m_advances.clear();
    }
    return *m_measureMetrics;
}

int CGridCtrl::textWidth(const QFont& font, const QString& text) const
{
    const QFontMetrics& fm = metricsFor(font);
    int width = 0;
    for (const QChar ch : text) {
        // Marks and surrogate pairs only make sense with their neighbours.
        if (ch.isSurrogate() || ch.category() == QChar::Mark_NonSpacing)
            return fm.horizontalAdvance(text);
        auto it = m_advances.constFind(ch.unicode());
        if (it == m_advances.constEnd())
            it = m_advances.insert(ch.unicode(), fm.horizontalAdvance(ch));
        width += *it;
    }
    return width;
}

int CGridCtrl::textHeight(const QFont& font) const
{
    return metricsFor(font).height();
}

bool CGridCtrl::IsValidRange(const CGridCellRange& r) const
{
    return r.IsValid() && r.maxRow < m_rows && r.maxCol < m_cols;
}

// ------------------------------------------------------------------ storage

CGridCellBase* CGridCtrl::GetCell(int row, int col) const
{
    if (!IsValid(row, col))
        return nullptr;
    if (!m_virtualMode) {
        if (std::size_t(row) >= m_rowData.size())
            return nullptr;
        const CGridRow& r = m_rowData[std::size_t(row)];
        if (std::size_t(col) >= r.size())
            return nullptr;
        return r[std::size_t(col)].get();
    }
    const bool fixedRow = row < m_fixedRows;
    const bool fixedCol = col < m_fixedCols;
    const CGridDefaultCell* def = GetDefaultCell(fixedRow, fixedCol);
    GridDispInfo& info = m_virtualInfo;
    info = GridDispInfo();
    info.item.row = row;
    info.item.col = col;
    info.item.mask = GVIF_ALL;
    info.item.state = 0;
    info.item.format = def->GetFormat();
    info.item.image = def->GetImage();
    info.item.backColor = def->GetBackColor();
    info.item.textColor = def->GetTextColor();
    info.item.data = def->GetData();
    info.item.font = def->GetFontObject();
    info.item.margin = def->GetMargin();
    if (m_enableSelection && m_selectedCells.contains(row, col))
        info.item.state |= GVIS_SELECTED;
    if (fixedRow)
        info.item.state |= GVIS_FIXED | GVIS_FIXEDROW;
    if (fixedCol)
        info.item.state |= GVIS_FIXED | GVIS_FIXEDCOL;
    if (CGridCellId(row, col) == m_focusCell)
        info.item.state |= GVIS_FOCUSED;
    if (m_displayCallback)
        m_displayCallback(&info, m_displayParam);
    else
        SendDisplayRequestToParent(&info);
    CGridCell* cell = m_virtualCell.get();
    cell->Reset();
    cell->SetImage(info.item.image);
    cell->SetState(info.item.state);
    cell->SetFormat(info.item.format);
    cell->SetData(info.item.data);
    cell->SetBackColor(info.item.backColor);
    cell->SetTextColor(info.item.textColor);
    cell->SetFont(&info.item.font);
    cell->SetMargin(info.item.margin);
    cell->SetText(info.item.text);
    cell->SetGrid(const_cast<CGridCtrl*>(this));
    return cell;
}

std::unique_ptr<CGridCellBase> CGridCtrl::CreateCell(int row, int col)
{
    if (!m_defaultCellClass)
        return nullptr;
    std::unique_ptr<CGridCellBase> cell = m_defaultCellClass();
    if (!cell)
        return nullptr;
    cell->SetGrid(this);
    cell->SetCoords(row, col);
    std::uint32_t state = cell->GetState();
    if (col < m_fixedCols)
        state |= GVIS_FIXED | GVIS_FIXEDCOL;
    if (row < m_fixedRows)
        state |= GVIS_FIXED | GVIS_FIXEDROW;
    cell->SetState(state);
    if (const CGridDefaultCell* def = cell->GetDefaultCell())
        cell->SetFormat(def->GetFormat());
    return cell;
}

void CGridCtrl::DestroyCell(int row, int col)
{
    ChangeItemState(row, col, 0);
    if (!m_virtualMode && IsValid(row, col) && std::size_t(row) < m_rowData.size()
        && std::size_t(col) < m_rowData[std::size_t(row)].size())
        m_rowData[std::size_t(row)][std::size_t(col)].reset();
}

bool CGridCtrl::ChangeCellClass(int row, int col, const GridCellFactory& cellClass)
{
    if (m_virtualMode || !IsValid(row, col) || !cellClass)
        return false;
    std::unique_ptr<CGridCellBase> cell = cellClass();
    if (!cell)
        return false;
    EndEditing();
    if (std::size_t(row) >= m_rowData.size())
        return true;
    CGridRow& r = m_rowData[std::size_t(row)];
    if (std::size_t(col) >= r.size())
        return true;
    if (CGridCellBase* old = r[std::size_t(col)].get())
        cell->assign(*old);
    cell->SetGrid(this);
    cell->SetCoords(row, col);
    r[std::size_t(col)] = std::move(cell);
    RedrawCell(row, col);
    return true;
}

bool CGridCtrl::SetDefaultCellType(const GridCellFactory& cellClass)
{
    if (!cellClass)
        return false;
    m_defaultCellClass = cellClass;
    return true;
}

// ------------------------------------------------------------------ structure

bool CGridCtrl::ChangeRowCount(int n)
{
    if (n < 0)
        return false;
    if (n == m_rows)
        return true;
    EndEditing();
    invalidateFirstScrolled();
    if (n < m_rows)
        shiftMerges(true, n, -(m_rows - n));
    if (n < m_fixedRows)
        m_fixedRows = n;
    if (m_focusCell.row >= n)
        SetFocusCell(-1, -1);
    bool ok = true;
    if (n < m_rows) {
        if (!m_virtualMode) {
            for (int r = n; r < m_rows; ++r)
                for (int c = 0; c < m_cols; ++c)
                    DestroyCell(r, c);
            m_rowData.resize(std::size_t(n));
        }
        m_rows = n;
        m_rowHeights.resize(n);
    } else {
        try {
            const int h = m_defaultCells[kNormal].GetHeight();
            m_rowHeights.resize(n, h);
            if (m_virtualMode) {
                m_rows = n;
            } else {
                m_rowData.reserve(std::size_t(n));
                while (m_rows < n) {
                    const int r = m_rows;
                    m_rowData.emplace_back(std::size_t(m_cols));
                    for (int c = 0; c < m_cols; ++c)
                        m_rowData[std::size_t(r)][std::size_t(c)] = CreateCell(r, c);
                    ++m_rows;
                }
            }
        } catch (const std::bad_alloc&) {
            reportMemoryFailure();
            // Keep the sizes and the rows in step with the rows really made.
            m_rowHeights.resize(m_rows);
            if (!m_virtualMode && m_rowData.size() > std::size_t(m_rows))
                m_rowData.resize(std::size_t(m_rows));
            ok = false;
        }
    }
    MarkModified(true, -1, -1);
    UpdateScrollBars();
    Refresh();
    return ok;
}

bool CGridCtrl::ChangeColumnCount(int n)
{
    if (n < 0)
        return false;
    if (n == m_cols)
        return true;
    EndEditing();
    invalidateFirstScrolled();
    if (n < m_cols) {
        shiftMerges(false, n, -(m_cols - n));
        if (n < m_fixedCols)
            m_fixedCols = n;
        if (m_focusCell.col >= n)
            SetFocusCell(-1, -1);
        if (!m_virtualMode) {
            for (int r = 0; r < m_rows; ++r) {
                for (int c = n; c < m_cols; ++c)
                    DestroyCell(r, c);
                m_rowData[std::size_t(r)].resize(std::size_t(n));
            }
        }
        m_colWidths.resize(n);
        m_cols = n;
    } else {
        bool ok = true;
        const int old = m_cols;
        try {
            m_colWidths.resize(n, m_defaultCells[kFixedCol].GetWidth());
            if (!m_virtualMode)
                for (auto& row : m_rowData)
                    row.resize(std::size_t(n));
            m_cols = n;
            if (!m_virtualMode)
                for (int r = 0; r < m_rows; ++r)
                    for (int c = old; c < n; ++c)
                        m_rowData[std::size_t(r)][std::size_t(c)] = CreateCell(r, c);
        } catch (const std::bad_alloc&) {
            reportMemoryFailure();
            // Keep the widths and the rows in step with the columns really made.
            if (m_cols != n) {
                m_colWidths.resize(m_cols);
                if (!m_virtualMode)
                    for (auto& row : m_rowData)
                        row.resize(std::size_t(m_cols));
            }
            ok = false;
        }
        MarkModified(true, -1, -1);
        UpdateScrollBars();
        Refresh();
        return ok;
    }
    MarkModified(true, -1, -1);
    UpdateScrollBars();
    Refresh();
    return true;
}

bool CGridCtrl::ChangeFixedRowCount(int n)
{
    if (n < 0)
        return false;
    if (n == m_fixedRows)
        return true;
    EndEditing();
    m_prevSelectedCells.clear();
    SetSelectedRange(-1, -1, -1, -1, false, true);
    SetFocusCell(-1, -1);
    invalidateFirstScrolled();
    if (n > m_rows && !ChangeRowCount(n))
        return false;
    if (m_focusCell.row < n && m_focusCell.row != -1)
        SetFocusCell(-1, -1);
    if (!m_virtualMode) {
        for (int r = m_fixedRows; r < n; ++r)
            for (int c = 0; c < m_cols; ++c)
                if (CGridCellBase* cell = GetCell(r, c)) {
                    cell->SetState(cell->GetState() | GVIS_FIXED | GVIS_FIXEDROW);
                    cell->SetBackColor(CLR_DEFAULT);
                    cell->SetTextColor(CLR_DEFAULT);
                }
        for (int r = n; r < m_fixedRows; ++r)
            for (int c = 0; c < m_cols; ++c)
                if (CGridCellBase* cell = GetCell(r, c)) {
                    if (c < m_fixedCols) {
                        cell->SetState(cell->GetState() & ~std::uint32_t(GVIS_FIXEDROW));
                    } else {
                        cell->SetState(cell->GetState() & ~std::uint32_t(GVIS_FIXED | GVIS_FIXEDROW));
                        cell->SetBackColor(CLR_DEFAULT);
                        cell->SetTextColor(CLR_DEFAULT);
                    }
                }
    }
    m_fixedRows = n;
    UpdateScrollBars();
    Refresh();
    return true;
}

bool CGridCtrl::ChangeFixedColumnCount(int n)
{
    if (n < 0)
        return false;
    if (n == m_fixedCols)
        return true;
    EndEditing();
    if (n > m_cols && !ChangeColumnCount(n))
        return false;
    if (m_focusCell.col < n && m_focusCell.col != -1)
        SetFocusCell(-1, -1);
    m_prevSelectedCells.clear();
    SetSelectedRange(-1, -1, -1, -1, false, true);
    SetFocusCell(-1, -1);
    invalidateFirstScrolled();
    if (!m_virtualMode) {
        for (int r = 0; r < m_rows; ++r) {
            for (int c = m_fixedCols; c < n; ++c)
                if (CGridCellBase* cell = GetCell(r, c)) {
                    cell->SetState(cell->GetState() | GVIS_FIXED | GVIS_FIXEDCOL);
                    cell->SetBackColor(CLR_DEFAULT);
                    cell->SetTextColor(CLR_DEFAULT);
                }
            for (int c = n; c < m_fixedCols; ++c)
                if (CGridCellBase* cell = GetCell(r, c)) {
                    if (r < m_fixedRows) {
                        cell->SetState(cell->GetState() & ~std::uint32_t(GVIS_FIXEDCOL));
                    } else {
                        cell->SetState(cell->GetState() & ~std::uint32_t(GVIS_FIXED | GVIS_FIXEDCOL));
                        cell->SetBackColor(CLR_DEFAULT);
                        cell->SetTextColor(CLR_DEFAULT);
                    }
                }
        }
    }
    m_fixedCols = n;
    UpdateScrollBars();
    Refresh();
    return true;
}

int CGridCtrl::AddRowAt(const QString& heading, int row)
{
    if ((row >= 0 && row < m_fixedRows) || row >= m_rows || row < -1)
        return -1;
    EndEditing();
    invalidateFirstScrolled();
    m_prevSelectedCells.clear();
    SetSelectedRange(-1, -1, -1, -1, false, true);
    if (m_cols == 0)
        ChangeColumnCount(1);
    // The focus stays on its cell and follows it down when a row goes in above.
    const int oldFocusRow = m_focusCell.row;
    const int oldRows = m_rows;
    bool failed = false;
    try {
        if (row >= 0) {
            shiftMerges(true, row, 1);
            m_rowHeights.insert(row, 20);
            if (!m_virtualMode)
                m_rowData.insert(m_rowData.begin() + row, CGridRow(std::size_t(m_cols)));
        } else {
            row = m_rows;
            m_rowHeights.push_back(20);
            if (!m_virtualMode)
                m_rowData.emplace_back(std::size_t(m_cols));
        }
        ++m_rows;
        if (!m_virtualMode) {
            CGridRow& cells = m_rowData[std::size_t(row)];
            for (int c = 0; c < m_cols; ++c)
                cells[std::size_t(c)] = CreateCell(row, c);
            if (cells[0]) {
                cells[0]->SetText(heading);
                MarkModified(true, row, 0);
            }
        }
        m_rowHeights.set(row, heading.isEmpty() ? m_defaultCells[kFixedRow].GetHeight()
                                                          : m_defaultCells[kNormal].GetHeight());
    } catch (const std::bad_alloc&) {
        reportMemoryFailure();
        if (m_rows == oldRows) {
            // The row was never counted: take back its parts; the merges it
            // moved are dropped.
            if (m_rowHeights.size() > m_rows)
                m_rowHeights.erase(row);
            if (!m_virtualMode && m_rowData.size() > std::size_t(m_rows))
                m_rowData.erase(m_rowData.begin() + row);
            m_pendingMerges.clear();
            return 0;
        }
        // The row stands with some of its cells missing: finish as usual.
        failed = true;
    }
    finishMergeShift();
    if (oldFocusRow != -1 && row <= oldFocusRow)
        m_focusCell.row++;
    UpdateScrollBars();
    MarkModified(true, -1, -1);
    Refresh();
    return failed ? 0 : row;
}

int CGridCtrl::AddColumnAt(const QString& heading, std::uint32_t format, int col)
{
    if ((col >= 0 && col < m_fixedCols) || col > m_cols || col < -1)
        return -1;
    if (col == m_cols)
        col = -1;
    EndEditing();
    invalidateFirstScrolled();
    m_prevSelectedCells.clear();
    SetSelectedRange(-1, -1, -1, -1, false, true);
    if (m_rows == 0)
        ChangeRowCount(1);
    const int oldFocusCol = m_focusCell.col;
    try {
        if (col < 0) {
            col = m_cols;
            m_colWidths.push_back(0);
            if (!m_virtualMode)
                for (int r = 0; r < m_rows; ++r)
                    m_rowData[std::size_t(r)].push_back(CreateCell(r, col));
        } else {
            shiftMerges(false, col, 1);
            m_colWidths.insert(col, 0);
            if (!m_virtualMode)
                for (int r = 0; r < m_rows; ++r) {
                    CGridRow& cells = m_rowData[std::size_t(r)];
                    cells.insert(cells.begin() + col, CreateCell(r, col));
                }
        }
        ++m_cols;
        if (!m_virtualMode) {
            if (CGridCellBase* cell = GetCell(0, col)) {
                cell->SetText(heading);
                MarkModified(true, 0, col);
            }
            for (int r = 0; r < m_rows; ++r)
                if (CGridCellBase* cell = GetCell(r, col))
                    cell->SetFormat(format);
        }
    } catch (const std::bad_alloc&) {
        reportMemoryFailure();
        // Take back a column that was only half made; the merges it moved are dropped.
        if (m_colWidths.size() > m_cols) {
            m_colWidths.erase(col);
            if (!m_virtualMode)
                for (CGridRow& cells : m_rowData)
                    if (cells.size() > std::size_t(m_cols))
                        cells.erase(cells.begin() + col);
        }
        m_pendingMerges.clear();
        return 0;
    }
    CGridCellBase* head = m_virtualMode ? nullptr : GetCell(0, col);
    m_colWidths.set(col, head ? head->GetTextExtent(heading).width() : 0);
    finishMergeShift();
    if (oldFocusCol != -1 && col <= oldFocusCol)
        m_focusCell.col++;
    UpdateScrollBars();
    MarkModified(true, -1, -1);
    Refresh();
    return col;
}

bool CGridCtrl::RemoveRowAt(int row)
{
    if (row < 0 || row >= m_rows)
        return false;
    EndEditing();
    m_prevSelectedCells.clear();
    SetSelectedRange(-1, -1, -1, -1, false, true);
    invalidateFirstScrolled();
    // A missing row object refuses the removal before any merge is touched.
    if (!m_virtualMode && std::size_t(row) >= m_rowData.size())
        return false;
    shiftMerges(true, row, -1);
    if (!m_virtualMode) {
        for (int c = 0; c < m_cols; ++c)
            DestroyCell(row, c);
        m_rowData.erase(m_rowData.begin() + row);
    }
    m_rowHeights.erase(row);
    --m_rows;
    if (row < m_fixedRows)
        --m_fixedRows;
    finishMergeShift();
    // The focus goes with its row, or moves up with the rows below the removed one.
    if (m_focusCell.row == row)
        m_focusCell = CGridCellId();
    else if (m_focusCell.row > row)
        m_focusCell.row--;
    UpdateScrollBars();
    MarkModified(true, -1, -1);
    Refresh();
    return true;
}

bool CGridCtrl::RemoveColumnAt(int col)
{
    if (col < 0 || col >= m_cols)
        return false;
    EndEditing();
    m_prevSelectedCells.clear();
    SetSelectedRange(-1, -1, -1, -1, false, true);
    invalidateFirstScrolled();
    shiftMerges(false, col, -1);
    if (!m_virtualMode)
        for (int r = 0; r < m_rows; ++r) {
            DestroyCell(r, col);
            CGridRow& cells = m_rowData[std::size_t(r)];
            cells.erase(cells.begin() + col);
        }
    m_colWidths.erase(col);
    --m_cols;
    finishMergeShift();
    if (m_focusCell.col == col)
        m_focusCell = CGridCellId();
    else if (m_focusCell.col > col)
        m_focusCell.col--;
    if (col < m_fixedCols)
        --m_fixedCols;
    UpdateScrollBars();
    MarkModified(true, -1, -1);
    Refresh();
    return true;
}

bool CGridCtrl::RemoveNonFixedRows()
{
    EndEditing();
    m_prevSelectedCells.clear();
    SetSelectedRange(-1, -1, -1, -1, false, true);
    SetFocusCell(-1, -1);
    if (m_rows > m_fixedRows) {
        shiftMerges(true, m_fixedRows, -(m_rows - m_fixedRows));
        if (!m_virtualMode) {
            for (int r = m_rows - 1; r >= m_fixedRows; --r)
                for (int c = 0; c < m_cols; ++c)
                    DestroyCell(r, c);
            m_rowData.resize(std::size_t(m_fixedRows));
        }
        m_rowHeights.resize(m_fixedRows);
        m_rows = m_fixedRows;
        invalidateFirstScrolled();
        UpdateScrollBars();
        MarkModified(true, -1, -1);
        Refresh();
    }
    return true;
}

bool CGridCtrl::RemoveAllCells()
{
    EndEditing();
    m_prevSelectedCells.clear();
    SetSelectedRange(-1, -1, -1, -1, false, true);
    SetFocusCell(-1, -1);
    m_rowHeights.clear();
    m_colWidths.clear();
    m_rowData.clear();
    m_selectedCells.clear();
    m_merges.clear();
    m_pendingMerges.clear();
    m_focusCell = CGridCellId();
    m_rows = m_cols = m_fixedRows = m_fixedCols = 0;
    invalidateFirstScrolled();
    UpdateScrollBars();
    MarkModified(true, -1, -1);
    Refresh();
    return true;
}

bool CGridCtrl::ChangeVirtualMode(bool on)
{
    RemoveAllCells();
    m_virtualMode = on;
    if (on) {
        m_editable = false;
        m_sortOnClick = false;
        m_fixedColSelection = false;
        m_fixedRowSelection = false;
        m_autoSizeStyle = GVS_HEADER;
    }
    return true;
}

// ------------------------------------------------------------------ accessors

bool CGridCtrl::ApplyItemRecord(const GridItem* item)
{
    if (m_virtualMode || !item)
        return false;
    CGridCellBase* cell = GetCell(item->row, item->col);
    if (!cell)
        return false;
    MarkModified(true, item->row, item->col);
    if (item->mask & GVIF_TEXT)
        cell->SetText(item->text);
    if (item->mask & GVIF_PARAM)
        cell->SetData(item->data);
    if (item->mask & GVIF_IMAGE)
        cell->SetImage(item->image);
    if (item->mask & GVIF_STATE)
        ChangeItemState(item->row, item->col, item->state);
    if (item->mask & GVIF_FORMAT)
        cell->SetFormat(item->format);
    if (item->mask & GVIF_BKCLR)
        cell->SetBackColor(item->backColor);
    if (item->mask & GVIF_FGCLR)
        cell->SetTextColor(item->textColor);
    if (item->mask & GVIF_FONT)
        cell->SetFont(&item->font);
    if (item->mask & GVIF_MARGIN)
        cell->SetMargin(item->margin);
    RedrawCell(item->row, item->col);
    return true;
}

bool CGridCtrl::GetItemRecord(GridItem* item) const
{
    if (!item)
        return false;
    CGridCellBase* cell = GetCell(item->row, item->col);
    if (!cell)
        return false;
    if (item->mask & GVIF_TEXT)
        item->text = cell->GetText();
    if (item->mask & GVIF_PARAM)
        item->data = cell->GetData();
    if (item->mask & GVIF_IMAGE)
        item->image = cell->GetImage();
    if (item->mask & GVIF_STATE)
        item->state = cell->GetState();
    if (item->mask & GVIF_FORMAT)
        item->format = cell->GetFormat();
    if (item->mask & GVIF_BKCLR)
        item->backColor = cell->GetBackColor();
    if (item->mask & GVIF_FGCLR)
        item->textColor = cell->GetTextColor();
    if (item->mask & GVIF_FONT) {
        const QFont* f = cell->GetFont();
        item->font = f ? *f : QFont();
    }
    if (item->mask & GVIF_MARGIN)
        item->margin = cell->GetMargin();
    return true;
}

bool CGridCtrl::SetItemText(int row, int col, const QString& text)
{
    if (m_virtualMode)
        return false;
    CGridCellBase* cell = GetCell(row, col);
    if (!cell)
        return false;
    cell->SetText(text);
    MarkModified(true, row, col);
    RedrawCell(row, col);
    return true;
}

bool CGridCtrl::FormatItemText(int row, int col, const char* format, ...)
{
    if (m_virtualMode || !format)
        return false;
    CGridCellBase* cell = GetCell(row, col);
    if (!cell)
        return false;
    va_list args;
    va_start(args, format);
    const QString text = QString::vasprintf(format, args);
    va_end(args);
    cell->SetText(text);
    MarkModified(true, row, col);
    RedrawCell(row, col);
    return true;
}

bool CGridCtrl::SetItemData(int row, int col, LPARAM data)
{
    if (m_virtualMode)
        return false;
    CGridCellBase* cell = GetCell(row, col);
    if (!cell)
        return false;
    cell->SetData(data);
    MarkModified(true, row, col);
    return true;
}

bool CGridCtrl::SetItemImage(int row, int col, int image)
{
    if (m_virtualMode)
        return false;
    CGridCellBase* cell = GetCell(row, col);
    if (!cell)
        return false;
    cell->SetImage(image);
    MarkModified(true, row, col);
    RedrawCell(row, col);
    return true;
}

#define BC_GRID_SETTER(NAME, TYPE, CALL)                                                           \
    bool CGridCtrl::NAME(int row, int col, TYPE value)                                             \
    {                                                                                              \
        if (m_virtualMode)                                                                         \
            return false;                                                                          \
        CGridCellBase* cell = GetCell(row, col);                                                   \
        if (!cell)                                                                                 \
            return false;                                                                          \
        cell->CALL(value);                                                                         \
        RedrawCell(row, col);                                                                      \
        return true;                                                                               \
    }
BC_GRID_SETTER(SetItemFormat, std::uint32_t, SetFormat)
BC_GRID_SETTER(SetItemBackColor, COLORREF, SetBackColor)
BC_GRID_SETTER(SetItemTextColor, COLORREF, SetTextColor)
BC_GRID_SETTER(SetItemFont, const QFont*, SetFont)
#undef BC_GRID_SETTER

QString CGridCtrl::GetItemText(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell ? cell->GetText() : QString();
}

LPARAM CGridCtrl::GetItemData(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell ? cell->GetData() : 0;
}

int CGridCtrl::GetItemImage(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell ? cell->GetImage() : 0;
}

std::uint32_t CGridCtrl::GetItemState(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell ? cell->GetState() : 0;
}

std::uint32_t CGridCtrl::GetItemFormat(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell ? cell->GetFormat() : 0;
}

COLORREF CGridCtrl::GetItemBackColor(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell ? cell->GetBackColor() : 0;
}

COLORREF CGridCtrl::GetItemTextColor(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell ? cell->GetTextColor() : 0;
}

QFont CGridCtrl::GetItemFont(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    if (cell) {
        if (const QFont* f = cell->GetFont())
            return *f;
    }
    return GetDefaultCell(row < m_fixedRows, col < m_fixedCols)->GetFontObject();
}

bool CGridCtrl::IsItemEditing(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell && cell->IsEditing();
}

bool CGridCtrl::ChangeItemState(int row, int col, std::uint32_t state)
{
    if (!IsValid(row, col))
        return false;
    CGridCellBase* cell = m_virtualMode ? nullptr : GetCell(row, col);
    if (m_enableSelection) {
        const bool selected = m_virtualMode ? m_selectedCells.contains(row, col)
                                            : (cell && (cell->GetState() & GVIS_SELECTED));
        const bool inSet = m_selectedCells.contains(row, col);
        if (!(state & GVIS_SELECTED) && (selected || inSet))
            m_selectedCells.remove(row, col);
        else if ((state & GVIS_SELECTED) && !inSet)
            m_selectedCells.insert(row, col);
    }
    if (m_virtualMode || !cell)
        return false;
    cell->SetState(state);
    return true;
}

int CGridCtrl::GetRowHeight(int row) const
{
    if (row < 0 || row >= m_rowHeights.size())
        return -1;
    return m_rowHeights[row];
}

int CGridCtrl::GetColumnWidth(int col) const
{
    if (col < 0 || col >= m_colWidths.size())
        return -1;
    return m_colWidths[col];
}

bool CGridCtrl::ChangeRowHeight(int row, int height)
{
    if (row < 0 || row >= m_rows)
        return false;
    m_rowHeights.set(row, height);
    UpdateScrollBars();
    return true;
}

bool CGridCtrl::ChangeColumnWidth(int col, int width)
{
    if (col < 0 || col >= m_cols)
        return false;
    m_colWidths.set(col, width);
    UpdateScrollBars();
    return true;
}

long long CGridCtrl::TotalRowHeight() const
{
    return m_rowHeights.total();
}

long long CGridCtrl::TotalColumnWidth() const
{
    return m_colWidths.total();
}

int CGridCtrl::GetFixedRowHeight() const
{
    long long sum = 0;
    for (int r = 0; r < m_fixedRows && r < m_rowHeights.size() && sum < GridSizes::kMaxSum; ++r)
        sum += m_rowHeights[r];
    return int(std::min<long long>(sum, GridSizes::kMaxSum));
}

int CGridCtrl::GetFixedColumnWidth() const
{
    long long sum = 0;
    for (int c = 0; c < m_fixedCols && c < m_colWidths.size() && sum < GridSizes::kMaxSum; ++c)
        sum += m_colWidths[c];
    return int(std::min<long long>(sum, GridSizes::kMaxSum));
}

// ------------------------------------------------------------------ settings

void CGridCtrl::SetGridLines(int lines)
{
    m_gridLines = lines;
    Refresh();
}

void CGridCtrl::SetListMode(bool on)
{
    m_selectedCells.clear();
    m_prevSelectedCells.clear();
    ClearSelection();
    SetSortColumn(-1);
    m_listMode = on;
    m_fixedColSelection = false;
    Refresh();
}

void CGridCtrl::SetRedraw(bool on, bool resetScrollBars)
{
    m_redraw = on;
    if (on) {
        if (resetScrollBars) {
            horizontalScrollBar()->setValue(0);
            verticalScrollBar()->setValue(0);
        }
        UpdateScrollBars();
        Refresh();
    }
}

void CGridCtrl::SetSortColumn(int col)
{
    if (m_sortColumn >= 0)
        RedrawCell(0, m_sortColumn);
    m_sortColumn = col;
    if (col >= 0)
        RedrawCell(0, col);
}

QSize CGridCtrl::imageSize(int image) const
{
    if (!m_imageList || image < 0 || image >= m_imageList->size())
        return {};
    return m_imageList->at(image).size();
}

void CGridCtrl::drawImage(QPainter& p, int image, QPoint at) const
{
    if (!m_imageList || image < 0 || image >= m_imageList->size())
        return;
    p.drawPixmap(at, m_imageList->at(image));
}

// ------------------------------------------------------------------ focus and selection

CGridCellId CGridCtrl::SetFocusCell(int row, int col)
{
    if (CGridCellId(row, col) == m_focusCell)
        return m_focusCell;
    if (row != -1 && row < m_fixedRows)
        row = m_fixedRows;
    if (col != -1 && col < m_fixedCols)
        col = m_fixedCols;
    const CGridCellId old = m_focusCell;
    m_focusCell = CGridCellId(row, col);
    auto redrawHeaders = [this](const CGridCellId& a, const CGridCellId& b) {
        if (!m_trackFocusCell)
            return;
        if (a.col != b.col)
            for (int r = 0; r < m_fixedRows; ++r)
                RedrawCell(r, a.col);
        if (a.row != b.row)
            for (int c = 0; c < m_fixedCols; ++c)
                RedrawCell(a.row, c);
    };
    if (IsValid(old)) {
        if (!m_virtualMode)
            if (CGridCellBase* cell = GetCell(old.row, old.col))
                cell->SetState(cell->GetState() & ~std::uint32_t(GVIS_FOCUSED));
        RedrawCell(old.row, old.col);
        redrawHeaders(old, m_focusCell);
    }
    if (IsValid(m_focusCell)) {
        if (!m_virtualMode)
            if (CGridCellBase* cell = GetCell(row, col))
                cell->SetState(cell->GetState() | GVIS_FOCUSED);
        RedrawCell(row, col);
        redrawHeaders(m_focusCell, old);
        ShowCell(row, col);
    }
    return old;
}

bool CGridCtrl::IsCellSelected(int row, int col) const
{
    if (!m_enableSelection)
        return false;
    if (m_virtualMode)
        return m_selectedCells.contains(row, col);
    const CGridCellBase* cell = GetCell(row, col);
    return cell && (cell->GetState() & GVIS_SELECTED);
}

void CGridCtrl::SetSelectedRange(int minRow, int minCol, int maxRow, int maxCol, bool, bool selectCells)
{
    if (!m_enableSelection)
        return;
    const CGridCellRange visible = VisibleCellRange();
    bool visibleChange = false;
    auto noteChange = [&](int r, int c) {
        if (visible.InRange(r, c) || r < m_fixedRows || c < m_fixedCols)
            visibleChange = true;
    };
    if (minRow >= 0 && minRow < m_fixedRows)
        minRow = m_fixedRows;
    if (maxRow >= 0 && maxRow < m_fixedRows)
        maxRow = m_fixedRows;
    if (minCol >= 0 && minCol < m_fixedCols)
        minCol = m_fixedCols;
    if (maxCol >= 0 && maxCol < m_fixedCols)
        maxCol = m_fixedCols;
    const CGridCellRange range(minRow, minCol, maxRow, maxCol);
    const bool allSet = minRow >= 0 && minCol >= 0 && maxRow >= 0 && maxCol >= 0;
    const bool applies = allSet && maxRow < m_rows && maxCol < m_cols && minRow <= maxRow && minCol <= maxCol;

    if (selectCells) {
        for (const CGridCellId& id : m_selectedCells.ids()) {
            if (!IsValid(id)) {
                m_selectedCells.remove(id.row, id.col);
                continue;
            }
            // A cell the new range selects again keeps its mark.
            if (applies && range.InRange(id))
                continue;
            ChangeItemState(id.row, id.col, GetItemState(id.row, id.col) & ~std::uint32_t(GVIS_SELECTED));
            if (!range.InRange(id))
                noteChange(id.row, id.col);
        }
        if (!(m_listMode && m_singleRowSelection) && allSet) {
            for (const CGridCellId& id : m_prevSelectedCells.ids()) {
                if (!IsValid(id))
                    continue;
                ChangeItemState(id.row, id.col, GetItemState(id.row, id.col) | GVIS_SELECTED);
                noteChange(id.row, id.col);
            }
        }
    }

    if (applies) {
        for (int r = minRow; r <= maxRow; ++r)
            for (int c = minCol; c <= maxCol; ++c) {
                if (IsCellSelected(r, c) == bool(selectCells))
                    continue;
                const std::uint32_t st = GetItemState(r, c);
                ChangeItemState(r, c, selectCells ? (st | GVIS_SELECTED) : (st & ~std::uint32_t(GVIS_SELECTED)));
                noteChange(r, c);
            }
    }
    if (visibleChange)
        Refresh();
}

void CGridCtrl::ClearSelection()
{
    m_prevSelectedCells.clear();
    SetSelectedRange(-1, -1, -1, -1, false, true);
    SetFocusCell(-1, -1);
}

void CGridCtrl::SelectAllCells()
{
    if (!m_enableSelection)
        return;
    SetSelectedRange(m_fixedRows, m_fixedCols, m_rows - 1, m_cols - 1, false, true);
}

void CGridCtrl::SelectColumns(CGridCellId cell, bool force, bool select)
{
    if (!m_enableSelection || !IsValid(cell) || cell.col < m_fixedCols)
        return;
    if (m_singleColSelection)
        SetSelectedRange(m_fixedRows, cell.col, m_rows - 1, cell.col, force, select);
    else
        SetSelectedRange(m_fixedRows, std::min(m_selectionStartCell.col, cell.col), m_rows - 1,
                         std::max(m_selectionStartCell.col, cell.col), force, select);
}

void CGridCtrl::SelectRows(CGridCellId cell, bool force, bool select)
{
    if (!m_enableSelection || cell.row < m_fixedRows)
        return;
    if (m_listMode && m_singleRowSelection)
        SetSelectedRange(cell.row, m_fixedCols, cell.row, m_cols - 1, force, select);
    else
        SetSelectedRange(std::min(m_selectionStartCell.row, cell.row), m_fixedCols,
                         std::max(m_selectionStartCell.row, cell.row), m_cols - 1, force, select);
}

void CGridCtrl::SelectCells(CGridCellId cell, bool force, bool select)
{
    if (!m_enableSelection || cell.row < m_fixedRows || cell.col < m_fixedCols)
        return;
    SetSelectedRange(std::min(m_selectionStartCell.row, cell.row), std::min(m_selectionStartCell.col, cell.col),
                     std::max(m_selectionStartCell.row, cell.row), std::max(m_selectionStartCell.col, cell.col),
                     force, select);
}

CGridCellRange CGridCtrl::SelectionRange() const
{
    CGridCellRange r(m_rows, m_cols, -1, -1);
    m_selectedCells.forEach([&r](const CGridCellId& id) {
        r.minRow = std::min(r.minRow, id.row);
        r.minCol = std::min(r.minCol, id.col);
        r.maxRow = std::max(r.maxRow, id.row);
        r.maxCol = std::max(r.maxCol, id.col);
    });
    return r;
}

bool CGridCtrl::IsCellEditable(int row, int col) const
{
    if (!m_editable)
        return false;
    const CGridCellBase* cell = GetCell(row, col);
    return !(cell && cell->IsReadOnly());
}

bool CGridCtrl::IsCellModified(int row, int col) const
{
    if (row < 0 || col < 0)
        return m_modified;
    const CGridCellBase* cell = GetCell(row, col);
    return cell && cell->IsModified();
}

void CGridCtrl::MarkModified(bool modified, int row, int col)
{
    if ((col < 0 || col == m_sortColumn) && m_sortColumn >= 0) {
        RedrawCell(0, m_sortColumn);
        m_sortColumn = -1;
    }
    if (row >= 0 && col >= 0) {
        if (!IsValid(row, col) || m_virtualMode)
            return;
        CGridCellBase* cell = GetCell(row, col);
        if (!cell)
            return;
        if (modified) {
            cell->SetState(cell->GetState() | GVIS_MODIFIED);
            m_modified = true;
        } else {
            cell->SetState(cell->GetState() & ~std::uint32_t(GVIS_MODIFIED));
        }
    } else {
        m_modified = modified;
    }
    if (!m_modified && !m_virtualMode)
        for (auto& row2 : m_rowData)
            for (auto& cell : row2)
                if (cell)
                    cell->SetState(cell->GetState() & ~std::uint32_t(GVIS_MODIFIED));
}

// ------------------------------------------------------------------ edits

bool CGridCtrl::SetCellTextByEdit(int row, int col, const QString& text)
{
    if (!m_editable || !IsValid(row, col))
        return false;
    CGridCellBase* cell = GetCell(row, col);
    if (cell && cell->IsReadOnly())
        return false;
    if (SendNotifyToParent(row, col, GVN_BEGINLABELEDIT) < 0)
        return false;
    const QString old = GetItemText(row, col);
    if (old == text)
        return true;
    if (!m_virtualMode && cell) {
        cell->SetText(text);
        MarkModified(true, row, col);
    }
    if (ValidateEdit(row, col, text) && SendNotifyToParent(row, col, GVN_ENDLABELEDIT) >= 0) {
        MarkModified(true, row, col);
        RedrawCell(row, col);
        return true;
    }
    if (!m_virtualMode && (cell = GetCell(row, col)) != nullptr) {
        cell->SetText(old);
        MarkModified(true, row, col);
        RedrawCell(row, col);
    }
    return false;
}

bool CGridCtrl::ValidateEdit(int row, int col, const QString& text)
{
    CGridCellBase* cell = GetCell(row, col);
    return cell ? cell->ValidateEdit(text) : true;
}

// ------------------------------------------------------------------ notifications

long CGridCtrl::SendNotifyToParent(int row, int col, int code)
{
    GridOwner* owner = GetOwner();
    if (!owner)
        return 0;
    GridCellNotify n;
    n.hdr.hwndFrom = this;
    n.hdr.idFrom = m_id;
    n.hdr.code = code;
    n.row = row;
    n.col = col;
    return owner->onGridNotify(n);
}

long CGridCtrl::SendDisplayRequestToParent(GridDispInfo* info) const
{
    GridOwner* owner = GetOwner();
    if (!owner || !info)
        return 0;
    info->hdr.hwndFrom = const_cast<CGridCtrl*>(this);
    info->hdr.idFrom = m_id;
    info->hdr.code = GVN_GETDISPINFO;
    return owner->onGridDispInfo(*info);
}

void CGridCtrl::SendCacheHintToParent(const CGridCellRange& range) const
{
    GridOwner* owner = GetOwner();
    if (!owner)
        return;
    GridCacheHint hint;
    hint.hdr.hwndFrom = const_cast<CGridCtrl*>(this);
    hint.hdr.idFrom = m_id;
    hint.hdr.code = GVN_ODCACHEHINT;
    hint.range = range;
    owner->onGridCacheHint(hint);
}

void CGridCtrl::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::PaletteChange || e->type() == QEvent::ApplicationPaletteChange)
        OnSysColorChange();
    else if (e->type() == QEvent::FontChange)
        SetGridFont(font());
    QAbstractScrollArea::changeEvent(e);
}

void CGridCtrl::OnSysColorChange()
{
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    for (auto& cell : m_defaultCells) {
        if (cell.GetTextColor() == m_crWindowText)
            cell.SetTextColor(text);
        if (cell.GetBackColor() == m_crWindow)
            cell.SetBackColor(window);
    }
    if (m_gridBkColor == m_crShadow)
        m_gridBkColor = GetSysColor(COLOR_BTNSHADOW);
    m_crWindowText = text;
    m_crWindow = window;
    m_cr3DFace = GetSysColor(COLOR_3DFACE);
    m_crShadow = GetSysColor(COLOR_BTNSHADOW);
    Refresh();
}

} // namespace bc
