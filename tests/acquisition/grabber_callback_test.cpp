// The frame grabber: requests, the frame copy's layout, the posted events and
// the captures it writes.

#include "acquisition/grabber_callback.h"

#include "acquisition/shared_frame.h"
#include "core/jpeg_file.h"
#include "core/program_values.h"
#include "support/scripted_prompter.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSize>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace bc {
namespace {

// A BGR test picture, rows top-down and padded to 4 bytes: its first
// `redRows` rows red, the rest blue. The padding holds 0xEE, which must never
// reach the frame copy.
struct TestFrame {
    int width, height, stride;
    std::vector<uchar> bytes;

    TestFrame(int w, int h, int redRows = 1) : width(w), height(h), stride((w * 3 + 3) / 4 * 4)
    {
        bytes.assign(static_cast<std::size_t>(stride) * h, 0xEE);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uchar* p = &bytes[static_cast<std::size_t>(y) * stride + x * 3];
                p[0] = y < redRows ? 0 : 255;
                p[1] = 0;
                p[2] = y < redRows ? 255 : 0;
            }
    }
    void feed() const { grabberCallback().BufferCB(bytes.data(), width, height, stride); }
};

// Stands in for the raw-frame view: counts the events it is posted and, when
// asked to, re-arms the request like the view does.
class EventRecorder : public QObject {
  public:
    std::vector<int> types;
    bool rearm = false;
    std::atomic<int> framesSeen{0};

    bool event(QEvent* e) override
    {
        if (e->type() != kFrameReadyEvent && e->type() != kCaptureCurrentEvent)
            return QObject::event(e);
        types.push_back(e->type());
        if (e->type() == kFrameReadyEvent) {
            std::lock_guard<std::mutex> lock(frameLock());
            framesSeen += sharedFrame().hasPixels();
            if (rearm)
                continuousRequest = true;
        }
        return true;
    }
};

class GrabberTest : public ::testing::Test {
  protected:
    void SetUp() override { reset(); }
    void TearDown() override
    {
        reset();
        grabberCallback().setJpegWriter(nullptr);
        publishDepthHeading(0, 0);
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
    // A JPEG writer that keeps the paths and pixels it was given and creates
    // the file.
    void recordWrites()
    {
        grabberCallback().setJpegWriter(
            [this](const QString& path, const uint8_t* rgb, int w, int h, ErrorReport*) {
                written.push_back(path);
                pixels.emplace_back(rgb, rgb + std::size_t(w) * 3 * h);
                QFile f(path);
                return f.open(QIODevice::WriteOnly);
            });
    }
    static void pump() { QCoreApplication::sendPostedEvents(); }

    QStringList written;
    std::vector<std::vector<uint8_t>> pixels;
    QTemporaryDir dir;
};

TEST_F(GrabberTest, ContinuousRequestsDeliverOneFramePerArming)
{
    EventRecorder view;
    grabberCallback().registerFrameTarget(&view);
    const TestFrame frame(64, 48);
    frame.feed();
    pump();
    EXPECT_TRUE(view.types.empty()); // nobody asked: nothing touched, nothing allocated
    {
        std::lock_guard<std::mutex> lock(frameLock());
        EXPECT_EQ(sharedFrame().capacity(), 0u);
    }
    continuousRequest = true;
    for (int i = 0; i < 5; ++i)
        frame.feed();
    EXPECT_FALSE(continuousRequest.load());
    pump();
    EXPECT_EQ(view.types, std::vector<int>({kFrameReadyEvent}));

    view.rearm = true;
    continuousRequest = true;
    for (int i = 0; i < 4; ++i) {
        frame.feed();
        frame.feed();
        pump();
    }
    EXPECT_EQ(view.framesSeen, 5);
}

TEST_F(GrabberTest, FrameCopyIsBottomUpPackedBgrAtAnyWidthInAReusedBuffer)
{
    const uint8_t* first = nullptr;
    // width, capacity after
    const int rows[][2] = {{100, 2100}, {333, 6993}, {1, 6993}, {64, 6993}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r[0]);
        const TestFrame frame(r[0], 7);
        continuousRequest = true;
        frame.feed();
        std::lock_guard<std::mutex> lock(frameLock());
        const SharedFrame& copy = sharedFrame();
        ASSERT_TRUE(copy.hasPixels());
        EXPECT_EQ(copy.width(), r[0]);
        EXPECT_EQ(copy.capacity(), std::size_t(r[1]));
        if (r[0] == 1) { // smaller frames reuse the buffer
            EXPECT_EQ(copy.pixels(), first);
        }
        first = copy.pixels();
        for (int y = 0; y < 7; ++y) // row 6 of the copy is the picture's top row
            for (int x = 0; x < r[0]; ++x) {
                const uint8_t* p = copy.pixels() + (y * r[0] + x) * 3;
                ASSERT_EQ(p[0], y == 6 ? 0 : 255) << "row " << y << " x " << x;
                ASSERT_EQ(p[1], 0);
                ASSERT_EQ(p[2], y == 6 ? 255 : 0);
            }
    }
}

TEST_F(GrabberTest, OneShotGoesToTheViewOrIsWrittenAsARealJpegUprightInItsColours)
{
    EventRecorder view;
    grabberCallback().registerFrameTarget(&view);
    requestCapture(dir.path(), 7);
    TestFrame(32, 16).feed();
    TestFrame(32, 16).feed();
    EXPECT_FALSE(oneShotRequest.load());
    pump();
    EXPECT_EQ(view.types, std::vector<int>({kCaptureCurrentEvent, kFrameReadyEvent}));
    EXPECT_FALSE(QFileInfo::exists(captureFileName(dir.path(), 7))); // the view writes it

    grabberCallback().unregisterFrameTarget(&view);
    requestCapture(dir.path(), 250);
    TestFrame(90, 64, 32).feed();
    const QString path = dir.filePath(QStringLiteral("250.jpg"));
    EXPECT_EQ(grabberCallback().lastSavedPath(), path);
    uint32_t w = 0, h = 0;
    const PixelBuffer rgb = JpegFile::ReadJpegToRgb(path, &w, &h);
    ASSERT_TRUE(rgb);
    ASSERT_EQ(QSize(int(w), int(h)), QSize(90, 64));
    const uint8_t* top = rgb.get() + (16 * 90 + 45) * 3;
    const uint8_t* bottom = rgb.get() + (48 * 90 + 45) * 3;
    EXPECT_GT(top[0], 230);
    EXPECT_LT(top[2], 25);
    EXPECT_LT(bottom[0], 25);
    EXPECT_GT(bottom[2], 230);
    std::lock_guard<std::mutex> lock(frameLock());
    EXPECT_EQ(sharedFrame().pixels()[0], 255); // the copy stays bottom-up: blue first
}

TEST_F(GrabberTest, CaptureNamesByDepthWhileRecordingByCounterOtherwiseAndNextFreeSuffix)
{
    recordWrites();
    const QString folder = dir.filePath(QStringLiteral("run%2b %1")); // a percent sign stays
    ASSERT_TRUE(QDir().mkpath(folder));
    publishDepthHeading(12345, 90);
    int counter = 0;
    for (bool recording : {true, false, false, true, true}) {
        requestCapture(folder, nextCaptureNumber(recording, counter));
        TestFrame(8, 8).feed();
    }
    EXPECT_EQ(written.replaceInStrings(folder + QLatin1Char('/'), QString()),
              QStringList({"12345.jpg", "0.jpg", "1.jpg", "12345_1.jpg", "12345_2.jpg"}));
    EXPECT_EQ(counter, 2);

    // Taken names keep counting past 999.
    for (int i = 3; i <= 999; ++i) {
        QFile f(captureFileName(folder, 12345, i));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    std::vector<uint8_t> strip(4 * 3 * 2, 0);
    grabberCallback().SetTarget(captureFileName(folder, 12345), folder, 12345);
    grabberCallback().SaveFrameJpeg(strip.data(), 4, 2);
    EXPECT_EQ(written.last(), folder + QStringLiteral("/12345_1000.jpg"));
}

TEST_F(GrabberTest, SaveFrameJpegReadsByStrideAndLeavesItsInputUntouched)
{
    recordWrites();
    // A 3 x 2 bottom-up BGR strip: bottom row blue, top row red; then the same
    // with rows padded to 12 bytes.
    const std::vector<uint8_t> original = {255, 0, 0,   255, 0, 0,   255, 0, 0,
                                           0,   0, 255, 0,   0, 255, 0,   0, 255};
    std::vector<uint8_t> strip = original;
    std::vector<uint8_t> padded = {255, 0, 0,   255, 0, 0,   255, 0, 0,   7, 7, 7,
                                   0,   0, 255, 0,   0, 255, 0,   0, 255, 7, 7, 7};
    grabberCallback().SetTarget(captureFileName(dir.path(), 3), dir.path(), 3);
    grabberCallback().SaveFrameJpeg(strip.data(), 3, 2);
    grabberCallback().SetTarget(captureFileName(dir.path(), 4), dir.path(), 4);
    grabberCallback().SaveFrameJpeg(padded.data(), 3, 2, 12);
    EXPECT_EQ(strip, original);
    // Written upright and red first: the top row is red.
    EXPECT_EQ(pixels, std::vector<std::vector<uint8_t>>(2, original));
    // A stride shorter than a row, no pixels or no target: nothing written.
    grabberCallback().SaveFrameJpeg(padded.data(), 5, 2, 12);
    grabberCallback().SaveFrameJpeg(nullptr, 3, 2);
    grabberCallback().SetTarget(QString(), QString(), 0);
    grabberCallback().SaveFrameJpeg(strip.data(), 3, 2);
    EXPECT_EQ(pixels.size(), 2u);
}

TEST_F(GrabberTest, AbsurdFramesAreDroppedAndKeepTheRequests)
{
    recordWrites();
    oneShotRequest = true;
    continuousRequest = true;
    grabberCallback().SetTarget(captureFileName(dir.path(), 1), dir.path(), 1);
    const uchar dummy[3] = {0, 0, 0};
    grabberCallback().BufferCB(dummy, 0, 10, 3);
    grabberCallback().BufferCB(dummy, 10, 10, 3);                 // stride below width x 3
    grabberCallback().BufferCB(dummy, 0x40000000, 1, 0x7FFFFFFF); // width x 3 overflows
    grabberCallback().BufferCB(dummy, 8193, 8192, 8193 * 3);      // no device is that large
    EXPECT_TRUE(oneShotRequest.load());
    EXPECT_TRUE(continuousRequest.load()); // the live view is not left waiting
    EXPECT_TRUE(written.empty());
    TestFrame(4, 4).feed();
    EXPECT_FALSE(oneShotRequest.load());
    EXPECT_EQ(written.size(), 1);
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
        const TestFrame big(720, 576);
        const TestFrame small(333, 200);
        for (int i = 0; !stop.load(); ++i)
            (i % 2 ? big : small).feed();
    });
    const QDeadlineTimer bound(20000);
    while (view->framesSeen < 20 && !bound.hasExpired()) {
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

// Under the BMP capture format a capture is a 24-bit BMP named as the JPEG
// would be, from the frame itself and from the raw-frame view's strip alike;
// a taken name moves on with its own extension.
TEST_F(GrabberTest, BmpCaptureFormatWritesBmpFilesOfTheFrame)
{
    currentCaptureFormat = 1;
    const TestFrame frame(5, 3); // top row red, the rest blue
    requestCapture(dir.path(), 12);
    frame.feed();
    grabberCallback().SetTarget(captureFileName(dir.path(), 12), dir.path(), 12);
    std::vector<uint8_t> strip(5 * 3 * 3); // the same picture, bottom-up, packed
    packBottomUp(frame.bytes.data(), 5, 3, frame.stride, strip.data());
    grabberCallback().SaveFrameJpeg(strip.data(), 5, 3);
    currentCaptureFormat = 0;
    for (const char* name : {"12.bmp", "12_1.bmp"}) {
        SCOPED_TRACE(name);
        uint32_t w = 0, h = 0;
        const PixelBuffer bmp = JpegFile::LoadBmpFile(dir.filePath(QString::fromLatin1(name)), &w, &h);
        ASSERT_TRUE(bmp);
        ASSERT_EQ(QSize(int(w), int(h)), QSize(5, 3));
        const uint32_t stride = JpegFile::paddedStride(5);
        for (uint32_t row = 0; row < 3; ++row) // the file's rows are bottom-up
            EXPECT_EQ(std::vector<uint8_t>(bmp.get() + row * stride, bmp.get() + row * stride + 15),
                      std::vector<uint8_t>(strip.begin() + row * 15, strip.begin() + row * 15 + 15));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).filter(QStringLiteral(".jpg")), QStringList());
}

TEST_F(GrabberTest, AFailedWriteIsToldOnTheUserInterfaceThreadWithNoLockHeld)
{
    test::ScriptedPrompter prompter;
    const QString folder = dir.filePath(QStringLiteral("missing"));
    const QString savedBefore = grabberCallback().lastSavedPath();
    // From the streaming thread.
    requestCapture(folder, 9);
    std::thread streaming([] { TestFrame(16, 16).feed(); });
    streaming.join();
    EXPECT_TRUE(prompter.boxes.empty());
    pump();
    ASSERT_EQ(prompter.boxes.size(), 1u);
    // From the raw-frame view, which saves holding the frame lock.
    grabberCallback().SetTarget(captureFileName(folder, 4), folder, 4);
    std::vector<uint8_t> strip(8 * 3 * 4, 0x40);
    {
        std::lock_guard<std::mutex> lock(frameLock());
        EXPECT_EQ(grabberCallback().SaveFrameJpeg(strip.data(), 8, 4), 0);
        EXPECT_EQ(prompter.boxes.size(), 1u);
    }
    pump();
    ASSERT_EQ(prompter.boxes.size(), 2u);
    for (const auto& box : prompter.boxes)
        EXPECT_TRUE(box.text.contains(QStringLiteral("文件或目录不存在")));
    EXPECT_FALSE(QFileInfo::exists(captureFileName(folder, 9)));
    EXPECT_EQ(grabberCallback().lastSavedPath(), savedBefore);
}

} // namespace
} // namespace bc
