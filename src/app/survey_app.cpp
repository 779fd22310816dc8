#include "app/survey_app.h"

#include "acquisition/acquisition_dlg.h"
#include "acquisition/capture_graph.h"
#include "acquisition/device_control.h"
#include "acquisition/device_watcher.h"
#include "acquisition/usb_filter.h"
#include "acquisition/video_wnd.h"
#include "app/key_router.h"
#include "app/workspace_wiring.h"
#include "core/profile_format.h"

#include <QApplication>
#include <QSettings>

namespace bc {

QString profileOrganization()
{
    return QStringLiteral("2011 PELK  Corporation");
}

CSurveyApp::CSurveyApp()
{
    QCoreApplication::setOrganizationName(profileOrganization());
    // The profile is read and written by our own INI codec, which catches a
    // failed write.
    QSettings::setDefaultFormat(ProfileFormat());
}

CSurveyApp::~CSurveyApp() = default;

bool CSurveyApp::InitInstance(ICaptureGraphFactory* graphs, QSettings* profile)
{
    std::unique_ptr<ICaptureGraphFactory> ownGraphs;
    if (!graphs) {
        // The capture device's graphs hand every frame to the grabber; each
        // graph opens its video window when it plays.
        ownGraphs = makeUsbGraphFactory(stationFrameSink());
        graphs = ownGraphs.get();
    }
    std::unique_ptr<QSettings> ownProfile;
    if (!profile) {
        ownProfile = std::make_unique<QSettings>();
        profile = ownProfile.get();
    }
    loadCaptureSource(*profile);
    AcquisitionHooks hooks;
    installWorkspace(hooks);
    installUnwrapStitchBar();
    CAcquisitionDlg form(*graphs, *profile, hooks);
    CKeyRouter router(
        [](int key, bool ctrl) {
            if (CAcquisitionDlg* f = CAcquisitionDlg::mainForm())
                f->OnKeyDown(key, ctrl);
        },
        [](int key) {
            if (CAcquisitionDlg* f = CAcquisitionDlg::mainForm())
                f->OnKeyUp(key);
        });
    qApp->installEventFilter(&router);
    // Capture devices coming and going: the form asks whether its device is
    // still there.
    CDeviceWatcher watcher;
    QObject::connect(&watcher, &CDeviceWatcher::devicesChanged, &form,
                     &CAcquisitionDlg::OnDevicesChanged);
    // The form shows itself once its controls are filled in.
    if (form.OnInitDialog())
        form.exec();
    qApp->removeEventFilter(&router);
    clearUnwrapStitchBar();
    return false;
}

int CSurveyApp::ExitInstance()
{
    return 0;
}

} // namespace bc
