// The grabber's cost per 720 x 576 frame, with no request pending and with a
// continuous request (the copy into the shared frame), against a plain copy
// of the same bytes. The "period_share" counter is the time per frame as a
// share of the 40 ms frame period.

#include "acquisition/grabber_callback.h"
#include "acquisition/shared_frame.h"
#include "core/program_values.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 720;
constexpr int kHeight = 576;
constexpr int kStride = (kWidth * 3 + 3) / 4 * 4;

const std::vector<uchar>& testFrame()
{
    static const std::vector<uchar> frame = [] {
        std::vector<uchar> f(static_cast<std::size_t>(kStride) * kHeight);
        for (std::size_t i = 0; i < f.size(); ++i)
            f[i] = static_cast<uchar>(i * 7);
        return f;
    }();
    return frame;
}

void setPeriodShare(benchmark::State& state)
{
    // (iterations x 0.04 s) / elapsed time, inverted: the time per frame
    // over 40 ms.
    state.counters["period_share"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 0.040,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_GrabberNoRequest(benchmark::State& state)
{
    const auto& frame = testFrame();
    bc::oneShotRequest = false;
    bc::continuousRequest = false;
    for (auto _ : state)
        bc::grabberCallback().BufferCB(frame.data(), kWidth, kHeight, kStride);
    setPeriodShare(state);
}
BENCHMARK(BM_GrabberNoRequest);

void BM_GrabberContinuousRequest(benchmark::State& state)
{
    const auto& frame = testFrame();
    bc::oneShotRequest = false;
    for (auto _ : state) {
        bc::continuousRequest = true;
        bc::grabberCallback().BufferCB(frame.data(), kWidth, kHeight, kStride);
    }
    setPeriodShare(state);
    std::lock_guard<std::mutex> lock(bc::frameLock());
    benchmark::DoNotOptimize(bc::sharedFrame().pixels());
}
BENCHMARK(BM_GrabberContinuousRequest);

// The peer: one memcpy of the same frame into a packed buffer.
void BM_PlainFrameCopy(benchmark::State& state)
{
    const auto& frame = testFrame();
    std::vector<uchar> dst(static_cast<std::size_t>(kWidth) * 3 * kHeight);
    for (auto _ : state) {
        std::memcpy(dst.data(), frame.data(), dst.size());
        benchmark::ClobberMemory();
    }
    setPeriodShare(state);
}
BENCHMARK(BM_PlainFrameCopy);

} // namespace

BENCHMARK_MAIN();
