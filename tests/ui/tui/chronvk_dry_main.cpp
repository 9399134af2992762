// chronvk as the tests run it: the same program, but it can only pretend to
// set the clock, and its simulated receiver starts 5 s before a minute mark,
// so a run reaches its first setting after three minutes, not up to four.
#include "input/port_sampler.h"
#include "input/sim_receiver.h"
#include "ui/tui/chronvk_app.h"

int main(int argc, char** argv) {
    SetSimulatedUtc([] {  // just before a minute mark
        const int64_t now = SystemUtcMs();
        return now - now % 60000 + 55000;
    });
    return RunChronvk(argc, argv, nullptr);
}
