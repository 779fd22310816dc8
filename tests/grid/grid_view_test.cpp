// Geometry, scrolling, painting, merges, sizing and the title tip, on a shown
// grid of known sizes.

#include "grid/grid_ctrl.h"
#include "grid_test_util.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPalette>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <set>
#include <tuple>

using namespace bc;
using bc::test::makeGrid;
using bc::test::pixel;
using bc::test::RecordingOwner;
using bc::test::render;

namespace {
// Cell (row, col) of `g` is whole inside the client area, below the headings.
void expectWhole(const CGridCtrl& g, int row, int col)
{
    GridRect rc;
    ASSERT_TRUE(g.CellRect(row, col, &rc));
    EXPECT_GE(rc.top, g.GetFixedRowHeight()) << "row " << row;
    EXPECT_LE(rc.bottom + 1, g.ClientRect().bottom) << "row " << row;
    EXPECT_LE(rc.right + 1, g.ClientRect().right) << "column " << col;
}
} // namespace

TEST(GridGeometry, HitTestingAgreesWithCellRectanglesInAnyLayout)
{
    auto grid = makeGrid(6, 6);
    EXPECT_EQ(grid->CellFromPoint({10, 10}, true), CGridCellId(0, 0));
    EXPECT_EQ(grid->CellFromPoint({10, 10}, false), CGridCellId())
        << "the corner needs allow-fixed";
    EXPECT_EQ(grid->CellFromPoint({300, 30}), CGridCellId()) << "right of the last column";
    EXPECT_EQ(grid->CellFromPoint({-1, 30}), CGridCellId());
    GridRect rc;
    ASSERT_TRUE(grid->CellRect(4, 3, &rc));
    EXPECT_EQ(rc, GridRect(150, 80, 199, 99)) << "rectangles end one short of the next cell";

    // Uneven sizes, hidden rows and columns, one to three fixed rows, with and
    // without a fixed column, at assorted scroll positions.
    std::mt19937 rng(5);
    for (int trial = 0; trial < 12; ++trial) {
        SCOPED_TRACE(trial);
        auto grid = std::make_unique<CGridCtrl>(60, 15, 1 + trial % 3, trial % 2);
        for (int c = 0; c < 15; ++c)
            grid->ChangeColumnWidth(c, rng() % 4 == 0 ? 0 : int(5 + rng() % 60));
        for (int r = 0; r < 60; ++r)
            grid->ChangeRowHeight(r, rng() % 5 == 0 ? 0 : int(3 + rng() % 40));
        grid->resize(300, 250);
        grid->show();
        grid->UpdateScrollBars();
        const int steps = int(rng() % 12);
        for (int k = 0; k < steps; ++k) {
            grid->OnVScroll(rng() % 2 ? SB_LINEDOWN : SB_PAGEDOWN);
            grid->OnHScroll(SB_LINERIGHT);
        }
        if (trial % 4 == 0) {
            grid->OnVScroll(SB_BOTTOM);
            grid->OnHScroll(SB_RIGHT);
        }
        const GridRect client = grid->ClientRect();
        for (int y = 0; y < client.bottom; ++y)
            for (int x = 0; x < client.right; x += 3) {
                const CGridCellId id = grid->CellFromPoint({x, y}, true);
                if (!id.IsValid())
                    continue;
                ASSERT_TRUE(grid->CellRect(id, &rc));
                ASSERT_TRUE(x >= rc.left && x <= rc.right && y >= rc.top && y <= rc.bottom)
                    << "point " << x << "," << y << " gave " << id.row << "," << id.col;
            }

        // Showing a cell brings all of it into view, below the headings.
        for (int r = grid->GetFixedRowCount(); r < 60; r += 7) {
            if (grid->GetRowHeight(r) == 0)
                continue;
            grid->ShowCell(r, 5);
            ASSERT_TRUE(grid->CellRect(r, 5, &rc));
            EXPECT_GE(rc.top, grid->GetFixedRowHeight()) << "row " << r;
            EXPECT_LE(rc.bottom + 1, grid->ClientRect().bottom) << "row " << r;
        }
    }
}

TEST(GridGeometry, ScrollRangesEndWithTheLastRowAtTheBottom)
{
    auto small = makeGrid(3, 3);
    EXPECT_EQ(small->GetScrollBarState(), 0);

    auto grid = makeGrid(100, 12);
    EXPECT_EQ(grid->GetScrollBarState(), 3);
    EXPECT_EQ(grid->GetVerticalScrollMax(), 99 * 20 - 1);
    grid->OnVScroll(SB_LINEUP);
    EXPECT_EQ(grid->GetScrollPos(SB_VERT), 0) << "line scrolls stop at the ends";
    grid->OnVScroll(SB_BOTTOM);
    GridRect last;
    ASSERT_TRUE(grid->CellRect(99, 1, &last));
    expectWhole(*grid, 99, 1);
    EXPECT_LT(grid->ClientRect().bottom - (last.bottom + 1), 20)
        << "no blank band below the last row";
    // Paging down near the bottom ends at the same place.
    grid->OnVScroll(SB_PAGEUP);
    grid->OnVScroll(SB_PAGEDOWN);
    grid->OnVScroll(SB_PAGEDOWN);
    expectWhole(*grid, 99, 1);

    // Fixed rows that reach the bottom hide both bars.
    grid->ChangeFixedRowCount(20);
    EXPECT_EQ(grid->GetScrollBarState(), 0);

    // A cell taller than the view is shown from its top.
    grid->ChangeFixedRowCount(1);
    grid->ChangeRowHeight(20, 1000);
    grid->SetFocusCell(20, 1);
    ASSERT_TRUE(grid->CellRect(20, 1, &last));
    EXPECT_EQ(last.top, grid->GetFixedRowHeight());
    grid->SetFocusCell(29, 1);
    expectWhole(*grid, 29, 1);
}

// Paints shown grids under distinct edge colours, whatever the platform's palette.
class GridPaint : public ::testing::Test {
protected:
    const QPalette saved = QApplication::palette();
    void SetUp() override
    {
        QPalette pal = saved;
        pal.setColor(QPalette::Light, QColor(250, 250, 250));
        pal.setColor(QPalette::Mid, QColor(120, 120, 120));
        pal.setColor(QPalette::Shadow, QColor(10, 10, 10));
        pal.setColor(QPalette::Button, QColor(200, 200, 200));
        QApplication::setPalette(pal);
    }
    void TearDown() override { QApplication::setPalette(saved); }
    static void expectPixels(CGridCtrl& g,
                             std::initializer_list<std::tuple<int, int, COLORREF>> pixels)
    {
        const QImage img = render(g);
        for (const auto& [x, y, colour] : pixels)
            EXPECT_EQ(pixel(img, x, y), colour) << x << "," << y;
    }
};

TEST_F(GridPaint, LinesSelectionFocusAndBackground)
{
    auto grid = makeGrid(3, 3);
    const COLORREF window = grid->GetDefaultCell(false, false)->GetBackColor();
    const COLORREF line = grid->GetGridLineColor();
    const COLORREF background = grid->GetGridBkColor();
    const COLORREF text = grid->GetDefaultCell(false, false)->GetTextColor();
    // Beyond the table (150 x 60) the grid background; grid lines at the
    // last pixel of each scrolled column and row.
    expectPixels(*grid, {{200, 10, background},
                         {20, 100, background},
                         {99, 30, line},
                         {75, 39, line},
                         {98, 30, window}});
    // The selection's fill covers its cell's lines; the focus frame.
    grid->SetSelectedRange(2, 2, 2, 2);
    grid->SetFocusCell(1, 1);
    expectPixels(*grid, {{149, 59, GetSysColor(COLOR_HIGHLIGHT)},
                         {50, 30, text},
                         {98, 30, text},
                         {75, 20, text},
                         {75, 30, window}});
    grid->SetGridLines(GVL_NONE);
    grid->SetFocusCell(-1, -1);
    expectPixels(*grid, {{99, 30, window}});

    grid->SetRedraw(false);
    EXPECT_EQ(render(*grid).pixel(75, 30), QColor(Qt::magenta).rgb()) << "redraw off draws nothing";
    EXPECT_FALSE(grid->RedrawCellNow(1, 1));
}

TEST_F(GridPaint, HiddenRowsAndMergesDrawNoInteriorLines)
{
    auto grid = makeGrid(4, 4);
    ASSERT_TRUE(grid->MergeCells(1, 1, 2, 2));
    const COLORREF window = grid->GetDefaultCell(false, false)->GetBackColor();
    // No lines inside the merge; those outside remain.
    expectPixels(*grid, {{99, 30, window}, {75, 39, window}, {199, 30, grid->GetGridLineColor()}});
    grid->ChangeRowHeight(3, 0);
    expectPixels(*grid, {{175, 65, grid->GetGridBkColor()}});
}

TEST_F(GridPaint, HeadersRaisedOrSunkenAndOwnBackColours)
{
    auto grid = makeGrid(3, 3);
    grid->SetFocusCell(1, 2);
    grid->SetItemBackColor(2, 1, RGB(0, 200, 0));
    const COLORREF light = GetSysColor(COLOR_3DHIGHLIGHT);
    const COLORREF mid = GetSysColor(COLOR_3DSHADOW);
    const COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);
    const COLORREF line = grid->GetGridLineColor();
    // Header (0, 1), away from the focus: raised.
    expectPixels(*grid, {{75, 0, light}, {50, 10, light}, {99, 10, dark}, {75, 19, dark}});
    EXPECT_NE(pixel(render(*grid), 50, 19), light) << "a line leaves out its end point";
    // Header (0, 2) above the focus cell: sunken; row header (1, 0) beside
    // it: sunken; (2, 0): raised.
    expectPixels(*grid, {{125, 0, mid},
                         {100, 10, mid},
                         {125, 19, light},
                         {149, 10, light},
                         {25, 20, mid},
                         {25, 40, light}});
    // A cell's own back colour is filled although the pass asks for no erase;
    // its grid lines stay. The focus frame's bottom is one pixel above the grid line.
    expectPixels(*grid, {{75, 50, RGB(0, 200, 0)},
                         {98, 58, RGB(0, 200, 0)},
                         {99, 50, line},
                         {75, 59, line},
                         {125, 38, grid->GetDefaultCell(false, false)->GetTextColor()},
                         {125, 39, line}});
}

TEST(GridVirtual, PaintAsksOncePerVisibleCellBetweenTwoHints)
{
    auto grid = std::make_unique<CGridCtrl>();
    RecordingOwner owner;
    grid->SetOwner(&owner);
    grid->ChangeVirtualMode(true);
    grid->ChangeRowCount(1000);
    grid->ChangeColumnCount(20);
    grid->ChangeFixedRowCount(1);
    grid->ChangeFixedColumnCount(1);
    bc::test::setUniformSizes(*grid, 50, 20);
    grid->resize(300, 200);
    grid->show();
    grid->UpdateScrollBars();
    owner.hints.clear();
    owner.dispRequests.clear();
    const CGridCellRange visible = grid->VisibleCellRange();
    render(*grid);
    EXPECT_EQ(owner.hints, (std::vector<CGridCellRange>{visible, CGridCellRange()}));
    std::set<std::pair<int, int>> seen;
    for (const CGridCellId& id : owner.dispRequests)
        EXPECT_TRUE(seen.insert({id.row, id.col}).second)
            << "asked twice for " << id.row << "," << id.col;
    EXPECT_EQ(int(seen.size()), (visible.maxRow + 1) * (visible.maxCol + 1));
}

TEST(GridMerge, OwnerLookupAndOverlapRules)
{
    auto grid = makeGrid(6, 6);
    EXPECT_FALSE(grid->MergeCells(2, 2, 2, 2)) << "one cell is no merge";
    EXPECT_FALSE(grid->MergeCells(2, 2, 9, 3)) << "out of range";
    EXPECT_FALSE(grid->MergeCells(3, 3, 2, 2)) << "reversed";
    ASSERT_TRUE(grid->MergeCells(1, 1, 2, 3));
    for (int r = 1; r <= 2; ++r)
        for (int c = 1; c <= 3; ++c)
            EXPECT_EQ(grid->GetMergedCellId(r, c), CGridCellId(1, 1));
    EXPECT_EQ(grid->GetMergedColumnWidth(2, 3), 150);
    EXPECT_EQ(grid->GetMergedRowHeight(2, 2), 40);
    EXPECT_EQ(grid->CellFromPoint({160, 50}), CGridCellId(1, 1)) << "a covered cell hits its owner";
    EXPECT_FALSE(grid->MergeCells(2, 3, 4, 4)) << "merges may not overlap";
    EXPECT_TRUE(grid->MergeCells(3, 3, 4, 4));

    // Unmerging covered cells only keeps the owner's merge.
    grid->UnmergeCells(2, 2, 2, 3);
    EXPECT_TRUE(grid->GetCell(1, 1)->IsMerged());
    EXPECT_EQ(grid->GetMergedCellId(2, 2), CGridCellId(2, 2));
    grid->UnmergeCells(1, 1, 2, 3);
    for (int r = 1; r <= 2; ++r)
        for (int c = 1; c <= 3; ++c)
            EXPECT_TRUE(grid->GetCell(r, c)->IsShown() && !grid->GetCell(r, c)->IsCoveredByMerge());
}

TEST(GridMerge, MergesFollowStructureChanges)
{
    auto grid = makeGrid(8, 5);
    ASSERT_TRUE(grid->MergeCells(3, 1, 4, 2));
    grid->AddRowAt(QStringLiteral("new"), 1);
    EXPECT_EQ(grid->mergedRanges(), std::vector<CGridCellRange>{CGridCellRange(4, 1, 5, 2)})
        << "the merge moves down with its rows";
    EXPECT_EQ(grid->GetMergedCellId(5, 2), CGridCellId(4, 1));

    grid->AddRowAt(QStringLiteral("inside"), 5);
    EXPECT_TRUE(grid->mergedRanges().empty()) << "a row inserted into a merge dissolves it";
    EXPECT_EQ(grid->GetMergedCellId(6, 2), CGridCellId(6, 2));

    ASSERT_TRUE(grid->MergeCells(5, 3, 6, 4));
    grid->RemoveRowAt(2);
    EXPECT_EQ(grid->GetMergedCellId(5, 4), CGridCellId(4, 3));
    grid->RemoveRowAt(5);
    EXPECT_TRUE(grid->mergedRanges().empty()) << "removing a row of a merge dissolves it";
    EXPECT_TRUE(grid->GetCell(4, 3)->IsShown());

    ASSERT_TRUE(grid->MergeCells(1, 2, 2, 3));
    grid->AddColumnAt(QStringLiteral("c"), DT_LEFT, 1);
    EXPECT_EQ(grid->GetMergedCellId(2, 4), CGridCellId(1, 3));
    EXPECT_EQ(grid->mergedRanges(), std::vector<CGridCellRange>{CGridCellRange(1, 3, 2, 4)})
        << "the span moves whole";
    grid->ChangeColumnCount(3);
    EXPECT_TRUE(grid->mergedRanges().empty());
}

TEST(GridSize, AutoSizeFitsALongTextAndStretchSpreadsTheRest)
{
    auto grid = makeGrid(3, 4, 1, 0);
    const QFontMetrics fm(grid->GetCell(1, 2)->GetFontObject());
    const int margin = int(grid->GetCell(1, 2)->GetMargin());
    grid->SetItemText(1, 2, QStringLiteral("a rather long piece of text for one cell"));
    ASSERT_TRUE(grid->FitColumnToContent(2));
    EXPECT_GE(grid->GetColumnWidth(2) - 2 * margin,
              fm.horizontalAdvance(grid->GetItemText(1, 2)) - 2)
        << "the whole text shows";

    grid->ChangeColumnWidth(1, 0);
    EXPECT_FALSE(grid->FitColumnToContent(1)) << "hidden columns stay hidden";
    grid->FitAllToContent();
    EXPECT_EQ(grid->GetColumnWidth(1), 0);

    // Stretch three visible columns by 10 pixels: 4, 3 and 3 more.
    auto s = makeGrid(2, 3, 0, 0);
    const int client = s->ClientRect().Width();
    s->ChangeColumnWidth(2, client - 110);
    s->StretchColumnsToWindow(true);
    EXPECT_EQ((std::vector<int>{s->GetColumnWidth(0), s->GetColumnWidth(1), s->GetColumnWidth(2)}),
              (std::vector<int>{54, 53, client - 107}));
    // A shrink larger than the columns stops at one pixel each.
    s->ChangeColumnWidth(0, 5000);
    s->StretchColumnsToWindow(true);
    EXPECT_GE(s->GetColumnWidth(1), 1);
    EXPECT_GE(s->GetColumnWidth(2), 1);
}

TEST(GridTitleTip, AppearsOnlyForClippedText)
{
    auto grid = makeGrid(4, 4);
    grid->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(grid.get()));
    grid->SetItemText(1, 1, QStringLiteral("a text far too long for a fifty pixel cell"));
    grid->SetItemText(2, 2, QStringLiteral("ok"));
    QTest::mouseMove(grid->viewport(), QPoint(130, 50));
    EXPECT_FALSE(grid->titleTip()->isShown()) << "a fitting text shows no tip";
    QTest::mouseMove(grid->viewport(), QPoint(70, 30));
    ASSERT_TRUE(grid->titleTip()->isShown());
    EXPECT_EQ(grid->titleTip()->shownText().trimmed(), grid->GetItemText(1, 1));
    QTest::mouseMove(grid->viewport(), QPoint(130, 50));
    EXPECT_FALSE(grid->titleTip()->isShown()) << "leaving the cell hides the tip";
    QTest::mouseMove(grid->viewport(), QPoint(70, 30));
    ASSERT_TRUE(grid->titleTip()->isShown());
    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_FALSE(grid->titleTip()->isShown()) << "a key hides the tip";
}

TEST(GridGeometry, HugeSizesAreBoundedAndStillScrollAndDraw)
{
    auto grid = makeGrid(6, 6);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(grid->ChangeColumnWidth(i, std::numeric_limits<int>::max()));
        ASSERT_TRUE(grid->ChangeRowHeight(i, std::numeric_limits<int>::max()));
    }
    EXPECT_EQ(grid->GetRowHeight(3), GridSizes::kMaxSize);
    EXPECT_EQ(grid->TotalColumnWidth(), 3LL * GridSizes::kMaxSize + 3 * 50);
    ASSERT_TRUE(grid->MergeCells(1, 1, 3, 3));
    EXPECT_EQ(grid->GetMergedColumnWidth(2, 2), 3 * GridSizes::kMaxSize);
    QImage img = render(*grid);
    EXPECT_EQ(pixel(img, 5, 5), grid->GetDefaultCell(true, true)->GetBackColor());

    // The far corner can be reached and shown whole.
    grid->OnVScroll(SB_BOTTOM);
    grid->OnHScroll(SB_RIGHT);
    expectWhole(*grid, 5, 5);
    GridRect rc;
    ASSERT_TRUE(grid->CellRect(5, 5, &rc));
    EXPECT_EQ(grid->CellFromPoint({rc.left + 1, rc.top + 1}), CGridCellId(5, 5));
    img = render(*grid);
    EXPECT_EQ(pixel(img, rc.right, rc.top + 5), grid->GetGridLineColor());
}
