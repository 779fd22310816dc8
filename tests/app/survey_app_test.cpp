#include "app/survey_app.h"

#include "acquisition/acquisition_dlg.h"
#include "acquisition/device_control.h"
#include "acquisition/dvr_settings.h"
#include "acquisition/port_map.h"
#include "acquisition/settings_groups.h"
#include "acquisition/video_wnd.h"
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
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

namespace bc {
namespace {

// A profile whose serial slots lead nowhere.
void mapSlotsNowhere(test::TempSettings& profile)
{
    CPortMap map;
    for (int slot = 1; slot <= CPortMap::kSlotCount; ++slot)
        map.setDevicePath(slot, profile.dir() + QStringLiteral("/no-tty"));
    map.save(profile.settings());
}

TEST(CSurveyApp, TheProgramLivesExactlyAsLongAsItsForm)
{
    test::TempSettings profile;
    mapSlotsNowhere(profile);
    test::ScriptedPrompter prompter;
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
    EXPECT_TRUE(sawForm);
    EXPECT_GT(keysSeenByForm, 0);
    EXPECT_EQ(CAcquisitionDlg::mainForm(), nullptr); // no form survives
    EXPECT_EQ(graphs.script.alive, 0);
    EXPECT_EQ(app.ExitInstance(), 0);
    // The profile was written on the way out.
    EXPECT_TRUE(profile.reopen()->contains(QStringLiteral("坐标参数/X")));
}

// Records, at every box, whether the form behind it was already set up.
class FormAtEveryBox : public test::ScriptedPrompter {
public:
    QStringList unready;
    int messageBox(QWidget* parent, const QString& text, const QString& caption,
                   unsigned style) override
    {
        CAcquisitionDlg* f = CAcquisitionDlg::mainForm();
        const auto* group = f ? f->findChild<CControlParamsGroup*>() : nullptr;
        if (!f || !f->isVisible() || !group)
            unready << text + QStringLiteral(": no form");
        else
            for (int id : {IDC_STOP, IDC_CAPTURE, IDC_RESUME, IDC_PAUSE})
                if (f->control(id)->isEnabled())
                    unready << text + QStringLiteral(": %1 enabled").arg(id);
        if (group && (group->stepField()->edit()->text().isEmpty() ||
                      group->startDepthText().isEmpty() || group->declinationEdit()->text().isEmpty()))
            unready << text + QStringLiteral(": empty fields");
        return ScriptedPrompter::messageBox(parent, text, caption, style);
    }
};

TEST(CSurveyApp, TheFormComesUpSetUpBehindItsFirstBoxes)
{
    test::TempSettings profile;
    mapSlotsNowhere(profile);
    FormAtEveryBox prompter;
    test::ScriptedGraphFactory graphs;
    graphs.script.devicePresent = false; // no serial line, no capture device: two boxes
    QTimer::singleShot(0, [] { CAcquisitionDlg::mainForm()->reject(); });
    CSurveyApp app;
    app.InitInstance(&graphs, &profile.settings());
    EXPECT_GE(prompter.boxes.size(), 2u);
    EXPECT_TRUE(prompter.unready.isEmpty()) << prompter.unready.join(QLatin1Char('\n')).toStdString();
}

// The visible video windows.
int videoWindowsShown()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<CVideoWnd*>(w) && w->isVisible();
    return n;
}

// Spins the event loop until a video window shows a frame (or 10 s pass).
bool videoShown()
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* v = qobject_cast<CVideoWnd*>(w); v && !v->frameSlot()->latest().isNull())
                return true;
        QThread::msleep(10);
    }
    return false;
}

TEST(CSurveyApp, PreviewRecordingAndPlaybackEachOpenOneVideoWindow)
{
    test::TempSettings profile;
    test::TempSettings deviceValues;
    mapSlotsNowhere(profile);
    profile.settings().setValue(QStringLiteral("视频设备/设备"), QStringLiteral("test"));
    setDvrSettingsStore(&deviceValues.settings());
    QTemporaryDir dir;
    const QString recording = dir.filePath(QStringLiteral("run.mpg"));
    test::ScriptedPrompter prompter;
    prompter.fileAnswers.push_back(recording);

    std::vector<int> windows;
    bool framesShown = true;
    QTimer::singleShot(0, [&] {
        CAcquisitionDlg* form = CAcquisitionDlg::mainForm();
        const auto run = [&](const std::function<void()>& start, int mode) {
            start();
            EXPECT_EQ(form->GetUiMode(), mode);
            framesShown = videoShown() && framesShown;
            windows.push_back(videoWindowsShown());
            form->OnStopRecord();
            windows.push_back(videoWindowsShown());
        };
        run([form] { form->OnStartAcquisition(); }, ModeLive);
        run([form, recording] {
            static_cast<QLineEdit*>(form->control(IDC_FILE))->setText(recording);
            form->OnStartRecord();
        }, ModeRecording);
        run([form] { form->OnOpenPlayback(); }, ModePlayback);
        form->reject();
    });
    CSurveyApp app;
    app.InitInstance(nullptr, &profile.settings());
    setDvrSettingsStore(nullptr);
    setCaptureSource(QString());
    EXPECT_EQ(windows, std::vector<int>({1, 0, 1, 0, 1, 0}));
    EXPECT_TRUE(framesShown);
    EXPECT_TRUE(QFileInfo(recording).size() > 0);
}

} // namespace
} // namespace bc
