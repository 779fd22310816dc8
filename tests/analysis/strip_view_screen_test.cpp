// What the stitch window's strip view shows: scrolling to every part of the
// painted page, what a deletion leaves behind, where a page turn opens and
// the redraw after the stitch settings.

#include "stitch_frame_fixture.h"

#include "analysis/attitude_shape.h"
#include "analysis/page_geometry.h"
#include "analysis/unwrap_data.h"

#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

namespace bc {
namespace {

const QRgb kRed = qRgb(255, 0, 0);

QRect thumbRect(const QScrollBar* bar)
{
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.orientation = bar->orientation();
    if (bar->orientation() == Qt::Horizontal)
        opt.state |= QStyle::State_Horizontal;
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = bar->sliderPosition();
    opt.sliderValue = bar->value();
    opt.singleStep = bar->singleStep();
    opt.pageStep = bar->pageStep();
    opt.upsideDown = bar->invertedAppearance();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider,
                                        bar);
}

// Presses on the thumb, moves it `dx` pixels in steps of 20 and lets go;
// the bar's value after each move.
std::vector<int> dragThumb(QScrollBar* bar, int dx)
{
    const QPoint from = thumbRect(bar).center();
    std::vector<int> values;
    QTest::mousePress(bar, Qt::LeftButton, {}, from);
    for (int moved = 20; moved < dx + 20; moved += 20) {
        QTest::mouseMove(bar, from + QPoint(std::min(moved, dx), 0));
        values.push_back(bar->value());
    }
    QTest::mouseRelease(bar, Qt::LeftButton, {}, from + QPoint(dx, 0));
    return values;
}

// A line across the wall at 1.05 m, in red: its label runs right of the
// strips.
void addRedLine(CUnWrapView& view)
{
    view.GetData()->AddShape(std::make_unique<CAttitudeLine>(
        0, CShapePoint(0.5f, 1050.0f), CShapePoint(6.0f, 1050.0f),
        0, 1, 0xFF));
    view.viewport()->update();
}

// Value 0 shows the left edge with the thumb at the left; dragging the thumb
// right moves the page left until the end of the attitude labels shows.
TEST(StripViewScreen, HorizontalScrollBarReachesTheLabelsTheQtWay)
{
    test::StitchFrame f;
    f.settings.aspectAutoFit = 0;
    f.open(CUnWrapFrame::StandAlone, 300, 60);
    CUnWrapView& view = f.view();
    addRedLine(view);
    QTest::qWait(20);
    QScrollBar* bar = view.horizontalScrollBar();
    ASSERT_EQ(bar->value(), 0);
    const int labelsEnd = kPageLeftMargin + ShapeLabelsRight(view.pageState().pageWidth);
    EXPECT_GE(bar->maximum() + view.viewport()->width(), labelsEnd);
    EXPECT_LT(thumbRect(bar).center().x(), bar->width() / 2);

    const std::vector<int> values = dragThumb(bar, bar->width());
    ASSERT_FALSE(values.empty());
    EXPECT_GT(values.front(), 0);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_GT(thumbRect(bar).center().x(), bar->width() / 2);

    // The label line's last pixels are on the screen.
    const QImage shown = view.viewport()->grab().toImage();
    const int x = labelsEnd - 2 - bar->value();
    ASSERT_LT(x, shown.width());
    bool red = false;
    for (int y = 0; y < shown.height() && !red; ++y)
        red = shown.pixel(x, y) == kRed;
    EXPECT_TRUE(red) << "label end at view x " << x;
}

} // namespace
} // namespace bc
