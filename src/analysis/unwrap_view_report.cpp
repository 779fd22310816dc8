// The report command of the strip view.
#include "analysis/unwrap_view.h"

namespace bc {

void CUnWrapView::OnReport() {}

} // namespace bc
