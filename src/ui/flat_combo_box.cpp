#include "ui/flat_combo_box.h"

#include <QAbstractItemView>
#include <QColorDialog>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QStylePainter>
#include <QTimerEvent>

namespace bc {

namespace {

constexpr int kHoverPeriodMs = 10;
constexpr int kItemHeight = 20;
constexpr COLORREF kSelectedFrame = RGB(0, 100, 200);

QFont itemFont()
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(16);
    font.setWeight(QFont::Normal);
    return font;
}

void frameItem(QPainter& p, const QRect& rect, bool selected)
{
    const QColor colour = selected ? toQColor(kSelectedFrame) : QColor(Qt::white);
    draw3dRect(p, rect, colour, colour);
}

} // namespace

// Draws and measures the list's entries through the combo.
class CFlatComboBox::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(CFlatComboBox* combo) : QStyledItemDelegate(combo), combo_(combo) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        painter->save();
        combo_->DrawItem(*painter, option.rect, index.row(),
                         option.state.testFlag(QStyle::State_Selected));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(),
                     combo_->MeasureItem(index.row()));
    }

private:
    CFlatComboBox* combo_;
};

CFlatComboBox::CFlatComboBox(QWidget* parent) : QComboBox(parent)
{
    setMouseTracking(true);
}

CFlatComboBox::~CFlatComboBox() = default;

void CFlatComboBox::SetOwnerDraw()
{
    if (ownerDraw_)
        return;
    ownerDraw_ = true;
    setItemDelegate(new Delegate(this));
}

int CFlatComboBox::BorderState() const
{
    if (buttonDown_)
        return FB_PRESSED;
    return hovering_ ? FB_RAISED : FB_FLAT;
}

void CFlatComboBox::DrawItem(QPainter&, const QRect&, int, bool) const {}

int CFlatComboBox::MeasureItem(int) const
{
    return kItemHeight;
}

void CFlatComboBox::DrawBorder(QPainter& p, int state) const
{
    const QPalette& pal = palette();
    const QColor face = pal.color(QPalette::Button);
    const QColor light = pal.color(QPalette::Light);
    const QColor shadow = pal.color(QPalette::Dark);

    QColor topLeft = face, bottomRight = face, inner = face;
    if (state == FB_RAISED) {
        topLeft = light;
        bottomRight = shadow;
        inner = light;
    } else if (state == FB_PRESSED) {
        topLeft = shadow;
        bottomRight = light;
        inner = light;
    }

    const QRect r = rect();
    draw3dRect(p, r, topLeft, bottomRight);
    draw3dRect(p, r.adjusted(1, 1, -1, -1), inner, inner);
    draw3dRect(p, r.adjusted(2, 2, -2, -2), face, face);

    // The drop-down button's edge.
    const int thumb = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const QRect button(r.right() - 2 - thumb + 1, r.top() + 2, thumb, r.height() - 4);
    draw3dRect(p, button, topLeft, bottomRight);
}

bool CFlatComboBox::CursorInside() const
{
    return rect().contains(mapFromGlobal(QCursor::pos()));
}

void CFlatComboBox::mouseMoveEvent(QMouseEvent* event)
{
    if (!hoverTimer_.isActive())
        hoverTimer_.start(kHoverPeriodMs, this);
    QComboBox::mouseMoveEvent(event);
}

void CFlatComboBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        buttonDown_ = true;
        update();
    }
    QComboBox::mousePressEvent(event);
}

void CFlatComboBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && buttonDown_) {
        buttonDown_ = false;
        update();
    }
    QComboBox::mouseReleaseEvent(event);
}

void CFlatComboBox::hidePopup()
{
    // The open list takes the mouse, so the release that ends the press may
    // never reach the combo: closing the list ends it.
    QComboBox::hidePopup();
    if (buttonDown_) {
        buttonDown_ = false;
        update();
    }
}

void CFlatComboBox::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != hoverTimer_.timerId()) {
        QComboBox::timerEvent(event);
        return;
    }
    if (!CursorInside()) {
        if (!buttonDown_) {
            hoverTimer_.stop();
            hovering_ = false;
            update();
        }
    } else if (!hovering_) {
        hovering_ = true;
        update();
    }
}

void CFlatComboBox::paintEvent(QPaintEvent* event)
{
    if (!ownerDraw_) {
        QComboBox::paintEvent(event);
    } else {
        QStylePainter painter(this);
        QStyleOptionComboBox opt;
        initStyleOption(&opt);
        opt.currentText.clear();
        opt.currentIcon = QIcon();
        painter.drawComplexControl(QStyle::CC_ComboBox, opt);
        if (currentIndex() >= 0) {
            const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &opt,
                                                        QStyle::SC_ComboBoxEditField, this);
            painter.save();
            DrawItem(painter, field, currentIndex(), hasFocus());
            painter.restore();
        }
    }
    QPainter painter(this);
    DrawBorder(painter, BorderState());
}

// ---------------------------------------------------------------------------

CColorPickerCombo::CColorPickerCombo(QWidget* parent)
    : CFlatComboBox(parent), colours_{RGB(0, 0, 0),   RGB(255, 0, 0),     RGB(0, 255, 0),
                                      RGB(0, 0, 255), RGB(255, 255, 255), RGB(0, 0, 0)}
{
    SetOwnerDraw();
    for (int i = 0; i < kCustomIndex; ++i)
        addItem(QString());
    addItem(QStringLiteral("自定义"));
    setCurrentIndex(-1);
}

COLORREF CColorPickerCombo::GetColor() const
{
    const int index = currentIndex();
    if (index < 0 || index >= int(colours_.size()))
        return RGB(0, 0, 0);
    return colours_[size_t(index)];
}

void CColorPickerCombo::OnSelectColor()
{
    if (currentIndex() != kCustomIndex)
        return;
    QColorDialog dialog(toQColor(colours_[kCustomIndex]), this);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() == QDialog::Accepted)
        colours_[kCustomIndex] = toColorRef(dialog.selectedColor());
    update();
}

void CColorPickerCombo::DrawItem(QPainter& p, const QRect& rect, int index, bool selected) const
{
    if (index < 0 || index >= int(colours_.size()))
        return;
    p.setFont(itemFont());
    p.fillRect(rect, toQColor(colours_[size_t(index)]));
    if (index == kCustomIndex) {
        QRect half = rect;
        half.setWidth(rect.width() / 2);
        p.fillRect(half, Qt::white);
        p.setPen(Qt::black);
        p.drawText(half, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, itemText(index));
    }
    frameItem(p, rect, selected);
}

int CColorPickerCombo::MeasureItem(int) const
{
    return kItemHeight;
}

// ---------------------------------------------------------------------------

CLineStyleComboBox::CLineStyleComboBox(QWidget* parent) : CFlatComboBox(parent)
{
    SetOwnerDraw();
    for (int style = PS_SOLID; style <= PS_DASHDOTDOT; ++style)
        addItem(QString());
    setCurrentIndex(0);
}

int CLineStyleComboBox::GetLineStyle() const
{
    const int index = currentIndex();
    return index < 0 ? PS_SOLID : index;
}

void CLineStyleComboBox::DrawItem(QPainter& p, const QRect& rect, int index, bool selected) const
{
    p.fillRect(rect, Qt::white);
    if (index >= 0) {
        const int y = rect.top() + rect.height() / 2;
        p.setPen(makePen(index, 0, RGB(0, 0, 0)));
        p.drawLine(QPoint(rect.left() + 4, y), QPoint(rect.right() + 1 - 4, y));
    }
    frameItem(p, rect, selected);
}

int CLineStyleComboBox::MeasureItem(int) const
{
    return kItemHeight;
}

// ---------------------------------------------------------------------------

CLineWidthComboBox::CLineWidthComboBox(QWidget* parent) : CFlatComboBox(parent)
{
    SetOwnerDraw();
    for (int width = 1; width <= 8; ++width)
        addItem(QStringLiteral("%1 象素").arg(width));
    setCurrentIndex(-1);
}

void CLineWidthComboBox::SetLineStyle(int penStyle)
{
    lineStyle_ = penStyle;
    if (penStyle == PS_NULL)
        setCurrentIndex(-1);
    view()->viewport()->update();
    update();
}

int CLineWidthComboBox::GetLineWidth() const
{
    const int index = currentIndex();
    return index < 0 ? 0 : index + 1;
}

void CLineWidthComboBox::DrawItem(QPainter& p, const QRect& rect, int index, bool selected) const
{
    p.fillRect(rect, Qt::white);
    if (index >= 0) {
        p.setFont(itemFont());
        p.setPen(Qt::black);
        const QString label = itemText(index);
        const QRect labelRect = rect.adjusted(4, 0, 0, 0);
        p.drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label);
        // The sample starts after the widest label so that all samples align.
        const int start =
            rect.left() + 4 + p.fontMetrics().horizontalAdvance(QStringLiteral("8 象素")) + 6;
        const int end = rect.right() + 1 - 4;
        if (start < end && lineStyle_ != PS_NULL) {
            const int y = rect.top() + rect.height() / 2;
            p.setPen(makePen(lineStyle_, index + 1, RGB(0, 0, 0)));
            p.drawLine(QPoint(start, y), QPoint(end, y));
        }
    }
    frameItem(p, rect, selected);
}

int CLineWidthComboBox::MeasureItem(int) const
{
    return kItemHeight;
}

} // namespace bc
