#include "analysis/open_view.h"

#include "acquisition/grabber_callback.h"
#include "acquisition/shared_frame.h"
#include "analysis/page_geometry.h"
#include "analysis/strip_sink.h"
#include "analysis/unwrap_param_bar.h"
#include "core/program_values.h"
#include "core/survey_params.h"
#include "platform/prompter.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <cstring>

namespace bc {

COpenView::COpenView(CSurveyParams& settings, QWidget* parent)
    : QAbstractScrollArea(parent), settings_(settings),
      bar_(new CUnwrapParamBar(settings, viewport()))
{
    const UnwrapRules& v = bar_->values();
    centre_ = QPoint(settings.centreX, settings.centreY);
    inner_ = v.inner();
    outer_ = v.outer();
    width_ = v.width();
    setFocusPolicy(Qt::ClickFocus);
    connect(bar_, &CUnwrapParamBar::parametersChanged, this, &COpenView::SetFrame);
    bar_->setGeometry(0, 0, viewport()->width(), kBarHeight);
    updateScrollRanges();
    grabberCallback().registerFrameTarget(this);
}

COpenView::~COpenView()
{
    grabberCallback().unregisterFrameTarget(this);
    settings_.centreX = centre_.x();
    settings_.centreY = centre_.y();
}

bool COpenView::event(QEvent* e)
{
    if (e->type() == kFrameReadyEvent) {
        ProcessFrame();
        return true;
    }
    if (e->type() == kCaptureCurrentEvent) {
        SaveCurrentCapture();
        return true;
    }
    return QAbstractScrollArea::event(e);
}

void COpenView::SetFrame(int inner, int outer, int width, float)
{
    inner_ = inner;
    outer_ = outer;
    width_ = width;
    updateScrollRanges();
    viewport()->update();
}

void COpenView::SetUnwrapCenter(int x, int y)
{
    if (QPoint(x, y) == centre_)
        return;
    const FrameFormatValues format = FrameFormat::snapshot();
    if (format.width <= 0 || format.height <= 0)
        return; // no frame size yet to check the centre against
    const CentreFit fit = fitCentre(x, y, format.width, format.height);
    centre_ = QPoint(fit.x, fit.y);
    FrameFormat::setMaxOuterRadius(static_cast<unsigned>(fit.maxRadius));
    bar_->SetMaxRadius(fit.maxRadius);
    viewport()->update();
}

void COpenView::ZoomIn()
{
    zoom_ = ClampZoom(zoom_ * 1.25f);
    updateScrollRanges();
    viewport()->update();
}

void COpenView::ZoomOut()
{
    zoom_ = ClampZoom(zoom_ * 0.8f);
    updateScrollRanges();
    viewport()->update();
}

bool COpenView::copyFrame()
{
    // Only the copy happens under the frame lock: the streaming thread never
    // waits for an unwrap, a paint or a strip hand-off.
    std::lock_guard<std::mutex> lock(frameLock());
    const SharedFrame& shared = sharedFrame();
    const int w = shared.width();
    const int h = shared.height();
    if (!shared.hasPixels() || w <= 0 || h <= 0)
        return false;
    const std::size_t row = static_cast<std::size_t>(w) * 3;
    const std::size_t bytes = row * static_cast<std::size_t>(h);
    if (shared.capacity() < bytes)
        return false;
    frame_.resize(bytes);
    // The copy holds the rows bottom-up; the unwrap wants them top-down.
    const uint8_t* src = shared.pixels();
    for (int y = 0; y < h; ++y)
        std::memcpy(frame_.data() + static_cast<std::size_t>(y) * row,
                    src + static_cast<std::size_t>(h - 1 - y) * row, row);
    frameWidth_ = w;
    frameHeight_ = h;
    return true;
}

bool COpenView::unwrap(int heading, ErrorReport* error)
{
    const auto angle = static_cast<int16_t>(heading);
    switch (currentLensType.load()) {
    case 0:
        return strip_.Unwrap(frame_.data(), frameWidth_, frameHeight_, centre_.x(), centre_.y(),
                             outer_, inner_, width_, angle, error) != nullptr;
    case 1:
        return strip_.UnwrapInnerFirst(frame_.data(), frameWidth_, frameHeight_, centre_.x(),
                                       centre_.y(), outer_, inner_, width_, angle,
                                       error) != nullptr;
    default:
        return false;
    }
}

void COpenView::ProcessFrame()
{
    // A box opened while a strip is handed off runs the event loop: frames
    // that arrive meanwhile wait for this one to finish.
    if (processing_)
        return;
    processing_ = true;
    const DepthHeading now = currentDepthHeading();
    ErrorReport error;
    const QSize before(strip_.width, strip_.rows);
    // Only a strip made from this frame is stamped: a failed unwrap leaves the
    // previous frame's pixels, which do not show the current depth.
    const bool fresh = copyFrame() && unwrap(now.heading, &error);
    if (strip_.hasPixels()) {
        if (QSize(strip_.width, strip_.rows) != before)
            updateScrollRanges();
        viewport()->update();
    }
    if (fresh)
        handOff(now);
    // Always ask for the next frame, also after a frame that made no strip.
    continuousRequest.store(true);
    processing_ = false;
    if (!error.isEmpty())
        showRadiusError(error);
}

void COpenView::handOff(const DepthHeading& stamp)
{
    // A trigger raised while nobody collects strips stays raised.
    IStripSink* sink = registeredStripSink();
    if (!sink || !takeDepthTrigger())
        return;
    strip_.depthKey = stamp.depth;
    strip_.angle = static_cast<uint16_t>(stamp.heading);
    strip_.rows = strip_.shownHeight;
    sink->AddCapturedImage(std::make_unique<CUnWrapImage>(strip_));
}

std::array<int, 6> COpenView::parameterKey() const
{
    return {
        inner_,      outer_,
        width_,      centre_.x(),
        centre_.y(), static_cast<int>(std::min<unsigned>(FrameFormat::maxOuterRadius(), INT_MAX))};
}

void COpenView::showRadiusError(const ErrorReport& error)
{
    // Once for each set of parameters, not for every frame.
    const std::array<int, 6> key = parameterKey();
    if (errorShown_ && key == errorShownFor_)
        return;
    errorShown_ = true;
    errorShownFor_ = key;
    messageBox(error.text, error.caption, error.style, this);
}

void COpenView::SaveCurrentCapture()
{
    if (!strip_.hasPixels())
        return;
    // The grabber writes from a private copy: the strip stays as it is.
    grabberCallback().SaveFrameJpeg(strip_.pixels(), strip_.width,
                                    std::min(strip_.shownHeight, strip_.rows), strip_.stride);
}

void COpenView::drawStrip(QPainter& painter, QPoint scroll) const
{
    if (!strip_.hasPixels() || strip_.width <= 0)
        return;
    const int shown = std::min(strip_.shownHeight, strip_.rows);
    if (shown <= 0 || static_cast<qint64>(strip_.width) * 3 > strip_.stride)
        return;
    const QRect target(kStripLeft - scroll.x(), kStripTop - scroll.y(),
                       static_cast<int>(strip_.width * zoom_), static_cast<int>(shown * zoom_));
    // Buffer row 0 is the bottom row.
    const QImage image(strip_.pixels(), strip_.width, shown, strip_.stride, QImage::Format_BGR888);
    painter.drawImage(target, image.mirrored());
}

void COpenView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    drawStrip(painter, QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()));
}

void COpenView::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    bar_->setGeometry(0, 0, viewport()->width(), kBarHeight);
    updateScrollRanges();
}

void COpenView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        setFocus(Qt::MouseFocusReason);
    QAbstractScrollArea::mouseReleaseEvent(e);
}

void COpenView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void COpenView::updateScrollRanges()
{
    // The drawn strip's extent and the margins around it.
    const int w = strip_.hasPixels() ? strip_.width : width_;
    const int h = strip_.hasPixels() ? strip_.rows : outer_ - inner_ + 1;
    const int contentW = static_cast<int>(std::max(w, 0) * zoom_) + 70;
    const int contentH = static_cast<int>(std::max(h, 0) * zoom_) + 50;
    const QSize page = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, contentW - page.width()));
    verticalScrollBar()->setRange(0, std::max(0, contentH - page.height()));
    horizontalScrollBar()->setPageStep(std::max(1, page.width()));
    verticalScrollBar()->setPageStep(std::max(1, page.height()));
    horizontalScrollBar()->setSingleStep(std::max(1, page.width() / 10));
    verticalScrollBar()->setSingleStep(std::max(1, page.height() / 10));
}

} // namespace bc
