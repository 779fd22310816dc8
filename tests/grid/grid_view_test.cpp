// Geometry, scrolling, painting, mouse notifications, merges, sizing and the
// title tip, on a shown grid of known sizes.

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

using namespace bc;
using bc::test::makeGrid;
using bc::test::Notice;
using bc::test::pixel;
using bc::test::RecordingOwner;
using bc::test::render;
using bc::test::setUniformSizes;

TEST(GridGeometry, HitTestingOnBothSidesOfEveryEdge)
{
    auto grid = makeGrid(6, 6);
    grid->ChangeColumnWidth(2, 0); // hidden column
    grid->ChangeRowHeight(3, 0);   // hidden row
    // Columns: 0 [0,50) fixed, 1 [50,100), 2 hidden, 3 [100,150), 4 [150,200), 5 [200,250).
    const int colEdges[] = {0, 50, 100, 150, 200, 250};
    const int colLeft[] = {0, 1, 3, 4, 5};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(grid->CellFromPoint({colEdges[i], 30}).col, colLeft[i]) << "x " << colEdges[i];
        EXPECT_EQ(grid->CellFromPoint({colEdges[i + 1] - 1, 30}).col, colLeft[i]) << "x " << colEdges[i + 1] - 1;
    }
    EXPECT_EQ(grid->CellFromPoint({250, 30}), CGridCellId()) << "right of the last column";
    // Rows: 0 [0,20) fixed, 1 [20,40), 2 [40,60), 3 hidden, 4 [60,80), 5 [80,100).
    const int rowEdges[] = {0, 20, 40, 60, 80, 100};
    const int rowTop[] = {0, 1, 2, 4, 5};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(grid->CellFromPoint({60, rowEdges[i]}).row, rowTop[i]);
        EXPECT_EQ(grid->CellFromPoint({60, rowEdges[i + 1] - 1}).row, rowTop[i]);
    }
    EXPECT_EQ(grid->CellFromPoint({-1, 30}), CGridCellId());
    EXPECT_EQ(grid->CellFromPoint({10, 10}, true), CGridCellId(0, 0));
    EXPECT_EQ(grid->CellFromPoint({10, 10}, false), CGridCellId()) << "the corner needs allow-fixed";

    GridRect rc;
    ASSERT_TRUE(grid->CellRect(4, 3, &rc));
    EXPECT_EQ(rc, GridRect(100, 60, 149, 79)) << "rectangles end one short of the next cell";
}

TEST(GridGeometry, ScrolledViewsHitTheScrolledCells)
{
    auto grid = makeGrid(40, 12);
    grid->ChangeColumnWidth(2, 0);
    ASSERT_GT(grid->GetScrollLimit(SB_HORZ), 0);
    grid->OnHScroll(SB_LINERIGHT);
    // One line right skips a column: the first scrolled column is now past column 1.
    const CGridCellId first = grid->FirstScrolledCell();
    EXPECT_GE(first.col, 2);
    EXPECT_EQ(grid->CellFromPoint({50, 30}).col, 3) << "the hidden column takes no space";
    EXPECT_EQ(grid->CellFromPoint({49, 30}).col, 0) << "fixed columns stay put";
    grid->OnVScroll(SB_LINEDOWN);
    grid->OnVScroll(SB_LINEDOWN);
    EXPECT_EQ(grid->FirstScrolledCell().row, 3);
    EXPECT_EQ(grid->CellFromPoint({60, 20}).row, 3);
    EXPECT_EQ(grid->CellFromPoint({60, 19}).row, 0);

    // Line scrolls stop at the ends.
    grid->OnVScroll(SB_TOP);
    const int pos = grid->GetScrollPos(SB_VERT);
    grid->OnVScroll(SB_LINEUP);
    EXPECT_EQ(grid->GetScrollPos(SB_VERT), pos);
}

TEST(GridGeometry, ScrollRangesEndWithTheLastRowAtTheBottom)
{
    auto small = makeGrid(3, 3);
    EXPECT_EQ(small->GetVerticalScrollMax(), 0);
    EXPECT_EQ(small->GetHorizontalScrollMax(), 0);
    EXPECT_EQ(small->GetScrollBarState(), 0);

    auto grid = makeGrid(100, 12);
    EXPECT_EQ(grid->GetScrollBarState(), 3);
    EXPECT_EQ(grid->GetVerticalScrollMax(), 99 * 20 - 1);
    grid->OnVScroll(SB_BOTTOM);
    const GridRect client = grid->ClientRect();
    GridRect last;
    ASSERT_TRUE(grid->CellRect(99, 1, &last));
    EXPECT_LE(last.bottom + 1, client.bottom) << "the last row is whole";
    EXPECT_LT(client.bottom - (last.bottom + 1), 20) << "no blank band below the last row";
    // Paging down near the bottom ends at the same place.
    grid->OnVScroll(SB_PAGEUP);
    grid->OnVScroll(SB_PAGEDOWN);
    grid->OnVScroll(SB_PAGEDOWN);
    ASSERT_TRUE(grid->CellRect(99, 1, &last));
    EXPECT_LE(last.bottom + 1, client.bottom);

    // Fixed rows that reach the bottom hide both bars.
    grid->ChangeFixedRowCount(20);
    EXPECT_EQ(grid->GetScrollBarState(), 0);
}

TEST(GridGeometry, ShowCellStopsOnACellTallerThanTheView)
{
    auto grid = makeGrid(30, 3);
    grid->ChangeRowHeight(20, 1000);
    grid->SetFocusCell(20, 1);
    GridRect rc;
    ASSERT_TRUE(grid->CellRect(20, 1, &rc));
    EXPECT_EQ(rc.top, grid->GetFixedRowHeight());
    grid->SetFocusCell(29, 1);
    ASSERT_TRUE(grid->CellRect(29, 1, &rc));
    EXPECT_LE(rc.bottom + 1, grid->ClientRect().bottom);
    EXPECT_GE(rc.top, grid->GetFixedRowHeight());
}

TEST(GridPaint, LinesSelectionFocusAndBackground)
{
    auto grid = makeGrid(3, 3);
    const COLORREF window = grid->GetDefaultCell(false, false)->GetBackColor();
    QImage img = render(*grid);
    // Beyond the table (150 x 60): the grid background.
    EXPECT_EQ(pixel(img, 200, 10), grid->GetGridBkColor());
    EXPECT_EQ(pixel(img, 20, 100), grid->GetGridBkColor());
    // Grid lines at the last pixel of each scrolled column and row.
    EXPECT_EQ(pixel(img, 99, 30), grid->GetGridLineColor());
    EXPECT_EQ(pixel(img, 75, 39), grid->GetGridLineColor());
    EXPECT_EQ(pixel(img, 75, 30), window);
    EXPECT_EQ(pixel(img, 98, 30), window);

    grid->SetSelectedRange(2, 2, 2, 2);
    grid->SetFocusCell(1, 1);
    img = render(*grid);
    EXPECT_EQ(pixel(img, 120, 50), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(pixel(img, 149, 59), GetSysColor(COLOR_HIGHLIGHT)) << "the fill covers the cell's lines";
    const COLORREF text = grid->GetDefaultCell(false, false)->GetTextColor();
    EXPECT_EQ(pixel(img, 50, 30), text) << "focus frame, left";
    EXPECT_EQ(pixel(img, 98, 30), text) << "focus frame, right";
    EXPECT_EQ(pixel(img, 75, 20), text) << "focus frame, top";
    EXPECT_EQ(pixel(img, 75, 30), window);

    grid->SetGridLines(GVL_NONE);
    grid->SetFocusCell(-1, -1);
    img = render(*grid);
    EXPECT_EQ(pixel(img, 99, 30), window) << "no lines at all";

    grid->SetRedraw(false);
    img = render(*grid);
    EXPECT_EQ(img.pixel(75, 30), QColor(Qt::magenta).rgb()) << "redraw off draws nothing";
    EXPECT_FALSE(grid->RedrawCellNow(1, 1));
}

TEST(GridPaint, HiddenRowsAndMergesDrawNoInteriorLines)
{
    auto grid = makeGrid(4, 4);
    ASSERT_TRUE(grid->MergeCells(1, 1, 2, 2));
    const COLORREF window = grid->GetDefaultCell(false, false)->GetBackColor();
    QImage img = render(*grid);
    EXPECT_EQ(pixel(img, 99, 30), window) << "no vertical line inside the merge";
    EXPECT_EQ(pixel(img, 75, 39), window) << "no horizontal line inside the merge";
    EXPECT_EQ(pixel(img, 175, 30), window);
    EXPECT_EQ(pixel(img, 199, 30), grid->GetGridLineColor()) << "lines outside the merge remain";

    grid->ChangeRowHeight(3, 0);
    img = render(*grid);
    EXPECT_EQ(pixel(img, 175, 65), grid->GetGridBkColor()) << "a hidden row draws nothing";
}

TEST(GridMouse, PlainClickNotifiesInOrder)
{
    auto grid = makeGrid(5, 5);
    RecordingOwner owner;
    grid->SetOwner(&owner);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(120, 50));
    const std::vector<Notice> expected = {
        {GVN_SELCHANGING, 2, 2}, {GVN_SELCHANGED, 2, 2}, {NM_CLICK, 2, 2}};
    EXPECT_EQ(owner.notices, expected);
    EXPECT_EQ(grid->GetFocusCell(), CGridCellId(2, 2));
    EXPECT_TRUE(grid->IsCellSelected(2, 2));
    EXPECT_FALSE(grid->autoScrollRunning());
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.commands, 1) << "the release posts the command";
}

TEST(GridMouse, HeaderClickSelectsTheColumnAndCornerSelectsAll)
{
    auto grid = makeGrid(5, 5);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(120, 10));
    EXPECT_EQ(grid->SelectionRange(), CGridCellRange(1, 2, 4, 2));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(grid->GetSelectedCount(), 16u);
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
    setUniformSizes(*grid, 50, 20);
    grid->resize(300, 200);
    grid->show();
    grid->UpdateScrollBars();
    owner.hints.clear();
    owner.dispRequests.clear();
    const CGridCellRange visible = grid->VisibleCellRange();
    render(*grid);
    ASSERT_EQ(owner.hints.size(), 2u);
    EXPECT_EQ(owner.hints[0], visible);
    EXPECT_EQ(owner.hints[1], CGridCellRange());
    std::set<std::pair<int, int>> seen;
    for (const CGridCellId& id : owner.dispRequests)
        EXPECT_TRUE(seen.insert({id.row, id.col}).second) << "asked twice for " << id.row << "," << id.col;
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
        for (int c = 1; c <= 3; ++c) {
            EXPECT_TRUE(grid->GetCell(r, c)->IsShown());
            EXPECT_FALSE(grid->GetCell(r, c)->IsCoveredByMerge());
        }
}

TEST(GridMerge, MergesFollowStructureChanges)
{
    auto grid = makeGrid(8, 5);
    ASSERT_TRUE(grid->MergeCells(3, 1, 4, 2));
    grid->AddRowAt(QStringLiteral("new"), 1);
    EXPECT_FALSE(grid->GetCell(3, 1)->IsMerged());
    EXPECT_TRUE(grid->GetCell(4, 1)->IsMerged()) << "the merge moves down with its rows";
    EXPECT_EQ(grid->GetMergedCellId(5, 2), CGridCellId(4, 1));

    grid->AddRowAt(QStringLiteral("inside"), 5);
    EXPECT_FALSE(grid->GetCell(4, 1)->IsMerged()) << "a row inserted into a merge dissolves it";
    EXPECT_EQ(grid->GetMergedCellId(6, 2), CGridCellId(6, 2));
    EXPECT_TRUE(grid->mergedRanges().empty());

    ASSERT_TRUE(grid->MergeCells(5, 3, 6, 4));
    grid->RemoveRowAt(2);
    EXPECT_EQ(grid->GetMergedCellId(5, 4), CGridCellId(4, 3));
    grid->RemoveRowAt(5);
    EXPECT_TRUE(grid->mergedRanges().empty()) << "removing a row of a merge dissolves it";
    EXPECT_TRUE(grid->GetCell(4, 3)->IsShown());

    ASSERT_TRUE(grid->MergeCells(1, 2, 2, 3));
    grid->AddColumnAt(QStringLiteral("c"), DT_LEFT, 1);
    EXPECT_EQ(grid->GetMergedCellId(2, 4), CGridCellId(1, 3));
    EXPECT_EQ(grid->mergedRanges(), std::vector<CGridCellRange>{CGridCellRange(1, 3, 2, 4)}) << "the span moves whole";
    grid->ChangeColumnCount(3);
    EXPECT_TRUE(grid->mergedRanges().empty());
}

TEST(GridSize, AutoSizeFitsALongTextAndStretchSpreadsTheRest)
{
    auto grid = makeGrid(3, 4, 1, 0);
    const QString text = QStringLiteral("a rather long piece of text for one cell");
    grid->SetItemText(1, 2, text);
    ASSERT_TRUE(grid->FitColumnToContent(2));
    const QFontMetrics fm(grid->GetCell(1, 2)->GetFontObject());
    const int margin = int(grid->GetCell(1, 2)->GetMargin());
    // A text's extent is the sum of its characters' advances.
    auto extent = [&fm](const QString& s) {
        int w = 0;
        for (QChar ch : s)
            w += fm.horizontalAdvance(ch);
        return w;
    };
    EXPECT_EQ(grid->GetColumnWidth(2), extent(text) + 4 * margin);
    EXPECT_GE(grid->GetColumnWidth(2) - 2 * margin, fm.horizontalAdvance(text) - 2) << "the whole text shows";

    grid->SetItemText(0, 3, QStringLiteral("Heading"));
    grid->SetItemText(2, 3, QStringLiteral("much longer data text here"));
    ASSERT_TRUE(grid->FitColumnToContent(3, GVS_HEADER));
    EXPECT_EQ(grid->GetColumnWidth(3), extent(QStringLiteral("Heading")) + 4 * margin);

    grid->ChangeColumnWidth(1, 0);
    EXPECT_FALSE(grid->FitColumnToContent(1)) << "hidden columns stay hidden";
    grid->FitAllToContent();
    EXPECT_EQ(grid->GetColumnWidth(1), 0);

    // Stretch three visible columns by 10 pixels: 4, 3 and 3 more.
    auto s = makeGrid(2, 3, 0, 0);
    const int client = s->ClientRect().Width();
    s->ChangeColumnWidth(0, 50);
    s->ChangeColumnWidth(1, 50);
    s->ChangeColumnWidth(2, client - 110);
    s->StretchColumnsToWindow(true);
    EXPECT_EQ(s->GetColumnWidth(0), 54);
    EXPECT_EQ(s->GetColumnWidth(1), 53);
    EXPECT_EQ(s->GetColumnWidth(2), client - 110 + 3);

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

TEST(GridGeometry, HitTestingAgreesWithCellRectanglesInAnyLayout)
{
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
                GridRect rc;
                ASSERT_TRUE(grid->CellRect(id, &rc));
                ASSERT_TRUE(x >= rc.left && x <= rc.right && y >= rc.top && y <= rc.bottom)
                    << "point " << x << "," << y << " gave " << id.row << "," << id.col;
            }

        // At the bottom the last shown row is whole and below the headings.
        grid->OnVScroll(SB_BOTTOM);
        int last = 59;
        while (grid->GetRowHeight(last) == 0)
            --last;
        GridRect rc;
        ASSERT_TRUE(grid->CellRect(last, 14, &rc));
        EXPECT_LE(rc.bottom + 1, grid->ClientRect().bottom);
        EXPECT_GE(rc.top, grid->GetFixedRowHeight());

        // Showing a cell brings all of it into view.
        for (int r = grid->GetFixedRowCount(); r < 60; r += 7) {
            if (grid->GetRowHeight(r) == 0)
                continue;
            grid->ShowCell(r, 5);
            ASSERT_TRUE(grid->CellRect(r, 5, &rc));
            EXPECT_GE(rc.top, grid->GetFixedRowHeight()) << "row " << r;
            EXPECT_LE(rc.bottom + 1, grid->ClientRect().bottom) << "row " << r;
        }
        EXPECT_FALSE(grid->RedrawRowNow(60));
        EXPECT_FALSE(grid->RedrawRowNow(-1));
    }
}

TEST(GridGeometry, HugeSizesAreBoundedAndStillScrollAndDraw)
{
    auto grid = makeGrid(6, 6);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(grid->ChangeColumnWidth(i, std::numeric_limits<int>::max()));
        ASSERT_TRUE(grid->ChangeRowHeight(i, std::numeric_limits<int>::max()));
    }
    EXPECT_EQ(grid->GetColumnWidth(2), GridSizes::kMaxSize);
    EXPECT_EQ(grid->GetRowHeight(3), GridSizes::kMaxSize);
    EXPECT_EQ(grid->TotalColumnWidth(), 3LL * GridSizes::kMaxSize + 3 * 50);
    ASSERT_TRUE(grid->MergeCells(1, 1, 3, 3));
    EXPECT_EQ(grid->GetMergedColumnWidth(2, 2), 3 * GridSizes::kMaxSize);

    QImage img = render(*grid);
    EXPECT_EQ(pixel(img, 5, 5), grid->GetDefaultCell(true, true)->GetBackColor());

    // The far corner can be reached and shown whole.
    grid->OnVScroll(SB_BOTTOM);
    grid->OnHScroll(SB_RIGHT);
    GridRect rc;
    ASSERT_TRUE(grid->CellRect(5, 5, &rc));
    EXPECT_LE(rc.right + 1, grid->ClientRect().right);
    EXPECT_LE(rc.bottom + 1, grid->ClientRect().bottom);
    EXPECT_EQ(grid->CellFromPoint({rc.left + 1, rc.top + 1}), CGridCellId(5, 5));
    img = render(*grid);
    EXPECT_EQ(pixel(img, rc.right, rc.top + 5), grid->GetGridLineColor());
}

TEST(GridPaint, HeadersRaisedOrSunkenAndOwnBackColours)
{
    // Distinct edge colours, whatever the platform's palette.
    const QPalette saved = QApplication::palette();
    QPalette pal = saved;
    pal.setColor(QPalette::Light, QColor(250, 250, 250));
    pal.setColor(QPalette::Mid, QColor(120, 120, 120));
    pal.setColor(QPalette::Shadow, QColor(10, 10, 10));
    pal.setColor(QPalette::Button, QColor(200, 200, 200));
    QApplication::setPalette(pal);
    {
        auto grid = makeGrid(3, 3);
        grid->SetFocusCell(1, 2);
        grid->SetItemBackColor(2, 1, RGB(0, 200, 0));
        const QImage img = render(*grid);
        const COLORREF light = GetSysColor(COLOR_3DHIGHLIGHT);
        const COLORREF mid = GetSysColor(COLOR_3DSHADOW);
        const COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);
        // Header (0, 1), cell (50, 0)-(99, 19), away from the focus: raised.
        EXPECT_EQ(pixel(img, 75, 0), light);
        EXPECT_EQ(pixel(img, 50, 10), light);
        EXPECT_EQ(pixel(img, 99, 10), dark);
        EXPECT_EQ(pixel(img, 75, 19), dark);
        EXPECT_NE(pixel(img, 50, 19), light) << "a line leaves out its end point";
        // Header (0, 2) above the focus cell: sunken.
        EXPECT_EQ(pixel(img, 125, 0), mid);
        EXPECT_EQ(pixel(img, 100, 10), mid);
        EXPECT_EQ(pixel(img, 125, 19), light);
        EXPECT_EQ(pixel(img, 149, 10), light);
        // Row header (1, 0) beside the focus cell: sunken; (2, 0): raised.
        EXPECT_EQ(pixel(img, 25, 20), mid);
        EXPECT_EQ(pixel(img, 25, 40), light);
        // A cell's own back colour is filled although the pass asks for no
        // erase; its grid lines stay.
        EXPECT_EQ(pixel(img, 75, 50), RGB(0, 200, 0));
        EXPECT_EQ(pixel(img, 98, 58), RGB(0, 200, 0));
        EXPECT_EQ(pixel(img, 99, 50), grid->GetGridLineColor());
        EXPECT_EQ(pixel(img, 75, 59), grid->GetGridLineColor());
        // The focus frame's bottom is one pixel above the grid line.
        const COLORREF text = grid->GetDefaultCell(false, false)->GetTextColor();
        EXPECT_EQ(pixel(img, 125, 38), text);
        EXPECT_EQ(pixel(img, 125, 39), grid->GetGridLineColor());
    }
    QApplication::setPalette(saved);
}
