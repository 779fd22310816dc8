#pragma once
// The capture device's graphs on GStreamer: the preview (live video, also
// recording when asked), the playback of a recording, and the probe that only
// opens the device's source. Elements are added under the names the station
// has always used for its filters, and every failed step is told in the
// builder's own words.

#include "acquisition/filter_graph.h"

#include <QString>

class QSettings;

#include <memory>
#include <mutex>

namespace bc {

class CDvrAppSettings;
class CDeviceControl;
class CMpegEncoder;

// Names under which the elements are added (and found again).
inline constexpr const char* kSourceName = "Cirrus Logic USB2 2288 Video Source";
inline constexpr const char* kDeviceSplitterName = "Cirrus Logic USB2 Splitter";
inline constexpr const char* kFileSourceName = "ULead MPEG File Source";
inline constexpr const char* kFileSplitterName = "ULead MPEG  Splitter";
inline constexpr const char* kVideoDecoderName = "ULead MPEG Video Decoder";
inline constexpr const char* kGrabberName = "Bmp File Grab";
inline constexpr const char* kConverterName = "Color Space Converter Filter";
inline constexpr const char* kRecorderName = "MPEG Recorder";

class USBFilter : public CFilterGraph {
public:
    // `settings` (the form's capture-device values) must outlive the graph.
    explicit USBFilter(CDvrAppSettings& settings, FrameSink sink = {});
    ~USBFilter() override;

    // Kinds 0 and 1: preview (recording when kind is 1 or the request asks
    // for it); 2: playback of request.mediaPath, the demuxer graph first and
    // the decodebin graph when it fails; 8: probe. Others build nothing.
    bool BuildGraph(int kind, const GraphRequest& request) override;
    // Stops a running graph (a recording is finished first) and releases
    // everything: the pipeline, the device and the file. Always succeeds.
    bool TearDownGraph() override;
    int SetDeviceParam(int code, uint8_t* arg = nullptr) override;

    bool SeekToFraction(float fraction) override;
    bool GetDuration(int64_t& duration) override;
    bool GetPositionFraction(float& fraction) override;

    // The grabber's sink; set it before Play.
    void SetFrameSink(FrameSink sink);

    // Frames written to the recording so far.
    int64_t RecordedFrames() const;
    bool IsRecording() const;

    // Which element factory makes the element added under `elementName`
    // (tests replace one to see a builder fail). An empty factory restores
    // the usual one.
    static void OverrideFactory(const QString& elementName, const QString& factory);

private:
    bool buildPreview(bool record, const QString& path);
    bool buildDemuxPlayback(const QString& path);
    bool buildDecodebinPlayback(const QString& path);
    bool buildProbe();
    // Points a playback graph's file source at `path`; `failText` when it
    // cannot be read.
    bool openFile(GstElement* fileSource, const QString& path, const QString& failText);
    // Prerolls a playback graph, linking the splitter's video to `target`,
    // and publishes its format.
    bool connectPlayback(GstElement* splitter, GstElement* target, const QString& linkFailText);

    GstElement* add(const char* name, const char* factory, const QString& failText);
    GstElement* addUnnamed(const char* factory, const QString& failText);
    bool readConnectedFormat();
    bool waitForGrabberCaps(int timeoutMs);
    // After a playback graph prerolled: where the file's pictures begin, and
    // playback made to start there.
    void findStartOffset();
    void armGrabber(GstElement* appsink, bool recorder);
    void deliver(GstElement* appsink, bool recorder);

    bool beforePlay() override;
    void beforeStop() override;
    void afterStop() override;
    // Closes an open recording; a recording that could not be written in
    // full is told in an error box. One that never `played` (its graph failed
    // to build or to run) is removed when it holds no picture; one that ran
    // and was stopped keeps its file, even before the device's first picture.
    void finishRecording(bool played);

    static void onPadAdded(GstElement* element, GstPad* pad, gpointer self);
    // Seeks a played file so that its first picture is the one at `ns`.
    bool seekTo(int64_t ns);
    // Arms a playback graph's grabber, with the probe that hides the pictures
    // before a seek's target.
    void armPlaybackGrabber(GstElement* grab);
    static GstPadProbeReturn onGrabberData(GstPad* pad, GstPadProbeInfo* info, gpointer self);

    CDvrAppSettings& settings_;
    std::mutex sinkMutex_;
    FrameSink sink_;
    std::unique_ptr<CDeviceControl> control_;
    mutable std::mutex encoderMutex_;
    std::unique_ptr<CMpegEncoder> encoder_;
    bool recording_ = false;
    std::atomic<bool> recordWriteFailed_{false};
    QString recordPath_;
    QString prefix_; // the builder's name in its messages
    GstElement* dynamicTarget_ = nullptr; // where a demuxer's video pad is linked
    std::atomic<bool> dynamicLinked_{false};
    std::atomic<bool> dynamicLinkFailed_{false};
    int64_t startOffsetNs_ = 0; // stream time of the first picture
    // Pictures before this time (ns) are decoded but not shown: a seek starts
    // the demuxer early enough to find a key picture before its target.
    std::atomic<int64_t> clipBeforeNs_{-1};
    int64_t duration_ = 0;
    int64_t position_ = 0;
};

// The form's graph factory on the capture device: keeps the capture-device
// settings (loaded from `store`, null meaning the device-values store, and
// saved when the factory is destroyed), builds USBFilter graphs with them that
// hand every frame to `sink`, and edits the settings with the video parameters
// dialog (on OK the copy is taken over).
std::unique_ptr<ICaptureGraphFactory> makeUsbGraphFactory(FrameSink sink,
                                                          QSettings* store = nullptr);

} // namespace bc
