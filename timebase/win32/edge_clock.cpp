#include "timebase/edge_clock.h"

#include <windows.h>

namespace {

class PerformanceEdgeClock final : public EdgeClock {
public:
    PerformanceEdgeClock() {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        frequency_ = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
    }
    // Whole seconds and the rest apart: counts times 10^9 overflow after a
    // few days of a 10 MHz counter.
    int64_t NowNs() override {
        LARGE_INTEGER count{};
        QueryPerformanceCounter(&count);
        return count.QuadPart / frequency_ * 1'000'000'000 + count.QuadPart % frequency_ * 1'000'000'000 / frequency_;
    }
    // Sleep's own granularity (about 16 ms) only delays the wake, never the
    // instant the caller reports.
    void SleepUntil(int64_t instantNs) override {
        const int64_t left = instantNs - NowNs();
        if (left > 0) Sleep(static_cast<DWORD>((left + 999'999) / 1'000'000));
    }

private:
    int64_t frequency_ = 1;
};

}  // namespace

EdgeClock& SystemEdgeClock() {
    static PerformanceEdgeClock clock;
    return clock;
}
