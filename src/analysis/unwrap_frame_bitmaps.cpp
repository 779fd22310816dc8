#include "analysis/unwrap_frame_bitmaps.h"

#include "analysis/unwrap_frame_ids.h"

#include <QBitmap>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>

namespace bc {

namespace {

const QColor kToolMask(192, 192, 192);

// One button picture in a 21 x 21 cell.
void drawGlyph(QPainter& p, int id, const QColor& ink)
{
    p.setPen(QPen(ink, 2));
    p.setBrush(Qt::NoBrush);
    switch (id) {
    case ID_STITCH_SETTINGS: // two strips meeting at a seam
        p.drawRect(4, 3, 13, 6);
        p.drawRect(4, 12, 13, 6);
        break;
    case ID_ZOOM_IN:
    case ID_ZOOM_OUT: // a magnifier with + or -
        p.drawEllipse(3, 3, 11, 11);
        p.drawLine(13, 13, 18, 18);
        p.drawLine(6, 8, 11, 8);
        if (id == ID_ZOOM_IN)
            p.drawLine(8, 6, 8, 11);
        break;
    case ID_FIRST_PAGE:
    case ID_PREV_PAGE:
    case ID_NEXT_PAGE:
    case ID_LAST_PAGE: {
        const bool back = id == ID_FIRST_PAGE || id == ID_PREV_PAGE;
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPolygon(back ? QPolygon({QPoint(14, 4), QPoint(14, 16), QPoint(6, 10)})
                           : QPolygon({QPoint(7, 4), QPoint(7, 16), QPoint(15, 10)}));
        if (id == ID_FIRST_PAGE)
            p.drawRect(4, 4, 2, 13);
        if (id == ID_LAST_PAGE)
            p.drawRect(15, 4, 2, 13);
        break;
    }
    case ID_DRAW_SHAPE: // a pencil drawing a line
        p.drawLine(3, 17, 17, 10);
        p.drawLine(10, 3, 17, 10);
        break;
    default:
        break;
    }
}

} // namespace

const QList<int>& frameToolBarButtons()
{
    static const QList<int> buttons = {ID_STITCH_SETTINGS, ID_ZOOM_IN,   ID_ZOOM_OUT,
                                       ID_FIRST_PAGE,      ID_PREV_PAGE, ID_NEXT_PAGE,
                                       ID_LAST_PAGE,       ID_DRAW_SHAPE};
    return buttons;
}

QImage frameToolBarBitmap(ToolLook look)
{
    const QList<int>& buttons = frameToolBarButtons();
    QImage image(kToolImageSize * int(buttons.size()), kToolImageSize, QImage::Format_RGB32);
    image.fill(kToolMask);
    QPainter p(&image);
    const QColor ink = look == ToolLook::Hot        ? QColor(0, 70, 200)
                       : look == ToolLook::Disabled ? QColor(150, 150, 150)
                                                    : QColor(0, 0, 0);
    for (int i = 0; i < buttons.size(); ++i) {
        p.save();
        p.translate(i * kToolImageSize, 0);
        drawGlyph(p, buttons.at(i), ink);
        p.restore();
    }
    return image;
}

QImage attitudeBarButtonBitmap()
{
    const int s = kCaptionImageSize;
    QImage image(3 * s, s, QImage::Format_RGB32);
    image.fill(QColor(0, 255, 0));
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(3, 3, 9, 9); // close: a cross
    p.drawLine(9, 3, 3, 9);
    p.drawRect(s + 3, 5, 6, 3);     // dock, horizontal: a flat box
    p.drawRect(2 * s + 5, 3, 3, 6); // dock, vertical: an upright box
    return image;
}

QList<QIcon> cutImageList(const QImage& bitmap, int width, const QColor& mask)
{
    QList<QIcon> icons;
    const QImage source = bitmap.convertToFormat(QImage::Format_RGB32);
    for (int x = 0; width > 0 && x + width <= source.width(); x += width) {
        QPixmap image = QPixmap::fromImage(source.copy(x, 0, width, source.height()));
        image.setMask(image.createMaskFromColor(mask, Qt::MaskInColor));
        icons << QIcon(image);
    }
    return icons;
}

} // namespace bc
