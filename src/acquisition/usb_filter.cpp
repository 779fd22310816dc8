#include "acquisition/usb_filter.h"

#include "acquisition/device_control.h"
#include "acquisition/dvr_settings.h"
#include "acquisition/mpeg_encoder.h"
#include "acquisition/video_param_dlg.h"
#include "core/program_values.h"
#include "platform/prompter.h"
#include "core/system_error.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QThread>

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace bc {

namespace {

std::mutex g_overrideMutex;
QHash<QString, QString> g_overrides;

QByteArray factoryFor(const char* elementName, const char* usual)
{
    std::lock_guard<std::mutex> lock(g_overrideMutex);
    const auto it = g_overrides.constFind(QString::fromUtf8(elementName));
    return it == g_overrides.constEnd() ? QByteArray(usual) : it->toUtf8();
}

QString hr(unsigned code) { return QStringLiteral("0x") + QString::number(code, 16); }

bool linkChain(std::initializer_list<GstElement*> chain)
{
    GstElement* prev = nullptr;
    for (GstElement* e : chain) {
        if (!e)
            return false;
        if (prev && !gst_element_link(prev, e))
            return false;
        prev = e;
    }
    return true;
}

} // namespace

USBFilter::USBFilter(CDvrAppSettings& settings, FrameSink sink)
    : settings_(settings), sink_(std::move(sink))
{
    graphState_ = GraphStateStopped;
}

USBFilter::~USBFilter()
{
    TearDownGraph();
    graphState_ = GraphStateNone;
}

void USBFilter::OverrideFactory(const QString& elementName, const QString& factory)
{
    std::lock_guard<std::mutex> lock(g_overrideMutex);
    if (factory.isEmpty())
        g_overrides.remove(elementName);
    else
        g_overrides.insert(elementName, factory);
}

void USBFilter::SetFrameSink(FrameSink sink)
{
    std::lock_guard<std::mutex> lock(sinkMutex_);
    sink_ = std::move(sink);
}

int64_t USBFilter::RecordedFrames() const
{
    std::lock_guard<std::mutex> lock(encoderMutex_);
    return encoder_ ? encoder_->framesEncoded() : 0;
}

bool USBFilter::IsRecording() const { return recording_; }

GstElement* USBFilter::add(const char* name, const char* usualFactory, const QString& failText)
{
    // Named elements can be replaced for tests; helpers of our own cannot.
    const QByteArray factory = name ? factoryFor(name, usualFactory) : QByteArray(usualFactory);
    GstElement* e = gst_element_factory_make(factory.constData(), name);
    if (!e) {
        fail(prefix_ + failText + hr(kHrClassNotRegistered));
        return nullptr;
    }
    if (!gst_bin_add(GST_BIN(pipeline_), e)) {
        gst_object_unref(gst_object_ref_sink(e)); // never owned by the pipeline
        fail(prefix_ + failText + hr(kHrFail));
        return nullptr;
    }
    return e;
}

GstElement* USBFilter::addUnnamed(const char* factory, const QString& failText)
{
    return add(nullptr, factory, failText);
}

void USBFilter::armGrabber(GstElement* appsink, bool recorder)
{
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", nullptr);
    gst_app_sink_set_caps(GST_APP_SINK(appsink), caps);
    gst_caps_unref(caps);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink* sink, gpointer data) -> GstFlowReturn {
        auto* self = static_cast<USBFilter*>(data);
        const bool isRecorder =
            g_object_get_data(G_OBJECT(sink), "bc-recorder") != nullptr;
        self->deliver(GST_ELEMENT(sink), isRecorder);
        return GST_FLOW_OK;
    };
    if (recorder)
        g_object_set_data(G_OBJECT(appsink), "bc-recorder", GINT_TO_POINTER(1));
    gst_app_sink_set_callbacks(GST_APP_SINK(appsink), &callbacks, this, nullptr);
}

void USBFilter::deliver(GstElement* appsink, bool recorder)
{
    GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(appsink));
    if (!sample)
        return;
    GstVideoInfo info;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstCaps* caps = gst_sample_get_caps(sample);
    GstMapInfo map;
    if (delivering_.load() && buffer && caps && gst_video_info_from_caps(&info, caps) &&
        gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        const int w = GST_VIDEO_INFO_WIDTH(&info);
        const int h = GST_VIDEO_INFO_HEIGHT(&info);
        const int stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
        if (map.size >= static_cast<gsize>(stride) * static_cast<gsize>(h)) {
            if (recorder) {
                bool lost = false;
                {
                    std::lock_guard<std::mutex> lock(encoderMutex_);
                    if (encoder_ && encoder_->isOpen() &&
                        !encoder_->addFrame(map.data, w, h, stride))
                        lost = !recordWriteFailed_.exchange(true);
                }
                // A recording that can no longer be written (a full disk)
                // ends the mode like a lost stream; Stop tells the user.
                if (lost)
                    postError(QStringLiteral("录像文件写入失败"));
            } else {
                {
                    std::lock_guard<std::mutex> lock(sinkMutex_);
                    if (sink_)
                        sink_(map.data, w, h, stride);
                }
                presentFrame(map.data, w, h, stride);
            }
        }
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
}

bool USBFilter::waitForGrabberCaps(int timeoutMs)
{
    GstElement* grab = elementByName(kGrabberName);
    if (!grab)
        return false;
    GstPad* pad = gst_element_get_static_pad(grab, "sink");
    gst_object_unref(grab);
    if (!pad)
        return false;
    bool ok = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline && postedError().isEmpty()) {
        if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
            gst_caps_unref(caps);
            ok = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    gst_object_unref(pad);
    return ok;
}

bool USBFilter::readConnectedFormat()
{
    GstElement* grab = elementByName(kGrabberName);
    if (!grab)
        return false;
    GstPad* pad = gst_element_get_static_pad(grab, "sink");
    gst_object_unref(grab);
    if (!pad)
        return false;
    GstCaps* caps = gst_pad_get_current_caps(pad);
    gst_object_unref(pad);
    if (!caps)
        return false;
    GstVideoInfo info;
    const bool ok = gst_video_info_from_caps(&info, caps);
    gst_caps_unref(caps);
    if (!ok || GST_VIDEO_INFO_WIDTH(&info) <= 0 || GST_VIDEO_INFO_HEIGHT(&info) <= 0)
        return false;
    FrameFormat::publishSize(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
    return true;
}

void USBFilter::onPadAdded(GstElement*, GstPad* pad, gpointer data)
{
    auto* self = static_cast<USBFilter*>(data);
    if (self->dynamicLinked_.load() || !self->dynamicTarget_)
        return;
    bool video = false;
    if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
        const GstStructure* s = gst_caps_get_structure(caps, 0);
        video = s && g_str_has_prefix(gst_structure_get_name(s), "video/");
        gst_caps_unref(caps);
    } else {
        gchar* name = gst_pad_get_name(pad);
        video = name && g_str_has_prefix(name, "video");
        g_free(name);
    }
    if (!video)
        return;
    GstPad* sinkPad = gst_element_get_static_pad(self->dynamicTarget_, "sink");
    if (!sinkPad) {
        self->dynamicLinkFailed_ = true;
        return;
    }
    if (gst_pad_link(pad, sinkPad) == GST_PAD_LINK_OK)
        self->dynamicLinked_ = true;
    else
        self->dynamicLinkFailed_ = true;
    gst_object_unref(sinkPad);
}

void USBFilter::findStartOffset()
{
    // A program stream's clock starts where its multiplexer began, not at 0:
    // the first picture's time is the start of the recording. Seeking there
    // also spares the sink from waiting for it.
    startOffsetNs_ = 0;
    GstElement* grab = elementByName(kGrabberName);
    if (!grab)
        return;
    if (GstSample* sample = gst_app_sink_try_pull_preroll(GST_APP_SINK(grab), 0)) {
        GstBuffer* b = gst_sample_get_buffer(sample);
        if (b && GST_BUFFER_PTS_IS_VALID(b))
            startOffsetNs_ = static_cast<int64_t>(GST_BUFFER_PTS(b));
        gst_sample_unref(sample);
    }
    gst_object_unref(grab);
    if (startOffsetNs_ > 0)
        seekTo(startOffsetNs_);
}

bool USBFilter::seekTo(int64_t ns)
{
    // The program stream demuxer lands where the stream's clock reaches the
    // target, well after the key picture the target needs (the clock runs
    // ahead of the pictures by the multiplexer's delay, and a group of
    // pictures lasts up to 0.6 s). So the demuxer is sent two seconds earlier
    // and the pictures before the target are dropped here, with the segment
    // starting at the target so that playing resumes there at once.
    static constexpr int64_t kLeadNs = 2 * GST_SECOND;
    const int64_t from = std::max<int64_t>(0, ns - kLeadNs);
    clipBeforeNs_ = ns;
    if (!gst_element_seek_simple(pipeline_, GST_FORMAT_TIME,
                                 static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH |
                                                           GST_SEEK_FLAG_ACCURATE),
                                 from)) {
        clipBeforeNs_ = -1;
        return false;
    }
    clearEndOfStream();
    gst_element_get_state(pipeline_, nullptr, nullptr, 5 * GST_SECOND);
    return true;
}

void USBFilter::armPlaybackGrabber(GstElement* grab)
{
    // A played file runs on the clock and loses no picture.
    armGrabber(grab, false);
    g_object_set(grab, "sync", TRUE, "max-buffers", 2u, "drop", FALSE, nullptr);
    GstPad* pad = gst_element_get_static_pad(grab, "sink");
    if (!pad)
        return;
    gst_pad_add_probe(pad,
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                   GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      &USBFilter::onGrabberData, this, nullptr);
    gst_object_unref(pad);
}

GstPadProbeReturn USBFilter::onGrabberData(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    auto* self = static_cast<USBFilter*>(data);
    const int64_t clip = self->clipBeforeNs_.load();
    if (clip < 0)
        return GST_PAD_PROBE_OK;
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        GstBuffer* b = GST_PAD_PROBE_INFO_BUFFER(info);
        if (!GST_BUFFER_PTS_IS_VALID(b))
            return GST_PAD_PROBE_OK;
        const int64_t pts = static_cast<int64_t>(GST_BUFFER_PTS(b));
        // Half a picture of tolerance for rounded times.
        if (pts + static_cast<int64_t>(GST_MSECOND) * 20 < clip)
            return GST_PAD_PROBE_DROP;
        self->clipBeforeNs_ = -1;
        return GST_PAD_PROBE_OK;
    }
    GstEvent* ev = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(ev) == GST_EVENT_SEGMENT) {
        const GstSegment* seg = nullptr;
        gst_event_parse_segment(ev, &seg);
        if (seg && seg->format == GST_FORMAT_TIME && static_cast<int64_t>(seg->start) < clip) {
            GstSegment moved;
            gst_segment_copy_into(seg, &moved);
            moved.time += static_cast<guint64>(clip) - moved.start;
            moved.position = static_cast<guint64>(clip);
            moved.start = static_cast<guint64>(clip);
            GstEvent* replacement = gst_event_new_segment(&moved);
            gst_event_set_seqnum(replacement, gst_event_get_seqnum(ev));
            gst_event_unref(ev);
            GST_PAD_PROBE_INFO_DATA(info) = replacement;
        }
    }
    return GST_PAD_PROBE_OK;
}

bool USBFilter::BuildGraph(int kind, const GraphRequest& request)
{
    lastError_.clear();
    switch (kind) {
    case GraphKindPreview:
    case GraphKindPreviewRecord: {
        const bool record = kind == GraphKindPreviewRecord || request.recordFlag;
        if (buildPreview(record, request.mediaPath))
            return true;
        // A recording that never started leaves no file behind.
        finishRecording(false);
        recording_ = false;
        return false;
    }
    case GraphKindPlayback:
        if (buildDemuxPlayback(request.mediaPath))
            return true;
        TearDownGraph();
        return buildDecodebinPlayback(request.mediaPath);
    case GraphKindProbe:
        return buildProbe();
    default:
        return false;
    }
}

bool USBFilter::buildPreview(bool record, const QString& path)
{
    TearDownGraph();
    if (!createPipeline()) {
        fail(QStringLiteral("Error:USBFilter::SMBuildPreviewGraph,\n Create IBuildGraph Instance "
                            "Failed,\n returned hr = ") +
             hr(kHrFail));
        return false;
    }
    prefix_ = QStringLiteral("Error: USBFilter::SMBuildPreviewGraph,\n ");
    const ResolvedSource source = resolveCaptureSource();
    const QString addSource = QStringLiteral("Adding USB Source Failed,\n returned hr = ");
    const QString addSplitter = QStringLiteral("Adding Splitter Failed,\n returned hr = ");
    if (source.kind == ResolvedSource::None) {
        fail(prefix_ + addSource + hr(0x80070002)); // the device's node is not there
        return false;
    }
    const bool test = source.kind == ResolvedSource::Test;
    GstElement* src = add(kSourceName, test ? "videotestsrc" : "v4l2src", addSource);
    if (!src)
        return false;
    GstElement* tee = add(kDeviceSplitterName, "tee", addSplitter);
    if (!tee)
        return false;
    GstElement* grab = add(kGrabberName, "appsink",
                           QStringLiteral("Adding Bmp Grabber Failed,\n returned hr = "));
    if (!grab)
        return false;
    GstElement* conv = add(kConverterName, "videoconvert",
                           QStringLiteral("Adding Color Space Converter Failed,\n returned hr = "));
    if (!conv)
        return false;
    GstElement* grabQueue =
        addUnnamed("queue", QStringLiteral("Adding Bmp Grabber Failed,\n returned hr = "));
    if (!grabQueue)
        return false;
    GstElement* srcCaps = nullptr;
    if (test) {
        srcCaps = addUnnamed("capsfilter", addSource);
        if (!srcCaps)
            return false;
        g_object_set(src, "is-live", TRUE, nullptr);
        GstCaps* c = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, source.width,
                                         "height", G_TYPE_INT, source.height, "framerate",
                                         GST_TYPE_FRACTION, source.fps, 1, nullptr);
        g_object_set(srcCaps, "caps", c, nullptr);
        gst_caps_unref(c);
        control_ = std::make_unique<CTestSourceControl>(source.height != 480 &&
                                                        source.height != 240);
    } else {
        const QByteArray dev = QFile::encodeName(source.device);
        g_object_set(src, "device", dev.constData(), nullptr);
        control_ = makeV4l2DeviceControl(source.device);
    }
    // The display branch drops frames rather than hold up the stream.
    g_object_set(grabQueue, "leaky", 2, "max-size-buffers", 2u, "max-size-bytes", 0u,
                 "max-size-time", guint64(0), nullptr);
    // A live stream never prerolls: the grabber takes part in no state
    // change, so going from paused to playing never waits on a first frame
    // that a just-paused source may not send (the format is learnt from the
    // grabber's caps instead).
    g_object_set(grab, "sync", FALSE, "async", FALSE, "max-buffers", 2u, "drop", TRUE, nullptr);
    armGrabber(grab, false);

    GstElement* recQueue = nullptr;
    GstElement* rate = nullptr;
    GstElement* rateCaps = nullptr;
    GstElement* rec = nullptr;
    EncoderProfile profile;
    if (record) {
        profile = encoderProfileFor(settings_);
        recQueue = addUnnamed("queue", addSplitter);
        rate = recQueue ? addUnnamed("videorate", addSplitter) : nullptr;
        rateCaps = rate ? addUnnamed("capsfilter", addSplitter) : nullptr;
        rec = rateCaps ? add(kRecorderName, "appsink", addSplitter) : nullptr;
        if (!rec)
            return false;
        // Two seconds of frames wait for the encoder; beyond that the oldest
        // go and the rate keeper repeats frames in their place.
        g_object_set(recQueue, "leaky", 2, "max-size-buffers", 50u, "max-size-bytes", 0u,
                     "max-size-time", guint64(0), nullptr);
        GstCaps* c = gst_caps_new_simple("video/x-raw", "framerate", GST_TYPE_FRACTION,
                                         profile.frameRateNum, profile.frameRateDen, nullptr);
        g_object_set(rateCaps, "caps", c, nullptr);
        gst_caps_unref(c);
        g_object_set(rec, "sync", FALSE, "async", FALSE, nullptr);
        armGrabber(rec, true);
        std::lock_guard<std::mutex> lock(encoderMutex_);
        encoder_ = std::make_unique<CMpegEncoder>();
        recordWriteFailed_ = false;
        recordPath_ = path;
        if (path.isEmpty() || !encoder_->open(path, profile)) {
            encoder_.reset();
            fail(prefix_ + addSplitter + hr(kHrAccessDenied));
            return false;
        }
        recording_ = true;
    }

    bool linked = test ? linkChain({src, srcCaps, conv, tee}) : linkChain({src, conv, tee});
    if (!linked) {
        fail(QStringLiteral("Error: USBFilter::SMBuildPreviewGraph, Connect USB source to "
                            "Splitter Failed"));
        return false;
    }
    if (record && !linkChain({tee, recQueue, rate, rateCaps, rec})) {
        fail(QStringLiteral("Error: USBFilter::SMBuildPreviewGraph, Connect Splitter to Video "
                            "decoder Failed"));
        return false;
    }
    if (!linkChain({tee, grabQueue, grab})) {
        fail(QStringLiteral("Error: USBFilter::SMBuildPreviewGraph,Connect Video decoder to Bmp "
                            "grabber Failed"));
        return false;
    }

    // Connect: the stream starts just long enough to fix its format, then
    // waits paused for Play.
    const bool connected = changeState(GST_STATE_PLAYING, kRunTimeoutMs) &&
                           waitForGrabberCaps(kRunTimeoutMs) &&
                           readConnectedFormat();
    if (!connected) {
        fail(QStringLiteral("Warning: USBFilter::SMBuildPreviewGraph,\n Get the connected media "
                            "type Failed"));
        return false;
    }
    gst_element_set_state(pipeline_, GST_STATE_PAUSED);
    gst_element_get_state(pipeline_, nullptr, nullptr, 5 * GST_SECOND);
    graphKind_ = GraphKindPreview;
    return true;
}

bool USBFilter::buildDemuxPlayback(const QString& path)
{
    TearDownGraph();
    if (!createPipeline())
        return false;
    prefix_ = QStringLiteral("Error: USBFilter::SMBuildULeadPlayBackGraph,\n ");
    GstElement* fsrc = add(kFileSourceName, "filesrc",
                           QStringLiteral("Adding file source Failed,\n returned hr = "));
    if (!fsrc)
        return false;
    GstElement* demux = add(kFileSplitterName, "mpegpsdemux",
                            QStringLiteral("Adding ULead MPEG Splitter Failed,\n returned hr = "));
    if (!demux)
        return false;
    const QString addDecoder = QStringLiteral("Adding Video Decoder Failed,\n returned hr = ");
    GstElement* dec = add(kVideoDecoderName, "avdec_mpeg2video", addDecoder);
    if (!dec)
        return false;
    GstElement* grab = add(kGrabberName, "appsink",
                           QStringLiteral("Adding Bmp Grabber Failed,\n returned hr = "));
    if (!grab)
        return false;
    GstElement* conv = add(kConverterName, "videoconvert",
                           QStringLiteral("Adding Color Space Converter Failed,\n returned hr = "));
    if (!conv)
        return false;
    GstElement* parse = addUnnamed("mpegvideoparse", addDecoder);
    if (!parse)
        return false;
    armPlaybackGrabber(grab);

    if (!openFile(fsrc, path, QStringLiteral("Failed to Read the video file")))
        return false;

    if (!gst_element_link(fsrc, demux)) {
        fail(prefix_ + QStringLiteral("Connect file source to ULead MPEG Splitter Failed"));
        return false;
    }
    if (!gst_element_link(parse, dec)) {
        fail(prefix_ + QStringLiteral("Connect Splitter to video decoder Failed"));
        return false;
    }
    if (!linkChain({dec, conv, grab})) {
        fail(prefix_ + QStringLiteral("Connect video decoder to bmp grabber Failed"));
        return false;
    }
    return connectPlayback(demux, parse,
                           QStringLiteral("Connect Splitter to video decoder Failed"));
}

bool USBFilter::buildDecodebinPlayback(const QString& path)
{
    TearDownGraph();
    prefix_ = QStringLiteral("Error: USBFilter::SMBuildPlayBackGraph,\n ");
    if (!createPipeline()) {
        fail(prefix_ + QStringLiteral("Create IBuildGraph Instance Failed,\n returned hr = ") +
             hr(kHrFail));
        return false;
    }
    GstElement* fsrc = add(kFileSourceName, "filesrc",
                           QStringLiteral("Adding file source Failed,\n returned hr "));
    if (!fsrc)
        return false;
    GstElement* splitter =
        add(kDeviceSplitterName, "decodebin",
            QStringLiteral("Adding Cirrus Logic USB-DVR2 Splitter Failed,\n returned hr = "));
    if (!splitter)
        return false;
    GstElement* grab = add(kGrabberName, "appsink",
                           QStringLiteral("Adding Bmp Grabber Failed,\n returned hr = "));
    if (!grab)
        return false;
    GstElement* conv = add(kConverterName, "videoconvert",
                           QStringLiteral("Adding Color Space Converter Failed,\n returned hr = "));
    if (!conv)
        return false;
    armPlaybackGrabber(grab);

    if (!openFile(fsrc, path, QStringLiteral("Failed to Read video file")))
        return false;

    if (!gst_element_link(fsrc, splitter)) {
        fail(prefix_ + QStringLiteral("Connect File source to Splitter Failed"));
        return false;
    }
    if (!gst_element_link(conv, grab)) {
        fail(prefix_ + QStringLiteral("Connect Video decoder to Bmp grabber Failed"));
        return false;
    }
    return connectPlayback(splitter, conv,
                           QStringLiteral("Connect Splitter to Video decoder Failed"));
}

bool USBFilter::openFile(GstElement* fileSource, const QString& path, const QString& failText)
{
    QFile probe(path);
    if (path.isEmpty() || !QFileInfo(path).isFile() || !probe.open(QIODevice::ReadOnly)) {
        fail(failText);
        return false;
    }
    probe.close();
    const QByteArray location = QFile::encodeName(path);
    g_object_set(fileSource, "location", location.constData(), nullptr);
    return true;
}

bool USBFilter::connectPlayback(GstElement* splitter, GstElement* target,
                                const QString& linkFailText)
{
    // The splitter's video pad appears while the file prerolls; it is linked
    // to `target` then.
    dynamicTarget_ = target;
    dynamicLinked_ = false;
    dynamicLinkFailed_ = false;
    g_signal_connect(splitter, "pad-added", G_CALLBACK(&USBFilter::onPadAdded), this);

    const bool prerolled = changeState(GST_STATE_PAUSED, 10000);
    if (!dynamicLinked_.load()) {
        fail(prefix_ + linkFailText);
        return false;
    }
    if (!prerolled || !readConnectedFormat()) {
        fail(prefix_ + QStringLiteral("Get the connected media type Failed"));
        return false;
    }
    findStartOffset();
    graphKind_ = GraphKindPlayback;
    return true;
}

bool USBFilter::buildProbe()
{
    TearDownGraph();
    // Nothing is shown on any failure: the form tells the user.
    if (!createPipeline())
        return false;
    const ResolvedSource source = resolveCaptureSource();
    if (source.kind == ResolvedSource::None)
        return false;
    const bool test = source.kind == ResolvedSource::Test;
    const QByteArray factory = factoryFor(kSourceName, test ? "videotestsrc" : "v4l2src");
    GstElement* src = gst_element_factory_make(factory.constData(), kSourceName);
    if (!src)
        return false;
    if (!gst_bin_add(GST_BIN(pipeline_), src)) {
        gst_object_unref(gst_object_ref_sink(src));
        return false;
    }
    if (!test) {
        const QByteArray dev = QFile::encodeName(source.device);
        g_object_set(src, "device", dev.constData(), nullptr);
    }
    // Opening the source opens the device.
    if (gst_element_set_state(pipeline_, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE)
        return false;
    if (test)
        control_ = std::make_unique<CTestSourceControl>(source.height != 480 &&
                                                        source.height != 240);
    else
        control_ = makeV4l2DeviceControl(source.device);
    graphKind_ = GraphKindProbe;
    return true;
}

bool USBFilter::TearDownGraph()
{
    const int state = graphState_.load();
    if (state == GraphStateRunning || state == GraphStatePaused)
        Stop();
    releasePipeline();
    dynamicTarget_ = nullptr;
    finishRecording(false); // a graph that ran was finished by its Stop
    {
        std::lock_guard<std::mutex> lock(encoderMutex_);
        encoder_.reset();
    }
    recording_ = false;
    control_.reset();
    graphKind_ = GraphKindNone;
    duration_ = 0;
    position_ = 0;
    startOffsetNs_ = 0;
    clipBeforeNs_ = -1;
    return true;
}

int USBFilter::SetDeviceParam(int code, uint8_t* arg)
{
    if (!pipeline_ || (graphKind_ != GraphKindPreview && graphKind_ != GraphKindProbe))
        return 0;
    return deviceParam(control_.get(), settings_, code, arg);
}

bool USBFilter::beforePlay()
{
    resetPosted();
    return true;
}

void USBFilter::beforeStop()
{
    // A recording ends with its last frames: the end of the stream runs
    // through the encoder's branch before the pipeline stops.
    if (recording_ && graphState_.load() == GraphStateRunning && postedError().isEmpty()) {
        gst_element_send_event(pipeline_, gst_event_new_eos());
        waitForEndOfStream(kRunTimeoutMs);
    }
}

// Only a graph that played is stopped.
void USBFilter::afterStop() { finishRecording(true); }

void USBFilter::finishRecording(bool played)
{
    bool finished = false;
    bool ok = true;
    bool empty = false;
    int error = 0;
    {
        std::lock_guard<std::mutex> lock(encoderMutex_);
        if (encoder_ && encoder_->isOpen()) {
            finished = true;
            ok = encoder_->finish();
            empty = encoder_->framesEncoded() == 0;
            error = encoder_->writeErrorNumber();
        }
    }
    if (!finished)
        return;
    // A recording that lost frames or its end is never reported as made;
    // the system's reason follows the path.
    if (!ok || recordWriteFailed_.load()) {
        QString text = QStringLiteral("录像文件写入失败:\n") + QDir::toNativeSeparators(recordPath_);
        if (error != 0)
            text += QLatin1Char('\n') + SystemErrorText(error);
        fail(text);
    }
    // One that never got a picture because its graph failed to build or to
    // play leaves no file behind; only a file it made, never a device node.
    if (!played && empty && QFileInfo(recordPath_).isFile())
        QFile::remove(recordPath_);
}

bool USBFilter::SeekToFraction(float fraction)
{
    if (!pipeline_ || graphKind_ != GraphKindPlayback)
        return false;
    int64_t duration = 0;
    if (!GetDuration(duration))
        return false;
    const auto target = static_cast<int64_t>(static_cast<double>(duration) * fraction);
    return seekTo(startOffsetNs_ + std::max<int64_t>(0, target) * 100);
}

bool USBFilter::GetDuration(int64_t& duration)
{
    if (!pipeline_ || graphKind_ != GraphKindPlayback)
        return false;
    gint64 ns = 0;
    if (!gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &ns) || ns <= 0)
        return false;
    duration_ = ns / 100;
    duration = duration_;
    return true;
}

bool USBFilter::GetPositionFraction(float& fraction)
{
    if (!pipeline_ || graphKind_ != GraphKindPlayback)
        return false;
    if (endOfStream()) {
        fraction = 1.0f;
        return true;
    }
    int64_t duration = 0;
    gint64 ns = 0;
    if (!GetDuration(duration) || !gst_element_query_position(pipeline_, GST_FORMAT_TIME, &ns))
        return false;
    position_ = (ns - startOffsetNs_) / 100;
    const double f = static_cast<double>(position_) / static_cast<double>(duration);
    fraction = static_cast<float>(std::clamp(f, 0.0, 1.0));
    return true;
}

namespace {

class UsbGraphFactory : public ICaptureGraphFactory {
public:
    UsbGraphFactory(FrameSink sink, QSettings* store)
        : sink_(std::move(sink)), store_(store), settings_(store)
    {
    }

    std::unique_ptr<ICaptureGraph> CreateGraph() override
    {
        return std::make_unique<USBFilter>(settings_, sink_);
    }
    int VideoSource() const override { return settings_.VideoSource; }
    void SetVideoFormat(int format) override { settings_.VideoFormat = format; }
    unsigned ChangeMask() const override { return static_cast<unsigned>(settings_.changeMask); }
    void SetChangeMask(unsigned mask) override { settings_.changeMask = static_cast<int>(mask); }
    int MuxFormat() const override { return settings_.MuxFormat; }

    bool EditVideoSettings(QWidget* parent) override
    {
        CVideoParamDlg dlg(settings_, parent, store_);
        if (dlg.DoModal() != IDOK)
            return false;
        settings_.Assign(dlg.settings());
        return true;
    }

private:
    FrameSink sink_;
    QSettings* store_;
    CDvrAppSettings settings_;
};

} // namespace

std::unique_ptr<ICaptureGraphFactory> makeUsbGraphFactory(FrameSink sink, QSettings* store)
{
    return std::make_unique<UsbGraphFactory>(std::move(sink), store);
}

} // namespace bc
