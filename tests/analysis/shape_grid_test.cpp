// The attitude list in its bar: rows, colours, edits, pastes and its menu.

#include "analysis/shape_bar.h"
#include "analysis/shape_grid.h"
#include "analysis/unwrap_data.h"
#include "platform/file_opener.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QTest>

#include <functional>
#include <numeric>

#include <gtest/gtest.h>

using namespace bc;

namespace {

// The list in its bar, built as the frame builds it, over attitudes with the given ids.
struct List {
    CUnWrapData data{QString(), QString()};
    QMainWindow frame;
    CShapeGrid* grid;
    explicit List(const std::vector<int>& ids, bool withData = true)
    {
        for (int id : ids) {
            auto line = std::make_unique<CAttitudeLine>(id, CShapePoint(0.5f, 1000.0f + id),
                                                        CShapePoint(2.5f, 1090), 0, 1, 255);
            line->UpdateAttitude(70, 0, 0, 0);
            data.AddShape(std::move(line));
        }
        auto* bar = new CShapeBar(
            "产状列表", [=, this] { return withData ? &data : nullptr; }, &frame);
        frame.setCentralWidget(new QWidget(&frame));
        frame.addDockWidget(Qt::RightDockWidgetArea, bar);
        frame.resize(900, 300);
        frame.show();
        grid = bar->grid();
    }
    // The frame active, as under the user's hand: the list has the keyboard.
    void activate()
    {
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    }
    QPoint at(int row, int col) const
    {
        GridRect r;
        grid->CellRect(row, col, &r);
        return r.toQRect().center();
    }
};

void commit(QObject* to, const QString& text)
{
    QInputMethodEvent e;
    e.setCommitString(text);
    QCoreApplication::sendEvent(to, &e);
}

struct EventHook : QObject {
    std::function<void(QObject*, QEvent*)> f;
    explicit EventHook(std::function<void(QObject*, QEvent*)> hook) : f(std::move(hook)) { qApp->installEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override { return f(o, e), false; }
};

} // namespace

TEST(ShapeGrid, RowsFollowTheAttitudesAndKeepTheirColoursByPlace)
{
    EXPECT_EQ(List({}).grid->GetRowCount(), 1);
    EXPECT_EQ(List({1, 2}, false).grid->GetRowCount(), 1) << "no data set";
    List l({5, 7, 9});
    EXPECT_GE(l.grid->mapTo(l.grid->parentWidget(), QPoint()).y(), CBaseCoolBar::kCaptionThickness);
    for (int r = 1; r <= 3; ++r) {
        EXPECT_EQ(l.grid->GetItemBackColor(r, 0), CShapeGrid::kBlueGrey);
        for (int c = 1; c < 5; ++c) {
            EXPECT_EQ(l.grid->GetItemBackColor(r, c),
                      r == 2 ? CShapeGrid::kPink : CShapeGrid::kYellow);
            EXPECT_EQ(l.grid->GetItemText(r, c), l.data.GetShape(r - 1)->GetText(ShapeText(c)));
        }
    }
    for (int i = 0; i < 2; ++i) // header clicks sort nothing: rows stay in attitude order
        QTest::mouseClick(l.grid->viewport(), Qt::LeftButton, {}, l.at(0, 0));
    EXPECT_EQ(l.grid->GetItemText(1, 0), "5");
    l.grid->DeleteRowByNumber(7);
    EXPECT_EQ(l.grid->GetItemText(2, 0), "9");
    EXPECT_EQ(l.grid->GetItemBackColor(2, 3), CShapeGrid::kPink) << "9 moved up to an even row";
    l.grid->SetItemBackColor(1, 2, CShapeGrid::kGrey);
    l.grid->DeleteRowByNumber(9);
    EXPECT_EQ(l.grid->GetRowCount(), 2);
    EXPECT_EQ(l.grid->GetItemBackColor(1, 2), CShapeGrid::kGrey) << "no re-colouring";
}

TEST(ShapeGrid, EditsReachTheAttitudeOnlyFromColumnsOneToFourAndWhenChanged)
{
    const QString longText(300, QChar(0x5CA9));
    // how: 0 double click and Return, 1 paste, 2 cut; "" keeps the cell's text.
    const struct {
        int how, col;
        bool withData;
        QString input, after;
    } rows[] = {
        {0, 0, true, "9", ""},
        {0, 4, false, "9", ""},
        {0, 4, true, "", ""},
        {0, 2, true, "12°", "12°"},
        {1, 0, true, "42\tx", ""},
        {1, 3, true, "7°", "7°"},
        {1, 4, true, longText, longText.left(124)},
        {2, 0, true, "", ""},
    };
    for (const auto& r : rows) {
        List l({1}, r.withData);
        CAttitudeShape* shape = l.data.GetShape(0);
        // The attitude's text differs from the cell's: a write-back of an unchanged cell shows.
        shape->SetText(ShapeText(r.col), "own");
        const QString before = l.grid->GetItemText(1, r.col);
        QWidget* vp = l.grid->viewport();
        QTest::mouseClick(vp, Qt::LeftButton, {}, l.at(1, r.col));
        if (r.how == 0) {
            QTest::mouseClick(vp, Qt::LeftButton, {}, l.at(1, r.col));
            QTest::mouseDClick(vp, Qt::LeftButton, {}, l.at(1, r.col));
            QTest::mouseRelease(vp, Qt::LeftButton, {}, l.at(1, r.col));
            auto* edit = qobject_cast<QLineEdit*>(l.grid->activeEditor());
            ASSERT_EQ(edit != nullptr, r.col > 0 && r.withData) << r.col;
            if (!edit)
                continue;
            if (!r.input.isEmpty())
                edit->setText(r.input);
            QTest::keyClick(edit, Qt::Key_Return);
        } else if (r.how == 1) {
            QApplication::clipboard()->setText(r.input);
            l.grid->PasteFromClipboard();
        } else {
            l.grid->CutToClipboard();
        }
        const QString after = r.after.isEmpty() ? before : r.after;
        EXPECT_EQ(l.grid->GetItemText(1, r.col), after) << r.how << r.col;
        EXPECT_EQ(shape->GetText(ShapeText(r.col)), r.after.isEmpty() ? "own" : after);
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
        List l(withShapes ? std::initializer_list<int>{1} : std::initializer_list<int>{});
        QTest::mouseClick(l.grid->viewport(), Qt::RightButton, {}, QPoint(30, 10));
        auto* menu = l.grid->findChild<QMenu*>();
        ASSERT_TRUE(menu && menu->actions().size() == 1);
        EXPECT_EQ(menu->actions()[0]->text(), "导出到Excel");
        menu->actions()[0]->trigger();
        EXPECT_EQ(exported, withShapes ? 1 : 0);
    }
    setFileOpener(previous);
}

// With 46 rows the list has a vertical scroll bar: a double click on a
// description scrolls only as far as the cell shows whole.
TEST(ShapeGrid, EditingADescriptionScrollsOnlyAsFarAsItNeeds)
{
    std::vector<int> ids(46);
    std::iota(ids.begin(), ids.end(), 1);
    List l(ids);
    QWidget* vp = l.grid->viewport();
    ASSERT_LT(vp->width(), l.grid->TotalColumnWidth());
    const QPoint p = l.at(3, 4);
    QTest::mousePress(vp, Qt::LeftButton, {}, p);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, p);
    QTest::mouseDClick(vp, Qt::LeftButton, {}, p);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, p);
    ASSERT_NE(l.grid->activeEditor(), nullptr);
    GridRect cell;
    l.grid->CellRect(3, 4, &cell);
    EXPECT_EQ(std::tuple(l.grid->activeEditor()->geometry(), cell.right),
              std::tuple(cell.toQRect(), vp->width() - 1));
    EXPECT_EQ(l.grid->CellFromPoint(QPoint(0, p.y())), CGridCellId(3, 0)) << "the ID column stays";
}

TEST(ShapeGrid, InputMethodTextOpensOneEditorHoldingItOnce)
{
    // While the editor opens (shown, then focused), the input method commits
    // the same text again to the list, still or just no longer its focus object.
    for (const QEvent::Type stage : {QEvent::Show, QEvent::FocusIn}) {
        List l({1, 2});
        l.activate();
        QTest::mouseClick(l.grid->viewport(), Qt::LeftButton, {}, l.at(2, 4));
        int opened = 0;
        {
            EventHook again([&](QObject* o, QEvent* e) {
                if (e->type() == stage && o->parent() == l.grid->viewport() && ++opened < 20)
                    commit(l.grid, "裂隙"); // bounded: a faulty list would recurse for ever
            });
            commit(QApplication::focusObject(), "裂隙");
        }
        EXPECT_EQ(opened, 1) << stage;
        auto* edit = qobject_cast<QLineEdit*>(l.grid->activeEditor());
        ASSERT_TRUE(edit && edit->hasFocus()) << stage;
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_EQ(l.data.GetShape(1)->GetText(ShapeText(4)), "裂隙");
    }
}

// A cut-off text shows whole in a tip over its cell. Where the window system
// gives the pointer to the tip, the list hears it leave; the tip stays while
// the pointer is over the cell and passes the click on to it.
TEST(ShapeGrid, CutOffTextShowsWholeInATitleTipThatPassesTheMouseOn)
{
    List l({1, 2});
    l.activate();
    const QString description = QStringLiteral("节理3张开，充填泥质，延伸至下一回次");
    l.grid->SetItemText(1, 4, description);
    QWidget* vp = l.grid->viewport();
    ZTitleTip* tip = l.grid->titleTip();
    QTest::mouseMove(vp, l.at(1, 4));
    ASSERT_TRUE(tip->isVisible());
    GridRect cell;
    l.grid->CellRect(1, 4, &cell);
    EXPECT_EQ(std::tuple(tip->shownText().trimmed(), tip->pos()),
              std::tuple(description, vp->mapToGlobal(QPoint(cell.left, cell.top))));

    const QPoint global = vp->mapToGlobal(l.at(1, 4));
    QCursor::setPos(global);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(vp, &leave);
    QTest::mouseMove(tip, tip->mapFromGlobal(global + QPoint(3, 0)));
    EXPECT_TRUE(tip->isVisible()) << "the pointer is still over the cell";
    QTest::mouseClick(tip, Qt::LeftButton, {}, tip->mapFromGlobal(global));
    EXPECT_FALSE(tip->isVisible());
    EXPECT_EQ(std::tuple(l.grid->GetFocusCell(), l.grid->GetMouseMode(), QWidget::mouseGrabber()),
              std::tuple(CGridCellId(1, 4), MOUSE_NOTHING, nullptr))
        << "the click and its release reached the cell";
}
