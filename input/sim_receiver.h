// The simulated receiver: the driver of a port whose device is "SIM". Its line
// shows the DCF77 signal of the current time (German legal time), marks at
// level 0 so the default polarity decodes it, on every kind of port: it runs
// through the real timer, tick and post path.
#pragma once

#include <cstdint>

#include "input/port_driver.h"

class MillisecondClock;

// UTC milliseconds since 1970; the default reads the system's calendar clock.
using UtcSourceFn = int64_t (*)();
int64_t SystemUtcMs();

class SimulatedReceiver final : public PortDriver {
public:
    // The signal's time runs with `clock` from the UTC instant read at Open,
    // so a test that drives the clock fast drives the signal.
    SimulatedReceiver(MillisecondClock& clock, UtcSourceFn utcNow);

    bool Open(const std::string& device) override;
    void Power(bool) override {}
    LineRead ReadLevel() override;
    void Close() override {}

private:
    MillisecondClock& clock_;
    UtcSourceFn utcNow_;
    // Written on the window thread before the timer starts, read by ticks.
    int64_t anchorUtcMs_ = 0;
    uint32_t anchorStamp_ = 0;
};
