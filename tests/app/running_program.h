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
#include "support/temp_settings.h"

#include <QApplication>
#include <QDeadlineTimer>
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

// Runs `act` on the modal dialog of type D as soon as one shows, while
// `open` (which opens it) runs. A dialog that does not show, or that `act`
// leaves open, fails the test and is closed rather than left hanging.
template <typename D, typename Open, typename Act> void withModal(Open open, Act act)
{
    bool seen = false;
    QTimer poll;
    QDeadlineTimer deadline(20000);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!dlg) {
            if (deadline.hasExpired())
                poll.stop();
            return;
        }
        poll.stop();
        seen = true;
        act(*dlg);
        if (dlg->isVisible()) {
            ADD_FAILURE() << "the dialog stayed open";
            dlg->reject();
        }
    });
    poll.start(5);
    open();
    poll.stop();
    EXPECT_TRUE(seen) << "no dialog showed";
}

// Types `text` into the focus widget of `window` as a keyboard does: a press
// and a release a character, Shift held for '+', '_' and capitals.
inline void typeKeys(QWidget* window, const QString& text)
{
    for (const QChar c : text) {
        const char ch = c.toLatin1();
        const Qt::KeyboardModifiers shift =
            ch == '+' || ch == '_' || c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier;
        QTest::keyClick(window->windowHandle(), ch, shift);
    }
}

} // namespace bc::test
