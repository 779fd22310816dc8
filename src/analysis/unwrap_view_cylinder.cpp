// The cylinder window opened from the strip view.
#include "analysis/d3d_frame.h"
#include "analysis/unwrap_view.h"

namespace bc {

void CUnWrapView::showCylinder(const CylinderInput& input)
{
    if (auto* open = qobject_cast<CD3DFrame*>(cylinderWindow_.data())) {
        open->setInput(input);
        open->showNormal();
        open->raise();
        open->activateWindow();
        return;
    }
    // A window of its own that goes with the view; it reports its closing.
    auto* frame = new CD3DFrame(input, this);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    connect(frame, &CD3DFrame::closed, this, [this] { cylinderWindow_ = nullptr; });
    cylinderWindow_ = frame;
    frame->show();
}

} // namespace bc
