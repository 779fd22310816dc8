#include "acquisition/device_control.h"
#include "acquisition/dvr_settings.h"
#include "acquisition/mpeg_encoder.h"
#include "acquisition/usb_filter.h"
#include "acquisition/video_wnd.h"
#include "core/program_values.h"

#include "mpeg_probe.h"
#include "support/scripted_prompter.h"
#include "support/temp_settings.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QRadioButton>
#include <QTimer>
#include <QElapsedTimer>
#include <QPointer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

using namespace bc;

namespace {

struct FrameCounter {
    std::atomic<int> frames{0};
    std::atomic<int> width{0};
    std::atomic<int> height{0};
    std::atomic<int> stride{0};
    FrameSink sink()
    {
        return [this](const uint8_t* bgr, int w, int h, int s) {
            if (!bgr)
                return;
            width = w;
            height = h;
            stride = s;
            ++frames;
        };
    }
};

// Spins the event loop until `done` holds or `ms` have passed; whether it held.
template <typename Done>
bool spinUntil(Done done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return done();
}

void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
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
        USBFilter::OverrideFactory(QString::fromLatin1(kVideoDecoderName), QString());
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
};

} // namespace

TEST_F(GraphTest, ProbeFindsTheTestSourceAndFailsSilentlyWithoutADevice)
{
    USBFilter g(settings);
    EXPECT_EQ(g.GetGraphState(), GraphStateStopped);
    EXPECT_EQ(g.GetGraphKind(), GraphKindNone);
    ASSERT_TRUE(g.BuildGraph(GraphKindProbe, {}));
    EXPECT_EQ(g.GetGraphKind(), GraphKindProbe);
    GstElement* src = g.elementByName(kSourceName);
    EXPECT_NE(src, nullptr);
    if (src)
        gst_object_unref(src);
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
    CTestSourceControl::setPresent(true);
}

TEST_F(GraphTest, PreviewDeliversFramesAtTheStreamRateAndPublishesTheFormat)
{
    FrameCounter counter;
    {
        USBFilter g(settings, counter.sink());
        ASSERT_TRUE(g.BuildGraph(GraphKindPreview, {}));
        EXPECT_EQ(g.GetGraphKind(), GraphKindPreview);
        const FrameFormatValues f = FrameFormat::snapshot();
        EXPECT_EQ(f.width, 720);
        EXPECT_EQ(f.height, 576);
        EXPECT_EQ(f.videoSizeCode, 2);
        EXPECT_FLOAT_EQ(f.aspectDivisor, 1.0671141f);
        EXPECT_EQ(f.maxOuterRadius, 284u);
        // Nothing reaches the grabber before Play.
        spin(100);
        EXPECT_EQ(counter.frames.load(), 0);
        ASSERT_TRUE(g.Play());
        EXPECT_EQ(g.GetGraphState(), GraphStateRunning);
        spin(200);
        // The rate over the time that really passed (a busy machine
        // oversleeps); a doubled or halved rate is far outside.
        QElapsedTimer rateClock;
        rateClock.start();
        const int before = counter.frames.load();
        spin(1500);
        const double perSecond =
            (counter.frames.load() - before) * 1000.0 / static_cast<double>(rateClock.elapsed());
        EXPECT_GE(perSecond, 18.0);
        EXPECT_LE(perSecond, 32.0);
        EXPECT_EQ(counter.width.load(), 720);
        EXPECT_EQ(counter.height.load(), 576);
        EXPECT_EQ(counter.stride.load(), 2160);
        // The video window shows the same frames.
        CVideoWnd* w = g.videoWindow();
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->windowTitle(), QStringLiteral("澜石视界2011-播放窗口"));
        EXPECT_EQ(w->videoSize(), QSize(768, 576));
        EXPECT_EQ(w->frameSlot()->latest().size(), QSize(720, 576));
        QPointer<CVideoWnd> window(w);
        ASSERT_TRUE(g.Stop());
        EXPECT_TRUE(window.isNull()); // Stop closes it
        EXPECT_EQ(g.GetGraphState(), GraphStateStopped);
        const int stopped = counter.frames.load();
        spin(100);
        EXPECT_EQ(counter.frames.load(), stopped);
    }

    setCaptureSource(QStringLiteral("test:352x288@25"));
    counter.frames = 0;
    USBFilter g(settings, counter.sink());
    ASSERT_TRUE(g.BuildGraph(GraphKindPreview, {}));
    const FrameFormatValues f = FrameFormat::snapshot();
    EXPECT_EQ(f.videoSizeCode, 1);
    EXPECT_EQ(f.maxOuterRadius, 140u);
    EXPECT_FLOAT_EQ(f.aspectDivisor, 1.0913666f);
    ASSERT_TRUE(g.Play());
    EXPECT_TRUE(spinUntil([&] { return counter.frames.load() > 0; }, 10000));
    EXPECT_EQ(counter.stride.load(), 1056); // 352 x 3, already a multiple of 4
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(GraphTest, EachFrameIsCopiedIntoTheVideoWindowOnce)
{
    // The program's own sink, counted on its way.
    std::atomic<int> frames{0};
    const FrameSink station = stationFrameSink();
    USBFilter g(settings, [&](const uint8_t* bgr, int w, int h, int s) {
        ++frames;
        station(bgr, w, h, s);
    });
    ASSERT_TRUE(g.BuildGraph(GraphKindPreview, {}));
    const uint64_t before = stationVideoSlot()->framesCopied();
    ASSERT_TRUE(g.Play());
    EXPECT_TRUE(spinUntil([&] { return frames.load() >= 5; }, 10000));
    ASSERT_TRUE(g.Stop());
    EXPECT_EQ(stationVideoSlot()->framesCopied() - before, static_cast<uint64_t>(frames.load()));
}

TEST_F(GraphTest, StatesRefuseWhatTheyMustAndKindFourBuildsNothing)
{
    USBFilter g(settings);
    EXPECT_FALSE(g.BuildGraph(4, {}));
    EXPECT_FALSE(g.BuildGraph(3, {}));
    EXPECT_FALSE(g.BuildGraph(9, {}));
    EXPECT_EQ(g.pipeline(), nullptr);
    EXPECT_EQ(g.GetGraphKind(), GraphKindNone);
    EXPECT_TRUE(prompter.boxes.empty());

    ASSERT_TRUE(g.BuildGraph(GraphKindPreview, {}));
    EXPECT_FALSE(g.Pause()); // state 1
    EXPECT_FALSE(g.Stop());  // state 1
    EXPECT_EQ(g.GetGraphState(), GraphStateStopped);
    ASSERT_TRUE(g.Run());
    EXPECT_EQ(g.GetGraphState(), GraphStateRunning);
    EXPECT_FALSE(g.Run());
    EXPECT_FALSE(g.Play());
    ASSERT_TRUE(g.Pause());
    EXPECT_EQ(g.GetGraphState(), GraphStatePaused);
    EXPECT_FALSE(g.Pause());
    ASSERT_TRUE(g.Play());
    EXPECT_EQ(g.GetGraphState(), GraphStateRunning);
    // Seeking needs a played file.
    float f = 0.25f;
    int64_t d = 7;
    EXPECT_FALSE(g.SeekToFraction(0.5f));
    EXPECT_FALSE(g.GetPositionFraction(f));
    EXPECT_FALSE(g.GetDuration(d));
    EXPECT_EQ(f, 0.25f);
    EXPECT_EQ(d, 7);
    // Teardown stops a running graph.
    EXPECT_TRUE(g.TearDownGraph());
    EXPECT_EQ(g.GetGraphState(), GraphStateStopped);
    EXPECT_EQ(g.pipeline(), nullptr);
}

TEST_F(GraphTest, FiveSecondRecordingWhilePreviewingDecodesBack)
{
    FrameCounter counter;
    const QString path = dir.filePath(QStringLiteral("录像 1.mpg"));
    settings.MuxFormat = 2;
    settings.VideoFormat = 1;
    settings.VideoResolution = 5;
    int64_t recorded = 0;
    {
        USBFilter g(settings, counter.sink());
        GraphRequest request;
        request.recordFlag = true;
        request.mediaPath = path;
        ASSERT_TRUE(g.BuildGraph(GraphKindPreviewRecord, request));
        EXPECT_TRUE(g.IsRecording());
        ASSERT_TRUE(g.Play());
        QElapsedTimer played;
        played.start();
        spin(5000);
        EXPECT_GT(counter.frames.load(), 75); // the preview ran beside it
        ASSERT_TRUE(g.Stop());
        // Stop drains the recording: it holds every picture up to the stop,
        // at the profile's rate, whatever the encoder's lag.
        recorded = g.RecordedFrames();
        EXPECT_NEAR(recorded, played.elapsed() * 25 / 1000.0, 12);
    }
    EXPECT_GE(recorded, 120);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(4), QByteArray("\x00\x00\x01\xBA", 4));
    f.close();
    const test::DecodedMpeg d = test::decodeMpeg(path);
    ASSERT_TRUE(d.ok);
    EXPECT_NEAR(d.frames, recorded, 1);
    EXPECT_NEAR(d.durationSeconds, recorded / 25.0, 0.2);
    EXPECT_EQ(d.width, 720);
    EXPECT_EQ(d.height, 576);
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(GraphTest, ARecordingInterruptedByAStreamErrorIsFinishedAndTheFormIsTold)
{
    const QString path = dir.filePath(QStringLiteral("cut.mpg"));
    USBFilter g(settings);
    std::vector<GraphEvent> events;
    QString errorText;
    g.SetEventHandler([&](GraphEvent e, const QString& text) {
        events.push_back(e);
        errorText = text;
    });
    GraphRequest request;
    request.recordFlag = true;
    request.mediaPath = path;
    ASSERT_TRUE(g.BuildGraph(GraphKindPreview, request));
    ASSERT_TRUE(g.Play());
    ASSERT_TRUE(spinUntil([&] { return g.RecordedFrames() > 5; }, 10000));
    // The device goes away: its source posts an error.
    GstElement* src = g.elementByName(kSourceName);
    ASSERT_NE(src, nullptr);
    GError* err = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND,
                                      "device gone");
    gst_element_post_message(src, gst_message_new_error(GST_OBJECT(src), err, "unplugged"));
    g_error_free(err);
    gst_object_unref(src);
    spinUntil([&] { return !events.empty(); }, 5000);
    spin(50);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], GraphEvent::Error);
    EXPECT_EQ(errorText, QStringLiteral("device gone"));
    const int64_t recorded = g.RecordedFrames();
    EXPECT_GT(recorded, 5);
    ASSERT_TRUE(g.Stop());
    const test::DecodedMpeg d = test::decodeMpeg(path);
    ASSERT_TRUE(d.ok);
    EXPECT_NEAR(d.frames, g.RecordedFrames(), 1);
    EXPECT_GE(g.RecordedFrames(), recorded);
}

TEST_F(GraphTest, ARecordingThatCannotBeWrittenEndsAndIsTold)
{
    // A full disk: every write fails with "no space left".
    const QString full = QStringLiteral("/dev/full");
    if (!QFileInfo(full).exists() || !QFileInfo(full).isWritable())
        GTEST_SKIP() << "no /dev/full here";
    USBFilter g(settings);
    std::vector<GraphEvent> events;
    g.SetEventHandler([&](GraphEvent e, const QString&) { events.push_back(e); });
    GraphRequest request;
    request.recordFlag = true;
    request.mediaPath = full;
    ASSERT_TRUE(g.BuildGraph(GraphKindPreviewRecord, request));
    ASSERT_TRUE(g.Play());
    // The muxer holds well under a second of pictures before it writes.
    spinUntil([&] { return !events.empty(); }, 15000);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], GraphEvent::Error);
    EXPECT_TRUE(prompter.boxes.empty()); // told once, when the form stops
    ASSERT_TRUE(g.Stop());
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text, QStringLiteral("录像文件写入失败:\n/dev/full"));
    EXPECT_EQ(prompter.boxes[0].caption, QStringLiteral("出错"));
    EXPECT_TRUE(g.TearDownGraph());
    EXPECT_EQ(prompter.boxes.size(), 1u);
    EXPECT_TRUE(QFileInfo::exists(full));
}

TEST_F(GraphTest, AFailedRecordingBuildIsToldAndLeavesNoFile)
{
    USBFilter g(settings);
    GraphRequest request;
    request.recordFlag = true;
    request.mediaPath = dir.filePath(QStringLiteral("missing/folder/x.mpg"));
    EXPECT_FALSE(g.BuildGraph(GraphKindPreviewRecord, request));
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text,
              QStringLiteral("Error: USBFilter::SMBuildPreviewGraph,\n Adding Splitter Failed,\n "
                             "returned hr = 0x80070005"));
    EXPECT_EQ(prompter.boxes[0].caption, QStringLiteral("出错"));
    EXPECT_EQ(g.LastError(), prompter.boxes[0].text);

    // A recording whose graph fails after the file was made leaves no file.
    prompter.boxes.clear();
    // A source that sends no video: the stream never gets a format.
    USBFilter::OverrideFactory(QString::fromLatin1(kSourceName), QStringLiteral("fakesrc"));
    request.mediaPath = dir.filePath(QStringLiteral("never.mpg"));
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(g.BuildGraph(GraphKindPreviewRecord, request));
    EXPECT_LT(timer.elapsed(), 4000);
    USBFilter::OverrideFactory(QString::fromLatin1(kSourceName), QString());
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text,
              QStringLiteral("Warning: USBFilter::SMBuildPreviewGraph,\n Get the connected media "
                             "type Failed"));
    EXPECT_FALSE(QFile::exists(request.mediaPath));
    EXPECT_FALSE(g.IsRecording());

    // A recording graph that is built but never plays (the form's Play
    // failed) leaves no file either; a played one keeps its file.
    prompter.boxes.clear();
    request.mediaPath = dir.filePath(QStringLiteral("unplayed.mpg"));
    ASSERT_TRUE(g.BuildGraph(GraphKindPreviewRecord, request));
    EXPECT_TRUE(QFile::exists(request.mediaPath));
    EXPECT_TRUE(g.TearDownGraph());
    EXPECT_FALSE(QFile::exists(request.mediaPath));
    request.mediaPath = dir.filePath(QStringLiteral("played.mpg"));
    ASSERT_TRUE(g.BuildGraph(GraphKindPreviewRecord, request));
    ASSERT_TRUE(g.Play());
    ASSERT_TRUE(spinUntil([&] { return g.RecordedFrames() > 0; }, 10000));
    EXPECT_TRUE(g.TearDownGraph());
    EXPECT_TRUE(QFile::exists(request.mediaPath));
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(GraphTest, PlaybackReportsDurationSeeksAndEnds)
{
    const QString path = makeRecording(50); // 2 s
    FrameCounter counter;
    USBFilter g(settings, counter.sink());
    std::vector<GraphEvent> events;
    g.SetEventHandler([&](GraphEvent e, const QString&) { events.push_back(e); });
    GraphRequest request;
    request.mediaPath = path;
    ASSERT_TRUE(g.BuildGraph(GraphKindPlayback, request));
    EXPECT_TRUE(prompter.boxes.empty());
    EXPECT_EQ(g.GetGraphKind(), GraphKindPlayback);
    EXPECT_EQ(FrameFormat::snapshot().width, 352);
    EXPECT_EQ(FrameFormat::snapshot().maxOuterRadius, 140u);
    GstElement* demux = g.elementByName(kFileSplitterName);
    EXPECT_NE(demux, nullptr); // the demuxer graph, not the fallback
    if (demux)
        gst_object_unref(demux);
    // Playback never answers device codes.
    for (int code : {6, 9, 10, 21, 22, 26, 28})
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
    EXPECT_GT(counter.frames.load(), 5);
    ASSERT_TRUE(g.GetPositionFraction(f));
    EXPECT_GT(f, 0.55f);
    EXPECT_LE(f, 1.0f);
    ASSERT_TRUE(spinUntil([&] { return !events.empty(); }, 10000));
    spin(50);
    ASSERT_TRUE(g.GetPositionFraction(f));
    EXPECT_EQ(f, 1.0f); // after the end
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], GraphEvent::EndOfStream);
    EXPECT_NEAR(counter.frames.load(), 25, 3);

    // Seeking back after the end plays again.
    ASSERT_TRUE(g.SeekToFraction(0.0f));
    ASSERT_TRUE(g.GetPositionFraction(f));
    EXPECT_LT(f, 0.1f);
}

TEST_F(GraphTest, AMissingDecoderFallsBackToTheSecondBuilder)
{
    const QString path = makeRecording(25);
    USBFilter::OverrideFactory(QString::fromLatin1(kVideoDecoderName),
                               QStringLiteral("no-such-decoder"));
    FrameCounter counter;
    USBFilter g(settings, counter.sink());
    GraphRequest request;
    request.mediaPath = path;
    ASSERT_TRUE(g.BuildGraph(GraphKindPlayback, request));
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text,
              QStringLiteral("Error: USBFilter::SMBuildULeadPlayBackGraph,\n Adding Video Decoder "
                             "Failed,\n returned hr = 0x80040154"));
    EXPECT_EQ(prompter.boxes[0].style, unsigned(MB_OK | MB_ICONSTOP));
    GstElement* splitter = g.elementByName(kDeviceSplitterName);
    EXPECT_NE(splitter, nullptr);
    if (splitter)
        gst_object_unref(splitter);
    int64_t duration = 0;
    EXPECT_TRUE(g.GetDuration(duration));
    EXPECT_NEAR(duration / 1e7, 1.0, 0.1);
    ASSERT_TRUE(g.Play());
    EXPECT_TRUE(spinUntil([&] { return counter.frames.load() > 3; }, 10000));
}

TEST_F(GraphTest, AMissingOrDamagedFileIsRefusedByBothBuilders)
{
    USBFilter g(settings);
    GraphRequest request;
    request.mediaPath = dir.filePath(QStringLiteral("不存在.mpg"));
    EXPECT_FALSE(g.BuildGraph(GraphKindPlayback, request));
    ASSERT_EQ(prompter.boxes.size(), 2u);
    EXPECT_EQ(prompter.boxes[0].text, QStringLiteral("Failed to Read the video file"));
    EXPECT_EQ(prompter.boxes[1].text, QStringLiteral("Failed to Read video file"));
    EXPECT_EQ(g.pipeline() != nullptr, true); // left as far as it got, until deleted

    prompter.boxes.clear();
    const QString junk = dir.filePath(QStringLiteral("junk.mpg"));
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    request.mediaPath = junk;
    EXPECT_FALSE(g.BuildGraph(GraphKindPlayback, request));
    ASSERT_EQ(prompter.boxes.size(), 2u);
    EXPECT_TRUE(prompter.boxes[0].text.startsWith(
        QStringLiteral("Error: USBFilter::SMBuildULeadPlayBackGraph,\n ")));
    EXPECT_TRUE(prompter.boxes[1].text.startsWith(
        QStringLiteral("Error: USBFilter::SMBuildPlayBackGraph,\n ")));
    EXPECT_TRUE(g.TearDownGraph());
}

TEST_F(GraphTest, DeletingTheGraphReleasesEveryElement)
{
    std::vector<GstElement*> elements;
    static std::atomic<int> finalized{0};
    finalized = 0;
    {
        USBFilter g(settings);
        GraphRequest request;
        request.recordFlag = true;
        request.mediaPath = dir.filePath(QStringLiteral("r.mpg"));
        ASSERT_TRUE(g.BuildGraph(GraphKindPreviewRecord, request));
        GstIterator* it = gst_bin_iterate_recurse(GST_BIN(g.pipeline()));
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
            auto* e = GST_ELEMENT(g_value_get_object(&item));
            elements.push_back(e);
            g_object_weak_ref(G_OBJECT(e), [](gpointer, GObject*) { ++finalized; }, nullptr);
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(it);
        g_object_weak_ref(G_OBJECT(g.pipeline()), [](gpointer, GObject*) { ++finalized; },
                          nullptr);
        ASSERT_TRUE(g.Play());
        spin(200);
        // Deleted while running: stopped, drained and released.
    }
    EXPECT_GE(elements.size(), 8u);
    EXPECT_EQ(finalized.load(), static_cast<int>(elements.size()) + 1);
    EXPECT_GT(test::decodeMpeg(dir.filePath(QStringLiteral("r.mpg"))).frames, 0);
}

TEST_F(GraphTest, FactoryBuildsGraphsWithItsSettingsAndEditsThem)
{
    FrameCounter counter;
    {
        auto factory = makeUsbGraphFactory(counter.sink(), &store.settings());
        EXPECT_EQ(factory->MuxFormat(), 2);
        factory->SetChangeMask(0x44);
        EXPECT_EQ(factory->ChangeMask(), 0x44u);
        factory->SetVideoFormat(0);
        auto graph = factory->CreateGraph();
        ASSERT_TRUE(graph->BuildGraph(GraphKindProbe, {}));
        EXPECT_EQ(graph->SetDeviceParam(DeviceApplySettings), 1);
        EXPECT_EQ(CTestSourceControl::takeLog(),
                  QStringList({QStringLiteral("VideoFormat=0"), QStringLiteral("Channel=2")}));
        ASSERT_TRUE(graph->BuildGraph(GraphKindPreview, {}));
        ASSERT_TRUE(graph->Play());
        EXPECT_TRUE(spinUntil([&] { return counter.frames.load() > 0; }, 10000));
        graph.reset();

        // Cancel keeps the values; OK takes the dialog's over.
        QTimer::singleShot(0, [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
                    d->reject();
        });
        EXPECT_FALSE(factory->EditVideoSettings(nullptr));
        EXPECT_EQ(factory->MuxFormat(), 2);
        QTimer::singleShot(0, [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) {
                    if (auto* vcd = d->findChild<QRadioButton*>(QStringLiteral("radio1168")))
                        vcd->click();
                    d->accept();
                }
        });
        EXPECT_TRUE(factory->EditVideoSettings(nullptr));
        EXPECT_EQ(factory->MuxFormat(), 1);
    }
    // The factory's values are what the store holds at the end.
    EXPECT_EQ(CRegistryValue(kDvrSettingsKey, &store.settings()).ReadDword("MuxFormat", -1), 1);
    EXPECT_EQ(CRegistryValue(kDvrSettingsKey, &store.settings()).ReadDword("VideoFormat", -1), 0);
}
