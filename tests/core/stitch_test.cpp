#include "core/jpeg_file.h"
#include "core/program_values.h"
#include "core/unwrap_image.h"

#include "support/synthetic_borehole.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace bc;
using bc::test::RingCamera;
using bc::test::SyntheticBorehole;

namespace {

// A strip of `rows` rows of `stride` bytes filled by f(x, y, channel).
template <typename F> CUnWrapImage makeStrip(int w, int rows, F f, int stride = 0)
{
    if (stride == 0)
        stride = int(JpegFile::paddedStride(uint32_t(w)));
    CUnWrapImage s(0, 0);
    std::unique_ptr<uint8_t[]> px(new uint8_t[size_t(stride) * rows]());
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                px[size_t(y) * stride + 3 * x + c] = uint8_t(f(x, y, c));
    s.adoptPixels(std::move(px), rows, stride);
    s.width = w;
    s.shownHeight = rows;
    return s;
}

std::vector<uint8_t> rowsOf(const CUnWrapImage& s)
{
    return std::vector<uint8_t>(s.pixels(), s.pixels() + size_t(s.rows) * s.stride);
}

int flat(int, int, int)
{
    return 90;
}

} // namespace

TEST(Stitch, RefusedPreconditionsChangeNothing)
{
    SyntheticBorehole wall(800, 400);
    StitchWorkArea work;
    struct Case {
        const char* name;
        int prevWidth, prevRows, curWidth, curRows, T;
        bool prevPixels, curPixels, noPrevious;
    };
    const Case cases[] = {
        {"no previous strip", 800, 60, 800, 60, 16, true, true, true},
        {"different widths", 804, 60, 800, 60, 16, true, true, false},
        {"width 100 with T = 32", 100, 80, 100, 80, 32, true, true, false},
        {"current rows below 2T", 800, 60, 800, 31, 16, true, true, false},
        {"previous rows below T + 2", 800, 17, 800, 60, 16, true, true, false},
        {"previous without pixels", 800, 60, 800, 60, 16, false, true, false},
        {"current without pixels", 800, 60, 800, 60, 16, true, false, false},
        {"template size 0", 800, 60, 800, 60, 0, true, true, false},
    };
    for (const Case& c : cases) {
        SyntheticBorehole w(c.prevWidth, 200);
        CUnWrapImage prev = w.strip(0, 0, c.prevRows);
        SyntheticBorehole w2(c.curWidth, 200);
        CUnWrapImage cur = w2.strip(1, 10, c.curRows);
        if (!c.prevPixels)
            prev.freePixels();
        if (!c.curPixels)
            cur.freePixels();
        const auto prevBefore = prev.hasPixels() ? rowsOf(prev) : std::vector<uint8_t>();
        const int shownBefore = cur.shownHeight;
        EXPECT_EQ(cur.Stitch(c.noPrevious ? nullptr : &prev, work, c.T, 10), 0) << c.name;
        EXPECT_EQ(cur.shownHeight, shownBefore) << c.name;
        if (prev.hasPixels()) {
            EXPECT_EQ(rowsOf(prev), prevBefore) << c.name;
        }
    }
}

TEST(Stitch, FindsAKnownOverlapForEveryTemplateSize)
{
    struct Case {
        int T, range, rows, overlap, width;
    };
    const Case cases[] = {
        {8, 5, 60, 8, 800},
        {8, 5, 60, 20, 800},
        {8, 40, 60, 36, 800},
        {16, 10, 60, 16, 800},
        {16, 10, 60, 30, 800},
        {16, 20, 60, 44, 800},
        {32, 5, 100, 32, 800},
        {32, 15, 100, 60, 800},
        {32, 40, 275, 100, 800},
        // the narrowest widths the stitch accepts, and 60 columns
        {8, 40, 60, 20, 32},
        {16, 10, 60, 20, 64},
        {32, 40, 100, 40, 128},
        {8, 10, 60, 25, 60},
        {8, 10, 60, 25, 802},
    };
    for (const Case& c : cases) {
        SyntheticBorehole wall(c.width, 1000, uint32_t(c.T * 1000 + c.overlap), 1);
        CUnWrapImage prev = wall.strip(1000, 100, c.rows);
        CUnWrapImage cur = wall.strip(2000, 100 + c.rows - c.overlap, c.rows);
        const CUnWrapImage prevBefore = prev;
        StitchWorkArea work;
        ASSERT_EQ(cur.Stitch(&prev, work, c.T, c.range), 1);
        EXPECT_EQ(cur.shownHeight, c.rows - c.overlap)
            << "T " << c.T << " range " << c.range << " overlap " << c.overlap << " width "
            << c.width;
        EXPECT_EQ(cur.header.height, cur.shownHeight);
        // The overlapping rows of the previous strip were faded towards rows
        // that show the same wall: each byte moves by at most one level.
        for (int i = 0; i < prev.rows; ++i)
            for (int b = 0; b < c.width * 3; ++b) {
                const int was = prevBefore.row(i)[b];
                const int now = prev.row(i)[b];
                ASSERT_TRUE(i < c.overlap ? now >= was - 1 && now <= was : now == was)
                    << "row " << i << " byte " << b;
            }
    }
}

TEST(Stitch, OverlapOfSixteenRowsAtTemplateSixteen)
{
    // Rows 44..59 of the current strip are the previous strip's rows 0..15.
    SyntheticBorehole wall(800, 300, 5, 1);
    CUnWrapImage prev = wall.strip(0, 0, 60);
    CUnWrapImage cur = makeStrip(800, 60, [&](int x, int y, int c) {
        return y >= 44 ? prev.row(y - 44)[3 * x + c] : (x * 7 + y * 13 + c) & 0xFF;
    });
    StitchWorkArea work;
    ASSERT_EQ(cur.Stitch(&prev, work, 16, 10), 1);
    EXPECT_EQ(cur.shownHeight, 44);
    // A previous strip of different content with the same bottom rows: its
    // rows 16 and up are not touched.
    EXPECT_EQ(0, memcmp(prev.row(16), wall.strip(0, 0, 60).row(16), 800 * 3));
}

TEST(Stitch, FeatureColumnsFallBackToTheMiddle)
{
    // Row 0 without any step above 50: templates start T / 2 left of columns
    // 399 and 429; the rows above name their columns.
    const int T = 16;
    CUnWrapImage prev = makeStrip(800, 40, [](int x, int y, int c) {
        return y == 0 ? 100 + (x % 2) * 16 : c == 0 ? x & 0xFF : c == 1 ? x >> 8 : y;
    });
    CUnWrapImage cur = makeStrip(800, 40, flat);
    StitchWorkArea work;
    ASSERT_EQ(cur.Stitch(&prev, work, T, 10), 1);
    // Template row 0 is buffer row T - 1; its first pixel is column f - T / 2.
    auto column = [](const std::vector<uint8_t>& t) { return t[0] | (t[1] << 8); };
    EXPECT_EQ(column(work.template1), 399 - T / 2);
    EXPECT_EQ(column(work.template2), 429 - T / 2);
    EXPECT_EQ(work.template1[2], T - 1);

    // One step only: the second column is 30 further on.
    CUnWrapImage one = makeStrip(800, 40, [](int x, int y, int c) {
        return y == 0 ? (x < 200 ? 0 : 200) : c == 0 ? x & 0xFF : c == 1 ? x >> 8 : y;
    });
    ASSERT_EQ(cur.Stitch(&one, work, T, 10), 1);
    EXPECT_EQ(column(work.template1), 199 - T / 2);
    EXPECT_EQ(column(work.template2), 229 - T / 2);

    // A step near the right edge: the template stays inside the row.
    CUnWrapImage edge = makeStrip(64, 40, [](int x, int y, int c) {
        return y == 0 ? (x < 47 ? 0 : 200) : c == 0 ? x & 0xFF : c == 1 ? x >> 8 : y;
    });
    CUnWrapImage narrow = makeStrip(64, 40, flat);
    ASSERT_EQ(narrow.Stitch(&edge, work, T, 40), 1);
    EXPECT_EQ(column(work.template1), 46 - T / 2);
    EXPECT_EQ(column(work.template2), 64 - T); // 76 - 8 held to the last start
}

TEST(Stitch, NoMatchKeepsBothStrips)
{
    SyntheticBorehole a(800, 200, 1, 1), b(800, 200, 2, 1);
    CUnWrapImage prev = a.strip(0, 0, 60);
    CUnWrapImage cur = b.strip(1, 0, 60);
    const auto before = rowsOf(prev);
    StitchWorkArea work;
    EXPECT_EQ(cur.Stitch(&prev, work, 16, 10), 1);
    EXPECT_EQ(cur.shownHeight, 60);
    EXPECT_EQ(rowsOf(prev), before);
}

TEST(Stitch, FindsTheOverlapOfUnwrappedRingFrames)
{
    // Camera frames of a textured wall with a fracture, turning 7 degrees
    // from frame to frame: their unwrapped strips of 101 rows overlap by 61.
    FrameFormat::publishSize(720, 576);
    SyntheticBorehole wall(800, 600, 3, 4);
    wall.addFracture({200, 135, 40});
    RingCamera cam;
    cam.outerRadius = 250;
    cam.innerRadius = 150;
    for (int firstHeading : {0, 200, 355}) {
        const auto frames = wall.consecutiveFrames(cam, 100, 3, 61, firstHeading, 7);
        std::vector<CUnWrapImage> strips(frames.size());
        StitchWorkArea work;
        for (size_t i = 0; i < frames.size(); ++i) {
            const int heading = (firstHeading + 7 * int(i)) % 360;
            ASSERT_TRUE(strips[i].Unwrap(frames[i].data(), 720, 576, 360, 288, 250, 150, 800,
                                         int16_t(heading)));
            if (i == 0)
                continue;
            ASSERT_EQ(strips[i].Stitch(&strips[i - 1], work, 16, 10), 1);
            EXPECT_NEAR(strips[i].shownHeight, cam.rows() - 61, 1) << firstHeading << " " << i;
        }
    }
    FrameFormat::reset();
}

TEST(BlendOverlap, FadesLinearlyFromTheCurrentToThePreviousStrip)
{
    CUnWrapImage prev = makeStrip(10, 20, [](int, int, int) { return 0; });
    CUnWrapImage cur = makeStrip(10, 30, [](int, int y, int) { return y >= 20 ? 200 : 7; });

    // n = 2: row 0 takes the current strip's pixels, row 1 keeps its own.
    CUnWrapImage p2 = prev;
    cur.BlendOverlap(&p2, 2);
    EXPECT_EQ(p2.row(0)[0], 200);
    EXPECT_EQ(p2.row(1)[0], 0);

    // n = 10: weights 0, 1/9, ..., 1 towards the previous strip.
    CUnWrapImage p10 = prev;
    cur.BlendOverlap(&p10, 10);
    for (int i = 0; i < 10; ++i)
        for (int b = 0; b < 30; ++b)
            ASSERT_EQ(p10.row(i)[b], int(200 * (1.0f - float(i) / 9.0f))) << i;
    for (int i = 10; i < 20; ++i)
        EXPECT_EQ(p10.row(i)[0], 0);

    // n beyond the previous strip's shown height h blends h - 3 rows, still
    // from rows - n of the current strip.
    CUnWrapImage ph = prev;
    ph.shownHeight = 8;
    cur.BlendOverlap(&ph, 12);
    EXPECT_EQ(ph.row(0)[0], 7);  // current row 30 - 12 = 18
    EXPECT_EQ(ph.row(3)[0], 50); // current row 21 at weight 3 / 4
    EXPECT_EQ(ph.row(4)[0], 0);  // the last blended row keeps its own
    EXPECT_EQ(ph.row(5)[0], 0);

    // Nothing happens for n of 0, 1, negative, beyond the current rows, or
    // when the result would be a single row.
    for (int n : {0, 1, -5, 31}) {
        CUnWrapImage p = prev;
        cur.BlendOverlap(&p, n);
        EXPECT_EQ(rowsOf(p), rowsOf(prev)) << n;
    }
    CUnWrapImage p4 = prev;
    p4.shownHeight = 3;
    cur.BlendOverlap(&p4, 4); // 3 - 3 = 0 rows
    EXPECT_EQ(rowsOf(p4), rowsOf(prev));
}

TEST(BlendOverlap, EachStripIsAddressedWithItsOwnStride)
{
    // A packed previous strip (stride 2406) next to a padded current one (2408).
    CUnWrapImage prev = makeStrip(
        802, 20, [](int, int, int) { return 0; }, 802 * 3);
    CUnWrapImage cur = makeStrip(802, 30, [](int x, int y, int c) { return (x + y + c) & 0xFF; });
    ASSERT_EQ(prev.stride, 2406);
    ASSERT_EQ(cur.stride, 2408);
    cur.BlendOverlap(&prev, 5);
    EXPECT_EQ(0, memcmp(prev.row(0), cur.row(25), 802 * 3));

    // The count is held to the previous strip's rows as well.
    CUnWrapImage shortPrev = makeStrip(802, 4, [](int, int, int) { return 0; });
    shortPrev.shownHeight = 40;
    cur.BlendOverlap(&shortPrev, 30);
    EXPECT_EQ(0, memcmp(shortPrev.row(0), cur.row(0), 802 * 3));
}
