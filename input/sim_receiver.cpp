#include "input/sim_receiver.h"

#include <chrono>

#include "timebase/millisecond_clock.h"
#include "input/dcf77_signal.h"
#include "input/port_devices.h"

namespace {
// Set by a simulated write and read back by LastError on the same (tick) thread.
thread_local bool lastWriteSimulated = false;
thread_local uint32_t simulatedLastError = 0;
}  // namespace

int64_t SystemUtcMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

SimulatedReceiverPrimitives::SimulatedReceiverPrimitives(PortPrimitives& real, MillisecondClock& clock,
                                                         UtcSourceFn utcNow)
    : real_(real), clock_(clock), utcNow_(utcNow) {}

DeviceHandle SimulatedReceiverPrimitives::OpenSim() {
    anchorStamp_ = clock_.NowMs();
    anchorUtcMs_ = utcNow_();
    return kSimHandle;
}

uint8_t SimulatedReceiverPrimitives::Level() {
    // Unsigned difference: the stamp may wrap while the device is open.
    const uint32_t elapsed = clock_.NowMs() - anchorStamp_;
    return dcf77::LineLevel(anchorUtcMs_ + elapsed, 0);
}

DeviceHandle SimulatedReceiverPrimitives::OpenDevice(const std::string& name, PortKind kind) {
    return IsSimulatedDevice(name) ? OpenSim() : real_.OpenDevice(name, kind);
}

void SimulatedReceiverPrimitives::CloseDevice(DeviceHandle device) {
    if (!IsSim(device)) real_.CloseDevice(device);
}

void SimulatedReceiverPrimitives::SetDtr(DeviceHandle device, bool on) {
    if (!IsSim(device)) real_.SetDtr(device, on);
}

ModemRead SimulatedReceiverPrimitives::ReadModemStatus(DeviceHandle device, uint32_t& status) {
    if (!IsSim(device)) return real_.ReadModemStatus(device, status);
    status = Level() ? kModemDsrOn : 0;
    return ModemRead::Ok;
}

bool SimulatedReceiverPrimitives::WriteByte(DeviceHandle device, uint8_t value) {
    lastWriteSimulated = IsSim(device);
    if (!lastWriteSimulated) return real_.WriteByte(device, value);
    // A parallel receiver shows its line as the printer's readiness.
    simulatedLastError = Level() ? kErrorNotReady : 0;
    return true;
}

uint32_t SimulatedReceiverPrimitives::LastError() {
    return lastWriteSimulated ? simulatedLastError : real_.LastError();
}

DeviceHandle SimulatedReceiverPrimitives::OpenJoystick(const std::string& name) {
    return IsSimulatedDevice(name) ? OpenSim() : real_.OpenJoystick(name);
}

bool SimulatedReceiverPrimitives::ReadJoystickButtons(DeviceHandle joystick, uint32_t& buttons) {
    if (!IsSim(joystick)) return real_.ReadJoystickButtons(joystick, buttons);
    buttons = Level() ? 0 : kJoyButton1;  // button 1 held during a mark
    return true;
}

void SimulatedReceiverPrimitives::CloseJoystick(DeviceHandle joystick) {
    if (!IsSim(joystick)) real_.CloseJoystick(joystick);
}
