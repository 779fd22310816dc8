#pragma once
// A synthetic borehole for tests: a wall of known texture with planar
// fractures at known dip direction and dip angle, the strips a perfect unwrap
// of it would give, and the ring frames the camera would see of it at a given
// depth and heading (the inverse of the ring unwrap, horizontal distances
// divided by the aspect divisor).
//
// Wall coordinates: column x in 0..circumference-1 is the azimuth 2*pi*x /
// circumference from the strip's left edge; row y grows with depth. A strip
// of the wall rows top..top+rows-1 holds the deepest row in buffer row 0, as
// strips are drawn bottom-up. Consecutive strips of `rows` rows overlapping by
// `overlap` rows start at top and top + rows - overlap.

#include "core/unwrap_image.h"

#include <cstdint>
#include <vector>

namespace bc::test {

struct Fracture {
    double axisRow = 0;         // wall row where the plane crosses the hole's axis
    double dipDirectionDeg = 0; // azimuth towards which the plane goes down
    double dipAngleDeg = 0;     // 0: straight across the hole
    int thickness = 3;          // rows of the trace
    uint8_t blue = 15, green = 15, red = 15;
};

// How the camera sees the wall.
struct RingCamera {
    int frameWidth = 720;
    int frameHeight = 576;
    int centreX = 360;
    int centreY = 288;
    int outerRadius = 250;
    int innerRadius = 130;
    float aspectDivisor = 1.0671141f;
    int lensType = 0; // 0: the deepest shown row at the outer radius
    int rows() const { return outerRadius - innerRadius + 1; }
};

class SyntheticBorehole {
  public:
    // A wall `circumference` pixels round and `length` rows deep, textured with
    // value noise whose lattice is `grain` pixels (1: every pixel independent).
    SyntheticBorehole(int circumference, int length, uint32_t seed = 1, int grain = 1);

    int circumference() const { return circumference_; }
    int length() const { return length_; }

    // Paints a fracture's trace into the wall.
    void addFracture(const Fracture& f);
    // The wall row of a fracture's trace at a (fractional) column.
    double fractureRow(const Fracture& f, double column) const;

    // Wall pixel (blue, green, red); the column wraps around, the row is
    // clamped to the wall.
    const uint8_t* wall(int column, int row) const;

    // The strip of the wall rows top..top+rows-1, rows padded to 4 bytes.
    CUnWrapImage strip(int32_t depthKey, int top, int rows) const;

    // The camera frame (top-down rows of frameWidth x 3 bytes, blue-green-red)
    // whose ring between the camera's radii shows the wall rows
    // top..top+camera.rows()-1, with compass heading `heading` in degrees.
    // Pixels off the ring show the wall continued inwards and outwards.
    std::vector<uint8_t> ringFrame(const RingCamera& camera, int top, int heading) const;

    // `count` consecutive frames whose strips overlap by `overlap` rows: frame
    // i shows the wall from row firstTop + i x (camera.rows() - overlap), with
    // heading firstHeading + i x headingStep (modulo 360).
    std::vector<std::vector<uint8_t>> consecutiveFrames(const RingCamera& camera, int firstTop,
                                                        int count, int overlap, int firstHeading,
                                                        int headingStep = 0) const;

  private:
    int circumference_;
    int length_;
    std::vector<uint8_t> wall_; // length_ rows of circumference_ x 3 bytes
};

} // namespace bc::test
