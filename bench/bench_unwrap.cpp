// Ring unwrap of a 720 x 576 frame into 800 x 100 and 800 x 275 strips with
// the heading changing every frame, against (a) the sample-by-sample loop
// (one cosine and one sine per sample) and (b) a lookup-table remap of the
// same geometry, as an image library's remap does, which has to rebuild its
// table whenever the heading changes. The table's steady state (heading
// unchanged) is measured too, for reference.

#include "core/program_values.h"
#include "core/unwrap_image.h"

#include "literal_loops.h"
#include "support/synthetic_borehole.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

using namespace bc;
using bc::test::RingCamera;
using bc::test::SyntheticBorehole;

namespace {

constexpr int kFrameW = 720;
constexpr int kFrameH = 576;
constexpr int kCx = 360;
constexpr int kCy = 288;
constexpr int kWidth = 800;

const std::vector<uint8_t>& frame()
{
    static const std::vector<uint8_t> f = [] {
        FrameFormat::publishSize(kFrameW, kFrameH);
        SyntheticBorehole wall(kWidth, 1000, 3, 2);
        RingCamera cam;
        return wall.ringFrame(cam, 200, 0);
    }();
    return f;
}

// Radii of the two strip heights: 250..151 (100 rows), 284..10 (275 rows).
int outerOf(int rows)
{
    return rows == 100 ? 250 : 284;
}
int innerOf(int rows)
{
    return rows == 100 ? 151 : 10;
}

void Unwrap_Core(benchmark::State& state)
{
    const auto& f = frame();
    const int rows = int(state.range(0));
    CUnWrapImage s;
    int16_t heading = 0;
    for (auto _ : state) {
        heading = int16_t((heading + 1) % 360);
        benchmark::DoNotOptimize(s.Unwrap(f.data(), kFrameW, kFrameH, kCx, kCy, outerOf(rows),
                                          innerOf(rows), kWidth, heading));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Unwrap_Core)->Arg(100)->Arg(275)->Unit(benchmark::kMicrosecond);

// The loop as the algorithm reads it: one cosine and one sine per sample
// (second argument 1), and as the compiler is allowed to build it, with the
// cosine and sine of a column moved out of the radius loop (0).
void Unwrap_SampleLoop(benchmark::State& state)
{
    const auto& f = frame();
    const int rows = int(state.range(0));
    const bool trigPerSample = state.range(1) != 0;
    std::vector<uint8_t> out;
    int16_t heading = 0;
    for (auto _ : state) {
        heading = int16_t((heading + 1) % 360);
        benchmark::DoNotOptimize(test::literalUnwrap(out, f.data(), kFrameW, kCx, kCy,
                                                     outerOf(rows), innerOf(rows), kWidth, heading,
                                                     false, trigPerSample));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Unwrap_SampleLoop)
    ->ArgNames({"rows", "trigPerSample"})
    ->Args({100, 1})
    ->Args({275, 1})
    ->Args({100, 0})
    ->Args({275, 0})
    ->Unit(benchmark::kMicrosecond);

// A remap through a table of source offsets, one per strip pixel.
class TableRemap {
  public:
    void build(int R, int r, int W, int16_t heading)
    {
        const double D = FrameFormat::aspectDivisor();
        const float step = float(-6.28318 / W);
        const float phase = float((heading + 90) * 0.0055555557 * 3.14159);
        rows_ = R - r + 1;
        width_ = W;
        table_.resize(size_t(W) * rows_);
        for (int c = 0; c < W; ++c) {
            const double t = double(c) * step + phase;
            const double ct = std::cos(t), st = std::sin(t);
            for (int q = R; q >= r; --q) {
                const int x = std::clamp(int(q * ct / D + kCx), 0, kFrameW - 1);
                const int y = std::clamp(int(kCy - q * st), 0, kFrameH - 1);
                table_[size_t(R - q) * W + c] = (y * kFrameW + x) * 3;
            }
        }
    }
    void remap(const uint8_t* src, std::vector<uint8_t>& out) const
    {
        const size_t stride = (size_t(width_) * 3 + 3) & ~size_t(3);
        out.resize(stride * rows_);
        for (int k = 0; k < rows_; ++k) {
            uint8_t* o = out.data() + k * stride;
            const int32_t* t = table_.data() + size_t(k) * width_;
            for (int c = 0; c < width_; ++c, o += 3) {
                const uint8_t* s = src + t[c];
                o[0] = s[0];
                o[1] = s[1];
                o[2] = s[2];
            }
        }
    }

  private:
    std::vector<int32_t> table_;
    int rows_ = 0;
    int width_ = 0;
};

void Unwrap_TableRemap(benchmark::State& state)
{
    const auto& f = frame();
    const int rows = int(state.range(0));
    TableRemap remap;
    std::vector<uint8_t> out;
    int16_t heading = 0;
    for (auto _ : state) {
        heading = int16_t((heading + 1) % 360);
        remap.build(outerOf(rows), innerOf(rows), kWidth, heading);
        remap.remap(f.data(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Unwrap_TableRemap)->Arg(100)->Arg(275)->Unit(benchmark::kMicrosecond);

void Unwrap_TableRemapSameHeading(benchmark::State& state)
{
    const auto& f = frame();
    const int rows = int(state.range(0));
    TableRemap remap;
    remap.build(outerOf(rows), innerOf(rows), kWidth, 0);
    std::vector<uint8_t> out;
    for (auto _ : state) {
        remap.remap(f.data(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Unwrap_TableRemapSameHeading)->Arg(100)->Arg(275)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
