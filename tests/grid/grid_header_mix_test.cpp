// The grid, the UI kit and the media graphs in one translation unit: the
// platform libraries' truth macros come first, as they do in the workspace's
// bars, and the colour helpers are seen once through both kits.

#include <gst/gst.h>

#include "acquisition/filter_graph.h"
#include "grid/grid_ctrl.h"
#include "ui/flat_combo_box.h"
#include "ui/gdi_types.h"

#include <gtest/gtest.h>

using namespace bc;

TEST(GridHeaderMix, GridUiAndGraphHeadersBuildTogether)
{
    const gboolean flushing = TRUE;
    CGridCtrl grid(2, 2, 1, 0);
    EXPECT_EQ(grid.SetItemBackColor(1, 1, RGB(10, 20, 30)), bool(flushing));
    EXPECT_EQ(toQColor(grid.GetItemBackColor(1, 1)), QColor(10, 20, 30));
}
