// Picking and editing attitudes in the strip view.
#include "analysis/unwrap_view.h"

#include "analysis/attitude_shape.h"

namespace bc {

void CUnWrapView::SetPickMode(int mode)
{
    pickMode_ = mode;
    pointCount_ = 0;
    cursorState_ = 0;
}

void CUnWrapView::pickMousePress(QMouseEvent*) {}

void CUnWrapView::pickMouseMove(QMouseEvent*) {}

void CUnWrapView::pickRightButton(QMouseEvent*) {}

void CUnWrapView::pickCancel() {}

void CUnWrapView::pickDelete() {}

void CUnWrapView::rebuildShapeList() {}

} // namespace bc
