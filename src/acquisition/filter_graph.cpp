#include "acquisition/filter_graph.h"

#include "acquisition/acquisition_dlg.h"
#include "acquisition/video_wnd.h"
#include "core/program_values.h"
#include "platform/prompter.h"
#include "res/resource_bitmaps.h"

#include <QIcon>
#include <QMetaObject>
#include <QPixmap>
#include <QObject>

#include <chrono>
#include <mutex>

namespace bc {

void ensureGstreamer()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gst_is_initialized())
            gst_init(nullptr, nullptr);
    });
}

namespace {

std::mutex g_hookMutex;
std::function<void(CVideoWnd&)> g_videoWindowHook;

} // namespace

void setVideoWindowHook(std::function<void(CVideoWnd&)> hook)
{
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_videoWindowHook = std::move(hook);
}

CFilterGraph::CFilterGraph() : notifier_(std::make_unique<QObject>())
{
    ensureGstreamer();
    graphState_ = GraphStateNone;
}

CFilterGraph::~CFilterGraph()
{
    releasePipeline();
    closeVideoWindow();
    graphState_ = GraphStateNone;
}

void CFilterGraph::SetEventHandler(std::function<void(GraphEvent, const QString&)> handler)
{
    handler_ = std::move(handler);
}

GstElement* CFilterGraph::elementByName(const char* name) const
{
    if (!pipeline_)
        return nullptr;
    return gst_bin_get_by_name(GST_BIN(pipeline_), name);
}

bool CFilterGraph::createPipeline()
{
    releasePipeline();
    pipeline_ = gst_pipeline_new("graph");
    if (!pipeline_)
        return false;
    gst_object_ref_sink(pipeline_);
    resetPosted();
    GstBus* bus = gst_element_get_bus(pipeline_);
    gst_bus_set_sync_handler(bus, &CFilterGraph::onBusMessage, this, nullptr);
    gst_object_unref(bus);
    return true;
}

void CFilterGraph::releasePipeline()
{
    delivering_ = false;
    if (!pipeline_)
        return;
    // NULL joins every streaming thread; no message arrives after this.
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    gst_element_get_state(pipeline_, nullptr, nullptr, GST_CLOCK_TIME_NONE);
    GstBus* bus = gst_element_get_bus(pipeline_);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_bus_set_flushing(bus, TRUE);
    gst_object_unref(bus);
    gst_object_unref(pipeline_);
    pipeline_ = nullptr;
}

bool CFilterGraph::changeState(int state, int timeoutMs)
{
    if (!pipeline_)
        return false;
    const GstStateChangeReturn r = gst_element_set_state(pipeline_, static_cast<GstState>(state));
    if (r == GST_STATE_CHANGE_FAILURE)
        return false;
    if (r == GST_STATE_CHANGE_ASYNC) {
        // Waits in short steps: an error posted meanwhile ends the wait at
        // once, so the limit can be generous for a busy machine or a slow
        // device without making a failure slow.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const GstStateChangeReturn w =
                gst_element_get_state(pipeline_, nullptr, nullptr, 20 * GST_MSECOND);
            if (w == GST_STATE_CHANGE_FAILURE)
                return false;
            if (w != GST_STATE_CHANGE_ASYNC)
                break;
            if (!postedError().isEmpty() || std::chrono::steady_clock::now() >= deadline)
                return false;
        }
    }
    return postedError().isEmpty();
}

void CFilterGraph::fail(const QString& text)
{
    lastError_ = text;
    messageBox(text, QStringLiteral("出错"), MB_OK | MB_ICONSTOP);
}

QString CFilterGraph::postedError() const
{
    std::lock_guard<std::mutex> lock(postedMutex_);
    return postedError_;
}

void CFilterGraph::resetPosted()
{
    std::lock_guard<std::mutex> lock(postedMutex_);
    postedError_.clear();
    eos_ = false;
}

bool CFilterGraph::waitForEndOfStream(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(postedMutex_);
    return postedCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return eos_.load() || !postedError_.isEmpty(); }) &&
           eos_.load();
}

void CFilterGraph::postError(const QString& text)
{
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(postedMutex_);
        first = postedError_.isEmpty();
        if (first)
            postedError_ = text;
    }
    postedCv_.notify_all();
    if (first)
        report(GraphEvent::Error, text);
}

GstBusSyncReply CFilterGraph::onBusMessage(GstBus*, GstMessage* msg, gpointer data)
{
    auto* self = static_cast<CFilterGraph*>(data);
    switch (GST_MESSAGE_TYPE(msg)) {
    case GST_MESSAGE_ERROR: {
        GError* err = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(msg, &err, &debug);
        const QString text = QString::fromUtf8(err ? err->message : "stream error");
        g_clear_error(&err);
        g_free(debug);
        self->postError(text);
        break;
    }
    case GST_MESSAGE_EOS: {
        {
            std::lock_guard<std::mutex> lock(self->postedMutex_);
            self->eos_ = true;
        }
        self->postedCv_.notify_all();
        self->report(GraphEvent::EndOfStream, QString());
        break;
    }
    default:
        break;
    }
    // Everything is handled here; nothing queues up on the bus. A dropped
    // message is ours to release.
    gst_message_unref(msg);
    return GST_BUS_DROP;
}

void CFilterGraph::report(GraphEvent event, const QString& text)
{
    // Only a playing graph tells the form; the build reads the posted error
    // itself. The call is queued to the notifier's (the user-interface)
    // thread and dropped if the graph is gone by then.
    const int state = graphState_.load();
    if (state != GraphStateRunning && state != GraphStatePaused)
        return;
    QMetaObject::invokeMethod(
        notifier_.get(),
        [this, event, text] {
            const int s = graphState_.load();
            if (handler_ && (s == GraphStateRunning || s == GraphStatePaused))
                handler_(event, text);
        },
        Qt::QueuedConnection);
}

CVideoWnd* CFilterGraph::videoWindow() const { return videoWnd_.data(); }

void CFilterGraph::presentFrame(const uint8_t* bgr, int width, int height, int stride)
{
    std::lock_guard<std::mutex> lock(slotMutex_);
    if (slot_)
        slot_->present(bgr, width, height, stride);
}

void CFilterGraph::closeVideoWindow()
{
    {
        std::lock_guard<std::mutex> lock(slotMutex_);
        slot_.reset();
    }
    delete videoWnd_.data();
    videoWnd_ = nullptr;
}

bool CFilterGraph::Play()
{
    const int state = graphState_.load();
    if (state != GraphStateStopped && state != GraphStatePaused)
        return false;
    if (!videoWnd_) {
        // A window of its own, but in the modal form's family, so that the
        // running form does not block it.
        CAcquisitionDlg* form = CAcquisitionDlg::mainForm();
        auto* w = new CVideoWnd(CVideoWnd::videoSizeForCode(FrameFormat::videoSizeCode()), form);
        w->setWindowFlags(Qt::Window);
        w->setWindowTitle(QStringLiteral("澜石视界2011-播放窗口"));
        w->setWindowIcon(QIcon(QPixmap::fromImage(loadResourceBitmap(IDI_VIDEO))));
        if (form) {
            w->setMainForm(form);
            // Queued: the form deletes this graph, and with it the window.
            QObject::connect(w, &CVideoWnd::closeRequested, form,
                             &CAcquisitionDlg::OnVideoWindowClosed, Qt::QueuedConnection);
        }
        {
            std::lock_guard<std::mutex> lock(g_hookMutex);
            if (g_videoWindowHook)
                g_videoWindowHook(*w);
        }
        videoWnd_ = w;
        {
            std::lock_guard<std::mutex> lock(slotMutex_);
            slot_ = w->frameSlot();
        }
        w->show();
    }
    if (!pipeline_ || !beforePlay()) {
        fail(QStringLiteral("无法播放,请先停止其它操作"));
        return false;
    }
    delivering_ = true;
    if (!changeState(GST_STATE_PLAYING, kRunTimeoutMs)) {
        delivering_ = false;
        gst_element_set_state(pipeline_, GST_STATE_PAUSED);
        fail(QStringLiteral("无法播放,请先停止其它操作"));
        return false;
    }
    graphState_ = GraphStateRunning;
    return true;
}

bool CFilterGraph::Stop()
{
    const int state = graphState_.load();
    if (state != GraphStatePaused && state != GraphStateRunning)
        return false;
    beforeStop();
    delivering_ = false;
    if (pipeline_) {
        const GstStateChangeReturn r = gst_element_set_state(pipeline_, GST_STATE_READY);
        if (r == GST_STATE_CHANGE_FAILURE) {
            // The stop goes on: the pipeline is brought down all the way.
            messageBox(QStringLiteral("Error: FILTERGRAPH: Can't Stop, IMediaControl::Stop "
                                      "returned 0x%1")
                           .arg(kHrFail, 0, 16),
                       QStringLiteral("出错"), MB_OK | MB_ICONSTOP);
            gst_element_set_state(pipeline_, GST_STATE_NULL);
        }
        gst_element_get_state(pipeline_, nullptr, nullptr, 5 * GST_SECOND);
    }
    graphState_ = GraphStateStopped;
    closeVideoWindow();
    afterStop();
    return true;
}

bool CFilterGraph::Pause()
{
    if (graphState_.load() != GraphStateRunning || !pipeline_)
        return false;
    if (!changeState(GST_STATE_PAUSED, kRunTimeoutMs))
        return false;
    graphState_ = GraphStatePaused;
    return true;
}

bool CFilterGraph::Run()
{
    const int state = graphState_.load();
    if ((state != GraphStateStopped && state != GraphStatePaused) || !pipeline_)
        return false;
    delivering_ = true;
    if (!changeState(GST_STATE_PLAYING, kRunTimeoutMs)) {
        delivering_ = state == GraphStatePaused;
        return false;
    }
    graphState_ = GraphStateRunning;
    return true;
}

} // namespace bc
