#include "res/resource_bitmaps.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QPolygonF>

namespace bc {

namespace {

enum class Look { Normal, Hot, Disabled };

struct ButtonArt {
    int normal, hot, disabled;
    char glyph; // which picture to draw
};

constexpr ButtonArt kButtons[] = {
    {IDB_LIVE, IDB_LIVE_HOT, IDB_LIVE_DISABLED, 'L'},
    {IDB_RECORD, IDB_RECORD_HOT, IDB_RECORD_DISABLED, 'R'},
    {IDB_PLAY, IDB_PLAY_HOT, IDB_PLAY_DISABLED, 'P'},
    {IDB_STOP, IDB_STOP_HOT, IDB_STOP_DISABLED, 'S'},
    {IDB_CAPTURE, IDB_CAPTURE_HOT, IDB_CAPTURE_DISABLED, 'C'},
    {IDB_DEVICE, IDB_DEVICE_HOT, IDB_DEVICE_DISABLED, 'D'},
    {IDB_STITCH, IDB_STITCH_HOT, IDB_STITCH_DISABLED, 'T'},
    {IDB_KEYBOARD, IDB_KEYBOARD_HOT, IDB_KEYBOARD_DISABLED, 'K'},
};

constexpr int kButtonSize = 48;

QImage drawButton(char glyph, Look look)
{
    QImage img(kButtonSize, kButtonSize, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor face = look == Look::Disabled ? QColor(150, 150, 150)
                        : look == Look::Hot    ? QColor(40, 110, 200)
                                               : QColor(30, 70, 140);
    const QColor mark = look == Look::Disabled ? QColor(200, 200, 200) : QColor(255, 255, 255);
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawRoundedRect(QRectF(4, 4, 40, 40), 8, 8);
    p.setBrush(mark);
    p.setPen(QPen(mark, 3));
    switch (glyph) {
    case 'L': // a camera lens
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(24, 24), 11, 11);
        p.setBrush(mark);
        p.drawEllipse(QPointF(24, 24), 4, 4);
        break;
    case 'R': // a red recording dot
        p.setPen(Qt::NoPen);
        p.setBrush(look == Look::Disabled ? mark : QColor(230, 40, 40));
        p.drawEllipse(QPointF(24, 24), 10, 10);
        break;
    case 'P': // play triangle
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(17, 13), QPointF(35, 24), QPointF(17, 35)}));
        break;
    case 'S': // stop square
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(15, 15, 18, 18));
        break;
    case 'C': // camera body
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(12, 18, 24, 16));
        p.drawRect(QRectF(19, 14, 10, 4));
        p.setBrush(face);
        p.drawEllipse(QPointF(24, 26), 5, 5);
        break;
    case 'D': // a gear-like settings wheel
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(24, 24), 9, 9);
        for (int i = 0; i < 4; ++i) {
            p.save();
            p.translate(24, 24);
            p.rotate(45.0 * i);
            p.drawLine(QPointF(0, -14), QPointF(0, 14));
            p.restore();
        }
        p.setBrush(face);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(24, 24), 6, 6);
        break;
    case 'T': // two strips side by side
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(12, 13, 11, 22));
        p.drawRect(QRectF(25, 13, 11, 22));
        break;
    case 'K': // keyboard keys
        p.setPen(Qt::NoPen);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                p.drawRect(QRectF(11 + c * 7, 15 + r * 7, 5, 5));
        break;
    default:
        break;
    }
    return img;
}

QImage drawBackground()
{
    // A quiet vertical gradient tile; tiled over the whole form.
    QImage img(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        const int v = 214 + (y % 64) / 8;
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgb(v - 8, v, v + 12 > 255 ? 255 : v + 12));
    }
    return img;
}

QImage drawIcon(QColor colour)
{
    QImage img(32, 32, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(2, 2, 28, 28));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(10, 10, 12, 12));
    return img;
}

// A turn round the cylinder: its rim seen from the side with an arrow head
// on the near side pointing right (forward) or left; the turn that goes on
// has a second head on the far side, pointing back.
void drawTurn(QPainter& p, const QColor& ink, bool forward, bool goesOn)
{
    p.save();
    if (!forward) { // mirrored about the picture's middle
        p.translate(kCylinderToolImageSize, 0);
        p.scale(-1, 1);
    }
    p.setPen(QPen(ink, 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRect(1, 4, 13, 7));
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPolygon(QPolygon({QPoint(8, 8), QPoint(12, 11), QPoint(8, 14)}));
    if (goesOn)
        p.drawPolygon(QPolygon({QPoint(7, 1), QPoint(3, 4), QPoint(7, 7)}));
    p.restore();
}

void drawCylinderTool(QPainter& p, int index, const QColor& ink)
{
    p.setPen(QPen(ink, 1));
    p.setBrush(Qt::NoBrush);
    switch (index) {
    case 0:
    case 1: // a magnifier with + or -
        p.drawEllipse(QRect(1, 1, 9, 9));
        p.setPen(QPen(ink, 2));
        p.drawLine(9, 9, 14, 14);
        p.setPen(QPen(ink, 1));
        p.drawLine(3, 5, 8, 5);
        if (index == 0)
            p.drawLine(5, 3, 5, 8);
        break;
    case 2: // the cylinder standing as at first
        p.drawEllipse(QRect(3, 1, 10, 4));
        p.drawLine(3, 3, 3, 12);
        p.drawLine(13, 3, 13, 12);
        p.drawArc(QRect(3, 10, 10, 4), 180 * 16, 180 * 16);
        break;
    case 3: // a picture: a frame with a hill and the sun
        p.drawRect(1, 2, 13, 11);
        p.setBrush(ink);
        p.drawPolygon(QPolygon({QPoint(2, 12), QPoint(6, 7), QPoint(9, 10), QPoint(11, 8),
                                QPoint(14, 12)}));
        p.fillRect(QRect(10, 4, 3, 3), ink);
        break;
    case 4:
    case 5:
    case 6:
    case 7:
        drawTurn(p, ink, index % 2 == 0, index >= 6);
        break;
    default:
        break;
    }
}

} // namespace

QImage cylinderToolBarBitmap(bool hot)
{
    const int s = kCylinderToolImageSize;
    QImage image(s * kCylinderToolImages, s, QImage::Format_RGB32);
    image.fill(kToolBarMask);
    QPainter p(&image);
    const QColor ink = hot ? QColor(0, 70, 200) : QColor(0, 0, 0);
    for (int i = 0; i < kCylinderToolImages; ++i) {
        p.save();
        p.translate(i * s, 0);
        drawCylinderTool(p, i, ink);
        p.restore();
    }
    return image;
}

QImage loadResourceBitmap(int id)
{
    switch (id) {
    case IDI_MAINFRAME:
        return drawIcon(QColor(30, 70, 140));
    case IDB_BACKGROUND:
        return drawBackground();
    case IDI_VIDEO:
        return drawIcon(QColor(40, 140, 80));
    case IDR_CYLINDER_TOOLBAR:
        return cylinderToolBarBitmap(false);
    default:
        break;
    }
    for (const ButtonArt& b : kButtons) {
        if (id == b.normal)
            return drawButton(b.glyph, Look::Normal);
        if (id == b.hot)
            return drawButton(b.glyph, Look::Hot);
        if (id == b.disabled)
            return drawButton(b.glyph, Look::Disabled);
    }
    return QImage();
}

} // namespace bc
