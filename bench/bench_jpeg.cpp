// JPEG coding of a camera frame and of strips: the image files of the core
// against Qt's own JPEG reader and writer doing the same job in the same run.
//
// Frame: a 720 x 576 packed RGB buffer written and read back as a JPEG of
// quality 75. Strips: ten 800 x 100 strips (blue-green-red, bottom-up rows)
// saved as JPEG and loaded back into the same layout; Qt's side converts its
// picture to and from that layout as the strip needs.

#include "core/jpeg_file.h"
#include "core/unwrap_image.h"

#include "support/synthetic_borehole.h"

#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

using namespace bc;
using bc::test::RingCamera;
using bc::test::SyntheticBorehole;

namespace {

struct Fixture {
    QTemporaryDir dir;
    std::vector<uint8_t> frame; // packed RGB, top-down
    std::vector<CUnWrapImage> strips;
    QString framePath;

    Fixture()
    {
        SyntheticBorehole wall(800, 2000, 1, 4);
        wall.addFracture({600, 30, 50});
        RingCamera cam;
        frame = wall.ringFrame(cam, 300, 17);
        for (int i = 0; i < 10; ++i)
            strips.push_back(wall.strip(1000 + i, 100 + 90 * i, 100));
        framePath = dir.filePath("frame.jpg");
        JpegFile::WriteRgbAsJpeg(framePath, frame.data(), 720, 576, true, 75);
        for (auto& s : strips)
            s.SaveJpg(dir.path());
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void FrameEncode_Core(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString path = f.dir.filePath("out-core.jpg");
    for (auto _ : state)
        benchmark::DoNotOptimize(
            JpegFile::WriteRgbAsJpeg(path, f.frame.data(), 720, 576, true, 75));
}
BENCHMARK(FrameEncode_Core)->Unit(benchmark::kMillisecond);

void FrameEncode_QImage(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString path = f.dir.filePath("out-qt.jpg");
    const QImage img(f.frame.data(), 720, 576, 720 * 3, QImage::Format_RGB888);
    for (auto _ : state)
        benchmark::DoNotOptimize(img.save(path, "JPG", 75));
}
BENCHMARK(FrameEncode_QImage)->Unit(benchmark::kMillisecond);

void FrameDecode_Core(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        uint32_t w = 0, h = 0;
        PixelBuffer px = JpegFile::ReadJpegToRgb(f.framePath, &w, &h);
        benchmark::DoNotOptimize(px.get());
    }
}
BENCHMARK(FrameDecode_Core)->Unit(benchmark::kMillisecond);

void FrameDecode_QImage(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        // Packed RGB, as the core's reader gives it.
        QImage img = QImage(f.framePath, "JPG").convertToFormat(QImage::Format_RGB888);
        benchmark::DoNotOptimize(img.constBits());
    }
}
BENCHMARK(FrameDecode_QImage)->Unit(benchmark::kMillisecond);

void StripsSave_Core(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString out = f.dir.filePath("core");
    QDir().mkpath(out);
    for (auto _ : state)
        for (const auto& s : f.strips)
            benchmark::DoNotOptimize(s.SaveJpg(out));
}
BENCHMARK(StripsSave_Core)->Unit(benchmark::kMillisecond);

void StripsSave_QImage(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString out = f.dir.filePath("qt");
    QDir().mkpath(out);
    for (auto _ : state)
        for (const auto& s : f.strips) {
            // The strip's rows are bottom-up blue-green-red: mirror and save.
            const QImage img(s.pixels(), s.width, s.rows, s.stride, QImage::Format_BGR888);
            benchmark::DoNotOptimize(img.mirrored().save(
                QStringLiteral("%1/%2.jpg").arg(out).arg(s.depthKey), "JPG", 75));
        }
}
BENCHMARK(StripsSave_QImage)->Unit(benchmark::kMillisecond);

void StripsLoad_Core(benchmark::State& state)
{
    Fixture& f = fixture();
    std::vector<CUnWrapImage> loaded(f.strips.size());
    for (size_t i = 0; i < loaded.size(); ++i)
        loaded[i].depthKey = f.strips[i].depthKey;
    for (auto _ : state)
        for (auto& s : loaded)
            benchmark::DoNotOptimize(s.LoadJpg(f.dir.path()));
}
BENCHMARK(StripsLoad_Core)->Unit(benchmark::kMillisecond);

void StripsLoad_QImage(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state)
        for (const auto& s : f.strips) {
            // Into the strip's layout: bottom-up blue-green-red rows.
            QImage img(QStringLiteral("%1/%2.jpg").arg(f.dir.path()).arg(s.depthKey), "JPG");
            img = img.convertToFormat(QImage::Format_BGR888).mirrored();
            benchmark::DoNotOptimize(img.constBits());
        }
}
BENCHMARK(StripsLoad_QImage)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
