#include "app/workspace_wiring.h"

#include "acquisition/acquisition_dlg.h"
#include "acquisition/port_map.h"
#include "acquisition/unwrap_stitch_bar.h"
#include "acquisition/video_wnd.h"
#include "analysis/open_view.h"
#include "analysis/page_tool_bar.h"
#include "analysis/strip_sink.h"
#include "analysis/unwrap_frame.h"
#include "analysis/unwrap_view.h"
#include "app/survey_app.h"
#include "core/program_values.h"
#include "support/serial_slots.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/temp_settings.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace bc {
namespace {

// A profile whose serial slots lead nowhere.
// Graphs that open a video window when they play, as the capture graphs do,
// and give it what the program's video-window hook gives it.
struct WindowedGraph : test::ScriptedCaptureGraph {
    using ScriptedCaptureGraph::ScriptedCaptureGraph;
    bool Play() override
    {
        window = std::make_unique<CVideoWnd>(QSize(384, 288));
        attachUnwrapStitchBar(*window);
        return ScriptedCaptureGraph::Play();
    }
    bool Stop() override
    {
        window.reset();
        return ScriptedCaptureGraph::Stop();
    }
    std::unique_ptr<CVideoWnd> window;
};
struct WindowedGraphs : test::ScriptedGraphFactory {
    std::unique_ptr<ICaptureGraph> CreateGraph() override
    {
        auto graph = std::make_unique<WindowedGraph>(script);
        last = graph.get();
        return graph;
    }
    WindowedGraph* last = nullptr;
};

TEST(WorkspaceRoads, TheBarOpensTheLiveFrameOnceAndItsGoingClearsTheRequestAndReceiver)
{
    test::TempSettings profile;
    test::mapSerialSlotsNowhere(profile);
    test::ScriptedPrompter prompter;
    WindowedGraphs graphs;
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
        ASSERT_TRUE(graphs.last && graphs.last->window);
        auto* bar = graphs.last->window->findChild<CUnwrapStitchBar*>();
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->button()->isEnabled(), row.lensType != 0);
        auto* frame = qobject_cast<CUnWrapFrame*>(bar->window());
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->mode(), row.layout);
        EXPECT_EQ(frame->windowTitle(), QStringLiteral("展开拼接窗口"));
        EXPECT_TRUE(continuousRequest.load());
        EXPECT_EQ(registeredStripSink(), static_cast<IStripSink*>(frame->GetUnWrapView()));
        // A centre picked on the video reaches the raw-frame view (lens type 1).
        FrameFormat::publishSize(704, 576);
        const QPoint centre = frame->GetOpenView()->centre();
        emit graphs.last->window->centrePicked(300, 250);
        EXPECT_EQ(frame->GetOpenView()->centre(), row.lensType ? QPoint(300, 250) : centre);
        QTest::mouseClick(bar->button(), Qt::LeftButton);
        EXPECT_EQ(bar->window(), frame); // a second press does nothing
        EXPECT_FALSE(frame->close());    // the live frame stays

        delete frame; // however the frame goes, its request and receiver go
        EXPECT_FALSE(continuousRequest.load());
        EXPECT_EQ(registeredStripSink(), nullptr);
        EXPECT_EQ(bar->window(), nullptr);
        if (row.lensType != 0) {
            QTest::mouseClick(bar->button(), Qt::LeftButton);
            ASSERT_NE(bar->window(), nullptr);
            EXPECT_TRUE(continuousRequest.load());
        }
        QPointer<QWidget> reopened = bar->window();
        form.OnStopRecord(); // the video window and its bar go, and the frame
        EXPECT_TRUE(reopened.isNull());
        EXPECT_FALSE(continuousRequest.load());
        EXPECT_EQ(registeredStripSink(), nullptr);
    }
    FrameFormat::reset();
    // A window that cannot be made is told, and nothing is requested.
    CUnwrapStitchBar failing([](QWidget*, int) { return LiveUnwrapWindow{}; }, {});
    failing.OnInitDialog();
    EXPECT_EQ(prompter.boxTexts().filter(QStringLiteral("创建展开拼接窗口失败")).size(), 1);
    EXPECT_FALSE(continuousRequest.load());
}

TEST(WorkspaceRoads, TheFormsStitchButtonOpensTheStandAloneFrameWhichSwallowsPlusAndMinus)
{
    test::TempSettings profile;
    test::mapSerialSlotsNowhere(profile);
    test::ScriptedPrompter prompter;
    test::ScriptedGraphFactory graphs;
    CSurveyApp app;
    QStringList titles;
    int depthMoved = 0;
    bool boxChanged = false;
    bool formWhole = false;
    QTimer::singleShot(0, [&] {
        CAcquisitionDlg* form = CAcquisitionDlg::mainForm();
        ASSERT_NE(form, nullptr);
        QWidget* button = form->control(IDC_STITCH);
        form->OnStartAcquisition();
        for (int round = 0; round < 2; ++round) {
            QTest::mouseClick(button, Qt::LeftButton);
            QPointer<CUnWrapFrame> frame = qobject_cast<CUnWrapFrame*>(form->stitchWindow());
            ASSERT_TRUE(frame);
            titles << frame->windowTitle() + QString::number(frame->mode());
            QTest::mouseClick(button, Qt::LeftButton);
            EXPECT_EQ(form->stitchWindow(), frame.data());

            frame->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
            // Neither the form (its depth) nor the frame (its page box) sees them.
            QLineEdit* box = frame->pageToolBar()->pageBox();
            const QString text = box->text();
            const int depth = form->counter().depth();
            QTest::keyClick(frame->GetUnWrapView(), Qt::Key_Equal);
            QTest::keyClick(box, Qt::Key_Minus);
            QTest::keyClick(box, Qt::Key_Equal);
            depthMoved += form->counter().depth() - depth;
            boxChanged = boxChanged || box->text() != text;

            if (round == 1) { // left open: it goes while the form is still whole
                QObject::connect(frame, &QObject::destroyed,
                                 [&] { formWhole = CAcquisitionDlg::mainForm() != nullptr; });
                break;
            }
            frame->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_TRUE(frame.isNull());
            EXPECT_EQ(form->stitchWindow(), nullptr);
        }
        form->OnStopRecord();
        form->reject();
    });
    EXPECT_FALSE(app.InitInstance(&graphs, &profile.settings()));
    EXPECT_EQ(titles, QStringList(2, QStringLiteral("拼接窗口0")));
    EXPECT_EQ(depthMoved, 0);
    EXPECT_FALSE(boxChanged);
    EXPECT_TRUE(formWhole);
    EXPECT_TRUE(prompter.boxTexts().filter(QStringLiteral("创建拼接窗口失败")).isEmpty());
}

} // namespace
} // namespace bc
