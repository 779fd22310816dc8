#pragma once
// The window in which the live or played video is shown: the latest frame
// painted letterboxed above the 40-pixel unwrap-and-stitch bar, a "视图" menu
// with its display sizes and full screen, and the pick of the unwrap centre.
// Closing it only reports to the form, which stops the current mode. The
// graph's Play opens it and its Stop (or its deletion) closes it: one window
// for each run.

#include <QEvent>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QMenu;

namespace bc {

// The latest frame for the video window, filled on the streaming thread.
// Shared between the graph and the window so neither outlives the other's
// use of it; the window is told of a new frame by a posted event.
class VideoFrameSlot {
public:
    // Any thread: keeps a copy of the frame (BGR24, rows top-down, `stride`
    // bytes apart) and asks the receiver to repaint.
    void present(const uchar* bgr, int width, int height, int stride);
    // How many frames have been copied in so far.
    uint64_t framesCopied() const { return copies_.load(); }
    // The latest frame (shared, not copied).
    QImage latest() const;
    // The window that is told of new frames. Frames are kept only while a
    // receiver is attached.
    void setReceiver(QObject* receiver);
    // Detaches `receiver` if it is the one attached.
    void detachReceiver(QObject* receiver);
    // The receiver's acknowledgement: the next frame posts a new notice.
    QImage take();

    static QEvent::Type frameEventType();

private:
    mutable std::mutex mutex_;
    QImage image_;
    QObject* receiver_ = nullptr;
    bool noticePending_ = false;
    std::atomic<uint64_t> copies_{0};
};

// The station's video slot: the graphs' frames go here, and the video window
// that is open shows them.
std::shared_ptr<VideoFrameSlot> stationVideoSlot();

// The frame sink the station hands to its graphs: every frame goes to the
// grabber. The graph itself hands it to the video window it opened.
std::function<void(const uchar* bgr, int width, int height, int stride)> stationFrameSink();

class CVideoWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBarHeight = 40;

    // The video size the window takes for a video size code: 768 x 576 for
    // codes 0 and 2, 384 x 288 otherwise.
    static QSize videoSizeForCode(int videoSizeCode);

    // The displayed rectangle of a videoWidth x videoHeight picture in a
    // client area of cx x cy, the bar taken off: the largest centred
    // rectangle of the video's shape. Empty when nothing can be shown.
    static QRect fitVideo(int cx, int cy, int videoWidth, int videoHeight);

    // Opens at the natural size of the video: videoWidth x (videoHeight + the
    // bar), showing the frames of `slot` (the station's by default).
    explicit CVideoWnd(QSize videoSize, QWidget* parent = nullptr,
                       std::shared_ptr<VideoFrameSlot> slot = stationVideoSlot());
    ~CVideoWnd() override;

    QSize videoSize() const { return QSize(videoWidth_, videoHeight_); }
    // The 40-pixel bar at the bottom; the unwrap-and-stitch bar goes into it.
    QWidget* bar() const { return bar_; }
    // Where the frames to be shown are handed.
    std::shared_ptr<VideoFrameSlot> frameSlot() const { return slot_; }
    // The rectangle the video is painted in, in client coordinates.
    QRect videoRect() const;

    int displayMode() const { return displayMode_; }
    bool centrePickMode() const { return centrePickMode_; }

    // The form that a left click brings forward every other time.
    void setMainForm(QWidget* form) { mainForm_ = form; }

    // The "视图" menu with the current display size checked (the caller owns it).
    QMenu* createViewMenu(QWidget* parent);

    // The frame pixel under a client point, when the point lies in the video
    // at least 50 pixels from its top-left corner and a frame has been
    // copied; none otherwise.
    std::optional<QPoint> framePointAt(const QPoint& clientPoint) const;

public slots:
    void onNaturalSize();
    void onDoubleSize();
    void onFullScreen();
    void onCentrePick();

signals:
    // The user closed the window: the form stops the current mode.
    void closeRequested();
    // A centre was picked, in frame pixels.
    void centrePicked(int x, int y);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // Runs the menu at a global point (tests replace it).
    virtual void execViewMenu(QMenu& menu, const QPoint& globalPos);

private:
    void showViewMenu(const QPoint& globalPos);
    void setCentrePickMode(bool on);
    void leaveFullScreen();

    int videoWidth_;
    int videoHeight_;
    QWidget* bar_;
    std::shared_ptr<VideoFrameSlot> slot_;
    QImage shown_;
    int displayMode_ = 0; // 0 natural size, 1 double size, 2 full screen
    bool centrePickMode_ = false;
    bool formToggle_ = false;
    QPointer<QWidget> mainForm_;
};

} // namespace bc
