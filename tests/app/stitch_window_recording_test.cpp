// The stitch window beside a recording, with the windows the program's hooks
// build: only the live window under the video keeps the recording's files;
// the stitch window opens empty in every form mode and never writes them.

#include "acquisition/acquisition_dlg.h"
#include "acquisition/unwrap_stitch_bar.h"
#include "acquisition/video_wnd.h"
#include "analysis/input_string_dlg.h"
#include "analysis/strip_sink.h"
#include "analysis/unwrap_frame.h"
#include "analysis/unwrap_frame_ids.h"
#include "analysis/unwrap_view.h"
#include "app/workspace_wiring.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/serial_slots.h"
#include "support/survey_fixtures.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace bc {
namespace {

struct Station {
    test::TempSettings profile;
    test::ScriptedPrompter prompter;
    test::ScriptedGraphFactory graphs;
    AcquisitionHooks hooks;
    QTemporaryDir dir;
    std::unique_ptr<CAcquisitionDlg> form;
    std::unique_ptr<CVideoWnd> video;
    int nextDepth = 1000;
    StringAsker previousAsker =
        setStringAsker([](QWidget*, const QString&, const QString&, QString& text) {
            text = QStringLiteral("裂隙");
            return true;
        });

    Station()
    {
        test::mapSerialSlotsNowhere(profile);
        installWorkspace(hooks);
        form = std::make_unique<CAcquisitionDlg>(graphs, profile.settings(), hooks);
        form->OnInitDialog();
    }
    ~Station()
    {
        video.reset();
        form->OnStopRecord();
        setStringAsker(previousAsker);
    }
    // Records into "<name>.mpg" with the live window (the video and the bar
    // the program's hook puts under it); returns the analysis file.
    QString record(const QString& name)
    {
        static_cast<QLineEdit*>(form->control(IDC_FILE))->setText(dir.filePath(name + ".mpg"));
        form->OnStartRecord();
        EXPECT_EQ(form->GetUiMode(), ModeRecording);
        video = std::make_unique<CVideoWnd>(QSize(384, 288));
        attachUnwrapStitchBar(*video);
        return form->GetAnalysisFilePath();
    }
    // The strips the raw-frame view hands on at each trigger depth.
    void strips(int count)
    {
        IStripSink* sink = registeredStripSink();
        ASSERT_NE(sink, nullptr);
        for (int k = 0; k < count; ++k, nextDepth += 100)
            sink->AddCapturedImage(test::rowStrip(nextDepth, 200, 60));
    }
    // "停止": the graph takes its video window with it, then the form stops.
    void stop()
    {
        video.reset();
        QTest::mouseClick(form->control(IDC_STOP), Qt::LeftButton);
        EXPECT_EQ(form->GetUiMode(), ModeIdle);
    }
    CUnWrapFrame* openStitchWindow()
    {
        QTest::mouseClick(form->control(IDC_STITCH), Qt::LeftButton);
        auto* frame = qobject_cast<CUnWrapFrame*>(form->stitchWindow());
        EXPECT_TRUE(frame && frame->mode() == CUnWrapFrame::StandAlone);
        return frame;
    }
    void closeStitchWindow(CUnWrapFrame* frame)
    {
        QPointer<CUnWrapFrame> guard(frame);
        frame->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(guard.isNull());
    }
    // Opens another saved survey in the stitch window and picks a line on it
    // with two clicks; returns that survey's file.
    QString changeOtherSurvey(CUnWrapFrame* frame, QByteArray* saved = nullptr)
    {
        CUnWrapData other(dir.filePath("other.sfa"), dir.path());
        test::addStrips(other, 6, 5000, 100, 300, 60);
        EXPECT_TRUE(other.SaveSfa(6, true));
        if (saved)
            *saved = test::fileBytes(other.filePath());
        prompter.fileAnswers.push_back(other.filePath());
        frame->commandAction(ID_FILE_OPEN)->trigger();
        CUnWrapView* view = frame->GetUnWrapView();
        EXPECT_NE(view->GetData(), nullptr);
        view->SetPickMode(1);
        for (const QPoint at : {QPoint(90, 70), QPoint(220, 110)}) {
            QTest::mouseMove(view->viewport(), at);
            QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
        }
        EXPECT_EQ(view->GetData() ? view->GetData()->GetShapeCount() : 0, 1);
        return other.filePath();
    }
};

int savedStrips(const QString& sfa)
{
    const auto onDisk = test::reloadSurvey(sfa);
    return onDisk ? onDisk->GetItemCount() : -1;
}

TEST(StitchWindowBesideARecording, NeverWritesTheRecordingsFiles)
{
    {
        SCOPED_TRACE("opened while recording: 保存, another survey changed and dropped by 新建");
        Station s;
        const QString sfa = s.record("r");
        CUnWrapFrame* frame = s.openStitchWindow();
        EXPECT_EQ(frame->GetData(), nullptr);
        s.strips(25);
        s.stop();
        frame->commandAction(ID_FILE_SAVE)->trigger();
        QByteArray before;
        const QString other = s.changeOtherSurvey(frame, &before);
        s.prompter.boxAnswers.push_back(IDNO); // the change is thrown away
        frame->commandAction(ID_FILE_NEW)->trigger();
        EXPECT_EQ(frame->GetUnWrapView()->GetData(), nullptr);
        s.closeStitchWindow(frame);
        EXPECT_EQ(test::fileBytes(other), before);
        EXPECT_EQ(savedStrips(sfa), 25);
    }
    {
        SCOPED_TRACE("opened in live acquisition, 新建 during the next recording");
        Station s;
        const QString a = s.record("a");
        s.strips(12);
        s.stop();
        s.form->OnStartAcquisition();
        ASSERT_EQ(std::tuple(s.form->GetUiMode(), s.form->GetAnalysisFilePath()),
                  std::tuple(int(ModeLive), a));
        CUnWrapFrame* frame = s.openStitchWindow();
        EXPECT_EQ(frame->GetData(), nullptr);
        // Live without recording: the earlier recording's survey is no one's now.
        s.prompter.fileAnswers.push_back(a);
        frame->commandAction(ID_FILE_OPEN)->trigger();
        ASSERT_TRUE(frame->GetData());
        EXPECT_EQ(frame->GetData()->GetItemCount(), 12);
        s.stop();
        const QString b = s.record("b");
        frame->commandAction(ID_FILE_NEW)->trigger();
        s.strips(3);
        s.stop();
        s.closeStitchWindow(frame);
        EXPECT_EQ(std::tuple(savedStrips(a), savedStrips(b)), std::tuple(12, 3));
    }
}

// The live window's own "保存" while it records writes the recording's
// survey as it stands, asking nothing: the folder refused to the stitch
// window is its own.
TEST(StitchWindowBesideARecording, TheLiveWindowSavesItsOwnRecordingWhileItRecords)
{
    Station s;
    const QString sfa = s.record("r");
    s.strips(4);
    auto* live = dynamic_cast<CUnWrapView*>(registeredStripSink());
    ASSERT_NE(live, nullptr);
    auto* frame = qobject_cast<CUnWrapFrame*>(live->window());
    ASSERT_TRUE(frame && frame->mode() == CUnWrapFrame::Live);
    QAction* save = frame->commandAction(ID_FILE_SAVE);
    ASSERT_TRUE(save && save->isEnabled());
    const QStringList before = s.prompter.boxTexts(); // the missing counter's
    save->trigger();
    EXPECT_EQ(s.prompter.boxTexts().mid(before.size()).join(u'\n').toStdString(), "");
    EXPECT_EQ(savedStrips(sfa), 4);
    s.strips(2);
    s.stop();
    EXPECT_EQ(savedStrips(sfa), 6);
}

// Six strip pictures saved into `folder`, as a set "打开JPG文件" opens.
QStringList savePictures(const QString& folder)
{
    QStringList pictures;
    if (!QDir().mkpath(folder))
        return pictures;
    for (int i = 0; i < 6; ++i) {
        auto strip = test::rowStrip(5000 + 100 * i, 300, 60);
        if (strip->SaveJpg(folder))
            pictures << strip->jpgPath(folder);
    }
    return pictures;
}

// Both open commands of `frame`, on the recording's survey and on its strip
// pictures: each refused with the box naming the file, and the window keeps
// the document it had.
void expectOpensRefused(Station& s, CUnWrapFrame* frame, const QString& sfa,
                        const QStringList& pictures, const CUnWrapData* kept)
{
    const QString refused =
        QStringLiteral("无法打开文件: '%1'\n该文件属于正在录制的测试，停止录制后才能打开");
    for (const int command : {int(ID_FILE_OPEN), int(ID_OPEN_JPG)}) {
        SCOPED_TRACE(command);
        s.prompter.boxes.clear();
        if (command == ID_FILE_OPEN)
            s.prompter.fileAnswers.push_back(sfa);
        else
            s.prompter.multiFileAnswers.push_back(pictures);
        frame->commandAction(command)->trigger();
        EXPECT_EQ(s.prompter.boxTexts(),
                  QStringList{refused.arg(command == ID_FILE_OPEN ? sfa : pictures.front())});
        EXPECT_EQ(frame->GetData(), kept);
    }
}

// The running recording's folder is the live window's while it records: the
// stitch window neither opens its survey or strips (by either open command)
// nor saves a document of its own into it. The box says why and names the
// file; the window keeps what it had. Once stopped, both go through.
TEST(StitchWindowBesideARecording, TheRecordingsFolderIsNeitherOpenedNorWrittenWhileItRecords)
{
    {
        SCOPED_TRACE("opening the recording's survey and strips");
        Station s;
        const QString sfa = s.record("b");
        s.strips(12); // the first page is written with the index
        ASSERT_TRUE(QFileInfo::exists(sfa));
        const QString folder = QFileInfo(sfa).absolutePath();
        QStringList pictures;
        for (const QString& name : QDir(folder).entryList({"*.jpg"}, QDir::Files, QDir::Name))
            pictures << QDir(folder).filePath(name);
        ASSERT_EQ(pictures.size(), 10);
        CUnWrapFrame* frame = s.openStitchWindow();
        const QString other = s.changeOtherSurvey(frame);
        CUnWrapData* kept = frame->GetData();

        expectOpensRefused(s, frame, sfa, pictures, kept);
        EXPECT_EQ(kept->filePath(), other);
        s.strips(10);
        s.stop();
        const auto recorded = test::reloadSurvey(sfa);
        ASSERT_TRUE(recorded);
        EXPECT_EQ(std::pair(recorded->GetItemCount(), recorded->GetShapeCount()),
                  std::pair(22, 0));

        s.prompter.boxes.clear();
        s.prompter.boxAnswers.push_back(IDNO); // the other survey's line is given up
        s.prompter.fileAnswers.push_back(sfa);
        frame->commandAction(ID_FILE_OPEN)->trigger();
        ASSERT_TRUE(frame->GetData());
        EXPECT_EQ(frame->GetData()->GetItemCount(), 22);
        s.closeStitchWindow(frame);
    }
    {
        SCOPED_TRACE("saving pictures opened before a recording into their folder started");
        Station s;
        const QString folder = s.dir.filePath("c");
        const QStringList pictures = savePictures(folder);
        ASSERT_EQ(pictures.size(), 6);
        CUnWrapFrame* frame = s.openStitchWindow();
        s.prompter.multiFileAnswers.push_back(pictures);
        frame->commandAction(ID_OPEN_JPG)->trigger();
        ASSERT_TRUE(frame->GetData());
        const QString temp = frame->GetData()->filePath();
        s.record("c");
        ASSERT_EQ(QFileInfo(s.form->GetAnalysisFilePath()).absolutePath(), folder);
        s.prompter.boxes.clear();
        frame->commandAction(ID_FILE_SAVE)->trigger();
        EXPECT_EQ(s.prompter.boxTexts(),
                  QStringList{QStringLiteral("保存SFA文件失败\n'%1'属于正在录制的测试，"
                                             "停止录制后才能保存")
                                  .arg(temp)});
        EXPECT_FALSE(QFileInfo::exists(temp));
        s.stop();
        frame->commandAction(ID_FILE_SAVE)->trigger();
        EXPECT_TRUE(QFileInfo::exists(temp));
        s.closeStitchWindow(frame);
    }
}

// Another copy of the program knows nothing of this one's recording: while
// the live window writes the recording's folder, that copy's stitch window
// neither opens its survey or strips nor saves into it, and says why, as this
// copy's own window does. Once stopped, both go through.
TEST(StitchWindowBesideARecording, AnotherCopyOfTheProgramLeavesTheRecordingsFolderAlone)
{
    Station s;
    const QString folder = s.dir.filePath("d");
    const QStringList pictures = savePictures(folder);
    ASSERT_EQ(pictures.size(), 6);
    // The stitch window as the other copy builds it: no recording of its own.
    CSurveyParams settings;
    const WorkspaceContext elsewhere{&settings, [] { return 0; }, {}, {}, {}};
    std::unique_ptr<CUnWrapFrame> other(OpenStitchFrame(nullptr, elsewhere));
    ASSERT_TRUE(other);
    other->setAttribute(Qt::WA_DeleteOnClose, false);
    s.prompter.multiFileAnswers.push_back(pictures);
    other->commandAction(ID_OPEN_JPG)->trigger();
    ASSERT_TRUE(other->GetData());
    CUnWrapData* kept = other->GetData();
    const QString temp = kept->filePath();

    const QString sfa = s.record("d");
    ASSERT_EQ(QFileInfo(sfa).absolutePath(), folder);
    s.strips(12);
    ASSERT_TRUE(QFileInfo::exists(sfa));
    s.prompter.boxes.clear();
    other->commandAction(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(s.prompter.boxTexts(),
              QStringList{QStringLiteral("保存SFA文件失败\n'%1'属于正在录制的测试，"
                                         "停止录制后才能保存")
                              .arg(temp)});
    EXPECT_FALSE(QFileInfo::exists(temp));
    expectOpensRefused(s, other.get(), sfa, pictures, kept);

    s.stop();
    s.prompter.boxes.clear();
    other->commandAction(ID_FILE_SAVE)->trigger();
    EXPECT_TRUE(QFileInfo::exists(temp));
    s.prompter.fileAnswers.push_back(sfa);
    other->commandAction(ID_FILE_OPEN)->trigger();
    ASSERT_TRUE(other->GetData());
    EXPECT_EQ(other->GetData()->filePath(), sfa);
    EXPECT_EQ(s.prompter.boxTexts(), QStringList());
}

// Leaving the program with a changed survey in the stitch window: the window
// asks first, and its 取消 keeps the program, the window and the change.
TEST(StitchWindowBesideARecording, LeavingTheProgramAsksAboutTheStitchWindowsChanges)
{
    Station s;
    CUnWrapFrame* frame = s.openStitchWindow();
    const QString other = s.changeOtherSurvey(frame);
    QPointer<CUnWrapFrame> guard(frame);
    for (const int answer : {IDCANCEL, IDYES}) {
        s.prompter.boxAnswers.push_back(answer);
        s.form->reject();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(guard.isNull(), answer == IDYES);
    }
    const auto onDisk = test::reloadSurvey(other);
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(onDisk->GetShapeCount(), 1);
}

} // namespace
} // namespace bc
