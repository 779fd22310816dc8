// The figures of a whole survey, with peers in the same run:
//  - the live path of one 720 x 576 frame (grabber copy, unwrap, paint of the
//    raw-frame view, the depth trigger, the strip's insertion and stitch and
//    the strip view's repaint) while the recorder encodes 25 frames a second
//    on a thread of its own, as "frame%" of the 40 ms between frames; the peer
//    does the same with Qt's pieces: the frame copied into a QImage and
//    mirrored, the ring remapped through a lookup table, QPainter, the data
//    set's bare insertion and stitch, and the page of the last ten strips
//    drawn with QPainter;
//  - the memory a recording survey holds after 2,500 strips down and up
//    (allocated and not freed), against what the same strips would hold if
//    every one kept its pixels;
//  - opening a 10,000-strip ".sfa" in the strip view, against the data set's
//    bare index load, and turning a page, against decoding and drawing the
//    same page's strip files with QImageReader and QPainter.

#include "acquisition/dvr_settings.h"
#include "acquisition/grabber_callback.h"
#include "acquisition/mpeg_encoder.h"
#include "analysis/open_view.h"
#include "analysis/strip_sink.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "core/program_values.h"
#include "core/survey_params.h"

#include "bench_main.h"
#include "support/scripted_prompter.h"
#include "support/synthetic_borehole.h"

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <malloc.h>
#include <thread>

using namespace bc;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kW = 720, kH = 576, kOuter = 280, kInner = 82, kStripW = 800;
constexpr int kRows = kOuter - kInner + 1;
constexpr int kOverlap = 40;
constexpr int kCycle = 24; // distinct frames, used over and over
constexpr double kFrameMs = 40.0;

void reportShare(benchmark::State& state, std::chrono::nanoseconds spent)
{
    const double ms = double(spent.count()) / 1e6 / double(std::max<int64_t>(1, state.iterations()));
    state.counters["ms"] = ms;
    state.counters["frame%"] = 100.0 * ms / kFrameMs;
}

test::RingCamera camera()
{
    FrameFormat::publishSize(kW, kH);
    return {kW, kH, kW / 2, kH / 2, kOuter, kInner, FrameFormat::aspectDivisor(), 0};
}

// Consecutive frames of a descent, one sampling step apart.
const std::vector<std::vector<uint8_t>>& frames()
{
    static const std::vector<std::vector<uint8_t>> f = [] {
        const test::SyntheticBorehole wall(kStripW, kCycle * kRows, 5, 2);
        return wall.consecutiveFrames(camera(), 0, kCycle, kOverlap, 0);
    }();
    return f;
}

// The recorder: a D1 MPEG-2 stream of the same frames, 25 a second, on a
// thread of its own, for as long as it lives.
class Recorder {
public:
    explicit Recorder(const QString& folder)
        : store_(folder + QStringLiteral("/device.ini"), QSettings::IniFormat), settings_(&store_)
    {
        settings_.MuxFormat = 2;
        settings_.VideoFormat = 1;
        settings_.VideoResolution = 5;
        settings_.VideoBitrate = 4000000;
        if (!encoder_.open(folder + QStringLiteral("/survey.mpg"), encoderProfileFor(settings_)))
            return;
        thread_ = std::thread([this] {
            auto due = Clock::now();
            for (int i = 0; !stop_; ++i) {
                encoder_.addFrame(frames()[size_t(i % kCycle)].data(), kW, kH, kW * 3);
                due += std::chrono::milliseconds(40);
                std::this_thread::sleep_until(due);
            }
        });
    }
    ~Recorder()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        encoder_.finish();
    }
    bool running() const { return thread_.joinable(); }
    int64_t encoded() const { return encoder_.framesEncoded(); }

private:
    QSettings store_;
    CDvrAppSettings settings_;
    CMpegEncoder encoder_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

CSurveyParams liveSettings(bool up)
{
    CSurveyParams s;
    s.centreX = kW / 2, s.centreY = kH / 2, s.outerRadius = kOuter, s.innerRadius = kInner;
    s.unwrapWidth = kStripW;
    s.itemsPerPage = 10;
    s.moveDirection = up ? 1 : 0;
    return s;
}

WorkspaceContext recordingContext(CSurveyParams& s, const QTemporaryDir& dir)
{
    return {&s, [] { return 2; }, dir.filePath(QStringLiteral("survey.sfa")), dir.path(), {}};
}

// Argument: 1 when the frame carries a strip (the trigger was raised), 0 when
// it is only shown.
void Survey_LiveFrame(benchmark::State& state)
{
    const bool strip = state.range(0) != 0;
    frames();
    test::ScriptedPrompter prompter;
    QTemporaryDir dir;
    CSurveyParams s = liveSettings(false);
    CUnWrapView strips(recordingContext(s, dir));
    strips.resize(860, 450);
    registerStripSink(&strips, &strips);
    COpenView view(s);
    QImage canvas(kStripW + 70, kRows + 51, QImage::Format_RGB32);
    QImage page(860, 450, QImage::Format_RGB32);
    Recorder recorder(dir.path());
    if (!recorder.running()) {
        state.SkipWithError("the recorder did not start");
        return;
    }
    std::chrono::nanoseconds spent{0};
    int32_t depth = 0;
    int64_t i = 0;
    for (auto _ : state) {
        const std::vector<uint8_t>& f = frames()[size_t(i++ % kCycle)];
        const auto start = Clock::now();
        publishDepthHeading(depth += 200, 0);
        if (strip)
            raiseDepthTrigger(depth);
        continuousRequest = true;
        grabberCallback().BufferCB(f.data(), kW, kH, kW * 3);
        QCoreApplication::sendPostedEvents(&view, kFrameReadyEvent);
        {
            QPainter painter(&canvas);
            view.drawStrip(painter, QPoint(0, 0));
        }
        if (strip)
            strips.viewport()->render(&page);
        spent += Clock::now() - start;
    }
    reportShare(state, spent);
    registerStripSink(nullptr, nullptr);
    clearDepthTrigger();
    continuousRequest = false;
    state.counters["strips"] = strips.GetData() ? strips.GetData()->GetItemCount() : 0;
    state.counters["recorded"] = double(recorder.encoded());
}
BENCHMARK(Survey_LiveFrame)->ArgName("strip")->Arg(0)->Arg(1)->Iterations(500)->Unit(benchmark::kMillisecond);

// Source offsets of every strip pixel of an upright frame, outer radius first.
std::vector<int32_t> remapTable()
{
    const double D = FrameFormat::aspectDivisor();
    const double step = double(float(-6.28318 / kStripW));
    const double phase = double(float(90 * 0.0055555557 * 3.14159));
    std::vector<int32_t> table(size_t(kStripW) * kRows);
    for (int c = 0; c < kStripW; ++c) {
        const double t = c * step + phase, ct = std::cos(t), st = std::sin(t);
        for (int k = 0; k < kRows; ++k) {
            const int q = kOuter - k;
            const int x = std::clamp(int(q * ct / D + kW / 2), 0, kW - 1);
            const int y = std::clamp(int(kH / 2 - q * st), 0, kH - 1);
            table[size_t(k) * kStripW + c] = (y * kW + x) * 3;
        }
    }
    return table;
}

void Peer_QtLiveFrame(benchmark::State& state)
{
    frames();
    const std::vector<int32_t> table = remapTable();
    CUnWrapData data{QString(), QString()};
    StitchWorkArea work;
    QImage canvas(kStripW + 70, kRows + 51, QImage::Format_RGB32);
    QImage page(860, 450, QImage::Format_RGB32);
    QTemporaryDir dir;
    Recorder recorder(dir.path());
    std::chrono::nanoseconds spent{0};
    int64_t i = 0;
    for (auto _ : state) {
        const std::vector<uint8_t>& f = frames()[size_t(i % kCycle)];
        const auto start = Clock::now();
        // The streaming thread's copy, bottom-up like a device bitmap, and
        // the view's upright copy of it.
        const QImage copy = QImage(f.data(), kW, kH, kW * 3, QImage::Format_BGR888).mirrored();
        const QImage upright = copy.mirrored();
        auto item = std::make_unique<CUnWrapImage>(int32_t(200 * i), uint16_t(0));
        QImage strip(kStripW, kRows, QImage::Format_BGR888);
        for (int k = 0; k < kRows; ++k) {
            uint8_t* out = strip.scanLine(kRows - 1 - k);
            const int32_t* t = table.data() + size_t(k) * kStripW;
            for (int c = 0; c < kStripW; ++c, out += 3)
                std::memcpy(out, upright.constBits() + t[c], 3);
        }
        {
            QPainter painter(&canvas);
            painter.drawImage(QRect(60, 40, kStripW, kRows), strip);
        }
        const int stride = (kStripW * 3 + 3) & ~3;
        std::unique_ptr<uint8_t[]> bits(new uint8_t[size_t(stride) * kRows]);
        for (int y = 0; y < kRows; ++y)
            std::memcpy(bits.get() + size_t(y) * stride, strip.constScanLine(kRows - 1 - y), size_t(kStripW) * 3);
        item->width = kStripW;
        item->shownHeight = kRows;
        item->adoptPixels(std::move(bits), kRows, stride);
        const int index = data.InsertImage(std::move(item));
        data.StitchItem(index, index - 1, work, 16, 10);
        { // the page of the last ten strips
            QPainter painter(&page);
            int y = 50;
            for (int k = std::max(0, index - 9); k <= index; ++k) {
                const CUnWrapImage* it = data.GetItem(k);
                painter.drawImage(QPoint(60, y), QImage(it->pixels(), it->width, it->rows, it->stride,
                                                        QImage::Format_BGR888).mirrored());
                y += it->shownHeight;
            }
        }
        spent += Clock::now() - start;
        if (CUnWrapImage* old = data.GetItem(index - 10))
            old->freePixels();
        ++i;
    }
    reportShare(state, spent);
}
BENCHMARK(Peer_QtLiveFrame)->Iterations(500)->Unit(benchmark::kMillisecond);

// Memory the process has allocated and not freed, in megabytes (what it
// holds, whatever the allocator keeps in reserve).
double residentMb()
{
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks + m.hblkhd) / (1024 * 1024);
}

// 2,500 strips of a recording survey through the strip view; argument 1 climbs.
void Survey_Resident2500(benchmark::State& state)
{
    const bool up = state.range(0) != 0;
    constexpr int kStrips = 2500;
    const test::SyntheticBorehole wall(kStripW, kCycle * (kRows - kOverlap) + kRows, 7, 2);
    std::vector<CUnWrapImage> cycle;
    for (int i = 0; i < kCycle; ++i)
        cycle.push_back(wall.strip(0, (up ? kCycle - 1 - i : i) * (kRows - kOverlap), kRows));
    for (auto _ : state) {
        test::ScriptedPrompter prompter;
        QTemporaryDir dir;
        CSurveyParams s = liveSettings(up);
        const double before = residentMb();
        double peak = before;
        int held = 0;
        {
            CUnWrapView strips(recordingContext(s, dir));
            for (int i = 0; i < kStrips; ++i) {
                auto item = std::make_unique<CUnWrapImage>(cycle[size_t(i % kCycle)]);
                item->depthKey = up ? 500000 - 200 * i : 200 * i;
                strips.AddCapturedImage(std::move(item));
                if (i % 100 == 99)
                    peak = std::max(peak, residentMb());
            }
            for (int i = 0; i < strips.GetData()->GetItemCount(); ++i)
                held += strips.GetData()->GetItem(i)->hasPixels() ? 1 : 0;
            state.counters["grown_MB"] = residentMb() - before;
        }
        state.counters["peak_grown_MB"] = peak - before;
        state.counters["strips_with_pixels"] = held;
        state.counters["if_all_held_MB"] =
            double(kStrips) * cycle[0].stride * cycle[0].rows / (1024.0 * 1024.0);
    }
}
BENCHMARK(Survey_Resident2500)->ArgName("up")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

// A survey of 10,000 strips on disk: the index, and the strip files of the
// first three and last three pages of ten.
struct BigSurvey {
    QTemporaryDir dir;
    QString sfa;
    BigSurvey()
    {
        sfa = dir.filePath(QStringLiteral("big.sfa"));
        const test::SyntheticBorehole wall(kStripW, 60 * (kRows - kOverlap) + kRows, 9, 2);
        CUnWrapData data(sfa, dir.path());
        for (int i = 0; i < 10000; ++i) {
            std::unique_ptr<CUnWrapImage> item;
            if (i < 30 || i >= 9970) {
                item = std::make_unique<CUnWrapImage>(wall.strip(0, (i % 60) * (kRows - kOverlap), kRows));
                item->depthKey = 200 * i;
                item->SaveJpg(dir.path());
                item->freePixels();
            } else {
                item = std::make_unique<CUnWrapImage>(200 * i, uint16_t(0));
                item->width = kStripW;
                item->shownHeight = kRows;
            }
            data.InsertImage(std::move(item), false);
        }
        data.SaveSfa(data.GetItemCount(), false);
    }
};

BigSurvey& bigSurvey()
{
    static BigSurvey survey;
    return survey;
}

void Survey_Open10000(benchmark::State& state)
{
    test::ScriptedPrompter prompter;
    CSurveyParams s;
    CUnWrapView view({&s, [] { return 0; }, QString(), QString(), {}});
    view.resize(860, 750);
    for (auto _ : state) {
        prompter.fileAnswers.push_back(bigSurvey().sfa);
        view.OnFileOpen();
        view.viewport()->render(&*std::make_unique<QImage>(860, 750, QImage::Format_RGB32));
    }
    state.counters["strips"] = view.GetData() ? view.GetData()->GetItemCount() : 0;
    state.counters["page"] = view.currentPage();
}
BENCHMARK(Survey_Open10000)->Unit(benchmark::kMillisecond);

void Peer_LoadIndex10000(benchmark::State& state)
{
    for (auto _ : state) {
        CUnWrapData d(bigSurvey().sfa, bigSurvey().dir.path());
        if (!d.LoadSfa())
            state.SkipWithError("load failed");
    }
}
BENCHMARK(Peer_LoadIndex10000)->Unit(benchmark::kMillisecond);

void Survey_TurnPage(benchmark::State& state)
{
    test::ScriptedPrompter prompter;
    CSurveyParams s;
    CUnWrapView view({&s, [] { return 0; }, QString(), QString(), {}});
    view.resize(860, 750);
    prompter.fileAnswers.push_back(bigSurvey().sfa);
    view.OnFileOpen();
    QImage screen(860, 750, QImage::Format_RGB32);
    int64_t i = 0;
    for (auto _ : state) {
        view.GoToPage(int(++i % 2) + 1); // pages 1 and 2 in turn
        view.viewport()->render(&screen);
    }
    state.counters["strips_with_pixels"] = [&] {
        int n = 0;
        for (int k = 0; k < view.GetData()->GetItemCount(); ++k)
            n += view.GetData()->GetItem(k)->hasPixels() ? 1 : 0;
        return n;
    }();
}
BENCHMARK(Survey_TurnPage)->Unit(benchmark::kMillisecond);

void Peer_QImageReaderPage(benchmark::State& state)
{
    const QString folder = bigSurvey().dir.path();
    QImage screen(860, 750, QImage::Format_RGB32);
    int64_t i = 0;
    for (auto _ : state) {
        const int first = int(++i % 2 + 1) * 10;
        QPainter painter(&screen);
        int y = 0;
        for (int k = first; k < first + 10; ++k) {
            const QImage strip = QImageReader(QStringLiteral("%1/%2.jpg").arg(folder).arg(200 * k)).read();
            painter.drawImage(QPoint(60, 50 + y), strip);
            y += strip.height() - kOverlap;
        }
    }
}
BENCHMARK(Peer_QImageReaderPage)->Unit(benchmark::kMillisecond);

} // namespace

BC_BENCHMARK_MAIN()
