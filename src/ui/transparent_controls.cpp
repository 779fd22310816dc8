#include "ui/transparent_controls.h"

#include <QPainter>

namespace bc {

namespace {

QFont parentFont(const QWidget* w)
{
    return w->parentWidget() ? w->parentWidget()->font() : w->font();
}

void drawPlainText(QWidget* w, const QString& text)
{
    QPainter p(w);
    p.setFont(parentFont(w));
    p.setPen(w->palette().color(w->isEnabled() ? QPalette::Active : QPalette::Disabled,
                                QPalette::WindowText));
    p.drawText(w->rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

} // namespace

CCustomSliderCtrl::CCustomSliderCtrl(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    // No background of its own: the groove and the handle are drawn over the
    // parent's picture.
    setAutoFillBackground(false);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setTickPosition(QSlider::TicksBelow);
}

CTransparentEdit::CTransparentEdit(QWidget* parent) : QLineEdit(parent)
{
    setAutoFillBackground(false);
    setFrame(false);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    setPalette(pal);
}

void CTransparentEdit::paintEvent(QPaintEvent* e)
{
    if (hasFocus()) {
        QLineEdit::paintEvent(e);
        return;
    }
    drawPlainText(this, text());
}

CTransparentLabel::CTransparentLabel(const QString& text, QWidget* parent)
    : QWidget(parent), text_(text)
{
    setAutoFillBackground(false);
}

void CTransparentLabel::SetText(const QString& text)
{
    text_ = text;
    update();
}

QSize CTransparentLabel::sizeHint() const
{
    const QFontMetrics fm(parentFont(this));
    return fm.size(Qt::TextSingleLine, text_) + QSize(2, 4);
}

void CTransparentLabel::paintEvent(QPaintEvent*)
{
    drawPlainText(this, text_);
}

} // namespace bc
