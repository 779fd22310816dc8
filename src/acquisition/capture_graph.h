#pragma once
// What the acquisition form needs from the capture device's graph: build a
// probe, preview (optionally recording) or playback graph, run and stop it,
// seek in a played file, and talk to the device through its parameter codes.
// USBFilter implements it on GStreamer; tests use a scripted graph.
//
// Everything here is called on the user-interface thread. A graph object is
// made for each use and deleted afterwards; deleting it tears the graph down
// (stopping it first when it still runs).

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QWidget;

namespace bc {

// Kinds accepted by BuildGraph.
enum GraphKind : int {
    GraphKindNone = -1,
    GraphKindPreview = 0,       // live video
    GraphKindPreviewRecord = 1, // live video that also writes the request's MPEG file
    GraphKindPlayback = 2,      // plays the request's MPEG file
    GraphKindProbe = 8,         // only the device's source: is it there, and its control
};

// GetGraphState values.
enum GraphState : int {
    GraphStateNone = 0,
    GraphStateStopped = 1,
    GraphStatePaused = 2,
    GraphStateRunning = 3,
};

// Device parameter codes of SetDeviceParam.
enum DeviceParamCode : int {
    DeviceApplySettings = 6,  // applies the values selected by the change mask
    DeviceReadRegister = 9,   // arg: 3 bytes, address 1, address 2, value read
    DeviceWriteRegister = 10, // arg: 3 bytes, address 1, address 2, value
    DeviceBitrateClass = 21,  // fills the settings' bitrate class
    DeviceCheck = 22,         // fails when no usable device is there
    DeviceQuery23 = 23,       // asked at start-up; answers 0
    DevicePresent = 26,       // 1 when the device is present
    DeviceStreaming = 28,     // arg: 1 byte, 1 before a preview plays, 0 when recording stops
};

// What a build needs besides the capture-device settings the graph already
// knows: the recording request (kind 1) or the file to play (kind 2).
struct GraphRequest {
    bool recordFlag = false;
    QString mediaPath;
};

// Something the running graph reports after Play.
enum class GraphEvent {
    Error,       // the stream failed (the device went away, a file is damaged)
    EndOfStream, // a played file reached its end
};

class ICaptureGraph {
public:
    virtual ~ICaptureGraph() = default;

    // Builds a graph of the given kind (any graph held is torn down first).
    // Returns false on failure; LastError() then names the failed step and the
    // graph may be left half-built, to be deleted by the caller.
    virtual bool BuildGraph(int kind, const GraphRequest& request) = 0;
    virtual bool TearDownGraph() = 0;

    // Device control (see DeviceParamCode); 1 success, 0 failure. Needs the
    // device's source, so a playback graph answers 0 to every code.
    virtual int SetDeviceParam(int code, uint8_t* arg = nullptr) = 0;

    // Play: shows the video and runs (states stopped or paused). Stop: states
    // paused or running; closes the video. Pause: running only. Run: stopped
    // or paused.
    virtual bool Play() = 0;
    virtual bool Stop() = 0;
    virtual bool Pause() = 0;
    virtual bool Run() = 0;
    virtual int GetGraphState() const = 0;
    virtual int GetGraphKind() const = 0;

    // Seeking, playback graphs only (false otherwise, outputs unchanged).
    // Durations and positions are in 100-nanosecond units.
    virtual bool SeekToFraction(float fraction) = 0;
    virtual bool GetDuration(int64_t& duration) = 0;
    virtual bool GetPositionFraction(float& fraction) = 0;

    // The text of the last failure (empty when none).
    virtual QString LastError() const = 0;

    // Called on the user-interface thread when the running graph fails or a
    // played file ends. The graph must not be deleted from inside the call;
    // the form posts itself a stop instead.
    virtual void SetEventHandler(std::function<void(GraphEvent, const QString&)> handler) = 0;
};

// Makes graphs, and keeps the capture-device settings the graphs are built
// with (the form changes a few of them between builds). The form is given one
// for its whole life.
class ICaptureGraphFactory {
public:
    virtual ~ICaptureGraphFactory() = default;

    virtual std::unique_ptr<ICaptureGraph> CreateGraph() = 0;

    // Capture-device settings the form reads and writes.
    virtual int VideoSource() const = 0;
    virtual void SetVideoFormat(int format) = 0; // 1 PAL, 0 NTSC
    virtual unsigned ChangeMask() const = 0;
    virtual void SetChangeMask(unsigned mask) = 0;
    virtual int MuxFormat() const = 0;

    // The video parameters dialog on a copy of the settings; true when the
    // user confirmed it and the copy was taken over.
    virtual bool EditVideoSettings(QWidget* parent) = 0;
};

} // namespace bc
