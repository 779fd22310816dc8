#include "grid/title_tip.h"

#include <QAbstractScrollArea>
#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace bc {

ZTitleTip::ZTitleTip(QWidget* parent)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput
                           | Qt::WindowDoesNotAcceptFocus)
    , m_parent(parent)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
}

QWidget* ZTitleTip::client() const
{
    if (auto* area = qobject_cast<QAbstractScrollArea*>(m_parent))
        return area->viewport();
    return m_parent;
}

bool ZTitleTip::hovers(QPoint global) const
{
    const QWidget* c = client();
    if (!c || !isVisible())
        return false;
    const QPoint p = c->mapFromGlobal(global);
    return m_hoverRect.PtInRect(p.x(), p.y());
}

bool ZTitleTip::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::MouseMove:
        // Moves within the cell keep the tip; the first one outside hides it
        // and goes on to the grid, which may show the next cell's tip.
        if (hovers(static_cast<QMouseEvent*>(e)->globalPosition().toPoint()))
            return true;
        Hide();
        relay(e);
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        Hide();
        relay(e);
        return true;
    case QEvent::Leave:
        if (!hovers(QCursor::pos()))
            Hide();
        return true;
    default:
        return QWidget::event(e);
    }
}

void ZTitleTip::relay(QEvent* e)
{
    QWidget* target = client();
    if (!target)
        return;
    if (e->type() == QEvent::Wheel) {
        auto* w = static_cast<QWheelEvent*>(e);
        QWheelEvent copy(target->mapFromGlobal(w->globalPosition()), w->globalPosition(), w->pixelDelta(),
                         w->angleDelta(), w->buttons(), w->modifiers(), w->phase(), w->inverted());
        QCoreApplication::sendEvent(target, &copy);
        return;
    }
    auto* m = static_cast<QMouseEvent*>(e);
    QMouseEvent copy(m->type(), target->mapFromGlobal(m->globalPosition()), m->globalPosition(), m->button(),
                     m->buttons(), m->modifiers());
    QCoreApplication::sendEvent(target, &copy);
    // The window system keeps sending the rest of a press to the window that
    // took it, hidden now; the grid takes them over until the release.
    if (m->type() == QEvent::MouseButtonPress && target->isVisible() && !QWidget::mouseGrabber())
        target->grabMouse();
}

bool ZTitleTip::Show(const GridRect& titleRect, const QString& text, int xOffset,
                     const GridRect* hoverRect, const QFont* font, COLORREF textColor,
                     COLORREF backColor)
{
    if (titleRect.IsRectEmpty() || isVisible() || !m_parent)
        return false;
    m_hoverRect = hoverRect ? *hoverRect : titleRect;
    m_hoverRect.right++;
    m_hoverRect.bottom++;
    if (!QGuiApplication::focusWindow())
        return false;
    m_textRect = GridRect(-(xOffset + 1), -1, titleRect.Width() - xOffset, titleRect.Height() + 1);
    m_text = QStringLiteral(" ") + text + QStringLiteral(" ");
    m_font = font ? *font : m_parent->font();
    const QFontMetrics fm(m_font);
    const int left = titleRect.left + xOffset;
    const int right = left + fm.horizontalAdvance(m_text);
    if (right + xOffset <= titleRect.right - xOffset)
        return false;
    m_textColor = textColor;
    m_backColor = backColor;
    const QPoint global = client()->mapToGlobal(QPoint(left, titleRect.top));
    setGeometry(global.x(), global.y(), right - titleRect.left, titleRect.Height());
    show();
    update();
    return true;
}

void ZTitleTip::Hide()
{
    if (isVisible())
        hide();
}

void ZTitleTip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const COLORREF back = m_backColor != CLR_DEFAULT ? m_backColor : GetSysColor(COLOR_INFOBK);
    p.fillRect(rect(), toQColor(back));
    p.setPen(toQColor(m_textColor != CLR_DEFAULT ? m_textColor : GetSysColor(COLOR_INFOTEXT)));
    p.setFont(m_font);
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, m_text);
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace bc
