// The cylinder window opened from the strip view.
#include "analysis/unwrap_view.h"

namespace bc {

void CUnWrapView::showCylinder(const CylinderInput&) {}

} // namespace bc
