#include "analysis/report_pages.h"
#include "analysis/sfa_format.h"

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(ReportPages, PageRangesAndBounds)
{
    const struct {
        const char* text;
        bool ok;
        int first, last;
    } ranges[] = {
        {"2-7", true, 2, 7}, {"5", true, 5, 5},       {"7-2", false, 0, 0},
        {"0-3", false, 0, 0}, {"a", false, 0, 0},     {"", false, 0, 0},
        {"1-1,2-7", false, 0, 0}, {"1-2-3", false, 0, 0}, {"3-", false, 0, 0},
        {"99999999999999999999", true, INT_MAX, INT_MAX},
    };
    for (const auto& r : ranges) {
        int first = -1, last = -1;
        EXPECT_EQ(ParsePageRange(QString::fromUtf8(r.text), &first, &last), r.ok) << r.text;
        if (r.ok) {
            EXPECT_EQ(std::make_pair(first, last), std::make_pair(r.first, r.last)) << r.text;
        }
    }

    // Every choice gives 1-based inclusive bounds; the current page is the
    // current page whatever the range text says.
    const struct {
        int choice;
        const char* text;
        int current, count;
        bool ok;
        int first, last;
    } bounds[] = {
        {kReportAllPages, "", 2, 5, true, 1, 5},
        {kReportCurrentPage, "1-4", 2, 5, true, 3, 3},
        {kReportPageRange, "2-5", 0, 5, true, 2, 5},
        {kReportPageRange, "2-6", 0, 5, false, 0, 0},
        {kReportAllPages, "", -1, 0, false, 0, 0},
    };
    for (const auto& b : bounds) {
        int first = -1, last = -1;
        EXPECT_EQ(ResolveReportPages(b.choice, QString::fromUtf8(b.text), b.current, b.count, &first, &last), b.ok)
            << b.choice << " " << b.text;
        if (b.ok) {
            EXPECT_EQ(std::make_pair(first, last), std::make_pair(b.first, b.last)) << b.choice;
        }
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
    const ReportPagePictures pics{QStringLiteral("/t/p.jpg"), QStringLiteral("/t/p-Note.jpg"), {660, 950}, {900, 950}};
    const auto cells = MakeReportCells(h, pics, 3, 7, QDateTime(QDate(2026, 12, 7), QTime(9, 5, 1)));
    const char* expected[16][2] = {
        {"检测单位", "测试单位"}, {"测试工地", "工地"}, {"测试人", "张"}, {"孔号", "ZK1"},
        {"测试时间", "2026-12-01"}, {"开孔直径", "91 mm"}, {"终孔直径", "75 mm"},
        {"孔口坐标", "X,Y"}, {"孔口高程", "12.5"}, {"孔口斜角度", "80"}, {"孔类型", "斜孔"},
        {"水平标高", "3.2"}, {"展开图", ""}, {"岩心描述", ""},
        {"打印时间", "[2026-12-07 09:05:01]"}, {"页码", "第3页/共7页"},
    };
    ASSERT_EQ(cells.size(), 16u);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(cells[i].key, QString::fromUtf8(expected[i][0])) << i;
        EXPECT_EQ(cells[i].text, QString::fromUtf8(expected[i][1])) << i;
    }
    EXPECT_EQ(cells[12].pictures, QStringList{pics.page});
    EXPECT_EQ(cells[13].pictures, QStringList{pics.notes});
    EXPECT_EQ(cells[12].width, 660.0f);
    EXPECT_EQ(cells[13].height, 950.0f);
    h.holeType = 0;
    EXPECT_EQ(MakeReportCells(h, pics, 1, 1, {})[10].text, QStringLiteral("直孔"));
    EXPECT_EQ(ReportSheetName(12, 5.5, 6.4), QStringLiteral("12(5.50-6.40)"));
}

TEST(ReportPages, ImageReportGroupsPagesSideBySide)
{
    SfaHeader h;
    std::vector<ReportSheet> pages;
    for (int p = 1; p <= 9; ++p) {
        const ReportPagePictures pics{QStringLiteral("p%1.jpg").arg(p), QStringLiteral("n%1.jpg").arg(p), {}, {}};
        pages.push_back({ReportSheetName(p, p, p + 1), MakeReportCells(h, pics, p, 9, {})});
    }
    const auto sheets = GroupImageSheets(pages, 4);
    ASSERT_EQ(sheets.size(), 3u);
    const int counts[] = {4, 4, 1};
    for (int s = 0; s < 3; ++s) {
        EXPECT_EQ(sheets[s].name, QString::number(s + 1));
        EXPECT_EQ(sheets[s].cells[12].pictures.size(), counts[s]);
        EXPECT_EQ(sheets[s].cells[15].text, QStringLiteral("第%1页/共3页").arg(s + 1));
    }
    EXPECT_EQ(sheets[1].cells[12].pictures.front(), QStringLiteral("p5.jpg"));
    EXPECT_EQ(sheets[2].cells[13].pictures, QStringList{QStringLiteral("n9.jpg")}); // the group's last page
    EXPECT_TRUE(GroupImageSheets(pages, 0).empty());
}

} // namespace
} // namespace bc
