// The simulated receiver: a device named "SIM" behind the same primitives as a
// real port, so the real timer, tick and post path runs. Its line shows the
// DCF77 signal of the current time (German legal time), marks at level 0 so
// the default polarity decodes it. Every other device goes to the real layer.
#pragma once

#include <cstdint>

#include "input/port_primitives.h"

class MillisecondClock;

// UTC milliseconds since 1970; the default reads the system's calendar clock.
using UtcSourceFn = int64_t (*)();
int64_t SystemUtcMs();

class SimulatedReceiverPrimitives final : public PortPrimitives {
public:
    // The signal's time runs with `clock` from the UTC instant read when the
    // device is opened, so a test that drives the clock fast drives the signal.
    SimulatedReceiverPrimitives(PortPrimitives& real, MillisecondClock& clock, UtcSourceFn utcNow = SystemUtcMs);

    DeviceHandle OpenDevice(const std::string& name, PortKind kind) override;
    void CloseDevice(DeviceHandle device) override;
    void SetDtr(DeviceHandle device, bool on) override;
    ModemRead ReadModemStatus(DeviceHandle device, uint32_t& status) override;
    bool WriteByte(DeviceHandle device, uint8_t value) override;
    uint32_t LastError() override;
    DeviceHandle OpenJoystick(const std::string& name) override;
    bool ReadJoystickButtons(DeviceHandle joystick, uint32_t& buttons) override;
    void CloseJoystick(DeviceHandle joystick) override;
    uint32_t StartTimer(NotifyWindow window) override { return real_.StartTimer(window); }
    void CancelTimer(uint32_t timer) override { real_.CancelTimer(timer); }
    bool PostEdge(NotifyWindow window, uint8_t level, uint32_t stamp) override {
        return real_.PostEdge(window, level, stamp);
    }

    // The simulated line level now.
    uint8_t Level();

    // The handle of the open simulated device: neither a Windows handle that
    // CreateFileA returns nor a POSIX descriptor.
    static constexpr DeviceHandle kSimHandle = -2;

private:
    bool IsSim(DeviceHandle device) const { return device == kSimHandle; }
    DeviceHandle OpenSim();

    PortPrimitives& real_;
    MillisecondClock& clock_;
    UtcSourceFn utcNow_;
    // Written on the window thread before the timer starts, read by ticks.
    int64_t anchorUtcMs_ = 0;
    uint32_t anchorStamp_ = 0;
};
