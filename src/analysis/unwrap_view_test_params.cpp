// The test-parameter command of the strip view.
#include "analysis/unwrap_view.h"

#include "analysis/test_param_dlg.h"

namespace bc {

void CUnWrapView::OnTestParams()
{
    if (!data_)
        return;
    // The station's settings are only read: its declination is the one the
    // picked attitudes were computed with.
    CTestParamDlg dialog(*data_, ctx_.settings, this);
    dialog.exec();
    if (state_.frameMode == 0)
        rebuildShapeList();
    viewport()->update();
}

} // namespace bc
