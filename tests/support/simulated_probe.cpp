#include "support/simulated_probe.h"

#include <gst/base/gstpushsrc.h>
#include <gst/gst.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>

namespace bc::test {

// ---------------------------------------------------------------------------
// The probe's geometry

int ProbeOptics::topRow(int depthMm) const
{
    return firstTop + int(std::floor(double(depthMm) * rowsPerStep / stepMm));
}

namespace {

std::atomic<SimulatedCamera*> g_camera{nullptr};

// ---------------------------------------------------------------------------
// The source element: a live push source of BGR frames drawn from the camera.

struct SimCameraSrc {
    GstPushSrc parent;
    int width;
    int height;
    guint64 frames;
    gint64 startUs;
};

struct SimCameraSrcClass {
    GstPushSrcClass parent_class;
};

enum { PropIsLive = 1 };

GType sim_camera_src_get_type();
#define SIM_CAMERA_SRC(obj) reinterpret_cast<SimCameraSrc*>(obj)

G_DEFINE_TYPE(SimCameraSrc, sim_camera_src, GST_TYPE_PUSH_SRC)

GstStaticPadTemplate g_srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format=(string)BGR, width=(int)[16,4096], "
                    "height=(int)[16,4096], framerate=(fraction)[1/1,200/1]"));

void simSetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec)
{
    if (id == PropIsLive)
        gst_base_src_set_live(GST_BASE_SRC(object), g_value_get_boolean(value));
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

void simGetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec)
{
    if (id == PropIsLive)
        g_value_set_boolean(value, gst_base_src_is_live(GST_BASE_SRC(object)));
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

gboolean simSetCaps(GstBaseSrc* base, GstCaps* caps)
{
    SimCameraSrc* self = SIM_CAMERA_SRC(base);
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    return gst_structure_get_int(s, "width", &self->width) &&
           gst_structure_get_int(s, "height", &self->height);
}

gboolean simStart(GstBaseSrc* base)
{
    SimCameraSrc* self = SIM_CAMERA_SRC(base);
    self->frames = 0;
    self->startUs = g_get_monotonic_time();
    return TRUE;
}

GstFlowReturn simCreate(GstPushSrc* push, GstBuffer** out)
{
    SimCameraSrc* self = SIM_CAMERA_SRC(push);
    SimulatedCamera* camera = g_camera.load();
    // 25 frames a second.
    const gint64 due = self->startUs + gint64(self->frames) * 40000;
    const gint64 now = g_get_monotonic_time();
    if (due > now)
        g_usleep(gulong(due - now));
    const int w = self->width, h = self->height;
    const int stride = (w * 3 + 3) & ~3;
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, gsize(stride) * h, nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    std::vector<uint8_t> frame;
    if (camera && camera->camera().frameWidth == w && camera->camera().frameHeight == h)
        frame = camera->render();
    for (int y = 0; y < h; ++y) {
        uint8_t* row = map.data + size_t(y) * stride;
        if (frame.empty())
            std::memset(row, 90, size_t(stride));
        else
            std::memcpy(row, &frame[size_t(y) * w * 3], size_t(w) * 3);
    }
    gst_buffer_unmap(buffer, &map);
    GST_BUFFER_PTS(buffer) = self->frames * (GST_SECOND / 25);
    GST_BUFFER_DURATION(buffer) = GST_SECOND / 25;
    ++self->frames;
    *out = buffer;
    return GST_FLOW_OK;
}

void sim_camera_src_class_init(SimCameraSrcClass* klass)
{
    GObjectClass* object = G_OBJECT_CLASS(klass);
    object->set_property = simSetProperty;
    object->get_property = simGetProperty;
    g_object_class_install_property(
        object, PropIsLive,
        g_param_spec_boolean("is-live", "Is live", "Runs as a live source", FALSE,
                             GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(element, "Simulated borehole camera", "Source/Video",
                                          "The synthetic borehole seen from the probe", "tests");
    gst_element_class_add_static_pad_template(element, &g_srcTemplate);
    GST_BASE_SRC_CLASS(klass)->set_caps = simSetCaps;
    GST_BASE_SRC_CLASS(klass)->start = simStart;
    GST_PUSH_SRC_CLASS(klass)->create = simCreate;
}

void sim_camera_src_init(SimCameraSrc* self)
{
    self->width = 0;
    self->height = 0;
    self->frames = 0;
    self->startUs = 0;
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}

} // namespace

// ---------------------------------------------------------------------------
// The camera

SimulatedCamera::SimulatedCamera(const SyntheticBorehole& wall, const RingCamera& camera,
                                 ProbeOptics optics, const ProbePosition& position)
    : wall_(wall), camera_(camera), optics_(optics), position_(position)
{
    g_camera.store(this);
}

SimulatedCamera::~SimulatedCamera()
{
    g_camera.store(nullptr);
}

void SimulatedCamera::registerElement()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gst_is_initialized())
            gst_init(nullptr, nullptr);
        gst_element_register(nullptr, kFactory, GST_RANK_NONE, sim_camera_src_get_type());
    });
}

std::vector<uint8_t> SimulatedCamera::render() const
{
    int depth = 0, heading = 0;
    position_.get(depth, heading);
    return wall_.ringFrame(camera_, optics_.topRow(depth), heading);
}

// ---------------------------------------------------------------------------
// The counter

namespace {
constexpr int kHeadingStepMm = 200;
constexpr int kRestFrameMs = 20;
} // namespace

SimulatedCounter::SimulatedCounter(ProbePosition& position, int startDepthMm, int firstHeading)
    : position_(position), firstHeading_(firstHeading), depth_(startDepthMm)
{
    position_.set(startDepthMm, headingAt(startDepthMm));
    // Nobody may be reading the line (the program closed it, or lent it to
    // the port probe): frames that do not fit are lost, as on a real line,
    // and the device never blocks.
    ::fcntl(pty_.master(), F_SETFL, ::fcntl(pty_.master(), F_GETFL) | O_NONBLOCK);
    thread_ = std::thread([this] { run(); });
}

SimulatedCounter::~SimulatedCounter()
{
    stop_ = true;
    thread_.join();
}

int SimulatedCounter::headingAt(int depthMm) const
{
    const int turns = int(std::floor((depthMm + kHeadingStepMm / 2.0) / kHeadingStepMm));
    return ((firstHeading_ + turns) % 360 + 360) % 360;
}

void SimulatedCounter::hear(uint8_t byte)
{
    switch (byte) {
    case kLower:
        motion_ = 1;
        return;
    case kRaise:
        motion_ = -1;
        return;
    case kLowerStop:
    case kRaiseStop:
        motion_ = 0;
        return;
    default:
        return; // the turning keys move nothing here
    }
}

void SimulatedCounter::send(uint8_t direction)
{
    const int heading = headingAt(depth_.load());
    pty_.write(counterFrameBytes(direction, heading));
}

void SimulatedCounter::run()
{
    using Clock = std::chrono::steady_clock;
    auto lastFrame = Clock::now();
    auto nextStep = Clock::now();
    while (!stop_) {
        const int motion = motion_.load();
        int waitMs = motion ? 0 : 2;
        pollfd pfd{pty_.master(), POLLIN, 0};
        if (::poll(&pfd, 1, waitMs) > 0 && (pfd.revents & POLLIN)) {
            uint8_t buf[64];
            const ssize_t n = ::read(pty_.master(), buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i)
                hear(buf[i]);
            continue;
        }
        const auto now = Clock::now();
        if (motion_.load() != 0) {
            if (now < nextStep) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
                continue;
            }
            const int step = motion_.load();
            const int stopAt = endStop_.load();
            const int here = depth_.load();
            if ((step > 0 && here >= stopAt) || (step < 0 && here <= stopAt)) {
                // Held at the stop: the counter speaks as at rest.
                if (now - lastFrame >= std::chrono::milliseconds(kRestFrameMs)) {
                    send(0x00);
                    lastFrame = now;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            nextStep = now + std::chrono::microseconds(stepUs_.load());
            const int depth = depth_.fetch_add(step) + step;
            position_.set(depth, headingAt(depth));
            send(step > 0 ? 0xFE : 0x01);
            lastFrame = now;
        } else if (now - lastFrame >= std::chrono::milliseconds(kRestFrameMs)) {
            send(0x00);
            lastFrame = now;
        }
    }
}

} // namespace bc::test
