// Attitudes of known planes, picked on a trace computed from the plane's
// equation.

#include "analysis/attitude_shape.h"

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
const Plane kPlanes[] = {{35.5, 120.5}, {10.5, 0.5},   {60.5, 270.5},
                         {45.5, 180.5}, {20.5, 359.5}, {70.5, 33.5}};

QString degrees(double v)
{
    return QStringLiteral("%1°").arg(int(v));
}

} // namespace

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
