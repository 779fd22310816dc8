// Stitch of two consecutive strips against the loop as the algorithm reads
// (every candidate copied out and costed in full, windows not centred) in the
// same run: 800 x 100 strips at T = 16, range 10, and the worst case of
// T = 32, range 40 with 275 rows. Strips of a textured wall overlapping by a
// known number of rows, and unrelated strips where nothing matches.

#include "core/unwrap_image.h"

#include "literal_loops.h"
#include "support/synthetic_borehole.h"

#include <benchmark/benchmark.h>

#include <vector>

using namespace bc;
using bc::test::SyntheticBorehole;

namespace {

struct Pair {
    CUnWrapImage previous;
    CUnWrapImage current;
};

// Arguments: T, range, rows, overlap (0: unrelated strips).
Pair makePair(int rows, int overlap)
{
    SyntheticBorehole wall(800, 1200, 9, 2);
    if (overlap > 0)
        return {wall.strip(1, 100, rows), wall.strip(2, 100 + rows - overlap, rows)};
    SyntheticBorehole other(800, 1200, 10, 2);
    return {wall.strip(1, 100, rows), other.strip(2, 100, rows)};
}

void Stitch_Core(benchmark::State& state)
{
    const int T = int(state.range(0)), range = int(state.range(1));
    const Pair original = makePair(int(state.range(2)), int(state.range(3)));
    Pair work = original;
    StitchWorkArea area;
    for (auto _ : state) {
        state.PauseTiming();
        work.previous.CopyFrom(original.previous);
        work.current.CopyFrom(original.current);
        state.ResumeTiming();
        benchmark::DoNotOptimize(work.current.Stitch(&work.previous, area, T, range));
    }
    state.counters["shown"] = work.current.shownHeight;
}

void Stitch_Literal(benchmark::State& state)
{
    const int T = int(state.range(0)), range = int(state.range(1));
    const Pair original = makePair(int(state.range(2)), int(state.range(3)));
    Pair work = original;
    std::vector<uint8_t> t1(T * T * 3), t2(T * T * 3), c1(T * T * 3), c2(T * T * 3);
    for (auto _ : state) {
        state.PauseTiming();
        work.previous.CopyFrom(original.previous);
        work.current.CopyFrom(original.current);
        state.ResumeTiming();
        benchmark::DoNotOptimize(test::literalStitch(work.current, &work.previous, t1.data(),
                                                     t2.data(), c1.data(), c2.data(), T, range));
    }
    state.counters["shown"] = work.current.shownHeight;
}

void cases(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"T", "range", "rows", "overlap"});
    b->Args({16, 10, 100, 30}); // typical: a match well inside the search
    b->Args({16, 10, 100, 0});  // nothing matches
    b->Args({32, 40, 275, 60}); // worst case
    b->Args({32, 40, 275, 0});
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(Stitch_Core)->Apply(cases);
BENCHMARK(Stitch_Literal)->Apply(cases);

} // namespace

BENCHMARK_MAIN();
