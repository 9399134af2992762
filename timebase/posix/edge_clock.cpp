#include "timebase/edge_clock.h"

#include <time.h>

namespace {

constexpr int64_t kNsPerSecond = 1'000'000'000;

class BootEdgeClock final : public EdgeClock {
public:
    int64_t NowNs() override {
        timespec ts{};
        clock_gettime(CLOCK_BOOTTIME, &ts);
        return int64_t{ts.tv_sec} * kNsPerSecond + ts.tv_nsec;
    }
    // A signal ends the sleep early (EINTR): that is how a waiting thread is
    // stopped, so it is not slept again here.
    void SleepUntil(int64_t instantNs) override {
        const timespec until{static_cast<time_t>(instantNs / kNsPerSecond), static_cast<long>(instantNs % kNsPerSecond)};
        clock_nanosleep(CLOCK_BOOTTIME, TIMER_ABSTIME, &until, nullptr);
    }
};

}  // namespace

EdgeClock& SystemEdgeClock() {
    static BootEdgeClock clock;
    return clock;
}
