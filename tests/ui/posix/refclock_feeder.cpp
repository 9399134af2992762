// Feeds an NTP daemon one sample a second whose reference lies a known offset
// ahead of this machine's clock, through the program's own outputs:
//   refclock_feeder shm:N|sock:PATH OFFSET_MS SECONDS
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/posix/refclock_outputs.h"

int main(int argc, char** argv) {
    const auto setting = argc == 4 ? ParseRefclockSetting(argv[1]) : std::nullopt;
    if (!setting) {
        std::fprintf(stderr, "usage: refclock_feeder shm:N|sock:PATH OFFSET_MS SECONDS\n");
        return 2;
    }
    const int64_t offsetNs = std::atoll(argv[2]) * 1000000;
    const int seconds = std::atoi(argv[3]);
    const auto say = [](const std::string& problem) { std::fprintf(stderr, "refclock_feeder: %s\n", problem.c_str()); };
    std::string why;
    auto output = MakeRefclockOutput(*setting, why, say);
    if (!output) {
        say(why);
        return 1;
    }
    PosixRealTimeClock clock;
    timespec next{};
    clock_gettime(CLOCK_REALTIME, &next);
    for (int i = 0; i < seconds; ++i) {
        // The daemon polls in real time: one sample at each whole second.
        next.tv_sec += 1;
        next.tv_nsec = 0;
        clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &next, nullptr);
        TimeSample sample;
        sample.receive = clock.Now();
        const int64_t ns = sample.receive.nanoseconds + offsetNs;
        sample.reference = {sample.receive.seconds + ns / 1000000000, static_cast<int32_t>(ns % 1000000000)};
        output->Send(sample);
    }
    return 0;
}
