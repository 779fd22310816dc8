// Attitude shapes: construction order, hit testing, drawing, records and the
// attitude rule.

#include "analysis/attitude_shape.h"
#include "analysis/byte_io.h"
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
const QRgb kWhite = qRgb(255, 255, 255);

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

QString dipOf(CAttitudeShape&& s, int diameter = 100)
{
    s.UpdateAttitude(diameter, 0, 0, 0);
    return s.GetText(TextDipDirection) + " " + s.GetText(TextDipAngle);
}

} // namespace

TEST(AttitudeLine, StoresTheDeeperPointFirstAndHasANormalisedBound)
{
    const CAttitudeLine line = makeLine({1.0f, 500.0f}, {2.0f, 700.0f});
    EXPECT_EQ(std::tuple(line.point1(), line.point2()),
              std::tuple(CShapePoint(2.0f, 700.0f), CShapePoint(1.0f, 500.0f)));
    const CAttitudeLine level = makeLine({3.0f, 500.0f}, {1.0f, 500.0f});
    EXPECT_EQ(level.point1(), CShapePoint(3.0f, 500.0f)) << "equal depths keep argument order";
    EXPECT_EQ(makeLine({0.5f, 200.0f}, {0.25f, 100.0f}).GetBoundRect(50, 100.0f, 2.0f),
              (PageRect{25 - 5, 100 - 5, 50 + 5, 300 + 5}));
}

TEST(PointToSegment, EndsBeyondAndAcross)
{
    const struct {
        int x, y, ax, ay, bx, by, distance;
    } rows[] = {
        {0, 0, 0, 0, 10, 0, 0},
        {10, 0, 0, 0, 10, 0, 0}, // on an end point
        {15, 0, 0, 0, 10, 0, 5},
        {-7, 0, 0, 0, 10, 0, 7}, // beyond an end: to that end
        {15, 3, 0, 0, 10, 0, 5}, // trunc(sqrt(34))
        {3, 4, 2, 2, 2, 2, 2},   // degenerate: trunc(sqrt(5))
        // Beside a vertical segment: d1 = d2 = trunc(sqrt(41)) = 6 and the
        // angle's cosine 4/6 give 4, the true distance as well.
        {4, 5, 0, 0, 0, 10, 4},
        // The truncated end distance shows: d = trunc(sqrt(34)) = 5, cos = 5/5: 0.
        {5, 3, 0, 0, 10, 0, 0},
        {5, 4, 0, 0, 10, 0, int(std::sin(std::acos(5.0 / 6.0)) * 6)},
    };
    for (const auto& r : rows)
        EXPECT_EQ(PointToSegmentDistance(r.x, r.y, r.ax, r.ay, r.bx, r.by), r.distance)
            << r.x << "," << r.y;
    // Ends as far apart as ints go (coordinates of a damaged file): no
    // overflow; the rule's rounded pi makes the answer coarse at that scale.
    const int far = PointToSegmentDistance(0, 5, INT_MIN, 0, INT_MAX, 0);
    EXPECT_TRUE(far >= 0 && far < 100000) << far;
}

TEST(AttitudeShapes, HitTestsUseTheToleranceRectangleAndDistance)
{
    // Pixels (0,100)-(100,100) with 100 px per radian and 1 px per mm.
    CAttitudeLine line = makeLine({0.0f, 100.0f}, {1.0f, 100.0f});
    const struct {
        int x, y, top, hit;
    } rows[] = {{0, 100, 0, 1},  {50, 109, 0, 1},  {50, 110, 0, 0},
                {-9, 100, 0, 1}, {-10, 100, 0, 0}, {50, 0, 100, 1}};
    for (const auto& r : rows)
        EXPECT_EQ(line.HitTest(r.x, r.y, r.top, 100.0f, 1.0f), r.hit) << r.x << "," << r.y;
    line.SetState(CAttitudeShape::StateHidden);
    EXPECT_EQ(line.HitTest(0, 100, 0, 100.0f, 1.0f), 0);

    CAttitudePolyline poly(3, 0, 1, kBlue);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(poly.AddPoint({float(i) * 0.1f, 100.0f + float(i)}), 1);
    EXPECT_EQ(poly.AddPoint({0.0f, 0.0f}), 0) << "ten points at most";
    EXPECT_EQ(poly.GetBoundRect(0, 100.0f, 1.0f), (PageRect{-5, 95, int(0.9f * 100 + 5), 114}));

    CAttitudePolyline single(4, 0, 1, kBlue);
    single.AddPoint({0.5f, 100.0f});
    EXPECT_EQ(single.HitTest(50, 100, 0, 100.0f, 1.0f), 0);
    EXPECT_FALSE(single.IsInDepthRange(0, 1000));
    EXPECT_EQ(CAttitudePolyline(5, 0, 1, kBlue).GetBoundRect(0, 1.0f, 1.0f), PageRect{});

    CAttitudePolyline vee(6, 0, 1, kBlue);
    for (const CShapePoint p : {CShapePoint(0, 0), CShapePoint(1, 100), CShapePoint(2, 0)})
        vee.AddPoint(p);
    EXPECT_EQ(vee.HitTest(150, 50, 0, 100.0f, 1.0f), 1) << "second segment";
    EXPECT_EQ(vee.HitTest(100, 20, 0, 100.0f, 1.0f), 0) << "inside the vee, off both arms";
    EXPECT_TRUE(vee.IsInDepthRange(0, 100));
    EXPECT_FALSE(vee.IsInDepthRange(1, 100));
}

TEST(AttitudeDrawing, LinesHandlesCirclesInversionAndHiddenShapes)
{
    // Coincident points draw a red circle within 5 px of (100, 100).
    const QImage dot = drawn([](QPainter& p) {
        makeLine({1.0f, 100.0f}, {1.0f, 100.0f}).Draw(p, 0, 1000, 100.0f, 1.0f, 1);
    });
    EXPECT_GT(countPixels(dot, qRgb(255, 0, 0)), 8);
    EXPECT_EQ(countPixels(dot, qRgb(0, 0, 255)), 0);
    for (int y = 0; y < dot.height(); ++y)
        for (int x = 0; x < dot.width(); ++x)
            if (dot.pixel(x, y) != kWhite)
                ASSERT_TRUE(std::abs(x - 100) <= 5 && std::abs(y - 100) <= 5) << x << "," << y;

    CAttitudeLine line = makeLine({0.2f, 50.0f}, {1.8f, 150.0f});
    auto draw = [&](int state, int mode = 1) {
        line.SetState(state);
        return drawn([&](QPainter& p) { line.Draw(p, 0, 1000, 100.0f, 1.0f, mode); });
    };
    const int plain = countPixels(draw(CAttitudeShape::StateNormal), qRgb(0, 0, 255));
    EXPECT_GT(plain, 100);
    // The handles add blue pixels around both ends (20,50) and (180,150).
    const QImage handles = draw(CAttitudeShape::StateSelected);
    EXPECT_GT(countPixels(handles, qRgb(0, 0, 255)), plain);
    EXPECT_EQ(handles.pixel(24, 50), qRgb(0, 0, 255));
    line.SetState(CAttitudeShape::StateHidden);
    EXPECT_EQ(countNonWhite(drawn([&](QPainter& p) {
                  line.Draw(p, 0, 1000, 100.0f, 1.0f, 1);
                  const int area[4] = {0, 0, 200, 1000};
                  line.DrawLabel(p, area, 100.0f, 1.0f, 1);
              })),
              0);
    // Mode 0 inverts: drawing twice restores the image.
    line.SetState(CAttitudeShape::StateNormal);
    EXPECT_EQ(countNonWhite(drawn([&](QPainter& p) {
                  line.Draw(p, 0, 1000, 100.0f, 1.0f, 0);
                  EXPECT_GT(countPixels(*static_cast<QImage*>(p.device()), qRgb(0, 0, 0)), 100);
                  line.Draw(p, 0, 1000, 100.0f, 1.0f, 0);
              })),
              0);

    // A polyline of one vertex draws nothing, selected or not, label or not.
    CAttitudePolyline poly(1, 0, 3, kBlue);
    poly.AddPoint({1.0f, 100.0f});
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
    EXPECT_EQ(line.GetState(), 1);
    // Anchor: the point with the larger x, (0.5, 100) -> leader at y 100 from
    // x -60 to -60 + 150.
    EXPECT_EQ(std::tuple(img.pixel(100 - 60, 100), img.pixel(100 - 61, 100),
                         img.pixel(100 + 80, 100), img.pixel(100 + 95, 100)),
              std::tuple(qRgb(0, 0, 255), kWhite, qRgb(0, 0, 255), kWhite));
}

// --- attitude rule -----------------------------------------------------------

TEST(Attitude, ExampleWithInclinationDeclinationAndInclinedHole)
{
    // Picked at (0, 1000) and (pi, 1100) in a hole of 100 mm.
    CAttitudeLine line = makeLine({0.0f, 1000.0f}, {kPiF, 1100.0f}, 12);
    int dir = -1, dip = -1;
    EXPECT_EQ(line.ComputeDip(50, &dir, &dip), 1);
    EXPECT_EQ(std::tuple(dir, dip), std::tuple(180, 45));
    const struct {
        float inclination, inclinedDirection, declination;
        const char16_t *direction, *dipAngle;
    } rows[] = {
        {0, 0, 0, u"180°", u"45°"},     {0, 0, 200, u"340°", u"45°"}, // 180 - 200 wraps
        {50, 0, 0, u"180°", u"5°"},                                   // |45 - 50|
        {0, 200.5f, 0, u"20°", u"45°"},                               // trunc(180 + 200.5) - 360
        {0, 180, 0, u"360°", u"45°"},                                 // exactly 360 stays
    };
    for (const auto& r : rows) {
        line.UpdateAttitude(100, r.inclination, r.inclinedDirection, r.declination);
        EXPECT_EQ(QStringList({line.GetText(TextId), line.GetText(TextDepthRange),
                               line.GetText(TextDipDirection), line.GetText(TextDipAngle)}),
                  QStringList({"12", "1.00-1.10", QString::fromUtf16(r.direction),
                               QString::fromUtf16(r.dipAngle)}))
            << r.inclination << " " << r.inclinedDirection << " " << r.declination;
    }
}

TEST(Attitude, InclinedHoleMirrorsAShallowFirstLine)
{
    // A record whose first point is the shallower one and lies left of the
    // second: the dip direction becomes inclined + 360 - direction.
    QByteArray bytes;
    ByteWriter w(bytes);
    w.writeI32(0);
    w.writeI32(1);
    w.writeU32(kBlue);
    for (int i = 0; i < 4; ++i)
        w.writeGbkString(QString());
    for (float v : {0.0f, 1000.0f, kPiF / 2, 1100.0f})
        w.writeF32(v);
    ByteReader r(bytes);
    CAttitudeLine line(1);
    ASSERT_TRUE(line.Read(r, nullptr));
    line.UpdateAttitude(100, 0.0f, 30.0f, 0.0f);
    // Deeper point at pi/2: 90 degrees; 30 + 360 - 90 = 300.
    EXPECT_EQ(line.GetText(TextDipDirection), "300°");
    EXPECT_EQ(line.GetText(TextDepthRange), "1.10-1.00");
}

TEST(Attitude, DegenerateChordsAndRadius)
{
    const struct {
        CShapePoint a, b;
        int radius, dip, direction; // direction -1: not looked at
    } rows[] = {
        {{1, 500}, {2, 500}, 35, 0, -1},                            // same depth
        {{1, 500}, {1, 500}, 35, 0, -1},                            // identical points
        {{1, 500}, {1, 600}, 35, 90, int(1.0 * 57.29582790879778)}, // same azimuth
        {{1, 500}, {2, 600}, 0, 90, -1},                            // no radius
    };
    for (const auto& r : rows) {
        int dir = -1, dip = -1;
        makeLine(r.a, r.b).ComputeDip(r.radius, &dir, &dip);
        EXPECT_EQ(dip, r.dip) << r.a.x << "," << r.a.y << " " << r.b.x << "," << r.b.y;
        if (r.direction >= 0) {
            EXPECT_EQ(dir, r.direction);
        }
    }
    // An opening diameter of 71 uses R = 35 like 70, not 35.5.
    auto line = [] { return makeLine({0.0f, 1000.0f}, {2.0f, 1037.0f}); };
    EXPECT_EQ(dipOf(line(), 70), dipOf(line(), 71));
    EXPECT_NE(dipOf(line(), 70), dipOf(line(), 72));
}

TEST(Attitude, PolylineUsesDeepestAndShallowestAndItsOwnId)
{
    ResetShapeId();
    CAttitudePolyline poly(NextShapeId(), 0, 1, kBlue);
    poly.AddPoint({0.3f, 1000.0f});
    poly.AddPoint({2.0f, 1090.0f});
    CAttitudeLine line = makeLine({0.3f, 1000.0f}, {2.0f, 1090.0f}, 99);
    poly.UpdateAttitude(100, 3.5f, 0.0f, 10.0f);
    line.UpdateAttitude(100, 3.5f, 0.0f, 10.0f);
    EXPECT_EQ(poly.GetText(TextId), "0");
    for (int t = TextDepthRange; t <= TextDescription; ++t)
        EXPECT_EQ(poly.GetText(ShapeText(t)), line.GetText(ShapeText(t)));
    EXPECT_EQ(NextShapeId(), 1) << "the temporary line takes no id";

    // Intermediate vertices do not count; ties: deepest first of them,
    // shallowest the last vertex when it is among them.
    CAttitudePolyline chain(5, 0, 1, kBlue);
    for (const CShapePoint p : {CShapePoint(0.5f, 1000.0f), CShapePoint(1.0f, 1100.0f),
                                CShapePoint(1.5f, 1100.0f), CShapePoint(2.5f, 1000.0f)})
        chain.AddPoint(p);
    EXPECT_EQ(dipOf(std::move(chain)), dipOf(makeLine({1.0f, 1100.0f}, {2.5f, 1000.0f})));

    CAttitudePolyline lone(8, 0, 1, kBlue);
    lone.AddPoint({1.0f, 1.0f});
    lone.SetDescription(QStringLiteral("x"));
    lone.UpdateAttitude(100, 0, 0, 0);
    EXPECT_EQ(lone.GetText(TextDescription), "x") << "fewer than 2 vertices: nothing changes";
    EXPECT_TRUE(lone.GetText(TextDipAngle).isEmpty());
}

TEST(Attitude, RecalcKeepsTheDescriptionUpdateEmptiesIt)
{
    CAttitudeLine line = makeLine({0.0f, 1000.0f}, {1.0f, 1100.0f});
    line.SetDescription(QStringLiteral("裂隙"));
    line.RecalcAttitude(100, 0, 0, 0);
    EXPECT_EQ(line.GetText(TextDescription), QStringLiteral("裂隙"));
    EXPECT_FALSE(line.GetText(TextDipAngle).isEmpty());
    line.UpdateAttitude(100, 0, 0, 0);
    EXPECT_TRUE(line.GetText(TextDescription).isEmpty());
}

TEST(Attitude, RecoveredFromTheComputedTraceOfKnownPlanes)
{
    // z(theta) = z0 + R tan(dip) cos(theta - direction): deepest at the direction.
    // Half-degree angles: whole degrees would sit on the truncation edge.
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

// --- records -----------------------------------------------------------------

namespace {

QByteArray polylineRecord(int pairs, float firstY = 100.0f)
{
    QByteArray bytes;
    ByteWriter w(bytes);
    for (uint32_t v : {2u, 1u, 2u, 0x0000FFu})
        w.writeU32(v);
    for (const char16_t* s : {u"1.00-1.10", u"180°", u"45°", u"张开裂隙"})
        w.writeGbkString(QString::fromUtf16(s));
    w.writeI32(pairs);
    for (int i = 0; i < pairs; ++i) {
        w.writeF32(0.25f * float(i));
        w.writeF32(firstY + float(i));
    }
    return bytes;
}

} // namespace

TEST(ShapeRecords, LineRoundTripsByteForByte)
{
    CAttitudeLine line(4, {0.5f, 1200.0f}, {1.5f, 1000.0f}, 2, 3, 0x00123456);
    line.UpdateAttitude(70, 0, 0, 0);
    line.SetDescription(QStringLiteral("破碎带"));
    QByteArray bytes;
    ByteWriter w(bytes);
    line.Write(w);
    EXPECT_EQ(bytes.left(16), QByteArray("\x01\0\0\0\x02\0\0\0\x03\0\0\0\x56\x34\x12\0", 16));

    ResetShapeId();
    NextShapeId();
    ByteReader r(bytes);
    QString error;
    std::unique_ptr<CAttitudeShape> back = ReadShapeRecord(r, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(
        std::tuple(back->GetId(), back->GetPenStyle(), back->GetPenWidth(), back->GetPenColor()),
        std::tuple(1, 2, 3, 0x00123456u));
    EXPECT_EQ(back->GetText(TextId), "1");
    for (int t = TextDepthRange; t <= TextDescription; ++t)
        EXPECT_EQ(back->GetText(ShapeText(t)), line.GetText(ShapeText(t)));
    auto* backLine = dynamic_cast<CAttitudeLine*>(back.get());
    ASSERT_TRUE(backLine);
    EXPECT_EQ(std::tuple(backLine->point1(), backLine->point2()),
              std::tuple(line.point1(), line.point2()));
    QByteArray again;
    ByteWriter w2(again);
    back->Write(w2);
    EXPECT_EQ(again, bytes);
}

TEST(ShapeRecords, TwelvePairsLoadAsTenAndTheNextRecordFollows)
{
    QByteArray bytes = polylineRecord(12) + polylineRecord(3, 500.0f);
    ByteReader r(bytes);
    auto first = ReadShapeRecord(r, nullptr);
    auto second = ReadShapeRecord(r, nullptr);
    EXPECT_TRUE(r.atEnd());
    auto* p1 = dynamic_cast<CAttitudePolyline*>(first.get());
    auto* p2 = dynamic_cast<CAttitudePolyline*>(second.get());
    ASSERT_TRUE(p1 && p2);
    ASSERT_EQ(std::tuple(p1->points().size(), p2->points().size()), std::tuple(10u, 3u));
    EXPECT_EQ(p1->points()[9], CShapePoint(2.25f, 109.0f));
    EXPECT_EQ(p2->points()[0], CShapePoint(0.0f, 500.0f));
    EXPECT_EQ(p1->GetText(TextDescription), QStringLiteral("张开裂隙"));
}

TEST(ShapeRecords, DamagedRecordsFailWithoutReadingPastTheEnd)
{
    const QByteArray full = polylineRecord(4);
    for (qsizetype n = 0; n < full.size(); ++n) {
        const QByteArray cut = full.left(n); // a copy: ASan sees any overrun
        ByteReader r(cut);
        QString error;
        EXPECT_FALSE(ReadShapeRecord(r, &error)) << "prefix " << n;
        EXPECT_FALSE(error.isEmpty());
    }
    // A string length beyond the record (0x7F00000A), none at all (not even
    // the NUL), a negative one, a huge point count, an unknown type.
    QByteArray manyPoints = polylineRecord(0);
    manyPoints.chop(4);
    ByteWriter(manyPoints).writeI32(0x10000000);
    const struct {
        int at;
        char value;
        QByteArray bytes;
    } rows[] = {{19, char(0x7F), full},
                {16, 0, full},
                {19, char(0xFF), full},
                {0, 2, manyPoints},
                {0, 3, full}};
    for (const auto& row : rows) {
        QByteArray bad = row.bytes;
        bad[row.at] = row.value;
        ByteReader r(bad);
        QString error;
        EXPECT_FALSE(ReadShapeRecord(r, &error)) << row.at;
        if (row.value == 3) {
            EXPECT_TRUE(error.contains("3"));
        }
    }
}
