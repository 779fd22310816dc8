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

namespace {

// Exposes the timer tick and counts the end reports of the editors.
class TestGrid : public CGridCtrl {
public:
    using CGridCtrl::CGridCtrl;
    using CGridCtrl::OnAutoScrollTick;
    int endEdits = 0;
    void OnEndEditCell(int row, int col, const QString& text) override
    {
        ++endEdits;
        CGridCtrl::OnEndEditCell(row, col, text);
    }
};

// A shown grid of 50 x 20 cells with one fixed row and column, its notices
// recorded by `owner`.
struct Shown {
    RecordingOwner owner;
    std::unique_ptr<TestGrid> grid;
    QWidget* vp;
    Shown(int rows, int cols) : grid(bc::test::makeGrid<TestGrid>(rows, cols)), vp(grid->viewport())
    {
        grid->SetOwner(&owner);
    }
    // Centre of a cell in viewport coordinates.
    QPoint centre(int row, int col) const
    {
        GridRect rc;
        grid->CellRect(row, col, &rc);
        return QPoint((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    }
    void mouse(QEvent::Type type, QPoint p, Qt::MouseButtons held, Qt::KeyboardModifiers mods = {})
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, QPointF(p), QPointF(vp->mapToGlobal(p)), button, held, mods);
        QApplication::sendEvent(vp, &e);
    }
    // Press at `from`, move to `to` with the button held, release there.
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = {})
    {
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, mods);
        mouse(QEvent::MouseMove, to, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, to, Qt::NoButton, mods);
    }
    void click(QPoint p, Qt::KeyboardModifiers mods = {})
    {
        QTest::mouseClick(vp, Qt::LeftButton, mods, p);
    }
    CGridInPlaceEdit* editor() const
    {
        return qobject_cast<CGridInPlaceEdit*>(grid->activeEditor());
    }
};

} // namespace

TEST(GridSelectionMouse, ClicksSelectAndNotifyInOrder)
{
    // Selection changing, changed, then the click; a header selects its
    // column, the corner everything, a click in list mode the whole row.
    const struct {
        QPoint at;
        bool listMode;
        CGridCellRange selected;
        CGridCellId notified;
    } rows[] = {{{120, 50}, false, {2, 2, 2, 2}, {2, 2}},
                {{120, 10}, false, {1, 2, 4, 2}, {0, 2}},
                {{20, 10}, false, {1, 1, 4, 4}, {0, 0}},
                {{120, 70}, true, {3, 1, 3, 4}, {3, 2}}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.at.y());
        Shown s(5, 5);
        s.grid->SetListMode(r.listMode);
        s.click(r.at);
        EXPECT_EQ(s.grid->SelectionRange(), r.selected);
        const int row = r.notified.row, col = r.notified.col;
        const std::vector<Notice> expected = {
            {GVN_SELCHANGING, row, col},
            {GVN_SELCHANGED, s.grid->GetFocusCell().row, s.grid->GetFocusCell().col},
            {NM_CLICK, row, col}};
        EXPECT_EQ(s.owner.notices, expected);
        EXPECT_FALSE(s.grid->autoScrollRunning());
        QCoreApplication::processEvents();
        EXPECT_EQ(s.owner.commands, 1) << "the release posts the command";
    }
}

TEST(GridSelectionMouse, ShiftCtrlAndDragSelections)
{
    Shown s(6, 5);
    s.click(s.centre(1, 1));
    s.click(s.centre(3, 2), Qt::ShiftModifier);
    EXPECT_EQ(s.grid->SelectionRange(), CGridCellRange(1, 1, 3, 2));

    // Ctrl+click on a selected cell deselects it without a changing notice.
    s.owner.notices.clear();
    s.click(s.centre(2, 2), Qt::ControlModifier);
    EXPECT_FALSE(s.grid->IsCellSelected(2, 2));
    EXPECT_EQ(s.grid->GetSelectedCount(), 5u);
    for (const Notice& n : s.owner.notices)
        EXPECT_NE(n.code, GVN_SELCHANGING);

    // Ctrl+drag keeps what was selected before the press; a plain drag replaces it.
    s.drag(s.centre(5, 3), s.centre(5, 4), Qt::ControlModifier);
    EXPECT_TRUE(s.grid->IsCellSelected(1, 1));
    EXPECT_TRUE(s.grid->IsCellSelected(5, 4));
    s.drag(s.centre(1, 3), s.centre(2, 4));
    EXPECT_EQ(s.grid->SelectionRange(), CGridCellRange(1, 3, 2, 4));
    EXPECT_EQ(s.grid->GetFocusCell(), CGridCellId(2, 4));
}

TEST(GridSelectionMouse, JitterOnTheFocusCellIsStillAClick)
{
    Shown s(6, 5);
    const QPoint p = s.centre(2, 2);
    s.grid->EnableDragAndDrop(true);
    s.click(p);
    s.grid->SetEditable(false);
    s.drag(p, p + QPoint(1, 0));
    // With drag and drop on, a click on the selection clears it (no drag happened).
    EXPECT_FALSE(s.grid->GetFocusCell().IsValid());

    s.grid->EnableDragAndDrop(false);
    s.click(p);
    s.drag(p, p + QPoint(1, 1));
    EXPECT_EQ(s.grid->GetFocusCell(), CGridCellId(2, 2)) << "one pixel of jitter keeps focus";
    EXPECT_TRUE(s.grid->IsCellSelected(2, 2));
}

TEST(GridSelectionMouse, AutoScrollGrowsOneRowPerTick)
{
    Shown s(40, 4);
    s.mouse(QEvent::MouseButtonPress, s.centre(2, 1), Qt::LeftButton);
    ASSERT_TRUE(s.grid->autoScrollRunning());
    // Drag down to the last whole row in view, then hold the pointer below the grid.
    const int lastRow = s.grid->VisibleCellRange().maxRow - 1;
    s.mouse(QEvent::MouseMove, s.centre(lastRow, 1), Qt::LeftButton);
    EXPECT_EQ(s.grid->SelectionRange().maxRow, lastRow);
    const QPoint below(60, s.grid->ClientRect().bottom + 10);
    s.grid->OnAutoScrollTick(below);
    EXPECT_GT(s.grid->SelectionRange().maxRow, lastRow);
    for (int tick = 0; tick < 5; ++tick) {
        const int was = s.grid->SelectionRange().maxRow;
        s.grid->OnAutoScrollTick(below);
        EXPECT_EQ(s.grid->SelectionRange(), CGridCellRange(2, 1, was + 1, 1)) << tick;
    }
    s.mouse(QEvent::MouseButtonRelease, s.centre(2, 1), Qt::NoButton);
    EXPECT_FALSE(s.grid->autoScrollRunning());
}

TEST(GridSelectionMouse, BorderResizeAndDoubleClickFit)
{
    Shown s(4, 4);
    // The border between columns 1 and 2 lies at x = 100, inside the header row.
    QTest::mouseMove(s.vp, QPoint(101, 10));
    EXPECT_EQ(s.grid->GetMouseMode(), MOUSE_OVER_COL_DIVIDE);
    s.drag(QPoint(101, 10), QPoint(130, 10));
    EXPECT_EQ(s.grid->GetColumnWidth(1), 80) << "the column left of the border is sized";
    // Dragging left of the column's left edge hides it.
    QTest::mouseMove(s.vp, QPoint(129, 10));
    s.drag(QPoint(129, 10), QPoint(20, 10));
    EXPECT_EQ(s.grid->GetColumnWidth(1), 0);

    // A double click on a border fits the column, with what the platform
    // sends: press, release, double click, release.
    s.grid->ChangeColumnWidth(1, 50);
    s.grid->SetItemText(1, 2, QStringLiteral("a considerably longer text"));
    const QPoint border(149, 10);
    QTest::mouseMove(s.vp, border);
    s.mouse(QEvent::MouseButtonPress, border, Qt::LeftButton);
    s.mouse(QEvent::MouseButtonRelease, border, Qt::NoButton);
    s.mouse(QEvent::MouseButtonDblClick, border, Qt::LeftButton);
    s.mouse(QEvent::MouseButtonRelease, border, Qt::NoButton);
    EXPECT_GT(s.grid->GetColumnWidth(2), 100);
}

TEST(GridSelectionMouse, WheelRemaindersAddUp)
{
    Shown s(60, 3);
    s.grid->SetWheelScrollLines(3);
    for (int i = 0; i < 8; ++i) {
        QWheelEvent e(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, -15), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(s.vp, &e);
    }
    EXPECT_EQ(s.grid->FirstScrolledCell().row, 4) << "8 x 15 = one notch of three lines";
}

TEST(GridEditing, StartByF2ClickTypingAndInputMethod)
{
    Shown s(5, 4);
    s.grid->SetItemText(1, 1, QStringLiteral("abc"));
    s.grid->SetFocusCell(1, 1);
    QTest::keyClick(s.grid.get(), Qt::Key_F2);
    ASSERT_NE(s.editor(), nullptr);
    EXPECT_EQ(s.editor()->cursorPosition(), 3) << "caret at the end";
    QTest::keyClick(s.editor(), Qt::Key_Left);
    QTest::keyClick(s.editor(), Qt::Key_X);
    QTest::keyClick(s.editor(), Qt::Key_Return);
    EXPECT_EQ(s.grid->GetItemText(1, 1), QStringLiteral("abxc")) << "arrows move the caret";
    EXPECT_EQ(s.grid->endEdits, 1);
    EXPECT_EQ(s.grid->activeEditor(), nullptr);

    // Typing starts the edit with that character, even those that share a
    // code with a navigation key; an arrow ends it and goes on below.
    QTest::keyClicks(s.grid.get(), QStringLiteral("!"));
    ASSERT_NE(s.editor(), nullptr);
    QTest::keyClicks(s.editor(), QStringLiteral("(%"));
    QTest::keyClick(s.editor(), Qt::Key_Down);
    EXPECT_EQ(s.grid->GetItemText(1, 1), QStringLiteral("!(%"));
    EXPECT_EQ(s.grid->GetFocusCell(), CGridCellId(2, 1));
    ASSERT_NE(s.editor(), nullptr) << "editing continues in the next cell";
    QTest::keyClick(s.editor(), Qt::Key_Escape);

    // A click on the focus cell's text opens the editor on release.
    s.click(s.centre(2, 1));
    ASSERT_NE(s.editor(), nullptr);
    QTest::keyClick(s.editor(), Qt::Key_Escape);

    // Input-method text starts an edit once committed, replacing the old text.
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QApplication::sendEvent(s.grid.get(), &query);
    EXPECT_TRUE(query.value(Qt::ImEnabled).toBool()) << "input methods talk to the grid at all";
    QInputMethodEvent composing(QStringLiteral("shen"), {});
    QApplication::sendEvent(s.grid.get(), &composing);
    EXPECT_EQ(s.grid->activeEditor(), nullptr) << "text still being composed starts nothing";
    QInputMethodEvent committed;
    committed.setCommitString(QStringLiteral("深度"));
    QApplication::sendEvent(s.grid.get(), &committed);
    ASSERT_NE(s.editor(), nullptr);
    QTest::keyClick(s.editor(), Qt::Key_Return);
    EXPECT_EQ(s.grid->GetItemText(2, 1), QStringLiteral("深度"));
}

TEST(GridEditing, EscapeAndRefusals)
{
    Shown s(4, 4);
    s.grid->SetItemText(1, 1, QStringLiteral("keep"));
    s.grid->SetFocusCell(1, 1);
    QTest::keyClicks(s.grid.get(), QStringLiteral("z"));
    ASSERT_NE(s.editor(), nullptr);
    s.owner.notices.clear();
    QTest::keyClick(s.editor(), Qt::Key_Escape);
    EXPECT_EQ(s.grid->GetItemText(1, 1), QStringLiteral("keep"));
    for (const Notice& n : s.owner.notices)
        EXPECT_NE(n.code, GVN_ENDLABELEDIT) << "an unchanged text sends no end notice";

    // The owner refuses the begin: no editor.
    s.owner.answer = [](int code, int, int) { return code == GVN_BEGINLABELEDIT ? -1L : 0L; };
    QTest::keyClick(s.grid.get(), Qt::Key_F2);
    EXPECT_EQ(s.grid->activeEditor(), nullptr);
    // The owner refuses the end: the old text stays.
    s.owner.answer = [](int code, int, int) { return code == GVN_ENDLABELEDIT ? -1L : 0L; };
    QTest::keyClicks(s.grid.get(), QStringLiteral("new"));
    QTest::keyClick(s.editor(), Qt::Key_Return);
    EXPECT_EQ(s.grid->GetItemText(1, 1), QStringLiteral("keep"));
    EXPECT_FALSE(s.grid->GetCell(1, 1)->IsEditing());

    // A read-only cell opens nothing.
    s.owner.answer = nullptr;
    s.grid->GetCell(1, 1)->SetState(GVIS_READONLY);
    QTest::keyClick(s.grid.get(), Qt::Key_F2);
    EXPECT_EQ(s.grid->activeEditor(), nullptr);
}

TEST(GridEditing, EditorReportsOnceAndGoesWithItsRowOrGrid)
{
    Shown s(6, 4);
    s.grid->SetFocusCell(3, 1);
    QTest::keyClicks(s.grid.get(), QStringLiteral("x"));
    QPointer<CGridInPlaceEdit> edit = s.editor();
    ASSERT_TRUE(edit);
    s.grid->RemoveRowAt(3);
    EXPECT_EQ(s.grid->endEdits, 1);
    ASSERT_TRUE(edit) << "deleted later, not at once";
    edit->EndEdit();
    EXPECT_EQ(s.grid->endEdits, 1) << "a second end request reports nothing";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(edit);

    // A grid destroyed mid-edit tells its owner nothing.
    s.grid->SetFocusCell(1, 1);
    QTest::keyClicks(s.grid.get(), QStringLiteral("x"));
    edit = s.editor();
    ASSERT_TRUE(edit);
    s.owner.notices.clear();
    s.grid.reset();
    EXPECT_FALSE(edit) << "the editor goes with the grid";
    EXPECT_TRUE(s.owner.notices.empty()) << "no end-edit notice from a grid being destroyed";
}

TEST(GridEditing, DraggingTheScrollThumbEndsTheEdit)
{
    Shown s(60, 4);
    QScrollBar* bar = s.grid->verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    s.grid->SetFocusCell(2, 1);
    QTest::keyClicks(s.grid.get(), QStringLiteral("x"));
    ASSERT_NE(s.editor(), nullptr);

    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.orientation = Qt::Vertical;
    opt.maximum = bar->maximum();
    opt.pageStep = bar->pageStep();
    const QPoint thumb =
        bar->style()
            ->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar)
            .center();
    QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(bar, thumb + QPoint(0, 40));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, thumb + QPoint(0, 40));
    ASSERT_GT(s.grid->FirstScrolledCell().row, 2) << "the thumb scrolled the rows";
    EXPECT_EQ(s.grid->activeEditor(), nullptr);
    EXPECT_EQ(s.grid->endEdits, 1);
    EXPECT_EQ(s.grid->GetItemText(2, 1), QStringLiteral("x")) << "the text went to its own cell";
}

TEST(GridKeyboard, MovesTabWrapAndMerges)
{
    Shown s(30, 12);
    TestGrid* g = s.grid.get();
    g->SetFocusCell(1, 11);
    QTest::keyClick(g, Qt::Key_Tab);
    EXPECT_EQ(g->GetFocusCell(), CGridCellId(2, 1)) << "Tab wraps to the next row";
    EXPECT_EQ(g->GetScrollPos(SB_HORZ), 0);
    QTest::keyClick(g, Qt::Key_Backtab);
    GridRect rc;
    g->CellRect(1, 11, &rc);
    EXPECT_EQ(g->GetFocusCell(), CGridCellId(1, 11));
    EXPECT_LE(rc.right + 1, g->ClientRect().right) << "the wrapped-to cell is in view";

    g->SetFocusCell(29, 1);
    s.owner.notices.clear();
    QTest::keyClick(g, Qt::Key_Down);
    EXPECT_EQ(g->GetFocusCell(), CGridCellId(29, 1));
    EXPECT_TRUE(s.owner.notices.empty()) << "no move, no notice";

    // Shift+Down keeps the anchor.
    g->SetFocusCell(5, 2);
    QTest::keyClick(g, Qt::Key_Up);
    QTest::keyClick(g, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(g, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(g->SelectionRange(), CGridCellRange(4, 2, 6, 2));

    // Moves step over a merge and land on its owner, never on a covered cell.
    ASSERT_TRUE(g->MergeCells(8, 2, 10, 3));
    g->SetFocusCell(7, 3);
    const std::pair<Qt::Key, CGridCellId> moves[] = {{Qt::Key_Down, {8, 2}},
                                                     {Qt::Key_Down, {11, 2}},
                                                     {Qt::Key_Up, {8, 2}},
                                                     {Qt::Key_Right, {8, 4}}};
    for (const auto& [key, to] : moves) {
        QTest::keyClick(g, key);
        EXPECT_EQ(g->GetFocusCell(), to) << "to " << to.row << "," << to.col;
    }
}

TEST(GridSort, TextNumberStabilityAndFixedRows)
{
    Shown s(6, 3);
    TestGrid* g = s.grid.get();
    g->SetItemText(0, 1, QStringLiteral("head"));
    const char* values[] = {"9", "10", "9", "1", "10"};
    for (int i = 0; i < 5; ++i) {
        g->SetItemText(i + 1, 1, QString::fromLatin1(values[i]));
        g->SetItemText(i + 1, 2, QString::number(i));
        g->ChangeRowHeight(i + 1, 20 + i);
    }
    ASSERT_TRUE(g->MergeCells(2, 1, 3, 2));
    const auto order = [g] {
        QStringList got;
        for (int r = 1; r <= 5; ++r)
            got << g->GetItemText(r, 1) + QLatin1Char('/') + g->GetItemText(r, 2);
        return got.join(QLatin1Char(' '));
    };
    ASSERT_TRUE(g->SortTextItems(1, true));
    EXPECT_EQ(order(), QStringLiteral("1/3 10/1 10/4 9/0 9/2")) << "text order, stable";
    EXPECT_EQ(g->GetItemText(0, 1), QStringLiteral("head"));
    EXPECT_EQ(g->GetRowHeight(1), 23) << "heights travel with their rows";
    // Sorting dissolves merges; the cells can be merged again.
    EXPECT_TRUE(g->mergedRanges().empty());
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_TRUE(g->GetCell(r, c)->IsShown() && !g->GetCell(r, c)->IsCoveredByMerge() &&
                        !g->GetCell(r, c)->IsMerged())
                << r << "," << c;
    EXPECT_TRUE(g->MergeCells(2, 1, 3, 2));

    g->SortItems(CGridCtrl::CompareCellNumber, 1, true);
    EXPECT_EQ(order(), QStringLiteral("1/3 9/0 9/2 10/1 10/4"));
    g->SortItems(CGridCtrl::CompareCellNumber, 1, false);
    EXPECT_EQ(order(), QStringLiteral("10/1 10/4 9/0 9/2 1/3"))
        << "descending keeps equal keys in order";

    // Header clicks: ascending, then descending.
    g->SetHeaderSort(true);
    for (const char* top : {"0", "4"}) {
        s.click(s.centre(0, 2));
        EXPECT_EQ(g->GetItemText(1, 2), QString::fromLatin1(top));
    }
}

// A library sort is stable on a few rows by chance; a hundred rows with
// three keys show whether equal keys keep their order.
TEST(GridSort, EqualKeysKeepTheirOrderOnManyRows)
{
    Shown s(101, 3);
    TestGrid* g = s.grid.get();
    const GridCompareFunc byFirstLetter = [](const CGridCellBase* a, const CGridCellBase* b, LPARAM) {
        return a->GetText().left(1).compare(b->GetText().left(1));
    };
    const auto at = [&](int r, int c) { return g->GetItemText(r, c).toInt(); };
    for (const GridCompareFunc compare : {&CGridCtrl::CompareCellText, &CGridCtrl::CompareCellNumber, byFirstLetter})
        for (const bool ascending : {true, false}) {
            for (int r = 1; r <= 100; ++r) {
                g->SetItemText(r, 1, QString::number(r * 7 % 3 + 1));
                g->SetItemText(r, 2, QString::number(r));
            }
            ASSERT_TRUE(g->SortItems(compare, 1, ascending));
            for (int r = 2; r <= 100; ++r) // by key, then as they were
                ASSERT_LT(std::pair(ascending ? at(r - 1, 1) : -at(r - 1, 1), at(r - 1, 2)),
                          std::pair(ascending ? at(r, 1) : -at(r, 1), at(r, 2)))
                    << "row " << r << (ascending ? " ascending" : " descending");
        }
}

TEST(GridSearch, FindNextSelectedCell)
{
    Shown s(6, 5);
    s.grid->SetSelectedRange(3, 2, 4, 3);
    const struct {
        CGridCellId from;
        int flags;
        CGridCellId found;
    } rows[] = {{{-1, -1}, GVNI_ALL, {3, 2}},
                {{3, 2}, GVNI_ALL, {3, 3}},
                {{4, 3}, GVNI_ABOVE, {3, 3}},
                {{4, 3}, GVNI_ALL, {}}};
    for (const auto& r : rows)
        EXPECT_EQ(s.grid->FindNextCell(r.from, r.flags | GVNI_SELECTED), r.found)
            << r.from.row << "," << r.from.col;
}

TEST(GridClipboard, CopyPasteCutAndHiddenCells)
{
    Shown s(5, 5);
    TestGrid* g = s.grid.get();
    bc::test::setTexts(*g, 1, 1, {{"a", "b", "c"}, {"d", "e", "f"}});
    g->SetSelectedRange(1, 1, 2, 3);
    g->SetFocusCell(1, 1);
    QTest::keyClick(g, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("a\tb\tc\nd\te\tf"));
    // An unselected cell inside the block gives an empty field.
    QString text;
    g->ChangeItemState(2, 2, g->GetItemState(2, 2) & ~std::uint32_t(GVIS_SELECTED));
    ASSERT_TRUE(g->BuildClipboardText(&text));
    EXPECT_EQ(text, QStringLiteral("a\tb\tc\nd\t\tf"));

    // Round trip into the rows below.
    g->SetSelectedRange(3, 1, 3, 1);
    g->PasteFromClipboard();
    EXPECT_EQ(bc::test::rowTexts(*g, 3, 1), (QStringList{"a", "b", "c", ""}));
    EXPECT_EQ(g->GetItemText(4, 2), QStringLiteral("e"));
    EXPECT_EQ(g->SelectionRange(), CGridCellRange(3, 1, 4, 3));

    // Commas split, CR LF is trimmed; it stops at the last row, and a trailing
    // separator pastes nothing after it.
    ASSERT_TRUE(g->PasteTextData(1, 1, QStringLiteral("1,2\r\n3, 4"), true));
    ASSERT_TRUE(g->PasteTextData(4, 3, QStringLiteral("x,y,\np\nq"), false));
    EXPECT_EQ(bc::test::rowTexts(*g, 1, 1) + bc::test::rowTexts(*g, 2, 1) +
                  bc::test::rowTexts(*g, 4, 3),
              (QStringList{"1", "2", "c", "", "3", "4", "f", "", "x", "y"}));
    EXPECT_EQ(g->GetRowCount(), 5) << "the grid never grows";

    // Read-only target refused; read-only cells inside the block keep their text.
    g->GetCell(1, 1)->SetState(GVIS_READONLY);
    EXPECT_FALSE(g->PasteTextData(1, 1, QStringLiteral("z"), false));
    g->GetCell(2, 2)->SetState(GVIS_READONLY);
    ASSERT_TRUE(g->PasteTextData(2, 1, QStringLiteral("m\tn"), false));
    EXPECT_EQ(bc::test::rowTexts(*g, 2, 1).mid(0, 2), (QStringList{"m", "4"}));

    // Cut empties the selected cells.
    g->SetSelectedRange(3, 1, 3, 2);
    g->CutToClipboard();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("a\tb"));
    EXPECT_EQ(g->GetItemText(3, 1), QString());

    // Hidden rows and columns, inside the block and last, leave no separators.
    bc::test::setTexts(*g, 1, 1, {{"a", "", "b"}, {}, {"c", "", "d"}});
    g->SetSelectedRange(1, 1, 4, 4);
    for (int i : {2, 4}) {
        g->ChangeColumnWidth(i, 0);
        g->ChangeRowHeight(i, 0);
    }
    ASSERT_TRUE(g->BuildClipboardText(&text));
    EXPECT_EQ(text, QStringLiteral("a\tb\nc\td"));
}

TEST(GridDragDrop, DropThroughSyntheticEvents)
{
    Shown s(5, 5);
    s.grid->EnableDragAndDrop(true);
    QMimeData data;
    data.setText(QStringLiteral("p\tq\nr\ts"));
    const Qt::DropActions both = Qt::CopyAction | Qt::MoveAction;
    const QPoint at = s.centre(2, 2);
    QDragEnterEvent enter(at, both, &data, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(s.vp, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction) << "Ctrl on enter copies";
    EXPECT_TRUE(s.grid->GetItemState(2, 2) & GVIS_DROPHILITED);
    const QPoint over = s.centre(3, 2);
    QDragMoveEvent move(over, both, &data, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(s.vp, &move);
    EXPECT_EQ(move.dropAction(), Qt::MoveAction) << "over a cell the answer is always move";
    EXPECT_FALSE(s.grid->GetItemState(2, 2) & GVIS_DROPHILITED);
    EXPECT_EQ(s.grid->GetDropHighlightCell(), CGridCellId(3, 2));
    QDropEvent drop(over, both, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(s.vp, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(s.grid->GetItemText(3, 2), QStringLiteral("p"));
    EXPECT_EQ(s.grid->GetItemText(4, 3), QStringLiteral("s"));
    EXPECT_FALSE(s.grid->GetItemState(3, 2) & GVIS_DROPHILITED);
    EXPECT_EQ(s.grid->GetSelectedCount(), 0u) << "a drop leaves nothing selected";

    s.grid->EnableDragAndDrop(false);
    QDragEnterEvent refused(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(s.vp, &refused);
    EXPECT_FALSE(refused.isAccepted());
}
