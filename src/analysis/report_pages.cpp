#include "analysis/report_pages.h"

#include "analysis/sfa_format.h"

#include <algorithm>
#include <climits>

namespace bc {

namespace {

const char* const kKeys[16] = {"检测单位", "测试工地", "测试人",   "孔号",   "测试时间", "开孔直径",
                               "终孔直径", "孔口坐标", "孔口高程", "孔口斜角度", "孔类型", "水平标高",
                               "展开图",   "岩心描述", "打印时间", "页码"};
constexpr int kPagePictureCell = 12;
constexpr int kPageNumberCell = 15;

QString pageOfPages(int number, int count)
{
    return QStringLiteral("第%1页/共%2页").arg(number).arg(count);
}

// A run of digits as a number, saturating far beyond any page count.
int digitsValue(const QString& digits)
{
    long long v = 0;
    for (QChar c : digits)
        v = std::min<long long>(v * 10 + (c.unicode() - '0'), INT_MAX);
    return int(v);
}

} // namespace

bool ParsePageRange(const QString& text, int* first, int* last)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (!(c.isDigit() && c.unicode() < 128) && c != QLatin1Char('-'))
            return false;
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() > 2)
        return false;
    const int a = digitsValue(parts.front());
    const int b = digitsValue(parts.back());
    if (a > b || a == 0)
        return false;
    *first = a;
    *last = b;
    return true;
}

bool ResolveReportPages(int choice, const QString& rangeText, int currentPage, int pageCount,
                        int* first, int* last)
{
    if (pageCount <= 0)
        return false;
    int a = 1, b = pageCount;
    if (choice == kReportCurrentPage) {
        if (currentPage < 0 || currentPage >= pageCount)
            return false;
        a = b = currentPage + 1;
    } else if (choice == kReportPageRange) {
        if (!ParsePageRange(rangeText, &a, &b) || b > pageCount)
            return false;
    }
    *first = a;
    *last = b;
    return true;
}

QString ReportSheetName(int pageNumber, double topMetres, double bottomMetres)
{
    return QString::asprintf("%d(%.2f-%.2f)", pageNumber, topMetres, bottomMetres);
}

std::vector<ReportCell> MakeReportCells(const SfaHeader& h, const ReportPagePictures& pictures,
                                        int pageNumber, int pageCount, const QDateTime& now)
{
    const QString values[16] = {
        h.testingUnit,
        h.site,
        h.tester,
        h.holeNumber,
        h.testTime,
        QStringLiteral("%1 mm").arg(h.openingDiameter),
        QStringLiteral("%1 mm").arg(h.finalDiameter),
        h.collarCoordinates,
        h.elevation,
        h.holeInclination,
        h.holeType == 0 ? QStringLiteral("直孔") : QStringLiteral("斜孔"),
        h.waterLevel,
        QString(),
        QString(),
        now.toString(QStringLiteral("[yyyy-MM-dd HH:mm:ss]")),
        pageOfPages(pageNumber, pageCount),
    };
    std::vector<ReportCell> cells(16);
    for (int i = 0; i < 16; ++i) {
        cells[i].key = QString::fromUtf8(kKeys[i]);
        cells[i].text = values[i];
    }
    cells[12].pictures = QStringList{pictures.page};
    cells[12].width = float(pictures.pageSize.width());
    cells[12].height = float(pictures.pageSize.height());
    cells[13].pictures = QStringList{pictures.notes};
    cells[13].width = float(pictures.notesSize.width());
    cells[13].height = float(pictures.notesSize.height());
    return cells;
}

std::vector<ReportSheet> GroupImageSheets(const std::vector<ReportSheet>& pages, int columns)
{
    std::vector<ReportSheet> sheets;
    if (columns <= 0 || pages.empty())
        return sheets;
    const int count = int((pages.size() + size_t(columns) - 1) / size_t(columns));
    for (int s = 0; s < count; ++s) {
        const size_t begin = size_t(s) * size_t(columns);
        const size_t end = std::min(pages.size(), begin + size_t(columns));
        ReportSheet sheet;
        sheet.name = QString::number(s + 1);
        sheet.cells = pages[end - 1].cells;
        QStringList pictures;
        for (size_t p = begin; p < end; ++p)
            if (pages[p].cells.size() > size_t(kPagePictureCell))
                pictures << pages[p].cells[kPagePictureCell].pictures;
        if (sheet.cells.size() > size_t(kPageNumberCell)) {
            sheet.cells[kPagePictureCell].pictures = pictures;
            sheet.cells[kPageNumberCell].text = pageOfPages(s + 1, count);
        }
        sheets.push_back(std::move(sheet));
    }
    return sheets;
}

} // namespace bc
