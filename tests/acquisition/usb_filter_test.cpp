// The capture graph on the test source: probing, preview into the grabber and
// the video window, recording, playback, and how each of them fails.

#include "acquisition/device_control.h"
#include "acquisition/dvr_settings.h"
#include "acquisition/grabber_callback.h"
#include "acquisition/mpeg_encoder.h"
#include "acquisition/shared_frame.h"
#include "acquisition/usb_filter.h"
#include "acquisition/video_wnd.h"
#include "core/program_values.h"

#include "mpeg_probe.h"
#include "support/serial_pty.h"
#include "support/scripted_prompter.h"
#include "support/temp_settings.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace bc;

namespace {

struct FrameCounter {
    std::atomic<int> frames{0};
    std::atomic<int> stride{0};
    FrameSink sink()
    {
        return [this](const uint8_t*, int, int, int s) {
            stride = s;
            ++frames;
        };
    }
};

void spin(int ms)
{
    test::waitUntil([] { return false; }, ms);
}

class GraphTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        setCaptureSource(QStringLiteral("test:720x576@25"));
        CTestSourceControl::setPresent(true);
        CTestSourceControl::takeLog();
        FrameFormat::reset();
    }
    void TearDown() override
    {
        setCaptureSource(QString());
        USBFilter::OverrideFactory(QString::fromLatin1(kSourceName), QString());
        USBFilter::OverrideFactory(QString::fromLatin1(kVideoDecoderName), QString());
        continuousRequest = false;
        std::lock_guard<std::mutex> lock(frameLock());
        sharedFrame().release();
    }

    GraphRequest recordTo(const QString& path)
    {
        GraphRequest request;
        request.recordFlag = true;
        request.mediaPath = path.startsWith(QLatin1Char('/')) ? path : dir.filePath(path);
        return request;
    }
    // Collects the graph's events.
    void listen(USBFilter& g)
    {
        g.SetEventHandler([this](GraphEvent e, const QString& text) {
            events.push_back(e);
            eventText = text;
        });
    }
    // A short recording made by the encoder directly: `frames` at 25 a second.
    QString makeRecording(int frames)
    {
        const QString path = dir.filePath(QStringLiteral("钻孔 录像.mpg"));
        EncoderProfile p;
        p.width = 352;
        p.height = 288;
        CMpegEncoder enc;
        EXPECT_TRUE(enc.open(path, p));
        std::vector<uint8_t> px(352 * 3 * 288);
        for (int i = 0; i < frames; ++i) {
            std::fill(px.begin(), px.end(), static_cast<uint8_t>(i * 5));
            enc.addFrame(px.data(), 352, 288, 352 * 3);
        }
        EXPECT_TRUE(enc.finish());
        return path;
    }

    test::ScriptedPrompter prompter;
    test::TempSettings store;
    CDvrAppSettings settings{&store.settings()};
    QTemporaryDir dir;
    std::vector<GraphEvent> events;
    QString eventText;
};

} // namespace

TEST_F(GraphTest, ProbeFindsTheTestSourceAndFailsSilentlyWithoutADevice)
{
    USBFilter g(settings);
    for (int kind : {4, 3, 9}) // kind four builds nothing, nor do unknown kinds
        EXPECT_FALSE(g.BuildGraph(kind, {})) << kind;
    ASSERT_TRUE(g.BuildGraph(GraphKindProbe, {}));
    EXPECT_EQ(g.SetDeviceParam(DeviceCheck), 1);
    EXPECT_EQ(g.SetDeviceParam(DevicePresent), 1);
    EXPECT_TRUE(g.TearDownGraph());
    EXPECT_EQ(g.pipeline(), nullptr);

    setCaptureSource(QStringLiteral("/dev/video-not-here"));
    EXPECT_FALSE(g.BuildGraph(GraphKindProbe, {}));
    EXPECT_EQ(g.SetDeviceParam(DeviceCheck), 0);
    CTestSourceControl::setPresent(false);
    setCaptureSource(QStringLiteral("test"));
    EXPECT_FALSE(g.BuildGraph(GraphKindProbe, {}));
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(GraphTest, PreviewDeliversFramesAtTheStreamRateAndPublishesTheFormat)
{
    FrameCounter counter;
    {
        USBFilter g(settings, counter.sink());
        ASSERT_TRUE(g.BuildGraph(GraphKindPreview, {}));
        const FrameFormatValues f = FrameFormat::snapshot();
        EXPECT_EQ(QSize(f.width, f.height), QSize(720, 576));
        EXPECT_EQ(f.videoSizeCode, 2);
        EXPECT_FLOAT_EQ(f.aspectDivisor, 1.0671141f);
        EXPECT_EQ(f.maxOuterRadius, 284u);
        spin(100);
        EXPECT_EQ(counter.frames.load(), 0); // nothing before Play
        ASSERT_TRUE(g.Play());
        spin(200);
        // The rate over the time that really passed (a busy machine
        // oversleeps); a doubled or halved rate is far outside.
        QElapsedTimer rateClock;
        rateClock.start();
        const int before = counter.frames.load();
        spin(1000);
        const double perSecond =
            (counter.frames.load() - before) * 1000.0 / static_cast<double>(rateClock.elapsed());
        EXPECT_GE(perSecond, 18.0);
        EXPECT_LE(perSecond, 32.0);
        EXPECT_EQ(counter.stride.load(), 2160);
        // The video window shows the same frames.
        QPointer<CVideoWnd> w = g.videoWindow();
        ASSERT_TRUE(w);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->windowTitle(), QStringLiteral("澜石视界2011-播放窗口"));
        EXPECT_EQ(w->videoSize(), QSize(768, 576));
        EXPECT_EQ(w->frameSlot()->latest().size(), QSize(720, 576));
        ASSERT_TRUE(g.Stop());
        EXPECT_TRUE(w.isNull()); // Stop closes it
        const int stopped = counter.frames.load();
        spin(100);
        EXPECT_EQ(counter.frames.load(), stopped);
    }
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(GraphTest, TheStationSinkGivesTheGrabberOneFramePerArmingInBlueGreenRedAtAnOddWidth)
{
    // The program's own sink, counted on its way.
    setCaptureSource(QStringLiteral("test:333x200@25"));
    FrameCounter counter;
    const FrameSink count = counter.sink();
    const FrameSink station = stationFrameSink();
    USBFilter g(settings, [&](const uint8_t* bgr, int w, int h, int s) {
        count(bgr, w, h, s);
        station(bgr, w, h, s);
    });
    ASSERT_TRUE(g.BuildGraph(GraphKindPreview, {}));
    GstElement* src = g.elementByName(kSourceName);
    ASSERT_NE(src, nullptr);
    gst_util_set_object_arg(G_OBJECT(src), "pattern", "red");
    gst_object_unref(src);
    const uint64_t copiedBefore = stationVideoSlot()->framesCopied();
    ASSERT_TRUE(g.Play());
    // Armed once the stream runs red (a picture of the first pattern may
    // still be on its way).
    EXPECT_TRUE(test::waitUntil([&] { return counter.frames.load() >= 5; }));
    continuousRequest = true;
    EXPECT_TRUE(test::waitUntil([] { return !continuousRequest.load(); }));
    ASSERT_TRUE(g.Stop());
    // Each frame is copied into the video window once.
    EXPECT_EQ(stationVideoSlot()->framesCopied() - copiedBefore,
              static_cast<uint64_t>(counter.frames.load()));
    EXPECT_EQ(counter.stride.load(), 1000); // rows of 999 bytes arrive padded
    std::lock_guard<std::mutex> lock(frameLock());
    const SharedFrame& f = sharedFrame();
    ASSERT_TRUE(f.hasPixels());
    EXPECT_EQ(f.width(), 333);
    int wrong = 0;
    for (std::size_t i = 0; i < f.byteCount(); i += 3) {
        const uint8_t* p = f.pixels() + i;
        wrong += !(p[0] < 16 && p[1] < 16 && p[2] > 239);
    }
    EXPECT_EQ(wrong, 0); // every pixel red, none shifted by the padding
}

TEST_F(GraphTest, StatesRefuseWhatTheyMust)
{
    USBFilter g(settings);
    ASSERT_TRUE(g.BuildGraph(GraphKindPreview, {}));
    // call (p: pause, s: stop, r: run, y: play), succeeds, state after
    const std::tuple<char, bool, int> steps[] = {
        {'p', false, GraphStateStopped}, {'s', false, GraphStateStopped},
        {'r', true, GraphStateRunning},  {'r', false, GraphStateRunning},
        {'y', false, GraphStateRunning}, {'p', true, GraphStatePaused},
        {'p', false, GraphStatePaused},  {'y', true, GraphStateRunning}};
    for (const auto& [call, ok, state] : steps) {
        SCOPED_TRACE(call);
        const bool done = call == 'p'   ? g.Pause()
                          : call == 's' ? g.Stop()
                          : call == 'r' ? g.Run()
                                        : g.Play();
        EXPECT_EQ(done, ok);
        EXPECT_EQ(g.GetGraphState(), state);
    }
    // Seeking needs a played file.
    float f = 0.25f;
    int64_t d = 7;
    EXPECT_FALSE(g.SeekToFraction(0.5f));
    EXPECT_FALSE(g.GetPositionFraction(f));
    EXPECT_FALSE(g.GetDuration(d));
    // Teardown stops a running graph.
    EXPECT_TRUE(g.TearDownGraph());
    EXPECT_EQ(g.GetGraphState(), GraphStateStopped);
}

TEST_F(GraphTest, ARecordingWhilePreviewingDecodesBackWhole)
{
    FrameCounter counter;
    const GraphRequest request = recordTo(QStringLiteral("录像 1.mpg"));
    settings.MuxFormat = 2;
    settings.VideoFormat = 1;
    settings.VideoResolution = 5;
    int64_t recorded = 0;
    {
        USBFilter g(settings, counter.sink());
        ASSERT_TRUE(g.BuildGraph(GraphKindPreviewRecord, request));
        EXPECT_TRUE(g.IsRecording());
        ASSERT_TRUE(g.Play());
        QElapsedTimer played;
        played.start();
        spin(2000);
        EXPECT_GT(counter.frames.load(), 30); // the preview ran beside it
        ASSERT_TRUE(g.Stop());
        // Stop drains the recording: it holds every picture up to the stop,
        // at the profile's rate, whatever the encoder's lag.
        recorded = g.RecordedFrames();
        EXPECT_NEAR(recorded, played.elapsed() * 25 / 1000.0, 12);
    }
    EXPECT_GE(recorded, 40);
    const test::DecodedMpeg d = test::decodeMpeg(request.mediaPath);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.format, QStringLiteral("mpeg")); // a program stream
    EXPECT_NEAR(d.frames, recorded, 1);
    EXPECT_NEAR(d.durationSeconds, recorded / 25.0, 0.2);
    EXPECT_EQ(QSize(d.width, d.height), QSize(720, 576));
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(GraphTest, ARecordingCutByAStreamErrorIsFinishedAndTheFormIsTold)
{
    USBFilter g(settings);
    listen(g);
    const GraphRequest request = recordTo(QStringLiteral("cut.mpg"));
    ASSERT_TRUE(g.BuildGraph(GraphKindPreview, request));
    ASSERT_TRUE(g.Play());
    ASSERT_TRUE(test::waitUntil([&] { return g.RecordedFrames() > 5; }));
    // The device goes away: its source posts an error.
    GstElement* src = g.elementByName(kSourceName);
    ASSERT_NE(src, nullptr);
    GError* err =
        g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND, "device gone");
    gst_element_post_message(src, gst_message_new_error(GST_OBJECT(src), err, "unplugged"));
    g_error_free(err);
    gst_object_unref(src);
    test::waitUntil([&] { return !events.empty(); }, 5000);
    spin(50);
    EXPECT_EQ(events, std::vector<GraphEvent>{GraphEvent::Error});
    EXPECT_EQ(eventText, QStringLiteral("device gone"));
    const int64_t recorded = g.RecordedFrames();
    ASSERT_TRUE(g.Stop());
    EXPECT_NEAR(test::decodeMpeg(request.mediaPath).frames, g.RecordedFrames(), 1);
    EXPECT_GE(g.RecordedFrames(), recorded);
}

TEST_F(GraphTest, ARecordingThatCannotBeWrittenEndsAndIsToldOnStop)
{
    // A full disk: every write fails with "no space left".
    const QString full = QStringLiteral("/dev/full");
    if (!QFileInfo(full).isWritable())
        GTEST_SKIP() << "no /dev/full here";
    USBFilter g(settings);
    listen(g);
    ASSERT_TRUE(g.BuildGraph(GraphKindPreviewRecord, recordTo(full)));
    ASSERT_TRUE(g.Play());
    // The muxer holds well under a second of pictures before it writes.
    test::waitUntil([&] { return !events.empty(); }, 15000);
    EXPECT_EQ(events, std::vector<GraphEvent>{GraphEvent::Error});
    EXPECT_TRUE(prompter.boxes.empty()); // told once, when the form stops
    ASSERT_TRUE(g.Stop());
    EXPECT_TRUE(g.TearDownGraph());
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text, QStringLiteral("录像文件写入失败:\n/dev/full\n磁盘空间不足"));
    EXPECT_EQ(prompter.boxes[0].caption, QStringLiteral("出错"));
    EXPECT_TRUE(QFileInfo::exists(full));
}

TEST_F(GraphTest, ARecordingThatFailsToBuildOrNeverPlaysIsToldAndLeavesNoFile)
{
    USBFilter g(settings);
    GraphRequest request = recordTo(QStringLiteral("missing/folder/x.mpg"));
    EXPECT_FALSE(g.BuildGraph(GraphKindPreviewRecord, request));
    // A source that sends no video: the stream never gets a format.
    USBFilter::OverrideFactory(QString::fromLatin1(kSourceName), QStringLiteral("fakesrc"));
    request.mediaPath = dir.filePath(QStringLiteral("never.mpg"));
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(g.BuildGraph(GraphKindPreviewRecord, request));
    EXPECT_LT(timer.elapsed(), 4000);
    EXPECT_FALSE(QFile::exists(request.mediaPath));
    EXPECT_FALSE(g.IsRecording());
    EXPECT_EQ(prompter.boxTexts(),
              QStringList({QStringLiteral("Error: USBFilter::SMBuildPreviewGraph,\n Adding "
                                          "Splitter Failed,\n returned hr = 0x80070005"),
                           QStringLiteral("Warning: USBFilter::SMBuildPreviewGraph,\n Get the "
                                          "connected media type Failed")}));
    EXPECT_EQ(g.LastError(), prompter.boxes[1].text);
    USBFilter::OverrideFactory(QString::fromLatin1(kSourceName), QString());

    // Built but never played (the form's Play failed): no file either; a
    // played one keeps its file.
    prompter.boxes.clear();
    for (bool play : {false, true}) {
        request.mediaPath =
            dir.filePath(play ? QStringLiteral("played.mpg") : QStringLiteral("unplayed.mpg"));
        ASSERT_TRUE(g.BuildGraph(GraphKindPreviewRecord, request));
        if (play) {
            ASSERT_TRUE(g.Play());
            ASSERT_TRUE(test::waitUntil([&] { return g.RecordedFrames() > 0; }));
        }
        EXPECT_TRUE(g.TearDownGraph());
        EXPECT_EQ(QFile::exists(request.mediaPath), play);
    }
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(GraphTest, PlaybackReportsDurationSeeksAndEnds)
{
    const QString path = makeRecording(50); // 2 s
    FrameCounter counter;
    USBFilter g(settings, counter.sink());
    listen(g);
    GraphRequest request;
    request.mediaPath = path;
    ASSERT_TRUE(g.BuildGraph(GraphKindPlayback, request));
    EXPECT_TRUE(prompter.boxes.empty());
    EXPECT_EQ(FrameFormat::snapshot().width, 352);
    EXPECT_EQ(FrameFormat::snapshot().videoSizeCode, 1);
    GstElement* demux = g.elementByName(kFileSplitterName);
    EXPECT_NE(demux, nullptr); // the demuxer graph, not the fallback
    if (demux)
        gst_object_unref(demux);
    for (int code : {6, 9, 10, 21, 22, 26, 28}) // playback never answers device codes
        EXPECT_EQ(g.SetDeviceParam(code), 0);

    int64_t duration = 0;
    ASSERT_TRUE(g.GetDuration(duration));
    EXPECT_NEAR(duration / 1e7, 2.0, 0.1); // 100-nanosecond units
    float f = -1;
    ASSERT_TRUE(g.GetPositionFraction(f));
    EXPECT_NEAR(f, 0.0, 0.03);
    ASSERT_TRUE(g.SeekToFraction(0.5f));
    ASSERT_TRUE(g.GetPositionFraction(f));
    EXPECT_NEAR(f * duration / 1e7, duration / 2e7, 0.04); // within a frame

    ASSERT_TRUE(g.Play());
    spin(400);
    ASSERT_TRUE(g.GetPositionFraction(f));
    EXPECT_GT(f, 0.55f);
    EXPECT_LE(f, 1.0f);
    ASSERT_TRUE(test::waitUntil([&] { return !events.empty(); }));
    spin(50);
    ASSERT_TRUE(g.GetPositionFraction(f));
    EXPECT_EQ(f, 1.0f); // after the end
    EXPECT_EQ(events, std::vector<GraphEvent>{GraphEvent::EndOfStream});
    EXPECT_NEAR(counter.frames.load(), 25, 3);
    // Seeking back after the end plays again.
    ASSERT_TRUE(g.SeekToFraction(0.0f));
    ASSERT_TRUE(g.GetPositionFraction(f));
    EXPECT_LT(f, 0.1f);
}

TEST_F(GraphTest, PlaybackFallsBackToTheSecondBuilderAndRefusesBadFiles)
{
    // No decoder for the first builder: told, and the second plays the file.
    GraphRequest request;
    request.mediaPath = makeRecording(25);
    USBFilter::OverrideFactory(QString::fromLatin1(kVideoDecoderName),
                               QStringLiteral("no-such-decoder"));
    FrameCounter counter;
    USBFilter g(settings, counter.sink());
    ASSERT_TRUE(g.BuildGraph(GraphKindPlayback, request));
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text,
              QStringLiteral("Error: USBFilter::SMBuildULeadPlayBackGraph,\n Adding Video Decoder "
                             "Failed,\n returned hr = 0x80040154"));
    EXPECT_EQ(prompter.boxes[0].style, unsigned(MB_OK | MB_ICONSTOP));
    int64_t duration = 0;
    EXPECT_TRUE(g.GetDuration(duration));
    EXPECT_NEAR(duration / 1e7, 1.0, 0.1);
    ASSERT_TRUE(g.Play());
    EXPECT_TRUE(test::waitUntil([&] { return counter.frames.load() > 3; }));
    USBFilter::OverrideFactory(QString::fromLatin1(kVideoDecoderName), QString());

    // A missing file and one of junk: both builders refuse, each telling.
    const QString junk = dir.filePath(QStringLiteral("junk.mpg"));
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    for (const QString& path : {dir.filePath(QStringLiteral("不存在.mpg")), junk}) {
        prompter.boxes.clear();
        request.mediaPath = path;
        EXPECT_FALSE(g.BuildGraph(GraphKindPlayback, request));
        ASSERT_EQ(prompter.boxes.size(), 2u);
        if (path == junk) {
            EXPECT_TRUE(prompter.boxes[0].text.startsWith(
                QStringLiteral("Error: USBFilter::SMBuildULeadPlayBackGraph,\n ")));
            EXPECT_TRUE(prompter.boxes[1].text.startsWith(
                QStringLiteral("Error: USBFilter::SMBuildPlayBackGraph,\n ")));
        } else {
            EXPECT_EQ(prompter.boxTexts(),
                      QStringList({QStringLiteral("Failed to Read the video file"),
                                   QStringLiteral("Failed to Read video file")}));
        }
    }
    EXPECT_TRUE(g.TearDownGraph());
}

TEST_F(GraphTest, DeletingARunningGraphReleasesEveryElement)
{
    std::vector<GstElement*> elements;
    static std::atomic<int> finalized{0};
    finalized = 0;
    const GraphRequest request = recordTo(QStringLiteral("r.mpg"));
    {
        USBFilter g(settings);
        ASSERT_TRUE(g.BuildGraph(GraphKindPreviewRecord, request));
        GstIterator* it = gst_bin_iterate_recurse(GST_BIN(g.pipeline()));
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
            elements.push_back(GST_ELEMENT(g_value_get_object(&item)));
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(it);
        elements.push_back(g.pipeline());
        for (GstElement* e : elements)
            g_object_weak_ref(
                G_OBJECT(e), [](gpointer, GObject*) { ++finalized; }, nullptr);
        ASSERT_TRUE(g.Play());
        spin(200);
    }
    EXPECT_GE(elements.size(), 9u);
    EXPECT_EQ(finalized.load(), static_cast<int>(elements.size()));
    EXPECT_GT(test::decodeMpeg(request.mediaPath).frames, 0); // stopped and drained
}

TEST_F(GraphTest, FactoryGraphsApplyTheMaskedSettingsWhichItKeepsInTheStore)
{
    {
        auto factory = makeUsbGraphFactory({}, &store.settings());
        factory->SetVideoFormat(0);
        factory->SetChangeMask(0x44); // only these two settings are applied
        auto graph = factory->CreateGraph();
        ASSERT_TRUE(graph->BuildGraph(GraphKindProbe, {}));
        EXPECT_EQ(graph->SetDeviceParam(DeviceApplySettings), 1);
        EXPECT_EQ(CTestSourceControl::takeLog(),
                  QStringList({QStringLiteral("VideoFormat=0"), QStringLiteral("Channel=2")}));
    }
    EXPECT_EQ(CRegistryValue(kDvrSettingsKey, &store.settings()).ReadDword("VideoFormat", -1), 0);
}
