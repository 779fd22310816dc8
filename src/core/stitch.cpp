// The stitch of consecutive strips: find the rows at the top of the current
// strip that repeat the bottom of the previous one, cross-fade them into the
// previous strip and hide them in the current one.

#include "core/unwrap_image.h"

#include <algorithm>
#include <cstdlib>

namespace bc {

namespace {

// Sum of absolute differences of `n` bytes.
inline unsigned sad(const uint8_t* a, const uint8_t* b, int n)
{
    unsigned s = 0;
    for (int i = 0; i < n; ++i)
        s += unsigned(std::abs(int(a[i]) - int(b[i])));
    return s;
}

constexpr unsigned kNoMatch = 100000;

} // namespace

void CUnWrapImage::StitchFeatureColumns(const CUnWrapImage& previous, int T, int columns[2])
{
    // A step of more than 50 across the three bytes of neighbouring pixels.
    int found = 0;
    const uint8_t* bottom = previous.row(0);
    for (int x = T; x < previous.width - T && found < 2;) {
        const uint8_t* p = bottom + 3 * x;
        const int s = std::abs(p[0] - p[3]) + std::abs(p[1] - p[4]) + std::abs(p[2] - p[5]);
        if (s > 50) {
            columns[found++] = x;
            x += T + 1;
        } else {
            ++x;
        }
    }
    if (found == 0) {
        columns[0] = previous.width / 2 - 1;
        columns[1] = previous.width / 2 + 29;
    } else if (found == 1) {
        columns[1] = columns[0] + 30;
    }
}

int CUnWrapImage::Stitch(CUnWrapImage* previous, StitchWorkArea& work, int T, int range)
{
    // Preconditions; a failure changes nothing.
    if (!previous || previous == this || previous->width != width || !bits || !previous->bits)
        return 0;
    if (T <= 0 || range < 0 || width <= 0 || T > width / 4)
        return 0;
    if (rows < 2 * T || previous->rows < T + 2)
        return 0;

    int features[2];
    StitchFeatureColumns(*previous, T, features);

    // Templates: T x T blocks of the previous strip's bottom rows, starting
    // T / 2 left of each feature, kept inside the row.
    const int rowBytes = T * 3;
    int starts[2];
    std::vector<uint8_t>* templates[2] = {&work.template1, &work.template2};
    for (int k = 0; k < 2; ++k) {
        starts[k] = std::clamp(features[k] - T / 2, 0, width - T);
        templates[k]->resize(size_t(T) * size_t(rowBytes));
        for (int j = 0; j < T; ++j)
            std::copy_n(previous->row(T - 1 - j) + 3 * starts[k], rowBytes,
                        templates[k]->data() + size_t(j) * rowBytes);
    }
    const uint8_t* t1 = work.template1.data();
    const uint8_t* t2 = work.template2.data();

    // Both windows are centred on their template's start and move together;
    // shifts that would put a block outside the row are skipped.
    const int lowShift = std::max(-range, -std::min(starts[0], starts[1]));
    const int highShift = std::min(range, width - T - std::max(starts[0], starts[1]));

    const int ylow = std::max(rows / 2, T);
    unsigned best = kNoMatch;
    int bestY = -1;
    for (int y = rows - 1; y > ylow; --y) {
        for (int d = lowShift; d <= highShift; ++d) {
            const int x1 = 3 * (starts[0] + d);
            const int x2 = 3 * (starts[1] + d);
            unsigned cost = 0;
            for (int j = 0; j < T && cost < best; ++j) {
                const uint8_t* line = row(y - j);
                cost += sad(line + x1, t1 + size_t(j) * rowBytes, rowBytes);
                cost += sad(line + x2, t2 + size_t(j) * rowBytes, rowBytes);
            }
            if (cost < best) {
                best = cost;
                bestY = y;
            }
        }
    }

    if (best < kNoMatch) {
        const int n = rows - bestY + T - 1;
        BlendOverlap(previous, n);
        shownHeight = rows - n;
    }
    header.setSize(width, shownHeight);
    return 1;
}

void CUnWrapImage::BlendOverlap(CUnWrapImage* previous, int n)
{
    if (!previous || previous == this || !bits || !previous->bits || n <= 0 ||
        previous->width != width)
        return;
    // The source rows start n rows below the top of this strip.
    if (n > rows)
        return;
    int m = n;
    if (unsigned(m) > unsigned(previous->shownHeight))
        m = previous->shownHeight - 3;
    m = std::min(m, previous->rows);
    if (m == 1 || m <= 0)
        return;

    const int bytes = width * 3;
    for (int i = 0; i < m; ++i) {
        const float w = float(i) / float(m - 1);
        const float keep = 1.0f - w;
        const uint8_t* src = row(rows - n + i);
        uint8_t* dst = previous->row(i);
        for (int b = 0; b < bytes; ++b)
            dst[b] = uint8_t(float(src[b]) * keep + float(dst[b]) * w);
    }
}

} // namespace bc
