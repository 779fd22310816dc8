// The whole page as the strip view paints it: header, compass ruler, strips
// at the margins, shapes and their labels.

#include "analysis/page_painter.h"
#include "analysis/unwrap_data.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace bc;

namespace {

std::unique_ptr<CUnWrapImage> greyStrip(int32_t key, int width, int rows, uint8_t value)
{
    auto item = std::make_unique<CUnWrapImage>(key, uint16_t(0));
    const int stride = (width * 3 + 3) & ~3;
    std::unique_ptr<uint8_t[]> bits(new uint8_t[size_t(stride) * size_t(rows)]);
    std::fill(bits.get(), bits.get() + stride * rows, value);
    item->width = width;
    item->shownHeight = rows;
    item->adoptPixels(std::move(bits), rows, stride);
    return item;
}

bool inkIn(const QImage& img, const QRect& r)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixel(x, y) != qRgb(255, 255, 255))
                return true;
    return false;
}

} // namespace

TEST(PagePainter, CompassRulerTicks)
{
    QImage img(600, 60, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        DrawCompassRuler(p, 400, 1.0f, 1.0f);
    }
    // Length trunc(399 + 0.5) = 399, quarter 99.75.
    EXPECT_EQ(img.pixel(60, 48), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(459, 48), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(461, 48), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(160, 41), qRgb(0, 0, 0)) << "tick at quarter 1: trunc(99.75 + 0.5)";
    EXPECT_EQ(img.pixel(458, 41), qRgb(0, 0, 0)) << "the last tick one pixel in";
    EXPECT_EQ(img.pixel(71, 45), qRgb(0, 0, 0)) << "first minor tick: trunc(99.75 / 9 + 0.5)";
    EXPECT_EQ(img.pixel(71, 42), qRgb(255, 255, 255)) << "minor ticks are 4 px";
    EXPECT_TRUE(inkIn(img, QRect(150, 18, 20, 22))) << "label E centred on its tick";
    EXPECT_FALSE(inkIn(img, QRect(100, 18, 30, 20)));
}

TEST(PagePainter, PageViewPlacesHeaderRulerStripsAndShapes)
{
    CUnWrapData d("/x/a.sfa", "/x");
    d.InsertImage(greyStrip(1000, 400, 50, 128));
    d.InsertImage(greyStrip(1100, 400, 50, 128));
    d.AddShape(std::make_unique<CAttitudeLine>(0, CShapePoint(0.5f, 1020.0f),
                                               CShapePoint(2.5f, 1020.0f), 0, 1, 0x00FF0000));
    PageViewState s;
    s.currentPage = 0;
    s.pageCount = 1;
    s.zoomable = false;
    ASSERT_EQ(d.GetPageDepthScale(0, 10, 1.0f, s.pageTopDepth, s.pageBottomDepth, s.pxPerMm), 1);
    int h = 0;
    d.GetPageExtent(0, 10, 1.0f, 1.0f, s.pageWidth, h);
    ASSERT_EQ(s.pageWidth, 400);

    QImage img(1300, 200, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        DrawPageView(p, d, s);
    }
    EXPECT_TRUE(inkIn(img, QRect(20, 0, 180, 22))) << "page header";
    EXPECT_EQ(img.pixel(60, 48), qRgb(0, 0, 0)) << "ruler";
    EXPECT_EQ(img.pixel(60, 50), qRgb(128, 128, 128)) << "strips start at the margins";
    EXPECT_EQ(img.pixel(459, 149), qRgb(128, 128, 128));
    EXPECT_EQ(img.pixel(460, 149), qRgb(255, 255, 255));
    // The line at depth 1020: y = 50 + trunc(20 * 100/101), x from trunc(0.5 * 400/2pi).
    const int y = 50 + int(20.0f * s.pxPerMm);
    const float pxPerRadian = 400 * 0.5f * (1.0f / 3.14159f);
    EXPECT_EQ(img.pixel(60 + int(1.5f * pxPerRadian), y), qRgb(0, 0, 255));
    // Its label goes right of the strips, the leader from x = 400 (raised to labelLeft).
    EXPECT_EQ(img.pixel(60 + 400, y), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(60 + 399 + 600, y), qRgb(0, 0, 255));
    EXPECT_TRUE(inkIn(img, QRect(460, y + 2, 600, 40))) << "label text";

    // Without a page only the header is drawn.
    QImage empty(600, 200, QImage::Format_RGB32);
    empty.fill(Qt::white);
    PageViewState none;
    CUnWrapData nothing("/x/b.sfa", "/x");
    {
        QPainter p(&empty);
        DrawPageView(p, nothing, none);
    }
    EXPECT_TRUE(inkIn(empty, QRect(20, 0, 180, 22)));
    EXPECT_FALSE(inkIn(empty, QRect(0, 30, 600, 170)));
}
