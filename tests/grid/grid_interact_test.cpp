// Mouse, keyboard, editing, sorting, clipboard and drag-and-drop of the grid.

#include "grid/grid_ctrl.h"
#include "grid_test_util.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <gtest/gtest.h>

using namespace bc;
using bc::test::Notice;
using bc::test::RecordingOwner;
using bc::test::setUniformSizes;

namespace {

// Exposes the timer tick and counts the end reports of the editors.
class TestGrid : public CGridCtrl {
public:
    using CGridCtrl::CGridCtrl;
    using CGridCtrl::OnAutoScrollTick;
    int endEdits = 0;
    std::vector<QString> endTexts;
    void OnEndEditCell(int row, int col, const QString& text) override
    {
        ++endEdits;
        endTexts.push_back(text);
        CGridCtrl::OnEndEditCell(row, col, text);
    }
};

std::unique_ptr<TestGrid> makeGrid(int rows, int cols, int fixedRows = 1, int fixedCols = 1)
{
    auto grid = std::make_unique<TestGrid>(rows, cols, fixedRows, fixedCols);
    setUniformSizes(*grid, 50, 20);
    grid->resize(300, 200);
    grid->show();
    grid->UpdateScrollBars();
    return grid;
}

// Centre of a cell in viewport coordinates.
QPoint centre(const CGridCtrl& g, int row, int col)
{
    GridRect rc;
    g.CellRect(row, col, &rc);
    return QPoint((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}

void sendMouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QMouseEvent e(type, QPointF(p), QPointF(w->mapToGlobal(p)), button, buttons, mods);
    QApplication::sendEvent(w, &e);
}

void press(QWidget* w, QPoint p, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    sendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton, mods);
}
void moveHeld(QWidget* w, QPoint p)
{
    sendMouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
}
void release(QWidget* w, QPoint p, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    sendMouse(w, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton, mods);
}

CGridInPlaceEdit* editorOf(const CGridCtrl& g)
{
    return qobject_cast<CGridInPlaceEdit*>(g.activeEditor());
}

} // namespace

TEST(GridSelectionMouse, ShiftCtrlAndDragSelections)
{
    auto grid = makeGrid(6, 5);
    RecordingOwner owner;
    grid->SetOwner(&owner);
    QWidget* vp = grid->viewport();
    QTest::mouseClick(vp, Qt::LeftButton, {}, centre(*grid, 1, 1));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, centre(*grid, 3, 2));
    EXPECT_EQ(grid->SelectionRange(), CGridCellRange(1, 1, 3, 2));
    EXPECT_EQ(grid->GetSelectedCount(), 6u);

    // Ctrl+click on a selected cell deselects it without a changing notice.
    owner.notices.clear();
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, centre(*grid, 2, 2));
    EXPECT_FALSE(grid->IsCellSelected(2, 2));
    EXPECT_EQ(grid->GetSelectedCount(), 5u);
    for (const Notice& n : owner.notices)
        EXPECT_NE(n.code, GVN_SELCHANGING);

    // Ctrl+drag keeps what was selected before the press.
    press(vp, centre(*grid, 5, 3), Qt::ControlModifier);
    moveHeld(vp, centre(*grid, 5, 4));
    release(vp, centre(*grid, 5, 4), Qt::ControlModifier);
    EXPECT_TRUE(grid->IsCellSelected(1, 1));
    EXPECT_TRUE(grid->IsCellSelected(5, 3));
    EXPECT_TRUE(grid->IsCellSelected(5, 4));

    // A plain drag replaces it.
    press(vp, centre(*grid, 1, 3));
    moveHeld(vp, centre(*grid, 2, 4));
    release(vp, centre(*grid, 2, 4));
    EXPECT_EQ(grid->SelectionRange(), CGridCellRange(1, 3, 2, 4));
    EXPECT_EQ(grid->GetFocusCell(), CGridCellId(2, 4));
}

TEST(GridSelectionMouse, ListModeAndHeaderClicks)
{
    auto grid = makeGrid(6, 5);
    RecordingOwner owner;
    grid->SetOwner(&owner);
    grid->SetListMode(true);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre(*grid, 3, 2));
    EXPECT_EQ(grid->SelectionRange(), CGridCellRange(3, 1, 3, 4)) << "a click selects the whole row";
    grid->SetListMode(false);

    owner.notices.clear();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre(*grid, 0, 3));
    EXPECT_EQ(grid->SelectionRange(), CGridCellRange(1, 3, 5, 3));
    const std::vector<int> expected = {GVN_SELCHANGING, GVN_SELCHANGED, NM_CLICK};
    EXPECT_EQ(owner.codes(), expected);
    EXPECT_EQ(owner.notices.front(), (Notice{GVN_SELCHANGING, 0, 3}));
}

TEST(GridSelectionMouse, JitterOnTheFocusCellIsStillAClick)
{
    auto grid = makeGrid(6, 5);
    grid->EnableDragAndDrop(true);
    QWidget* vp = grid->viewport();
    QTest::mouseClick(vp, Qt::LeftButton, {}, centre(*grid, 2, 2));
    ASSERT_TRUE(grid->IsCellSelected(2, 2));
    grid->SetEditable(false);
    const QPoint p = centre(*grid, 2, 2);
    press(vp, p);
    moveHeld(vp, p + QPoint(1, 0));
    EXPECT_NE(grid->GetMouseMode(), MOUSE_DRAGGING);
    release(vp, p + QPoint(1, 0));
    // With drag and drop on, a click on the selection clears it (no drag happened).
    EXPECT_FALSE(grid->GetFocusCell().IsValid());

    grid->EnableDragAndDrop(false);
    QTest::mouseClick(vp, Qt::LeftButton, {}, p);
    press(vp, p);
    moveHeld(vp, p + QPoint(1, 1));
    release(vp, p + QPoint(1, 1));
    EXPECT_EQ(grid->GetFocusCell(), CGridCellId(2, 2)) << "one pixel of jitter keeps focus";
    EXPECT_TRUE(grid->IsCellSelected(2, 2));
}

TEST(GridSelectionMouse, AutoScrollGrowsOneRowPerTick)
{
    auto grid = makeGrid(40, 4);
    QWidget* vp = grid->viewport();
    press(vp, centre(*grid, 2, 1));
    ASSERT_TRUE(grid->autoScrollRunning());
    // Drag down to the last whole row in view, then hold the pointer below the grid.
    const int lastRow = grid->VisibleCellRange().maxRow - 1;
    moveHeld(vp, centre(*grid, lastRow, 1));
    const QPoint below(60, grid->ClientRect().bottom + 10);
    const CGridCellRange before = grid->SelectionRange();
    EXPECT_EQ(before.maxRow, lastRow);
    grid->OnAutoScrollTick(below);
    const CGridCellRange one = grid->SelectionRange();
    EXPECT_GT(one.maxRow, before.maxRow);
    EXPECT_EQ(one.minRow, 2);
    for (int tick = 0; tick < 5; ++tick) {
        const int was = grid->SelectionRange().maxRow;
        grid->OnAutoScrollTick(below);
        EXPECT_EQ(grid->SelectionRange().maxRow, was + 1) << "tick " << tick;
    }
    release(vp, centre(*grid, 2, 1));
    EXPECT_FALSE(grid->autoScrollRunning());
}

TEST(GridSelectionMouse, BorderResizeAndDoubleClickFit)
{
    auto grid = makeGrid(4, 4);
    QWidget* vp = grid->viewport();
    // The border between columns 1 and 2 lies at x = 100, inside the header row.
    QTest::mouseMove(vp, QPoint(101, 10));
    EXPECT_EQ(grid->GetMouseMode(), MOUSE_OVER_COL_DIVIDE);
    press(vp, QPoint(101, 10));
    EXPECT_EQ(grid->GetMouseMode(), MOUSE_SIZING_COL);
    moveHeld(vp, QPoint(130, 10));
    release(vp, QPoint(130, 10));
    EXPECT_EQ(grid->GetColumnWidth(1), 80) << "the column left of the border is sized";

    // Dragging left of the column's left edge hides it (or leaves 1 pixel).
    QTest::mouseMove(vp, QPoint(129, 10));
    press(vp, QPoint(129, 10));
    moveHeld(vp, QPoint(20, 10));
    release(vp, QPoint(20, 10));
    EXPECT_EQ(grid->GetColumnWidth(1), 0);

    grid->ChangeColumnWidth(1, 50);
    grid->SetItemText(1, 2, QStringLiteral("a considerably longer text"));
    QTest::mouseMove(vp, QPoint(149, 10));
    ASSERT_EQ(grid->GetMouseMode(), MOUSE_OVER_COL_DIVIDE);
    // What the platform sends for a double click: press, release, double
    // click, release.
    press(vp, QPoint(149, 10));
    release(vp, QPoint(149, 10));
    sendMouse(vp, QEvent::MouseButtonDblClick, QPoint(149, 10), Qt::LeftButton, Qt::LeftButton);
    release(vp, QPoint(149, 10));
    EXPECT_GT(grid->GetColumnWidth(2), 100) << "a double click on the border fits the column";
}

TEST(GridSelectionMouse, WheelRemaindersAddUp)
{
    auto grid = makeGrid(60, 3);
    grid->SetWheelScrollLines(3);
    const int row0 = grid->FirstScrolledCell().row;
    for (int i = 0; i < 8; ++i) {
        QWheelEvent e(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, -15), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid->viewport(), &e);
    }
    EXPECT_EQ(grid->FirstScrolledCell().row, row0 + 3) << "8 x 15 = one notch of three lines";
}

TEST(GridEditing, StartByF2ClickAndTyping)
{
    auto grid = makeGrid(5, 4);
    RecordingOwner owner;
    grid->SetOwner(&owner);
    grid->SetItemText(1, 1, QStringLiteral("abc"));
    grid->SetFocusCell(1, 1);
    QTest::keyClick(grid.get(), Qt::Key_F2);
    CGridInPlaceEdit* edit = editorOf(*grid);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->cursorPosition(), 3) << "caret at the end";
    EXPECT_FALSE(edit->exitOnArrows());
    QTest::keyClick(edit, Qt::Key_Left);
    EXPECT_EQ(edit->cursorPosition(), 2) << "arrows move the caret";
    QTest::keyClick(edit, Qt::Key_X);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(grid->GetItemText(1, 1), QStringLiteral("abxc"));
    EXPECT_EQ(grid->endEdits, 1);
    EXPECT_EQ(grid->activeEditor(), nullptr);
    EXPECT_EQ(grid->GetFocusCell(), CGridCellId(1, 1));

    // Typing starts the edit with that character, even those that share a
    // code with a navigation key.
    QTest::keyClicks(grid.get(), QStringLiteral("!"));
    edit = editorOf(*grid);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("!"));
    QTest::keyClicks(edit, QStringLiteral("(%"));
    EXPECT_TRUE(edit->exitOnArrows());
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(grid->GetItemText(1, 1), QStringLiteral("!(%"));
    EXPECT_EQ(grid->GetFocusCell(), CGridCellId(2, 1)) << "the arrow ends the edit and moves on";
    edit = editorOf(*grid);
    ASSERT_NE(edit, nullptr) << "editing continues in the next cell";
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(grid->activeEditor(), nullptr);

    // A click on the focus cell's text opens the editor on release.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre(*grid, 2, 1));
    ASSERT_NE(editorOf(*grid), nullptr);
    QTest::keyClick(editorOf(*grid), Qt::Key_Escape);
}

TEST(GridEditing, InputMethodTextStartsAnEdit)
{
    auto grid = makeGrid(4, 4);
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QApplication::sendEvent(grid.get(), &query);
    EXPECT_TRUE(query.value(Qt::ImEnabled).toBool()) << "input methods talk to the grid at all";
    grid->SetItemText(1, 1, QStringLiteral("old"));
    grid->SetFocusCell(1, 1);
    QInputMethodEvent composing(QStringLiteral("shen"), {});
    QApplication::sendEvent(grid.get(), &composing);
    EXPECT_EQ(grid->activeEditor(), nullptr) << "text still being composed starts nothing";
    QInputMethodEvent committed;
    committed.setCommitString(QStringLiteral("深度"));
    QApplication::sendEvent(grid.get(), &committed);
    CGridInPlaceEdit* edit = editorOf(*grid);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("深度")) << "the committed text replaces the old";
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(grid->GetItemText(1, 1), QStringLiteral("深度"));
}

TEST(GridEditing, EscapeTabAndRefusals)
{
    auto grid = makeGrid(4, 4);
    RecordingOwner owner;
    grid->SetOwner(&owner);
    grid->SetItemText(1, 1, QStringLiteral("keep"));
    grid->SetFocusCell(1, 1);
    QTest::keyClicks(grid.get(), QStringLiteral("z"));
    ASSERT_NE(editorOf(*grid), nullptr);
    owner.notices.clear();
    QTest::keyClick(editorOf(*grid), Qt::Key_Escape);
    EXPECT_EQ(grid->GetItemText(1, 1), QStringLiteral("keep"));
    for (const Notice& n : owner.notices)
        EXPECT_NE(n.code, GVN_ENDLABELEDIT) << "an unchanged text sends no end notice";

    QTest::keyClick(grid.get(), Qt::Key_F2);
    QTest::keyClick(editorOf(*grid), Qt::Key_Tab);
    EXPECT_EQ(grid->GetFocusCell(), CGridCellId(1, 2));
    ASSERT_NE(editorOf(*grid), nullptr);
    QTest::keyClick(editorOf(*grid), Qt::Key_Escape);

    // The owner refuses the begin: no editor.
    owner.answer = [](int code, int, int) { return code == GVN_BEGINLABELEDIT ? -1L : 0L; };
    QTest::keyClick(grid.get(), Qt::Key_F2);
    EXPECT_EQ(grid->activeEditor(), nullptr);
    // The owner refuses the end: the old text stays.
    owner.answer = [](int code, int, int) { return code == GVN_ENDLABELEDIT ? -1L : 0L; };
    grid->SetItemText(1, 2, QStringLiteral("old"));
    QTest::keyClicks(grid.get(), QStringLiteral("new"));
    QTest::keyClick(editorOf(*grid), Qt::Key_Return);
    EXPECT_EQ(grid->GetItemText(1, 2), QStringLiteral("old"));
    EXPECT_FALSE(grid->GetCell(1, 2)->IsEditing());

    // A read-only cell opens nothing.
    owner.answer = nullptr;
    grid->GetCell(1, 2)->SetState(grid->GetCell(1, 2)->GetState() | GVIS_READONLY);
    QTest::keyClick(grid.get(), Qt::Key_F2);
    EXPECT_EQ(grid->activeEditor(), nullptr);
}

TEST(GridEditing, EditorReportsOnceAndSurvivesRowRemoval)
{
    auto grid = makeGrid(6, 4);
    grid->SetFocusCell(3, 1);
    QTest::keyClicks(grid.get(), QStringLiteral("x"));
    QPointer<CGridInPlaceEdit> edit = editorOf(*grid);
    ASSERT_TRUE(edit);
    grid->RemoveRowAt(3);
    EXPECT_EQ(grid->endEdits, 1);
    ASSERT_TRUE(edit) << "deleted later, not at once";
    edit->EndEdit();
    EXPECT_EQ(grid->endEdits, 1) << "a second end request reports nothing";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(edit);
    EXPECT_EQ(grid->GetRowCount(), 5);
}

TEST(GridEditing, DraggingTheScrollThumbEndsTheEdit)
{
    auto grid = makeGrid(60, 4);
    QScrollBar* bar = grid->verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    grid->SetFocusCell(2, 1);
    QTest::keyClicks(grid.get(), QStringLiteral("x"));
    ASSERT_NE(editorOf(*grid), nullptr);

    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.orientation = Qt::Vertical;
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = bar->sliderPosition();
    opt.sliderValue = bar->value();
    opt.pageStep = bar->pageStep();
    opt.singleStep = bar->singleStep();
    const QPoint thumb =
        bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar)
            .center();
    QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(bar, thumb + QPoint(0, 40));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, thumb + QPoint(0, 40));
    ASSERT_GT(grid->FirstScrolledCell().row, 2) << "the thumb scrolled the rows";
    EXPECT_EQ(grid->activeEditor(), nullptr);
    EXPECT_EQ(grid->endEdits, 1);
    EXPECT_EQ(grid->GetItemText(2, 1), QStringLiteral("x")) << "the text went to its own cell";
}

TEST(GridEditing, GridDestroyedMidEditTellsTheOwnerNothing)
{
    RecordingOwner owner;
    auto grid = makeGrid(4, 4);
    grid->SetOwner(&owner);
    grid->SetFocusCell(1, 1);
    QTest::keyClicks(grid.get(), QStringLiteral("x"));
    QPointer<QWidget> edit = grid->activeEditor();
    ASSERT_TRUE(edit);
    owner.notices.clear();
    grid.reset();
    EXPECT_FALSE(edit) << "the editor goes with the grid";
    EXPECT_TRUE(owner.notices.empty()) << "no end-edit notice from a grid being destroyed";
}

TEST(GridKeyboard, MovesTabWrapAndMerges)
{
    auto grid = makeGrid(30, 12);
    RecordingOwner owner;
    grid->SetOwner(&owner);
    grid->SetFocusCell(1, 11);
    QTest::keyClick(grid.get(), Qt::Key_Tab);
    EXPECT_EQ(grid->GetFocusCell(), CGridCellId(2, 1)) << "Tab wraps to the next row";
    EXPECT_EQ(grid->GetScrollPos(SB_HORZ), 0);
    QTest::keyClick(grid.get(), Qt::Key_Backtab);
    EXPECT_EQ(grid->GetFocusCell(), CGridCellId(1, 11));
    GridRect rc;
    grid->CellRect(1, 11, &rc);
    EXPECT_LE(rc.right + 1, grid->ClientRect().right) << "the wrapped-to cell is in view";

    grid->SetFocusCell(29, 1);
    owner.notices.clear();
    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(grid->GetFocusCell(), CGridCellId(29, 1));
    EXPECT_TRUE(owner.notices.empty()) << "no move, no notice";

    // Shift+Down keeps the anchor.
    grid->SetFocusCell(5, 2);
    QTest::keyClick(grid.get(), Qt::Key_Up);
    QTest::keyClick(grid.get(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(grid.get(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(grid->SelectionRange(), CGridCellRange(4, 2, 6, 2));

    // Moves step over a merge and land on its owner, never on a covered cell.
    ASSERT_TRUE(grid->MergeCells(8, 2, 10, 3));
    grid->SetFocusCell(7, 3);
    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(grid->GetFocusCell(), CGridCellId(8, 2));
    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(grid->GetFocusCell(), CGridCellId(11, 2)) << "no row is skipped below the merge";
    QTest::keyClick(grid.get(), Qt::Key_Up);
    EXPECT_EQ(grid->GetFocusCell(), CGridCellId(8, 2));
    QTest::keyClick(grid.get(), Qt::Key_Right);
    EXPECT_EQ(grid->GetFocusCell(), CGridCellId(8, 4));
}

TEST(GridSort, TextNumberStabilityAndFixedRows)
{
    auto grid = makeGrid(6, 3);
    grid->SetItemText(0, 1, QStringLiteral("head"));
    const char* values[] = {"9", "10", "9", "1", "10"};
    for (int i = 0; i < 5; ++i) {
        grid->SetItemText(i + 1, 1, QString::fromLatin1(values[i]));
        grid->SetItemText(i + 1, 2, QString::number(i));
        grid->ChangeRowHeight(i + 1, 20 + i);
    }
    ASSERT_TRUE(grid->SortTextItems(1, true));
    QStringList got;
    for (int r = 1; r <= 5; ++r)
        got << grid->GetItemText(r, 1) + QLatin1Char('/') + grid->GetItemText(r, 2);
    EXPECT_EQ(got.join(QLatin1Char(' ')), QStringLiteral("1/3 10/1 10/4 9/0 9/2")) << "text order, stable";
    EXPECT_EQ(grid->GetItemText(0, 1), QStringLiteral("head"));
    EXPECT_EQ(grid->GetRowHeight(1), 23) << "heights travel with their rows";

    ASSERT_TRUE(grid->SortItems(CGridCtrl::CompareCellNumber, 1, true));
    got.clear();
    for (int r = 1; r <= 5; ++r)
        got << grid->GetItemText(r, 1) + QLatin1Char('/') + grid->GetItemText(r, 2);
    EXPECT_EQ(got.join(QLatin1Char(' ')), QStringLiteral("1/3 9/0 9/2 10/1 10/4"));

    ASSERT_TRUE(grid->SortItems(CGridCtrl::CompareCellNumber, 1, false));
    EXPECT_EQ(grid->GetItemText(1, 2), QStringLiteral("1")) << "descending keeps equal keys in order";
    EXPECT_EQ(grid->GetItemText(2, 2), QStringLiteral("4"));
    EXPECT_FALSE(grid->SortTextItems(7, true));

    // Header clicks: ascending, then descending.
    grid->SetHeaderSort(true);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre(*grid, 0, 2));
    EXPECT_EQ(grid->GetSortColumn(), 2);
    EXPECT_TRUE(grid->GetSortAscending());
    EXPECT_EQ(grid->GetItemText(1, 2), QStringLiteral("0"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre(*grid, 0, 2));
    EXPECT_FALSE(grid->GetSortAscending());
    EXPECT_EQ(grid->GetItemText(1, 2), QStringLiteral("4"));

    CGridCtrl virt;
    virt.ChangeVirtualMode(true);
    virt.ChangeRowCount(5);
    virt.ChangeColumnCount(2);
    EXPECT_FALSE(virt.SortTextItems(1, true)) << "virtual data is the owner's to sort";
}

TEST(GridSearch, FindNextSelectedCell)
{
    auto grid = makeGrid(6, 5);
    grid->SetSelectedRange(3, 2, 4, 3);
    EXPECT_EQ(grid->FindNextCell(CGridCellId(-1, -1), GVNI_ALL | GVNI_SELECTED), CGridCellId(3, 2));
    EXPECT_EQ(grid->FindNextCell(CGridCellId(3, 2), GVNI_ALL | GVNI_SELECTED), CGridCellId(3, 3));
    EXPECT_EQ(grid->FindNextCell(CGridCellId(4, 3), GVNI_ABOVE | GVNI_SELECTED), CGridCellId(3, 3));
    EXPECT_EQ(grid->FindNextCell(CGridCellId(4, 3), GVNI_ALL | GVNI_SELECTED), CGridCellId());
}

TEST(GridClipboard, CopyPasteAndRoundTrip)
{
    auto grid = makeGrid(5, 5);
    grid->SetItemText(1, 1, QStringLiteral("a"));
    grid->SetItemText(1, 2, QStringLiteral("b"));
    grid->SetItemText(1, 3, QStringLiteral("c"));
    grid->SetItemText(2, 1, QStringLiteral("d"));
    grid->SetItemText(2, 2, QStringLiteral("e"));
    grid->SetItemText(2, 3, QStringLiteral("f"));
    grid->SetSelectedRange(1, 1, 2, 3);
    QString text;
    ASSERT_TRUE(grid->BuildClipboardText(&text));
    EXPECT_EQ(text, QStringLiteral("a\tb\tc\nd\te\tf"));
    grid->SetFocusCell(1, 1);
    QTest::keyClick(grid.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("a\tb\tc\nd\te\tf"));

    // An unselected cell inside the block gives an empty field.
    grid->ChangeItemState(2, 2, grid->GetItemState(2, 2) & ~std::uint32_t(GVIS_SELECTED));
    ASSERT_TRUE(grid->BuildClipboardText(&text));
    EXPECT_EQ(text, QStringLiteral("a\tb\tc\nd\t\tf"));

    // Round trip into the rows below.
    grid->SetSelectedRange(3, 1, 3, 1);
    grid->PasteFromClipboard();
    EXPECT_EQ(grid->GetItemText(3, 1), QStringLiteral("a"));
    EXPECT_EQ(grid->GetItemText(3, 3), QStringLiteral("c"));
    EXPECT_EQ(grid->GetItemText(4, 2), QStringLiteral("e"));
    EXPECT_EQ(grid->SelectionRange(), CGridCellRange(3, 1, 4, 3));

    // Commas split, CR LF is trimmed; a pasted "1,5" fills two cells.
    ASSERT_TRUE(grid->PasteTextData(1, 1, QStringLiteral("1,2\r\n3, 4"), true));
    EXPECT_EQ(grid->GetItemText(1, 1), QStringLiteral("1"));
    EXPECT_EQ(grid->GetItemText(1, 2), QStringLiteral("2"));
    EXPECT_EQ(grid->GetItemText(2, 1), QStringLiteral("3"));
    EXPECT_EQ(grid->GetItemText(2, 2), QStringLiteral("4"));

    // Stops at the last row; a trailing separator pastes nothing after it.
    ASSERT_TRUE(grid->PasteTextData(4, 3, QStringLiteral("x,y,\np\nq"), false));
    EXPECT_EQ(grid->GetItemText(4, 3), QStringLiteral("x"));
    EXPECT_EQ(grid->GetItemText(4, 4), QStringLiteral("y"));
    EXPECT_EQ(grid->GetRowCount(), 5) << "the grid never grows";

    // Read-only target refused; read-only cells inside the block keep their text.
    grid->GetCell(1, 1)->SetState(grid->GetCell(1, 1)->GetState() | GVIS_READONLY);
    EXPECT_FALSE(grid->PasteTextData(1, 1, QStringLiteral("z"), false));
    EXPECT_EQ(grid->GetItemText(1, 1), QStringLiteral("1"));
    grid->GetCell(2, 2)->SetState(grid->GetCell(2, 2)->GetState() | GVIS_READONLY);
    ASSERT_TRUE(grid->PasteTextData(2, 1, QStringLiteral("m\tn"), false));
    EXPECT_EQ(grid->GetItemText(2, 1), QStringLiteral("m"));
    EXPECT_EQ(grid->GetItemText(2, 2), QStringLiteral("4"));

    // Cut empties the selected cells.
    grid->SetSelectedRange(3, 1, 3, 2);
    grid->CutToClipboard();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("a\tb"));
    EXPECT_EQ(grid->GetItemText(3, 1), QString());
}

TEST(GridClipboard, HiddenRowsAndColumnsLeaveNoSeparators)
{
    auto grid = makeGrid(5, 5);
    grid->SetItemText(1, 1, QStringLiteral("a"));
    grid->SetItemText(1, 3, QStringLiteral("b"));
    grid->SetItemText(3, 1, QStringLiteral("c"));
    grid->SetItemText(3, 3, QStringLiteral("d"));
    grid->SetSelectedRange(1, 1, 4, 4);
    // A hidden column and row inside the block, and a hidden last column and row.
    grid->ChangeColumnWidth(2, 0);
    grid->ChangeRowHeight(2, 0);
    grid->ChangeColumnWidth(4, 0);
    grid->ChangeRowHeight(4, 0);
    QString text;
    ASSERT_TRUE(grid->BuildClipboardText(&text));
    EXPECT_EQ(text, QStringLiteral("a\tb\nc\td"));
}

TEST(GridDragDrop, DropThroughSyntheticEvents)
{
    auto grid = makeGrid(5, 5);
    grid->EnableDragAndDrop(true);
    RecordingOwner owner;
    grid->SetOwner(&owner);
    QMimeData data;
    data.setText(QStringLiteral("p\tq\nr\ts"));
    QWidget* vp = grid->viewport();
    const QPoint at = centre(*grid, 2, 2);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(vp, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction) << "Ctrl on enter copies";
    EXPECT_TRUE(grid->GetItemState(2, 2) & GVIS_DROPHILITED);
    const QPoint over = centre(*grid, 3, 2);
    QDragMoveEvent move(over, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(vp, &move);
    EXPECT_EQ(move.dropAction(), Qt::MoveAction) << "over a cell the answer is always move";
    EXPECT_FALSE(grid->GetItemState(2, 2) & GVIS_DROPHILITED);
    EXPECT_EQ(grid->GetDropHighlightCell(), CGridCellId(3, 2));
    QDropEvent drop(over, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("p"));
    EXPECT_EQ(grid->GetItemText(4, 3), QStringLiteral("s"));
    EXPECT_FALSE(grid->GetItemState(3, 2) & GVIS_DROPHILITED);
    EXPECT_EQ(grid->GetSelectedCount(), 0u) << "a drop leaves nothing selected";

    grid->EnableDragAndDrop(false);
    QDragEnterEvent refused(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST(GridClipboard, EditCommandsFollowTheirRules)
{
    auto grid = makeGrid(4, 4);
    EXPECT_FALSE(grid->IsEditCommandEnabled(ID_EDIT_COPY)) << "nothing selected";
    EXPECT_TRUE(grid->IsEditCommandEnabled(ID_EDIT_SELECT_ALL));
    grid->SetSelectedRange(1, 1, 1, 2);
    EXPECT_TRUE(grid->IsEditCommandEnabled(ID_EDIT_COPY));
    EXPECT_TRUE(grid->IsEditCommandEnabled(ID_EDIT_CUT));
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    EXPECT_FALSE(grid->IsEditCommandEnabled(ID_EDIT_PASTE)) << "no focus cell";
    grid->SetFocusCell(1, 1);
    EXPECT_TRUE(grid->IsEditCommandEnabled(ID_EDIT_PASTE));
    grid->GetCell(1, 1)->SetState(grid->GetCell(1, 1)->GetState() | GVIS_READONLY);
    EXPECT_FALSE(grid->IsEditCommandEnabled(ID_EDIT_PASTE));
    grid->SetEditable(false);
    EXPECT_FALSE(grid->IsEditCommandEnabled(ID_EDIT_CUT));
    EXPECT_TRUE(grid->IsEditCommandEnabled(ID_EDIT_COPY));
}
