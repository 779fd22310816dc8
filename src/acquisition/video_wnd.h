#pragma once
// The window in which the live or played video is shown: the latest frame
// painted letterboxed above the 40-pixel unwrap-and-stitch bar, a "视图" menu
// with its display sizes and full screen, and the pick of the unwrap centre.
// Closing it only reports to the form, which stops the current mode; the
// graph that created the window deletes it.

#include "acquisition/capture_graph.h"

#include <QEvent>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QWidget>

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
};

// The station's video slot: the graphs' frames go here, and the video window
// that is open shows them.
std::shared_ptr<VideoFrameSlot> stationVideoSlot();

// The frame sink the station hands to its graphs: every frame goes to the
// grabber and to the station's video slot.
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

// What the video window of a graph needs from the station.
struct VideoWindowHooks {
    // The window was closed by hand: stop the current mode. Called from the
    // event loop, never from inside the window's own events.
    std::function<void()> onClose;
    // The form that a left click in the window brings forward.
    std::function<QWidget*()> mainForm;
};

// A graph with its video window: Play opens the window (sized by the
// published video size code) if there is none and shows it, Stop closes it,
// and so does deleting the graph. Everything else goes to the wrapped graph.
class CVideoWindowGraph : public ICaptureGraph {
public:
    CVideoWindowGraph(std::unique_ptr<ICaptureGraph> inner, VideoWindowHooks hooks);
    ~CVideoWindowGraph() override;

    bool BuildGraph(int kind, const GraphRequest& request) override;
    bool TearDownGraph() override;
    int SetDeviceParam(int code, uint8_t* arg = nullptr) override;
    bool Play() override;
    bool Stop() override;
    bool Pause() override;
    bool Run() override;
    int GetGraphState() const override;
    int GetGraphKind() const override;
    bool SeekToFraction(float fraction) override;
    bool GetDuration(int64_t& duration) override;
    bool GetPositionFraction(float& fraction) override;
    QString LastError() const override;
    void SetEventHandler(std::function<void(GraphEvent, const QString&)> handler) override;

    // The open video window, or null.
    CVideoWnd* videoWindow() const { return window_; }

private:
    void closeWindow();

    std::unique_ptr<ICaptureGraph> inner_;
    VideoWindowHooks hooks_;
    QPointer<CVideoWnd> window_;
};

// Wraps every graph of `inner` in a CVideoWindowGraph; the settings go to
// `inner`.
std::unique_ptr<ICaptureGraphFactory>
makeVideoWindowGraphFactory(std::unique_ptr<ICaptureGraphFactory> inner, VideoWindowHooks hooks);

} // namespace bc
