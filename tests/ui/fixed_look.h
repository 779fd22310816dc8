#pragma once
// The look the UI kit's pixel tests expect: the Fusion style and a palette of
// known colours, so that frames, grippers and swatches can be checked pixel
// by pixel.

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <QPalette>
#include <QStyleFactory>
#include <QCursor>
#include <QTest>

#include <gtest/gtest.h>

#include <initializer_list>

namespace bc::test {

inline const QColor kFace(212, 208, 200);
inline const QColor kLight(255, 255, 255);
inline const QColor kShadow(128, 128, 128);
inline const QColor kHighlight(10, 36, 106);

inline QPalette fixedPalette()
{
    QPalette pal;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Window, kFace);
        pal.setColor(group, QPalette::Button, kFace);
        pal.setColor(group, QPalette::Light, kLight);
        pal.setColor(group, QPalette::Midlight, QColor(223, 223, 223));
        pal.setColor(group, QPalette::Mid, QColor(160, 160, 160));
        pal.setColor(group, QPalette::Dark, kShadow);
        pal.setColor(group, QPalette::Shadow, QColor(64, 64, 64));
        pal.setColor(group, QPalette::Base, Qt::white);
        pal.setColor(group, QPalette::Text, Qt::black);
        pal.setColor(group, QPalette::WindowText, Qt::black);
        pal.setColor(group, QPalette::ButtonText, Qt::black);
        pal.setColor(group, QPalette::Highlight, kHighlight);
        pal.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    return pal;
}

// Call at the start of every test that looks at pixels.
inline void useFixedLook()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(fixedPalette());
}

// Sets the look when constructed: put it first among a fixture's members so
// that the widgets after it are made with the look in place.
struct FixedLook {
    FixedLook() { useFixedLook(); }
};

// The colour of one pixel of `image`.
inline QColor at(const QImage& image, int x, int y)
{
    return QColor(image.pixel(x, y));
}

// What `w` paints, as 32-bit RGB.
inline QImage grabOf(QWidget& w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// An icon of one colour, `size` pixels square.
inline QIcon solidIcon(const QColor& colour, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

struct PixelAt {
    int x, y;
    QColor colour;
};

// Every listed pixel of `image` has its colour.
inline void expectPixels(const QImage& image, std::initializer_list<PixelAt> pixels)
{
    for (const PixelAt& p : pixels)
        EXPECT_EQ(at(image, p.x, p.y), p.colour) << "pixel " << p.x << "," << p.y;
}

// How many pixels of `image` are exactly `colour`.
inline int countColour(const QImage& image, const QColor& colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += QColor(image.pixel(x, y)) == colour;
    return n;
}

// Fills `w`'s background with one colour, so what a child leaves unpainted
// shows it.
inline void paintBackground(QWidget& w, const QColor& colour)
{
    w.setAutoFillBackground(true);
    QPalette pal = w.palette();
    pal.setColor(QPalette::Window, colour);
    w.setPalette(pal);
}

// Moves the mouse onto `w` the way the window system does: the cursor first,
// then the move event.
inline void hover(QWidget& w, QPoint local = QPoint(-1, -1))
{
    if (local == QPoint(-1, -1))
        local = w.rect().center();
    QCursor::setPos(w.mapToGlobal(local));
    QTest::mouseMove(&w, local);
}

// The cursor far off every window.
inline void cursorAway()
{
    QCursor::setPos(QPoint(5000, 5000));
}

} // namespace bc::test
