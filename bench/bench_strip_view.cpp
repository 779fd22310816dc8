// A live strip taken into the strip view (insertion, stitch against the strip
// before it, paging, and while recording the page saves and the index) as a
// share of the 40 ms between frames, against the data set's bare insertion
// and stitch in the same run. Strips 720 columns wide, 120 rows, overlapping
// by 30 rows, ten to a page.

#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "core/survey_params.h"

#include "bench_main.h"
#include "support/scripted_prompter.h"
#include "support/synthetic_borehole.h"

#include <QTemporaryDir>

#include <chrono>
#include <vector>

using namespace bc;
using bc::test::SyntheticBorehole;

namespace {

constexpr int kWidth = 720;
constexpr int kRows = 120;
constexpr int kOverlap = 30;
constexpr int kCycle = 40; // distinct strips, used over and over
constexpr double kFrameMs = 40.0;

// Consecutive strips of the wall; strip i of a climb shows the wall above
// strip i - 1.
std::vector<CUnWrapImage> makeStrips(bool up)
{
    const SyntheticBorehole wall(kWidth, kCycle * kRows, 11, 2);
    std::vector<CUnWrapImage> strips;
    for (int i = 0; i < kCycle; ++i) {
        const int n = up ? kCycle - 1 - i : i;
        strips.push_back(wall.strip(0, n * (kRows - kOverlap), kRows));
    }
    return strips;
}

std::unique_ptr<CUnWrapImage> nextStrip(const std::vector<CUnWrapImage>& strips, int64_t i, bool up)
{
    auto item = std::make_unique<CUnWrapImage>(strips[size_t(i % kCycle)]);
    item->depthKey = int32_t(up ? 100'000'000 - 200 * i : 1000 + 200 * i);
    return item;
}

// Hands strip after strip to `add`, timing only `add`; `after` runs untimed
// after each. Reports the mean time and its share of the frame time.
template <class Add, class After>
void timeInsertions(benchmark::State& state, bool up, Add add, After after)
{
    const std::vector<CUnWrapImage> strips = makeStrips(up);
    std::chrono::nanoseconds spent{0};
    int64_t i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto item = nextStrip(strips, i++, up);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        const int index = add(std::move(item));
        spent += std::chrono::steady_clock::now() - start;
        state.PauseTiming();
        after(index);
        state.ResumeTiming();
    }
    const double ms =
        double(spent.count()) / 1e6 / double(std::max<int64_t>(1, state.iterations()));
    state.counters["ms"] = ms;
    state.counters["frame%"] = 100.0 * ms / kFrameMs;
}

// Arguments: form mode (1 live, 2 recording), direction (0 down, 1 up).
void StripView_AddCapturedImage(benchmark::State& state)
{
    const int mode = int(state.range(0));
    const bool up = state.range(1) == 1;
    bc::test::ScriptedPrompter prompter;
    QTemporaryDir dir;
    CSurveyParams settings;
    settings.moveDirection = up ? 1 : 0;
    settings.itemsPerPage = 10;
    WorkspaceContext ctx;
    ctx.settings = &settings;
    ctx.formMode = [mode] { return mode; };
    ctx.recordingSfaPath = dir.filePath(QStringLiteral("bench.sfa"));
    ctx.recordingFolder = dir.path();
    CUnWrapView view(ctx);
    view.resize(860, 450);
    timeInsertions(
        state, up,
        [&](std::unique_ptr<CUnWrapImage> item) {
            view.AddCapturedImage(std::move(item));
            return 0;
        },
        [](int) {});
    state.counters["shown"] = view.GetData()->GetItem(1)->shownHeight;
}

// The peer: the data set's own insertion and stitch against the strip
// before (or, climbing, below) it, with no paging, painting or saving.
void DataSet_InsertAndStitch(benchmark::State& state)
{
    const bool up = state.range(1) == 1;
    CUnWrapData data{QString(), QString()};
    StitchWorkArea work;
    timeInsertions(
        state, up,
        [&](std::unique_ptr<CUnWrapImage> item) {
            const int index = data.InsertImage(std::move(item));
            if (up)
                data.StitchItem(index + 1, index, work, 16, 10);
            else
                data.StitchItem(index, index - 1, work, 16, 10);
            return index;
        },
        // Keep memory as the view keeps it: one page of pixels.
        [&](int index) {
            if (CUnWrapImage* old = data.GetItem(up ? index + 10 : index - 10))
                old->freePixels();
        });
    state.counters["shown"] = data.GetItem(1)->shownHeight;
}

void cases(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"mode", "up"});
    b->Args({1, 0});
    b->Args({2, 0});
    b->Args({1, 1});
    b->Args({2, 1});
    b->Unit(benchmark::kMicrosecond);
    b->Iterations(2000);
}

void peerCases(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"mode", "up"});
    b->Args({0, 0});
    b->Args({0, 1});
    b->Unit(benchmark::kMicrosecond);
    b->Iterations(2000);
}

BENCHMARK(DataSet_InsertAndStitch)->Apply(peerCases);
BENCHMARK(StripView_AddCapturedImage)->Apply(cases);

} // namespace

BC_BENCHMARK_MAIN()
