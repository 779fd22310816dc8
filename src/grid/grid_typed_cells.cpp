#include "grid/grid_typed_cells.h"

#include "grid/grid_ctrl.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDesktopServices>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QStyledItemDelegate>
#include <QUrl>

namespace bc {

namespace {

int scrollExtent()
{
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

// The editor's rectangle: the cell's, with room below for the dropped list.
QRect listRect(const GridRect& rect)
{
    return QRect(rect.left, rect.top, rect.Width(), rect.Height());
}

// List item painting: a highlighted item on the darkened back colour in the
// highlight colour, the others on the back colour in the window text colour.
class ListDelegate : public QStyledItemDelegate {
public:
    ListDelegate(QObject* parent, COLORREF back) : QStyledItemDelegate(parent), m_back(back) {}
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        p->fillRect(option.rect, toQColor(selected ? listHighlightColour(m_back) : m_back));
        p->setPen(toQColor(GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOWTEXT)));
        const QString text = QStringLiteral(" ") + index.data().toString();
        p->drawText(option.rect, Qt::AlignCenter,
                    option.fontMetrics.elidedText(text, Qt::ElideRight, option.rect.width()));
    }

private:
    COLORREF m_back;
};

} // namespace

COLORREF listHighlightColour(COLORREF back)
{
    auto down = [](int v) { return std::max(v - 0x14, 0); };
    return RGB(down(GetRValue(back)), down(GetGValue(back)), down(GetBValue(back)));
}

// ------------------------------------------------------------------ check box

int CGridCellCheck::boxSide()
{
    return scrollExtent();
}

GridRect CGridCellCheck::boxRect() const
{
    const int m = int(GetMargin());
    const int side = boxSide();
    return GridRect(m_rect.left + m, m_rect.top + m, m_rect.left + m + side, m_rect.top + m + side);
}

bool CGridCellCheck::SetCheck(bool check)
{
    const bool old = m_check;
    m_check = check;
    if (!m_rect.IsRectEmpty() && m_grid)
        m_grid->viewport()->update(m_rect.toQRect());
    return old;
}

bool CGridCellCheck::Draw(QPainter* dc, int row, int col, GridRect rect, bool eraseBkgnd)
{
    const bool result = CGridCell::Draw(dc, row, col, rect, eraseBkgnd);
    m_rect = rect;
    if (!dc)
        return result;
    QStyleOptionButton opt;
    opt.rect = boxRect().toQRect();
    opt.state = QStyle::State_Enabled | (m_check ? QStyle::State_On : QStyle::State_Off);
    QApplication::style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &opt, dc);
    return result;
}

bool CGridCellCheck::GetTextRect(GridRect* rect)
{
    if (!CGridCell::GetTextRect(rect))
        return false;
    rect->left = std::min(rect->left + boxSide() + 2 * int(GetMargin()), rect->right);
    return true;
}

QSize CGridCellCheck::GetCellExtent(QPainter* dc)
{
    const int add = boxSide() + 2 * int(GetMargin());
    return CGridCell::GetCellExtent(dc) + QSize(add, add);
}

void CGridCellCheck::OnClick(QPoint point)
{
    const QPoint at = point + QPoint(m_rect.left, m_rect.top);
    if (boxRect().PtInRect(at.x(), at.y()))
        SetCheck(!m_check);
}

bool CGridCellCheck::Edit(int row, int col, const GridRect& rect, QPoint point, unsigned id,
                          const GridEditStart& start)
{
    if (start.typed == QStringLiteral(" ")) {
        SetCheck(!m_check);
        return true;
    }
    return CGridCell::Edit(row, col, rect, point, id, start);
}

// ------------------------------------------------------------------ drop-down list

CGridInPlaceList::CGridInPlaceList(CGridCtrl* grid, const GridRect& rect, std::uint32_t, int row, int col,
                                   COLORREF textColour, COLORREF backColour, const QStringList& options,
                                   const QString& initialText, const GridEditStart& start)
    : QComboBox(grid->viewport())
    , GridEditor(grid, row, col)
    , m_initialText(initialText)
    , m_text(textColour)
    , m_back(backColour)
{
    setObjectName(QStringLiteral("GridInPlaceList"));
    (void)start;
    setItemDelegate(new ListDelegate(this, backColour));
    setMaxVisibleItems(9);
    addItems(options);
    setFont(grid->GetDefaultCell(false, false)->GetFontObject());
    setGeometry(listRect(rect));
    int index = -1;
    for (int i = 0; i < options.size(); ++i)
        if (options[i].startsWith(initialText)) {
            index = i;
            break;
        }
    setCurrentIndex(index);
    show();
    setFocus(Qt::OtherFocusReason);
}

bool CGridInPlaceList::event(QEvent* e)
{
    return takeKey(e, [this](QKeyEvent* k) { keyPressEvent(k); }) || QComboBox::event(e);
}

void CGridInPlaceList::keyPressEvent(QKeyEvent* e)
{
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    if (endOnKey(e))
        return;
    if (const int vk = navigationKey(e->key()); vk && (m_exitOnArrows || ctrl)) {
        endWithKey(vk, e->modifiers());
        return;
    }
    QComboBox::keyPressEvent(e);
}

void CGridInPlaceList::focusOutEvent(QFocusEvent* e)
{
    QComboBox::focusOutEvent(e);
    endOnFocusLoss(e);
}

void CGridInPlaceList::EndEdit()
{
    if (hasEnded())
        return;
    // Nothing chosen keeps the text the cell had.
    const QString text = currentIndex() >= 0 ? currentText() : m_initialText;
    if (report(text)) {
        hide();
        deleteLater();
    }
}

// ------------------------------------------------------------------ check-list drop-down

CGridCheckComboList::CGridCheckComboList(CGridCtrl* grid, const GridRect& rect, std::uint32_t, int row,
                                         int col, COLORREF, COLORREF, const QStringList& options,
                                         const QString& initialText, const GridEditStart&)
    : CCheckComboBox(grid->viewport())
    , GridEditor(grid, row, col)
    , m_initialText(initialText)
{
    setObjectName(QStringLiteral("GridCheckComboList"));
    setMaxVisibleItems(4);
    addItems(options);
    setFont(grid->GetDefaultCell(false, false)->GetFontObject());
    setGeometry(listRect(rect));
    // The items named in the text start checked.
    QStringList named;
    for (const QString& part : initialText.split(GetListSeparator()))
        named << part.trimmed();
    for (int i = 0; i < count(); ++i)
        if (named.contains(itemText(i)))
            SetCheck(i, true);
    show();
    setFocus(Qt::OtherFocusReason);
}

int CGridCheckComboList::droppedWidth() const
{
    const QFontMetrics fm(font());
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, fm.horizontalAdvance(itemText(i)) + scrollExtent());
    widest += fm.horizontalAdvance(QLatin1Char('0')) + CheckBoxWidth();
    return std::min(widest, 200);
}

void CGridCheckComboList::showPopup()
{
    view()->setMinimumWidth(std::max(droppedWidth(), 0));
    view()->setMaximumWidth(200);
    CCheckComboBox::showPopup();
}

bool CGridCheckComboList::event(QEvent* e)
{
    return takeKey(e, [this](QKeyEvent* k) { keyPressEvent(k); }) || CCheckComboBox::event(e);
}

void CGridCheckComboList::keyPressEvent(QKeyEvent* e)
{
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    if (const int vk = navigationKey(e->key()); vk && (m_exitOnArrows || ctrl)) {
        endWithKey(vk, e->modifiers());
        return;
    }
    if (isEndingKey(e->key())) {
        e->accept(); // these end the edit on release
        return;
    }
    CCheckComboBox::keyPressEvent(e);
}

void CGridCheckComboList::keyReleaseEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape)
        m_restoreInitial = true;
    if (!endOnKey(e))
        CCheckComboBox::keyReleaseEvent(e);
}

void CGridCheckComboList::focusOutEvent(QFocusEvent* e)
{
    CCheckComboBox::focusOutEvent(e);
    endOnFocusLoss(e);
}

void CGridCheckComboList::EndEdit()
{
    if (hasEnded())
        return;
    const QString text = m_restoreInitial ? m_initialText : GetText();
    if (report(text)) {
        hide();
        deleteLater();
    }
}

// ------------------------------------------------------------------ drop-down cells

bool CGridCellCombo::Draw(QPainter* dc, int row, int col, GridRect rect, bool eraseBkgnd)
{
    const bool open = m_editing && m_editor;
    const QString saved = m_text;
    if (open)
        m_text.clear();
    const int bh = scrollExtent();
    const bool button = drawsDropButton() && !open && m_grid && m_grid->IsCellEditable(row, col)
                        && bh < rect.Width() && bh < rect.Height();
    bool result;
    if (button) {
        result = CGridCell::Draw(dc, row, col, rect, eraseBkgnd);
        if (dc) {
            QStyleOptionButton opt;
            opt.rect = QRect(rect.right - scrollExtent(), rect.top, scrollExtent(), bh);
            opt.state = QStyle::State_Enabled | QStyle::State_Raised;
            QApplication::style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &opt, dc);
            QApplication::style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &opt, dc);
        }
    } else {
        result = CGridCell::Draw(dc, row, col, rect, eraseBkgnd);
    }
    if (open)
        m_text = saved;
    return result;
}

QSize CGridCellCombo::GetCellExtent(QPainter* dc)
{
    return CGridCell::GetCellExtent(dc) + QSize(scrollExtent(), scrollExtent());
}

QWidget* CGridCellCombo::createEditor(const GridRect& rect, int row, int col, const GridEditStart& start)
{
    const COLORREF back = GetBackColor() != CLR_DEFAULT ? GetBackColor() : GetSysColor(COLOR_WINDOW);
    auto* list = new CGridInPlaceList(m_grid, rect, m_style, row, col, GetTextColor(), back, m_options, GetText(),
                                      start);
    m_grid->setActiveEditor(list, list);
    return list;
}

QWidget* CGridCellCheckCombo::createEditor(const GridRect& rect, int row, int col, const GridEditStart& start)
{
    auto* list = new CGridCheckComboList(m_grid, rect, m_style, row, col, GetTextColor(), GetBackColor(),
                                         m_options, GetText(), start);
    m_grid->setActiveEditor(list, list);
    return list;
}

bool CGridCellCombo::Edit(int row, int col, const GridRect& rect, QPoint, unsigned, const GridEditStart& start)
{
    if (!m_grid)
        return false;
    m_editing = true;
    m_editor = createEditor(rect, row, col, start);
    m_editWnd = m_editor;
    return true;
}

void CGridCellCombo::EndEdit()
{
    if (m_editor)
        if (auto* e = dynamic_cast<GridEditor*>(m_editor.data()))
            e->EndEdit();
}

// ------------------------------------------------------------------ date-time

CGridInPlaceDateTime::CGridInPlaceDateTime(CGridCtrl* grid, const GridRect& rect, std::uint32_t style, int row,
                                           int col, const QDateTime& time, const GridEditStart& start)
    : QDateTimeEdit(grid->viewport())
    , GridEditor(grid, row, col)
{
    setObjectName(QStringLiteral("GridInPlaceDateTime"));
    setDisplayFormat((style & DTS_TIMEFORMAT) == DTS_TIMEFORMAT ? QStringLiteral("HH:mm:ss")
                                                                : QStringLiteral("dd/MM/yyyy"));
    setDateTime(time);
    setFont(grid->GetDefaultCell(false, false)->GetFontObject());
    setGeometry(QRect(rect.left, rect.top, rect.Width(), rect.Height()));
    show();
    setFocus(Qt::OtherFocusReason);
    if (!start.typed.isEmpty()) {
        QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, start.typed);
        QDateTimeEdit::keyPressEvent(&typed);
    }
}

bool CGridInPlaceDateTime::event(QEvent* e)
{
    return takeKey(e, [this](QKeyEvent* k) { keyPressEvent(k); }) || QDateTimeEdit::event(e);
}

void CGridInPlaceDateTime::keyPressEvent(QKeyEvent* e)
{
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    if (const int vk = navigationKey(e->key()); vk && ctrl) {
        endWithKey(vk, e->modifiers());
        return;
    }
    if (isEndingKey(e->key())) {
        e->accept(); // these end the edit on release
        return;
    }
    QDateTimeEdit::keyPressEvent(e);
}

void CGridInPlaceDateTime::keyReleaseEvent(QKeyEvent* e)
{
    if (!endOnKey(e))
        QDateTimeEdit::keyReleaseEvent(e);
}

void CGridInPlaceDateTime::focusOutEvent(QFocusEvent* e)
{
    QDateTimeEdit::focusOutEvent(e);
    endOnFocusLoss(e);
}

void CGridInPlaceDateTime::EndEdit()
{
    if (hasEnded())
        return;
    if (m_grid)
        if (auto* cell = dynamic_cast<CGridCellDateTime*>(m_grid->GetCell(m_row, m_col)))
            cell->takeTime(dateTime());
    if (report(text())) {
        hide();
        deleteLater();
    }
}

CGridCellDateTime::CGridCellDateTime() : m_time(QDateTime::currentDateTime()) {}

CGridCellDateTime::CGridCellDateTime(std::uint32_t style)
{
    Init(style);
}

void CGridCellDateTime::Init(std::uint32_t style)
{
    m_style = style;
    SetTime(QDateTime::currentDateTime());
    SetFormat(DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void CGridCellDateTime::SetTime(const QDateTime& time)
{
    m_time = time;
    if (m_style == DTS_SHORTDATEFORMAT)
        SetText(time.toString(QStringLiteral("dd/MM/yyyy")));
    else if (m_style == DTS_TIMEFORMAT)
        SetText(time.toString(QStringLiteral("HH:mm:ss")));
}

bool CGridCellDateTime::Edit(int row, int col, const GridRect& rect, QPoint, unsigned, const GridEditStart& start)
{
    if (!m_grid)
        return false;
    m_editing = true;
    auto* editor = new CGridInPlaceDateTime(m_grid, rect, m_style | DTS_UPDOWN, row, col, m_time, start);
    m_editor = editor;
    m_editWnd = editor;
    m_grid->setActiveEditor(editor, editor);
    return true;
}

void CGridCellDateTime::EndEdit()
{
    if (auto* e = dynamic_cast<GridEditor*>(m_editor.data()))
        e->EndEdit();
}

// ------------------------------------------------------------------ numeric

bool CGridCellNumericBase::Edit(int row, int col, const GridRect& rect, QPoint point, unsigned id,
                                const GridEditStart& start)
{
    if (!m_grid)
        return false;
    // Already editing: what was typed goes to the open editor, as in a text cell.
    if (m_editing && m_editWnd && m_grid->activeEditor() == m_editWnd)
        return CGridCell::Edit(row, col, rect, point, id, start);
    m_editing = true;
    auto* edit = new CGridInPlaceEdit(m_grid, rect, m_mode, Qt::AlignLeft, row, col, GetText(), start, m_digitsOnly);
    m_editWnd = edit;
    m_grid->setActiveEditor(edit, edit);
    return true;
}

void CGridCellNumericBase::EndEdit()
{
    // Only the grid's open editor is ended; a stale pointer is never looked into.
    if (m_grid && m_editWnd && m_grid->activeEditor() == m_editWnd)
        if (auto* e = dynamic_cast<GridEditor*>(m_editWnd))
            e->EndEdit();
}

// ------------------------------------------------------------------ URL

namespace {
const char* const kUrlPrefixes[] = {"www.",    "http:",   "mailto:", "ftp:", "https:", "news:",
                                    "gopher:", "telnet:", "url:",    "file:", "ftp."};

std::function<void(const QString&)>& launcher()
{
    static std::function<void(const QString&)> f = [](const QString& url) {
        QDesktopServices::openUrl(QUrl::fromUserInput(url));
    };
    return f;
}
} // namespace

CGridURLCell::CGridURLCell() : m_linkColour(GetSysColor(COLOR_HIGHLIGHT)) {}

void CGridURLCell::setLauncher(std::function<void(const QString&)> f)
{
    launcher() = std::move(f);
}

bool CGridURLCell::HasUrl(const QString& text)
{
    for (const char* prefix : kUrlPrefixes)
        if (text.contains(QLatin1String(prefix), Qt::CaseSensitive))
            return true;
    return false;
}

bool CGridURLCell::Draw(QPainter* dc, int row, int col, GridRect rect, bool eraseBkgnd)
{
    if (HasUrl(GetText()))
        SetTextColor(m_linkColour);
    m_rect = rect;
    return CGridCell::Draw(dc, row, col, rect, eraseBkgnd);
}

QString CGridURLCell::UrlUnderPoint(QPoint point) const
{
    const QString text = GetText();
    if (text.isEmpty())
        return {};
    const QFontMetrics fm(GetFontObject());
    const int extent = fm.horizontalAdvance(text);
    const int margin = int(GetMargin());
    const int width = m_rect.Width();
    const std::uint32_t format = GetFormat();
    int offset;
    if (format & DT_RIGHT) {
        const int start = width - margin - extent;
        if (point.x() < start || point.x() > width - margin)
            return {};
        offset = point.x() - start;
    } else if (format & DT_CENTER) {
        const int start = (width - extent) / 2;
        if (point.x() < start || point.x() > start + extent)
            return {};
        offset = point.x() - start;
    } else {
        if (point.x() < margin || point.x() > margin + extent)
            return {};
        offset = point.x() - margin;
    }
    // The character under the offset, measured with the font's own advances.
    int index = 0;
    while (index < text.size() && fm.horizontalAdvance(text.left(index + 1)) <= offset)
        ++index;
    if (index >= text.size())
        index = text.size() - 1;
    int end = text.indexOf(QLatin1Char(' '), index);
    if (end < 0)
        end = text.size();
    const int begin = index > 0 ? text.lastIndexOf(QLatin1Char(' '), index - 1) : -1;
    const QString word = text.mid(begin + 1, end - begin - 1);
    return HasUrl(word) ? word : QString();
}

void CGridURLCell::OnClick(QPoint point)
{
    if (!m_autoLaunch)
        return;
    const QString url = UrlUnderPoint(point);
    if (!url.isEmpty() && launcher())
        launcher()(url);
}

bool CGridURLCell::OnSetCursor()
{
    if (m_grid) {
        const QPoint at = m_grid->viewport()->mapFromGlobal(QCursor::pos()) - QPoint(m_rect.left, m_rect.top);
        if (!UrlUnderPoint(at).isEmpty()) {
            m_grid->viewport()->setCursor(Qt::PointingHandCursor);
            return true;
        }
    }
    return CGridCell::OnSetCursor();
}

} // namespace bc
