#pragma once
// A small popup that shows the whole text of a clipped cell right over the
// cell while the mouse stays there. It takes no keyboard focus, and it asks
// the window system to let the mouse through to the grid underneath. Where
// the mouse reaches it anyway (a window system that puts a window shown under
// the pointer in charge of it), it hides as soon as the pointer leaves the
// cell and hands every click, move and wheel turn on to the grid.

#include "grid/grid_types.h"

#include <QFont>
#include <QWidget>

namespace bc {

class ZTitleTip : public QWidget {
    Q_OBJECT
public:
    explicit ZTitleTip(QWidget* parent);

    // Rectangles are in the parent's client (viewport) coordinates. Returns
    // true when the tip is shown (the text does not fit the rectangle).
    bool Show(const GridRect& titleRect, const QString& text, int xOffset = 0,
              const GridRect* hoverRect = nullptr, const QFont* font = nullptr,
              COLORREF textColor = CLR_DEFAULT, COLORREF backColor = CLR_DEFAULT);
    void Hide();
    bool isShown() const { return isVisible(); }
    // The area that keeps the tip open, in the parent's client coordinates.
    const GridRect& hoverRect() const { return m_hoverRect; }
    QString shownText() const { return m_text; }
    // Whether a point in global coordinates lies in the hover area.
    bool hovers(QPoint global) const;

protected:
    void paintEvent(QPaintEvent* e) override;
    bool event(QEvent* e) override;

private:
    // The grid's client area, where the rectangles are measured.
    QWidget* client() const;
    // Passes a mouse event on to the client area under it.
    void relay(QEvent* e);

    QWidget* m_parent;
    GridRect m_hoverRect;
    GridRect m_textRect;
    QString m_text;
    QFont m_font;
    COLORREF m_textColor = CLR_DEFAULT;
    COLORREF m_backColor = CLR_DEFAULT;
};

} // namespace bc
