// Pagination and printing to PDF.

#include "grid/grid_ctrl.h"
#include "grid_pdf_text.h"
#include "grid_test_util.h"

#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace bc;
using bc::test::setUniformSizes;

TEST(GridPagination, TallRowsGetAPageAndPagesAcrossAreRowMajor)
{
    EXPECT_EQ(gridPageStarts({10, 10, 10, 10, 10}, 25), (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(gridPageStarts({10, 100, 10}, 25), (std::vector<int>{0, 1, 2})) << "a tall row has its own page";
    EXPECT_EQ(gridPageStarts({100, 10}, 25), (std::vector<int>{0, 1})) << "no empty first page";
    EXPECT_EQ(gridPageStarts({}, 25), (std::vector<int>{0}));
    EXPECT_EQ(gridPagePosition(3, 2), QPoint(1, 2)) << "page 3 of 4: second row of pages, first column";
    EXPECT_EQ(gridPagePosition(4, 2), QPoint(2, 2));
    EXPECT_EQ(gridPagePosition(1, 1), QPoint(1, 1));
}

TEST(GridPrinting, PdfHasThePagesAndTexts)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QWidget window;
    window.setWindowTitle(QStringLiteral("Attitudes"));
    CGridCtrl grid(81, 3, 1, 1, &window);
    setUniformSizes(grid, 80, 20);
    grid.SetItemText(0, 1, QStringLiteral("Depth"));
    for (int r = 1; r < 81; ++r)
        grid.SetItemText(r, 1, QStringLiteral("cell%1").arg(r));
    grid.ChangeRowHeight(40, 2000); // taller than a page
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = dir.filePath(QStringLiteral("grid.pdf"));
    printer.setOutputFileName(pdf);
    ASSERT_TRUE(grid.PrintGrid(printer));
    const CGridCtrl::PrintLayout& L = grid.printLayout();
    ASSERT_GE(L.pageCount, 3);
    EXPECT_EQ(bc::test::pdfPages(pdf), L.pageCount);
    const QString text = bc::test::run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("Page 1 of %1").arg(L.pageCount)));
    EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of %1").arg(L.pageCount)));
    EXPECT_TRUE(text.contains(QStringLiteral("Attitudes")));
    EXPECT_EQ(text.count(QStringLiteral("Depth")), L.pageCount) << "headings repeat on every page";
    EXPECT_TRUE(text.contains(QStringLiteral("cell40"))) << "the tall row is printed";
    for (int r = 1; r < 81; ++r)
        EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("\\bcell%1\\b").arg(r)))) << r;
}
