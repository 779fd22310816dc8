// Stitch settings and auto-align of the strip view.
#include "analysis/unwrap_view.h"

namespace bc {

void CUnWrapView::OnStitchSettings() {}

void CUnWrapView::OnAutoAlign() {}

} // namespace bc
