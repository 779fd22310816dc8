#pragma once
// The one frame grabber of the program. Every preview and playback graph hands
// it each decoded frame on its streaming thread; it copies a frame into the
// shared frame copy only when somebody asked for one:
//  - a one-shot request (the capture button): the frame is saved as a JPEG
//    or BMP file (by the name's extension), by the registered raw-frame view
//    when there is one, else here;
//  - a continuous request (the live analysis window): the frame goes to the
//    registered raw-frame view, which re-arms the request when it is done.
// The view is told by posted events, so its work runs on the user-interface
// thread and the streaming thread never waits for it.

#include "core/error_report.h"

#include <QEvent>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

class QObject;

namespace bc {

// Events posted to the registered raw-frame view. Private window messages
// WM_APP+n map to QEvent::User + n throughout the program.
// "Save your current image as the pending capture."
inline constexpr QEvent::Type kCaptureCurrentEvent = static_cast<QEvent::Type>(QEvent::User + 1);
// "A new frame is in the shared frame copy."
inline constexpr QEvent::Type kFrameReadyEvent = static_cast<QEvent::Type>(QEvent::User + 6);

// The file name of a capture: "<folder>/<number>.jpg", or ".bmp" while the
// published capture format is BMP.
QString captureFileName(const QString& folder, int number);
// A taken capture name moves to "<folder>/<number>_<suffix>.jpg" (".bmp").
QString captureFileName(const QString& folder, int number, int suffix);

class CGrabberCallback {
public:
    // The frame sink of the capture graphs: BGR24, rows top-down, `stride`
    // bytes apart (rows may be padded). Called on the streaming thread.
    using FrameSink = std::function<void(const uchar* bgr, int width, int height, int stride)>;

    // Writes a capture: path, packed RGB rows top-down; the path's extension
    // tells the format. Returns false on failure, with the message for the
    // user in `error`.
    using JpegWriter = std::function<bool(const QString& path, const uint8_t* rgb, int width,
                                          int height, ErrorReport* error)>;

    CGrabberCallback();
    CGrabberCallback(const CGrabberCallback&) = delete;
    CGrabberCallback& operator=(const CGrabberCallback&) = delete;

    // Name, folder and number of the next capture. The form calls it just
    // before it raises the one-shot request.
    void SetTarget(const QString& name, const QString& folder, int number);
    QString targetName() const;

    // Handles one frame (see the sink above). With no request pending it
    // returns after two flag tests.
    void BufferCB(const uchar* bgr, int width, int height, int stride);
    // BufferCB bound to this object, for handing to a graph.
    FrameSink sink();

    // Writes `pixels` (bottom-up rows of blue-green-red, `stride` bytes apart;
    // 0 means packed rows of width x 3, as the frame copy holds them; a strip
    // passes its own stride) as the pending capture under the stored target
    // name, or under the first free "_n" name when that is taken. The input is
    // left untouched. Returns 0. Does nothing without pixels, without a target
    // name, or with a stride shorter than a row.
    int SaveFrameJpeg(const uint8_t* pixels, int width, int height, int stride = 0);

    // The raw-frame view that receives the posted events, or none. The view
    // registers when it is created and unregisters before it goes away; after
    // unregistering no further event is posted to it.
    void registerFrameTarget(QObject* view);
    void unregisterFrameTarget(QObject* view);
    QObject* frameTarget() const;

    // Size of the last frame delivered to the grabber.
    int frameWidth() const { return frameWidth_.load(); }
    int frameHeight() const { return frameHeight_.load(); }

    // The capture writer in use (the image core's JPEG and BMP writers by
    // default); tests may replace it.
    void setJpegWriter(JpegWriter writer);
    // The path of the last capture written (empty when none succeeded yet).
    QString lastSavedPath() const;

private:
    bool writeCapture(const uint8_t* rgbTopDown, int width, int height);
    QString claimTargetName();

    mutable std::mutex targetMutex_; // target name, folder, number, writer
    QString targetName_;
    QString targetFolder_;
    int targetNumber_ = 0;
    QString lastSaved_;
    JpegWriter writer_;

    mutable std::mutex viewMutex_; // the registered view
    QObject* view_ = nullptr;

    std::atomic<int> frameWidth_{0};
    std::atomic<int> frameHeight_{0};
};

// The program's one grabber.
CGrabberCallback& grabberCallback();

// The number of the next capture: the current depth in millimetres while
// recording, else the running counter, which then counts up by one.
int nextCaptureNumber(bool recording, int& counter);
// Names the capture after `folder` and `number`, hands it to the grabber and
// raises the one-shot request.
void requestCapture(const QString& folder, int number);

// Packs BGR rows (top-down, `stride` bytes apart) into `dst` as bottom-up
// rows of width x 3 bytes: the layout of the shared frame copy.
void packBottomUp(const uchar* bgr, int width, int height, int stride, uint8_t* dst);

} // namespace bc
