#include "grid/title_tip.h"

#include <QAbstractScrollArea>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

namespace bc {

ZTitleTip::ZTitleTip(QWidget* parent)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput
                           | Qt::WindowDoesNotAcceptFocus)
    , m_parent(parent)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
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
    QWidget* client = m_parent;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(m_parent))
        client = area->viewport();
    const QPoint global = client->mapToGlobal(QPoint(left, titleRect.top));
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
