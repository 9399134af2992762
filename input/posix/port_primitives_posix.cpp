// Linux ports: serial lines through the modem-control ioctls, parallel ports
// through ppdev, the game port through the joystick API, and a sampling thread
// with an absolute 25 ms period in place of the multimedia timer.

#include <fcntl.h>
#include <linux/joystick.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "input/port_primitives.h"
#include "input/port_sampler.h"
#include "input/posix/edge_event_loop.h"

namespace {

constexpr long kPeriodNs = 25'000'000;

// The printer is "not ready" (what the Windows driver reports as
// ERROR_NOT_READY) when it is busy (BUSY high, which the status register shows
// inverted as bit 7 clear), off line (SELECT, bit 4, low), out of paper (PAPEROUT,
// bit 5, high) or signalling a fault (nERROR, bit 3, low). A receiver module may
// drive any of these lines.
bool PrinterNotReady(unsigned char status) {
    return (status & PARPORT_STATUS_BUSY) == 0 || (status & PARPORT_STATUS_SELECT) == 0 ||
           (status & PARPORT_STATUS_PAPEROUT) != 0 || (status & PARPORT_STATUS_ERROR) == 0;
}

thread_local uint32_t lastError = 0;

int Fd(DeviceHandle device) { return static_cast<int>(device); }

bool VanishedDevice(int error) { return error == EIO || error == ENODEV || error == ENXIO; }

class PosixPortPrimitives final : public PortPrimitives {
public:
    ~PosixPortPrimitives() override { CancelTimer(0); }

    DeviceHandle OpenDevice(const std::string& name, PortKind kind) override {
        if (name.empty()) return kInvalidDevice;
        // Never the controlling terminal, never wait for carrier.
        const int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return kInvalidDevice;
        if (!IsCharacterDevice(fd) || !Claim(fd, kind)) {
            close(fd);
            return kInvalidDevice;
        }
        return fd;
    }

    void CloseDevice(DeviceHandle device) override {
        int mode = 0;
        if (ioctl(Fd(device), PPGETMODE, &mode) == 0) ioctl(Fd(device), PPRELEASE);
        close(Fd(device));
    }

    void SetDtr(DeviceHandle device, bool on) override {
        int lines = TIOCM_DTR;
        ioctl(Fd(device), on ? TIOCMBIS : TIOCMBIC, &lines);
    }

    ModemRead ReadModemStatus(DeviceHandle device, uint32_t& status) override {
        int lines = 0;
        if (ioctl(Fd(device), TIOCMGET, &lines) != 0)
            return VanishedDevice(errno) ? ModemRead::Gone : ModemRead::Failed;
        status = (lines & TIOCM_DSR) ? kModemDsrOn : 0;
        return ModemRead::Ok;
    }

    // A parallel port's "write": put the byte on the data lines and read the
    // printer's status, the way the Windows driver answers a write.
    bool WriteByte(DeviceHandle device, uint8_t value) override {
        unsigned char data = value;
        if (ioctl(Fd(device), PPWDATA, &data) != 0) return false;
        unsigned char status = 0;
        if (ioctl(Fd(device), PPRSTATUS, &status) != 0) return false;
        lastError = PrinterNotReady(status) ? kErrorNotReady : 0;
        return true;
    }

    uint32_t LastError() override { return lastError; }

    DeviceHandle OpenJoystick(const std::string& name) override {
        if (name.empty()) return kInvalidDevice;
        const int fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return kInvalidDevice;
        if (!IsCharacterDevice(fd)) {
            close(fd);
            return kInvalidDevice;
        }
        buttons_ = 0;
        return fd;
    }

    bool ReadJoystickButtons(DeviceHandle joystick, uint32_t& buttons) override {
        js_event events[16];
        for (;;) {
            const ssize_t got = read(Fd(joystick), events, sizeof events);
            if (got < 0) {
                if (errno == EINTR) continue;
                if (errno == EAGAIN) break;  // no news: the button keeps its state
                return false;
            }
            if (got == 0) return false;
            for (size_t i = 0; i < static_cast<size_t>(got) / sizeof(js_event); ++i) {
                // The initial events report the state at open; they count the same.
                const js_event& e = events[i];
                if ((e.type & ~JS_EVENT_INIT) == JS_EVENT_BUTTON && e.number == 0)
                    buttons_ = e.value ? kJoyButton1 : 0;
            }
        }
        buttons = buttons_;
        return true;
    }

    void CloseJoystick(DeviceHandle joystick) override { close(Fd(joystick)); }

    uint32_t StartTimer(NotifyWindow) override {
        if (thread_.joinable()) return 0;
        stop_ = false;
        try {
            thread_ = std::thread([this] { Sample(); });
        } catch (...) {
            return 0;
        }
        if (++timerId_ == 0) ++timerId_;
        return timerId_;
    }

    // Joins the thread: afterwards no tick runs and none will.
    void CancelTimer(uint32_t) override {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

    bool PostEdge(NotifyWindow window, uint8_t level, uint32_t stamp) override {
        return window != nullptr && static_cast<EdgeEventLoop*>(window)->Post(level, stamp);
    }

private:
    static bool IsCharacterDevice(int fd) {
        struct stat info{};
        return fstat(fd, &info) == 0 && S_ISCHR(info.st_mode);
    }

    static bool Claim(int fd, PortKind kind) {
        if (kind == PortKind::Serial) {
            // Not shared: other programs honouring the lock or the tty's
            // exclusive mode cannot open it while we sample.
            if (flock(fd, LOCK_EX | LOCK_NB) != 0) return false;
            return ioctl(fd, TIOCEXCL) == 0;
        }
        if (kind == PortKind::Parallel) {
            if (ioctl(fd, PPEXCL) != 0) return false;
            return ioctl(fd, PPCLAIM) == 0;
        }
        return false;
    }

    void Sample() {
        timespec next{};
        clock_gettime(CLOCK_MONOTONIC, &next);
        while (!stop_.load()) {
            next.tv_nsec += kPeriodNs;
            if (next.tv_nsec >= 1'000'000'000) {
                next.tv_nsec -= 1'000'000'000;
                ++next.tv_sec;
            }
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
            }
            if (stop_.load()) break;
            SamplerTick();
            // After a suspend, start the grid afresh instead of ticking to catch up.
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            if (now.tv_sec > next.tv_sec + 1) next = now;
        }
    }

    std::thread thread_;
    std::atomic<bool> stop_{false};
    uint32_t timerId_ = 0;
    uint32_t buttons_ = 0;  // the tick thread's view of button 1
};

}  // namespace

PortPrimitives& PlatformPortPrimitives() {
    static PosixPortPrimitives primitives;
    return primitives;
}
