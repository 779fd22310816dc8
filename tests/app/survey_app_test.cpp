#include "app/survey_app.h"

#include "acquisition/acquisition_dlg.h"
#include "acquisition/port_map.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/temp_settings.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(CSurveyApp, TheProgramLivesExactlyAsLongAsItsForm)
{
    test::TempSettings profile;
    CPortMap map;
    for (int slot = 1; slot <= CPortMap::kSlotCount; ++slot)
        map.setDevicePath(slot, profile.dir() + QStringLiteral("/no-tty"));
    map.save(profile.settings());
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

} // namespace
} // namespace bc
