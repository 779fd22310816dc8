// The whole page as the strip view paints it: header, compass ruler, strips
// at the margins, shapes and their labels.

#include "analysis/page_painter.h"
#include "analysis/unwrap_data.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

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

TEST(PagePainter, HostileSizesAndShapesPaintNothingOnThePage)
{
    // A plain first strip, then records and shapes a damaged file or a
    // careless caller may hand over; every painter and key handler runs on
    // them (the sanitizer build catches any overflow on the way).
    struct Record {
        int32_t key;
        int width;
        int shown;
    };
    const std::vector<Record> sets[] = {
        {{1001, INT_MAX, INT_MAX}, {1002, INT_MIN, INT_MIN}},
        {{1001, INT_MIN, 5}, {1002, 5, INT_MAX}},
        {{1001, kMaxSfaStripSize, kMaxSfaStripSize}, {1002, kMaxSfaStripSize, kMaxSfaStripSize}},
    };
    const float far = 3e38f;
    for (const auto& records : sets) {
        for (int selected = 0; selected < 3; ++selected) {
            CUnWrapData d("/x/a.sfa", "/x");
            d.InsertImage(greyStrip(1000, 400, 50, 128));
            for (const Record& r : records) {
                auto item = std::make_unique<CUnWrapImage>(r.key, uint16_t(0));
                item->width = r.width;
                item->shownHeight = r.shown;
                d.InsertImage(std::move(item));
            }
            d.AddShape(std::make_unique<CAttitudeLine>(0, CShapePoint(far, far),
                                                       CShapePoint(-far, far), 0, 1, 0));
            d.AddShape(std::make_unique<CAttitudeLine>(1, CShapePoint(-far, far),
                                                       CShapePoint(-far, far), 0, 1, 0));
            auto poly = std::make_unique<CAttitudePolyline>(2, 0, 1, 0);
            poly->AddPoint({far, -far});
            poly->AddPoint({-far, -far});
            d.AddShape(std::move(poly));
            for (int i = 0; i < d.GetShapeCount(); ++i)
                d.GetShape(i)->SetState(CAttitudeShape::StateSelected);

            for (int mode = 0; mode < 4; ++mode) {
                PageViewState s;
                s.currentPage = 0;
                s.pageCount = 1;
                s.selectedItem = selected;
                s.zoomable = mode < 2;
                s.frameMode = mode % 2;
                s.zoom = 10.0f;
                ASSERT_EQ(d.GetPageDepthScale(0, 10, s.zoom, s.pageTopDepth, s.pageBottomDepth,
                                              s.pxPerMm),
                          1);
                EXPECT_TRUE(std::isfinite(s.pxPerMm) && s.pxPerMm > 0.0f);
                s.zoom = 1.0f;
                d.GetPageDepthScale(0, 10, 1.0f, s.pageTopDepth, s.pageBottomDepth, s.pxPerMm);
                int h = 0;
                d.GetPageExtent(0, 10, 1.0f, 1.0f, s.pageWidth, h);
                QImage img(700, 160, QImage::Format_RGB32);
                img.fill(Qt::white);
                {
                    QPainter p(&img);
                    DrawPageView(p, d, s);
                    DrawCompassRuler(p, records.front().width, 1e30f, 10.0f);
                    d.DrawPageStrips(p, 10.0f, 1e30f, 0, 10);
                }
                // The plain strip's rows stay as painted: nothing wrapped round.
                for (int y = 50; y < 100; y += 7)
                    for (int x = 60; x < 460; x += 13)
                        ASSERT_EQ(img.pixel(x, y), qRgb(128, 128, 128)) << x << "," << y;
            }
            for (int i = 0; i < d.GetItemCount(); ++i)
                for (int key : {Qt::Key_Up, Qt::Key_Down}) {
                    d.OnItemKey(i, key, true);
                    EXPECT_GE(d.GetItem(i)->shownHeight, 0);
                }
        }
    }
    // Strips out of depth order (no depth span) still give a finite scale.
    const PageStrip reversed[] = {{1001, 400, 50}, {1000, 400, 50}};
    PageDepthScale scale;
    ASSERT_TRUE(PageDepthScaleOf({0, reversed}, 1.0f, scale));
    EXPECT_TRUE(std::isfinite(scale.pxPerMm));
}
