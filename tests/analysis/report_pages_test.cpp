// The report's pages: the page choice, the sixteen cells of a page's sheet and
// the image report's sheets of several pages.

#include "analysis/report_pages.h"
#include "analysis/sfa_format.h"

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(ReportPages, PageRangesAndBounds)
{
    const std::tuple<const char*, bool, int, int> ranges[] = {
        {"2-7", true, 2, 7},        {"5", true, 5, 5},
        {"7-2", false, -1, -1},     {"0-3", false, -1, -1},
        {"a", false, -1, -1},       {"", false, -1, -1},
        {"1-1,2-7", false, -1, -1}, {"1-2-3", false, -1, -1},
        {"3-", false, -1, -1},      {"99999999999999999999", true, INT_MAX, INT_MAX},
    };
    for (const auto& [text, ok, first, last] : ranges) {
        int a = -1, b = -1;
        const bool parsed = ParsePageRange(QString::fromUtf8(text), &a, &b);
        EXPECT_EQ(std::tuple(parsed, ok ? a : -1, ok ? b : -1), std::tuple(ok, first, last))
            << text;
    }

    // Every choice gives 1-based inclusive bounds; the current page is the
    // current page whatever the range text says.
    const std::tuple<int, const char*, int, int, bool, int, int> bounds[] = {
        // choice, range text, current page, page count, ok, first, last
        {kReportAllPages, "", 2, 5, true, 1, 5},     {kReportCurrentPage, "1-4", 2, 5, true, 3, 3},
        {kReportPageRange, "2-5", 0, 5, true, 2, 5}, {kReportPageRange, "2-6", 0, 5, false, -1, -1},
        {kReportAllPages, "", -1, 0, false, -1, -1},
    };
    for (const auto& [choice, text, current, count, ok, first, last] : bounds) {
        int a = -1, b = -1;
        EXPECT_EQ(ResolveReportPages(choice, QString::fromUtf8(text), current, count, &a, &b), ok);
        EXPECT_EQ(std::tuple(a, b), std::tuple(first, last)) << choice << " " << text;
    }
}

TEST(ReportPages, SixteenValuesInTheirOrder)
{
    SfaHeader h;
    h.testingUnit = QStringLiteral("测试单位");
    h.site = QStringLiteral("工地");
    h.tester = QStringLiteral("张");
    h.holeNumber = QStringLiteral("ZK1");
    h.testTime = QStringLiteral("2026-12-01");
    h.openingDiameter = 91;
    h.finalDiameter = 75;
    h.collarCoordinates = QStringLiteral("X,Y");
    h.elevation = QStringLiteral("12.5");
    h.holeInclination = QStringLiteral("80");
    h.holeType = 1;
    h.waterLevel = QStringLiteral("3.2");
    const ReportPagePictures pics{
        QStringLiteral("/t/p.jpg"), QStringLiteral("/t/p-Note.jpg"), {660, 950}, {900, 950}};
    const auto cells =
        MakeReportCells(h, pics, 3, 7, QDateTime(QDate(2026, 12, 7), QTime(9, 5, 1)));
    QStringList got;
    for (const ReportCell& c : cells)
        got << c.key + "=" + c.text;
    EXPECT_EQ(got.join(' '),
              QString::fromUtf8("检测单位=测试单位 测试工地=工地 测试人=张 孔号=ZK1 "
                                "测试时间=2026-12-01 开孔直径=91 mm 终孔直径=75 mm "
                                "孔口坐标=X,Y 孔口高程=12.5 孔口斜角度=80 孔类型=斜孔 "
                                "水平标高=3.2 展开图= 岩心描述= "
                                "打印时间=[2026-12-07 09:05:01] 页码=第3页/共7页"));
    ASSERT_EQ(cells.size(), 16u);
    EXPECT_EQ(std::tuple(cells[12].pictures, cells[13].pictures, cells[12].width, cells[13].height),
              std::tuple(QStringList{pics.page}, QStringList{pics.notes}, 660.0f, 950.0f));
    h.holeType = 0;
    EXPECT_EQ(MakeReportCells(h, pics, 1, 1, {})[10].text, QStringLiteral("直孔"));
    EXPECT_EQ(ReportSheetName(12, 5.5, 6.4), QStringLiteral("12(5.50-6.40)"));
}

TEST(ReportPages, ImageReportGroupsPagesSideBySide)
{
    std::vector<ReportSheet> pages;
    for (int p = 1; p <= 9; ++p) {
        const ReportPagePictures pics{
            QStringLiteral("p%1.jpg").arg(p), QStringLiteral("n%1.jpg").arg(p), {}, {}};
        pages.push_back({ReportSheetName(p, p, p + 1), MakeReportCells({}, pics, p, 9, {})});
    }
    const auto sheets = GroupImageSheets(pages, 4);
    ASSERT_EQ(sheets.size(), 3u);
    for (int s = 0; s < 3; ++s) {
        EXPECT_EQ(std::tuple(sheets[s].name, sheets[s].cells[12].pictures.size(),
                             sheets[s].cells[15].text),
                  std::tuple(QString::number(s + 1), s < 2 ? 4 : 1,
                             QStringLiteral("第%1页/共3页").arg(s + 1)));
    }
    EXPECT_EQ(sheets[1].cells[12].pictures.front(), QStringLiteral("p5.jpg"));
    EXPECT_EQ(sheets[1].cells[13].pictures, QStringList{QStringLiteral("n8.jpg")})
        << "the notes of the group's last page";
    EXPECT_TRUE(GroupImageSheets(pages, 0).empty());
}

} // namespace
} // namespace bc
