#include "core/program_values.h"

namespace bc {

namespace {

std::atomic<uint64_t> g_depthHeading{0};
std::atomic<bool> g_trigger{false};
std::atomic<int32_t> g_triggerDepth{0};

uint64_t pack(int32_t depth, int32_t heading)
{
    return (static_cast<uint64_t>(static_cast<uint32_t>(depth)) << 32) |
           static_cast<uint32_t>(heading);
}

DepthHeading unpack(uint64_t word)
{
    DepthHeading v;
    v.depth = static_cast<int32_t>(static_cast<uint32_t>(word >> 32));
    v.heading = static_cast<int32_t>(static_cast<uint32_t>(word & 0xFFFFFFFFu));
    return v;
}

std::atomic<unsigned> g_maxOuterRadius{100};
std::atomic<float> g_aspectDivisor{1.0913666f};
std::atomic<int> g_videoSizeCode{1};
std::atomic<int> g_frameWidth{0};
std::atomic<int> g_frameHeight{0};

} // namespace

std::atomic<bool> oneShotRequest{false};
std::atomic<bool> continuousRequest{false};
std::atomic<int> currentLensType{0};
std::atomic<int> currentCaptureFormat{0};

void publishDepthHeading(int32_t depthMm, int32_t headingDeg)
{
    g_depthHeading.store(pack(depthMm, headingDeg));
}

void publishDepth(int32_t depthMm)
{
    uint64_t old = g_depthHeading.load();
    while (!g_depthHeading.compare_exchange_weak(old, pack(depthMm, unpack(old).heading))) {
    }
}

void publishHeading(int32_t headingDeg)
{
    uint64_t old = g_depthHeading.load();
    while (!g_depthHeading.compare_exchange_weak(old, pack(unpack(old).depth, headingDeg))) {
    }
}

DepthHeading currentDepthHeading()
{
    return unpack(g_depthHeading.load());
}

void raiseDepthTrigger(int32_t triggerDepthMm)
{
    g_triggerDepth.store(triggerDepthMm);
    g_trigger.store(true);
}

bool takeDepthTrigger()
{
    return g_trigger.exchange(false);
}

bool depthTriggerRaised()
{
    return g_trigger.load();
}

void clearDepthTrigger()
{
    g_trigger.store(false);
}

int32_t triggerDepth()
{
    return g_triggerDepth.load();
}

void setTriggerDepth(int32_t depthMm)
{
    g_triggerDepth.store(depthMm);
}

namespace FrameFormat {

void publishSize(int width, int height)
{
    g_frameWidth.store(width);
    g_frameHeight.store(height);
    const int smaller = width < height ? width : height;
    const int radius = smaller / 2 - 4;
    g_maxOuterRadius.store(radius > 0 ? static_cast<unsigned>(radius) : 0u);
    g_videoSizeCode.store(width == 704 ? 0 : (width == 720 ? 2 : 1));
    g_aspectDivisor.store(width == 720 ? 1.0671141f : 1.0913666f);
}

FrameFormatValues snapshot()
{
    FrameFormatValues v;
    v.width = g_frameWidth.load();
    v.height = g_frameHeight.load();
    v.maxOuterRadius = g_maxOuterRadius.load();
    v.videoSizeCode = g_videoSizeCode.load();
    v.aspectDivisor = g_aspectDivisor.load();
    return v;
}

unsigned maxOuterRadius() { return g_maxOuterRadius.load(); }
void setMaxOuterRadius(unsigned radius) { g_maxOuterRadius.store(radius); }
float aspectDivisor() { return g_aspectDivisor.load(); }
void setAspectDivisor(float divisor) { g_aspectDivisor.store(divisor); }
int videoSizeCode() { return g_videoSizeCode.load(); }
void setVideoSizeCode(int code) { g_videoSizeCode.store(code); }

void reset()
{
    g_frameWidth.store(0);
    g_frameHeight.store(0);
    g_maxOuterRadius.store(100);
    g_videoSizeCode.store(1);
    g_aspectDivisor.store(1.0913666f);
}

} // namespace FrameFormat

std::mutex& frameLock()
{
    static std::mutex m;
    return m;
}

} // namespace bc
