#include "analysis/unwrap_view.h"

#include "analysis/attitude_shape.h"
#include "analysis/page_geometry.h"
#include "analysis/sfa_format.h"
#include "analysis/unwrap_data.h"
#include "core/atomic_file.h"
#include "core/int_limits.h"
#include "core/survey_params.h"
#include "platform/prompter.h"
#include "platform/work_folder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace bc {

namespace {

// Room around the page in the scroll ranges: the label column and the ruler
// plus a little margin.
constexpr int kExtraWidth = 70;
constexpr int kExtraHeight = 80;

class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

bool isArrow(int key)
{
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

} // namespace

CUnWrapView::CUnWrapView(const WorkspaceContext& ctx, QWidget* parent)
    : QAbstractScrollArea(parent), ctx_(ctx)
{
    if (const CSurveyParams* s = ctx_.settings) {
        templateSize_ = templateSizeFromIndex(s->templateSizeIndex);
        searchRange_ = searchRangeFromIndex(s->searchRangeIndex);
        aspectAdaptive_ = s->aspectAutoFit != 0;
        state_.perPage = EffectivePerPage(s->itemsPerPage);
    }
    state_.zoomable = true;

    ErrorReport error;
    const QString temp = workspaceTempFolder(&error);
    if (temp.isEmpty())
        messageBox(error.text, error.caption, error.style, this);
    else
        texturePath_ = temp + QStringLiteral("/texture.bmp");

    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    updateScrollSizes();
}

CUnWrapView::~CUnWrapView()
{
    if (ctx_.settings)
        ctx_.settings->itemsPerPage = state_.perPage;
    closing_ = true;
    CloseDocument();
}

void CUnWrapView::BindLiveSurvey()
{
    const int formMode = ctx_.currentFormMode();
    if (data_ || (formMode != 1 && formMode != 2))
        return;
    // Only a recording's strips are kept, in the files the form chose for it;
    // live acquisition shows its strips and lets them go.
    recordsSurvey_ = formMode == 2;
    if (recordsSurvey_) {
        imageDirectory_ = ctx_.recordingFolder;
        recordingFolderLock_.hold(QFileInfo(ctx_.recordingSfaPath).absolutePath());
    }
    data_ = std::make_unique<CUnWrapData>(recordsSurvey_ ? ctx_.recordingSfaPath : QString(),
                                          imageDirectory_);
    if (ctx_.settings)
        data_->CopyHeaderFromSettings(*ctx_.settings);
    state_.frameMode = 1;
}

void CUnWrapView::SetFrameMode(int mode)
{
    state_.frameMode = mode;
    viewport()->update();
}

// --- pages -------------------------------------------------------------------

void CUnWrapView::RecalcPageGeometry()
{
    if (!data_)
        return;
    const int page = state_.currentPage;
    state_.aspect = aspectAdaptive_
                        ? float(data_->GetPageAspect(page, state_.perPage,
                                                     data_->header().openingDiameter, state_.zoom))
                        : 1.0f;
    data_->GetPageDepthScale(page, state_.perPage, state_.zoom, state_.pageTopDepth,
                             state_.pageBottomDepth, state_.pxPerMm);
    data_->GetPageExtent(page, state_.perPage, state_.zoom, state_.aspect, state_.pageWidth,
                         pageHeight_);
    updateScrollSizes();
}

void CUnWrapView::LoadCurrentPage()
{
    if (!data_)
        return;
    WaitCursor wait;
    // What was done to the page left (turns, heights, an align) stays, an
    // unsaved change of the document: its strips keep their pixels.
    if (loadedPage_ >= 0)
        data_->FreePageBits(loadedPage_, state_.perPage);
    ErrorReport error;
    const bool damaged =
        data_->LoadPageImages(state_.currentPage, state_.perPage, &error) > 0 && !error.isEmpty();
    loadedPage_ = state_.currentPage;
    state_.selectedItem = -1;
    RecalcPageGeometry();
    viewport()->update();
    tellPage();
    // Asked once the page is laid out: the window repaints behind the box.
    if (damaged)
        messageBox(error.text, error.caption, error.style, this);
}

void CUnWrapView::ResetPaging()
{
    if (!data_)
        return;
    state_.pageCount = data_->GetPageCount(state_.perPage);
    loadedPage_ = -1;
    state_.currentPage = 0;
    scrollToPageTop();
    emit pageCountChanged(state_.pageCount);
    LoadCurrentPage();
    scrollToPageTop();
}

void CUnWrapView::GoToPage(int p)
{
    if (!data_ || p < 0 || p >= state_.pageCount || p == state_.currentPage)
        return;
    state_.currentPage = p;
    LoadCurrentPage();
    scrollToPageTop();
}

void CUnWrapView::setSelectedItem(int index)
{
    if (!data_ || index == state_.selectedItem)
        return;
    for (const int i : {state_.selectedItem, index})
        if (i >= 0)
            invalidatePageRect(
                data_->GetItemRect(0, state_.currentPage, state_.perPage, state_.zoom, i));
    state_.selectedItem = index;
}

void CUnWrapView::setPageCount(int count)
{
    if (count == state_.pageCount)
        return;
    state_.pageCount = count;
    if (!closing_)
        emit pageCountChanged(count);
    tellPage();
}

void CUnWrapView::tellPage()
{
    if (!closing_)
        emit pageShown(state_.currentPage, state_.pageCount);
}

void CUnWrapView::ZoomIn()
{
    if (!data_)
        return;
    state_.zoom = ClampZoom(state_.zoom * 1.25f);
    RecalcPageGeometry();
    viewport()->update();
}

void CUnWrapView::ZoomOut()
{
    if (!data_)
        return;
    state_.zoom = ClampZoom(state_.zoom * 0.8f);
    RecalcPageGeometry();
    viewport()->update();
}

// --- live strips -------------------------------------------------------------

void CUnWrapView::AddCapturedImage(std::unique_ptr<CUnWrapImage> item)
{
    if (!data_ || !item)
        return;
    const int n = state_.perPage;
    const int index = data_->InsertImage(std::move(item));
    const int page = index / n;
    lastInserted_ = index;
    state_.currentPage = page;
    if (page != loadedPage_) {
        if (loadedPage_ >= 0)
            releasePage(loadedPage_);
        loadedPage_ = page;
    } else if (upward()) {
        // Climbing, the new strip lies above the one it pushed down: that
        // one is matched against it.
        if (PageItems(data_->GetItemCount(), page, n).end > index + 1)
            data_->StitchItem(index + 1, index, stitchWork_, templateSize_, searchRange_);
    } else if (index > 0) {
        data_->StitchItem(index, index - 1, stitchWork_, templateSize_, searchRange_);
    }
    // Strips pushed off the current page (a climbing survey pushes one at
    // every step) are written and let go at once.
    releaseLeftStrips();
    setPageCount(data_->GetPageCount(n));
    tellPage();

    updateScrollSizes();
    const QPoint to = data_->GetPageHeight(page, n, index);
    horizontalScrollBar()->setValue(to.x());
    verticalScrollBar()->setValue(to.y());
    viewport()->update();
}

bool CUnWrapView::upward() const
{
    return data_ && data_->header().moveDirection == 1;
}

bool CUnWrapView::recording() const
{
    // The view bound to a recording keeps it for as long as it lives: the
    // live window goes with its recording, and a pause is part of it.
    return recordsSurvey_ && data_ && !data_->filePath().isEmpty() &&
           !data_->imageDirectory().isEmpty();
}

void CUnWrapView::releasePage(int page)
{
    if (recording()) {
        // The index lists what reached the disk, even when a strip did not.
        ErrorReport error;
        if (!data_->SavePageImages(page, state_.perPage, &error))
            reportSaveFailure(error);
        writeSurveyIndex();
    } else {
        // Without a recording nothing of a left page is kept.
        const IndexRange range = PageItems(data_->GetItemCount(), page, state_.perPage);
        for (int i = range.first; i < range.end; ++i)
            data_->SetItemModified(i, false);
    }
    data_->FreePageBits(page, state_.perPage);
}

void CUnWrapView::releaseLeftStrips()
{
    const int count = data_->GetItemCount();
    const IndexRange current = PageItems(count, state_.currentPage, state_.perPage);
    if (current.end <= current.first)
        return;
    int lastPage = -1;
    for (int i = 0; i < count; ++i) {
        if (i == current.first) {
            i = current.end - 1;
            continue;
        }
        const int page = i / state_.perPage;
        if (page != lastPage && data_->GetItem(i)->hasPixels()) {
            lastPage = page;
            releasePage(page);
        }
    }
}

bool CUnWrapView::writeSurveyIndex()
{
    // Only strips whose files are written are listed, so that the index on
    // disk always opens whole.
    std::vector<const CUnWrapImage*> strips;
    for (int i = 0; i < data_->GetItemCount(); ++i)
        if (!data_->IsItemModified(i))
            strips.push_back(data_->GetItem(i));
    std::vector<const CAttitudeShape*> shapes;
    for (int i = 0; i < data_->GetShapeCount(); ++i)
        shapes.push_back(data_->GetShape(i));
    const QByteArray bytes = SerializeSfa(data_->header(), strips, shapes);
    // No sync to disk, as for the strip files: the index is rewritten at
    // every step of a climb.
    QString why;
    if (WriteFileAtomically(data_->filePath(), bytes, &why, false))
        return true;
    ErrorReport error;
    reportError(&error, QStringLiteral("保存SFA文件失败\n") + why, QStringLiteral("出错"),
                MB_ICONERROR);
    reportSaveFailure(error);
    return false;
}

void CUnWrapView::reportSaveFailure(const ErrorReport& error)
{
    // One box a survey: a full disk would otherwise ask at every step.
    if (saveFailureShown_ || error.isEmpty())
        return;
    saveFailureShown_ = true;
    // Asked once the strip is in: a box opened here would take further
    // strips while this one is half filed.
    QTimer::singleShot(0, this,
                       [this, error] { messageBox(error.text, error.caption, error.style, this); });
}

// --- drawing and scrolling ---------------------------------------------------

QSize CUnWrapView::contentSize() const
{
    if (!data_)
        return {0, 0};
    const QSize page =
        data_->GetPageSize(state_.currentPage, state_.perPage, state_.zoom, state_.aspect);
    int width = page.width();
    int height = satAdd(page.height(), kExtraHeight);
    // The attitude labels right of the strips are part of the page.
    if (data_->GetShapeCount() > 0) {
        width = std::max(width, ShapeLabelsRight(state_.pageWidth));
        height = std::max(height, satAdd(page.height(), kPageTopMargin + kShapeLabelHeight));
    }
    return {satAdd(width, kExtraWidth), height};
}

void CUnWrapView::updateScrollSizes()
{
    const QSize content = contentSize();
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, satAdd(content.width(), -view.width())));
    horizontalScrollBar()->setPageStep(std::max(1, view.width()));
    horizontalScrollBar()->setSingleStep(std::max(1, view.width() / 10));
    verticalScrollBar()->setRange(0, std::max(0, satAdd(content.height(), -view.height())));
    verticalScrollBar()->setPageStep(std::max(1, view.height()));
    verticalScrollBar()->setSingleStep(std::max(1, view.height() / 10));
}

void CUnWrapView::scrollToPageTop()
{
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void CUnWrapView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollSizes();
}

void CUnWrapView::paintEvent(QPaintEvent*)
{
    if (!data_)
        return;
    updateScrollSizes();
    QPainter painter(viewport());
    painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    DrawPageView(painter, *data_, state_);
}

QPoint CUnWrapView::viewToPage(const QPoint& p) const
{
    return {p.x() + horizontalScrollBar()->value() - kPageLeftMargin,
            p.y() + verticalScrollBar()->value() - kPageTopMargin};
}

QRect CUnWrapView::pageToView(const PageRect& rect) const
{
    return rect.normalized().toQRect().translated(kPageLeftMargin - horizontalScrollBar()->value(),
                                                  kPageTopMargin - verticalScrollBar()->value());
}

void CUnWrapView::invalidatePageRect(const PageRect& rect)
{
    viewport()->update(pageToView(rect).adjusted(-1, -1, 1, 1));
}

// --- keys and mouse ----------------------------------------------------------

bool CUnWrapView::event(QEvent* event)
{
    // Escape ends a pick before any shortcut sees it.
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void CUnWrapView::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        pickCancel();
        event->accept();
        return;
    }
    // Arrows and Delete act when the key comes up; they do not scroll.
    if (isArrow(key) || key == Qt::Key_Delete) {
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void CUnWrapView::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat()) {
        event->accept();
        return;
    }
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        pickCancel();
    } else if (isArrow(key)) {
        if (data_ && state_.selectedItem >= 0) {
            data_->OnItemKey(state_.selectedItem, key,
                             event->modifiers().testFlag(Qt::ShiftModifier));
            updateScrollSizes();
            viewport()->update();
        }
    } else if (key == Qt::Key_Delete) {
        pickDelete();
    } else {
        QAbstractScrollArea::keyReleaseEvent(event);
        return;
    }
    event->accept();
}

void CUnWrapView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        pickMousePress(event);
    else if (event->button() == Qt::RightButton)
        pickRightPress(event);
}

void CUnWrapView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton && std::exchange(rightPressed_, false))
        pickRightButton(event);
}

void CUnWrapView::mouseMoveEvent(QMouseEvent* event)
{
    pickMouseMove(event);
}

} // namespace bc
