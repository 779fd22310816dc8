#include "ui/bmp_button.h"

#include "res/resource_bitmaps.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace bc {

CBmpButton::CBmpButton(int id, QWidget* parent) : QWidget(parent), id_(id)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover, false);
}

void CBmpButton::clearBitmaps()
{
    normal_ = QPixmap();
    hot_ = QPixmap();
    disabled_ = QPixmap();
}

bool CBmpButton::LoadBitmaps(int normalId, int hotId, int disabledId)
{
    clearBitmaps();
    const QImage normal = loadResourceBitmap(normalId);
    if (normal.isNull())
        return false;
    QImage hot, disabled;
    if (hotId != 0) {
        hot = loadResourceBitmap(hotId);
        if (hot.isNull())
            return false;
    }
    if (disabledId != 0) {
        disabled = loadResourceBitmap(disabledId);
        if (disabled.isNull())
            return false;
    }
    normal_ = QPixmap::fromImage(normal);
    hot_ = QPixmap::fromImage(hot);
    disabled_ = QPixmap::fromImage(disabled);
    updateGeometry();
    update();
    return true;
}

void CBmpButton::SetFrameState(int state)
{
    frameState_ = state;
    defaultFrameState_ = state;
    update();
}

void CBmpButton::setText(const QString& text)
{
    text_ = text;
    update();
}

QSize CBmpButton::sizeHint() const
{
    if (!normal_.isNull())
        return normal_.size() + QSize(4, 4);
    return fontMetrics().size(Qt::TextSingleLine, text_) + QSize(24, 10);
}

void CBmpButton::paintEvent(QPaintEvent*)
{
    // Nothing is erased: the parent's background shows wherever we do not draw.
    QPainter p(this);
    const QRect r = rect();
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor highlight = palette().color(QPalette::Light);
    if (frameState_ == FrameSunken || frameState_ == FrameRaised) {
        const QColor topLeft = frameState_ == FrameSunken ? shadow : highlight;
        const QColor bottomRight = frameState_ == FrameSunken ? highlight : shadow;
        p.setPen(topLeft);
        p.drawLine(r.left(), r.top(), r.right() - 1, r.top());
        p.drawLine(r.left(), r.top(), r.left(), r.bottom() - 1);
        p.setPen(bottomRight);
        p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        p.drawLine(r.right(), r.top(), r.right(), r.bottom());
    }
    const int shift = frameState_ == FrameSunken ? 1 : 0;
    const QPixmap* pic = &normal_;
    if (!isEnabled() && !disabled_.isNull())
        pic = &disabled_;
    else if (hovered_ && !hot_.isNull())
        pic = &hot_;
    if (!pic->isNull()) {
        const QPoint at((width() - pic->width()) / 2 + shift, (height() - pic->height()) / 2 + shift);
        p.drawPixmap(at, *pic);
    }
    if (!text_.isEmpty()) {
        p.setPen(hovered_ ? QColor(0, 0, 255)
                          : palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                            QPalette::ButtonText));
        p.drawText(r.translated(shift, shift), Qt::AlignCenter | Qt::TextSingleLine, text_);
    }
}

void CBmpButton::enterEvent(QEnterEvent*)
{
    if (hovered_)
        return;
    hovered_ = true;
    frameState_ = buttonDown_ ? FrameSunken : FrameRaised;
    repaint();
}

void CBmpButton::leaveEvent(QEvent*)
{
    if (!hovered_)
        return;
    frameState_ = defaultFrameState_;
    hovered_ = false;
    repaint();
}

void CBmpButton::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    buttonDown_ = true;
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason); // the focus-in shows the sunken frame
    frameState_ = FrameSunken;
    repaint();
}

void CBmpButton::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !buttonDown_)
        return;
    buttonDown_ = false;
    frameState_ = defaultFrameState_;
    repaint();
    // A press dragged off the button and released elsewhere is no click.
    if (rect().contains(e->position().toPoint()))
        emit clicked(id_);
}

void CBmpButton::mouseDoubleClickEvent(QMouseEvent* e)
{
    // The second press of a double click acts as a press of its own.
    mousePressEvent(e);
}

void CBmpButton::focusInEvent(QFocusEvent* e)
{
    hovered_ = true;
    frameState_ = buttonDown_ ? FrameSunken : FrameRaised;
    QWidget::focusInEvent(e);
    repaint();
}

void CBmpButton::focusOutEvent(QFocusEvent* e)
{
    frameState_ = defaultFrameState_;
    hovered_ = false;
    buttonDown_ = false;
    repaint();
    QWidget::focusOutEvent(e);
}

void CBmpButton::keyReleaseEvent(QKeyEvent* e)
{
    // Space releases a focused button like a click, as push buttons do.
    if (e->key() == Qt::Key_Space && !e->isAutoRepeat()) {
        emit clicked(id_);
        return;
    }
    QWidget::keyReleaseEvent(e);
}

void CBmpButton::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::EnabledChange) {
        if (!isEnabled()) {
            buttonDown_ = false;
            hovered_ = false;
            frameState_ = defaultFrameState_;
        }
        update();
    }
    QWidget::changeEvent(e);
}

} // namespace bc
