#include "input/port_sampler.h"

#include <cassert>
#include <thread>

#include "timebase/millisecond_clock.h"
#include "input/port_devices.h"
#include "input/sim_receiver.h"

const char* const portDeviceNames[9] = {"", "COM1", "COM2", "COM3", "COM4", "LPT1", "LPT2", "LPT3", "LPT4"};

std::atomic<DeviceHandle> portHandle{kInvalidDevice};
uint32_t samplingTimer = 0;
std::atomic<NotifyWindow> notifyWindow{nullptr};
std::atomic<int32_t> activePort{0};
std::atomic<uint8_t> lastLevel{0};

namespace {

// What was really opened, set before the timer starts. The tick and ClosePort go
// by this and never by activePort, which a caller may have changed, or by the
// handle's value, which may be any descriptor number.
std::atomic<PortKind> openKind{PortKind::None};
std::atomic<DeviceHandle> openDevice{kInvalidDevice};

// A tick enters only while ticks are allowed, and ClosePort waits for ticks in
// progress after cancelling the timer. Together with the platform's own
// synchronous cancel this guarantees no tick touches a released device.
std::atomic<bool> ticksAllowed{false};
std::atomic<int> ticksRunning{0};

PortPrimitives* primitivesOverride = nullptr;
MillisecondClock* clockOverride = nullptr;
const ProfileReader* profile = nullptr;

MillisecondClock& Clock() { return clockOverride ? *clockOverride : SystemMillisecondClock(); }

PortPrimitives& Primitives() {
    if (primitivesOverride) return *primitivesOverride;
    static SimulatedReceiverPrimitives withSimulation(PlatformPortPrimitives(), SystemMillisecondClock());
    return withSimulation;
}

// Parallel port level: the outcome of a one-byte write.
uint8_t ParallelLevel(PortPrimitives& primitives, DeviceHandle device) {
    if (!primitives.WriteByte(device, 1)) return 0;
    return primitives.LastError() == kErrorNotReady ? 1 : 0;
}

class TickScope {
public:
    TickScope() { ticksRunning.fetch_add(1); }
    ~TickScope() { ticksRunning.fetch_sub(1); }
    TickScope(const TickScope&) = delete;
    TickScope& operator=(const TickScope&) = delete;
};

}  // namespace

PortKind PortKindOf(int32_t portCode) {
    if (portCode < 10) return PortKind::Serial;
    if (portCode < 20) return PortKind::Parallel;
    if (portCode == kGamePortCode) return PortKind::Game;
    return PortKind::None;
}

bool IsPortButtonCode(int32_t portCode) {
    return (portCode >= 1 && portCode <= 4) || (portCode >= 11 && portCode <= 14) || portCode == kGamePortCode;
}

void SetPortPrimitives(PortPrimitives* primitives) { primitivesOverride = primitives; }
void SetSamplerClock(MillisecondClock* clock) { clockOverride = clock; }
void SetPortProfile(const ProfileReader* newProfile) { profile = newProfile; }
const ProfileReader* CurrentPortProfile() { return profile; }

bool OpenPort(NotifyWindow window, int32_t portCode) {
    // Every caller closes first; a stray second open must not leak the device.
    assert(openKind.load() == PortKind::None && samplingTimer == 0);
    if (openKind.load() != PortKind::None || samplingTimer != 0) ClosePort();

    portHandle = kInvalidDevice;
    // Code 0 and anything that is no port button open nothing and touch no device.
    if (!IsPortButtonCode(portCode)) return false;

    PortPrimitives& primitives = Primitives();
    const PortKind kind = PortKindOf(portCode);
    const std::string device = DeviceForPort(portCode, profile);
    DeviceHandle handle = kInvalidDevice;
    if (kind == PortKind::Game) {
        handle = primitives.OpenJoystick(device);
        if (handle == kInvalidDevice) return false;
        portHandle = kGamePortMarker;
    } else {
        handle = primitives.OpenDevice(device, kind);
        if (handle == kInvalidDevice) return false;
        portHandle = handle;
        // Switch the receiver on; neither result is looked at.
        if (kind == PortKind::Serial) primitives.SetDtr(handle, true);
        else primitives.WriteByte(handle, 1);
    }
    openDevice = handle;
    openKind = kind;
    notifyWindow = window;
    ticksAllowed = true;

    samplingTimer = primitives.StartTimer(window);
    // Without a timer the device stays open, receiver on; the next ClosePort releases it.
    if (samplingTimer == 0) return false;
    activePort = portCode;
    return true;
}

void SamplerTick() {
    TickScope scope;
    if (!ticksAllowed.load()) return;
    if (portHandle.load() == kInvalidDevice) return;

    PortPrimitives& primitives = Primitives();
    const DeviceHandle device = openDevice.load();
    uint8_t level = 0;
    switch (openKind.load()) {
        case PortKind::Game: {
            uint32_t buttons = 0;
            if (!primitives.ReadJoystickButtons(device, buttons)) {
                portHandle = kInvalidDevice;  // stalls silently until closed and opened again
                return;
            }
            level = (buttons & kJoyButton1) ? 0 : 1;
            break;
        }
        case PortKind::Serial: {
            uint32_t status = 0;
            switch (primitives.ReadModemStatus(device, status)) {
                case ModemRead::Ok: break;
                case ModemRead::Failed: return;  // no edge: the level counts as unchanged
                case ModemRead::Gone: portHandle = kInvalidDevice; return;
            }
            level = (status & kModemDsrOn) ? 1 : 0;
            break;
        }
        case PortKind::Parallel: level = ParallelLevel(primitives, device); break;
        case PortKind::None: level = 0; break;
    }
    if (level != lastLevel.load()) primitives.PostEdge(notifyWindow.load(), level, Clock().NowMs());
    lastLevel = level;
}

void ClosePort() {
    PortPrimitives& primitives = Primitives();
    ticksAllowed = false;
    if (samplingTimer != 0) primitives.CancelTimer(samplingTimer);
    samplingTimer = 0;
    // Only a tick that began before ticks were stopped can still be running.
    while (ticksRunning.load() != 0) std::this_thread::yield();

    const DeviceHandle device = openDevice.load();
    switch (openKind.load()) {
        case PortKind::Serial:
            primitives.SetDtr(device, false);
            primitives.CloseDevice(device);
            break;
        case PortKind::Parallel:
            primitives.WriteByte(device, 0);
            primitives.CloseDevice(device);
            break;
        case PortKind::Game: primitives.CloseJoystick(device); break;
        case PortKind::None: break;
    }
    openKind = PortKind::None;
    openDevice = kInvalidDevice;
    portHandle = kInvalidDevice;
    notifyWindow = nullptr;
}
