#pragma once
// The look the UI kit's pixel tests expect: the Fusion style and a palette of
// known colours, so that frames, grippers and swatches can be checked pixel
// by pixel.

#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QStyleFactory>
#include <QTest>

#include <gtest/gtest.h>

#include <initializer_list>
#include <tuple>

namespace bc::test {

inline const QColor kFace(212, 208, 200);
inline const QColor kLight(255, 255, 255);
inline const QColor kShadow(128, 128, 128);
inline const QColor kHighlight(10, 36, 106);

// Sets the look when constructed: put it first among a fixture's members so
// that the widgets after it are made with the look in place.
struct FixedLook {
    FixedLook()
    {
        QPalette pal;
        const std::pair<QPalette::ColorRole, QColor> roles[] = {
            {QPalette::Window, kFace},         {QPalette::Button, kFace},
            {QPalette::Light, kLight},         {QPalette::Midlight, QColor(223, 223, 223)},
            {QPalette::Dark, kShadow},         {QPalette::Shadow, QColor(64, 64, 64)},
            {QPalette::Base, Qt::white},       {QPalette::Text, Qt::black},
            {QPalette::Highlight, kHighlight}, {QPalette::Mid, QColor(160, 160, 160)}};
        for (const auto& [role, colour] : roles)
            pal.setColor(role, colour); // in every colour group
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(pal);
    }
};

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

// Every listed pixel (x, y, colour) of `image` has its colour.
inline void expectPixels(const QImage& image,
                         std::initializer_list<std::tuple<int, int, QColor>> pixels)
{
    for (const auto& [x, y, colour] : pixels)
        EXPECT_EQ(QColor(image.pixel(x, y)), colour) << "pixel " << x << "," << y;
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
// then the move event onto its centre.
inline void hover(QWidget& w)
{
    QCursor::setPos(w.mapToGlobal(w.rect().center()));
    QTest::mouseMove(&w, w.rect().center());
}

// The cursor far off every window.
inline void cursorAway()
{
    QCursor::setPos(QPoint(5000, 5000));
}

} // namespace bc::test
