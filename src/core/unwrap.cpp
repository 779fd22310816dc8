// The ring unwrap: one strip column per direction around the centre, one strip
// row per radius.

#include "core/jpeg_file.h"
#include "core/program_values.h"
#include "core/unwrap_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace bc {

namespace {

// Source offsets of one column's samples, radius by radius, clipped to the
// frame. Clipping before the truncation toward zero gives the same pixel as
// clipping after it. Built for the wider vector units too, when present,
// except under ThreadSanitizer, whose runtime is not up yet when the loader
// picks the variant.
#if defined(__SANITIZE_THREAD__)
#define BC_VECTOR_CLONES
#else
#define BC_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#endif
BC_VECTOR_CLONES void
columnOffsets(int32_t* offsets, int H, double q0, double dq, double ct, double st, double D,
              double cx, double cy, double maxX, double maxY, int32_t sourceStride)
{
    for (int k = 0; k < H; ++k) {
        const double qd = q0 + dq * k;
        double x = qd * ct / D + cx;
        double y = cy - qd * st;
        x = std::min(std::max(x, 0.0), maxX);
        y = std::min(std::max(y, 0.0), maxY);
        offsets[k] = int32_t(y) * sourceStride + int32_t(x) * 3;
    }
}

} // namespace

const uint8_t* CUnWrapImage::Unwrap(const uint8_t* source, int sourceWidth, int sourceHeight,
                                    int centreX, int centreY, int outerRadius, int innerRadius,
                                    int width_, int16_t angle_, ErrorReport* error,
                                    int sourceStride)
{
    return unwrapRing(source, sourceWidth, sourceHeight, centreX, centreY, outerRadius, innerRadius,
                      width_, angle_, error, sourceStride, false);
}

const uint8_t* CUnWrapImage::UnwrapInnerFirst(const uint8_t* source, int sourceWidth,
                                              int sourceHeight, int centreX, int centreY,
                                              int outerRadius, int innerRadius, int width_,
                                              int16_t angle_, ErrorReport* error, int sourceStride)
{
    return unwrapRing(source, sourceWidth, sourceHeight, centreX, centreY, outerRadius, innerRadius,
                      width_, angle_, error, sourceStride, true);
}

const uint8_t* CUnWrapImage::unwrapRing(const uint8_t* source, int sourceWidth, int sourceHeight,
                                        int centreX, int centreY, int outerRadius, int innerRadius,
                                        int W, int16_t angle_, ErrorReport* error, int sourceStride,
                                        bool innerFirst)
{
    // The radii first, as the user sees them corrected.
    const unsigned maxRadius = FrameFormat::maxOuterRadius();
    int R = outerRadius;
    if (unsigned(R) > maxRadius)
        R = int(std::min<unsigned>(maxRadius, unsigned(std::numeric_limits<int>::max() / 2)));
    int r = innerRadius;
    if (r > R) {
        r = R - 10;
        if (r < 0) {
            reportError(error, QStringLiteral("截取内径超过图片边界"), QStringLiteral("出错"),
                        0x10);
            return nullptr;
        }
    }

    // Sizes that cannot be unwrapped are refused.
    // Every source offset must fit an int32: the frame's bytes are bounded
    // before anything is multiplied in int.
    const int64_t rowBytes = int64_t(sourceWidth) * 3;
    const int64_t givenStride = sourceStride == 0 ? rowBytes : int64_t(sourceStride);
    const double D = double(FrameFormat::aspectDivisor());
    if (!source || W <= 0 || sourceWidth <= 0 || sourceHeight <= 0 || givenStride < rowBytes ||
        givenStride * sourceHeight > std::numeric_limits<int32_t>::max() || !(D > 0.0) ||
        !std::isfinite(D))
        return nullptr;
    sourceStride = int(givenStride);
    const int64_t H = int64_t(R) - r + 1;
    const uint64_t stripStride = (uint64_t(W) * 3u + 3u) & ~uint64_t(3);
    if (H <= 0 || uint64_t(H) > JpegFile::kMaxImageBytes ||
        stripStride > JpegFile::kMaxImageBytes ||
        stripStride * uint64_t(H) > JpegFile::kMaxImageBytes)
        return nullptr;

    const float step = float(-6.28318 / W);
    const float phase = float((angle_ + 90) * 0.0055555557 * 3.14159);

    // The buffer is reused while the geometry stays.
    if (!bits || width != W || rows != H || stride != int(stripStride)) {
        bits.reset();
        width = W;
        shownHeight = int(H);
        rows = 0;
        stride = 0;
        bits.reset(new (std::nothrow) uint8_t[stripStride * uint64_t(H)]);
        if (!bits)
            return nullptr;
        // Row padding is never sampled; keep it defined.
        std::memset(bits.get(), 0, stripStride * uint64_t(H));
    }
    width = W;
    shownHeight = int(H);
    rows = int(H);
    stride = int(stripStride);
    header.setSize(width, shownHeight);

    // The angle depends on the column only: one cosine and one sine per
    // column, kept while the width and the phase stay.
    if (trigWidth_ != W || trigPhase_ != phase || int(columnCos_.size()) != W) {
        columnCos_.resize(size_t(W));
        columnSin_.resize(size_t(W));
        for (int c = 0; c < W; ++c) {
            const double t = double(c) * double(step) + double(phase);
            columnCos_[size_t(c)] = std::cos(t);
            columnSin_[size_t(c)] = std::sin(t);
        }
        trigWidth_ = W;
        trigPhase_ = phase;
    }
    sampleScratch_.resize(size_t(H) * 8);

    const double cx = centreX;
    const double cy = centreY;
    const double maxX = sourceWidth - 1;
    const double maxY = sourceHeight - 1;
    const double* cosT = columnCos_.data();
    const double* sinT = columnSin_.data();
    int32_t* offsets = sampleScratch_.data();
    // Blocks of eight columns: first the source offsets of every sample of
    // the block (radius by radius, in vector registers), then the copies, row
    // by row. The samples of a block lie on a narrow wedge of the frame, so
    // the source rows they read stay in the cache.
    const size_t rowStep = size_t(stripStride);
    const int32_t lastWideRead = sourceStride * (sourceHeight - 1) + sourceWidth * 3 - 4;
    constexpr int kBlock = 8;
    for (int c0 = 0; c0 < W; c0 += kBlock) {
        const int n = std::min(kBlock, W - c0);
        for (int i = 0; i < n; ++i)
            columnOffsets(offsets + size_t(i) * size_t(H), int(H), innerFirst ? r : R,
                          innerFirst ? 1.0 : -1.0, cosT[c0 + i], sinT[c0 + i], D, cx, cy, maxX,
                          maxY, sourceStride);
        // Four bytes at a time: the fourth lands on the next column's first
        // byte, which is written afterwards; the strip's last column and the
        // frame's last pixel go three bytes at a time.
        const bool wide = c0 + n < W;
        for (int k = 0; k < H; ++k) {
            uint8_t* out = bits.get() + size_t(k) * rowStep + size_t(c0) * 3;
            const int32_t* o = offsets + k;
            for (int i = 0; i < n; ++i, out += 3, o += H) {
                if ((wide || i + 1 < n) && *o <= lastWideRead) {
                    uint32_t v;
                    std::memcpy(&v, source + *o, 4);
                    std::memcpy(out, &v, 4);
                } else {
                    std::memcpy(out, source + *o, 3);
                }
            }
        }
    }

    // What the loop leaves behind: its last sample, column and radius.
    const int lastQ = innerFirst ? R : r;
    unwrapX = int32_t(std::min(std::max(lastQ * cosT[W - 1] / D + cx, 0.0), maxX));
    unwrapY = int32_t(std::min(std::max(cy - lastQ * sinT[W - 1], 0.0), maxY));
    unwrapColumn = W;
    unwrapRadius = innerFirst ? R + 1 : r - 1;
    unwrapStep = step;
    unwrapPhase = phase;
    return bits.get();
}

} // namespace bc
