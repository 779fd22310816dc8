// The cylinder window opened from the strip view.
#include "analysis/d3d_frame.h"
#include "analysis/page_geometry.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"

namespace bc {

void CUnWrapView::showCylinder(const CylinderInput& given)
{
    CylinderInput input = given;
    // One depth mark for every strip of the current page.
    if (input.markCount <= 0 && data_) {
        const IndexRange page = PageItems(data_->GetItemCount(), state_.currentPage, state_.perPage);
        input.markCount = page.end - page.first;
    }
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
