// chronvk as the tests run it: the same program, but it can only pretend to
// set the clock, and its simulated receiver starts at hh:20:55 of this hour:
// 5 s before a minute mark and minutes away from a change of hour, which
// would empty the confirmation window. A run reaches its first setting after
// three minutes, whenever the test runs. Whole seconds are moved only, so its
// marks still fall on the system clock's seconds.
#include "input/port_sampler.h"
#include "input/sim_receiver.h"
#include "ui/tui/chronvk_app.h"

int main(int argc, char** argv) {
    SetSimulatedUtc([]() -> int64_t {
        constexpr int64_t kSecond = 1'000'000'000;
        const int64_t now = SystemUtcNs();
        return now - now % (3600 * kSecond) + (20 * 60 + 55) * kSecond + now % kSecond;
    });
    return RunChronvk(argc, argv, nullptr);
}
