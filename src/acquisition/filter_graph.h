#pragma once
// The base of the station's media graph: one GStreamer pipeline, its state
// (none, stopped, paused, running) and kind, and running, pausing and stopping
// it. Messages from the pipeline's threads (an error, the end of a stream) are
// taken at once and reported to the event handler on the user-interface
// thread while the graph plays.

#include "acquisition/capture_graph.h"

#include <QPointer>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include <gst/gst.h>

class QObject;

namespace bc {

class CVideoWnd;
class VideoFrameSlot;

// Called with each video window a graph opens, before it is shown (the
// program puts the unwrap-and-stitch bar into it and takes its centre picks).
void setVideoWindowHook(std::function<void(CVideoWnd&)> hook);

// Initialises GStreamer once for the whole program (safe from any thread).
void ensureGstreamer();

// Every frame the grabber sees: 24-bit BGR, rows top-down, `stride` bytes from
// row to row. Called on a streaming thread.
using FrameSink = std::function<void(const uint8_t* bgr, int width, int height, int stride)>;

// DirectShow-like result codes put into the builders' messages.
inline constexpr unsigned kHrClassNotRegistered = 0x80040154; // no element factory
inline constexpr unsigned kHrFail = 0x80004005;               // could not be added
inline constexpr unsigned kHrAccessDenied = 0x80070005;       // file not writable

// How long running, pausing or connecting a graph may take before it counts
// as failed (a stream error ends the wait at once).
inline constexpr int kRunTimeoutMs = 10000;

class CFilterGraph : public ICaptureGraph {
public:
    CFilterGraph();
    ~CFilterGraph() override;
    CFilterGraph(const CFilterGraph&) = delete;
    CFilterGraph& operator=(const CFilterGraph&) = delete;

    bool Play() override;
    bool Stop() override;
    bool Pause() override;
    bool Run() override;
    int GetGraphState() const override { return graphState_.load(); }
    int GetGraphKind() const override { return graphKind_; }
    QString LastError() const override { return lastError_; }
    void SetEventHandler(std::function<void(GraphEvent, const QString&)> handler) override;

    // The video window opened by Play (null while none).
    CVideoWnd* videoWindow() const;

    // The pipeline (null when none), for tests and for finding elements by
    // the names they were added under.
    GstElement* pipeline() const { return pipeline_; }
    GstElement* elementByName(const char* name) const; // with a reference, or null

protected:
    // Makes a new, empty pipeline with its message handling; false on failure.
    bool createPipeline();
    // Stops any streaming and releases the pipeline and its elements.
    void releasePipeline();
    // Brings the pipeline to `state` and waits for it (up to `timeoutMs`);
    // false when the change fails or an error is posted meanwhile.
    bool changeState(int state, int timeoutMs);

    // Hands a frame to the video window, if one is open (any thread).
    void presentFrame(const uint8_t* bgr, int width, int height, int stride);
    // Closes the video window and forgets it.
    void closeVideoWindow();

    // Shows a failure in an error box and keeps it as the last error.
    void fail(const QString& text);

    // Hooks of the derived graph around running and stopping.
    virtual bool beforePlay() { return true; }
    // Called with the graph still running, before it is stopped: a recording
    // drains here.
    virtual void beforeStop() {}
    // Called once the pipeline no longer streams.
    virtual void afterStop() {}

    // The first error posted since the last reset, and whether the stream has
    // ended; both are set from the pipeline's threads.
    QString postedError() const;
    void resetPosted();
    bool endOfStream() const { return eos_.load(); }
    void clearEndOfStream() { eos_ = false; }
    // Waits until the end of the stream was posted (or an error); false on timeout.
    bool waitForEndOfStream(int timeoutMs);
    // A failure found outside the pipeline (a recording that cannot be
    // written) is posted like a stream error: kept as the first error and, in
    // a playing graph, reported to the event handler. Any thread.
    void postError(const QString& text);

    std::atomic<int> graphState_{0};
    int graphKind_ = GraphKindNone;
    GstElement* pipeline_ = nullptr;
    QString lastError_;
    // Frames reach the grabber only while the graph plays.
    std::atomic<bool> delivering_{false};

private:
    static GstBusSyncReply onBusMessage(GstBus* bus, GstMessage* msg, gpointer self);
    void report(GraphEvent event, const QString& text);

    std::unique_ptr<QObject> notifier_;
    QPointer<CVideoWnd> videoWnd_;
    std::mutex slotMutex_;
    std::shared_ptr<VideoFrameSlot> slot_;
    std::function<void(GraphEvent, const QString&)> handler_;
    mutable std::mutex postedMutex_;
    std::condition_variable postedCv_;
    QString postedError_;
    std::atomic<bool> eos_{false};
};

} // namespace bc
