// Lines and polylines are marked on the wall: clicks in the blank under the
// page's strips add no point, so no attitude is made where no page shows it.

#include "stitch_frame_fixture.h"

#include "analysis/attitude_shape.h"
#include "analysis/input_string_dlg.h"
#include "analysis/page_geometry.h"
#include "analysis/unwrap_data.h"

#include <QScrollBar>

namespace bc {
namespace {

TEST(PickOffTheWall, ClicksUnderTheStripsAddNoPoint)
{
    test::StitchFrame f;
    f.settings.aspectAutoFit = 0;
    f.open(CUnWrapFrame::StandAlone, 300, 12);
    CUnWrapView& view = f.view();
    const StringAsker previous = setStringAsker(
        [](QWidget*, const QString&, const QString&, QString& text) { return text = "x", true; });
    const PageViewState& s = view.pageState();
    const int stripsBottom = kPageTopMargin +
                             truncToInt(float(s.pageBottomDepth - s.pageTopDepth) * s.pxPerMm) -
                             view.verticalScrollBar()->value();
    const QPoint under(kPageLeftMargin + 40, stripsBottom + 20);
    ASSERT_TRUE(view.viewport()->rect().contains(under + QPoint(200, 10)));
    auto click = [&](QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseMove(view.viewport(), p);
        QTest::mouseClick(view.viewport(), b, {}, p);
    };
    const QPoint onWall(kPageLeftMargin + 40, kPageTopMargin + 30);

    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        view.SetPickMode(mode);
        click(under);
        click(under + QPoint(200, 10));
        click(under + QPoint(100, 5), Qt::RightButton);
        EXPECT_EQ(view.GetData()->GetShapeCount(), mode - 1) << "an attitude under the strips";
        click(onWall);
        click(onWall + QPoint(200, 40));
        if (mode == 2)
            click(onWall + QPoint(200, 40), Qt::RightButton);
        ASSERT_EQ(view.GetData()->GetShapeCount(), mode);
        EXPECT_TRUE(
            view.GetData()->GetShape(mode - 1)->IsInDepthRange(s.pageTopDepth, s.pageBottomDepth));
    }
    setStringAsker(previous);
}

} // namespace
} // namespace bc
