// Page arithmetic: page counts and ranges, item rectangles, hit tests, sizes,
// aspect, depth scale and the marks of the depth scale.

#include "analysis/page_geometry.h"

#include <gtest/gtest.h>

using namespace bc;

namespace {

std::vector<PageStrip> strips(int n, int firstKey = 1000, int width = 800, int shown = 100)
{
    std::vector<PageStrip> v;
    for (int i = 0; i < n; ++i)
        v.push_back({firstKey + i * 100, width, shown});
    return v;
}

} // namespace

TEST(PageGeometry, PageCountsAndRanges)
{
    // count, per page (below 1: 10), pages, and the items of page 2 (or -1, 3)
    const int rows[][6] = {{25, 0, 3, 2, 20, 25},  {25, -4, 3, 3, 0, 0}, {20, 10, 2, -1, 0, 0},
                           {21, 10, 3, 2, 20, 21}, {0, 10, 0, 0, 0, 0},  {1, 1, 1, 0, 0, 1}};
    for (const auto& r : rows) {
        const IndexRange got = PageItems(r[0], r[3], r[1]);
        EXPECT_EQ(std::tuple(PageCountFor(r[0], r[1]), got.first, got.end),
                  std::tuple(r[2], r[4], r[5]))
            << r[0] << " / " << r[1] << " page " << r[3];
    }
}

TEST(PageGeometry, ItemRectsAndHitTests)
{
    std::vector<PageStrip> v = strips(3);
    v[1].shownHeight = 75;
    const PageSlice page{10, v};
    EXPECT_EQ(PageItemRect(page, 0, 0.5f, 11), (PageRect{-60, 50, 0, 87}));
    EXPECT_EQ(PageItemRect(page, 1, 0.5f, 11), (PageRect{0, 50, 400, 87}));
    EXPECT_EQ(PageItemRect(page, 2, 0.5f, 12), (PageRect{-60, 87, 400, 137}));
    EXPECT_TRUE(PageItemRect(page, 1, 0.5f, 9).isEmpty()) << "not on the page";
    EXPECT_TRUE(PageItemRect({0, {}}, 1, 0.5f, 0).isEmpty());
    // The label column never hits; bottom edges are exclusive; the right
    // edge is 60 px beyond the strip's.
    const int hits[][3] = {{59, 10, -1},   {60, 10, 10},   {60, 100, 11},
                           {859, 174, 11}, {860, 174, -1}, {100, 275, -1}};
    for (const auto& h : hits)
        EXPECT_EQ(PageHitTestItem(page, h[0], h[1], 1.0f), h[2]) << h[0] << "," << h[1];
}

TEST(PageGeometry, SizesExtentsAspectAndDepthScale)
{
    std::vector<PageStrip> v = strips(4);
    v.back().width = 400;
    EXPECT_EQ(PageSizeOf({0, v}, 1.0f, 1.0f), QSize(400, 400)) << "width of the last strip";
    EXPECT_EQ(PageExtentOf({0, v}, 1.0f, 2.0f), QSize(1600, 400)) << "width of the first strip";
    // Each 1.5-row strip counts as 1 row.
    const std::vector<PageStrip> odd = strips(3, 0, 800, 3);
    EXPECT_EQ(
        std::tuple(PageSizeOf({0, odd}, 0.5f, 1.0f).height(), PageScaledHeight({0, odd}, 0.5f)),
        std::tuple(3, 3));

    // Aspect: circumference over depth span against pixel width over height.
    // 100 mm hole, keys 1000..1300: pi*100/301 mm per mm; 800 px over 400 px.
    EXPECT_NEAR(PageAspectOf({0, strips(4)}, 100, 1.0f), (100 * 3.14159 / 301) / 2.0, 1e-6);
    // One strip, none, or no height: 1.
    for (const auto& none : {strips(1), strips(0), strips(3, 0, 800, 0)})
        EXPECT_EQ(PageAspectOf({0, none}, 100, 1.0f), 1.0) << none.size();

    PageDepthScale ds;
    ASSERT_TRUE(PageDepthScaleOf({0, strips(4)}, 1.0f, ds));
    EXPECT_EQ(std::tuple(ds.topDepth, ds.bottomDepth), std::tuple(1000, 1301));
    EXPECT_FLOAT_EQ(ds.pxPerMm, 400.0f / 301.0f);
    EXPECT_FALSE(PageDepthScaleOf({0, {}}, 1.0f, ds));
}

TEST(PageGeometry, DepthScaleMarks)
{
    // 0.00 m to 0.12 m: the zoomable painter skips 0.10 m (within 50 mm of the
    // end).
    std::vector<DepthMark> m = DepthScaleMarks(0, 120, 2.0f, true);
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(std::tuple(m[0].depth, m[1].depth, m[2].depth, m[1].y, m[2].tick),
              std::tuple(0, 50, 120, 100, true));
    EXPECT_EQ(m[1].label, (PageRect{-60, 100, 0, 115}));
    EXPECT_EQ(m[2].label, (PageRect{-60, 240 - 15, 0, 240})) << "the last is raised by 15";
    m = DepthScaleMarks(0, 120, 2.0f, false);
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(std::tuple(m[2].depth, m[2].tick), std::tuple(100, false));
    m = DepthScaleMarks(500, 500, 1.0f, true);
    EXPECT_EQ(std::tuple(m.size(), m[0].y), std::tuple(1u, 0));

    // Keys of damaged records: the whole int range on one page.
    for (bool zoomable : {true, false}) {
        m = DepthScaleMarks(INT32_MIN, INT32_MAX, 1e-6f, zoomable);
        ASSERT_LE(m.size(), size_t(kMaxDepthMarks) + 1);
        EXPECT_EQ(std::tuple(m.front().depth, m[1].depth, m.back().depth),
                  std::tuple(INT32_MIN, INT32_MIN + 50, INT32_MAX));
    }
}

// No two labels of a depth scale overlap (each is 15 pixels high); the
// page's last depth keeps its label and the one above it gives way.
TEST(PageGeometry, DepthLabelsDoNotOverlap)
{
    const struct {
        int32_t d0, d1;
        float pxPerMm;
        bool zoomable;
        std::vector<int> labelled;
    } rows[] = {
        {1000, 1400, 0.5f, true, {1000, 1050, 1100, 1150, 1200, 1250, 1300, 1400}},
        {1000, 1400, 1.0f, true, {1000, 1050, 1100, 1150, 1200, 1250, 1300, 1350, 1400}},
        {0, 120, 2.0f, false, {0, 50, 100, 120}},
        {0, 20, 1.0f, false, {20}},
        {500, 510, 1.0f, true, {510}},
    };
    for (const auto& r : rows) {
        std::vector<int> labelled;
        for (const DepthMark& m : DepthScaleMarks(r.d0, r.d1, r.pxPerMm, r.zoomable))
            if (m.labelled)
                labelled.push_back(m.depth);
        EXPECT_EQ(labelled, r.labelled) << r.d0 << ".." << r.d1 << " at " << r.pxPerMm;
    }
}

TEST(PageGeometry, ZoomIsBoundedAndPagePointsMapToTheWall)
{
    EXPECT_EQ(std::tuple(ClampZoom(1.25f), ClampZoom(1e9f), ClampZoom(0.0f),
                         ClampZoom(std::numeric_limits<float>::quiet_NaN())),
              std::tuple(1.25f, kMaxZoom, kMinZoom, kMinZoom));
    // A click at (400, 150) on an 800-pixel page whose top is at 1000 mm with
    // 2 px per mm: half way round (pi) at 1075 mm.
    const CShapePoint p = WallPointAt(400, 150, 800, 2.0f, 1000);
    EXPECT_FLOAT_EQ(p.x, 3.14159f);
    EXPECT_FLOAT_EQ(p.y, 1075.0f);
    EXPECT_FLOAT_EQ(WallPointAt(0, 0, 800, 2.0f, -500).y, -500.0f);
    // A picked point drawn again lands on its pixel or, by truncation, one left.
    const int back = truncToInt(PixelsPerRadian(800) * WallPointAt(333, 10, 800, 1.0f, 0).x);
    EXPECT_TRUE(back == 333 || back == 332) << back;
}
