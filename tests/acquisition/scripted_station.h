#pragma once
// The acquisition form on scripted capture graphs with its own profile (no
// serial device on any slot unless a test maps one), started up as the program
// starts it, with a scripted prompter.

#include "acquisition/acquisition_dlg.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/serial_slots.h"
#include "support/temp_settings.h"

#include <memory>

namespace bc::test {

struct ScriptedStation {
    ScriptedStation() { map = mapSerialSlotsNowhere(profile); }

    // Builds and starts the form; the profile is read as it stands now.
    CAcquisitionDlg& start()
    {
        AcquisitionHooks hooks;
        hooks.createStitchWindow = [](QWidget*) -> QWidget* { return nullptr; };
        form = std::make_unique<CAcquisitionDlg>(graphs, profile.settings(), hooks);
        form->setWaitFunction([](int) {});
        form->show();
        form->OnInitDialog();
        return *form;
    }

    TempSettings profile;
    CPortMap map;
    ScriptedPrompter prompter;
    ScriptedGraphFactory graphs;
    std::unique_ptr<CAcquisitionDlg> form; // last: it uses the members above
};

} // namespace bc::test
