#pragma once
// Values the whole program shares across threads: the depth and heading the
// serial parser publishes, the depth trigger, the frame requests, the current
// lens type and capture format, and the published frame format. Every value is
// an atomic; a depth/heading pair is published as one word so that a reader
// never mixes two readings.

#include <atomic>
#include <cstdint>
#include <mutex>

namespace bc {

struct DepthHeading {
    int32_t depth = 0;   // millimetres
    int32_t heading = 0; // whole degrees, 0..359
};

// Current depth and heading, written by the serial parser, read by the track
// writer, the grabber and the raw-frame view.
void publishDepthHeading(int32_t depthMm, int32_t headingDeg);
void publishDepth(int32_t depthMm);     // keeps the heading
void publishHeading(int32_t headingDeg); // keeps the depth
DepthHeading currentDepthHeading();

// The depth trigger: raised by the serial parser at each sampling step with
// the depth it fired at; taken (read and cleared at once) by the raw-frame
// view.
void raiseDepthTrigger(int32_t triggerDepthMm);
bool takeDepthTrigger();
bool depthTriggerRaised();
void clearDepthTrigger();
int32_t triggerDepth();
void setTriggerDepth(int32_t depthMm);

// Frame requests read by the streaming thread.
extern std::atomic<bool> oneShotRequest;
extern std::atomic<bool> continuousRequest;

// Program-wide current lens type (0 outer ring first, 1 inner ring first) and
// capture format (0 JPEG, 1 BMP), published by the settings store.
extern std::atomic<int> currentLensType;
extern std::atomic<int> currentCaptureFormat;

// The published frame format.
struct FrameFormatValues {
    int width = 0;
    int height = 0;
    int bitCount = 24;
    unsigned maxOuterRadius = 100;
    int videoSizeCode = 1;
    float aspectDivisor = 1.0913666f;
};

namespace FrameFormat {
// Publishes a newly connected graph's frame size: sets the header, the
// largest outer radius min(w, h) / 2 - 4, the size code and the divisor.
void publishSize(int width, int height);
FrameFormatValues snapshot();
unsigned maxOuterRadius();
void setMaxOuterRadius(unsigned radius);
float aspectDivisor();
void setAspectDivisor(float divisor);
int videoSizeCode();
void setVideoSizeCode(int code);
// Back to the values before any graph was connected (tests).
void reset();
} // namespace FrameFormat

// The one frame lock: held while the frame copy is written or read and while
// the raw-frame view changes its unwrap parameters.
std::mutex& frameLock();

} // namespace bc
