#include "acquisition/video_wnd.h"

#include "acquisition/grabber_callback.h"
#include "acquisition/shared_frame.h"
#include "core/program_values.h"
#include "res/resource_bitmaps.h"
#include "platform/window_placement.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <cstring>

namespace bc {

// ---- VideoFrameSlot -----------------------------------------------------------

QEvent::Type VideoFrameSlot::frameEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void VideoFrameSlot::present(const uchar* bgr, int width, int height, int stride)
{
    if (!bgr || width <= 0 || height <= 0 || stride < static_cast<int64_t>(width) * 3)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!receiver_)
        return; // nobody shows it
    if (image_.width() != width || image_.height() != height)
        image_ = QImage(width, height, QImage::Format_BGR888);
    if (image_.isNull())
        return;
    // bits() detaches when the window still holds the previous frame, so the
    // frame being painted is never written.
    uchar* dst = image_.bits();
    const qsizetype dstStride = image_.bytesPerLine();
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        std::memcpy(dst + y * dstStride, bgr + static_cast<std::ptrdiff_t>(y) * stride, row);
    copies_.fetch_add(1, std::memory_order_relaxed);
    if (!noticePending_) {
        noticePending_ = true;
        QCoreApplication::postEvent(receiver_, new QEvent(frameEventType()));
    }
}

QImage VideoFrameSlot::latest() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return image_;
}

QImage VideoFrameSlot::take()
{
    std::lock_guard<std::mutex> lock(mutex_);
    noticePending_ = false;
    return image_;
}

void VideoFrameSlot::setReceiver(QObject* receiver)
{
    std::lock_guard<std::mutex> lock(mutex_);
    receiver_ = receiver;
    noticePending_ = false;
}

void VideoFrameSlot::detachReceiver(QObject* receiver)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (receiver_ == receiver) {
        receiver_ = nullptr;
        noticePending_ = false;
        image_ = QImage();
    }
}

std::shared_ptr<VideoFrameSlot> stationVideoSlot()
{
    static const auto slot = std::make_shared<VideoFrameSlot>();
    return slot;
}

std::function<void(const uchar*, int, int, int)> stationFrameSink()
{
    return [](const uchar* bgr, int width, int height, int stride) {
        grabberCallback().BufferCB(bgr, width, height, stride);
    };
}

// ---- CVideoWnd ------------------------------------------------------------------

QSize CVideoWnd::videoSizeForCode(int videoSizeCode)
{
    if (videoSizeCode == 0 || videoSizeCode == 2)
        return QSize(768, 576);
    return QSize(384, 288);
}

QRect CVideoWnd::fitVideo(int cx, int cy, int videoWidth, int videoHeight)
{
    const int areaHeight = cy - kBarHeight;
    if (cx <= 0 || areaHeight <= 0 || videoWidth <= 0 || videoHeight <= 0)
        return QRect();
    long long width = cx;
    long long height = areaHeight;
    const long long tall = static_cast<long long>(videoHeight) * cx;
    const long long wide = static_cast<long long>(videoWidth) * areaHeight;
    if (tall > wide)
        width = static_cast<long long>(videoWidth) * areaHeight / videoHeight;
    else if (tall < wide)
        height = static_cast<long long>(videoHeight) * cx / videoWidth;
    const int left = static_cast<int>((cx - width) / 2);
    const int top = static_cast<int>((areaHeight - height) / 2);
    return QRect(left, top, static_cast<int>(width), static_cast<int>(height));
}

CVideoWnd::CVideoWnd(QSize videoSize, QWidget* parent, std::shared_ptr<VideoFrameSlot> slot)
    : QWidget(parent, Qt::Window),
      videoWidth_(videoSize.width()),
      videoHeight_(videoSize.height()),
      bar_(new QWidget(this)),
      slot_(slot ? std::move(slot) : std::make_shared<VideoFrameSlot>())
{
    setWindowTitle(QStringLiteral("澜石视界2011-播放窗口"));
    setWindowIcon(QIcon(QPixmap::fromImage(loadResourceBitmap(IDI_VIDEO))));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    auto* barLayout = new QHBoxLayout(bar_);
    barLayout->setContentsMargins(0, 0, 0, 0);
    bar_->setFixedHeight(kBarHeight);
    resize(videoWidth_, videoHeight_ + kBarHeight);
    bar_->setGeometry(0, height() - kBarHeight, width(), kBarHeight);
    setCursor(Qt::ArrowCursor);
    slot_->setReceiver(this);
    keepOnScreenWhenShown(this);
}

CVideoWnd::~CVideoWnd()
{
    slot_->detachReceiver(this);
}

QRect CVideoWnd::videoRect() const
{
    return fitVideo(width(), height(), videoWidth_, videoHeight_);
}

bool CVideoWnd::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // Keys are never dispatched to this window; the application's key
        // routing has already given them to the form.
        e->accept();
        return true;
    default:
        break;
    }
    if (e->type() == VideoFrameSlot::frameEventType()) {
        shown_ = slot_->take();
        update(videoRect());
        return true;
    }
    return QWidget::event(e);
}

void CVideoWnd::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect client = rect();
    p.fillRect(client, Qt::black);
    const QPen red(QColor(255, 0, 0), 1);
    p.setPen(red);
    const int midX = client.width() / 2;
    const int midY = client.height() / 2;
    p.drawLine(midX, client.height() - 1, midX, 0);
    p.drawLine(client.width() - 1, midY, 0, midY);
    p.setBrush(Qt::black);
    p.drawEllipse(QRect(0, 0, client.width() - 1, client.height() - 1));
    if (!shown_.isNull()) {
        const QRect target = videoRect();
        if (!target.isEmpty())
            p.drawImage(target, shown_);
    }
}

void CVideoWnd::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    bar_->setGeometry(0, height() - kBarHeight, width(), kBarHeight);
    update();
}

void CVideoWnd::mouseReleaseEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    if (e->button() == Qt::RightButton) {
        if (centrePickMode_) {
            setCentrePickMode(false);
            return;
        }
        showViewMenu(mapToGlobal(pos));
        return;
    }
    if (e->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(e);
        return;
    }
    if (centrePickMode_) {
        if (const auto point = framePointAt(pos))
            emit centrePicked(point->x(), point->y());
        return; // the pick stays on until the right button ends it
    }
    if (!formToggle_) {
        if (mainForm_) {
            mainForm_->showNormal();
            mainForm_->raise();
            mainForm_->activateWindow();
        }
        formToggle_ = true;
    } else {
        formToggle_ = false;
    }
}

void CVideoWnd::contextMenuEvent(QContextMenuEvent* e)
{
    // The mouse's menu opens on the right button's release; only the
    // keyboard's menu key arrives here.
    if (e->reason() != QContextMenuEvent::Keyboard) {
        e->accept();
        return;
    }
    if (centrePickMode_) {
        setCentrePickMode(false);
        return;
    }
    showViewMenu(mapToGlobal(QPoint(5, 5)));
}

void CVideoWnd::closeEvent(QCloseEvent* e)
{
    e->ignore();
    emit closeRequested();
}

QMenu* CVideoWnd::createViewMenu(QWidget* parent)
{
    auto* menu = new QMenu(QStringLiteral("视图"), parent);
    QAction* natural = menu->addAction(QStringLiteral("原始"), this, &CVideoWnd::onNaturalSize);
    QAction* twice = menu->addAction(QStringLiteral("两倍"), this, &CVideoWnd::onDoubleSize);
    QAction* full = menu->addAction(QStringLiteral("全屏"), this, &CVideoWnd::onFullScreen);
    menu->addAction(QStringLiteral("设置展开中心"), this, &CVideoWnd::onCentrePick);
    QAction* sizes[] = {natural, twice, full};
    for (int i = 0; i < 3; ++i) {
        sizes[i]->setCheckable(true);
        sizes[i]->setChecked(i == displayMode_);
    }
    return menu;
}

void CVideoWnd::showViewMenu(const QPoint& globalPos)
{
    std::unique_ptr<QMenu> menu(createViewMenu(this));
    execViewMenu(*menu, globalPos);
}

void CVideoWnd::execViewMenu(QMenu& menu, const QPoint& globalPos)
{
    menu.exec(globalPos);
}

void CVideoWnd::leaveFullScreen()
{
    if (isFullScreen())
        showNormal();
}

void CVideoWnd::onNaturalSize()
{
    displayMode_ = 0;
    leaveFullScreen();
    move(0, 0);
    resize(videoWidth_, videoHeight_ + kBarHeight);
    keepOnScreen(this);
}

void CVideoWnd::onDoubleSize()
{
    displayMode_ = 1;
    leaveFullScreen();
    move(0, 0);
    resize(2 * videoWidth_, 2 * videoHeight_ + kBarHeight);
    keepOnScreen(this);
}

void CVideoWnd::onFullScreen()
{
    displayMode_ = 2;
    // The client area, bar included, covers the screen.
    showFullScreen();
}

void CVideoWnd::onCentrePick()
{
    setCentrePickMode(true);
}

void CVideoWnd::setCentrePickMode(bool on)
{
    centrePickMode_ = on;
    setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
}

std::optional<QPoint> CVideoWnd::framePointAt(const QPoint& clientPoint) const
{
    const QRect shown = videoRect();
    if (shown.isEmpty() || !shown.contains(clientPoint))
        return std::nullopt;
    const int x = clientPoint.x() - shown.left();
    const int y = clientPoint.y() - shown.top();
    if (x < 50 || y < 50)
        return std::nullopt;
    int frameWidth = 0;
    int frameHeight = 0;
    {
        std::lock_guard<std::mutex> lock(frameLock());
        if (!sharedFrame().hasPixels())
            return std::nullopt;
        frameWidth = sharedFrame().width();
        frameHeight = sharedFrame().height();
    }
    const FrameFormatValues format = FrameFormat::snapshot();
    if (format.width > 0 && format.height > 0) {
        frameWidth = format.width;
        frameHeight = format.height;
    }
    const int fx = static_cast<int>(static_cast<double>(x) / shown.width() * frameWidth);
    const int fy = static_cast<int>(static_cast<double>(y) / shown.height() * frameHeight);
    return QPoint(fx, fy);
}

} // namespace bc
