// Page export and the cylinder texture of the strip view. Pages are drawn
// into pictures of their own (page_image.h), so no check of the screen's
// colour depth is needed.
#include "analysis/unwrap_view.h"

#include "analysis/page_image.h"
#include "analysis/unwrap_data.h"
#include "core/program_values.h"
#include "platform/prompter.h"
#include "platform/save_name.h"
#include "platform/work_folder.h"
#include "ui/folder_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>

namespace bc {

namespace {

const QString kErrorCaption = QStringLiteral("出错");

void showError(const ErrorReport& error, QWidget* parent)
{
    if (!error.isEmpty())
        messageBox(error.text, error.caption, error.style, parent);
}

} // namespace

void CUnWrapView::OnExportCurrentPage()
{
    if (!data_ || state_.currentPage < 0 || state_.currentPage >= state_.pageCount)
        return;
    const int format = currentCaptureFormat.load();
    const QString suffix = PageImageSuffix(format);
    const QString upper = suffix.toUpper();
    const QString name = PageImageName(*data_, state_.currentPage, state_.perPage);
    // The default extension: a page name has dots of its own, so only the
    // picture's own extension counts as one.
    const QString path = askSaveName(
        this, QStringLiteral("另存为"), QDir(data_->imageDirectory()).filePath(name + u'.' + suffix),
        QStringLiteral("%1 Files (*.%1 *.%2)").arg(upper, suffix), [&](const QString& chosen) {
            return chosen.endsWith(u'.' + suffix, Qt::CaseInsensitive) ? chosen : chosen + u'.' + suffix;
        });
    if (path.isEmpty())
        return;
    ErrorReport error;
    if (!SavePageImage(*data_, state_, path, format, &error))
        showError(error, this);
    viewport()->update();
}

void CUnWrapView::OnExportAllPages()
{
    if (!data_)
        return;
    CSaveFolderDialog dialog(this);
    dialog.SetStartFolder(data_->imageDirectory());
    if (!dialog.DoModal())
        return;
    const QString folder = QDir(dialog.GetFolderPath()).filePath(QStringLiteral("拼接图"));
    if (!QDir().mkpath(folder)) {
        messageBox(QStringLiteral("创建拼接图目录失败!"), kErrorCaption, MB_ICONERROR, this);
        return;
    }
    const int format = currentCaptureFormat.load();
    const int shown = state_.currentPage;
    const int n = state_.perPage;
    ErrorReport error;
    bool failed = false;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ErrorReport loadError;
        for (int p = 0; p < state_.pageCount && !failed; ++p) {
            const QString path =
                QDir(folder).filePath(PageImageName(*data_, p, n) + u'.' + PageImageSuffix(format));
            // The shown page is drawn as it is in memory, with any turn or
            // stitch not yet saved; the others are read for the picture and
            // let go again, the last one staying to be shown.
            if (p == shown) {
                failed = !SavePageImage(*data_, state_, path, format, &error);
                continue;
            }
            ErrorReport why;
            if (data_->LoadPageImages(p, n, &why) > 0 && loadError.isEmpty())
                loadError = why;
            failed = !SavePageImage(*data_, PageStateFor(*data_, state_, p, aspectAdaptive_), path,
                                    format, &error);
            if (p != state_.pageCount - 1)
                data_->FreePageBits(p, n);
        }
        QApplication::restoreOverrideCursor();
        showError(loadError, this);
    }
    if (failed)
        showError(error, this);
    else
        GoToPage(state_.pageCount - 1);
    viewport()->update();
}

void CUnWrapView::CreateCylinderImage()
{
    if (!data_)
        return;
    ErrorReport error;
    if (texturePath_.isEmpty())
        reportError(&error, QStringLiteral("创建临时位图失败"), kErrorCaption, MB_ICONERROR);
    // The texture's name is shared with other copies of the program: it is
    // written and read back while no other copy writes it.
    QImage texture;
    if (error.isEmpty()) {
        WorkspaceTempLock lock(QFileInfo(texturePath_).absolutePath());
        if (lock.acquire(&error) && SavePageTexture(*data_, state_, texturePath_, &error)) {
            texture = QImageReader(texturePath_).read();
            if (texture.isNull())
                reportError(&error, QStringLiteral("创建临时位图失败"), kErrorCaption,
                            MB_ICONERROR);
        }
    }
    if (!error.isEmpty()) {
        showError(error, this);
        return;
    }
    const QSize page =
        data_->GetPageSize(state_.currentPage, state_.perPage, state_.zoom, state_.aspect);
    const CylinderSize cylinder = CylinderSizeFor(page);
    CylinderInput input;
    input.texturePath = texturePath_;
    input.texture = texture;
    input.radius = cylinder.radius;
    input.height = cylinder.height;
    input.labels = data_->SamplePageValues(state_.currentPage, state_.perPage);
    showCylinder(input);
}

} // namespace bc
