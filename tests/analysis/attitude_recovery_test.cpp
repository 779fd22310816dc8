// Attitudes of known planes: a fracture rendered into a synthetic borehole
// wall, picked at its trace's deepest and shallowest points, and a trace
// computed from the plane's equation.

#include "analysis/attitude_shape.h"
#include "support/synthetic_borehole.h"

#include <QString>

#include <gtest/gtest.h>

#include <cmath>

using namespace bc;

namespace {

constexpr double kPi = 3.14159265358979;

struct Plane {
    double dip;
    double direction;
};

// Half-degree angles: whole degrees would sit on the truncation edge.
const Plane kPlanes[] = {{35.5, 120.5}, {10.5, 0.5},  {60.5, 270.5},
                         {45.5, 180.5}, {20.5, 359.5}, {70.5, 33.5}};

QString degrees(double v)
{
    return QStringLiteral("%1°").arg(int(v));
}

} // namespace

TEST(AttitudeRecovery, FractureInASyntheticWall)
{
    // 800 columns round: radius 127.3 px; 1 px is 1 mm both ways, so the hole
    // has an opening diameter of 254 mm (the rule halves it to 127).
    constexpr int kCircumference = 800;
    constexpr int kLength = 720;
    constexpr int kDiameter = 254;
    for (const Plane& plane : kPlanes) {
        test::SyntheticBorehole wall(kCircumference, kLength, 7, 4);
        test::Fracture f;
        f.axisRow = 360;
        f.dipAngleDeg = plane.dip;
        f.dipDirectionDeg = plane.direction;
        f.thickness = 1;
        f.blue = 1;
        f.green = 254;
        f.red = 3;
        wall.addFracture(f);
        const CUnWrapImage strip = wall.strip(0, 0, kLength);

        // The trace's row in every column (buffer row 0 is the deepest row).
        std::vector<int> traceRow(kCircumference, -1);
        for (int y = 0; y < strip.rows; ++y)
            for (int x = 0; x < kCircumference; ++x) {
                const uint8_t* p = strip.row(y) + x * 3;
                if (p[0] == 1 && p[1] == 254 && p[2] == 3)
                    traceRow[size_t(x)] = kLength - 1 - y;
            }
        int deepest = 0, shallowest = 0;
        for (int x = 0; x < kCircumference; ++x) {
            ASSERT_GE(traceRow[size_t(x)], 0) << "trace in every column";
            if (traceRow[size_t(x)] > traceRow[size_t(deepest)])
                deepest = x;
            if (traceRow[size_t(x)] < traceRow[size_t(shallowest)])
                shallowest = x;
        }
        // Pick the middle of the flat run at each extreme, as a user would.
        auto runMiddle = [&](int x0) {
            const int row = traceRow[size_t(x0)];
            int left = 0, right = 0;
            while (left < kCircumference / 2 &&
                   traceRow[size_t((x0 - left - 1 + kCircumference) % kCircumference)] == row)
                ++left;
            while (right < kCircumference / 2 &&
                   traceRow[size_t((x0 + right + 1) % kCircumference)] == row)
                ++right;
            return std::fmod(x0 + (right - left) / 2.0 + kCircumference, kCircumference);
        };
        auto pick = [&](int x0) {
            const double column = runMiddle(x0);
            return CShapePoint(float(2.0 * (column / kCircumference) * 3.14159),
                               float(traceRow[size_t(x0)]));
        };
        CAttitudeLine line(0, pick(shallowest), pick(deepest), 0, 1, 0);
        line.UpdateAttitude(kDiameter, 0.0f, 0.0f, 0.0f);
        EXPECT_EQ(line.GetText(TextDipAngle), degrees(plane.dip)) << plane.dip;
        EXPECT_EQ(line.GetText(TextDipDirection), degrees(plane.direction)) << plane.direction;
    }
}

TEST(AttitudeRecovery, ComputedTraceOfAPlane)
{
    // z(theta) = z0 + R tan(delta) cos(theta - alpha): deepest at alpha.
    constexpr int kDiameter = 76;
    const double r = kDiameter / 2;
    for (const Plane& p : kPlanes) {
        auto wall = [&](double thetaDeg) {
            const double t = std::fmod(thetaDeg + 720.0, 360.0);
            const double z =
                5000.0 + r * std::tan(p.dip * kPi / 180) * std::cos((t - p.direction) * kPi / 180);
            return CShapePoint(float(t * kPi / 180), float(z));
        };
        CAttitudeLine line(0, wall(p.direction + 180.0), wall(p.direction), 0, 1, 0);
        line.UpdateAttitude(kDiameter, 0.0f, 0.0f, 0.0f);
        EXPECT_EQ(line.GetText(TextDipAngle), degrees(p.dip)) << p.dip;
        EXPECT_EQ(line.GetText(TextDipDirection), degrees(p.direction)) << p.direction;

        // A polyline along the trace finds the same two points among others.
        CAttitudePolyline poly(1, 0, 1, 0);
        for (int k = 0; k < 10; ++k)
            poly.AddPoint(wall(p.direction + 180.0 + 36.0 * k));
        poly.UpdateAttitude(kDiameter, 0.0f, 0.0f, 0.0f);
        EXPECT_EQ(poly.GetText(TextDipAngle), line.GetText(TextDipAngle));
        EXPECT_EQ(poly.GetText(TextDipDirection), line.GetText(TextDipDirection));
    }
}
