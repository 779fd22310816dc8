// The test-parameter command of the strip view.
#include "analysis/unwrap_view.h"

namespace bc {

void CUnWrapView::OnTestParams() {}

} // namespace bc
