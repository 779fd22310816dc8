#include "analysis/pick_rubber_band.h"

#include <QPainter>

namespace bc {

CPickRubberBand::CPickRubberBand(QWidget* viewport) : QWidget(viewport)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(viewport->rect());
    hide();
}

QRect CPickRubberBand::segmentRect() const
{
    return QRect(from_, to_).normalized().adjusted(-2, -2, 2, 2);
}

void CPickRubberBand::setSegment(const QPoint& from, const QPoint& to)
{
    const QRect parentRect = parentWidget()->rect();
    if (geometry() != parentRect)
        setGeometry(parentRect);
    if (shown_)
        update(segmentRect());
    from_ = from;
    to_ = to;
    shown_ = true;
    raise();
    show();
    update(segmentRect());
}

void CPickRubberBand::clearSegment()
{
    if (!shown_)
        return;
    update(segmentRect());
    shown_ = false;
    hide();
}

void CPickRubberBand::paintEvent(QPaintEvent*)
{
    if (!shown_ || from_ == to_)
        return;
    QPainter painter(this);
    painter.setPen(QPen(QColor(255, 0, 0), 1, Qt::DashLine));
    painter.drawLine(from_, to_);
}

} // namespace bc
