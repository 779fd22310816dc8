// The report command of the strip view: the pictures of the pages asked for
// and a workbook filled from one of the program's templates.
#include "analysis/unwrap_view.h"

#include "acquisition/acquisition_dlg.h"
#include "analysis/progress_dlg.h"
#include "analysis/report_output.h"
#include "analysis/report_output_dlg.h"
#include "analysis/unwrap_data.h"
#include "core/program_values.h"
#include "platform/file_opener.h"
#include "platform/prompter.h"
#include "platform/save_name.h"
#include "platform/work_folder.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <memory>

namespace bc {

namespace {
// Reports of more pages than this show their progress.
constexpr int kProgressFrom = 3;

QString templateFolder()
{
    return GetModuleFolder() + QStringLiteral("/template");
}

void reportError(const QString& text, QWidget* parent)
{
    messageBox(text, QStringLiteral("出错"), MB_OK | MB_ICONERROR, parent);
}
} // namespace

void CUnWrapView::OnReport()
{
    if (!data_ || state_.pageCount <= 0 || state_.currentPage < 0)
        return;
    ErrorReport folderError;
    const QString temp = workspaceTempFolder(&folderError);
    if (temp.isEmpty()) {
        reportError(folderError.text, this);
        return;
    }
    const QString output = askSaveName(this, QString(), QDir(temp).filePath(QStringLiteral("output.xlsx")),
                                       QStringLiteral("Excel Files (*.xlsx)"), ReportWorkbookPath);
    if (output.isEmpty())
        return;
    const QString attitudeTemplate = templateFolder() + QStringLiteral("/template1.rpt");
    CReportOutputDlg dlg(output, attitudeTemplate, templateFolder(), this);
    dlg.setPages(state_.currentPage, state_.pageCount);
    if (!dlg.run())
        return;

    ReportJob job;
    job.outputPath = ReportWorkbookPath(dlg.outputPath());
    job.templatePath = dlg.templatePath();
    job.type = dlg.reportType();
    job.columns = dlg.columns();
    job.captureFormat = currentCaptureFormat.load();
    job.first = dlg.firstPage();
    job.last = dlg.lastPage();
    if (dlg.pageChoice() == kReportCurrentPage && job.type == kAttitudeReport) {
        job.currentPageOnly = true;
        job.pictureFolder = temp;
    } else {
        // The image report has a template of its own, unless another was chosen.
        if (job.type == kImageReport && QFileInfo(job.templatePath) == QFileInfo(attitudeTemplate))
            job.templatePath = templateFolder() + QStringLiteral("/template2.rpt");
        job.pictureFolder = QDir(temp).filePath(QStringLiteral("拼接图"));
    }
    if (!QFileInfo::exists(job.templatePath)) {
        reportError(QStringLiteral("模板文件%1不存在!").arg(QDir::toNativeSeparators(job.templatePath)), this);
        return;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Another copy of the program reporting now writes pictures of the same
    // names: this report's are written and read into the workbook alone.
    WorkspaceTempLock pictures(temp);
    ErrorReport busy;
    if (!pictures.acquire(&busy)) {
        QApplication::restoreOverrideCursor();
        reportError(QStringLiteral("输出报表失败\n%1").arg(busy.text), this);
        return;
    }
    std::unique_ptr<CProgressDlg> progress;
    if (job.last - job.first + 1 >= kProgressFrom) {
        progress = std::make_unique<CProgressDlg>(this);
        progress->SetRange(0, job.last - job.first + 1);
        progress->show();
    }
    QString error;
    const bool written = WriteSurveyReport(*data_, state_, aspectAdaptive_, job, &error,
                                           [&](int, int) {
                                               if (progress)
                                                   progress->Advance(1);
                                           });
    pictures.release();
    progress.reset();
    QApplication::restoreOverrideCursor();
    viewport()->update();
    if (!written) {
        reportError(QStringLiteral("输出报表失败\n%1").arg(error), this);
        return;
    }
    const QString shown = QDir::toNativeSeparators(job.outputPath);
    if (messageBox(QStringLiteral("报表已输出到文件%1中，是否查看?").arg(shown), QStringLiteral("提示"),
                   MB_YESNO | MB_ICONQUESTION, this) == IDYES)
        openFinishedFile(job.outputPath, QStringLiteral("出错"), this);
}

} // namespace bc
