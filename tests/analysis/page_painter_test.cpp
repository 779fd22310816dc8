// The whole page as the strip view paints it: header, compass ruler, strips
// at the margins, shapes and their labels.

#include "analysis/page_painter.h"
#include "analysis/unwrap_data.h"
#include "support/survey_fixtures.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace bc;
using bc::test::flatStrip;
using bc::test::painted;

namespace {

const QRgb kWhite = qRgb(255, 255, 255), kBlack = qRgb(0, 0, 0), kGrey = qRgb(128, 128, 128),
           kBlue = qRgb(0, 0, 255);

bool inkIn(const QImage& img, const QRect& r)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixel(x, y) != kWhite)
                return true;
    return false;
}

struct Pixel {
    int x, y;
    QRgb colour;
    const char* what;
};

void expectPixels(const QImage& img, std::initializer_list<Pixel> pixels)
{
    for (const Pixel& p : pixels)
        EXPECT_EQ(img.pixel(p.x, p.y), p.colour) << p.what << " at " << p.x << "," << p.y;
}

} // namespace

TEST(PagePainter, CompassRulerTicks)
{
    const QImage img = painted(600, 60, [](QPainter& p) { DrawCompassRuler(p, 400, 1.0f, 1.0f); });
    // Length trunc(399 + 0.5) = 399, quarter 99.75.
    expectPixels(img, {{60, 48, kBlack, "start"},
                       {459, 48, kBlack, "end"},
                       {461, 48, kWhite, "past the end"},
                       {160, 41, kBlack, "tick at quarter 1: trunc(99.75 + 0.5)"},
                       {458, 41, kBlack, "the last tick one pixel in"},
                       {71, 45, kBlack, "first minor tick: trunc(99.75 / 9 + 0.5)"},
                       {71, 42, kWhite, "minor ticks are 4 px"}});
    EXPECT_TRUE(inkIn(img, QRect(150, 18, 20, 22))) << "label E centred on its tick";
    EXPECT_FALSE(inkIn(img, QRect(100, 18, 30, 20)));
}

TEST(PagePainter, PageViewPlacesHeaderRulerStripsAndShapes)
{
    CUnWrapData d("/x/a.sfa", "/x");
    d.InsertImage(flatStrip(1000, 400, 50, kGrey));
    d.InsertImage(flatStrip(1100, 400, 50, kGrey));
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

    const QImage img = painted(1300, 200, [&](QPainter& p) { DrawPageView(p, d, s); });
    EXPECT_TRUE(inkIn(img, QRect(20, 0, 180, 22))) << "page header";
    // The line at depth 1020: y = 50 + trunc(20 * 100/101), x from trunc(0.5 *
    // 400/2pi); its label right of the strips, the leader from x = 400 (raised to
    // labelLeft).
    const int y = 50 + int(20.0f * s.pxPerMm);
    const float pxPerRadian = 400 * 0.5f * (1.0f / 3.14159f);
    expectPixels(img, {{60, 48, kBlack, "ruler"},
                       {60, 50, kGrey, "strips start at the margins"},
                       {459, 149, kGrey, "last strip pixel"},
                       {460, 149, kWhite, "right of the strips"},
                       {60 + int(1.5f * pxPerRadian), y, kBlue, "line"},
                       {60 + 400, y, kBlue, "leader start"},
                       {60 + 399 + 600, y, kBlue, "leader end"}});
    EXPECT_TRUE(inkIn(img, QRect(460, y + 2, 600, 40))) << "label text";

    // Without a page only the header is drawn.
    CUnWrapData nothing("/x/b.sfa", "/x");
    const QImage empty =
        painted(600, 200, [&](QPainter& p) { DrawPageView(p, nothing, PageViewState{}); });
    EXPECT_TRUE(inkIn(empty, QRect(20, 0, 180, 22)));
    EXPECT_FALSE(inkIn(empty, QRect(0, 30, 600, 170)));
}

TEST(PagePainter, HostileSizesAndShapesPaintNothingOnThePage)
{
    // A plain first strip, then sizes and shapes far off any page; every
    // painter and key handler runs on them (the sanitizer build catches any
    // overflow on the way). Rows: width and shown height of strips 2 and 3.
    const int sets[][2] = {{INT_MAX, INT_MIN}, {INT_MIN, INT_MAX}, {kMaxSfaStripSize, 5}};
    const float far = 3e38f;
    for (const auto& set : sets)
        for (int mode = 0; mode < 6; ++mode) {
            CUnWrapData d("/x/a.sfa", "/x");
            d.InsertImage(flatStrip(1000, 400, 50, kGrey));
            for (int i = 1; i <= 2; ++i) {
                auto item = std::make_unique<CUnWrapImage>(1000 + i, uint16_t(0));
                item->width = set[i - 1];
                item->shownHeight = set[2 - i];
                d.InsertImage(std::move(item));
            }
            d.AddShape(std::make_unique<CAttitudeLine>(0, CShapePoint(far, far),
                                                       CShapePoint(-far, far), 0, 1, 0));
            d.AddShape(std::make_unique<CAttitudeLine>(1, CShapePoint(-far, -far),
                                                       CShapePoint(-far, -far), 0, 1, 0));
            auto poly = std::make_unique<CAttitudePolyline>(2, 0, 1, 0);
            poly->AddPoint({far, -far});
            poly->AddPoint({-far, -far});
            d.AddShape(std::move(poly));
            for (int i = 0; i < d.GetShapeCount(); ++i)
                d.GetShape(i)->SetState(CAttitudeShape::StateSelected);

            PageViewState s;
            s.currentPage = 0;
            s.selectedItem = mode % 3;
            s.zoomable = mode < 3;
            s.frameMode = mode % 2;
            ASSERT_EQ(
                d.GetPageDepthScale(0, 10, 10.0f, s.pageTopDepth, s.pageBottomDepth, s.pxPerMm), 1);
            EXPECT_TRUE(std::isfinite(s.pxPerMm) && s.pxPerMm > 0.0f);
            d.GetPageDepthScale(0, 10, 1.0f, s.pageTopDepth, s.pageBottomDepth, s.pxPerMm);
            int h = 0;
            d.GetPageExtent(0, 10, 1.0f, 1.0f, s.pageWidth, h);
            const QImage img = painted(700, 160, [&](QPainter& p) {
                DrawPageView(p, d, s);
                DrawCompassRuler(p, set[0], 1e30f, 10.0f);
                d.DrawPageStrips(p, 10.0f, 1e30f, 0, 10);
            });
            // The plain strip's rows stay as painted: nothing wrapped round.
            for (int y = 50; y < 100; y += 7)
                for (int x = 60; x < 460; x += 13)
                    ASSERT_EQ(img.pixel(x, y), kGrey) << x << "," << y;
            d.GetItem(0)->shownHeight = set[0]; // a strip with rows takes Key_Down
            for (int i = 0; i < 3; ++i) {
                d.OnItemKey(i, Qt::Key_Down, true);
                d.OnItemKey(i, Qt::Key_Up, true);
                EXPECT_GE(d.GetItem(i)->shownHeight, 0);
            }
        }
    // Ten records as a damaged file may give them, huge widths and heights,
    // then a plain strip: sums saturate and the page stays measurable.
    CUnWrapData d("/x/a.sfa", "/x");
    for (int i = 0; i < 10; ++i) {
        auto item = std::make_unique<CUnWrapImage>(i * 100, uint16_t(0));
        item->width = INT32_MAX;
        item->shownHeight = INT32_MAX - i;
        d.InsertImage(std::move(item), false);
    }
    d.InsertImage(flatStrip(5000, 8, 6, kGrey), false);
    int top = 0, bottom = 0;
    float pxPerMm = 0;
    EXPECT_EQ(std::tuple(d.HitTestItem(0, 11, 100, 10, 1.0f), d.GetItemRect(1, 0, 11, 1.0f, 10).top,
                         d.GetPageDepthScale(0, 11, 1.0f, top, bottom, pxPerMm)),
              std::tuple(0, INT32_MAX, 1));
    EXPECT_TRUE(d.GetPageSize(0, 11, 1.0f, 1.0f).height() > 0 &&
                d.GetPageHeight(0, 11, 11).y() > 0);
    painted(100, 100, [&](QPainter& p) {
        d.DrawPageDib(p, 2.0f, 1.0f, 0, 11, 10, pxPerMm, 0);
        d.DrawPage(p, 0, 11, 10, pxPerMm, 1);
    });
    // Strips out of depth order (no depth span) still give a finite scale.
    const PageStrip reversed[] = {{1001, 400, 50}, {1000, 400, 50}};
    PageDepthScale scale;
    ASSERT_TRUE(PageDepthScaleOf({0, reversed}, 1.0f, scale));
    EXPECT_TRUE(std::isfinite(scale.pxPerMm));
}
