#pragma once
// The program as main() runs it (its key routing installed, the workspace
// hooks, the form run modally) on scripted graphs and a profile whose serial
// slots lead nowhere; a test acts on the shown form and then closes it as the
// user closes it.

#include "acquisition/acquisition_dlg.h"
#include "analysis/unwrap_frame.h"
#include "app/survey_app.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/serial_slots.h"
#include "support/modal_dialog.h"
#include "support/temp_settings.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace bc::test {

struct RunningProgram {
    TempSettings profile;
    ScriptedPrompter prompter;
    ScriptedGraphFactory graphs;

    RunningProgram() { mapSerialSlotsNowhere(profile); }

    // Runs the program; `body` acts on the form once it shows, then the
    // form's window is closed (its close button).
    void run(const std::function<void(CAcquisitionDlg&)>& body)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            CAcquisitionDlg* form = CAcquisitionDlg::mainForm();
            ran = true;
            if (!form)
                return;
            body(*form);
            form->close();
            if (form->isVisible()) {
                ADD_FAILURE() << "the form did not close";
                form->done(0);
            }
        });
        CSurveyApp app;
        EXPECT_FALSE(app.InitInstance(&graphs, &profile.settings()));
        EXPECT_TRUE(ran);
    }

    // The stitch window the form's button opens.
    static CUnWrapFrame* openStitchWindow(CAcquisitionDlg& form)
    {
        QTest::mouseClick(form.control(IDC_STITCH), Qt::LeftButton);
        auto* frame = form.findChild<CUnWrapFrame*>();
        if (frame) {
            frame->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(frame));
        }
        return frame;
    }
};

} // namespace bc::test
