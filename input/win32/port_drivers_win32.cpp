// Windows ports: the calls the sampler was designed around. A tick runs inside
// the multimedia timer's callback, so a driver's ReadLevel makes its one device
// query and nothing else; the sink posts with PostMessageA. In event mode a
// thread of ours waits in WaitCommEvent on an overlapped handle instead.

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <optional>
#include <type_traits>

#include "input/port_driver.h"
#include "input/port_sampler.h"
#include "timebase/edge_clock.h"

// The sampling callback, exported from the executable by this name. It uses
// none of its parameters.
extern "C" __declspec(dllexport) void CALLBACK TCB(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) { SamplerTick(); }
static_assert(std::is_same_v<decltype(&TCB), LPTIMECALLBACK>, "TCB must be the platform's timer callback");

namespace {

static_assert(sizeof(JOYCAPSA) == 404, "the joystick capabilities record the service expects");

// Serial and parallel ports are files opened by name.
class FileDriver : public PortDriver {
public:
    explicit FileDriver(DWORD flags = FILE_ATTRIBUTE_NORMAL) : flags_(flags) {}
    bool Open(const std::string& device) override {
        handle_ = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags_, nullptr);
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
    DWORD flags_;
};

// An event that closes itself.
class Event {
public:
    Event() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() {
        if (handle_ != nullptr) CloseHandle(handle_);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

class SerialDriver final : public FileDriver {
public:
    // Waits need a handle opened for overlapped I/O, which only event mode asks for.
    explicit SerialDriver(bool events) : FileDriver(events ? FILE_FLAG_OVERLAPPED : FILE_ATTRIBUTE_NORMAL) {}
    bool Open(const std::string& device) override {
        if (!FileDriver::Open(device)) return false;
        // Without the mask the port is still read, by the timer.
        if (flags_ == FILE_FLAG_OVERLAPPED) {
            done_.emplace();
            wake_.emplace();
            waits_ = done_->Get() != nullptr && wake_->Get() != nullptr &&
                     SetCommMask(handle_, EV_DSR | EV_CTS | EV_RLSD) != 0;
        }
        return true;
    }
    void Power(bool on) override { EscapeCommFunction(handle_, on ? SETDTR : CLRDTR); }
    LineRead ReadLevel() override {
        DWORD status = 0;
        if (!GetCommModemStatus(handle_, &status)) return LineRead::Unchanged;
        return LevelRead((status & MS_DSR_ON) != 0);
    }
    void WaitLine(LineWait& wait) override {
        if (!waits_) return PortDriver::WaitLine(wait);
        OVERLAPPED overlapped{};
        overlapped.hEvent = done_->Get();
        ResetEvent(done_->Get());
        DWORD mask = 0;
        if (!WaitCommEvent(handle_, &mask, &overlapped)) {
            if (GetLastError() != ERROR_IO_PENDING) return PortDriver::WaitLine(wait);
            const HANDLE handles[2] = {done_->Get(), wake_->Get()};
            if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0) {
                // Stopped: the wait must be over before its OVERLAPPED goes,
                // and only this thread can cancel what it started.
                CancelIo(handle_);
                DWORD unused = 0;
                GetOverlappedResult(handle_, &overlapped, &unused, TRUE);
                return;
            }
        }
        const int64_t instant = SystemEdgeClock().NowNs();
        DWORD unused = 0, status = 0;
        if (!GetOverlappedResult(handle_, &overlapped, &unused, FALSE)) return PortDriver::WaitLine(wait);
        if (GetCommModemStatus(handle_, &status)) wait.Add((status & MS_DSR_ON) != 0 ? 1 : 0, instant);
    }
    void Interrupt() override {
        if (wake_) SetEvent(wake_->Get());
    }

private:
    bool waits_ = false;
    std::optional<Event> done_, wake_;
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

// Synchronous kill: once timeKillEvent returns, no callback runs any more.
UINT StartSamplingTimer() { return timeSetEvent(25, 10, TCB, 0, TIME_PERIODIC | TIME_KILL_SYNCHRONOUS); }

class Win32PortPlatform final : public PortPlatform {
public:
    std::unique_ptr<PortDriver> MakeDriver(PortKind kind, const std::string&, bool events) override {
        return MakeDriverOfKind<SerialDriver, ParallelDriver, GameDriver>(kind, events);
    }
    uint32_t StartTimer() override { return StartSamplingTimer(); }
    uint32_t StartWaiter() override {
        if (waiter_ != nullptr) return 0;
        stop_ = false;
        fallback_ = 0;
        DWORD id = 0;
        waiter_ = CreateThread(nullptr, 0, Wait, this, 0, &id);
        return waiter_ != nullptr ? kWaiterId : 0;
    }
    // The sampler has interrupted the driver's wait: the thread ends soon.
    void CancelTimer(uint32_t timer) override {
        if (waiter_ == nullptr || timer != kWaiterId) {
            timeKillEvent(timer);
            return;
        }
        stop_ = true;
        WaitForSingleObject(waiter_, INFINITE);
        CloseHandle(waiter_);
        waiter_ = nullptr;
        if (const UINT fallback = fallback_.exchange(0); fallback != 0) timeKillEvent(fallback);
    }

private:
    static constexpr uint32_t kWaiterId = 0xFFFFFFFFu;

    // When waits fail the multimedia timer takes over, as without event mode.
    static DWORD WINAPI Wait(LPVOID self) {
        auto& platform = *static_cast<Win32PortPlatform*>(self);
        while (!platform.stop_.load() && SamplerWait()) {
        }
        if (!platform.stop_.load()) platform.fallback_ = StartSamplingTimer();
        return 0;
    }

    HANDLE waiter_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<UINT> fallback_{0};
};

}  // namespace

PortPlatform& MachinePortPlatform() {
    static Win32PortPlatform platform;
    return platform;
}

const char* DefaultPortDevice(const PortEntry& port) { return port.windowsDevice; }
std::string PlatformDeviceName(const std::string& name) { return WindowsDeviceName(name); }
