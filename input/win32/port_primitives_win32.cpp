// Windows ports: the calls the sampler was designed around.

#include <windows.h>
#include <mmsystem.h>

#include <type_traits>

#include "input/port_primitives.h"
#include "input/port_sampler.h"

// The sampling callback, exported from the executable by this name. It uses
// none of its parameters.
extern "C" __declspec(dllexport) void CALLBACK TCB(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) { SamplerTick(); }
static_assert(std::is_same_v<decltype(&TCB), LPTIMECALLBACK>, "TCB must be the platform's timer callback");

namespace {

static_assert(sizeof(JOYCAPSA) == 404, "the joystick capabilities record the service expects");

HANDLE Handle(DeviceHandle device) { return reinterpret_cast<HANDLE>(device); }

class Win32PortPrimitives final : public PortPrimitives {
public:
    DeviceHandle OpenDevice(const std::string& name, PortKind) override {
        HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return kInvalidDevice;
        // Only a device: a mapped file name would otherwise get a byte 40 times a second.
        if (GetFileType(h) != FILE_TYPE_CHAR) {
            CloseHandle(h);
            return kInvalidDevice;
        }
        return reinterpret_cast<DeviceHandle>(h);
    }

    void CloseDevice(DeviceHandle device) override { CloseHandle(Handle(device)); }

    void SetDtr(DeviceHandle device, bool on) override { EscapeCommFunction(Handle(device), on ? SETDTR : CLRDTR); }

    ModemRead ReadModemStatus(DeviceHandle device, uint32_t& status) override {
        DWORD lines = 0;
        if (!GetCommModemStatus(Handle(device), &lines)) return ModemRead::Failed;
        status = (lines & MS_DSR_ON) ? kModemDsrOn : 0;
        return ModemRead::Ok;
    }

    bool WriteByte(DeviceHandle device, uint8_t value) override {
        DWORD written = 0;
        return WriteFile(Handle(device), &value, 1, &written, nullptr) != 0;
    }

    uint32_t LastError() override { return GetLastError(); }

    // Joystick 1 of the joystick service; the device name plays no part.
    DeviceHandle OpenJoystick(const std::string&) override {
        JOYCAPSA caps{};
        if (joyGetDevCapsA(JOYSTICKID1, &caps, sizeof caps) != JOYERR_NOERROR) return kInvalidDevice;
        return kGamePortMarker;
    }

    bool ReadJoystickButtons(DeviceHandle, uint32_t& buttons) override {
        JOYINFO info{};
        if (joyGetPos(JOYSTICKID1, &info) != JOYERR_NOERROR) return false;
        buttons = (info.wButtons & JOY_BUTTON1) ? kJoyButton1 : 0;
        return true;
    }

    void CloseJoystick(DeviceHandle) override {}

    uint32_t StartTimer(NotifyWindow window) override {
        // Synchronous kill: once timeKillEvent returns, no callback runs any more.
        return timeSetEvent(25, 10, TCB, reinterpret_cast<DWORD_PTR>(window),
                            TIME_PERIODIC | TIME_KILL_SYNCHRONOUS);
    }

    void CancelTimer(uint32_t timer) override { timeKillEvent(timer); }

    bool PostEdge(NotifyWindow window, uint8_t level, uint32_t stamp) override {
        return PostMessageA(static_cast<HWND>(window), WM_COMMNOTIFY, level, static_cast<LPARAM>(stamp)) != 0;
    }
};

}  // namespace

PortPrimitives& PlatformPortPrimitives() {
    static Win32PortPrimitives primitives;
    return primitives;
}
