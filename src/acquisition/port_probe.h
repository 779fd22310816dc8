#pragma once
// The search for the depth counter and the compass on the serial slots.
//
// Each mapped slot is asked with the byte 'v' and, a moment later, 'w'; the
// reply collected until a moment after that tells the device: the depth
// counter answers exactly 0xAA 0xAA, the compass three bytes or more with
// 0x80 or 0x81 third from the end. A slot whose device will not open is
// skipped; every probed port is closed again after reading. The two delays
// (200 ms each on the real line) are part of the probe's timing so that tests
// can shorten them.
//
// What the search found is process-wide: the motor keys are armed once the
// depth counter has been found, and a found device is not searched again
// until a full search runs with one of them missing.

#include "acquisition/port_map.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>

namespace bc {

class CSerialLine;

enum class ProbeDevice { DepthCounter = 0, Compass = 1 };

struct ProbeTiming {
    int afterQueryMs = 200; // between 'v' and 'w'
    int replyMs = 200;      // after 'w' until the reply is taken
};

bool probeReplyAccepted(ProbeDevice device, const QByteArray& reply);

// Process-wide results of the search.
std::atomic<bool>& depthCounterFound();
std::atomic<bool>& compassFound();
// The baud entry (0-based) each device is probed at; 3 (9600) until the
// dialog's baud combo changes it.
std::atomic<int>& probeBaudEntry(ProbeDevice device);

// The ports the search writes its findings into (1..6, 0 = none).
struct ProbePorts {
    int depthPort = 0;
    int compassPort = 0;
};

class CPortProbe {
public:
    explicit CPortProbe(CPortMap map = CPortMap(), ProbeTiming timing = ProbeTiming());

    // One query on one device at `baud`: the bytes received, or nothing when
    // the device would not open.
    std::optional<QByteArray> query(const QString& devicePath, int baud) const;

    // Searches the mapped slots 1..6 for the device at its probe baud; returns
    // the slot that answered, or 0. Sets the device's found flag.
    int search(ProbeDevice device);

    // The dialog's three probes; each returns depth-found + 2 * compass-found.
    // probeDevices searches both devices unless both are already found;
    // the other two search their one device unless it is already found.
    // A device found takes its slot into `ports`; one not found leaves the
    // port there as it was.
    int probeDevices(ProbePorts& ports);
    int probeDepthCounter(ProbePorts& ports);
    int probeCompass(ProbePorts& ports);

    // How many slots the last probe call tried to open.
    int slotsTried() const { return slotsTried_; }

    const CPortMap& portMap() const { return map_; }
    const ProbeTiming& timing() const { return timing_; }

private:
    int result() const;
    int probeOne(ProbeDevice device, int& port);

    CPortMap map_;
    ProbeTiming timing_;
    int slotsTried_ = 0;
};

// Runs `work` on a worker thread while the user-interface thread shows the
// wait cursor and keeps painting (user input is held back). When `mainLine`
// is open it is released first and reopened afterwards with its reception
// state restored, so that its own port can be probed. Returns work's result.
int runProbeOffUiThread(const std::function<int()>& work, CSerialLine* mainLine);

} // namespace bc
