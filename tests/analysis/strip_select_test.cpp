// Selecting a strip with the mouse in the stitch window: a click on a strip
// selects that strip wherever on it the click lands, on narrow and wide
// pages at any zoom; a click beside the page selects nothing.

#include "stitch_frame_fixture.h"

#include "analysis/page_geometry.h"
#include "analysis/page_painter.h"
#include "analysis/unwrap_data.h"
#include "support/saved_survey.h"

namespace bc {
namespace {

// Presses and releases the left button over page point `p`, the view
// scrolled so that it shows.
void clickPage(CUnWrapView& view, QPoint p)
{
    QScrollBar* v = view.verticalScrollBar();
    QScrollBar* h = view.horizontalScrollBar();
    v->setValue(p.y() + kPageTopMargin - view.viewport()->height() / 2);
    h->setValue(p.x() + kPageLeftMargin - view.viewport()->width() / 2);
    const QPoint at = p + QPoint(kPageLeftMargin - h->value(), kPageTopMargin - v->value());
    ASSERT_TRUE(view.viewport()->rect().contains(at)) << at.x() << ',' << at.y();
    QTest::mouseMove(view.viewport(), at);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, at);
}

TEST(StripSelection, AClickOnAStripSelectsThatStrip)
{
    const struct {
        int diameter;  // mm
        int aspect;    // the page aspect rule
        int zoomSteps; // + in, - out
    } rows[] = {
        {70, 1, 0}, {70, 1, 2}, {70, 1, -3}, {120, 0, 0}, {120, 0, -2}, {120, 1, 1}, {300, 1, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << row.diameter << " mm, aspect " << row.aspect << ", zoom " << row.zoomSteps);
        test::StitchFrame f;
        f.settings.aspectAutoFit = row.aspect;
        const test::SavedSurvey survey{12, row.diameter};
        f.openSfa(survey.write(f.dir.path(), QStringLiteral("s.sfa")), QSize(900, 700));
        CUnWrapView& view = f.view();
        for (int i = 0; i < std::abs(row.zoomSteps); ++i)
            f.clickCommand(row.zoomSteps > 0 ? ID_ZOOM_IN : ID_ZOOM_OUT);
        QApplication::processEvents();
        const PageViewState& s = view.pageState();
        ASSERT_GT(s.pageWidth, 4);
        const CUnWrapData& d = *view.GetData();
        // Where each strip of the page is drawn: its index and middle row.
        std::vector<std::pair<int, int>> strips;
        for (int i = 0; i < s.perPage && i < d.GetItemCount(); ++i) {
            const PageRect r = d.GetItemRect(1, s.currentPage, s.perPage, s.zoom, i);
            if (r.bottom - r.top >= 3)
                strips.emplace_back(i, (r.top + r.bottom) / 2);
        }
        ASSERT_GE(strips.size(), 2u);
        for (size_t k = 0; k < strips.size(); ++k) {
            const auto [i, y] = strips[k];
            // From the page's first column to its last.
            for (const int x : {0, s.pageWidth / 2, s.pageWidth - 1}) {
                clickPage(view, {x, y});
                EXPECT_EQ(view.pageState().selectedItem, i) << "strip " << i << " at x " << x;
            }
            // Beside the page, in the blank and in the label column, level
            // with another strip: no change. (As far right as the view
            // scrolls.)
            const int otherY = strips[(k + 1) % strips.size()].second;
            const int reach = view.horizontalScrollBar()->maximum() + view.viewport()->width() -
                              kPageLeftMargin - 1;
            for (const int x : {std::min(s.pageWidth + 40, reach), s.pageWidth, -1, -30}) {
                clickPage(view, {x, otherY});
                EXPECT_EQ(view.pageState().selectedItem, i)
                    << "beside the page at x " << x << ", strip " << i << " selected";
            }
        }
    }
}

} // namespace
} // namespace bc
