#include "core/program_values.h"
#include "core/unwrap_image.h"

#include "support/strip_fill.h"
#include "support/synthetic_borehole.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace bc;
using bc::test::filledStrip;
using bc::test::RingCamera;
using bc::test::SyntheticBorehole;

namespace {

std::vector<uint8_t> rowsOf(const CUnWrapImage& s)
{
    return s.hasPixels() ? std::vector<uint8_t>(s.pixels(), s.pixels() + size_t(s.rows) * s.stride)
                         : std::vector<uint8_t>();
}

// Row 0 from `bottom`; the rows above name their own column and row.
template <typename F> CUnWrapImage namedColumns(int w, F bottom)
{
    return filledStrip(w, 40, [&](int x, int y, int c) {
        return y == 0 ? bottom(x) : c == 0 ? x & 0xFF : c == 1 ? x >> 8 : y;
    });
}

int flat(int, int, int)
{
    return 90;
}

} // namespace

TEST(Stitch, RefusedPreconditionsChangeNothing)
{
    StitchWorkArea work;
    const struct {
        const char* name;
        int prevWidth, prevRows, curWidth, curRows, T;
        bool prevPixels, curPixels, noPrevious;
    } cases[] = {{"no previous strip", 800, 60, 800, 60, 16, true, true, true},
                 {"different widths", 804, 60, 800, 60, 16, true, true, false},
                 {"width 100 with T = 32", 100, 80, 100, 80, 32, true, true, false},
                 {"current rows below 2T", 800, 60, 800, 31, 16, true, true, false},
                 {"previous rows below T + 2", 800, 17, 800, 60, 16, true, true, false},
                 {"previous without pixels", 800, 60, 800, 60, 16, false, true, false},
                 {"current without pixels", 800, 60, 800, 60, 16, true, false, false},
                 {"template size 0", 800, 60, 800, 60, 0, true, true, false}};
    for (const auto& c : cases) {
        CUnWrapImage prev = SyntheticBorehole(c.prevWidth, 200).strip(0, 0, c.prevRows);
        CUnWrapImage cur = SyntheticBorehole(c.curWidth, 200).strip(1, 10, c.curRows);
        if (!c.prevPixels)
            prev.freePixels();
        if (!c.curPixels)
            cur.freePixels();
        const auto prevBefore = rowsOf(prev);
        const int shownBefore = cur.shownHeight;
        EXPECT_EQ(cur.Stitch(c.noPrevious ? nullptr : &prev, work, c.T, 10), 0) << c.name;
        EXPECT_EQ(cur.shownHeight, shownBefore) << c.name;
        EXPECT_EQ(rowsOf(prev), prevBefore) << c.name;
    }
}

TEST(Stitch, FindsAKnownOverlapForEveryTemplateSize)
{
    // Down to the narrowest widths the stitch accepts; the overlap at the
    // edge of the search range; two strips of different walls do not match.
    const struct {
        int T, range, rows, overlap, width;
    } cases[] = {{8, 5, 60, 8, 800},    {8, 5, 60, 20, 800},    {8, 40, 60, 36, 800},
                 {16, 10, 60, 16, 800}, {16, 10, 60, 30, 800},  {16, 20, 60, 44, 800},
                 {32, 5, 100, 32, 800}, {32, 15, 100, 60, 800}, {32, 40, 275, 100, 800},
                 {8, 40, 60, 20, 32},   {16, 10, 60, 20, 64},   {32, 40, 100, 40, 128},
                 {8, 10, 60, 25, 60},   {8, 10, 60, 25, 802},   {16, 0, 60, 16, 800},
                 {16, 10, 60, 0, 800}};
    for (const auto& c : cases) {
        SyntheticBorehole wall(c.width, 1000, uint32_t(c.T * 1000 + c.overlap), 1);
        CUnWrapImage prev = wall.strip(1000, 100, c.rows);
        CUnWrapImage cur = c.overlap == 0
                               ? SyntheticBorehole(c.width, 1000, 99, 1).strip(2000, 0, c.rows)
                               : wall.strip(2000, 100 + c.rows - c.overlap, c.rows);
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

TEST(Stitch, FeatureColumnsFallBackToTheMiddle)
{
    // Templates start T / 2 left of each feature column; template row 0 is
    // buffer row T - 1, whose first pixel names its column.
    const int T = 16;
    const struct {
        int width, range;
        int (*bottom)(int);
        int first, second;
    } cases[] = {
        {800, 10, [](int x) { return 100 + (x % 2) * 16; }, 399 - T / 2, 429 - T / 2}, // no step
        {800, 10, [](int x) { return x < 200 ? 0 : 200; }, 199 - T / 2, 229 - T / 2}, // one step
        // a step near the right edge: the template stays inside the row
        {64, 40, [](int x) { return x < 47 ? 0 : 200; }, 46 - T / 2, 64 - T}};
    auto column = [](const std::vector<uint8_t>& t) { return t[0] | (t[1] << 8); };
    StitchWorkArea work;
    for (const auto& c : cases) {
        CUnWrapImage prev = namedColumns(c.width, c.bottom);
        CUnWrapImage cur = filledStrip(c.width, 40, flat);
        ASSERT_EQ(cur.Stitch(&prev, work, T, c.range), 1);
        EXPECT_EQ(column(work.template1), c.first) << c.width;
        EXPECT_EQ(column(work.template2), c.second) << c.width;
        EXPECT_EQ(work.template1[2], T - 1);
    }
}

TEST(Stitch, FindsTheOverlapOfUnwrappedRingFrames)
{
    // Camera frames of a textured wall with a fracture, turning 7 degrees
    // from frame to frame (past north too): their unwrapped strips of 101
    // rows overlap by 61.
    FrameFormat::publishSize(720, 576);
    SyntheticBorehole wall(800, 600, 3, 4);
    wall.addFracture({200, 135, 40});
    RingCamera cam;
    cam.outerRadius = 250;
    cam.innerRadius = 150;
    const int firstHeading = 355;
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
        EXPECT_NEAR(strips[i].shownHeight, cam.rows() - 61, 1) << i;
    }
    FrameFormat::reset();
}

TEST(BlendOverlap, FadesLinearlyFromTheCurrentToThePreviousStrip)
{
    CUnWrapImage prev = filledStrip(10, 20, [](int, int, int) { return 0; });
    CUnWrapImage cur = filledStrip(10, 30, [](int, int y, int) { return y >= 20 ? 200 : 7; });

    // n = 10: weights 0, 1/9, ..., 1 towards the previous strip.
    CUnWrapImage p10 = prev;
    cur.BlendOverlap(&p10, 10);
    for (int i = 0; i < 20; ++i)
        for (int b = 0; b < 30; ++b)
            ASSERT_EQ(p10.row(i)[b], i < 10 ? int(200 * (1.0f - float(i) / 9.0f)) : 0) << i;

    // n beyond the previous strip's shown height h blends h - 3 rows, still
    // from rows - n of the current strip.
    CUnWrapImage ph = prev;
    ph.shownHeight = 8;
    cur.BlendOverlap(&ph, 12);
    EXPECT_EQ(ph.row(0)[0], 7);  // current row 30 - 12 = 18
    EXPECT_EQ(ph.row(3)[0], 50); // current row 21 at weight 3 / 4
    EXPECT_EQ(ph.row(4)[0], 0);  // the last blended row keeps its own

    // n = 2: row 0 takes the current strip's pixels, row 1 keeps its own.
    CUnWrapImage p2 = prev;
    cur.BlendOverlap(&p2, 2);
    EXPECT_EQ(p2.row(0)[0], 200);
    EXPECT_EQ(p2.row(1)[0], 0);

    // Nothing happens for n of 0, 1, negative, beyond the current rows, or
    // when the result would be no rows (4 beyond a shown height of 3).
    for (int n : {0, 1, -5, 31, 4}) {
        CUnWrapImage p = prev;
        p.shownHeight = n == 4 ? 3 : p.shownHeight;
        cur.BlendOverlap(&p, n);
        EXPECT_EQ(rowsOf(p), rowsOf(prev)) << n;
    }
}

TEST(BlendOverlap, EachStripIsAddressedWithItsOwnStride)
{
    // A packed previous strip (stride 2406) next to a padded current one (2408).
    CUnWrapImage prev = filledStrip(802, 20, [](int, int, int) { return 0; }, 802 * 3);
    CUnWrapImage cur = filledStrip(802, 30, [](int x, int y, int c) { return (x + y + c) & 0xFF; });
    ASSERT_EQ(cur.stride, 2408);
    cur.BlendOverlap(&prev, 5);
    EXPECT_EQ(0, memcmp(prev.row(0), cur.row(25), 802 * 3));

    // The count is held to the previous strip's rows as well.
    CUnWrapImage shortPrev = filledStrip(802, 4, [](int, int, int) { return 0; });
    shortPrev.shownHeight = 40;
    cur.BlendOverlap(&shortPrev, 30);
    EXPECT_EQ(0, memcmp(shortPrev.row(0), cur.row(0), 802 * 3));
}
