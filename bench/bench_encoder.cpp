// The recording encoder at 720 x 576 (DVD profile, one thread, BGR frames in,
// program stream out) against the 25 frames a second it must keep up with
// beside the preview. "realtime_ratio" is the frames encoded per second over
// 25; a second case encodes the SIF profile of VCD recordings.

#include "acquisition/dvr_settings.h"
#include "acquisition/mpeg_encoder.h"

#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

// A moving picture, so that motion search and the rate control work as on
// camera video: a ring on a gradient, shifted a little every frame.
std::vector<uint8_t> makeFrame(int w, int h, int stride, int t)
{
    std::vector<uint8_t> f(static_cast<size_t>(stride) * h);
    const double cx = w / 2.0 + 20 * std::sin(t * 0.1), cy = h / 2.0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &f[static_cast<size_t>(y) * stride + x * 3];
            const double r = std::hypot(x - cx, y - cy);
            const bool ring = r > h / 6.0 && r < h / 2.2;
            p[0] = static_cast<uint8_t>(ring ? (x + t * 3) : y / 3);
            p[1] = static_cast<uint8_t>(ring ? (int(r) * 2) : x / 4);
            p[2] = static_cast<uint8_t>(ring ? (y + t) : 40);
        }
    return f;
}

void encode(benchmark::State& state, int muxFormat, int frameWidth, int frameHeight)
{
    QTemporaryDir dir;
    QSettings store(dir.filePath(QStringLiteral("device.ini")), QSettings::IniFormat);
    bc::CDvrAppSettings settings(&store);
    settings.MuxFormat = muxFormat;
    settings.VideoFormat = 1;
    settings.VideoResolution = 5;
    settings.VideoBitrate = 4000000;
    const bc::EncoderProfile profile = bc::encoderProfileFor(settings);

    const int stride = (frameWidth * 3 + 3) / 4 * 4;
    std::vector<std::vector<uint8_t>> frames;
    for (int t = 0; t < 25; ++t)
        frames.push_back(makeFrame(frameWidth, frameHeight, stride, t));

    bc::CMpegEncoder encoder;
    if (!encoder.open(dir.filePath(QStringLiteral("bench.mpg")), profile)) {
        state.SkipWithError("the encoder did not open");
        return;
    }
    size_t i = 0;
    for (auto _ : state) {
        encoder.addFrame(frames[i % frames.size()].data(), frameWidth, frameHeight, stride);
        ++i;
    }
    encoder.finish();
    state.SetItemsProcessed(state.iterations());
    // Frames a second over the 25 of the stream.
    state.counters["realtime_ratio"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / 25.0,
                           benchmark::Counter::kIsRate);
}

void BM_EncodeDvd720x576(benchmark::State& state) { encode(state, 2, 720, 576); }
void BM_EncodeVcdFrom720x576(benchmark::State& state) { encode(state, 1, 720, 576); }

} // namespace

BENCHMARK(BM_EncodeDvd720x576)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_EncodeVcdFrom720x576)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
