#pragma once
// Combo boxes with a flat border that rises while the mouse is over them, and
// the three owner-drawn drop-down lists of the drawing settings built on it:
// line colour (with a custom colour), pen style and line width. They hand out
// the values the shape records store: packed 0x00BBGGRR colours and the
// numeric pen style codes.

#include "ui/gdi_types.h"

#include <QBasicTimer>
#include <QComboBox>

#include <array>

namespace bc {

class CFlatComboBox : public QComboBox {
    Q_OBJECT
public:
    // Border states.
    enum BorderState { FB_FLAT = 1, FB_RAISED = 2, FB_PRESSED = 4 };

    explicit CFlatComboBox(QWidget* parent = nullptr);
    ~CFlatComboBox() override;

    // The border the combo draws now. Each combo keeps its own hover state.
    int BorderState() const;
    bool IsButtonDown() const { return buttonDown_; }
    // Whether the hover timer (every 10 ms while the mouse may be over the
    // combo) is running.
    bool IsHoverTimerActive() const { return hoverTimer_.isActive(); }

    // Owner-drawn lists draw each entry, and the closed field, here. The
    // default draws nothing; derived lists override both and call
    // SetOwnerDraw() in their constructor.
    virtual void DrawItem(QPainter& painter, const QRect& rect, int index, bool selected) const;
    // Height of a list entry in pixels.
    virtual int MeasureItem(int index) const;

    // Draws the flat border in `state` over the whole combo: a 3-D rectangle
    // of the client rectangle, one inset by 1, one inset by 2, and the edge of
    // the drop-down button (as wide as a scroll bar's thumb).
    void DrawBorder(QPainter& painter, int state) const;

    void hidePopup() override;

protected:
    void SetOwnerDraw();
    // Whether the mouse cursor is over the combo now.
    virtual bool CursorInside() const;

    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    class Delegate;

    bool ownerDraw_ = false;
    bool buttonDown_ = false;
    bool hovering_ = false; // the raised border has been drawn for this hover
    QBasicTimer hoverTimer_;
};

// Line colour: black, red, green, blue, white and a custom colour ("自定义").
class CColorPickerCombo : public CFlatComboBox {
    Q_OBJECT
public:
    static constexpr int kCustomIndex = 5;

    explicit CColorPickerCombo(QWidget* parent = nullptr);

    // Colour of the selected entry; black when nothing is selected.
    COLORREF GetColor() const;
    COLORREF GetCustomColor() const { return colours_[kCustomIndex]; }

    // Called when the selection changes (connect QComboBox::activated): on the
    // custom entry, opens the colour dialog at the custom colour and keeps the
    // chosen colour when the dialog ends with OK.
    void OnSelectColor();

    void DrawItem(QPainter& painter, const QRect& rect, int index, bool selected) const override;
    int MeasureItem(int index) const override;

private:
    std::array<COLORREF, 6> colours_;
};

// Pen style: solid, dash, dot, dash-dot, dash-dot-dot, shown as sample lines.
class CLineStyleComboBox : public CFlatComboBox {
    Q_OBJECT
public:
    explicit CLineStyleComboBox(QWidget* parent = nullptr);

    // Pen style code of the selected entry; solid when nothing is selected.
    int GetLineStyle() const;

    void DrawItem(QPainter& painter, const QRect& rect, int index, bool selected) const override;
    int MeasureItem(int index) const override;
};

// Line width 1 to 8 pixels ("%d 象素"), with samples in the chosen style.
class CLineWidthComboBox : public CFlatComboBox {
    Q_OBJECT
public:
    explicit CLineWidthComboBox(QWidget* parent = nullptr);

    // The style the samples are drawn in. PS_NULL clears the selection.
    void SetLineStyle(int penStyle);
    int LineStyle() const { return lineStyle_; }
    // Width of the selected entry; 0 when nothing is selected.
    int GetLineWidth() const;

    void DrawItem(QPainter& painter, const QRect& rect, int index, bool selected) const override;
    int MeasureItem(int index) const override;

private:
    int lineStyle_ = PS_SOLID;
};

} // namespace bc
