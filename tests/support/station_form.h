#pragma once
// The station as the program builds it on the capture device's graphs, here
// on a test source: its own device-values store and profile (with no serial
// device on any slot) and a scripted prompter, the form started up.

#include "acquisition/acquisition_dlg.h"
#include "acquisition/device_control.h"
#include "acquisition/usb_filter.h"
#include "acquisition/video_wnd.h"
#include "support/scripted_prompter.h"
#include "support/serial_slots.h"
#include "support/temp_settings.h"

#include <memory>

namespace bc::test {

class StationForm {
public:
    // `source` is the capture source setting ("test:WxH@fps"), restored to
    // the default when the station goes.
    explicit StationForm(const char* source)
    {
        setCaptureSource(QString::fromLatin1(source));
        mapSerialSlotsNowhere(profile);
        graphs = makeUsbGraphFactory(stationFrameSink(), &deviceValues.settings());
        form = std::make_unique<CAcquisitionDlg>(*graphs, profile.settings());
        form->setWaitFunction([](int) {});
        form->show();
        form->OnInitDialog();
    }
    ~StationForm()
    {
        form.reset();
        setCaptureSource(QString());
    }

    TempSettings deviceValues;
    TempSettings profile;
    ScriptedPrompter prompter;
    std::unique_ptr<ICaptureGraphFactory> graphs;
    std::unique_ptr<CAcquisitionDlg> form;
};

} // namespace bc::test
