#include "core/unwrap_image.h"

#include "support/strip_fill.h"
#include "support/synthetic_borehole.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace bc;
using bc::test::filledStrip;
using bc::test::SyntheticBorehole;

namespace {

std::vector<uint8_t> rowsOf(const CUnWrapImage& s)
{
    return s.hasPixels() ? std::vector<uint8_t>(s.pixels(), s.pixels() + size_t(s.rows) * s.stride)
                         : std::vector<uint8_t>();
}

} // namespace

TEST(Stitch, RefusedPreconditionsChangeNothing)
{
    StitchWorkArea work;
    const struct {
        const char* name;
        int prevWidth, prevRows, curRows, T;
        bool prevPixels, curPixels, noPrevious;
    } cases[] = {{"no previous strip", 800, 60, 60, 16, true, true, true},
                 {"different widths", 804, 60, 60, 16, true, true, false},
                 {"width 100 with T = 32", 100, 80, 80, 32, true, true, false},
                 {"current rows below 2T", 800, 60, 31, 16, true, true, false},
                 {"previous rows below T + 2", 800, 17, 60, 16, true, true, false},
                 {"previous without pixels", 800, 60, 60, 16, false, true, false},
                 {"current without pixels", 800, 60, 60, 16, true, false, false},
                 {"template size 0", 800, 60, 60, 0, true, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CUnWrapImage prev = SyntheticBorehole(c.prevWidth, 200).strip(0, 0, c.prevRows);
        CUnWrapImage cur = SyntheticBorehole(c.T == 32 ? 100 : 800, 200).strip(1, 10, c.curRows);
        if (!c.prevPixels)
            prev.freePixels();
        if (!c.curPixels)
            cur.freePixels();
        const auto prevBefore = rowsOf(prev);
        EXPECT_EQ(cur.Stitch(c.noPrevious ? nullptr : &prev, work, c.T, 10), 0);
        EXPECT_EQ(cur.shownHeight, c.curRows);
        EXPECT_EQ(rowsOf(prev), prevBefore);
    }
}

TEST(Stitch, FindsAKnownOverlapForEveryTemplateSize)
{
    // Down to the narrowest widths the stitch accepts; the overlap at the
    // edge of the search range; two strips of different walls do not match.
    const struct {
        int T, range, rows, overlap, width;
    } cases[] = {{8, 5, 60, 8, 800},      {8, 40, 60, 36, 800},  {16, 10, 60, 16, 800},
                 {16, 10, 60, 30, 800},   {16, 20, 60, 44, 800}, {32, 15, 100, 60, 800},
                 {32, 40, 275, 100, 800}, {8, 40, 60, 20, 32},   {16, 10, 60, 20, 64},
                 {32, 40, 100, 40, 128},  {8, 10, 60, 25, 60},   {8, 10, 60, 25, 802},
                 {16, 0, 60, 16, 800},    {16, 10, 60, 0, 800}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "T " << c.T << " range " << c.range << " overlap "
                                        << c.overlap << " width " << c.width);
        SyntheticBorehole wall(c.width, 1000, uint32_t(c.T * 1000 + c.overlap), 1);
        CUnWrapImage prev = wall.strip(1000, 100, c.rows);
        CUnWrapImage cur = c.overlap == 0
                               ? SyntheticBorehole(c.width, 1000, 99, 1).strip(2000, 0, c.rows)
                               : wall.strip(2000, 100 + c.rows - c.overlap, c.rows);
        const CUnWrapImage prevBefore = prev;
        StitchWorkArea work;
        ASSERT_EQ(cur.Stitch(&prev, work, c.T, c.range), 1);
        EXPECT_EQ(cur.shownHeight, c.rows - c.overlap);
        EXPECT_EQ(cur.header.height, cur.shownHeight);
        // The overlapping rows of the previous strip were faded towards rows
        // that show the same wall: each byte moves by at most one level.
        for (int i = 0; i < prev.rows; ++i)
            for (int b = 0; b < c.width * 3; ++b) {
                const int was = prevBefore.row(i)[b], now = prev.row(i)[b];
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
        {800, 10, [](int x) { return x < 200 ? 0 : 200; }, 199 - T / 2, 229 - T / 2},  // one step
        // a step near the right edge: the template stays inside the row
        {64, 40, [](int x) { return x < 47 ? 0 : 200; }, 46 - T / 2, 64 - T}};
    StitchWorkArea work;
    for (const auto& c : cases) {
        CUnWrapImage prev = filledStrip(c.width, 40, [&](int x, int y, int ch) {
            return y == 0 ? c.bottom(x) : ch == 0 ? x & 0xFF : ch == 1 ? x >> 8 : y;
        });
        CUnWrapImage cur = filledStrip(c.width, 40, [](int, int, int) { return 90; });
        ASSERT_EQ(cur.Stitch(&prev, work, T, c.range), 1);
        EXPECT_EQ(work.template1[0] | (work.template1[1] << 8), c.first) << c.width;
        EXPECT_EQ(work.template2[0] | (work.template2[1] << 8), c.second) << c.width;
        EXPECT_EQ(work.template1[2], T - 1);
    }
}

TEST(BlendOverlap, FadesLinearlyFromTheCurrentToThePreviousStrip)
{
    // Previous rows of 0, current rows of 7 below row 20 and 200 from it; the
    // previous strip packed (stride 30) next to a padded current one (32).
    const CUnWrapImage prev = filledStrip(
        10, 20, [](int, int, int) { return 0; }, 30);
    CUnWrapImage cur = filledStrip(10, 30, [](int, int y, int) { return y >= 20 ? 200 : 7; });

    // n = 10: weights 0, 1/9, ..., 1 towards the previous strip.
    CUnWrapImage p = prev;
    cur.BlendOverlap(&p, 10);
    for (int i = 0; i < 20; ++i)
        for (int b = 0; b < 30; ++b)
            ASSERT_EQ(p.row(i)[b], i < 10 ? int(200 * (1.0f - float(i) / 9.0f)) : 0) << i;

    // n beyond the previous strip's shown height h blends h - 3 rows, still
    // from rows - n of the current strip; n = 2 gives row 0 the current
    // strip's pixels; n beyond the previous rows is held to them. Nothing
    // happens for n of 0, 1, negative, beyond the current rows, or when the
    // result would be no rows (4 beyond a shown height of 3).
    const struct {
        int shown, n, row, value; // value -1: the previous strip unchanged
    } cases[] = {{8, 12, 0, 7},   // current row 30 - 12 = 18
                 {8, 12, 3, 50},  // current row 21 at weight 3 / 4
                 {8, 12, 4, 0},   // the last blended row keeps its own
                 {20, 2, 0, 200}, {20, 2, 1, 0},   {40, 25, 10, 3}, {20, 0, 0, -1},
                 {20, 1, 0, -1},  {20, -5, 0, -1}, {20, 31, 0, -1}, {3, 4, 0, -1}};
    for (const auto& c : cases) {
        p = prev;
        p.shownHeight = c.shown;
        cur.BlendOverlap(&p, c.n);
        if (c.value < 0)
            EXPECT_EQ(rowsOf(p), rowsOf(prev)) << c.n;
        else
            EXPECT_EQ(p.row(c.row)[29], c.value) << c.shown << " " << c.n << " " << c.row;
    }
}
