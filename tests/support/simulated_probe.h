#pragma once
// A borehole probe without hardware: a camera that shows the synthetic
// borehole as the downhole camera would see it where the probe is, and a
// depth counter with compass on a pseudo terminal that winches the probe.
//
// The camera is a GStreamer source element ("bcsimcamerasrc") that a capture
// graph builds in place of the device's source; every frame it makes is the
// ring image at the probe's depth and heading at the moment it is made. The
// counter sends a frame every 20 ms at rest and one per millimetre while a
// winch command is held, and stops on the command's stop byte. The probe's heading turns one degree
// in the middle of every sampling step, so a strip taken near a step's depth never sees the compass
// and the picture disagree.

#include "support/serial_pty.h"
#include "support/synthetic_borehole.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <thread>

namespace bc::test {

// Where the probe is: depth in millimetres and heading in degrees, published
// together.
class ProbePosition {
  public:
    void set(int depthMm, int heading)
    {
        word_.store((uint64_t(uint32_t(depthMm)) << 32) | uint32_t(heading));
    }
    void get(int& depthMm, int& heading) const
    {
        const uint64_t w = word_.load();
        depthMm = int(int32_t(w >> 32));
        heading = int(w & 0xFFFFFFFFu);
    }

  private:
    std::atomic<uint64_t> word_{0};
};

// How the wall scrolls past the camera: the wall row at the top of the ring
// is firstTop + depth x rowsPerStep / stepMm (rounded down).
struct ProbeOptics {
    int firstTop = 20;
    int stepMm = 200;
    int rowsPerStep = 71;
    int topRow(int depthMm) const;
};

// The camera. Only one exists at a time; the source element draws from it.
class SimulatedCamera {
  public:
    static constexpr const char* kFactory = "bcsimcamerasrc";

    SimulatedCamera(const SyntheticBorehole& wall, const RingCamera& camera, ProbeOptics optics,
                    const ProbePosition& position);
    ~SimulatedCamera();
    SimulatedCamera(const SimulatedCamera&) = delete;
    SimulatedCamera& operator=(const SimulatedCamera&) = delete;

    // Registers the source element (once per process; GStreamer is set up
    // when it is not yet).
    static void registerElement();

    // The frame at the probe's present position (rows top-down, BGR, packed).
    std::vector<uint8_t> render() const;
    const RingCamera& camera() const { return camera_; }

  private:
    const SyntheticBorehole& wall_;
    RingCamera camera_;
    ProbeOptics optics_;
    const ProbePosition& position_;
};

// The depth counter and compass.
class SimulatedCounter {
  public:
    // Winch command and stop bytes (the motor keys' down and up arrows).
    static constexpr uint8_t kLower = 0x27, kLowerStop = 0x28;
    static constexpr uint8_t kRaise = 0x25, kRaiseStop = 0x26;

    // Lowering is counted as pulses down (0xFE), raising as pulses up.
    SimulatedCounter(ProbePosition& position, int startDepthMm, int firstHeading);
    ~SimulatedCounter();

    QString path() const { return pty_.path(); }
    // Microseconds per millimetre while the winch runs.
    void setStepMicros(int us) { stepUs_.store(us); }
    // Whether the winch runs (its command heard and no stop byte yet).
    bool moving() const { return motion_.load() != 0; }
    // A stop in the shaft: a running winch holds the probe there, counting
    // nothing, until its stop byte comes or the stop is moved on. By default
    // there is none.
    void setEndStop(int depthMm) { endStop_.store(depthMm); }
    // The heading at a depth: one degree more every step, turning halfway.
    int headingAt(int depthMm) const;

  private:
    void run();
    void hear(uint8_t byte);
    void send(uint8_t direction);

    PtyPair pty_;
    ProbePosition& position_;
    int firstHeading_;
    std::atomic<int> depth_;
    std::atomic<int> stepUs_{1000};
    std::atomic<int> motion_{0}; // +1 lowering, -1 raising
    std::atomic<int> endStop_{std::numeric_limits<int>::max()};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace bc::test
