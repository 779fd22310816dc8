// The grabber behind a live test-source graph: frames reach the shared copy
// only when asked for, upright in the expected layout, at any width.

#include "acquisition/device_control.h"
#include "acquisition/dvr_settings.h"
#include "acquisition/grabber_callback.h"
#include "acquisition/shared_frame.h"
#include "acquisition/usb_filter.h"
#include "acquisition/video_wnd.h"
#include "core/program_values.h"
#include "support/serial_pty.h"
#include "support/scripted_prompter.h"
#include "support/temp_settings.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <functional>

namespace bc {
namespace {

class FrameReadyCounter : public QObject {
public:
    int frames = 0;
    bool event(QEvent* e) override
    {
        if (e->type() == kFrameReadyEvent) {
            ++frames;
            return true;
        }
        return QObject::event(e);
    }
};

// How long a running test source may take to deliver an asked-for frame: a
// bound for a loaded machine, not a wait (the spin ends with the frame).
constexpr int kFrameBoundMs = 20000;

void spinUntil(const std::function<bool()>& done, int ms)
{
    test::waitUntil(done, ms);
}

class GrabberGraphTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CTestSourceControl::setPresent(true);
        FrameFormat::reset();
        oneShotRequest = false;
        continuousRequest = false;
        std::lock_guard<std::mutex> lock(frameLock());
        sharedFrame().release();
    }
    void TearDown() override
    {
        grabberCallback().unregisterFrameTarget(&view);
        continuousRequest = false;
        setCaptureSource(QString());
        FrameFormat::reset();
        std::lock_guard<std::mutex> lock(frameLock());
        sharedFrame().release();
    }

    // A running preview of a test picture, `pattern` being one of the test
    // source's patterns.
    std::unique_ptr<USBFilter> play(const char* source, const char* pattern)
    {
        setCaptureSource(QString::fromLatin1(source));
        auto g = std::make_unique<USBFilter>(settings, stationFrameSink());
        EXPECT_TRUE(g->BuildGraph(GraphKindPreview, {}));
        if (GstElement* src = g->elementByName(kSourceName)) {
            gst_util_set_object_arg(G_OBJECT(src), "pattern", pattern);
            gst_object_unref(src);
        }
        EXPECT_TRUE(g->Play());
        return g;
    }

    test::ScriptedPrompter prompter;
    test::TempSettings store;
    CDvrAppSettings settings{&store.settings()};
    FrameReadyCounter view;
};

TEST_F(GrabberGraphTest, OneFramePerArmingUprightInBlueGreenRedOrderAtAnOddWidth)
{
    grabberCallback().registerFrameTarget(&view);
    auto graph = play("test:333x200@25", "red");
    // Running, but nobody asked: nothing reaches the view or the copy.
    spinUntil([] { return false; }, 300);
    EXPECT_EQ(view.frames, 0);
    {
        std::lock_guard<std::mutex> lock(frameLock());
        EXPECT_FALSE(sharedFrame().hasPixels());
    }
    for (int arming = 1; arming <= 2; ++arming) {
        continuousRequest = true;
        spinUntil([&] { return view.frames >= arming; }, kFrameBoundMs);
        // A few more frame periods: still one frame for this arming.
        spinUntil([] { return false; }, 120);
        EXPECT_EQ(view.frames, arming);
    }
    graph->Stop();
    {
        // Rows of 999 bytes arrive padded to 1000: every pixel is still red.
        std::lock_guard<std::mutex> lock(frameLock());
        const SharedFrame& f = sharedFrame();
        ASSERT_TRUE(f.hasPixels());
        EXPECT_EQ(f.width(), 333);
        int wrong = 0;
        for (std::size_t i = 0; i < f.byteCount(); i += 3) {
            const uint8_t* p = f.pixels() + i;
            wrong += !(p[0] < 16 && p[1] < 16 && p[2] > 239);
        }
        EXPECT_EQ(wrong, 0);
    }

    // The colour bars: grey-white at the top left, a dark blue-black block at
    // the bottom left; the top of the picture is the last row of the copy.
    graph = play("test:333x200@25", "smpte");
    const int before = view.frames;
    continuousRequest = true;
    spinUntil([&] { return view.frames > before; }, kFrameBoundMs);
    graph->Stop();
    std::lock_guard<std::mutex> lock(frameLock());
    const SharedFrame& f = sharedFrame();
    const uint8_t* top = f.pixels() + (f.height() - 1) * f.rowBytes() + 3 * 5;
    const uint8_t* bottom = f.pixels() + 3 * 5;
    EXPECT_GT(std::min({top[0], top[1], top[2]}), 150);
    EXPECT_LT(bottom[0] + bottom[1] + bottom[2], 300);
}

} // namespace
} // namespace bc
