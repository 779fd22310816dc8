// What the stitch window's strip view shows: scrolling to every part of the
// painted page, what a deletion leaves behind and the redraw after the stitch
// settings.

#include "stitch_frame_fixture.h"

#include "analysis/attitude_shape.h"
#include "analysis/page_geometry.h"
#include "analysis/shape_grid.h"
#include "analysis/stitch_settings_dlg.h"
#include "analysis/unwrap_data.h"
#include "support/saved_survey.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace bc {
namespace {

// Waits until the screen shows what the view paints now: its repaints are
// done, however busy the machine.
bool screenCaughtUp(const CUnWrapView& view)
{
    return QTest::qWaitFor(
        [&] { return test::viewportOnScreen(view) == view.viewport()->grab().toImage(); }, 10000);
}

const QRgb kRed = qRgb(255, 0, 0), kGreen = qRgb(0, 255, 0);

// How many pixels of `colour` an image has from `fromX` on.
int pixelsOf(QRgb colour, const QImage& image, int fromX)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = std::max(fromX, 0); x < image.width(); ++x)
            n += image.pixel(x, y) == colour;
    return n;
}

// Two lines across the wall, red at 1.05 m and green at 1.40 m, labelled
// right of the strips. A click on the red one selects it, Delete takes it
// away: its line and its label are gone from the screen, the green one's
// stay. Dragging the thumb right then moves the page left until the end of
// the labels shows.
TEST(StripViewScreen, DeleteClearsTheLabelAndTheScrollBarReachesTheLabelsEnd)
{
    test::StitchFrame f;
    f.settings.aspectAutoFit = 0;
    f.open(CUnWrapFrame::StandAlone, 200, 60);
    CUnWrapView& view = f.view();
    for (const auto& [depth, colour] : {std::pair(1050.0f, 0xFFu), std::pair(1400.0f, 0xFF00u)})
        view.GetData()->AddShape(std::make_unique<CAttitudeLine>(
            0, CShapePoint(0.5f, depth), CShapePoint(6.0f, depth), 0, 1, colour));
    view.viewport()->update();
    ASSERT_TRUE(screenCaughtUp(view));
    const PageViewState& s = view.pageState();
    const int labelsFrom = kPageLeftMargin + s.pageWidth;
    ASSERT_GT(pixelsOf(kRed, test::viewportOnScreen(view), labelsFrom), 100) << "the label's line";
    const QPoint onLine(kPageLeftMargin + truncToInt(3.0f * PixelsPerRadian(s.pageWidth)),
                        kPageTopMargin + truncToInt(float(1050 - s.pageTopDepth) * s.pxPerMm));
    QTest::mouseMove(view.viewport(), onLine);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, onLine);
    QTest::keyClick(&view, Qt::Key_Delete);
    ASSERT_TRUE(screenCaughtUp(view));
    ASSERT_EQ(view.GetData()->GetShapeCount(), 1);
    const QImage after = test::viewportOnScreen(view);
    EXPECT_EQ(pixelsOf(kRed, after, labelsFrom), 0);
    EXPECT_GT(pixelsOf(kGreen, after, labelsFrom), 100);

    QScrollBar* bar = view.horizontalScrollBar();
    const std::vector<int> values = test::dragThumb(bar, bar->width());
    ASSERT_FALSE(values.empty());
    EXPECT_TRUE(values.front() > 0 && std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(bar->value(), bar->maximum());
    const QImage shown = view.viewport()->grab().toImage();
    // The label line runs to 2.5 page widths; its text may reach further.
    const int x = kPageLeftMargin + truncToInt(2.5 * s.pageWidth) - 2 - bar->value();
    EXPECT_GE(bar->maximum() + view.viewport()->width(),
              kPageLeftMargin + ShapeLabelsRight(s.pageWidth));
    EXPECT_GT(pixelsOf(kGreen, shown.copy(x, 0, 1, shown.height()), 0), 0) << "label end at " << x;
}

// Unticking "图像显示横纵比＝孔周长/深度" redraws the page shown at once, with
// its strips at their own width, whether the strips a page change or not.
TEST(StripViewScreen, StitchSettingsRedrawThePageShown)
{
    for (const int perPage : {10, 5}) {
        SCOPED_TRACE(perPage);
        test::StitchFrame f;
        f.settings.aspectAutoFit = 1;
        f.open(CUnWrapFrame::StandAlone, 300, 40);
        CUnWrapView& view = f.view();
        ASSERT_LT(view.pageState().pageWidth, 250) << "the aspect narrows the page";
        QTimer::singleShot(0, [perPage] {
            auto* dlg = qobject_cast<CStitchSettingsDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            dlg->perPageEdit()->selectAll();
            QTest::keyClicks(dlg->perPageEdit(), QString::number(perPage));
            QTest::mouseClick(dlg->aspectCheck(), Qt::LeftButton, {},
                              QPoint(8, dlg->aspectCheck()->height() / 2));
            QTest::mouseClick(dlg->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        });
        f.frame->commandAction(ID_STITCH_SETTINGS)->trigger();
        ASSERT_TRUE(screenCaughtUp(view));
        EXPECT_EQ(view.pageState().pageWidth, 300);
        // The strips' right columns are on the screen.
        const QPoint inStrip(kPageLeftMargin + 290 - view.horizontalScrollBar()->value(),
                             kPageTopMargin + 5 - view.verticalScrollBar()->value());
        const QImage shown = test::viewportOnScreen(view);
        ASSERT_TRUE(shown.rect().contains(inStrip));
        EXPECT_NE(shown.pixel(inStrip), qRgb(255, 255, 255));
    }
}

// A dip direction edited in the attitude list shows in the attitude's label
// on the page at once: the label's part of the screen becomes what a full
// repaint draws, the new text.
TEST(StripViewScreen, AListEditShowsInTheLabelAtOnce)
{
    test::StitchFrame f;
    f.settings.aspectAutoFit = 0;
    const test::SavedSurvey survey{12, 120, true};
    f.openSfa(survey.write(f.dir.path(), QStringLiteral("s.sfa")), QSize(1000, 700));
    CUnWrapView& view = f.view();
    const PageViewState& s = view.pageState();
    const CAttitudeShape* shape = view.GetData()->GetShape(0);
    ASSERT_NE(shape, nullptr);
    const PageRect bound =
        shape->GetBoundRect(s.pageTopDepth, PixelsPerRadian(s.pageWidth), s.pxPerMm).normalized();
    const QRect label = ShapeLabelArea(bound, s.pageWidth)
                            .toQRect()
                            .translated(kPageLeftMargin - view.horizontalScrollBar()->value(),
                                        kPageTopMargin - view.verticalScrollBar()->value())
                            .intersected(view.viewport()->rect());
    ASSERT_GT(label.width(), 100);
    ASSERT_GT(label.height(), 10);
    auto shownLabel = [&] { return test::viewportOnScreen(view).copy(label); };
    auto paintedLabel = [&] { return view.viewport()->grab().toImage().copy(label); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownLabel() == paintedLabel(); }, 10000));
    const QImage before = shownLabel();

    // The depth range typed into the list, with real clicks and keys (the
    // label's first words: on the screen whatever font draws it).
    CShapeGrid& grid = *f.frame->GetShapeGrid();
    GridRect r;
    grid.CellRect(1, TextDepthRange, &r);
    const QPoint at = r.toQRect().center();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, at);
    auto* edit = qobject_cast<QLineEdit*>(grid.activeEditor());
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("0.85-1.06"));
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_EQ(shape->GetText(TextDepthRange), QStringLiteral("0.85-1.06"));

    ASSERT_NE(paintedLabel(), before) << "the new text draws differently";
    EXPECT_TRUE(QTest::qWaitFor([&] { return shownLabel() == paintedLabel(); }, 10000))
        << "the label on the screen still shows the old text";
}

} // namespace
} // namespace bc
