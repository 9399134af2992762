// The simulated receiver: the driver of a port whose device is "SIM". Its line
// shows the DCF77 signal of the current time (German legal time), marks at
// level 0 so the default polarity decodes it, on every kind of port: it runs
// through the real timer, tick and post path, or in event mode through the
// waiting thread, each edge at its exact instant.
#pragma once

#include <atomic>
#include <cstdint>

#include "input/port_driver.h"

class EdgeClock;
class MillisecondClock;

// UTC nanoseconds since 1970; the default reads the system's calendar clock.
using UtcSourceFn = int64_t (*)();
int64_t SystemUtcNs();

class SimulatedReceiver final : public PortDriver {
public:
    // The signal's time runs with `clock` from the UTC instant read at Open,
    // so a test that drives the clock fast drives the signal. With `events`
    // it runs with that clock instead, and WaitLine sleeps on it to each edge.
    SimulatedReceiver(MillisecondClock& clock, UtcSourceFn utcNow, EdgeClock* events = nullptr);

    bool Open(const std::string& device) override;
    void Power(bool) override {}
    LineRead ReadLevel() override;
    void Close() override {}
    void WaitLine(LineWait& wait) override;
    void Interrupt() override { interrupted_ = true; }

private:
    int64_t SignalNs();

    MillisecondClock& clock_;
    UtcSourceFn utcNow_;
    EdgeClock* events_;
    // Written on the window thread before the timer starts, read by ticks.
    int64_t anchorUtcMs_ = 0;
    uint32_t anchorStamp_ = 0;
    int64_t anchorUtcNs_ = 0;
    int64_t anchorInstantNs_ = 0;
    // The waiting thread's: the last edge it reported (or the signal time at
    // Open), so that a late wake still reports every edge in turn.
    int64_t lastEdgeUtcMs_ = 0;
    std::atomic<bool> interrupted_{false};
};
