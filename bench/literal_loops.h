#pragma once
// The unwrap and the stitch written out sample by sample, as the algorithms
// read, without the shortcuts of the program's own versions: the peers the
// benchmarks measure the program against.

#include "core/unwrap_image.h"

#include <cstdint>
#include <vector>

namespace bc::test {

// The ring unwrap with one cosine and one sine per sample, column by column,
// into packed rows of W x 3 bytes (`out` is reused when its size fits). No
// clipping: every sample must lie inside the frame. Reads the program-wide
// maximum radius and aspect divisor. Returns the row count, 0 when refused.
// With `trigPerSample` the cosine and sine are really evaluated for every
// sample; without it the compiler may move them out of the radius loop.
int literalUnwrap(std::vector<uint8_t>& out, const uint8_t* source, int sourceWidth, int centreX,
                  int centreY, int outerRadius, int innerRadius, int W, int16_t angle,
                  bool innerFirst, bool trigPerSample = true);

// The stitch with caller-supplied template and candidate buffers (T x T x 3
// bytes each), every candidate copied out and costed in full, and search
// windows starting at the feature column minus the range. Pairs whose block
// would pass the end of the row are skipped. Same result contract as
// CUnWrapImage::Stitch.
int literalStitch(CUnWrapImage& current, CUnWrapImage* previous, uint8_t* template1,
                  uint8_t* template2, uint8_t* candidate1, uint8_t* candidate2, int T, int range);

} // namespace bc::test
