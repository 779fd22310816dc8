// The raw-frame view and its bar: the value rules, the live path from the
// grabber's streaming thread to the strip receiver, captures, the radius error.

#include "analysis/open_view.h"

#include "acquisition/grabber_callback.h"
#include "acquisition/settings_fields.h"
#include "acquisition/shared_frame.h"
#include "analysis/strip_sink.h"
#include "analysis/unwrap_param_bar.h"
#include "core/program_values.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"
#include "support/synthetic_borehole.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace bc {
namespace {

constexpr int kW = 352, kH = 288, kStripW = 400;

struct Collector : QObject, IStripSink {
    std::vector<std::unique_ptr<CUnWrapImage>> strips;
    std::atomic<int> count{0};
    void AddCapturedImage(std::unique_ptr<CUnWrapImage> strip) override
    {
        strips.push_back(std::move(strip));
        ++count;
    }
};

// Notes whether the frame lock was held while a box was shown.
struct LockCheckingPrompter : test::ScriptedPrompter {
    bool lockHeld = false;
    int messageBox(QWidget* p, const QString& t, const QString& c, unsigned s) override
    {
        lockHeld |= !frameLock().try_lock() || (frameLock().unlock(), false);
        return ScriptedPrompter::messageBox(p, t, c, s);
    }
};

class OpenViewTest : public ::testing::Test {
  protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset()
    {
        FrameFormat::reset();
        clearDepthTrigger();
        continuousRequest = oneShotRequest = false;
        currentLensType = 0;
        registerStripSink(nullptr, nullptr);
        std::lock_guard<std::mutex> lock(frameLock());
        sharedFrame().release();
    }
    static CSurveyParams liveSettings()
    {
        FrameFormat::publishSize(kW, kH);
        CSurveyParams s;
        s.centreX = kW / 2, s.centreY = kH / 2, s.outerRadius = 130, s.innerRadius = 40;
        s.unwrapWidth = kStripW;
        return s;
    }
    static test::RingCamera camera()
    {
        return {kW, kH, kW / 2, kH / 2, 130, 40, FrameFormat::aspectDivisor(), currentLensType};
    }
    static void feed(const std::vector<uint8_t>& f)
    {
        grabberCallback().BufferCB(f.data(), kW, kH, kW * 3);
    }
};

TEST(UnwrapRulesTest, ValuesAreCorrectedAndCentresCheckedAgainstTheFrame)
{
    using R = UnwrapRules;
    const struct {
        int inner, outer, width;
        void (UnwrapRules::*op)(int);
        int arg, wantInner, wantOuter, wantWidth;
    } cases[] = {{40, 200, 800, &R::typeWidth, 805, 40, 200, 804},
                 {40, 200, 800, &R::typeWidth, 50, 40, 200, 60},
                 {40, 200, 800, &R::typeWidth, 2000, 40, 200, 1800},
                 {40, 200, 1800, &R::stepWidth, 1, 40, 200, 1800},
                 {40, 200, 60, &R::stepWidth, -1, 40, 200, 60},
                 {10, 200, 800, &R::stepInner, -1, 10, 200, 800},
                 {40, 284, 800, &R::stepOuter, 1, 40, 284, 800},
                 {40, 200, 800, &R::typeOuter, 1000, 40, 284, 800},
                 {40, 200, 800, &R::typeOuter, 20, 40, 40, 800},
                 {40, 200, 800, &R::typeInner, 250, 200, 200, 800},
                 {40, 200, 800, &R::typeInner, -3, 10, 200, 800}};
    for (const auto& c : cases) {
        UnwrapRules r(c.inner, c.outer, c.width, 1.0f, 284);
        (r.*c.op)(c.arg);
        EXPECT_EQ(std::tuple(r.inner(), r.outer(), r.width()),
                  std::tuple(c.wantInner, c.wantOuter, c.wantWidth))
            << c.arg;
    }
    EXPECT_FALSE(UnwrapRules(150, 200, 800, 1.0f, 284).typeFactor(QStringLiteral("20.5")));

    const struct {
        int x, y, w, h, wantX, wantY, wantMax;
    } centres[] = {{10, 100, 704, 576, 352, 288, 284},  {100, 100, 704, 576, 100, 100, 96},
                   {352, 300, 704, 576, 352, 300, 272}, {690, 561, 704, 576, 352, 288, 284},
                   {5, 5, 576, 704, 288, 352, 284},     {20, 20, 30, 30, 15, 15, 11}};
    for (const auto& c : centres) {
        const CentreFit fit = fitCentre(c.x, c.y, c.w, c.h);
        EXPECT_EQ(std::tuple(fit.x, fit.y, fit.maxRadius), std::tuple(c.wantX, c.wantY, c.wantMax))
            << c.x << "," << c.y;
    }
    CSurveyParams s;
    s.centreX = 40, s.centreY = 300, s.outerRadius = 250;
    EXPECT_EQ(validateSettingsCentre(s, 704, 576, 284), 36);
    EXPECT_EQ(QPoint(s.outerRadius, s.innerRadius), QPoint(36, 10));
    s.centreX = 10;
    EXPECT_EQ(validateSettingsCentre(s, 0, 0, 284), 284); // no frame yet: left alone
    EXPECT_EQ(s.centreX, 10);
}

TEST_F(OpenViewTest, BarEditsSpinsAndWritesBack)
{
    FrameFormat::publishSize(704, 576);
    CSurveyParams s;
    s.centreX = 10, s.centreY = 100, s.outerRadius = 300, s.unwrapWidth = 800;
    {
        COpenView view(s);
        view.show();
        view.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
        EXPECT_EQ(view.centre(), QPoint(352, 288));
        auto* width =
            static_cast<QLineEdit*>(view.bar()->control(CUnwrapParamBar::IDC_UNWRAP_WIDTH));
        auto* outer =
            static_cast<QLineEdit*>(view.bar()->control(CUnwrapParamBar::IDC_OUTER_RADIUS));
        EXPECT_EQ(outer->text(), QStringLiteral("284 象素"));
        QTest::mouseClick(width, Qt::LeftButton);
        width->selectAll();
        QTest::keyClicks(width, QStringLiteral("805"));
        QTest::keyClick(width, Qt::Key_Tab); // the edit loses the focus
        EXPECT_EQ(width->text(), QStringLiteral("804 象素"));
        auto* spin = static_cast<CUpDown*>(view.bar()->control(CUnwrapParamBar::IDC_WIDTH_SPIN));
        QTest::mouseClick(spin->upButton(), Qt::LeftButton);
        EXPECT_EQ(view.unwrapWidth(), 808);
        view.SetUnwrapCenter(100, 100);
        EXPECT_EQ(outer->text(), QStringLiteral("96 象素"));
    }
    EXPECT_EQ(QPoint(s.centreX, s.centreY), QPoint(100, 100));
    EXPECT_EQ(QPoint(s.unwrapWidth, s.outerRadius), QPoint(808, 96));
}

// Every frame asks for the next one, also one that made no strip.
TEST_F(OpenViewTest, CapturesTriggersAndFramesThatMakeNoStrip)
{
    LockCheckingPrompter prompter;
    QTemporaryDir dir;
    CSurveyParams s = liveSettings();
    COpenView view(s);
    const QString capture = captureFileName(dir.path(), 1500);
    grabberCallback().SetTarget(capture, dir.path(), 1500);
    QCoreApplication::postEvent(&view, new QEvent(kCaptureCurrentEvent));
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFileInfo::exists(capture)); // nothing to save yet

    raiseDepthTrigger(1500);
    continuousRequest = true;
    feed(test::SyntheticBorehole(kStripW, 400, 5, 2).ringFrame(camera(), 0, 0));
    QCoreApplication::processEvents();
    const CUnWrapImage& strip = view.strip();
    ASSERT_TRUE(strip.hasPixels());
    EXPECT_TRUE(depthTriggerRaised()); // nobody collects strips: it stays raised
    EXPECT_TRUE(continuousRequest);

    const std::vector<uint8_t> before(strip.pixels(), strip.pixels() + strip.stride * strip.rows);
    QCoreApplication::postEvent(&view, new QEvent(kCaptureCurrentEvent));
    QCoreApplication::processEvents();
    EXPECT_TRUE(QFileInfo::exists(capture));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), strip.pixels()));

    { // a frame copy shorter than its size says is not read
        std::lock_guard<std::mutex> lock(frameLock());
        sharedFrame().release();
        sharedFrame().reserve(100);
        sharedFrame().setSize(kW, kH);
    }
    continuousRequest = false;
    view.ProcessFrame();
    EXPECT_TRUE(continuousRequest);

    // No ring fits: the error is shown once per change of the parameters,
    // never under the frame lock, and frames keep coming.
    FrameFormat::setMaxOuterRadius(5);
    for (int i = 0; i < 6; ++i) {
        if (i == 3)
            view.SetFrame(40, 130, 404, 1.0f);
        continuousRequest = true;
        feed(std::vector<uint8_t>(size_t(kW) * kH * 3, 90)); // takes the request
        view.ProcessFrame();
        EXPECT_TRUE(continuousRequest) << i;
    }
    ASSERT_EQ(prompter.boxes.size(), 2u);
    EXPECT_EQ(prompter.boxes[0].text, QStringLiteral("截取内径超过图片边界"));
    EXPECT_FALSE(prompter.lockHeld);
}

// The strip is painted upright at (60, 40), scaled by the zoom: the ring's
// inner edge at the top for lens 0, its outer edge for lens 1. Green marks
// the ring's outer half (200) and inner half (50).
TEST_F(OpenViewTest, PaintsTheStripUprightAtItsZoom)
{
    const struct {
        int lens;
        int zoomIns;
        int topGreen, bottomGreen;
    } cases[] = {{0, 2, 50, 200}, {1, 1, 200, 50}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::pair(c.lens, c.zoomIns)));
        currentLensType = c.lens;
        CSurveyParams s = liveSettings();
        COpenView view(s);
        view.resize(800, 400);
        for (int i = 0; i < c.zoomIns; ++i)
            view.ZoomIn();
        const test::RingCamera cam = camera();
        std::vector<uint8_t> frame(size_t(kW) * kH * 3, 0);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const double r = std::hypot((x + 0.5 - cam.centreX) * cam.aspectDivisor,
                                            cam.centreY - (y + 0.5));
                frame[(size_t(y) * kW + x) * 3 + 1] = r > 85 ? 200 : 50;
            }
        continuousRequest = true;
        feed(frame);
        QCoreApplication::processEvents();
        const CUnWrapImage& strip = view.strip();
        ASSERT_TRUE(strip.hasPixels());
        ASSERT_EQ(strip.rows, 91);

        const QImage shot = view.viewport()->grab().toImage();
        const int drawnWidth = int(kStripW * view.zoom()), drawnRows = int(91 * view.zoom());
        for (int x : {0, drawnWidth / 2, drawnWidth - 1}) {
            const int at = COpenView::kStripLeft + x, top = COpenView::kStripTop;
            EXPECT_EQ(std::tuple(qGreen(shot.pixel(at, top)),
                                 qGreen(shot.pixel(at, top + drawnRows - 1)),
                                 shot.pixel(at, top + drawnRows)),
                      std::tuple(c.topGreen, c.bottomGreen, qRgb(255, 255, 255)))
                << x;
        }
    }
}

// Frames arrive at 25 a second from a streaming thread; at each 200 mm step the
// depth and heading change, and the trigger is raised three frames later.
class LivePathTest : public OpenViewTest,
                     public ::testing::WithParamInterface<std::tuple<bool, int>> {};

TEST_P(LivePathTest, StripsArriveStampedAndUpright)
{
    const auto [downward, lens] = GetParam();
    currentLensType = lens;
    CSurveyParams s = liveSettings();
    Collector sink;
    registerStripSink(&sink, &sink);
    COpenView view(s);
    const test::SyntheticBorehole wall(kStripW, 600, 7, 2);
    constexpr int kSteps = 4;
    auto depth = [down = downward](int k) { return down ? 1000 + 200 * k : 3000 - 200 * k; };
    auto heading = [](int k) { return k * 97 % 360; };
    // Red marks the camera's quadrant (0: right and up, counter-clockwise),
    // green the half of the ring (200 outside the middle radius, 50 inside).
    const test::RingCamera cam = camera();
    std::vector<std::vector<uint8_t>> frames;
    for (int k = 0; k < kSteps; ++k) {
        std::vector<uint8_t> f = wall.ringFrame(cam, 20 * k, heading(k));
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const double dx = (x + 0.5 - cam.centreX) * cam.aspectDivisor;
                const double dy = cam.centreY - (y + 0.5);
                const double deg = std::fmod(std::atan2(dy, dx) * 180 / M_PI + 360, 360);
                uint8_t* p = &f[(size_t(y) * kW + x) * 3];
                p[1] = std::hypot(dx, dy) > (cam.outerRadius + cam.innerRadius) / 2.0 ? 200 : 50;
                p[2] = uint8_t(40 + 60 * int(deg / 90));
            }
        frames.push_back(std::move(f));
    }
    continuousRequest = true;
    std::thread streaming([&] {
        for (int k = 0; k < kSteps; ++k) // the next step once this one's strip is in
            for (int i = 0; i < 250 && (i < 5 || sink.count <= k); ++i) {
                if (i == 0)
                    publishDepthHeading(depth(k), heading(k));
                if (i == 3)
                    raiseDepthTrigger(depth(k));
                feed(frames[k]);
                std::this_thread::sleep_for(std::chrono::milliseconds(40));
            }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (sink.strips.size() < kSteps && std::chrono::steady_clock::now() < deadline)
        QTest::qWait(5);
    streaming.join();
    ASSERT_EQ(sink.strips.size(), size_t(kSteps));
    for (int k = 0; k < kSteps; ++k) {
        const CUnWrapImage& st = *sink.strips[k];
        EXPECT_EQ(std::make_tuple(st.depthKey, int(st.angle), st.width, st.rows),
                  std::make_tuple(depth(k), heading(k), kStripW, 91));
        // Column c looks at heading + 90 - 360 c / width degrees.
        for (int q = 0; q < 4; ++q) {
            const double deg = std::fmod(heading(k) + 45 - 90 * q + 720, 360);
            const int c = int(std::lround(deg * kStripW / 360)) % kStripW;
            EXPECT_EQ(st.row(45)[c * 3 + 2], 40 + 60 * q) << "strip " << k << " quadrant " << q;
        }
        // Buffer row 0 holds the outer radius for lens 0, the inner for lens 1.
        const int outer = lens == 0 ? 0 : 90;
        EXPECT_EQ(std::pair(int(st.row(outer)[1]), int(st.row(90 - outer)[1])), std::pair(200, 50));
    }
}

INSTANTIATE_TEST_SUITE_P(Directions, LivePathTest,
                         ::testing::Values(std::make_tuple(true, 0), std::make_tuple(false, 1)));

} // namespace
} // namespace bc
