// Where an input method shows its composition and candidates for the grid:
// beside the focused cell, which takes the text, wherever that cell is.

#include "grid_test_util.h"

#include <QApplication>
#include <QInputMethodQueryEvent>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace bc;

TEST(GridInputMethod, CursorRectangleIsTheFocusedCell)
{
    auto grid = test::makeGrid(40, 8, 1, 1, 60, 20, QSize(300, 200));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
    grid->setFocus();
    const struct {
        int row, col;
        int scrollDown; // rows scrolled before the click
    } cases[] = {{1, 1, 0}, {5, 3, 0}, {30, 2, 25}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.row << "," << c.col);
        grid->verticalScrollBar()->setValue(c.scrollDown);
        GridRect cell;
        ASSERT_TRUE(grid->CellRect(c.row, c.col, &cell));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.toQRect().center());
        ASSERT_EQ(grid->GetFocusCell(), CGridCellId(c.row, c.col));
        ASSERT_TRUE(grid->CellRect(c.row, c.col, &cell)); // the click may scroll it whole
        const QRect onViewport = cell.toQRect();

        QInputMethodQueryEvent query(Qt::ImCursorRectangle);
        QApplication::sendEvent(grid.get(), &query);
        const QRect cursor = query.value(Qt::ImCursorRectangle).toRect();
        const QRect onGrid = onViewport.translated(grid->viewport()->pos());
        EXPECT_TRUE(onGrid.adjusted(-1, -1, 1, 1).contains(cursor))
            << "cursor " << cursor.x() << "," << cursor.y() << " " << cursor.width() << "x"
            << cursor.height() << " outside the cell";
    }
}
