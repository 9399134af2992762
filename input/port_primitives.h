// What the port sampler needs of the operating system, drawn where Windows and
// Linux really differ. Handles are opaque integers: a Windows HANDLE or a POSIX
// descriptor; kInvalidDevice is both platforms' "nothing open".
#pragma once

#include <cstdint>
#include <string>

using DeviceHandle = std::intptr_t;
constexpr DeviceHandle kInvalidDevice = -1;

// The window (or event loop) that receives the edge messages.
using NotifyWindow = void*;

// The kind of port, as the port code decides it.
enum class PortKind : uint8_t { None, Serial, Parallel, Game };

enum class ModemRead : uint8_t {
    Ok,      // status holds the modem lines
    Failed,  // not readable this time; the level is taken as unchanged
    Gone,    // the device has vanished (a USB receiver unplugged): sampling stops
};

// Bits of the modem status, in the Windows encoding on every platform.
constexpr uint32_t kModemDsrOn = 0x20;  // MS_DSR_ON
// Buttons word of the joystick, in the Windows encoding on every platform.
constexpr uint32_t kJoyButton1 = 0x1;   // JOY_BUTTON1
// The last-error value a parallel port answers while the printer is not ready.
constexpr uint32_t kErrorNotReady = 21;  // ERROR_NOT_READY

class PortPrimitives {
public:
    virtual ~PortPrimitives() = default;

    // Opens a serial or parallel device by name for reading and writing, not
    // shared; kInvalidDevice when it is missing, busy or not a character device.
    virtual DeviceHandle OpenDevice(const std::string& name, PortKind kind) = 0;
    virtual void CloseDevice(DeviceHandle device) = 0;
    virtual void SetDtr(DeviceHandle device, bool on) = 0;
    virtual ModemRead ReadModemStatus(DeviceHandle device, uint32_t& status) = 0;
    // One byte, no overlapped operation; LastError reads the calling thread's
    // last-error value as it stands after the write (never reset before it).
    virtual bool WriteByte(DeviceHandle device, uint8_t value) = 0;
    virtual uint32_t LastError() = 0;

    // Joystick 1 of the joystick service (Windows), or a joystick device by name.
    virtual DeviceHandle OpenJoystick(const std::string& name) = 0;
    virtual bool ReadJoystickButtons(DeviceHandle joystick, uint32_t& buttons) = 0;
    virtual void CloseJoystick(DeviceHandle joystick) = 0;

    // A periodic timer of 25 ms (resolution 10 ms) calling SamplerTick on a
    // thread of its own; 0 when it cannot be started. CancelTimer returns only
    // when no tick of that timer runs any more and none will start.
    virtual uint32_t StartTimer(NotifyWindow window) = 0;
    virtual void CancelTimer(uint32_t timer) = 0;

    // Hands (level, stamp) to the window thread without ever waiting; false
    // when it was dropped.
    virtual bool PostEdge(NotifyWindow window, uint8_t level, uint32_t stamp) = 0;
};

// The machine's own primitives.
PortPrimitives& PlatformPortPrimitives();
