// What the user does to the grid: the keyboard, the edit protocol, the
// clipboard, drag-and-drop of text, sorting and searching.

#include "grid/grid_ctrl.h"

#include "platform/text_codec.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace bc {

// ------------------------------------------------------------------ editing

void CGridCtrl::setActiveEditor(QWidget* widget, GridEditor* editor)
{
    m_editorWidget = widget;
    m_activeEditor = editor;
}

void CGridCtrl::EndEditing()
{
    if (m_editorWidget && m_activeEditor && !m_activeEditor->hasEnded())
        m_activeEditor->EndEdit();
}

void CGridCtrl::endCellEditor(QWidget* editor)
{
    if (editor && editor == m_editorWidget)
        EndEditing();
}

void CGridCtrl::OnEditCell(int row, int col, QPoint point, const GridEditStart& start)
{
    if (m_titleTip)
        m_titleTip->Hide();
    // While a cell opens its editor nothing opens another: the editor takes
    // the keyboard, and on that focus change an input method commits once
    // more, to the grid, the text that opened it and that it already holds.
    if (m_openingEditor || !IsValid(row, col) || !m_editable)
        return;
    // One editor at a time. In a window without the focus an editor that
    // opens takes no focus from the one before, which would stay open; it
    // ends here, its text kept. Only a text editor open on this very cell
    // stays, to take what was typed.
    auto editorOpen = [this] { return m_editorWidget && m_activeEditor && !m_activeEditor->hasEnded(); };
    if (editorOpen()) {
        const CGridCellBase* here = GetCell(row, col);
        const bool typesOn = m_activeEditor->row() == row && m_activeEditor->col() == col && here
                             && here->IsEditing() && here->GetEditWnd() == m_editorWidget
                             && qobject_cast<CGridInPlaceEdit*>(m_editorWidget);
        if (!typesOn) {
            QPointer<CGridCtrl> self(this);
            m_activeEditor->EndEdit();
            // The owner, told of the end, may have changed the grid or
            // opened an editor itself.
            if (!self || !IsValid(row, col) || editorOpen())
                return;
        }
    }
    CGridCellBase* cell = GetCell(row, col);
    if (!cell || cell->IsReadOnly())
        return;
    ShowCell(row, col);
    GridRect rect;
    if (!IsCellVisible(row, col) || !CellRect(row, col, &rect))
        return;
    if (SendNotifyToParent(row, col, GVN_BEGINLABELEDIT) < 0)
        return;
    cell = GetCell(row, col);
    if (!cell)
        return;
    QPointer<CGridCtrl> self(this);
    m_openingEditor = true;
    cell->Edit(row, col, rect, point, 8, start);
    if (self)
        m_openingEditor = false;
}

void CGridCtrl::OnEndEditCell(int row, int col, const QString& text)
{
    if (!IsValid(row, col))
        return;
    const QString old = GetItemText(row, col);
    if (old != text) {
        CGridCellBase* cell = m_virtualMode ? nullptr : GetCell(row, col);
        if (cell) {
            cell->SetText(text);
            MarkModified(true, row, col);
        }
        bool accepted = ValidateEdit(row, col, text);
        if (accepted && SendNotifyToParent(row, col, GVN_ENDLABELEDIT) < 0)
            accepted = false;
        if (!accepted) {
            if ((cell = m_virtualMode ? nullptr : GetCell(row, col)) != nullptr) {
                cell->SetText(old);
                MarkModified(true, row, col);
            }
        } else {
            MarkModified(true, row, col);
        }
        RedrawCell(row, col);
    }
    if (CGridCellBase* cell = GetCell(row, col))
        cell->OnEndEdit();
}

void CGridCtrl::OnEndInPlaceEdit(GridEditor* editor, int row, int col, const QString& text, int key,
                                 Qt::KeyboardModifiers mods)
{
    if (editor == m_activeEditor) {
        m_activeEditor = nullptr;
        m_editorWidget = nullptr;
    }
    OnEndEditCell(row, col, text);
    if (key == VK_TAB || (key >= VK_PRIOR && key <= VK_DOWN)) {
        OnKeyDown(key, mods);
        if (IsValid(m_focusCell))
            OnEditCell(m_focusCell.row, m_focusCell.col, QPoint(-1, -1), GridEditStart{key, {}});
    }
}

bool CGridCell::Edit(int row, int col, const GridRect& rect, QPoint, unsigned, const GridEditStart& start)
{
    if (!m_grid)
        return false;
    if (m_editing && m_editWnd) {
        if (auto* edit = qobject_cast<CGridInPlaceEdit*>(m_editWnd))
            edit->typeText(start.typed);
        return true;
    }
    const std::uint32_t format = GetFormat();
    Qt::Alignment align = Qt::AlignLeft;
    if (format & DT_RIGHT)
        align = Qt::AlignRight;
    else if (format & DT_CENTER)
        align = Qt::AlignHCenter;
    m_editing = true;
    auto* edit = new CGridInPlaceEdit(m_grid, rect, EDIT_TEXT, align, row, col, GetText(), start);
    m_editWnd = edit;
    m_grid->setActiveEditor(edit, edit);
    return true;
}

// ------------------------------------------------------------------ keyboard

bool CGridCtrl::event(QEvent* e)
{
    if (e->type() == QEvent::ShortcutOverride) {
        auto* k = static_cast<QKeyEvent*>(e);
        const bool ctrl = k->modifiers() & Qt::ControlModifier;
        switch (k->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (m_handleTabKey && !ctrl) {
                e->accept();
                return true;
            }
            break;
        case Qt::Key_C:
        case Qt::Key_V:
        case Qt::Key_X:
        case Qt::Key_A:
            if (ctrl) {
                e->accept();
                return true;
            }
            break;
        case Qt::Key_Insert:
        case Qt::Key_Delete:
        case Qt::Key_F2:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            e->accept();
            return true;
        default:
            break;
        }
    } else if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) && m_handleTabKey
            && !(k->modifiers() & Qt::ControlModifier)) {
            keyPressEvent(k);
            return true;
        }
    }
    return QAbstractScrollArea::event(e);
}

void CGridCtrl::keyPressEvent(QKeyEvent* e)
{
    if (m_titleTip)
        m_titleTip->Hide();
    Qt::KeyboardModifiers mods = e->modifiers();
    int vk = 0;
    switch (e->key()) {
    case Qt::Key_Up: vk = VK_UP; break;
    case Qt::Key_Down: vk = VK_DOWN; break;
    case Qt::Key_Left: vk = VK_LEFT; break;
    case Qt::Key_Right: vk = VK_RIGHT; break;
    case Qt::Key_PageUp: vk = VK_PRIOR; break;
    case Qt::Key_PageDown: vk = VK_NEXT; break;
    case Qt::Key_Home: vk = VK_HOME; break;
    case Qt::Key_End: vk = VK_END; break;
    case Qt::Key_Delete: vk = VK_DELETE; break;
    case Qt::Key_Insert: vk = VK_INSERT; break;
    case Qt::Key_F2: vk = VK_F2; break;
    case Qt::Key_Tab: vk = VK_TAB; break;
    case Qt::Key_Backtab:
        vk = VK_TAB;
        mods |= Qt::ShiftModifier;
        break;
    default:
        if ((mods & Qt::ControlModifier) && e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z)
            vk = e->key(); // the letter keys share their codes
        break;
    }
    if (vk) {
        OnKeyDown(vk, mods);
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        // Return opens the editor with the caret at the end; it never reaches
        // a dialog's default button.
        if (!(mods & Qt::ControlModifier) && m_mouseMode == MOUSE_NOTHING && IsValid(m_focusCell))
            OnEditCell(m_focusCell.row, m_focusCell.col, QPoint(-1, -1), GridEditStart{VK_RETURN, {}});
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Backspace) {
        if (!(mods & Qt::ControlModifier) && m_mouseMode == MOUSE_NOTHING && IsValid(m_focusCell))
            OnEditCell(m_focusCell.row, m_focusCell.col, QPoint(-1, -1), GridEditStart{VK_BACK, {}});
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    const QString text = e->text();
    if (!text.isEmpty() && text[0].isPrint()) {
        OnChar(text, mods);
        e->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(e);
}

void CGridCtrl::OnChar(const QString& typed, Qt::KeyboardModifiers mods)
{
    if ((mods & Qt::ControlModifier) || m_mouseMode != MOUSE_NOTHING || typed.isEmpty())
        return;
    if (typed == QStringLiteral("\x1b") || typed == QStringLiteral("\t"))
        return;
    if (IsValid(m_focusCell))
        OnEditCell(m_focusCell.row, m_focusCell.col, QPoint(-1, -1), GridEditStart{0, typed});
}

void CGridCtrl::inputMethodEvent(QInputMethodEvent* e)
{
    if (!e->commitString().isEmpty())
        OnChar(e->commitString(), Qt::NoModifier);
    e->accept();
}

QVariant CGridCtrl::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // The input method shows what is being composed beside the focused
    // cell, whose editor will take the text, not under the whole grid.
    GridRect cell;
    if (query == Qt::ImCursorRectangle && IsValid(m_focusCell) && CellRect(m_focusCell, &cell))
        return cell.toQRect().translated(viewport()->pos());
    return QAbstractScrollArea::inputMethodQuery(query);
}

void CGridCtrl::OnKeyDown(int vk, Qt::KeyboardModifiers mods)
{
    if (!IsValid(m_focusCell))
        return;
    const bool shift = mods & Qt::ShiftModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    if (ctrl) {
        switch (vk) {
        case VK_INSERT:
        case 'C': CopyToClipboard(); break;
        case 'A': SelectAllAndNotify(); break;
        case 'V': PasteFromClipboard(); break;
        case 'X': CutToClipboard(); break;
        default: break;
        }
        if (!IsValid(m_focusCell))
            return;
    }
    if (shift && vk == VK_INSERT) {
        PasteFromClipboard();
        return;
    }
    CGridCellId next = m_focusCell;
    const CGridCellBase* focusCell = m_virtualMode ? nullptr : GetCell(m_focusCell.row, m_focusCell.col);
    const CGridCellRange merge = focusCell && focusCell->IsMerged()
                                     ? focusCell->GetMergeRange()
                                     : CGridCellRange(m_focusCell.row, m_focusCell.col, m_focusCell.row,
                                                      m_focusCell.col);
    // Moves land on a merge's owner, never on a covered cell.
    auto nextCol = [&](int from) {
        int c = from;
        while (c < m_cols && GetColumnWidth(c) <= 0)
            ++c;
        return c < m_cols ? c : -1;
    };
    auto prevCol = [&](int from) {
        int c = from;
        while (c >= m_fixedCols && GetColumnWidth(c) <= 0)
            --c;
        return c >= m_fixedCols ? c : -1;
    };
    auto nextRow = [&](int from) {
        int r = from;
        while (r < m_rows && GetRowHeight(r) <= 0)
            ++r;
        return r < m_rows ? r : -1;
    };
    auto prevRow = [&](int from) {
        int r = from;
        while (r >= m_fixedRows && GetRowHeight(r) <= 0)
            --r;
        return r >= m_fixedRows ? r : -1;
    };
    switch (vk) {
    case VK_DELETE:
        CutSelectedText();
        break;
    case VK_DOWN:
        if (const int r = nextRow(merge.maxRow + 1); r >= 0)
            next = GetMergedCellId(r, m_focusCell.col);
        break;
    case VK_UP:
        if (const int r = prevRow(merge.minRow - 1); r >= 0)
            next = GetMergedCellId(r, m_focusCell.col);
        break;
    case VK_RIGHT:
        if (const int c = nextCol(merge.maxCol + 1); c >= 0)
            next = GetMergedCellId(m_focusCell.row, c);
        break;
    case VK_LEFT:
        if (const int c = prevCol(merge.minCol - 1); c >= 0)
            next = GetMergedCellId(m_focusCell.row, c);
        break;
    case VK_TAB:
        if (!shift) {
            if (const int c = nextCol(merge.maxCol + 1); c >= 0) {
                next = GetMergedCellId(m_focusCell.row, c);
            } else if (m_focusCell.row < m_rows - 1) {
                const int r = nextRow(merge.maxRow + 1);
                const int c0 = nextCol(m_fixedCols);
                if (r >= 0 && c0 >= 0)
                    next = GetMergedCellId(r, c0);
            }
        } else {
            if (const int c = prevCol(merge.minCol - 1); c >= 0) {
                next = GetMergedCellId(m_focusCell.row, c);
            } else if (m_focusCell.row > m_fixedRows) {
                int r = merge.minRow - 1;
                while (r > m_fixedRows && GetRowHeight(r) <= 0)
                    --r;
                int c = m_cols - 1;
                while (c >= m_fixedCols && GetColumnWidth(c) <= 0)
                    --c;
                if (r >= m_fixedRows && c >= m_fixedCols)
                    next = GetMergedCellId(r, c);
            }
        }
        break;
    case VK_NEXT: {
        const int before = FirstScrolledCell().row;
        OnVScroll(SB_PAGEDOWN);
        const int after = FirstScrolledCell(true).row;
        next.row = after == before ? m_rows - 1 : std::min(m_focusCell.row + after - before, m_rows - 1);
        next = GetMergedCellId(next.row, next.col);
        break;
    }
    case VK_PRIOR: {
        const int before = FirstScrolledCell().row;
        OnVScroll(SB_PAGEUP);
        const int after = FirstScrolledCell(true).row;
        next.row = after == before ? m_fixedRows : std::max(m_focusCell.row + after - before, m_fixedRows);
        next = GetMergedCellId(next.row, next.col);
        break;
    }
    case VK_HOME:
        OnHScroll(SB_LEFT);
        if (ctrl) {
            OnVScroll(SB_TOP);
            next.row = m_fixedRows;
        }
        next.col = m_fixedCols;
        while (next.col < m_cols - 1 && GetColumnWidth(next.col) == 0)
            ++next.col;
        while (next.row < m_rows - 1 && GetRowHeight(next.row) == 0)
            ++next.row;
        next = GetMergedCellId(next.row, next.col);
        break;
    case VK_END:
        OnHScroll(SB_RIGHT);
        if (ctrl) {
            OnVScroll(SB_BOTTOM);
            next.row = m_rows - 1;
        }
        next.col = m_cols - 1;
        while (next.col > m_fixedCols + 1 && GetColumnWidth(next.col) == 0)
            --next.col;
        while (next.row > m_fixedRows + 1 && GetRowHeight(next.row) == 0)
            --next.row;
        next = GetMergedCellId(next.row, next.col);
        break;
    case VK_F2:
        OnEditCell(m_focusCell.row, m_focusCell.col, QPoint(-1, -1), GridEditStart{VK_LBUTTON, {}});
        return;
    default:
        return;
    }
    if (next == m_focusCell || !IsValid(next))
        return;
    if (m_mouseMode == MOUSE_NOTHING) {
        m_prevSelectedCells.clear();
        m_mouseMode = m_listMode ? MOUSE_SELECT_ROW : MOUSE_SELECT_CELLS;
        if (!shift || vk == VK_TAB)
            m_selectionStartCell = next;
        SendNotifyToParent(next.row, next.col, GVN_SELCHANGING);
        if (m_enableSelection) {
            if (m_mouseMode == MOUSE_SELECT_ROW)
                SelectRows(next, false, true);
            else
                SelectCells(next, false, true);
        }
        SendNotifyToParent(next.row, next.col, GVN_SELCHANGED);
        m_mouseMode = MOUSE_NOTHING;
    }
    SetFocusCell(next);
    ShowCell(next.row, next.col);
    viewport()->update();
}

// ------------------------------------------------------------------ clipboard

bool CGridCtrl::BuildClipboardText(QString* text) const
{
    const CGridCellRange range = SelectionRange();
    if (!IsValidRange(range) || !text)
        return false;
    if (m_virtualMode)
        SendCacheHintToParent(range);
    // Hidden rows and columns leave no trace, their separators included, so
    // separators go between the shown ones only.
    QString out;
    bool firstRow = true;
    for (int r = range.minRow; r <= range.maxRow; ++r) {
        if (GetRowHeight(r) <= 0)
            continue;
        if (!firstRow)
            out += QLatin1Char('\n');
        firstRow = false;
        bool firstCol = true;
        for (int c = range.minCol; c <= range.maxCol; ++c) {
            if (GetColumnWidth(c) <= 0)
                continue;
            if (!firstCol)
                out += QLatin1Char('\t');
            firstCol = false;
            if (IsCellSelected(r, c))
                out += GetItemText(r, c);
        }
    }
    if (m_virtualMode)
        SendCacheHintToParent(CGridCellRange());
    *text = out;
    return true;
}

QMimeData* CGridCtrl::BuildClipboardData() const
{
    QString text;
    if (!BuildClipboardText(&text))
        return nullptr;
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

void CGridCtrl::CopyToClipboard()
{
    if (QMimeData* data = BuildClipboardData())
        QGuiApplication::clipboard()->setMimeData(data);
}

void CGridCtrl::CutToClipboard()
{
    if (!m_editable)
        return;
    QMimeData* data = BuildClipboardData();
    if (!data)
        return;
    QGuiApplication::clipboard()->setMimeData(data);
    CutSelectedText();
}

void CGridCtrl::CutSelectedText()
{
    if (!m_editable)
        return;
    std::vector<CGridCellId> ids = m_selectedCells.ids();
    std::sort(ids.begin(), ids.end(),
              [](const CGridCellId& a, const CGridCellId& b) { return a.row != b.row ? a.row < b.row : a.col < b.col; });
    for (const CGridCellId& id : ids)
        SetCellTextByEdit(id.row, id.col, QString());
}

void CGridCtrl::PasteFromClipboard()
{
    if (!m_editable)
        return;
    CGridCellId target;
    const CGridCellRange sel = SelectionRange();
    if (IsValidRange(sel))
        target = sel.GetTopLeft();
    else if (IsValid(m_focusCell))
        target = m_focusCell;
    else
        target = FirstScrolledCell();
    if (!IsValid(target))
        return;
    if (CGridCellBase* cell = GetCell(target.row, target.col); cell && cell->IsEditing()) {
        if (auto* edit = qobject_cast<CGridInPlaceEdit*>(cell->GetEditWnd())) {
            edit->paste();
            return;
        }
    }
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasText())
        return;
    PasteTextData(target.row, target.col, data->text(), true);
}

bool CGridCtrl::PasteTextData(int row, int col, const QString& text, bool selectPasted)
{
    if (!IsValid(row, col) || !m_editable)
        return false;
    if (const CGridCellBase* cell = GetCell(row, col); cell && cell->IsReadOnly())
        return false;
    EndEditing();
    QString block = text;
    if (const int nul = block.indexOf(QChar(0)); nul >= 0)
        block.truncate(nul);
    const QStringList lines = block.split(QLatin1Char('\n'));
    int maxRow = row, maxCol = col;
    int skippedRows = 0;
    for (int i = 0; i < lines.size(); ++i) {
        int r = row + i + skippedRows;
        while (r < m_rows && GetRowHeight(r) == 0) {
            ++skippedRows;
            ++r;
        }
        if (r >= m_rows)
            break;
        const QString& line = lines[i];
        int start = 0;
        int j = 0;
        int skippedCols = 0;
        while (start < line.size()) {
            int end = start;
            while (end < line.size() && line[end] != QLatin1Char('\t') && line[end] != QLatin1Char(','))
                ++end;
            const QString field = line.mid(start, end - start).trimmed();
            int c = col + j + skippedCols;
            while (c < m_cols && GetColumnWidth(c) == 0) {
                ++skippedCols;
                ++c;
            }
            if (c < m_cols) {
                SetCellTextByEdit(r, c, field);
                ChangeItemState(r, c, GetItemState(r, c) & ~std::uint32_t(GVIS_SELECTED));
                maxRow = std::max(maxRow, r);
                maxCol = std::max(maxCol, c);
            }
            ++j;
            start = end + 1;
        }
    }
    if (selectPasted) {
        SetSelectedRange(row, col, maxRow, maxCol, true, true);
    } else {
        m_prevSelectedCells.clear();
        SetSelectedRange(-1, -1, -1, -1, false, true);
        SetFocusCell(-1, -1);
    }
    Refresh();
    return true;
}

bool CGridCtrl::IsEditCommandEnabled(int commandId) const
{
    switch (commandId) {
    case ID_EDIT_COPY: return GetSelectedCount() > 0;
    case ID_EDIT_CUT: return m_editable && GetSelectedCount() > 0;
    case ID_EDIT_PASTE: {
        if (!IsValid(m_focusCell) || !m_editable)
            return false;
        const CGridCellBase* cell = GetCell(m_focusCell.row, m_focusCell.col);
        if (cell && cell->IsReadOnly())
            return false;
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        return data && data->hasText();
    }
    case ID_EDIT_SELECT_ALL: return m_enableSelection;
    default: return false;
    }
}

void CGridCtrl::SelectAllAndNotify()
{
    SendNotifyToParent(m_lButtonDownCell.row, m_lButtonDownCell.col, GVN_SELCHANGING);
    SelectAllCells();
    SendNotifyToParent(m_focusCell.row, m_focusCell.col, GVN_SELCHANGED);
}

// ------------------------------------------------------------------ drag-and-drop

void CGridCtrl::EnableDragAndDrop(bool on)
{
    m_enableDragAndDrop = on;
    viewport()->setAcceptDrops(on);
}

QPixmap CGridCtrl::MakeDragImage(QPoint* hotSpot) const
{
    GridRect rect;
    if (!IsValid(m_focusCell) || !CellRect(m_focusCell, &rect) || rect.IsRectEmpty())
        return {};
    if (hotSpot)
        *hotSpot = QPoint(rect.Width(), rect.Height());
    rect.OffsetRect(-rect.left, -rect.top);
    QPixmap pix(rect.Width(), rect.Height());
    pix.fill(toQColor(m_defaultCells[0].GetBackColor()));
    QPainter p(&pix);
    if (CGridCellBase* cell = GetCell(m_focusCell.row, m_focusCell.col))
        cell->Draw(&p, m_focusCell.row, m_focusCell.col, rect, true);
    return pix;
}

void CGridCtrl::StartOleDrag()
{
    if (!m_enableDragAndDrop)
        return;
    QMimeData* data = BuildClipboardData();
    if (!data)
        return;
    const CGridCellRange sel = SelectionRange();
    SendNotifyToParent(sel.minRow, sel.minCol, GVN_BEGINDRAG);
    m_mouseMode = MOUSE_DRAGGING;
    m_lButtonDown = false;
    stopAutoScroll();
    QPointer<CGridCtrl> self(this);
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    QPoint hot;
    const QPixmap image = MakeDragImage(&hot);
    if (!image.isNull())
        drag->setPixmap(image);
    const Qt::DropAction result = drag->exec(Qt::CopyAction | Qt::MoveAction);
    if (!self)
        return;
    if (result == Qt::MoveAction)
        CutSelectedText();
    if (m_mouseMode == MOUSE_DRAGGING)
        m_mouseMode = MOUSE_NOTHING;
}

Qt::DropAction CGridCtrl::HandleDragEnter(const QMimeData* data, Qt::KeyboardModifiers mods, QPoint point)
{
    if (!m_enableDragAndDrop || !data || !data->hasText())
        return Qt::IgnoreAction;
    m_dropHighlight = CellFromPoint(point, false);
    if (!IsValid(m_dropHighlight) || !m_editable)
        return Qt::IgnoreAction;
    CGridCellBase* cell = GetCell(m_dropHighlight.row, m_dropHighlight.col);
    if (!cell || cell->IsReadOnly())
        return Qt::IgnoreAction;
    ChangeItemState(m_dropHighlight.row, m_dropHighlight.col, cell->GetState() | GVIS_DROPHILITED);
    RedrawCell(m_dropHighlight.row, m_dropHighlight.col);
    return (mods & Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction;
}

Qt::DropAction CGridCtrl::HandleDragOver(const QMimeData* data, Qt::KeyboardModifiers, QPoint point)
{
    if (!m_enableDragAndDrop || !m_editable || !data || !data->hasText())
        return Qt::IgnoreAction;
    const CGridCellId cell = CellFromPoint(point, true);
    if (!IsValid(cell)) {
        HandleDragLeave();
        m_dropHighlight = CGridCellId();
        return Qt::IgnoreAction;
    }
    CGridCellBase* c = GetCell(cell.row, cell.col);
    if (!c || c->IsReadOnly())
        return Qt::IgnoreAction;
    if (!(cell == m_dropHighlight)) {
        if (IsValid(m_dropHighlight)) {
            ChangeItemState(m_dropHighlight.row, m_dropHighlight.col,
                            GetItemState(m_dropHighlight.row, m_dropHighlight.col) & ~std::uint32_t(GVIS_DROPHILITED));
            RedrawCell(m_dropHighlight.row, m_dropHighlight.col);
        }
        m_dropHighlight = cell;
        ChangeItemState(cell.row, cell.col, GetItemState(cell.row, cell.col) | GVIS_DROPHILITED);
        RedrawCell(cell.row, cell.col);
    }
    return Qt::MoveAction;
}

void CGridCtrl::HandleDragLeave()
{
    if (IsValid(m_dropHighlight)) {
        ChangeItemState(m_dropHighlight.row, m_dropHighlight.col,
                        GetItemState(m_dropHighlight.row, m_dropHighlight.col) & ~std::uint32_t(GVIS_DROPHILITED));
        RedrawCell(m_dropHighlight.row, m_dropHighlight.col);
    }
}

bool CGridCtrl::HandleDrop(const QMimeData* data, QPoint)
{
    m_mouseMode = MOUSE_NOTHING;
    if (!m_enableDragAndDrop || !m_editable || !data || !data->hasText())
        return false;
    if (const CGridCellBase* cell = GetCell(m_dropHighlight.row, m_dropHighlight.col); cell && cell->IsReadOnly())
        return false;
    HandleDragLeave();
    return PasteTextData(m_dropHighlight.row, m_dropHighlight.col, data->text(), false);
}

void CGridCtrl::dragEnterEvent(QDragEnterEvent* e)
{
    if (!m_enableDragAndDrop || !e->mimeData()->hasText()) {
        e->ignore();
        return;
    }
    // Accept the enter so the moves keep coming; the action says whether a
    // drop is possible here.
    const Qt::DropAction action = HandleDragEnter(e->mimeData(), e->modifiers(), e->position().toPoint());
    e->setDropAction(action);
    e->accept();
}

void CGridCtrl::dragMoveEvent(QDragMoveEvent* e)
{
    const Qt::DropAction action = HandleDragOver(e->mimeData(), e->modifiers(), e->position().toPoint());
    if (action == Qt::IgnoreAction) {
        e->ignore();
        return;
    }
    e->setDropAction(action);
    e->accept();
}

void CGridCtrl::dragLeaveEvent(QDragLeaveEvent* e)
{
    HandleDragLeave();
    e->accept();
}

void CGridCtrl::dropEvent(QDropEvent* e)
{
    if (HandleDrop(e->mimeData(), e->position().toPoint())) {
        e->setDropAction(Qt::MoveAction);
        e->accept();
    } else {
        e->ignore();
    }
}

// ------------------------------------------------------------------ sorting

namespace {
long leadingInteger(const QString& s)
{
    int i = 0;
    while (i < s.size() && (s[i] == QLatin1Char(' ') || s[i] == QLatin1Char('\t')))
        ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
        neg = s[i] == QLatin1Char('-');
        ++i;
    }
    long long v = 0;
    while (i < s.size() && s[i] >= QLatin1Char('0') && s[i] <= QLatin1Char('9')) {
        v = v * 10 + (s[i].unicode() - '0');
        if (v > 0x7FFFFFFFLL)
            v = 0x80000000LL;
        ++i;
    }
    v = neg ? -v : v;
    return long(std::clamp<long long>(v, -0x80000000LL, 0x7FFFFFFFLL));
}
} // namespace

int CGridCtrl::CompareCellText(const CGridCellBase* a, const CGridCellBase* b, LPARAM)
{
    if (!a || !b)
        return 0;
    // The stored texts compare by their GBK bytes, as they always have.
    const QByteArray x = toGbk(a->GetText());
    const QByteArray y = toGbk(b->GetText());
    const int n = std::min(x.size(), y.size());
    const int c = n ? std::memcmp(x.constData(), y.constData(), std::size_t(n)) : 0;
    if (c != 0)
        return c;
    return x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0;
}

int CGridCtrl::CompareCellNumber(const CGridCellBase* a, const CGridCellBase* b, LPARAM)
{
    if (!a || !b)
        return 0;
    const long x = leadingInteger(a->GetText());
    const long y = leadingInteger(b->GetText());
    return x < y ? -1 : x > y ? 1 : 0;
}

bool CGridCtrl::SortTextItems(int col, bool ascending, LPARAM data)
{
    return SortItems(CompareCellText, col, ascending, data);
}

bool CGridCtrl::SortItems(int col, bool ascending, LPARAM data)
{
    return SortItems(m_compareFunc ? m_compareFunc : CompareCellText, col, ascending, data);
}

bool CGridCtrl::SortItems(GridCompareFunc compare, int col, bool ascending, LPARAM data)
{
    EndEditing();
    SetSortColumn(col);
    m_sortAscending = ascending;
    m_prevSelectedCells.clear();
    SetSelectedRange(-1, -1, -1, -1, false, true);
    SetFocusCell(-1, -1);
    // Virtual data is the owner's to sort.
    if (m_virtualMode || !compare || col < 0 || col >= m_cols)
        return false;
    const int first = m_fixedRows;
    const int count = m_rows - first;
    if (count < 2)
        return false;
    resetAllMerges();

    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), first);
    auto cellOf = [&](int r) -> const CGridCellBase* { return m_rowData[std::size_t(r)][std::size_t(col)].get(); };
    if (compare == CompareCellText || compare == CompareCellNumber) {
        // Each key is made once, not at every comparison.
        if (compare == CompareCellText) {
            std::vector<QByteArray> keys(static_cast<std::size_t>(m_rows));
            std::vector<bool> present(static_cast<std::size_t>(m_rows));
            for (int r = first; r < m_rows; ++r) {
                const CGridCellBase* c = cellOf(r);
                present[std::size_t(r)] = c != nullptr;
                if (c)
                    keys[std::size_t(r)] = toGbk(c->GetText());
            }
            auto cmp = [&](int a, int b) {
                if (!present[std::size_t(a)] || !present[std::size_t(b)])
                    return 0;
                const int c = keys[std::size_t(a)].compare(keys[std::size_t(b)]);
                return c;
            };
            std::stable_sort(order.begin(), order.end(),
                             [&](int a, int b) { return ascending ? cmp(a, b) < 0 : cmp(a, b) > 0; });
        } else {
            std::vector<long> keys(static_cast<std::size_t>(m_rows));
            std::vector<bool> present(static_cast<std::size_t>(m_rows));
            for (int r = first; r < m_rows; ++r) {
                const CGridCellBase* c = cellOf(r);
                present[std::size_t(r)] = c != nullptr;
                if (c)
                    keys[std::size_t(r)] = leadingInteger(c->GetText());
            }
            auto cmp = [&](int a, int b) {
                if (!present[std::size_t(a)] || !present[std::size_t(b)])
                    return 0;
                return keys[std::size_t(a)] < keys[std::size_t(b)] ? -1 : keys[std::size_t(a)] > keys[std::size_t(b)] ? 1 : 0;
            };
            std::stable_sort(order.begin(), order.end(),
                             [&](int a, int b) { return ascending ? cmp(a, b) < 0 : cmp(a, b) > 0; });
        }
    } else {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const int c = compare(cellOf(a), cellOf(b), data);
            return ascending ? c < 0 : c > 0;
        });
    }

    std::vector<CGridRow> rows;
    rows.reserve(std::size_t(m_rows));
    std::vector<int> heights;
    heights.reserve(std::size_t(m_rows));
    for (int r = 0; r < first; ++r) {
        rows.push_back(std::move(m_rowData[std::size_t(r)]));
        heights.push_back(m_rowHeights[r]);
    }
    for (int r : order) {
        rows.push_back(std::move(m_rowData[std::size_t(r)]));
        heights.push_back(m_rowHeights[r]);
    }
    m_rowData = std::move(rows);
    for (int r = 0; r < m_rows; ++r) {
        m_rowHeights.set(r, heights[std::size_t(r)]);
        for (int c = 0; c < m_cols; ++c)
            if (CGridCellBase* cell = m_rowData[std::size_t(r)][std::size_t(c)].get())
                cell->SetCoords(r, c);
    }
    invalidateFirstScrolled();
    Refresh();
    return true;
}

CGridCellId CGridCtrl::FindNextCell(CGridCellId start, int flags) const
{
    std::uint32_t want = 0;
    if (flags & GVNI_FOCUSED)
        want |= GVIS_FOCUSED;
    if (flags & GVNI_SELECTED)
        want |= GVIS_SELECTED;
    if (flags & GVNI_DROPHILITED)
        want |= GVIS_DROPHILITED;
    if (flags & GVNI_READONLY)
        want |= GVIS_READONLY;
    if (flags & GVNI_FIXED)
        want |= GVIS_FIXED;
    if (flags & GVNI_MODIFIED)
        want |= GVIS_MODIFIED;
    auto matches = [&](int r, int c) { return (GetItemState(r, c) & want) != 0; };
    const int r0 = start.row, c0 = start.col;
    if ((flags & GVNI_ALL) == GVNI_ALL) {
        for (int r = r0 < 1 ? m_fixedRows : r0; r < m_rows; ++r) {
            int c = r == (r0 < 1 ? m_fixedRows : r0) ? (c0 + 1 < 1 ? m_fixedCols : c0 + 1) : m_fixedCols;
            for (; c < m_cols; ++c)
                if (matches(r, c))
                    return {r, c};
        }
    } else if ((flags & GVNI_BELOW) && (flags & GVNI_TORIGHT)) {
        for (int r = r0 < 1 ? m_fixedRows : r0; r < m_rows; ++r)
            for (int c = c0 + 1 < 1 ? m_fixedCols : c0 + 1; c < m_cols; ++c)
                if (matches(r, c))
                    return {r, c};
    } else if (flags & GVNI_ABOVE) {
        for (int r = r0 - 1; r >= m_fixedRows; --r)
            if (matches(r, c0))
                return {r, c0};
    } else if (flags & GVNI_BELOW) {
        for (int r = r0 + 1; r < m_rows; ++r)
            if (matches(r, c0))
                return {r, c0};
    } else if (flags & GVNI_TOLEFT) {
        for (int c = c0 - 1; c >= m_fixedCols; --c)
            if (matches(r0, c))
                return {r0, c};
    } else if (flags & GVNI_TORIGHT) {
        for (int c = c0 + 1; c < m_cols; ++c)
            if (matches(r0, c))
                return {r0, c};
    }
    return {};
}

} // namespace bc
