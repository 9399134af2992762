// Lines the kernel stamps itself. A PPS source (a receiver on DCD under the
// PPS line discipline, ldattach 18) captures both edges with the real-time
// clock; a GPIO line, through libgpiod, queues its edges with their stamps.
// Either is read polled as well, so a profile without EVENTS=1 still works.

#include <gpiod.h>
#include <poll.h>
#include <sys/timepps.h>

#include <cstring>

#include "input/posix/kernel_events.h"
#include "input/posix/line_drivers.h"

namespace {

// Bounds each wait, so a stop never depends on the wake-up signal alone.
constexpr int kWaitMs = 1000;

std::string Reason(int error) { return std::strerror(error); }

PpsCapture CaptureOf(const pps_info_t& info) {
    const auto ns = [](const timespec& ts) { return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec; };
    return {info.assert_sequence, info.clear_sequence, ns(info.assert_timestamp), ns(info.clear_timestamp)};
}

class PpsDriver final : public PortDriver {
public:
    bool Open(const std::string& device) override {
        const std::string path = device.substr(kPpsPrefix.size());
        pps_params_t params{};
        int caps = 0;
        if (!fd_.Open(path, O_RDONLY) || time_pps_create(fd_.Get(), &handle_) != 0 ||
            time_pps_getcap(handle_, &caps) != 0 || time_pps_getparams(handle_, &params) != 0) {
            why_ = device + ": no PPS source (" + Reason(errno) + ")";
            fd_.Reset();
            return false;
        }
        canWait_ = (caps & PPS_CANWAIT) != 0;
        // The line discipline captures both edges from the start; changing
        // that takes CAP_SYS_TIME, which a source set up so needs not.
        if ((params.mode & PPS_CAPTUREBOTH) != PPS_CAPTUREBOTH) {
            params.mode |= PPS_CAPTUREBOTH;
            if (time_pps_setparams(handle_, &params) != 0) {
                why_ = device + ": the PPS source captures one edge only, and both are needed (" + Reason(errno) + ")";
                fd_.Reset();
                return false;
            }
        }
        if (Fetch(0, seen_)) return true;
        why_ = device + ": the PPS source cannot be read (" + Reason(errno) + ")";
        fd_.Reset();
        return false;
    }
    void Power(bool) override {}  // ldattach holds the tty, and with it DTR, on
    LineRead ReadLevel() override {
        PpsCapture now;
        if (!Fetch(0, now)) return VanishedDevice(errno) ? LineRead::Stalled : LineRead::Unchanged;
        return PpsLevel(now);
    }
    void Close() override { fd_.Reset(); }
    // Captures made since the last fetch come at once; only then is it worth
    // waiting for the next.
    void WaitLine(LineWait& wait) override {
        if (!canWait_) return PortDriver::WaitLine(wait);
        PpsCapture now;
        if (Fetch(0, now) && (now.assertSequence != seen_.assertSequence || now.clearSequence != seen_.clearSequence))
            return AddPpsEvents(seen_, now, ReadClocks(), wait);
        if (Fetch(kWaitMs, now)) return AddPpsEvents(seen_, now, ReadClocks(), wait);
        wait.result = errno == EINTR || errno == ETIMEDOUT ? LineWait::Result::Nothing
                      : VanishedDevice(errno)               ? LineWait::Result::Stalled
                                                            : LineWait::Result::Refused;
    }
    std::string WhyNotOpened() const override { return why_; }

private:
    bool Fetch(int waitMs, PpsCapture& capture) {
        pps_info_t info{};
        const timespec timeout{waitMs / 1000, (waitMs % 1000) * 1'000'000L};
        if (time_pps_fetch(handle_, PPS_TSFMT_TSPEC, &info, &timeout) != 0) return false;
        capture = CaptureOf(info);
        return true;
    }

    Descriptor fd_;
    pps_handle_t handle_ = -1;
    bool canWait_ = false;
    PpsCapture seen_;  // the waiting thread's after Open
    std::string why_;
};

class GpioDriver final : public PortDriver {
public:
    bool Open(const std::string& device) override {
        const std::optional<GpioDevice> parsed = ParseGpioDevice(device);
        if (!parsed) {
            why_ = device + ": not gpio:/dev/gpiochipN:LINE[:active-low][:pull-up]";
            return false;
        }
        activeLow_ = parsed->activeLow;
        const std::string& name = parsed->chip;
        chip_.reset(gpiod_chip_open(name.c_str()));
        if (!chip_) {
            why_ = device + ": no GPIO chip " + name + " (" + Reason(errno) + ")";
            return false;
        }
        const unsigned lines = gpiod_chip_num_lines(chip_.get());
        if (parsed->line >= lines) {
            why_ = device + ": " + name + " has no line " + std::to_string(parsed->line) + " (it has " +
                   std::to_string(lines) + ")";
            chip_.reset();
            return false;
        }
        // The raw level: active-low is applied by us, to events and readings alike.
        line_ = gpiod_chip_get_line(chip_.get(), parsed->line);
        const int flags = parsed->pullUp ? GPIOD_LINE_REQUEST_FLAG_BIAS_PULL_UP : 0;
        if (line_ == nullptr || gpiod_line_request_both_edges_events_flags(line_, "chronvk", flags) != 0) {
            why_ = device + ": line " + std::to_string(parsed->line) + " of " + name + " cannot be taken (" +
                   Reason(errno) + ")";
            Close();
            return false;
        }
        return true;
    }
    void Power(bool) override {}
    LineRead ReadLevel() override {
        const int value = gpiod_line_get_value(line_);
        if (value < 0) return VanishedDevice(errno) ? LineRead::Stalled : LineRead::Unchanged;
        return LevelRead((value != 0) != activeLow_);
    }
    // Closing the chip releases the line with it.
    void Close() override {
        line_ = nullptr;
        chip_.reset();
    }
    void WaitLine(LineWait& wait) override {
        pollfd ready{gpiod_line_event_get_fd(line_), POLLIN, 0};
        const int got = poll(&ready, 1, kWaitMs);
        if (got <= 0) return;  // a time-out or the wake-up signal
        if ((ready.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            wait.result = LineWait::Result::Stalled;
            return;
        }
        gpiod_line_event events[4];
        const int count = gpiod_line_event_read_multiple(line_, events, 4);
        if (count <= 0) return;
        const ClockReadings now = ReadClocks();
        GpioKernelEvent kernel[4];
        for (int i = 0; i < count; ++i) {
            kernel[i] = {events[i].event_type == GPIOD_LINE_EVENT_RISING_EDGE,
                         int64_t{events[i].ts.tv_sec} * 1'000'000'000 + events[i].ts.tv_nsec};
        }
        AddGpioEvents(kernel, count, activeLow_, now, wait);
    }
    std::string WhyNotOpened() const override { return why_; }

private:
    struct CloseChip {
        void operator()(gpiod_chip* chip) const { gpiod_chip_close(chip); }
    };
    std::unique_ptr<gpiod_chip, CloseChip> chip_;
    gpiod_line* line_ = nullptr;
    bool activeLow_ = false;
    std::string why_;
};

}  // namespace

std::unique_ptr<PortDriver> MakeLineDriver(const std::string& device) {
    if (device.starts_with(kPpsPrefix)) return std::make_unique<PpsDriver>();
    if (device.starts_with(kGpioPrefix)) return std::make_unique<GpioDriver>();
    return nullptr;
}
