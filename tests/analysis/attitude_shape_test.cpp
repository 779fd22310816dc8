// Attitude shapes: construction order, hit testing, drawing, records and the
// attitude rule.

#include "analysis/attitude_shape.h"
#include "analysis/byte_io.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace bc;

namespace {

constexpr float kPiF = 3.14159265f;
constexpr uint32_t kBlue = 0x00FF0000; // COLORREF of pure blue

QImage whiteImage(int w = 200, int h = 200)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

int countPixels(const QImage& img, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += (img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

int countNonWhite(const QImage& img)
{
    return img.width() * img.height() - countPixels(img, qRgb(255, 255, 255));
}

CAttitudeLine makeLine(CShapePoint a, CShapePoint b, int32_t id = 7)
{
    return CAttitudeLine(id, a, b, 0, 1, kBlue);
}

} // namespace

TEST(AttitudeLine, StoresTheDeeperPointFirst)
{
    const CAttitudeLine line = makeLine({1.0f, 500.0f}, {2.0f, 700.0f});
    EXPECT_EQ(line.point1(), CShapePoint(2.0f, 700.0f));
    EXPECT_EQ(line.point2(), CShapePoint(1.0f, 500.0f));

    const CAttitudeLine level = makeLine({3.0f, 500.0f}, {1.0f, 500.0f});
    EXPECT_EQ(level.point1(), CShapePoint(3.0f, 500.0f)) << "equal depths keep argument order";
    EXPECT_EQ(level.GetType(), CAttitudeShape::TypeLine);
    EXPECT_EQ(level.GetState(), CAttitudeShape::StateNormal);
    for (int t = TextId; t <= TextDescription; ++t)
        EXPECT_TRUE(level.GetText(ShapeText(t)).isEmpty());
}

TEST(ShapeIds, CounterHandsOutThenIncrements)
{
    ResetShapeId();
    EXPECT_EQ(NextShapeId(), 0);
    EXPECT_EQ(NextShapeId(), 1);
    ResetShapeId();
    EXPECT_EQ(NextShapeId(), 0);
}

TEST(PointToSegment, EndsBeyondAndAcross)
{
    // On an end point: 0.
    EXPECT_EQ(PointToSegmentDistance(0, 0, 0, 0, 10, 0), 0);
    EXPECT_EQ(PointToSegmentDistance(10, 0, 0, 0, 10, 0), 0);
    // Beyond an end: the distance to that end.
    EXPECT_EQ(PointToSegmentDistance(15, 0, 0, 0, 10, 0), 5);
    EXPECT_EQ(PointToSegmentDistance(-7, 0, 0, 0, 10, 0), 7);
    EXPECT_EQ(PointToSegmentDistance(15, 3, 0, 0, 10, 0), 5); // trunc(sqrt(34))
    // Ends as far apart as ints go (coordinates of a damaged file): no
    // overflow; the rule's rounded pi makes the answer coarse at that scale.
    const int far = PointToSegmentDistance(0, 5, INT_MIN, 0, INT_MAX, 0);
    EXPECT_GE(far, 0);
    EXPECT_LT(far, 100000);
    // Degenerate segment: distance to the point.
    EXPECT_EQ(PointToSegmentDistance(3, 4, 2, 2, 2, 2), 2); // trunc(sqrt(5))
    // Beside a vertical segment: d1 = d2 = trunc(sqrt(41)) = 6, E = end 2,
    // the angle between E->F and E->point is pi/2 - acos(4/6), so the
    // distance is 6 * 4/6 = 4 (the true distance as well).
    EXPECT_EQ(PointToSegmentDistance(4, 5, 0, 0, 0, 10), 4);
    // The truncated end distance shows: (5, 3) beside (0,0)-(10,0) has
    // d = trunc(sqrt(34)) = 5 and cos = 5/5, so the rule gives 0.
    EXPECT_EQ(PointToSegmentDistance(5, 3, 0, 0, 10, 0), 0);
    EXPECT_EQ(PointToSegmentDistance(5, 4, 0, 0, 10, 0),
              int(std::sin(std::acos(5.0 / 6.0)) * 6)); // d = trunc(sqrt(41)) = 6
}

TEST(AttitudeLine, HitTestUsesTheToleranceRectangleAndDistance)
{
    // Pixels (0,100)-(100,100) with 100 px per radian and 1 px per mm.
    CAttitudeLine line = makeLine({0.0f, 100.0f}, {1.0f, 100.0f});
    EXPECT_EQ(line.HitTest(0, 100, 0, 100.0f, 1.0f), 1) << "on an end point";
    EXPECT_EQ(line.HitTest(50, 109, 0, 100.0f, 1.0f), 1);
    EXPECT_EQ(line.HitTest(50, 110, 0, 100.0f, 1.0f), 0) << "outside the grown rectangle";
    EXPECT_EQ(line.HitTest(-9, 100, 0, 100.0f, 1.0f), 1) << "9 px beyond the end";
    EXPECT_EQ(line.HitTest(-10, 100, 0, 100.0f, 1.0f), 0) << "10 px is not below the tolerance";
    // The page top moves the line up.
    EXPECT_EQ(line.HitTest(50, 0, 100, 100.0f, 1.0f), 1);
    line.SetState(CAttitudeShape::StateHidden);
    EXPECT_EQ(line.HitTest(0, 100, 0, 100.0f, 1.0f), 0);
}

TEST(AttitudeLine, BoundRectIsNormalised)
{
    const CAttitudeLine line = makeLine({0.5f, 200.0f}, {0.25f, 100.0f});
    const PageRect r = line.GetBoundRect(50, 100.0f, 2.0f);
    EXPECT_EQ(r.left, 25 - 5);
    EXPECT_EQ(r.right, 50 + 5);
    EXPECT_EQ(r.top, 100 - 5);
    EXPECT_EQ(r.bottom, 300 + 5);
    EXPECT_FALSE(r.isEmpty());
}

TEST(AttitudePolyline, CapacityBoundsAndHits)
{
    CAttitudePolyline poly(3, 0, 1, kBlue);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(poly.AddPoint({float(i) * 0.1f, 100.0f + float(i)}), 1);
    EXPECT_EQ(poly.AddPoint({0.0f, 0.0f}), 0);
    EXPECT_EQ(poly.points().size(), 10u);

    const PageRect r = poly.GetBoundRect(0, 100.0f, 1.0f);
    EXPECT_EQ(r, (PageRect{-5, 95, int(0.9f * 100.0f + 5.0f), 114}));

    CAttitudePolyline single(4, 0, 1, kBlue);
    single.AddPoint({0.5f, 100.0f});
    EXPECT_EQ(single.HitTest(50, 100, 0, 100.0f, 1.0f), 0);
    EXPECT_FALSE(single.IsInDepthRange(0, 1000));
    EXPECT_EQ(CAttitudePolyline(5, 0, 1, kBlue).GetBoundRect(0, 1.0f, 1.0f), PageRect{});

    CAttitudePolyline vee(6, 0, 1, kBlue);
    vee.AddPoint({0.0f, 0.0f});
    vee.AddPoint({1.0f, 100.0f});
    vee.AddPoint({2.0f, 0.0f});
    EXPECT_EQ(vee.HitTest(150, 50, 0, 100.0f, 1.0f), 1) << "second segment";
    EXPECT_EQ(vee.HitTest(100, 20, 0, 100.0f, 1.0f), 0) << "inside the vee, off both arms";
    EXPECT_TRUE(vee.IsInDepthRange(0, 100));
    EXPECT_FALSE(vee.IsInDepthRange(1, 100));
}

TEST(AttitudeDrawing, CoincidentPointsDrawARedCircle)
{
    QImage img = whiteImage();
    {
        QPainter p(&img);
        makeLine({1.0f, 100.0f}, {1.0f, 100.0f}).Draw(p, 0, 1000, 100.0f, 1.0f, 1);
    }
    EXPECT_GT(countPixels(img, qRgb(255, 0, 0)), 8);
    EXPECT_EQ(countPixels(img, qRgb(0, 0, 255)), 0);
    // Everything lies within 5 px of (100, 100).
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != qRgb(255, 255, 255)) {
                EXPECT_LE(std::abs(x - 100), 5);
                EXPECT_LE(std::abs(y - 100), 5);
            }
}

TEST(AttitudeDrawing, LineSelectedHiddenAndInverted)
{
    const CAttitudeLine line = makeLine({0.2f, 50.0f}, {1.8f, 150.0f});
    QImage plain = whiteImage();
    {
        QPainter p(&plain);
        line.Draw(p, 0, 1000, 100.0f, 1.0f, 1);
    }
    EXPECT_GT(countPixels(plain, qRgb(0, 0, 255)), 100);

    CAttitudeLine selected = line;
    selected.SetState(CAttitudeShape::StateSelected);
    QImage handles = whiteImage();
    {
        QPainter p(&handles);
        selected.Draw(p, 0, 1000, 100.0f, 1.0f, 1);
    }
    // The handles add blue pixels around both ends (20,50) and (180,150).
    EXPECT_GT(countPixels(handles, qRgb(0, 0, 255)), countPixels(plain, qRgb(0, 0, 255)));
    EXPECT_EQ(handles.pixel(24, 50), qRgb(0, 0, 255));

    CAttitudeLine hidden = line;
    hidden.SetState(CAttitudeShape::StateHidden);
    QImage none = whiteImage();
    {
        QPainter p(&none);
        hidden.Draw(p, 0, 1000, 100.0f, 1.0f, 1);
        const int area[4] = {0, 0, 200, 1000};
        hidden.DrawLabel(p, area, 100.0f, 1.0f, 1);
    }
    EXPECT_EQ(countNonWhite(none), 0);

    // Mode 0 inverts: drawing twice restores the image.
    QImage rubber = whiteImage();
    {
        QPainter p(&rubber);
        line.Draw(p, 0, 1000, 100.0f, 1.0f, 0);
        EXPECT_GT(countPixels(rubber, qRgb(0, 0, 0)), 100);
        line.Draw(p, 0, 1000, 100.0f, 1.0f, 0);
    }
    EXPECT_EQ(countNonWhite(rubber), 0);
}

TEST(AttitudeDrawing, OneVertexPolylineDrawsNothing)
{
    CAttitudePolyline poly(1, 0, 3, kBlue);
    poly.AddPoint({1.0f, 100.0f});
    poly.SetState(CAttitudeShape::StateSelected);
    QImage img = whiteImage();
    {
        QPainter p(&img);
        poly.Draw(p, 0, 1000, 100.0f, 1.0f, 1);
        const int area[4] = {100, 0, 200, 1000};
        poly.DrawLabel(p, area, 100.0f, 1.0f, 1);
    }
    EXPECT_EQ(countNonWhite(img), 0);
}

TEST(AttitudeDrawing, LabelLeaderStartsAtMinus60WhenTheAreaStartsAtZero)
{
    CAttitudeLine line = makeLine({0.5f, 100.0f}, {0.2f, 50.0f});
    QImage img = whiteImage(300, 200);
    {
        QPainter p(&img);
        p.translate(100, 0);
        const int area[4] = {0, 0, 100, 1000};
        line.DrawLabel(p, area, 100.0f, 1.0f, 1);
        EXPECT_EQ(line.GetState(), 1);
        line.DrawLabel(p, nullptr, 100.0f, 1.0f, 1); // nothing
    }
    // Anchor: the point with the larger x, (0.5, 100) -> leader at y 100 from
    // x -60 to -60 + 150.
    EXPECT_EQ(img.pixel(100 - 60, 100), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(100 - 61, 100), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(100 + 80, 100), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(100 + 95, 100), qRgb(255, 255, 255));
}

// --- attitude rule -----------------------------------------------------------

TEST(Attitude, PartExampleAndCorrections)
{
    // Picked at (0, 1000) and (pi, 1100) in a hole of 100 mm.
    CAttitudeLine line = makeLine({0.0f, 1000.0f}, {kPiF, 1100.0f}, 12);
    EXPECT_EQ(line.point1(), CShapePoint(kPiF, 1100.0f));
    int dir = -1, dip = -1;
    EXPECT_EQ(line.ComputeDip(50, &dir, &dip), 1);
    EXPECT_EQ(dip, 45);
    EXPECT_EQ(dir, 180);

    line.UpdateAttitude(100, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(line.GetText(TextId), "12");
    EXPECT_EQ(line.GetText(TextDepthRange), "1.00-1.10");
    EXPECT_EQ(line.GetText(TextDipDirection), "180°");
    EXPECT_EQ(line.GetText(TextDipAngle), "45°");

    line.UpdateAttitude(100, 0.0f, 0.0f, 200.0f);
    EXPECT_EQ(line.GetText(TextDipDirection), "340°") << "180 - 200 wraps to 340";

    line.UpdateAttitude(100, 50.0f, 0.0f, 0.0f);
    EXPECT_EQ(line.GetText(TextDipAngle), "5°") << "|45 - 50|";

    // An inclined hole adds its dip direction; above 360 wraps once.
    line.UpdateAttitude(100, 0.0f, 200.5f, 0.0f);
    EXPECT_EQ(line.GetText(TextDipDirection), "20°") << "trunc(180 + 200.5) - 360";
    line.UpdateAttitude(100, 0.0f, 180.0f, 0.0f);
    EXPECT_EQ(line.GetText(TextDipDirection), "360°") << "exactly 360 stays";
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
    w.writeF32(0.0f);
    w.writeF32(1000.0f);
    w.writeF32(kPiF / 2);
    w.writeF32(1100.0f);
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
    int dir = 0, dip = -1;
    makeLine({1.0f, 500.0f}, {2.0f, 500.0f}).ComputeDip(35, &dir, &dip);
    EXPECT_EQ(dip, 0) << "same depth";

    makeLine({1.0f, 500.0f}, {1.0f, 500.0f}).ComputeDip(35, &dir, &dip);
    EXPECT_EQ(dip, 0) << "identical points";

    makeLine({1.0f, 500.0f}, {1.0f, 600.0f}).ComputeDip(35, &dir, &dip);
    EXPECT_EQ(dip, 90) << "same azimuth, different depths";
    EXPECT_EQ(dir, int(1.0 * 57.29582790879778));

    makeLine({1.0f, 500.0f}, {2.0f, 600.0f}).ComputeDip(0, &dir, &dip);
    EXPECT_EQ(dip, 90) << "no radius";

    // An opening diameter of 71 uses R = 35 like 70, not 35.5.
    CAttitudeLine a = makeLine({0.0f, 1000.0f}, {2.0f, 1037.0f});
    CAttitudeLine b = a;
    CAttitudeLine c = a;
    a.UpdateAttitude(70, 0, 0, 0);
    b.UpdateAttitude(71, 0, 0, 0);
    c.UpdateAttitude(72, 0, 0, 0);
    EXPECT_EQ(a.GetText(TextDipAngle), b.GetText(TextDipAngle));
    EXPECT_NE(a.GetText(TextDipAngle), c.GetText(TextDipAngle));
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
    chain.AddPoint({0.5f, 1000.0f}); // shallow, tied with the last
    chain.AddPoint({1.0f, 1100.0f}); // deepest (first of the tie)
    chain.AddPoint({1.5f, 1100.0f});
    chain.AddPoint({2.5f, 1000.0f}); // shallow, last vertex: chosen
    chain.UpdateAttitude(100, 0, 0, 0);
    CAttitudeLine expected = makeLine({1.0f, 1100.0f}, {2.5f, 1000.0f});
    expected.UpdateAttitude(100, 0, 0, 0);
    EXPECT_EQ(chain.GetText(TextDipAngle), expected.GetText(TextDipAngle));
    EXPECT_EQ(chain.GetText(TextDipDirection), expected.GetText(TextDipDirection));

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

// --- records -----------------------------------------------------------------

namespace {

QByteArray polylineRecord(int pairs, float firstY = 100.0f)
{
    QByteArray bytes;
    ByteWriter w(bytes);
    w.writeI32(2);
    w.writeI32(1);
    w.writeI32(2);
    w.writeU32(0x0000FF);
    w.writeGbkString(QStringLiteral("1.00-1.10"));
    w.writeGbkString(QStringLiteral("180°"));
    w.writeGbkString(QStringLiteral("45°"));
    w.writeGbkString(QStringLiteral("张开裂隙"));
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
    EXPECT_EQ(bytes.left(4), QByteArray("\x01\x00\x00\x00", 4));

    ResetShapeId();
    NextShapeId();
    ByteReader r(bytes);
    QString error;
    std::unique_ptr<CAttitudeShape> back = ReadShapeRecord(r, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(back->GetId(), 1);
    EXPECT_EQ(back->GetText(TextId), "1");
    EXPECT_EQ(back->GetPenStyle(), 2);
    EXPECT_EQ(back->GetPenWidth(), 3);
    EXPECT_EQ(back->GetPenColor(), 0x00123456u);
    for (int t = TextDepthRange; t <= TextDescription; ++t)
        EXPECT_EQ(back->GetText(ShapeText(t)), line.GetText(ShapeText(t)));
    auto* backLine = dynamic_cast<CAttitudeLine*>(back.get());
    ASSERT_TRUE(backLine);
    EXPECT_EQ(backLine->point1(), line.point1());
    EXPECT_EQ(backLine->point2(), line.point2());
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
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_TRUE(r.atEnd());
    auto* p1 = dynamic_cast<CAttitudePolyline*>(first.get());
    auto* p2 = dynamic_cast<CAttitudePolyline*>(second.get());
    ASSERT_TRUE(p1 && p2);
    ASSERT_EQ(p1->points().size(), 10u);
    EXPECT_EQ(p1->points()[9], CShapePoint(2.25f, 109.0f));
    ASSERT_EQ(p2->points().size(), 3u);
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
    // A string length beyond the record, a negative one, a huge point count.
    QByteArray longString = full;
    longString[19] = char(0x7F); // first string length 0x7F00000A
    ByteReader r1(longString);
    EXPECT_FALSE(ReadShapeRecord(r1, nullptr));
    QByteArray zeroString = full;
    zeroString[16] = 0; // length 0: not even the NUL
    ByteReader r0(zeroString);
    EXPECT_FALSE(ReadShapeRecord(r0, nullptr));

    QByteArray negative = full;
    negative[19] = char(0xFF);
    ByteReader r2(negative);
    EXPECT_FALSE(ReadShapeRecord(r2, nullptr));

    QByteArray manyPoints = polylineRecord(0);
    manyPoints.chop(4);
    ByteWriter(manyPoints).writeI32(0x10000000);
    ByteReader r3(manyPoints);
    EXPECT_FALSE(ReadShapeRecord(r3, nullptr));

    QByteArray badType = full;
    badType[0] = 3;
    ByteReader r4(badType);
    QString error;
    EXPECT_FALSE(ReadShapeRecord(r4, &error));
    EXPECT_TRUE(error.contains("3"));
}
