#pragma once
// A report of the survey: the page picture and the notes picture of every
// page asked for, written as image files, and the workbook filled from a
// template with the sixteen values of each sheet.

#include "analysis/page_painter.h"
#include "analysis/report_pages.h"

#include <QImage>
#include <QString>

#include <functional>
#include <vector>

namespace bc {

class CUnWrapData;

struct ReportJob {
    QString templatePath;
    QString outputPath;
    QString pictureFolder; // where the pictures are written
    bool currentPageOnly = false; // pictures named print%d / print%d-Note
    int first = 1; // pages, 1-based and inclusive
    int last = 1;
    int type = kAttitudeReport;
    int columns = 4;
    int captureFormat = 0; // 0 JPEG, 1 BMP
};

// The shapes' leaders and labels of `state.currentPage`, on a picture from
// x -60 to trunc(1.5 * page width - 120) as wide as the page picture is high.
QImage RenderNotesPicture(const CUnWrapData& data, const PageViewState& state);

// Renders and writes the pictures of the job's pages and returns one sheet a
// page. A page other than the view's current one has its pixels loaded for
// its pictures and dropped again; the current page is drawn as it stands in
// memory. `progress` hears (pages done, pages in all).
using ReportProgress = std::function<void(int done, int total)>;
bool RenderReportSheets(CUnWrapData& data, const PageViewState& view, bool aspectAdaptive,
                        const ReportJob& job, std::vector<ReportSheet>& sheets, QString* error,
                        const ReportProgress& progress = {});

// The whole report: the template read, the pictures rendered, the pages
// grouped for the image report and the workbook written. False with the
// reason in `error`; the workbook is then not written.
bool WriteSurveyReport(CUnWrapData& data, const PageViewState& view, bool aspectAdaptive,
                       const ReportJob& job, QString* error, const ReportProgress& progress = {});

// A typed output name as a workbook path: ".xls" becomes ".xlsx", a name
// without an extension gets ".xlsx".
QString ReportWorkbookPath(const QString& typed);

} // namespace bc
