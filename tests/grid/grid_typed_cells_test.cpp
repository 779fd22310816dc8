// The special cells and their editors.

#include "grid/grid_ctrl.h"
#include "grid/grid_typed_cells.h"
#include "grid_test_util.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using namespace bc;

namespace {

std::unique_ptr<CGridCtrl> makeGrid()
{
    return bc::test::makeGrid(6, 4, 1, 1, 80, 24, QSize(400, 250));
}

template <class Editor = CGridInPlaceEdit> Editor* editorOf(const CGridCtrl& g)
{
    return dynamic_cast<Editor*>(g.activeEditor());
}

// Opens the editor of (row, col) as a typed character would.
CGridInPlaceEdit* typeInto(CGridCtrl& g, int row, int col, const QString& typed)
{
    g.SetFocusCell(row, col);
    g.OnEditCell(row, col, QPoint(-1, -1), GridEditStart{0, typed});
    return editorOf(g);
}

// Every kind of cell with an editor of its own.
std::vector<std::pair<const char*, GridCellFactory>> editingKinds()
{
    return {
        {"plain", gridCellClass<CGridCell>()},
        {"numeric", gridCellClass<CGridCellNumeric>()},
        {"list", gridCellClass<CGridCellCombo>()},
        {"check list", gridCellClass<CGridCellCheckCombo>()},
        {"date-time", gridCellClass<CGridCellDateTime>()},
    };
}

// A grid in a window of its own (as a floating bar holds it), shown while
// another window is active: an editor that opens in it takes no focus, so
// the one before it sees no focus loss.
struct InactiveGrid {
    QWidget elsewhere;
    bc::test::RecordingOwner owner;
    QPointer<CGridCtrl> grid;
    explicit InactiveGrid(const GridCellFactory& kind)
    {
        grid = bc::test::makeGrid(6, 4, 1, 1, 80, 24, QSize(400, 250)).release();
        grid->SetOwner(&owner);
        for (int row : {1, 2})
            grid->ChangeCellClass(row, 1, kind);
        elsewhere.show();
        elsewhere.activateWindow();
    }
    ~InactiveGrid() { delete grid; }
    // Editors not yet ended.
    int openEditors() const
    {
        int open = 0;
        for (QWidget* w : grid->viewport()->findChildren<QWidget*>())
            if (auto* e = dynamic_cast<GridEditor*>(w); e && !e->hasEnded())
                ++open;
        return open;
    }
    // The grid's window becomes active and `editor`, when still shown, is
    // clicked: it takes the focus, and then loses it when the windows go.
    void clickInto(const QPointer<QWidget>& editor)
    {
        grid->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(grid));
        if (editor && editor->isVisible())
            QTest::mouseClick(editor, Qt::LeftButton, {}, QPoint(5, 5));
    }
    // Destroys the grid, gives the focus back to the other window and lets
    // deferred deletions run; true when no editor of the grid is left.
    bool destroyAndMoveOn(const QList<QPointer<QWidget>>& editors)
    {
        owner.notices.clear();
        delete grid;
        elsewhere.activateWindow();
        [&] { ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere)); }();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return std::all_of(editors.begin(), editors.end(),
                           [](const QPointer<QWidget>& e) { return e.isNull(); });
    }
};

} // namespace

TEST(GridNumericCells, FiltersAndClamps)
{
    // What each kind of cell lets through while typing, and what it keeps.
    const struct {
        GridCellFactory kind;
        const char* first;
        const char* keys;
        const char* shown;
        const char* kept;                                                      // nullptr: cancelled
    } rows[] = {{gridCellClass<CGridCellUChar>(), "3", "-.0x0", "300", "255"}, // digits only
                {gridCellClass<CGridCellUChar>(), "0", "07", "007", "7"},
                {gridCellClass<CGridCellUChar>(), "0", "", "0", "0"}, // zero stays zero
                {gridCellClass<CGridCellDm>(), "2", "5-.6.9", "25.69", "25.5"},
                {gridCellClass<CGridCellDm>(), "3", ".14", "3.14", "3.1"},
                {gridCellClass<CGridCellFloat>(), "-", "1.5.-+2", "-1.5+2", nullptr},
                {gridCellClass<CGridCellNumeric>(), "+", "4.2+", "+42", "+42"}};
    auto grid = makeGrid();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.shown);
        grid->ChangeCellClass(1, 1, r.kind);
        CGridInPlaceEdit* edit = typeInto(*grid, 1, 1, QString::fromLatin1(r.first));
        ASSERT_NE(edit, nullptr);
        QTest::keyClicks(edit, QString::fromLatin1(r.keys));
        EXPECT_EQ(edit->text(), QString::fromLatin1(r.shown));
        QTest::keyClick(edit, r.kept ? Qt::Key_Return : Qt::Key_Escape);
        if (r.kept) {
            EXPECT_EQ(grid->GetItemText(1, 1), QString::fromLatin1(r.kept));
        }
    }

    // Text from an input method passes the same filter; a text cell takes it all.
    QInputMethodEvent committed;
    committed.setCommitString(QStringLiteral("二.5a.6"));
    grid->ChangeCellClass(1, 2, gridCellClass<CGridCellDm>());
    for (const auto& [col, first, shown] :
         {std::tuple(2, "1", "1.56"), std::tuple(3, "a", "a二.5a.6")}) {
        CGridInPlaceEdit* edit = typeInto(*grid, 1, col, QString::fromLatin1(first));
        QInputMethodEvent composing(QStringLiteral("yi"), {});
        QApplication::sendEvent(edit, &composing);
        QApplication::sendEvent(edit, &committed);
        EXPECT_EQ(edit->text(), QString::fromUtf8(shown));
        QTest::keyClick(edit, Qt::Key_Escape);
    }
}

TEST(GridNumericCells, HugeValuesStillClamp)
{
    EXPECT_EQ(normaliseByteText(QStringLiteral("99999999999999999999999")), QStringLiteral("255"));
    EXPECT_EQ(normaliseTenthsText(QString(32, QLatin1Char('9'))), QStringLiteral("25.5"));
    EXPECT_EQ(normaliseTenthsText(QStringLiteral("25.6")), QStringLiteral("25.5"));
    EXPECT_EQ(normaliseTenthsText(QStringLiteral("7")), QStringLiteral("7"));
}

TEST(GridDateTimeCell, FormatsAndRoundTrip)
{
    CGridCellDateTime time(DTS_TIMEFORMAT);
    time.SetTime(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)));
    EXPECT_EQ(time.GetText(), QStringLiteral("07:08:09"));

    auto grid = makeGrid();
    grid->ChangeCellClass(1, 1, [] {
        return std::unique_ptr<CGridCellBase>(new CGridCellDateTime(DTS_SHORTDATEFORMAT));
    });
    auto* cell = dynamic_cast<CGridCellDateTime*>(grid->GetCell(1, 1));
    ASSERT_NE(cell, nullptr);
    cell->SetTime(QDateTime(QDate(2024, 3, 5), QTime(12, 0)));
    EXPECT_EQ(cell->GetText(), QStringLiteral("05/03/2024"));
    grid->SetFocusCell(1, 1);
    QTest::keyClick(grid.get(), Qt::Key_F2);
    auto* editor = editorOf<CGridInPlaceDateTime>(*grid);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->date(), QDate(2024, 3, 5));
    editor->setDate(QDate(2025, 12, 31));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(grid->GetItemText(1, 1), QStringLiteral("31/12/2025"));
    EXPECT_EQ(cell->GetTime().date(), QDate(2025, 12, 31));
    EXPECT_EQ(grid->activeEditor(), nullptr);
}

TEST(GridCheckCell, ClickOnTheBoxAndSpaceToggle)
{
    auto grid = makeGrid();
    grid->ChangeCellClass(2, 2, gridCellClass<CGridCellCheck>());
    auto* cell = dynamic_cast<CGridCellCheck*>(grid->GetCell(2, 2));
    ASSERT_NE(cell, nullptr);
    bc::test::render(*grid);
    const GridRect box = cell->boxRect();
    ASSERT_FALSE(box.IsRectEmpty());
    GridRect cellRect;
    grid->CellRect(2, 2, &cellRect);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      QPoint(cellRect.right - 3, box.top + 2));
    EXPECT_FALSE(cell->GetCheck()) << "outside the box: nothing";
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(box.left + 2, box.top + 2));
    EXPECT_TRUE(cell->GetCheck());
    grid->SetFocusCell(2, 2);
    QTest::keyClick(grid.get(), Qt::Key_Space);
    EXPECT_FALSE(cell->GetCheck());
    EXPECT_EQ(grid->activeEditor(), nullptr);
    GridRect text(0, 0, 100, 20);
    cell->GetTextRect(&text);
    EXPECT_EQ(text.left, CGridCellCheck::boxSide() + 2 * int(cell->GetMargin()));
}

TEST(GridComboCells, ListCommitsAndCheckListJoins)
{
    EXPECT_EQ(listHighlightColour(RGB(0x10, 0x80, 0xFF)), RGB(0x00, 0x6C, 0xEB))
        << "no borrow between channels";

    auto grid = makeGrid();
    grid->ChangeCellClass(1, 1, gridCellClass<CGridCellCombo>());
    dynamic_cast<CGridCellCombo*>(grid->GetCell(1, 1))->SetOptions({"alpha", "beta", "gamma"});
    grid->SetItemText(1, 1, QStringLiteral("be"));
    grid->SetFocusCell(1, 1);
    QTest::keyClick(grid.get(), Qt::Key_F2);
    auto* list = editorOf<CGridInPlaceList>(*grid);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->currentText(), QStringLiteral("beta"))
        << "the first option beginning with the text";
    list->setCurrentIndex(2);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(grid->GetItemText(1, 1), QStringLiteral("gamma"));

    grid->ChangeCellClass(1, 2, gridCellClass<CGridCellCheckCombo>());
    dynamic_cast<CGridCellCheckCombo*>(grid->GetCell(1, 2))
        ->SetOptions({"a", "b", "c", "a rather long option name for the list"});
    grid->SetFocusCell(1, 2);
    QTest::keyClick(grid.get(), Qt::Key_F2);
    auto* checks = editorOf<CGridCheckComboList>(*grid);
    ASSERT_NE(checks, nullptr);
    EXPECT_LE(checks->droppedWidth(), 200);
    checks->showPopup();
    QAbstractItemView* view = checks->view();
    ASSERT_TRUE(view->isVisible());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(checks->model()->index(2, 0)).center());
    EXPECT_TRUE(view->isVisible()) << "the list stays open while checking";
    checks->SetCheck(0, true);
    EXPECT_NE(checks->GetCheck(2), 0);
    checks->hidePopup();
    QTest::keyClick(checks, Qt::Key_Return);
    const QString joined = grid->GetItemText(1, 2);
    EXPECT_TRUE(joined.startsWith(QStringLiteral("a")) && joined.contains(QStringLiteral("c")) &&
                !joined.contains(QStringLiteral("b")))
        << joined.toStdString();
}

TEST(GridUrlCell, DetectsPrefixesAndOpensOnlyTheClickedWord)
{
    for (const char* text : {"www.x.cn", "http://a", "mailto:me", "ftp:x", "https://b", "news:c",
                             "gopher:d", "telnet:e", "url:f", "file:g", "ftp.h"})
        EXPECT_TRUE(CGridURLCell::HasUrl(QString::fromLatin1(text))) << text;
    EXPECT_FALSE(CGridURLCell::HasUrl(QStringLiteral("WWW.X.CN plain")));

    QStringList opened;
    CGridURLCell::setLauncher([&](const QString& url) { opened << url; });
    auto grid = makeGrid();
    grid->ChangeColumnWidth(2, 300);
    grid->ChangeCellClass(1, 2, gridCellClass<CGridURLCell>());
    auto* cell = dynamic_cast<CGridURLCell*>(grid->GetCell(1, 2));
    grid->SetItemText(1, 2, QStringLiteral("see www.example.com now"));
    bc::test::render(*grid);
    const QFontMetrics fm(cell->GetFontObject());
    const int margin = int(cell->GetMargin());
    const QPoint onUrl(margin + fm.horizontalAdvance(QStringLiteral("see www.exa")), 5);
    const QPoint onSee(margin + fm.horizontalAdvance(QStringLiteral("s")), 5);
    // A click on the plain word or past the text opens nothing.
    for (const QPoint& p : {onSee, QPoint(290, 5), onUrl})
        cell->OnClick(p);
    EXPECT_EQ(opened, QStringList{QStringLiteral("www.example.com")});
    EXPECT_FALSE(cell->Edit(1, 2, GridRect(), QPoint(), 8, GridEditStart{}));
    CGridURLCell::setLauncher(nullptr);
}

TEST(GridEditors, TabCarriesTheEditOnInAnActiveWindow)
{
    // In an active window focus changes are real: Tab must neither walk the
    // window's focus chain nor be taken back by the grid from the next editor.
    for (const auto& [name, factory] : editingKinds()) {
        SCOPED_TRACE(name);
        QWidget window;
        auto* grid = new CGridCtrl(6, 4, 1, 1, &window);
        bc::test::setUniformSizes(*grid, 80, 24);
        grid->resize(400, 250);
        (new QLineEdit(&window))->move(0, 260); // a widget Tab could wander to
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        grid->ChangeCellClass(1, 1, factory);
        grid->SetFocusCell(1, 1);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_F2);
        QWidget* first = grid->activeEditor();
        ASSERT_NE(first, nullptr);
        ASSERT_EQ(QApplication::focusWidget(), first);
        QTest::keyClick(first, Qt::Key_Tab);
        EXPECT_EQ(grid->GetFocusCell(), CGridCellId(1, 2));
        QWidget* next = grid->activeEditor();
        ASSERT_NE(next, nullptr) << "the edit goes on in the next cell";
        EXPECT_NE(next, first);
        EXPECT_EQ(QApplication::focusWidget(), next) << "the next editor keeps the keyboard";
        // A typed edit there ends with an arrow and goes on below.
        QTest::keyClicks(next, QStringLiteral("5"));
        QTest::keyClick(next, Qt::Key_Down, Qt::ControlModifier);
        EXPECT_EQ(grid->GetFocusCell(), CGridCellId(2, 2));
        EXPECT_EQ(QApplication::focusWidget(), grid->activeEditor());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_EQ(grid->activeEditor(), nullptr);
        EXPECT_EQ(QApplication::focusWidget(), grid) << "the grid has the keyboard back";
    }
}

TEST(GridEditors, OneEditorAtATime)
{
    // Opening an editor ends one still open, its text kept; a text editor
    // open on the same cell takes what is typed there instead.
    for (const auto& [name, kind] : editingKinds()) {
        SCOPED_TRACE(name);
        InactiveGrid s(kind);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&s.elsewhere));
        QList<QPointer<QWidget>> editors;
        for (int row : {1, 2, 2, 1}) {
            s.grid->SetFocusCell(row, 1);
            QTest::keyClick(s.grid, Qt::Key_F2);
            ASSERT_NE(s.grid->activeEditor(), nullptr);
            if (!editors.contains(s.grid->activeEditor()))
                editors << s.grid->activeEditor();
            EXPECT_EQ(s.openEditors(), 1) << "row " << row;
            if (auto* text = dynamic_cast<CGridInPlaceEdit*>(s.grid->activeEditor()))
                QTest::keyClicks(text, QString::number(row));
        }
        const bool text = dynamic_cast<CGridInPlaceEdit*>(editors.first().data());
        EXPECT_EQ(editors.size(), text ? 3 : 4) << "a text editor takes more typing";
        EXPECT_FALSE(s.grid->GetCell(2, 1)->IsEditing());
        if (text) {
            EXPECT_EQ(s.grid->GetItemText(2, 1), QStringLiteral("22")) << "kept when it ended";
        }
        s.clickInto(editors.first());
        EXPECT_TRUE(s.destroyAndMoveOn(editors));
        EXPECT_TRUE(s.owner.notices.empty()) << "nothing heard from a destroyed grid";
    }
}

TEST(GridEditors, NoEditorOutlivesItsGrid)
{
    // Editors opened by the cells themselves, beside each other: destroying
    // the grid ends every one, and the one with the focus, losing it as the
    // grid's window goes, reports nothing to the grid being destroyed.
    for (const auto& [name, kind] : editingKinds()) {
        SCOPED_TRACE(name);
        InactiveGrid s(kind);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&s.elsewhere));
        QList<QPointer<QWidget>> editors;
        for (int row : {1, 2}) {
            GridRect rect;
            ASSERT_TRUE(s.grid->CellRect(row, 1, &rect));
            ASSERT_TRUE(s.grid->GetCell(row, 1)->Edit(row, 1, rect, QPoint(-1, -1), 8, {}));
            editors << s.grid->activeEditor();
        }
        ASSERT_EQ(s.openEditors(), 2);
        s.clickInto(editors.first());
        EXPECT_TRUE(s.destroyAndMoveOn(editors));
        EXPECT_TRUE(s.owner.notices.empty()) << "nothing heard from a destroyed grid";
    }
}

TEST(GridEditors, AnEditorTheOwnerOpensAtTheEndStaysTheOnlyOne)
{
    // The owner, told that the open edit ended because another cell is to be
    // edited, opens an editor of its own: that one stays the only one.
    InactiveGrid s(gridCellClass<CGridCell>());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s.elsewhere));
    s.grid->SetFocusCell(1, 1);
    QTest::keyClicks(s.grid, QStringLiteral("x"));
    ASSERT_NE(s.grid->activeEditor(), nullptr);
    s.owner.answer = [&](int code, int row, int) {
        if (code == GVN_ENDLABELEDIT && row == 1)
            s.grid->OnEditCell(3, 2, QPoint(-1, -1), GridEditStart{});
        return 0L;
    };
    s.grid->OnEditCell(2, 1, QPoint(-1, -1), GridEditStart{});
    EXPECT_EQ(s.grid->GetItemText(1, 1), QStringLiteral("x"));
    EXPECT_EQ(s.openEditors(), 1);
    auto* open = dynamic_cast<GridEditor*>(s.grid->activeEditor());
    ASSERT_NE(open, nullptr);
    EXPECT_TRUE(open->row() == 3 && open->col() == 2);
}
