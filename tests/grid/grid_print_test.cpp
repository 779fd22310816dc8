// Grid printing: page breaks, pages across with the fixed column on each,
// each page's own rows under repeated headings, merged cells, fonts at any
// printer resolution, and a printer that cannot start. What a printed grid
// put in its PDF is read back through the poppler tools.

#include "grid/grid_ctrl.h"

#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace bc {
namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of each page; pdftotext ends every page with a form feed.
QStringList pdfPages(const QString& file)
{
    QStringList pages =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")})
            .split(QLatin1Char('\f'));
    pages.removeLast();
    return pages;
}

// Height in points of the first printed word `word`, or -1.
double pdfWordHeight(const QString& file, const QString& word)
{
    const QString html =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    const QRegularExpression re(
        QStringLiteral("yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" yMax=\"([0-9.]+)\">%1<")
            .arg(QRegularExpression::escape(word)));
    const QRegularExpressionMatch m = re.match(html);
    return m.hasMatch() ? m.captured(2).toDouble() - m.captured(1).toDouble() : -1;
}

TEST(GridPageBreaks, TallHiddenAndNoRoom)
{
    const struct {
        std::vector<int> sizes;
        int usable;
        std::vector<int> starts;
    } rows[] = {
        {{10, 10, 10, 10, 10}, 25, {0, 2, 4}},
        {{10, 100, 10}, 25, {0, 1, 2}}, // a tall row has its own page
        {{100, 10}, 25, {0, 1}},        // no empty first page
        {{}, 25, {0}},
        {{100, 0, 0, 1}, 100, {0, 3}}, // hidden rows never break a page on their own
        {{0, 500, 30}, 100, {0, 2}},
        {{10, 10, 10}, -50, {0, 1, 2}},      // no room: one row per page
        {{40, 40, 20, 60, 40}, 100, {0, 3}}, // a full page breaks after its last row
    };
    for (const auto& r : rows)
        EXPECT_EQ(gridPageStarts(r.sizes, r.usable), r.starts) << r.sizes.size() << " " << r.usable;
    EXPECT_EQ(gridPagePosition(3, 2), QPoint(1, 2))
        << "page 3 of 4: second row of pages, first column";
    EXPECT_EQ(gridPagePosition(4, 2), QPoint(2, 2));
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
        for (int c = 0; c < cols; ++c) {
            grid->SetItemText(0, c, QStringLiteral("Head%1").arg(c));
            grid->ChangeColumnWidth(c, 80);
        }
        for (int r = 0; r < rows; ++r) {
            grid->ChangeRowHeight(r, 20);
            if (r > 0)
                grid->SetItemText(r, 0, QStringLiteral("Row%1").arg(r));
            for (int c = 1; c < cols && r > 0; ++c)
                grid->SetItemText(r, c, QStringLiteral("v%1x%2").arg(r).arg(c));
        }
    }

    // Prints to a PDF named `name` and returns its path, empty on failure.
    QString print(const char* name, QPrinter::PrinterMode mode = QPrinter::HighResolution)
    {
        QPrinter printer(mode);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setOutputFileName(dir.filePath(QString::fromLatin1(name)));
        return grid->PrintGrid(printer) ? printer.outputFileName() : QString();
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
    const QString file = print("rows.pdf");
    const CGridCtrl::PrintLayout& l = grid->printLayout();
    EXPECT_EQ(l.pagesAcross, 1) << "fitted to the width, only rows break";
    const int pages = l.pageCount;
    ASSERT_GE(pages, 2);
    const QStringList texts = pdfPages(file);
    ASSERT_EQ(texts.size(), pages);
    for (int page = 1; page <= pages; ++page) {
        SCOPED_TRACE(page);
        const QString& text = texts[page - 1];
        for (const QString& s :
             {QStringLiteral("Attitude list"), QStringLiteral("Page %1 of %2").arg(page).arg(pages),
              QStringLiteral("Corner"), QStringLiteral("Head3")})
            EXPECT_TRUE(text.contains(s)) << s.toStdString();
        const int first = pageOrigin(page).row;
        EXPECT_TRUE(text.contains(QStringLiteral("Row%1 ").arg(first)));
        EXPECT_TRUE(text.contains(QStringLiteral("v%1x3").arg(first)));
        EXPECT_FALSE(text.contains(QStringLiteral("v%1x1 ").arg(first - 1)));
        const int next = page < pages ? pageOrigin(page + 1).row : 150;
        EXPECT_TRUE(text.contains(QStringLiteral("v%1x1").arg(next - 1)));
        EXPECT_FALSE(text.contains(QStringLiteral("v%1x1 ").arg(next)));
    }
}

TEST_F(GridPrintPages, ToScalePrintsPagesAcrossWithTheFixedColumnOnEach)
{
    fill(80, 12);
    grid->SetPrintToScale(true);
    const QString file = print("across.pdf");
    const CGridCtrl::PrintLayout& l = grid->printLayout();
    ASSERT_GE(l.pagesAcross, 2);
    ASSERT_GE(l.pagesDown, 2);
    const QStringList texts = pdfPages(file);
    ASSERT_EQ(texts.size(), l.pageCount);
    // The second page across starts at its own column and still shows the
    // row headings and the corner.
    const QString& second = texts[1];
    const int col = pageOrigin(2).col;
    EXPECT_GT(col, 1);
    EXPECT_TRUE(second.contains(QStringLiteral("Head%1").arg(col)));
    EXPECT_TRUE(second.contains(QStringLiteral("v1x%1").arg(col)));
    EXPECT_FALSE(second.contains(QStringLiteral("v1x1 ")));
    EXPECT_TRUE(second.contains(QStringLiteral("Row1 ")));
    EXPECT_TRUE(second.contains(QStringLiteral("Head0")));
    // The page after the last across is the second row of pages, first column.
    const int next = l.pagesAcross + 1;
    const QString& below = texts[next - 1];
    EXPECT_TRUE(below.contains(QStringLiteral("Page %1 of %2").arg(next).arg(l.pageCount)));
    EXPECT_EQ(pageOrigin(next).col, 1);
    EXPECT_TRUE(below.contains(QStringLiteral("v%1x1").arg(pageOrigin(next).row)));
}

TEST_F(GridPrintPages, TallRowStandsAloneAndAMergePrintsOnce)
{
    fill(6, 3);
    grid->ChangeRowHeight(3, 20000);
    grid->SetItemText(3, 1, QStringLiteral("TallCell"));
    grid->SetItemText(1, 1, QStringLiteral("MergedOwner"));
    grid->SetItemText(1, 2, QStringLiteral("CoveredText"));
    ASSERT_TRUE(grid->MergeCells(1, 1, 2, 2));
    const QStringList texts = pdfPages(print("tall.pdf"));
    ASSERT_EQ(grid->printLayout().rowStarts, (std::vector<int>{0, 2, 3}));
    ASSERT_EQ(texts.size(), 3);
    EXPECT_EQ(texts[0].count(QStringLiteral("MergedOwner")), 1);
    EXPECT_FALSE(texts[0].contains(QStringLiteral("CoveredText")));
    EXPECT_TRUE(texts[1].contains(QStringLiteral("TallCell")));
    EXPECT_TRUE(texts[1].contains(QStringLiteral("Page 2 of 3")));
    EXPECT_FALSE(texts[1].contains(QStringLiteral("Row2")) ||
                 texts[1].contains(QStringLiteral("Row4")));
    EXPECT_TRUE(texts[2].contains(QStringLiteral("Row5")));
}

TEST_F(GridPrintPages, PointSizedFontsPrintAlikeAtAnyResolution)
{
    fill(4, 3);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(12);
    grid->SetItemFont(2, 1, &font);
    grid->SetItemText(2, 1, QStringLiteral("Sized"));
    const double atScreen =
        pdfWordHeight(print("screen.pdf", QPrinter::ScreenResolution), QStringLiteral("Sized"));
    const QString high = print("high.pdf");
    const double atHigh = pdfWordHeight(high, QStringLiteral("Sized"));
    ASSERT_GT(atScreen, 0);
    ASSERT_GT(atHigh, 0);
    EXPECT_NEAR(atHigh / atScreen, 1.0, 0.15);
    // And larger than the 10-pixel texts of the other cells.
    EXPECT_GT(atHigh, pdfWordHeight(high, QStringLiteral("v1x1")));
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

} // namespace
} // namespace bc
