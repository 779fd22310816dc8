// The raw-frame view and its bar: the value rules, the live path from the
// grabber's streaming thread to the strip receiver, captures, the radius error.

#include "analysis/open_view.h"

#include "acquisition/grabber_callback.h"
#include "acquisition/settings_fields.h"
#include "acquisition/shared_frame.h"
#include "analysis/strip_sink.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_param_bar.h"
#include "analysis/unwrap_view.h"
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

#include <chrono>
#include <cmath>
#include <thread>

namespace bc {
namespace {

constexpr int kW = 352, kH = 288, kStripW = 400;

struct Collector : QObject, IStripSink {
    std::vector<std::unique_ptr<CUnWrapImage>> strips;
    void AddCapturedImage(std::unique_ptr<CUnWrapImage> item) override
    {
        strips.push_back(std::move(item));
    }
};

// Records whether the frame lock was free while a box was shown.
struct LockCheckingPrompter : test::ScriptedPrompter {
    bool lockHeld = false;
    int messageBox(QWidget* p, const QString& t, const QString& c, unsigned s) override
    {
        if (frameLock().try_lock())
            frameLock().unlock();
        else
            lockHeld = true;
        return ScriptedPrompter::messageBox(p, t, c, s);
    }
};

// Red marks the camera's quadrant (0: right and up, counter-clockwise), green
// the half of the ring (200 outside the middle radius, 50 inside).
std::vector<uint8_t> markedFrame(const test::SyntheticBorehole& wall, const test::RingCamera& cam,
                                 int top, int heading)
{
    std::vector<uint8_t> f = wall.ringFrame(cam, top, heading);
    for (int y = 0; y < cam.frameHeight; ++y)
        for (int x = 0; x < cam.frameWidth; ++x) {
            const double dx = (x + 0.5 - cam.centreX) * cam.aspectDivisor, dy = cam.centreY - (y + 0.5);
            const double deg = std::fmod(std::atan2(dy, dx) * 180 / M_PI + 360, 360);
            uint8_t* p = &f[(size_t(y) * cam.frameWidth + x) * 3];
            p[1] = std::hypot(dx, dy) > (cam.outerRadius + cam.innerRadius) / 2.0 ? 200 : 50;
            p[2] = uint8_t(40 + 60 * int(deg / 90));
        }
    return f;
}

class OpenViewTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset()
    {
        FrameFormat::reset();
        clearDepthTrigger();
        continuousRequest = false;
        oneShotRequest = false;
        currentLensType = 0;
        registerStripSink(nullptr, nullptr);
        std::lock_guard<std::mutex> lock(frameLock());
        sharedFrame().release();
    }
    CSurveyParams liveSettings()
    {
        FrameFormat::publishSize(kW, kH);
        CSurveyParams s;
        s.centreX = kW / 2;
        s.centreY = kH / 2;
        s.outerRadius = 130;
        s.innerRadius = 40;
        s.unwrapWidth = kStripW;
        return s;
    }
    test::RingCamera camera() const
    {
        return {kW, kH, kW / 2, kH / 2, 130, 40, FrameFormat::aspectDivisor(), currentLensType};
    }
    static void feed(const std::vector<uint8_t>& f) { grabberCallback().BufferCB(f.data(), kW, kH, kW * 3); }
};

TEST(UnwrapRulesTest, ChangeHandlersCorrectTheirValues)
{
    struct Case {
        int inner, outer, width;
        void (UnwrapRules::*op)(int);
        int arg, wantInner, wantOuter, wantWidth;
    } const cases[] = {
        {40, 200, 800, &UnwrapRules::typeWidth, 805, 40, 200, 804},
        {40, 200, 800, &UnwrapRules::typeWidth, 50, 40, 200, 60},
        {40, 200, 800, &UnwrapRules::typeWidth, 2000, 40, 200, 1800},
        {40, 200, 800, &UnwrapRules::stepWidth, 1, 40, 200, 804},
        {40, 200, 1800, &UnwrapRules::stepWidth, 1, 40, 200, 1800},
        {40, 200, 60, &UnwrapRules::stepWidth, -1, 40, 200, 60},
        {10, 200, 800, &UnwrapRules::stepInner, -1, 10, 200, 800},
        {40, 284, 800, &UnwrapRules::stepOuter, 1, 40, 284, 800},
        {40, 200, 800, &UnwrapRules::typeOuter, 1000, 40, 284, 800},
        {40, 200, 800, &UnwrapRules::typeOuter, 20, 40, 40, 800},
        {40, 200, 800, &UnwrapRules::typeInner, 250, 200, 200, 800},
        {40, 200, 800, &UnwrapRules::typeInner, -3, 10, 200, 800},
    };
    for (const Case& c : cases) {
        UnwrapRules r(c.inner, c.outer, c.width, 1.0f, 284);
        (r.*c.op)(c.arg);
        EXPECT_EQ(r.inner(), c.wantInner) << c.arg;
        EXPECT_EQ(r.outer(), c.wantOuter) << c.arg;
        EXPECT_EQ(r.width(), c.wantWidth) << c.arg;
    }
    UnwrapRules r(150, 200, 800, 1.0f, 284);
    EXPECT_FALSE(r.typeFactor(QStringLiteral("20.5")));
    EXPECT_TRUE(r.setMaxRadius(100));
    EXPECT_EQ(QPoint(r.inner(), r.outer()), QPoint(100, 100));
}

TEST(UnwrapRulesTest, CentresAreCheckedAgainstTheFrame)
{
    struct Case {
        int x, y, w, h, wantX, wantY, wantMax;
    } const cases[] = {
        {10, 100, 704, 576, 352, 288, 284}, {100, 100, 704, 576, 100, 100, 96},
        {352, 300, 704, 576, 352, 300, 272}, {690, 561, 704, 576, 352, 288, 284},
        {5, 5, 576, 704, 288, 352, 284},     {20, 20, 30, 30, 15, 15, 11},
    };
    for (const Case& c : cases) {
        const CentreFit fit = fitCentre(c.x, c.y, c.w, c.h);
        EXPECT_EQ(QPoint(fit.x, fit.y), QPoint(c.wantX, c.wantY)) << c.x << "," << c.y;
        EXPECT_EQ(fit.maxRadius, c.wantMax) << c.x << "," << c.y;
    }
    CSurveyParams s;
    s.centreX = 40, s.centreY = 300, s.outerRadius = 250;
    EXPECT_EQ(validateSettingsCentre(s, 704, 576, 284), 36);
    EXPECT_EQ(QPoint(s.outerRadius, s.innerRadius), QPoint(36, 10));
    s.centreX = 10, s.centreY = 100;
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
        view.resize(900, 300);
        view.show();
        view.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
        EXPECT_EQ(view.centre(), QPoint(352, 288));
        EXPECT_EQ(FrameFormat::maxOuterRadius(), 284u);
        auto* width = static_cast<QLineEdit*>(view.bar()->control(CUnwrapParamBar::IDC_UNWRAP_WIDTH));
        auto* outer = static_cast<QLineEdit*>(view.bar()->control(CUnwrapParamBar::IDC_OUTER_RADIUS));
        EXPECT_EQ(outer->text(), QStringLiteral("284 象素"));
        QTest::mouseClick(width, Qt::LeftButton);
        width->selectAll();
        QTest::keyClicks(width, QStringLiteral("805"));
        QTest::keyClick(width, Qt::Key_Tab); // the edit loses the focus
        EXPECT_EQ(width->text(), QStringLiteral("804 象素"));
        EXPECT_EQ(view.unwrapWidth(), 804);
        auto* spin = static_cast<CUpDown*>(view.bar()->control(CUnwrapParamBar::IDC_WIDTH_SPIN));
        QTest::mouseClick(spin->upButton(), Qt::LeftButton);
        EXPECT_EQ(view.unwrapWidth(), 808);
        view.SetUnwrapCenter(100, 100);
        EXPECT_EQ(outer->text(), QStringLiteral("96 象素"));
    }
    EXPECT_EQ(QPoint(s.centreX, s.centreY), QPoint(100, 100));
    EXPECT_EQ(QPoint(s.unwrapWidth, s.outerRadius), QPoint(808, 96));
}

TEST_F(OpenViewTest, CapturesAndTriggersWithoutAReceiver)
{
    QTemporaryDir dir;
    CSurveyParams s = liveSettings();
    COpenView view(s);
    grabberCallback().SetTarget(captureFileName(dir.path(), 1500), dir.path(), 1500);
    QCoreApplication::postEvent(&view, new QEvent(kCaptureCurrentEvent));
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFileInfo::exists(captureFileName(dir.path(), 1500))); // nothing to save yet

    test::SyntheticBorehole wall(kStripW, 400, 5, 2);
    raiseDepthTrigger(1500);
    continuousRequest = true;
    feed(wall.ringFrame(camera(), 0, 0));
    QCoreApplication::processEvents();
    ASSERT_TRUE(view.strip().hasPixels());
    EXPECT_TRUE(depthTriggerRaised());
    EXPECT_TRUE(continuousRequest);

    const std::vector<uint8_t> before(view.strip().pixels(),
                                      view.strip().pixels() + view.strip().stride * view.strip().rows);
    QCoreApplication::postEvent(&view, new QEvent(kCaptureCurrentEvent));
    QCoreApplication::processEvents();
    EXPECT_TRUE(QFileInfo::exists(captureFileName(dir.path(), 1500)));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), view.strip().pixels()));

    { // a frame copy shorter than its size says is not read
        std::lock_guard<std::mutex> lock(frameLock());
        sharedFrame().release();
        sharedFrame().reserve(100);
        sharedFrame().setSize(kW, kH);
    }
    continuousRequest = false;
    view.ProcessFrame();
    EXPECT_TRUE(continuousRequest);
}

TEST_F(OpenViewTest, RadiusErrorShownOncePerChangeOutsideTheLock)
{
    LockCheckingPrompter prompter;
    CSurveyParams s = liveSettings();
    COpenView view(s);
    FrameFormat::setMaxOuterRadius(5); // no ring fits inside 40
    const std::vector<uint8_t> f(size_t(kW) * kH * 3, 90);
    for (int i = 0; i < 6; ++i) {
        if (i == 3)
            view.SetFrame(40, 130, 404, 1.0f);
        continuousRequest = true;
        feed(f); // takes the request
        view.ProcessFrame();
        EXPECT_TRUE(continuousRequest) << i; // the view keeps asking for frames
    }
    ASSERT_EQ(prompter.boxes.size(), 2u);
    EXPECT_EQ(prompter.boxes[0].text, QStringLiteral("截取内径超过图片边界"));
    EXPECT_FALSE(prompter.lockHeld);
}

// Frames arrive at 25 a second from a streaming thread; at each 200 mm step the
// depth and heading change, and the trigger is raised three frames later.
class LivePathTest : public OpenViewTest, public ::testing::WithParamInterface<std::tuple<bool, int>> {};

TEST_P(LivePathTest, StripsArriveStampedAndUpright)
{
    const auto [downward, lens] = GetParam();
    currentLensType = lens;
    CSurveyParams s = liveSettings();
    Collector sink;
    registerStripSink(&sink, &sink);
    COpenView view(s);
    test::SyntheticBorehole wall(kStripW, 600, 7, 2);
    constexpr int kSteps = 8;
    std::vector<std::vector<uint8_t>> frames;
    std::vector<int> depths, headings;
    for (int k = 0; k < kSteps; ++k) {
        depths.push_back(downward ? 1000 + 200 * k : 3000 - 200 * k);
        headings.push_back(k * 47 % 360);
        frames.push_back(markedFrame(wall, camera(), 20 * k, headings.back()));
    }
    continuousRequest = true;
    std::thread streaming([&] {
        for (int k = 0; k < kSteps; ++k)
            for (int i = 0; i < 10; ++i) {
                if (i == 0)
                    publishDepthHeading(depths[k], headings[k]);
                if (i == 3)
                    raiseDepthTrigger(depths[k]);
                feed(frames[k]);
                std::this_thread::sleep_for(std::chrono::milliseconds(40));
            }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (sink.strips.size() < kSteps && std::chrono::steady_clock::now() < deadline)
        QTest::qWait(5);
    streaming.join();
    QCoreApplication::processEvents();
    ASSERT_EQ(sink.strips.size(), size_t(kSteps));
    for (int k = 0; k < kSteps; ++k) {
        const CUnWrapImage& st = *sink.strips[k];
        EXPECT_EQ(st.depthKey, depths[k]);
        EXPECT_EQ(st.angle, headings[k]);
        ASSERT_EQ(QSize(st.width, st.rows), QSize(kStripW, 91));
        // Column c looks at heading + 90 - 360 c / width degrees.
        for (int q = 0; q < 4; ++q) {
            const int c = int(std::lround(std::fmod(headings[k] + 45 - 90 * q + 720, 360) * kStripW / 360)) % kStripW;
            EXPECT_EQ(st.row(45)[c * 3 + 2], 40 + 60 * q) << "strip " << k << " quadrant " << q;
        }
        // Buffer row 0 holds the outer radius for lens 0, the inner for lens 1.
        EXPECT_EQ(st.row(0)[1], lens == 0 ? 200 : 50);
        EXPECT_EQ(st.row(90)[1], lens == 0 ? 50 : 200);
    }
}

INSTANTIATE_TEST_SUITE_P(Directions, LivePathTest,
                         ::testing::Values(std::make_tuple(true, 0), std::make_tuple(false, 1)));

TEST_F(OpenViewTest, StripViewInsertsAndStitchesLiveStrips)
{
    test::ScriptedPrompter prompter;
    QTemporaryDir dir;
    CSurveyParams s = liveSettings();
    s.itemsPerPage = 10;
    WorkspaceContext ctx{&s, [] { return 1; }, dir.filePath(QStringLiteral("live.sfa")), dir.path()};
    CUnWrapView strips(ctx);
    registerStripSink(&strips, &strips);
    COpenView view(s);
    const test::SyntheticBorehole wall(kStripW, 1000, 7);
    const auto frames = wall.consecutiveFrames(camera(), 0, 12, 20, 0, 30);
    for (int k = 0; k < 12; ++k) {
        publishDepthHeading(1000 + 200 * k, k * 30 % 360);
        raiseDepthTrigger(1000 + 200 * k);
        continuousRequest = true;
        feed(frames[k]);
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(strips.GetData()->GetItemCount(), 12);
    for (int i = 0; i < 12; ++i) // each page starts afresh
        EXPECT_EQ(strips.GetData()->GetItem(i)->shownHeight, i % 10 ? 71 : 91) << i;
}

} // namespace
} // namespace bc
