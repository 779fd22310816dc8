#pragma once
// From a point of the strip view to the wall: the scales a pick works with on
// the current page, and the wall coordinates of a logical page point.

#include "analysis/attitude_shape.h"
#include "analysis/page_painter.h"

#include <QPoint>

namespace bc {

class CUnWrapData;

// The page scales every shape operation of a pick is given.
struct PickScale {
    int topDepth = 0;    // mm at the page's top edge
    int bottomDepth = 0; // mm
    float pxPerRadian = 0.0f;
    float pxPerMm = 1.0f;
};
PickScale PickScaleOf(const PageViewState& state);

// Azimuth and depth of a logical page point ((0, 0) the top-left corner of
// the page's strips).
CShapePoint PickToWall(const QPoint& logical, const PageViewState& state);

// What a new attitude is computed with: the data set's opening diameter,
// hole inclination and inclined-hole dip direction, and the magnetic
// declination of the station.
struct AttitudeInputs {
    int openingDiameter = 70;
    float holeInclination = 0.0f;
    float inclinedHoleDipDirection = 0.0f;
    float declination = 0.0f;
};
AttitudeInputs AttitudeInputsOf(const CUnWrapData& data, float declination);

} // namespace bc
