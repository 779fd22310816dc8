// Page export and the cylinder texture of the strip view.
#include "analysis/unwrap_view.h"

namespace bc {

void CUnWrapView::OnExportCurrentPage() {}

void CUnWrapView::OnExportAllPages() {}

void CUnWrapView::CreateCylinderImage() {}

} // namespace bc
