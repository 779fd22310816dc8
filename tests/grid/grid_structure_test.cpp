// Cells, records, structure changes and the selection set of the grid.

#include "grid/grid_ctrl.h"
#include "grid_test_util.h"
#include "support/scripted_prompter.h"

#include <QPixmap>

#include <new>

#include <gtest/gtest.h>

using namespace bc;
using bc::test::RecordingOwner;

TEST(GridCell, FallsBackToTheDefaultCellUntilSet)
{
    CGridCtrl grid(3, 3, 1, 1);
    CGridCellBase* cell = grid.GetCell(1, 1);
    ASSERT_NE(cell, nullptr);
    const CGridDefaultCell* def = grid.GetDefaultCell(false, false);
    EXPECT_EQ(cell->GetFormat(), def->GetFormat());
    EXPECT_EQ(cell->GetMargin(), def->GetMargin());
    EXPECT_TRUE(cell->IsDefaultFont());
    EXPECT_EQ(cell->GetTextColor(), CLR_DEFAULT);
    EXPECT_EQ(cell->GetBackColor(), CLR_DEFAULT);

    QFont big = def->GetFontObject();
    big.setPointSize(big.pointSize() + 10);
    cell->SetFont(&big);
    EXPECT_FALSE(cell->IsDefaultFont());
    cell->SetFont(nullptr);
    EXPECT_TRUE(cell->IsDefaultFont());

    // Header cells take the fixed default cells; default cells are read-only.
    EXPECT_EQ(grid.GetCell(0, 1)->GetDefaultCell(), grid.GetDefaultCell(true, false));
    EXPECT_EQ(grid.GetCell(0, 0)->GetDefaultCell(), grid.GetDefaultCell(true, true));
    EXPECT_EQ(grid.GetCell(1, 0)->GetState() & (GVIS_FIXED | GVIS_FIXEDCOL), GVIS_FIXED | GVIS_FIXEDCOL);
    EXPECT_TRUE(grid.GetDefaultCell(false, false)->IsReadOnly());
}

TEST(GridCell, AssignmentCopiesResolvedValues)
{
    CGridCtrl grid(2, 2);
    CGridCell copy;
    grid.SetItemText(1, 1, QStringLiteral("abc"));
    grid.SetItemTextColor(1, 1, RGB(255, 0, 0));
    copy.assign(*grid.GetCell(1, 1));
    EXPECT_EQ(copy.GetText(), QStringLiteral("abc"));
    EXPECT_EQ(copy.GetTextColor(), RGB(255, 0, 0));
    EXPECT_EQ(copy.GetMargin(), grid.GetDefaultCell(false, false)->GetMargin());
    copy.Reset();
    EXPECT_EQ(copy.GetText(), QString());
    EXPECT_EQ(copy.GetImage(), -1);
}

TEST(GridRecords, RecordsAndAccessorsRefuseInvalidCells)
{
    CGridCtrl grid(3, 3, 1, 0);
    GridItem item;
    item.row = 1;
    item.col = 2;
    item.mask = 0;
    ASSERT_TRUE(grid.ApplyItemRecord(&item));
    EXPECT_TRUE(grid.IsCellModified(1, 2)) << "mask 0 still marks the cell modified";

    item.mask = GVIF_TEXT | GVIF_PARAM | GVIF_FORMAT | GVIF_BKCLR;
    item.text = QStringLiteral("x");
    item.data = 42;
    item.format = DT_RIGHT;
    item.backColor = RGB(1, 2, 3);
    ASSERT_TRUE(grid.ApplyItemRecord(&item));
    GridItem back;
    back.row = 1;
    back.col = 2;
    back.mask = GVIF_ALL;
    ASSERT_TRUE(grid.GetItemRecord(&back));
    EXPECT_EQ(back.text, QStringLiteral("x"));
    EXPECT_EQ(back.data, 42);
    EXPECT_EQ(back.format, DT_RIGHT);
    EXPECT_EQ(back.backColor, RGB(1, 2, 3));

    EXPECT_FALSE(grid.ApplyItemRecord(nullptr));
    item.row = 3;
    EXPECT_FALSE(grid.ApplyItemRecord(&item));
    EXPECT_FALSE(grid.SetItemText(-1, 0, QStringLiteral("a")));
    EXPECT_FALSE(grid.SetItemText(0, 3, QStringLiteral("a")));
    EXPECT_EQ(grid.GetItemText(7, 7), QString());
    EXPECT_EQ(grid.GetItemData(7, 7), 0);
    EXPECT_EQ(grid.GetRowHeight(3), -1);
    EXPECT_EQ(grid.GetColumnWidth(-1), -1);
    EXPECT_FALSE(grid.ChangeRowHeight(3, 10));

    ASSERT_TRUE(grid.ChangeRowHeight(1, -5));
    EXPECT_EQ(grid.GetRowHeight(1), 0) << "negative sizes are stored as 0";
}

TEST(GridStructure, CountsAndFixedCounts)
{
    CGridCtrl grid(2, 2);
    ASSERT_TRUE(grid.ChangeFixedRowCount(5));
    EXPECT_EQ(grid.GetRowCount(), 5) << "fixed rows above the row count grow the rows";
    ASSERT_TRUE(grid.ChangeRowCount(3));
    EXPECT_EQ(grid.GetFixedRowCount(), 3) << "shrinking below the fixed count lowers it";
    EXPECT_EQ(grid.GetCell(2, 1)->GetState() & GVIS_FIXEDROW, unsigned(GVIS_FIXEDROW));
    ASSERT_TRUE(grid.ChangeFixedRowCount(1));
    EXPECT_EQ(grid.GetCell(2, 1)->GetState() & (GVIS_FIXED | GVIS_FIXEDROW), 0u);
    EXPECT_FALSE(grid.ChangeRowCount(-1));
}

TEST(GridStructure, InsertAndRemoveRowsAndColumns)
{
    CGridCtrl grid(3, 3, 1, 1);
    EXPECT_EQ(grid.AddRowAt(QStringLiteral("h"), 0), -1) << "no row inside the fixed rows";
    EXPECT_EQ(grid.AddRowAt(QStringLiteral("h"), 3), -1) << "a row equal to the count is refused";
    EXPECT_EQ(grid.AddRowAt(QStringLiteral("end"), -1), 3);
    EXPECT_EQ(grid.GetItemText(3, 0), QStringLiteral("end"));
    EXPECT_EQ(grid.GetRowHeight(3), grid.GetDefaultCell(false, false)->GetHeight());
    EXPECT_EQ(grid.AddRowAt(QString(), 1), 1);
    EXPECT_EQ(grid.GetRowHeight(1), grid.GetDefaultCell(true, false)->GetHeight());
    EXPECT_EQ(grid.GetItemText(4, 0), QStringLiteral("end"));

    EXPECT_EQ(grid.AddColumnAt(QStringLiteral("c"), DT_LEFT, 0), -1);
    EXPECT_EQ(grid.AddColumnAt(QStringLiteral("c"), DT_LEFT, grid.GetColumnCount()), 3)
        << "a column equal to the count appends";
    EXPECT_EQ(grid.GetItemText(0, 3), QStringLiteral("c"));
    EXPECT_GT(grid.GetColumnWidth(3), 0);

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

TEST(GridSelection, KeysDoNotCollideAboveRow65535)
{
    CGridCtrl grid;
    grid.ChangeVirtualMode(true);
    grid.ChangeRowCount(70000);
    grid.ChangeColumnCount(2);
    grid.SetSelectedRange(65537, 1, 65537, 1);
    EXPECT_TRUE(grid.IsCellSelected(65537, 1));
    EXPECT_FALSE(grid.IsCellSelected(1, 1));
    EXPECT_EQ(grid.SelectionRange(), CGridCellRange(65537, 1, 65537, 1));
    grid.SetSelectedRange(-1, -1, -1, -1);
    EXPECT_EQ(grid.GetSelectedCount(), 0u);
    EXPECT_EQ(grid.SelectionRange(), CGridCellRange(70000, 2, -1, -1));
}

TEST(GridSelection, SelectAllAndVirtualModeSetters)
{
    CGridCtrl grid(4, 3, 1, 1);
    grid.SelectAllCells();
    EXPECT_EQ(grid.GetSelectedCount(), 6u);
    EXPECT_TRUE(grid.IsCellSelected(3, 2));
    EXPECT_FALSE(grid.IsCellSelected(0, 0));

    CGridCtrl virt;
    virt.ChangeVirtualMode(true);
    virt.ChangeRowCount(5);
    virt.ChangeColumnCount(5);
    EXPECT_FALSE(virt.SetItemText(1, 1, QStringLiteral("a")));
    EXPECT_FALSE(virt.ChangeItemState(1, 1, GVIS_SELECTED)) << "the set alone carries it";
    EXPECT_TRUE(virt.IsCellSelected(1, 1));
}

TEST(GridVirtual, DisplayRequestWithNothingFilledShowsTheDefaults)
{
    CGridCtrl grid;
    RecordingOwner owner;
    grid.SetOwner(&owner);
    grid.ChangeVirtualMode(true);
    grid.ChangeRowCount(4);
    grid.ChangeColumnCount(3);
    grid.ChangeFixedRowCount(1);
    grid.SetFocusCell(2, 1);
    CGridCellBase* cell = grid.GetCell(2, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->GetText(), QString());
    EXPECT_TRUE(cell->GetState() & GVIS_FOCUSED);
    EXPECT_EQ(cell->GetBackColor(), grid.GetDefaultCell(false, false)->GetBackColor());
    EXPECT_TRUE(grid.GetCell(0, 1)->GetState() & GVIS_FIXEDROW);

    owner.fill = [](GridItem& item) { item.text = QStringLiteral("r%1").arg(item.row); };
    EXPECT_EQ(grid.GetItemText(3, 0), QStringLiteral("r3"));

    // Two grids never share their scratch cell.
    CGridCtrl other;
    other.ChangeVirtualMode(true);
    other.ChangeRowCount(2);
    other.ChangeColumnCount(2);
    CGridCellBase* a = grid.GetCell(1, 1);
    CGridCellBase* b = other.GetCell(1, 1);
    EXPECT_NE(a, b);
}

TEST(GridModified, MarkModifiedEndsTheSortAndClearsCells)
{
    CGridCtrl grid(3, 3, 1, 0);
    grid.SetSortColumn(1);
    grid.SetItemText(1, 2, QStringLiteral("a"));
    EXPECT_EQ(grid.GetSortColumn(), 1);
    grid.SetItemText(1, 1, QStringLiteral("b"));
    EXPECT_EQ(grid.GetSortColumn(), -1) << "editing the sort column ends the sorted state";
    EXPECT_TRUE(grid.IsCellModified(1, 1));
    grid.MarkModified(false);
    EXPECT_FALSE(grid.IsCellModified(-1, -1));
    EXPECT_FALSE(grid.IsCellModified(1, 1));
}

TEST(GridEdit, SetCellTextByEditAsksTheOwner)
{
    CGridCtrl grid(3, 3, 1, 1);
    RecordingOwner owner;
    grid.SetOwner(&owner);
    grid.SetItemText(1, 1, QStringLiteral("old"));
    owner.answer = [](int code, int, int) { return code == GVN_ENDLABELEDIT ? -1L : 0L; };
    EXPECT_FALSE(grid.SetCellTextByEdit(1, 1, QStringLiteral("new")));
    EXPECT_EQ(grid.GetItemText(1, 1), QStringLiteral("old")) << "a negative -106 undoes the change";
    owner.answer = nullptr;
    EXPECT_TRUE(grid.SetCellTextByEdit(1, 1, QStringLiteral("new")));
    EXPECT_EQ(grid.GetItemText(1, 1), QStringLiteral("new"));
    ASSERT_GE(owner.notices.size(), 2u);
    EXPECT_EQ(owner.notices[owner.notices.size() - 2].code, GVN_BEGINLABELEDIT);
    EXPECT_EQ(owner.notices.back().code, GVN_ENDLABELEDIT);

    grid.GetCell(1, 2)->SetState(grid.GetCell(1, 2)->GetState() | GVIS_READONLY);
    EXPECT_FALSE(grid.SetCellTextByEdit(1, 2, QStringLiteral("no")));
    EXPECT_EQ(grid.GetItemText(1, 2), QString());
}

TEST(GridRecords, FormatItemTextMarksModified)
{
    CGridCtrl grid(3, 3, 1, 1);
    grid.MarkModified(false);
    ASSERT_TRUE(grid.FormatItemText(1, 2, "%.2f m, %d", 12.345, 7));
    EXPECT_EQ(grid.GetItemText(1, 2), QStringLiteral("12.35 m, 7"));
    EXPECT_TRUE(grid.IsCellModified(1, 2));
    EXPECT_FALSE(grid.FormatItemText(3, 0, "%d", 1));
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
        EXPECT_EQ(grid.GetItemText(r, 1), QStringLiteral("r%1").arg(r)) << "row " << r << " kept its columns";

    // Rows that cannot all be made: the count stays with the rows really made.
    grid.cellsLeft = 4;
    EXPECT_FALSE(grid.ChangeRowCount(6));
    const int rows = grid.GetRowCount();
    EXPECT_LT(rows, 6);
    grid.cellsLeft = -1;
    ASSERT_TRUE(grid.ChangeRowCount(rows + 2));
    for (int r = 0; r < rows + 2; ++r) {
        EXPECT_GT(grid.GetRowHeight(r), 0) << "row " << r;
        if (r >= rows) {
            for (int c = 0; c < 3; ++c)
                EXPECT_NE(grid.GetCell(r, c), nullptr) << "row " << r << " column " << c;
        }
    }
    EXPECT_EQ(grid.GetRowHeight(rows + 2), -1);

    // A row that stands with missing cells still moves the merges below it.
    ASSERT_TRUE(grid.MergeCells(3, 1, 4, 2));
    grid.cellsLeft = 1;
    EXPECT_EQ(grid.AddRowAt(QStringLiteral("x"), 2), 0);
    grid.cellsLeft = -1;
    ASSERT_EQ(grid.mergedRanges().size(), 1u);
    EXPECT_EQ(grid.mergedRanges().front(), CGridCellRange(4, 1, 5, 2));
    EXPECT_EQ(grid.GetMergedCellId(5, 2), CGridCellId(4, 1));
    EXPECT_EQ(grid.GetCell(2, 1), nullptr) << "the half-made row keeps an empty slot";
    EXPECT_EQ(grid.GetItemText(2, 1), QString());
}

TEST(GridMerge, SortingDissolvesMerges)
{
    CGridCtrl grid(6, 3, 1, 0);
    for (int r = 1; r < 6; ++r)
        grid.SetItemText(r, 0, QString::number(9 - r));
    ASSERT_TRUE(grid.MergeCells(2, 1, 3, 2));
    ASSERT_TRUE(grid.SortTextItems(0, true));
    EXPECT_EQ(grid.GetItemText(1, 0), QStringLiteral("4"));
    EXPECT_TRUE(grid.mergedRanges().empty());
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 3; ++c) {
            EXPECT_TRUE(grid.GetCell(r, c)->IsShown()) << r << "," << c;
            EXPECT_FALSE(grid.GetCell(r, c)->IsCoveredByMerge()) << r << "," << c;
            EXPECT_FALSE(grid.GetCell(r, c)->IsMerged()) << r << "," << c;
        }
    EXPECT_TRUE(grid.MergeCells(2, 1, 3, 2)) << "the cells can be merged again";
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
    GridRect rect(10, 0, 100, 20);
    ASSERT_TRUE(cell->GetTextRect(&rect));
    EXPECT_EQ(rect.left, 10) << "no image, no shift";

    grid.SetItemImage(1, 1, 0);
    ASSERT_TRUE(cell->GetTextRect(&rect));
    // The image rectangle counts both edges: 16 wide is 17, plus the margin.
    EXPECT_EQ(rect.left, 10 + 17 + int(cell->GetMargin()));
    const QSize withImage = cell->GetCellExtent(nullptr);
    EXPECT_EQ(withImage.width(), plain.width() + 17);
    EXPECT_EQ(withImage.height(), std::max(plain.height(), 13));
}
