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
#include <QSize>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace bc {
namespace {

// A BGR test picture, rows top-down and padded: solid (10, 20, 30) with a top
// row of (1, 2, 3) to tell up from down. The padding holds 0xEE, which must
// never reach the frame copy.
struct TestFrame {
    int width, height, stride;
    std::vector<uchar> bytes;

    TestFrame(int w, int h) : width(w), height(h), stride((w * 3 + 3) / 4 * 4)
    {
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

// Stands in for the raw-frame view: records the events it is posted and, when
// asked to, re-arms the request like the view does.
class EventRecorder : public QObject {
public:
    std::vector<int> types;
    bool rearm = false;
    int framesSeen = 0;

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

struct WrittenCapture {
    QString path;
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
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
    // A JPEG writer that keeps what it was given and creates the file.
    void recordWrites()
    {
        grabberCallback().setJpegWriter(
            [this](const QString& path, const uint8_t* rgb, int w, int h, ErrorReport*) {
                writes.push_back({path, std::vector<uint8_t>(rgb, rgb + std::size_t(w) * 3 * h), w, h});
                QFile f(path);
                return f.open(QIODevice::WriteOnly);
            });
    }
    static void pump() { QCoreApplication::sendPostedEvents(); }

    std::vector<WrittenCapture> writes;
    QTemporaryDir dir;
};

TEST_F(GrabberTest, ContinuousRequestsDeliverOneFramePerArming)
{
    EventRecorder view;
    grabberCallback().registerFrameTarget(&view);
    const TestFrame frame(64, 48);
    for (int i = 0; i < 3; ++i)
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
    // width, height, capacity after
    const int rows[][3] = {{100, 7, 2100}, {333, 7, 6993}, {1, 7, 6993}, {64, 7, 6993}};
    for (const auto& r : rows) {
        const TestFrame frame(r[0], r[1]);
        continuousRequest = true;
        frame.feed();
        std::lock_guard<std::mutex> lock(frameLock());
        const SharedFrame& copy = sharedFrame();
        ASSERT_TRUE(copy.hasPixels());
        EXPECT_EQ(copy.width(), r[0]);
        EXPECT_EQ(copy.capacity(), std::size_t(r[2])) << r[0];
        if (r[0] == 1) { // smaller frames reuse the buffer
            EXPECT_EQ(copy.pixels(), first);
        }
        first = copy.pixels();
        const std::size_t row = std::size_t(r[0]) * 3;
        for (int y = 0; y < r[1]; ++y) // row 6 of the copy is the picture's top row
            for (int x = 0; x < r[0]; ++x) {
                const uint8_t* p = copy.pixels() + y * row + x * 3;
                const uint8_t base = y == 6 ? 1 : 10;
                ASSERT_EQ(p[0], base) << "width " << r[0] << " row " << y << " x " << x;
                ASSERT_EQ(p[1], base * 2);
                ASSERT_EQ(p[2], base * 3);
            }
    }
}

TEST_F(GrabberTest, OneShotGoesToTheViewOrIsWrittenUpright)
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
    EXPECT_TRUE(writes.empty()); // the view writes the capture itself

    grabberCallback().unregisterFrameTarget(&view);
    requestCapture(dir.path(), 1500);
    TestFrame(333, 5).feed();
    ASSERT_EQ(writes.size(), 1u);
    const WrittenCapture& c = writes[0];
    EXPECT_EQ(c.path, dir.filePath(QStringLiteral("1500.jpg")));
    EXPECT_EQ(QSize(c.width, c.height), QSize(333, 5));
    // Red first, top row first.
    EXPECT_EQ(std::vector<uint8_t>(c.rgb.begin(), c.rgb.begin() + 3), (std::vector<uint8_t>{3, 2, 1}));
    EXPECT_EQ(c.rgb[333 * 3], 30);
    EXPECT_EQ(grabberCallback().lastSavedPath(), c.path);
    std::lock_guard<std::mutex> lock(frameLock());
    EXPECT_EQ(sharedFrame().pixels()[4 * 333 * 3], 1); // the copy stays bottom-up
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
    QStringList names;
    for (const WrittenCapture& w : writes)
        names << w.path.mid(folder.size() + 1);
    EXPECT_EQ(names, QStringList({"12345.jpg", "0.jpg", "1.jpg", "12345_1.jpg", "12345_2.jpg"}));
    EXPECT_EQ(counter, 2);

    // Taken names keep counting past 999.
    for (int i = 3; i <= 999; ++i) {
        QFile f(captureFileName(folder, 12345, i));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    std::vector<uint8_t> strip(4 * 3 * 2, 0);
    grabberCallback().SetTarget(captureFileName(folder, 12345), folder, 12345);
    grabberCallback().SaveFrameJpeg(strip.data(), 4, 2);
    ASSERT_EQ(writes.size(), 6u);
    EXPECT_EQ(writes[5].path, folder + QStringLiteral("/12345_1000.jpg"));
}

TEST_F(GrabberTest, SaveFrameJpegReadsByStrideAndLeavesItsInputUntouched)
{
    recordWrites();
    // A 3 x 2 bottom-up BGR strip: bottom row blue, top row red; then the same
    // with rows padded to 12 bytes.
    const std::vector<uint8_t> original = {255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255};
    std::vector<uint8_t> strip = original;
    std::vector<uint8_t> padded = {255, 0, 0, 255, 0, 0, 255, 0, 0, 7, 7, 7,
                                   0, 0, 255, 0, 0, 255, 0, 0, 255, 7, 7, 7};
    grabberCallback().SetTarget(captureFileName(dir.path(), 3), dir.path(), 3);
    grabberCallback().SaveFrameJpeg(strip.data(), 3, 2);
    grabberCallback().SetTarget(captureFileName(dir.path(), 4), dir.path(), 4);
    grabberCallback().SaveFrameJpeg(padded.data(), 3, 2, 12);
    EXPECT_EQ(strip, original);
    ASSERT_EQ(writes.size(), 2u);
    // Written upright and red first: the top row is red.
    EXPECT_EQ(writes[0].rgb, original);
    EXPECT_EQ(writes[1].rgb, original);
    // A stride shorter than a row, no pixels or no target: nothing written.
    grabberCallback().SaveFrameJpeg(padded.data(), 5, 2, 12);
    grabberCallback().SaveFrameJpeg(nullptr, 3, 2);
    grabberCallback().SetTarget(QString(), QString(), 0);
    grabberCallback().SaveFrameJpeg(strip.data(), 3, 2);
    EXPECT_EQ(writes.size(), 2u);
}

TEST_F(GrabberTest, AbsurdFramesAreDroppedAndKeepTheOneShot)
{
    recordWrites();
    oneShotRequest = true;
    continuousRequest = true;
    grabberCallback().SetTarget(captureFileName(dir.path(), 1), dir.path(), 1);
    const uchar dummy[3] = {0, 0, 0};
    grabberCallback().BufferCB(dummy, 0, 10, 3);
    grabberCallback().BufferCB(dummy, 10, 10, 3);                 // stride below width x 3
    grabberCallback().BufferCB(dummy, 0x40000000, 1, 0x7FFFFFFF); // width x 3 overflows
    grabberCallback().BufferCB(dummy, 100000, 100000, 300000);   // no device is that large
    EXPECT_TRUE(oneShotRequest.load());
    EXPECT_TRUE(continuousRequest.load()); // the live view is not left waiting
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
        const TestFrame big(720, 576);
        const TestFrame small(333, 200);
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
    const PixelBuffer rgb = JpegFile::ReadJpegToRgb(dir.filePath(QStringLiteral("250.jpg")), &w, &h);
    ASSERT_TRUE(rgb);
    ASSERT_EQ(QSize(int(w), int(h)), QSize(90, 64));
    const uint8_t* top = rgb.get() + (16 * 90 + 45) * 3;
    const uint8_t* bottom = rgb.get() + (48 * 90 + 45) * 3;
    EXPECT_GT(top[0], 230);
    EXPECT_LT(top[2], 25);
    EXPECT_LT(bottom[0], 25);
    EXPECT_GT(bottom[2], 230);
}

TEST_F(GrabberTest, AFailedWriteIsToldOnTheUserInterfaceThreadWithNoLockHeld)
{
    test::ScriptedPrompter prompter;
    int stride = 0;
    const std::vector<uchar> bgr = redOverBlue(16, 16, &stride);
    const QString folder = dir.filePath(QStringLiteral("missing"));
    const QString savedBefore = grabberCallback().lastSavedPath();
    // From the streaming thread.
    requestCapture(folder, 9);
    std::thread streaming([&] { grabberCallback().BufferCB(bgr.data(), 16, 16, stride); });
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
        EXPECT_TRUE(box.text.contains(QStringLiteral("Can't open")));
    EXPECT_FALSE(QFileInfo::exists(captureFileName(folder, 9)));
    EXPECT_EQ(grabberCallback().lastSavedPath(), savedBefore);
}

} // namespace
} // namespace bc
