// Pagination, printing to PDF and delimited text files.

#include "grid/grid_ctrl.h"
#include "grid_pdf_text.h"
#include "grid_test_util.h"
#include "support/scripted_prompter.h"

#include <QFile>
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

TEST(GridTextFile, SavesExactBytes)
{
    QTemporaryDir dir;
    CGridCtrl grid(2, 3);
    grid.SetItemText(0, 0, QStringLiteral("a"));
    grid.SetItemText(0, 1, QStringLiteral("b"));
    grid.SetItemText(0, 2, QStringLiteral("c"));
    grid.SetItemText(1, 0, QStringLiteral("d"));
    grid.SetItemText(1, 1, QStringLiteral("e"));
    grid.SetItemText(1, 2, QStringLiteral("f"));
    const QString path = dir.filePath(QStringLiteral("g.csv"));
    ASSERT_TRUE(grid.SaveToTextFile(path, QLatin1Char(',')));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("a,b,c\r\nd,e,f\r\n"));

    bc::test::ScriptedPrompter prompter;
    EXPECT_FALSE(grid.SaveToTextFile(dir.filePath(QStringLiteral("missing/dir/g.csv"))));
    EXPECT_EQ(prompter.boxes.size(), 1u);
}

TEST(GridTextFile, LoadRulesLongLinesAndRoundTrip)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.txt"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray longField(5000, 'x');
        f.write("h1,h2,h3\r\nr1,a,b,dropped\r\nr2\r\nr3,," + longField + "\r\n\r\nr4,\xd6\xd0\xce\xc4,z,\r\n");
    }
    CGridCtrl grid(3, 3, 1, 1);
    ASSERT_TRUE(grid.LoadFromTextFile(path, QLatin1Char(',')));
    EXPECT_EQ(grid.GetColumnCount(), 3);
    EXPECT_EQ(grid.GetRowCount(), 5) << "headings plus four data lines; the blank line adds none";
    EXPECT_EQ(grid.GetFixedRowCount(), 0);
    EXPECT_EQ(grid.GetFixedColumnCount(), 0);
    EXPECT_EQ(grid.GetItemText(0, 1), QStringLiteral("h2"));
    EXPECT_EQ(grid.GetItemText(1, 0), QStringLiteral("r1"));
    EXPECT_EQ(grid.GetItemText(1, 2), QStringLiteral("b"));
    EXPECT_EQ(grid.GetItemText(2, 1), QString()) << "a one-field line leaves the rest empty";
    EXPECT_EQ(grid.GetItemText(3, 1), QString());
    EXPECT_EQ(grid.GetItemText(3, 2), QString(5000, QLatin1Char('x'))) << "a long line stays one row";
    EXPECT_EQ(grid.GetItemText(4, 1), QString::fromUtf8("中文"));
    EXPECT_TRUE(grid.IsCellModified(1, 2));
    EXPECT_TRUE(grid.IsCellModified(-1, -1));
    EXPECT_GT(grid.GetColumnWidth(2), 1000) << "columns are fitted to their contents";

    const QString out = dir.filePath(QStringLiteral("out.txt"));
    ASSERT_TRUE(grid.SaveToTextFile(out, QLatin1Char(';')));
    CGridCtrl again;
    ASSERT_TRUE(again.LoadFromTextFile(out, QLatin1Char(';')));
    ASSERT_EQ(again.GetRowCount(), grid.GetRowCount());
    for (int r = 0; r < grid.GetRowCount(); ++r)
        for (int c = 0; c < grid.GetColumnCount(); ++c)
            EXPECT_EQ(again.GetItemText(r, c), grid.GetItemText(r, c)) << r << "," << c;

    bc::test::ScriptedPrompter prompter;
    EXPECT_FALSE(again.LoadFromTextFile(dir.filePath(QStringLiteral("none.txt"))));
    EXPECT_EQ(again.GetRowCount(), grid.GetRowCount()) << "a missing file changes nothing";
    CGridCtrl virt;
    virt.ChangeVirtualMode(true);
    EXPECT_FALSE(virt.LoadFromTextFile(out));
}
