// Grid printing beyond the basics: page breaks with hidden rows and no room,
// pages across with the fixed column on each, each page's own rows, merged
// cells, fonts at any printer resolution, and a printer that cannot start.

#include "grid/grid_ctrl.h"
#include "grid_pdf_text.h"

#include <QFile>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace bc {
namespace {

using test::pdfPages;
using test::pdfPageText;
using test::run;

TEST(GridPageBreaks, HiddenRowsAndNoRoom)
{
    // Zero-height (hidden) rows never break a page on their own.
    EXPECT_EQ(gridPageStarts({100, 0, 0, 1}, 100), (std::vector<int>{0, 3}));
    EXPECT_EQ(gridPageStarts({0, 500, 30}, 100), (std::vector<int>{0, 2}));
    // No room at all: one row per page, never an endless or empty page.
    EXPECT_EQ(gridPageStarts({10, 10, 10}, -50), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(gridPageStarts({10, 10, 10}, 0), (std::vector<int>{0, 1, 2}));
    // Exactly full pages break after the last row that fits.
    EXPECT_EQ(gridPageStarts({40, 40, 20, 60, 40}, 100), (std::vector<int>{0, 3}));
}

// Height in points of the first printed word `word`, or -1.
double pdfWordHeight(const QString& file, const QString& word)
{
    const QString html = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    const QRegularExpression re(QStringLiteral("yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" yMax=\"([0-9.]+)\">%1<")
                                    .arg(QRegularExpression::escape(word)));
    const QRegularExpressionMatch m = re.match(html);
    return m.hasMatch() ? m.captured(2).toDouble() - m.captured(1).toDouble() : -1;
}

class GridPrintPages : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QWidget window;
    CGridCtrl* grid = nullptr;

    void SetUp() override
    {
        window.setWindowTitle(QStringLiteral("Attitude list"));
        grid = new CGridCtrl(0, 0, 0, 0, &window);
    }

    void fill(int rows, int cols)
    {
        grid->ChangeColumnCount(cols);
        grid->ChangeRowCount(rows);
        grid->ChangeFixedRowCount(1);
        grid->ChangeFixedColumnCount(1);
        for (int c = 0; c < cols; ++c)
            grid->SetItemText(0, c, QStringLiteral("Head%1").arg(c));
        for (int r = 1; r < rows; ++r) {
            grid->SetItemText(r, 0, QStringLiteral("Row%1").arg(r));
            for (int c = 1; c < cols; ++c)
                grid->SetItemText(r, c, QStringLiteral("v%1x%2").arg(r).arg(c));
        }
        for (int c = 0; c < cols; ++c)
            grid->ChangeColumnWidth(c, 80);
        for (int r = 0; r < rows; ++r)
            grid->ChangeRowHeight(r, 20);
    }

    std::unique_ptr<QPrinter> pdfPrinter(const char* name,
                                         QPrinter::PrinterMode mode = QPrinter::HighResolution)
    {
        auto printer = std::make_unique<QPrinter>(mode);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setPageSize(QPageSize(QPageSize::A4));
        printer->setOutputFileName(dir.filePath(QString::fromLatin1(name)));
        return printer;
    }

    // First row and column of a page, from the layout of the last job.
    CGridCellId pageOrigin(int page) const
    {
        const CGridCtrl::PrintLayout& l = grid->printLayout();
        const QPoint at = gridPagePosition(page, l.pagesAcross);
        return {grid->GetFixedRowCount() + l.rowStarts[std::size_t(at.y() - 1)],
                grid->GetFixedColumnCount() + l.colStarts[std::size_t(at.x() - 1)]};
    }
};

TEST_F(GridPrintPages, EachPageHoldsItsOwnRowsUnderRepeatedHeadings)
{
    fill(150, 4);
    grid->SetItemText(0, 0, QStringLiteral("Corner"));
    auto device = pdfPrinter("rows.pdf");
    ASSERT_TRUE(grid->PrintGrid(*device));
    const CGridCtrl::PrintLayout& l = grid->printLayout();
    EXPECT_EQ(l.pagesAcross, 1) << "fitted to the width, only rows break";
    const int pages = l.pageCount;
    ASSERT_GE(pages, 2);
    const QString file = device->outputFileName();
    ASSERT_EQ(pdfPages(file), pages);
    for (int page = 1; page <= pages; ++page) {
        SCOPED_TRACE(page);
        const QString text = pdfPageText(file, page);
        EXPECT_TRUE(text.contains(QStringLiteral("Attitude list")));
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of %2").arg(page).arg(pages)));
        EXPECT_TRUE(text.contains(QStringLiteral("Corner")));
        EXPECT_TRUE(text.contains(QStringLiteral("Head3")));
        const int first = pageOrigin(page).row;
        EXPECT_TRUE(text.contains(QStringLiteral("Row%1 ").arg(first)));
        EXPECT_TRUE(text.contains(QStringLiteral("v%1x3").arg(first)));
        EXPECT_FALSE(text.contains(QStringLiteral("v%1x1 ").arg(first - 1)));
        if (page < pages) {
            const int next = pageOrigin(page + 1).row;
            EXPECT_TRUE(text.contains(QStringLiteral("v%1x1").arg(next - 1)));
            EXPECT_FALSE(text.contains(QStringLiteral("v%1x1 ").arg(next)));
        }
    }
}

TEST_F(GridPrintPages, ToScalePrintsPagesAcrossWithTheFixedColumnOnEach)
{
    fill(80, 12);
    grid->SetPrintToScale(true);
    auto device = pdfPrinter("across.pdf");
    ASSERT_TRUE(grid->PrintGrid(*device));
    const CGridCtrl::PrintLayout& l = grid->printLayout();
    ASSERT_GE(l.pagesAcross, 2);
    ASSERT_GE(l.pagesDown, 2);
    const QString file = device->outputFileName();
    ASSERT_EQ(pdfPages(file), l.pageCount);
    // The second page across starts at its own column and still shows the
    // row headings and the corner.
    const QString second = pdfPageText(file, 2);
    const int col = pageOrigin(2).col;
    EXPECT_GT(col, 1);
    EXPECT_TRUE(second.contains(QStringLiteral("Head%1").arg(col)));
    EXPECT_TRUE(second.contains(QStringLiteral("v1x%1").arg(col)));
    EXPECT_FALSE(second.contains(QStringLiteral("v1x1 ")));
    EXPECT_TRUE(second.contains(QStringLiteral("Row1 ")));
    EXPECT_TRUE(second.contains(QStringLiteral("Head0")));
    // The page after the last across is the second row of pages, first column.
    const int next = l.pagesAcross + 1;
    const QString below = pdfPageText(file, next);
    EXPECT_TRUE(below.contains(QStringLiteral("Page %1 of %2").arg(next).arg(l.pageCount)));
    EXPECT_EQ(pageOrigin(next).col, 1);
    EXPECT_TRUE(below.contains(QStringLiteral("v%1x1").arg(pageOrigin(next).row)));
    EXPECT_TRUE(below.contains(QStringLiteral("Head1")));
}

TEST_F(GridPrintPages, RowTallerThanThePageStandsAloneOnItsPage)
{
    fill(6, 3);
    grid->ChangeRowHeight(3, 20000);
    grid->SetItemText(3, 1, QStringLiteral("TallCell"));
    auto device = pdfPrinter("tall.pdf");
    ASSERT_TRUE(grid->PrintGrid(*device));
    const CGridCtrl::PrintLayout& l = grid->printLayout();
    ASSERT_EQ(l.rowStarts, (std::vector<int>{0, 2, 3}));
    const QString file = device->outputFileName();
    ASSERT_EQ(pdfPages(file), 3);
    const QString tall = pdfPageText(file, 2);
    EXPECT_TRUE(tall.contains(QStringLiteral("TallCell")));
    EXPECT_TRUE(tall.contains(QStringLiteral("Page 2 of 3")));
    EXPECT_FALSE(tall.contains(QStringLiteral("Row2")));
    EXPECT_FALSE(tall.contains(QStringLiteral("Row4")));
    EXPECT_TRUE(pdfPageText(file, 3).contains(QStringLiteral("Row5")));
}

TEST_F(GridPrintPages, MergedCellPrintsOnceAndCoveredCellsNotAtAll)
{
    fill(5, 4);
    grid->SetItemText(2, 1, QStringLiteral("MergedOwner"));
    grid->SetItemText(2, 2, QStringLiteral("CoveredText"));
    ASSERT_TRUE(grid->MergeCells(2, 1, 3, 2));
    auto device = pdfPrinter("merge.pdf");
    ASSERT_TRUE(grid->PrintGrid(*device));
    const QString text = pdfPageText(device->outputFileName(), 1);
    EXPECT_EQ(text.count(QStringLiteral("MergedOwner")), 1);
    EXPECT_FALSE(text.contains(QStringLiteral("CoveredText")));
    EXPECT_TRUE(text.contains(QStringLiteral("v4x2")));
}

TEST_F(GridPrintPages, PointSizedFontsPrintAlikeAtAnyResolution)
{
    fill(4, 3);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(12);
    grid->SetItemFont(2, 1, &font);
    grid->SetItemText(2, 1, QStringLiteral("Sized"));
    auto screen = pdfPrinter("screen.pdf", QPrinter::ScreenResolution);
    auto high = pdfPrinter("high.pdf", QPrinter::HighResolution);
    ASSERT_TRUE(grid->PrintGrid(*screen));
    ASSERT_TRUE(grid->PrintGrid(*high));
    const double atScreen = pdfWordHeight(screen->outputFileName(), QStringLiteral("Sized"));
    const double atHigh = pdfWordHeight(high->outputFileName(), QStringLiteral("Sized"));
    ASSERT_GT(atScreen, 0);
    ASSERT_GT(atHigh, 0);
    EXPECT_NEAR(atHigh / atScreen, 1.0, 0.15);
    // And larger than the 10-pixel texts of the other cells.
    EXPECT_GT(atHigh, pdfWordHeight(high->outputFileName(), QStringLiteral("v1x1")));
}

TEST_F(GridPrintPages, PrinterThatCannotStartPrintsNothing)
{
    fill(3, 3);
    QPrinter device(QPrinter::HighResolution);
    device.setOutputFormat(QPrinter::PdfFormat);
    device.setOutputFileName(dir.filePath(QStringLiteral("no/such/folder/x.pdf")));
    EXPECT_FALSE(grid->PrintGrid(device));
    EXPECT_FALSE(QFile::exists(device.outputFileName()));
}

TEST(GridPrintMargins, NegativeValuesKeepTheCurrentOnes)
{
    CGridCtrl g;
    int h, f, l, r, t, b, gap;
    g.SetPrintMargins(3, -1, 0, -1, 7, -5, 2);
    g.GetPrintMargins(&h, &f, &l, &r, &t, &b, &gap);
    EXPECT_EQ((std::vector<int>{h, f, l, r, t, b, gap}), (std::vector<int>{3, 2, 0, 4, 7, 1, 2}));
}

} // namespace
} // namespace bc
