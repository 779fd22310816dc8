#include "analysis/report_output.h"

#include "analysis/page_image.h"
#include "analysis/unwrap_data.h"
#include "core/int_limits.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace bc {

namespace {

// From x -60 to trunc(1.5 * page width - 120); a page too narrow for that
// still gets the label column, and the labels' least width from the
// picture's left edge, where their text starts.
int notesWidth(int pageWidth)
{
    return std::max(satAdd(std::max(truncToInt(1.5 * pageWidth - 120.0), 0), kPageLeftMargin),
                    kMinShapeLabelWidth);
}

void paintNotes(QPainter& painter, const CUnWrapData& data, const PageViewState& state)
{
    painter.save();
    painter.translate(kPageLeftMargin, kPageTopMargin);
    const int area[4] = {0, state.pageTopDepth, state.pageWidth, state.pageBottomDepth};
    data.DrawShapeLabels(painter, area, float(state.pageWidth * 0.5 * (1.0 / M_PI)), state.pxPerMm);
    painter.restore();
}

QSize notesSize(const CUnWrapData& data, const PageViewState& state)
{
    return QSize(notesWidth(state.pageWidth), PageImageSize(data, state).height());
}

// The notes picture written in the capture format; false with the reason.
bool saveNotes(const CUnWrapData& data, const PageViewState& state, const QString& path,
               int captureFormat, QString* error)
{
    ErrorReport report;
    if (SavePagePicture(
            notesSize(data, state), [&](QPainter& p) { paintNotes(p, data, state); }, path,
            captureFormat, &report))
        return true;
    *error = report.text.isEmpty() ? QStringLiteral("无法写入%1").arg(path) : report.text;
    return false;
}

} // namespace

QImage RenderNotesPicture(const CUnWrapData& data, const PageViewState& state)
{
    return RenderPagePicture(notesSize(data, state),
                             [&](QPainter& p) { paintNotes(p, data, state); });
}

bool RenderReportSheets(CUnWrapData& data, const PageViewState& view, bool aspectAdaptive,
                        const ReportJob& job, std::vector<ReportSheet>& sheets, QString* error,
                        const ReportProgress& progress)
{
    sheets.clear();
    const int pageCount = data.GetPageCount(view.perPage);
    if (job.first < 1 || job.last < job.first || job.last > pageCount) {
        *error = QStringLiteral("页码范围错误!");
        return false;
    }
    if (!QDir().mkpath(job.pictureFolder)) {
        *error = QStringLiteral("创建拼接图目录失败!");
        return false;
    }
    const QString suffix = PageImageSuffix(job.captureFormat);
    const QDateTime now = QDateTime::currentDateTime();
    const int total = job.last - job.first + 1;
    for (int number = job.first; number <= job.last; ++number) {
        const int page = number - 1;
        const bool current = page == view.currentPage;
        if (!current)
            data.LoadPageImages(page, view.perPage);
        const PageViewState state = PageStateFor(data, view, page, aspectAdaptive);
        const QString base = job.currentPageOnly
                                 ? QStringLiteral("print%1").arg(number)
                                 : PageImageName(data, page, view.perPage);
        ReportPagePictures pictures;
        pictures.page = QDir(job.pictureFolder).filePath(base + QLatin1Char('.') + suffix);
        pictures.notes = QDir(job.pictureFolder).filePath(base + QStringLiteral("-Note.") + suffix);
        ErrorReport pageError;
        const bool pageSaved =
            SavePageImage(data, state, pictures.page, job.captureFormat, &pageError);
        const bool notesSaved =
            pageSaved && saveNotes(data, state, pictures.notes, job.captureFormat, error);
        if (!current)
            data.FreePageBits(page, view.perPage);
        if (!pageSaved)
            *error = pageError.text;
        if (!pageSaved || !notesSaved)
            return false;
        pictures.pageSize = PageImageSize(data, state);
        pictures.notesSize = notesSize(data, state);
        const CUnWrapImage* top = data.GetItem(page * view.perPage);
        const CUnWrapImage* bottom =
            data.GetItem(std::min(page * view.perPage + view.perPage, data.GetItemCount()) - 1);
        ReportSheet sheet;
        sheet.name = ReportSheetName(number, top ? top->depthKey * 0.001 : 0.0,
                                     bottom ? bottom->depthKey * 0.001 : 0.0);
        sheet.cells = MakeReportCells(data.header(), pictures, number, pageCount, now);
        sheets.push_back(std::move(sheet));
        if (progress)
            progress(number - job.first + 1, total);
    }
    return true;
}

bool WriteSurveyReport(CUnWrapData& data, const PageViewState& view, bool aspectAdaptive,
                       const ReportJob& job, QString* error, const ReportProgress& progress)
{
    ReportTemplate tpl;
    QString why;
    if (!loadReportTemplate(job.templatePath, tpl, &why)) {
        *error = QStringLiteral("无法读取模板文件%1\n%2").arg(QDir::toNativeSeparators(job.templatePath), why);
        return false;
    }
    std::vector<ReportSheet> sheets;
    if (!RenderReportSheets(data, view, aspectAdaptive, job, sheets, error, progress))
        return false;
    if (job.type == kImageReport)
        sheets = GroupImageSheets(sheets, job.columns);
    return writeReportWorkbook(tpl, job.outputPath, sheets, error);
}

QString ReportWorkbookPath(const QString& typed)
{
    const QString suffix = QFileInfo(typed).suffix();
    if (suffix.compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0)
        return typed;
    if (suffix.compare(QLatin1String("xls"), Qt::CaseInsensitive) == 0)
        return typed + QLatin1Char('x');
    return suffix.isEmpty() ? typed + QStringLiteral(".xlsx") : typed;
}

} // namespace bc
