// The seam between the port sampler and the machine: one driver per port kind,
// each with its own state, a sink for the edges and the periodic timer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "input/port_table.h"

// What one reading of the line found.
enum class LineRead : uint8_t {
    Low,        // level 0
    High,       // level 1
    Unchanged,  // not readable this time: no edge, the level counts as unchanged
    Stalled,    // the device is gone or the joystick read failed: sampling stops until reopened
};

inline LineRead LevelRead(bool high) { return high ? LineRead::High : LineRead::Low; }

// The last-error value a parallel port answers while the printer is not ready.
constexpr uint32_t kErrorNotReady = 21;  // ERROR_NOT_READY

// A parallel port's level is the outcome of a one-byte write: 1 exactly when
// the write succeeded and the thread's last error, read right after it, says
// "not ready".
inline LineRead ParallelLevel(bool writeSucceeded, uint32_t lastErrorAfterWrite) {
    return LevelRead(writeSucceeded && lastErrorAfterWrite == kErrorNotReady);
}

// One opened port. Open, Power and Close run on the window thread; ReadLevel
// on the timer's thread, only between a successful Open and Close, never at
// the same time as the others.
class PortDriver {
public:
    virtual ~PortDriver() = default;
    // Opens the device by name, not shared; false when it is missing, busy or
    // not this driver's kind of device.
    virtual bool Open(const std::string& device) = 0;
    // Switches the receiver on or off (DTR, the data lines); results unread.
    virtual void Power(bool on) = 0;
    virtual LineRead ReadLevel() = 0;
    virtual void Close() = 0;
};

// Where the sampler's edges go: the dialog window, the Linux event loop.
class EdgeSink {
public:
    virtual ~EdgeSink() = default;
    // Timer thread. Hands (level, stamp) to the window thread without ever
    // waiting; false when the edge was dropped.
    virtual bool PostEdge(uint8_t level, uint32_t stamp) = 0;
};

class PortPlatform {
public:
    virtual ~PortPlatform() = default;
    virtual std::unique_ptr<PortDriver> MakeDriver(PortKind kind) = 0;
    // A periodic timer of 25 ms (resolution 10 ms) calling SamplerTick on a
    // thread of its own; 0 when it cannot be started. CancelTimer returns only
    // when no tick of that timer runs any more and none will start.
    virtual uint32_t StartTimer() = 0;
    virtual void CancelTimer(uint32_t timer) = 0;
};

// A platform's three driver classes, chosen by kind.
template <class Serial, class Parallel, class Game>
std::unique_ptr<PortDriver> MakeDriverOfKind(PortKind kind) {
    switch (kind) {
        case PortKind::Serial: return std::make_unique<Serial>();
        case PortKind::Parallel: return std::make_unique<Parallel>();
        case PortKind::Game: return std::make_unique<Game>();
    }
    return nullptr;
}

// The machine's own drivers and timer.
PortPlatform& MachinePortPlatform();
