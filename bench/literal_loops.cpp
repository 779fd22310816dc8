#include "literal_loops.h"

#include "core/program_values.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace bc::test {

namespace {

template <bool trigPerSample>
int unwrapLoop(std::vector<uint8_t>& out, const uint8_t* source, int sourceWidth, int centreX,
               int centreY, int outerRadius, int innerRadius, int W, int16_t angle, bool innerFirst)
{
    int R = outerRadius;
    if (unsigned(R) > FrameFormat::maxOuterRadius())
        R = int(FrameFormat::maxOuterRadius());
    int r = innerRadius;
    if (r > R) {
        r = R - 10;
        if (r < 0)
            return 0;
    }
    if (W <= 0)
        return 0;
    const float D = FrameFormat::aspectDivisor();
    const float step = float(-6.28318 / W);
    const float phase = float((angle + 90) * 0.0055555557 * 3.14159);
    const int rows = R - r + 1;
    out.resize(size_t(W) * rows * 3);
    for (int c = 0; c < W; ++c) {
        for (int q = innerFirst ? r : R; innerFirst ? q <= R : q >= r; q += innerFirst ? 1 : -1) {
            double t = double(c) * step + phase;
            if constexpr (trigPerSample)
                asm volatile("" : "+x"(t)); // the compiler may not assume t is unchanged
            const int x = int(q * std::cos(t) / D + centreX);
            const int y = int(centreY - q * std::sin(t));
            const int row = innerFirst ? q - r : R - q;
            std::memcpy(&out[(size_t(row) * W + c) * 3], source + (size_t(y) * sourceWidth + x) * 3,
                        3);
        }
    }
    return rows;
}

} // namespace

int literalUnwrap(std::vector<uint8_t>& out, const uint8_t* source, int sourceWidth, int centreX,
                  int centreY, int outerRadius, int innerRadius, int W, int16_t angle,
                  bool innerFirst, bool trigPerSample)
{
    return trigPerSample ? unwrapLoop<true>(out, source, sourceWidth, centreX, centreY, outerRadius,
                                            innerRadius, W, angle, innerFirst)
                         : unwrapLoop<false>(out, source, sourceWidth, centreX, centreY,
                                             outerRadius, innerRadius, W, angle, innerFirst);
}

int literalStitch(CUnWrapImage& current, CUnWrapImage* previous, uint8_t* template1,
                  uint8_t* template2, uint8_t* candidate1, uint8_t* candidate2, int T, int range)
{
    if (!previous || previous->width != current.width || !current.hasPixels() ||
        !previous->hasPixels())
        return 0;
    const int width = current.width;
    if (unsigned(width) < 4u * T || unsigned(current.rows) < 2u * T ||
        unsigned(previous->rows) < unsigned(T) + 2)
        return 0;

    int f[2];
    CUnWrapImage::StitchFeatureColumns(*previous, T, f);
    uint8_t* templates[2] = {template1, template2};
    uint8_t* candidates[2] = {candidate1, candidate2};
    const int rowBytes = 3 * T;
    for (int k = 0; k < 2; ++k) {
        const int c = std::clamp(f[k] - T / 2, 0, width - T);
        for (int j = 0; j < T; ++j)
            std::memcpy(templates[k] + j * rowBytes, previous->row(T - 1 - j) + 3 * c, rowBytes);
    }
    const int s1 = std::max(f[0] - range, 0);
    const int s2 = std::max(f[1] - range, 0);
    const int e2 = std::min(f[1] + range, width - 1);
    const int ylow = std::max(current.rows / 2, T);
    unsigned best = 100000;
    int bestY = -1;
    for (int y = current.rows - 1; y > ylow; --y) {
        for (int m = 0; s2 + m < e2; ++m) {
            const int xs[2] = {s1 + m, s2 + m};
            if (xs[0] + T > width || xs[1] + T > width)
                continue;
            for (int k = 0; k < 2; ++k)
                for (int j = 0; j < T; ++j)
                    std::memcpy(candidates[k] + j * rowBytes, current.row(y - j) + 3 * xs[k],
                                rowBytes);
            unsigned cost = 0;
            for (int k = 0; k < 2; ++k)
                for (int i = 0; i < T * rowBytes; ++i)
                    cost += unsigned(std::abs(candidates[k][i] - templates[k][i]));
            if (cost < best) {
                best = cost;
                bestY = y;
            }
        }
    }
    if (best < 100000) {
        const int n = current.rows - bestY + T - 1;
        current.BlendOverlap(previous, n);
        current.shownHeight = current.rows - n;
    }
    current.header.setSize(current.width, current.shownHeight);
    return 1;
}

} // namespace bc::test
