#include "app/workspace_wiring.h"

#include "acquisition/acquisition_dlg.h"
#include "acquisition/unwrap_stitch_bar.h"
#include "acquisition/video_wnd.h"
#include "analysis/open_view.h"
#include "analysis/strip_sink.h"
#include "analysis/unwrap_frame.h"
#include "analysis/unwrap_view.h"
#include "core/program_values.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/serial_slots.h"

#include <QFile>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(WorkspaceRoads, TheBarOpensTheLiveFrameOnceAndItsGoingClearsTheRequestAndReceiver)
{
    test::TempSettings profile;
    test::mapSerialSlotsNowhere(profile);
    test::ScriptedPrompter prompter;
    test::ScriptedGraphFactory graphs;
    AcquisitionHooks hooks;
    installWorkspace(hooks);
    CAcquisitionDlg form(graphs, profile.settings(), hooks);
    form.OnInitDialog();
    QTemporaryDir dir;
    QFile mpg(dir.filePath(QStringLiteral("p.mpg")));
    ASSERT_TRUE(mpg.open(QIODevice::WriteOnly));
    mpg.write(QByteArray("\x00\x00\x01\xBA\x00\x00", 6));
    mpg.close();

    const struct {
        int lensType;
        bool playback;
        int layout;
    } rows[] = {{1, false, 1}, {1, true, 2}, {0, false, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.layout);
        currentLensType.store(row.lensType);
        if (row.playback) {
            prompter.fileAnswers.push_back(mpg.fileName());
            form.OnOpenPlayback();
        } else {
            form.OnStartAcquisition();
        }
        // What the program's video-window hook gives every video window.
        auto video = std::make_unique<CVideoWnd>(QSize(384, 288));
        attachUnwrapStitchBar(*video);
        auto* bar = video->findChild<CUnwrapStitchBar*>();
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->button()->isEnabled(), row.lensType != 0);
        auto* frame = qobject_cast<CUnWrapFrame*>(bar->window());
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->windowTitle() + QString::number(frame->mode()),
                  QStringLiteral("展开拼接窗口%1").arg(row.layout));
        EXPECT_TRUE(continuousRequest.load());
        EXPECT_EQ(registeredStripSink(), static_cast<IStripSink*>(frame->GetUnWrapView()));
        // A centre picked on the video reaches the raw-frame view (lens type 1).
        FrameFormat::publishSize(704, 576);
        const QPoint centre = frame->GetOpenView()->centre();
        emit video->centrePicked(300, 250);
        EXPECT_EQ(frame->GetOpenView()->centre(), row.lensType ? QPoint(300, 250) : centre);
        QTest::mouseClick(bar->button(), Qt::LeftButton);
        EXPECT_EQ(bar->window(), frame); // a second press does nothing
        EXPECT_FALSE(frame->close());    // the live frame stays

        delete frame; // however the frame goes, its request and receiver go
        EXPECT_FALSE(continuousRequest.load());
        EXPECT_EQ(registeredStripSink(), nullptr);
        EXPECT_EQ(bar->window(), nullptr);
        QTest::mouseClick(bar->button(), Qt::LeftButton);
        EXPECT_EQ(bar->window() != nullptr, row.lensType != 0);
        QPointer<QWidget> reopened = bar->window();
        video.reset(); // the video window and its bar go, and the frame
        EXPECT_TRUE(reopened.isNull());
        EXPECT_FALSE(continuousRequest.load());
        EXPECT_EQ(registeredStripSink(), nullptr);
        form.OnStopRecord();
    }
    FrameFormat::reset();
    // A window that cannot be made is told, and nothing is requested.
    CUnwrapStitchBar failing([](QWidget*, int) { return LiveUnwrapWindow{}; }, {});
    failing.OnInitDialog();
    EXPECT_EQ(prompter.boxTexts().filter(QStringLiteral("创建展开拼接窗口失败")).size(), 1);
    EXPECT_FALSE(continuousRequest.load());
}

} // namespace
} // namespace bc
