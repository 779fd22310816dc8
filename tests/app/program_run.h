#pragma once
// The program run as main() runs it, on a test's graphs and profile: the
// test drives the form once it is up, and the form is then closed (a
// recording still running is stopped with the closing question answered yes).

#include "app/survey_app.h"

#include "acquisition/acquisition_dlg.h"
#include "acquisition/port_map.h"
#include "core/program_values.h"
#include "support/scripted_prompter.h"
#include "support/serial_slots.h"

#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace bc::test {

// A profile with the depth counter and compass at `device` on "COM1", the
// only slot that leads anywhere; the counter's values start at zero.
inline void putCounterOnFirstSlot(TempSettings& profile, const QString& device)
{
    CPortMap map = mapSerialSlotsNowhere(profile);
    map.setDevicePath(1, device);
    map.save(profile.settings());
    profile.settings().setValue(QStringLiteral("镜头控制/COM1"), 1);
    publishDepthHeading(0, 0);
    clearDepthTrigger();
}

inline void runProgram(ICaptureGraphFactory& graphs, QSettings& profile, ScriptedPrompter& prompter,
                       const std::function<void(CAcquisitionDlg&)>& drive)
{
    bool driven = false;
    QTimer::singleShot(0, [&] {
        if (CAcquisitionDlg* form = CAcquisitionDlg::mainForm()) {
            driven = true;
            drive(*form);
            if (form->GetUiMode() == ModeRecording)
                prompter.boxAnswers.push_back(IDYES);
            form->reject();
        }
    });
    CSurveyApp app;
    EXPECT_FALSE(app.InitInstance(&graphs, &profile));
    EXPECT_TRUE(driven);
}

} // namespace bc::test
