// Linux ports: serial lines through the modem-control ioctls, parallel ports
// through ppdev, the game port through the joystick API, and a sampling thread
// with an absolute 25 ms period in place of the multimedia timer. In event
// mode the thread waits for the line instead (TIOCMIWAIT, a PPS source, a GPIO
// line) and a signal wakes it to stop.

#include <fcntl.h>
#include <linux/joystick.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "input/port_driver.h"
#include "input/port_sampler.h"
#include "input/posix/line_drivers.h"
#include "timebase/edge_clock.h"

namespace {

constexpr long kPeriodNs = 25'000'000;

class SerialDriver final : public PortDriver {
public:
    explicit SerialDriver(bool) {}  // waits need nothing else of the descriptor here
    bool Open(const std::string& device) override {
        // Never the controlling terminal, never wait for carrier. Not shared:
        // other programs honouring the lock or the tty's exclusive mode cannot
        // open it while we sample.
        if (!fd_.Open(device, O_RDWR | O_NOCTTY)) return false;
        if (flock(fd_.Get(), LOCK_EX | LOCK_NB) == 0 && ioctl(fd_.Get(), TIOCEXCL) == 0) return true;
        fd_.Reset();
        return false;
    }
    void Power(bool on) override {
        int lines = TIOCM_DTR;
        ioctl(fd_.Get(), on ? TIOCMBIS : TIOCMBIC, &lines);
    }
    LineRead ReadLevel() override {
        int lines = 0;
        if (ioctl(fd_.Get(), TIOCMGET, &lines) != 0)
            return VanishedDevice(errno) ? LineRead::Stalled : LineRead::Unchanged;
        return LevelRead((lines & TIOCM_DSR) != 0);
    }
    // The exclusive mode belongs to the tty, not to our descriptor: left on,
    // it outlives us where the tty does (a pty, a port someone else holds).
    void Close() override {
        ioctl(fd_.Get(), TIOCNXCL);
        fd_.Reset();
    }
    // TIOCMIWAIT returns at the first change of DSR after the call began; one
    // between two calls would be missed, but they are microseconds apart and a
    // mark lasts 100 ms. Drivers without it (cp210x, a pty) answer ENOTTY.
    void WaitLine(LineWait& wait) override {
        if (ioctl(fd_.Get(), TIOCMIWAIT, TIOCM_DSR) != 0) {
            wait.result = errno == EINTR          ? LineWait::Result::Nothing
                          : VanishedDevice(errno) ? LineWait::Result::Stalled
                                                  : LineWait::Result::Refused;
            return;
        }
        const int64_t instant = SystemEdgeClock().NowNs();
        int lines = 0;
        if (ioctl(fd_.Get(), TIOCMGET, &lines) == 0) wait.Add((lines & TIOCM_DSR) != 0 ? 1 : 0, instant);
    }

private:
    Descriptor fd_;
};

// The printer is "not ready" (what the Windows driver reports as
// ERROR_NOT_READY) when it is busy (BUSY high, which the status register shows
// inverted as bit 7 clear), off line (SELECT, bit 4, low), out of paper (PAPEROUT,
// bit 5, high) or signalling a fault (nERROR, bit 3, low). A receiver module may
// drive any of these lines.
bool PrinterNotReady(unsigned char status) {
    return (status & PARPORT_STATUS_BUSY) == 0 || (status & PARPORT_STATUS_SELECT) == 0 ||
           (status & PARPORT_STATUS_PAPEROUT) != 0 || (status & PARPORT_STATUS_ERROR) == 0;
}

class ParallelDriver final : public PortDriver {
public:
    bool Open(const std::string& device) override {
        if (!fd_.Open(device, O_RDWR | O_NOCTTY)) return false;
        if (ioctl(fd_.Get(), PPEXCL) == 0 && ioctl(fd_.Get(), PPCLAIM) == 0) return true;
        fd_.Reset();
        return false;
    }
    void Power(bool on) override { Write(on ? 1 : 0); }
    // The Windows driver answers a write with the printer's readiness: put the
    // byte on the data lines and read the status.
    LineRead ReadLevel() override {
        unsigned char status = 0;
        const bool written = Write(1) && ioctl(fd_.Get(), PPRSTATUS, &status) == 0;
        return ParallelLevel(written, PrinterNotReady(status) ? kErrorNotReady : 0);
    }
    void Close() override {
        ioctl(fd_.Get(), PPRELEASE);
        fd_.Reset();
    }

private:
    bool Write(unsigned char value) { return ioctl(fd_.Get(), PPWDATA, &value) == 0; }
    Descriptor fd_;
};

class GameDriver final : public PortDriver {
public:
    // Only a joystick: anything else (a mapped /dev/zero) would feed the tick
    // without end.
    bool Open(const std::string& device) override {
        uint32_t version = 0;
        if (fd_.Open(device, O_RDONLY) && ioctl(fd_.Get(), JSIOCGVERSION, &version) == 0) return true;
        fd_.Reset();
        return false;
    }
    void Power(bool) override {}
    // One bounded batch a tick: a joystick that reports faster than we sample
    // catches up over the next ticks instead of holding this one.
    LineRead ReadLevel() override {
        js_event events[16];
        ssize_t got = 0;
        do {
            got = read(fd_.Get(), events, sizeof events);
        } while (got < 0 && errno == EINTR);
        if (got == 0 || (got < 0 && errno != EAGAIN)) return LineRead::Stalled;
        for (ssize_t i = 0; i < got / static_cast<ssize_t>(sizeof(js_event)); ++i) {
            // The initial events report the state at open; they count the same.
            const js_event& e = events[i];
            if ((e.type & ~JS_EVENT_INIT) == JS_EVENT_BUTTON && e.number == 0) pressed_ = e.value != 0;
        }
        return LevelRead(!pressed_);  // button 1 held is a mark
    }
    void Close() override { fd_.Reset(); }

private:
    Descriptor fd_;
    bool pressed_ = false;
};

// Does nothing but end the system call the waiting thread sits in (EINTR):
// installed without SA_RESTART for that.
extern "C" void OnWake(int) {}

int WakeSignal() {
    static const int number = [] {
        struct sigaction action{};
        action.sa_handler = OnWake;
        sigemptyset(&action.sa_mask);
        sigaction(SIGRTMIN, &action, nullptr);
        return SIGRTMIN;
    }();
    return number;
}

class PosixPortPlatform final : public PortPlatform {
public:
    ~PosixPortPlatform() override { CancelTimer(0); }

    std::unique_ptr<PortDriver> MakeDriver(PortKind kind, const std::string& device, bool events) override {
        if (std::unique_ptr<PortDriver> line = MakeLineDriver(device)) return line;
        return MakeDriverOfKind<SerialDriver, ParallelDriver, GameDriver>(kind, events);
    }

    uint32_t StartTimer() override { return Start(false); }
    uint32_t StartWaiter() override { return Start(true); }

    // Joins the thread: afterwards no tick or wait runs and none will.
    void CancelTimer(uint32_t) override {
        stop_ = true;
        if (!thread_.joinable()) return;
        if (waiting_) WakeUntilEnded();
        thread_.join();
    }

private:
    uint32_t Start(bool wait) {
        if (thread_.joinable()) return 0;
        stop_ = false;
        ended_ = false;
        waiting_ = wait;
        if (wait) WakeSignal();
        try {
            thread_ = std::thread([this, wait] {
                while (wait && !stop_.load() && SamplerWait()) {
                }
                Sample();
                const std::lock_guard lock(endMutex_);
                ended_ = true;
                endedChanged_.notify_all();
            });
        } catch (...) {
            return 0;
        }
        if (++timerId_ == 0) ++timerId_;
        return timerId_;
    }

    // A thread blocked in the kernel (TIOCMIWAIT has no time-out) wakes only
    // for a signal, and one that comes just before it blocks is lost: send
    // it again until the thread has ended.
    void WakeUntilEnded() {
        std::unique_lock lock(endMutex_);
        while (!ended_) {
            pthread_kill(thread_.native_handle(), WakeSignal());
            endedChanged_.wait_for(lock, std::chrono::milliseconds(2));
        }
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
    bool waiting_ = false;
    std::mutex endMutex_;
    std::condition_variable endedChanged_;
    bool ended_ = false;
    uint32_t timerId_ = 0;
};

}  // namespace

PortPlatform& MachinePortPlatform() {
    static PosixPortPlatform platform;
    return platform;
}

const char* DefaultPortDevice(const PortEntry& port) { return port.posixDevice; }
std::string PlatformDeviceName(const std::string& name) { return name; }
