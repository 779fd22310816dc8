// The live unwrap-and-stitch window, opened by the bar under a video window
// as the program wires it, lies within the screen even where the screen is
// smaller than the window's own 860 x 750.

#include "app/workspace_wiring.h"

#include "acquisition/acquisition_dlg.h"
#include "acquisition/unwrap_stitch_bar.h"
#include "acquisition/video_wnd.h"
#include "platform/window_placement.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/serial_slots.h"

#include <QScreen>

#include <gtest/gtest.h>

#include <memory>

namespace bc {
namespace {

TEST(LiveFramePlacement, TheLiveFrameIsCutToASmallerScreen)
{
    test::TempSettings profile;
    test::mapSerialSlotsNowhere(profile);
    test::ScriptedPrompter prompter;
    test::ScriptedGraphFactory graphs;
    AcquisitionHooks hooks;
    installWorkspace(hooks);
    CAcquisitionDlg form(graphs, profile.settings(), hooks);
    form.OnInitDialog();
    form.OnStartAcquisition();
    auto video = std::make_unique<CVideoWnd>(QSize(384, 288));
    attachUnwrapStitchBar(*video);
    auto* bar = video->findChild<CUnwrapStitchBar*>();
    ASSERT_NE(bar, nullptr);
    QWidget* frame = bar->window();
    ASSERT_NE(frame, nullptr);
    const QRect available = availableAreaFor(frame);
    if (available.width() >= 860 + 20 && available.height() >= 750 + 40)
        GTEST_SKIP() << "this screen holds the whole window";
    EXPECT_TRUE(available.contains(frame->frameGeometry()))
        << frame->frameGeometry().width() << "x" << frame->frameGeometry().height();
    EXPECT_EQ(frame->pos(), available.topLeft()); // still at the origin
    video.reset();
    form.OnStopRecord();
}

} // namespace
} // namespace bc
