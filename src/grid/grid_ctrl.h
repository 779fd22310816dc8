#pragma once
// The general grid window: a table of cells with fixed header rows at the top
// and fixed header columns at the left, painted cell by cell on a scroll area.
// Every operation refuses invalid rows and columns with false (or -1).

#include "grid/grid_cell.h"
#include "grid/grid_in_place_edit.h"
#include "grid/grid_types.h"
#include "grid/title_tip.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QFontMetrics>
#include <QHash>
#include <QList>
#include <QPixmap>
#include <QPointer>

#include <algorithm>
#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

class QMimeData;
class QPrinter;

namespace bc {

using CGridRow = std::vector<std::unique_ptr<CGridCellBase>>;
// Makes a cell of some class; the grid's "default cell class".
using GridCellFactory = std::function<std::unique_ptr<CGridCellBase>()>;

// Row heights or column widths, keeping their sum so that scroll ranges cost
// nothing per row. A size is kept between 0 and kMaxSize pixels, and sums of
// sizes used as coordinates stop at kMaxSum, so that pixel arithmetic on
// them never overflows.
class GridSizes {
public:
    static constexpr int kMaxSize = 1 << 24;
    static constexpr int kMaxSum = 1 << 30;
    static int bounded(int v) { return std::clamp(v, 0, kMaxSize); }
    int size() const { return int(m_v.size()); }
    int operator[](int i) const { return m_v[std::size_t(i)]; }
    void set(int i, int v)
    {
        v = bounded(v);
        m_total += v - m_v[std::size_t(i)];
        m_v[std::size_t(i)] = v;
    }
    void resize(int n, int v = 0)
    {
        v = bounded(v);
        for (int i = n; i < size(); ++i)
            m_total -= m_v[std::size_t(i)];
        if (n > size())
            m_total += static_cast<long long>(n - size()) * v;
        m_v.resize(std::size_t(n), v);
    }
    void insert(int at, int v)
    {
        v = bounded(v);
        m_v.insert(m_v.begin() + at, v);
        m_total += v;
    }
    void push_back(int v)
    {
        v = bounded(v);
        m_v.push_back(v);
        m_total += v;
    }
    void erase(int at)
    {
        m_total -= m_v[std::size_t(at)];
        m_v.erase(m_v.begin() + at);
    }
    void clear()
    {
        m_v.clear();
        m_total = 0;
    }
    void fill(int v)
    {
        v = bounded(v);
        std::fill(m_v.begin(), m_v.end(), v);
        m_total = static_cast<long long>(v) * size();
    }
    long long total() const { return m_total; }

private:
    std::vector<int> m_v;
    long long m_total = 0;
};

template <class T>
GridCellFactory gridCellClass()
{
    static_assert(std::is_base_of_v<CGridCellBase, T>);
    return [] { return std::unique_ptr<CGridCellBase>(new T); };
}

// Set of selected cells keyed on 64 bits, so large rows never collide.
class GridSelectedCellMap {
public:
    static std::uint64_t key(int row, int col)
    {
        return (std::uint64_t(std::uint32_t(col)) << 32) | std::uint32_t(row);
    }
    static CGridCellId id(std::uint64_t key) { return {int(std::uint32_t(key)), int(std::uint32_t(key >> 32))}; }
    bool contains(int row, int col) const { return m_set.count(key(row, col)) != 0; }
    void insert(int row, int col) { m_set.insert(key(row, col)); }
    void remove(int row, int col) { m_set.erase(key(row, col)); }
    void clear() { m_set.clear(); }
    bool empty() const { return m_set.empty(); }
    std::size_t size() const { return m_set.size(); }
    std::vector<CGridCellId> ids() const;
    template <class F>
    void forEach(F&& f) const
    {
        for (std::uint64_t k : m_set)
            f(id(k));
    }

private:
    std::unordered_set<std::uint64_t> m_set;
};

enum GridMouseMode : int {
    MOUSE_NOTHING = 0,
    MOUSE_SELECT_ALL = 1,
    MOUSE_SELECT_COL = 2,
    MOUSE_SELECT_ROW = 3,
    MOUSE_SELECT_CELLS = 4,
    MOUSE_SCROLLING_CELLS = 5,
    MOUSE_OVER_ROW_DIVIDE = 6,
    MOUSE_SIZING_ROW = 7,
    MOUSE_OVER_COL_DIVIDE = 8,
    MOUSE_SIZING_COL = 9,
    MOUSE_PREPARE_EDIT = 10,
    MOUSE_PREPARE_DRAG = 11,
    MOUSE_DRAGGING = 12,
};

enum GridLines : int { GVL_NONE = 0, GVL_HORZ = 1, GVL_VERT = 2, GVL_BOTH = 3 };

// Scroll codes of the scroll handlers.
enum ScrollCode : int {
    SB_LINEUP = 0,
    SB_LINELEFT = 0,
    SB_LINEDOWN = 1,
    SB_LINERIGHT = 1,
    SB_PAGEUP = 2,
    SB_PAGELEFT = 2,
    SB_PAGEDOWN = 3,
    SB_PAGERIGHT = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
    SB_TOP = 6,
    SB_LEFT = 6,
    SB_BOTTOM = 7,
    SB_RIGHT = 7,
    SB_ENDSCROLL = 8,
};
enum ScrollBarId : int { SB_HORZ = 0, SB_VERT = 1, SB_BOTH = 3 };

enum AutoSizeFlags : int { GVS_DEFAULT = 0, GVS_HEADER = 1, GVS_DATA = 2, GVS_BOTH = 3 };

// Where pages break along one direction: `sizes` are the heights (or widths)
// of the non-fixed rows (or columns) in order; returns the index of the first
// one on every page. A page always takes at least one row, so a row taller
// than `usable` gets a page of its own and is printed clipped.
std::vector<int> gridPageStarts(const std::vector<int>& sizes, int usable);
// Row and column of pages (1-based) of page `page` with `across` pages across.
QPoint gridPagePosition(int page, int across);

// Compares two cells for sorting: negative, 0 or positive.
using GridCompareFunc = int (*)(const CGridCellBase*, const CGridCellBase*, LPARAM);

// Search flags of FindNextCell.
enum : int {
    GVNI_FOCUSED = 0x001,
    GVNI_SELECTED = 0x002,
    GVNI_DROPHILITED = 0x004,
    GVNI_READONLY = 0x008,
    GVNI_FIXED = 0x010,
    GVNI_MODIFIED = 0x020,
    GVNI_ABOVE = 0x100,
    GVNI_BELOW = 0x200,
    GVNI_TOLEFT = 0x400,
    GVNI_TORIGHT = 0x800,
    GVNI_ALL = 0xE00,
};

enum : int { VK_BACK = 0x08, VK_INSERT = 0x2D };

enum : int { ID_EDIT_COPY = 57634, ID_EDIT_CUT = 57635, ID_EDIT_PASTE = 57637, ID_EDIT_SELECT_ALL = 57642 };

class CGridCtrl : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CGridCtrl(int rows = 0, int cols = 0, int fixedRows = 0, int fixedCols = 0,
                       QWidget* parent = nullptr);
    ~CGridCtrl() override;

    // ------------------------------------------------------------ owner
    void SetOwner(GridOwner* owner) { m_owner = owner; }
    GridOwner* GetOwner() const;
    void SetDlgCtrlID(int id) { m_id = id; }
    int GetDlgCtrlID() const { return m_id; }

    // ------------------------------------------------------------ structure
    bool ChangeRowCount(int n);
    bool ChangeColumnCount(int n);
    bool ChangeFixedRowCount(int n);
    bool ChangeFixedColumnCount(int n);
    int GetRowCount() const { return m_rows; }
    int GetColumnCount() const { return m_cols; }
    int GetFixedRowCount() const { return m_fixedRows; }
    int GetFixedColumnCount() const { return m_fixedCols; }
    int AddRowAt(const QString& heading, int row = -1);
    int AddColumnAt(const QString& heading, std::uint32_t format = DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                    int col = -1);
    bool RemoveRowAt(int row);
    bool RemoveColumnAt(int col);
    bool RemoveNonFixedRows();
    bool RemoveAllCells();
    virtual std::unique_ptr<CGridCellBase> CreateCell(int row, int col);
    virtual void DestroyCell(int row, int col);
    bool ChangeCellClass(int row, int col, const GridCellFactory& cellClass);
    bool SetDefaultCellType(const GridCellFactory& cellClass);

    CGridCellBase* GetCell(int row, int col) const;
    bool IsValid(int row, int col) const { return row >= 0 && row < m_rows && col >= 0 && col < m_cols; }
    bool IsValid(const CGridCellId& id) const { return IsValid(id.row, id.col); }
    bool IsValidCell(int row, int col) const { return IsValid(row, col); }
    bool IsValidRange(const CGridCellRange& r) const;

    const CGridDefaultCell* GetDefaultCell(bool fixedRow, bool fixedCol) const;
    CGridDefaultCell* GetDefaultCell(bool fixedRow, bool fixedCol);

    // ------------------------------------------------------------ accessors
    bool ApplyItemRecord(const GridItem* item);
    bool GetItemRecord(GridItem* item) const;
    bool SetItemText(int row, int col, const QString& text);
    // printf-style text; marks the cell modified.
    bool FormatItemText(int row, int col, const char* format, ...);
    bool SetItemData(int row, int col, LPARAM data);
    bool SetItemImage(int row, int col, int image);
    bool SetItemFormat(int row, int col, std::uint32_t format);
    bool SetItemBackColor(int row, int col, COLORREF c);
    bool SetItemTextColor(int row, int col, COLORREF c);
    bool SetItemFont(int row, int col, const QFont* font);
    QString GetItemText(int row, int col) const;
    LPARAM GetItemData(int row, int col) const;
    int GetItemImage(int row, int col) const;
    std::uint32_t GetItemState(int row, int col) const;
    std::uint32_t GetItemFormat(int row, int col) const;
    COLORREF GetItemBackColor(int row, int col) const;
    COLORREF GetItemTextColor(int row, int col) const;
    QFont GetItemFont(int row, int col) const;
    bool IsItemEditing(int row, int col) const;
    bool ChangeItemState(int row, int col, std::uint32_t state);
    int GetRowHeight(int row) const;
    int GetColumnWidth(int col) const;
    bool ChangeRowHeight(int row, int height);
    bool ChangeColumnWidth(int col, int width);
    long long TotalRowHeight() const;
    long long TotalColumnWidth() const;
    int GetFixedRowHeight() const;
    int GetFixedColumnWidth() const;

    // ------------------------------------------------------------ virtual mode
    bool ChangeVirtualMode(bool on);
    bool IsVirtualMode() const { return m_virtualMode; }
    using DisplayCallback = std::function<void(GridDispInfo*, LPARAM)>;
    void SetDisplayCallback(DisplayCallback cb, LPARAM param = 0)
    {
        m_displayCallback = std::move(cb);
        m_displayParam = param;
    }

    // ------------------------------------------------------------ settings
    void SetGridLines(int lines);
    int GetGridLines() const { return m_gridLines; }
    void SetGridLineColor(COLORREF c) { m_gridLineColor = c; Refresh(); }
    COLORREF GetGridLineColor() const { return m_gridLineColor; }
    void SetGridBkColor(COLORREF c) { m_gridBkColor = c; Refresh(); }
    COLORREF GetGridBkColor() const { return m_gridBkColor; }
    void SetEditable(bool on) { m_editable = on; }
    bool IsEditable() const { return m_editable; }
    void SetListMode(bool on);
    bool GetListMode() const { return m_listMode; }
    void SetSingleRowSelection(bool on) { m_singleRowSelection = on; }
    void SetSingleColSelection(bool on) { m_singleColSelection = on; }
    void EnableSelection(bool on) { ClearSelection(); m_enableSelection = on; }
    bool IsSelectable() const { return m_enableSelection; }
    void SetFixedRowSelection(bool on) { m_fixedRowSelection = on; }
    void SetFixedColumnSelection(bool on) { m_fixedColSelection = on; }
    void SetRedraw(bool on, bool resetScrollBars = false);
    bool GetRedraw() const { return m_redraw; }
    void EnableTitleTips(bool on) { m_titleTips = on; }
    bool GetTitleTips() const { return m_titleTips; }
    void SetTrackFocusCell(bool on) { m_trackFocusCell = on; }
    bool GetTrackFocusCell() const { return m_trackFocusCell; }
    void SetFrameFocusCell(bool on) { m_frameFocus = on; }
    bool GetFrameFocusCell() const { return m_frameFocus; }
    void SetGridPrintColours(bool on) { m_printColours = on; }
    bool GetGridPrintColours() const { return m_printColours; }
    void SetHandleTabKey(bool on) { m_handleTabKey = on; }
    bool GetHandleTabKey() const { return m_handleTabKey; }
    void SetRowResize(bool on) { m_allowRowResize = on; }
    void SetColumnResize(bool on) { m_allowColResize = on; }
    void EnableHiddenRowUnhide(bool on) { m_hiddenRowUnhide = on; }
    void EnableHiddenColUnhide(bool on) { m_hiddenColUnhide = on; }
    void SetRowHide(bool on) { m_allowRowHide = on; }
    void SetColumnHide(bool on) { m_allowColHide = on; }
    void EnableDragAndDrop(bool on);
    bool GetDragAndDrop() const { return m_enableDragAndDrop; }
    void SetHeaderSort(bool on) { m_sortOnClick = on; }
    bool GetHeaderSort() const { return m_sortOnClick; }
    void SetCompareFunction(GridCompareFunc f) { m_compareFunc = f; }
    void SetAutoSizeStyle(int style) { m_autoSizeStyle = style; }
    int GetAutoSizeStyle() const { return m_autoSizeStyle; }
    void SetTitleTipColors(COLORREF back, COLORREF text) { m_titleTipBack = back; m_titleTipText = text; }
    void SetWheelScrollLines(unsigned lines) { m_wheelScrollLines = lines; }
    void SetImageList(const QList<QPixmap>* images) { m_imageList = images; }
    const QList<QPixmap>* GetImageList() const { return m_imageList; }
    QSize imageSize(int image) const;
    void drawImage(QPainter& p, int image, QPoint at) const;
    // Font used when printing: point sizes become logical pixels of the page,
    // which is laid out in screen pixels.
    virtual QFont printFont(const QFont& screenFont) const;
    // Width of a single-line text in `font`: the sum of its characters'
    // advances, as a text extent has always been measured; cached per font.
    int textWidth(const QFont& font, const QString& text) const;
    int textHeight(const QFont& font) const;
    // Gives the grid's font to all four default cells.
    void SetGridFont(const QFont& font);

    int GetSortColumn() const { return m_sortColumn; }
    bool GetSortAscending() const { return m_sortAscending; }
    void SetSortColumn(int col);
    void SetSortAscending(bool asc) { m_sortAscending = asc; }

    int GetMouseMode() const { return m_mouseMode; }

    // ------------------------------------------------------------ focus and selection
    virtual CGridCellId SetFocusCell(int row, int col);
    CGridCellId SetFocusCell(const CGridCellId& id) { return SetFocusCell(id.row, id.col); }
    CGridCellId GetFocusCell() const { return m_focusCell; }
    void SetSelectedRange(int minRow, int minCol, int maxRow, int maxCol, bool forceRepaint = false,
                          bool selectCells = true);
    void SetSelectedRange(const CGridCellRange& r, bool forceRepaint = false, bool selectCells = true)
    {
        SetSelectedRange(r.minRow, r.minCol, r.maxRow, r.maxCol, forceRepaint, selectCells);
    }
    void ClearSelection();
    void SelectAllCells();
    void SelectColumns(CGridCellId cell, bool force = true, bool select = true);
    void SelectRows(CGridCellId cell, bool force = true, bool select = true);
    void SelectCells(CGridCellId cell, bool force = true, bool select = true);
    CGridCellRange SelectionRange() const;
    std::size_t GetSelectedCount() const { return m_selectedCells.size(); }
    bool IsCellSelected(int row, int col) const;
    bool IsCellEditable(int row, int col) const;
    bool IsCellEditable(const CGridCellId& id) const { return IsCellEditable(id.row, id.col); }
    bool IsFixedCell(int row, int col) const { return row < m_fixedRows || col < m_fixedCols; }
    bool IsCellVisible(int row, int col) const;
    bool IsCellModified(int row, int col) const;
    void MarkModified(bool modified, int row = -1, int col = -1);

    // ------------------------------------------------------------ redraw
    void Refresh();
    void RedrawCell(int row, int col);
    void RedrawRange(const CGridCellRange& range);
    bool RedrawCellNow(int row, int col, QPainter* dc = nullptr);
    bool RedrawRowNow(int row);
    // Draws everything inside the clip box; callable on any paint device.
    virtual void OnDraw(QPainter* dc, const GridRect& clipBox);
    void OnDraw(QPainter* dc);

    // ------------------------------------------------------------ geometry
    CGridCellId FirstScrolledCell(bool force = false) const;
    CGridCellRange VisibleCellRange(GridRect* rect = nullptr, bool force = false) const;
    bool CellOrigin(int row, int col, QPoint* p) const;
    bool CellRect(int row, int col, GridRect* rect) const;
    bool CellRect(const CGridCellId& id, GridRect* rect) const { return CellRect(id.row, id.col, rect); }
    bool CellRangeRect(const CGridCellRange& range, GridRect* rect) const;
    CGridCellId CellFromPoint(QPoint p, bool allowFixed = true) const;
    GridRect ClientRect() const;
    void UpdateScrollBars();
    void EnableScrollBars(int bar, bool show);
    int GetScrollPos(int bar) const;
    int GetScrollLimit(int bar) const;
    int GetVerticalScrollMax() const { return m_vScrollMax; }
    int GetHorizontalScrollMax() const { return m_hScrollMax; }
    int GetScrollBarState() const { return m_scrollBarState; }
    void OnHScroll(int code, int trackPos = 0);
    void OnVScroll(int code, int trackPos = 0);
    void ShowCell(int row, int col);

    // ------------------------------------------------------------ merges
    bool MergeSelectedCells();
    bool MergeCells(int minRow, int minCol, int maxRow, int maxCol);
    void UnmergeSelectedCells();
    void UnmergeCells(int minRow, int minCol, int maxRow, int maxCol);
    CGridCellId GetMergedCellId(int row, int col) const;
    int GetMergedColumnWidth(int row, int col) const;
    int GetMergedRowHeight(int row, int col) const;
    const std::vector<CGridCellRange>& mergedRanges() const { return m_merges; }

    // ------------------------------------------------------------ auto-size
    bool FitColumnToContent(int col, int flags = GVS_DEFAULT, bool updateScrollBars = true);
    bool FitRowToContent(int row, bool updateScrollBars = true);
    void AutoSizeColumns(int flags = GVS_DEFAULT);
    void AutoSizeRows();
    void FitAllToContent(int flags = GVS_DEFAULT);
    void StretchColumnsToWindow(bool includeFixed = false);
    void StretchRowsToWindow(bool includeFixed = false);
    void StretchLastColumn();
    void ExpandToFit(bool includeFixed = true);

    // ------------------------------------------------------------ edits
    bool SetCellTextByEdit(int row, int col, const QString& text);
    virtual bool ValidateEdit(int row, int col, const QString& text);
    virtual void OnEditCell(int row, int col, QPoint point, const GridEditStart& start);
    virtual void OnEndEditCell(int row, int col, const QString& text);
    // Ends any open in-place edit, committing it.
    virtual void EndEditing();
    // Called by a cell to close its editor.
    virtual void endCellEditor(QWidget* editor);
    // An editor opened on a cell of this grid; the grid ends it before any change.
    void setActiveEditor(QWidget* widget, GridEditor* editor);
    QWidget* activeEditor() const { return m_editorWidget; }
    // The end report of an in-place editor: commits, then continues the edit
    // in the next cell for Tab and the navigation keys.
    void OnEndInPlaceEdit(GridEditor* editor, int row, int col, const QString& text, int key,
                          Qt::KeyboardModifiers mods);

    // ------------------------------------------------------------ keyboard
    virtual void OnKeyDown(int vk, Qt::KeyboardModifiers mods);
    void OnChar(const QString& typed, Qt::KeyboardModifiers mods);

    // ------------------------------------------------------------ clipboard and drag-and-drop
    virtual void CutSelectedText();
    // The selected block as text: tab between cells, line feed between rows.
    // False when nothing is selected.
    virtual bool BuildClipboardText(QString* text) const;
    virtual QMimeData* BuildClipboardData() const;
    virtual bool PasteTextData(int row, int col, const QString& text, bool selectPasted = true);
    virtual void CutToClipboard();
    virtual void CopyToClipboard();
    virtual void PasteFromClipboard();
    virtual void SelectAllAndNotify();
    // Whether the standard Edit menu commands apply now (ID_EDIT_COPY,
    // ID_EDIT_CUT, ID_EDIT_PASTE, ID_EDIT_SELECT_ALL), for the owner's menus.
    bool IsEditCommandEnabled(int commandId) const;
    virtual Qt::DropAction HandleDragEnter(const QMimeData* data, Qt::KeyboardModifiers mods, QPoint point);
    virtual Qt::DropAction HandleDragOver(const QMimeData* data, Qt::KeyboardModifiers mods, QPoint point);
    virtual void HandleDragLeave();
    virtual bool HandleDrop(const QMimeData* data, QPoint point);
    virtual QPixmap MakeDragImage(QPoint* hotSpot) const;
    CGridCellId GetDropHighlightCell() const { return m_dropHighlight; }

    // ------------------------------------------------------------ text files
    // One line per row, `separator` between texts, CR LF line ends, GBK text.
    bool SaveToTextFile(const QString& fileName, QChar separator = QLatin1Char(','));
    // Line 1 gives the column headings, every further line a row.
    bool LoadFromTextFile(const QString& fileName, QChar separator = QLatin1Char(','));

    // ------------------------------------------------------------ printing
    void SetPrintMargins(int header, int footer, int left, int right, int top, int bottom, int gap);
    void GetPrintMargins(int* header, int* footer, int* left, int* right, int* top, int* bottom, int* gap) const;
    void SetPrintToScale(bool on) { m_printToScale = on; }
    // Prints every page on `printer`; false when nothing could be printed.
    bool PrintGrid(QPrinter& printer);
    // Asks for a printer with the print dialog, then prints.
    bool PrintGrid();
    struct PrintLayout {
        int charWidth = 0, charHeight = 0;
        int pageWidth = 0, pageHeight = 0;       // logical units
        int deviceWidth = 0, deviceHeight = 0;   // printer pixels
        int usableWidth = 0, usableHeight = 0;
        int pagesDown = 1, pagesAcross = 1, pageCount = 1;
        std::vector<int> rowStarts;  // first non-fixed row of each page down
        std::vector<int> colStarts;  // first non-fixed column of each page across
        QFont font;
    };
    virtual void OnBeginPrinting(QPainter& dc, QPrinter& printer);
    virtual void OnPrint(QPainter& dc, int page);
    virtual void OnEndPrinting() {}
    const PrintLayout& printLayout() const { return m_print; }

    // ------------------------------------------------------------ sorting and search
    static int CompareCellText(const CGridCellBase* a, const CGridCellBase* b, LPARAM);
    static int CompareCellNumber(const CGridCellBase* a, const CGridCellBase* b, LPARAM);
    bool SortItems(GridCompareFunc compare, int col, bool ascending, LPARAM data = 0);
    bool SortItems(int col, bool ascending, LPARAM data = 0);
    bool SortTextItems(int col, bool ascending, LPARAM data = 0);
    CGridCellId FindNextCell(CGridCellId start, int flags) const;

    // ------------------------------------------------------------ notifications
    long SendNotifyToParent(int row, int col, int code);
    long SendDisplayRequestToParent(GridDispInfo* info) const;
    void SendCacheHintToParent(const CGridCellRange& range) const;

    ZTitleTip* titleTip() const { return m_titleTip; }

    // Header clicks, overridable by subclasses.
    virtual void OnFixedRowClick(CGridCellId& cell);
    virtual void OnFixedColumnClick(CGridCellId& cell);
    virtual void OnDblClickOutsideCells() {}
    virtual void HandleRButtonUp(Qt::KeyboardModifiers mods, QPoint point);
    virtual void StartOleDrag();

    // Key constants used by the auto-scroll (sent as synthetic key presses).
    void sendNavigationKey(int vk);

    static constexpr int kAutoScrollTimerId = 513;
    bool autoScrollRunning() const { return m_autoScrollTimer.isActive(); }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    bool event(QEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void changeEvent(QEvent* e) override;

    void OnSysColorChange();

    // Mouse handling with client points (viewport coordinates).
    void OnLButtonDown(Qt::KeyboardModifiers mods, QPoint point);
    void OnMouseMove(Qt::KeyboardModifiers mods, QPoint point);
    void OnLButtonUp(Qt::KeyboardModifiers mods, QPoint point);
    void OnLButtonDblClk(Qt::KeyboardModifiers mods, QPoint point);
    void HandleMouseWheel(int delta);
    void OnAutoScrollTick(QPoint cursor);

    void EraseBkgnd(QPainter* dc, const GridRect& clip);
    // Structure-change bookkeeping.
    void invalidateFirstScrolled() const { m_firstScrolled = CGridCellId(); }
    // Merges follow structure changes: before the change, those that straddle
    // it are dissolved and those behind it are taken apart; finishMergeShift
    // puts the latter back at their new place once the change is done.
    void shiftMerges(bool rows, int at, int delta);
    void finishMergeShift();
    // Height (vert) or width of the merge that covers a cell, else of its row or column.
    int mergedSpan(bool vert, int row, int col) const;
    void resetAllMerges();
    void stopAutoScroll();
    void onScrollAction(Qt::Orientation o, int action);
    void setScrollPos(int bar, int pos);
    void scrollAxis(int bar, int code, int trackPos);
    int indexAt(bool vert, int pos, int firstScrolled, bool allowFixed, bool* refused) const;
    // One axis of the geometry: rows when vert, else columns.
    int sizeAlong(bool vert, int index) const;
    // The first row (column) in view at a scroll position, and how many of
    // its pixels lie scrolled off under the fixed band (`lead`, columns only:
    // rows scroll by whole rows, columns by pixels).
    int firstScrolledAlong(bool vert, int pos, int* lead = nullptr) const;
    // Where the scrolled rows (columns) start in the client area.
    int scrolledStart(bool vert) const;
    int lastVisibleAlong(bool vert, int first, int clientEnd, long long* end) const;
    // Offset of a row's top (a column's left); the walk over the scrolled
    // ones stops once the offset has passed stopPast.
    long long originAlong(bool vert, int index, int first, long long stopPast) const;
    void showAxis(bool vert, int index, const GridRect& client);
    // Ends a border drag: sizes the column (or row) left of (above) the border.
    bool finishSizing(bool column, QPoint point, const CGridCellId& downCell);
    bool hoverBorderTest(QPoint p);
    void startSizingColumn(QPoint p);
    void startSizingRow(QPoint p);
    void invertTrackingBand(const GridRect& r);

    // Owner and identity.
    GridOwner* m_owner = nullptr;
    int m_id = 0;

    // Colours.
    COLORREF m_gridBkColor;
    COLORREF m_gridLineColor = RGB(192, 192, 192);
    COLORREF m_crWindowText;
    COLORREF m_crWindow;
    COLORREF m_cr3DFace;
    COLORREF m_crShadow = RGB(200, 200, 210);
    COLORREF m_titleTipBack = CLR_DEFAULT;
    COLORREF m_titleTipText = CLR_DEFAULT;

    bool m_virtualMode = false;
    LPARAM m_displayParam = 0;
    DisplayCallback m_displayCallback;
    int m_gridLines = GVL_BOTH;
    bool m_editable = true;
    bool m_modified = false;
    bool m_enableDragAndDrop = false;
    bool m_listMode = false;
    bool m_singleRowSelection = false;
    bool m_singleColSelection = false;
    bool m_redraw = true;
    bool m_enableSelection = true;
    bool m_fixedColSelection = true;
    bool m_fixedRowSelection = true;
    bool m_sortOnClick = false;
    bool m_handleTabKey = true;
    bool m_titleTips = true;
    int m_scrollBarState = 0;
    bool m_allowRowHide = true;
    bool m_allowColHide = true;
    bool m_hiddenRowUnhide = true;
    bool m_hiddenColUnhide = true;
    bool m_trackFocusCell = true;
    bool m_frameFocus = true;
    bool m_printColours = true;
    int m_autoSizeStyle = GVS_BOTH;

    int m_rows = 0, m_fixedRows = 0, m_cols = 0, m_fixedCols = 0;
    GridSizes m_rowHeights;
    GridSizes m_colWidths;
    int m_vScrollMax = 0, m_hScrollMax = 0;
    GridCellFactory m_defaultCellClass;
    CGridDefaultCell m_defaultCells[4];
    std::vector<CGridRow> m_rowData;

    int m_mouseMode = MOUSE_NOTHING;
    bool m_lButtonDown = false;
    bool m_rButtonDown = false;
    QPoint m_lButtonDownPoint;
    QPoint m_lastMousePoint;
    CGridCellId m_lButtonDownCell;
    CGridCellId m_selectionStartCell;
    CGridCellId m_focusCell;
    mutable CGridCellId m_firstScrolled;
    mutable int m_firstScrolledLead = 0;
    QBasicTimer m_autoScrollTimer;
    int m_autoScrollInterval = 25;
    int m_resizeCaptureRange = 3;
    bool m_allowRowResize = true;
    bool m_allowColResize = true;
    unsigned m_wheelScrollLines = 3;
    int m_wheelRemainder = 0;
    GridSelectedCellMap m_selectedCells;
    GridSelectedCellMap m_prevSelectedCells;
    QPointer<ZTitleTip> m_titleTip;
    bool m_sortAscending = true;
    int m_sortColumn = -1;
    const QList<QPixmap>* m_imageList = nullptr;

    // The scratch cell and record of virtual mode, one per grid.
    mutable std::unique_ptr<CGridCell> m_virtualCell;
    mutable GridDispInfo m_virtualInfo;

    // Re-entry guards, one per grid.
    bool m_inSize = false;
    bool m_inScrollUpdate = false;
    bool m_inScrollAction = false;
    // Set while a cell opens its editor (see OnEditCell).
    bool m_openingEditor = false;

    QPointer<QWidget> m_editorWidget;
    GridEditor* m_activeEditor = nullptr;
    CGridCellId m_dropHighlight;
    GridCompareFunc m_compareFunc = nullptr;

    int m_printHeaderMargin = 2, m_printFooterMargin = 2, m_printLeftMargin = 4, m_printRightMargin = 4;
    int m_printTopMargin = 1, m_printBottomMargin = 1, m_printGap = 1;
    bool m_printToScale = false;
    PrintLayout m_print;
    int m_printScreenDpiX = 96, m_printScreenDpiY = 96;

    void PrintHeader(QPainter& dc, const GridRect& rect);
    void PrintFooter(QPainter& dc, const GridRect& rect, int page);
    void PrintCellAt(QPainter& dc, int row, int col, const GridRect& rect);

    // Character advances of the font measured last.
    mutable std::unique_ptr<QFont> m_measureFont;
    mutable std::unique_ptr<QFontMetrics> m_measureMetrics;
    mutable QHash<char16_t, int> m_advances;
    const QFontMetrics& metricsFor(const QFont& font) const;

    // Owner ranges of the merges in force, and those waiting to be put back.
    std::vector<CGridCellRange> m_merges;
    std::vector<CGridCellRange> m_pendingMerges;

    // Resize tracking line (drawn by paintEvent over the cells).
    GridRect m_trackBand;
};

} // namespace bc
