// Windows ports: the calls the sampler was designed around. A tick runs inside
// the multimedia timer's callback, so a driver's ReadLevel makes its one device
// query and nothing else; the sink posts with PostMessageA.

#include <windows.h>
#include <mmsystem.h>

#include <type_traits>

#include "input/port_driver.h"
#include "input/port_sampler.h"

// The sampling callback, exported from the executable by this name. It uses
// none of its parameters.
extern "C" __declspec(dllexport) void CALLBACK TCB(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) { SamplerTick(); }
static_assert(std::is_same_v<decltype(&TCB), LPTIMECALLBACK>, "TCB must be the platform's timer callback");

namespace {

static_assert(sizeof(JOYCAPSA) == 404, "the joystick capabilities record the service expects");

// Serial and parallel ports are files opened by name.
class FileDriver : public PortDriver {
public:
    bool Open(const std::string& device) override {
        handle_ = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) return false;
        // Only a device: a mapped file name would otherwise get a byte 40 times a second.
        if (GetFileType(handle_) == FILE_TYPE_CHAR) return true;
        Close();
        return false;
    }
    void Close() override {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

protected:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

class SerialDriver final : public FileDriver {
public:
    void Power(bool on) override { EscapeCommFunction(handle_, on ? SETDTR : CLRDTR); }
    LineRead ReadLevel() override {
        DWORD status = 0;
        if (!GetCommModemStatus(handle_, &status)) return LineRead::Unchanged;
        return LevelRead((status & MS_DSR_ON) != 0);
    }
};

class ParallelDriver final : public FileDriver {
public:
    void Power(bool on) override { Write(on ? 1 : 0); }
    LineRead ReadLevel() override {
        // The last error is taken right after the write and never reset before it.
        const bool written = Write(1);
        const DWORD lastError = GetLastError();
        return ParallelLevel(written, lastError);
    }

private:
    bool Write(BYTE value) {
        DWORD written = 0;
        return WriteFile(handle_, &value, 1, &written, nullptr) != 0;
    }
};

// Joystick 1 of the joystick service; the device name plays no part.
class GameDriver final : public PortDriver {
public:
    bool Open(const std::string&) override {
        JOYCAPSA caps{};
        return joyGetDevCapsA(JOYSTICKID1, &caps, sizeof caps) == JOYERR_NOERROR;
    }
    void Power(bool) override {}
    LineRead ReadLevel() override {
        JOYINFO info{};
        if (joyGetPos(JOYSTICKID1, &info) != JOYERR_NOERROR) return LineRead::Stalled;
        return LevelRead((info.wButtons & JOY_BUTTON1) == 0);  // button 1 held is a mark
    }
    void Close() override {}
};

class Win32PortPlatform final : public PortPlatform {
public:
    std::unique_ptr<PortDriver> MakeDriver(PortKind kind) override {
        return MakeDriverOfKind<SerialDriver, ParallelDriver, GameDriver>(kind);
    }
    // Synchronous kill: once timeKillEvent returns, no callback runs any more.
    uint32_t StartTimer() override { return timeSetEvent(25, 10, TCB, 0, TIME_PERIODIC | TIME_KILL_SYNCHRONOUS); }
    void CancelTimer(uint32_t timer) override { timeKillEvent(timer); }
};

}  // namespace

PortPlatform& MachinePortPlatform() {
    static Win32PortPlatform platform;
    return platform;
}

const char* DefaultPortDevice(const PortEntry& port) { return port.windowsDevice; }
std::string PlatformDeviceName(const std::string& name) { return WindowsDeviceName(name); }
