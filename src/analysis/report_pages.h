#pragma once
// What a report says, sheet by sheet: the page bounds the user asked for,
// the sixteen values of each sheet (the test header, the two pictures, the
// print time and the page number) and the grouping of pages side by side for
// the image report.

#include "platform/report_workbook.h"

#include <QDateTime>
#include <QSize>
#include <QString>

#include <vector>

namespace bc {

struct SfaHeader;

// "2-7" gives 2 and 7, "5" gives 5 and 5. Refused: an empty text, any
// character but digits and '-', a second '-', first > last and first 0.
bool ParsePageRange(const QString& text, int* first, int* last);

enum ReportPageChoice { kReportAllPages = 0, kReportCurrentPage = 1, kReportPageRange = 2 };
enum ReportType { kAttitudeReport = 0, kImageReport = 1 };

// The pages of a report, 1-based and inclusive. False for a range the
// survey does not hold.
bool ResolveReportPages(int choice, const QString& rangeText, int currentPage, int pageCount,
                        int* first, int* last);

// "%d(%.2f-%.2f)": page number from 1, first and last depth in metres.
QString ReportSheetName(int pageNumber, double topMetres, double bottomMetres);

struct ReportPagePictures {
    QString page;  // the strips with their depth scale and the shapes
    QString notes; // the shapes' leaders and labels
    QSize pageSize;
    QSize notesSize;
};

// The sixteen values of one sheet in their order.
std::vector<ReportCell> MakeReportCells(const SfaHeader& header, const ReportPagePictures& pictures,
                                        int pageNumber, int pageCount, const QDateTime& now);

// The image report: the pages in groups of `columns`, one sheet a group
// named by its number, carrying the last page's values with the pictures of
// every page of the group and "第%d页/共%d页" counting sheets.
std::vector<ReportSheet> GroupImageSheets(const std::vector<ReportSheet>& pages, int columns);

} // namespace bc
