// With "图像显示横纵比＝孔周长/深度" ticked, a last page holding a single strip
// is shown at the stretch of the page before it, not at the strip's full
// width (which made it many times wider than every other page and shrank
// every picture of an image report to a few pixels).

#include "stitch_frame_fixture.h"

#include "analysis/unwrap_data.h"

TEST(SingleStripPage, TakesTheStretchOfThePageBeforeIt)
{
    bc::test::StitchFrame f;
    f.settings.itemsPerPage = 11; // twelve strips: eleven, then one
    f.settings.aspectAutoFit = 1;
    f.open(bc::CUnWrapFrame::StandAlone, 400, 12);
    bc::CUnWrapView& view = f.view();
    const int fullPage = view.pageState().pageWidth;
    ASSERT_GT(fullPage, 0);
    ASSERT_LT(fullPage, 400) << "the survey's pages are narrower than a strip";
    f.clickCommand(bc::ID_NEXT_PAGE);
    ASSERT_EQ(view.currentPage(), 1);
    EXPECT_EQ(view.pageState().pageWidth, fullPage);
}
