// The attitude list: rows and colours, edits, paste and cut, its menu, and
// the bar that holds it.

#include "analysis/shape_bar.h"
#include "analysis/shape_grid.h"
#include "analysis/unwrap_data.h"
#include "platform/file_opener.h"
#include "platform/text_codec.h"

#include <QApplication>
#include <QClipboard>
#include <QMainWindow>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

using namespace bc;

namespace {

// A data set whose attitudes carry the given ids, with their texts computed.
std::unique_ptr<CUnWrapData> shapesWithIds(std::initializer_list<int> ids)
{
    auto data = std::make_unique<CUnWrapData>(QString(), QString());
    float depth = 1000;
    for (int id : ids) {
        auto line = std::make_unique<CAttitudeLine>(id, CShapePoint(0.5f, depth),
                                                    CShapePoint(2.5f, depth + 80), 0, 1, 0x0000FF);
        line->UpdateAttitude(70, 0, 0, 0);
        line->SetDescription(QStringLiteral("描述%1").arg(id));
        data->AddShape(std::move(line));
        depth += 200;
    }
    return data;
}

struct ListFixture {
    std::unique_ptr<CUnWrapData> data;
    CShapeGrid grid;
    explicit ListFixture(std::initializer_list<int> ids, bool withData = true)
        : data(shapesWithIds(ids))
    {
        if (withData)
            grid.setDataSource([this] { return data.get(); });
        grid.resize(420, 200);
        grid.Setup();
        grid.FillFromData();
        grid.show();
        grid.UpdateScrollBars();
    }
    QPoint centre(int row, int col)
    {
        GridRect r;
        grid.CellRect(row, col, &r);
        return r.toQRect().center();
    }
    void doubleClick(int row, int col)
    {
        QWidget* vp = grid.viewport();
        const QPoint p = centre(row, col);
        QTest::mousePress(vp, Qt::LeftButton, {}, p);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, p);
        QTest::mouseDClick(vp, Qt::LeftButton, {}, p);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, p);
    }
    std::vector<int> numbers()
    {
        std::vector<int> out;
        for (int r = 1; r < grid.GetRowCount(); ++r)
            out.push_back(grid.GetItemText(r, 0).toInt());
        return out;
    }
};

} // namespace

TEST(ShapeGrid, RowsFollowTheAttitudesWithTheirColours)
{
    const COLORREF Y = CShapeGrid::kYellow, P = CShapeGrid::kPink;
    const struct {
        std::initializer_list<int> ids;
        bool withData;
        std::vector<COLORREF> colours; // columns 1 to 4 of each attitude row
    } rows[] = {{{}, true, {}}, {{1, 2, 3}, false, {}}, {{4, 5, 6}, true, {Y, P, Y}}};
    for (const auto& r : rows) {
        ListFixture f(r.ids, r.withData);
        ASSERT_EQ(f.grid.GetRowCount(), int(r.colours.size()) + 1);
        EXPECT_EQ(f.grid.GetItemText(0, 4), QStringLiteral("产状描述"));
        for (int i = 0; i < int(r.colours.size()); ++i) {
            for (int c = 0; c < 5; ++c) {
                const COLORREF want = c ? r.colours[size_t(i)] : CShapeGrid::kBlueGrey;
                EXPECT_EQ(
                    std::tuple(f.grid.GetItemText(i + 1, c), f.grid.GetItemBackColor(i + 1, c)),
                    std::tuple(f.data->GetShape(i)->GetText(ShapeText(c)), want))
                    << i << "," << c;
            }
        }
    }
}

TEST(ShapeGrid, DeletingByNumberKeepsTheColoursByPlace)
{
    ListFixture f({5, 7, 9});
    f.grid.DeleteRowByNumber(8);
    EXPECT_EQ(f.numbers(), (std::vector<int>{5, 7, 9})) << "no such number: nothing happens";
    f.grid.DeleteRowByNumber(7);
    EXPECT_EQ(f.numbers(), (std::vector<int>{5, 9}));
    EXPECT_EQ(std::tuple(f.grid.GetItemBackColor(2, 3), f.grid.GetItemBackColor(2, 0)),
              std::tuple(CShapeGrid::kPink, CShapeGrid::kBlueGrey))
        << "9 moved up to an even row";

    // Removing the last row leaves the others' colours as they are.
    f.grid.SetItemBackColor(1, 2, CShapeGrid::kGrey);
    f.grid.DeleteRowByNumber(9);
    EXPECT_EQ(f.numbers(), (std::vector<int>{5}));
    EXPECT_EQ(f.grid.GetItemBackColor(1, 2), CShapeGrid::kGrey);

    f.grid.SelectRowByNumber(5);
    EXPECT_EQ(f.grid.SelectionRange(), CGridCellRange(1, 0, 1, 4));
}

TEST(ShapeGrid, TypedEditsReachTheAttitudeOnlyWhenChanged)
{
    const struct {
        int col;
        bool withData;
        QString typed; // empty: the cell's own text is confirmed
        bool editor;
    } rows[] = {
        {0, true, {}, false},
        {4, false, {}, false},
        {4, true, {}, true},
        {2, true, QStringLiteral("123°"), true},
        {4, true, QStringLiteral("泥质充填"), true},
    };
    for (const auto& r : rows) {
        ListFixture f({1, 2}, r.withData);
        CAttitudeShape* shape = f.data->GetShape(1);
        // The attitude's own text differs from the cell, so a write-back of
        // the cell's unchanged text would show.
        shape->SetText(ShapeText(r.col), QStringLiteral("own"));
        f.doubleClick(2, r.col);
        auto* edit = qobject_cast<QLineEdit*>(f.grid.activeEditor());
        ASSERT_EQ(edit != nullptr, r.editor) << "column " << r.col;
        if (!edit)
            continue;
        if (!r.typed.isEmpty())
            edit->setText(r.typed);
        QTest::keyClick(edit, Qt::Key_Return);
        const QString after = r.typed.isEmpty() ? QStringLiteral("own") : r.typed;
        EXPECT_EQ(shape->GetText(ShapeText(r.col)), after);
        if (!r.typed.isEmpty()) {
            EXPECT_EQ(f.grid.GetItemText(2, r.col), r.typed);
        }
    }
}

TEST(ShapeGrid, PasteAndCutPassTheSameChecksAsTyping)
{
    const QString longText(300, QChar(0x5CA9));
    const struct {
        int col;
        bool cut; // else paste
        QString clip;
        QString cellAfter; // empty: the cell keeps its text
    } rows[] = {
        {0, false, QStringLiteral("42"), {}},
        {0, false, QStringLiteral("42\tx"), {}},
        {0, true, {}, {}},
        {3, false, QStringLiteral("77°"), QStringLiteral("77°")},
        {4, false, longText, longText.left(124)},
    };
    for (const auto& r : rows) {
        ListFixture f({3});
        const QString before = f.grid.GetItemText(1, r.col);
        const QString dataTextBefore = f.data->GetShape(0)->GetText(ShapeText(r.col));
        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, f.centre(1, r.col));
        if (r.cut) {
            f.grid.CutToClipboard();
        } else {
            QApplication::clipboard()->setText(r.clip);
            f.grid.PasteFromClipboard();
        }
        const QString cell = f.grid.GetItemText(1, r.col);
        EXPECT_EQ(cell, r.cellAfter.isEmpty() ? before : r.cellAfter) << r.col;
        EXPECT_EQ(f.data->GetShape(0)->GetText(ShapeText(r.col)),
                  r.cellAfter.isEmpty() ? dataTextBefore : cell);
        EXPECT_LE(toGbk(cell).size(), kShapeTextMaxGbkBytes);
        EXPECT_EQ(f.grid.GetItemText(1, 1), f.data->GetShape(0)->GetText(TextDepthRange));
    }
}

TEST(ShapeGrid, MenuHasItsOneEntryAndExportsOnlyAttitudes)
{
    int exported = 0;
    const FileOpener previous = setFileOpener([&](const QString& path) {
        exported += path.endsWith(QLatin1String(".xlsx"));
        return true;
    });
    for (const bool withShapes : {false, true}) {
        ListFixture f(withShapes ? std::initializer_list<int>{1} : std::initializer_list<int>{});
        QTest::mousePress(f.grid.viewport(), Qt::RightButton, {}, QPoint(30, 10));
        QTest::mouseRelease(f.grid.viewport(), Qt::RightButton, {}, QPoint(30, 10));
        auto* menu = f.grid.findChild<QMenu*>();
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("导出到Excel"));
        menu->actions()[0]->trigger();
        menu->close();
        EXPECT_EQ(exported, withShapes ? 1 : 0);
    }
    setFileOpener(previous);
}

TEST(ShapeBar, HoldsTheListBelowItsCaption)
{
    auto data = shapesWithIds({1, 2});
    QMainWindow frame;
    auto* bar = new CShapeBar(
        QStringLiteral("产状列表"), [&] { return data.get(); }, &frame);
    frame.setCentralWidget(new QWidget(&frame));
    frame.addDockWidget(Qt::RightDockWidgetArea, bar);
    frame.resize(700, 400);
    frame.show();
    QApplication::processEvents();
    EXPECT_EQ(bar->grid()->GetRowCount(), 3);
    EXPECT_GE(bar->grid()->mapTo(bar, QPoint(0, 0)).y(), CBaseCoolBar::kCaptionThickness);
}
