// The special cells and their editors.

#include "grid/grid_ctrl.h"
#include "grid/grid_typed_cells.h"
#include "grid_test_util.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

using namespace bc;
using bc::test::RecordingOwner;

namespace {

std::unique_ptr<CGridCtrl> makeGrid()
{
    return bc::test::makeGrid(6, 4, 1, 1, 80, 24, QSize(400, 250));
}

template <class Editor>
Editor* editorOf(const CGridCtrl& g)
{
    return dynamic_cast<Editor*>(g.activeEditor());
}

// Opens the editor of (row, col) as a typed character would.
void typeInto(CGridCtrl& g, int row, int col, const QString& typed)
{
    g.SetFocusCell(row, col);
    g.OnEditCell(row, col, QPoint(-1, -1), GridEditStart{0, typed});
}

} // namespace

TEST(GridNumericCells, FiltersAndClamps)
{
    auto grid = makeGrid();
    grid->ChangeCellClass(1, 1, gridCellClass<CGridCellUChar>());
    grid->ChangeCellClass(1, 2, gridCellClass<CGridCellDm>());
    grid->ChangeCellClass(1, 3, gridCellClass<CGridCellFloat>());
    grid->ChangeCellClass(2, 1, gridCellClass<CGridCellNumeric>());

    typeInto(*grid, 1, 1, QStringLiteral("3"));
    auto* edit = editorOf<CGridInPlaceEdit>(*grid);
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, QStringLiteral("-.0x0"));
    EXPECT_EQ(edit->text(), QStringLiteral("300")) << "digits only";
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(grid->GetItemText(1, 1), QStringLiteral("255"));
    typeInto(*grid, 1, 1, QStringLiteral("0"));
    QTest::keyClicks(editorOf<CGridInPlaceEdit>(*grid), QStringLiteral("07"));
    QTest::keyClick(editorOf<CGridInPlaceEdit>(*grid), Qt::Key_Return);
    EXPECT_EQ(grid->GetItemText(1, 1), QStringLiteral("7"));
    typeInto(*grid, 1, 1, QStringLiteral("0"));
    QTest::keyClick(editorOf<CGridInPlaceEdit>(*grid), Qt::Key_Return);
    EXPECT_EQ(grid->GetItemText(1, 1), QStringLiteral("0")) << "zero stays zero";

    typeInto(*grid, 1, 2, QStringLiteral("2"));
    QTest::keyClicks(editorOf<CGridInPlaceEdit>(*grid), QStringLiteral("5-.6.9"));
    EXPECT_EQ(editorOf<CGridInPlaceEdit>(*grid)->text(), QStringLiteral("25.69"));
    QTest::keyClick(editorOf<CGridInPlaceEdit>(*grid), Qt::Key_Return);
    EXPECT_EQ(grid->GetItemText(1, 2), QStringLiteral("25.5"));
    typeInto(*grid, 1, 2, QStringLiteral("3"));
    QTest::keyClicks(editorOf<CGridInPlaceEdit>(*grid), QStringLiteral(".14"));
    QTest::keyClick(editorOf<CGridInPlaceEdit>(*grid), Qt::Key_Return);
    EXPECT_EQ(grid->GetItemText(1, 2), QStringLiteral("3.1"));

    typeInto(*grid, 1, 3, QStringLiteral("-"));
    QTest::keyClicks(editorOf<CGridInPlaceEdit>(*grid), QStringLiteral("1.5.-+2"));
    EXPECT_EQ(editorOf<CGridInPlaceEdit>(*grid)->text(), QStringLiteral("-1.5+2")) << "a decimal takes its point";
    QTest::keyClick(editorOf<CGridInPlaceEdit>(*grid), Qt::Key_Escape);

    typeInto(*grid, 2, 1, QStringLiteral("+"));
    QTest::keyClicks(editorOf<CGridInPlaceEdit>(*grid), QStringLiteral("4.2+"));
    EXPECT_EQ(editorOf<CGridInPlaceEdit>(*grid)->text(), QStringLiteral("+42"));
    QTest::keyClick(editorOf<CGridInPlaceEdit>(*grid), Qt::Key_Return);
    EXPECT_EQ(grid->GetItemText(2, 1), QStringLiteral("+42"));

    // Text from an input method passes the same filter; a text cell takes it all.
    typeInto(*grid, 1, 2, QStringLiteral("1"));
    QInputMethodEvent composing(QStringLiteral("yi"), {});
    QApplication::sendEvent(editorOf<CGridInPlaceEdit>(*grid), &composing);
    QInputMethodEvent committed;
    committed.setCommitString(QStringLiteral("二.5a.6"));
    QApplication::sendEvent(editorOf<CGridInPlaceEdit>(*grid), &committed);
    EXPECT_EQ(editorOf<CGridInPlaceEdit>(*grid)->text(), QStringLiteral("1.56"));
    QTest::keyClick(editorOf<CGridInPlaceEdit>(*grid), Qt::Key_Escape);
    typeInto(*grid, 3, 1, QStringLiteral("a"));
    QApplication::sendEvent(editorOf<CGridInPlaceEdit>(*grid), &committed);
    EXPECT_EQ(editorOf<CGridInPlaceEdit>(*grid)->text(), QStringLiteral("a二.5a.6"));
    QTest::keyClick(editorOf<CGridInPlaceEdit>(*grid), Qt::Key_Escape);
}

TEST(GridNumericCells, NormalisedTexts)
{
    // Values far beyond any integer type still clamp.
    const struct {
        QString (*normalise)(const QString&);
        const char* in;
        const char* out;
    } rows[] = {{normaliseByteText, "300", "255"},       {normaliseByteText, "007", "7"},
                {normaliseByteText, "000", "0"},         {normaliseTenthsText, "25.54", "25.5"},
                {normaliseTenthsText, "25.6", "25.5"},   {normaliseTenthsText, "7", "7"},
                {normaliseTenthsText, "3.14", "3.1"},    {normaliseByteText, "99999999999999999999999", "255"},
                {normaliseTenthsText, "99999999999999999999999999999999", "25.5"}};
    for (const auto& r : rows)
        EXPECT_EQ(r.normalise(QString::fromLatin1(r.in)), QString::fromLatin1(r.out)) << r.in;
}

TEST(GridDateTimeCell, FormatsAndRoundTrip)
{
    CGridCellDateTime time(DTS_TIMEFORMAT);
    time.SetTime(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)));
    EXPECT_EQ(time.GetText(), QStringLiteral("07:08:09"));
    CGridCellDateTime date(DTS_SHORTDATEFORMAT);
    date.SetTime(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)));
    EXPECT_EQ(date.GetText(), QStringLiteral("05/03/2024"));

    auto grid = makeGrid();
    grid->ChangeCellClass(1, 1, [] { return std::unique_ptr<CGridCellBase>(new CGridCellDateTime(DTS_SHORTDATEFORMAT)); });
    auto* cell = dynamic_cast<CGridCellDateTime*>(grid->GetCell(1, 1));
    ASSERT_NE(cell, nullptr);
    cell->SetTime(QDateTime(QDate(2024, 3, 5), QTime(12, 0)));
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
    QImage img(grid->viewport()->size(), QImage::Format_RGB32);
    {
        QPainter p(&img);
        grid->OnDraw(&p, GridRect(0, 0, img.width(), img.height()));
    }
    const GridRect box = cell->boxRect();
    ASSERT_FALSE(box.IsRectEmpty());
    GridRect cellRect;
    grid->CellRect(2, 2, &cellRect);
    // Outside the box: nothing.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(cellRect.right - 3, box.top + 2));
    EXPECT_FALSE(cell->GetCheck());
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
    EXPECT_EQ(listHighlightColour(RGB(0x10, 0x80, 0xFF)), RGB(0x00, 0x6C, 0xEB)) << "no borrow between channels";

    auto grid = makeGrid();
    grid->ChangeCellClass(1, 1, gridCellClass<CGridCellCombo>());
    auto* combo = dynamic_cast<CGridCellCombo*>(grid->GetCell(1, 1));
    combo->SetOptions({QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma")});
    grid->SetItemText(1, 1, QStringLiteral("be"));
    grid->SetFocusCell(1, 1);
    QTest::keyClick(grid.get(), Qt::Key_F2);
    auto* list = editorOf<CGridInPlaceList>(*grid);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->currentText(), QStringLiteral("beta")) << "the first option beginning with the text";
    list->setCurrentIndex(2);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(grid->GetItemText(1, 1), QStringLiteral("gamma"));

    grid->ChangeCellClass(1, 2, gridCellClass<CGridCellCheckCombo>());
    auto* check = dynamic_cast<CGridCellCheckCombo*>(grid->GetCell(1, 2));
    check->SetOptions({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                       QStringLiteral("a rather long option name for the list")});
    grid->SetFocusCell(1, 2);
    QTest::keyClick(grid.get(), Qt::Key_F2);
    auto* checks = editorOf<CGridCheckComboList>(*grid);
    ASSERT_NE(checks, nullptr);
    EXPECT_LE(checks->droppedWidth(), 200);
    checks->showPopup();
    QAbstractItemView* view = checks->view();
    ASSERT_TRUE(view->isVisible());
    const QRect item = view->visualRect(checks->model()->index(2, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_TRUE(view->isVisible()) << "the list stays open while checking";
    checks->SetCheck(0, true);
    EXPECT_NE(checks->GetCheck(2), 0);
    checks->hidePopup();
    QTest::keyClick(checks, Qt::Key_Return);
    const QString joined = grid->GetItemText(1, 2);
    EXPECT_TRUE(joined.startsWith(QStringLiteral("a"))) << joined.toStdString();
    EXPECT_TRUE(joined.contains(QStringLiteral("c"))) << joined.toStdString();
    EXPECT_FALSE(joined.contains(QStringLiteral("b"))) << joined.toStdString();
}

TEST(GridUrlCell, DetectsPrefixesAndOpensOnlyTheClickedWord)
{
    for (const char* text : {"www.x.cn", "http://a", "mailto:me", "ftp:x", "https://b", "news:c", "gopher:d",
                             "telnet:e", "url:f", "file:g", "ftp.h"})
        EXPECT_TRUE(CGridURLCell::HasUrl(QString::fromLatin1(text))) << text;
    EXPECT_FALSE(CGridURLCell::HasUrl(QStringLiteral("WWW.X.CN plain")));

    QStringList opened;
    CGridURLCell::setLauncher([&](const QString& url) { opened << url; });
    auto grid = makeGrid();
    grid->ChangeColumnWidth(2, 300);
    grid->ChangeCellClass(1, 2, gridCellClass<CGridURLCell>());
    auto* cell = dynamic_cast<CGridURLCell*>(grid->GetCell(1, 2));
    grid->SetItemText(1, 2, QStringLiteral("see www.example.com now"));
    QImage img(grid->viewport()->size(), QImage::Format_RGB32);
    {
        QPainter p(&img);
        grid->OnDraw(&p, GridRect(0, 0, img.width(), img.height()));
    }
    const QFontMetrics fm(cell->GetFontObject());
    const int margin = int(cell->GetMargin());
    const int onUrl = margin + fm.horizontalAdvance(QStringLiteral("see www.exa"));
    const int onSee = margin + fm.horizontalAdvance(QStringLiteral("s"));
    EXPECT_EQ(cell->UrlUnderPoint(QPoint(onUrl, 5)), QStringLiteral("www.example.com"));
    EXPECT_EQ(cell->UrlUnderPoint(QPoint(onSee, 5)), QString());
    EXPECT_EQ(cell->UrlUnderPoint(QPoint(290, 5)), QString()) << "past the text";
    cell->OnClick(QPoint(onSee, 5));
    EXPECT_TRUE(opened.isEmpty());
    cell->OnClick(QPoint(onUrl, 5));
    EXPECT_EQ(opened, QStringList{QStringLiteral("www.example.com")});
    EXPECT_FALSE(cell->Edit(1, 2, GridRect(), QPoint(), 8, GridEditStart{}));
    CGridURLCell::setLauncher(nullptr);
}

TEST(GridEditors, TabCarriesTheEditOnInAnActiveWindow)
{
    // In an active window focus changes are real: Tab must neither walk the
    // window's focus chain nor be taken back by the grid from the next editor.
    const std::vector<std::pair<const char*, GridCellFactory>> kinds = {
        {"plain", gridCellClass<CGridCell>()},
        {"numeric", gridCellClass<CGridCellNumeric>()},
        {"list", gridCellClass<CGridCellCombo>()},
        {"check list", gridCellClass<CGridCellCheckCombo>()},
        {"date-time", gridCellClass<CGridCellDateTime>()},
    };
    for (const auto& [name, factory] : kinds) {
        QWidget window;
        auto* grid = new CGridCtrl(6, 4, 1, 1, &window);
        bc::test::setUniformSizes(*grid, 80, 24);
        grid->resize(400, 250);
        auto* elsewhere = new QLineEdit(&window); // a widget Tab could wander to
        elsewhere->move(0, 260);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        grid->ChangeCellClass(1, 1, factory);
        grid->SetFocusCell(1, 1);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_F2);
        QWidget* first = grid->activeEditor();
        ASSERT_NE(first, nullptr) << name;
        ASSERT_EQ(QApplication::focusWidget(), first) << name;
        QTest::keyClick(first, Qt::Key_Tab);
        EXPECT_EQ(grid->GetFocusCell(), CGridCellId(1, 2)) << name;
        QWidget* next = grid->activeEditor();
        ASSERT_NE(next, nullptr) << name << ": the edit goes on in the next cell";
        EXPECT_NE(next, first) << name;
        EXPECT_EQ(QApplication::focusWidget(), next) << name << ": the next editor keeps the keyboard";
        // A typed edit there ends with an arrow and goes on below.
        QTest::keyClicks(next, QStringLiteral("5"));
        QTest::keyClick(next, Qt::Key_Down, Qt::ControlModifier);
        EXPECT_EQ(grid->GetFocusCell(), CGridCellId(2, 2)) << name;
        EXPECT_EQ(QApplication::focusWidget(), grid->activeEditor()) << name;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_EQ(grid->activeEditor(), nullptr) << name;
        EXPECT_EQ(QApplication::focusWidget(), grid) << name << ": the grid has the keyboard back";
    }
}
