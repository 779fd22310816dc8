#pragma once
// The depth counter: pulses of the cable wheel turned into a depth in
// millimetres, the compass heading, and the depth trigger at each multiple of
// the sampling step.
//
// The counter publishes the current depth and heading of each frame together
// (one word, so no reader mixes two frames) and raises the program-wide depth
// trigger. The pulse count is signed and the trigger test works in signed
// 64-bit arithmetic, so upward surveys and reversed wheels trigger at the same
// multiples as downward ones; after a reset no quotient has been seen yet.

#include "acquisition/serial_frame_parser.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace bc {

// The counter's part of the survey settings, taken at every reset.
struct CounterSettings {
    int32_t startDepth = 0;    // millimetres
    int32_t mmPerPulse = 1;    // 1, 2, 10 or 20
    int32_t manualStep = 10;   // pulses per plus/minus key
    int32_t samplingStep = 200; // pulses between strips, at least 1
    int moveDirection = 0;     // 0 down ("向下"), 1 up ("向上")
};

// What one frame did.
struct CounterFrameResult {
    int pulse = 0;         // +1, -1 or 0
    int32_t depth = 0;     // current depth after the frame, millimetres
    int heading = 0;       // 0..359
    int rawHeading = 0;    // digits + compass offset, before wrapping
    bool triggered = false; // the frame raised the depth trigger
};

// A heading in whole degrees brought into 0..359.
int normalizeHeading(int degrees);

// The millimetres of a depth typed in metres, rounded to the nearest
// millimetre (halves away from zero: the integer part of (metres × 1000 + 0.5)
// for a positive depth, its mirror for a negative one), or nothing when that
// does not fit a depth (int32).
std::optional<int32_t> depthMmForMetres(double metres);
// What a refused depth is told: the range of depths in metres.
QString depthRangeText();

// "%.3f米" of a depth in millimetres, and the depth in metres for the entry.
QString formatDepthMetres(int32_t depthMm);
// "%d度".
QString formatHeading(int degrees);

class CDepthCounter {
public:
    // Counter reset: count 0, no trigger quotient seen, settings taken,
    // current depth and trigger depth = start depth (published).
    void reset(const CounterSettings& settings);

    // One frame: counts its pulse, publishes depth and heading together and,
    // when `triggerAllowed` (a ring view while live or recording), runs the
    // trigger test. `compassOffset` is the form's offset, -180..180.
    CounterFrameResult applyFrame(const CounterFrame& frame, int compassOffset,
                                  bool triggerAllowed);

    // One frame counted without publishing anything or testing the trigger
    // (while a recording is played back the counter keeps its count quietly).
    CounterFrameResult countFrame(const CounterFrame& frame, int compassOffset);

    // The trigger test for the current count: at a multiple of the sampling
    // step whose quotient differs from the last one seen, raises the depth
    // trigger with the depth of that count. Returns whether it fired.
    bool evaluateTrigger();

    // Plus (+1) or minus (-1) key: the count moves by the manual step, the
    // depth is published, the trigger test runs. Returns whether it fired.
    bool stepManual(int sign);

    // Depth entry: the current depth becomes `depthMm` and the start depth is
    // moved so that the count continues from it.
    void enterDepth(int32_t depthMm);

    int64_t count() const { return count_; }
    int32_t depth() const { return depth_; }
    int32_t startDepth() const { return settings_.startDepth; }
    const CounterSettings& settings() const { return settings_; }
    std::optional<int64_t> lastQuotient() const { return lastQuotient_; }
    // The heading digits of the last frame counted (kept across resets: the
    // compass does not move with the count).
    std::optional<int> lastHeadingDigits() const { return headingDigits_; }
    int directionSign() const { return settings_.moveDirection == 1 ? -1 : 1; }

private:
    int32_t depthAt(int64_t count) const;
    void updateDepth();

    CounterSettings settings_;
    int64_t count_ = 0;
    int32_t depth_ = 0;
    std::optional<int64_t> lastQuotient_;
    std::optional<int> headingDigits_;
};

} // namespace bc
