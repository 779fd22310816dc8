#include "support/synthetic_borehole.h"

#include "support/strip_fill.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace bc::test {

namespace {

constexpr double kPi = 3.14159265358979323846;

uint32_t hash(uint32_t seed, uint32_t x, uint32_t y, uint32_t c)
{
    uint32_t h = seed * 0x9E3779B9u ^ x * 0x85EBCA6Bu ^ y * 0xC2B2AE35u ^ c * 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

} // namespace

SyntheticBorehole::SyntheticBorehole(int circumference, int length, uint32_t seed, int grain)
    : circumference_(circumference), length_(length),
      wall_(size_t(circumference) * size_t(length) * 3)
{
    grain = std::max(grain, 1);
    // Lattice columns wrap around the hole.
    const int latticeCols = std::max(1, (circumference + grain - 1) / grain);
    for (int y = 0; y < length; ++y) {
        const int ly = y / grain;
        const double fy = double(y % grain) / grain;
        for (int x = 0; x < circumference; ++x) {
            const int lx = x / grain;
            const double fx = double(x % grain) / grain;
            for (int c = 0; c < 3; ++c) {
                auto v = [&](int i, int j) {
                    return double(hash(seed, uint32_t(i % latticeCols), uint32_t(j), uint32_t(c)) &
                                  0xFF);
                };
                const double top = v(lx, ly) * (1 - fx) + v(lx + 1, ly) * fx;
                const double bottom = v(lx, ly + 1) * (1 - fx) + v(lx + 1, ly + 1) * fx;
                wall_[(size_t(y) * circumference + x) * 3 + c] =
                    uint8_t(std::lround(top * (1 - fy) + bottom * fy));
            }
        }
    }
}

double SyntheticBorehole::fractureRow(const Fracture& f, double column) const
{
    const double radius = circumference_ / (2 * kPi); // pixels, so rows and columns agree
    const double azimuth = 2 * kPi * column / circumference_;
    return f.axisRow + radius * std::tan(f.dipAngleDeg * kPi / 180) *
                           std::cos(azimuth - f.dipDirectionDeg * kPi / 180);
}

void SyntheticBorehole::addFracture(const Fracture& f)
{
    for (int x = 0; x < circumference_; ++x) {
        const double centre = fractureRow(f, x);
        const int first = int(std::floor(centre - f.thickness / 2.0 + 0.5));
        for (int y = first; y < first + f.thickness; ++y) {
            if (y < 0 || y >= length_)
                continue;
            uint8_t* p = &wall_[(size_t(y) * circumference_ + x) * 3];
            p[0] = f.blue;
            p[1] = f.green;
            p[2] = f.red;
        }
    }
}

const uint8_t* SyntheticBorehole::wall(int column, int row) const
{
    column %= circumference_;
    if (column < 0)
        column += circumference_;
    row = std::clamp(row, 0, length_ - 1);
    return &wall_[(size_t(row) * circumference_ + column) * 3];
}

CUnWrapImage SyntheticBorehole::strip(int32_t depthKey, int top, int rows) const
{
    return filledStrip(
        circumference_, rows, [&](int x, int k, int c) { return wall(x, top + rows - 1 - k)[c]; },
        0, depthKey);
}

std::vector<uint8_t> SyntheticBorehole::ringFrame(const RingCamera& camera, int top,
                                                  int heading) const
{
    const int W = circumference_;
    // The unwrap's own step and phase: column c looks at angle c * step + phase.
    const double step = double(float(-6.28318 / W));
    const double phase = double(float((heading + 90) * 0.0055555557 * 3.14159));
    const double D = camera.aspectDivisor;
    std::vector<uint8_t> frame(size_t(camera.frameWidth) * camera.frameHeight * 3);
    for (int py = 0; py < camera.frameHeight; ++py) {
        for (int px = 0; px < camera.frameWidth; ++px) {
            // The unwrap truncates its sample point, so pixel (px, py) stands for
            // the points [px, px + 1) x [py, py + 1): use its middle.
            const double dx = (px + 0.5 - camera.centreX) * D;
            const double dy = camera.centreY - (py + 0.5);
            const double rho = std::hypot(dx, dy);
            const double t = std::atan2(dy, dx);
            double column = std::fmod((t - phase) / step, W);
            if (column < 0)
                column += W;
            // Strip buffer row of this radius, then the wall row it shows.
            const double k =
                camera.lensType == 0 ? camera.outerRadius - rho : rho - camera.innerRadius;
            const double wallRow = top + camera.rows() - 1 - k;
            const uint8_t* p = wall(int(std::lround(column)) % W, int(std::lround(wallRow)));
            std::memcpy(&frame[(size_t(py) * camera.frameWidth + px) * 3], p, 3);
        }
    }
    return frame;
}

std::vector<std::vector<uint8_t>>
SyntheticBorehole::consecutiveFrames(const RingCamera& camera, int firstTop, int count, int overlap,
                                     int firstHeading, int headingStep) const
{
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < count; ++i) {
        const int heading = ((firstHeading + i * headingStep) % 360 + 360) % 360;
        frames.push_back(ringFrame(camera, firstTop + i * (camera.rows() - overlap), heading));
    }
    return frames;
}

} // namespace bc::test
