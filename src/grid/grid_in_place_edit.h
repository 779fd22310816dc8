#pragma once
// The in-place editors of grid cells. Every editor reports the end of its
// edit exactly once to the grid (text and the key that ended it), then closes
// and deletes itself later, so the grid may change under it safely.

#include "grid/grid_cell.h"

#include <QLineEdit>
#include <QPointer>

#include <functional>

class QFocusEvent;
class QInputMethodEvent;
class QKeyEvent;

namespace bc {

class CGridCtrl;

// What the grid needs of any in-place editor.
class GridEditor {
public:
    virtual ~GridEditor();
    // Reports the text and the ending key to the grid once, then closes.
    virtual void EndEdit() = 0;
    bool hasEnded() const { return m_ended; }
    // Ends the edit without a report, for a grid that is going away.
    void abandon()
    {
        m_ended = true;
        m_grid = nullptr;
    }
    int row() const { return m_row; }
    int col() const { return m_col; }

protected:
    GridEditor(CGridCtrl* grid, int row, int col);
    // Sends the end report unless one was sent; returns false when it was.
    bool report(const QString& text);
    // Records the ending key, reports and gives the keyboard back to the grid.
    void endWithKey(int key, Qt::KeyboardModifiers mods);
    // Tab, Return and Escape end the edit with their key; true when `e` was one.
    bool endOnKey(const QKeyEvent* e);
    static bool isEndingKey(int qtKey);
    // The navigation key code of Page Up, Page Down and the arrows; 0 for others.
    static int navigationKey(int qtKey);
    // A loss of focus ends the edit, unless a popup (a list dropping, a
    // context menu) takes the focus for a moment.
    void endOnFocusLoss(const QFocusEvent* e);
    // Every key belongs to the editor: no window shortcut takes one, and Tab
    // goes to `keyPress` instead of moving the focus along the window's
    // chain. True when `e` was taken.
    static bool takeKey(QEvent* e, const std::function<void(QKeyEvent*)>& keyPress);

    QPointer<CGridCtrl> m_grid;
    int m_row;
    int m_col;
    int m_lastKey = 0;
    Qt::KeyboardModifiers m_lastMods;
    bool m_ended = false;
};

enum GridEditMode : int {
    EDIT_TEXT = 0,
    EDIT_INTEGER = 1,
    EDIT_DECIMAL = 2,
    EDIT_BYTE = 3,   // whole number 0..255
    EDIT_TENTHS = 4, // 0.0..25.5
};

class CGridInPlaceEdit : public QLineEdit, public GridEditor {
    Q_OBJECT
public:
    // `digitsOnly` makes the control itself take digits alone.
    CGridInPlaceEdit(CGridCtrl* grid, const GridRect& rect, int editMode, Qt::Alignment align, int row,
                     int col, const QString& initialText, const GridEditStart& start,
                     bool digitsOnly = false);
    ~CGridInPlaceEdit() override;

    void EndEdit() override;
    int editMode() const { return m_editMode; }
    bool exitOnArrows() const { return m_exitOnArrows; }
    // Whether the mode's filter lets `ch` in, given the current text.
    bool accepts(QChar ch) const;
    // Applies the filter to typed text and inserts what passes.
    void typeText(const QString& text);

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;

private:
    void widenToFit();

    QString m_initialText;
    bool m_exitOnArrows;
    int m_editMode;
    bool m_digitsOnly;
};

// Rounds the text of a 0..255 or 0.0..25.5 editor when the edit ends.
QString normaliseByteText(const QString& text);
QString normaliseTenthsText(const QString& text);

} // namespace bc
