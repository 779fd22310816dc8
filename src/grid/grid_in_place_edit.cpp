#include "grid/grid_in_place_edit.h"

#include "core/c_number.h"
#include "grid/grid_ctrl.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QKeyEvent>

namespace bc {

GridEditor::GridEditor(CGridCtrl* grid, int row, int col) : m_grid(grid), m_row(row), m_col(col) {}

GridEditor::~GridEditor() = default;

bool GridEditor::report(const QString& text)
{
    if (m_ended)
        return false;
    m_ended = true;
    if (m_grid)
        m_grid->OnEndInPlaceEdit(this, m_row, m_col, text, m_lastKey, m_lastMods);
    return true;
}

void GridEditor::endWithKey(int key, Qt::KeyboardModifiers mods)
{
    m_lastKey = key;
    m_lastMods = mods;
    QPointer<CGridCtrl> grid = m_grid;
    EndEdit();
    // The keyboard goes back to the grid, unless the key carried the edit on
    // into the next cell, whose editor has it now.
    if (grid && !grid->activeEditor())
        grid->setFocus(Qt::OtherFocusReason);
}

bool GridEditor::takeKey(QEvent* e, const std::function<void(QKeyEvent*)>& keyPress)
{
    if (e->type() == QEvent::ShortcutOverride) {
        e->accept();
        return true;
    }
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
            keyPress(k);
            return true;
        }
    }
    return false;
}

bool GridEditor::isEndingKey(int qtKey)
{
    return qtKey == Qt::Key_Tab || qtKey == Qt::Key_Backtab || qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter
           || qtKey == Qt::Key_Escape;
}

bool GridEditor::endOnKey(const QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Tab: endWithKey(VK_TAB, e->modifiers()); return true;
    case Qt::Key_Backtab: endWithKey(VK_TAB, e->modifiers() | Qt::ShiftModifier); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: endWithKey(VK_RETURN, e->modifiers()); return true;
    case Qt::Key_Escape: endWithKey(VK_ESCAPE, e->modifiers()); return true;
    default: return false;
    }
}

int GridEditor::navigationKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    default: return 0;
    }
}

void GridEditor::endOnFocusLoss(const QFocusEvent* e)
{
    if (e->reason() == Qt::PopupFocusReason || m_ended)
        return;
    EndEdit();
}

QString normaliseByteText(const QString& text)
{
    // The leading number decides, however many digits it has.
    if (leadingInt(text) >= 256)
        return QStringLiteral("255");
    QString out = text;
    int i = 0;
    while (i < out.size() - 1 && out[i] == QLatin1Char('0'))
        ++i;
    // A lone "0" stays: the value is 0, not empty.
    return out.mid(i);
}

QString normaliseTenthsText(const QString& text)
{
    // Compared as a double: a huge value clamps instead of overflowing, and
    // the decimal point is always '.', whatever the process locale.
    if (leadingDouble(text) * 10 + 0.5 >= 256)
        return QStringLiteral("25.5");
    const int dot = text.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && text.size() - dot - 1 > 1)
        return text.left(dot + 2);
    return text;
}

CGridInPlaceEdit::CGridInPlaceEdit(CGridCtrl* grid, const GridRect& rect, int editMode, Qt::Alignment align,
                                   int row, int col, const QString& initialText, const GridEditStart& start,
                                   bool digitsOnly)
    : QLineEdit(grid->viewport())
    , GridEditor(grid, row, col)
    , m_initialText(initialText)
    , m_exitOnArrows(start.key != VK_LBUTTON)
    , m_editMode(editMode)
    , m_digitsOnly(digitsOnly)
{
    setObjectName(QStringLiteral("GridInPlaceEdit"));
    setAlignment(align | Qt::AlignVCenter);
    setFont(grid->GetDefaultCell(false, false)->GetFontObject());
    setGeometry(rect.toQRect());
    setText(initialText);
    show();
    setFocus(Qt::OtherFocusReason);
    if (!start.typed.isEmpty()) {
        selectAll();
        typeText(start.typed);
    } else if (start.key == VK_LBUTTON || start.key == VK_RETURN || start.key == 0) {
        end(false);
    } else if (start.key == 0x08) {
        end(false);
        backspace();
    } else {
        selectAll();
    }
}

CGridInPlaceEdit::~CGridInPlaceEdit() = default;

bool CGridInPlaceEdit::accepts(QChar ch) const
{
    if (ch == QChar(0x08))
        return true;
    const bool digit = ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
    const QString t = text();
    auto once = [&](QChar c) { return ch == c && !t.contains(c); };
    if (m_digitsOnly && !digit)
        return false;
    switch (m_editMode) {
    case EDIT_INTEGER: return digit || once(QLatin1Char('+')) || once(QLatin1Char('-'));
    case EDIT_DECIMAL:
        return digit || once(QLatin1Char('.')) || once(QLatin1Char('+')) || once(QLatin1Char('-'));
    case EDIT_BYTE: return digit;
    case EDIT_TENTHS: return digit || once(QLatin1Char('.'));
    default: return true;
    }
}

void CGridInPlaceEdit::typeText(const QString& typed)
{
    for (QChar ch : typed) {
        if (!accepts(ch))
            continue;
        insert(QString(ch));
    }
    widenToFit();
}

void CGridInPlaceEdit::widenToFit()
{
    const QFontMetrics fm(font());
    const int width = fm.horizontalAdvance(text() + QStringLiteral("  "));
    if (width <= this->width() || !m_grid)
        return;
    const int clientRight = m_grid->viewport()->width();
    const int right = std::min(x() + width, clientRight);
    resize(std::max(right - x(), this->width()), height());
}

bool CGridInPlaceEdit::event(QEvent* e)
{
    return takeKey(e, [this](QKeyEvent* k) { keyPressEvent(k); }) || QLineEdit::event(e);
}

void CGridInPlaceEdit::keyPressEvent(QKeyEvent* e)
{
    const Qt::KeyboardModifiers mods = e->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    if (e->key() == Qt::Key_Escape)
        setText(m_initialText);
    if (endOnKey(e))
        return;
    if (const int vk = navigationKey(e->key())) {
        if (m_exitOnArrows || ctrl)
            endWithKey(vk, mods);
        else
            QLineEdit::keyPressEvent(e);
        return;
    }
    const QString t = e->text();
    if (!t.isEmpty() && t[0].isPrint() && !ctrl) {
        typeText(t);
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void CGridInPlaceEdit::inputMethodEvent(QInputMethodEvent* e)
{
    if (m_editMode == EDIT_TEXT && !m_digitsOnly) {
        QLineEdit::inputMethodEvent(e);
        return;
    }
    // Text from an input method passes the same filter as typed characters;
    // nothing is composed in place.
    typeText(e->commitString());
    e->accept();
}

void CGridInPlaceEdit::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    endOnFocusLoss(e);
}

void CGridInPlaceEdit::EndEdit()
{
    if (hasEnded())
        return;
    QString t = text();
    if (m_editMode == EDIT_BYTE)
        t = normaliseByteText(t);
    else if (m_editMode == EDIT_TENTHS)
        t = normaliseTenthsText(t);
    setText(t);
    if (report(t)) {
        hide();
        deleteLater();
    }
}

} // namespace bc
