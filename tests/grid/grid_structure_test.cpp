// Cells, records, structure changes and the selection set of the grid. The
// grid, the UI kit and the media graphs build in one translation unit: the
// platform libraries' truth macros come first, as they do in the workspace's
// bars, and the colour helpers are seen once through both kits.

#include <gst/gst.h>

#include "acquisition/filter_graph.h"
#include "grid/grid_ctrl.h"
#include "grid_test_util.h"
#include "support/scripted_prompter.h"
#include "ui/flat_combo_box.h"
#include "ui/gdi_types.h"

#include <QPixmap>

#include <new>

#include <gtest/gtest.h>

using namespace bc;
using bc::test::RecordingOwner;

namespace {
// A virtual grid of rows x cols.
void makeVirtual(CGridCtrl& g, int rows, int cols)
{
    g.ChangeVirtualMode(true);
    g.ChangeRowCount(rows);
    g.ChangeColumnCount(cols);
}
} // namespace

TEST(GridRecords, RecordsAndAccessorsRefuseInvalidCells)
{
    CGridCtrl grid(3, 3, 1, 0);
    GridItem item;
    item.row = 1;
    item.col = 2;
    item.mask = 0;
    ASSERT_TRUE(grid.ApplyItemRecord(&item));
    EXPECT_TRUE(grid.IsCellModified(1, 2)) << "mask 0 still marks the cell modified";
    EXPECT_FALSE(grid.ApplyItemRecord(nullptr));
    item.row = 3;
    EXPECT_FALSE(grid.ApplyItemRecord(&item));
    EXPECT_FALSE(grid.SetItemText(-1, 0, QStringLiteral("a")));
    EXPECT_FALSE(grid.SetItemText(0, 3, QStringLiteral("a")));
    EXPECT_FALSE(grid.FormatItemText(3, 0, "%d", 1));
    EXPECT_EQ(grid.GetItemText(7, 7), QString());
    EXPECT_EQ(grid.GetRowHeight(3), -1);
    EXPECT_EQ(grid.GetColumnWidth(-1), -1);
    EXPECT_FALSE(grid.ChangeRowHeight(3, 10));
    ASSERT_TRUE(grid.ChangeRowHeight(1, -5));
    EXPECT_EQ(grid.GetRowHeight(1), 0) << "negative sizes are stored as 0";

    // Formatted texts and edits both mark the cell; editing the sort column
    // ends the sorted state.
    grid.MarkModified(false);
    grid.SetSortColumn(1);
    ASSERT_TRUE(grid.FormatItemText(1, 2, "%.2f m, %d", 12.345, 7));
    EXPECT_EQ(grid.GetItemText(1, 2), QStringLiteral("12.35 m, 7"));
    EXPECT_TRUE(grid.IsCellModified(1, 2));
    EXPECT_EQ(grid.GetSortColumn(), 1);
    grid.SetItemText(1, 1, QStringLiteral("b"));
    EXPECT_EQ(grid.GetSortColumn(), -1);
    grid.MarkModified(false);
    EXPECT_FALSE(grid.IsCellModified(-1, -1));
    EXPECT_FALSE(grid.IsCellModified(1, 1));
}

TEST(GridStructure, CountsInsertsAndRemovals)
{
    CGridCtrl grid(2, 2);
    const gboolean flushing = TRUE;
    EXPECT_EQ(grid.SetItemBackColor(1, 1, RGB(10, 20, 30)), bool(flushing));
    EXPECT_EQ(toQColor(grid.GetItemBackColor(1, 1)), QColor(10, 20, 30));
    ASSERT_TRUE(grid.ChangeFixedRowCount(5));
    EXPECT_EQ(grid.GetRowCount(), 5) << "fixed rows above the row count grow the rows";
    ASSERT_TRUE(grid.ChangeRowCount(3));
    EXPECT_EQ(grid.GetFixedRowCount(), 3) << "shrinking below the fixed count lowers it";
    EXPECT_EQ(grid.GetCell(2, 1)->GetState() & GVIS_FIXEDROW, unsigned(GVIS_FIXEDROW));
    ASSERT_TRUE(grid.ChangeFixedRowCount(1));
    EXPECT_EQ(grid.GetCell(2, 1)->GetState() & (GVIS_FIXED | GVIS_FIXEDROW), 0u);
    EXPECT_FALSE(grid.ChangeRowCount(-1));

    EXPECT_EQ(grid.AddRowAt(QStringLiteral("h"), 0), -1) << "no row inside the fixed rows";
    EXPECT_EQ(grid.AddRowAt(QStringLiteral("h"), 3), -1) << "a row equal to the count is refused";
    EXPECT_EQ(grid.AddRowAt(QStringLiteral("end"), -1), 3);
    EXPECT_EQ(grid.GetItemText(3, 0), QStringLiteral("end"));
    EXPECT_EQ(grid.GetRowHeight(3), grid.GetDefaultCell(false, false)->GetHeight());
    EXPECT_EQ(grid.AddRowAt(QString(), 1), 1);
    EXPECT_EQ(grid.GetItemText(4, 0), QStringLiteral("end"));
    EXPECT_EQ(grid.AddColumnAt(QStringLiteral("c"), DT_LEFT, grid.GetColumnCount()), 2)
        << "a column equal to the count appends";
    EXPECT_EQ(grid.GetItemText(0, 2), QStringLiteral("c"));
    EXPECT_GT(grid.GetColumnWidth(2), 0);
    EXPECT_FALSE(grid.RemoveRowAt(99));
    EXPECT_TRUE(grid.RemoveRowAt(4));
    EXPECT_EQ(grid.GetRowCount(), 4);

    CGridCtrl empty;
    EXPECT_EQ(empty.AddColumnAt(QStringLiteral("head")), 0);
    EXPECT_EQ(empty.GetRowCount(), 1) << "a column needs a row for its heading";
    EXPECT_EQ(empty.GetItemText(0, 0), QStringLiteral("head"));
}

TEST(GridStructure, FocusFollowsInsertsAndRemovals)
{
    CGridCtrl grid(6, 3, 1, 1);
    grid.resize(400, 300);
    grid.SetFocusCell(3, 1);
    grid.AddRowAt(QStringLiteral("x"), 2);
    EXPECT_EQ(grid.GetFocusCell(), CGridCellId(4, 1));
    grid.RemoveRowAt(1);
    EXPECT_EQ(grid.GetFocusCell(), CGridCellId(3, 1));
    grid.RemoveRowAt(3);
    EXPECT_FALSE(grid.GetFocusCell().IsValid());
    grid.SetFocusCell(0, 0);
    EXPECT_EQ(grid.GetFocusCell(), CGridCellId(1, 1)) << "focus never lands in the headers";
    grid.RemoveNonFixedRows();
    EXPECT_EQ(grid.GetRowCount(), 1);
    EXPECT_FALSE(grid.GetFocusCell().IsValid());
}

TEST(GridSelection, SelectAllAndKeysAboveRow65535)
{
    CGridCtrl grid(4, 3, 1, 1);
    grid.SelectAllCells();
    EXPECT_EQ(grid.GetSelectedCount(), 6u);
    EXPECT_TRUE(grid.IsCellSelected(3, 2));
    EXPECT_FALSE(grid.IsCellSelected(0, 0));

    // Selection keys of rows past 65535 do not collide with the first rows;
    // in a virtual grid the set alone carries the selection.
    CGridCtrl virt;
    makeVirtual(virt, 70000, 2);
    virt.SetSelectedRange(65537, 1, 65537, 1);
    EXPECT_FALSE(virt.IsCellSelected(1, 1));
    EXPECT_EQ(virt.SelectionRange(), CGridCellRange(65537, 1, 65537, 1));
    EXPECT_FALSE(virt.SetItemText(1, 1, QStringLiteral("a")));
    EXPECT_FALSE(virt.SortTextItems(1, true)) << "virtual data is the owner's to sort";
    EXPECT_FALSE(virt.ChangeItemState(1, 1, GVIS_SELECTED));
    EXPECT_TRUE(virt.IsCellSelected(1, 1));
    virt.SetSelectedRange(-1, -1, -1, -1);
    EXPECT_EQ(virt.GetSelectedCount(), 0u);
    EXPECT_EQ(virt.SelectionRange(), CGridCellRange(70000, 2, -1, -1));
}

TEST(GridVirtual, DisplayRequestWithNothingFilledShowsTheDefaults)
{
    CGridCtrl grid;
    RecordingOwner owner;
    grid.SetOwner(&owner);
    makeVirtual(grid, 4, 3);
    grid.ChangeFixedRowCount(1);
    grid.SetFocusCell(2, 1);
    CGridCellBase* cell = grid.GetCell(2, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->GetText(), QString());
    EXPECT_TRUE(cell->GetState() & GVIS_FOCUSED);
    EXPECT_TRUE(grid.GetCell(0, 1)->GetState() & GVIS_FIXEDROW);
    owner.fill = [](GridItem& item) { item.text = QStringLiteral("r%1").arg(item.row); };
    EXPECT_EQ(grid.GetItemText(3, 0), QStringLiteral("r3"));

    // Two grids never share their scratch cell.
    CGridCtrl other;
    makeVirtual(other, 2, 2);
    EXPECT_NE(grid.GetCell(1, 1), other.GetCell(1, 1));
}

TEST(GridEdit, SetCellTextByEditAsksTheOwner)
{
    CGridCtrl grid(3, 3, 1, 1);
    RecordingOwner owner;
    grid.SetOwner(&owner);
    grid.SetItemText(1, 1, QStringLiteral("old"));
    owner.answer = [](int code, int, int) { return code == GVN_ENDLABELEDIT ? -1L : 0L; };
    EXPECT_FALSE(grid.SetCellTextByEdit(1, 1, QStringLiteral("new")));
    EXPECT_EQ(grid.GetItemText(1, 1), QStringLiteral("old")) << "a refused end undoes the change";
    owner.answer = nullptr;
    owner.notices.clear();
    EXPECT_TRUE(grid.SetCellTextByEdit(1, 1, QStringLiteral("new")));
    EXPECT_EQ(grid.GetItemText(1, 1), QStringLiteral("new"));
    const std::vector<bc::test::Notice> expected = {{GVN_BEGINLABELEDIT, 1, 1},
                                                    {GVN_ENDLABELEDIT, 1, 1}};
    EXPECT_EQ(owner.notices, expected);

    grid.GetCell(1, 2)->SetState(GVIS_READONLY);
    EXPECT_FALSE(grid.SetCellTextByEdit(1, 2, QStringLiteral("no")));
    EXPECT_EQ(grid.GetItemText(1, 2), QString());
}

namespace {
// A grid whose cell making runs out of memory after a given number of cells.
class StarvedGrid : public CGridCtrl {
public:
    using CGridCtrl::CGridCtrl;
    int cellsLeft = -1; // -1: never runs out
    std::unique_ptr<CGridCellBase> CreateCell(int row, int col) override
    {
        if (cellsLeft == 0)
            throw std::bad_alloc();
        if (cellsLeft > 0)
            --cellsLeft;
        return CGridCtrl::CreateCell(row, col);
    }
};
} // namespace

TEST(GridStructure, RunningOutOfMemoryLeavesAConsistentTable)
{
    bc::test::ScriptedPrompter prompter;
    StarvedGrid grid(3, 3, 1, 0);
    for (int r = 0; r < 3; ++r)
        grid.SetItemText(r, 1, QStringLiteral("r%1").arg(r));

    // A column that cannot be made for every row is taken back everywhere.
    grid.cellsLeft = 2;
    EXPECT_EQ(grid.AddColumnAt(QStringLiteral("new"), DT_LEFT, 1), 0);
    EXPECT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(grid.GetColumnCount(), 3);
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(grid.GetItemText(r, 1), QStringLiteral("r%1").arg(r))
            << "row " << r << " kept its columns";

    // Rows that cannot all be made: the count stays with the rows really made.
    grid.cellsLeft = 4;
    EXPECT_FALSE(grid.ChangeRowCount(6));
    const int rows = grid.GetRowCount();
    EXPECT_LT(rows, 6);
    grid.cellsLeft = -1;
    ASSERT_TRUE(grid.ChangeRowCount(rows + 2));
    for (int r = 0; r < rows + 2; ++r) {
        EXPECT_GT(grid.GetRowHeight(r), 0) << "row " << r;
        for (int c = 0; c < 3 && r >= rows; ++c)
            EXPECT_NE(grid.GetCell(r, c), nullptr) << "row " << r << " column " << c;
    }
    EXPECT_EQ(grid.GetRowHeight(rows + 2), -1);

    // A row that stands with missing cells still moves the merges below it.
    ASSERT_TRUE(grid.MergeCells(3, 1, 4, 2));
    grid.cellsLeft = 1;
    EXPECT_EQ(grid.AddRowAt(QStringLiteral("x"), 2), 0);
    grid.cellsLeft = -1;
    EXPECT_EQ(grid.mergedRanges(), std::vector<CGridCellRange>{CGridCellRange(4, 1, 5, 2)});
    EXPECT_EQ(grid.GetMergedCellId(5, 2), CGridCellId(4, 1));
    EXPECT_EQ(grid.GetCell(2, 1), nullptr) << "the half-made row keeps an empty slot";
    EXPECT_EQ(grid.GetItemText(2, 1), QString());
}

TEST(GridCell, AnImageMovesTheTextAndWidensTheExtent)
{
    CGridCtrl grid(2, 2);
    QPixmap pix(16, 12);
    pix.fill(Qt::red);
    const QList<QPixmap> images{pix};
    grid.SetImageList(&images);
    CGridCellBase* cell = grid.GetCell(1, 1);
    grid.SetItemText(1, 1, QStringLiteral("abc"));
    const QSize plain = cell->GetCellExtent(nullptr);
    grid.SetItemImage(1, 1, 0);
    GridRect rect(10, 0, 100, 20);
    ASSERT_TRUE(cell->GetTextRect(&rect));
    // The image rectangle counts both edges: 16 wide is 17, plus the margin.
    EXPECT_EQ(rect.left, 10 + 17 + int(cell->GetMargin()));
    EXPECT_EQ(cell->GetCellExtent(nullptr),
              QSize(plain.width() + 17, std::max(plain.height(), 13)));
}
