// Attitude shapes: hit testing, drawing and the attitude rule.

#include "analysis/attitude_shape.h"
#include "support/survey_fixtures.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace bc;

namespace {

constexpr float kPiF = 3.14159265f;
constexpr uint32_t kBlue = 0x00FF0000; // COLORREF of pure blue
const QRgb kWhite = qRgb(255, 255, 255), kRgbBlue = qRgb(0, 0, 255);

template <typename Draw> QImage drawn(Draw draw, int w = 200)
{
    return bc::test::painted(w, 200, draw);
}

int countPixels(const QImage& img, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixel(x, y) == colour;
    return n;
}

int countNonWhite(const QImage& img)
{
    return img.width() * img.height() - countPixels(img, kWhite);
}

CAttitudeLine makeLine(CShapePoint a, CShapePoint b, int32_t id = 7)
{
    return CAttitudeLine(id, a, b, 0, 1, kBlue);
}

CAttitudePolyline makePolyline(std::initializer_list<CShapePoint> points, int32_t id = 3)
{
    CAttitudePolyline poly(id, 0, 1, kBlue);
    for (const CShapePoint& p : points)
        poly.AddPoint(p);
    return poly;
}

QString dipOf(CAttitudeShape&& s, int diameter = 100)
{
    s.UpdateAttitude(diameter, 0, 0, 0);
    return s.GetText(TextDipDirection) + " " + s.GetText(TextDipAngle);
}

} // namespace

TEST(PointToSegment, EndsBeyondAndAcross)
{
    const int rows[][7] = {
        // x, y, segment ax, ay, bx, by, distance
        {0, 0, 0, 0, 10, 0, 0},
        {10, 0, 0, 0, 10, 0, 0}, // on an end point
        {15, 0, 0, 0, 10, 0, 5},
        {-7, 0, 0, 0, 10, 0, 7}, // beyond an end: to that end
        {15, 3, 0, 0, 10, 0, 5}, // trunc(sqrt(34))
        {3, 4, 2, 2, 2, 2, 2},   // degenerate: trunc(sqrt(5))
        // Beside a vertical segment: d1 = d2 = trunc(sqrt(41)) = 6 and the
        // angle's cosine 4/6 give 4, the true distance as well.
        {4, 5, 0, 0, 0, 10, 4},
        // The truncated end distance shows: d = trunc(sqrt(34)) = 5 and
        // cos = 5/5 give 0.
        {5, 3, 0, 0, 10, 0, 0},
        {5, 4, 0, 0, 10, 0, int(std::sin(std::acos(5.0 / 6.0)) * 6)},
    };
    for (const auto& r : rows)
        EXPECT_EQ(PointToSegmentDistance(r[0], r[1], r[2], r[3], r[4], r[5]), r[6])
            << r[0] << "," << r[1];
    // Ends as far apart as ints go (coordinates of a damaged file): no
    // overflow; the rule's rounded pi makes the answer coarse at that scale.
    const int far = PointToSegmentDistance(0, 5, INT_MIN, 0, INT_MAX, 0);
    EXPECT_TRUE(far >= 0 && far < 100000) << far;
}

TEST(AttitudeShapes, HitTestsUseTheToleranceRectangleAndDistance)
{
    // Pixels (0,100)-(100,100) with 100 px per radian and 1 px per mm.
    CAttitudeLine line = makeLine({0.0f, 100.0f}, {1.0f, 100.0f});
    // x, y, top depth, hit
    const int rows[][4] = {{0, 100, 0, 1},  {50, 109, 0, 1},  {50, 110, 0, 0},
                           {-9, 100, 0, 1}, {-10, 100, 0, 0}, {50, 0, 100, 1}};
    for (const auto& r : rows)
        EXPECT_EQ(line.HitTest(r[0], r[1], r[2], 100.0f, 1.0f), r[3]) << r[0] << "," << r[1];
    line.SetState(CAttitudeShape::StateHidden);
    EXPECT_EQ(line.HitTest(0, 100, 0, 100.0f, 1.0f), 0);

    CAttitudePolyline poly(3, 0, 1, kBlue);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(poly.AddPoint({float(i) * 0.1f, 100.0f + float(i)}), 1);
    EXPECT_EQ(poly.AddPoint({0.0f, 0.0f}), 0) << "ten points at most";
    EXPECT_EQ(poly.GetBoundRect(0, 100.0f, 1.0f), (PageRect{-5, 95, int(0.9f * 100 + 5), 114}));
    EXPECT_EQ(CAttitudePolyline(5, 0, 1, kBlue).GetBoundRect(0, 1.0f, 1.0f), PageRect{});
    const CAttitudePolyline single = makePolyline({{0.5f, 100.0f}});
    EXPECT_EQ(std::tuple(single.HitTest(50, 100, 0, 100.0f, 1.0f), single.IsInDepthRange(0, 1000)),
              std::tuple(0, false));

    const CAttitudePolyline vee = makePolyline({{0, 0}, {1, 100}, {2, 0}});
    EXPECT_EQ(vee.HitTest(150, 50, 0, 100.0f, 1.0f), 1) << "second segment";
    EXPECT_EQ(vee.HitTest(100, 20, 0, 100.0f, 1.0f), 0) << "inside the vee, off both arms";
    EXPECT_EQ(std::tuple(vee.IsInDepthRange(0, 100), vee.IsInDepthRange(1, 100)),
              std::tuple(true, false));
}

TEST(AttitudeDrawing, LinesHandlesCirclesInversionAndHiddenShapes)
{
    // Coincident points draw a red circle within 5 px of (100, 100).
    const QImage dot = drawn([](QPainter& p) {
        makeLine({1.0f, 100.0f}, {1.0f, 100.0f}).Draw(p, 0, 1000, 100.0f, 1.0f, 1);
    });
    EXPECT_GT(countPixels(dot, qRgb(255, 0, 0)), 8);
    EXPECT_EQ(std::tuple(countPixels(dot, kRgbBlue), countNonWhite(dot)),
              std::tuple(0, countNonWhite(dot.copy(95, 95, 11, 11))));

    CAttitudeLine line = makeLine({0.2f, 50.0f}, {1.8f, 150.0f});
    auto draw = [&](int state, int mode = 1) {
        line.SetState(state);
        return drawn([&](QPainter& p) {
            line.Draw(p, 0, 1000, 100.0f, 1.0f, mode);
            const int area[4] = {0, 0, 200, 1000};
            if (mode == 0) {
                EXPECT_GT(countPixels(*static_cast<QImage*>(p.device()), qRgb(0, 0, 0)), 100);
                line.Draw(p, 0, 1000, 100.0f, 1.0f, mode);
            } else if (state == CAttitudeShape::StateHidden) {
                line.DrawLabel(p, area, 100.0f, 1.0f, 1);
            }
        });
    };
    const int plain = countPixels(draw(CAttitudeShape::StateNormal), kRgbBlue);
    EXPECT_GT(plain, 100);
    // The handles add blue pixels around both ends (20,50) and (180,150).
    const QImage handles = draw(CAttitudeShape::StateSelected);
    EXPECT_GT(countPixels(handles, kRgbBlue), plain);
    EXPECT_EQ(handles.pixel(24, 50), kRgbBlue);
    EXPECT_EQ(countNonWhite(draw(CAttitudeShape::StateHidden)), 0);
    EXPECT_EQ(countNonWhite(draw(CAttitudeShape::StateNormal, 0)), 0) << "inverting twice restores";

    // A polyline of one vertex draws nothing, selected or not, label or not.
    CAttitudePolyline poly = makePolyline({{1.0f, 100.0f}});
    poly.SetState(CAttitudeShape::StateSelected);
    EXPECT_EQ(countNonWhite(drawn([&](QPainter& p) {
                  poly.Draw(p, 0, 1000, 100.0f, 1.0f, 1);
                  const int area[4] = {100, 0, 200, 1000};
                  poly.DrawLabel(p, area, 100.0f, 1.0f, 1);
              })),
              0);
}

TEST(AttitudeDrawing, LabelLeaderStartsAtMinus60WhenTheAreaStartsAtZero)
{
    CAttitudeLine line = makeLine({0.5f, 100.0f}, {0.2f, 50.0f});
    const QImage img = drawn(
        [&](QPainter& p) {
            p.translate(100, 0);
            const int area[4] = {0, 0, 100, 1000};
            line.DrawLabel(p, area, 100.0f, 1.0f, 1);
            line.DrawLabel(p, nullptr, 100.0f, 1.0f, 1); // nothing
        },
        300);
    // Anchor: the point with the larger x, (0.5, 100) -> leader at y 100 from
    // x -60 to -60 + 150.
    EXPECT_EQ(std::tuple(img.pixel(100 - 60, 100), img.pixel(100 - 61, 100),
                         img.pixel(100 + 80, 100), img.pixel(100 + 95, 100)),
              std::tuple(kRgbBlue, kWhite, kRgbBlue, kWhite));
}

// --- attitude rule -----------------------------------------------------------

TEST(Attitude, ExampleWithInclinationDeclinationAndInclinedHole)
{
    // Picked at (0, 1000) and (pi, 1100) in a hole of 100 mm.
    CAttitudeLine line = makeLine({0.0f, 1000.0f}, {kPiF, 1100.0f}, 12);
    int dir = -1, dip = -1;
    EXPECT_EQ(line.ComputeDip(50, &dir, &dip), 1);
    EXPECT_EQ(std::tuple(dir, dip), std::tuple(180, 45));
    // inclination, inclined direction, declination, dip direction and angle
    const std::tuple<float, float, float, const char*> rows[] = {
        {0, 0, 0, "180° 45°"},     {0, 0, 200, "340° 45°"}, // 180 - 200 wraps
        {50, 0, 0, "180° 5°"},                              // |45 - 50|
        {0, 200.5f, 0, "20° 45°"},                          // trunc(180 + 200.5) - 360
        {0, 180, 0, "360° 45°"},                            // exactly 360 stays
    };
    for (const auto& [inclination, inclined, declination, expected] : rows) {
        line.UpdateAttitude(100, inclination, inclined, declination);
        EXPECT_EQ(QStringList({line.GetText(TextId), line.GetText(TextDepthRange),
                               line.GetText(TextDipDirection) + " " + line.GetText(TextDipAngle)}),
                  QStringList({"12", "1.00-1.10", QString::fromUtf8(expected)}))
            << inclination << " " << inclined << " " << declination;
    }
}

TEST(Attitude, DegenerateChordsAndRadius)
{
    const std::tuple<CShapePoint, CShapePoint, int, int, int> rows[] = {
        // two points, radius, dip, direction (-1: not looked at)
        {{1, 500}, {2, 500}, 35, 0, -1},                            // same depth
        {{1, 500}, {1, 500}, 35, 0, -1},                            // identical points
        {{1, 500}, {1, 600}, 35, 90, int(1.0 * 57.29582790879778)}, // same azimuth
        {{1, 500}, {2, 600}, 0, 90, -1},                            // no radius
    };
    for (const auto& [a, b, radius, dip, direction] : rows) {
        int dir = -1, angle = -1;
        makeLine(a, b).ComputeDip(radius, &dir, &angle);
        EXPECT_EQ(std::tuple(angle, direction < 0 ? -1 : dir), std::tuple(dip, direction))
            << a.x << "," << a.y << " " << b.x << "," << b.y;
    }
    // An opening diameter of 71 uses R = 35 like 70, not 35.5.
    auto line = [] { return makeLine({0.0f, 1000.0f}, {2.0f, 1037.0f}); };
    EXPECT_EQ(dipOf(line(), 70), dipOf(line(), 71));
    EXPECT_NE(dipOf(line(), 70), dipOf(line(), 72));
}

TEST(Attitude, PolylineUsesDeepestAndShallowestAndItsOwnId)
{
    ResetShapeId();
    CAttitudePolyline poly = makePolyline({{0.3f, 1000.0f}, {2.0f, 1090.0f}}, NextShapeId());
    CAttitudeLine line = makeLine({0.3f, 1000.0f}, {2.0f, 1090.0f}, 99);
    poly.UpdateAttitude(100, 3.5f, 0.0f, 10.0f);
    line.UpdateAttitude(100, 3.5f, 0.0f, 10.0f);
    EXPECT_EQ(poly.GetText(TextId), "0");
    for (int t = TextDepthRange; t <= TextDescription; ++t)
        EXPECT_EQ(poly.GetText(ShapeText(t)), line.GetText(ShapeText(t)));
    EXPECT_EQ(NextShapeId(), 1) << "the temporary line takes no id";

    // Intermediate vertices do not count; ties: deepest first of them,
    // shallowest the last vertex when it is among them.
    EXPECT_EQ(
        dipOf(makePolyline({{0.5f, 1000.0f}, {1.0f, 1100.0f}, {1.5f, 1100.0f}, {2.5f, 1000.0f}})),
        dipOf(makeLine({1.0f, 1100.0f}, {2.5f, 1000.0f})));

    // Fewer than 2 vertices: nothing changes. A line's update empties the
    // description that a recalculation keeps.
    CAttitudePolyline lone = makePolyline({{1.0f, 1.0f}});
    lone.SetDescription(QStringLiteral("x"));
    lone.UpdateAttitude(100, 0, 0, 0);
    EXPECT_EQ(std::tuple(lone.GetText(TextDescription), lone.GetText(TextDipAngle)),
              std::tuple(QStringLiteral("x"), QString()));
    line.SetDescription(QStringLiteral("裂隙"));
    line.UpdateAttitude(100, 0, 0, 0);
    EXPECT_TRUE(line.GetText(TextDescription).isEmpty());
}

TEST(Attitude, RecoveredFromTheComputedTraceOfKnownPlanes)
{
    // z(theta) = z0 + R tan(dip) cos(theta - direction): deepest at the
    // direction. Half-degree angles: whole degrees would sit on the truncation
    // edge.
    constexpr double kPi = 3.14159265358979;
    constexpr int kDiameter = 76;
    const std::pair<double, double> planes[] = {{35.5, 120.5}, {10.5, 0.5},   {60.5, 270.5},
                                                {45.5, 180.5}, {20.5, 359.5}, {70.5, 33.5}};
    for (const auto& [dip, direction] : planes) {
        auto wall = [&](double thetaDeg) {
            const double t = std::fmod(thetaDeg + 720.0, 360.0);
            const double z = 5000.0 + kDiameter / 2 * std::tan(dip * kPi / 180) *
                                          std::cos((t - direction) * kPi / 180);
            return CShapePoint(float(t * kPi / 180), float(z));
        };
        const QString expected = QStringLiteral("%1° %2°").arg(int(direction)).arg(int(dip));
        EXPECT_EQ(
            dipOf(CAttitudeLine(0, wall(direction + 180.0), wall(direction), 0, 1, 0), kDiameter),
            expected);
        // A polyline along the trace finds the same two points among others.
        CAttitudePolyline poly(1, 0, 1, 0);
        for (int k = 0; k < 10; ++k)
            poly.AddPoint(wall(direction + 180.0 + 36.0 * k));
        EXPECT_EQ(dipOf(std::move(poly), kDiameter), expected);
    }
}
