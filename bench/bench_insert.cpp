// Adding strips to a data set in ascending, shuffled and descending depth
// order (an upward survey adds them descending), against filling a plain
// vector of the same strips in the order given.

#include "analysis/unwrap_data.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>
#include <random>

using namespace bc;

namespace {

std::vector<int32_t> depthKeys(int count, int order)
{
    std::vector<int32_t> keys(static_cast<size_t>(count));
    std::iota(keys.begin(), keys.end(), 0);
    for (int32_t& k : keys)
        k *= 10;
    if (order == 1)
        std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
    else if (order == 2)
        std::reverse(keys.begin(), keys.end());
    return keys;
}

std::vector<std::unique_ptr<CUnWrapImage>> strips(const std::vector<int32_t>& keys)
{
    std::vector<std::unique_ptr<CUnWrapImage>> out;
    out.reserve(keys.size());
    for (int32_t k : keys)
        out.push_back(std::make_unique<CUnWrapImage>(k, uint16_t(0)));
    return out;
}

// Arguments: strip count, order (0 ascending, 1 shuffled, 2 descending).
void BM_InsertStrips(benchmark::State& state)
{
    const std::vector<int32_t> keys = depthKeys(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        state.PauseTiming();
        auto items = strips(keys);
        CUnWrapData d("/tmp/x.sfa", "/tmp");
        state.ResumeTiming();
        for (auto& item : items)
            d.InsertImage(std::move(item), false);
        benchmark::DoNotOptimize(d.GetItemCount());
        state.PauseTiming();
        d.Clear();
        state.ResumeTiming();
    }
}

void BM_AppendStrips(benchmark::State& state)
{
    const std::vector<int32_t> keys = depthKeys(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        state.PauseTiming();
        auto items = strips(keys);
        state.ResumeTiming();
        std::vector<std::unique_ptr<CUnWrapImage>> v;
        for (auto& item : items)
            v.push_back(std::move(item));
        benchmark::DoNotOptimize(v.data());
    }
}

} // namespace

BENCHMARK(BM_InsertStrips)
    ->ArgsProduct({{10000, 100000}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_AppendStrips)->Args({100000, 1})->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
