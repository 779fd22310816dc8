#pragma once
// A strip whose bytes a function gives: f(x, y, channel) for buffer row y.

#include "core/jpeg_file.h"
#include "core/unwrap_image.h"

#include <memory>

namespace bc::test {

// `rows` rows of `stride` bytes (0: padded to 4), shown whole.
template <typename F>
CUnWrapImage filledStrip(int w, int rows, F f, int stride = 0, int32_t depth = 0,
                         uint16_t angle = 0)
{
    if (stride == 0)
        stride = int(JpegFile::paddedStride(uint32_t(w)));
    CUnWrapImage s(depth, angle);
    std::unique_ptr<uint8_t[]> px(new uint8_t[size_t(stride) * rows]());
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                px[size_t(y) * stride + 3 * x + c] = uint8_t(f(x, y, c));
    s.adoptPixels(std::move(px), rows, stride);
    s.width = w;
    s.shownHeight = rows;
    s.header.setSize(w, rows);
    return s;
}

} // namespace bc::test
