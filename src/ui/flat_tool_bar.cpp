#include "ui/flat_tool_bar.h"

#include "ui/gdi_types.h"

#include <QAction>
#include <QActionEvent>
#include <QBitmap>
#include <QPainter>
#include <QStyleOptionToolBar>
#include <QWidgetAction>

namespace bc {

namespace {

constexpr int kBorder = 2;
const QColor kMaskColour(192, 192, 192);

} // namespace

CFlatToolBar::CFlatToolBar(QWidget* parent) : QToolBar(parent) {}

CFlatToolBar::CFlatToolBar(const QString& title, QWidget* parent) : QToolBar(title, parent) {}

bool CFlatToolBar::SetHotImageList(const QImage& bitmap, int imageWidth)
{
    hotImages_.clear();
    if (bitmap.isNull() || imageWidth <= 0)
        return false;
    const QImage source = bitmap.convertToFormat(QImage::Format_RGB32);
    for (int x = 0; x + imageWidth <= source.width(); x += imageWidth) {
        QPixmap image = QPixmap::fromImage(source.copy(x, 0, imageWidth, source.height()));
        image.setMask(image.createMaskFromColor(kMaskColour, Qt::MaskInColor));
        hotImages_ << image;
    }
    applyHotImages();
    return !hotImages_.isEmpty();
}

void CFlatToolBar::applyHotImages()
{
    if (hotImages_.isEmpty())
        return;
    applying_ = true;
    int index = 0;
    for (QAction* action : actions()) {
        if (action->isSeparator() || qobject_cast<QWidgetAction*>(action))
            continue;
        if (index >= hotImages_.size())
            break;
        // The button's own images stay for the other states.
        const QIcon icon = action->icon();
        QList<QSize> sizes = icon.availableSizes(QIcon::Normal);
        // An icon drawn by its engine (a scalable picture) names no sizes:
        // it is kept at the bar's size.
        if (sizes.isEmpty() && !icon.isNull())
            sizes << iconSize();
        QIcon merged;
        for (const QSize& size : sizes)
            merged.addPixmap(icon.pixmap(size, QIcon::Normal), QIcon::Normal);
        merged.addPixmap(hotImages_.at(index++), QIcon::Active);
        action->setIcon(merged);
    }
    applying_ = false;
}

void CFlatToolBar::actionEvent(QActionEvent* event)
{
    QToolBar::actionEvent(event);
    if (event->type() == QEvent::ActionAdded && !applying_)
        applyHotImages();
}

QList<QRect> CFlatToolBar::GripperLines() const
{
    QStyleOptionToolBar opt;
    initStyleOption(&opt);
    if (!(opt.features & QStyleOptionToolBar::Movable))
        return {};
    const QRect r = rect();
    if (orientation() == Qt::Horizontal) {
        // Docked at the top or bottom: two vertical lines at the left.
        const int height = r.height() - 2 * kBorder;
        return {QRect(r.left() + 2, r.top() + kBorder, 2, height),
                QRect(r.left() + 5, r.top() + kBorder, 2, height)};
    }
    // Docked at a side: two horizontal lines at the top.
    const int width = r.width() - 2 * kBorder;
    return {QRect(r.left() + kBorder, r.top() + 2, width, 2),
            QRect(r.left() + kBorder, r.top() + 5, width, 2)};
}

void CFlatToolBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Button));
    const QColor light = pal.color(QPalette::Light);
    const QColor shadow = pal.color(QPalette::Dark);
    for (const QRect& line : GripperLines())
        draw3dRect(p, line, light, shadow);
}

} // namespace bc
