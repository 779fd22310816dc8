// The raw-frame view's work for each live frame (copy the frame out upright,
// unwrap it with the current heading, paint the strip into an off-screen
// image) at 352 x 288 and 720 x 576, against what one would write with Qt and
// a lookup table instead: the frame turned upright with QImage::mirrored, the
// ring remapped through a table of source offsets (rebuilt when the heading
// changes, as it does here on every frame, and kept when it does not), and
// the same paint. "pct_of_40ms" is the CPU time per frame as a percentage of
// a frame's 40 ms at 25 frames/s (Google Benchmark prints it with an "s").

#include "acquisition/shared_frame.h"
#include "analysis/open_view.h"
#include "core/program_values.h"
#include "core/survey_params.h"

#include "bench_main.h"
#include "support/synthetic_borehole.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

using namespace bc;

namespace {

constexpr int kStripWidth = 800;

struct Geometry {
    int w, h, outer, inner;
};

Geometry geometry(int frameWidth)
{
    return frameWidth == 720 ? Geometry{720, 576, 280, 82} : Geometry{352, 288, 140, 41};
}

// Puts a ring frame of the synthetic wall into the shared frame copy.
void loadFrame(const Geometry& g)
{
    FrameFormat::publishSize(g.w, g.h);
    test::SyntheticBorehole wall(kStripWidth, 1000, 3, 2);
    test::RingCamera cam{g.w, g.h, g.w / 2, g.h / 2, g.outer, g.inner, FrameFormat::aspectDivisor(),
                         0};
    const std::vector<uint8_t> f = wall.ringFrame(cam, 200, 0);
    std::lock_guard<std::mutex> lock(frameLock());
    SharedFrame& shared = sharedFrame();
    shared.reserve(f.size());
    const std::size_t row = std::size_t(g.w) * 3;
    for (int y = 0; y < g.h; ++y) // the copy is bottom-up
        std::memcpy(shared.pixels() + std::size_t(g.h - 1 - y) * row, f.data() + y * row, row);
    shared.setSize(g.w, g.h);
}

void setShare(benchmark::State& state)
{
    state.counters["pct_of_40ms"] =
        benchmark::Counter(double(state.iterations()) / 2500.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void OpenView_ProcessFrame(benchmark::State& state)
{
    const Geometry g = geometry(int(state.range(0)));
    loadFrame(g);
    CSurveyParams s;
    s.centreX = g.w / 2, s.centreY = g.h / 2, s.outerRadius = g.outer, s.innerRadius = g.inner;
    s.unwrapWidth = kStripWidth;
    COpenView view(s);
    QImage canvas(kStripWidth + 70, g.outer - g.inner + 51, QImage::Format_RGB32);
    int heading = 0;
    for (auto _ : state) {
        publishHeading(heading = (heading + 1) % 360);
        view.ProcessFrame();
        QPainter painter(&canvas);
        view.drawStrip(painter, QPoint(0, 0));
    }
    setShare(state);
}
BENCHMARK(OpenView_ProcessFrame)->Arg(352)->Arg(720)->Unit(benchmark::kMicrosecond);

// Source offsets of every strip pixel, outer radius first.
void buildTable(std::vector<int32_t>& table, const Geometry& g, int heading)
{
    const double D = FrameFormat::aspectDivisor();
    const double step = double(float(-6.28318 / kStripWidth));
    const double phase = double(float((heading + 90) * 0.0055555557 * 3.14159));
    const int rows = g.outer - g.inner + 1;
    table.resize(std::size_t(kStripWidth) * rows);
    for (int c = 0; c < kStripWidth; ++c) {
        const double t = c * step + phase, ct = std::cos(t), st = std::sin(t);
        for (int k = 0; k < rows; ++k) {
            const int q = g.outer - k;
            const int x = std::clamp(int(q * ct / D + g.w / 2), 0, g.w - 1);
            const int y = std::clamp(int(g.h / 2 - q * st), 0, g.h - 1);
            table[std::size_t(k) * kStripWidth + c] = (y * g.w + x) * 3;
        }
    }
}

void Peer_QImageTableRemap(benchmark::State& state)
{
    const Geometry g = geometry(int(state.range(0)));
    const bool headingChanges = state.range(1) != 0;
    loadFrame(g);
    const int rows = g.outer - g.inner + 1;
    std::vector<int32_t> table;
    buildTable(table, g, 0);
    QImage strip(kStripWidth, rows, QImage::Format_BGR888);
    QImage canvas(kStripWidth + 70, rows + 50, QImage::Format_RGB32);
    int heading = 0;
    for (auto _ : state) {
        QImage upright;
        {
            std::lock_guard<std::mutex> lock(frameLock());
            const QImage bottomUp(sharedFrame().pixels(), g.w, g.h, g.w * 3, QImage::Format_BGR888);
            upright = bottomUp.mirrored();
        }
        if (headingChanges)
            buildTable(table, g, heading = (heading + 1) % 360);
        const uint8_t* src = upright.constBits(); // rows of w x 3 bytes at both sizes
        for (int k = 0; k < rows; ++k) {
            uint8_t* out = strip.scanLine(rows - 1 - k); // outer radius at the bottom
            const int32_t* t = table.data() + std::size_t(k) * kStripWidth;
            for (int c = 0; c < kStripWidth; ++c, out += 3) {
                std::memcpy(out, src + t[c], 3);
            }
        }
        QPainter painter(&canvas);
        painter.drawImage(QRect(60, 40, kStripWidth, rows), strip);
    }
    setShare(state);
}
BENCHMARK(Peer_QImageTableRemap)
    ->ArgNames({"frame", "headingChanges"})
    ->Args({352, 1})
    ->Args({720, 1})
    ->Args({352, 0})
    ->Args({720, 0})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BC_BENCHMARK_MAIN()
