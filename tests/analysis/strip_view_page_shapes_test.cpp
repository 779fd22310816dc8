// A page of the stitch window shows and picks only the attitudes on its own
// strips: a line picked on the next page is neither drawn in the blank under
// this page's strips nor selected by a click there.

#include "stitch_frame_fixture.h"

#include "analysis/attitude_shape.h"
#include "analysis/page_geometry.h"
#include "analysis/unwrap_data.h"

#include <QScreen>

namespace bc {
namespace {

int pixelsOf(QRgb colour, const CUnWrapView& view)
{
    const QImage shown = test::viewportOnScreen(view);
    int n = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            n += shown.pixel(x, y) == colour;
    return n;
}

// Where the view shows a point of the wall at `depth` on the page shown.
QPoint onWall(const CUnWrapView& view, float depth)
{
    const PageViewState& s = view.pageState();
    return {kPageLeftMargin + truncToInt(3.0f * PixelsPerRadian(s.pageWidth)),
            kPageTopMargin + truncToInt((depth - float(s.pageTopDepth)) * s.pxPerMm)};
}

TEST(StripViewPageShapes, AnotherPagesLineIsNeitherShownNorPicked)
{
    test::StitchFrame f;
    f.settings.itemsPerPage = 5; // pages of 1.00-1.40 m, 1.50-1.90 m, 2.00-2.10 m
    f.settings.aspectAutoFit = 0;
    f.open(CUnWrapFrame::StandAlone, 200, 20);
    CUnWrapView& view = f.view();
    const struct {
        float depth;
        QRgb colour;
    } lines[] = {{1200.0f, qRgb(0, 255, 0)}, {1600.0f, qRgb(255, 0, 0)}};
    for (const auto& l : lines)
        view.GetData()->AddShape(std::make_unique<CAttitudeLine>(
            0, CShapePoint(0.5f, l.depth), CShapePoint(6.0f, l.depth), 0, 1,
            uint32_t(qRed(l.colour) | qGreen(l.colour) << 8)));
    view.viewport()->update();
    QTest::qWait(50);

    // Page 1: the second page's line would lie in the blank under its strips.
    const QPoint nextPages = onWall(view, 1600.0f);
    ASSERT_TRUE(view.viewport()->rect().contains(nextPages));
    EXPECT_GT(pixelsOf(lines[0].colour, view), 100);
    EXPECT_EQ(pixelsOf(lines[1].colour, view), 0) << "drawn under the strips of page 1";
    QTest::mouseMove(view.viewport(), nextPages);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, nextPages);
    EXPECT_EQ(view.GetData()->GetSelectedCount(), 0) << "picked where nothing is shown";

    // Page 2 shows it and picks it.
    f.clickCommand(ID_NEXT_PAGE);
    QTest::qWait(50);
    EXPECT_GT(pixelsOf(lines[1].colour, view), 100);
    const QPoint own = onWall(view, 1600.0f);
    QTest::mouseMove(view.viewport(), own);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, own);
    EXPECT_EQ(view.GetData()->GetSelectedCount(), 1);
}

} // namespace
} // namespace bc
