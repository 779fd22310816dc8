#include "app/survey_app.h"

#include "acquisition/acquisition_dlg.h"
#include "acquisition/device_control.h"
#include "acquisition/dvr_settings.h"
#include "acquisition/port_map.h"
#include "acquisition/settings_groups.h"
#include "acquisition/video_wnd.h"
#include "support/serial_slots.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/temp_settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace bc {
namespace {

// Notes, at every box, a form behind it that is not yet set up.
class FormBehindEveryBox : public test::ScriptedPrompter {
public:
    QStringList unready;
    int messageBox(QWidget* parent, const QString& text, const QString& caption,
                   unsigned style) override
    {
        CAcquisitionDlg* f = CAcquisitionDlg::mainForm();
        const auto* group = f ? f->findChild<CControlParamsGroup*>() : nullptr;
        if (!group || !f->isVisible() || group->stepField()->edit()->text().isEmpty() ||
            group->declinationEdit()->text().isEmpty())
            unready << text;
        for (int id : {IDC_STOP, IDC_CAPTURE, IDC_RESUME, IDC_PAUSE})
            if (f && f->control(id)->isEnabled())
                unready << text;
        return ScriptedPrompter::messageBox(parent, text, caption, style);
    }
};

TEST(CSurveyApp, TheProgramLivesExactlyAsLongAsItsForm)
{
    test::TempSettings profile;
    test::mapSerialSlotsNowhere(profile);
    FormBehindEveryBox prompter; // no serial line: a box at start-up
    test::ScriptedGraphFactory graphs;
    CSurveyApp app;
    EXPECT_EQ(QCoreApplication::organizationName(), QStringLiteral("2011 PELK  Corporation"));

    bool sawForm = false;
    int keysSeenByForm = -1;
    QTimer::singleShot(0, [&] {
        CAcquisitionDlg* form = CAcquisitionDlg::mainForm();
        sawForm = form && form->isVisible();
        if (!form)
            return;
        // Keys reach the form's handlers while it runs: plus during live
        // acquisition moves the depth.
        form->OnStartAcquisition();
        const int before = form->counter().depth();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Equal, Qt::NoModifier, QStringLiteral("="));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Equal, Qt::NoModifier, QStringLiteral("="));
        QApplication::sendEvent(form, &press);
        QApplication::sendEvent(form, &release);
        keysSeenByForm = form->counter().depth() - before;
        form->OnStopRecord();
        form->reject();
    });
    EXPECT_FALSE(app.InitInstance(&graphs, &profile.settings()));
    EXPECT_FALSE(prompter.boxes.empty());
    EXPECT_TRUE(prompter.unready.isEmpty()) << prompter.unready.join(' ').toStdString();
    EXPECT_TRUE(sawForm);
    EXPECT_GT(keysSeenByForm, 0);
    EXPECT_EQ(CAcquisitionDlg::mainForm(), nullptr); // no form survives
    EXPECT_EQ(graphs.script.alive, 0);
    EXPECT_EQ(app.ExitInstance(), 0);
    // The profile was written on the way out.
    EXPECT_TRUE(profile.reopen()->contains(QStringLiteral("坐标参数/X")));
}

// The visible video windows, once one of them shows a frame (10 s at most).
int videoWindowsShowingFrames()
{
    QElapsedTimer t;
    t.start();
    std::vector<CVideoWnd*> shown;
    bool frame = false;
    while (!frame && t.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        shown.clear();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* v = qobject_cast<CVideoWnd*>(w); v && v->isVisible())
                shown.push_back(v);
        for (CVideoWnd* v : shown)
            frame = frame || !v->frameSlot()->latest().isNull();
    }
    return frame ? static_cast<int>(shown.size()) : 0;
}

TEST(CSurveyApp, PreviewRecordingAndPlaybackEachOpenOneVideoWindow)
{
    test::TempSettings profile;
    test::TempSettings deviceValues;
    test::mapSerialSlotsNowhere(profile);
    profile.settings().setValue(QStringLiteral("视频设备/设备"), QStringLiteral("test"));
    setDvrSettingsStore(&deviceValues.settings());
    QTemporaryDir dir;
    const QString recording = dir.filePath(QStringLiteral("run.mpg"));
    test::ScriptedPrompter prompter;
    prompter.fileAnswers.push_back(recording); // the file to play back

    std::vector<int> windows;
    QTimer::singleShot(0, [&] {
        CAcquisitionDlg* form = CAcquisitionDlg::mainForm();
        form->OnStartAcquisition();
        windows.push_back(videoWindowsShowingFrames());
        form->OnStopRecord();
        static_cast<QLineEdit*>(form->control(IDC_FILE))->setText(recording);
        form->OnStartRecord();
        windows.push_back(videoWindowsShowingFrames());
        form->OnStopRecord();
        form->OnOpenPlayback();
        windows.push_back(videoWindowsShowingFrames());
        form->reject();
    });
    CSurveyApp app;
    app.InitInstance(nullptr, &profile.settings());
    setDvrSettingsStore(nullptr);
    setCaptureSource(QString());
    EXPECT_EQ(windows, std::vector<int>({1, 1, 1}));
    EXPECT_GT(QFileInfo(recording).size(), 0);
}

} // namespace
} // namespace bc
