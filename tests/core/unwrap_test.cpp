#include "core/program_values.h"
#include "core/unwrap_image.h"

#include "support/literal_loops.h"
#include "support/synthetic_borehole.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace bc;
using bc::test::RingCamera;
using bc::test::SyntheticBorehole;

namespace {

constexpr double kPi = 3.14159265358979323846;

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

struct Pos {
    int x, y;
};

Pos sampledAt(const CUnWrapImage& s, int column, int row)
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
    // when that is negative.
    const auto frame = coordinateFrame(720, 576);
    const struct {
        int outer, inner, expectRows; // 0: refused
    } cases[] = {{150, 41, 60}, {100, 120, 11}, {100, 100, 1}, {-5, 41, 60}, {8, 120, 0}};
    for (const auto& c : cases) {
        CUnWrapImage s;
        ErrorReport err;
        const uint8_t* px =
            s.Unwrap(frame.data(), 720, 576, 360, 288, c.outer, c.inner, 800, 0, &err);
        if (c.expectRows == 0) {
            EXPECT_EQ(px, nullptr);
            EXPECT_EQ(err.text, "截取内径超过图片边界");
            EXPECT_TRUE(err.caption == "出错" && err.style == 0x10u);
            continue;
        }
        ASSERT_NE(px, nullptr) << c.outer << "/" << c.inner;
        EXPECT_TRUE(err.isEmpty());
        EXPECT_EQ(QList<int>({s.shownHeight, s.rows, s.header.height, s.width, s.stride}),
                  QList<int>({c.expectRows, c.expectRows, c.expectRows, 800, 2400}));
    }

    // A refused unwrap leaves the previous pixels as they were.
    CUnWrapImage s;
    ASSERT_TRUE(s.Unwrap(frame.data(), 720, 576, 360, 288, 100, 41, 800, 0));
    std::vector<uint8_t> before(s.pixels(), s.pixels() + s.rows * s.stride);
    EXPECT_EQ(s.Unwrap(frame.data(), 720, 576, 360, 288, 8, 120, 800, 0), nullptr);
    ASSERT_TRUE(s.hasPixels());
    EXPECT_EQ(0, memcmp(s.pixels(), before.data(), before.size()));

    // Sizes that cannot be unwrapped: no width, no frame, frame bytes that do
    // not fit an int, a stride shorter than a row.
    const struct {
        const uint8_t* px;
        int frameWidth, frameHeight, W, stride;
    } refused[] = {{frame.data(), 720, 576, 0, 0},          {frame.data(), 720, 576, -8, 0},
                   {nullptr, 720, 576, 800, 0},             {frame.data(), 0, 576, 800, 0},
                   {frame.data(), 0x40000000, 1, 800, 0},   {frame.data(), 720, 576, 800, 0x7fffffff},
                   {frame.data(), 720, 576, 800, 720 * 3 - 1}};
    for (const auto& c : refused)
        EXPECT_EQ(s.Unwrap(c.px, c.frameWidth, c.frameHeight, 360, 288, 100, 41, c.W, 0, nullptr,
                           c.stride),
                  nullptr)
            << c.frameWidth << " " << c.W << " " << c.stride;
}

TEST_F(Unwrap, ColumnsTurnClockwiseFromStraightUp)
{
    const auto frame = coordinateFrame(720, 576);
    const double D = FrameFormat::aspectDivisor();
    for (int lens : {0, 1}) {
        for (int16_t angle : {int16_t(0), int16_t(45), int16_t(-30), int16_t(270)}) {
            CUnWrapImage s;
            const int R = 100, r = 41;
            ASSERT_TRUE(unwrapRing(s, lens == 1, frame, 720, 576, 360, 288, R, r, 800, angle));
            for (int column : {0, 100, 200, 400, 600, 799}) {
                for (int q : {R, r, 70}) {
                    const int row = lens == 0 ? R - q : q - r;
                    // Column c looks at angle + 90 degrees, turned c * 360 / 800
                    // degrees clockwise (the picture's y grows downwards).
                    const double a = (angle + 90 - column * 360.0 / 800) * kPi / 180;
                    const Pos p = sampledAt(s, column, row);
                    EXPECT_NEAR(p.x, 360 + q * std::cos(a) / D, 1.0)
                        << lens << " " << angle << " " << column << " " << q;
                    EXPECT_NEAR(p.y, 288 - q * std::sin(a), 1.0)
                        << lens << " " << angle << " " << column << " " << q;
                }
            }
        }
    }
}

TEST_F(Unwrap, MatchesTheSampleBySampleLoopBitForBit)
{
    FrameFormat::publishSize(720, 576); // maximum radius 284, divisor for 720
    SyntheticBorehole wall(800, 600, 7, 1);
    RingCamera cam;
    const auto frame = wall.ringFrame(cam, 100, 0);
    std::vector<uint8_t> literal;
    CUnWrapImage s;
    const struct {
        int width, outer, inner;
        int16_t angle;
    } cases[] = {{800, 250, 130, 0}, {800, 275, 1, 359}, {802, 200, 41, -90},
                          {360, 100, 20, 17}, {801, 284, 0, 180}, {97, 60, 50, 1000}};
    for (bool innerFirst : {false, true}) {
        for (const auto& c : cases) {
            const int rows = test::literalUnwrap(literal, frame.data(), 720, 360, 288, c.outer,
                                                 c.inner, c.width, c.angle, innerFirst);
            ASSERT_GT(rows, 0);
            ASSERT_TRUE(unwrapRing(s, innerFirst, frame, 720, 576, 360, 288, c.outer, c.inner,
                                   c.width, c.angle));
            ASSERT_EQ(s.rows, rows);
            for (int k = 0; k < rows; ++k)
                ASSERT_EQ(0, memcmp(s.row(k), &literal[size_t(k) * c.width * 3], c.width * 3))
                    << "width " << c.width << " row " << k << " inner first " << innerFirst;
        }
    }
}

TEST_F(Unwrap, SameGeometryKeepsTheBuffer)
{
    const auto frame = coordinateFrame(320, 240);
    CUnWrapImage s;
    const uint8_t* first = s.Unwrap(frame.data(), 320, 240, 160, 120, 100, 41, 800, 0);
    ASSERT_NE(first, nullptr);
    // A new heading, same sizes: the same buffer, new content.
    EXPECT_EQ(s.Unwrap(frame.data(), 320, 240, 160, 120, 100, 41, 800, 90), first);
    EXPECT_EQ(s.UnwrapInnerFirst(frame.data(), 320, 240, 160, 120, 100, 41, 800, 90), first);
    // A new width: a buffer of the new size.
    ASSERT_NE(s.Unwrap(frame.data(), 320, 240, 160, 120, 100, 41, 402, 0), nullptr);
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
            ASSERT_TRUE(unwrapRing(s, innerFirst, frame, w, h, c.cx, c.cy, c.outer, c.inner, 60, 33));
            EXPECT_EQ(s.rows, c.outer - c.inner + 1);
            for (int k = 0; k < s.rows; ++k)
                for (int col = 0; col < 60; ++col) {
                    const Pos p = sampledAt(s, col, k);
                    ASSERT_TRUE(p.x >= 0 && p.x < w && p.y >= 0 && p.y < h);
                }
        }
    }
    // A sample far to the left lands on column 0.
    CUnWrapImage s;
    ASSERT_TRUE(s.Unwrap(frame.data(), w, h, -50, 45, 20, 10, 4, 90)); // column 0 looks left
    EXPECT_EQ(sampledAt(s, 0, 0).x, 0);
    EXPECT_NEAR(sampledAt(s, 0, 0).y, 45, 1);
}

TEST_F(Unwrap, GivesBackTheWallWithinAPixel)
{
    // Radii where one strip column is at least about one frame pixel, so the
    // truncation of the sample point moves it by less than a column. The wall
    // holds a fracture dipping 20 degrees towards azimuth 90, so its trace
    // must come out where its dip puts it.
    FrameFormat::publishSize(720, 576);
    SyntheticBorehole wall(800, 400, 11, 1);
    wall.addFracture({110, 90, 20, 3, 0, 0, 255});
    for (int lens : {0, 1}) {
        for (int heading : {123, 359}) {
            RingCamera cam;
            cam.outerRadius = 260;
            cam.innerRadius = 140;
            cam.lensType = lens;
            const int top = 50;
            const auto frame = wall.ringFrame(cam, top, heading);
            CUnWrapImage s;
            ASSERT_TRUE(unwrapRing(s, lens == 1, frame, 720, 576, 360, 288, cam.outerRadius,
                                   cam.innerRadius, 800, heading));
            int misses = 0;
            for (int k = 0; k < s.rows; ++k) {
                const int wallRow = top + s.rows - 1 - k;
                for (int c = 0; c < 800; ++c) {
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
