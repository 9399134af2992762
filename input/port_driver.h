// The seam between the port sampler and the machine: one driver per port kind,
// each with its own state, a sink for the edges and the periodic timer, or in
// event mode a thread that waits for the line to change.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

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

// A change of the line as the system reported it, at its own instant.
struct LineEvent {
    uint8_t level;
    int64_t instantNs;  // on the edge clock (timebase/edge_clock.h)
};

// What one wait for the line found.
struct LineWait {
    enum class Result : uint8_t {
        Events,   // events[0 .. count), oldest first
        Nothing,  // woken without a change (a time-out, a stop): ask again
        Refused,  // the device's driver takes no waits: the line must be sampled
        Stalled,  // the device is gone: no more edges until it is opened again
    };
    Result result = Result::Nothing;
    uint8_t count = 0;
    LineEvent events[4] = {};

    void Add(uint8_t level, int64_t instantNs) {
        if (count < 4) events[count++] = {level, instantNs};
        result = Result::Events;
    }
};

// One opened port. Open, Power and Close run on the window thread; ReadLevel
// on the timer's thread, WaitLine on the waiting thread, only between a
// successful Open and Close, never at the same time as the others.
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

    // Event mode: blocks until the line changes and says how. Drivers that
    // cannot wait refuse, and the line is sampled as without event mode.
    virtual void WaitLine(LineWait& wait) { wait.result = LineWait::Result::Refused; }
    // Any thread: a WaitLine in progress returns soon, and so does every later
    // one. ClosePort calls it before it stops the waiting thread.
    virtual void Interrupt() {}
    // After a failed Open: what exactly is missing, when the driver can say
    // more than the port's name does (a GPIO chip or line); else empty.
    virtual std::string WhyNotOpened() const { return {}; }
};

// Where the sampler's edges go: the dialog window, the Linux event loop.
class EdgeSink {
public:
    virtual ~EdgeSink() = default;
    // Timer thread. Hands (level, stamp) to the window thread without ever
    // waiting; false when the edge was dropped.
    virtual bool PostEdge(uint8_t level, uint32_t stamp) = 0;
    // Waiting thread: an edge the system reported at `instantNs` on the edge
    // clock. A sink that carries no instants passes the stamp alone.
    virtual bool PostEdgeAt(uint8_t level, uint32_t stamp, int64_t /*instantNs*/) { return PostEdge(level, stamp); }
    // Any thread: tells the user something about the port without waiting.
    virtual void Notice(std::string_view /*text*/) {}
};

class PortPlatform {
public:
    virtual ~PortPlatform() = default;
    // The driver for a port of `kind` that will open `device`; `events`: it
    // will be asked to wait for the line (some devices open differently then).
    virtual std::unique_ptr<PortDriver> MakeDriver(PortKind kind, const std::string& device, bool events) = 0;
    // A periodic timer of 25 ms (resolution 10 ms) calling SamplerTick on a
    // thread of its own; 0 when it cannot be started. CancelTimer returns only
    // when no tick of that timer runs any more and none will start.
    virtual uint32_t StartTimer() = 0;
    virtual void CancelTimer(uint32_t timer) = 0;
    // Event mode: a thread of its own calling SamplerWait as long as that
    // answers true, then SamplerTick every 25 ms as the timer does; 0 when it
    // cannot be started. CancelTimer stops it like a timer, waking it from any
    // wait (after the sampler has interrupted the driver).
    virtual uint32_t StartWaiter() = 0;
};

// A platform's three driver classes, chosen by kind; each is made with
// whether it is to wait for the line.
template <class Serial, class Parallel, class Game>
std::unique_ptr<PortDriver> MakeDriverOfKind(PortKind kind, bool events) {
    switch (kind) {
        case PortKind::Serial: return std::make_unique<Serial>(events);
        case PortKind::Parallel: return std::make_unique<Parallel>();
        case PortKind::Game: return std::make_unique<Game>();
    }
    return nullptr;
}

// The machine's own drivers and timer.
PortPlatform& MachinePortPlatform();
