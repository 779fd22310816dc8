// The frame grabber: requests, the frame copy's layout, the posted events and
// the captures it writes.

#include "acquisition/grabber_callback.h"

#include "acquisition/shared_frame.h"
#include "core/jpeg_file.h"
#include "core/program_values.h"
#include "support/scripted_prompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace bc {
namespace {

// A BGR test picture, rows top-down with padded rows: solid blue-green-red
// (10, 20, 30) with a top row of (1, 2, 3) to tell up from down. The padding
// bytes hold 0xEE, which must never reach the frame copy.
struct TestFrame {
    int width;
    int height;
    int stride;
    std::vector<uchar> bytes;

    TestFrame(int w, int h, int padTo = 4) : width(w), height(h)
    {
        stride = (w * 3 + padTo - 1) / padTo * padTo;
        bytes.assign(static_cast<std::size_t>(stride) * h, 0xEE);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uchar* p = &bytes[static_cast<std::size_t>(y) * stride + x * 3];
                p[0] = y == 0 ? 1 : 10;
                p[1] = y == 0 ? 2 : 20;
                p[2] = y == 0 ? 3 : 30;
            }
    }
    void feed() const { grabberCallback().BufferCB(bytes.data(), width, height, stride); }
};

// Stands in for the raw-frame view: records the events it is posted and, in
// continuous mode, re-arms the request like the view does.
class EventRecorder : public QObject {
public:
    std::vector<int> types;
    bool rearm = false;
    int framesSeen = 0;

    bool event(QEvent* e) override
    {
        if (e->type() == kFrameReadyEvent || e->type() == kCaptureCurrentEvent) {
            types.push_back(e->type());
            if (e->type() == kFrameReadyEvent) {
                std::lock_guard<std::mutex> lock(frameLock());
                if (sharedFrame().hasPixels())
                    ++framesSeen;
                if (rearm)
                    continuousRequest = true;
            }
            return true;
        }
        return QObject::event(e);
    }
};

struct WrittenCapture {
    QString path;
    std::vector<uint8_t> rgb;
    int width = 0;
    int height = 0;
};

class GrabberTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override
    {
        reset();
        grabberCallback().setJpegWriter(nullptr);
    }
    static void reset()
    {
        oneShotRequest = false;
        continuousRequest = false;
        grabberCallback().unregisterFrameTarget(grabberCallback().frameTarget());
        grabberCallback().SetTarget(QString(), QString(), 0);
        std::lock_guard<std::mutex> lock(frameLock());
        sharedFrame().release();
    }
    // Replaces the JPEG writer by one that keeps what it was given and
    // creates the file, so names and pixels can be checked exactly.
    void recordWrites()
    {
        grabberCallback().setJpegWriter(
            [this](const QString& path, const uint8_t* rgb, int w, int h, ErrorReport*) {
                WrittenCapture c;
                c.path = path;
                c.rgb.assign(rgb, rgb + static_cast<std::size_t>(w) * 3 * h);
                c.width = w;
                c.height = h;
                writes.push_back(std::move(c));
                QFile f(path);
                return f.open(QIODevice::WriteOnly);
            });
    }
    static void pump() { QCoreApplication::sendPostedEvents(); }

    std::vector<WrittenCapture> writes;
    QTemporaryDir dir;
};

TEST_F(GrabberTest, WithoutARequestAFrameTouchesNothing)
{
    EventRecorder view;
    grabberCallback().registerFrameTarget(&view);
    TestFrame(64, 48).feed();
    pump();
    EXPECT_TRUE(view.types.empty());
    std::lock_guard<std::mutex> lock(frameLock());
    EXPECT_FALSE(sharedFrame().hasPixels());
    EXPECT_EQ(sharedFrame().capacity(), 0u);
    EXPECT_FALSE(oneShotRequest.load());
    EXPECT_FALSE(continuousRequest.load());
}

TEST_F(GrabberTest, ContinuousRequestsDeliverOneFramePerArming)
{
    EventRecorder view;
    grabberCallback().registerFrameTarget(&view);
    const TestFrame frame(64, 48);

    for (int i = 0; i < 3; ++i)
        frame.feed();
    pump();
    EXPECT_TRUE(view.types.empty());

    continuousRequest = true;
    for (int i = 0; i < 5; ++i)
        frame.feed();
    EXPECT_FALSE(continuousRequest.load());
    pump();
    EXPECT_EQ(view.types, std::vector<int>({kFrameReadyEvent}));

    // The view re-arms after each frame: one frame per arming.
    view.rearm = true;
    continuousRequest = true;
    for (int i = 0; i < 4; ++i) {
        frame.feed();
        frame.feed();
        pump();
    }
    EXPECT_EQ(view.types.size(), 5u);
    EXPECT_EQ(view.framesSeen, 5);
}

TEST_F(GrabberTest, FrameCopyIsBottomUpPackedBgrAtAnyWidth)
{
    for (const int width : {64, 333, 1}) {
        const TestFrame frame(width, 7);
        continuousRequest = true;
        frame.feed();
        std::lock_guard<std::mutex> lock(frameLock());
        const SharedFrame& copy = sharedFrame();
        ASSERT_TRUE(copy.hasPixels());
        EXPECT_EQ(copy.width(), width);
        EXPECT_EQ(copy.height(), 7);
        const std::size_t row = static_cast<std::size_t>(width) * 3;
        for (int r = 0; r < 7; ++r) {
            // Row 6 of the copy is the picture's top row.
            const uchar want[3] = {static_cast<uchar>(r == 6 ? 1 : 10),
                                   static_cast<uchar>(r == 6 ? 2 : 20),
                                   static_cast<uchar>(r == 6 ? 3 : 30)};
            for (int x = 0; x < width; ++x) {
                const uint8_t* p = copy.pixels() + r * row + x * 3;
                ASSERT_EQ(p[0], want[0]) << "width " << width << " row " << r << " x " << x;
                ASSERT_EQ(p[1], want[1]);
                ASSERT_EQ(p[2], want[2]);
            }
        }
    }
}

TEST_F(GrabberTest, SmallerFramesReuseTheBuffer)
{
    continuousRequest = true;
    TestFrame(100, 80).feed();
    const uint8_t* first = nullptr;
    {
        std::lock_guard<std::mutex> lock(frameLock());
        first = sharedFrame().pixels();
        EXPECT_EQ(sharedFrame().capacity(), 100u * 3 * 80);
    }
    continuousRequest = true;
    TestFrame(50, 40).feed();
    {
        std::lock_guard<std::mutex> lock(frameLock());
        EXPECT_EQ(sharedFrame().pixels(), first);
        EXPECT_EQ(sharedFrame().capacity(), 100u * 3 * 80);
        EXPECT_EQ(sharedFrame().width(), 50);
    }
    continuousRequest = true;
    TestFrame(120, 80).feed();
    std::lock_guard<std::mutex> lock(frameLock());
    EXPECT_EQ(sharedFrame().capacity(), 120u * 3 * 80);
    EXPECT_EQ(sharedFrame().width(), 120);
}

TEST_F(GrabberTest, OneShotWithAViewPostsCaptureThenFrameReady)
{
    recordWrites();
    EventRecorder view;
    grabberCallback().registerFrameTarget(&view);
    requestCapture(dir.path(), 7);
    TestFrame(32, 16).feed();
    TestFrame(32, 16).feed();
    EXPECT_FALSE(oneShotRequest.load());
    pump();
    EXPECT_EQ(view.types, std::vector<int>({kCaptureCurrentEvent, kFrameReadyEvent}));
    // The view writes the capture itself, from its own image.
    EXPECT_TRUE(writes.empty());
}

TEST_F(GrabberTest, OneShotWithoutAViewWritesTheFrameUpright)
{
    recordWrites();
    requestCapture(dir.path(), 1500);
    const TestFrame frame(333, 5);
    frame.feed();
    EXPECT_FALSE(oneShotRequest.load());
    ASSERT_EQ(writes.size(), 1u);
    const WrittenCapture& c = writes[0];
    EXPECT_EQ(c.path, dir.filePath(QStringLiteral("1500.jpg")));
    EXPECT_EQ(c.width, 333);
    EXPECT_EQ(c.height, 5);
    // Red first, top row first.
    EXPECT_EQ(c.rgb[0], 3);
    EXPECT_EQ(c.rgb[2], 1);
    EXPECT_EQ(c.rgb[333 * 3], 30);
    EXPECT_EQ(c.rgb[333 * 3 + 2], 10);
    EXPECT_EQ(grabberCallback().lastSavedPath(), c.path);

    // The frame copy keeps the grabber's layout (bottom-up, blue first).
    std::lock_guard<std::mutex> lock(frameLock());
    EXPECT_EQ(sharedFrame().pixels()[4 * 333 * 3], 1);
}

TEST_F(GrabberTest, CaptureNamesByDepthWhileRecordingAndByCounterOtherwise)
{
    recordWrites();
    int counter = 0;
    publishDepthHeading(12345, 90);

    requestCapture(dir.path(), nextCaptureNumber(true, counter));
    TestFrame(8, 8).feed();
    requestCapture(dir.path(), nextCaptureNumber(false, counter));
    TestFrame(8, 8).feed();
    requestCapture(dir.path(), nextCaptureNumber(false, counter));
    TestFrame(8, 8).feed();
    // A name that is taken gets the next free suffix.
    requestCapture(dir.path(), nextCaptureNumber(true, counter));
    TestFrame(8, 8).feed();
    requestCapture(dir.path(), nextCaptureNumber(true, counter));
    TestFrame(8, 8).feed();

    ASSERT_EQ(writes.size(), 5u);
    EXPECT_EQ(QFileInfo(writes[0].path).fileName(), QStringLiteral("12345.jpg"));
    EXPECT_EQ(QFileInfo(writes[1].path).fileName(), QStringLiteral("0.jpg"));
    EXPECT_EQ(QFileInfo(writes[2].path).fileName(), QStringLiteral("1.jpg"));
    EXPECT_EQ(QFileInfo(writes[3].path).fileName(), QStringLiteral("12345_1.jpg"));
    EXPECT_EQ(QFileInfo(writes[4].path).fileName(), QStringLiteral("12345_2.jpg"));
    EXPECT_EQ(counter, 2);
    publishDepthHeading(0, 0);
}

TEST_F(GrabberTest, APercentSignInTheFolderStaysInTheCaptureNames)
{
    recordWrites();
    const QString folder = dir.filePath(QStringLiteral("run%2b %1"));
    ASSERT_TRUE(QDir().mkpath(folder));
    publishDepthHeading(12345, 0);
    int counter = 0;
    for (int i = 0; i < 2; ++i) {
        requestCapture(folder, nextCaptureNumber(true, counter));
        TestFrame(8, 8).feed();
    }
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].path, folder + QStringLiteral("/12345.jpg"));
    EXPECT_EQ(writes[1].path, folder + QStringLiteral("/12345_1.jpg"));
    publishDepthHeading(0, 0);
}

TEST_F(GrabberTest, TakenNamesKeepCountingPast999)
{
    recordWrites();
    for (const QString& name : {QStringLiteral("1500.jpg"), QStringLiteral("1500_1.jpg")}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    std::vector<uint8_t> strip(4 * 3 * 2, 0);
    grabberCallback().SetTarget(captureFileName(dir.path(), 1500), dir.path(), 1500);
    grabberCallback().SaveFrameJpeg(strip.data(), 4, 2);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].path, dir.filePath(QStringLiteral("1500_2.jpg")));

    for (int i = 3; i <= 999; ++i) {
        QFile f(captureFileName(dir.path(), 1500, i));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    grabberCallback().SetTarget(captureFileName(dir.path(), 1500), dir.path(), 1500);
    grabberCallback().SaveFrameJpeg(strip.data(), 4, 2);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].path, dir.filePath(QStringLiteral("1500_1000.jpg")));
    EXPECT_EQ(QFileInfo(captureFileName(dir.path(), 1500, 999)).size(), 0);
}

TEST_F(GrabberTest, SaveFrameJpegLeavesItsInputUntouched)
{
    recordWrites();
    // A 3 x 2 bottom-up BGR strip: bottom row blue, top row red.
    const std::vector<uint8_t> original = {255, 0, 0, 255, 0, 0, 255, 0, 0,
                                           0, 0, 255, 0, 0, 255, 0, 0, 255};
    std::vector<uint8_t> strip = original;
    grabberCallback().SetTarget(captureFileName(dir.path(), 3), dir.path(), 3);
    grabberCallback().SaveFrameJpeg(strip.data(), 3, 2);
    EXPECT_EQ(strip, original);
    ASSERT_EQ(writes.size(), 1u);
    // Written upright and red first: the top row is red.
    EXPECT_EQ(writes[0].rgb, std::vector<uint8_t>({255, 0, 0, 255, 0, 0, 255, 0, 0,
                                                   0, 0, 255, 0, 0, 255, 0, 0, 255}));

    // A strip with rows padded to 4 bytes (12 bytes for 3 pixels) is read by
    // its stride, not sheared.
    std::vector<uint8_t> padded = {255, 0, 0, 255, 0, 0, 255, 0, 0, 7, 7, 7,
                                   0, 0, 255, 0, 0, 255, 0, 0, 255, 7, 7, 7};
    grabberCallback().SetTarget(captureFileName(dir.path(), 4), dir.path(), 4);
    grabberCallback().SaveFrameJpeg(padded.data(), 3, 2, 12);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].rgb, writes[0].rgb);
    // A stride shorter than a row is refused.
    grabberCallback().SaveFrameJpeg(padded.data(), 5, 2, 12);
    EXPECT_EQ(writes.size(), 2u);

    // Nothing to write without pixels or without a target.
    grabberCallback().SaveFrameJpeg(nullptr, 3, 2);
    grabberCallback().SetTarget(QString(), QString(), 0);
    grabberCallback().SaveFrameJpeg(strip.data(), 3, 2);
    EXPECT_EQ(writes.size(), 2u);
}

TEST_F(GrabberTest, AFailedGrowthDropsTheFrameAndKeepsTheOneShot)
{
    recordWrites();
    oneShotRequest = true;
    continuousRequest = true;
    grabberCallback().SetTarget(captureFileName(dir.path(), 1), dir.path(), 1);
    // Absurd sizes are refused before anything is allocated.
    const uchar dummy[3] = {0, 0, 0};
    grabberCallback().BufferCB(dummy, 0, 10, 3);
    grabberCallback().BufferCB(dummy, 10, 10, 3); // stride below width x 3
    grabberCallback().BufferCB(dummy, 0x40000000, 1, 0x7FFFFFFF); // width x 3 overflows
    EXPECT_TRUE(oneShotRequest.load());
    EXPECT_TRUE(writes.empty());
    TestFrame(4, 4).feed();
    EXPECT_FALSE(oneShotRequest.load());
    EXPECT_EQ(writes.size(), 1u);
}

TEST_F(GrabberTest, StreamingThreadAgainstAViewThatGoesAway)
{
    // Frames arrive on their own thread while the view reads the copy, re-arms
    // and finally unregisters and is deleted: no event reaches it afterwards.
    auto view = std::make_unique<EventRecorder>();
    view->rearm = true;
    grabberCallback().registerFrameTarget(view.get());
    continuousRequest = true;
    std::atomic<bool> stop{false};
    std::thread streaming([&] {
        const TestFrame big(720, 576, 4);
        const TestFrame small(333, 200, 4);
        for (int i = 0; !stop.load(); ++i)
            (i % 2 ? big : small).feed();
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (view->framesSeen < 20 && std::chrono::steady_clock::now() < until) {
        pump();
        std::this_thread::yield();
    }
    grabberCallback().unregisterFrameTarget(view.get());
    EXPECT_GE(view->framesSeen, 20);
    view.reset();
    pump();
    stop = true;
    streaming.join();
    pump();
    EXPECT_EQ(grabberCallback().frameTarget(), nullptr);
}

// A BGR picture, top half red, bottom half blue, rows padded to 4 bytes.
std::vector<uchar> redOverBlue(int w, int h, int* stride)
{
    *stride = (w * 3 + 3) / 4 * 4;
    std::vector<uchar> bgr(static_cast<std::size_t>(*stride) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uchar* p = &bgr[static_cast<std::size_t>(y) * *stride + x * 3];
            p[0] = y < h / 2 ? 0 : 255;
            p[2] = y < h / 2 ? 255 : 0;
        }
    return bgr;
}

TEST_F(GrabberTest, CaptureIsARealJpegUprightInItsColours)
{
    int stride = 0;
    const std::vector<uchar> bgr = redOverBlue(90, 64, &stride);
    requestCapture(dir.path(), 250);
    grabberCallback().BufferCB(bgr.data(), 90, 64, stride);

    uint32_t w = 0, h = 0;
    const PixelBuffer rgb =
        JpegFile::ReadJpegToRgb(dir.filePath(QStringLiteral("250.jpg")), &w, &h);
    ASSERT_TRUE(rgb);
    ASSERT_EQ(w, 90u);
    ASSERT_EQ(h, 64u);
    const uint8_t* top = rgb.get() + (16 * 90 + 45) * 3;
    const uint8_t* bottom = rgb.get() + (48 * 90 + 45) * 3;
    EXPECT_GT(top[0], 230);
    EXPECT_LT(top[2], 25);
    EXPECT_LT(bottom[0], 25);
    EXPECT_GT(bottom[2], 230);
}

TEST_F(GrabberTest, AFailedWriteOnTheStreamingThreadIsToldOnTheUserInterfaceThread)
{
    test::ScriptedPrompter prompter;
    int stride = 0;
    const std::vector<uchar> bgr = redOverBlue(16, 16, &stride);
    const QString folder = dir.filePath(QStringLiteral("missing"));
    const QString savedBefore = grabberCallback().lastSavedPath();
    requestCapture(folder, 9);
    std::thread streaming([&] { grabberCallback().BufferCB(bgr.data(), 16, 16, stride); });
    streaming.join();
    EXPECT_TRUE(prompter.boxes.empty());
    pump();
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_TRUE(prompter.boxes[0].text.contains(QStringLiteral("Can't open")));
    EXPECT_FALSE(QFileInfo::exists(captureFileName(folder, 9)));
    EXPECT_EQ(grabberCallback().lastSavedPath(), savedBefore);
}

TEST_F(GrabberTest, AFailedCaptureOfTheViewIsToldAfterItsLockIsGone)
{
    // The raw-frame view saves its strip holding the frame lock: the box
    // comes from the event loop once the view has let the lock go.
    test::ScriptedPrompter prompter;
    const QString folder = dir.filePath(QStringLiteral("missing"));
    grabberCallback().SetTarget(captureFileName(folder, 4), folder, 4);
    std::vector<uint8_t> strip(8 * 3 * 4, 0x40);
    {
        std::lock_guard<std::mutex> lock(frameLock());
        EXPECT_EQ(grabberCallback().SaveFrameJpeg(strip.data(), 8, 4), 0);
        EXPECT_TRUE(prompter.boxes.empty());
    }
    pump();
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_TRUE(prompter.boxes[0].text.contains(QStringLiteral("Can't open")));
    EXPECT_FALSE(QFileInfo::exists(captureFileName(folder, 4)));
}

} // namespace
} // namespace bc
