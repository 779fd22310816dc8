#include "core/program_values.h"
#include "core/unwrap_image.h"

#include "support/synthetic_borehole.h"

#include <QRect>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace bc;
using bc::test::RingCamera;
using bc::test::SyntheticBorehole;

namespace {

// A frame whose every pixel names its own position: byte 0 the low bits of x,
// byte 1 the low bits of y, byte 2 the high bits of both.
std::vector<uint8_t> coordinateFrame(int w, int h)
{
    std::vector<uint8_t> f(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &f[(size_t(y) * w + x) * 3];
            p[0] = uint8_t(x);
            p[1] = uint8_t(y);
            p[2] = uint8_t((x >> 8) | ((y >> 8) << 4));
        }
    return f;
}

QPoint sampledAt(const CUnWrapImage& s, int column, int row)
{
    const uint8_t* p = s.row(row) + 3 * column;
    return {p[0] | ((p[2] & 0x0F) << 8), p[1] | ((p[2] >> 4) << 8)};
}

// The outer ring first (lens type 0) or the inner ring first (lens type 1).
const uint8_t* unwrapRing(CUnWrapImage& s, bool innerFirst, const std::vector<uint8_t>& frame,
                          int w, int h, int cx, int cy, int outer, int inner, int W, int angle)
{
    return innerFirst ? s.UnwrapInnerFirst(frame.data(), w, h, cx, cy, outer, inner, W, angle)
                      : s.Unwrap(frame.data(), w, h, cx, cy, outer, inner, W, angle);
}

class Unwrap : public ::testing::Test {
  protected:
    void SetUp() override { FrameFormat::reset(); }
    void TearDown() override { FrameFormat::reset(); }
};

} // namespace

TEST_F(Unwrap, RadiiAreCorrectedOrRefused)
{
    // The outer radius is held to the maximum radius 100 (a negative one reads
    // as huge); an inner radius beyond the outer becomes outer - 10, refused
    // with a word to the user when that is negative. Sizes that cannot be
    // unwrapped are refused too: no width, no frame, frame bytes that do not
    // fit an int, a stride shorter than a row. A refused unwrap leaves the
    // previous pixels as they were.
    const auto frame = coordinateFrame(720, 576);
    const struct {
        int outer, inner, frameWidth, W, stride, rows; // rows 0: told, -1: refused
    } cases[] = {{150, 41, 720, 800, 0, 60},     {100, 120, 720, 800, 0, 11},
                 {100, 100, 720, 800, 0, 1},     {-5, 41, 720, 800, 0, 60},
                 {8, 120, 720, 800, 0, 0},       {100, 41, 720, 0, 0, -1},
                 {100, 41, 720, -8, 0, -1},      {100, 41, 0, 800, 0, -1},
                 {100, 41, 1 << 30, 800, 0, -1}, {100, 41, 720, 800, 0x7fffffff, -1},
                 {100, 41, 720, 800, 2159, -1}};
    CUnWrapImage s;
    ASSERT_TRUE(s.Unwrap(frame.data(), 720, 576, 360, 288, 100, 41, 800, 0));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.outer << "/" << c.inner << " " << c.frameWidth << " "
                                        << c.W << " " << c.stride);
        std::vector<uint8_t> before(s.pixels(), s.pixels() + s.rows * s.stride);
        ErrorReport err;
        const uint8_t* px = s.Unwrap(frame.data(), c.frameWidth, 576, 360, 288, c.outer, c.inner,
                                     c.W, 0, &err, c.stride);
        EXPECT_EQ(err.text == "截取内径超过图片边界" && err.caption == "出错" && err.style == 0x10u,
                  c.rows == 0);
        if (c.rows <= 0) {
            EXPECT_EQ(px, nullptr);
            EXPECT_EQ(0, memcmp(s.pixels(), before.data(), before.size()));
            continue;
        }
        ASSERT_NE(px, nullptr);
        EXPECT_EQ(QList<int>({s.shownHeight, s.rows, s.header.height, s.width, s.stride}),
                  QList<int>({c.rows, c.rows, c.rows, 800, 2400}));
    }
    EXPECT_EQ(s.Unwrap(nullptr, 720, 576, 360, 288, 100, 41, 800, 0), nullptr);

    // A new width gets a buffer of its size.
    ASSERT_NE(s.Unwrap(frame.data(), 720, 576, 360, 288, 100, 41, 402, 0), nullptr);
    EXPECT_EQ(QList<int>({s.width, s.stride, s.rows}), QList<int>({402, 1208, 60}));
}

TEST_F(Unwrap, SamplesOffTheFrameAreClippedToItsEdge)
{
    const int w = 120, h = 90;
    const auto frame = coordinateFrame(w, h);
    FrameFormat::setMaxOuterRadius(200);
    const struct {
        int cx, cy, outer, inner;
    } cases[] = {
        {-50, 300, 150, 20}, // the centre outside the frame
        {60, 45, 200, 0},    // radii larger than the frame
        {60, 45, 50, -40},   // a negative inner radius from the profile
        {119, 0, 100, 95},   // centre in a corner
    };
    for (const auto& c : cases) {
        for (bool innerFirst : {false, true}) {
            CUnWrapImage s;
            ASSERT_TRUE(
                unwrapRing(s, innerFirst, frame, w, h, c.cx, c.cy, c.outer, c.inner, 60, 33));
            EXPECT_EQ(s.rows, c.outer - c.inner + 1);
            for (int k = 0; k < s.rows; ++k)
                for (int col = 0; col < 60; ++col)
                    ASSERT_TRUE(QRect(0, 0, w, h).contains(sampledAt(s, col, k)));
        }
    }
    // A sample far to the left lands on column 0.
    CUnWrapImage s;
    ASSERT_TRUE(s.Unwrap(frame.data(), w, h, -50, 45, 20, 10, 4, 90)); // column 0 looks left
    EXPECT_EQ(sampledAt(s, 0, 0).x(), 0);
    EXPECT_NEAR(sampledAt(s, 0, 0).y(), 45, 1);
}

TEST_F(Unwrap, GivesBackTheWallWithinAPixel)
{
    // Radii where one strip column is at least about one frame pixel, so the
    // truncation of the sample point moves it by less than a column. The wall
    // holds a fracture dipping 20 degrees towards azimuth 90, so its trace
    // must come out where its dip puts it. An odd circumference leaves a
    // partial block of columns.
    FrameFormat::publishSize(720, 576);
    const int W = 803;
    SyntheticBorehole wall(W, 400, 11, 1);
    wall.addFracture({110, 90, 20, 3, 0, 0, 255});
    for (int lens : {0, 1}) {
        for (int heading : {123, 359}) {
            const RingCamera cam{.outerRadius = 260, .innerRadius = 140, .lensType = lens};
            const int top = 50;
            const auto frame = wall.ringFrame(cam, top, heading);
            CUnWrapImage s;
            ASSERT_TRUE(unwrapRing(s, lens == 1, frame, 720, 576, 360, 288, cam.outerRadius,
                                   cam.innerRadius, W, heading));
            int misses = 0;
            for (int k = 0; k < s.rows; ++k) {
                const int wallRow = top + s.rows - 1 - k;
                for (int c = 0; c < W; ++c) {
                    bool hit = false;
                    for (int dy = -1; dy <= 1 && !hit; ++dy)
                        for (int dx = -1; dx <= 1 && !hit; ++dx)
                            hit = memcmp(s.row(k) + 3 * c, wall.wall(c + dx, wallRow + dy), 3) == 0;
                    misses += !hit;
                }
            }
            EXPECT_EQ(misses, 0) << "lens " << lens << " heading " << heading;
        }
    }
}
