// The documents of the strip view: new, open, save, import of JPEG files and
// closing.
#include "analysis/unwrap_view.h"

#include "analysis/shape_grid.h"
#include "analysis/unwrap_data.h"
#include "platform/prompter.h"
#include "platform/save_name.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace bc {

namespace {

// Strip files are named by their depth in millimetres: up to eight digits,
// no leading zero (the strip is read back from "<key>.jpg").
bool depthKeyFromTitle(const QString& title, int32_t& key)
{
    if (title.isEmpty() || title.size() > 8 || (title.size() > 1 && title.front() == u'0'))
        return false;
    for (const QChar c : title)
        if (c < u'0' || c > u'9')
            return false;
    key = title.toInt();
    return true;
}

// Two names of one folder, links resolved where the folder exists.
bool sameFolder(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    if (!ca.isEmpty() && !cb.isEmpty())
        return ca == cb;
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) ==
           QDir::cleanPath(QFileInfo(b).absoluteFilePath());
}

} // namespace

bool CUnWrapView::refuseRecordingSurvey(const QString& file, bool saving)
{
    // The live window rewrites the recording's index and strips as the
    // survey goes on: any document of its folder would write over them, or
    // they over it. The live window of another copy of the program marks
    // its folder with a lock instead.
    const QString sfa = ctx_.currentRecordingSfa();
    const QString folder = QFileInfo(file).absolutePath();
    if ((sfa.isEmpty() || !sameFolder(folder, QFileInfo(sfa).absolutePath())) &&
        !FolderLock::isHeld(folder))
        return false;
    const QString text =
        saving ? QStringLiteral("保存SFA文件失败\n'%1'属于正在录制的测试，停止录制后才能保存")
               : QStringLiteral("无法打开文件: '%1'\n该文件属于正在录制的测试，停止录制后才能打开");
    messageBox(text.arg(file), QStringLiteral("提示"), MB_OK | MB_ICONWARNING, this);
    return true;
}

bool CUnWrapView::mayReplaceFileOnDisk()
{
    // The live window's recording writes its own file as it goes.
    if (recording())
        return true;
    const QString path = data_->filePath();
    if (refuseRecordingSurvey(path, true))
        return false;
    const auto replaceChanged = [this](const QString& file) {
        return messageBox(
                   QStringLiteral("文件'%1'已被其它窗口或程序修改。\n是否用当前的分析结果替换它?")
                       .arg(file),
                   QStringLiteral("保存"), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2,
                   this) == IDYES;
    };
    switch (data_->fileOnDisk()) {
    case CUnWrapData::DiskFile::None:
    case CUnWrapData::DiskFile::Same:
        break;
    case CUnWrapData::DiskFile::Other:
        if (!confirmReplace(this, QStringLiteral("保存"), path))
            return false;
        break;
    case CUnWrapData::DiskFile::Changed:
        return replaceChanged(path); // the one question covers the strips too
    }
    // The strip pictures the save writes: another window may have saved its
    // own turn of the same strip, with the index left as it was.
    const QString strip = data_->changedStripFile();
    return strip.isEmpty() || replaceChanged(strip);
}

bool CUnWrapView::mayWriteUnfitTexts()
{
    // The recording writes its index at every page whatever is answered.
    if (recording())
        return true;
    const std::vector<SfaUnfitText> unfit = data_->UnfitTexts();
    if (unfit.empty())
        return true;
    // The first few texts and characters; the question stays on the screen
    // however many shapes there are.
    constexpr size_t kNamedTexts = 5;
    constexpr qsizetype kNamedChars = 10;
    QStringList lines;
    for (size_t i = 0; i < unfit.size() && i < kNamedTexts; ++i) {
        const QList<uint> chars = unfit[i].chars.toUcs4();
        QStringList shown;
        for (qsizetype c = 0; c < chars.size() && c < kNamedChars; ++c) {
            const char32_t u = chars[c];
            // One that shows nothing (a control or format character) by its code.
            shown << (QChar::isPrint(u)
                          ? QString::fromUcs4(&u, 1)
                          : QStringLiteral("U+%1").arg(uint(u), 4, 16, QLatin1Char('0')).toUpper());
        }
        if (chars.size() > kNamedChars)
            shown << QStringLiteral("…");
        lines << unfit[i].which + QStringLiteral("：") + shown.join(QLatin1Char(' '));
    }
    if (unfit.size() > kNamedTexts)
        lines << QStringLiteral("……另有%1处文字含有这样的字符").arg(unfit.size() - kNamedTexts);
    return messageBox(
               QStringLiteral("以下文字含有SFA文件无法保存的字符，保存后这些字符将变为\"?\"：\n"
                              "%1\n是否仍要保存?")
                   .arg(lines.join(QLatin1Char('\n'))),
               QStringLiteral("保存"), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, this) == IDYES;
}

void CUnWrapView::CloseDocument()
{
    if (!data_)
        return;
    // A recording keeps every strip not yet written, on any page, and the
    // whole index.
    ErrorReport error;
    if (recording() && !data_->SaveSfa(data_->GetItemCount(), true, &error))
        messageBox(error.text, error.caption, error.style, this);
    data_.reset();
    recordsSurvey_ = false; // a document opened later is the user's
    recordingFolderLock_.release();
    loadedPage_ = -1;
    state_.currentPage = -1;
    state_.selectedItem = -1;
    setPageCount(0);
    if (!closing_) {
        updateScrollSizes();
        viewport()->update();
        rebuildShapeList();
        emit documentChanged();
    }
}

void CUnWrapView::commitListEdit()
{
    if (shapeList_)
        shapeList_->EndEditing();
}

bool CUnWrapView::SaveModified()
{
    // A description still being typed in the list is a change too.
    commitListEdit();
    // The live window's recording is kept on disk as it goes, never asked about.
    if (!data_ || recording() || !data_->IsModified())
        return true;
    const QString path = data_->filePath();
    const QString name = path.isEmpty() ? QStringLiteral("未命名") : QFileInfo(path).fileName();
    switch (messageBox(QStringLiteral("是否保存对%1的修改?").arg(name), QString(),
                       MB_YESNOCANCEL | MB_ICONQUESTION, this)) {
    case IDYES: {
        if (!mayReplaceFileOnDisk() || !mayWriteUnfitTexts())
            return false; // the disk's version stays, and so does the document
        ErrorReport error;
        if (data_->SaveSfa(data_->GetItemCount(), true, &error))
            return true;
        // Not saved: the document stays, with its changes.
        messageBox(error.text, error.caption, error.style, this);
        return false;
    }
    case IDNO:
        return true;
    default:
        return false;
    }
}

void CUnWrapView::OnFileNew()
{
    if (!SaveModified())
        return;
    CloseDocument();
    viewport()->update();
}

void CUnWrapView::OnFileOpen()
{
    const QString path = prompter().openFileName(this, QStringLiteral("打开"), imageDirectory_,
                                                 QStringLiteral("SFA files (*.sfa *.SFA)"));
    if (path.isEmpty() || refuseRecordingSurvey(path, false) || !SaveModified())
        return;
    CloseDocument();
    imageDirectory_ = QFileInfo(path).absolutePath();
    data_ = std::make_unique<CUnWrapData>(path, imageDirectory_);
    ErrorReport error;
    if (!data_->LoadSfa(&error)) {
        CloseDocument();
        messageBox(error.text, error.caption, error.style, this);
        return;
    }
    // The list first: a box about a damaged strip of the first page shows
    // over the new document's list, not the old one's.
    rebuildShapeList();
    ResetPaging();
    emit documentChanged();
}

void CUnWrapView::OnFileSave()
{
    if (!data_)
        return;
    commitListEdit();
    if (!mayReplaceFileOnDisk() || !mayWriteUnfitTexts())
        return;
    ErrorReport error;
    if (!data_->SaveSfa(data_->GetItemCount(), true, &error)) {
        messageBox(error.text, error.caption, error.style, this);
        return;
    }
    // The edits of pages not shown are on disk now: their pixels can go.
    data_->FreeBitsOffPage(state_.currentPage, state_.perPage);
}

void CUnWrapView::OnOpenJpg()
{
    const QStringList files = prompter().openFileNames(
        this, QStringLiteral("打开"), imageDirectory_, QStringLiteral("JPG files (*.JPG *.jpg)"));
    if (files.isEmpty() || refuseRecordingSurvey(files.front(), false) || !SaveModified())
        return;
    QStringList skipped;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        CloseDocument();
        imageDirectory_ = QFileInfo(files.front()).absolutePath();
        data_ = std::make_unique<CUnWrapData>(imageDirectory_ + QStringLiteral("/temp.sfa"),
                                              imageDirectory_);
        for (const QString& file : files) {
            const QFileInfo info(file);
            int32_t key = 0;
            if (!depthKeyFromTitle(info.completeBaseName(), key)) {
                skipped << info.fileName();
                continue;
            }
            // The picture chosen, not one of the other format beside it.
            data_->SetItemFile(
                data_->InsertImage(std::make_unique<CUnWrapImage>(key, uint16_t(0)), false),
                info.absoluteFilePath());
        }
        QApplication::restoreOverrideCursor();
    }
    if (!skipped.isEmpty())
        messageBox(QStringLiteral("以下文件名不是以毫米为单位的深度，未打开：\n%1")
                       .arg(skipped.join(QLatin1Char('\n'))),
                   QStringLiteral("提示"), MB_ICONWARNING, this);
    if (data_->GetItemCount() == 0) {
        CloseDocument();
        return;
    }
    rebuildShapeList();
    ResetPaging();
    emit documentChanged();
}

} // namespace bc
